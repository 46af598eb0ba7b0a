// The spell table and the small rules the HUD and the cast checks share with the server.
#include "spells.hpp"

#include "entity.hpp"

const SpellInfo spells_info[SpellType_count] = {
    {"Strike", 0.5f, 0.45f, 32, 0},
    {"StrongAttack", 0.75f, 2.5f, 32, 0},
    {"CycloneSlash", 0.75f, 2.5f, 24, 10},
    {"Fireball", 0.3f, 1.25f, 320, 10},
    {"IceBolt", 0.4f, 1.75f, 320, 10},
    {"Burn", 1, 10, 320, 10},
    {"Heal", 1, 10, 320, 10},
    {"SelfHeal", 1, 1, 0, 10},
    {"AoeHeal", 2, 20, 320, 10},
    {"AoeBlast", 2, 20, 320, 10},
    {"Sprint", 0.5f, 10, 0, 10},
    {"Dash", 0, 3, 0, 0},
    {"Rage", 0.5f, 10, 0, 0},
    {"Rejuvenation", 1, 1, 320, 10},
    {"Decay", 1, 1, 320, 10},
};

// Never ready: an unknown kind must not look castable.
constexpr f32 spell_unknown_time = 100500.0f;

static bool spell_is_known(u32 type) { return type < SpellType_count; }

const char* spell_type_name(u32 type) { return spell_is_known(type) ? spells_info[type].name : "???"; }

const char* effect_type_name(u32 type) {
  static const char* const names[EffectType_count] = {"<none>", "Sprint", "Heal",    "Damage",
                                                      "Rage",   "Frozen", "Poisoned"};
  return type < EffectType_count ? names[type] : "???";
}

f32 spell_windup(const Actor& actor, u32 type) {
  if (!spell_is_known(type)) return spell_unknown_time;
  // Without any dexterity a plain strike is slow to swing...
  if (type == SpellType_Strike && actor.dexterity.cur == 0) return 0.7f;
  return spells_info[type].wind_up;
}

f32 spell_cooldown(const Actor& actor, u32 type) {
  if (!spell_is_known(type)) return spell_unknown_time;
  // ...and slow to recover.
  if (type == SpellType_Strike && actor.dexterity.cur == 0) return 1.0f;
  return spells_info[type].cooldown;
}

f32 spell_radius(const Actor&, u32 type) { return spell_is_known(type) ? spells_info[type].radius : 0; }

f32 spell_mana_cost(const Actor&, u32 type) { return spell_is_known(type) ? spells_info[type].mana_cost : 0; }

bool has_mana_for(const Actor& actor, u32 type) {
  // Creatures without a mana pool cast freely.
  if (actor.mana.max == 0) return true;
  return actor.mana.cur >= spell_mana_cost(actor, type);
}

bool spell_is_on_cooldown(const Actor& actor, u32 type) {
  if (!spell_is_known(type)) return true;
  return actor.spellset[type].cooldown != 0;
}

bool spell_has_just_started(const Actor& actor) {
  return !time_is_zero(actor.action.started) && actor.action.progress == 0;
}

bool spell_can_be_aimed(u32 type) { return type == SpellType_AoeHeal || type == SpellType_AoeBlast; }

Effect* find_effect(Entity& entity, u32 type) {
  // Presentation asks this of whatever it draws; a rock simply has no effects.
  Actor* actor = find_actor(entity);
  if (!actor) return nullptr;
  for (int i = 1; i < (int)EffectType_count; i++) {
    if (actor->effects[i].type == type) return &actor->effects[i];
  }
  return nullptr;
}

bool has_effect(Entity& entity, u32 type) { return find_effect(entity, type) != nullptr; }

Duration event_duration(const Event& event) {
  if (event.type == EventType_LvlUp) return Duration{2 * Seconds.ns};
  return Duration{640 * Milliseconds.ns};
}
