// Lookups over the pool of entities received in the latest snapshot. The pool has no index: a
// linear scan over at most ENTITIES_MAX records is cheap next to a snapshot's arrival rate.
#include "registry.hpp"

void entity_storage_clear() { memset((void*)&entity_storage, 0, sizeof(entity_storage)); }

Entity* find_entity_by_id(Id id) {
  if (id == 0) return nullptr;
  // The count comes with the snapshot; never trust it beyond the array.
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  Entity* entities = entity_storage.entities;
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
