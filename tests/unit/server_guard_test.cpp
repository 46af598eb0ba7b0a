// The server as an attacker and an operator try it: junk floods, strangers holding sessions, forged
// sequence numbers, reflection, request floods, password guessing, unsafe flags, broken storage.
#include <arpa/inet.h>
#include <sqlite3.h>

#include <string>

#include "server.hpp"
#include "server_harness.hpp"

namespace {

class ServerGuard : public ::testing::Test {
 protected:
  ServerProcess server;
  void start(const char* name, const char* address, std::vector<const char*> extra = {}) {
    harness_paths(server, name);
    ASSERT_TRUE(server_start(server, address, true, extra)) << "server did not start, see " << server.log;
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

// A UDP socket from `source` (any 127/8 address) to the server's port.
int socket_from(const char* source, sockaddr_in& to, const char* server_address) {
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in from = {};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  if (s < 0 || bind(s, (sockaddr*)&from, sizeof(from)) != 0) {
    if (s >= 0) close(s);
    return -1;
  }
  to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(SERVER_PORT);
  inet_pton(AF_INET, server_address, &to.sin_addr);
  return s;
}

Request auth_request(RequestType type, const char* login, const char* password, u32 seq) {
  Request r;
  r.seq = seq;
  r.type = type;
  r.auth.client_version = CLIENT_VERSION;
  cstr_copy(r.auth.login, login, LOGIN_LEN);
  cstr_copy(r.auth.password, password, PASSWORD_LEN);
  return r;
}

// How many times `text` occurs in the server's log.
int log_count(const ServerProcess& server, const char* text) {
  FILE* f = fopen(server.log, "r");
  if (!f) return 0;
  std::string content;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) content.append(buffer, n);
  fclose(f);
  int count = 0;
  for (size_t at = content.find(text); at != std::string::npos; at = content.find(text, at + 1)) count++;
  return count;
}

// The stored state blob of a character, read beside the running server (the log lets readers in).
std::string stored_state(const char* db_path, const char* name) {
  sqlite3* db = nullptr;
  std::string out = "<none>";
  if (sqlite3_open_v2(db_path, &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT state FROM characters WHERE name = ?1", -1, &stmt, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, name, -1, SQLITE_STATIC);
      if (sqlite3_step(stmt) == SQLITE_ROW)
        out.assign((const char*)sqlite3_column_blob(stmt, 0) ? (const char*)sqlite3_column_blob(stmt, 0) : "",
                   (size_t)sqlite3_column_bytes(stmt, 0));
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return out;
}

}  // namespace

TEST_F(ServerGuard, JunkBurstDoesNotDelayAnHonestAnswer) {
  start("junk", "127.0.5.11");
  sockaddr_in to;
  int junk = socket_from("127.0.5.11", to, server.address);
  ASSERT_GE(junk, 0);
  // 3 000 datagrams, an eighth of them empty, as fast as they go; then an honest register.
  u8 buffer[200] = {};
  srand(14);
  for (int i = 0; i < 3000; i++) {
    int size = i % 8 == 0 ? 0 : rand() % 200;
    for (int k = 0; k < size; k++) buffer[k] = (u8)rand();
    sendto(junk, buffer, (size_t)size, 0, (sockaddr*)&to, sizeof(to));
  }
  close(junk);
  TestClient c;
  client_connect(c, server.address);
  Time sent = time_now();
  net_send_auth(RequestType_Register, "honest", "password1");
  ASSERT_TRUE(client_wait_lobby(c, 3000));
  // A tick or two of reading, plus the hash; before, the answer took seconds.
  EXPECT_LT(to_ms(time_since(sent)), 400.0f);
  EXPECT_EQ(server_stop(server), 0);
  // Every datagram was read, the empty ones too.
  EXPECT_TRUE(log_contains(server, "(3001 datagrams in")) << "see " << server.log;
}

TEST_F(ServerGuard, StrangersLoggingInCannotCrowdOutAPlayer) {
  start("crowd", "127.0.5.12", {"--session-timeout", "30000"});
  TestClient victim;
  client_connect(victim, server.address);
  ASSERT_TRUE(client_auth(victim, RequestType_Register, "victim", "password1"));

  // 70 sources, each with logins that look right: unknown logins and wrong passwords, every 200 ms.
  const int sources = 70;
  int sockets[sources];
  sockaddr_in to;
  for (int i = 0; i < sources; i++) {
    char source[32];
    snprintf(source, sizeof(source), "127.0.7.%d", i + 1);
    sockets[i] = socket_from(source, to, server.address);
    ASSERT_GE(sockets[i], 0) << source;
  }
  for (int round = 0; round < 4; round++) {
    for (int i = 0; i < sources; i++) {
      Request r = i % 2 ? auth_request(RequestType_Login, "victim", "guessing", (u32)round + 1)
                        : auth_request(RequestType_Login, tprintf("stranger%d", i).cstr(), "password1", (u32)round + 1);
      sendto(sockets[i], &r, sizeof(r), 0, (sockaddr*)&to, sizeof(to));
    }
    client_pump(victim, 200, [] { return false; });
  }
  // A newcomer and the real owner both get in while the strangers keep at it.
  TestClient honest;
  client_connect(honest, server.address);
  EXPECT_TRUE(client_auth(honest, RequestType_Register, "newcomer", "password1"));
  for (int i = 0; i < sources; i++) close(sockets[i]);
  EXPECT_GE(log_count(server, "ended (login refused)"), sources);
  EXPECT_EQ(log_count(server, "ServerBusy"), 0);
}

TEST_F(ServerGuard, ForgedHighSequenceLeavesTheNextAcknowledgementRight) {
  start("seq", "127.0.5.13");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_auth(c, RequestType_Register, "sid", "password1"));
  // From the client's own address: far above what it sent, then a small step, which is in the window.
  for (u32 ahead : {0x7FFFFFF0u, (u32)SEQ_WINDOW + 1}) {
    Request forged;
    forged.seq = net.last_seq + ahead;
    forged.type = RequestType_Heartbeat;
    ASSERT_EQ(send(net.socket, &forged, sizeof(forged), 0), (ssize_t)sizeof(forged));
  }
  net_send_create_player("Sid");
  ASSERT_TRUE(client_wait_lobby(c));
  EXPECT_EQ(net.last_ack, net.last_seq) << "the answer acknowledges the honest request";
  EXPECT_EQ(lobby_count(), 1);
}

TEST_F(ServerGuard, StartStateUpdatesIsNoAmplifierAndSilenceStopsTheStream) {
  start("reflect", "127.0.5.14", {"--session-timeout", "20000"});
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "ray", "Ray"));
  ASSERT_TRUE(client_pump(c, 1000, [&] { return c.seen.maps > 0; }));
  // Repeats only resume the stream: one location and one map in all.
  for (int i = 0; i < 4; i++) net_send_start_state_updates();
  int states = c.seen.states;
  client_pump(c, 500, [] { return false; });
  EXPECT_EQ(c.seen.locations, 1);
  EXPECT_EQ(c.seen.maps, 1);
  // At least 40 a second: 15 in half a second even on a loaded machine.
  EXPECT_GE(c.seen.states - states, 15);

