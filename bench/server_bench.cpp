// The server's main costs: one tick with 8 players who each see 300 entities, what one snapshot costs to
// gather and encode and what it weighs on the wire, and a tick that takes in a flood of junk. Baselines
// compress the same body whole with zlib and with libdeflate, and as pieces with the earlier settings.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

#include "app/client.hpp"
#include "items.hpp"
#include "play.hpp"
#include "server.hpp"
#include "snapshot_body.hpp"
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
  storage_open(server.storage, ":memory:", error);
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

void BM_ServerTick(benchmark::State& state) {
  setup_crowd();
  SnapshotBodyStats before = snapshot_body_stats();
  u64 sent_before = server.stats.packets_out;
  f64 snapshot_ms = 0;
  for (auto _ : state) {
    refresh_sessions();
    server_tick();
    snapshot_ms += to_ms(server.stats.last_snapshot_cost);
  }
  SnapshotBodyStats after = snapshot_body_stats();
  f64 ticks = (f64)state.iterations();
  state.counters["snapshots_ms"] = snapshot_ms / ticks;
  state.counters["cut_short_per_tick"] = (f64)(after.cut_short - before.cut_short) / ticks;
  u32 records = 0;
  for (int p = 0; p < CROWD_PLAYERS; p++) records += server.sessions[p].snapshot_records;
  state.counters["records_per_snapshot"] = (f64)records / CROWD_PLAYERS;
  state.counters["snapshot_bytes"] = server.sessions[0].snapshot_size;
  // What one player receives a second at 60 ticks a second.
  f64 snapshots_per_player = (f64)(server.stats.packets_out - sent_before) / ticks / CROWD_PLAYERS * SERVER_FPS;
  state.counters["snapshots_per_second"] = snapshots_per_player;
  state.counters["kb_per_second_per_player"] = snapshots_per_player * server.sessions[0].snapshot_size / 1000.0;
}
BENCHMARK(BM_ServerTick)->Unit(benchmark::kMillisecond);

void BM_SnapshotBuild(benchmark::State& state) {
  setup_crowd();
  for (auto _ : state) benchmark::DoNotOptimize(server_build_snapshot(server.sessions[0], packet));
  state.counters["snapshot_bytes"] = server.sessions[0].snapshot_size;
  state.counters["kb_per_second_per_player"] = SNAPSHOTS_PER_SECOND * server.sessions[0].snapshot_size / 1000.0;
}
BENCHMARK(BM_SnapshotBuild)->Unit(benchmark::kMicrosecond);

// Baseline of the encoder: the same body deflated whole by zlib (runs only, level 1), as the server did
// before it kept each record's tokens; flushed every 128 records so that a cut needs one pass.
int baseline_zlib_body_encode(Entity* const* entities, int nentities, u8* out, int cap, int* taken) {
  static z_stream z;
  static bool ready = deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE) == Z_OK;
  if (!ready) return -1;
  auto feed = [](z_stream& s, const void* data, int size, int flush) {
    s.next_in = (Bytef*)data;
    s.avail_in = (uInt)size;
    for (;;) {
      int rc = deflate(&s, flush);
      if (flush == Z_FINISH && rc == Z_STREAM_END) return true;
      if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
      if (s.avail_in == 0 && (flush == Z_NO_FLUSH || (flush == Z_SYNC_FLUSH && s.avail_out > 0))) return true;
      if (s.avail_out == 0) return false;
    }
  };
  const u8 marker = STATE_BODY_MARKER;
  int reserve = (int)deflateBound(&z, 1) + 4;
  out[0] = 0x78;
  out[1] = 0x01;
  deflateReset(&z);
  z.next_out = out + 2;
  z.avail_out = (uInt)(cap - 6);
  u32 adler = 1, good_adler = 1;
  int good_records = 0, good_size = 2, n = 0;
  for (; n < nentities; n++) {
    if (!feed(z, entities[n], Entity_Shared_Size, Z_NO_FLUSH)) break;
    adler = libdeflate_adler32(adler, entities[n], Entity_Shared_Size);
    if ((n + 1) % 128 == 0 && n + 1 < nentities) {
      if (!feed(z, nullptr, 0, Z_SYNC_FLUSH) || 2 + (int)z.total_out > cap - reserve) break;
      good_records = n + 1;
      good_size = 2 + (int)z.total_out;
      good_adler = adler;
    }
  }
  if (n == nentities && feed(z, &marker, 1, Z_FINISH)) {
    *taken = nentities;
    good_size = 2 + (int)z.total_out;
  } else {
    deflateReset(&z);
    z.next_out = out + good_size;
    z.avail_out = (uInt)(cap - good_size - 4);
    if (!feed(z, &marker, 1, Z_FINISH)) return -1;
    *taken = good_records;
    good_size += (int)z.total_out;
    adler = good_adler;
  }
  adler = libdeflate_adler32(adler, &marker, 1);
  for (int shift = 24; shift >= 0; shift -= 8) out[good_size++] = (u8)(adler >> shift);
  return good_size;
}

