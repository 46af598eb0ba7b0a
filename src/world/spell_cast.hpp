#pragma once
// The one road from the player's keys, clicks and icons to a spell request.
#include "app/client.hpp"
#include "spells.hpp"

// Refuses a spell still cooling down or beyond the player's mana (a sound, and a thought for the mana);
// returns whether the request went out.
bool cast_spell(SpellType type, Id target_id, v2 dst, bool auto_attack);
// The aimed spell's area around the mouse and whatever it would reach, on the ground.
void draw_spell_crosshair(Entity& player);
