// The server's parts in process: flags, storage, password hashing, the map image, world generation,
// characters saved and restored, snapshots in a crowd, and the request path under a flood.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

#include "app/client.hpp"
#include "items.hpp"
#include "png.hpp"
#include "pwhash.hpp"
#include "server.hpp"
#include "snapshot_body.hpp"
#include "state_body.hpp"

// --- flags

TEST(ServerOptions, ParsesEveryFlagAndRefusesBadValues) {
  struct Case {
    std::vector<const char*> args;
    ParseResult expected;
  };
  const Case cases[] = {
      {{}, ParseResult_Run},
      {{"--help"}, ParseResult_Help},
      {{"--port", "4243", "--bind", "127.0.0.2", "--dev", "--seed", "7"}, ParseResult_Run},
      {{"--admin", "a", "--admin", "b"}, ParseResult_Run},
      {{"--world-size", "180"}, ParseResult_Run},
      {{"--world-size", "181"}, ParseResult_Error},  // the tiles would not fit one datagram
      {{"--port", "0"}, ParseResult_Error},
      {{"--port", "65536"}, ParseResult_Error},
      {{"--port", "12x"}, ParseResult_Error},
      {{"--port"}, ParseResult_Error},
      {{"--bind", "localhost"}, ParseResult_Error},
      {{"--bind", "1.2.3"}, ParseResult_Error},
      {{"--bind", "1.2.3.256"}, ParseResult_Error},
      {{"--seed", "-1"}, ParseResult_Error},
      {{"--hash-cost", "cheap"}, ParseResult_Error},
      {{"--session-timeout", "99"}, ParseResult_Error},
      {{"--stats", "10"}, ParseResult_Run},
      {{"--stats", "0"}, ParseResult_Error},
      {{"--frobnicate"}, ParseResult_Error},
      {{"--db", ""}, ParseResult_Error},
      // Any password opens a --dev server: others reach it only when the operator says so twice.
      {{"--dev", "--bind", "0.0.0.0"}, ParseResult_Error},
      {{"--dev", "--bind", "192.168.1.5"}, ParseResult_Error},
      {{"--dev", "--bind", "0.0.0.0", "--dev-public"}, ParseResult_Run},
      {{"--dev-public"}, ParseResult_Error},
      {{"--create-account", "ab"}, ParseResult_Error},
      {{"--create-account", "a\x1b[2Jb"}, ParseResult_Error},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"valmire-server"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ServerOptions o;
    Text error;
    ParseResult r = server_parse_args((int)argv.size(), argv.data(), o, error);
    std::string joined;
    for (const char* a : c.args) joined += std::string(a) + " ";
    EXPECT_EQ(r, c.expected) << joined << error.cstr();
    if (r == ParseResult_Error) {
      EXPECT_NE(error.cstr()[0], 0) << joined;
    }
  }

  const char* argv[] = {"valmire-server", "--port", "4300", "--db", "x.db", "--admin", "root", "--hash-cost", "low"};
  ServerOptions o;
  Text error;
  ASSERT_EQ(server_parse_args(len(argv), argv, o, error), ParseResult_Run);
  EXPECT_EQ(o.port, 4300);
  EXPECT_STREQ(o.db.cstr(), "x.db");
  EXPECT_STREQ(o.bind, "0.0.0.0");
  EXPECT_EQ(o.hash_cost, HashCost_Low);
  EXPECT_TRUE(server_is_admin_login(o, "root"));
  EXPECT_FALSE(server_is_admin_login(o, "roo"));
  ServerOptions defaults;
  EXPECT_EQ(defaults.hash_cost, HashCost_Interactive) << "the real default stays strong";
  const char* dev[] = {"valmire-server", "--dev"};
  ASSERT_EQ(server_parse_args(len(dev), dev, o, error), ParseResult_Run);
  EXPECT_STREQ(o.bind, "127.0.0.1") << "--dev alone listens on loopback";
}

// --- storage

struct TempDb {
  char path[256];
  TempDb(const char* name) {
    snprintf(path, sizeof(path), "%s/test-storage-%s-%d.db", VALMIRE_BINARY_DIR, name, (int)getpid());
    unlink(path);
  }
  ~TempDb() { unlink(path); }
};

