#pragma once
// Test harness for the server: runs the real valmire-server on its own loopback address and drives it
// with the client's own network layer. Each test uses its own 127.0.5.x address, so tests run in parallel.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "world/chat.hpp"
#include "app/client.hpp"
#include "items.hpp"
#include "net/net.hpp"
#include "registry.hpp"

struct ServerProcess {
  pid_t pid = 0;
  char address[32] = {};
  char db[256] = {};
  char log[256] = {};
};

inline void harness_paths(ServerProcess& server, const char* name) {
  snprintf(server.db, sizeof(server.db), "%s/test-server-%s.db", VALMIRE_BINARY_DIR, name);
  snprintf(server.log, sizeof(server.log), "%s/test-server-%s.log", VALMIRE_BINARY_DIR, name);
}

inline bool log_contains(const ServerProcess& server, const char* text) {
  FILE* f = fopen(server.log, "r");
  if (!f) return false;
  static char content[1 << 20];
  size_t n = fread(content, 1, sizeof(content), f);
  fclose(f);
  return memmem(content, n, text, strlen(text)) != nullptr;
}

inline bool wait_for_log(const ServerProcess& server, const char* text, int ms) {
  for (int i = 0; i < ms; i += 5) {
    if (log_contains(server, text)) return true;
    usleep(5000);
  }
  return log_contains(server, text);
}

inline void harness_remove_db(const ServerProcess& server) {
  unlink(server.db);
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    char side[300];
    snprintf(side, sizeof(side), "%s%s", server.db, suffix);
    unlink(side);
  }
}

// Runs the server program to completion with `args` (a shell word list) and `input` on standard input;
// returns its exit status and its output in `output`.
inline int server_command(const char* args, const char* input, std::string& output) {
  char command[1024];
  snprintf(command, sizeof(command), "printf '%%s\\n' '%s' | timeout 20 %s/valmire-server %s 2>&1", input,
           VALMIRE_BINARY_DIR, args);
  FILE* p = popen(command, "r");
  if (!p) return -1;
  output.clear();
  char line[512];
  while (fgets(line, sizeof(line), p)) output += line;
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An account made the operator's way (admins are never registered over the wire).
inline bool server_create_account(const ServerProcess& server, const char* login, const char* password) {
  std::string output;
  char args[512];
  snprintf(args, sizeof(args), "--db %s --hash-cost low --create-account %s", server.db, login);
  return server_command(args, password, output) == 0;
}

// Starts the server; `fresh` removes the database of an earlier run first. Extra flags follow.
inline bool server_start(ServerProcess& server, const char* address, bool fresh, std::vector<const char*> extra = {}) {
  cstr_copy(server.address, address, (int)sizeof(server.address));
  if (fresh) harness_remove_db(server);
  unlink(server.log);
  std::vector<const char*> args = {
      VALMIRE_BINARY_DIR "/valmire-server", "--bind", address, "--db", server.db, "--hash-cost", "low"};
  for (const char* e : extra) args.push_back(e);
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    FILE* out = freopen(server.log, "w", stdout);
    if (!out) _exit(127);
    dup2(fileno(stdout), 2);
    execv(args[0], (char* const*)args.data());
    _exit(127);
  }
  server.pid = pid;
  return pid > 0 && wait_for_log(server, "listening on", 10000);
}

