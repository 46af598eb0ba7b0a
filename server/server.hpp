#pragma once
// The server: sessions keyed by the client's address, the requests they send, and the tick that
// simulates the world and streams snapshots.
#include <signal.h>

#include "options.hpp"
#include "packet.hpp"
#include "storage.hpp"
#include "udp.hpp"
#include "world.hpp"

constexpr int SESSIONS_MAX = 64;  // logged in
// Sessions still logging in have a pool of their own, so strangers cannot crowd out players; a source
// address holds only a few of them, and when the pool is full the oldest goes.
constexpr int PRELOGIN_MAX = 32;
constexpr int PRELOGIN_PER_ADDRESS = 4;
constexpr int SESSION_SLOTS = SESSIONS_MAX + PRELOGIN_MAX;
constexpr Duration PRELOGIN_TIMEOUT = {1000000000ull};
constexpr int DATAGRAMS_PER_TICK_MAX = 8192;  // a flood cannot starve the simulation
constexpr int PASSWORD_DIGEST_LEN = 32;
constexpr int SNAPSHOT_RECORDS_MAX = 2048;  // records considered for one snapshot
constexpr Duration AUTOSAVE_INTERVAL = {60000000000ull};
// A request this far above the last one taken in is forged or broken: taking it would make every later
// honest request look old.
constexpr u32 SEQ_WINDOW = 4096;
// A forged StartStateUpdates must not turn the server into an amplifier: the location and map go out at
// most once in this time, and streaming stops when the client has been silent (it heartbeats every second).
constexpr Duration LOCATION_RESEND_INTERVAL = {5000000000ull};
constexpr Duration STREAM_SILENCE = {3000000000ull};
// Enough to ride out two lost packets within the client's 100 ms time-out, at two thirds the bandwidth of
// one per tick.
constexpr int SNAPSHOTS_PER_SECOND = 40;
constexpr int CHAT_BURST = 5;
constexpr Duration CHAT_INTERVAL = {1000000000ull};
constexpr Duration WORLD_MOVE_INTERVAL = {1000000000ull};  // Enter, Quit, CreatePlayer
constexpr int LOGIN_FAILURES_MAX = 5;
constexpr Duration LOGIN_FAILURE_WINDOW = {60000000000ull};
constexpr Duration LOGIN_LOCKOUT = {30000000000ull};
constexpr int LOGIN_GUARDS_MAX = 256;

struct Session {
  bool active = false;
  u32 generation = 0;  // bumps when the slot is reused, so late answers find no stranger
  UdpAddress address;
  u32 seq_ack = 0;  // the highest request seq taken in
  Time last_recv;   // monotonic
  Time started;

  // Authentication. The digest of the last accepted password lets a resent login be answered at once.
  s64 account_id = 0;
  char login[LOGIN_LEN] = {};
  bool admin = false;
  u8 password_digest[PASSWORD_DIGEST_LEN] = {};
  bool auth_pending = false;
  char pending_login[LOGIN_LEN] = {};
  u8 pending_digest[PASSWORD_DIGEST_LEN] = {};
  s64 pending_account_id = 0;

  // The character in the world.
  s64 character_id = 0;
  char character_name[PLAYER_NAME_LEN] = {};
  Id player_id = 0;
  bool streaming = false;      // state packets every tick
  Time location_sent;          // when the location and map last went out (0: never)
  int snapshot_credit = 0;     // snapshots are sent on the ticks where this reaches SERVER_FPS
  v2 return_pos = InvalidPos;  // where leaving the dungeon comes out (by the entrance taken), saved with the character

  // Rate limits: the time each limit is next free (a burst is the credit ahead of it).
  Time chat_free;
  Time enter_free, quit_free, create_free;

  u64 packets_sent = 0;
  u32 errors_sent = 0;
  ErrorCode last_error = ErrorCode_Ok;  // the last refusal sent, for the log and for tests
  u32 snapshot_records = 0;             // records in the last snapshot
  int snapshot_size = 0;                // datagram bytes of the last snapshot
};

