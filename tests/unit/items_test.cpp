#include "items.hpp"
#include "world_fixture.hpp"

using Items = WorldTest;

TEST_F(Items, SlotSearchStaysWithinTheContainersSlots) {
  Entity& chest = spawn(Entity_wooden_table, {100, 100});  // 4 slots
  Container* c = get_container(chest);
  c->nslots = 2;
  c->slots[1] = 77;
  c->slots[3] = 99;
  EXPECT_EQ(find_items_slot(*c, 77), 1);
  EXPECT_EQ(find_items_slot(*c, 99), SlotNotFound);
  // A hostile slot count reads no further than the array.
  c->nslots = 250;
  EXPECT_EQ(find_items_slot(*c, 99), 3);
  EXPECT_EQ(find_items_slot(*c, 12345), SlotNotFound);
}

TEST_F(Items, ContainersOfItems) {
  Entity& chest = spawn(Entity_wooden_chest, {100, 100});
  Entity& bowl = spawn(Entity_wooden_bowl, {110, 100});
  EXPECT_EQ(find_items_container(*get_item(bowl)), nullptr);
  put(chest, 0, bowl);
  EXPECT_EQ(find_items_container(*get_item(bowl)), get_container(chest));
  // Named container missing from the storage, or not a container at all: the item lies loose.
  get_item(bowl)->container = 9999;
  EXPECT_EQ(find_items_container(*get_item(bowl)), nullptr);
  Entity& rock = spawn(Entity_rock, {50, 50});
  get_item(bowl)->container = rock.id;
  EXPECT_EQ(find_items_container(*get_item(bowl)), nullptr);
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
  EXPECT_EQ(find_tool(player, Tool_Saw | Tool_Knife), &knife);
  EXPECT_EQ(find_bag(player), &bag);
  EXPECT_EQ(find_item_by_type(player, Entity_bone_saw), &saw);
  EXPECT_EQ(find_item_by_type(player, Entity_bone_knife), nullptr);  // the bag's slots only
  EXPECT_EQ(find_gear(player, Entity_sash), &sash);
  EXPECT_EQ(gear_at(player, GearSlot_Belt), &sash);
  EXPECT_EQ(gear_id_at(player, GearSlot_RightHand), 0u);

  // A knife held in the hand (slot 2) comes before the belt's (slot 5); a wooden sword is a knife too.
  Entity& sword = spawn(Entity_wooden_sword, {100, 100});
  put(player, GearSlot_RightHand, sword);
  EXPECT_EQ(find_tool(player, Tool_Knife), &sword);
}

TEST_F(Items, BeltThatHoldsItselfEnds) {
  Entity& player = spawn_player({100, 100});
  Entity& sash = spawn(Entity_sash, {100, 100});
  put(player, GearSlot_Belt, sash);
  get_container(sash)->slots[0] = sash.id;
  EXPECT_EQ(find_tool(player, Tool_Axe), nullptr);
}

TEST_F(Items, PersonsWithoutGearOrBag) {
  Entity& bare = spawn(Entity_Player, {100, 100});  // no container at all
  EXPECT_EQ(find_bag(bare), nullptr);
  EXPECT_EQ(find_tool(bare, Tool_Axe), nullptr);
  EXPECT_EQ(find_items(bare).entity, nullptr);
  Entity& player = spawn_player({100, 100});
  EXPECT_EQ(find_item_by_type(player, Entity_bone), nullptr);
  EXPECT_EQ(find_items(player).entity, nullptr);
}

TEST_F(Items, IterationSkipsEmptyAndUnknownSlots) {
  Entity& chest = spawn(Entity_wooden_chest, {100, 100});
  Entity& a = spawn(Entity_bone, {0, 0});
  Entity& b = spawn(Entity_stone, {0, 0});
  put(chest, 1, a);
  get_container(chest)->slots[2] = 4242;  // not in the storage
  put(chest, 5, b);
  Entity* seen[4] = {};
  int n = 0;
  for (ItemIter it = get_items(chest); it.entity; next(it)) {
    ASSERT_LT(n, 4);
    seen[n++] = it.entity;
  }
  ASSERT_EQ(n, 2);
  EXPECT_EQ(seen[0], &a);
  EXPECT_EQ(seen[1], &b);
}

