#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "registry.hpp"

namespace {

// Every kind in EntityType order: name | shape | flags | components | values | recipe | model variants.
// Shapes: "r R [h H]" is a circle, "box X x Y [h H]" a box. Any field not listed is zero.
const char* const kinds_table = R"(
| none | - |  |  |  |  |  |
| player | r 16 h 48 |  | Person |  |  |  |
| skeleton | r 16 | Rotate90 | Mover, Actor, Mortal, Thinker | hp max 150; base_speed 160 |  | 1 glb |
| sharky | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 120 |  | 1 glb |
| orc | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 120 |  | 1 glb |
| blue_demon | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 120 |  | 1 glb |
| snake | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 100 |  | 1 glb |
| alien | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 100 |  | 1 glb |
| birb | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 50; base_speed 100 |  | 1 glb |
| foxogattor | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 200; base_speed 100 |  | 1 glb |
| buba | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 100 |  | 1 glb |
| frog | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 100; base_speed 100 |  | 1 glb |
| stag | r 16 |  | Mover, Actor, Mortal, Thinker | hp max 400; base_speed 100 |  | 1 glb |
| projectile | r 16 |  | Projectile |  |  |  |
| bag | r 16 |  | Container, Item | nslots 16 |  | 1 glb |
| carrot_crop | r 8 | NoCollisions | Crop |  |  | 1 glb |
| wheat_crop | box 32x32 | NoCollisions | Crop |  |  | 1 glb |
| wheat | r 16 |  | Item |  |  | 1 glb |
| flour | r 16 |  | Item |  |  | 1 glb |
| nightstand_drawer | box 32x32 |  |  |  |  | 1 gltf |
| meat | r 16 |  | Item, Food | food energy 40 |  | 1 glb |
| roasted_meat | r 16 |  | Item, Food | food energy 60 | 1 meat at bonfire | 1 glb |
| ash | r 16 |  | Item |  |  | 1 glb |
| berry | r 8 |  | Item, Food | food energy 5 |  | 1 glb |
| carrot | r 8 |  | Item, Food | food energy 10 |  | 1 glb |
| mushroom | r 8 |  | Item, Food | food energy 15 |  | 3 glb |
| radish | r 8 |  | Item, Food | food energy 10 |  | 1 gltf |
| crystal | r 8 |  | Item, Food | food energy 200 |  | 1 glb |
| infinite_quelbin | r 8 |  | Item, Food | food energy 9000 |  | 1 glb |
| corpse | r 16 | NoCollisions | Container | nslots 4 |  | 1 glb |
| tombstone | box 16x16 |  |  |  |  | 1 glb |
| bush | r 16 |  |  |  |  | 2 glb |
| berry_bush | r 16 |  | Bush |  |  | 2 glb |
| grass | r 16 |  | Item |  |  | 4 glb |
| flower_group | r 16 |  | Item |  |  | 7 gltf |
| pine_tree | r 16 |  | Tree |  |  | 1 glb |
| apple_tree | r 16 |  | Tree |  |  | 1 glb |
| palm_tree | r 16 |  | Tree |  |  | 3 glb |
| weird_tree | r 16 |  | Tree |  |  | 2 glb |
| tree_log | box 96x16 | Liftable |  |  |  | 1 gltf |
| healing_potion | r 8 | Tabletop | Item, Potion | power 25 | 4 carrot | 1 glb |
| mana_potion | r 8 | Tabletop | Item, Potion | power 25 | 4 carrot | 1 glb |
| branch | r 16 |  | Item |  |  | 1 glb |
| wooden_plank | box 64x8 | Liftable |  |  |  | 1 gltf |
| wooden_board | box 32x8 |  | Item |  |  | 1 gltf |
| wooden_chest | box 32x16 h 16 | Liftable | Container | nslots 16 | 4 wooden_board | 1 glb |
| wooden_table | box 32x32 |  | Container | nslots 4 | 4 wooden_plank | 1 glb |
| thick_table | box 32x32 |  | Container | nslots 4 | 4 wooden_plank | 1 glb |
| wooden_chair | box 16x16 |  |  |  | 4 branch | 2 glb |
| wooden_bowl | r 8 | Tabletop | Item |  | 4 branch | 3 glb |
| simple_bowl | r 8 | Tabletop | Item |  | 4 branch | 1 glb |
| clay_bottle | r 8 | Tabletop | Item |  | 4 stone | 1 glb |
| fancy_bottle | r 8 | Tabletop | Item |  | 4 stone | 1 glb |
| simple_vaze | r 8 | Tabletop | Item |  | 4 stone | 1 glb |
| bone | r 8 |  | Item |  |  | 2 glb |
| bone_saw | r 8 |  | Item, Tool, Weapon | tool Saw; dmg 10-20 | 2 bone, 1 stone | 1 glb |
| bone_knife | r 8 |  | Item, Tool, Weapon | tool Knife; dmg 10-20 | 3 bone, 1 stone | 1 glb |
| axe | r 8 |  | Item, Tool, Weapon | tool Axe; dmg 10-20 | 2 stone, 1 branch | 1 gltf |
| stone_pickaxe | r 8 |  | Item, Tool, Weapon | tool Pickaxe; dmg 10-20 | 3 stone, 1 branch | 1 glb |
| wooden_sword | box 32x8 |  | Item, Tool, Weapon | tool Knife; dmg 5-20 | 2 branch | 1 gltf |
| iron_sword | r 8 |  | Item, Tool, Weapon | tool Hammer; dmg 20-50 | 3 iron_ingot, 2 branch | 1 glb |
| shitty_sword | r 8 |  | Item, Weapon | dmg 10-30 |  | 1 glb |
| spikey_club | r 8 |  | Item, Weapon | dmg 10-30 |  | 1 glb |
| iron_ore | r 8 |  | Item |  |  | 1 glb |
| iron_vein | r 16 |  | Vein |  |  | 1 glb |
| iron_ingot | r 8 |  | Item |  |  | 1 glb |
| stone | r 8 |  | Item |  |  | 1 glb |
| rock | r 16 |  |  |  |  | 4 gltf |
| narrow_rock | r 8 |  |  |  |  | 2 glb |
| rocky_stairs | box 16x16 |  |  |  |  | 1 glb |
| rocky_stairs_portal | box 64x64 |  |  |  |  | 1 glb |
| wooden_lamp | r 8 |  |  |  |  | 1 glb |
| barak | r 16 |  |  |  |  | 1 glb |
| tower | r 16 |  |  |  |  | 1 glb |
| barrel | r 16 | Liftable |  |  | 8 wooden_board | 1 glb |
| quern | r 16 | Liftable | Container | nslots 4 | 8 stone | 1 glb |
| tanning_tub | r 16 | Liftable | Container, Vessel | nslots 1; volume max 4000 | 4 wooden_board | 1 gltf |
| crate | box 32x32 h 32 | Liftable | Container | nslots 8 | 8 wooden_board | 1 glb |
| torch | r 8 h 12 |  | Item, Fuel | fuel 100/100 | 3 grass, 1 branch | 1 glb |
| metal_torch | r 8 |  | Item, Fuel | fuel 100/100 | 3 stone, 1 branch | 1 glb |
| candle | r 8 | Tabletop | Item, Fuel | fuel 100/100 | 3 stone, 1 branch | 1 glb |
| candlestick_tripple | r 8 | Tabletop | Item, Fuel | fuel 100/100 | 3 stone, 1 branch | 1 gltf |
| blocky_fence | box 128x8 h 24 | Wall |  |  |  | 1 glb |
| dungeon_entrance | box 64x64 h 64 |  | Entrance |  |  | 1 glb |
| dungeon_entrance_tower | box 64x64 h 64 |  | Entrance |  |  | 1 glb |
| dungeon_staircase | box 64x64 h 64 |  | Entrance |  |  | 1 glb |
| dungeon_pillar | box 16x16 h 96 | Wall |  |  |  | 1 glb |
| dungeon_column | box 16x16 h 96 | Wall |  |  |  | 2 glb |
| dungeon_wall | box 64x16 h 96 | Wall |  |  |  | 3 glb |
| dungeon_wall_niche | box 64x16 h 96 | Wall |  |  |  | 2 glb |
| dungeon_wall_window | box 64x16 h 96 | Wall |  |  |  | 1 glb |
| dungeon_doorframe | box 64x16 h 96 | NoCollisions, NoHover, Wall |  |  |  | 1 glb |
| dungeon_door | box 64x16 h 96 | Wall | Door |  |  | 1 glb |
| dungeon_floor | box 64x64 | NoCollisions |  |  |  | 1 glb |
| test_corner | box 16x16 h 80 |  |  |  |  | 1 glb |
| test_wall | box 64x8 h 80 | Wall |  |  |  | 1 glb |
| test_window | box 64x8 h 64 |  |  |  |  | 1 glb |
| test_door | box 64x8 h 80 | NoCollisions |  |  |  | 1 glb |
| brick_door | box 64x8 h 80 | NoCollisions |  |  |  | 1 glb |
| wall_uneven_brick_straight | box 64x8 h 96 |  |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| corner_exterior_brick | box 8x8 h 96 |  |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| corner_exterior_wood | box 8x8 h 96 |  |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| wall_uneven_brick_door | box 64x8 h 96 | NoCollisions |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| wall_uneven_brick_window_wide_round | box 64x8 h 96 |  |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| window_wide_round | box 64x8 h 96 | NoCollisions |  |  | 4 wooden_plank, 4 stone | 3 gltf |
| door_frame_flat_brick | box 64x8 h 96 | NoCollisions |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| door_flat | box 64x8 h 96 | NoCollisions |  |  | 4 wooden_plank, 4 stone | 1 gltf |
| roof_front_brick2 | box 64x8 h 96 | NoCollisions, Roof |  |  | 2 wooden_plank | 1 gltf |
| roof_front_brick4 | box 128x8 h 96 | NoCollisions, Roof |  |  | 4 wooden_plank | 1 gltf |
| roof_front_brick6 | box 192x8 h 96 | NoCollisions, Roof |  |  | 4 wooden_plank | 1 gltf |
| roof_4x4 | box 128x128 h 96 | NoCollisions, Roof |  |  | 4 wooden_plank | 1 glb |
| roof_flat_tiles_2x4 | box 64x128 h 96 | NoCollisions, Roof |  |  | 2 wooden_plank | 1 gltf |
| roof_flat_tiles_6x8 | box 192x256 h 96 | NoCollisions, Roof |  |  | 4 wooden_plank | 1 gltf |
| roof_flat_tiles_8x12 | box 256x384 h 96 | NoCollisions, Roof |  |  | 4 wooden_plank | 1 gltf |
| roof_flat_tiles_tower | box 64x64 h 192 | NoCollisions, Roof |  |  | 2 wooden_plank | 1 gltf |
| roof_flat_tiles_dormer | box 64x64 h 96 | NoCollisions, Roof |  |  | 2 wooden_plank | 1 gltf |
| roof_flat_tiles_6_mid_half | box 128x32 h 96 | NoCollisions, Roof |  |  |  | 1 gltf |
| roof_flat_tiles_6_mid | box 128x32 h 192 | NoCollisions, Roof |  |  |  | 1 gltf |
| roof_flat_tiles_4_mid_half | box 128x32 h 96 | NoCollisions, Roof |  |  |  | 1 gltf |
| roof_flat_tiles_4_mid | box 128x32 h 192 | NoCollisions, Roof |  |  |  | 1 gltf |
| floor_wood_dark | box 32x32 | NoCollisions |  |  |  | 1 gltf |
| bed | box 48x64 |  |  |  | 4 wooden_plank | 1 gltf |
| fancy_barrel | r 16 |  |  |  | 4 wooden_plank | 1 gltf |
| metal_bucket | r 16 |  |  |  |  | 1 glb |
| bonfire | r 16 |  | Container, Fuel | nslots 2; fuel 100/100 | 4 branch | 1 glb |
| cube | box 64x64 |  |  |  |  | 1 glb |
| fancy_cube | box 32x32 |  |  |  |  | 1 glb |
| sphere | r 16 |  |  |  |  | 2 glb |
| portal | r 16 |  | Portal |  |  |  |
| waypoint | r 32 |  | Portal |  |  | 1 glb |
| drying_rack | box 48x32 |  | Container | nslots 1 | 5 wooden_plank, 4 grass | 1 glb |
| raw_hide | r 16 |  | Item |  |  | 1 glb |
| leather | r 16 |  | Item |  |  | 1 glb |
| leather_strip | r 16 |  | Item |  |  | 1 glb |
| sash | r 16 |  | Container, Item, Belt | nslots 1 | 4 leather_strip | 1 glb |
| cart | r 36 h 24 |  | Mover, Container, Cart | nslots 4 | 4 wooden_plank, 4 stone | 1 glb |
| wagon | r 48 h 24 |  | Mover, Container, Cart | nslots 8 | 4 wooden_plank, 4 stone | 1 gltf |
| fermion_gate | r 64 | NoCollisions |  |  |  | 1 glb |
| fermion_stone | box 32x32 |  |  |  | 12 stone | 1 glb |
| training_dummy | r 16 |  | Actor, Mortal, Events | hp max 1000 cur 1000 |  | 1 glb |
| wooden_toilet | box 32x32 |  |  |  |  | 1 glb |
| blueprint | r 8 |  | Item, Blueprint |  |  | 1 glb |
| blank | r 8 |  | Blank |  |  | 2 glb |
| test | r 16 |  |  |  |  | 1 glb |
)";