TEST(ServerStorage, AccountsAreUniqueAndCharactersLimited) {
  TempDb file("accounts");
  Storage s;
  Text error;
  ASSERT_TRUE(storage_open(s, file.path, error)) << error.cstr();
  s64 alice = 0, bob = 0, id = 0;
  EXPECT_EQ(storage_create_account(s, "alice", "$hash-a", &alice), StorageResult_Ok);
  EXPECT_EQ(storage_create_account(s, "alice", "$hash-b", &id), StorageResult_Exists);
  EXPECT_EQ(storage_create_account(s, "bob", "$hash-b", &bob), StorageResult_Ok);
  AccountRecord account;
  ASSERT_TRUE(storage_find_account(s, "alice", account));
  EXPECT_EQ(account.id, alice);
  EXPECT_STREQ(account.password_hash, "$hash-a");
  ASSERT_TRUE(storage_find_account(s, "Alice", account));
  EXPECT_EQ(account.id, 0) << "logins are exact";

  const char* names[] = {"one", "two", "three", "four"};
  for (const char* n : names) EXPECT_EQ(storage_create_character(s, alice, n, &id), StorageResult_Ok) << n;
  EXPECT_EQ(storage_create_character(s, alice, "five", &id), StorageResult_Full);
  // A taken name is the answer even for a full account; names are unique across accounts.
  EXPECT_EQ(storage_create_character(s, alice, "one", &id), StorageResult_Exists);
  EXPECT_EQ(storage_create_character(s, bob, "two", &id), StorageResult_Exists);
  EXPECT_EQ(storage_create_character(s, bob, "five", &id), StorageResult_Ok);

  CharacterSummary list[CHARACTERS_PER_ACCOUNT];
  ASSERT_EQ(storage_list_characters(s, alice, list), 4);
  for (int i = 0; i < 4; i++) EXPECT_STREQ(list[i].name, names[i]);
  EXPECT_EQ(storage_find_character(s, bob, "one"), 0) << "another account's character is not found";
  s64 three = storage_find_character(s, alice, "three");
  ASSERT_NE(three, 0);

  // Saved state: empty first, then what was saved; a buffer too small is reported, never overrun.
  u8 blob[64];
  int size = 99;
  ASSERT_TRUE(storage_load_character_state(s, three, blob, sizeof(blob), &size));
  EXPECT_EQ(size, 0);
  u8 state[40];
  for (int i = 0; i < 40; i++) state[i] = (u8)(i * 7);
  ASSERT_TRUE(storage_save_character_state(s, three, state, sizeof(state)));
  ASSERT_TRUE(storage_touch_character(s, three, 12345));
  storage_close(s);

  ASSERT_TRUE(storage_open(s, file.path, error));
  ASSERT_TRUE(storage_load_character_state(s, three, blob, sizeof(blob), &size));
  ASSERT_EQ(size, 40);
  EXPECT_EQ(memcmp(blob, state, 40), 0);
  ASSERT_TRUE(storage_load_character_state(s, three, blob, 10, &size));
  EXPECT_EQ(size, -1);
  ASSERT_EQ(storage_list_characters(s, alice, list), 4);
  EXPECT_EQ(list[2].last_login, 12345u);
  EXPECT_FALSE(storage_save_character_state(s, 999999, state, 4)) << "no such character";
  storage_close(s);
}

TEST(ServerStorage, RefusesAFileThatIsNotADatabase) {
  TempDb file("garbage");
  FILE* f = fopen(file.path, "w");
  ASSERT_NE(f, nullptr);
  for (int i = 0; i < 4096; i++) fputc(i * 31, f);
  fclose(f);
  Storage s;
  Text error;
  EXPECT_FALSE(storage_open(s, file.path, error));
  EXPECT_NE(error.cstr()[0], 0);
  EXPECT_EQ(s.db, nullptr);
}

// --- password hashing

TEST(ServerPwhash, HashesVerifyAndTheWorkerAnswersByTicket) {
  ASSERT_TRUE(pwhash_init());
  char hash[PASSWORD_HASH_LEN];
  ASSERT_TRUE(pwhash_hash(HashCost_Low, "correct horse", hash));
  EXPECT_EQ(strncmp(hash, "$argon2id$", 10), 0);
  EXPECT_EQ(strstr(hash, "correct"), nullptr);
  EXPECT_TRUE(pwhash_verify(hash, "correct horse"));
  EXPECT_FALSE(pwhash_verify(hash, "correct hors"));
  EXPECT_FALSE(pwhash_verify(hash, ""));
  EXPECT_FALSE(pwhash_verify("not a hash", "correct horse"));
  char again[PASSWORD_HASH_LEN];
  ASSERT_TRUE(pwhash_hash(HashCost_Low, "correct horse", again));
  EXPECT_STRNE(hash, again) << "salted";

  pwhash_worker_start(HashCost_Low);
  PwhashJob job;
  job.ticket = 7;
  job.type = PwhashJob_Verify;
  cstr_copy(job.password, "correct horse", PASSWORD_LEN);
  cstr_copy(job.hash, hash, PASSWORD_HASH_LEN);
  ASSERT_TRUE(pwhash_submit(job));
  job.ticket = 8;
  cstr_copy(job.password, "wrong", PASSWORD_LEN);
  ASSERT_TRUE(pwhash_submit(job));
  job.ticket = 9;
  job.type = PwhashJob_Hash;
  ASSERT_TRUE(pwhash_submit(job));
  bool answered[3] = {};
  PwhashResult r;
  for (int i = 0; i < 2000 && !(answered[0] && answered[1] && answered[2]); i++) {
    while (pwhash_poll(r)) {
      ASSERT_GE(r.ticket, 7u);
      ASSERT_LE(r.ticket, 9u);
      answered[r.ticket - 7] = true;
      bool expected_ok = r.ticket != 8;
      EXPECT_EQ(r.ok, expected_ok) << r.ticket;
      if (r.ticket == 9) {
        EXPECT_TRUE(pwhash_verify(r.hash, "wrong"));
      }
    }
    usleep(1000);
  }
  EXPECT_TRUE(answered[0] && answered[1] && answered[2]);
  EXPECT_EQ(pwhash_pending(), 0);
  pwhash_worker_stop();
  EXPECT_FALSE(pwhash_submit(job)) << "no worker, no queue";
}

