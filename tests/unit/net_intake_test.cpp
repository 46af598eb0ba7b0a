// What each packet does to the client: well-formed and broken datagrams of every type, and snapshots
// taken in through the shared encoder.
#include <gtest/gtest.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop
#include <zlib.h>

#include <string>
#include <vector>

#include "net_peer.hpp"
#include "state_body.hpp"
#include "world/chat.hpp"

namespace {

Location& fresh_location(int w = 16, int h = 16, v2 offset = {0, 0}) {
  Location& loc = net_location();
  std::vector<u8> tiles((size_t)(w * h), TileType_Grass);
  EXPECT_TRUE(location_init(loc, LocationRef{LocationType_World, 0}, "", 0, w, h, offset, tiles.data(), w * h));
  return loc;
}

Entity make_entity(Id id, v2 pos) {
  Entity e = {};
  e.id = id;
  e.pos = pos;
  e.type = Entity_rock;
  return e;
}

Entity make_player(Id id, v2 pos, const char* name, bool admin = false) {
  Entity e = make_entity(id, pos);
  e.type = Entity_Player;
  enable_component(e, Component_Person);
  cstr_copy(e.person.name, name, PLAYER_NAME_LEN);
  if (admin) e.flags |= EntityFlag_IsAdmin;
  return e;
}

Entity make_mob(Id id, v2 pos) {
  Entity e = make_entity(id, pos);
  e.type = Entity_stag;
  enable_component(e, Component_Thinker);
  enable_component(e, Component_Mover);
  e.mover.speed = 3;
  return e;
}

// A state packet whose body is `raw` compressed as one zlib stream, whatever `raw` holds.
int packet_with_body(Packet& p, u16 nentities, const std::vector<u8>& raw, int extra_trailing = 0) {
  p = make_packet(PacketType_State, 0);
  p.state.nentities = nentities;
  p.state.game_time = {5, 6};
  uLongf cap = STATE_BODY_MAX;
  EXPECT_EQ(compress2(p.data + 4, &cap, raw.data(), raw.size(), 6), Z_OK);
  for (int i = 0; i < extra_trailing; i++) p.data[4 + cap + (uLongf)i] = 0x42;
  p.size = (u32)(STATE_BODY_OFFSET + (int)cap + extra_trailing);
  return (int)p.size;
}

std::vector<u8> raw_body(const std::vector<Entity>& es, int nadmins = -1, int marker = 'i') {
  std::vector<u8> raw;
  for (const Entity& e : es) raw.insert(raw.end(), (const u8*)&e, (const u8*)&e + Entity_Shared_Size);
  if (nadmins >= 0) {
    u32 n = (u32)nadmins;
    raw.insert(raw.end(), (const u8*)&n, (const u8*)&n + 4);
    raw.resize(raw.size() + (size_t)nadmins * sizeof(AdminPlayerInfo), 0x11);
  }
  if (marker >= 0) raw.push_back((u8)marker);
  return raw;
}

// The body with `n` bytes at `at` taken out (from the end when `at` is negative), or with a byte added.
std::vector<u8> without(std::vector<u8> raw, long at, long n) {
  auto from = at < 0 ? raw.end() + at : raw.begin() + at;
  raw.erase(from, from + n);
  return raw;
}
std::vector<u8> with_extra_byte(std::vector<u8> raw) {
  raw.push_back(0);
  return raw;
}

class NetIntake : public ::testing::Test {
 protected:
  Location* loc = nullptr;
  void SetUp() override {
    net_test_reset();
    load_entity_registry();
    loc = &fresh_location();
    game.screen = Screen_World;
    game.player_name = "Ann";
  }
  void TearDown() override {
    location_free(net_location());
    world_map_free(&game.world_map);
    game.screen = Screen_PreLoading;
  }
  NetResult feed(Packet& p, int n) { return net_handle_datagram(p, n, *loc); }
  void expect_empty_world() {
    EXPECT_EQ(entity_storage.nentities, 0);
    EXPECT_EQ(game.player, nullptr);
    EXPECT_EQ(count_in_grid(*loc), 0);
  }
  // A good snapshot with the player and two others, so a rejection afterwards has something to wipe.
  void take_good_snapshot() {
    std::vector<Entity> es = {make_player(1, {40, 40}, "Ann"), make_mob(2, {100, 100}), make_entity(3, {200, 60})};
    Packet p;
    int n = state_packet_build(p, es.data(), 3, {1, 2}, nullptr);
    ASSERT_GT(n, 0);
    ASSERT_EQ(feed(p, n), NetResult_Ok);
    ASSERT_EQ(entity_storage.nentities, 3);
  }
};

TEST_F(NetIntake, BrokenHeadersAreDroppedBeforeAnythingChanges) {
  struct Case {
    const char* name;
    PacketType type;
    int payload;     // bytes after the header that the datagram holds
    int size_delta;  // size field minus the bytes read
    int n_override;  // bytes read, when not header + payload
  } cases[] = {
      {"shorter than a header", PacketType_World, 0, 0, 31},
      {"empty", PacketType_World, 0, 0, 0},
      {"size larger than read", PacketType_World, 0, 1, -1},
      {"size smaller than read", PacketType_Lobby, 160, -1, -1},
      {"oversized", PacketType_World, 0, 0, PACKET_SIZE_MAX + 1},
      {"none type", PacketType_None, 0, 0, -1},
      {"unknown type", (PacketType)8, 4, 0, -1},
      {"huge type", (PacketType)0x80000000u, 4, 0, -1},
      {"error without its code", PacketType_Error, 3, 0, -1},
      {"lobby one byte short", PacketType_Lobby, 159, 0, -1},
      {"chat one byte short", PacketType_ChatMessage, 175, 0, -1},
      {"location header short", PacketType_Location, 19, 0, -1},
      {"state without a body", PacketType_State, 4, 0, -1},
      {"map without an image", PacketType_LocationMap, 0, 0, -1},
      {"acknowledges a request never sent", PacketType_World, 0, 0, -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    net.last_ack = 5;
    net.last_seq = c.n_override == -2 ? 8 : 9;  // -2: the packet acknowledges a request never sent
    net.last_recv_time = {42};
    game.server_time = {77};
    game.paused = false;
    net.last_error.code = ErrorCode_Ok;
    Packet p = make_packet(c.type, 9, 123456, c.payload);
    int n = c.n_override >= 0 ? c.n_override : PACKET_HEADER_SIZE + c.payload;
    p.size = (u32)(n + c.size_delta);
    if (c.type == PacketType_Error) p.error.code = ErrorCode_NoMana;
    EXPECT_EQ(feed(p, n), NetResult_None);
    EXPECT_EQ(net.last_ack, 5u);
    EXPECT_EQ(net.last_recv_time.ns, 42u);
    EXPECT_EQ(game.server_time.ns, 77u);
    EXPECT_EQ(net.last_error.code, ErrorCode_Ok);
    EXPECT_EQ(net.latency_history_total, 0);
  }
}

TEST_F(NetIntake, WellFormedPacketsOfEachType) {
  // Error.
  Packet p = make_packet(PacketType_Error, 0, 1000, 4);
  p.error.code = ErrorCode_NoMana;
  EXPECT_EQ(feed(p, (int)p.size), NetResult_Err);
  EXPECT_EQ(net.last_error.code, ErrorCode_NoMana);
  EXPECT_EQ(net.last_error_time.ns, 1000u);

  // Lobby: names that fill their field come out terminated inside it.
  p = make_packet(PacketType_Lobby, 0, 0, 160);
  memset(p.lobby.players[0].name, 'x', PLAYER_NAME_LEN);
  cstr_copy(p.lobby.players[1].name, "Bob", PLAYER_NAME_LEN);
  p.lobby.players[1].last_login.ns = 99;
  EXPECT_EQ(feed(p, (int)p.size), NetResult_Lobby);
  EXPECT_EQ(strlen(game.lobby_screen.lobby.players[0].name), (size_t)PLAYER_NAME_LEN - 1);
  EXPECT_STREQ(game.lobby_screen.lobby.players[1].name, "Bob");
  EXPECT_EQ(game.lobby_screen.lobby.players[1].last_login.ns, 99u);
  EXPECT_EQ(game.lobby_screen.lobby.players[2].name[0], 0);

  // World: the pause flag sets the pause; without it the pause stays as it was.
  game.paused = true;
  p = make_packet(PacketType_World, 0);
  EXPECT_EQ(feed(p, (int)p.size), NetResult_World);
  EXPECT_TRUE(game.paused);
  game.paused = false;
  EXPECT_EQ(feed(p, (int)p.size), NetResult_World);
  EXPECT_FALSE(game.paused);
  p.flags = PacketFlag_Paused;
  EXPECT_EQ(feed(p, (int)p.size), NetResult_World);
  EXPECT_TRUE(game.paused);

  // Chat: text and sender that fill their fields are terminated before use.
  ui.chat = {};
  p = make_packet(PacketType_ChatMessage, 0, 0, 176);
  memset(p.chat.text, 'a', CHAT_MESSAGE_LEN);
  memset(p.chat.sender_name, 'b', PLAYER_NAME_LEN);
  p.chat.sender_id = 4;
  EXPECT_EQ(feed(p, (int)p.size), NetResult_Ok);
  ASSERT_EQ(ui.chat.nmessages, 1);
  EXPECT_EQ(strlen(chat_recent(0)->text), (size_t)CHAT_MESSAGE_LEN - 1);
  EXPECT_EQ(strlen(chat_recent(0)->sender_name), (size_t)PLAYER_NAME_LEN - 1);
  EXPECT_EQ(chat_recent(0)->sender_id, 4u);
}

TEST_F(NetIntake, LocationsAreTakenWholeOrNotAtAll) {
  Packet p = make_packet(PacketType_Location, 0, 0, LOCATION_HEADER_SIZE + 6);
  p.location.type = LocationType_Dungeon;
  p.location.index = 3;
  p.location.width = 3;
  p.location.height = 2;
  p.location.offset = {320, 64};
  for (int i = 0; i < 6; i++) p.location.tiles[i] = (u8)(i + 1);
  EXPECT_EQ(feed(p, (int)p.size), NetResult_Location);
  EXPECT_TRUE(loc->type == LocationType_Dungeon && loc->index == 3 && loc->width == 3 && loc->height == 2);
  EXPECT_TRUE(v2_equal(loc->size, {96, 64}) && v2_equal(loc->offset, {320, 64}));
  for (int i = 0; i < 6; i++) EXPECT_EQ(loc->tiles[i], (TileType)(i + 1));
  for (int i = 0; i < 6; i++) EXPECT_EQ(loc->grid[i], nullptr);

  // A second location replaces the first (the sanitizer build sees the first one's memory released).
  p.location.width = 2;
  p.location.height = 3;
  EXPECT_EQ(feed(p, (int)p.size), NetResult_Location);
  EXPECT_EQ(loc->width, 2);

  struct {
    const char* name;
    s32 width, height;
  } broken[] = {{"count mismatch", 4, 2},
                {"negative width", -2, -3},
                {"zero height", 6, 0},
                {"product overflows", 65536, 65536},
                {"one short", 5, 1}};
  for (auto& b : broken) {
    SCOPED_TRACE(b.name);
    p.location.width = b.width;
    p.location.height = b.height;
    EXPECT_EQ(feed(p, (int)p.size), NetResult_None);
    // The last good location stays.
    EXPECT_TRUE(loc->width == 2 && loc->height == 3 && loc->tiles);
  }
}

// A PNG of w x h pixels of `channels` bytes each.
std::vector<u8> png_of(int w, int h, int channels, const u8* pixels) {
  std::vector<u8> out;
  EXPECT_TRUE(stbi_write_png_to_func(append_bytes, &out, w, h, channels, pixels, 0));
  return out;
}

TEST_F(NetIntake, WorldMapMustDecodeToOneChannel) {
  // Feeds the image as the map packet's payload.
  auto feed_map = [&](const std::vector<u8>& image) {
    Packet p = make_packet(PacketType_LocationMap, 0, 0, (int)image.size());
    memcpy(p.data, image.data(), image.size());
    return feed(p, (int)p.size);
  };
  const u8 gray[2] = {TileType_Soil, TileType_Grass};
  std::vector<u8> png = png_of(2, 1, 1, gray);
  EXPECT_EQ(feed_map(png), NetResult_Ok);
  ASSERT_TRUE(game.world_map.width == 2 && game.world_map.height == 1);
  EXPECT_TRUE(game.world_map.tiles[0] == TileType_Soil && game.world_map.tiles[1] == TileType_Grass);

  const u8 rgb[6] = {1, 2, 3, 4, 5, 6}, grey_alpha[4] = {TileType_Soil, 255, TileType_Grass, 255};
  std::vector<u8> garbage(300, 0x5A);
  std::vector<u8> truncated(png.begin(), png.begin() + (long)png.size() / 2);
  // One channel, but not PNG: the decoder's other formats are not for the network.
  std::vector<u8> tga;
  ASSERT_TRUE(stbi_write_tga_to_func(append_bytes, &tga, 2, 1, 1, gray));
  // Larger than a map may be on a side.
  std::vector<u8> long_row((size_t)WORLD_MAP_SIDE_MAX + 1, TileType_Grass);
  std::vector<u8> wide = png_of(WORLD_MAP_SIDE_MAX + 1, 1, 1, long_row.data());
  ASSERT_LT(wide.size(), (size_t)PACKET_PAYLOAD_MAX);
  // A chunk that states more bytes than the datagram holds, with the IEND after it.
  std::vector<u8> forged(png);
  size_t idat = 8;
  while (memcmp(forged.data() + idat + 4, "IDAT", 4) != 0) {
    idat += 12 + ((size_t)forged[idat + 2] << 8 | forged[idat + 3]);
  }
  forged[idat] = 0x3F;
  for (const std::vector<u8>& bad : {png_of(2, 1, 3, rgb), png_of(2, 1, 2, grey_alpha), garbage, truncated, tga, wide,
                                     png_of(1, WORLD_MAP_SIDE_MAX + 1, 1, long_row.data()), forged}) {
    EXPECT_EQ(feed_map(bad), NetResult_None);
    // The map that was there stays.
    EXPECT_TRUE(game.world_map.width == 2 && game.world_map.tiles[1] == TileType_Grass);
  }
  // The largest side accepted.
  EXPECT_EQ(feed_map(png_of(WORLD_MAP_SIDE_MAX, 1, 1, long_row.data())), NetResult_Ok);
  EXPECT_EQ(game.world_map.width, WORLD_MAP_SIDE_MAX);
}

TEST_F(NetIntake, SnapshotRoundTripThroughTheSharedEncoder) {
  std::vector<Entity> es;
  es.push_back(make_mob(10, {50, 50}));
  es.push_back(make_player(11, {60, 50}, "Bob"));
  es.push_back(make_player(12, {70, 300}, "Ann"));
  for (Id i = 0; i < 40; i++) es.push_back(make_entity(100 + i, {(f32)(i * 13 % 500), (f32)(i * 29 % 500)}));
  // Two records in one cell, to see the list order.
  es.push_back(make_entity(200, {490, 5}));
  es.push_back(make_entity(201, {500, 20}));
  es[3].mover.vel = {1, 2};  // bytes the client only carries
  Packet p;
  int n = state_packet_build(p, es.data(), (int)es.size(), {9, 30}, nullptr);
  ASSERT_GT(n, 0);
  ASSERT_EQ(feed(p, n), NetResult_Ok);

  ASSERT_EQ(entity_storage.nentities, es.size());
  for (size_t i = 0; i < es.size(); i++) {
    EXPECT_EQ(memcmp(&entity_storage.entities[i], &es[i], Entity_Shared_Size), 0) << "record " << i;
  }
  ASSERT_NE(game.player, nullptr);
  EXPECT_EQ(game.player->id, 12u);
  EXPECT_TRUE(game.game_time.hour == 9 && game.game_time.second == 30);
  EXPECT_TRUE(entity_storage.nplayers == 2 && entity_storage.nmobs == 1 && entity_storage.nobjects == es.size() - 3);
  // Each record is listed once, in the cell of its position.
  EXPECT_EQ(count_in_grid(*loc), (int)es.size());
  for (int i = 0; i < entity_storage.nentities; i++) {
    Entity& e = entity_storage.entities[i];
    int found = 0;
    for (Entity* it = get_entity_at(*loc, e.pos); it; it = it->next_in_grid) found += it == &e;
    EXPECT_EQ(found, 1) << e.id;
  }
  Entity* head = get_entity_at(*loc, {481, 1});
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->id, 200u);
  ASSERT_NE(head->next_in_grid, nullptr);
  EXPECT_EQ(head->next_in_grid->id, 201u);

  // A smaller snapshot replaces the whole set: nothing of the first is left behind.
  Entity only = make_player(12, {80, 80}, "Ann");
  n = state_packet_build(p, &only, 1, {9, 31}, nullptr);
  ASSERT_EQ(feed(p, n), NetResult_Ok);
  EXPECT_EQ(entity_storage.nentities, 1);
  EXPECT_EQ(count_in_grid(*loc), 1);
  EXPECT_EQ(find_entity_by_id(200), nullptr);
  Entity zero = {};
  EXPECT_EQ(memcmp(&entity_storage.entities[1], &zero, sizeof(Entity)), 0);
}

TEST_F(NetIntake, AdminBlockIsReadExactlyWhenThePlayerIsAnAdmin) {
  AdminBlock admin;
  admin.nplayers = 2;
  admin.players[0].id = 12;
  cstr_copy(admin.players[0].person.name, "Ann", PLAYER_NAME_LEN);
  admin.players[1].id = 13;
  admin.players[1].pos = {5, 6};
  memset(admin.players[1].person.name, 'z', PLAYER_NAME_LEN);  // no terminator
  std::vector<Entity> es = {make_mob(1, {10, 10}), make_player(12, {50, 50}, "Ann", true)};
  Packet p;
  int n = state_packet_build(p, es.data(), 2, {}, &admin);
  ASSERT_EQ(feed(p, n), NetResult_Ok);
  ASSERT_NE(game.player, nullptr);
  EXPECT_EQ(game.admin.nplayers, 2u);
  EXPECT_EQ(game.admin.players[1].id, 13u);
  EXPECT_EQ(game.admin.players[1].pos.y, 6);
  EXPECT_STREQ(game.admin.players[0].person.name, "Ann");
  EXPECT_EQ(strlen(game.admin.players[1].person.name), (size_t)PLAYER_NAME_LEN - 1);

  // Not our player among the records: no admin block is due, so one that is there is trailing data.
  game.player_name = "Zed";
  n = state_packet_build(p, es.data(), 2, {}, &admin);
  EXPECT_EQ(feed(p, n), NetResult_None);
  expect_empty_world();
  n = state_packet_build(p, es.data(), 2, {}, nullptr);
  EXPECT_EQ(feed(p, n), NetResult_Ok);
  EXPECT_EQ(game.player, nullptr);
  EXPECT_EQ(entity_storage.nentities, 2);
}

TEST_F(NetIntake, BrokenSnapshotsLeaveNoEntityBehind) {
  Entity player = make_player(1, {40, 40}, "Ann");
  Entity admin = make_player(1, {40, 40}, "Ann", true);
  Entity rock = make_entity(2, {90, 90});
  struct Case {
    const char* name;
    u16 nentities;
    std::vector<u8> raw;
    int trailing;
  } cases[] = {
      {"missing marker", 2, raw_body({player, rock}, -1, -1), 0},
      {"wrong marker", 2, raw_body({player, rock}, -1, 'j'), 0},
      {"short record", 2, without(raw_body({player, rock}), 100, 1), 0},
      {"more records claimed than sent", 3, raw_body({player, rock}), 0},
      {"fewer records claimed than sent", 1, raw_body({player, rock}), 0},
      {"trailing input", 2, raw_body({player, rock}), 3},
      {"bytes after the marker", 2, with_extra_byte(raw_body({player, rock})), 0},
      {"admin block missing", 2, raw_body({admin, rock}), 0},
      {"admin block of nine players", 2, raw_body({admin, rock}, 9), 0},
      {"admin block shorter than its count", 2, without(raw_body({admin, rock}, 3), -20, 19), 0},
      {"too many records", (u16)(ENTITIES_MAX + 1), raw_body({player, rock}), 0},
      {"the most a u16 can claim", 0xFFFF, raw_body({player}), 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    take_good_snapshot();
    Packet p;
    int n = packet_with_body(p, c.nentities, c.raw, c.trailing);
    EXPECT_EQ(feed(p, n), NetResult_None);
    expect_empty_world();
  }

  // A corrupted stream: a flipped byte in the deflate data, and a broken checksum.
  for (int at : {6, -2}) {
    SCOPED_TRACE(at);
    take_good_snapshot();
    Packet p;
    Entity es[2] = {player, rock};
    int n = state_packet_build(p, es, 2, {}, nullptr);
    p.data[at > 0 ? 4 + at : n - PACKET_HEADER_SIZE + at] ^= 0xFF;
    EXPECT_EQ(feed(p, n), NetResult_None);
    expect_empty_world();
  }

  // Admin block on, with zero and with eight players: both complete.
  for (int k : {0, 8}) {
    Packet p;
    int n = packet_with_body(p, 2, raw_body({admin, rock}, k), 0);
    EXPECT_EQ(feed(p, n), NetResult_Ok) << k;
    EXPECT_EQ(game.admin.nplayers, (u32)k);
  }
  // No records at all: a body holding only the marker.
  Packet p;
  int n = packet_with_body(p, 0, raw_body({}), 0);
  EXPECT_EQ(feed(p, n), NetResult_Ok);
  expect_empty_world();
}

TEST_F(NetIntake, SnapshotsBeforeLoadingOrWithoutALocationAreIgnored) {
  take_good_snapshot();
  Entity es[1] = {make_player(1, {10, 10}, "Ann")};
  Packet p;
  int n = state_packet_build(p, es, 1, {}, nullptr);
  for (Screen s : {Screen_PreLoading, Screen_Login, Screen_Lobby}) {
    game.screen = s;
    EXPECT_EQ(feed(p, n), NetResult_None);
    EXPECT_EQ(game.player, nullptr);
  }
  game.screen = Screen_Loading;
  location_free(*loc);
  EXPECT_EQ(feed(p, n), NetResult_None);
  EXPECT_EQ(game.player, nullptr);
}

// A pulled cart listed after its puller is placed by the puller first; its own turn must not list it
// twice (that would stop the program).
TEST_F(NetIntake, PulledBurdenAfterItsPullerIsListedOnce) {
  Entity puller = make_player(1, {100, 100}, "Ann");
  enable_component(puller, Component_Mortal);
  puller.mortal.burden = 2;
  Entity cart = make_entity(2, {100, 40});
  cart.flags |= EntityFlag_Pulled;
  Entity es[2] = {puller, cart};
  Packet p;
  int n = state_packet_build(p, es, 2, {}, nullptr);
  ASSERT_EQ(feed(p, n), NetResult_Ok);
  EXPECT_EQ(count_in_grid(*loc), 2);
}

}  // namespace
