// The login, lobby, loading and world screens' rules, driven against a scripted server on loopback.
#include <gtest/gtest.h>

#include <string>

#include "location.hpp"
#include "state_body.hpp"
#include "net_peer.hpp"
#include "screens/screens.hpp"
#include "test_files.hpp"
#include "ui/ui.hpp"
#include "expect_near.hpp"

namespace {

struct ScreensTest : ::testing::Test {
  ScriptedPeer peer;
  char saved_cwd[512] = {};
  TempDir workdir;
  bool in_workdir = false;

  void SetUp() override {
    net_test_reset();
    memset((void*)&ui, 0, sizeof(ui));
    ui_begin();
    game.login_screen = LoginScreen{};
    game.lobby_screen = LobbyScreen{};
    game.config.auto_login = 0;
    game.config.login[0] = 0;
    game.config.path = nullptr;
    game.wasd = game.last_wasd = 0;
    renderer.camera.yaw = 0;
    // Each test on its own loopback address (from its name), so the tests can run in parallel.
    const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    u32 h = 2166136261u;
    for (const char* c = name; *c; c++) h = (h ^ (u8)*c) * 16777619u;
    char ip[32];
    snprintf(ip, sizeof(ip), "127.0.%u.%u", 9 + (h >> 8) % 8, 1 + h % 250);
    ASSERT_TRUE(peer.start(ip));
    ASSERT_TRUE(getcwd(saved_cwd, sizeof(saved_cwd)));
  }

  void TearDown() override {
    if (in_workdir) {
      ASSERT_EQ(chdir(saved_cwd), 0);
    }
    game.config.path = nullptr;
    deactivate_text_input();
    net_test_reset();
  }

  // Runs the test inside a fresh folder whose "config.ini" is the loaded configuration, so saving writes it.
  void use_config_file() {
    ASSERT_EQ(chdir(workdir.path.c_str()), 0);
    in_workdir = true;
    game.config.path = "config.ini";
  }

  // Every request that arrives within the wait, oldest first.
  std::vector<Request> drain(int wait_ms = 100) {
    std::vector<Request> out;
    Request r;
    while (peer.receive(r, wait_ms)) out.push_back(r);
    return out;
  }

  static void set_lobby(std::initializer_list<const char*> names) {
    game.lobby_screen.lobby = Lobby{};
    int i = 0;
    for (const char* n : names) memcpy(game.lobby_screen.lobby.players[i++].name, n, strnlen(n, PLAYER_NAME_LEN));
  }
};

// --- login

TEST_F(ScreensTest, LoginEnterSendsOnlyWithAutoLoginAndAStoredLogin) {
  struct Case {
    int auto_login;
    const char* login;
    bool sends;
  } cases[] = {
      {0, "ann@example.org", false},
      {1, "ann@example.org", true},
      {2, "ann@example.org", true},
      {1, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "auto_login " << c.auto_login << " login '" << c.login << "'");
    game.login_screen = LoginScreen{};
    game.config.auto_login = c.auto_login;
    cstr_copy(game.config.login, c.login, sizeof(game.config.login));
    login_screen_enter();
    EXPECT_STREQ(game.login_screen.login.text.cstr(), c.login);
    EXPECT_EQ(game.login_screen.password.mask_char, '*');
    std::vector<Request> sent = drain();
    if (c.sends) {
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0].type, RequestType_Login);
      EXPECT_STREQ(sent[0].auth.login, c.login);
      EXPECT_EQ(game.login_screen.request_type_in_progress, RequestType_Login);
      EXPECT_EQ(ui.active_element.text, nullptr);
    } else {
      EXPECT_TRUE(sent.empty());
      EXPECT_EQ(game.login_screen.request_type_in_progress, RequestType_None);
      EXPECT_TRUE(text_input_is_active(game.login_screen.login));
    }
  }
}

TEST_F(ScreensTest, SecondLoginWhilePendingSendsNothing) {
  login_screen_enter();
  text_set(game.login_screen.login.text, Str("bob"));
  text_set(game.login_screen.password.text, Str("secret"));
  try_auth(RequestType_Login);
  try_auth(RequestType_Login);
  try_auth(RequestType_Register);
  std::vector<Request> sent = drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, RequestType_Login);
  EXPECT_STREQ(sent[0].auth.password, "secret");
}

