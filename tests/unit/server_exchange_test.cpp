// The server's exchanges over loopback, driven by the client's own network layer.
#include <arpa/inet.h>
#include <sqlite3.h>

#include "location.hpp"
#include "server_harness.hpp"
#include "server_in_process.hpp"

class ServerExchange : public ::testing::Test {
 protected:
  ServerProcess server;
  void start(const char* name, const char* address, std::vector<const char*> extra = {}, const char* admin = nullptr) {
    harness_paths(server, name);
    harness_remove_db(server);
    if (admin) {
      ASSERT_TRUE(server_create_account(server, admin, "password1"));
    }
    ASSERT_TRUE(server_start(server, address, false, extra)) << "server did not start, see " << server.log;
  }
  void TearDown() override {
    if (current_client) current_client->link = net;
    current_client = nullptr;
    if (net.socket) close(net.socket);
    net = Net();
    game.player = nullptr;
    game.screen = Screen_PreLoading;
    if (server.pid > 0) {
      EXPECT_EQ(server_stop(server), 0) << "the server did not stop cleanly";
    }
  }
};

TEST_F(ServerExchange, RegisterAndLoginRefusalsAndSuccess) {
  start("auth", "127.0.5.1");
  TestClient c;
  client_connect(c, server.address);

  struct Case {
    RequestType type;
    const char* login;
    const char* password;
    ErrorCode expected;  // Ok: a lobby
  };
  const Case cases[] = {
      {RequestType_Register, "ab", "password1", ErrorCode_LoginTooShort},
      {RequestType_Register, "alice", "12345", ErrorCode_PasswordTooSimple},
      {RequestType_Login, "nobody", "password1", ErrorCode_LoginNotFound},
      {RequestType_Register, "alice", "password1", ErrorCode_Ok},
      {RequestType_Register, "alice", "password2", ErrorCode_LoginAlreadyExists},
      {RequestType_Login, "alice", "wrong-password", ErrorCode_Forbidden},
      {RequestType_Login, "alice", "password1", ErrorCode_Ok},
      {RequestType_Login, "ab", "password1", ErrorCode_LoginTooShort},
      // A control byte in a login could forge lines of the server's log.
      {RequestType_Register, "eve\nsession 1.2.3.4:5: logged in as 'root'", "password1", ErrorCode_BadRequest},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << request_type_name(k.type) << " " << k.login << "/" << k.password);
    // A fresh link each time: a refusal must not depend on what the session did before.
    client_connect(c, server.address);
    c.seen = Seen();
    net_send_auth(k.type, k.login, k.password);
    if (k.expected == ErrorCode_Ok) {
      EXPECT_TRUE(client_wait_lobby(c));
      EXPECT_EQ(lobby_count(), 0);
      EXPECT_EQ(net.last_ack, net.last_seq);
    } else {
      EXPECT_TRUE(client_wait_error(c, k.expected));
      EXPECT_EQ(c.seen.lobbies, 0);
    }
  }

  // Another client version is refused before anything else is looked at.
  client_connect(c, server.address);
  c.seen = Seen();
  Request r = {};
  r.type = RequestType_Login;
  r.auth.client_version = CLIENT_VERSION - 1;
  cstr_copy(r.auth.login, "alice", LOGIN_LEN);
  cstr_copy(r.auth.password, "password1", PASSWORD_LEN);
  net_send(r);
  EXPECT_TRUE(client_wait_error(c, ErrorCode_VersionMismatch));
}

TEST_F(ServerExchange, ResentRegisterIsAnsweredWithTheSameLobby) {
  // The login screen resends every 100 ms while it waits; the resend must not look like a taken login.
  start("resend", "127.0.5.2");
  TestClient c;
  client_connect(c, server.address);
  for (int i = 0; i < 3; i++) net_send_auth(RequestType_Register, "bob", "password1");
  EXPECT_TRUE(client_wait_lobby(c));
  client_pump(c, 300, [] { return false; });
  EXPECT_EQ(c.seen.errors, 0) << error_code_msg(c.seen.last_error);
  EXPECT_GE(c.seen.lobbies, 1);
}

