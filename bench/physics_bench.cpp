// One simulation step and one vision-radius query on a 128 x 128 location, with their baselines: the
// movers' integration alone, and a linear scan of the storage instead of the grid.
#include <benchmark/benchmark.h>

#include <random>

#include "app/client.hpp"
#include "physics.hpp"
#include "registry.hpp"

static Location bench_location;

// Fills the storage with n stags spread over the location, each walking to a random point.
static void bench_world(int n) {
  static bool registry_loaded = false;
  if (!registry_loaded) {
    load_entity_registry();
    registry_loaded = true;
  }
  static u8 tiles[128 * 128];
  location_init(bench_location, {LocationType_World, 0}, "bench", 5, 128, 128, {0, 0}, tiles, 128 * 128);
  game.location = &bench_location;
  entity_storage_clear();
  std::mt19937 rng(7);
  std::uniform_real_distribution<f32> coord(0, 128 * tile_size);
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    e.id = (Id)(i + 1);
    e.pos = InvalidPos;
    copy_prototype(&e, *get_entity_prototype(Entity_stag));
    e.mover.speed = 100;
    set_pos(e, {coord(rng), coord(rng)});
    mover_set_dst(e.mover, {coord(rng), coord(rng)});
  }
}

static void BM_PhysicsStep(benchmark::State& state) {
  bench_world((int)state.range(0));
  for (auto _ : state) {
    update_physics(SERVER_DT);
    benchmark::DoNotOptimize(physics.ncontacts);
  }
  state.counters["contacts"] = physics.ncontacts;
}
BENCHMARK(BM_PhysicsStep)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Baseline: the same step with the contact search walking locate_entities around every mover, record by
// record, as the pass did before its compact cell runs. The two find the same contacts.
static void BM_PhysicsStepRadiusWalk(benchmark::State& state) {
  bench_world((int)state.range(0));
  for (auto _ : state) {
    update_movers(SERVER_DT);
    physics.ncontacts = physics.nskipped = 0;
    int n = (int)entity_storage.nentities;
    for (int i = 0; i < n; i++) {
      Entity& first = entity_storage.entities[i];
      if (first.id == 0 || !has_component(first, Component_Mover)) continue;
      for (EntityIter it = locate_entities(in_radius(&first, physics_collision_radius, {0, 0})); it.entity; next(it)) {
        Entity& other = *it.entity;
        if (&other == &first || is_item(other) || (other.flags & EntityFlag_NoCollisions)) continue;
        game_detect_collision_between(first, other);
      }
    }
    for (u32 i = 0; i < physics.ncontacts; i++) game_resolve_collision(physics.contacts[i], SERVER_DT);
    for (int i = 0; i < n; i++) {
      Entity& e = entity_storage.entities[i];
      if (e.id != 0 && find_mover(e) && !e.mover.is_sliding) e.mover.slide = {};
    }
    benchmark::DoNotOptimize(physics.ncontacts);
  }
  state.counters["contacts"] = physics.ncontacts;
}
BENCHMARK(BM_PhysicsStepRadiusWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

static void BM_MoversOnly(benchmark::State& state) {
  bench_world((int)state.range(0));
  for (auto _ : state) {
    update_movers(SERVER_DT);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MoversOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The collision pass of the step alone: the movers move untimed before each pass, as in a real step.
static void BM_CollisionsOnly(benchmark::State& state) {
  bench_world((int)state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    update_movers(SERVER_DT);
    state.ResumeTiming();
    update_collisions(SERVER_DT);
    benchmark::DoNotOptimize(physics.ncontacts);
  }
}
BENCHMARK(BM_CollisionsOnly)->Arg(10000)->Unit(benchmark::kMicrosecond);

static void BM_QueryVisionRadius(benchmark::State& state) {
  bench_world((int)state.range(0));
  Entity& observer = entity_storage.entities[0];
  set_pos(observer, {2048, 2048});
  for (auto _ : state) {
    int n = 0;
    for (EntityIter it = locate_entities(in_radius(&observer, vision_radius, {0, 0})); it.entity; next(it)) n++;
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_QueryVisionRadius)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

static void BM_ScanVisionRadius(benchmark::State& state) {
  bench_world((int)state.range(0));
  Entity& observer = entity_storage.entities[0];
  set_pos(observer, {2048, 2048});
  for (auto _ : state) {
    int n = 0;
    for (int i = 0; i < entity_storage.nentities; i++) {
      n += v2_distance_le(entity_storage.entities[i].pos, observer.pos, vision_radius);
    }
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_ScanVisionRadius)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
