// Taking in one snapshot of typical entities, against two baselines on the same body: zlib inflating it
// whole, and libdeflate decompressing it whole.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <vector>

#include "app/client.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "state_body.hpp"

namespace {

// A mix like the server's view around a player: ground objects, items, creatures, a few players.
std::vector<Entity> typical_entities(int n) {
  static bool loaded = false;
  if (!loaded) {
    load_entity_registry();
    loaded = true;
  }
  const EntityType kinds[] = {Entity_pine_tree,    Entity_apple_tree, Entity_bush,        Entity_berry_bush,
                              Entity_grass,        Entity_rock,       Entity_narrow_rock, Entity_stone,
                              Entity_branch,       Entity_stag,       Entity_frog,        Entity_mushroom,
                              Entity_flower_group, Entity_iron_vein,  Entity_birb};
  std::vector<Entity> es((size_t)n);
  u32 seed = 12345;
  for (int i = 0; i < n; i++) {
    seed = seed * 1103515245u + 12345u;
    Entity& e = es[(size_t)i];
    e = Entity{};
    EntityType kind = i < 4 ? Entity_Player : kinds[(seed >> 8) % (sizeof(kinds) / sizeof(kinds[0]))];
    if (Entity* proto = get_entity_prototype(kind)) copy_prototype(&e, *proto);
    e.id = (Id)(1000 + i);
    e.pos = {(f32)((seed >> 4) % 4000) + 0.5f, (f32)((seed >> 14) % 4000) + 0.25f};
    if (kind == Entity_Player) {
      enable_component(e, Component_Person);
      snprintf(e.person.name, PLAYER_NAME_LEN, "player%d", i);
    }
  }
  return es;
}

struct Body {
  Packet packet;
  int n = 0;
  int size = 0;  // datagram size
  int body_size() const { return size - STATE_BODY_OFFSET; }
  const u8* body() const { return packet.data + sizeof(PacketStateHeader); }
  size_t raw_size() const { return (size_t)n * Entity_Shared_Size + 1; }
};

Body& body_of(int n) {
  static Body bodies[2];
  Body& b = bodies[n > 200];
  if (b.n != n) {
    std::vector<Entity> es = typical_entities(n);
    b.n = n;
    b.size = state_packet_build(b.packet, es.data(), n, {12, 0}, nullptr, 6);
    if (!b.size) fprintf(stderr, "bench: %d entities do not fit one datagram\n", n);
  }
  return b;
}

void BM_ZlibInflateWhole(benchmark::State& state) {
  Body& b = body_of((int)state.range(0));
  std::vector<u8> out(b.raw_size());
  for (auto _ : state) {
    uLongf len = out.size();
    int rc = uncompress(out.data(), &len, b.body(), (uLong)b.body_size());
    benchmark::DoNotOptimize(rc);
  }
  state.counters["compressed"] = b.body_size();
}

void BM_LibdeflateWhole(benchmark::State& state) {
  Body& b = body_of((int)state.range(0));
  std::vector<u8> out(b.raw_size());
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    size_t len = 0;
    libdeflate_result rc = libdeflate_zlib_decompress(d, b.body(), (size_t)b.body_size(), out.data(), out.size(), &len);
    benchmark::DoNotOptimize(rc);
  }
  libdeflate_free_decompressor(d);
}

// The whole intake: clearing the grid, decoding into the storage, counting, linking into the grid.
void BM_StateIntake(benchmark::State& state) {
  Body& b = body_of((int)state.range(0));
  Location& loc = net_location();
  std::vector<u8> tiles(128 * 128, TileType_Grass);
  location_init(loc, LocationRef{LocationType_World, 0}, "", 0, 128, 128, {0, 0}, tiles.data(), (s64)tiles.size());
  game.screen = Screen_World;
  game.player_name = "player2";
  for (auto _ : state) {
    NetResult r = net_parse_state(b.packet, b.size, loc);
    if (r != NetResult_Ok) state.SkipWithError("snapshot refused");
    benchmark::DoNotOptimize(entity_storage.nentities);
  }
  location_free(loc);
}

// Only the decoder, without the grid.
void BM_StateBodyDecode(benchmark::State& state) {
  Body& b = body_of((int)state.range(0));
  for (auto _ : state) {
    StateBodyResult r =
        state_body_decode(b.body(), b.body_size(), b.n, entity_storage.entities, ENTITIES_MAX, "player2", nullptr);
    benchmark::DoNotOptimize(r);
  }
}

BENCHMARK(BM_ZlibInflateWhole)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibdeflateWhole)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StateBodyDecode)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StateIntake)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond);

}  // namespace