TEST_F(ScreensTest, ChangedLoginIsSavedOnceAndTheSameLoginNotAgain) {
  use_config_file();
  login_screen_enter();
  text_set(game.login_screen.login.text, Str("carol"));
  try_auth(RequestType_Login);
  EXPECT_STREQ(game.config.login, "carol");
  EXPECT_TRUE(file_exists("config.ini"));

  // The answer was an error: the next attempt with the same login must not write the file again.
  ASSERT_EQ(unlink("config.ini"), 0);
  net.last_error.code = ErrorCode_LoginNotFound;
  login_screen_error();
  EXPECT_EQ(game.login_screen.request_type_in_progress, RequestType_None);
  try_auth(RequestType_Login);
  EXPECT_FALSE(file_exists("config.ini"));
  EXPECT_EQ(drain().size(), 2u);
}

TEST_F(ScreensTest, AnErrorEndsTheRequestAndRefocusesTheLoginField) {
  login_screen_enter();
  text_set(game.login_screen.login.text, Str("dan"));
  try_auth(RequestType_Register);
  EXPECT_EQ(ui.active_element.text, nullptr);

  // No error yet: still waiting.
  login_screen_error();
  EXPECT_EQ(game.login_screen.request_type_in_progress, RequestType_Register);

  net.last_error.code = ErrorCode_LoginAlreadyExists;
  login_screen_error();
  EXPECT_EQ(game.login_screen.request_type_in_progress, RequestType_None);
  EXPECT_TRUE(text_input_is_active(game.login_screen.login));
  // The error box carries the error's own text.
  bool shown = false;
  for (int i = 0; i < ui.nelements; i++) {
    if (strcmp(ui.elements[i].text.cstr(), error_code_msg(ErrorCode_LoginAlreadyExists)) == 0) shown = true;
  }
  EXPECT_TRUE(shown);

  // The player had moved on to the password field: the focus stays there.
  try_auth(RequestType_Login);
  activate_text_input(game.login_screen.password);
  net.last_error.code = ErrorCode_LoginNotFound;
  login_screen_error();
  EXPECT_TRUE(text_input_is_active(game.login_screen.password));
}

// --- lobby

TEST_F(ScreensTest, LobbyEnterByAccountAndAutoLogin) {
  struct Case {
    const char* first;  // "" = the account has no character
    int auto_login;
    bool creating;
    bool enters;
  } cases[] = {
      {"", 0, true, false},       {"", 2, true, false},      {"Rowan", 0, false, false},
      {"Rowan", 1, false, false}, {"Rowan", 2, false, true}, {"Rowan", 3, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "first '" << c.first << "' auto_login " << c.auto_login);
    game.lobby_screen = LobbyScreen{};
    set_lobby({c.first, "Second"});
    game.config.auto_login = c.auto_login;
    deactivate_text_input();
    lobby_screen_enter();
    EXPECT_EQ(game.lobby_screen.creating_mode, c.creating);
    EXPECT_EQ(text_input_is_active(game.lobby_screen.new_name), c.creating);
    EXPECT_EQ(game.config.auto_login, 0);
    std::vector<Request> sent = drain();
    if (c.enters) {
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0].type, RequestType_Enter);
      EXPECT_STREQ(sent[0].enter.name, c.first);
      EXPECT_STREQ(game.player_name, c.first);
    } else {
      EXPECT_TRUE(sent.empty());
    }
  }
}

TEST_F(ScreensTest, EnterAndCreateSendOneRequestWhilePending) {
  set_lobby({"Rowan"});
  lobby_screen_enter();
  enter_world("Rowan");
  enter_world("Rowan");
  game.lobby_screen.new_name.max_len = PLAYER_NAME_LEN;
  text_set(game.lobby_screen.new_name.text, Str("Ivy"));
  create_new_player();
  create_new_player();
  std::vector<Request> sent = drain();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].type, RequestType_Enter);
  EXPECT_EQ(sent[1].type, RequestType_CreatePlayer);
  EXPECT_STREQ(sent[1].create_player.name, "Ivy");
  EXPECT_STREQ(game.player_name, "Ivy");
}