TEST_F(ServerExchange, CreateCharactersLobbyContentsAndLimits) {
  start("create", "127.0.5.3");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_auth(c, RequestType_Register, "carol", "password1"));

  net_send_create_player("");
  EXPECT_TRUE(client_wait_error(c, ErrorCode_CannotBeEmpty));
  net_send_create_player("   ");
  EXPECT_TRUE(client_wait_error(c, ErrorCode_CannotBeEmpty));

  const char* names[] = {"Ann", "Ben", "Cid", "Dot"};
  for (int i = 0; i < 4; i++) {
    if (i > 0) client_pump(c, 1050, [] { return false; });  // one a second
    net_send_create_player(names[i]);
    ASSERT_TRUE(client_wait_lobby(c)) << names[i];
    // The answer acknowledges the create request itself: that is what the lobby screen waits for.
    EXPECT_EQ(net.last_ack, net.last_seq);
    EXPECT_EQ(lobby_count(), i + 1);
    for (int k = 0; k <= i; k++) EXPECT_STREQ(game.lobby_screen.lobby.players[k].name, names[k]);
    EXPECT_NE(game.lobby_screen.lobby.players[i].last_login.ns, 0u);
  }
  client_pump(c, 1050, [] { return false; });
  net_send_create_player("Eve");
  EXPECT_TRUE(client_wait_error(c, ErrorCode_NoSpace));
  EXPECT_TRUE(log_contains(server, "'Dot' entered the world"));

  // Names are unique across accounts.
  TestClient d;
  client_connect(d, server.address);
  ASSERT_TRUE(client_auth(d, RequestType_Register, "dave", "password1"));
  net_send_create_player("Ann");
  EXPECT_TRUE(client_wait_error(d, ErrorCode_NameAlreadyExists));

  // Logging in again lists the same four, in creation order.
  client_connect(c, server.address);
  ASSERT_TRUE(client_auth(c, RequestType_Login, "carol", "password1"));
  EXPECT_EQ(lobby_count(), 4);
  EXPECT_STREQ(game.lobby_screen.lobby.players[0].name, "Ann");
}

TEST_F(ServerExchange, EnterLocationMapAndSnapshotStream) {
  start("enter", "127.0.5.4");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_auth(c, RequestType_Register, "erin", "password1"));
  net_send_create_player("Erin");
  ASSERT_TRUE(client_wait_lobby(c));
  // Back to the lobby, then enter by name.
  net_send_quit();
  cstr_copy(c.name, "Erin", PLAYER_NAME_LEN);
  net_send_enter("Nobody");
  EXPECT_TRUE(client_wait_error(c, ErrorCode_NotFound));
  net_send_enter("Erin");
  ASSERT_TRUE(client_pump(c, 3000, [&] { return c.seen.worlds > 0; }));

  game.screen = Screen_Loading;
  net_send_start_state_updates();
  ASSERT_TRUE(client_pump(c, 3000, [&] { return c.seen.locations > 0 && c.seen.maps > 0 && c.seen.states > 0; }));
  Location& l = net_location();
  EXPECT_EQ(l.type, LocationType_World);
  EXPECT_EQ(l.width, 128);
  EXPECT_EQ(l.height, 128);
  // The map is one channel of tile bytes, the same tiles as the location.
  ASSERT_EQ(game.world_map.width, l.width);
  ASSERT_EQ(game.world_map.height, l.height);
  EXPECT_EQ(memcmp(game.world_map.tiles, l.tiles, (size_t)(l.width * l.height)), 0);

  // Our character is in every snapshot, by name, with its gear and bag.
  ASSERT_NE(game.player, nullptr);
  EXPECT_STREQ(game.player->person.name, "Erin");
  EXPECT_TRUE(has_component(*game.player, Component_Mover));
  EXPECT_NE(game.player->container.slots[0], 0u);
  Entity* bag = find_entity_by_id(game.player->container.slots[0]);
  ASSERT_NE(bag, nullptr);
  EXPECT_EQ(bag->type, Entity_bag);
  EXPECT_FALSE(is_admin(*game.player));
  EXPECT_GT(entity_storage.nentities, 20);
  TileType under = get_tile_at(l, game.player->pos);
  EXPECT_TRUE(under != TileType_DeepWater && under != TileType_ShallowWater) << "spawned in water";

  // A steady stream: at 60 a second, well over 10 in 400 ms.
  int before = c.seen.states;
  client_pump(c, 400, [] { return false; });
  EXPECT_GE(c.seen.states - before, 10);

  // Steering moves the character.
  v2 start_pos = game.player->pos;
  net_send_vector(RequestType_SetDst, start_pos + v2{48, 0});
  client_pump(c, 2000, [&] { return game.player && v2_distance(game.player->pos, start_pos) > 30; });
  ASSERT_NE(game.player, nullptr);
  EXPECT_GT(v2_distance(game.player->pos, start_pos), 30);

  // Admin requests need an admin.
  net_send_toggle_pause();
  EXPECT_TRUE(client_wait_error(c, ErrorCode_Forbidden));
}

