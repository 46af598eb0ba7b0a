// The server's life: start-up, the tick, saving and stopping, and the packets it sends. Sessions and
// logins, the request dispatch, snapshots and the rules of play each have a file of their own.
#include "server.hpp"

#include <sodium.h>
#include <time.h>
#include <unistd.h>

#include "png.hpp"
#include "pwhash.hpp"
#include "play.hpp"
#include "snapshot_body.hpp"

Server server;

// Raw storage: the records are plain bytes on the wire and need no constructor.
alignas(Packet) static u8 out_packet_storage[sizeof(Packet)];
Packet& server_out_packet = *(Packet*)out_packet_storage;

Time server_clock() { return server.clock_base + (time_now() - server.monotonic_base); }

const char* log_text(const char* text) {
  static char buffers[8][4 * CHAT_MESSAGE_LEN + 1];
  static int counter;
  char* b = buffers[counter++ % 8];
  int n = 0;
  for (const char* c = text; *c && n < (int)sizeof(buffers[0]) - 5; c++) {
    u8 byte = (u8)*c;
    if (byte < 0x20 || byte == 0x7F || byte == '\\')
      n += snprintf(b + n, 5, "\\x%02X", byte);
    else
      b[n++] = *c;
  }
  b[n] = 0;
  return b;
}

// A limit that lets `burst` through at once and then one per `interval`: `free_at` is when the next one
// would be on time; it may run ahead of now by the burst.
bool server_rate_take(Time& free_at, Time now, Duration interval, int burst) {
  Time base = free_at.ns > now.ns ? free_at : now;
  if (base.ns - now.ns > (u64)(burst - 1) * interval.ns) return false;
  free_at = base + interval;
  return true;
}

// --- sending

void server_send_packet(Session& s, Packet& packet) {
  packet.seq_ack = s.seq_ack;
  packet.reserved_ = 0;
  packet.time = server_clock();
  packet.flags = server.paused ? PacketFlag_Paused : 0;
  if (udp_send(server.socket, s.address, &packet, (int)packet.size)) {
    s.packets_sent++;
    server.stats.packets_out++;
  } else {
    server.stats.send_failures++;
  }
}

void server_send_simple(Session& s, PacketType type, const void* payload, int size) {
  server_out_packet.type = type;
  server_out_packet.size = (u32)(PACKET_HEADER_SIZE + size);
  if (size > 0) memcpy(server_out_packet.data, payload, (size_t)size);
  server_send_packet(s, server_out_packet);
}

void server_send_error(Session& s, ErrorCode code) {
  s.errors_sent++;
  s.last_error = code;
  SharedError error;
  error.code = code;
  server_send_simple(s, PacketType_Error, &error, (int)sizeof(error));
}

void server_send_lobby(Session& s) {
  CharacterSummary characters[CHARACTERS_PER_ACCOUNT];
  int n = storage_list_characters(server.storage, s.account_id, characters);
  if (n < 0) {
    server_send_error(s, ErrorCode_InternalServerError);
    return;
  }
  Lobby lobby = {};
  for (int i = 0; i < n; i++) {
    cstr_copy(lobby.players[i].name, characters[i].name, PLAYER_NAME_LEN);
    lobby.players[i].last_login.ns = characters[i].last_login;
  }
  server_send_simple(s, PacketType_Lobby, &lobby, (int)sizeof(lobby));
}

// The location the session's character stands in (the world before it has one).
static const Location& session_location(Session& s) {
  Entity* player = world_find(s.player_id);
  Location* l = player ? world_location(player->location) : nullptr;
  return l ? *l : world.location;
}

void server_send_location(Session& s) {
  const Location& l = session_location(s);
  server_out_packet.type = PacketType_Location;
  server_out_packet.location.type = l.type;
  server_out_packet.location.index = l.index;
  server_out_packet.location.width = l.width;
  server_out_packet.location.height = l.height;
  server_out_packet.location.offset = l.offset;
  int ntiles = l.width * l.height;
  memcpy(server_out_packet.location.tiles, l.tiles, (size_t)ntiles);
  server_out_packet.size = (u32)(PACKET_HEADER_SIZE + LOCATION_HEADER_SIZE + ntiles);
  server_send_packet(s, server_out_packet);
}

void server_send_location_map(Session& s) {
  const Location& l = session_location(s);
  if (&l != &world.location) {
    // The dungeon's map is small: made when asked for.
    static u8 png[PACKET_PAYLOAD_MAX];
    int size = png_write_gray8((const u8*)l.tiles, l.width, l.height, png, PACKET_PAYLOAD_MAX);
    if (size > 0) server_send_simple(s, PacketType_LocationMap, png, size);
    return;
  }
  if (server.map_png_size <= 0) {
    server.map_png_size = png_write_gray8((const u8*)l.tiles, l.width, l.height, server.map_png, PACKET_PAYLOAD_MAX);
    if (server.map_png_size <= 0) {
      printf("server: the world map does not fit one datagram\n");
      return;
    }
  }
  server_send_simple(s, PacketType_LocationMap, server.map_png, server.map_png_size);
}