TEST_F(ScreensTest, AFullLengthLobbyNameIsEnteredTerminated) {
  // The wire gives 32 bytes with no room for a terminator; the name must not run into the next slot.
  char full[PLAYER_NAME_LEN];
  memset(full, 'k', sizeof(full));
  game.lobby_screen.lobby = Lobby{};
  memcpy(game.lobby_screen.lobby.players[0].name, full, sizeof(full));
  memcpy(&game.lobby_screen.lobby.players[0].last_login, "XXXXXXXX", 8);
  game.config.auto_login = 2;
  lobby_screen_enter();
  ASSERT_NE(game.player_name, nullptr);
  std::vector<Request> sent = drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(strnlen(sent[0].enter.name, sizeof(sent[0].enter.name)), (size_t)PLAYER_NAME_LEN - 1);
  // The snapshots are searched for the name that went out, not the longer one of the slot.
  EXPECT_STREQ(game.player_name, sent[0].enter.name);
}

TEST_F(ScreensTest, LobbyOutcomeOfNameErrorsAndAcknowledgedCreation) {
  struct Case {
    ErrorCode error;
    bool creating;
    bool acked;
    const char* shown;
    bool created;
    bool entering_after;  // an enter request was pending before; is it still?
  } cases[] = {
      {ErrorCode_NameAlreadyExists, true, true, "Name already exists", false, false},
      {ErrorCode_CannotBeEmpty, true, true, "Name must not be empty", false, false},
      // Every other refusal of a create request is shown too, and the lobby stays.
      {ErrorCode_NoSpace, true, true, "No Space", false, false},
      {ErrorCode_ServerBusy, true, true, error_code_msg(ErrorCode_ServerBusy), false, false},
      {ErrorCode_BadRequest, true, false, error_code_msg(ErrorCode_BadRequest), false, false},
      {ErrorCode_Ok, true, true, nullptr, true, true},
      {ErrorCode_Ok, true, false, nullptr, false, true},
      {ErrorCode_Ok, false, true, nullptr, false, true},
      // Other errors are not the lobby's to show, but a refused entry is over.
      {ErrorCode_NotFound, false, true, nullptr, false, false},
      {ErrorCode_ServerBusy, false, true, nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "error " << c.error << " creating " << c.creating << " acked " << c.acked);
    deactivate_text_input();
    game.lobby_screen.refusal = ErrorCode_Ok;
    game.lobby_screen.enter_in_progress = true;
    game.lobby_screen.creating_mode = c.creating;
    game.lobby_screen.creation_in_progress = c.creating;
    net.last_error.code = c.error;
    game.lobby_screen.creation_seq = 7;
    net.last_seq = 8;  // a heartbeat left after the create request
    net.last_ack = c.acked ? 7 : 6;
    LobbyOutcome out = lobby_screen_outcome();
    if (c.shown) {
      ASSERT_NE(out.error, nullptr);
      EXPECT_STREQ(out.error, c.shown);
      EXPECT_FALSE(game.lobby_screen.creation_in_progress);
      EXPECT_TRUE(text_input_is_active(game.lobby_screen.new_name));
    } else {
      EXPECT_EQ(out.error, nullptr);
    }
    EXPECT_EQ(out.created, c.created);
    EXPECT_EQ(game.lobby_screen.enter_in_progress, c.entering_after);
  }
}

