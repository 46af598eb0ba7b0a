// Model loading and animation. Loading is measured without GL (parsing, checks, skeleton and clips); the
// baselines read the same files whole, so the ratios show what the loader adds over the disk.
// Run from the repository root after a build has generated the assets.
#include <benchmark/benchmark.h>

#include <string>

#include "render/model.hpp"
#include "registry.hpp"

static std::string assets_dir() { return std::string(VALMIRE_SOURCE_DIR) + "/assets"; }

static void BM_ReadFileBaseline_Character(benchmark::State& state) {
  std::string path = assets_dir() + "/character.glb";
  for (auto _ : state) {
    Buffer b = read_file(path.c_str());
    benchmark::DoNotOptimize(b.data);
    buffer_free(&b);
  }
}
BENCHMARK(BM_ReadFileBaseline_Character);

static void BM_LoadStartupModels(benchmark::State& state) {
  std::string dir = assets_dir();
  const char* files[] = {"test.glb", "dead-tree-1.glb", "capsule.glb", "character.glb"};
  for (auto _ : state) {
    for (const char* f : files) {
      Model m = load_model_ex(dir.c_str(), f, false);
      benchmark::DoNotOptimize(m.nmeshes);
      free_model(m);
    }
    clear_texture_cache();
  }
}
BENCHMARK(BM_LoadStartupModels)->Unit(benchmark::kMicrosecond);

// One benchmark per kind, all variants of it: the report ranks them, the slowest is the one to watch.
static void BM_LoadKind(benchmark::State& state) {
  EntityType type = (EntityType)state.range(0);
  std::string dir = assets_dir();
  const EntityInfo& info = global_entity_registry.info[type];
  state.SetLabel(info.type_name);
  char files[MODEL_VARIANTS_MAX][256];
  for (int v = 1; v <= info.nvariants; v++) model_asset_path(type, v, files[v - 1], 256);
  for (auto _ : state) {
    for (int v = 0; v < info.nvariants; v++) {
      Model m = load_model_ex(dir.c_str(), files[v], false);
      benchmark::DoNotOptimize(m.nmeshes);
      free_model(m);
    }
    clear_texture_cache();
  }
}

static void register_kinds() {
  load_entity_registry();
  for (int t = 2; t < global_entity_registry.nprototypes; t++)
    if (global_entity_registry.info[t].nvariants > 0)
      benchmark::RegisterBenchmark("BM_LoadKind", BM_LoadKind)->Arg(t)->Unit(benchmark::kMicrosecond);
}
static int kinds_registered = (register_kinds(), 0);

static void BM_AnimateCharacter(benchmark::State& state) {
  std::string dir = assets_dir();
  Model m = load_model_ex(dir.c_str(), "character.glb", false);
  m4 palette[JOINTS_MAX];
  AnimationInfo info = {};
  info.type = (AnimationType)state.range(0);
  info.opacity = 1;
  for (auto _ : state) {
    animation_sample(m, info, true, 1.0f / 60, palette);
    benchmark::DoNotOptimize(palette[0]);
  }
  free_model(m);
}
BENCHMARK(BM_AnimateCharacter)->Arg(AnimationType_Idle)->Arg(AnimationType_Run);

// The floor for a palette: as many matrix products as sampling does, without any key lookup.
static void BM_PaletteProductsBaseline(benchmark::State& state) {
  m4 local[JOINTS_MAX], palette[JOINTS_MAX], inverse[JOINTS_MAX];
  for (int i = 0; i < 9; i++) local[i] = m4_translate((f32)i, 0, 1), inverse[i] = m4_translate(0, (f32)-i, 0);
  for (auto _ : state) {
    palette[0] = local[0];
    for (int i = 1; i < 9; i++) palette[i] = palette[i - 1] * local[i];
    for (int i = 0; i < 9; i++) palette[i] = palette[i] * inverse[i];
    benchmark::DoNotOptimize(palette[8]);
  }
}
BENCHMARK(BM_PaletteProductsBaseline);