TEST_F(ServerExchange, AdminsGetTheirBlockAndTheirRequests) {
  start("admin", "127.0.5.9", {"--admin", "zed", "--admin", "nobody"}, "zed");
  // The operator is told about an admin login without an account; nobody may register it over the wire.
  EXPECT_TRUE(log_contains(server, "--admin 'nobody' has no account"));
  EXPECT_FALSE(log_contains(server, "--admin 'zed' has no account"));
  TestClient a, z;
  client_connect(a, server.address);
  EXPECT_FALSE(client_auth(a, RequestType_Register, "nobody", "password1"));
  EXPECT_EQ(a.seen.last_error, ErrorCode_Forbidden);
  client_connect(a, server.address);
  ASSERT_TRUE(client_enter_new(a, "amy", "Amy"));
  EXPECT_FALSE(is_admin(*game.player));
  client_connect(z, server.address);
  ASSERT_TRUE(client_enter_new(z, "zed", "Zed", RequestType_Login));
  ASSERT_TRUE(is_admin(*game.player));
  // The admin block lists both players; the client read it because its own entity is an admin.
  EXPECT_EQ(game.admin.nplayers, 2u);

  v2 target = net_location().size * 0.25f;
  net_send_vector(RequestType_Teleport, target);
  EXPECT_TRUE(client_pump(z, 2000, [&] { return game.player && v2_distance(game.player->pos, target) < 2; }));

  net_send_add_entity(target + v2{64, 0}, Entity_stag, 0);
  EXPECT_TRUE(client_pump(z, 2000, [&] {
    return locate_entity_by_type(Entity_stag, in_radius(game.player, 100, game.player->pos)) != nullptr;
  }));

  Entity* stag = locate_entity_by_type(Entity_stag, in_radius(game.player, 100, game.player->pos));
  ASSERT_NE(stag, nullptr);
  Id stag_id = stag->id;
  net_send_kill(stag_id);
  EXPECT_TRUE(client_pump(z, 2000, [&] {
    Entity* e = find_entity_by_id(stag_id);
    return e && !is_alive(*e);
  }));

  GameTime noon;
  noon.hour = 12;
  noon.second = 30;
  net_send_set_time(noon);
  EXPECT_TRUE(client_pump(z, 2000, [&] { return game.game_time.hour == 12; }));

  // An invisible admin is still seen by itself.
  Id zed_id = game.player->id;
  net_send_toggle_invisible(zed_id);
  EXPECT_TRUE(client_pump(z, 2000, [&] { return game.player && (game.player->flags & EntityFlag_Invisible); }));

  // Pause: a later enter says so in its flags.
  net_send_toggle_pause();
  EXPECT_TRUE(wait_for_log(server, "paused by 'Zed'", 2000));
  game.paused = false;
  net_send_enter("Zed");
  EXPECT_TRUE(client_pump(z, 2000, [&] { return z.seen.worlds > 0; }));
  EXPECT_TRUE(game.paused);

  // Not for the others.
  client_use(a);
  a.seen.errors = 0;
  net_send_vector(RequestType_Teleport, target);
  EXPECT_TRUE(client_wait_error(a, ErrorCode_Forbidden));
}

TEST_F(ServerExchange, DevModeAcceptsAnyLoginAndCreatesTheAccount) {
  start("dev", "127.0.5.10", {"--dev"});
  TestClient c;
  client_connect(c, server.address);
  EXPECT_TRUE(client_auth(c, RequestType_Login, "me", "x"));
  client_connect(c, server.address);
  EXPECT_TRUE(client_auth(c, RequestType_Login, "me", "another"));
  EXPECT_TRUE(log_contains(server, "registered 'me'"));
}