struct KindRow {
  std::string name, shape, flags, components, values, recipe, variants;
};

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, sep))
    if (!trim(part).empty()) parts.push_back(trim(part));
  return parts;
}

std::vector<KindRow> parse_kinds() {
  std::vector<KindRow> rows;
  std::stringstream in(kinds_table);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> cells;
    std::stringstream cols(line.substr(1));
    std::string cell;
    while (std::getline(cols, cell, '|')) cells.push_back(trim(cell));
    cells.resize(7);
    rows.push_back({cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6]});
  }
  return rows;
}

u32 flag_by_name(const std::string& name) {
  static const std::map<std::string, u32> flags = {
      {"Rotate90", 1},   {"Rotate180", 2}, {"NoCollisions", 4}, {"NoHover", 8},      {"Tabletop", 16},
      {"Liftable", 32},  {"Roof", 64},     {"Wall", 128},       {"Invisible", 256},  {"Modified", 4096},
      {"Ephemeral", 8192}, {"Protected", 16384}, {"Burning", 65536}, {"Pulled", 1048576}};
  auto it = flags.find(name);
  EXPECT_NE(it, flags.end()) << name;
  return it == flags.end() ? 0 : it->second;
}

Component component_by_name(const std::string& name) {
  for (int c = 0; c < (int)Component_num; c++)
    if (name == component_name((Component)c)) return (Component)c;
  ADD_FAILURE() << "no component " << name;
  return Component_num;
}

