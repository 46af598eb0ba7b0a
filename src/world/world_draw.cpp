#include "world/world_draw.hpp"

#include <math.h>

#include "entity.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "render/renderer.hpp"
#include "render/terrain.hpp"
#include "spells.hpp"
#include "world/world_bars.hpp"

static int world_stored_count() {
  return entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
}

void world_add_lights() {
  clear_lights();
  constexpr Color warm = {{0.9f, 0.7f, 0.3f, 1}};
  int n = world_stored_count();
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0 || in_container(e)) continue;
    if (has_component(e, Component_Fuel) && (e.flags & EntityFlag_Burning)) {
      if (!add_light(v3{e.pos.x, e.pos.y, 1}, warm, 7)) return;
    }
    // The flame's spot is left by the last draw; a zero spot means no flame.
    const EntityState* state = find_entity_state(e.id);
    if (state && !v3_is_zero(state->fire_pos)) {
      if (!add_light(state->fire_pos, warm, 4)) return;
    }
  }
}

Sound* spell_start_sound(u32 spell_type) {
  Sounds& s = game.audio.sounds;
  switch (spell_type) {
    case SpellType_Strike: return &s.swing;
    case SpellType_StrongAttack: return &s.woosh;
    case SpellType_CycloneSlash: return &s.cyclone_slash;
    case SpellType_Fireball:
    case SpellType_IceBolt:
    case SpellType_Burn: return &s.fireball_cast;
    case SpellType_Heal:
    case SpellType_SelfHeal: return &s.heal;
    default: return nullptr;
  }
}

Sound* take_spell_start_sound(Entity& e) {
  if (!has_component(e, Component_Actor)) return nullptr;
  const Action& a = e.actor.action;
  if (a.type != ActionType_CastSpell || !spell_has_just_started(e.actor)) return nullptr;
  Sound* sound = spell_start_sound(a.spell_type);
  if (!sound) return nullptr;
  // The same snapshot can stay the newest for several frames; the cast's start time tells a new cast.
  EntityState* state = set_entity_state_entry(e.id);
  if (!state || state->cast_sound_started.ns == a.started.ns) return nullptr;
  state->cast_sound_started = a.started;
  return sound;
}

Rect tile_brush_cell(v2 p) {
  constexpr f32 T = 32;
  return Rect{floorf(p.x / T) * T, floorf(p.y / T) * T, T, T};
}

void draw_tile_tool() {
  if (ui.tiles.selected_tile == 0) return;
  if (ui.tiles.is_active) {
    Rect& r = ui.tiles.area;
    r = tile_rect_snapped(ui.tiles.start_pos, game.mouse_world);
    // Every frame of a drag: only when the debug log was asked for.
    if (game.config.debug_log) debug_log("%f,%f %fx%f\n", (double)r.x, (double)r.y, (double)r.w, (double)r.h);
    draw_rect(r, Color{{1, 0.8f, 0, 0.25f}});
  }
  const Texture& atlas = renderer.tiles_texture;
  TileCell cell;
  if (atlas.width == 0 || !terrain_atlas_cell((TileType)ui.tiles.selected_tile, TileCell{0, 0}, atlas.width, &cell))
    return;
  Rect src = {(f32)(cell.col * TILE_ATLAS_CELL), (f32)(cell.row * TILE_ATLAS_CELL), TILE_ATLAS_CELL, TILE_ATLAS_CELL};
  draw_texture(atlas, src, tile_brush_cell(game.mouse_world), Color{{1, 1, 1, 1}});
}

void draw_attack_radii() {
  int n = world_stored_count();
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0 || in_container(e) || !has_component(e, Component_Actor)) continue;
    draw_circle(e.pos, e.radius + 32, Color{{1, 0, 0, 0.5f}});
  }
}
