#pragma once
// The enumerations and component records that make up an entity. Every record here is part of the
// snapshot wire format, so each size and field offset is pinned at compile time.
#include <stddef.h>

#include "config.hpp"
#include "math.hpp"
#include "spells.hpp"
#include "types.hpp"

typedef u32 Id;
typedef u64 ComponentMask;

static_assert(sizeof(Time) == 8 && alignof(Time) == 8);
static_assert(sizeof(Param) == 8 && sizeof(Range) == 8 && sizeof(SpellType) == 1);

// --- enumerations

enum Component : u32 {
  Component_Mover = 0,
  Component_Actor = 1,
  Component_Projectile = 2,
  Component_Mortal = 3,
  Component_Person = 4,
  Component_Container = 5,
  Component_Item = 6,
  Component_Vessel = 7,
  Component_Food = 8,
  Component_Potion = 9,
  Component_Crop = 10,
  Component_Tree = 11,
  Component_Bush = 12,
  Component_Vein = 13,
  Component_Fuel = 14,
  Component_Tool = 15,
  Component_Cart = 16,
  Component_Entrance = 17,
  Component_Door = 18,
  Component_Belt = 19,
  Component_Events = 20,
  Component_Weapon = 21,
  Component_Blueprint = 22,
  Component_Blank = 23,
  Component_Thinker = 24,
  Component_Portal = 25,
  Component_num = 26,
};

enum EntityFlag : u32 {
  EntityFlag_Rotate90 = 1,
  EntityFlag_Rotate180 = 2,
  EntityFlag_NoCollisions = 4,
  EntityFlag_NoHover = 8,
  EntityFlag_Tabletop = 16,
  // Same bit as Tabletop: on a player it marks an administrator.
  EntityFlag_IsAdmin = 16,
  EntityFlag_Liftable = 32,
  EntityFlag_Roof = 64,
  EntityFlag_Wall = 128,
  EntityFlag_Invisible = 256,
  EntityFlag_Modified = 4096,
  EntityFlag_Ephemeral = 8192,
  EntityFlag_Protected = 16384,
  EntityFlag_Burning = 65536,
  EntityFlag_Pulled = 1048576,
};