TEST(ServerPwhash, WeakerHashesAreRenewedAfterALogin) {
  ASSERT_TRUE(pwhash_init());
  char low[PASSWORD_HASH_LEN];
  ASSERT_TRUE(pwhash_hash(HashCost_Low, "correct horse", low));
  EXPECT_FALSE(pwhash_is_weaker(low, HashCost_Low));
  EXPECT_TRUE(pwhash_is_weaker(low, HashCost_Interactive));
  EXPECT_TRUE(pwhash_is_weaker("not a hash", HashCost_Low)) << "unreadable settings are renewed";

  // A worker at today's cost answers a match on a weaker hash with a new hash of the same password.
  pwhash_worker_start(HashCost_Interactive);
  PwhashJob job;
  job.ticket = 1;
  job.type = PwhashJob_Verify;
  cstr_copy(job.password, "correct horse", PASSWORD_LEN);
  cstr_copy(job.hash, low, PASSWORD_HASH_LEN);
  ASSERT_TRUE(pwhash_submit(job));
  PwhashResult r;
  bool answered = false;
  for (int i = 0; i < 5000 && !answered; i++) {
    answered = pwhash_poll(r);
    if (!answered) usleep(1000);
  }
  pwhash_worker_stop();
  ASSERT_TRUE(answered);
  EXPECT_TRUE(r.ok);
  ASSERT_TRUE(r.rehashed);
  EXPECT_FALSE(pwhash_is_weaker(r.hash, HashCost_Interactive));
  EXPECT_TRUE(pwhash_verify(r.hash, "correct horse"));
}

TEST(ServerLog, OutsideTextCannotForgeALine) {
  const char* inputs[] = {"plain name", "two\nlines", "\x1b[2J clear", "back\\slash", "\x7f\x01"};
  for (const char* in : inputs) {
    const char* out = log_text(in);
    SCOPED_TRACE(in);
    for (const char* c = out; *c; c++) EXPECT_TRUE((u8)*c >= 0x20 && *c != 0x7F);
    // Printable input is left alone; anything escaped grows and keeps a visible mark.
    bool printable = text_is_printable(in) && !strchr(in, '\\');
    if (printable) {
      EXPECT_STREQ(out, in);
    } else {
      EXPECT_GT(strlen(out), strlen(in));
      EXPECT_NE(strstr(out, "\\x"), nullptr);
    }
  }
}

// --- the map image

TEST(ServerPng, OneChannelImageDecodesToTheSameBytes) {
  const int w = 37, h = 21;
  u8 pixels[w * h];
  for (int i = 0; i < w * h; i++) pixels[i] = (u8)((i * 13) % 23);
  static u8 png[65536];
  int n = png_write_gray8(pixels, w, h, png, sizeof(png));
  ASSERT_GT(n, 0);
  int dw = 0, dh = 0, channels = 0;
  u8* decoded = stbi_load_from_memory(png, n, &dw, &dh, &channels, 0);
  ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
  EXPECT_EQ(dw, w);
  EXPECT_EQ(dh, h);
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(memcmp(decoded, pixels, sizeof(pixels)), 0);
  stbi_image_free(decoded);
  EXPECT_EQ(png_write_gray8(pixels, w, h, png, 60), 0) << "too small a buffer is refused, not overrun";
  EXPECT_EQ(png_write_gray8(pixels, 0, h, png, sizeof(png)), 0);
}

// --- the world

class ServerWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    load_entity_registry();
    // The test program links the client's hooks: point them at the server's location.
    game.location = &world.location;
    ASSERT_TRUE(server_generate_world(3, 128, Time{1000000000000ull}));
  }
  void TearDown() override {
    game.location = nullptr;
    world_reset(0, 0, nullptr);
  }
  int count(EntityType type) {
    int n = 0;
    for (int i = 0; i < entity_storage.nentities; i++)
      n += entity_storage.entities[i].id && entity_storage.entities[i].type == type;
    return n;
  }
};