ToolType tool_by_name(const std::string& name) {
  static const std::map<std::string, ToolType> tools = {
      {"Axe", Tool_Axe}, {"Saw", Tool_Saw}, {"Knife", Tool_Knife}, {"Pickaxe", Tool_Pickaxe}, {"Hammer", Tool_Hammer}};
  return tools.at(name);
}

// The prototype and info a row describes, built on zeroed records.
struct Expected {
  Entity prototype;
  EntityInfo info;
};

void expect_kind(const std::vector<KindRow>& rows, int type, Expected& out) {
  const KindRow& row = rows[type];
  Entity& e = out.prototype;
  EntityInfo& info = out.info;
  memset((void*)&e, 0, sizeof(e));
  memset((void*)&info, 0, sizeof(info));
  auto type_of = [&](const std::string& name) {
    for (int t = 0; t < (int)rows.size(); t++)
      if (rows[t].name == name) return (EntityType)t;
    ADD_FAILURE() << "no kind " << name;
    return Entity_None;
  };

  if (type != Entity_None) e.type = (EntityType)type;
  float a = 0, b = 0, h = 0;
  if (sscanf(row.shape.c_str(), "box %fx%f h %f", &a, &b, &h) >= 2) {
    e.dim = {a, b, h};
  } else if (sscanf(row.shape.c_str(), "r %f h %f", &a, &h) >= 1) {
    e.dim = {a, 0, h};
  } else {
    EXPECT_EQ(row.shape, "-");
  }
  for (const std::string& f : split(row.flags, ',')) e.flags |= flag_by_name(f);
  for (const std::string& c : split(row.components, ',')) e.enabled_components |= 1ull << component_by_name(c);

  for (const std::string& v : split(row.values, ';')) {
    float x = 0, y = 0;
    char word[32] = {};
    if (sscanf(v.c_str(), "hp max %f cur %f", &x, &y) == 2) e.mortal.hp = {y, x};
    else if (sscanf(v.c_str(), "hp max %f", &x) == 1) e.mortal.hp.max = x;
    else if (sscanf(v.c_str(), "base_speed %f", &x) == 1) e.mover.base_speed = x;
    else if (sscanf(v.c_str(), "nslots %f", &x) == 1) e.container.nslots = (u8)x;
    else if (sscanf(v.c_str(), "volume max %f", &x) == 1) e.vessel.volume.max = x;
    else if (sscanf(v.c_str(), "fuel %f/%f", &x, &y) == 2) e.fuel.capacity = {x, y};
    else if (sscanf(v.c_str(), "food energy %f", &x) == 1) e.food.energy = x;
    else if (sscanf(v.c_str(), "power %f", &x) == 1) e.potion.power = x;
    else if (sscanf(v.c_str(), "tool %31s", word) == 1) e.tool.type = tool_by_name(word);
    else if (sscanf(v.c_str(), "dmg %f-%f", &x, &y) == 2) e.weapon.dmg = {x, y};
    else ADD_FAILURE() << "value " << v;
  }

  std::string recipe = row.recipe;
  size_t at = recipe.find(" at ");
  if (at != std::string::npos) {
    info.recipe.equipment = type_of(recipe.substr(at + 4));
    recipe = recipe.substr(0, at);
  }
  int i = 0;
  for (const std::string& ingredient : split(recipe, ',')) {
    int count = 0;
    char name[64] = {};
    EXPECT_EQ(sscanf(ingredient.c_str(), "%d %63s", &count, name), 2) << ingredient;
    info.recipe.ingredients[i++] = {type_of(name), count};
  }

  int nvariants = 0;
  char format[8] = {};
  if (sscanf(row.variants.c_str(), "%d %7s", &nvariants, format) == 2) {
    info.nvariants = (u8)nvariants;
    info.is_glb = std::string(format) == "glb";
    EXPECT_TRUE(info.is_glb || std::string(format) == "gltf") << format;
  }
}

