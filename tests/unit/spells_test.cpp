#include <set>
#include <string>

#include "world_fixture.hpp"

TEST(Spells, EveryKindIsNamedTimedAndReachable) {
  Actor actor = {};
  actor.dexterity.cur = 3;
  std::set<std::string> names;
  for (u32 t = 0; t < SpellType_count; t++) {
    const SpellInfo& info = spells_info[t];
    SCOPED_TRACE(t);
    ASSERT_NE(info.name, nullptr);
    EXPECT_TRUE(names.insert(info.name).second) << info.name;
    EXPECT_STREQ(spell_type_name(t), info.name);
    EXPECT_STRNE(info.name, "???");
    // A dexterous actor gets the table's figures; every spell comes back and none is instant but the dash.
    EXPECT_EQ(spell_windup(actor, t), info.wind_up);
    EXPECT_EQ(spell_cooldown(actor, t), info.cooldown);
    EXPECT_EQ(spell_radius(actor, t), info.radius);
    EXPECT_EQ(spell_mana_cost(actor, t), info.mana_cost);
    EXPECT_GT(info.cooldown, 0);
    EXPECT_GE(info.wind_up, 0);
    EXPECT_EQ(info.wind_up == 0, t == SpellType_Dash);
    EXPECT_GE(info.radius, 0);
    EXPECT_GE(info.mana_cost, 0);
    // Melee reaches no further than a blade; only area spells are aimed at the ground.
    if (t <= SpellType_CycloneSlash) {
      EXPECT_LE(info.radius, MeleeAttackRadius);
    }
    EXPECT_EQ(spell_can_be_aimed(t), t == SpellType_AoeHeal || t == SpellType_AoeBlast);
    if (spell_can_be_aimed(t)) {
      EXPECT_GT(info.radius, 0);
    }
  }
  for (u32 t : {SpellType_SelfHeal, SpellType_Sprint, SpellType_Dash, SpellType_Rage})
    EXPECT_EQ(spells_info[t].radius, 0) << t;
  // The plain strike is free, so a drained actor can still fight.
  EXPECT_EQ(spells_info[SpellType_Strike].mana_cost, 0);
}

TEST(Spells, ClumsyStrikeAndUnknownKinds) {
  Actor actor = {};
  struct Row {
    f32 dexterity;
    u32 type;
    f32 wind_up, cooldown;
  } rows[] = {
      {3, SpellType_Strike, 0.5f, 0.45f},
      {0, SpellType_Strike, 0.7f, 1.0f},
      {0.01f, SpellType_Strike, 0.5f, 0.45f},
      {0, SpellType_StrongAttack, 0.75f, 2.5f},  // only the plain strike suffers
      {3, 15, 100500, 100500},
      {0, 255, 100500, 100500},
  };
  for (const Row& r : rows) {
    actor.dexterity.cur = r.dexterity;
    EXPECT_FLOAT_EQ(spell_windup(actor, r.type), r.wind_up) << r.type << " " << r.dexterity;
    EXPECT_FLOAT_EQ(spell_cooldown(actor, r.type), r.cooldown) << r.type << " " << r.dexterity;
  }
  for (u32 type : {15u, 255u}) {  // nothing read past the spell set, never castable
    EXPECT_STREQ(spell_type_name(type), "???");
    EXPECT_EQ(spell_radius(actor, type), 0);
    EXPECT_EQ(spell_mana_cost(actor, type), 0);
    EXPECT_TRUE(spell_is_on_cooldown(actor, type));
  }
}

TEST(Spells, ManaCooldownAndStart) {
  Actor actor = {};
  EXPECT_TRUE(has_mana_for(actor, SpellType_Fireball));  // no pool at all
  struct Row {
    Param mana;
    u32 type;
    bool enough;
  } rows[] = {
      {{9, 100}, SpellType_Fireball, false},
      {{10, 100}, SpellType_Fireball, true},
      {{0, 100}, SpellType_Strike, true},
      {{0, 0.5f}, SpellType_Heal, false},  // a tiny pool is a pool
  };
  for (const Row& r : rows) {
    actor.mana = r.mana;
    EXPECT_EQ(has_mana_for(actor, r.type), r.enough) << r.mana.cur << "/" << r.mana.max;
  }
  EXPECT_FALSE(spell_is_on_cooldown(actor, SpellType_Dash));
  actor.spellset[SpellType_Dash].cooldown = 0.01f;
  EXPECT_TRUE(spell_is_on_cooldown(actor, SpellType_Dash));

  EXPECT_FALSE(spell_has_just_started(actor));
  actor.action.started = Time{5};
  EXPECT_TRUE(spell_has_just_started(actor));
  actor.action.progress = 0.1f;
  EXPECT_FALSE(spell_has_just_started(actor));
}

using Effects = WorldTest;

TEST_F(Effects, SlotZeroIsNeverFound) {
  Entity& stag = spawn(Entity_stag, {100, 100});
  Actor* actor = get_actor(stag);
  actor->effects[0].type = EffectType_Frozen;
  EXPECT_FALSE(has_effect(stag, EffectType_Frozen));
  actor->effects[6].type = EffectType_Frozen;
  EXPECT_EQ(find_effect(stag, EffectType_Frozen), &actor->effects[6]);
  actor->effects[2].type = EffectType_Frozen;
  EXPECT_EQ(find_effect(stag, EffectType_Frozen), &actor->effects[2]);
  EXPECT_FALSE(has_effect(stag, EffectType_Rage));
  EXPECT_FALSE(has_effect(spawn(Entity_rock, {100, 100}), EffectType_None));  // no actor, no effects

  EXPECT_STREQ(effect_type_name(EffectType_count), "???");
}
