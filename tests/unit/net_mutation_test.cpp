// Hostile datagrams: mutated and random datagrams, seeded from valid ones of every type, through the
// receive path. Nothing may crash or read out of bounds (the sanitizer build checks that), and no entity
// of a rejected snapshot may be left in the storage or the grid.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <random>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include "net_peer.hpp"
#include "state_body.hpp"

namespace {

struct Seed {
  std::vector<u8> bytes;     // a whole valid datagram
  std::vector<u8> raw_body;  // for state packets: the inflated body, to mutate before compressing
};

std::vector<u8> datagram_of(const Packet& p) { return std::vector<u8>((const u8*)&p, (const u8*)&p + p.size); }

Entity seed_entity(Id id, int kind, std::mt19937& rng) {
  Entity e = {};
  e.id = id;
  e.pos = {(f32)(rng() % 600) - 40, (f32)(rng() % 600) - 40};
  e.type = (EntityType)(rng() % Entity_num);
  switch (kind % 4) {
    case 0:
      enable_component(e, Component_Person);
      cstr_copy(e.person.name, id == 1 ? "Ann" : "Other", PLAYER_NAME_LEN);
      enable_component(e, Component_Mortal);
      e.mortal.burden = id + 1;
      break;
    case 1:
      enable_component(e, Component_Thinker);
      enable_component(e, Component_Mover);
      break;
    case 2:
      enable_component(e, Component_Item);
      e.item.container = (rng() % 2) ? id - 1 : 0;
      e.flags |= EntityFlag_Pulled;
      break;
    default:
      enable_component(e, Component_Container);
      e.container.nslots = 4;
      e.container.slots[0] = id + 2;
      break;
  }
  return e;
}

std::vector<Seed> make_seeds(std::mt19937& rng) {
  std::vector<Seed> seeds;
  Packet p;

  p = make_packet(PacketType_Error, 0, 5 * Seconds.ns, 4);
  p.error.code = ErrorCode_NoMana;
  seeds.push_back({datagram_of(p), {}});

  p = make_packet(PacketType_Lobby, 0, 0, 160);
  cstr_copy(p.lobby.players[0].name, "Ann", PLAYER_NAME_LEN);
  seeds.push_back({datagram_of(p), {}});

  p = make_packet(PacketType_World, 0);
  p.flags = PacketFlag_Paused;
  seeds.push_back({datagram_of(p), {}});

  p = make_packet(PacketType_ChatMessage, 0, 0, 176);
  cstr_copy(p.chat.text, "hello", CHAT_MESSAGE_LEN);
  cstr_copy(p.chat.sender_name, "Bob", PLAYER_NAME_LEN);
  seeds.push_back({datagram_of(p), {}});

  p = make_packet(PacketType_Location, 0, 0, LOCATION_HEADER_SIZE + 16 * 16);
  p.location.width = 16;
  p.location.height = 16;
  for (int i = 0; i < 256; i++) p.location.tiles[i] = (u8)(i % 23);
  seeds.push_back({datagram_of(p), {}});

  u8 tiles[8 * 8];
  for (int i = 0; i < 64; i++) tiles[i] = (u8)(i % 23);
  std::vector<u8> png;
  stbi_write_png_to_func(append_bytes, &png, 8, 8, 1, tiles, 8);
  p = make_packet(PacketType_LocationMap, 0, 0, (int)png.size());
  memcpy(p.data, png.data(), png.size());
  seeds.push_back({datagram_of(p), {}});

  // Snapshots: without the player, with the player, with the player as an admin and its block.
  for (int variant = 0; variant < 3; variant++) {
    std::vector<Entity> es;
    for (Id i = 1; i <= 20; i++) es.push_back(seed_entity(variant == 0 ? i + 100 : i, (int)i - 1, rng));
    if (variant == 2) es[0].flags |= EntityFlag_IsAdmin;
    AdminBlock admin;
    admin.nplayers = 3;
    int n = state_packet_build(p, es.data(), (int)es.size(), {1, 2}, variant == 2 ? &admin : nullptr);
    EXPECT_GT(n, 0);
    std::vector<u8> raw;
    for (const Entity& e : es) raw.insert(raw.end(), (const u8*)&e, (const u8*)&e + Entity_Shared_Size);
    if (variant == 2) {
      raw.insert(raw.end(), (const u8*)&admin.nplayers, (const u8*)&admin.nplayers + 4);
      raw.insert(raw.end(), (const u8*)admin.players, (const u8*)(admin.players + admin.nplayers));
    }
    raw.push_back('i');
    seeds.push_back({datagram_of(p), raw});
  }
  return seeds;
}

void mutate_bytes(std::vector<u8>& b, std::mt19937& rng, size_t from) {
  if (b.size() <= from) return;
  int edits = 1 + (int)(rng() % 8);
  for (int k = 0; k < edits; k++) {
    size_t at = from + rng() % (b.size() - from);
    switch (rng() % 4) {
      case 0: b[at] ^= (u8)(1u << (rng() % 8)); break;
      case 1: b[at] = (u8)rng(); break;
      case 2: b[at] = (rng() % 2) ? 0 : 0xFF; break;
      default: {
        // A whole 32-bit field: counts, sizes, ids and coordinates live in these.
        u32 v = (rng() % 2) ? (u32)rng() : (u32[]){0, 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x7FC00000u}[rng() % 6];
        size_t w = at & ~(size_t)3;
        if (w + 4 <= b.size() && w >= from) memcpy(b.data() + w, &v, 4);
      }
    }
  }
  if (rng() % 8 == 0) b.resize(from + rng() % (b.size() - from + 1));
}

TEST(NetMutation, HostileDatagramsNeverCrashOrLeaveRejectedEntities) {
  net_test_reset();
  load_entity_registry();
  std::mt19937 rng(20261207);
  std::vector<Seed> seeds = make_seeds(rng);
  game.player_name = "Ann";

  Location& loc = net_location();
  std::vector<u8> tiles(16 * 16, TileType_Grass);
  ASSERT_TRUE(location_init(loc, LocationRef{LocationType_World, 0}, "", 0, 16, 16, {0, 0}, tiles.data(), 256));

  // The log lines of a hundred thousand broken datagrams are not worth reading.
  struct Silence {
    int saved = -1, devnull = -1;
    Silence() {
      fflush(stdout);
      saved = dup(1);
      devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
    }
    ~Silence() {
      fflush(stdout);
      dup2(saved, 1);
      close(saved);
      close(devnull);
    }
  };
  auto silence = std::make_unique<Silence>();

  static Packet p;
  constexpr int ITERATIONS = 100000;
  int accepted_states = 0, rejected_states = 0;
  const char* broken = nullptr;
  int failed_at = -1;
  for (int it = 0; it < ITERATIONS; it++) {
    std::vector<u8> bytes;
    u32 kind = rng() % 16;
    const Seed& seed = seeds[rng() % seeds.size()];
    if (kind == 0) {
      // Pure noise, sometimes with a believable header.
      bytes.resize(rng() % 600);
      for (u8& b : bytes) b = (u8)rng();
      if (bytes.size() >= 32 && rng() % 2) {
        u32 size = (u32)bytes.size(), type = rng() % 9;
        memcpy(bytes.data() + 8, &size, 4);
        memcpy(bytes.data() + 4, &type, 4);
      }
    } else if (kind <= 5 && !seed.raw_body.empty()) {
      // A structurally valid stream around a mutated body: exercises everything after inflating.
      std::vector<u8> raw = seed.raw_body;
      mutate_bytes(raw, rng, 0);
      Packet q;
      memcpy((void*)&q, seed.bytes.data(), PACKET_HEADER_SIZE + 4);
      if (rng() % 4 == 0) q.state.nentities = (u16)(rng() % 24);
      uLongf cap = STATE_BODY_MAX;
      if (compress2(q.data + 4, &cap, raw.data(), raw.size(), 1) != Z_OK) continue;
      q.size = (u32)(STATE_BODY_OFFSET + cap);
      bytes = datagram_of(q);
    } else {
      bytes = seed.bytes;
      // Mostly past the header checks, sometimes into them.
      mutate_bytes(bytes, rng, rng() % 4 == 0 ? 0 : PACKET_HEADER_SIZE);
    }
    if (bytes.size() > sizeof(Packet)) bytes.resize(sizeof(Packet));
    if (bytes.size() >= 12 && rng() % 8 != 0) {
      u32 size = (u32)bytes.size();
      memcpy(bytes.data() + 8, &size, 4);
    }
    if (!bytes.empty()) memcpy((void*)&p, bytes.data(), bytes.size());
    net.last_ack = 0;
    net.last_seq = 1000;
    game.screen = rng() % 16 ? Screen_World : Screen_Lobby;

    // A state datagram whose header holds reaches the intake; one that breaks at the header is no
    // snapshot at all and must leave the last one as it was.
    int n = (int)bytes.size();
    // Acknowledging a request never sent breaks the header too.
    bool header_ok = n >= PACKET_HEADER_SIZE && p.size == (u32)n && p.seq_ack <= net.last_seq;
    bool is_state = header_ok && p.type == PacketType_State && n >= STATE_BODY_OFFSET + 6;
    bool other_state = !is_state && n >= 8 && p.type == PacketType_State;
    u16 nentities_before = entity_storage.nentities;
    NetResult result = net_handle_datagram(p, n, loc);
    if (other_state && (result != NetResult_None || entity_storage.nentities != nentities_before)) {
      broken = "a datagram broken at its header changed the snapshot";
    }

    if (is_state && result != NetResult_Ok) {
      if (game.screen == Screen_Lobby || !location_has_grid(&loc)) continue;
      rejected_states++;
      if (entity_storage.nentities != 0) broken = "a rejected snapshot left records";
      if (game.player) broken = "a rejected snapshot left a player";
      if (count_in_grid(loc) != 0) broken = "a rejected snapshot left entities in the grid";
    } else if (is_state) {
      accepted_states++;
      if (count_in_grid(loc) > entity_storage.nentities) broken = "more entities in the grid than records";
      if (game.player && (game.player < entity_storage.entities ||
                          game.player >= entity_storage.entities + entity_storage.nentities)) {
        broken = "player outside the records";
      }
    }
    if (broken) {
      failed_at = it;
      break;
    }
    // The location may have been replaced by a mutated one; put back a usable one now and then.
    if (!location_has_grid(&loc) || rng() % 64 == 0) {
      location_init(loc, LocationRef{LocationType_World, 0}, "", 0, 16, 16, {0, 0}, tiles.data(), 256);
      entity_storage.nentities = 0;
    }
  }

  silence.reset();
  ASSERT_TRUE(broken == nullptr) << broken << " at datagram " << failed_at;
  printf("mutation: %d snapshots accepted, %d rejected\n", accepted_states, rejected_states);
  EXPECT_GT(accepted_states, 100);
  EXPECT_GT(rejected_states, 1000);

  location_free(loc);
  world_map_free(&game.world_map);
  net_test_reset();
}

}  // namespace