class Registry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    memset((void*)&global_entity_registry, 0, sizeof(global_entity_registry));
    load_entity_registry();
  }
};

}  // namespace

TEST_F(Registry, EveryKindMatchesItsRow) {
  std::vector<KindRow> rows = parse_kinds();
  ASSERT_EQ(rows.size(), (size_t)Entity_num);
  ASSERT_EQ(global_entity_registry.nprototypes, Entity_num);
  Expected want;
  for (int t = 0; t < (int)Entity_num; t++) {
    SCOPED_TRACE(rows[t].name);
    expect_kind(rows, t, want);
    const Entity& got = global_entity_registry.prototypes[t];
    const EntityInfo& info = global_entity_registry.info[t];

    EXPECT_STREQ(info.type_name, rows[t].name.c_str());
    EXPECT_EQ(got.type, want.prototype.type);
    EXPECT_EQ(got.dim.x, want.prototype.dim.x);
    EXPECT_EQ(got.dim.y, want.prototype.dim.y);
    EXPECT_EQ(got.dim.z, want.prototype.dim.z);
    EXPECT_EQ(got.flags, want.prototype.flags);
    EXPECT_EQ(got.enabled_components, want.prototype.enabled_components);
    EXPECT_EQ(got.mortal.hp.max, want.prototype.mortal.hp.max);
    EXPECT_EQ(got.mortal.hp.cur, want.prototype.mortal.hp.cur);
    EXPECT_EQ(got.mover.base_speed, want.prototype.mover.base_speed);
    EXPECT_EQ(got.container.nslots, want.prototype.container.nslots);
    EXPECT_EQ(got.vessel.volume.max, want.prototype.vessel.volume.max);
    EXPECT_EQ(got.weapon.dmg.min, want.prototype.weapon.dmg.min);
    EXPECT_EQ(got.weapon.dmg.max, want.prototype.weapon.dmg.max);
    // Nothing but the listed fields is set: the whole record, padding included, matches.
    EXPECT_EQ(memcmp(&got, &want.prototype, sizeof(Entity)), 0);

    EXPECT_EQ(info.nvariants, want.info.nvariants);
    EXPECT_EQ(info.is_glb, want.info.is_glb);
    EXPECT_EQ(info.flags, 0u);
    EXPECT_EQ(info.recipe.type, Entity_None);
    EXPECT_EQ(info.recipe.equipment, want.info.recipe.equipment);
    for (int i = 0; i < INGREDIENTS_MAX; i++) {
      EXPECT_EQ(info.recipe.ingredients[i].type, want.info.recipe.ingredients[i].type) << i;
      EXPECT_EQ(info.recipe.ingredients[i].count, want.info.recipe.ingredients[i].count) << i;
    }
  }
  // Entries past the last kind stay empty.
  for (int t = Entity_num; t < ENTITY_PROTOTYPES_MAX; t++) {
    EXPECT_EQ(global_entity_registry.prototypes[t].enabled_components, 0u);
    EXPECT_EQ(global_entity_registry.info[t].type_name, nullptr);
  }
}