  // No heartbeats (the login screen sends none): after 3 s of silence nothing more comes.
  game.screen = Screen_Login;
  client_pump(c, 3600, [] { return false; });
  states = c.seen.states;
  client_pump(c, 1000, [] { return false; });
  EXPECT_EQ(c.seen.states, states) << "streamed to a silent client";
  EXPECT_FALSE(log_contains(server, "timed out")) << "silence stops the stream, not the session";
  // A word from the client brings the stream back.
  game.screen = Screen_World;
  net_send_heartbeat();
  EXPECT_TRUE(client_pump(c, 1000, [&] { return c.seen.states > states + 5; }));
}

TEST_F(ServerGuard, ChatAndWorldMovesAreRateLimited) {
  start("limits", "127.0.5.15");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "lim", "Lim"));
  int chats = c.seen.chats;
  for (int i = 0; i < CHAT_BURST; i++) net_send_chat(tprintf("line %d", i).cstr());
  ASSERT_TRUE(client_pump(c, 2000, [&] { return c.seen.chats >= chats + CHAT_BURST; }));
  net_send_chat("one too many");
  EXPECT_TRUE(client_wait_error(c, ErrorCode_Cooldown));
  EXPECT_FALSE(log_contains(server, "one too many"));
  client_pump(c, 1100, [] { return false; });
  net_send_chat("after a second");
  EXPECT_TRUE(wait_for_log(server, "after a second", 2000));

  struct Step {
    const char* what;
    ErrorCode expected;  // Ok: no error
    int wait_ms;         // before the step
  };
  const Step steps[] = {
      {"quit", ErrorCode_Ok, 0},   {"enter", ErrorCode_Ok, 0},        {"quit", ErrorCode_Cooldown, 0},
      {"enter", ErrorCode_Ok, 0},  // a resend of the enter that worked
      {"create", ErrorCode_Ok, 0}, {"create", ErrorCode_Cooldown, 0}, {"quit", ErrorCode_Ok, 1100},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.wait_ms) client_pump(c, step.wait_ms, [] { return false; });
    c.seen.errors = 0;
    int worlds = c.seen.worlds;
    if (cstr_equal(step.what, "quit"))
      net_send_quit();
    else if (cstr_equal(step.what, "enter"))
      net_send_enter("Lim");
    else
      net_send_create_player(tprintf("Lim%d", (int)(time_now().ns % 1000)).cstr());
    if (step.expected != ErrorCode_Ok) {
      EXPECT_TRUE(client_wait_error(c, step.expected, 1000));
    } else {
      client_pump(c, 300, [&] { return c.seen.worlds > worlds; });
      EXPECT_EQ(c.seen.errors, 0) << error_code_msg(c.seen.last_error);
    }
  }
}

