// The server's main costs: one tick with 8 players who each see 300 entities, and what one snapshot
// costs to gather and encode. Baselines compress the same body whole with zlib and with libdeflate.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <vector>

#include "app/client.hpp"
#include "server.hpp"
#include "snapshot_cache.hpp"
#include "state_body.hpp"

namespace {

constexpr int CROWD_PLAYERS = 8;
constexpr int CROWD_SEEN = 300;

alignas(Packet) u8 packet_storage[sizeof(Packet)];
Packet& packet = *(Packet*)packet_storage;

void setup_crowd() {
  static bool done = false;
  if (done) return;
  done = true;
  load_entity_registry();
  game.location = &world.location;
  static u8 tiles[128 * 128];
  memset(tiles, TileType_Grass, sizeof(tiles));
  world_reset(128, 128, tiles);
  world.spawn = {2048, 2048};
  server.options.session_timeout_ms = 3600000;
  server.clock_base = time_now();
  server.monotonic_base = time_now();
  server.last_autosave = time_now();
  Text error;
  server.socket = udp_open("127.0.5.200", 4299, error);
  world.rng = 1;
  for (int p = 0; p < CROWD_PLAYERS; p++) {
    v2 centre = {600.0f + 950.0f * (f32)(p % 4), 1000.0f + 1800.0f * (f32)(p / 4)};
    Entity* player = world_enter_character(tprintf("player%d", p).cstr(), false, nullptr, 0);
    set_pos(*player, centre);
    // Everyone else in sight: a third walking creatures, the rest trees and rocks.
    for (int i = 1; i < CROWD_SEEN; i++) {
      f32 angle = world_random_f32(0, tau), r = world_random_f32(40, 460);
      EntityType type = i % 3 == 0 ? Entity_stag : (i % 3 == 1 ? Entity_pine_tree : Entity_rock);
      Entity* e = world_spawn(type, centre + v2{cosf(angle) * r, sinf(angle) * r});
      worldgen_init_entity(*e, server_clock());
    }
    Session& s = server.sessions[p];
    s = Session();
    s.active = true;
    s.address = {0x7F0005C9, (u16)(5000 + p)};  // nobody listens there: the datagrams leave and are lost
    s.last_recv = time_now();
    s.player_id = player->id;
    s.streaming = true;
  }
}

void refresh_sessions() {
  for (int p = 0; p < CROWD_PLAYERS; p++) server.sessions[p].last_recv = time_now();
}

// Arg 0: the shared encoder at zlib level 1 and 6 (one deflate of each whole body); arg 1: cached pieces.
void use_encoder(int encoder, int level) {
  server.snapshot_pieces = encoder == 1;
  server.compression_level = level;
}

void BM_ServerTick(benchmark::State& state) {
  setup_crowd();
  use_encoder((int)state.range(0), (int)state.range(1));
  SnapshotCacheStats before = snapshot_cache_stats();
  f64 snapshot_ms = 0;
  for (auto _ : state) {
    refresh_sessions();
    server_tick();
    snapshot_ms += to_ms(server.stats.last_snapshot_cost);
  }
  SnapshotCacheStats after = snapshot_cache_stats();
  f64 ticks = (f64)state.iterations();
  state.counters["snapshots_ms"] = snapshot_ms / ticks;
  state.counters["pieces_made_per_tick"] = (f64)(after.pieces_made - before.pieces_made) / ticks;
  u32 records = 0;
  for (int p = 0; p < CROWD_PLAYERS; p++) records += server.sessions[p].snapshot_records;
  state.counters["records_per_snapshot"] = (f64)records / CROWD_PLAYERS;
  state.counters["snapshot_bytes"] = server.sessions[0].snapshot_size;
}
BENCHMARK(BM_ServerTick)->Args({0, 1})->Args({0, 6})->Args({1, 1})->ArgNames({"pieces", "level"})->Unit(benchmark::kMillisecond);

void BM_SnapshotBuild(benchmark::State& state) {
  setup_crowd();
  use_encoder((int)state.range(0), (int)state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(server_build_snapshot(server.sessions[0], packet));
  state.counters["snapshot_bytes"] = server.sessions[0].snapshot_size;
}
BENCHMARK(BM_SnapshotBuild)->Args({0, 1})->Args({0, 6})->Args({1, 1})->ArgNames({"pieces", "level"})->Unit(benchmark::kMicrosecond);

void BM_SnapshotCollect(benchmark::State& state) {
  setup_crowd();
  static Entity* records[SNAPSHOT_RECORDS_MAX];
  Entity* player = world_find(server.sessions[0].player_id);
  for (auto _ : state) benchmark::DoNotOptimize(server_collect_snapshot(*player, records, SNAPSHOT_RECORDS_MAX));
}
BENCHMARK(BM_SnapshotCollect)->Unit(benchmark::kMicrosecond);

// The same body, laid out as it is inflated: the records back to back and the marker.
std::vector<u8> crowd_body() {
  setup_crowd();
  static Entity* records[SNAPSHOT_RECORDS_MAX];
  Entity* player = world_find(server.sessions[0].player_id);
  int n = server_collect_snapshot(*player, records, SNAPSHOT_RECORDS_MAX);
  std::vector<u8> body((size_t)n * Entity_Shared_Size + 1);
  for (int i = 0; i < n; i++) memcpy(body.data() + (size_t)i * Entity_Shared_Size, records[i], Entity_Shared_Size);
  body.back() = STATE_BODY_MARKER;
  return body;
}

void BM_BaselineZlibWhole(benchmark::State& state) {
  std::vector<u8> body = crowd_body();
  static u8 out[1 << 20];
  for (auto _ : state) {
    uLongf size = sizeof(out);
    compress2(out, &size, body.data(), (uLong)body.size(), (int)state.range(0));
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(BM_BaselineZlibWhole)->Arg(1)->Arg(6)->ArgName("level")->Unit(benchmark::kMicrosecond);

void BM_BaselineLibdeflateWhole(benchmark::State& state) {
  std::vector<u8> body = crowd_body();
  static u8 out[1 << 20];
  libdeflate_compressor* c = libdeflate_alloc_compressor((int)state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(libdeflate_zlib_compress(c, body.data(), body.size(), out, sizeof(out)));
  libdeflate_free_compressor(c);
}
BENCHMARK(BM_BaselineLibdeflateWhole)->Arg(1)->Arg(6)->ArgName("level")->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {
void BM_WorldUpdate(benchmark::State& state) {
  setup_crowd();
  Time now = server_clock();
  for (auto _ : state) {
    now.ns += 16666667ull;
    world_update(SERVER_DT, now);
  }
}
BENCHMARK(BM_WorldUpdate)->Unit(benchmark::kMillisecond);
}  // namespace
