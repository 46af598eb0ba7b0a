// The registry of entity kinds, filled once at start-up from the table below, the names of entities,
// and the entity storage.
#include <initializer_list>

#include "registry.hpp"

// Constant-initialized to zero: they sit in .bss and cost nothing at start-up.
constinit EntityRegistry global_entity_registry = {};
constinit EntityStorage entity_storage = {};

// --- building a kind's prototype: one chain of calls per kind, everything not set stays zero

namespace {

struct KindBuilder {
  Entity* e;
  EntityInfo* info;

  KindBuilder& circle(f32 radius, f32 height = 0) {
    e->dim = {radius, 0, height};
    return *this;
  }
  KindBuilder& box(f32 x, f32 y, f32 height = 0) {
    e->dim = {x, y, height};
    return *this;
  }
  KindBuilder& flags(u32 f) {
    e->flags = f;
    return *this;
  }
  KindBuilder& with(std::initializer_list<Component> components) {
    for (Component c : components) enable_component(*e, c);
    return *this;
  }
  KindBuilder& hp(f32 max, f32 cur = 0) {
    e->mortal.hp = {cur, max};
    return *this;
  }
  KindBuilder& base_speed(f32 speed) {
    e->mover.base_speed = speed;
    return *this;
  }
  KindBuilder& nslots(u8 n) {
    e->container.nslots = n;
    return *this;
  }
  KindBuilder& volume(f32 max) {
    e->vessel.volume.max = max;
    return *this;
  }
  KindBuilder& fuel(f32 cur, f32 max) {
    e->fuel.capacity = {cur, max};
    return *this;
  }
  KindBuilder& food(f32 energy) {
    e->food.energy = energy;
    return *this;
  }
  KindBuilder& potion(f32 power) {
    e->potion.power = power;
    return *this;
  }
  KindBuilder& tool(ToolType type) {
    e->tool.type = type;
    return *this;
  }
  KindBuilder& damage(f32 min, f32 max) {
    e->weapon.dmg = {min, max};
    return *this;
  }
  KindBuilder& recipe(std::initializer_list<Ingredient> ingredients, EntityType equipment = Entity_None) {
    assert(ingredients.size() <= INGREDIENTS_MAX);
    int i = 0;
    for (Ingredient ingredient : ingredients) info->recipe.ingredients[i++] = ingredient;
    info->recipe.equipment = equipment;
    return *this;
  }
};

constexpr bool Glb = true;
constexpr bool Gltf = false;

KindBuilder kind(EntityType type, const char* type_name, u8 nvariants, bool is_glb) {
  EntityRegistry& r = global_entity_registry;
  Entity* e = &r.prototypes[type];
  EntityInfo* info = &r.info[type];
  e->type = type;
  info->type_name = type_name;
  info->nvariants = nvariants;
  info->is_glb = is_glb;
  return {e, info};
}

}  // namespace

void load_entity_registry() {
  EntityRegistry& r = global_entity_registry;
  r.info[Entity_None].type_name = "none";
  Entity& player = r.prototypes[Entity_Player];
  player.type = Entity_Player;
  player.dim = {16, 0, 48};
  enable_component(player, Component_Person);
  r.info[Entity_Player].type_name = "player";
  register_entities();
}

