// The whole world HUD with every window open (map, parameters, effects, stomach, spell bar, spells
// window, chat, the administrator's panel with eight players and an inspected entity): build, lookups,
// layout and the copy to the previous frame. No GL: drawing is not measured here.
#include <benchmark/benchmark.h>

#include "bench_ui.hpp"

#include "app/client.hpp"
#include "entity.hpp"
#include "registry.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"
#include "world/hud.hpp"

static Entity& bench_hud_setup() {
  load_entity_registry();
  bench_ui_window(1920, 1080);
  entity_storage_clear();
  Entity& p = entity_storage.entities[entity_storage.nentities++];
  memset((void*)&p, 0, sizeof(Entity));
  copy_prototype(&p, *get_entity_prototype(Entity_Player));
  p.id = 7;
  p.pos = {320, 640};
  for (Component c : {Component_Actor, Component_Mortal, Component_Mover}) enable_component(p, c);
  p.flags |= EntityFlag_IsAdmin;
  for (int i = 1; i < (int)EffectType_count; i++) p.actor.effects[i].type = (EffectType)i;
  for (SpellAbility& s : p.actor.spellset) s.cooldown = 0.5f;
  for (int i = 0; i < 4; i++) p.person.stomach.slots[i] = {(EntityType)(Entity_Player + 1 + i), {3, 10}};
  p.person.respawn_id = 1;
  p.person.respawn_pos = {100, 100};
  game.player = &p;
  game.world_map.texture = {1, 256, 256, 1};
  game.paused = game.battle_stance = true;
  game.selected_id = p.id;
  game.admin.nplayers = PLAYERS_MAX;
  for (u32 i = 0; i < PLAYERS_MAX; i++) game.admin.players[i] = {i + 1, p.person, {32.0f * (f32)i, 64}};
  ui.draw_world_map = 2;
  ui.main_controls.show_lmb = true;
  ui.spells.is_visible = ui.admin_dialog.is_visible = ui.chat.dialog.is_visible = true;
  return p;
}

static void BM_WorldHudFrame(benchmark::State& state) {
  Entity& player = bench_hud_setup();
  for (int i = 0; i < 2; i++) {  // warm: the previous frame exists, as in a running game
    ui_begin();
    build_world_ui(player);
    ui_end();
  }
  for (auto _ : state) {
    ui_begin();
    update_ui();
    build_world_ui(player);
    ui_end();
    benchmark::DoNotOptimize(ui.elements_prev[10].rect);
  }
  state.counters["elements"] = ui.nelements_prev;
  game.player = nullptr;
  game.world_map.texture = {};
  game.admin.nplayers = 0;
  entity_storage_clear();
}
BENCHMARK(BM_WorldHudFrame);