TEST_F(ServerExchange, ChatReachesEveryPlayerInTheWorld) {
  start("chat", "127.0.5.5");
  TestClient a, b;
  client_connect(a, server.address);
  ASSERT_TRUE(client_enter_new(a, "fay", "Fay"));
  client_connect(b, server.address);
  ASSERT_TRUE(client_enter_new(b, "gus", "Gus"));

  // The entity storage is shared by the two test clients: take Fay's id from a snapshot of her own.
  int states = a.seen.states;
  ASSERT_TRUE(client_pump(a, 2000, [&] { return a.seen.states > states; }));
  Id fay_id = game.player ? game.player->id : 0;
  client_use(b);
  int before = b.seen.chats;
  client_use(a);
  net_send_chat("hello from fay");
  ASSERT_TRUE(client_pump(b, 2000, [&] { return b.seen.chats > before; }));
  const ChatMessage* m = chat_recent(0);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text, "hello from fay");
  EXPECT_STREQ(m->sender_name, "Fay");
  EXPECT_EQ(m->sender_id, fay_id);
  EXPECT_NE(m->sent_time.ns, 0u);
  // Each sees the other in its snapshots.
  client_pump(b, 200, [] { return false; });
  bool sees_fay = false;
  ASSERT_NE(game.player, nullptr);
  for (int i = 0; i < entity_storage.nentities; i++)
    sees_fay = sees_fay || (has_component(entity_storage.entities[i], Component_Person) &&
                            cstr_equal(entity_storage.entities[i].person.name, "Fay"));
  EXPECT_TRUE(sees_fay);
}

TEST_F(ServerExchange, QuitDisconnectAndTimeOutEndTheCharactersStay) {
  start("leave", "127.0.5.6", {"--session-timeout", "400"});
  TestClient a;
  client_connect(a, server.address);
  ASSERT_TRUE(client_enter_new(a, "hal", "Hal"));

  // Quit: the stream stops, the session stays logged in.
  net_send_quit();
  ASSERT_TRUE(wait_for_log(server, "'Hal' left the world", 2000));
  client_pump(a, 100, [] { return false; });
  int states = a.seen.states;
  client_pump(a, 300, [] { return false; });
  EXPECT_EQ(a.seen.states, states);
  net_send_enter("Hal");
  EXPECT_TRUE(client_pump(a, 2000, [&] { return a.seen.worlds > 0; }));

  // Disconnect ends the session at once.
  net_disconnect();
  EXPECT_TRUE(wait_for_log(server, "ended (disconnected)", 2000));

  // Silence ends it after the time-out.
  TestClient b;
  client_connect(b, server.address);
  ASSERT_TRUE(client_enter_new(b, "ivy", "Ivy"));
  EXPECT_FALSE(log_contains(server, "ended (timed out)"));
  EXPECT_TRUE(wait_for_log(server, "ended (timed out)", 3000));
  EXPECT_TRUE(log_contains(server, "'Ivy' left the world"));
}