void register_entities() {
  // The kinds, one a line or two, laid out as a table to read down.
  // clang-format off
  global_entity_registry.nprototypes = Entity_num;
  kind(Entity_skeleton, "skeleton", 1, Glb).circle(16).flags(EntityFlag_Rotate90)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(150).base_speed(160);
  kind(Entity_sharky, "sharky", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(120);
  kind(Entity_orc, "orc", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(120);
  kind(Entity_blue_demon, "blue_demon", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(120);
  kind(Entity_snake, "snake", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(100);
  kind(Entity_alien, "alien", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(100);
  kind(Entity_birb, "birb", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(50).base_speed(100);
  kind(Entity_foxogattor, "foxogattor", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(200).base_speed(100);
  kind(Entity_buba, "buba", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(100);
  kind(Entity_frog, "frog", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(100).base_speed(100);
  kind(Entity_stag, "stag", 1, Glb).circle(16)
      .with({Component_Mover, Component_Actor, Component_Mortal, Component_Thinker}).hp(400).base_speed(100);
  kind(Entity_projectile, "projectile", 0, Gltf).circle(16).with({Component_Projectile});
  kind(Entity_bag, "bag", 1, Glb).circle(16).with({Component_Container, Component_Item}).nslots(16);
  kind(Entity_carrot_crop, "carrot_crop", 1, Glb).circle(8).flags(EntityFlag_NoCollisions).with({Component_Crop});
  kind(Entity_wheat_crop, "wheat_crop", 1, Glb).box(32, 32).flags(EntityFlag_NoCollisions).with({Component_Crop});
  kind(Entity_wheat, "wheat", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_flour, "flour", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_nightstand_drawer, "nightstand_drawer", 1, Gltf).box(32, 32);
  kind(Entity_meat, "meat", 1, Glb).circle(16).with({Component_Item, Component_Food}).food(40);
  kind(Entity_roasted_meat, "roasted_meat", 1, Glb).circle(16).with({Component_Item, Component_Food}).food(60)
      .recipe({{Entity_meat, 1}}, Entity_bonfire);
  kind(Entity_ash, "ash", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_berry, "berry", 1, Glb).circle(8).with({Component_Item, Component_Food}).food(5);
  kind(Entity_carrot, "carrot", 1, Glb).circle(8).with({Component_Item, Component_Food}).food(10);
  kind(Entity_mushroom, "mushroom", 3, Glb).circle(8).with({Component_Item, Component_Food}).food(15);
  kind(Entity_radish, "radish", 1, Gltf).circle(8).with({Component_Item, Component_Food}).food(10);
  kind(Entity_crystal, "crystal", 1, Glb).circle(8).with({Component_Item, Component_Food}).food(200);
  kind(Entity_infinite_quelbin, "infinite_quelbin", 1, Glb).circle(8).with({Component_Item, Component_Food})
      .food(9000);
  kind(Entity_corpse, "corpse", 1, Glb).circle(16).flags(EntityFlag_NoCollisions).with({Component_Container})
      .nslots(4);
  kind(Entity_tombstone, "tombstone", 1, Glb).box(16, 16);
  kind(Entity_bush, "bush", 2, Glb).circle(16);
  kind(Entity_berry_bush, "berry_bush", 2, Glb).circle(16).with({Component_Bush});
  kind(Entity_grass, "grass", 4, Glb).circle(16).with({Component_Item});
  kind(Entity_flower_group, "flower_group", 7, Gltf).circle(16).with({Component_Item});
  kind(Entity_pine_tree, "pine_tree", 1, Glb).circle(16).with({Component_Tree});
  kind(Entity_apple_tree, "apple_tree", 1, Glb).circle(16).with({Component_Tree});
  kind(Entity_palm_tree, "palm_tree", 3, Glb).circle(16).with({Component_Tree});
  kind(Entity_weird_tree, "weird_tree", 2, Glb).circle(16).with({Component_Tree});
  kind(Entity_tree_log, "tree_log", 1, Gltf).box(96, 16).flags(EntityFlag_Liftable);
  kind(Entity_healing_potion, "healing_potion", 1, Glb).circle(8).flags(EntityFlag_Tabletop)
      .with({Component_Item, Component_Potion}).potion(25).recipe({{Entity_carrot, 4}});
  kind(Entity_mana_potion, "mana_potion", 1, Glb).circle(8).flags(EntityFlag_Tabletop)
      .with({Component_Item, Component_Potion}).potion(25).recipe({{Entity_carrot, 4}});
  kind(Entity_branch, "branch", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_wooden_plank, "wooden_plank", 1, Gltf).box(64, 8).flags(EntityFlag_Liftable);
  kind(Entity_wooden_board, "wooden_board", 1, Gltf).box(32, 8).with({Component_Item});
  kind(Entity_wooden_chest, "wooden_chest", 1, Glb).box(32, 16, 16).flags(EntityFlag_Liftable)
      .with({Component_Container}).nslots(16).recipe({{Entity_wooden_board, 4}});
  kind(Entity_wooden_table, "wooden_table", 1, Glb).box(32, 32).with({Component_Container}).nslots(4)
      .recipe({{Entity_wooden_plank, 4}});
  kind(Entity_thick_table, "thick_table", 1, Glb).box(32, 32).with({Component_Container}).nslots(4)
      .recipe({{Entity_wooden_plank, 4}});
  kind(Entity_wooden_chair, "wooden_chair", 2, Glb).box(16, 16).recipe({{Entity_branch, 4}});
  kind(Entity_wooden_bowl, "wooden_bowl", 3, Glb).circle(8).flags(EntityFlag_Tabletop).with({Component_Item})
      .recipe({{Entity_branch, 4}});
  kind(Entity_simple_bowl, "simple_bowl", 1, Glb).circle(8).flags(EntityFlag_Tabletop).with({Component_Item})
      .recipe({{Entity_branch, 4}});
  kind(Entity_clay_bottle, "clay_bottle", 1, Glb).circle(8).flags(EntityFlag_Tabletop).with({Component_Item})
      .recipe({{Entity_stone, 4}});
  kind(Entity_fancy_bottle, "fancy_bottle", 1, Glb).circle(8).flags(EntityFlag_Tabletop).with({Component_Item})
      .recipe({{Entity_stone, 4}});
  kind(Entity_simple_vaze, "simple_vaze", 1, Glb).circle(8).flags(EntityFlag_Tabletop).with({Component_Item})
      .recipe({{Entity_stone, 4}});
  kind(Entity_bone, "bone", 2, Glb).circle(8).with({Component_Item});
  kind(Entity_bone_saw, "bone_saw", 1, Glb).circle(8).with({Component_Item, Component_Tool, Component_Weapon})
      .tool(Tool_Saw).damage(10, 20).recipe({{Entity_bone, 2}, {Entity_stone, 1}});
  kind(Entity_bone_knife, "bone_knife", 1, Glb).circle(8).with({Component_Item, Component_Tool, Component_Weapon})
      .tool(Tool_Knife).damage(10, 20).recipe({{Entity_bone, 3}, {Entity_stone, 1}});
  kind(Entity_axe, "axe", 1, Gltf).circle(8).with({Component_Item, Component_Tool, Component_Weapon}).tool(Tool_Axe)
      .damage(10, 20).recipe({{Entity_stone, 2}, {Entity_branch, 1}});
  kind(Entity_stone_pickaxe, "stone_pickaxe", 1, Glb).circle(8)
      .with({Component_Item, Component_Tool, Component_Weapon}).tool(Tool_Pickaxe).damage(10, 20)
      .recipe({{Entity_stone, 3}, {Entity_branch, 1}});
  kind(Entity_wooden_sword, "wooden_sword", 1, Gltf).box(32, 8)
      .with({Component_Item, Component_Tool, Component_Weapon}).tool(Tool_Knife).damage(5, 20)
      .recipe({{Entity_branch, 2}});
  kind(Entity_iron_sword, "iron_sword", 1, Glb).circle(8).with({Component_Item, Component_Tool, Component_Weapon})
      .tool(Tool_Hammer).damage(20, 50).recipe({{Entity_iron_ingot, 3}, {Entity_branch, 2}});
  kind(Entity_shitty_sword, "shitty_sword", 1, Glb).circle(8).with({Component_Item, Component_Weapon})
      .damage(10, 30);
  kind(Entity_spikey_club, "spikey_club", 1, Glb).circle(8).with({Component_Item, Component_Weapon}).damage(10, 30);
  kind(Entity_iron_ore, "iron_ore", 1, Glb).circle(8).with({Component_Item});
  kind(Entity_iron_vein, "iron_vein", 1, Glb).circle(16).with({Component_Vein});
  kind(Entity_iron_ingot, "iron_ingot", 1, Glb).circle(8).with({Component_Item});
  kind(Entity_stone, "stone", 1, Glb).circle(8).with({Component_Item});
  kind(Entity_rock, "rock", 4, Gltf).circle(16);
  kind(Entity_narrow_rock, "narrow_rock", 2, Glb).circle(8);
  kind(Entity_rocky_stairs, "rocky_stairs", 1, Glb).box(16, 16);
  kind(Entity_rocky_stairs_portal, "rocky_stairs_portal", 1, Glb).box(64, 64);
  kind(Entity_wooden_lamp, "wooden_lamp", 1, Glb).circle(8);
  kind(Entity_barak, "barak", 1, Glb).circle(16);
  kind(Entity_tower, "tower", 1, Glb).circle(16);
  kind(Entity_barrel, "barrel", 1, Glb).circle(16).flags(EntityFlag_Liftable).recipe({{Entity_wooden_board, 8}});
  kind(Entity_quern, "quern", 1, Glb).circle(16).flags(EntityFlag_Liftable).with({Component_Container}).nslots(4)
      .recipe({{Entity_stone, 8}});
  kind(Entity_tanning_tub, "tanning_tub", 1, Gltf).circle(16).flags(EntityFlag_Liftable)
      .with({Component_Container, Component_Vessel}).nslots(1).volume(4000).recipe({{Entity_wooden_board, 4}});
  kind(Entity_crate, "crate", 1, Glb).box(32, 32, 32).flags(EntityFlag_Liftable).with({Component_Container}).nslots(8)
      .recipe({{Entity_wooden_board, 8}});
  kind(Entity_torch, "torch", 1, Glb).circle(8, 12).with({Component_Item, Component_Fuel}).fuel(100, 100)
      .recipe({{Entity_grass, 3}, {Entity_branch, 1}});
  kind(Entity_metal_torch, "metal_torch", 1, Glb).circle(8).with({Component_Item, Component_Fuel}).fuel(100, 100)
      .recipe({{Entity_stone, 3}, {Entity_branch, 1}});
  kind(Entity_candle, "candle", 1, Glb).circle(8).flags(EntityFlag_Tabletop).with({Component_Item, Component_Fuel})
      .fuel(100, 100).recipe({{Entity_stone, 3}, {Entity_branch, 1}});
  kind(Entity_candlestick_tripple, "candlestick_tripple", 1, Gltf).circle(8).flags(EntityFlag_Tabletop)
      .with({Component_Item, Component_Fuel}).fuel(100, 100).recipe({{Entity_stone, 3}, {Entity_branch, 1}});
  kind(Entity_blocky_fence, "blocky_fence", 1, Glb).box(128, 8, 24).flags(EntityFlag_Wall);
  kind(Entity_dungeon_entrance, "dungeon_entrance", 1, Glb).box(64, 64, 64).with({Component_Entrance});
  kind(Entity_dungeon_entrance_tower, "dungeon_entrance_tower", 1, Glb).box(64, 64, 64).with({Component_Entrance});
  kind(Entity_dungeon_staircase, "dungeon_staircase", 1, Glb).box(64, 64, 64).with({Component_Entrance});
  kind(Entity_dungeon_pillar, "dungeon_pillar", 1, Glb).box(16, 16, 96).flags(EntityFlag_Wall);
  kind(Entity_dungeon_column, "dungeon_column", 2, Glb).box(16, 16, 96).flags(EntityFlag_Wall);
  kind(Entity_dungeon_wall, "dungeon_wall", 3, Glb).box(64, 16, 96).flags(EntityFlag_Wall);
  kind(Entity_dungeon_wall_niche, "dungeon_wall_niche", 2, Glb).box(64, 16, 96).flags(EntityFlag_Wall);
  kind(Entity_dungeon_wall_window, "dungeon_wall_window", 1, Glb).box(64, 16, 96).flags(EntityFlag_Wall);
  kind(Entity_dungeon_doorframe, "dungeon_doorframe", 1, Glb).box(64, 16, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_NoHover | EntityFlag_Wall);
  kind(Entity_dungeon_door, "dungeon_door", 1, Glb).box(64, 16, 96).flags(EntityFlag_Wall).with({Component_Door});
  kind(Entity_dungeon_floor, "dungeon_floor", 1, Glb).box(64, 64).flags(EntityFlag_NoCollisions);
  kind(Entity_test_corner, "test_corner", 1, Glb).box(16, 16, 80);
  kind(Entity_test_wall, "test_wall", 1, Glb).box(64, 8, 80).flags(EntityFlag_Wall);
  kind(Entity_test_window, "test_window", 1, Glb).box(64, 8, 64);
  kind(Entity_test_door, "test_door", 1, Glb).box(64, 8, 80).flags(EntityFlag_NoCollisions);
  kind(Entity_brick_door, "brick_door", 1, Glb).box(64, 8, 80).flags(EntityFlag_NoCollisions);
  kind(Entity_wall_uneven_brick_straight, "wall_uneven_brick_straight", 1, Gltf).box(64, 8, 96)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_corner_exterior_brick, "corner_exterior_brick", 1, Gltf).box(8, 8, 96)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_corner_exterior_wood, "corner_exterior_wood", 1, Gltf).box(8, 8, 96)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_wall_uneven_brick_door, "wall_uneven_brick_door", 1, Gltf).box(64, 8, 96).flags(EntityFlag_NoCollisions)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_wall_uneven_brick_window_wide_round, "wall_uneven_brick_window_wide_round", 1, Gltf).box(64, 8, 96)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_window_wide_round, "window_wide_round", 3, Gltf).box(64, 8, 96).flags(EntityFlag_NoCollisions)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_door_frame_flat_brick, "door_frame_flat_brick", 1, Gltf).box(64, 8, 96).flags(EntityFlag_NoCollisions)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_door_flat, "door_flat", 1, Gltf).box(64, 8, 96).flags(EntityFlag_NoCollisions)
      .recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_roof_front_brick2, "roof_front_brick2", 1, Gltf).box(64, 8, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 2}});
  kind(Entity_roof_front_brick4, "roof_front_brick4", 1, Gltf).box(128, 8, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 4}});
  kind(Entity_roof_front_brick6, "roof_front_brick6", 1, Gltf).box(192, 8, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 4}});
  kind(Entity_roof_4x4, "roof_4x4", 1, Glb).box(128, 128, 96).flags(EntityFlag_NoCollisions | EntityFlag_Roof)
      .recipe({{Entity_wooden_plank, 4}});
  kind(Entity_roof_flat_tiles_2x4, "roof_flat_tiles_2x4", 1, Gltf).box(64, 128, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 2}});
  kind(Entity_roof_flat_tiles_6x8, "roof_flat_tiles_6x8", 1, Gltf).box(192, 256, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 4}});
  kind(Entity_roof_flat_tiles_8x12, "roof_flat_tiles_8x12", 1, Gltf).box(256, 384, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 4}});
  kind(Entity_roof_flat_tiles_tower, "roof_flat_tiles_tower", 1, Gltf).box(64, 64, 192)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 2}});
  kind(Entity_roof_flat_tiles_dormer, "roof_flat_tiles_dormer", 1, Gltf).box(64, 64, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof).recipe({{Entity_wooden_plank, 2}});
  kind(Entity_roof_flat_tiles_6_mid_half, "roof_flat_tiles_6_mid_half", 1, Gltf).box(128, 32, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof);
  kind(Entity_roof_flat_tiles_6_mid, "roof_flat_tiles_6_mid", 1, Gltf).box(128, 32, 192)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof);
  kind(Entity_roof_flat_tiles_4_mid_half, "roof_flat_tiles_4_mid_half", 1, Gltf).box(128, 32, 96)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof);
  kind(Entity_roof_flat_tiles_4_mid, "roof_flat_tiles_4_mid", 1, Gltf).box(128, 32, 192)
      .flags(EntityFlag_NoCollisions | EntityFlag_Roof);
  kind(Entity_floor_wood_dark, "floor_wood_dark", 1, Gltf).box(32, 32).flags(EntityFlag_NoCollisions);
  kind(Entity_bed, "bed", 1, Gltf).box(48, 64).recipe({{Entity_wooden_plank, 4}});
  kind(Entity_fancy_barrel, "fancy_barrel", 1, Gltf).circle(16).recipe({{Entity_wooden_plank, 4}});
  kind(Entity_metal_bucket, "metal_bucket", 1, Glb).circle(16);
  kind(Entity_bonfire, "bonfire", 1, Glb).circle(16).with({Component_Container, Component_Fuel}).nslots(2)
      .fuel(100, 100).recipe({{Entity_branch, 4}});
  kind(Entity_cube, "cube", 1, Glb).box(64, 64);
  kind(Entity_fancy_cube, "fancy_cube", 1, Glb).box(32, 32);
  kind(Entity_sphere, "sphere", 2, Glb).circle(16);
  kind(Entity_portal, "portal", 0, Gltf).circle(16).with({Component_Portal});
  kind(Entity_waypoint, "waypoint", 1, Glb).circle(32).with({Component_Portal});
  kind(Entity_drying_rack, "drying_rack", 1, Glb).box(48, 32).with({Component_Container}).nslots(1)
      .recipe({{Entity_wooden_plank, 5}, {Entity_grass, 4}});
  kind(Entity_raw_hide, "raw_hide", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_leather, "leather", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_leather_strip, "leather_strip", 1, Glb).circle(16).with({Component_Item});
  kind(Entity_sash, "sash", 1, Glb).circle(16).with({Component_Container, Component_Item, Component_Belt}).nslots(1)
      .recipe({{Entity_leather_strip, 4}});
  kind(Entity_cart, "cart", 1, Glb).circle(36, 24).with({Component_Mover, Component_Container, Component_Cart})
      .nslots(4).recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_wagon, "wagon", 1, Gltf).circle(48, 24).with({Component_Mover, Component_Container, Component_Cart})
      .nslots(8).recipe({{Entity_wooden_plank, 4}, {Entity_stone, 4}});
  kind(Entity_fermion_gate, "fermion_gate", 1, Glb).circle(64).flags(EntityFlag_NoCollisions);
  kind(Entity_fermion_stone, "fermion_stone", 1, Glb).box(32, 32).recipe({{Entity_stone, 12}});
  kind(Entity_training_dummy, "training_dummy", 1, Glb).circle(16)
      .with({Component_Actor, Component_Mortal, Component_Events}).hp(1000, 1000);
  kind(Entity_wooden_toilet, "wooden_toilet", 1, Glb).box(32, 32);
  kind(Entity_blueprint, "blueprint", 1, Glb).circle(8).with({Component_Item, Component_Blueprint});
  kind(Entity_blank, "blank", 2, Glb).circle(8).with({Component_Blank});
  kind(Entity_test, "test", 1, Glb).circle(16);
  // clang-format on
}