// SIGTERM, then the exit status (-1 when it had to be killed).
inline int server_stop(ServerProcess& server) {
  if (server.pid <= 0) return -1;
  kill(server.pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 1000; i++) {
    if (waitpid(server.pid, &status, WNOHANG) == server.pid) {
      server.pid = 0;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    usleep(10000);
  }
  kill(server.pid, SIGKILL);
  waitpid(server.pid, &status, 0);
  server.pid = 0;
  return -1;
}

// What a client saw while pumping.
struct Seen {
  int lobbies = 0;
  int worlds = 0;
  int locations = 0;
  int maps = 0;
  int states = 0;  // state packets that held our character
  int chats = 0;
  int errors = 0;
  ErrorCode last_error = ErrorCode_Ok;
};

// One client of the test: its link record, swapped into the global `net` while it talks.
struct TestClient {
  Net link;
  char name[PLAYER_NAME_LEN] = {};
  Seen seen;
};

inline TestClient* current_client = nullptr;

inline void client_use(TestClient& c) {
  if (current_client == &c) return;
  if (current_client) current_client->link = net;
  net = c.link;
  game.player_name = c.name;
  current_client = &c;
}

inline void client_connect(TestClient& c, const char* address) {
  if (current_client) current_client->link = net;
  current_client = nullptr;
  net = Net();
  game.config.server_timeout_ms = 100;
  game.screen = Screen_Login;
  net_connect(address);
  c.link = net;
  current_client = &c;
  game.player_name = c.name;
}

inline void client_close(TestClient& c) {
  client_use(c);
  if (net.socket) close(net.socket);
  net.socket = 0;
  c.link = net;
}

// Reads datagrams until `done()` or `ms` pass. Returns done().
template <typename F>
bool client_pump(TestClient& c, int ms, F done) {
  client_use(c);
  Time start = time_now();
  while (!done() && to_ms(time_since(start)) < (f32)ms) {
    // Heartbeats as the client's pump sends them, often enough for the short time-outs tests use.
    if (game.screen != Screen_Login && to_ms(time_since(net.last_sent_time)) > 150) net_send_heartbeat();
    int chats_before = ui.chat.next_index;  // one datagram a call: the ring moves by one
    int map_before = game.world_map.width;
    game.world_map.width = 0;
    NetResult r = net_receive(net_location());
    switch (r) {
      case NetResult_Lobby: c.seen.lobbies++; break;
      case NetResult_World: c.seen.worlds++; break;
      case NetResult_Location: c.seen.locations++; break;
      case NetResult_Err:
        c.seen.errors++;
        c.seen.last_error = net.last_error.code;
        break;
      case NetResult_Ok:
        if (ui.chat.next_index != chats_before)
          c.seen.chats++;
        else if (game.world_map.width)
          c.seen.maps++;
        else if (game.player)
          c.seen.states++;
        break;
      default: break;
    }
    if (!game.world_map.width) game.world_map.width = map_before;
    if (r == NetResult_None) usleep(1000);
  }
  return done();
}

inline bool client_wait_error(TestClient& c, ErrorCode code, int ms = 3000) {
  int before = c.seen.errors;
  return client_pump(c, ms, [&] { return c.seen.errors > before; }) && c.seen.last_error == code;
}

inline bool client_wait_lobby(TestClient& c, int ms = 3000) {
  int before = c.seen.lobbies, errors = c.seen.errors;
  return client_pump(c, ms, [&] { return c.seen.lobbies > before || c.seen.errors > errors; }) &&
         c.seen.lobbies > before;
}

inline bool client_auth(TestClient& c, RequestType type, const char* login, const char* password) {
  client_use(c);
  c.seen.errors = 0;
  net_clear_error();
  net_send_auth(type, login, password);
  return client_wait_lobby(c);
}

inline int lobby_count() {
  int n = 0;
  for (const LobbyEntry& e : game.lobby_screen.lobby.players) n += e.name[0] != 0;
  return n;
}

// Register (or log in), create the character and start the stream; the character is in the world after.
inline bool client_enter_new(TestClient& c, const char* login, const char* name,
                             RequestType auth = RequestType_Register) {
  if (!client_auth(c, auth, login, "password1")) return false;
  cstr_copy(c.name, name, PLAYER_NAME_LEN);
  game.player_name = c.name;
  net_send_create_player(name);
  if (!client_wait_lobby(c)) return false;
  if (net.last_ack != net.last_seq) return false;
  game.screen = Screen_Loading;
  net_send_start_state_updates();
  return client_pump(c, 3000, [&] { return c.seen.states > 0; });
}

// Enters a character of the logged-in account and starts the stream; it is in the world after.
inline bool client_enter(TestClient& c, const char* name) {
  cstr_copy(c.name, name, PLAYER_NAME_LEN);
  int worlds = c.seen.worlds;
  net_send_enter(name);
  if (!client_pump(c, 10000, [&] { return c.seen.worlds > worlds; })) return false;
  game.screen = Screen_Loading;
  net_send_start_state_updates();
  int states = c.seen.states;
  return client_pump(c, 10000, [&] { return c.seen.states > states && game.player; });
}

// --- play, as the client's mirror of the snapshots shows it

// Waits for `done`; false when it does not come or a refusal arrives first. Generous: the machine may be busy.
template <typename F>
bool client_expect(TestClient& c, F done, int ms = 20000) {
  int errors = c.seen.errors;
  client_pump(c, ms, [&] { return c.seen.errors > errors || done(); });
  return c.seen.errors == errors && done();
}

// An entity on the ground within `radius` of pos that fits. The grid walk may begin half a cell late, so it
// walks a cell wider and measures for itself.
template <typename F>
Entity* seen_near(v2 pos, f32 radius, F fits) {
  for (EntityIter it = game.player ? locate_entities(in_radius(game.player, radius + tile_size, pos)) : EntityIter();
       it.entity; next(it))
    if (fits(*it.entity) && v2_distance(it.entity->pos, pos) <= radius) return it.entity;
  return nullptr;
}

inline Entity* seen_at(EntityType type, v2 pos, f32 radius) {
  return seen_near(pos, radius, [&](const Entity& e) { return e.type == type; });
}

inline int bag_count_of(EntityType type) {
  int n = 0;
  for (ItemIter it = game.player ? find_items(*game.player) : ItemIter(); it.entity; next(it))
    n += it.entity->type == type;
  return n;
}

// An administrator's supplies: each made on the ground beside the character, then moved into its bag.
inline bool client_admin_give(TestClient& c, EntityType type, int n = 1) {
  for (int i = 0; i < n; i++) {
    int had = bag_count_of(type);
    v2 at = game.player->pos + v2{24, 0};
    net_send_add_entity(at, type, 0);
    if (!client_expect(c, [&] { return seen_at(type, at, 4) != nullptr; })) return false;
    net_send_move_entity(seen_at(type, at, 4)->id, find_bag(*game.player)->id, SlotAny);
    if (!client_expect(c, [&] { return bag_count_of(type) > had; })) return false;
  }
  return true;
}

// Walks the character to pos.
inline bool client_walk(TestClient& c, v2 pos) {
  net_send_vector(RequestType_SetDst, pos);
  return client_expect(c, [&] { return game.player && v2_distance(game.player->pos, pos) < 2; });
}
