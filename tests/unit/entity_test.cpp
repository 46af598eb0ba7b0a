#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entity.hpp"
#include "registry.hpp"

namespace {

// A snapshot record as it arrives: little-endian bytes at fixed offsets.
struct WireRecord {
  u8 bytes[Entity_Shared_Size] = {};

  void u8_at(int off, u8 v) { bytes[off] = v; }
  void u16_at(int off, u16 v) {
    for (int i = 0; i < 2; i++) bytes[off + i] = (u8)(v >> (8 * i));
  }
  void u32_at(int off, u32 v) {
    for (int i = 0; i < 4; i++) bytes[off + i] = (u8)(v >> (8 * i));
  }
  void u64_at(int off, u64 v) {
    for (int i = 0; i < 8; i++) bytes[off + i] = (u8)(v >> (8 * i));
  }
  void f32_at(int off, f32 v) {
    u32 bits;
    memcpy(&bits, &v, 4);
    u32_at(off, bits);
  }
  void text_at(int off, const char* s) { memcpy(bytes + off, s, strlen(s)); }

  // What the snapshot intake does: the shared part replaces the record, the local link stays.
  void decode_into(Entity& e) const { memcpy((void*)&e, bytes, sizeof(bytes)); }
};

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

TEST(EntityLayout, DecodesAHandBuiltRecordWithAThinker) {
  WireRecord w;
  w.u32_at(0, 0xA1B2C3D4);
  w.u16_at(4, LocationType_Dungeon);
  w.u16_at(6, 7);
  w.f32_at(8, 100.5f);
  w.f32_at(12, -32.25f);
  w.u16_at(18, Entity_skeleton);
  w.f32_at(20, 64);
  w.f32_at(24, 16);
  w.f32_at(28, 96);
  w.u16_at(32, 3);
  w.u16_at(34, 9);
  w.u32_at(36, EntityFlag_Rotate180 | EntityFlag_Pulled);
  w.u64_at(40, (1ull << Component_Mover) | (1ull << Component_Thinker) | (1ull << Component_Portal));
  // Mover
  w.f32_at(48, 1);
  w.f32_at(64 + 4, 2.5f);
  w.u8_at(88, 1);
  w.f32_at(96, 160);
  w.f32_at(108, 1.5f);
  w.f32_at(116, 77);
  w.u32_at(120, LocationZone_C);
  // Projectile, Mortal
  w.u32_at(128, 4242);
  w.u8_at(132, SpellType_IceBolt);
  w.u32_at(140, 0x55);
  w.f32_at(148, 150);
  w.u8_at(152, 6);
  w.u64_at(160, 123456789012ull);
  w.u32_at(168, 99);
  w.u32_at(172, MortalFlag_Aggressive);
  // Actor: current and queued actions, parameters, spells and the last effect slot
  w.u8_at(176, ActionType_Chop);
  w.u32_at(180, 31337);
  w.f32_at(188, 8);
  w.u64_at(200, 5000000000ull);
  w.f32_at(212, 2.5f);
  w.u32_at(216, ActionFlag_Repeat | ActionFlag_ComeInRange);
  w.u16_at(220, Entity_axe);
  w.u32_at(224, 0xFEED);
  w.u8_at(232, ActionType_CastSpell);
  w.u8_at(232 + 44, SpellType_Fireball);
  w.f32_at(292, 40);
  w.f32_at(324, 12);
  w.u32_at(328 + 8 * 14, (u32)-3);
  w.f32_at(328 + 8 * 14 + 4, 0.75f);
  w.u32_at(448 + 40 * 6, EffectType_Poisoned);
  w.u64_at(448 + 40 * 6 + 16, 777);
  w.u8_at(448 + 40 * 6 + 28, SpellType_Decay);
  w.u32_at(448 + 40 * 6 + 32, 616);
  // Thinker
  w.u32_at(728, ThinkerActivity_Fleeing);
  w.u64_at(744, 888);
  w.u8_at(752, SpellType_Rage);
  w.f32_at(760, 30);
  w.u32_at(764, 1234);
  w.u32_at(776, (u32)-2);
  w.f32_at(784, -5);
  w.u32_at(788, ThinkerFlag_MindContolled);
  // Container, the carrier view of the item slot, vessel, progress, portal, weapon, events
  w.u32_at(840 + 4 * 15, 4321);
  w.u8_at(904, 16);
  w.u32_at(908, 11);
  w.u32_at(912, 12);
  w.f32_at(932, 4000);
  w.f32_at(936, 0.5f);
  w.u8_at(944, 3);
  w.f32_at(972, 50);
  w.u64_at(976 + 32 * 7, 42);
  w.u64_at(976 + 32 * 7 + 8, 0x0102030405060708ull);
  w.u32_at(976 + 32 * 7 + 16, EventType_Damage);
  w.f32_at(976 + 32 * 7 + 20, 17.5f);
  w.u8_at(976 + 32 * 7 + 24, SpellType_Burn);
  w.u32_at(976 + 32 * 7 + 28, 2024);
  w.u32_at(1232, 8);

  Entity e = blank_entity();
  Entity neighbour = blank_entity();
  e.next_in_grid = &neighbour;
  w.decode_into(e);

  EXPECT_EQ(e.id, 0xA1B2C3D4u);
  EXPECT_EQ(e.location.type, LocationType_Dungeon);
  EXPECT_EQ(e.location.index, 7);
  EXPECT_EQ(e.pos.x, 100.5f);
  EXPECT_EQ(e.pos.y, -32.25f);
  EXPECT_EQ(e.type, Entity_skeleton);
  EXPECT_EQ(e.radius, 64);
  EXPECT_EQ(e.dim.y, 16);
  EXPECT_EQ(e.dim.z, 96);
  EXPECT_EQ(e.level, 3);
  EXPECT_EQ(e.quality, 9);
  EXPECT_EQ(flags_to_rotation(e.flags), 2);
  EXPECT_TRUE(e.flags & EntityFlag_Pulled);
  EXPECT_TRUE(has_component(e, Component_Thinker));
  EXPECT_TRUE(has_component(e, Component_Portal));
  EXPECT_FALSE(has_component(e, Component_Person));

  EXPECT_EQ(e.mover.dst.x, 1);
  EXPECT_EQ(e.mover.vel.y, 2.5f);
  EXPECT_TRUE(e.mover.is_sliding);
  EXPECT_EQ(e.mover.base_speed, 160);
  EXPECT_EQ(e.mover.angle, 1.5f);
  EXPECT_EQ(e.mover.stamina.max, 77);
  EXPECT_EQ(e.mover.zone, LocationZone_C);

  EXPECT_EQ(e.projectile.target_id, 4242u);
  EXPECT_EQ(e.projectile.type, SpellType_IceBolt);
  EXPECT_EQ(e.projectile.flags, 0x55u);
  EXPECT_EQ(e.mortal.hp.max, 150);
  EXPECT_EQ(e.mortal.group, 6);
  EXPECT_EQ(e.mortal.death_time.ns, 123456789012ull);
  EXPECT_EQ(e.mortal.burden, 99u);
  EXPECT_EQ(e.mortal.flags, (u32)MortalFlag_Aggressive);

  const Action& a = e.actor.action;
  EXPECT_EQ(a.type, ActionType_Chop);
  EXPECT_EQ(a.target_id, 31337u);
  EXPECT_EQ(a.dst.y, 8);
  EXPECT_EQ(a.started.ns, 5000000000ull);
  EXPECT_EQ(a.radius, 2.5f);
  EXPECT_EQ(a.flags, (u32)(ActionFlag_Repeat | ActionFlag_ComeInRange));
  EXPECT_EQ(a.entity_type, Entity_axe);
  EXPECT_EQ(a.custom_flags, 0xFEEDu);
  EXPECT_EQ(e.actor.next_action.type, ActionType_CastSpell);
  EXPECT_EQ(e.actor.next_action.spell_type, SpellType_Fireball);
  EXPECT_EQ(e.actor.mana.max, 40);
  EXPECT_EQ(e.actor.intellect.max, 12);
  EXPECT_EQ(e.actor.spellset[SpellType_Decay].level, -3);
  EXPECT_EQ(e.actor.spellset[SpellType_Decay].cooldown, 0.75f);
  const Effect& effect = e.actor.effects[EffectType_Poisoned];
  EXPECT_EQ(effect.type, EffectType_Poisoned);
  EXPECT_EQ(effect.last_tick_time.ns, 777u);
  EXPECT_EQ(effect.source_spell_type, SpellType_Decay);
  EXPECT_EQ(effect.source_id, 616u);

  EXPECT_EQ(e.thinker.activity, ThinkerActivity_Fleeing);
  EXPECT_EQ(e.thinker.next_wander_check_time.ns, 888u);
  EXPECT_EQ(e.thinker.main_attack, SpellType_Rage);
  EXPECT_EQ(e.thinker.damage.max, 30);
  EXPECT_EQ(e.thinker.target_id, 1234u);
  EXPECT_EQ(e.thinker.collisions, -2);
  EXPECT_EQ(e.thinker.respawn_pos.y, -5);
  EXPECT_EQ(e.thinker.flags, (u32)ThinkerFlag_MindContolled);

  EXPECT_EQ(e.container.slots[15], 4321u);
  EXPECT_EQ(e.container.nslots, 16);
  EXPECT_EQ(e.carrier, 11u);
  EXPECT_EQ(e.user, 12u);
  EXPECT_EQ(e.item.container, 11u);
  EXPECT_EQ(e.vessel.volume.max, 4000);
  EXPECT_EQ(e.progress.cur, 0.5f);
  EXPECT_EQ(e.portal.endpoint, 3);
  EXPECT_EQ(e.weapon.dmg.max, 50);

  const Event& ev = e.events.events[7];
  EXPECT_EQ(ev.time.ns, 42u);
  EXPECT_EQ(ev.id, 0x0102030405060708ull);
  EXPECT_EQ(ev.type, EventType_Damage);
  EXPECT_EQ(ev.damage.value, 17.5f);
  EXPECT_EQ(ev.damage.spell_type, SpellType_Burn);
  EXPECT_EQ(ev.damage.source_id, 2024u);
  EXPECT_EQ(e.events.nevents, 8);

  EXPECT_EQ(e.next_in_grid, &neighbour);
}

TEST(EntityLayout, DecodesPersonAndBlueprintVariants) {
  WireRecord w;
  w.u32_at(0, 5);
  w.u64_at(40, (1ull << Component_Person) | (1ull << Component_Blueprint) | (1ull << Component_Item));
  w.text_at(728, "Alice");
  w.u16_at(760, 17);
  w.f32_at(764, 10);
  w.f32_at(768, 200);
  w.f32_at(776, 90);
  w.u16_at(780 + 12 * 3, Entity_berry);
  w.f32_at(780 + 12 * 3 + 8, 5);
  w.u32_at(828, 77);
  w.f32_at(836, 640);
  w.u32_at(908, 1000);
  w.u16_at(912, 3);
  w.f32_at(916, 36.6f);
  w.f32_at(924, 80);
  w.f32_at(944, 40);
  w.f32_at(960, 2);
  w.f32_at(976, 320);
  w.f32_at(980, 480);
  w.u16_at(984 + 16 * 31, Entity_dungeon_wall);
  w.f32_at(984 + 16 * 31 + 4, 64);
  w.f32_at(984 + 16 * 31 + 8, -16);
  w.u32_at(984 + 16 * 31 + 12, EntityFlag_Rotate90);
  w.u32_at(1496, 32);
  w.text_at(1500, "Keep");

  Entity e = blank_entity();
  w.decode_into(e);

  EXPECT_STREQ(e.person.name, "Alice");
  EXPECT_EQ(e.person.lvl, 17);
  EXPECT_EQ(e.person.xp.cur, 10);
  EXPECT_EQ(e.person.xp.max, 200);
  EXPECT_EQ(e.person.energy.max, 90);
  EXPECT_EQ(e.person.stomach.slots[3].type, Entity_berry);
  EXPECT_EQ(e.person.stomach.slots[3].energy.max, 5);
  EXPECT_EQ(e.person.respawn_id, 77u);
  EXPECT_EQ(e.person.respawn_pos.y, 640);
  EXPECT_EQ(e.item.container, 1000u);
  EXPECT_EQ(e.item.quality, 3);
  EXPECT_EQ(e.item.temperature, 36.6f);
  EXPECT_EQ(e.item.durability.max, 80);
  EXPECT_EQ(e.food.energy, 40);
  EXPECT_EQ(e.food.fat, 2);
  EXPECT_EQ(e.blueprint.origin.x, 320);
  EXPECT_EQ(e.blueprint.origin.y, 480);
  const BlueprintElement& last = e.blueprint.elements[31];
  EXPECT_EQ(last.type, Entity_dungeon_wall);
  EXPECT_EQ(last.offset.x, 64);
  EXPECT_EQ(last.offset.y, -16);
  EXPECT_EQ(last.entity_flags, (u32)EntityFlag_Rotate90);
  EXPECT_EQ(e.blueprint.nelements, 32);
  EXPECT_STREQ(e.blueprint.name, "Keep");
  EXPECT_EQ(entity_name(e), std::string("Alice"));
}

// Every accessor must be tied to its own bit and its own slot: a copy-paste slip in either shows here.
TEST(EntityComponents, EachAccessorAnswersOnlyForItsOwnBit) {
  struct Row {
    Component component;
    const void* (*find)(const Entity&);
    size_t offset;
  };
#define ROW(name, C) {C, [](const Entity& e) { return (const void*)find_##name(e); }, offsetof(Entity, name)}
  const Row rows[] = {
      ROW(mover, Component_Mover),         ROW(actor, Component_Actor),     ROW(projectile, Component_Projectile),
      ROW(mortal, Component_Mortal),       ROW(person, Component_Person),   ROW(container, Component_Container),
      ROW(item, Component_Item),           ROW(vessel, Component_Vessel),   ROW(food, Component_Food),
      ROW(potion, Component_Potion),       ROW(crop, Component_Crop),       ROW(tree, Component_Tree),
      ROW(bush, Component_Bush),           ROW(vein, Component_Vein),       ROW(fuel, Component_Fuel),
      ROW(tool, Component_Tool),           ROW(door, Component_Door),       ROW(events, Component_Events),
      ROW(weapon, Component_Weapon),       ROW(blueprint, Component_Blueprint), ROW(blank, Component_Blank),
      ROW(thinker, Component_Thinker),     ROW(portal, Component_Portal),
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
  EXPECT_EQ(e.enabled_components, (1ull << 16) | (1ull << 17) | (1ull << 19));
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

TEST(EntityComponents, Names) {
  const char* expected[Component_num] = {"Mover", "Actor", "Projectile", "Mortal", "Person", "Container", "Item",
                                         "Vessel", "Food", "Potion", "Crop", "Tree", "Bush", "Vein", "Fuel", "Tool",
                                         "Cart", "Entrance", "Door", "Belt", "Events", "Weapon", "Blueprint", "Blank",
                                         "Thinker", "Portal"};
  for (int c = 0; c < (int)Component_num; c++) EXPECT_STREQ(component_name((Component)c), expected[c]);
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
  EXPECT_TRUE(bowl.flags & EntityFlag_Tabletop);
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
  } cases[] = {{ActionType_None, false}, {ActionType_Move, false}, {ActionType_Build, false},
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

  const struct {
    int stored, expected;
  } nslots[] = {{0, 0}, {4, 4}, {16, 16}, {17, 16}, {255, 16}};
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

TEST(EntityDump, PrintsFieldsByKind) {
  Entity e = blank_entity();
  e.mover.vel = {1.5f, -2};
  e.mover.speed = 120;
  e.mover.stamina = {3, 10};
  EXPECT_EQ(dump_to_string(component_serializers[Component_Mover], e),
            "    component = Mover {\n"
            "        dst = {0, 0}\n"
            "        desired_dir = {0, 0}\n"
            "        vel = {1.5, -2}\n"
            "        acc = {0, 0}\n"
            "        slide = {0, 0}\n"
            "        is_sliding = {}\n"
            "        speed = 120\n"
            "        base_speed = 0\n"
            "        bonus_speed = 0\n"
            "        gaze = 0\n"
            "        angle = 0\n"
            "        stamina = {3, 10}\n"
            "        zone = {}\n"
            "    }\n");

  e.blank.ingredients[0] = 2;
  e.blank.ingredients[15] = 3;
  EXPECT_EQ(dump_to_string(component_serializers[Component_Blank], e),
            "    component = Blank {\n"
            "        type = {}\n"
            "        ingredients[INGREDIENTS_MAX] = 5\n"
            "    }\n");
  EXPECT_EQ(dump_to_string(component_serializers[Component_Cart], e), "    component = Cart {}\n");
  EXPECT_EQ(dump_to_string(component_serializers[Component_Belt], e), "    component = Belt {}\n");

  // Every printer opens and closes with its own component's name.
  for (int c = 0; c < (int)Component_num; c++) {
    std::string s = dump_to_string(component_serializers[c], e);
    std::string head = std::string("    component = ") + component_name((Component)c) + " {";
    EXPECT_EQ(s.rfind(head, 0), 0u) << s;
    EXPECT_EQ(s.back(), '\n');
  }
  EXPECT_NE(dump_to_string(component_serializers[Component_Actor], e).find("        spellset[SpellType_count] = {}\n"),
            std::string::npos);
  EXPECT_NE(dump_to_string(component_serializers[Component_Person], e).find("        name[PLAYER_NAME_LEN] = {}\n"),
            std::string::npos);
  EXPECT_NE(dump_to_string(component_serializers[Component_Container], e).find("        slots[16] = {}\n"),
            std::string::npos);
}

TEST(EntityDump, OnlyPresentComponentsInOrder) {
  Entity e = blank_entity();
  enable_component(e, Component_Portal);
  enable_component(e, Component_Cart);
  enable_component(e, Component_Mover);
  std::string s = dump_to_string(dump_components, e);
  size_t mover = s.find("component = Mover {"), cart = s.find("component = Cart {}"),
         portal = s.find("component = Portal {");
  ASSERT_NE(mover, std::string::npos);
  ASSERT_NE(cart, std::string::npos);
  ASSERT_NE(portal, std::string::npos);
  EXPECT_LT(mover, cart);
  EXPECT_LT(cart, portal);
  EXPECT_EQ(s.find("Actor"), std::string::npos);
}