TEST_F(Registry, LookupsByKind) {
  EXPECT_STREQ(entity_type_name(Entity_skeleton), "skeleton");
  EXPECT_STREQ(entity_type_name(Entity_test), "test");
  EXPECT_STREQ(global_entity_registry.info[Entity_None].type_name, "none");

  const EntityType unknown[] = {Entity_num, (EntityType)200, (EntityType)255, (EntityType)256, (EntityType)0xFFFF};
  for (EntityType t : unknown) {
    EXPECT_EQ(find_entity_prototype(t), nullptr) << t;
    EXPECT_EQ(find_entity_info(t), nullptr) << t;
    EXPECT_EQ(find_entity_type_name(t), nullptr) << t;
    EXPECT_STREQ(entity_type_display_name(t), "???") << t;
  }
  EXPECT_EQ(find_entity_type_name(Entity_None), nullptr);
  EXPECT_EQ(find_entity_prototype(Entity_test), &global_entity_registry.prototypes[Entity_test]);
  EXPECT_EQ(find_entity_info(Entity_bonfire)->recipe.ingredients[0].count, 4);
  EXPECT_EQ(get_entity_info(Entity_bonfire), &global_entity_registry.info[Entity_bonfire]);
  EXPECT_EQ(get_entity_prototype(Entity_Player)->type, Entity_Player);
}