TEST_F(ScreensTest, ARefusedCreateKeepsTheLobbyAndItsMessageAfterLaterPackets) {
  set_lobby({"Rowan"});
  lobby_screen_enter();
  game.screen = Screen_Lobby;
  game.lobby_screen.creating_mode = true;
  text_set(game.lobby_screen.new_name.text, Str("Ivy"));
  create_new_player();
  std::vector<Request> sent = drain();
  ASSERT_EQ(sent.size(), 1u);
  Packet refusal = make_packet(PacketType_Error, sent[0].seq, 1000, 4);
  refusal.error.code = ErrorCode_NoSpace;
  peer.send(refusal);
  // The heartbeat after it is acknowledged too: that is no creation.
  net_send_heartbeat();
  drain();
  Packet lobby = make_packet(PacketType_Lobby, net.last_seq, 1500, 160);
  cstr_copy(lobby.lobby.players[0].name, "Rowan", PLAYER_NAME_LEN);
  peer.send(lobby);
  for (int frame = 0; frame < 3; frame++) {
    settle();
    net_update();
    LobbyOutcome out = lobby_screen_outcome();
    EXPECT_FALSE(out.created);
    ASSERT_NE(out.error, nullptr);
    EXPECT_STREQ(out.error, "No Space");
  }
  EXPECT_EQ(game.screen, Screen_Lobby);
  EXPECT_FALSE(game.lobby_screen.creation_in_progress);
  EXPECT_TRUE(text_input_is_active(game.lobby_screen.new_name));
}

TEST_F(ScreensTest, NoCreateRequestWithFourCharacters) {
  set_lobby({"A", "B", "C", "D"});
  lobby_screen_enter();
  EXPECT_EQ(lobby_character_count(), LOBBY_PLAYERS_MAX);
  text_set(game.lobby_screen.new_name.text, Str("Ivy"));
  create_new_player();
  EXPECT_TRUE(drain(50).empty());
  EXPECT_FALSE(game.lobby_screen.creation_in_progress);
  set_lobby({"A", "B", "C"});
  create_new_player();
  EXPECT_EQ(drain().size(), 1u);
}

// The name typed is sent trimmed and cut to the wire field, and the first snapshot holding exactly that
// name gives the player.
TEST_F(ScreensTest, CreatedNamesAreTrimmedCutAndFoundInTheSnapshot) {
  std::string n31(31, 'q'), n40(40, 'r');
  struct Case {
    std::string typed;
    std::string sent;
  } cases[] = {
      {"  Ivy ", "Ivy"}, {"Old Oak", "Old Oak"}, {n31, n31}, {n40, n40.substr(0, 31)}, {"   " + n31, n31.substr(0, 28)},
  };
  load_entity_registry();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    game.lobby_screen = LobbyScreen{};
    set_lobby({});
    game.screen = Screen_Lobby;
    lobby_screen_enter();
    ASSERT_TRUE(text_input_is_active(game.lobby_screen.new_name));
    append_to_active_text_input(c.typed.c_str());
    create_new_player();
    std::vector<Request> sent = drain();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].type, RequestType_CreatePlayer);
    EXPECT_EQ(std::string(sent[0].create_player.name), c.sent);

    game.screen = Screen_Loading;
    game.player = nullptr;
    Location& loc = net_location();
    std::vector<u8> tiles(32 * 32, TileType_Grass);
    ASSERT_TRUE(location_init(loc, LocationRef{LocationType_World, 0}, "", 0, 32, 32, {0, 0}, tiles.data(), 32 * 32));
    Entity es[2] = {};
    for (int k = 0; k < 2; k++) {
      es[k].id = (Id)(k + 1);
      es[k].type = Entity_Player;
      es[k].pos = {(f32)(5 + k), 5};
      enable_component(es[k], Component_Person);
    }
    // A neighbour whose name is the typed text, untrimmed, must not be taken for the player.
    memcpy(es[0].person.name, c.typed.c_str(), std::min(c.typed.size(), (size_t)PLAYER_NAME_LEN));
    if (c.typed == c.sent) snprintf(es[0].person.name, PLAYER_NAME_LEN, "other");
    cstr_copy(es[1].person.name, c.sent.c_str(), PLAYER_NAME_LEN);
    Packet p;
    int size = state_packet_build(p, es, 2, GameTime{}, nullptr);
    ASSERT_GT(size, 0);
    p.seq_ack = net.last_seq;
    peer.send(p);
    settle();
    net_update();
    ASSERT_NE(game.player, nullptr);
    EXPECT_EQ(game.player->id, 2u);
    location_free(loc);
    game.player = nullptr;
  }
}

// --- menu

