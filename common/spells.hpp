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