TEST_F(Items, DestroyRulesPerLocation) {
  struct Row {
    LocationType where;
    EntityType target;
    u32 extra_flags;
    bool allowed;
  } rows[] = {
      {LocationType_Dungeon, Entity_rock, 0, false},
      {LocationType_Dungeon, Entity_wooden_bowl, 0, true},
      {LocationType_World, Entity_rock, 0, true},
      {LocationType_World, Entity_rock, EntityFlag_Protected, false},
      {LocationType_World, Entity_stag, 0, false},
      {LocationType_Moba, Entity_wooden_bowl, EntityFlag_Protected, false},
  };
  for (const Row& r : rows) {
    Entity& user = spawn_player({100, 100});
    user.location.type = r.where;
    Entity& target = spawn(r.target, {120, 100});
    target.flags |= r.extra_flags;
    EXPECT_EQ(can_run(user, ActionType_Destroy, &target), r.allowed)
        << entity_type_name(r.target) << " in location type " << r.where;
    // Everything else is the server's to judge.
    EXPECT_TRUE(can_run(user, ActionType_Chop, &target));
  }
  Entity& user = spawn_player({100, 100});
  EXPECT_FALSE(can_run(user, ActionType_Destroy, nullptr));
}

TEST_F(Items, UseRange) {
  Entity& user = spawn_player({100, 100});
  Entity& rock = spawn(Entity_rock, {135.9f, 100});
  EXPECT_FLOAT_EQ(usage_radius(user, rock), 36);
  EXPECT_TRUE(can_use(user, rock));
  set_pos(rock, {136, 100});
  EXPECT_FALSE(can_use(user, rock));

  // Something the user carries is always at hand.
  Entity& log = spawn(Entity_tree_log, {900, 900});
  log.carrier = user.id;
  EXPECT_TRUE(can_use(user, log));
  log.carrier = 12345;
  EXPECT_FALSE(can_use(user, log));
}

TEST_F(Items, UseOfItemsInContainers) {
  Entity& user = spawn_player({100, 100});
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

  // A container that vanished from the storage: not usable.
  get_item(in_chest)->container = 5555;
  EXPECT_FALSE(can_use(user, in_chest));
  get_item(other_bag)->container = 5555;
  EXPECT_FALSE(can_use(user, in_other_bag));
}

TEST_F(Items, ApproachToCircles) {
  Entity& player = spawn_player({0, 0});
  set_pos(player, {100, 100});
  Entity& tree = spawn(Entity_pine_tree, {200, 100});
  Action none = {};
  v2 p;
  EXPECT_TRUE(need_to_come_closer(player, tree, none, &p));
  EXPECT_FLOAT_EQ(p.x, 168);  // exactly touching: reach 32
  EXPECT_FLOAT_EQ(p.y, 100);
  set_pos(player, {168, 100});
  EXPECT_FALSE(need_to_come_closer(player, tree, none, &p));
  EXPECT_TRUE(v2_equal(p, player.pos));

  // A spell cast walks only when asked to, and then to half its radius inside the reach.
  set_pos(player, {100, 100});
  set_pos(tree, {600, 100});
  Action fireball = {};
  fireball.type = ActionType_CastSpell;
  fireball.spell_type = SpellType_Fireball;
  fireball.radius = 320;
  EXPECT_FALSE(need_to_come_closer(player, tree, fireball, &p));
  fireball.flags = ActionFlag_ComeInRange;
  EXPECT_TRUE(need_to_come_closer(player, tree, fireball, &p));
  EXPECT_FLOAT_EQ(p.x, 600 - (320 + 32 - 160));

  // An explicit destination replaces the target's position.
  Action to_point = {};
  to_point.dst = {100, 300};
  EXPECT_TRUE(need_to_come_closer(player, tree, to_point, &p));
  EXPECT_FLOAT_EQ(p.x, 100);
  EXPECT_FLOAT_EQ(p.y, 268);
}

