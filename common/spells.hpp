#pragma once
// Spell kinds and the spell and effect rules shared with the server.
#include "types.hpp"

enum SpellType : u8 {
  SpellType_Strike = 0,
  SpellType_StrongAttack = 1,
  SpellType_CycloneSlash = 2,
  SpellType_Fireball = 3,
  SpellType_IceBolt = 4,
  SpellType_Burn = 5,
  SpellType_Heal = 6,
  SpellType_SelfHeal = 7,
  SpellType_AoeHeal = 8,
  SpellType_AoeBlast = 9,
  SpellType_Sprint = 10,
  SpellType_Dash = 11,
  SpellType_Rage = 12,
  SpellType_Rejuvenation = 13,
  SpellType_Decay = 14,
  SpellType_count = 15,
};

// The records the rules read are defined with the entity; only references are needed here.
struct Actor;
struct Entity;
struct Event;
struct Effect;
enum EffectType : u32;

struct SpellInfo {
  const char* name;
  f32 wind_up;   // seconds from the start of the cast to its release
  f32 cooldown;  // seconds
  f32 radius;    // range of a targeted spell or area of an area spell; 0 on oneself
  f32 mana_cost;
};

extern const SpellInfo spells_info[SpellType_count];

constexpr f32 MeleeAttackRadius = 32.0f;        // one tile
constexpr f32 DefaultAttackAngle = 3.1415927f;  // a half-turn wide arc

// Kinds arrive from the server as bytes, so every rule takes any value; an unknown kind is never
// ready, costs nothing and reaches nowhere.
const char* spell_type_name(u32 type);
const char* effect_type_name(u32 type);
f32 spell_windup(const Actor& actor, u32 type);
f32 spell_cooldown(const Actor& actor, u32 type);
f32 spell_radius(const Actor& actor, u32 type);
f32 spell_mana_cost(const Actor& actor, u32 type);
bool has_mana_for(const Actor& actor, u32 type);
bool spell_is_on_cooldown(const Actor& actor, u32 type);
bool spell_has_just_started(const Actor& actor);
bool spell_can_be_aimed(u32 type);

// Effect slot 0 is never used; lookups walk slots 1 and up.
Effect* find_effect(Entity& entity, u32 type);
bool has_effect(Entity& entity, u32 type);

// How long an event stays on screen.
Duration event_duration(const Event& event);
