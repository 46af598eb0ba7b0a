#pragma once
// The server: sessions keyed by the client's address, the requests they send, and the tick that
// simulates the world and streams snapshots.
#include <signal.h>

#include "options.hpp"
#include "packet.hpp"
#include "storage.hpp"
#include "udp.hpp"
#include "world.hpp"

constexpr int SESSIONS_MAX = 64;
constexpr int DATAGRAMS_PER_TICK_MAX = 2048;  // a flood cannot starve the simulation
constexpr int PASSWORD_DIGEST_LEN = 32;
constexpr int SNAPSHOT_RECORDS_MAX = 2048;    // records considered for one snapshot
constexpr Duration AUTOSAVE_INTERVAL = {300000000000ull};

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
  bool streaming = false;  // state packets every tick

  u64 packets_sent = 0;
  u32 snapshot_records = 0;  // records in the last snapshot
  int snapshot_size = 0;     // datagram bytes of the last snapshot
};

struct ServerStats {
  u64 datagrams_in = 0;
  u64 malformed = 0;
  u64 packets_out = 0;
  u64 send_failures = 0;
  Duration last_tick_cost;
  Duration last_snapshot_cost;  // all sessions' snapshots of the last tick
};

struct Server {
  ServerOptions options;
  int socket = -1;
  Storage storage;
  Session sessions[SESSIONS_MAX];
  u64 tick = 0;
  bool paused = false;
  int updates_requested = 0;  // single steps an admin asked for while paused
  Time clock_base;            // wall-clock nanoseconds at start, so saved times stay meaningful
  Time monotonic_base;
  Time last_autosave;
  ServerStats stats;
  // Snapshots from per-entity cached pieces (the default), or one deflate of the whole body with the
  // shared encoder at `compression_level`.
  bool snapshot_pieces = true;
  int compression_level = 1;
};

extern Server server;

// The server's clock: wall time at start-up, advanced by the monotonic clock.
Time server_clock();

bool server_init(const ServerOptions& options, Text& error);
void server_shutdown();  // saves every character in the world
// One tick: read datagrams, answer, simulate, stream snapshots.
void server_tick();
// Run ticks at SERVER_FPS until *stop becomes true (or the tick limit of the options is reached).
void server_run(volatile sig_atomic_t* stop);

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
bool server_generate_world(u32 seed, int size, Time now);
// Starting values of a freshly made entity: branches, berries, ore, crop age, wandering.
void worldgen_init_entity(Entity& e, Time now);