TEST_F(ServerExchange, RestartKeepsAccountsCharactersAndPositions) {
  start("persist", "127.0.5.7");
  TestClient a;
  client_connect(a, server.address);
  ASSERT_TRUE(client_enter_new(a, "jan", "Jan"));
  ASSERT_NE(game.player, nullptr);
  v2 target = game.player->pos + v2{-40, 24};
  net_send_vector(RequestType_SetDst, target);
  ASSERT_TRUE(client_pump(a, 3000, [&] { return game.player && v2_distance(game.player->pos, target) < 1; }));
  Id bag_id = game.player->container.slots[0];
  EXPECT_NE(bag_id, 0u);
  net_send_create_player("Jan2");  // a second character, never entered since
  if (!client_wait_lobby(a, 500)) {
    // Created within a second of the first: refused with a cooldown, asked again.
    client_pump(a, 1000, [] { return false; });
    net_send_create_player("Jan2");
  }
  ASSERT_TRUE(client_wait_lobby(a));
  net_send_quit();
  ASSERT_TRUE(wait_for_log(server, "'Jan' left the world", 2000));
  client_close(a);

  // Stopped with SIGTERM, which saves everyone still in the world.
  EXPECT_EQ(server_stop(server), 0);
  ASSERT_TRUE(server_start(server, server.address, false));
  TestClient b;
  client_connect(b, server.address);
  ASSERT_TRUE(client_auth(b, RequestType_Login, "jan", "password1"));
  EXPECT_EQ(lobby_count(), 2);
  EXPECT_STREQ(game.lobby_screen.lobby.players[0].name, "Jan");
  EXPECT_STREQ(game.lobby_screen.lobby.players[1].name, "Jan2");

  for (const char* name : {"Jan", "Jan2"}) {
    SCOPED_TRACE(name);
    if (cstr_equal(name, "Jan2")) client_pump(b, 1050, [] { return false; });  // one enter a second
    ASSERT_TRUE(client_enter(b, name));
    if (cstr_equal(name, "Jan")) {
      EXPECT_LT(v2_distance(game.player->pos, target), 1.0f) << "re-entered where it left";
    }
    Entity* bag = find_entity_by_id(game.player->container.slots[0]);
    ASSERT_NE(bag, nullptr) << "the bag came back";
    EXPECT_EQ(bag->type, Entity_bag);
  }
  wait_for_log(server, "'Jan2' entered", 1000);
  EXPECT_EQ(server_stop(server), 0);

  // The database holds hashes only: no password in clear anywhere in the file.
  Buffer file = read_file(server.db);
  ASSERT_NE(file.data, nullptr);
  EXPECT_EQ(memmem(file.data, (size_t)file.size, "password1", 9), nullptr);
  buffer_free(&file);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(server.db, &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT password_hash FROM accounts WHERE login = 'jan'", -1, &stmt, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(strncmp((const char*)sqlite3_column_text(stmt, 0), "$argon2id$", 10), 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  server.pid = 0;
}

TEST_F(ServerExchange, FloodOfBrokenRequestsLeavesOtherSessionsAlone) {
  start("flood", "127.0.5.8");
  TestClient a;
  client_connect(a, server.address);
  ASSERT_TRUE(client_enter_new(a, "kim", "Kim"));
  v2 pos = game.player->pos;
  u32 hp_max = (u32)game.player->mortal.hp.max;

  // A second socket from another port sends garbage of every shape.
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(s, 0);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(SERVER_PORT);
  inet_pton(AF_INET, server.address, &to.sin_addr);
  srand(5);
  u8 buffer[400];
  for (int i = 0; i < 4000; i++) {
    int size = (i % 3 == 0) ? 137 : rand() % 400;
    for (int k = 0; k < size; k++) buffer[k] = (u8)rand();
    if (i % 3 == 0) buffer[4] = (u8)(rand() % 40);  // mostly real request kinds, with random payloads
    if (i % 7 == 0 && size == 137) buffer[4] = RequestType_Register;
    sendto(s, buffer, (size_t)size, 0, (sockaddr*)&to, sizeof(to));
    if (i % 200 == 0) client_pump(a, 5, [] { return false; });
  }
  close(s);

  int before = a.seen.states;
  ASSERT_TRUE(client_pump(a, 2000, [&] { return a.seen.states > before + 5; })) << "the stream stopped";
  ASSERT_NE(game.player, nullptr);
  EXPECT_STREQ(game.player->person.name, "Kim");
  EXPECT_LT(v2_distance(game.player->pos, pos), 1.0f);
  EXPECT_EQ((u32)game.player->mortal.hp.max, hp_max);
  EXPECT_FALSE(is_admin(*game.player));
}

// The entrance by the spawn leads into the dungeon, a smaller location whose snapshots hold nothing of the
// world, lit by its torch; a character saved down there comes back there after a restart, and the
// staircase still leads out by the entrance it took.
TEST_F(ServerExchange, AnEntranceLeadsIntoTheDungeonAndBackOutAcrossARestart) {
  start("dungeon", "127.0.5.41");
  TestClient c, again;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "delver", "Dara"));
  auto entrance = []() -> Entity* {
    for (int i = 0; i < entity_storage.nentities; i++)
      if (entity_storage.entities[i].id && has_component(entity_storage.entities[i], Component_Entrance))
        return &entity_storage.entities[i];
    return nullptr;
  };
  auto reach = [&](TestClient& k, LocationType type) {
    int states = k.seen.states;
    return client_pump(k, 15000, [&] {
      return net_location().type == type && game.player && game.player->location.type == type && k.seen.states > states;
    });
  };
  ASSERT_TRUE(client_pump(c, 3000, [&] { return entrance() != nullptr; })) << "no entrance near the spawn";
  s32 world_tiles = net_location().width * net_location().height;
  Entity door = *entrance();
  int maps = c.seen.maps;
  net_send_run_action(door.id, ActionType_Enter);
  ASSERT_TRUE(reach(c, LocationType_Dungeon));
  EXPECT_GT(c.seen.maps, maps);
  EXPECT_LT(net_location().width * net_location().height, world_tiles);
  int on_ground = 0;
  for (int i = 0; i < entity_storage.nentities; i++) {
    const Entity& e = entity_storage.entities[i];
    if (!e.id || (is_item(e) && in_container(e))) continue;
    on_ground++;
    EXPECT_EQ(e.location.type, LocationType_Dungeon) << entity_type_name(e.type);
  }
  EXPECT_GT(on_ground, 5);
  ASSERT_NE(entrance(), nullptr) << "no staircase out";
  Entity* torch = seen_at(Entity_torch, game.player->pos, 6 * tile_size);
  ASSERT_TRUE(torch && (torch->flags & EntityFlag_Burning)) << "the dungeon is lit";
  net_send_run_action(torch->id, ActionType_PickUp);
  EXPECT_TRUE(client_wait_error(c, ErrorCode_CannotDoThat, 15000)) << "its torch stays where it is";

  EXPECT_EQ(server_stop(server), 0);  // saves everyone in the world
  ASSERT_TRUE(server_start(server, server.address, false));
  client_connect(again, server.address);
  ASSERT_TRUE(client_auth(again, RequestType_Login, "delver", "password1") && client_enter(again, "Dara"));
  ASSERT_TRUE(reach(again, LocationType_Dungeon)) << "back where it was saved";
  ASSERT_NE(entrance(), nullptr);
  net_send_run_action(entrance()->id, ActionType_Enter);
  ASSERT_TRUE(reach(again, LocationType_World));
  EXPECT_LT(v2_distance(game.player->pos, door.pos), 4 * tile_size) << "back by the entrance";
}

