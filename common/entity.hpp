#pragma once
// The entity record: a fixed header and one slot per component kind, with a mask of those present.
// Its first Entity_Shared_Size bytes are exactly what the server sends in a snapshot.
#include "components.hpp"

// Zero-sized in spirit; one byte each so that offsetof can name where a region begins and ends.
struct EntityMarker {
  u8 _unused;
};

// Time starts at zero, which gives Thinker, Crop and Events a constructor; each anonymous union
// below therefore starts as its one member that has a Time.
struct Entity {
  Id id;
  LocationRef location;
  v2 pos;

  // Everything from here to _shared_marker comes from the kind's prototype.
  EntityMarker _prototype_marker;
  EntityType type;
  union {
    f32 radius;  // dim.x
    // A box of dim when dim.y is non-zero, else a circle of radius with height dim.z.
    v3 dim;
  };
  u16 level;
  u16 quality;
  u32 flags;  // EntityFlag
  ComponentMask enabled_components;

  Mover mover;
  Projectile projectile;
  Mortal mortal;
  Actor actor;
  union {
    Person person;
    Thinker thinker = {};
    Blank blank;
  };
  Container container;
  union {
    Item item;
    struct {
      Id carrier;  // the entity carrying this lifted one
      Id user;
    };
  };
  Vessel vessel;
  union {
    Fuel fuel;
    Param progress;
  };
  union {
    Food food;
    Potion potion;
    Crop crop = {};
    Tree tree;
    Bush bush;
    Vein vein;
    Tool tool;
    Door door;
    Portal portal;
  };
  Weapon weapon;
  union {
    Blueprint blueprint;
    Events events = {};
  };

  EntityMarker _shared_marker;
  // Local only, never sent, zeroed when a snapshot record arrives. Where the record sits in its cell's list,
  // so that moving it needs no walk: 0 unknown, 1 the list's head, k + 2 after storage record k; trusted only
  // while grid_epoch is the epoch of the grid it was linked into.
  u16 grid_prev = 0;
  u32 grid_epoch = 0;
  // The link in the location grid's cell list.
  Entity* next_in_grid;
};

constexpr int Entity_Shared_Size = (int)offsetof(Entity, _shared_marker);
constexpr int Entity_Prototype_Offset = (int)offsetof(Entity, _prototype_marker);
constexpr int Entity_Prototype_Size = Entity_Shared_Size - Entity_Prototype_Offset;

static_assert(sizeof(Entity) == 1584 && Entity_Shared_Size == 1568 && Entity_Prototype_Size == 1552);
static_assert(offsetof(Entity, location) == 4 && offsetof(Entity, location.type) == 4 &&
              offsetof(Entity, location.index) == 6);
static_assert(offsetof(Entity, pos) == 8 && offsetof(Entity, _prototype_marker) == 16 && offsetof(Entity, type) == 18);
static_assert(offsetof(Entity, radius) == 20 && offsetof(Entity, dim) == 20 && offsetof(Entity, level) == 32);
static_assert(offsetof(Entity, quality) == 34 && offsetof(Entity, flags) == 36);
static_assert(offsetof(Entity, enabled_components) == 40 && offsetof(Entity, mover) == 48);
static_assert(offsetof(Entity, projectile) == 124 && offsetof(Entity, mortal) == 144 && offsetof(Entity, actor) == 176);
static_assert(offsetof(Entity, person) == 728 && offsetof(Entity, thinker) == 728 && offsetof(Entity, blank) == 728);
static_assert(offsetof(Entity, container) == 840 && offsetof(Entity, item) == 908);
static_assert(offsetof(Entity, carrier) == 908 && offsetof(Entity, user) == 912);
static_assert(offsetof(Entity, vessel) == 928 && offsetof(Entity, fuel) == 936 && offsetof(Entity, progress) == 936);
static_assert(offsetof(Entity, food) == 944 && offsetof(Entity, potion) == 944 && offsetof(Entity, crop) == 944);
static_assert(offsetof(Entity, tree) == 944 && offsetof(Entity, bush) == 944 && offsetof(Entity, vein) == 944);
static_assert(offsetof(Entity, tool) == 944 && offsetof(Entity, door) == 944 && offsetof(Entity, portal) == 944);
static_assert(offsetof(Entity, weapon) == 968 && offsetof(Entity, blueprint) == 976 && offsetof(Entity, events) == 976);
static_assert(offsetof(Entity, next_in_grid) == 1576 && offsetof(Entity, grid_prev) >= Entity_Shared_Size);
// A few absolute offsets inside the components, as a snapshot reader sees them.
static_assert(offsetof(Entity, mover.zone) == 120 && offsetof(Entity, actor.spellset) == 328);
static_assert(offsetof(Entity, actor.effects) == 448 && offsetof(Entity, person.stomach) == 780);
static_assert(offsetof(Entity, container.nslots) == 904 && offsetof(Entity, blueprint.nelements) == 1496);
static_assert(offsetof(Entity, blueprint.name) == 1500 && offsetof(Entity, events.nevents) == 1232);

// --- components present

