#include "world_fixture.hpp"

TEST(Spells, TheTable) {
  struct Row {
    SpellType type;
    const char* name;
    f32 wind_up, cooldown, radius, mana;
  } rows[] = {
      {SpellType_Strike, "Strike", 0.5f, 0.45f, 32, 0},
      {SpellType_StrongAttack, "StrongAttack", 0.75f, 2.5f, 32, 0},
      {SpellType_CycloneSlash, "CycloneSlash", 0.75f, 2.5f, 24, 10},
      {SpellType_Fireball, "Fireball", 0.3f, 1.25f, 320, 10},
      {SpellType_IceBolt, "IceBolt", 0.4f, 1.75f, 320, 10},
      {SpellType_Burn, "Burn", 1, 10, 320, 10},
      {SpellType_Heal, "Heal", 1, 10, 320, 10},
      {SpellType_SelfHeal, "SelfHeal", 1, 1, 0, 10},
      {SpellType_AoeHeal, "AoeHeal", 2, 20, 320, 10},
      {SpellType_AoeBlast, "AoeBlast", 2, 20, 320, 10},
      {SpellType_Sprint, "Sprint", 0.5f, 10, 0, 10},
      {SpellType_Dash, "Dash", 0, 3, 0, 0},
      {SpellType_Rage, "Rage", 0.5f, 10, 0, 0},
      {SpellType_Rejuvenation, "Rejuvenation", 1, 1, 320, 10},
      {SpellType_Decay, "Decay", 1, 1, 320, 10},
  };
  static_assert(sizeof(rows) / sizeof(rows[0]) == SpellType_count);
  Actor actor = {};
  actor.dexterity.cur = 3;
  for (const Row& r : rows) {
    EXPECT_STREQ(spell_type_name(r.type), r.name);
    EXPECT_FLOAT_EQ(spell_windup(actor, r.type), r.wind_up) << r.name;
    EXPECT_FLOAT_EQ(spell_cooldown(actor, r.type), r.cooldown) << r.name;
    EXPECT_FLOAT_EQ(spell_radius(actor, r.type), r.radius) << r.name;
    EXPECT_FLOAT_EQ(spell_mana_cost(actor, r.type), r.mana) << r.name;
    EXPECT_EQ(spell_can_be_aimed(r.type), r.type == SpellType_AoeHeal || r.type == SpellType_AoeBlast);
  }
}

TEST(Spells, ClumsyStrikeIsSlower) {
  Actor actor = {};
  struct Row {
    f32 dexterity;
    SpellType type;
    f32 wind_up, cooldown;
  } rows[] = {
      {3, SpellType_Strike, 0.5f, 0.45f},
      {0, SpellType_Strike, 0.7f, 1.0f},
      {0.01f, SpellType_Strike, 0.5f, 0.45f},
      {0, SpellType_StrongAttack, 0.75f, 2.5f},  // only the plain strike suffers
  };
  for (const Row& r : rows) {
    actor.dexterity.cur = r.dexterity;
    EXPECT_FLOAT_EQ(spell_windup(actor, r.type), r.wind_up) << r.dexterity;
    EXPECT_FLOAT_EQ(spell_cooldown(actor, r.type), r.cooldown) << r.dexterity;
  }
}

TEST(Spells, UnknownKindsAreNeverReadyAndReachNowhere) {
  Actor actor = {};
  for (u32 type : {15u, 16u, 255u}) {
    EXPECT_STREQ(spell_type_name(type), "???");
    EXPECT_EQ(spell_windup(actor, type), 100500);
    EXPECT_EQ(spell_cooldown(actor, type), 100500);
    EXPECT_EQ(spell_radius(actor, type), 0);
    EXPECT_EQ(spell_mana_cost(actor, type), 0);
    EXPECT_TRUE(spell_is_on_cooldown(actor, type));
    EXPECT_FALSE(spell_can_be_aimed(type));
  }
}

TEST(Spells, ManaAndCooldown) {
  Actor creature = {};
  EXPECT_TRUE(has_mana_for(creature, SpellType_Fireball));  // no pool at all
  Actor player = {};
  player.mana = {9, 100};
  EXPECT_FALSE(has_mana_for(player, SpellType_Fireball));
  EXPECT_TRUE(has_mana_for(player, SpellType_Strike));  // free
  player.mana.cur = 10;
  EXPECT_TRUE(has_mana_for(player, SpellType_Fireball));
  player.mana = {0, 0.5f};  // a tiny pool is still a pool
  EXPECT_FALSE(has_mana_for(player, SpellType_Heal));

  EXPECT_FALSE(spell_is_on_cooldown(player, SpellType_Dash));
  player.spellset[SpellType_Dash].cooldown = 0.01f;
  EXPECT_TRUE(spell_is_on_cooldown(player, SpellType_Dash));
  EXPECT_FALSE(spell_is_on_cooldown(player, SpellType_Rage));
}

TEST(Spells, JustStarted) {
  Actor actor = {};
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
  EXPECT_EQ(find_effect(stag, EffectType_Frozen), nullptr);
  EXPECT_FALSE(has_effect(stag, EffectType_Frozen));
  actor->effects[6].type = EffectType_Frozen;
  EXPECT_EQ(find_effect(stag, EffectType_Frozen), &actor->effects[6]);
  actor->effects[2].type = EffectType_Frozen;
  EXPECT_EQ(find_effect(stag, EffectType_Frozen), &actor->effects[2]);
  EXPECT_TRUE(has_effect(stag, EffectType_Frozen));
  EXPECT_FALSE(has_effect(stag, EffectType_Rage));
  EXPECT_FALSE(has_effect(stag, 200));
}

TEST(EffectRules, NamesAndEventDurations) {
  EXPECT_STREQ(effect_type_name(EffectType_None), "<none>");
  EXPECT_STREQ(effect_type_name(EffectType_Poisoned), "Poisoned");
  EXPECT_STREQ(effect_type_name(EffectType_count), "???");
  Event e = {};
  e.type = EventType_LvlUp;
  EXPECT_EQ(event_duration(e).ns, 2 * Seconds.ns);
  e.type = EventType_Damage;
  EXPECT_EQ(event_duration(e).ns, 640 * Milliseconds.ns);
  e.type = (EventType)99;
  EXPECT_EQ(event_duration(e).ns, 640 * Milliseconds.ns);
  EXPECT_FLOAT_EQ(MeleeAttackRadius, tile_size);
}