// --- lookups

static bool is_registered(EntityType type) { return (s32)type < global_entity_registry.nprototypes; }

const char* entity_type_name(EntityType type) {
  assert(type != Entity_None && is_registered(type));
  return global_entity_registry.info[type].type_name;
}

const char* find_entity_type_name(EntityType type) {
  if (type == Entity_None || !is_registered(type)) return nullptr;
  return global_entity_registry.info[type].type_name;
}

Entity* find_entity_prototype(EntityType type) {
  return is_registered(type) ? &global_entity_registry.prototypes[type] : nullptr;
}

Entity* get_entity_prototype(EntityType type) {
  Entity* prototype = find_entity_prototype(type);
  if (!prototype) panic("No prototype for entity type %d\n", (int)type);
  return prototype;
}

EntityInfo* find_entity_info(EntityType type) {
  return is_registered(type) ? &global_entity_registry.info[type] : nullptr;
}

// The array has room for every u16 below ENTITY_PROTOTYPES_MAX; callers pass kinds they produced.
EntityInfo* get_entity_info(EntityType type) {
  assert(type < ENTITY_PROTOTYPES_MAX);
  return &global_entity_registry.info[type];
}

static EntityType find_entity_type_by_name(Str name) {
  const EntityRegistry& r = global_entity_registry;
  for (s32 t = Entity_Player + 1; t < r.nprototypes; t++) {
    const char* type_name = r.info[t].type_name;
    if (type_name && str_eq(Str(type_name), name)) return (EntityType)t;
  }
  return Entity_None;
}