// --- start, tick, stop

bool server_init(const ServerOptions& options, Text& error) {
  server.options = options;
  if (!pwhash_init()) {
    error = Text("libsodium cannot start");
    return false;
  }
  server_auth_init();
  timespec wall;
  clock_gettime(CLOCK_REALTIME, &wall);
  server.clock_base.ns = (u64)wall.tv_sec * 1000000000ull + (u64)wall.tv_nsec;
  server.monotonic_base = time_now();
  server.last_autosave = server.monotonic_base;
  load_entity_registry();
  if (!storage_open(server.storage, options.db.cstr(), error)) return false;
  for (int i = 0; i < options.nadmins; i++) {
    AccountRecord account;
    if (storage_find_account(server.storage, options.admins[i], account) && !account.id)
      printf("valmire-server: warning: --admin '%s' has no account; make it with --db %s --create-account %s\n",
             log_text(options.admins[i]), options.db.cstr(), log_text(options.admins[i]));
  }
  if (options.hash_cost == HashCost_Low && !options.dev)
    printf(
        "valmire-server: warning: --hash-cost low makes passwords cheap to guess from a stolen database; "
        "it is meant for tests\n");
  if (!server_generate_world(options.seed, options.world_size, server_clock())) {
    error = Text("cannot generate the world");
    storage_close(server.storage);
    return false;
  }
  u8* saved = nullptr;
  int saved_size = 0;
  bool restored = storage_load_world(server.storage, options.seed, options.world_size, &saved, &saved_size) &&
                  world_restore(saved, saved_size);
  free(saved);
  if (!restored) {
    // Starting without them would overwrite the saved buildings at the first save.
    error = Text("cannot read the saved changes of the world");
    storage_close(server.storage);
    world_free();
    return false;
  }
  server.socket = udp_open(options.bind, options.port, error);
  if (server.socket < 0) {
    storage_close(server.storage);
    world_free();
    return false;
  }
  pwhash_worker_start(options.hash_cost);
  printf("valmire-server: listening on udp %s:%u (database %s, world %dx%d seed %u with %d entities%s)\n", options.bind,
         options.port, options.db.cstr(), options.world_size, options.world_size, options.seed, world_entity_count(),
         options.dev ? ", dev mode: any login is accepted" : "");
  fflush(stdout);
  return true;
}

bool server_save_world() {
  int capacity = world_saved_size();
  u8* blob = capacity > 0 ? (u8*)malloc((size_t)capacity) : nullptr;
  int size = blob ? world_save(blob, capacity) : 0;
  bool ok = size > 0 && storage_save_world(server.storage, server.options.seed, server.options.world_size, blob, size);
  free(blob);
  if (!ok) printf("valmire-server: cannot save the world\n");
  return ok;
}

int server_save_all() {
  int n = 0;
  if (storage_begin(server.storage)) {
    bool ok = server_save_world();
    for (Session& s : server.sessions)
      if (s.active && s.player_id) {
        ok = server_save_character(s) && ok;
        n++;
      }
    if (ok && storage_commit(server.storage)) return n;
    storage_rollback(server.storage);
    printf("valmire-server: saving in one transaction failed; saving character by character\n");
  }
  n = 0;
  server_save_world();
  for (Session& s : server.sessions)
    if (s.active && s.player_id) n += server_save_character(s);
  return n;
}

void server_shutdown() {
  for (Session& s : server.sessions)
    if (s.active) server_end_session(s, "server stopped");
  server_save_world();
  pwhash_worker_stop();
  udp_close(server.socket);
  server.socket = -1;
  storage_close(server.storage);
  world_free();
  printf(
      "valmire-server: stopped after %llu ticks (%llu datagrams in, %llu dropped as malformed, %llu out of "
      "sequence, %llu packets out, %llu sends failed)\n",
      (unsigned long long)server.tick, (unsigned long long)server.stats.datagrams_in,
      (unsigned long long)server.stats.malformed, (unsigned long long)server.stats.seq_out_of_window,
      (unsigned long long)server.stats.packets_out, (unsigned long long)server.stats.send_failures);
  fflush(stdout);
}