TEST_F(ServerWorld, TilesAreDeterministicIslandsWithEveryBiome) {
  static u8 a[128 * 128], b[128 * 128], c[128 * 128];
  worldgen_tiles(a, 128, 128, 11);
  worldgen_tiles(b, 128, 128, 11);
  worldgen_tiles(c, 128, 128, 12);
  EXPECT_EQ(memcmp(a, b, sizeof(a)), 0);
  EXPECT_NE(memcmp(a, c, sizeof(a)), 0);
  for (u32 seed : {1u, 2u, 3u, 11u}) {
    SCOPED_TRACE(seed);
    worldgen_tiles(a, 128, 128, seed);
    int counts[TileType_count] = {};
    for (u8 t : a) {
      ASSERT_LT(t, TileType_count);
      counts[t]++;
    }
    for (TileType t : {TileType_DeepWater, TileType_ShallowWater, TileType_Sand, TileType_Grass, TileType_Soil,
                       TileType_Dirt, TileType_LeafForest, TileType_PineForest, TileType_Rock})
      EXPECT_GT(counts[t], 0) << tile_name(t);
    for (int i = 0; i < 128; i++) {
      EXPECT_EQ(a[i], TileType_DeepWater) << "the edge is sea";
      EXPECT_EQ(a[i * 128], TileType_DeepWater);
    }
    EXPECT_EQ(a[64 + 128 * 64], TileType_Grass) << "the spawn is land";
    // Coherent: most tiles share their kind with the tile to their right.
    int same = 0;
    for (int y = 0; y < 128; y++)
      for (int x = 0; x + 1 < 128; x++) same += a[x + 128 * y] == a[x + 1 + 128 * y];
    EXPECT_GT(same, 127 * 128 * 8 / 10);
  }
}

TEST_F(ServerWorld, EntitiesOfEveryKindStandWhereTheyBelong) {
  for (EntityType t :
       {Entity_pine_tree,    Entity_apple_tree,    Entity_palm_tree,   Entity_weird_tree,  Entity_bush,
        Entity_berry_bush,   Entity_rock,          Entity_narrow_rock, Entity_iron_vein,   Entity_grass,
        Entity_flower_group, Entity_mushroom,      Entity_wheat_crop,  Entity_carrot_crop, Entity_bonfire,
        Entity_wooden_chest, Entity_fermion_stone, Entity_stag,        Entity_frog,        Entity_birb,
        Entity_buba})
    EXPECT_GT(count(t), 0) << entity_type_name(t);
  int on_water = 0;
  for (int i = 0; i < entity_storage.nentities; i++) {
    Entity& e = entity_storage.entities[i];
    if (!e.id || in_container(e)) continue;
    on_water += !world_is_walkable(e.pos);
    if (find_tree(e)) {
      EXPECT_GT(e.tree.branches, 0);
    }
    if (find_thinker(e)) {
      EXPECT_GT(e.mover.speed, 0);
    }
  }
  EXPECT_EQ(on_water, 0);
  Entity* fire =
      locate_entity_by_type(Entity_bonfire, SpatialQuery{nullptr, &world.location, world.spawn, 8 * tile_size});
  EXPECT_NE(fire, nullptr) << "a bonfire by the spawn point";
  EXPECT_LT(world_entity_count(), WORLD_GENERATED_ENTITIES_MAX);
}

TEST_F(ServerWorld, CreaturesWanderAndIdsOfRemovedEntitiesStayDead) {
  Entity* stag = nullptr;
  for (int i = 0; i < entity_storage.nentities && !stag; i++)
    if (entity_storage.entities[i].type == Entity_stag) stag = &entity_storage.entities[i];
  ASSERT_NE(stag, nullptr);
  v2 start = stag->pos;
  Time now = {2000000000000ull};
  for (int tick = 0; tick < 60 * 10; tick++) world_update(SERVER_DT, Time{now.ns + (u64)tick * 16666667ull});
  EXPECT_GT(v2_distance(stag->pos, start), 1.0f) << "ten seconds and the stag never moved";
  EXPECT_TRUE(world_is_walkable(stag->pos));

  Id id = stag->id;
  EXPECT_EQ(world_find(id), stag);
  world_remove(*stag);
  EXPECT_EQ(world_find(id), nullptr);
  Entity* next = world_spawn(Entity_frog, world.spawn);
  ASSERT_NE(next, nullptr);
  EXPECT_NE(next->id, id) << "a reused slot gets a new id";
  EXPECT_EQ(world_find(id), nullptr);
  EXPECT_EQ(world_find(0), nullptr);
  EXPECT_EQ(world_find(0xFFFFFFFFu), nullptr);
}