TEST_F(ServerGuard, WrongPasswordsBackOffAndKeepTheCurrentLogin) {
  start("guess", "127.0.5.16");
  TestClient owner, guesser;
  client_connect(owner, server.address);
  ASSERT_TRUE(client_enter_new(owner, "lou", "Lou"));
  client_connect(guesser, server.address);
  for (int i = 0; i < LOGIN_FAILURES_MAX; i++) {
    EXPECT_FALSE(client_auth(guesser, RequestType_Login, "lou", tprintf("guess%04d", i).cstr()));
    EXPECT_EQ(guesser.seen.last_error, ErrorCode_Forbidden);
  }
  EXPECT_TRUE(wait_for_log(server, "logins are refused for 30 s", 1000));
  // Now even the right password is refused, and nothing more is hashed.
  EXPECT_FALSE(client_auth(guesser, RequestType_Login, "lou", "password1"));
  EXPECT_EQ(guesser.seen.last_error, ErrorCode_Forbidden);
  EXPECT_EQ(log_count(server, "wrong password for 'lou'"), LOGIN_FAILURES_MAX);

  // A logged-in player who tries other credentials stays as it was until they are verified.
  client_use(owner);
  game.screen = Screen_World;
  EXPECT_FALSE(client_auth(owner, RequestType_Register, "lou", "password2"));
  EXPECT_EQ(owner.seen.last_error, ErrorCode_LoginAlreadyExists);
  EXPECT_FALSE(log_contains(server, "'Lou' left the world"));
  int states = owner.seen.states;
  EXPECT_TRUE(client_pump(owner, 1000, [&] { return owner.seen.states > states + 5; }));
}

TEST_F(ServerGuard, ATakenOverCharacterTellsTheOtherSession) {
  start("takeover", "127.0.5.21");
  TestClient first, second;
  client_connect(first, server.address);
  ASSERT_TRUE(client_enter_new(first, "tia", "Tia"));
  client_connect(second, server.address);
  ASSERT_TRUE(client_auth(second, RequestType_Login, "tia", "password1"));
  net_send_enter("Tia");
  ASSERT_TRUE(client_pump(second, 2000, [&] { return second.seen.worlds > 0; }));
  EXPECT_TRUE(client_wait_error(first, ErrorCode_Conflict, 1000));
}

