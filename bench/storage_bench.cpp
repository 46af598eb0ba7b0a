// Lookups by id over a full entity pool. The baseline scans a packed array of the same ids, the
// least a linear search can cost; the ratio shows what striding over whole records adds.
#include <benchmark/benchmark.h>

#include <vector>

#include "registry.hpp"

namespace {

void fill_storage() {
  entity_storage_clear();
  for (int i = 0; i < ENTITIES_MAX; i++) entity_storage.entities[i].id = (Id)(i + 1);
  entity_storage.nentities = ENTITIES_MAX;
}

// Which record to look for: the first, the middle, the last, or one that is absent.
Id id_for(int where) {
  switch (where) {
    case 0: return 1;
    case 1: return ENTITIES_MAX / 2;
    case 2: return ENTITIES_MAX;
    default: return ENTITIES_MAX + 1;
  }
}

void BM_find_entity_by_id(benchmark::State& state) {
  fill_storage();
  Id id = id_for((int)state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(id);
    benchmark::DoNotOptimize(find_entity_by_id(id));
  }
}
BENCHMARK(BM_find_entity_by_id)->DenseRange(0, 3)->ArgName("first_mid_last_absent");

void BM_baseline_packed_ids(benchmark::State& state) {
  std::vector<Id> ids(ENTITIES_MAX);
  for (int i = 0; i < ENTITIES_MAX; i++) ids[i] = (Id)(i + 1);
  Id id = id_for((int)state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(id);
    const Id* found = nullptr;
    for (const Id& x : ids)
      if (x == id) {
        found = &x;
        break;
      }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_baseline_packed_ids)->DenseRange(0, 3)->ArgName("first_mid_last_absent");

}  // namespace
