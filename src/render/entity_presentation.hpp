#pragma once
// Entity presentation: the client-side visual state per entity that survives snapshots, and the choice
// of model, animation and transform each entity is drawn with.
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "time.hpp"
#include "types.hpp"

struct Entity;

constexpr int ENTITY_STATE_MAX = 512;
// A released slot: probes walk past it, creation may reuse it.
constexpr Id ENTITY_STATE_TOMBSTONE = 0xFFFFFFFF;

struct EntityState {
  Id id;               // 0: empty slot; ENTITY_STATE_TOMBSTONE: released
  Time interacted_at;  // when the player last opened or closed this container or door
  Color slash_color;
  f32 slash_angle;     // arc of the slash in radians
  f32 slash_progress;  // 0: no slash
  f32 slash_tail;      // seconds the slash has been fading out
  Time hit_time;       // last damage taken; 0: none
  ParticleSystem flame;
  ParticleSystem smoke;
  v3 fire_pos;  // where the held torch burns; zero without a torch
};

// --- the state table (game.entity_state), open addressing with linear probing
u32 entity_state_hash(Id id);
// The id's entry, created when absent. Null for ids 0 and ENTITY_STATE_TOMBSTONE, and when every slot
// holds another live id (reported once): the entity then goes without its effect.
EntityState* set_entity_state_entry(Id id);
EntityState* find_entity_state(Id id);
// Clears the entry and leaves a tombstone.
void release_entity_state(EntityState& state);
// Releases the entries whose entity is no longer in the storage.
void cleanup_entity_state();
// Empties the whole table (entering a location).
void clear_entity_state();

