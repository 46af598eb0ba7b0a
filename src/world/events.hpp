#pragma once
// Numbers and words that float up from an entity when the server reports an event on it, with the sounds.
#include "app/client.hpp"

struct Entity;

// Each event draws at most two texts (a damage number has its shadow).
constexpr int EVENT_TEXTS_MAX = 2 * EVENTS_MAX;

// One floating text of this frame, ready for `draw_text_billboard` at the entity's position.
struct EventText {
  v2 offset;
  f32 scale;
  Color color;
  Text text;
};

// Takes notice of the entity's new events and draws their texts.
void handle_events(Entity& entity);
// What `handle_events` draws: registers what is new and writes this frame's texts; returns their count.
int event_texts(Entity& entity, EventText* out, int nmax);
// Holds the event so it is announced once, and plays its sound; false when it is stale or there is no room.
bool register_event(Entity& entity, const Event& event);
// Forgets the events whose time on screen is over.
void cleanup_events();
