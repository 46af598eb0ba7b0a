#include <set>
#include <string>
#include <vector>

#include "items.hpp"
#include "world_fixture.hpp"
#include "expect_near.hpp"

using Items = WorldTest;

TEST_F(Items, SlotsAndContainersStayInBounds) {
  Entity& table = spawn(Entity_wooden_table, {100, 100});
  Container* c = get_container(table);
  c->nslots = 2;
  c->slots[1] = 77;
  c->slots[3] = 99;
  EXPECT_EQ(find_items_slot(*c, 77), 1);
  EXPECT_EQ(find_items_slot(*c, 99), SlotNotFound);  // beyond nslots
  c->nslots = 250;                                   // hostile: read no further than the array
  EXPECT_EQ(find_items_slot(*c, 99), 3);
  EXPECT_EQ(find_items_slot(*c, 12345), SlotNotFound);

  Entity& bowl = spawn(Entity_wooden_bowl, {110, 100});
  EXPECT_EQ(find_items_container(*get_item(bowl)), nullptr);
  put(table, 0, bowl);
  EXPECT_EQ(find_items_container(*get_item(bowl)), c);
  Entity& rock = spawn(Entity_rock, {50, 50});
  for (Id missing : {(Id)9999, rock.id}) {  // not in the storage, or not a container: lies loose
    get_item(bowl)->container = missing;
    EXPECT_EQ(find_items_container(*get_item(bowl)), nullptr);
  }
}

TEST_F(Items, ToolsAreFoundOnBeltsButNotInBags) {
  Entity& player = spawn_player({100, 100});
  Entity& bag = spawn(Entity_bag, {100, 100});
  Entity& sash = spawn(Entity_sash, {100, 100});
  Entity& knife = spawn(Entity_bone_knife, {100, 100});
  Entity& saw = spawn(Entity_bone_saw, {100, 100});
  put(player, GearSlot_Bag, bag);
  put(player, GearSlot_Belt, sash);
  put(sash, 0, knife);
  put(bag, 0, saw);
  EXPECT_EQ(find_tool(player, Tool_Knife), &knife);
  EXPECT_EQ(find_tool(player, Tool_Saw), nullptr);
  EXPECT_EQ(find_bag(player), &bag);
  EXPECT_EQ(find_item_by_type(player, Entity_bone_saw), &saw);
  EXPECT_EQ(find_item_by_type(player, Entity_bone_knife), nullptr);  // the bag's own slots only
  EXPECT_EQ(find_gear(player, Entity_sash), &sash);
  EXPECT_EQ(gear_id_at(player, GearSlot_RightHand), 0u);

  // In the hand (slot 2) comes before the belt (slot 5); a wooden sword serves as a knife.
  Entity& sword = spawn(Entity_wooden_sword, {100, 100});
  put(player, GearSlot_RightHand, sword);
  EXPECT_EQ(find_tool(player, Tool_Knife), &sword);

  // A belt that holds itself ends the search.
  get_container(sash)->slots[0] = sash.id;
  EXPECT_EQ(find_tool(player, Tool_Axe), nullptr);

  // A person record without gear wears nothing.
  Entity& bare = spawn(Entity_Player, {100, 100});
  EXPECT_EQ(find_bag(bare), nullptr);
  EXPECT_EQ(find_tool(bare, Tool_Axe), nullptr);
  EXPECT_EQ(find_items(bare).entity, nullptr);
}

TEST_F(Items, IterationSkipsEmptyAndUnknownSlots) {
  Entity& chest = spawn(Entity_wooden_chest, {100, 100});
  Entity& a = spawn(Entity_bone, {0, 0});
  Entity& b = spawn(Entity_stone, {0, 0});
  put(chest, 1, a);
  get_container(chest)->slots[2] = 4242;  // not in the storage
  put(chest, 5, b);
  std::vector<Entity*> seen;
  for (ItemIter it = get_items(chest); it.entity && seen.size() < 4; next(it)) seen.push_back(it.entity);
  EXPECT_EQ(seen, (std::vector<Entity*>{&a, &b}));
}

TEST_F(Items, DestroyRulesPerLocation) {
  struct Row {
    LocationType where;
    EntityType target;
    u32 flags;
    bool allowed;
  } rows[] = {
      {LocationType_Dungeon, Entity_rock, 0, false}, {LocationType_Dungeon, Entity_wooden_bowl, 0, true},
      {LocationType_World, Entity_rock, 0, true},    {LocationType_World, Entity_rock, EntityFlag_Protected, false},
      {LocationType_World, Entity_stag, 0, false},
  };
  for (const Row& r : rows) {
    Entity& user = spawn_player({100, 100});
    user.location.type = r.where;
    Entity& target = spawn(r.target, {120, 100});
    target.flags |= r.flags;
    EXPECT_EQ(can_run(user, ActionType_Destroy, &target), r.allowed) << entity_type_name(r.target) << " " << r.where;
    EXPECT_TRUE(can_run(user, ActionType_Chop, &target));
  }
}

