#pragma once
// The registry of entity kinds (prototype, name, recipe, model files per kind) and the entity storage,
// the fixed pool of the entities received in the latest snapshot.
#include "entity.hpp"

constexpr int ENTITY_PROTOTYPES_MAX = 256;

struct Ingredient {
  EntityType type;
  s32 count;
};

struct Recipe {
  EntityType type;
  // Ends at the first entry whose type is Entity_None.
  Ingredient ingredients[INGREDIENTS_MAX];
  EntityType equipment;  // the station needed to craft it, or Entity_None
};

enum EntityInfoFlag : u32 {
  EntityInfoFlag_Loaded = 1,
};

struct EntityInfo {
  const char* type_name;
  Recipe recipe;
  u8 nvariants;  // model files are numbered from 1
  u32 flags;     // EntityInfoFlag, set by the model loader
  bool is_glb;
};

struct EntityRegistry {
  Entity prototypes[ENTITY_PROTOTYPES_MAX];
  s32 nprototypes;
  EntityInfo info[ENTITY_PROTOTYPES_MAX];
};

extern EntityRegistry global_entity_registry;

// Called once at start-up, before any kind is looked up.
void load_entity_registry();
void register_entities();

// The fatal forms are for kinds and names the program itself supplies; values from the network go
// through the find_ forms, which answer null for an unknown kind.
const char* entity_type_name(EntityType type);
const char* find_entity_type_name(EntityType type);
Entity* find_entity_prototype(EntityType type);
Entity* get_entity_prototype(EntityType type);
EntityInfo* find_entity_info(EntityType type);
EntityInfo* get_entity_info(EntityType type);
// "none" and "player" are never found by name.
Entity* find_entity_prototype_by_name(Str name);
EntityType get_entity_type_by_name(Str name);
Entity* get_entity_prototype_by_name(Str name);

// Makes dst a fresh entity of the prototype's kind; its id, location, position and grid link stay.
void copy_prototype(Entity* dst, const Entity& prototype);

// entity_name of the kind's prototype, or "???" for a kind without one.
const char* entity_type_display_name(EntityType type);

// --- storage

struct EntityStorage {
  Entity entities[ENTITIES_MAX];
  u16 nentities;
  u16 nplayers;
  u16 nmobs;
  u16 nobjects;
};

extern EntityStorage entity_storage;

void entity_storage_clear();
// Null for id 0 and for an id not in use.
// Ids the reference server makes carry their storage slot + 1 in the low bits and a per-slot generation
// above, so its lookups are one index and an id of a removed entity never names its slot's next tenant.
constexpr u32 ENTITY_ID_SLOT_BITS = 15;
static_assert(ENTITIES_MAX < (1 << ENTITY_ID_SLOT_BITS));
Entity* find_entity_by_id(Id id);
// The container holding an item, or null.
Entity* find_container_entity(const Entity& e);
// The entity that stands in the world for an id: the item itself, its container, or the container's
// container (two levels, no more). Null when any link is missing.
Entity* find_target_by_id(Id id);
