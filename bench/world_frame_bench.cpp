// The cost of a world frame like the one the end-to-end world scene shows (a new character on open
// ground among trees, rocks and a few neighbours), at both quality levels and two window sizes, with the
// GPU time of each pass as counters (ms a frame). Run under scripts/with-xvfb.sh; on Mesa's software
// renderer the ratio of the two levels is what matters, the absolute numbers follow the machine's load.
#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include "app/client.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "render/camera.hpp"
#include "render/font.hpp"
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"

namespace {

Location world_location = {};

// Open ground of mixed tiles with the player in the middle and the kinds a start area holds around.
void world_scene_build() {
  constexpr int side = 96;
  static u8 tiles[side * side];
  for (int y = 0; y < side; y++) {
    for (int x = 0; x < side; x++) {
      u32 h = ((u32)x * 73856093u) ^ ((u32)y * 19349663u);
      static const TileType kinds[] = {TileType_Grass, TileType_Grass,      TileType_Grass, TileType_Soil,
                                       TileType_Dirt,  TileType_LeafForest, TileType_Sand};
      tiles[y * side + x] = (u8)kinds[(h >> 7) % (sizeof(kinds) / sizeof(kinds[0]))];
    }
  }
  location_init(world_location, LocationRef{LocationType_World, 0}, "bench", 0, side, side, {0, 0}, tiles, side * side);
  game.location = &world_location;
  entity_storage_clear();
  static const EntityType around[] = {Entity_pine_tree,   Entity_apple_tree, Entity_rock,       Entity_bush,
                                      Entity_grass,       Entity_Player,     Entity_berry_bush, Entity_narrow_rock,
                                      Entity_wooden_lamp, Entity_barrel};
  Id id = 1;
  auto spawn = [&](EntityType type, v2 pos) -> Entity& {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    e.id = id++;
    e.location = world_location.ref;
    e.pos = InvalidPos;
    copy_prototype(&e, *get_entity_prototype(type));
    set_pos(e, pos);
    return e;
  };
  const v2 centre = {side * tile_size / 2, side * tile_size / 2};
  Entity& player = spawn(Entity_Player, centre);
  cstr_copy(player.person.name, "Bench", PLAYER_NAME_LEN);
  for (int i = 0; i < 48; i++) {
    f32 angle = (f32)i * 2.39996f, r = tile_size * (2.0f + 0.55f * (f32)i);
    Entity& e = spawn(around[i % (int)(sizeof(around) / sizeof(around[0]))],
                      v2{centre.x + r * cosf(angle), centre.y + r * sinf(angle)});
    if (is_person(e)) cstr_copy(e.person.name, "Neighbour", PLAYER_NAME_LEN);
  }
  game.player = &entity_storage.entities[0];
  game.player_name = "Bench";
}

bool world_bench_ready() {
  static int state = 0;  // 0: not tried, 1: ready, -1: no display
  if (state) return state > 0;
  state = -1;
  if (!getenv("DISPLAY")) return false;
  init_window();
  load_entity_registry();
  init_opengl();
  init_fonts();
  load_resources();
  world_scene_build();
  state = 1;
  return true;
}

void world_bench_resize(int w, int h) {
  SDL_SetWindowSize(game.window, w, h);
  // The X server applies the size asynchronously; the drawable follows on a later swap.
  for (int i = 0; i < 50; i++) {
    SDL_PumpEvents();
    SDL_GL_SwapWindow(game.window);
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(game.window, &dw, &dh);
    if (dw == w && dh == h) break;
    SDL_Delay(10);
  }
  update_window_size();
}

void world_frame() {
  fit_render_targets();
  update_camera();
  draw_world_screen();
  post_process();
  if (game.scene_overlay) game.scene_overlay();
  pass_timers_frame_end();
  glFinish();
}

void world_frame_bench(benchmark::State& st, int w, int h, RenderQuality quality) {
  if (!world_bench_ready()) {
    st.SkipWithError("no display (run under scripts/with-xvfb.sh)");
    return;
  }
  world_bench_resize(w, h);
  if (renderer.window_width != w || renderer.window_height != h) {
    st.SkipWithError("the window did not take the size");
    return;
  }
  set_render_quality(quality);
  // Models load on first sight and the timer queries need a few frames in flight before they read back.
  pass_timers_enable(true);
  for (int i = 0; i < 2 * PASS_TIMER_FRAMES; i++) world_frame();
  pass_timers_clear();
  // Frames a second by the wall clock: the GPU work is not CPU time of this process on every driver.
  Time start = time_now();
  for (auto _ : st) world_frame();
  f64 seconds = (f64)time_since(start).ns / 1e9;
  st.counters["fps"] = seconds > 0 ? (f64)st.iterations() / seconds : 0;
  f64 means[RenderPass_Count];
  pass_timers_means(means);
  for (int p = 0; p < RenderPass_Count; p++) {
    if (means[p] > 0) st.counters[render_pass_name((RenderPass)p)] = means[p];
  }
  pass_timers_print();
  pass_timers_enable(false);
}

void BM_WorldFrame640Full(benchmark::State& st) { world_frame_bench(st, 640, 360, RenderQuality_Full); }
void BM_WorldFrame640Low(benchmark::State& st) { world_frame_bench(st, 640, 360, RenderQuality_Low); }
void BM_WorldFrame720pFull(benchmark::State& st) { world_frame_bench(st, 1280, 720, RenderQuality_Full); }
void BM_WorldFrame720pLow(benchmark::State& st) { world_frame_bench(st, 1280, 720, RenderQuality_Low); }
BENCHMARK(BM_WorldFrame640Full)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_WorldFrame640Low)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_WorldFrame720pFull)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_WorldFrame720pLow)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
