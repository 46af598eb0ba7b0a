#include <gtest/gtest.h>

#include <set>
#include <string>

#include "entity.hpp"
#include "registry.hpp"

namespace {

Entity blank_entity() {
  Entity e;
  memset((void*)&e, 0, sizeof(e));
  return e;
}

std::string dump_to_string(void (*print)(FILE*, const Entity&), const Entity& e) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  print(f, e);
  fclose(f);
  std::string s(data, size);
  free(data);
  return s;
}

}  // namespace

// Every accessor must be tied to its own bit and its own slot: a copy-paste slip in either shows here.
TEST(EntityComponents, EachAccessorAnswersOnlyForItsOwnBit) {
  struct Row {
    Component component;
    const void* (*find)(const Entity&);
    size_t offset;
  };
#define ROW(name, C)                                                                       \
  {                                                                                        \
    C, [](const Entity& e) { return (const void*)find_##name(e); }, offsetof(Entity, name) \
  }
  const Row rows[] = {
      ROW(mover, Component_Mover),     ROW(actor, Component_Actor),         ROW(projectile, Component_Projectile),
      ROW(mortal, Component_Mortal),   ROW(person, Component_Person),       ROW(container, Component_Container),
      ROW(item, Component_Item),       ROW(vessel, Component_Vessel),       ROW(food, Component_Food),
      ROW(potion, Component_Potion),   ROW(crop, Component_Crop),           ROW(tree, Component_Tree),
      ROW(bush, Component_Bush),       ROW(vein, Component_Vein),           ROW(fuel, Component_Fuel),
      ROW(tool, Component_Tool),       ROW(door, Component_Door),           ROW(events, Component_Events),
      ROW(weapon, Component_Weapon),   ROW(blueprint, Component_Blueprint), ROW(blank, Component_Blank),
      ROW(thinker, Component_Thinker), ROW(portal, Component_Portal),
  };
#undef ROW
  for (const Row& owner : rows) {
    Entity e = blank_entity();
    enable_component(e, owner.component);
    for (const Row& r : rows) {
      const void* found = r.find(e);
      if (r.component == owner.component)
        EXPECT_EQ(found, (const u8*)&e + r.offset) << component_name(r.component);
      else
        EXPECT_EQ(found, nullptr) << component_name(r.component) << " answered for " << component_name(owner.component);
    }
  }
}

TEST(EntityComponents, MaskBitsAndMarks) {
  Entity e = blank_entity();
  for (Component mark : {Component_Cart, Component_Entrance, Component_Belt}) {
    EXPECT_FALSE(has_component(e, mark));
    enable_component(e, mark);
    EXPECT_TRUE(has_component(e, mark));
  }
  // A bit number beyond the mask is simply absent, never a shift past 63.
  e.enabled_components = ~0ull;
  EXPECT_FALSE(has_component(e, (Component)64));
  EXPECT_FALSE(has_component(e, (Component)1000));
}

TEST(EntityComponentsDeathTest, GetOfAMissingComponentStops) {
  Entity e = blank_entity();
  enable_component(e, Component_Mover);
  EXPECT_EQ(get_mover(e), &e.mover);
  EXPECT_DEATH(get_actor(e), "");
  EXPECT_DEATH(get_person(e), "");
}

TEST(EntityComponents, NamesAreDistinctAndUnknownBitsNamedInvalid) {
  std::set<std::string> names;
  for (int c = 0; c < (int)Component_num; c++) {
    const char* name = component_name((Component)c);
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_STRNE(name, "<invalid component>");
  }
  EXPECT_STREQ(component_name(Component_num), "<invalid component>");
  EXPECT_STREQ(component_name((Component)0xFFFFFFFF), "<invalid component>");
}

TEST(EntityPredicates, ShapesLifeAndFlags) {
  Entity rock = blank_entity();
  rock.dim = {16, 0, 48};
  EXPECT_TRUE(is_object(rock));
  EXPECT_TRUE(is_dead(rock));
  EXPECT_FALSE(is_alive(rock));
  EXPECT_FALSE(is_rectangular(rock));
  EXPECT_EQ(rock.radius, 16);

  Entity wall = blank_entity();
  wall.dim = {64, 16, 96};
  EXPECT_TRUE(is_rectangular(wall));

  Entity orc = blank_entity();
  enable_component(orc, Component_Mortal);
  EXPECT_FALSE(is_object(orc));
  EXPECT_TRUE(is_dead(orc));  // hp 0
  orc.mortal.hp = {0.5f, 100};
  EXPECT_TRUE(is_alive(orc));
  orc.mortal.hp.cur = -1;
  EXPECT_TRUE(is_dead(orc));

  // One bit, two readings: an administrator on a player, a tabletop thing on an object.
  Entity player = blank_entity(), bowl = blank_entity();
  enable_component(player, Component_Person);
  player.flags = 16;
  bowl.flags = EntityFlag_Tabletop;
  EXPECT_TRUE(is_admin(player));
  EXPECT_TRUE(is_admin(bowl));
  EXPECT_TRUE(is_person(player));
  EXPECT_FALSE(is_person(bowl));
  bowl.flags = EntityFlag_Liftable | EntityFlag_Roof;
  EXPECT_FALSE(is_admin(bowl));
}

TEST(EntityPredicates, ItemsAndActions) {
  Entity e = blank_entity();
  e.item.container = 9;  // bytes of an entity without Item mean nothing
  EXPECT_FALSE(in_container(e));
  EXPECT_FALSE(is_item(e));
  enable_component(e, Component_Item);
  EXPECT_TRUE(is_item(e));
  EXPECT_TRUE(in_container(e));
  e.item.container = 0;
  EXPECT_FALSE(in_container(e));
  EXPECT_FALSE(is_container(e));

  enable_component(e, Component_Actor);
  const struct {
    ActionType type;
    bool acting;
  } cases[] = {{ActionType_None, false},     {ActionType_Move, false},  {ActionType_Build, false},
               {ActionType_CastSpell, true}, {ActionType_PickUp, true}, {ActionType_Extinguish, true}};
  for (auto c : cases) {
    e.actor.action.type = c.type;
    EXPECT_EQ(is_acting(e), c.acting) << (int)c.type;
  }
}

TEST(EntityRotation, FlagsAndNames) {
  const struct {
    int rotation;
    u32 flags;
    const char* name;
  } cases[] = {{0, 0, "south"}, {1, 1, "east"}, {2, 2, "north"}, {3, 3, "west"}, {4, 0, "???"}, {-1, 0, "???"}};
  for (auto c : cases) {
    EXPECT_EQ(rotation_to_flags(c.rotation), c.flags) << c.rotation;
    EXPECT_STREQ(rotation_name(c.rotation), c.name) << c.rotation;
  }
  EXPECT_EQ(flags_to_rotation(3), 3);
  EXPECT_EQ(flags_to_rotation(EntityFlag_Wall | EntityFlag_Rotate180), 2);
  EXPECT_EQ(flags_to_rotation(EntityFlag_Wall), 0);
}

// Records come from the network: names may lack a terminator and counts may exceed their arrays.
TEST(EntityHostileRecords, NamesAndCountsStayInsideTheirArrays) {
  Entity e = blank_entity();
  memset(e.person.name, 'x', sizeof(e.person.name));
  e.person.lvl = 0xFFFF;  // right after the name: no terminator there either
  EXPECT_EQ(person_name(e.person).len, PLAYER_NAME_LEN);

  memset(e.blueprint.name, 'b', sizeof(e.blueprint.name));
  EXPECT_EQ(blueprint_name(e.blueprint).len, ENTITY_TYPE_NAME_LEN);
  e.blueprint.name[3] = 0;
  EXPECT_EQ(blueprint_name(e.blueprint).len, 3);

  const struct { int stored, expected; } nslots[] = {{0, 0}, {4, 4}, {16, 16}, {17, 16}, {255, 16}};
  for (auto c : nslots) {
    e.container.nslots = (u8)c.stored;
    EXPECT_EQ(container_nslots(e.container), c.expected) << c.stored;
  }
  const struct {
    s32 stored, elements, events;
  } counts[] = {{-1, 0, 0}, {0, 0, 0}, {8, 8, 8}, {9, 9, 8}, {32, 32, 8}, {33, 32, 8}, {0x7FFFFFFF, 32, 8}};
  for (auto c : counts) {
    e.blueprint.nelements = c.stored;
    EXPECT_EQ(blueprint_nelements(e.blueprint), c.elements) << c.stored;
    e.events.nevents = c.stored;
    EXPECT_EQ(events_count(e.events), c.events) << c.stored;
  }
}

TEST(EntityDump, EveryPrinterNamesItsComponentAndItsValues) {
  Entity e = blank_entity();
  e.mover.vel = {1.5f, -2};
  e.mover.stamina = {3, 10};
  e.blank.ingredients[0] = 2;
  e.blank.ingredients[15] = 3;
  for (int c = 0; c < (int)Component_num; c++) {
    std::string s = dump_to_string(component_serializers[c], e);
    std::string head = std::string("    component = ") + component_name((Component)c) + " {";
    EXPECT_EQ(s.rfind(head, 0), 0u) << s;
    EXPECT_EQ(s.back(), '\n');
  }
  std::string mover = dump_to_string(component_serializers[Component_Mover], e);
  EXPECT_NE(mover.find("        vel = {1.5, -2}\n"), std::string::npos) << mover;
  EXPECT_NE(mover.find("        stamina = {3, 10}\n"), std::string::npos) << mover;
  // Arrays of counts print their sum, not every entry.
  EXPECT_NE(dump_to_string(component_serializers[Component_Blank], e).find("ingredients[INGREDIENTS_MAX] = 5\n"),
            std::string::npos);
  EXPECT_EQ(dump_to_string(component_serializers[Component_Cart], e), "    component = Cart {}\n");
}

TEST(EntityDump, OnlyPresentComponentsInOrder) {
  Entity e = blank_entity();
  enable_component(e, Component_Portal);
  enable_component(e, Component_Cart);
  enable_component(e, Component_Mover);
  std::string s = dump_to_string(dump_components, e);
  size_t mover = s.find("component = Mover {"), cart = s.find("component = Cart {}"),
         portal = s.find("component = Portal {");
  EXPECT_TRUE(mover < cart && cart < portal && portal != std::string::npos) << s;  // all present, in order
  EXPECT_EQ(s.find("Actor"), std::string::npos);
}