// An administrator (who can make supplies) plays what the crafting, building and blueprint windows send.
TEST_F(ServerExchange, CraftingBuildingAndBlueprintsTakeEffectThroughTheWire) {
  start("craft", "127.0.5.42", {"--admin", "maker"}, "maker");
  load_entity_registry();
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "maker", "Mako", RequestType_Login));
  v2 home = game.player->pos;
  EntityType cooked = recipe_kind(true, 1), building = recipe_kind(false, -1);
  const Recipe &cooking = find_entity_info(cooked)->recipe, &recipe = find_entity_info(building)->recipe;
  auto wait = [&](auto done) { return client_expect(c, done); };
  auto refused = [&] { return client_wait_error(c, ErrorCode_CannotDoThat, 10000); };

  // Crafting takes the ingredients from the bag and wants its station that burns (the camp's fire) in reach
  // and lit; a refusal takes nothing, and a building is never crafted.
  auto give_ingredients = [&] {
    for (int i = 0; i < INGREDIENTS_MAX && cooking.ingredients[i].type; i++)
      if (!client_admin_give(c, cooking.ingredients[i].type, cooking.ingredients[i].count)) return false;
    return true;
  };
  net_send_craft(cooked);
  EXPECT_TRUE(refused()) << "nothing to make it of";
  ASSERT_TRUE(give_ingredients());
  Id fire = seen_at(cooking.equipment, home, 8 * tile_size)->id;
  net_send_run_action(fire, ActionType_Open);  // walked up to
  ASSERT_TRUE(wait([&] { return can_use(*game.player, *find_entity_by_id(fire)); }));
  net_send_craft(cooked);
  EXPECT_TRUE(refused()) << "a cold station";
  net_send_run_action(fire, ActionType_Ignite);
  EXPECT_TRUE(wait([&] { return find_entity_by_id(fire) && find_entity_by_id(fire)->flags & EntityFlag_Burning; }));
  net_send_craft(cooked);
  EXPECT_TRUE(wait([&] { return bag_count_of(cooked) == 1 && !bag_count_of(cooking.ingredients[0].type); }));
  ASSERT_TRUE(client_walk(c, home) && give_ingredients());
  ASSERT_FALSE(can_use(*game.player, *find_entity_by_id(fire)));
  net_send_craft(cooked);
  EXPECT_TRUE(refused()) << "a lit station out of reach";
  EXPECT_EQ(bag_count_of(cooking.ingredients[0].type), cooking.ingredients[0].count);
  EXPECT_EQ(bag_count_of(cooked), 1);
  net_send_craft(building);
  EXPECT_TRUE(client_wait_error(c, ErrorCode_BadRequest, 10000)) << "buildings are built, not crafted";

  // A blank is set down snapped and turned, takes its ingredients one by one (no more than it needs), and
  // is built into the building where it stands; an administrator fills one without items.
  EntityType wood = recipe.ingredients[0].type;
  ASSERT_TRUE(client_admin_give(c, wood, recipe.ingredients[0].count + 1));
  auto blank_at = [&](v2 pos) {
    return seen_near(pos, 1, [](const Entity& e) { return has_component(e, Component_Blank); });
  };
  auto place = [&](v2 dst, int rotation) {  // snapped; then walked up to, as opening its window does
    v2 pos = round_to_location(net_location(), dst, 0.5f);
    net_send_build_place(dst, building, rotation);
    if (!wait([&] { return blank_at(pos); })) return Id(0);
    net_send_run_action(blank_at(pos)->id, ActionType_Open);
    return wait([&] { return blank_at(pos) && can_use(*game.player, *blank_at(pos)); }) ? blank_at(pos)->id : 0;
  };
  v2 at = round_to_location(net_location(), home + v2{-37.3f, 11.1f}, 0.5f);
  Id blank = place(home + v2{-37.3f, 11.1f}, 3);
  ASSERT_TRUE(blank && blank_at(at)->blank.type == building && flags_to_rotation(blank_at(at)->flags) == 3);
  for (int k = 0; k < recipe.ingredients[0].count; k++) {
    net_send_build_add(blank, find_item_by_type(*game.player, wood)->id, false);
    EXPECT_TRUE(wait([&] { return blank_at(at) && blank_at(at)->blank.ingredients[0] == k + 1; }));
  }
  net_send_build_add(blank, find_item_by_type(*game.player, wood)->id, false);
  EXPECT_TRUE(refused()) << "a complete ingredient takes no more";
  net_send_build(blank);
  ASSERT_TRUE(wait([&] { return !blank_at(at) && seen_at(building, at, 1); }));
  EXPECT_EQ(flags_to_rotation(seen_at(building, at, 1)->flags), 3);
  Id built = seen_at(building, at, 1)->id;
  v2 second = round_to_location(net_location(), at + v2{16, 8}, 0.5f);
  Id other_blank = place(second, 1);
  net_send_build_add(other_blank, 0, true);
  EXPECT_TRUE(wait([&] { return blank_at(second)->blank.ingredients[0] == recipe.ingredients[0].count; }));

  // A blueprint takes in the building and the blank (as its building), and is placed turned: the first
  // element on the spot, the second at its distance turned, each with its own turn added.
  ASSERT_TRUE(client_admin_give(c, Entity_blueprint));
  Id bp = find_item_by_type(*game.player, Entity_blueprint)->id;
  net_send_blueprint_add(bp, built);
  net_send_blueprint_add(bp, other_blank);
  net_send_blueprint_save(bp, "Hut");
  ASSERT_TRUE(wait([&] {
    Entity* item = find_entity_by_id(bp);
    return item && cstr_equal(item->blueprint.name, "Hut") && blueprint_nelements(item->blueprint) == 2;
  }));
  v2 spot = round_to_location(net_location(), home + v2{-20, 70}, 0.5f), turned = v2_rotate(second - at, M_PI / 2);
  v2 next = spot + v2{roundf(turned.x), roundf(turned.y)};
  net_send_blueprint_place(bp, spot, 1);
  ASSERT_TRUE(wait([&] { return blank_at(spot) && blank_at(next); }));
  EXPECT_EQ(flags_to_rotation(blank_at(spot)->flags), 0);
  EXPECT_EQ(flags_to_rotation(blank_at(next)->flags), 2);
}