TEST_F(ServerGuard, ABrokenStoredCharacterIsRefusedAndKeptByteForByte) {
  start("broken", "127.0.5.17");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "bob", "Bo"));
  net_send_quit();
  ASSERT_TRUE(wait_for_log(server, "'Bo' left the world", 2000));
  EXPECT_EQ(server_stop(server), 0);

  // A record that no longer reads: the right magic, a count that does not match its size.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(server.db, &db), SQLITE_OK);
  const u8 broken[] = {0x56, 0x43, 0x48, 0x31, 3, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0xFF};
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE characters SET state = ?1 WHERE name = 'Bo'", -1, &stmt, nullptr),
            SQLITE_OK);
  sqlite3_bind_blob(stmt, 1, broken, (int)sizeof(broken), SQLITE_STATIC);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_DONE);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  std::string before = stored_state(server.db, "Bo");
  ASSERT_EQ(before.size(), sizeof(broken));

  ASSERT_TRUE(server_start(server, server.address, false));
  client_connect(c, server.address);
  ASSERT_TRUE(client_auth(c, RequestType_Login, "bob", "password1"));
  net_send_enter("Bo");
  EXPECT_TRUE(client_wait_error(c, ErrorCode_InternalServerError));
  EXPECT_TRUE(log_contains(server, "stored record of 'Bo' cannot be loaded"));
  EXPECT_EQ(server_stop(server), 0);
  EXPECT_EQ(stored_state(server.db, "Bo"), before);
}

TEST_F(ServerGuard, ASecondServerOnTheSameDatabaseRefusesToStart) {
  start("lock", "127.0.5.18");
  std::string output;
  std::string args = std::string("--bind 127.0.5.19 --ticks 1 --hash-cost low --db ") + server.db;
  EXPECT_EQ(server_command(args.c_str(), "", output), 1) << output;
  EXPECT_NE(output.find("in use by another server"), std::string::npos) << output;
  // Once the first stops, the file is free again.
  EXPECT_EQ(server_stop(server), 0);
  EXPECT_EQ(server_command(args.c_str(), "", output), 0) << output;
}

TEST_F(ServerGuard, HangupSavesEveryoneAndKeepsRunning) {
  start("hangup", "127.0.5.20");
  TestClient c;
  client_connect(c, server.address);
  ASSERT_TRUE(client_enter_new(c, "hugh", "Hu"));
  EXPECT_EQ(stored_state(server.db, "Hu"), "") << "never saved yet";
  kill(server.pid, SIGHUP);
  ASSERT_TRUE(wait_for_log(server, "saved 1 characters on request", 2000));
  std::string saved = stored_state(server.db, "Hu");
  EXPECT_GT(saved.size(), (size_t)Entity_Shared_Size);
  EXPECT_EQ(memcmp(saved.data(), "VCH1", 4), 0);
  int states = c.seen.states;
  EXPECT_TRUE(client_pump(c, 1000, [&] { return c.seen.states > states + 5; })) << "still running";
}

TEST(ServerOperator, DevListensOnLoopbackAndAccountsComeFromTheCommandLine) {
  ServerProcess server;
  harness_paths(server, "operator");
  harness_remove_db(server);
  std::string output;
  std::string db = std::string(" --db ") + server.db;
  EXPECT_EQ(server_command(("--dev --port 4391 --ticks 2" + db).c_str(), "", output), 0) << output;
  EXPECT_NE(output.find("listening on udp 127.0.0.1:4391"), std::string::npos) << output;
  EXPECT_EQ(server_command(("--dev --bind 0.0.0.0 --ticks 2" + db).c_str(), "", output), 2) << output;
  EXPECT_NE(output.find("--dev-public"), std::string::npos) << output;

  struct Case {
    const char* login;
    const char* password;
    int status;
  };
  const Case cases[] = {
      {"root", "password1", 0},
      {"root", "password2", 1},  // taken
      {"other", "short", 1},
  };
  for (const Case& k : cases) {
    std::string args = "--hash-cost low --create-account " + std::string(k.login) + db;
    EXPECT_EQ(server_command(args.c_str(), k.password, output), k.status) << k.login << ": " << output;
  }
  // A weak hash setting is said out loud outside --dev.
  EXPECT_EQ(server_command(("--bind 127.0.5.22 --hash-cost low --ticks 1 --admin root" + db).c_str(), "", output), 0);
  EXPECT_NE(output.find("warning: --hash-cost low"), std::string::npos) << output;
  EXPECT_EQ(output.find("has no account"), std::string::npos) << output;
}