TEST_F(Items, ApproachToBoxesAndCarriedThings) {
  Entity& player = spawn_player({100, 100});
  Entity& wall = spawn(Entity_dungeon_wall, {300, 100});  // x from 268 to 332
  Action none = {};
  v2 p;
  EXPECT_TRUE(need_to_come_closer(player, wall, none, &p));
  EXPECT_FLOAT_EQ(p.x, 252);  // the nearest face less the user's radius
  EXPECT_FLOAT_EQ(p.y, 100);
  set_pos(player, {252, 100});
  EXPECT_FALSE(need_to_come_closer(player, wall, none, &p));
  set_pos(player, {300, 0});  // above: the nearest point is on the top face (y 92)
  EXPECT_TRUE(need_to_come_closer(player, wall, none, &p));
  EXPECT_FLOAT_EQ(p.x, 300);
  EXPECT_FLOAT_EQ(p.y, 76);

  // A lifted log is reached by reaching whoever carries it.
  Entity& carrier = spawn_player({500, 500});
  Entity& log = spawn(Entity_tree_log, {0, 0});
  remove_from_grid(log);
  log.carrier = carrier.id;
  set_pos(player, {400, 500});
  EXPECT_TRUE(need_to_come_closer(player, log, none, &p));
  EXPECT_FLOAT_EQ(p.x, 468);
  EXPECT_FLOAT_EQ(p.y, 500);
}

TEST(Crops, StagesAtTheirBoundaries) {
  const u64 s = Seconds.ns;
  Crop crop = {};
  crop.planted_time = Time{1000 * s};
  struct Row {
    u64 age_ns;
    CropStage stage;
  } rows[] = {
      {0, CropStage_Sprout},           {30 * s - 1, CropStage_Sprout}, {30 * s, CropStage_Young},
      {59 * s, CropStage_Young},       {60 * s, CropStage_Mature},     {89 * s, CropStage_Mature},
      {90 * s, CropStage_Harvest},     {3599 * s, CropStage_Harvest},  {3600 * s, CropStage_Dead},
      {1000000 * s, CropStage_Dead},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(crop_stage(crop, Time{crop.planted_time.ns + r.age_ns}), r.stage) << r.age_ns / (f64)s;
  }
  // Planted "after now" (the clocks disagree): just planted, not ancient.
  EXPECT_EQ(crop_stage(crop, Time{10 * s}), CropStage_Sprout);
}

TEST(Digestion, AnyStomachSlotWithFood) {
  Person p = {};
  EXPECT_FALSE(is_digesting(p));
  p.stomach.slots[3].type = Entity_berry;
  EXPECT_TRUE(is_digesting(p));
}

TEST(ItemNames, EveryTableAndItsOutOfRangeText) {
  EXPECT_STREQ(gear_slot_name(GearSlot_Bag), "Bag");
  EXPECT_STREQ(gear_slot_name(GearSlot_LegsArmor), "Legs Armor");
  EXPECT_STREQ(gear_slot_name(GearSlot_num), "???");
  EXPECT_STREQ(crop_stage_name(CropStage_Harvest), "harvest");
  EXPECT_STREQ(crop_stage_name(5), "???");
  EXPECT_STREQ(thinker_activity_name(ThinkerActivity_ObstacleAvoiding), "obstacle-avoiding");
  EXPECT_STREQ(thinker_activity_name(5), "???");
  struct Row {
    u32 type;
    const char* name;
  } rows[] = {
      {ActionType_None, "none"},           {ActionType_MoveTowards, "move-towards"},
      {ActionType_CastSpell, "cast-spell"}, {ActionType_CollectBerries, "collect-berries"},
      {ActionType_Grind, "grind"},         {ActionType_Extinguish, "extinguish"},
      {ActionType_count, "(invalid action type)"}, {255, "(invalid action type)"},
  };
  for (const Row& r : rows) EXPECT_STREQ(action_type_name(r.type), r.name) << r.type;
}