enum EntityType : u16 {
  Entity_None,
  Entity_Player,
  Entity_skeleton,
  Entity_sharky,
  Entity_orc,
  Entity_blue_demon,
  Entity_snake,
  Entity_alien,
  Entity_birb,
  Entity_foxogattor,
  Entity_buba,
  Entity_frog,
  Entity_stag,
  Entity_projectile,
  Entity_bag,
  Entity_carrot_crop,
  Entity_wheat_crop,
  Entity_wheat,
  Entity_flour,
  Entity_nightstand_drawer,
  Entity_meat,
  Entity_roasted_meat,
  Entity_ash,
  Entity_berry,
  Entity_carrot,
  Entity_mushroom,
  Entity_radish,
  Entity_crystal,
  Entity_infinite_quelbin,
  Entity_corpse,
  Entity_tombstone,
  Entity_bush,
  Entity_berry_bush,
  Entity_grass,
  Entity_flower_group,
  Entity_pine_tree,
  Entity_apple_tree,
  Entity_palm_tree,
  Entity_weird_tree,
  Entity_tree_log,
  Entity_healing_potion,
  Entity_mana_potion,
  Entity_branch,
  Entity_wooden_plank,
  Entity_wooden_board,
  Entity_wooden_chest,
  Entity_wooden_table,
  Entity_thick_table,
  Entity_wooden_chair,
  Entity_wooden_bowl,
  Entity_simple_bowl,
  Entity_clay_bottle,
  Entity_fancy_bottle,
  Entity_simple_vaze,
  Entity_bone,
  Entity_bone_saw,
  Entity_bone_knife,
  Entity_axe,
  Entity_stone_pickaxe,
  Entity_wooden_sword,
  Entity_iron_sword,
  Entity_shitty_sword,
  Entity_spikey_club,
  Entity_iron_ore,
  Entity_iron_vein,
  Entity_iron_ingot,
  Entity_stone,
  Entity_rock,
  Entity_narrow_rock,
  Entity_rocky_stairs,
  Entity_rocky_stairs_portal,
  Entity_wooden_lamp,
  Entity_barak,
  Entity_tower,
  Entity_barrel,
  Entity_quern,
  Entity_tanning_tub,
  Entity_crate,
  Entity_torch,
  Entity_metal_torch,
  Entity_candle,
  Entity_candlestick_tripple,
  Entity_blocky_fence,
  Entity_dungeon_entrance,
  Entity_dungeon_entrance_tower,
  Entity_dungeon_staircase,
  Entity_dungeon_pillar,
  Entity_dungeon_column,
  Entity_dungeon_wall,
  Entity_dungeon_wall_niche,
  Entity_dungeon_wall_window,
  Entity_dungeon_doorframe,
  Entity_dungeon_door,
  Entity_dungeon_floor,
  Entity_test_corner,
  Entity_test_wall,
  Entity_test_window,
  Entity_test_door,
  Entity_brick_door,
  Entity_wall_uneven_brick_straight,
  Entity_corner_exterior_brick,
  Entity_corner_exterior_wood,
  Entity_wall_uneven_brick_door,
  Entity_wall_uneven_brick_window_wide_round,
  Entity_window_wide_round,
  Entity_door_frame_flat_brick,
  Entity_door_flat,
  Entity_roof_front_brick2,
  Entity_roof_front_brick4,
  Entity_roof_front_brick6,
  Entity_roof_4x4,
  Entity_roof_flat_tiles_2x4,
  Entity_roof_flat_tiles_6x8,
  Entity_roof_flat_tiles_8x12,
  Entity_roof_flat_tiles_tower,
  Entity_roof_flat_tiles_dormer,
  Entity_roof_flat_tiles_6_mid_half,
  Entity_roof_flat_tiles_6_mid,
  Entity_roof_flat_tiles_4_mid_half,
  Entity_roof_flat_tiles_4_mid,
  Entity_floor_wood_dark,
  Entity_bed,
  Entity_fancy_barrel,
  Entity_metal_bucket,
  Entity_bonfire,
  Entity_cube,
  Entity_fancy_cube,
  Entity_sphere,
  Entity_portal,
  Entity_waypoint,
  Entity_drying_rack,
  Entity_raw_hide,
  Entity_leather,
  Entity_leather_strip,
  Entity_sash,
  Entity_cart,
  Entity_wagon,
  Entity_fermion_gate,
  Entity_fermion_stone,
  Entity_training_dummy,
  Entity_wooden_toilet,
  Entity_blueprint,
  Entity_blank,
  Entity_test,
  Entity_num,
};
static_assert(Entity_Player == 1 && Entity_projectile == 13 && Entity_bag == 14);
static_assert(Entity_blueprint == 141 && Entity_blank == 142 && Entity_num == 144);
static_assert(sizeof(EntityType) == 2);

enum ActionType : u8 {
  ActionType_None = 0,
  ActionType_Destroy = 1,
  ActionType_Move = 2,
  ActionType_MoveTowards = 3,
  ActionType_Activate = 4,
  ActionType_Craft = 5,
  ActionType_BuildPlace = 6,
  ActionType_BuildAdd = 7,
  ActionType_Build = 8,
  ActionType_CastSpell = 9,
  ActionType_PickUp = 10,
  ActionType_Equip = 11,
  ActionType_Place = 12,
  ActionType_Lift = 13,
  ActionType_Pull = 14,
  ActionType_Release = 15,
  ActionType_Eat = 16,
  ActionType_Consume = 17,
  ActionType_SnapBranch = 18,
  ActionType_CollectBerries = 19,
  ActionType_Chop = 20,
  ActionType_Mine = 21,
  ActionType_Saw = 22,
  ActionType_Crush = 23,
  ActionType_Cut = 24,
  ActionType_Harvest = 25,
  ActionType_Grind = 26,
  ActionType_Open = 27,
  ActionType_Enter = 28,
  ActionType_Fill = 29,
  ActionType_Empty = 30,
  ActionType_Ignite = 31,
  ActionType_Extinguish = 32,
  ActionType_count = 33,
};

enum ActionFlag : u32 {
  ActionFlag_Repeat = 1,
  ActionFlag_ComeInRange = 2,
};

enum EffectType : u32 {
  EffectType_None = 0,
  EffectType_Sprint = 1,
  EffectType_Heal = 2,
  EffectType_Damage = 3,
  EffectType_Rage = 4,
  EffectType_Frozen = 5,
  EffectType_Poisoned = 6,
  EffectType_count = 7,
};

