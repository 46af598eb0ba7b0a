// Lookups over the pool of entities: the server's records, or those of the latest snapshot.
#include "registry.hpp"

constexpr u32 ID_SLOT_MASK = (1u << ENTITY_ID_SLOT_BITS) - 1;

void entity_storage_clear() { memset((void*)&entity_storage, 0, sizeof(entity_storage)); }

Entity* find_entity_by_id(Id id) {
  if (id == 0) return nullptr;
  // The count comes with the snapshot; never trust it beyond the array.
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  Entity* entities = entity_storage.entities;
  // The server's own lookups need no scan; a snapshot's records lie in the order they came, and an id not
  // at its slot (or not there at all) is looked for in turn. A repeated id (a broken snapshot) is found
  // at its slot before any earlier copy.
  int slot = (int)(id & ID_SLOT_MASK) - 1;
  if (slot >= 0 && slot < n && entities[slot].id == id) return &entities[slot];
  for (int i = 0; i < n; i++)
    if (entities[i].id == id) return &entities[i];
  return nullptr;
}

Entity* find_container_entity(const Entity& e) {
  if (!in_container(e)) return nullptr;
  return find_entity_by_id(e.item.container);
}

Entity* find_target_by_id(Id id) {
  Entity* e = find_entity_by_id(id);
  if (!e || !in_container(*e)) return e;
  Entity* container = find_container_entity(*e);
  if (!container || !in_container(*container)) return container;
  return find_container_entity(*container);
}
