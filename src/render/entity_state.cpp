// The per-entity visual state table: 512 slots, linear probing, tombstones for released entries.
#include <stdio.h>
#include <string.h>

#include "app/client.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"

// A full table is reported once, not every frame, until a slot frees up again.
static bool entity_state_full_reported;

u32 entity_state_hash(Id id) { return (id * 7919u) & (ENTITY_STATE_MAX - 1); }

static bool entity_state_valid_id(Id id) { return id != 0 && id != ENTITY_STATE_TOMBSTONE; }

EntityState* set_entity_state_entry(Id id) {
  if (!entity_state_valid_id(id)) return nullptr;
  EntityState* table = game.entity_state;
  // The id may sit past a tombstone, so the whole probe up to an empty slot is searched before a
  // tombstone is reused: an id never gets two entries.
  EntityState* reusable = nullptr;
  u32 h = entity_state_hash(id);
  for (int i = 0; i < ENTITY_STATE_MAX; i++) {
    EntityState& slot = table[(h + (u32)i) & (ENTITY_STATE_MAX - 1)];
    if (slot.id == id) return &slot;
    if (slot.id == ENTITY_STATE_TOMBSTONE) {
      if (!reusable) reusable = &slot;
    } else if (slot.id == 0) {
      if (!reusable) reusable = &slot;
      break;
    }
  }
  if (!reusable) {
    if (!entity_state_full_reported) fprintf(stderr, "PANIC: entity_state is full!\n");
    entity_state_full_reported = true;
    return nullptr;
  }
  memset((void*)reusable, 0, sizeof(EntityState));
  reusable->id = id;
  return reusable;
}

EntityState* find_entity_state(Id id) {
  if (!entity_state_valid_id(id)) return nullptr;
  EntityState* table = game.entity_state;
  u32 h = entity_state_hash(id);
  for (int i = 0; i < ENTITY_STATE_MAX; i++) {
    EntityState& slot = table[(h + (u32)i) & (ENTITY_STATE_MAX - 1)];
    if (slot.id == id) return &slot;
    if (slot.id == 0) return nullptr;
  }
  return nullptr;
}

void release_entity_state(EntityState& state) {
  memset((void*)&state, 0, sizeof(EntityState));
  state.id = ENTITY_STATE_TOMBSTONE;
  entity_state_full_reported = false;
}

// A tombstone whose next slot is empty ends every probe that reaches it just as well as an empty slot,
// so such runs are emptied from their end backwards; lookups of absent ids stay short.
static void entity_state_trim_tombstones() {
  EntityState* table = game.entity_state;
  for (int i = 0; i < ENTITY_STATE_MAX; i++) {
    if (table[i].id != 0) continue;
    int j = (i + ENTITY_STATE_MAX - 1) & (ENTITY_STATE_MAX - 1);
    while (table[j].id == ENTITY_STATE_TOMBSTONE) {
      table[j].id = 0;
      j = (j + ENTITY_STATE_MAX - 1) & (ENTITY_STATE_MAX - 1);
    }
  }
}

void cleanup_entity_state() {
  // One pass over the storage marks the live entries: a lookup per stored entity is a hash and a short
  // probe, where a storage search per entry would be a linear scan each.
  bool alive[ENTITY_STATE_MAX] = {};
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    Id id = entity_storage.entities[i].id;
    if (!entity_state_valid_id(id)) continue;
    if (EntityState* state = find_entity_state(id)) alive[state - game.entity_state] = true;
  }
  bool released = false;
  for (int i = 0; i < ENTITY_STATE_MAX; i++) {
    EntityState& slot = game.entity_state[i];
    if (!entity_state_valid_id(slot.id) || alive[i]) continue;
    release_entity_state(slot);
    released = true;
  }
  if (released) entity_state_trim_tombstones();
}

void clear_entity_state() {
  memset((void*)game.entity_state, 0, sizeof(game.entity_state));
  entity_state_full_reported = false;
}