enum EventType : u32 {
  EventType_Damage = 0,
  EventType_Heal = 1,
  EventType_Mana = 2,
  EventType_Exp = 3,
  EventType_LvlUp = 4,
  EventType_PickUp = 5,
  EventType_UseEntity = 6,
  EventType_Death = 7,
};

enum LocationType : u16 {
  LocationType_World = 1,
  LocationType_Moba = 2,
  LocationType_Dungeon = 3,
};

// The zone a mover stands in; named and assigned by the location code.
enum LocationZone : u32 {
  LocationZone_None = 0,
  LocationZone_A = 1,
  LocationZone_B = 2,
  LocationZone_C = 3,
  LocationZone_D = 4,
};

enum ThinkerActivity : u32 {
  ThinkerActivity_None = 0,
  ThinkerActivity_Wandering = 1,
  ThinkerActivity_Attacking = 2,
  ThinkerActivity_Fleeing = 3,
  ThinkerActivity_ObstacleAvoiding = 4,
};

enum ThinkerFlag : u32 {
  ThinkerFlag_MindContolled = 1,
};

enum MortalFlag : u32 {
  MortalFlag_Aggressive = 1,
};

// Bits: a tool may serve several trades.
enum ToolType : u32 {
  Tool_Axe = 1,
  Tool_Saw = 2,
  Tool_Knife = 4,
  Tool_Pickaxe = 8,
  Tool_Hammer = 16,
};

// --- small records

struct LocationRef {
  LocationType type;
  u16 index;
};
static_assert(sizeof(LocationRef) == 4 && offsetof(LocationRef, index) == 2);

struct Action {
  ActionType type;
  Id target_id;
  v2 dst;
  f32 progress;
  Time started;
  f32 duration;
  f32 radius;
  u32 flags;  // ActionFlag
  union {
    SpellType spell_type;
    EntityType entity_type;
    Id ingredient_id;
  };
  u32 custom_flags;
};
static_assert(sizeof(Action) == 56);
static_assert(offsetof(Action, target_id) == 4 && offsetof(Action, dst) == 8 && offsetof(Action, progress) == 16);
static_assert(offsetof(Action, started) == 24 && offsetof(Action, duration) == 32 && offsetof(Action, radius) == 36);
static_assert(offsetof(Action, flags) == 40 && offsetof(Action, spell_type) == 44 &&
              offsetof(Action, entity_type) == 44);
static_assert(offsetof(Action, ingredient_id) == 44 && offsetof(Action, custom_flags) == 48);

struct SpellAbility {
  s32 level;
  f32 cooldown;
};
static_assert(sizeof(SpellAbility) == 8 && offsetof(SpellAbility, cooldown) == 4);

struct Effect {
  EffectType type;
  Time started_time;
  Time last_tick_time;
  f32 duration;
  SpellType source_spell_type;
  Id source_id;
};
static_assert(sizeof(Effect) == 40);
static_assert(offsetof(Effect, started_time) == 8 && offsetof(Effect, last_tick_time) == 16);
static_assert(offsetof(Effect, duration) == 24 && offsetof(Effect, source_spell_type) == 28);
static_assert(offsetof(Effect, source_id) == 32);

struct StomachSlot {
  EntityType type;
  Param energy;
};
static_assert(sizeof(StomachSlot) == 12 && offsetof(StomachSlot, energy) == 4);

struct Stomach {
  StomachSlot slots[4];
};
static_assert(sizeof(Stomach) == 48);

struct BlueprintElement {
  EntityType type;
  v2 offset;  // relative to the blueprint's origin
  u32 entity_flags;
};
static_assert(sizeof(BlueprintElement) == 16);
static_assert(offsetof(BlueprintElement, offset) == 4 && offsetof(BlueprintElement, entity_flags) == 12);