Entity* find_entity_prototype_by_name(Str name) {
  EntityType type = find_entity_type_by_name(name);
  return type == Entity_None ? nullptr : &global_entity_registry.prototypes[type];
}

EntityType get_entity_type_by_name(Str name) {
  EntityType type = find_entity_type_by_name(name);
  if (type == Entity_None) panic("No entity type named '" str_fmt "'\n", str_arg(name));
  return type;
}

Entity* get_entity_prototype_by_name(Str name) {
  return &global_entity_registry.prototypes[get_entity_type_by_name(name)];
}

void copy_prototype(Entity* dst, const Entity& prototype) {
  memcpy((u8*)dst + Entity_Prototype_Offset, (const u8*)&prototype + Entity_Prototype_Offset, Entity_Prototype_Size);
}

// --- names

// Names that arrive without a terminator are copied here so that every caller gets a C string.
static const char* terminated_copy(Str name) {
  static Text ring[8];
  static u32 counter;
  Text& t = ring[counter++ % 8];
  text_set(t, name);
  return t.cstr();
}

static const char* fixed_name_cstr(const char* name, int capacity) {
  Str s = fixed_name(name, capacity);
  return s.len < capacity ? name : terminated_copy(s);
}

const char* entity_name(const Entity& e) {
  if (has_component(e, Component_Person)) return fixed_name_cstr(e.person.name, PLAYER_NAME_LEN);
  if (has_component(e, Component_Blueprint) && e.blueprint.name[0])
    return fixed_name_cstr(e.blueprint.name, ENTITY_TYPE_NAME_LEN);
  // A kind from the network may be unknown here: name it rather than stop.
  const char* type_name = find_entity_type_name(e.type);
  return type_name ? type_name : "???";
}

const char* entity_type_display_name(EntityType type) {
  const Entity* prototype = find_entity_prototype(type);
  return prototype ? entity_name(*prototype) : "???";
}

const char* entity_string(const Entity& e) {
  static Text ring[8];
  static u32 counter;
  Text& t = ring[counter++ % 8];
  t = tprintf("%s[%d]", entity_name(e), (int)e.id);
  return t.cstr();
}