TEST_F(ServerWorld, CharactersComeBackWithWhatTheyCarried) {
  int before = world_entity_count();
  Entity* p = world_enter_character("Nia", false, nullptr, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->person.name, "Nia");
  EXPECT_TRUE(world_is_walkable(p->pos));
  Entity* bag = find_bag(*p);
  ASSERT_NE(bag, nullptr);
  ASSERT_NE(world_spawn_in(Entity_axe, *bag, 3), nullptr);
  ASSERT_NE(world_spawn_in(Entity_berry, *bag, 0), nullptr);
  Entity* moved_to = p;
  set_pos(*moved_to, world.spawn + v2{40, -20});
  p->person.xp.cur = 42;
  v2 pos = p->pos;

  static u8 blob[SAVED_CHARACTER_MAX];
  int size = world_save_character(*p, blob, sizeof(blob));
  ASSERT_EQ(size, SAVED_CHARACTER_HEADER + 4 * Entity_Shared_Size);
  world_leave_character(*p);
  EXPECT_EQ(world_entity_count(), before) << "the character and its possessions left";

  Entity* back = world_enter_character("Nia", true, blob, size);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->pos.x, pos.x);
  EXPECT_EQ(back->pos.y, pos.y);
  EXPECT_EQ(back->person.xp.cur, 42);
  EXPECT_TRUE(is_admin(*back)) << "rights come from the server's options, not the blob";
  bag = find_bag(*back);
  ASSERT_NE(bag, nullptr);
  EXPECT_EQ(bag->item.container, back->id);
  Entity* axe = world_find(bag->container.slots[3]);
  ASSERT_NE(axe, nullptr);
  EXPECT_EQ(axe->type, Entity_axe);
  EXPECT_EQ(axe->item.container, bag->id);
  EXPECT_EQ(world_entity_count(), before + 4);
  world_leave_character(*back);
  EXPECT_EQ(world_entity_count(), before);
}

TEST_F(ServerWorld, BrokenSavedCharactersNeverCrashOrLeak) {
  Entity* p = world_enter_character("Oz", false, nullptr, 0);
  ASSERT_NE(p, nullptr);
  world_spawn_in(Entity_axe, *find_bag(*p), 1);
  static u8 good[SAVED_CHARACTER_MAX];
  int size = world_save_character(*p, good, sizeof(good));
  world_leave_character(*p);
  int before = world_entity_count();

  static u8 blob[SAVED_CHARACTER_MAX];
  auto record = [&](int i) { return blob + SAVED_CHARACTER_HEADER + i * Entity_Shared_Size; };
  struct Mutation {
    const char* what;
    void (*apply)(u8* blob, u8* (*record)(u8*, int), int& size);
  };
  auto at = [](u8* b, int i) { return b + SAVED_CHARACTER_HEADER + i * Entity_Shared_Size; };
  (void)record;
  const Mutation mutations[] = {
      {"truncated", [](u8*, u8* (*)(u8*, int), int& n) { n -= 100; }},
      {"wrong magic", [](u8* b, u8* (*)(u8*, int), int&) { b[0] ^= 0xFF; }},
      {"count too big", [](u8* b, u8* (*)(u8*, int), int&) { b[4] = 200; }},
      {"count zero", [](u8* b, u8* (*)(u8*, int), int&) { memset(b + 4, 0, 4); }},
      {"first record not a player", [](u8* b, u8* (*r)(u8*, int), int&) { r(b, 0)[18] = Entity_stag; }},
      {"item of an unknown kind", [](u8* b, u8* (*r)(u8*, int), int&) { r(b, 1)[18] = 250; }},
      {"item holder missing", [](u8* b, u8* (*r)(u8*, int), int&) { memset(r(b, 2) + 908, 0x7F, 4); }},
      {"gear slot pointing at itself", [](u8* b, u8* (*r)(u8*, int), int&) { memcpy(r(b, 0) + 840, r(b, 0), 4); }},
      {"slot count out of range", [](u8* b, u8* (*r)(u8*, int), int&) { r(b, 1)[904] = 200; }},
      {"nan position", [](u8* b, u8* (*r)(u8*, int), int&) { memset(r(b, 0) + 8, 0xFF, 8); }},
  };
  for (const Mutation& m : mutations) {
    SCOPED_TRACE(m.what);
    memcpy(blob, good, (size_t)size);
    int n = size;
    m.apply(blob, at, n);
    Entity* e = world_enter_character("Oz", false, blob, n);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->person.name, "Oz");
    EXPECT_TRUE(world_is_walkable(e->pos));
    EXPECT_NE(find_bag(*e) == nullptr && cstr_equal(m.what, "truncated"), true) << "a fresh character has a bag";
    // Everything it holds is really held by it.
    Container* gear = find_container(*e);
    ASSERT_NE(gear, nullptr);
    for (int s = 0; s < container_nslots(*gear); s++) {
      Entity* item = world_find(gear->slots[s]);
      if (gear->slots[s]) {
        ASSERT_NE(item, nullptr) << "slot " << s;
        EXPECT_EQ(item->item.container, e->id);
        EXPECT_NE(item, e);
      }
    }
    world_leave_character(*e);
    EXPECT_EQ(world_entity_count(), before) << "nothing left behind";
  }
}

