// Hover picking: the ray through the mouse against 5000 entities in view (boxes and capsules), against a
// baseline loop that only reads each entity's id, flags and position.
#include <benchmark/benchmark.h>

#include "app/client.hpp"
#include "registry.hpp"
#include "render/renderer.hpp"
#include "world/selection.hpp"

namespace {

constexpr int N = 5000;

void fill_view() {
  entity_storage_clear();
  for (int i = 0; i < N; i++) {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    e.id = (Id)(i + 1);
    e.pos = {(f32)(i % 100) * 20, (f32)(i / 100) * 20};
    e.radius = 6;
    if (i % 3 == 0) e.dim = {16, 16, 24};  // every third a building-like box
  }
  game.player = nullptr;
  game.modifiers.all = 0;
  ui.hovered = false;
  renderer.camera.pos = {1000, 300, 900};
  game.mouse_world = {1000, 500};
}

void BM_HoverBaseline(benchmark::State& state) {
  fill_view();
  for (auto _ : state) {
    f32 sum = 0;
    for (int i = 0; i < entity_storage.nentities; i++) {
      const Entity& e = entity_storage.entities[i];
      if (e.id != 0 && !(e.flags & EntityFlag_NoHover)) sum += e.pos.x + e.pos.y;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_HoverBaseline);

void BM_UpdateSelections(benchmark::State& state) {
  fill_view();
  for (auto _ : state) {
    update_selections();
    benchmark::DoNotOptimize(game.hovered_id);
  }
  state.SetItemsProcessed(state.iterations() * N);
}
BENCHMARK(BM_UpdateSelections);

}  // namespace