TEST(ScreensMenu, GainLabelIsATruncatedPercentage) {
  struct Case {
    f32 gain;
    const char* label;
  } cases[] = {{0, "  0%"}, {0.5f, " 50%"}, {0.999f, " 99%"}, {0.075f, "  7%"}, {1, "100%"}};
  for (const Case& c : cases) EXPECT_STREQ(gain_percent_label(c.gain).cstr(), c.label) << c.gain;
}

// --- world

TEST(ScreensWorld, WalkingDirectionFollowsKeysAndCameraYaw) {
  struct Case {
    u8 wasd;
    f32 yaw;
    v2 dir;
  } cases[] = {
      {1, 0, {0, 1}},       {4, 0, {0, -1}},     {2, 0, {-1, 0}},  {8, 0, {1, 0}},
      {1 | 8, 0, {1, 1}},   {1 | 4, 0, {0, 0}},  {15, 0, {0, 0}},  {0, 0, {0, 0}},
      {1, pi / 2, {-1, 0}}, {8, pi / 2, {0, 1}}, {1, pi, {0, -1}},
  };
  for (const Case& c : cases) {
    v2 d = wasd_direction(c.wasd, c.yaw);
    EXPECT_TRUE(near(d, c.dir, 1e-5f)) << (int)c.wasd << " yaw " << c.yaw;
  }
}

TEST_F(ScreensTest, WalkingSendsOnlyChangesAndOneStopWhenAllKeysAreUp) {
  Entity player;
  memset((void*)&player, 0, sizeof(player));
  player.id = 3;
  game.player = &player;
  game.screen = Screen_World;
  game.debug.use_wasd = true;

  world_handle_keydown(SDLK_w);
  world_walk_with_keys(false);
  world_walk_with_keys(false);  // held, unchanged: nothing more
  world_handle_keydown(SDLK_d);
  world_walk_with_keys(false);
  game.wasd = 0;  // both released in one frame
  world_walk_with_keys(true);
  world_walk_with_keys(true);  // a release of a key already up changes nothing
  world_walk_with_keys(false);

  std::vector<Request> sent = drain();
  ASSERT_EQ(sent.size(), 3u);
  for (const Request& r : sent) EXPECT_EQ(r.type, RequestType_SetDir);
  // Requests are packed: copy the vectors out before comparing, never bind references into them.
  v2 dirs[3] = {sent[0].dst, sent[1].dst, sent[2].dst};
  EXPECT_TRUE(v2_equal(dirs[0], {0, 1}) && v2_equal(dirs[1], {1, 1}) && v2_equal(dirs[2], {0, 0}));
  game.player = nullptr;
}

TEST_F(ScreensTest, WorldKeysNeedAPlayerAndLeaveFocusedFieldsAlone) {
  Entity player;
  memset((void*)&player, 0, sizeof(player));
  player.id = 3;
  game.screen = Screen_World;
  game.debug.use_wasd = true;

  world_handle_keydown(SDLK_w);  // no player yet
  EXPECT_EQ(game.wasd, 0);
  game.player = &player;
  activate_text_input(game.lobby_screen.new_name);
  world_handle_keydown(SDLK_a);
  world_handle_keydown(SDLK_F10);
  EXPECT_EQ(game.wasd, 0);
  EXPECT_EQ(game.screen, Screen_World);
  deactivate_text_input();
  world_handle_keydown(SDLK_a);
  EXPECT_EQ(game.wasd, 2);
  world_handle_keydown(SDLK_F10);
  EXPECT_EQ(game.screen, Screen_WorldMenu);
  game.player = nullptr;
}

TEST(ScreensWorld, PlaceholderColourFollowsTheGroupOnlyOfMortals) {
  Entity e = {};
  e.mortal.group = 1;  // no Mortal component: the group means nothing
  Color plain = placeholder_color(e);
  enable_component(e, Component_Mortal);
  Color ally = placeholder_color(e);
  e.mortal.group = 2;
  EXPECT_NE(memcmp(&plain, &ally, sizeof(Color)), 0);
  EXPECT_NE(ally.g, placeholder_color(e).g);
}

}  // namespace
