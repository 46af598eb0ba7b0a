// Sessions keyed by the client's address, logging in (passwords hashed off the tick, wrong ones backed off),
// and characters entering and leaving the world.
#include <sodium.h>

#include "items.hpp"
#include "pwhash.hpp"
#include "play.hpp"

static u8 digest_key[crypto_generichash_KEYBYTES];

void server_auth_init() { randombytes_buf(digest_key, sizeof(digest_key)); }

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

Session* server_start_session(UdpAddress address) {
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

bool server_save_character(Session& s) {
  Entity* player = world_find(s.player_id);
  if (!player || !s.character_id) return true;
  static u8 blob[SAVED_CHARACTER_MAX];
  int size = world_save_character(*player, blob, (int)sizeof(blob), s.return_pos);
  if (size <= 0 || !storage_save_character_state(server.storage, s.character_id, blob, size)) {
    printf("session %s: cannot save '%s'\n", udp_address_str(s.address), log_text(s.character_name));
    return false;
  }
  return true;
}

void server_leave_world(Session& s) {
  if (!s.player_id) return;
  Entity* player = world_find(s.player_id);
  if (player) play_put_down_burden(*player);
  server_save_character(s);
  if (player) world_leave_character(*player);
  printf("session %s: '%s' left the world\n", udp_address_str(s.address), log_text(s.character_name));
  s.player_id = 0;
  s.streaming = false;
}

void server_end_session(Session& s, const char* why) {
  if (!s.active) return;
  server_leave_world(s);
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
    if (!s.account_id && silent > PRELOGIN_TIMEOUT.ns)
      server_end_session(s, "timed out while logging in");
    else if (silent > limit)
      server_end_session(s, "timed out");
  }
}

// Puts the session's chosen character in the world; a character another session holds moves over, and
// that session is told so. A stored record that cannot be read keeps the character out: entering would
// replace it with a fresh one at the next save.
ErrorCode server_enter_character(Session& s, s64 character_id, const char* name) {
  static u8 blob[SAVED_CHARACTER_MAX];
  int size = 0;
  if (!storage_load_character_state(server.storage, character_id, blob, (int)sizeof(blob), &size) || size < 0 ||
      !world_saved_character_valid(blob, size)) {
    printf("session %s: the stored record of '%s' cannot be loaded; it stays as it is and is not entered\n",
           udp_address_str(s.address), log_text(name));
    return ErrorCode_InternalServerError;
  }
  server_leave_world(s);
  for (Session& other : server.sessions) {
    if (&other != &s && other.active && other.character_id == character_id && other.player_id) {
      printf("session %s: '%s' taken over by %s\n", udp_address_str(other.address), log_text(name),
             udp_address_str(s.address));
      server_leave_world(other);
      other.character_id = 0;
      server_send_error(other, ErrorCode_Conflict);
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
  s.return_pos = world_saved_return(blob, size);  // the way out of the dungeon belongs to the character
  s.streaming = false;
  printf("session %s: '%s' entered the world at (%.0f, %.0f)\n", udp_address_str(s.address), log_text(name),
         player->pos.x, player->pos.y);
  return ErrorCode_Ok;
}

static void logout(Session& s) {
  server_leave_world(s);
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
    printf("server: %d wrong passwords for '%s' within a minute; its logins are refused for %d s\n", LOGIN_FAILURES_MAX,
           log_text(login), (int)(LOGIN_LOCKOUT.ns / Seconds.ns));
  }
}

static void guard_succeeded(const char* login) {
  if (LoginGuard* g = find_guard(login)) *g = LoginGuard();
}

// --- authentication

// A refused login frees a session that is not logged in, so refusals cannot fill the pool.
static void refuse_auth(Session& s, ErrorCode code) {
  server_send_error(s, code);
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
  server_send_lobby(s);
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
ErrorCode server_auth_form_error(const Request& r) {
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

void server_handle_auth(Session& s, const Request& r) {
  char login[LOGIN_LEN], password[PASSWORD_LEN];
  memcpy(login, r.auth.login, LOGIN_LEN);
  login[LOGIN_LEN - 1] = 0;
  memcpy(password, r.auth.password, PASSWORD_LEN);
  password[PASSWORD_LEN - 1] = 0;
  bool dev = server.options.dev;

  ErrorCode form = server_auth_form_error(r);
  if (form != ErrorCode_Ok) {
    refuse_auth(s, form);
  } else {
    u8 digest[PASSWORD_DIGEST_LEN];
    password_digest(password, digest);
    // The client resends a request that waits for its answer: a resend is answered once, not hashed again.
    if (s.account_id && cstr_equal(s.login, login) &&
        sodium_memcmp(digest, s.password_digest, PASSWORD_DIGEST_LEN) == 0) {
      server_send_lobby(s);
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

void server_handle_create_player(Session& s, const Request& r) {
  char name[PLAYER_NAME_LEN];
  if (!take_name(r.create_player.name, name)) return server_send_error(s, ErrorCode_BadRequest);
  if (!name[0]) return server_send_error(s, ErrorCode_CannotBeEmpty);
  if (!server_rate_take(s.create_free, time_now(), WORLD_MOVE_INTERVAL, 1))
    return server_send_error(s, ErrorCode_Cooldown);
  s64 id = 0;
  switch (storage_create_character(server.storage, s.account_id, name, &id)) {
    case StorageResult_Ok: break;
    case StorageResult_Exists: return server_send_error(s, ErrorCode_NameAlreadyExists);
    case StorageResult_Full: return server_send_error(s, ErrorCode_NoSpace);
    default: return server_send_error(s, ErrorCode_InternalServerError);
  }
  printf("session %s: created '%s'\n", udp_address_str(s.address), log_text(name));
  ErrorCode entered = server_enter_character(s, id, name);
  if (entered != ErrorCode_Ok) return server_send_error(s, entered);
  server_send_lobby(s);
}

void server_handle_enter(Session& s, const Request& r) {
  char name[PLAYER_NAME_LEN];
  if (!take_name(r.enter.name, name) || !name[0]) return server_send_error(s, ErrorCode_BadRequest);
  s64 id = storage_find_character(server.storage, s.account_id, name);
  if (!id) return server_send_error(s, ErrorCode_NotFound);
  // A resent enter for the character already in the world is answered again, not entered twice.
  if (!(s.player_id && s.character_id == id)) {
    if (!server_rate_take(s.enter_free, time_now(), WORLD_MOVE_INTERVAL, 1))
      return server_send_error(s, ErrorCode_Cooldown);
    ErrorCode entered = server_enter_character(s, id, name);
    if (entered != ErrorCode_Ok) return server_send_error(s, entered);
  }
  server_send_simple(s, PacketType_World, nullptr, 0);
}