struct Event {
  Time time;
  u64 id;
  EventType type;
  union {
    struct {
      f32 value;
      SpellType spell_type;
      Id source_id;
    } damage;
    struct {
      f32 value;
    } healing;
    struct {
      Id id;
      EntityType type;
    } subject;
    struct {
      f32 xp;
    } exp;
  };
};
static_assert(sizeof(Event) == 32);
static_assert(offsetof(Event, id) == 8 && offsetof(Event, type) == 16 && offsetof(Event, damage) == 20);
static_assert(offsetof(Event, damage.spell_type) == 24 && offsetof(Event, damage.source_id) == 28);
static_assert(offsetof(Event, healing.value) == 20 && offsetof(Event, exp.xp) == 20);
static_assert(offsetof(Event, subject.id) == 20 && offsetof(Event, subject.type) == 24);

// --- components

struct Mover {
  v2 dst;
  v2 desired_dir;
  v2 vel;
  v2 acc;
  v2 slide;
  bool is_sliding;
  f32 speed;
  f32 base_speed;
  f32 bonus_speed;
  f32 gaze;
  f32 angle;
  Param stamina;
  LocationZone zone;
};
static_assert(sizeof(Mover) == 76);
static_assert(offsetof(Mover, desired_dir) == 8 && offsetof(Mover, vel) == 16 && offsetof(Mover, acc) == 24);
static_assert(offsetof(Mover, slide) == 32 && offsetof(Mover, is_sliding) == 40 && offsetof(Mover, speed) == 44);
static_assert(offsetof(Mover, base_speed) == 48 && offsetof(Mover, bonus_speed) == 52 && offsetof(Mover, gaze) == 56);
static_assert(offsetof(Mover, angle) == 60 && offsetof(Mover, stamina) == 64 && offsetof(Mover, zone) == 72);

struct Projectile {
  Id attacker_id;
  Id target_id;
  SpellType type;
  f32 damage;
  u32 flags;
};
static_assert(sizeof(Projectile) == 20);
static_assert(offsetof(Projectile, target_id) == 4 && offsetof(Projectile, type) == 8);
static_assert(offsetof(Projectile, damage) == 12 && offsetof(Projectile, flags) == 16);

struct Mortal {
  Param hp;
  u8 group;
  Time death_time;
  Id burden;
  u32 flags;  // MortalFlag
};
static_assert(sizeof(Mortal) == 32);
static_assert(offsetof(Mortal, group) == 8 && offsetof(Mortal, death_time) == 16);
static_assert(offsetof(Mortal, burden) == 24 && offsetof(Mortal, flags) == 28);

struct Actor {
  Action action;
  Action next_action;
  Param mana;
  Param energy;
  Param strength;
  Param dexterity;
  Param intellect;
  SpellAbility spellset[SpellType_count];
  // Slot 0 stays unused: lookups start at 1.
  Effect effects[EffectType_count];
};
static_assert(sizeof(Actor) == 552);
static_assert(offsetof(Actor, next_action) == 56 && offsetof(Actor, mana) == 112 && offsetof(Actor, energy) == 120);
static_assert(offsetof(Actor, strength) == 128 && offsetof(Actor, dexterity) == 136);
static_assert(offsetof(Actor, intellect) == 144 && offsetof(Actor, spellset) == 152 && offsetof(Actor, effects) == 272);

struct Person {
  // May arrive without a terminator: read it with person_name().
  char name[PLAYER_NAME_LEN];
  u16 lvl;
  Param xp;
  Param energy;
  Stomach stomach;
  Id respawn_id;
  v2 respawn_pos;
};
static_assert(sizeof(Person) == 112);
static_assert(offsetof(Person, lvl) == 32 && offsetof(Person, xp) == 36 && offsetof(Person, energy) == 44);
static_assert(offsetof(Person, stomach) == 52 && offsetof(Person, respawn_id) == 100);
static_assert(offsetof(Person, respawn_pos) == 104);

struct Thinker {
  ThinkerActivity activity;
  Time next_target_check_time;
  Time next_wander_check_time;
  SpellType main_attack;
  Range damage;
  Id target_id;
  f32 aggro;
  f32 annoyance;
  s32 collisions;
  v2 respawn_pos;
  u32 flags;  // ThinkerFlag
};
static_assert(sizeof(Thinker) == 64);
static_assert(offsetof(Thinker, next_target_check_time) == 8 && offsetof(Thinker, next_wander_check_time) == 16);
static_assert(offsetof(Thinker, main_attack) == 24 && offsetof(Thinker, damage) == 28);
static_assert(offsetof(Thinker, target_id) == 36 && offsetof(Thinker, aggro) == 40);
static_assert(offsetof(Thinker, annoyance) == 44 && offsetof(Thinker, collisions) == 48);
static_assert(offsetof(Thinker, respawn_pos) == 52 && offsetof(Thinker, flags) == 60);

