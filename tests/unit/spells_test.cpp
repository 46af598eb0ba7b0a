#include "world_fixture.hpp"

TEST(Spells, TheTable) {
  struct Row {
    const char* name;
    f32 wind_up, cooldown, radius, mana;
  } rows[SpellType_count] = {
      {"Strike", 0.5f, 0.45f, 32, 0},     {"StrongAttack", 0.75f, 2.5f, 32, 0}, {"CycloneSlash", 0.75f, 2.5f, 24, 10},
      {"Fireball", 0.3f, 1.25f, 320, 10}, {"IceBolt", 0.4f, 1.75f, 320, 10},    {"Burn", 1, 10, 320, 10},
      {"Heal", 1, 10, 320, 10},           {"SelfHeal", 1, 1, 0, 10},            {"AoeHeal", 2, 20, 320, 10},
      {"AoeBlast", 2, 20, 320, 10},       {"Sprint", 0.5f, 10, 0, 10},          {"Dash", 0, 3, 0, 0},
      {"Rage", 0.5f, 10, 0, 0},           {"Rejuvenation", 1, 1, 320, 10},      {"Decay", 1, 1, 320, 10},
  };
  Actor actor = {};
  actor.dexterity.cur = 3;
  for (u32 t = 0; t < SpellType_count; t++) {
    const Row& r = rows[t];
    EXPECT_STREQ(spell_type_name(t), r.name);
    EXPECT_FLOAT_EQ(spell_windup(actor, t), r.wind_up) << r.name;
    EXPECT_FLOAT_EQ(spell_cooldown(actor, t), r.cooldown) << r.name;
    EXPECT_FLOAT_EQ(spell_radius(actor, t), r.radius) << r.name;
    EXPECT_FLOAT_EQ(spell_mana_cost(actor, t), r.mana) << r.name;
    EXPECT_EQ(spell_can_be_aimed(t), t == SpellType_AoeHeal || t == SpellType_AoeBlast) << r.name;
  }
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
      {{9, 100}, SpellType_Fireball, false}, {{10, 100}, SpellType_Fireball, true},
      {{0, 100}, SpellType_Strike, true},    {{0, 0.5f}, SpellType_Heal, false},  // a tiny pool is a pool
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

  EXPECT_STREQ(effect_type_name(EffectType_Poisoned), "Poisoned");
  EXPECT_STREQ(effect_type_name(EffectType_count), "???");
  Event e = {};
  e.type = EventType_LvlUp;
  EXPECT_EQ(event_duration(e).ns, 2 * Seconds.ns);
  e.type = EventType_Damage;
  EXPECT_EQ(event_duration(e).ns, 640 * Milliseconds.ns);
}
