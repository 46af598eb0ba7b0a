// Sessions, requests and the tick. Nothing in a datagram is trusted: the length is checked first, every
// text field is read within its size, and a request that needs an account or a character without one is
// refused with ErrorCode_BadRequest.
#include "server.hpp"

#include <sodium.h>
#include <time.h>

#include <algorithm>

#include "items.hpp"
#include "physics.hpp"
#include "png.hpp"
#include "pwhash.hpp"
#include "snapshot_body.hpp"
#include "state_body.hpp"

Server server;

// Raw storage: the records are plain bytes on the wire and need no constructor.
alignas(Packet) static u8 out_packet_storage[sizeof(Packet)];
static Packet& out_packet = *(Packet*)out_packet_storage;
static u8 digest_key[crypto_generichash_KEYBYTES];

Time server_clock() { return server.clock_base + (time_now() - server.monotonic_base); }

const char* log_text(const char* text) {
  static char buffers[8][4 * CHAT_MESSAGE_LEN + 1];
  static int counter;
  char* b = buffers[counter++ % 8];
  int n = 0;
  for (const char* c = text; *c && n < (int)sizeof(buffers[0]) - 5; c++) {
    u8 byte = (u8)*c;
    if (byte < 0x20 || byte == 0x7F || byte == '\\') n += snprintf(b + n, 5, "\\x%02X", byte);
    else b[n++] = *c;
  }
  b[n] = 0;
  return b;
}

// A limit that lets `burst` through at once and then one per `interval`: `free_at` is when the next one
// would be on time; it may run ahead of now by the burst.
static bool rate_take(Time& free_at, Time now, Duration interval, int burst) {
  Time base = free_at.ns > now.ns ? free_at : now;
  if (base.ns - now.ns > (u64)(burst - 1) * interval.ns) return false;
  free_at = base + interval;
  return true;
}

// --- sending

