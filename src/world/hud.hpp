#pragma once
// The world screen's heads-up display: parameter bars, stomach, action icons, the spell bar and the
// spells window, tied together with every other panel of the world by draw_world_ui.
#include "app/client.hpp"
#include "spells.hpp"

enum Icon : u32 {
  Icon_None = 0,
  Icon_Move = 1,
  Icon_Strike = 2,
  Icon_Dash = 3,
  Icon_StrongAttack = 4,
  Icon_ContextMenu = 5,
  Icon_BattleStance = 6,
  Icon_StatsDialog = 7,
  Icon_CraftDialog = 8,
  Icon_SpellsDialog = 9,
  Icon_count = 10,
};

// The icon's cell in the icon atlas (square cells of Icon_size, 8 a row); an empty rectangle for
// Icon_None and anything outside the atlas's kinds.
Rect icon_rect(Icon icon);

// The share of a cooldown still to run, within 0..1; 0 when the full cooldown is 0 or not a number.
f32 cooldown_ratio(f32 timer, f32 cooldown);

// The HUD of one frame: nothing without a player entity.
void draw_world_ui();
// Everything of draw_world_ui that builds elements, without GL: the tests and benchmarks build this.
void build_world_ui(Entity& player);

void ui_spell_button(Actor& actor, SpellType type, char key);
void ui_spells();
