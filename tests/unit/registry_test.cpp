#include <gtest/gtest.h>

#include <set>
#include <string>

#include "registry.hpp"
#include "world.hpp"

namespace {

class Registry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    memset((void*)&global_entity_registry, 0, sizeof(global_entity_registry));
    load_entity_registry();
  }
};

bool valid_kind(EntityType t) { return t > Entity_Player && t < Entity_num; }

}  // namespace

TEST_F(Registry, EveryKindIsRegisteredUnderAUniqueNameThatFindsIt) {
  ASSERT_EQ(global_entity_registry.nprototypes, Entity_num);
  std::set<std::string> names;
  for (int t = Entity_Player + 1; t < (int)Entity_num; t++) {
    const Entity& e = global_entity_registry.prototypes[t];
    const char* name = global_entity_registry.info[t].type_name;
    ASSERT_NE(name, nullptr) << t;
    SCOPED_TRACE(name);
    EXPECT_EQ(e.type, (EntityType)t);
    // Names travel in fixed fields and name model files: short, lower case, no spaces.
    EXPECT_GT(strlen(name), 0u);
    EXPECT_LT(strlen(name), (size_t)ENTITY_TYPE_NAME_LEN);
    for (const char* c = name; *c; c++) EXPECT_TRUE((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') || *c == '_');
    EXPECT_TRUE(names.insert(name).second) << "duplicate";
    EXPECT_EQ(find_entity_prototype_by_name(name), &e);
    EXPECT_STREQ(entity_type_display_name((EntityType)t), name);
    EXPECT_STREQ(entity_type_name((EntityType)t), name);
    EXPECT_EQ(find_entity_prototype((EntityType)t), &e);
    EXPECT_GT(e.dim.x, 0);
  }
  // Entries past the last kind stay empty.
  for (int t = Entity_num; t < ENTITY_PROTOTYPES_MAX; t++) {
    EXPECT_EQ(global_entity_registry.prototypes[t].enabled_components, 0u);
    EXPECT_EQ(global_entity_registry.info[t].type_name, nullptr);
  }
}

TEST_F(Registry, ComponentsCarryTheValuesTheRulesNeed) {
  for (int t = Entity_Player + 1; t < (int)Entity_num; t++) {
    const Entity& e = global_entity_registry.prototypes[t];
    SCOPED_TRACE(global_entity_registry.info[t].type_name);
    if (has_component(e, Component_Container)) {
      EXPECT_GT(e.container.nslots, 0);
      EXPECT_LE(e.container.nslots, CONTAINER_SLOTS_MAX);
    }
    if (has_component(e, Component_Mortal)) {
      EXPECT_GT(e.mortal.hp.max, 0);
      EXPECT_LE(e.mortal.hp.cur, e.mortal.hp.max);
    }
    if (has_component(e, Component_Thinker)) {
      EXPECT_TRUE(has_component(e, Component_Mover) && has_component(e, Component_Actor));
      EXPECT_GT(e.mover.base_speed, 0);
    }
    if (has_component(e, Component_Food)) {
      EXPECT_GT(e.food.energy, 0);
    }
    if (has_component(e, Component_Potion)) {
      EXPECT_GT(e.potion.power, 0);
    }
    if (has_component(e, Component_Vessel)) {
      EXPECT_GT(e.vessel.volume.max, 0);
    }
    if (has_component(e, Component_Tool)) {
      EXPECT_NE(e.tool.type, 0u);
    }
    if (has_component(e, Component_Weapon)) {
      EXPECT_GT(e.weapon.dmg.min, 0);
      EXPECT_LE(e.weapon.dmg.min, e.weapon.dmg.max);
    }
    if (has_component(e, Component_Fuel)) {
      EXPECT_GT(e.fuel.capacity.max, 0);
      EXPECT_LE(e.fuel.capacity.cur, e.fuel.capacity.max);
    }
    // A liftable thing is carried whole; an item goes into a slot instead.
    if (e.flags & EntityFlag_Liftable) {
      EXPECT_FALSE(has_component(e, Component_Item));
    }
  }
}

TEST_F(Registry, RecipesNameExistingKindsAndStations) {
  int nrecipes = 0;
  for (int t = Entity_Player + 1; t < (int)Entity_num; t++) {
    const Recipe& r = global_entity_registry.info[t].recipe;
    SCOPED_TRACE(global_entity_registry.info[t].type_name);
    bool ended = false;
    for (int i = 0; i < INGREDIENTS_MAX; i++) {
      const Ingredient& in = r.ingredients[i];
      if (in.type == Entity_None) {
        ended = true;
        continue;
      }
      EXPECT_FALSE(ended) << "ingredient " << i << " after the end";
      EXPECT_TRUE(valid_kind(in.type)) << in.type;
      EXPECT_NE(in.type, (EntityType)t);
      EXPECT_GT(in.count, 0);
      // Ingredients are things a player can gather and carry.
      if (valid_kind(in.type)) {
        const Entity& ingredient = global_entity_registry.prototypes[in.type];
        EXPECT_TRUE(has_component(ingredient, Component_Item) || (ingredient.flags & EntityFlag_Liftable)) << in.type;
      }
    }
    if (r.ingredients[0].type != Entity_None)
      nrecipes++;
    else
      EXPECT_EQ(r.equipment, Entity_None);
    if (r.equipment != Entity_None) {
      ASSERT_TRUE(valid_kind(r.equipment));
      // A station holds what is worked on it.
      EXPECT_TRUE(has_component(global_entity_registry.prototypes[r.equipment], Component_Container));
    }
  }
  EXPECT_GT(nrecipes, 0);
}

// Every kind's own name is checked above; here the kinds and names that must find nothing, or the player.
TEST_F(Registry, LookupsOfUnknownKindsAndNamesFindNothing) {
  const EntityType unknown[] = {Entity_num, (EntityType)200, (EntityType)255, (EntityType)256, (EntityType)0xFFFF};
  for (EntityType t : unknown) {
    EXPECT_EQ(find_entity_prototype(t), nullptr) << t;
    EXPECT_EQ(find_entity_info(t), nullptr) << t;
    EXPECT_EQ(find_entity_type_name(t), nullptr) << t;
    EXPECT_STREQ(entity_type_display_name(t), "???") << t;
  }
  EXPECT_EQ(find_entity_type_name(Entity_None), nullptr);
  // Kinds of no prototype or of no name, as found in stomachs and blueprints from the network.
  EXPECT_STREQ(entity_type_display_name(Entity_None), "???");
  EXPECT_STREQ(entity_type_display_name(Entity_Player), "");
  EXPECT_EQ(get_entity_prototype(Entity_Player)->type, Entity_Player);
  for (const char* name : {"player", "none", "", "skeleto", "skeletons", "Skeleton"})
    EXPECT_EQ(find_entity_prototype_by_name(name), nullptr) << name;
  // A Str is a view: its length bounds the name, whatever follows it.
  EXPECT_EQ(find_entity_prototype_by_name(Str("axe_handle", 3)), &global_entity_registry.prototypes[Entity_axe]);
  EXPECT_EQ(get_entity_type_by_name("bonfire"), Entity_bonfire);
}

TEST_F(Registry, EntityNamesAndNamesWithoutTerminatorStayInsideTheRecord) {
  Entity bp, player, stranger;
  for (Entity* e : {&bp, &player, &stranger}) memset((void*)e, 0, sizeof(Entity));
  copy_prototype(&bp, *get_entity_prototype(Entity_blueprint));
  EXPECT_STREQ(entity_name(bp), "blueprint");
  cstr_copy(bp.blueprint.name, "Watchtower", ENTITY_TYPE_NAME_LEN);
  EXPECT_STREQ(entity_name(bp), "Watchtower");
  EXPECT_TRUE(entity_is(bp, "Watchtower"));
  EXPECT_FALSE(entity_is(bp, "blueprint"));
  EXPECT_TRUE(entity_is(bp, Entity_blueprint));
  memset(bp.blueprint.name, 'n', ENTITY_TYPE_NAME_LEN);  // no terminator
  bp.id = 7;
  EXPECT_EQ(std::string(entity_name(bp)), std::string(ENTITY_TYPE_NAME_LEN, 'n'));
  EXPECT_EQ(std::string(entity_string(bp)), std::string(ENTITY_TYPE_NAME_LEN, 'n') + "[7]");

  copy_prototype(&player, *get_entity_prototype(Entity_Player));
  cstr_copy(player.person.name, "Bob", PLAYER_NAME_LEN);
  player.id = 12;
  EXPECT_STREQ(entity_name(player), "Bob");
  EXPECT_STREQ(entity_string(player), "Bob[12]");
  memset(player.person.name, 'p', PLAYER_NAME_LEN);
  player.person.lvl = 0x4141;  // the bytes right after the name
  EXPECT_EQ(std::string(entity_name(player)), std::string(PLAYER_NAME_LEN, 'p'));

  // A kind the registry does not know is named, never looked up fatally.
  stranger.type = (EntityType)999;
  stranger.id = 3;
  EXPECT_STREQ(entity_name(stranger), "???");
  EXPECT_STREQ(entity_string(stranger), "???[3]");
  stranger.type = Entity_None;
  EXPECT_STREQ(entity_name(stranger), "???");
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
  EXPECT_TRUE(e.location.index == 2 && e.pos.x == 100 && e.pos.y == 200);
  EXPECT_EQ(e.next_in_grid, &neighbour);
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

TEST_F(Storage, FindByIdScansOnlyRecordsInUseAndNeverPastThePool) {
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
  entity_storage.nentities = 0xFFFF;
  entity_storage.entities[ENTITIES_MAX - 1].id = 4242;
  EXPECT_EQ(find_entity_by_id(4242), &entity_storage.entities[ENTITIES_MAX - 1]);
  EXPECT_EQ(find_entity_by_id(4243), nullptr);  // would read past the pool without the bound
}

TEST_F(Storage, AServerIdIsFoundAtItsOwnSlot) {
  auto server_id = [](u32 generation, int slot) { return (generation << ENTITY_ID_SLOT_BITS) | (u32)(slot + 1); };
  entity_storage.nentities = 600;
  entity_storage.entities[500].id = server_id(3, 500);
  entity_storage.entities[7].id = server_id(3, 500);   // a repeat in a broken snapshot: the slot's record wins
  entity_storage.entities[9].id = server_id(1, 4000);  // a snapshot's record away from its slot
  EXPECT_EQ(find_entity_by_id(server_id(3, 500)), &entity_storage.entities[500]);
  EXPECT_EQ(find_entity_by_id(server_id(1, 4000)), &entity_storage.entities[9]);
  EXPECT_EQ(find_entity_by_id(server_id(2, 500)), nullptr);  // an earlier tenant of the slot
  EXPECT_EQ(find_entity_by_id(server_id(3, 700)), nullptr);  // a slot past the count
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