// --- snapshots

TEST_F(ServerWorld, CrowdedSnapshotsFitOneDatagramNearestFirst) {
  Entity* p = world_enter_character("Pat", false, nullptr, 0);
  ASSERT_NE(p, nullptr);
  // A thousand creatures and things within sight.
  for (int i = 0; i < 1000; i++) {
    f32 angle = (f32)i * 2.39996f, r = 20.0f + (f32)(i % 400);
    EntityType type = i % 3 == 0 ? Entity_stag : (i % 3 == 1 ? Entity_rock : Entity_pine_tree);
    Entity* e = world_spawn(type, p->pos + v2{cosf(angle) * r, sinf(angle) * r});
    ASSERT_NE(e, nullptr);
    worldgen_init_entity(*e, Time{1});
  }
  Session& s = server.sessions[0];
  s = Session();
  s.active = true;
  s.player_id = p->id;
  alignas(Packet) static u8 storage[sizeof(Packet)];
  Packet& packet = *(Packet*)storage;
  for (int round = 0; round < 2; round++) {
    // The second round reuses the cached pieces.
    SCOPED_TRACE(round);
    int size = server_build_snapshot(s, packet);
    ASSERT_GT(size, 0);
    EXPECT_LE(size, PACKET_SIZE_MAX);
    EXPECT_EQ((int)packet.size, size);
    EXPECT_EQ(packet.type, PacketType_State);
    int n = packet.state.nentities;
    EXPECT_GT(n, 100);
    EXPECT_LT(n, 1002) << "a thousand records do not fit: the farthest were cut";

    static Entity decoded[ENTITIES_MAX];
    AdminBlock admin;
    StateBodyResult r = state_body_decode(packet.data + sizeof(PacketStateHeader), size - STATE_BODY_OFFSET, n, decoded,
                                          ENTITIES_MAX, "Pat", &admin);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.player_index, 0);
    EXPECT_EQ(decoded[1].type, Entity_bag) << "possessions follow the character";
    f32 last = 0;
    for (int i = 2; i < n; i++) {
      if (in_container(decoded[i])) continue;
      f32 d = v2_distance(decoded[i].pos, p->pos);
      EXPECT_GE(d + 0.01f, last) << "record " << i;
      EXPECT_LE(d, vision_radius + 1);
      last = d;
    }
  }
  s = Session();
}

// Inflates a zlib stream whole; empty when it is not one.
static std::vector<u8> inflate_all(const u8* data, int size) {
  std::vector<u8> out(4 << 20);
  uLongf n = (uLongf)out.size();
  if (uncompress(out.data(), &n, data, (uLong)size) != Z_OK) return {};
  out.resize(n);
  return out;
}

TEST_F(ServerWorld, SnapshotBodiesInflateToTheSharedEncodersBytes) {
  Entity* p = world_enter_character("Quin", false, nullptr, 0);
  ASSERT_NE(p, nullptr);
  static Entity* list[SNAPSHOT_RECORDS_MAX];
  static Entity copies[SNAPSHOT_RECORDS_MAX];
  static u8 body[STATE_BODY_MAX], shared_body[STATE_BODY_MAX];
  AdminBlock admin;
  admin.nplayers = 1;
  admin.players[0].id = p->id;
  admin.players[0].person = p->person;
  admin.players[0].pos = p->pos;
  for (int round = 0; round < 6; round++) {
    SCOPED_TRACE(round);
    // Change the world between rounds: the stream is reset, nothing of the last body leaks into the next.
    for (int t = 0; t < 30; t++) world_update(SERVER_DT, Time{3000000000000ull + (u64)(round * 30 + t) * 16666667ull});
    if (round == 3) set_pos(*p, p->pos + v2{50, 0});
    // The block is due exactly when the player's own record is an admin's.
    if (round >= 4)
      p->flags |= EntityFlag_IsAdmin;
    else
      p->flags &= ~(u32)EntityFlag_IsAdmin;
    int n = server_collect_snapshot(*p, list, SNAPSHOT_RECORDS_MAX);
    if (round % 2) n = min(n, 40);
    const AdminBlock* a = round >= 4 ? &admin : nullptr;
    int taken = 0;
    int size = snapshot_body_encode(list, n, a, body, STATE_BODY_MAX, &taken);
    ASSERT_GT(size, 0);
    ASSERT_GT(taken, 0);
    for (int i = 0; i < taken; i++) memcpy((void*)&copies[i], list[i], sizeof(Entity));
    int shared = state_body_encode(shared_body, STATE_BODY_MAX, copies, taken, a, 6);
    ASSERT_GT(shared, 0);
    std::vector<u8> mine = inflate_all(body, size), theirs = inflate_all(shared_body, shared);
    ASSERT_FALSE(mine.empty()) << "not a zlib stream";
    EXPECT_EQ(mine, theirs);
    static Entity decoded[ENTITIES_MAX];
    AdminBlock got;
    StateBodyResult r = state_body_decode(body, size, taken, decoded, ENTITIES_MAX, "Quin", &got);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(decoded[0].pos.x, p->pos.x);
    EXPECT_EQ(got.nplayers, a ? 1u : 0u);
  }
}