TEST_F(Items, UseRangeAndItemsInContainers) {
  Entity& user = spawn_player({100, 100});
  Entity& rock = spawn(Entity_rock, {135.9f, 100});
  EXPECT_TRUE(can_use(user, rock));  // limit 4 + 16 + 16 = 36, strictly closer
  set_pos(rock, {136, 100});
  EXPECT_FALSE(can_use(user, rock));
  Entity& log = spawn(Entity_tree_log, {900, 900});
  log.carrier = user.id;  // what the user carries is at hand
  EXPECT_TRUE(can_use(user, log));

  Entity& other = spawn_player({900, 900});
  Entity& bag = spawn(Entity_bag, {0, 0});
  Entity& other_bag = spawn(Entity_bag, {0, 0});
  Entity& chest = spawn(Entity_wooden_chest, {130, 100});  // radius (dim.x) 32: reach 52
  Entity& in_gear = spawn(Entity_axe, {0, 0});
  Entity& in_bag = spawn(Entity_bone, {0, 0});
  Entity& in_other_bag = spawn(Entity_bone, {0, 0});
  Entity& in_chest = spawn(Entity_stone, {0, 0});
  put(user, GearSlot_Bag, bag);
  put(other, GearSlot_Bag, other_bag);
  put(user, GearSlot_RightHand, in_gear);
  put(bag, 0, in_bag);
  put(other_bag, 0, in_other_bag);
  put(chest, 0, in_chest);
  EXPECT_TRUE(can_use(user, in_gear));
  EXPECT_TRUE(can_use(user, in_bag));
  EXPECT_FALSE(can_use(user, in_other_bag));
  EXPECT_TRUE(can_use(user, in_chest));
  set_pos(chest, {200, 100});
  EXPECT_FALSE(can_use(user, in_chest));
  get_item(in_chest)->container = 5555;  // containers gone from the storage
  get_item(other_bag)->container = 5555;
  EXPECT_FALSE(can_use(user, in_chest));
  EXPECT_FALSE(can_use(user, in_other_bag));
}

TEST_F(Items, ApproachPoints) {
  Entity& player = spawn_player({100, 100});
  Entity& tree = spawn(Entity_pine_tree, {200, 100});
  Entity& far_tree = spawn(Entity_pine_tree, {900, 100});
  Entity& wall = spawn(Entity_dungeon_wall, {300, 500});  // x 268..332, y 492..508
  Entity& carrier = spawn_player({700, 700});
  Entity& log = spawn(Entity_tree_log, {0, 0});
  remove_from_grid(log);
  log.carrier = carrier.id;
  Action none = {};
  Action fireball = {};
  fireball.type = ActionType_CastSpell;
  fireball.radius = 320;
  Action fireball_walk = fireball;
  fireball_walk.flags = ActionFlag_ComeInRange;
  Action to_point = {};
  to_point.dst = {100, 300};

  struct Row {
    v2 from;
    const Entity* target;
    const Action* action;
    bool walks;
    v2 to;
  } rows[] = {
      {{100, 100}, &tree, &none, true, {168, 100}},  // exactly touching: reach 32
      {{168, 100}, &tree, &none, false, {168, 100}},
      {{100, 100}, &far_tree, &fireball, false, {100, 100}},      // a cast walks only when asked...
      {{100, 100}, &far_tree, &fireball_walk, true, {708, 100}},  // ...to half its radius inside reach
      {{100, 100}, &tree, &to_point, true, {100, 268}},           // a destination replaces the position
      {{100, 500}, &wall, &none, true, {252, 500}},               // nearest face, less the user's radius
      {{252, 500}, &wall, &none, false, {252, 500}},
      {{300, 400}, &wall, &none, true, {300, 476}},
      {{600, 700}, &log, &none, true, {668, 700}},  // a lifted log is where its carrier is
  };
  for (const Row& r : rows) {
    set_pos(player, r.from);
    v2 p;
    EXPECT_EQ(need_to_come_closer(player, *r.target, *r.action, &p), r.walks) << r.from.x << "," << r.from.y;
    EXPECT_TRUE(near(p, r.to, 1e-3)) << r.from.x << "," << r.from.y;
  }
}

TEST(Crops, StagesAtTheirBoundariesAndDigestion) {
  const u64 s = Seconds.ns;
  Crop crop = {};
  crop.planted_time = Time{1000 * s};
  struct Row {
    u64 age;
    CropStage stage;
  } rows[] = {
      {0, CropStage_Sprout},         {30 * s - 1, CropStage_Sprout}, {30 * s, CropStage_Young},
      {60 * s, CropStage_Mature},    {89 * s, CropStage_Mature},     {90 * s, CropStage_Harvest},
      {3599 * s, CropStage_Harvest}, {3600 * s, CropStage_Dead},
  };
  for (const Row& r : rows) EXPECT_EQ(crop_stage(crop, Time{crop.planted_time.ns + r.age}), r.stage) << r.age;
  EXPECT_EQ(crop_stage(crop, Time{10 * s}), CropStage_Sprout);  // planted "in the future": just planted

  Person p = {};
  EXPECT_FALSE(is_digesting(p));
  p.stomach.slots[3].type = Entity_berry;
  EXPECT_TRUE(is_digesting(p));
}

// Each table names every value once; a value past it reads as unknown, never out of bounds.
TEST(ItemNames, DistinctInRangeAndFixedOutOfRange) {
  const struct {
    const char* (*name)(u32);
    u32 count;
    const char* unknown;
  } tables[] = {{gear_slot_name, GearSlot_num, "???"},
                {crop_stage_name, CropStage_Dead + 1, "???"},
                {thinker_activity_name, ThinkerActivity_ObstacleAvoiding + 1, "???"},
                {action_type_name, ActionType_count, "(invalid action type)"}};
  for (const auto& t : tables) {
    std::set<std::string> names;
    for (u32 v = 0; v < t.count; v++) {
      ASSERT_NE(t.name(v), nullptr) << v;
      EXPECT_TRUE(strcmp(t.name(v), t.unknown) != 0 && names.insert(t.name(v)).second) << t.name(v);
    }
    for (u32 v : {t.count, t.count + 1, 0xFFFFFFFFu}) EXPECT_STREQ(t.name(v), t.unknown) << v;
  }
}