// One body of the crowd, encoded by `encode` every iteration; the world moves on between iterations as
// in a tick (the stags walk), so records change as often as they do in play.
template <typename Encode>
void snapshot_encode_bench(benchmark::State& state, Encode encode) {
  setup_crowd();
  static Entity* records[SNAPSHOT_RECORDS_MAX];
  static u8 body[STATE_BODY_MAX];
  Entity* player = world_find(server.sessions[0].player_id);
  int n = server_collect_snapshot(*player, records, SNAPSHOT_RECORDS_MAX);
  Time now = server_clock();
  int size = 0, taken = 0;
  for (auto _ : state) {
    state.PauseTiming();
    now.ns += 16666667ull;
    world_update(SERVER_DT, now);
    state.ResumeTiming();
    size = encode(records, n, body, STATE_BODY_MAX, &taken);
    benchmark::DoNotOptimize(size);
  }
  state.counters["body_bytes"] = size;
  state.counters["records"] = taken;
}

void BM_SnapshotEncode(benchmark::State& state) {
  snapshot_encode_bench(state, [](Entity* const* e, int n, u8* out, int cap, int* taken) {
    return snapshot_body_encode(e, n, nullptr, out, cap, taken);
  });
}
BENCHMARK(BM_SnapshotEncode)->Unit(benchmark::kMicrosecond);

void BM_BaselineSnapshotEncodeZlib(benchmark::State& state) { snapshot_encode_bench(state, baseline_zlib_body_encode); }
BENCHMARK(BM_BaselineSnapshotEncodeZlib)->Unit(benchmark::kMicrosecond);

// Baseline of the bandwidth: the same records deflated one by one as cacheable pieces (level 1, run
// lengths only, a one-level hash), one snapshot every tick, as the server once sent them.
void BM_BaselinePiecesEveryTick(benchmark::State& state) {
  setup_crowd();
  static Entity* records[SNAPSHOT_RECORDS_MAX];
  Entity* player = world_find(server.sessions[0].player_id);
  int n = server_collect_snapshot(*player, records, SNAPSHOT_RECORDS_MAX);
  z_stream z = {};
  deflateInit2(&z, 1, Z_DEFLATED, -15, 1, Z_RLE);
  static u8 out[4096];
  int bytes = 0;
  for (auto _ : state) {
    bytes = 2 + 4 + 8;  // zlib header, trailer, the closing marker
    for (int i = 0; i < n && bytes < STATE_BODY_MAX; i++) {
      deflateReset(&z);
      z.next_in = (Bytef*)records[i];
      z.avail_in = Entity_Shared_Size;
      z.next_out = out;
      z.avail_out = sizeof(out);
      deflate(&z, Z_FULL_FLUSH);
      bytes += (int)(sizeof(out) - z.avail_out);
    }
    benchmark::DoNotOptimize(bytes);
  }
  deflateEnd(&z);
  int datagram = min(bytes, STATE_BODY_MAX) + STATE_BODY_OFFSET;
  state.counters["snapshot_bytes"] = datagram;
  state.counters["kb_per_second_per_player"] = SERVER_FPS * datagram / 1000.0;
}
BENCHMARK(BM_BaselinePiecesEveryTick)->Unit(benchmark::kMicrosecond);