long server_rss_kib() {
  FILE* f = fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (!f) return 0;
  if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

static Time thread_cpu_now() {
  timespec t = {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return Time{(u64)t.tv_sec * 1000000000ull + (u64)t.tv_nsec};
}

// One line per --stats interval, so an operator sees whether the world keeps up with its 60 ticks a second.
static void server_count_tick(Duration cost, Duration cpu) {
  ServerStats& st = server.stats;
  if (st.interval_start.ns == 0) st.interval_start = time_now();
  st.interval_ticks++;
  st.interval_cost += cost;
  if (cost.ns > st.interval_worst.ns) st.interval_worst = cost;
  if (cpu.ns > st.interval_worst_cpu.ns) st.interval_worst_cpu = cpu;
  st.interval_late += cost.ns > 16 * Milliseconds.ns;
  if (time_since(st.interval_start).ns < (u64)server.options.stats_seconds * 1000000000ull) return;
  int players = 0;
  for (const Session& s : server.sessions) players += s.active && s.player_id != 0;
  printf(
      "valmire-server: stats: %llu ticks, tick mean %.3f ms, max %.3f ms (cpu %.3f ms), %llu over 16 ms, %d players, "
      "%d entities, rss %ld KiB\n",
      (unsigned long long)st.interval_ticks, to_ms(st.interval_cost) / (f32)st.interval_ticks, to_ms(st.interval_worst),
      to_ms(st.interval_worst_cpu), (unsigned long long)st.interval_late, players, world_entity_count(),
      server_rss_kib());
  st.interval_start = time_now();
  st.interval_ticks = 0;
  st.interval_cost = Duration();
  st.interval_worst = Duration();
  st.interval_worst_cpu = Duration();
  st.interval_late = 0;
}

static UdpBatch receive_batch;

void server_tick() {
  Time start = time_now();
  Time cpu_start = server.options.stats_seconds > 0 ? thread_cpu_now() : Time();
  // Until the socket is empty or the tick's share is read; an empty or broken datagram is one more read.
  for (int left = DATAGRAMS_PER_TICK_MAX; left > 0;) {
    int want = min(left, UDP_BATCH_MAX);
    int n = udp_receive_batch(server.socket, receive_batch, want);
    if (n <= 0) break;
    for (int i = 0; i < n; i++) {
      // Longer than a slot is longer than any request: its size alone makes it malformed.
      int size = receive_batch.size[i];
      server_handle_datagram(receive_batch.from[i], receive_batch.data[i], size);
    }
    left -= n;
    if (n < want) break;
  }
  server_poll_auth();
  server_expire_sessions(time_now());
  Time update = time_now();
  if (!server.paused || server.updates_requested > 0) {
    world_update(SERVER_DT, server_clock());
    play_update(SERVER_DT, server_clock());
    if (server.updates_requested > 0) server.updates_requested--;
  }
  server.stats.last_update_cost = time_since(update);
  Time snapshots = time_now();
  server_send_snapshots();
  server.stats.last_snapshot_cost = time_since(snapshots);
  if (time_since(server.last_autosave) > AUTOSAVE_INTERVAL) {
    server_save_all();
    server.last_autosave = time_now();
  }
  server.tick++;
  server.stats.last_tick_cost = time_since(start);
  if (server.options.stats_seconds > 0) server_count_tick(server.stats.last_tick_cost, thread_cpu_now() - cpu_start);
  fflush(stdout);
}

void server_run(volatile sig_atomic_t* stop, volatile sig_atomic_t* save) {
  const Duration step = {1000000000ull / SERVER_FPS};
  Time next = time_now();
  while (!*stop) {
    if (save && *save) {
      *save = 0;
      int n = server_save_all();
      printf("valmire-server: saved %d characters on request\n", n);
      fflush(stdout);
    }
    server_tick();
    if (server.options.max_ticks > 0 && server.tick >= (u64)server.options.max_ticks) break;
    next += step;
    Time now = time_now();
    if (now.ns >= next.ns) {
      // Far behind (a stall, a debugger): start counting again instead of racing to catch up.
      if (now.ns - next.ns > 10 * step.ns) next = now;
      continue;
    }
    u64 wait = next.ns - now.ns;
    timespec ts = {(time_t)(wait / 1000000000ull), (long)(wait % 1000000000ull)};
    nanosleep(&ts, nullptr);
  }
}

int server_create_account(const ServerOptions& options, FILE* in) {
  char password[PASSWORD_LEN + 2] = {};
  if (!fgets(password, (int)sizeof(password), in)) {
    fprintf(stderr, "valmire-server: no password on standard input\n");
    return 1;
  }
  int n = (int)strcspn(password, "\r\n");
  bool too_long = n >= PASSWORD_LEN;
  password[n] = 0;
  int status = 1;
  Text error;
  Storage storage;
  if (n < 6 || too_long) {
    fprintf(stderr, "valmire-server: the password needs 6 to %d characters\n", PASSWORD_LEN - 1);
  } else if (!pwhash_init()) {
    fprintf(stderr, "valmire-server: libsodium cannot start\n");
  } else if (!storage_open(storage, options.db.cstr(), error, false)) {
    fprintf(stderr, "valmire-server: %s\n", error.cstr());
  } else {
    char hash[PASSWORD_HASH_LEN];
    s64 id = 0;
    StorageResult r = pwhash_hash(options.hash_cost, password, hash)
                          ? storage_create_account(storage, options.create_account, hash, &id)
                          : StorageResult_Error;
    if (r == StorageResult_Ok) {
      printf("valmire-server: account '%s' created\n", options.create_account);
      status = 0;
    } else {
      fprintf(stderr, "valmire-server: %s\n",
              r == StorageResult_Exists ? "that login already has an account" : "cannot create the account");
    }
    sodium_memzero(hash, sizeof(hash));
    storage_close(storage);
  }
  sodium_memzero(password, sizeof(password));
  return status;
}