TEST_F(Registry, LookupsByName) {
  EXPECT_EQ(find_entity_prototype_by_name("player"), nullptr);
  EXPECT_EQ(find_entity_prototype_by_name("none"), nullptr);
  EXPECT_EQ(find_entity_prototype_by_name(""), nullptr);
  EXPECT_EQ(find_entity_prototype_by_name("skeleto"), nullptr);
  EXPECT_EQ(find_entity_prototype_by_name("skeletons"), nullptr);
  EXPECT_EQ(find_entity_prototype_by_name("Skeleton"), nullptr);
  EXPECT_EQ(find_entity_prototype_by_name("skeleton"), &global_entity_registry.prototypes[2]);
  EXPECT_EQ(find_entity_prototype_by_name("test"), &global_entity_registry.prototypes[Entity_test]);
  // A Str is a view: its length bounds the name, whatever follows it.
  EXPECT_EQ(find_entity_prototype_by_name(Str("axe_handle", 3)), &global_entity_registry.prototypes[Entity_axe]);
  EXPECT_EQ(get_entity_type_by_name("bonfire"), Entity_bonfire);
  EXPECT_EQ(get_entity_prototype_by_name("bag")->type, Entity_bag);
}

TEST_F(Registry, DisplayNames) {
  EXPECT_STREQ(entity_type_display_name(Entity_Player), "");
  EXPECT_STREQ(entity_type_display_name(Entity_skeleton), "skeleton");
  EXPECT_STREQ(entity_type_display_name(Entity_blueprint), "blueprint");
  // Kinds of no prototype or of no name, as found in stomachs and blueprints from the network.
  EXPECT_STREQ(entity_type_display_name(Entity_None), "???");
}