struct Blank {
  EntityType type;                   // the kind being built
  s32 ingredients[INGREDIENTS_MAX];  // added so far, in recipe order
};
static_assert(sizeof(Blank) == 68 && offsetof(Blank, ingredients) == 4);

constexpr int CONTAINER_SLOTS_MAX = 16;

struct Container {
  Id slots[CONTAINER_SLOTS_MAX];  // 0 is an empty slot
  // May exceed the array in a hostile record: read it with container_nslots().
  u8 nslots;
};
static_assert(sizeof(Container) == 68 && offsetof(Container, nslots) == 64);

struct Item {
  Id container;  // 0 when the item lies in the world
  u16 quality;
  f32 temperature;
  Param durability;
};
static_assert(sizeof(Item) == 20);
static_assert(offsetof(Item, quality) == 4 && offsetof(Item, temperature) == 8 && offsetof(Item, durability) == 12);

struct Vessel {
  Param volume;
};
static_assert(sizeof(Vessel) == 8);

struct Fuel {
  Param capacity;
};
static_assert(sizeof(Fuel) == 8);

struct Food {
  f32 energy;
  f32 cooking_time;
  f32 protein;
  f32 carbs;
  f32 fat;
};
static_assert(sizeof(Food) == 20);
static_assert(offsetof(Food, cooking_time) == 4 && offsetof(Food, protein) == 8);
static_assert(offsetof(Food, carbs) == 12 && offsetof(Food, fat) == 16);

struct Potion {
  f32 power;
};
struct Crop {
  Time planted_time;
};
struct Tree {
  u8 branches;
};
struct Bush {
  u8 berries;
};
struct Vein {
  u8 ore;
};
struct Tool {
  ToolType type;
};
struct Door {
  bool opened;
};
struct Portal {
  u8 endpoint;
};
static_assert(sizeof(Potion) == 4 && sizeof(Crop) == 8 && sizeof(Tool) == 4);
static_assert(sizeof(Tree) == 1 && sizeof(Bush) == 1 && sizeof(Vein) == 1 && sizeof(Door) == 1 && sizeof(Portal) == 1);

struct Weapon {
  Range dmg;
};
static_assert(sizeof(Weapon) == 8);

constexpr int BLUEPRINT_ELEMENTS_MAX = 32;

struct Blueprint {
  v2 origin;
  BlueprintElement elements[BLUEPRINT_ELEMENTS_MAX];
  // May exceed the array in a hostile record: read it with blueprint_nelements().
  s32 nelements;
  // May arrive without a terminator: read it with blueprint_name().
  char name[ENTITY_TYPE_NAME_LEN];
};
static_assert(sizeof(Blueprint) == 588);
static_assert(offsetof(Blueprint, elements) == 8 && offsetof(Blueprint, nelements) == 520);
static_assert(offsetof(Blueprint, name) == 524);

constexpr int EVENTS_MAX = 8;

struct Events {
  Event events[EVENTS_MAX];
  // May exceed the array in a hostile record: read it with events_count().
  s32 nevents;
};
static_assert(sizeof(Events) == 264 && offsetof(Events, nevents) == 256);

// --- readers that keep network-supplied names and counts inside their arrays

// The characters of a fixed name field up to its terminator or its end, whichever comes first.
inline Str fixed_name(const char* name, int capacity) { return Str(name, (int)strnlen(name, (size_t)capacity)); }
inline Str person_name(const Person& p) { return fixed_name(p.name, PLAYER_NAME_LEN); }
inline Str blueprint_name(const Blueprint& b) { return fixed_name(b.name, ENTITY_TYPE_NAME_LEN); }
inline int container_nslots(const Container& c) {
  return c.nslots < CONTAINER_SLOTS_MAX ? c.nslots : CONTAINER_SLOTS_MAX;
}
inline int blueprint_nelements(const Blueprint& b) { return clamp(b.nelements, 0, BLUEPRINT_ELEMENTS_MAX); }
inline int events_count(const Events& e) { return clamp(e.nevents, 0, EVENTS_MAX); }

const char* component_name(Component c);