TEST_F(ServerWorld, SnapshotBodiesCutShortKeepTheNearestAndStayValid) {
  Entity* p = world_enter_character("Rae", false, nullptr, 0);
  static Entity* list[SNAPSHOT_RECORDS_MAX];
  int n = server_collect_snapshot(*p, list, SNAPSHOT_RECORDS_MAX);
  ASSERT_GT(n, 10);
  // More records than fit any datagram: the same few again and again, so the cut falls deep in the list.
  for (int i = n; i < SNAPSHOT_RECORDS_MAX; i++) list[i] = list[i % n];
  AdminBlock admin;
  admin.nplayers = 1;
  admin.players[0].id = p->id;
  static u8 body[STATE_BODY_MAX];
  int previous_taken = -1;
  for (int cap : {1200, 3000, 9000, STATE_BODY_MAX}) {
    for (const AdminBlock* a : {(const AdminBlock*)nullptr, (const AdminBlock*)&admin}) {
      SCOPED_TRACE(testing::Message() << cap << (a ? " admin" : ""));
      int taken = -1;
      int size = snapshot_body_encode(list, SNAPSHOT_RECORDS_MAX, a, body, cap, &taken);
      ASSERT_GT(size, 0);
      EXPECT_LE(size, cap);
      EXPECT_LT(taken, SNAPSHOT_RECORDS_MAX);
      if (!a) {
        EXPECT_GE(taken, previous_taken) << "a bigger datagram never carries fewer records";
        previous_taken = taken;
      }
      std::vector<u8> inflated = inflate_all(body, size);
      int closing = a ? 4 + (int)sizeof(AdminPlayerInfo) + 1 : 1;
      ASSERT_EQ((int)inflated.size(), taken * Entity_Shared_Size + closing) << "not a valid zlib stream";
      for (int i = 0; i < taken; i++)
        ASSERT_EQ(memcmp(inflated.data() + i * Entity_Shared_Size, list[i], Entity_Shared_Size), 0) << i;
      EXPECT_EQ(inflated.back(), STATE_BODY_MARKER);
    }
  }
  EXPECT_GT(previous_taken, 256) << "a full datagram carries hundreds of records";
  int taken = 0;
  EXPECT_EQ(snapshot_body_encode(list, n, nullptr, body, 8, &taken), -1) << "not even the marker fits";
}

TEST_F(ServerWorld, SnapshotBodiesRemakeOnlyChangedRecords) {
  Entity* p = world_enter_character("Sol", false, nullptr, 0);
  ASSERT_NE(p, nullptr);
  static Entity* list[SNAPSHOT_RECORDS_MAX];
  int n = server_collect_snapshot(*p, list, SNAPSHOT_RECORDS_MAX);
  ASSERT_GT(n, 10);
  static u8 body[STATE_BODY_MAX];
  int taken = 0;
  ASSERT_GT(snapshot_body_encode(list, n, nullptr, body, STATE_BODY_MAX, &taken), 0);
  u64 before = snapshot_body_stats().records_tokenized;
  ASSERT_GT(snapshot_body_encode(list, n, nullptr, body, STATE_BODY_MAX, &taken), 0);
  EXPECT_EQ(snapshot_body_stats().records_tokenized, before) << "nothing changed, nothing remade";
  // One byte of the nearest record changes: that record alone is remade, and the body carries the new bytes.
  set_pos(*p, p->pos + v2{3, 0});
  int size = snapshot_body_encode(list, n, nullptr, body, STATE_BODY_MAX, &taken);
  EXPECT_EQ(snapshot_body_stats().records_tokenized, before + 1);
  ASSERT_EQ(taken, n);
  std::vector<u8> inflated = inflate_all(body, size);
  ASSERT_EQ((int)inflated.size(), n * Entity_Shared_Size + 1);
  for (int i = 0; i < n; i++)
    ASSERT_EQ(memcmp(inflated.data() + i * Entity_Shared_Size, list[i], Entity_Shared_Size), 0) << i;
  // A record from outside the storage has no slot to keep its tokens in, and is encoded all the same.
  static Entity outside;
  memcpy((void*)&outside, list[1], sizeof(Entity));
  outside.pos.x += 1;
  list[1] = &outside;
  size = snapshot_body_encode(list, n, nullptr, body, STATE_BODY_MAX, &taken);
  inflated = inflate_all(body, size);
  ASSERT_EQ((int)inflated.size(), n * Entity_Shared_Size + 1);
  EXPECT_EQ(memcmp(inflated.data() + Entity_Shared_Size, &outside, Entity_Shared_Size), 0);
}

