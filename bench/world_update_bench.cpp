// The world frame's CPU side without GL: the gameplay step (physics, the hunger thought, presentation and
// event clean-ups), the pick ray and the HUD's build and layout, with 2 000 entities of every kind around
// the player; against a baseline loop that only reads each entity's id and position.
#include <benchmark/benchmark.h>

#include "bench_ui.hpp"

#include "app/client.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"
#include "world/hud.hpp"
#include "world/selection.hpp"

namespace {

constexpr int N = 2000;
constexpr int SIDE = 128;
Location bench_location = {};

void world_scene() {
  static bool ready = false;
  if (!ready) {
    load_entity_registry();
    static u8 tiles[SIDE * SIDE];
    memset(tiles, TileType_Grass, sizeof(tiles));
    location_init(bench_location, LocationRef{LocationType_World, 0}, "bench", 0, SIDE, SIDE, {0, 0}, tiles,
                  SIDE * SIDE);
    ready = true;
  }
  game.location = &bench_location;
  location_clear_grid(bench_location);
  bench_ui_window(1280, 720);
  entity_storage_clear();
  const v2 centre = {SIDE * tile_size / 2, SIDE * tile_size / 2};
  for (int i = 0; i < N; i++) {
    EntityType type = i == 0 ? Entity_Player : (EntityType)(1 + i % (Entity_num - 1));
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    copy_prototype(&e, *get_entity_prototype(type));
    e.id = (Id)(i + 1);
    e.location = bench_location.ref;
    e.pos = InvalidPos;
    f32 angle = (f32)i * 2.39996f, r = i == 0 ? 0 : tile_size * (1.0f + 0.045f * (f32)i);
    set_pos(e, {centre.x + r * cosf(angle), centre.y + r * sinf(angle)});
  }
  game.player = &entity_storage.entities[0];
  renderer.camera.pos = {centre.x, centre.y - 300, 450};
  game.mouse_world = centre + v2{60, 40};
}

void BM_WorldCpuBaseline(benchmark::State& state) {
  world_scene();
  for (auto _ : state) {
    f32 sum = 0;
    for (int i = 0; i < entity_storage.nentities; i++) {
      const Entity& e = entity_storage.entities[i];
      if (e.id != 0) sum += e.pos.x + e.pos.y;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_WorldCpuBaseline);

void BM_WorldCpuFrame(benchmark::State& state) {
  world_scene();
  for (auto _ : state) {
    update_gameplay(1.0f / 60);
    update_selections();
    ui_begin();
    build_world_ui(*game.player);
    ui_end();
    benchmark::DoNotOptimize(game.hovered_id);
  }
  state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_WorldCpuFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