TEST_F(Registry, EntityNames) {
  Entity bp;
  memset((void*)&bp, 0, sizeof(bp));
  copy_prototype(&bp, *get_entity_prototype(Entity_blueprint));
  EXPECT_STREQ(entity_name(bp), "blueprint");
  cstr_copy(bp.blueprint.name, "Watchtower", ENTITY_TYPE_NAME_LEN);
  EXPECT_STREQ(entity_name(bp), "Watchtower");
  EXPECT_TRUE(entity_is(bp, "Watchtower"));
  EXPECT_FALSE(entity_is(bp, "blueprint"));
  EXPECT_TRUE(entity_is(bp, Entity_blueprint));

  Entity player;
  memset((void*)&player, 0, sizeof(player));
  copy_prototype(&player, *get_entity_prototype(Entity_Player));
  cstr_copy(player.person.name, "Bob", PLAYER_NAME_LEN);
  player.id = 12;
  EXPECT_STREQ(entity_name(player), "Bob");
  EXPECT_STREQ(entity_string(player), "Bob[12]");

  // A kind the registry does not know is named, never looked up fatally.
  Entity stranger;
  memset((void*)&stranger, 0, sizeof(stranger));
  stranger.type = (EntityType)999;
  stranger.id = 3;
  EXPECT_STREQ(entity_name(stranger), "???");
  EXPECT_STREQ(entity_string(stranger), "???[3]");
  stranger.type = Entity_None;
  EXPECT_STREQ(entity_name(stranger), "???");
}

TEST_F(Registry, NamesWithoutTerminatorStayInsideTheRecord) {
  Entity player;
  memset((void*)&player, 0, sizeof(player));
  enable_component(player, Component_Person);
  memset(player.person.name, 'p', PLAYER_NAME_LEN);
  player.person.lvl = 0x4141;
  EXPECT_EQ(std::string(entity_name(player)), std::string(PLAYER_NAME_LEN, 'p'));

  Entity bp;
  memset((void*)&bp, 0, sizeof(bp));
  enable_component(bp, Component_Blueprint);
  bp.type = Entity_blueprint;
  memset(bp.blueprint.name, 'n', ENTITY_TYPE_NAME_LEN);
  EXPECT_EQ(std::string(entity_name(bp)), std::string(ENTITY_TYPE_NAME_LEN, 'n'));
  bp.id = 7;
  EXPECT_EQ(std::string(entity_string(bp)), std::string(ENTITY_TYPE_NAME_LEN, 'n') + "[7]");
}

TEST_F(Registry, EntityStringKeepsTheLastEight) {
  Entity e;
  memset((void*)&e, 0, sizeof(e));
  e.type = Entity_stone;
  const char* results[9];
  for (int i = 0; i < 9; i++) {
    e.id = (Id)(100 + i);
    results[i] = entity_string(e);
  }
  for (int i = 1; i < 9; i++) EXPECT_EQ(std::string(results[i]), "stone[" + std::to_string(100 + i) + "]");
  // The ninth call reused the first call's buffer.
  EXPECT_EQ(results[0], results[8]);
}

TEST_F(Registry, CopyPrototypeKeepsIdentityAndPlace) {
  Entity e;
  memset((void*)&e, 0xAB, sizeof(e));
  Entity neighbour;
  e.id = 77;
  e.location = {LocationType_World, 2};
  e.pos = {100, 200};
  e.next_in_grid = &neighbour;
  const Entity& axe = *get_entity_prototype(Entity_axe);
  copy_prototype(&e, axe);
  EXPECT_EQ(e.id, 77u);
  EXPECT_EQ(e.location.index, 2);
  EXPECT_EQ(e.pos.x, 100);
  EXPECT_EQ(e.pos.y, 200);
  EXPECT_EQ(e.next_in_grid, &neighbour);
  EXPECT_EQ(e.type, Entity_axe);
  EXPECT_EQ(e.tool.type, Tool_Axe);
  // Everything from the kind onwards is the prototype's, down to the last shared byte.
  EXPECT_EQ(memcmp((u8*)&e + 16, (const u8*)&axe + 16, 1552), 0);
}

TEST_F(Registry, FatalFormsStop) {
  EXPECT_DEATH(entity_type_name(Entity_None), "Assertion");
  EXPECT_DEATH(entity_type_name(Entity_num), "Assertion");
  EXPECT_DEATH(get_entity_prototype(Entity_num), "PANIC");
  EXPECT_DEATH(get_entity_type_by_name("player"), "PANIC");
  EXPECT_DEATH(get_entity_prototype_by_name("unicorn"), "PANIC");
}