TEST_F(ServerWorld, AdminBlockExactlyForAdmins) {
  Entity* a = world_enter_character("Ada", true, nullptr, 0);
  Entity* b = world_enter_character("Bea", false, nullptr, 0);
  ASSERT_TRUE(a && b);
  server.sessions[0] = Session();
  server.sessions[0].active = true;
  server.sessions[0].player_id = a->id;
  server.sessions[1] = Session();
  server.sessions[1].active = true;
  server.sessions[1].player_id = b->id;
  alignas(Packet) static u8 storage[sizeof(Packet)];
  Packet& packet = *(Packet*)storage;
  static Entity decoded[ENTITIES_MAX];
  for (int i = 0; i < 2; i++) {
    const char* name = i == 0 ? "Ada" : "Bea";
    int size = server_build_snapshot(server.sessions[i], packet);
    ASSERT_GT(size, 0);
    AdminBlock admin;
    StateBodyResult r = state_body_decode(packet.data + sizeof(PacketStateHeader), size - STATE_BODY_OFFSET,
                                          packet.state.nentities, decoded, ENTITIES_MAX, name, &admin);
    ASSERT_TRUE(r.ok) << name << ": " << r.error;
    if (i == 0) {
      ASSERT_EQ(admin.nplayers, 2u);
      EXPECT_STREQ(admin.players[1].person.name, "Bea");
      EXPECT_EQ(admin.players[1].pos.x, b->pos.x);
    } else {
      EXPECT_EQ(admin.nplayers, 0u);
    }
  }
  server.sessions[0] = Session();
  server.sessions[1] = Session();
}

// --- the request path under a flood

TEST_F(ServerWorld, RandomRequestsNeitherCrashNorTouchAnotherSession) {
  ServerOptions options;
  options.hash_cost = HashCost_Low;
  server.options = options;
  ASSERT_TRUE(pwhash_init());
  Text error;
  ASSERT_TRUE(storage_open(server.storage, ":memory:", error));
  server.socket = -1;  // answers go nowhere; the path that makes them still runs
  pwhash_worker_start(HashCost_Low);

  UdpAddress honest = {0x7F000001, 5000};
  alignas(Request) u8 raw[sizeof(Request)] = {};
  Request& r = *(Request*)raw;
  auto send = [&](UdpAddress from, RequestType type) {
    r.seq++;
    r.type = type;
    server_handle_datagram(from, raw, sizeof(Request));
  };
  memset(raw, 0, sizeof(raw));
  r.auth.client_version = CLIENT_VERSION;
  cstr_copy(r.auth.login, "honest", LOGIN_LEN);
  cstr_copy(r.auth.password, "password1", PASSWORD_LEN);
  send(honest, RequestType_Register);
  Session* s = server_find_session(honest);
  ASSERT_NE(s, nullptr);
  for (int i = 0; i < 2000 && !s->account_id; i++) {
    server_poll_auth();
    usleep(1000);
  }
  ASSERT_NE(s->account_id, 0);
  memset(r.payload, 0, sizeof(r.payload));
  cstr_copy(r.create_player.name, "Honest", PLAYER_NAME_LEN);
  send(honest, RequestType_CreatePlayer);
  Entity* player = world_find(s->player_id);
  ASSERT_NE(player, nullptr);
  Entity before = *player;
  u32 honest_ack = s->seq_ack;

  srand(77);
  u8 junk[400];
  for (int i = 0; i < 100000; i++) {
    // Strangers, a few known addresses that log in, and the honest client's neighbours.
    UdpAddress from = {0x7F000001, (u16)(5001 + rand() % 80)};
    int size = i % 4 == 0 ? rand() % 400 : (int)sizeof(Request);
    for (int k = 0; k < size; k++) junk[k] = (u8)rand();
    if (size == (int)sizeof(Request)) {
      junk[4] = (u8)(rand() % 40);
      if (i % 5 == 0) junk[4] = RequestType_Register, junk[5] = 0xE9, junk[6] = 0x03, junk[7] = junk[8] = 0;
    }
    server_handle_datagram(from, junk, size);
    if (i % 1000 == 0) server_poll_auth();
  }
  for (int i = 0; i < 50; i++) {
    server_poll_auth();
    usleep(1000);
  }
  ASSERT_EQ(world_find(s->player_id), player);
  EXPECT_TRUE(s->active);
  EXPECT_EQ(s->seq_ack, honest_ack);
  EXPECT_EQ(memcmp(&before, player, Entity_Shared_Size), 0) << "the honest character was not touched";
  EXPECT_LE(server_session_count(), SESSION_SLOTS);

  for (Session& other : server.sessions)
    if (other.active) server_end_session(other, "test over");
  pwhash_worker_stop();
  storage_close(server.storage);
}