struct ServerStats {
  u64 datagrams_in = 0;
  u64 malformed = 0;
  u64 seq_out_of_window = 0;
  u64 prelogin_evicted = 0;
  u64 packets_out = 0;
  u64 send_failures = 0;
  Duration last_tick_cost;
  Duration last_snapshot_cost;  // all sessions' snapshots of the last tick
  Duration last_update_cost;    // the world's and the characters' step of the last tick
  // The ticks since the last stats line (--stats).
  Time interval_start;
  u64 interval_ticks = 0;
  Duration interval_cost;
  Duration interval_worst;
  // The most CPU time a tick took: a busy host stretches a tick's wall time, not its own work.
  Duration interval_worst_cpu;
  u64 interval_late = 0;  // ticks that cost more than their 16 ms share of a step
};

struct Server {
  ServerOptions options;
  int socket = -1;
  Storage storage;
  Session sessions[SESSION_SLOTS];
  u64 tick = 0;
  bool paused = false;
  int updates_requested = 0;  // single steps an admin asked for while paused
  Time clock_base;            // wall-clock nanoseconds at start, so saved times stay meaningful
  Time monotonic_base;
  Time last_autosave;
  ServerStats stats;
  // The world map's PNG, made once per world (0: not made yet).
  int map_png_size = 0;
  u8 map_png[PACKET_PAYLOAD_MAX];
};

// Wrong passwords per login: after LOGIN_FAILURES_MAX in LOGIN_FAILURE_WINDOW, attempts are refused
// without hashing for LOGIN_LOCKOUT.
struct LoginGuard {
  char login[LOGIN_LEN] = {};
  int failures = 0;
  Time first_failure;
  Time last_failure;
  Time locked_until;
  u8 last_digest[PASSWORD_DIGEST_LEN] = {};  // a resend of the same wrong password is not counted again
};

extern Server server;

// The server's clock: wall time at start-up, advanced by the monotonic clock.
Time server_clock();

bool server_init(const ServerOptions& options, Text& error);
void server_shutdown();  // saves every character in the world
// One tick: read datagrams, answer, simulate, stream snapshots.
void server_tick();
// Run ticks at SERVER_FPS until *stop becomes true (or the tick limit of the options is reached).
// *save (SIGHUP) saves every character and keeps running.
void server_run(volatile sig_atomic_t* stop, volatile sig_atomic_t* save = nullptr);
// Saves every character in the world in one transaction, or one by one when that fails; returns how many
// were saved.
int server_save_all();
// The process's resident memory in KiB (0 when it cannot be read).
long server_rss_kib();
// valmire-server --create-account: the password is the first line of `in`. Returns the exit status.
int server_create_account(const ServerOptions& options, FILE* in);
// A text from outside as the log prints it: control bytes as \xNN. One of 8 rotating buffers.
const char* log_text(const char* text);

// The request path, for tests: one datagram from an address.
void server_handle_datagram(UdpAddress from, const u8* data, int size);
void server_poll_auth();
void server_expire_sessions(Time now);

Session* server_find_session(UdpAddress address);
Session* server_session_of_player(Id player_id);
void server_end_session(Session& session, const char* why);
int server_session_count();

// Builds the state packet for one session into `packet`: the player, its possessions, then what it sees,
// nearest first, cut so the compressed body fits one datagram. Returns the datagram size, 0 on failure.
int server_build_snapshot(Session& session, Packet& packet);
// The records a snapshot for `player` would carry, in order; returns how many were written to `out`.
int server_collect_snapshot(Entity& player, Entity** out, int capacity);

// Tile generation and the world's population; deterministic for a seed.
void worldgen_tiles(u8* tiles, int width, int height, u32 seed);
v2 worldgen_spawn_point(const u8* tiles, int width, int height);
void worldgen_populate(u32 seed, Time now);
// Adds the entities of each tile's biome to `percent` of the tiles in [x0, x1) x [y0, y1); returns how many.
int worldgen_populate_tiles(int x0, int y0, int x1, int y1, int percent, u32 seed, Time now);
bool server_generate_world(u32 seed, int size, Time now);
// Starting values of a freshly made entity: branches, berries, ore, crop age, wandering.
void worldgen_init_entity(Entity& e, Time now);