// A tick that first takes in `range(0)` junk datagrams (an eighth of them empty) and then one honest,
// well-formed login; 0 is the idle tick to compare with. Counts the ticks until the login is answered.
void BM_ServerTickJunk(benchmark::State& state) {
  setup_crowd();
  int junk = (int)state.range(0);
  int sender = socket(AF_INET, SOCK_DGRAM, 0), honest = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(4299);
  inet_pton(AF_INET, "127.0.5.200", &to.sin_addr);
  timeval wait = {0, 2000};
  setsockopt(honest, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
  alignas(Request) u8 raw[sizeof(Request)] = {};
  Request& login = *(Request*)raw;
  login.type = RequestType_Login;
  login.auth.client_version = CLIENT_VERSION;
  cstr_copy(login.auth.login, "honest", LOGIN_LEN);
  cstr_copy(login.auth.password, "password1", PASSWORD_LEN);
  u8 buffer[PACKET_SIZE_MAX];
  u64 read_before = server.stats.datagrams_in;
  f64 answer_ticks = 0;
  u32 seed = 7;
  for (auto _ : state) {
    state.PauseTiming();
    refresh_sessions();
    for (int i = 0; i < junk; i++) {
      seed = seed * 1664525u + 1013904223u;
      int size = i % 8 == 0 ? 0 : (int)(seed >> 24) % 160;
      sendto(sender, buffer, (size_t)size, 0, (sockaddr*)&to, sizeof(to));
    }
    login.seq++;
    sendto(honest, raw, sizeof(raw), 0, (sockaddr*)&to, sizeof(to));
    state.ResumeTiming();
    server_tick();
    state.PauseTiming();
    int ticks = 1;
    while (recv(honest, buffer, sizeof(buffer), 0) <= 0 && ticks < 30) {
      server_tick();
      ticks++;
    }
    answer_ticks += ticks;
    // The honest login was refused (no hashing here): its session is gone again.
    state.ResumeTiming();
  }
  close(sender);
  close(honest);
  f64 n = (f64)state.iterations();
  state.counters["answer_after_ticks"] = answer_ticks / n;
  state.counters["datagrams_read_per_tick"] = (f64)(server.stats.datagrams_in - read_before) / n;
}
BENCHMARK(BM_ServerTickJunk)->Arg(0)->Arg(10000)->ArgName("junk")->Unit(benchmark::kMillisecond)->Iterations(40);

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
  for (auto _ : state)
    benchmark::DoNotOptimize(libdeflate_zlib_compress(c, body.data(), body.size(), out, sizeof(out)));
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

// A full world: as many entities as the pool holds on a 256x256 world, a tenth of them creatures, and 8
// players each gathering from a bush by the spawn of its own (range(0) 1) or standing idle (0).
namespace {
constexpr int BUSY_PLAYERS = 8;

void setup_busy(bool acting) {
  static int done = -1;
  if (done == (int)acting) return;
  done = (int)acting;
  load_entity_registry();
  game.location = &world.location;
  static u8 tiles[256 * 256];
  memset(tiles, TileType_Grass, sizeof(tiles));
  world_reset(256, 256, tiles);
  world.spawn = {4096, 4096};
  server.options.session_timeout_ms = 3600000;
  server.clock_base = time_now();
  server.monotonic_base = time_now();
  server.last_autosave = time_now();
  if (server.socket < 0 || !server.storage.db) {
    Text error;
    if (server.socket < 0) server.socket = udp_open("127.0.5.201", 4298, error);
    if (!server.storage.db) storage_open(server.storage, ":memory:", error);
  }
  world.rng = 3;
  for (int p = 0; p < BUSY_PLAYERS; p++) {
    v2 centre = {700.0f + 900.0f * (f32)(p % 4) * 2, 1500.0f + 3000.0f * (f32)(p / 4)};
    Entity* player = world_enter_character(tprintf("busy%d", p).cstr(), false, nullptr, 0);
    set_pos(*player, centre);
    Entity* bush = world_spawn(Entity_berry_bush, centre + v2{30, 0});
    worldgen_init_entity(*bush, server_clock());
    Session& s = server.sessions[p];
    s = Session();
    s.active = true;
    s.address = {0x7F0005C9, (u16)(5100 + p)};  // nobody listens there
    s.last_recv = time_now();
    s.player_id = player->id;
    s.streaming = true;
  }
  const EntityType kinds[] = {Entity_pine_tree,  Entity_rock,  Entity_berry_bush, Entity_wheat_crop,
                              Entity_iron_vein,  Entity_grass, Entity_pine_tree,  Entity_rock,
                              Entity_apple_tree, Entity_stag};
  for (int i = 0; world_entity_count() < ENTITIES_MAX - 64 * BUSY_PLAYERS; i++) {
    v2 pos = {world_random_f32(40, 8150), world_random_f32(40, 8150)};
    Entity* e = world_spawn(kinds[i % 10], pos);
    if (!e) break;
    worldgen_init_entity(*e, server_clock());
  }
}

// Keeps every player gathering: a bush emptied is refilled and the work started again.
void keep_busy() {
  for (int p = 0; p < BUSY_PLAYERS; p++) {
    Session& s = server.sessions[p];
    s.last_recv = time_now();
    Entity* player = world_find(s.player_id);
    if (!player || player->actor.action.type != ActionType_None) continue;
    Entity* bag = find_bag(*player);
    for (int i = 0; bag && i < container_nslots(bag->container); i++)
      if (Entity* item = world_find(bag->container.slots[i])) world_remove(*item);
    for (EntityIter it = locate_entities(in_radius(player, 64, player->pos)); it.entity; next(it)) {
      if (it.entity->type != Entity_berry_bush) continue;
      it.entity->bush.berries = 10;
      play_start_action(*player, *it.entity, ActionType_CollectBerries);
      break;
    }
  }
}

void BM_ServerTickFullWorld(benchmark::State& state) {
  bool acting = state.range(0) != 0;
  setup_busy(acting);
  f64 update_ms = 0, snapshot_ms = 0;
  int busy = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (acting)
      keep_busy();
    else
      for (int p = 0; p < BUSY_PLAYERS; p++) server.sessions[p].last_recv = time_now();
    state.ResumeTiming();
    server_tick();
    update_ms += to_ms(server.stats.last_update_cost);
    snapshot_ms += to_ms(server.stats.last_snapshot_cost);
    for (int p = 0; p < BUSY_PLAYERS; p++)
      if (Entity* player = world_find(server.sessions[p].player_id))
        busy += player->actor.action.type != ActionType_None;
  }
  f64 ticks = (f64)state.iterations();
  state.counters["entities"] = world_entity_count();
  state.counters["update_ms"] = update_ms / ticks;
  state.counters["snapshots_ms"] = snapshot_ms / ticks;
  state.counters["players_acting"] = busy / ticks;
}
BENCHMARK(BM_ServerTickFullWorld)->Arg(0)->Arg(1)->ArgName("acting")->Unit(benchmark::kMillisecond);
}  // namespace
