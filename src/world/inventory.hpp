#pragma once
// The panels through which the player handles items: slots and their gestures, the bag strip, the gear
// window, another person's gear, the window of an opened container, item icons and tooltips.
#include "app/client.hpp"

struct UiElement;

// One slot shown on screen; built per call, never stored.
struct Slot {
  Entity& container_entity;
  Container& container;
  SlotIndex index;
  f32 size;
  bool read_only;
};

void ui_item_slot(Slot slot);
void ui_container_slot(Slot slot);
UiElement* ui_item_icon(Entity& entity, f32 size);
// The icon of a kind with no record at hand (what a stomach slot holds); nothing for a kind not in the registry.
UiElement* ui_kind_icon(EntityType type, bool item, f32 size);
void ui_item_tooltip(Entity& entity, v2 at);
// At most a Text's capacity of `s`, never ending inside a character.
Text text_cut_utf8(const char* s);
// The tooltip's text: name, quality and the hint, cut to a Text on a character boundary.
Text item_tooltip_text(const Entity& entity);
void ui_inventory();
void ui_gear(Entity& player);
void ui_gear_contents(Entity& player, bool read_only);
void ui_entity_info();
void ui_container(Entity& container_entity, Container& container);
void close_container();
// Lids and doors animate from the moment they were used; with the presentation table full they just snap.
void stamp_interaction(Id id);
// Opens the asked-for container once in reach, builds its window, closes it out of reach.
void update_containers();
// Everything of the item panels for one frame, the context menu last so it lies on top.
void ui_items();
