// Rebuilding the terrain mesh of a 128 x 128 location, as every frame does, against plainly writing
// the same 1.5 MiB of vertices (the floor any rebuild pays).
#include <benchmark/benchmark.h>

#include <vector>

#include "render/terrain.hpp"

static std::vector<TileType> bench_tiles(int w, int h) {
  std::vector<TileType> tiles((size_t)(w * h));
  // Patches of the natural kinds with a few floors, so most corners are edges rather than full tiles.
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      u32 v = (u32)((x / 5) * 73856093u ^ (y / 4) * 19349663u) % 9u;
      tiles[(size_t)(x + w * y)] = (TileType)(1 + v);
    }
  return tiles;
}

static void BM_TerrainMeshRebuild(benchmark::State& state) {
  int side = (int)state.range(0);
  std::vector<TileType> tiles = bench_tiles(side, side);
  Location location = {};
  location.width = location.height = side;
  location.offset = {-64, 320};
  location.tiles = tiles.data();
  std::vector<TileVertex> vertices((size_t)(side * side * 4));
  for (auto _ : state) {
    terrain_build_mesh(location, {2048, 960}, vertices.data());
    benchmark::DoNotOptimize(vertices.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_TerrainMeshRebuild)->Arg(128)->Unit(benchmark::kMicrosecond);

static void BM_TerrainVertexFillBaseline(benchmark::State& state) {
  int side = (int)state.range(0);
  std::vector<TileVertex> vertices((size_t)(side * side * 4));
  f32 k = 0;
  for (auto _ : state) {
    k += 1;
    for (TileVertex& v : vertices) v = TileVertex{{k, k}, {k, k}, {k, k}};
    benchmark::DoNotOptimize(vertices.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_TerrainVertexFillBaseline)->Arg(128)->Unit(benchmark::kMicrosecond);