// The work goes on with the next piece at hand, and a cart takes a burden and carries it along.
TEST_F(ServerExchange, WorkGoesOnWithTheNextPieceAndACartCarriesABurden) {
  start("work", "127.0.5.43", {"--admin", "hand"}, "hand");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "hand", "Hanna", RequestType_Login));
  auto wait = [&](auto done) { return client_expect(c, done, 30000); };
  auto flagged = [](Id id, u32 flag) { return find_entity_by_id(id) && find_entity_by_id(id)->flags & flag; };
  v2 home = game.player->pos, west = home + v2{-40, 0}, further = home + v2{-75, 0};
  ASSERT_TRUE(client_admin_give(c, Entity_stone_pickaxe) && client_admin_give(c, Entity_bone_knife));
  net_send_move_entity(find_item_by_type(*game.player, Entity_stone_pickaxe)->id, game.player->id, GearSlot_RightHand);
  net_send_move_entity(find_item_by_type(*game.player, Entity_bone_knife)->id, game.player->id, GearSlot_LeftHand);
  ASSERT_TRUE(
      wait([&] { return gear_at(*game.player, GearSlot_LeftHand) && gear_at(*game.player, GearSlot_RightHand); }));

  // Two rocks side by side (west, where the camp leaves the way clear), then two hides in the bag.
  net_send_add_entity(west, Entity_rock, 0);
  net_send_add_entity(further, Entity_rock, 0);
  ASSERT_TRUE(wait([&] { return seen_at(Entity_rock, west, 2) && seen_at(Entity_rock, further, 2); }));
  int stones = bag_count_of(Entity_stone);
  net_send_run_action(seen_at(Entity_rock, west, 2)->id, ActionType_Crush);
  EXPECT_TRUE(wait([&] { return !seen_at(Entity_rock, (west + further) * 0.5f, 40); }));
  EXPECT_GE(bag_count_of(Entity_stone), stones + 2);
  ASSERT_TRUE(client_admin_give(c, Entity_leather, 2));
  net_send_run_action(find_item_by_type(*game.player, Entity_leather)->id, ActionType_Cut);
  EXPECT_TRUE(wait([&] { return bag_count_of(Entity_leather_strip) == 6 && !bag_count_of(Entity_leather); }));

  // A lifted log goes into a cart (walked up to), rides along while the cart is pulled, and is lifted out again.
  v2 here = game.player->pos;
  net_send_add_entity(here + v2{0, 40}, Entity_tree_log, 0);
  net_send_add_entity(here + v2{50, 0}, Entity_cart, 0);
  ASSERT_TRUE(wait([&] { return seen_at(Entity_tree_log, here, 96) && seen_at(Entity_cart, here, 96); }));
  Id log = seen_at(Entity_tree_log, here, 96)->id, cart = seen_at(Entity_cart, here, 96)->id;
  net_send_lift_entity(log);
  ASSERT_TRUE(wait([&] { return game.player->mortal.burden == log; }));
  net_send_run_action(cart, ActionType_Open);
  ASSERT_TRUE(wait([&] { return can_use(*game.player, *find_entity_by_id(cart)); }));
  net_send_move_entity(log, cart, SlotAny);
  ASSERT_TRUE(wait([&] { return !game.player->mortal.burden && find_entity_by_id(log)->carrier == cart; }));
  net_send_run_action(cart, ActionType_Pull);
  ASSERT_TRUE(wait([&] { return flagged(cart, EntityFlag_Pulled); }));
  v2 cart_at = find_entity_by_id(cart)->pos;
  ASSERT_TRUE(client_walk(c, game.player->pos + v2{80, 0}));
  EXPECT_GT(v2_distance(find_entity_by_id(cart)->pos, cart_at), 40) << "the cart follows";
  net_send_run_action(cart, ActionType_Release);
  ASSERT_TRUE(wait([&] { return !flagged(cart, EntityFlag_Pulled); }));
  net_send_run_action(log, ActionType_Lift);
  EXPECT_TRUE(wait([&] { return game.player->mortal.burden == log; }));
}