inline ComponentMask component_bit(Component c) { return (u32)c < 64 ? (ComponentMask)1 << (u32)c : 0; }
inline bool has_component(const Entity& e, Component c) { return (e.enabled_components & component_bit(c)) != 0; }
inline void enable_component(Entity& e, Component c) {
  assert((u32)c < Component_num);
  e.enabled_components |= component_bit(c);
}

// find_<component> gives the slot or null; get_<component> treats a missing component as a programming error.
#define ENTITY_COMPONENT_ACCESSORS(name, Type, component)                                                     \
  inline Type* find_##name(Entity& e) { return has_component(e, component) ? &e.name : nullptr; }             \
  inline const Type* find_##name(const Entity& e) { return has_component(e, component) ? &e.name : nullptr; } \
  inline Type* get_##name(Entity& e) {                                                                        \
    if (!has_component(e, component)) debug_trap();                                                           \
    return &e.name;                                                                                           \
  }                                                                                                           \
  inline const Type* get_##name(const Entity& e) {                                                            \
    if (!has_component(e, component)) debug_trap();                                                           \
    return &e.name;                                                                                           \
  }

ENTITY_COMPONENT_ACCESSORS(mover, Mover, Component_Mover)
ENTITY_COMPONENT_ACCESSORS(actor, Actor, Component_Actor)
ENTITY_COMPONENT_ACCESSORS(projectile, Projectile, Component_Projectile)
ENTITY_COMPONENT_ACCESSORS(mortal, Mortal, Component_Mortal)
ENTITY_COMPONENT_ACCESSORS(person, Person, Component_Person)
ENTITY_COMPONENT_ACCESSORS(container, Container, Component_Container)
ENTITY_COMPONENT_ACCESSORS(item, Item, Component_Item)
ENTITY_COMPONENT_ACCESSORS(vessel, Vessel, Component_Vessel)
ENTITY_COMPONENT_ACCESSORS(food, Food, Component_Food)
ENTITY_COMPONENT_ACCESSORS(potion, Potion, Component_Potion)
ENTITY_COMPONENT_ACCESSORS(crop, Crop, Component_Crop)
ENTITY_COMPONENT_ACCESSORS(tree, Tree, Component_Tree)
ENTITY_COMPONENT_ACCESSORS(bush, Bush, Component_Bush)
ENTITY_COMPONENT_ACCESSORS(vein, Vein, Component_Vein)
ENTITY_COMPONENT_ACCESSORS(fuel, Fuel, Component_Fuel)
ENTITY_COMPONENT_ACCESSORS(tool, Tool, Component_Tool)
ENTITY_COMPONENT_ACCESSORS(door, Door, Component_Door)
ENTITY_COMPONENT_ACCESSORS(events, Events, Component_Events)
ENTITY_COMPONENT_ACCESSORS(weapon, Weapon, Component_Weapon)
ENTITY_COMPONENT_ACCESSORS(blueprint, Blueprint, Component_Blueprint)
ENTITY_COMPONENT_ACCESSORS(blank, Blank, Component_Blank)
ENTITY_COMPONENT_ACCESSORS(thinker, Thinker, Component_Thinker)
ENTITY_COMPONENT_ACCESSORS(portal, Portal, Component_Portal)

#undef ENTITY_COMPONENT_ACCESSORS

// --- predicates

inline bool is_object(const Entity& e) { return !has_component(e, Component_Mortal); }
inline bool is_item(const Entity& e) { return has_component(e, Component_Item); }
inline bool is_container(const Entity& e) { return has_component(e, Component_Container); }
inline bool is_person(const Entity& e) { return has_component(e, Component_Person); }
inline bool is_alive(const Entity& e) { return has_component(e, Component_Mortal) && e.mortal.hp.cur > 0; }
// An object without Mortal counts as dead.
inline bool is_dead(const Entity& e) { return !is_alive(e); }
// A spell cast or any later action keeps the actor busy.
inline bool is_acting(const Entity& e) { return get_actor(e)->action.type > ActionType_Build; }
inline bool is_admin(const Entity& e) { return (e.flags & EntityFlag_IsAdmin) != 0; }
inline bool is_rectangular(const Entity& e) { return e.dim.y != 0; }
inline bool in_container(const Entity& e) { return has_component(e, Component_Item) && e.item.container != 0; }
inline bool entity_is(const Entity& e, EntityType type) { return e.type == type; }
bool entity_is(const Entity& e, Str name);

// --- rotation in quarter turns, kept in the two low flag bits

inline u32 rotation_to_flags(int rotation) { return rotation >= 1 && rotation <= 3 ? (u32)rotation : 0; }
inline int flags_to_rotation(u32 flags) { return (int)(flags & 3); }
const char* rotation_name(int rotation);

// --- diagnostics: one printer per component kind, writing its fields as text

typedef void (*ComponentSerializer)(FILE* out, const Entity& e);
extern const ComponentSerializer component_serializers[Component_num];
// Prints every component the entity has, in component order.
void dump_components(FILE* out, const Entity& e);

// --- names (the registry supplies the kinds' names)

// The person's name, else a non-empty blueprint name, else the kind's name. Always terminated.
const char* entity_name(const Entity& e);
// "name[id]" in one of 8 rotating buffers: the 8 most recent results stay valid.
const char* entity_string(const Entity& e);