static void send_packet(Session& s, Packet& packet) {
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

static void send_simple(Session& s, PacketType type, const void* payload, int size) {
  out_packet.type = type;
  out_packet.size = (u32)(PACKET_HEADER_SIZE + size);
  if (size > 0) memcpy(out_packet.data, payload, (size_t)size);
  send_packet(s, out_packet);
}

static void send_error(Session& s, ErrorCode code) {
  SharedError error;
  error.code = code;
  send_simple(s, PacketType_Error, &error, (int)sizeof(error));
}

static void send_lobby(Session& s) {
  CharacterSummary characters[CHARACTERS_PER_ACCOUNT];
  int n = storage_list_characters(server.storage, s.account_id, characters);
  if (n < 0) {
    send_error(s, ErrorCode_InternalServerError);
    return;
  }
  Lobby lobby = {};
  for (int i = 0; i < n; i++) {
    cstr_copy(lobby.players[i].name, characters[i].name, PLAYER_NAME_LEN);
    lobby.players[i].last_login.ns = characters[i].last_login;
  }
  send_simple(s, PacketType_Lobby, &lobby, (int)sizeof(lobby));
}

static void send_location(Session& s) {
  const Location& l = world.location;
  out_packet.type = PacketType_Location;
  out_packet.location.type = l.type;
  out_packet.location.index = l.index;
  out_packet.location.width = l.width;
  out_packet.location.height = l.height;
  out_packet.location.offset = l.offset;
  int ntiles = l.width * l.height;
  memcpy(out_packet.location.tiles, l.tiles, (size_t)ntiles);
  out_packet.size = (u32)(PACKET_HEADER_SIZE + LOCATION_HEADER_SIZE + ntiles);
  send_packet(s, out_packet);
}

static void send_location_map(Session& s) {
  const Location& l = world.location;
  if (server.map_png_size <= 0) {
    server.map_png_size = png_write_gray8((const u8*)l.tiles, l.width, l.height, server.map_png, PACKET_PAYLOAD_MAX);
    if (server.map_png_size <= 0) {
      printf("server: the world map does not fit one datagram\n");
      return;
    }
  }
  send_simple(s, PacketType_LocationMap, server.map_png, server.map_png_size);
}

// --- sessions

Session* server_find_session(UdpAddress address) {
  for (Session& s : server.sessions)
    if (s.active && udp_address_equal(s.address, address)) return &s;
  return nullptr;
}

Session* server_session_of_player(Id player_id) {
  if (!player_id) return nullptr;
  for (Session& s : server.sessions)
    if (s.active && s.player_id == player_id) return &s;
  return nullptr;
}

int server_session_count() {
  int n = 0;
  for (Session& s : server.sessions) n += s.active;
  return n;
}

static int players_in_world() {
  int n = 0;
  for (Session& s : server.sessions) n += s.active && s.player_id != 0;
  return n;
}

static int logged_in_sessions() {
  int n = 0;
  for (Session& s : server.sessions) n += s.active && s.account_id != 0;
  return n;
}

// Makes room in the pool of sessions still logging in: the address's own oldest first, then the oldest.
static void make_prelogin_room(UdpAddress address) {
  for (int pass = 0; pass < 2; pass++) {
    Session* oldest = nullptr;
    int n = 0;
    for (Session& s : server.sessions) {
      if (!s.active || s.account_id || (pass == 0 && s.address.ip != address.ip)) continue;
      n++;
      if (!oldest || s.started.ns < oldest->started.ns) oldest = &s;
    }
    if (oldest && n >= (pass == 0 ? PRELOGIN_PER_ADDRESS : PRELOGIN_MAX)) {
      server.stats.prelogin_evicted++;
      server_end_session(*oldest, "crowded out while logging in");
    }
  }
}

static Session* start_session(UdpAddress address) {
  make_prelogin_room(address);
  for (Session& s : server.sessions) {
    if (s.active) continue;
    u32 generation = s.generation + 1;
    s = Session();
    s.generation = generation;
    s.active = true;
    s.address = address;
    s.started = s.last_recv = time_now();
    // Sessions skip different ticks, so the snapshot work stays even from tick to tick.
    s.snapshot_credit = (int)((&s - server.sessions) * 23 % SERVER_FPS);
    printf("session %s: started\n", udp_address_str(address));
    return &s;
  }
  return nullptr;
}

static bool save_character(Session& s) {
  Entity* player = world_find(s.player_id);
  if (!player || !s.character_id) return true;
  static u8 blob[SAVED_CHARACTER_MAX];
  int size = world_save_character(*player, blob, (int)sizeof(blob));
  if (size <= 0 || !storage_save_character_state(server.storage, s.character_id, blob, size)) {
    printf("session %s: cannot save '%s'\n", udp_address_str(s.address), log_text(s.character_name));
    return false;
  }
  return true;
}

static void leave_world(Session& s) {
  if (!s.player_id) return;
  save_character(s);
  if (Entity* player = world_find(s.player_id)) world_leave_character(*player);
  printf("session %s: '%s' left the world\n", udp_address_str(s.address), log_text(s.character_name));
  s.player_id = 0;
  s.streaming = false;
}

void server_end_session(Session& s, const char* why) {
  if (!s.active) return;
  leave_world(s);
  printf("session %s: ended (%s) after %.1f s, %llu packets sent\n", udp_address_str(s.address), why,
         to_sec(time_since(s.started)), (unsigned long long)s.packets_sent);
  sodium_memzero(s.password_digest, sizeof(s.password_digest));
  sodium_memzero(s.pending_digest, sizeof(s.pending_digest));
  s.active = false;
  s.account_id = 0;
  s.auth_pending = false;
}

void server_expire_sessions(Time now) {
  u64 limit = (u64)server.options.session_timeout_ms * Milliseconds.ns;
  for (Session& s : server.sessions) {
    if (!s.active || now.ns <= s.last_recv.ns) continue;
    u64 silent = now.ns - s.last_recv.ns;
    if (!s.account_id && silent > PRELOGIN_TIMEOUT.ns) server_end_session(s, "timed out while logging in");
    else if (silent > limit) server_end_session(s, "timed out");
  }
}

// Puts the session's chosen character in the world; a character another session holds moves over, and
// that session is told so. A stored record that cannot be read keeps the character out: entering would
// replace it with a fresh one at the next save.
static ErrorCode enter_character(Session& s, s64 character_id, const char* name) {
  static u8 blob[SAVED_CHARACTER_MAX];
  int size = 0;
  if (!storage_load_character_state(server.storage, character_id, blob, (int)sizeof(blob), &size) || size < 0 ||
      !world_saved_character_valid(blob, size)) {
    printf("session %s: the stored record of '%s' cannot be loaded; it stays as it is and is not entered\n",
           udp_address_str(s.address), log_text(name));
    return ErrorCode_InternalServerError;
  }
  leave_world(s);
  for (Session& other : server.sessions) {
    if (&other != &s && other.active && other.character_id == character_id && other.player_id) {
      printf("session %s: '%s' taken over by %s\n", udp_address_str(other.address), log_text(name),
             udp_address_str(s.address));
      leave_world(other);
      other.character_id = 0;
      send_error(other, ErrorCode_Conflict);
    }
  }
  if (players_in_world() >= PLAYERS_MAX) return ErrorCode_ServerBusy;
  // Taken over just now: its record is the one the other session saved on leaving.
  if (!storage_load_character_state(server.storage, character_id, blob, (int)sizeof(blob), &size) || size < 0 ||
      !world_saved_character_valid(blob, size))
    return ErrorCode_InternalServerError;
  Entity* player = world_enter_character(name, s.admin, blob, size);
  if (!player) return ErrorCode_ServerBusy;
  storage_touch_character(server.storage, character_id, server_clock().ns);
  s.character_id = character_id;
  cstr_copy(s.character_name, name, PLAYER_NAME_LEN);
  s.player_id = player->id;
  s.streaming = false;
  printf("session %s: '%s' entered the world at (%.0f, %.0f)\n", udp_address_str(s.address), log_text(name),
         player->pos.x, player->pos.y);
  return ErrorCode_Ok;
}

static void logout(Session& s) {
  leave_world(s);
  s.account_id = 0;
  s.character_id = 0;
  s.login[0] = 0;
  s.admin = false;
  sodium_memzero(s.password_digest, sizeof(s.password_digest));
}

// --- authentication

static void password_digest(const char* password, u8 out[PASSWORD_DIGEST_LEN]) {
  crypto_generichash(out, PASSWORD_DIGEST_LEN, (const u8*)password, strnlen(password, PASSWORD_LEN), digest_key,
                     sizeof(digest_key));
}

static u64 session_ticket(const Session& s) { return ((u64)s.generation << 32) | (u64)(&s - server.sessions); }

// --- wrong passwords

static LoginGuard login_guards[LOGIN_GUARDS_MAX];

static LoginGuard* find_guard(const char* login) {
  for (LoginGuard& g : login_guards)
    if (g.login[0] && cstr_equal(g.login, login)) return &g;
  return nullptr;
}

// Forbidden without hashing: the login is locked out, or this is a resend of the password that just failed.
static bool guard_refuses(const char* login, const u8 digest[PASSWORD_DIGEST_LEN], Time now) {
  LoginGuard* g = find_guard(login);
  if (!g) return false;
  if (now.ns < g->locked_until.ns) return true;
  return g->failures > 0 && now.ns - g->last_failure.ns < 5 * Seconds.ns &&
         sodium_memcmp(digest, g->last_digest, PASSWORD_DIGEST_LEN) == 0;
}

static void guard_failed(const char* login, const u8 digest[PASSWORD_DIGEST_LEN], Time now) {
  LoginGuard* g = find_guard(login);
  if (!g) {
    // The entry of the login that failed longest ago makes room.
    g = &login_guards[0];
    for (LoginGuard& other : login_guards)
      if (other.last_failure.ns < g->last_failure.ns) g = &other;
    *g = LoginGuard();
    cstr_copy(g->login, login, LOGIN_LEN);
  }
  if (g->failures == 0 || now.ns - g->first_failure.ns > LOGIN_FAILURE_WINDOW.ns) {
    g->failures = 0;
    g->first_failure = now;
  }
  g->failures++;
  g->last_failure = now;
  memcpy(g->last_digest, digest, PASSWORD_DIGEST_LEN);
  if (g->failures >= LOGIN_FAILURES_MAX) {
    g->locked_until = now + LOGIN_LOCKOUT;
    g->failures = 0;
    printf("server: %d wrong passwords for '%s' within a minute; its logins are refused for %d s\n",
           LOGIN_FAILURES_MAX, log_text(login), (int)(LOGIN_LOCKOUT.ns / Seconds.ns));
  }
}

static void guard_succeeded(const char* login) {
  if (LoginGuard* g = find_guard(login)) *g = LoginGuard();
}

// --- authentication

// A refused login frees a session that is not logged in, so refusals cannot fill the pool.
static void refuse_auth(Session& s, ErrorCode code) {
  send_error(s, code);
  if (!s.account_id) server_end_session(s, "login refused");
}

static void login_session(Session& s, s64 account_id, const char* login) {
  if (!s.account_id && logged_in_sessions() >= SESSIONS_MAX) return refuse_auth(s, ErrorCode_ServerBusy);
  // Credentials of another account replace the current ones only now that they are verified.
  if (s.account_id) logout(s);
  s.account_id = account_id;
  cstr_copy(s.login, login, LOGIN_LEN);
  s.admin = server_is_admin_login(server.options, login);
  memcpy(s.password_digest, s.pending_digest, PASSWORD_DIGEST_LEN);
  s.auth_pending = false;
  printf("session %s: logged in as '%s'%s\n", udp_address_str(s.address), log_text(login), s.admin ? " (admin)" : "");
  send_lobby(s);
}

static bool submit_job(Session& s, PwhashJobType type, const char* password, const char* hash) {
  PwhashJob job;
  job.ticket = session_ticket(s);
  job.type = type;
  cstr_copy(job.password, password, PASSWORD_LEN);
  if (hash) cstr_copy(job.hash, hash, PASSWORD_HASH_LEN);
  bool ok = pwhash_submit(job);
  sodium_memzero(job.password, sizeof(job.password));
  if (ok) s.auth_pending = true;
  return ok;
}

// What is wrong with a login or register on its face, before any session or storage is involved.
static ErrorCode auth_form_error(const Request& r) {
  char login[LOGIN_LEN];
  memcpy(login, r.auth.login, LOGIN_LEN);
  login[LOGIN_LEN - 1] = 0;
  bool dev = server.options.dev;
  if (r.auth.client_version != CLIENT_VERSION) return ErrorCode_VersionMismatch;
  if (strlen(login) < (dev ? 1u : 3u)) return ErrorCode_LoginTooShort;
  if (!text_is_printable(login)) return ErrorCode_BadRequest;
  if (!dev && strnlen(r.auth.password, PASSWORD_LEN - 1) < 6) return ErrorCode_PasswordTooSimple;
  return ErrorCode_Ok;
}

static void handle_auth(Session& s, const Request& r) {
  char login[LOGIN_LEN], password[PASSWORD_LEN];
  memcpy(login, r.auth.login, LOGIN_LEN);
  login[LOGIN_LEN - 1] = 0;
  memcpy(password, r.auth.password, PASSWORD_LEN);
  password[PASSWORD_LEN - 1] = 0;
  bool dev = server.options.dev;

  ErrorCode form = auth_form_error(r);
  if (form != ErrorCode_Ok) {
    refuse_auth(s, form);
  } else {
    u8 digest[PASSWORD_DIGEST_LEN];
    password_digest(password, digest);
    // The client resends a request that waits for its answer: a resend is answered once, not hashed again.
    if (s.account_id && cstr_equal(s.login, login) && sodium_memcmp(digest, s.password_digest, PASSWORD_DIGEST_LEN) == 0) {
      send_lobby(s);
    } else if (s.auth_pending) {
      // The answer to the first one is on its way.
    } else {
      AccountRecord account;
      if (!storage_find_account(server.storage, login, account)) {
        refuse_auth(s, ErrorCode_InternalServerError);
      } else {
        cstr_copy(s.pending_login, login, LOGIN_LEN);
        memcpy(s.pending_digest, digest, PASSWORD_DIGEST_LEN);
        s.pending_account_id = account.id;
        if (account.id && dev) {
          login_session(s, account.id, login);
        } else if (account.id && r.type == RequestType_Register) {
          refuse_auth(s, ErrorCode_LoginAlreadyExists);
        } else if (!account.id && r.type == RequestType_Register && server_is_admin_login(server.options, login)) {
          // Admin accounts are made by the operator, never by whoever registers the name first.
          printf("session %s: register of admin login '%s' refused\n", udp_address_str(s.address), log_text(login));
          refuse_auth(s, ErrorCode_Forbidden);
        } else if (!account.id && r.type == RequestType_Login && !dev) {
          refuse_auth(s, ErrorCode_LoginNotFound);
        } else if (account.id && guard_refuses(login, digest, time_now())) {
          refuse_auth(s, ErrorCode_Forbidden);
        } else if (!submit_job(s, account.id ? PwhashJob_Verify : PwhashJob_Hash, password, account.password_hash)) {
          refuse_auth(s, ErrorCode_ServerBusy);
        }
      }
    }
    sodium_memzero(digest, sizeof(digest));
  }
  sodium_memzero(password, sizeof(password));
}

void server_poll_auth() {
  PwhashResult result;
  while (pwhash_poll(result)) {
    u32 slot = (u32)(result.ticket & 0xFFFFFFFFu);
    u32 generation = (u32)(result.ticket >> 32);
    if (slot >= SESSION_SLOTS) continue;
    Session& s = server.sessions[slot];
    if (!s.active || s.generation != generation || !s.auth_pending) continue;
    s.auth_pending = false;
    if (!result.ok) {
      // A failed verification is a wrong password; a failed hash is ours.
      if (s.pending_account_id) {
        printf("session %s: wrong password for '%s'\n", udp_address_str(s.address), log_text(s.pending_login));
        guard_failed(s.pending_login, s.pending_digest, time_now());
      }
      refuse_auth(s, s.pending_account_id ? ErrorCode_Forbidden : ErrorCode_InternalServerError);
    } else if (s.pending_account_id) {
      guard_succeeded(s.pending_login);
      // A hash made with weaker settings than today's is replaced now that the password is known good.
      if (result.rehashed && storage_set_password_hash(server.storage, s.pending_account_id, result.hash))
        printf("session %s: password hash of '%s' renewed\n", udp_address_str(s.address), log_text(s.pending_login));
      login_session(s, s.pending_account_id, s.pending_login);
    } else {
      s64 id = 0;
      StorageResult created = storage_create_account(server.storage, s.pending_login, result.hash, &id);
      if (created == StorageResult_Ok) {
        printf("session %s: registered '%s'\n", udp_address_str(s.address), log_text(s.pending_login));
        login_session(s, id, s.pending_login);
      } else if (created == StorageResult_Exists) {
        // Someone registered the same login while the hash was being made.
        refuse_auth(s, ErrorCode_LoginAlreadyExists);
      } else {
        refuse_auth(s, ErrorCode_InternalServerError);
      }
    }
    sodium_memzero(result.hash, sizeof(result.hash));
  }
}

// --- requests

// A name from the network: read within its field, leading and trailing spaces dropped.
// False when it holds a control character; `out` is empty when nothing is left.
static bool take_name(const char* field, char out[PLAYER_NAME_LEN]) {
  char raw[PLAYER_NAME_LEN];
  memcpy(raw, field, PLAYER_NAME_LEN);
  raw[PLAYER_NAME_LEN - 1] = 0;
  const char* start = raw;
  while (*start == ' ') start++;
  int n = (int)strlen(start);
  while (n > 0 && start[n - 1] == ' ') n--;
  for (int i = 0; i < n; i++)
    if ((u8)start[i] < 0x20 || start[i] == 0x7F) return false;
  memcpy(out, start, (size_t)n);
  out[n] = 0;
  return true;
}

static bool finite_v2(v2 v) { return isfinite(v.x) && isfinite(v.y) && fabsf(v.x) < 1e7f && fabsf(v.y) < 1e7f; }

static void handle_create_player(Session& s, const Request& r) {
  char name[PLAYER_NAME_LEN];
  if (!take_name(r.create_player.name, name)) return send_error(s, ErrorCode_BadRequest);
  if (!name[0]) return send_error(s, ErrorCode_CannotBeEmpty);
  if (!rate_take(s.create_free, time_now(), WORLD_MOVE_INTERVAL, 1)) return send_error(s, ErrorCode_Cooldown);
  s64 id = 0;
  switch (storage_create_character(server.storage, s.account_id, name, &id)) {
    case StorageResult_Ok: break;
    case StorageResult_Exists: return send_error(s, ErrorCode_NameAlreadyExists);
    case StorageResult_Full: return send_error(s, ErrorCode_NoSpace);
    default: return send_error(s, ErrorCode_InternalServerError);
  }
  printf("session %s: created '%s'\n", udp_address_str(s.address), log_text(name));
  ErrorCode entered = enter_character(s, id, name);
  if (entered != ErrorCode_Ok) return send_error(s, entered);
  send_lobby(s);
}

static void handle_enter(Session& s, const Request& r) {
  char name[PLAYER_NAME_LEN];
  if (!take_name(r.enter.name, name) || !name[0]) return send_error(s, ErrorCode_BadRequest);
  s64 id = storage_find_character(server.storage, s.account_id, name);
  if (!id) return send_error(s, ErrorCode_NotFound);
  // A resent enter for the character already in the world is answered again, not entered twice.
  if (!(s.player_id && s.character_id == id)) {
    if (!rate_take(s.enter_free, time_now(), WORLD_MOVE_INTERVAL, 1)) return send_error(s, ErrorCode_Cooldown);
    ErrorCode entered = enter_character(s, id, name);
    if (entered != ErrorCode_Ok) return send_error(s, entered);
  }
  send_simple(s, PacketType_World, nullptr, 0);
}

static void handle_chat(Session& s, Entity& player, const Request& r) {
  ChatMessage message = {};
  memcpy(message.text, r.chat.message, CHAT_MESSAGE_LEN);
  message.text[CHAT_MESSAGE_LEN - 1] = 0;
  // Control characters would garble every reader's screen; they become spaces.
  bool blank = true;
  for (char* c = message.text; *c; c++) {
    if ((u8)*c < 0x20 || *c == 0x7F) *c = ' ';
    blank = blank && *c == ' ';
  }
  if (blank) return;
  if (!rate_take(s.chat_free, time_now(), CHAT_INTERVAL, CHAT_BURST)) return send_error(s, ErrorCode_Cooldown);
  memset(message.text + strlen(message.text), 0, CHAT_MESSAGE_LEN - strlen(message.text));
  cstr_copy(message.sender_name, player.person.name, PLAYER_NAME_LEN);
  message.sender_id = player.id;
  message.recipient_id = 0;
  message.sent_time = server_clock();
  printf("chat: %s: %s\n", log_text(message.sender_name), log_text(message.text));
  for (Session& other : server.sessions)
    if (other.active && other.player_id) send_simple(other, PacketType_ChatMessage, &message, (int)sizeof(message));
}

static void stop_mover(Entity& e) {
  if (Mover* mover = find_mover(e)) {
    mover_set_dst(*mover, {});
    mover->vel = {};
  }
}



static void handle_admin(Session& s, Entity& player, const Request& r) {
  const Location& l = world.location;
  switch (r.type) {
    case RequestType_TogglePause:
      toggle(server.paused);
      printf("server: %s by '%s'\n", server.paused ? "paused" : "resumed", log_text(s.character_name));
      break;
    case RequestType_RequestUpdates: server.updates_requested = 1; break;
    case RequestType_Teleport:
      if (!finite_v2(r.dst)) return send_error(s, ErrorCode_BadRequest);
      stop_mover(player);
      set_pos(player, clamp_to_location(l, r.dst, v2{1, 1}));
      break;
    case RequestType_SetTime: world_set_game_time(r.set_time); break;
    case RequestType_AddEntity: {
      EntityType type = r.add_entity.type;
      if (!finite_v2(r.add_entity.dst) || type == Entity_None || type == Entity_Player || !find_entity_prototype(type))
        return send_error(s, ErrorCode_BadRequest);
      Entity* e = world_spawn(type, clamp_to_location(l, r.add_entity.dst, v2{1, 1}));
      if (!e) return send_error(s, ErrorCode_NoSpace);
      e->flags |= r.add_entity.flags & (EntityFlag_Rotate90 | EntityFlag_Rotate180);
      worldgen_init_entity(*e, server_clock());
      break;
    }
    case RequestType_Kill: {
      Entity* target = world_find(r.target_id);
      if (!target) return send_error(s, ErrorCode_NotFound);
      if (Mortal* mortal = find_mortal(*target)) {
        mortal->hp.cur = 0;
        mortal->death_time = server_clock();
        stop_mover(*target);
      } else if (!server_session_of_player(target->id)) {
        world_remove(*target);
      }
      break;
    }
    case RequestType_ToggleInvisible: {
      Entity* target = r.target_id ? world_find(r.target_id) : &player;
      if (!target) return send_error(s, ErrorCode_NotFound);
      target->flags ^= EntityFlag_Invisible;
      break;
    }
    default: send_error(s, ErrorCode_CannotDoThat); break;
  }
}

static bool is_admin_request(RequestType type) {
  switch (type) {
    case RequestType_TogglePause:
    case RequestType_AddEntity:
    case RequestType_GenerateTiles:
    case RequestType_GenerateEntities:
    case RequestType_RequestUpdates:
    case RequestType_SetBiom:
    case RequestType_Teleport:
    case RequestType_Kill:
    case RequestType_MindControl:
    case RequestType_ToggleInvisible:
    case RequestType_SetTime: return true;
    default: return false;
  }
}

static void handle_request(Session& s, const Request& r) {
  switch (r.type) {
    case RequestType_Heartbeat: return;
    case RequestType_Login:
    case RequestType_Register: return handle_auth(s, r);
    case RequestType_Disconnect: return server_end_session(s, "disconnected");
    default: break;
  }
  if (!s.account_id) return send_error(s, ErrorCode_BadRequest);
  switch (r.type) {
    case RequestType_CreatePlayer: return handle_create_player(s, r);
    case RequestType_Enter: return handle_enter(s, r);
    case RequestType_Quit:
      if (!s.player_id) return;
      if (!rate_take(s.quit_free, time_now(), WORLD_MOVE_INTERVAL, 1)) return send_error(s, ErrorCode_Cooldown);
      return leave_world(s);
    default: break;
  }
  Entity* player = world_find(s.player_id);
  if (!player) return send_error(s, ErrorCode_BadRequest);
  switch (r.type) {
    case RequestType_StartStateUpdates: {
      // A repeat within the interval only resumes the stream: a forged one cannot fetch tens of KB.
      Time now = time_now();
      if (!s.location_sent.ns || now.ns - s.location_sent.ns >= LOCATION_RESEND_INTERVAL.ns) {
        send_location(s);
        send_location_map(s);
        s.location_sent = now;
      }
      s.streaming = true;
      return;
    }
    case RequestType_SetDst:
    case RequestType_SetDir: {
      Mover* mover = find_mover(*player);
      if (!mover || !finite_v2(r.dst)) return send_error(s, ErrorCode_BadRequest);
      if (r.type == RequestType_SetDst) {
        mover_set_dst(*mover, clamp_to_location(world.location, r.dst, v2{1, 1}));
      } else {
        mover_set_dir(*mover, v2_normalized(r.dst));
      }
      return;
    }
    case RequestType_Chat: return handle_chat(s, *player, r);
    default: break;
  }
  if (is_admin_request(r.type)) {
    if (!is_admin(*player)) return send_error(s, ErrorCode_Forbidden);
    return handle_admin(s, *player, r);
  }
  // Actions, items, crafting, building and spells are not served yet.
  send_error(s, ErrorCode_CannotDoThat);
}

void server_handle_datagram(UdpAddress from, const u8* data, int size) {
  server.stats.datagrams_in++;
  if (size != (int)sizeof(Request)) {
    server.stats.malformed++;
    return;
  }
  alignas(Request) u8 request_storage[sizeof(Request)];
  memcpy(request_storage, data, sizeof(Request));
  const Request& r = *(const Request*)request_storage;
  Session* s = server_find_session(from);
  if (!s) {
    // Only a login opens a session; anything else from a stranger is dropped unanswered.
    if (r.type != RequestType_Login && r.type != RequestType_Register) {
      server.stats.malformed++;
      return;
    }
    // A login that is wrong on its face is answered without a session: the answer is smaller than the request.
    ErrorCode form = auth_form_error(r);
    if (form == ErrorCode_Ok) s = start_session(from);
    if (!s) {
      Session refused;
      refused.address = from;
      refused.seq_ack = r.seq;
      send_error(refused, form != ErrorCode_Ok ? form : ErrorCode_ServerBusy);
      return;
    }
    s->seq_ack = r.seq;
  } else if (r.seq > s->seq_ack && r.seq - s->seq_ack > SEQ_WINDOW) {
    server.stats.seq_out_of_window++;
    return;
  }
  s->last_recv = time_now();
  if (r.seq > s->seq_ack) s->seq_ack = r.seq;
  if (r.type == RequestType_None || r.type >= RequestType_count) {
    server.stats.malformed++;
    return send_error(*s, ErrorCode_BadRequest);
  }
  handle_request(*s, r);
}

// --- snapshots

struct SnapshotCandidate {
  f32 distance_sqr;
  Entity* entity;
};

static void append_contents(const Entity& holder, Entity** out, int& n, int capacity) {
  const Container* c = find_container(holder);
  if (!c) return;
  for (int i = 0; i < container_nslots(*c) && n < capacity; i++) {
    Entity* item = world_find(c->slots[i]);
    if (item && item != &holder) out[n++] = item;
  }
}

int server_collect_snapshot(Entity& player, Entity** out, int capacity) {
  int n = 0;
  if (capacity <= 0) return 0;
  out[n++] = &player;
  // The character's possessions, breadth first: gear, what the bag holds, and deeper.
  for (int i = 0; i < n && n < capacity; i++) append_contents(*out[i], out, n, capacity);
  if (Mortal* mortal = find_mortal(player)) {
    Entity* burden = world_find(mortal->burden);
    if (burden && n < capacity) out[n++] = burden;
  }
  static SnapshotCandidate candidates[ENTITIES_MAX];
  int ncandidates = 0;
  for (EntityIter it = locate_entities(in_radius(&player, vision_radius, player.pos)); it.entity; next(it)) {
    if (it.entity == &player || ncandidates >= ENTITIES_MAX) continue;
    candidates[ncandidates++] = {v2_distance_sqr(it.entity->pos, player.pos), it.entity};
  }
  std::sort(candidates, candidates + ncandidates,
            [](const SnapshotCandidate& a, const SnapshotCandidate& b) { return a.distance_sqr < b.distance_sqr; });
  for (int i = 0; i < ncandidates && n < capacity; i++) {
    out[n++] = candidates[i].entity;
    // What others hold and chests contain, one level down, right after their holder.
    append_contents(*candidates[i].entity, out, n, capacity);
  }
  return n;
}

int server_build_snapshot(Session& s, Packet& packet) {
  Entity* player = world_find(s.player_id);
  if (!player) return 0;
  static Entity* list[SNAPSHOT_RECORDS_MAX];
  int n = server_collect_snapshot(*player, list, SNAPSHOT_RECORDS_MAX);
  AdminBlock admin;
  bool with_admin = is_admin(*player);
  if (with_admin) {
    for (Session& other : server.sessions) {
      Entity* e = other.active ? world_find(other.player_id) : nullptr;
      if (!e || admin.nplayers >= PLAYERS_MAX) continue;
      AdminPlayerInfo& info = admin.players[admin.nplayers++];
      info.id = e->id;
      info.person = e->person;
      info.pos = e->pos;
    }
  }
  int size = snapshot_packet_build(packet, list, n, world_game_time(), with_admin ? &admin : nullptr);
  s.snapshot_records = size > 0 ? packet.state.nentities : 0;
  s.snapshot_size = size;
  return size;
}

static void send_snapshots() {
  Time now = time_now();
  for (Session& s : server.sessions) {
    if (!s.active || !s.streaming || !s.player_id) continue;
    // A client silent this long is gone or was never there (a forged start): nothing goes its way.
    if (now.ns > s.last_recv.ns && now.ns - s.last_recv.ns > STREAM_SILENCE.ns) continue;
    s.snapshot_credit += SNAPSHOTS_PER_SECOND;
    if (s.snapshot_credit < SERVER_FPS) continue;
    s.snapshot_credit -= SERVER_FPS;
    if (server_build_snapshot(s, out_packet) > 0) send_packet(s, out_packet);
  }
}

// --- start, tick, stop

bool server_init(const ServerOptions& options, Text& error) {
  server.options = options;
  if (!pwhash_init()) {
    error = Text("libsodium cannot start");
    return false;
  }
  randombytes_buf(digest_key, sizeof(digest_key));
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
    printf("valmire-server: warning: --hash-cost low makes passwords cheap to guess from a stolen database; "
           "it is meant for tests\n");
  if (!server_generate_world(options.seed, options.world_size, server_clock())) {
    error = Text("cannot generate the world");
    storage_close(server.storage);
    return false;
  }
  server.socket = udp_open(options.bind, options.port, error);
  if (server.socket < 0) {
    storage_close(server.storage);
    world_free();
    return false;
  }
  pwhash_worker_start(options.hash_cost);
  printf("valmire-server: listening on udp %s:%u (database %s, world %dx%d seed %u with %d entities%s)\n",
         options.bind, options.port, options.db.cstr(), options.world_size, options.world_size, options.seed,
         world_entity_count(), options.dev ? ", dev mode: any login is accepted" : "");
  fflush(stdout);
  return true;
}

int server_save_all() {
  int n = 0;
  if (storage_begin(server.storage)) {
    bool ok = true;
    for (Session& s : server.sessions)
      if (s.active && s.player_id) {
        ok = save_character(s) && ok;
        n++;
      }
    if (ok && storage_commit(server.storage)) return n;
    storage_rollback(server.storage);
    printf("valmire-server: saving in one transaction failed; saving character by character\n");
  }
  n = 0;
  for (Session& s : server.sessions)
    if (s.active && s.player_id) n += save_character(s);
  return n;
}

void server_shutdown() {
  for (Session& s : server.sessions)
    if (s.active) server_end_session(s, "server stopped");
  pwhash_worker_stop();
  udp_close(server.socket);
  server.socket = -1;
  storage_close(server.storage);
  world_free();
  printf("valmire-server: stopped after %llu ticks (%llu datagrams in, %llu dropped as malformed, %llu out of "
         "sequence, %llu packets out, %llu sends failed)\n",
         (unsigned long long)server.tick, (unsigned long long)server.stats.datagrams_in,
         (unsigned long long)server.stats.malformed, (unsigned long long)server.stats.seq_out_of_window,
         (unsigned long long)server.stats.packets_out, (unsigned long long)server.stats.send_failures);
  fflush(stdout);
}

static UdpBatch receive_batch;

void server_tick() {
  Time start = time_now();
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
  if (!server.paused || server.updates_requested > 0) {
    world_update(SERVER_DT, server_clock());
    if (server.updates_requested > 0) server.updates_requested--;
  }
  Time snapshots = time_now();
  send_snapshots();
  server.stats.last_snapshot_cost = time_since(snapshots);
  if (time_since(server.last_autosave) > AUTOSAVE_INTERVAL) {
    server_save_all();
    server.last_autosave = time_now();
  }
  server.tick++;
  server.stats.last_tick_cost = time_since(start);
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
    StorageResult r = pwhash_hash(options.hash_cost, password, hash) ? storage_create_account(storage, options.create_account, hash, &id)
                                                                      : StorageResult_Error;
    if (r == StorageResult_Ok) {
      printf("valmire-server: account '%s' created\n", options.create_account);
      status = 0;
    } else {
      fprintf(stderr, "valmire-server: %s\n", r == StorageResult_Exists ? "that login already has an account" : "cannot create the account");
    }
    sodium_memzero(hash, sizeof(hash));
    storage_close(storage);
  }
  sodium_memzero(password, sizeof(password));
  return status;
}