// --- storage

namespace {

class Storage : public Registry {
 protected:
  void SetUp() override { entity_storage_clear(); }
  void TearDown() override { entity_storage_clear(); }

  static Entity& add(Id id, EntityType type, Id container = 0) {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    e.id = id;
    copy_prototype(&e, *get_entity_prototype(type));
    if (container) e.item.container = container;
    return e;
  }
};

}  // namespace

TEST_F(Storage, FindByIdScansOnlyRecordsInUse) {
  entity_storage.nentities = 3;  // record 0 has id 0
  entity_storage.entities[1].id = 5;
  entity_storage.entities[2].id = 9;
  entity_storage.entities[3].id = 11;  // past the count
  EXPECT_EQ(find_entity_by_id(0), nullptr);
  EXPECT_EQ(find_entity_by_id(5), &entity_storage.entities[1]);
  EXPECT_EQ(find_entity_by_id(9), &entity_storage.entities[2]);
  EXPECT_EQ(find_entity_by_id(11), nullptr);
  EXPECT_EQ(find_entity_by_id(12345), nullptr);
  entity_storage.entities[0].id = 9;
  EXPECT_EQ(find_entity_by_id(9), &entity_storage.entities[0]);  // the first record with the id
}

TEST_F(Storage, CountBeyondThePoolIsBoundedByIt) {
  entity_storage.nentities = 0xFFFF;
  entity_storage.entities[ENTITIES_MAX - 1].id = 4242;
  EXPECT_EQ(find_entity_by_id(4242), &entity_storage.entities[ENTITIES_MAX - 1]);
  EXPECT_EQ(find_entity_by_id(4243), nullptr);  // would read past the pool without the bound
}

TEST_F(Storage, ClearZeroesEverything) {
  add(1, Entity_stone);
  entity_storage.nplayers = 2;
  entity_storage.nmobs = 3;
  entity_storage.nobjects = 4;
  entity_storage_clear();
  EXPECT_EQ(entity_storage.nentities, 0);
  EXPECT_EQ(entity_storage.nplayers + entity_storage.nmobs + entity_storage.nobjects, 0);
  EXPECT_EQ(entity_storage.entities[0].id, 0u);
  EXPECT_EQ(entity_storage.entities[0].type, Entity_None);
}

TEST_F(Storage, TargetsResolveThroughAtMostTwoContainers) {
  Entity& player = add(1, Entity_Player);
  Entity& bag = add(2, Entity_bag, player.id);
  Entity& axe = add(3, Entity_axe, bag.id);
  Entity& chest = add(4, Entity_wooden_chest);
  Entity& stone = add(5, Entity_stone, chest.id);
  Entity& loose = add(6, Entity_stone);
  Entity& sash = add(7, Entity_sash, bag.id);
  Entity& pebble = add(8, Entity_stone, sash.id);
  Entity& orphan = add(9, Entity_stone, 999);
  Entity& stray_bag = add(10, Entity_bag, 998);
  Entity& in_stray = add(11, Entity_stone, stray_bag.id);

  const struct {
    const char* what;
    Id id;
    Entity* container;
    Entity* target;
  } cases[] = {
      {"axe in a carried bag", axe.id, &bag, &player},
      {"carried bag", bag.id, &player, &player},
      {"player", player.id, nullptr, &player},
      {"stone in a chest on the ground", stone.id, &chest, &chest},
      {"loose stone", loose.id, nullptr, &loose},
      {"three levels deep: two are followed", pebble.id, &sash, &bag},
      {"container not in storage", orphan.id, nullptr, nullptr},
      {"outer container not in storage", in_stray.id, &stray_bag, nullptr},
      {"unknown id", 4040, nullptr, nullptr},
      {"id 0", 0, nullptr, nullptr},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.what);
    Entity* e = find_entity_by_id(c.id);
    if (e) {
      EXPECT_EQ(find_container_entity(*e), c.container);
    }
    EXPECT_EQ(find_target_by_id(c.id), c.target);
  }
  // A container id on something that is not an item means nothing.
  Entity& rock = add(12, Entity_rock);
  rock.item.container = player.id;
  EXPECT_EQ(find_container_entity(rock), nullptr);
  EXPECT_EQ(find_target_by_id(rock.id), &rock);
}
