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
#include "snapshot_cache.hpp"
#include "state_body.hpp"

Server server;

// Raw storage: the records are plain bytes on the wire and need no constructor.
alignas(Packet) static u8 out_packet_storage[sizeof(Packet)];
static Packet& out_packet = *(Packet*)out_packet_storage;
static u8 digest_key[crypto_generichash_KEYBYTES];

Time server_clock() { return server.clock_base + (time_now() - server.monotonic_base); }

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
  int n = png_write_gray8((const u8*)l.tiles, l.width, l.height, out_packet.data, PACKET_PAYLOAD_MAX);
  if (n <= 0) {
    printf("server: the world map does not fit one datagram\n");
    return;
  }
  out_packet.type = PacketType_LocationMap;
  out_packet.size = (u32)(PACKET_HEADER_SIZE + n);
  send_packet(s, out_packet);
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

static Session* start_session(UdpAddress address) {
  for (Session& s : server.sessions) {
    if (s.active) continue;
    u32 generation = s.generation + 1;
    s = Session();
    s.generation = generation;
    s.active = true;
    s.address = address;
    s.started = s.last_recv = time_now();
    printf("session %s: started\n", udp_address_str(address));
    return &s;
  }
  return nullptr;
}

static void save_character(Session& s) {
  Entity* player = world_find(s.player_id);
  if (!player || !s.character_id) return;
  static u8 blob[SAVED_CHARACTER_MAX];
  int size = world_save_character(*player, blob, (int)sizeof(blob));
  if (size <= 0 || !storage_save_character_state(server.storage, s.character_id, blob, size))
    printf("session %s: cannot save '%s'\n", udp_address_str(s.address), s.character_name);
}

static void leave_world(Session& s) {
  if (!s.player_id) return;
  save_character(s);
  if (Entity* player = world_find(s.player_id)) world_leave_character(*player);
  printf("session %s: '%s' left the world\n", udp_address_str(s.address), s.character_name);
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
  for (Session& s : server.sessions)
    if (s.active && now.ns > s.last_recv.ns && now.ns - s.last_recv.ns > limit) server_end_session(s, "timed out");
}

// Puts the session's chosen character in the world; a character another session holds moves over.
static bool enter_character(Session& s, s64 character_id, const char* name) {
  leave_world(s);
  for (Session& other : server.sessions) {
    if (&other != &s && other.active && other.character_id == character_id && other.player_id) {
      printf("session %s: '%s' taken over by %s\n", udp_address_str(other.address), name, udp_address_str(s.address));
      leave_world(other);
      other.character_id = 0;
    }
  }
  if (players_in_world() >= PLAYERS_MAX) return false;
  static u8 blob[SAVED_CHARACTER_MAX];
  int size = 0;
  if (!storage_load_character_state(server.storage, character_id, blob, (int)sizeof(blob), &size) || size < 0) size = 0;
  Entity* player = world_enter_character(name, s.admin, blob, size);
  if (!player) return false;
  storage_touch_character(server.storage, character_id, server_clock().ns);
  s.character_id = character_id;
  cstr_copy(s.character_name, name, PLAYER_NAME_LEN);
  s.player_id = player->id;
  s.streaming = false;
  printf("session %s: '%s' entered the world at (%.0f, %.0f)\n", udp_address_str(s.address), name, player->pos.x,
         player->pos.y);
  return true;
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

static void login_session(Session& s, s64 account_id, const char* login) {
  s.account_id = account_id;
  cstr_copy(s.login, login, LOGIN_LEN);
  s.admin = server_is_admin_login(server.options, login);
  memcpy(s.password_digest, s.pending_digest, PASSWORD_DIGEST_LEN);
  s.auth_pending = false;
  printf("session %s: logged in as '%s'%s\n", udp_address_str(s.address), login, s.admin ? " (admin)" : "");
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

static void handle_auth(Session& s, const Request& r) {
  char login[LOGIN_LEN], password[PASSWORD_LEN];
  memcpy(login, r.auth.login, LOGIN_LEN);
  login[LOGIN_LEN - 1] = 0;
  memcpy(password, r.auth.password, PASSWORD_LEN);
  password[PASSWORD_LEN - 1] = 0;
  bool dev = server.options.dev;

  if (r.auth.client_version != CLIENT_VERSION) {
    send_error(s, ErrorCode_VersionMismatch);
  } else if (strlen(login) < (dev ? 1u : 3u)) {
    send_error(s, ErrorCode_LoginTooShort);
  } else if (!dev && strlen(password) < 6) {
    send_error(s, ErrorCode_PasswordTooSimple);
  } else {
    u8 digest[PASSWORD_DIGEST_LEN];
    password_digest(password, digest);
    // The client resends a request that waits for its answer: a resend is answered once, not hashed again.
    if (s.account_id && cstr_equal(s.login, login) && sodium_memcmp(digest, s.password_digest, PASSWORD_DIGEST_LEN) == 0) {
      send_lobby(s);
    } else if (s.auth_pending) {
      // The answer to the first one is on its way.
    } else {
      if (s.account_id) logout(s);
      AccountRecord account;
      if (!storage_find_account(server.storage, login, account)) {
        send_error(s, ErrorCode_InternalServerError);
      } else {
        cstr_copy(s.pending_login, login, LOGIN_LEN);
        memcpy(s.pending_digest, digest, PASSWORD_DIGEST_LEN);
        s.pending_account_id = account.id;
        if (account.id && dev) {
          login_session(s, account.id, login);
        } else if (account.id && r.type == RequestType_Register) {
          send_error(s, ErrorCode_LoginAlreadyExists);
        } else if (!account.id && r.type == RequestType_Login && !dev) {
          send_error(s, ErrorCode_LoginNotFound);
        } else if (!submit_job(s, account.id ? PwhashJob_Verify : PwhashJob_Hash, password, account.password_hash)) {
          send_error(s, ErrorCode_ServerBusy);
        }
      }
      sodium_memzero(digest, sizeof(digest));
    }
  }
  sodium_memzero(password, sizeof(password));
}

void server_poll_auth() {
  PwhashResult result;
  while (pwhash_poll(result)) {
    u32 slot = (u32)(result.ticket & 0xFFFFFFFFu);
    u32 generation = (u32)(result.ticket >> 32);
    if (slot >= SESSIONS_MAX) continue;
    Session& s = server.sessions[slot];
    if (!s.active || s.generation != generation || !s.auth_pending) continue;
    s.auth_pending = false;
    if (!result.ok) {
      // A failed verification is a wrong password; a failed hash is ours.
      send_error(s, s.pending_account_id ? ErrorCode_Forbidden : ErrorCode_InternalServerError);
      if (s.pending_account_id) printf("session %s: wrong password for '%s'\n", udp_address_str(s.address), s.pending_login);
    } else if (s.pending_account_id) {
      login_session(s, s.pending_account_id, s.pending_login);
    } else {
      s64 id = 0;
      StorageResult created = storage_create_account(server.storage, s.pending_login, result.hash, &id);
      if (created == StorageResult_Ok) {
        printf("session %s: registered '%s'\n", udp_address_str(s.address), s.pending_login);
        login_session(s, id, s.pending_login);
      } else if (created == StorageResult_Exists) {
        // Someone registered the same login while the hash was being made.
        send_error(s, ErrorCode_LoginAlreadyExists);
      } else {
        send_error(s, ErrorCode_InternalServerError);
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
  s64 id = 0;
  switch (storage_create_character(server.storage, s.account_id, name, &id)) {
    case StorageResult_Ok: break;
    case StorageResult_Exists: return send_error(s, ErrorCode_NameAlreadyExists);
    case StorageResult_Full: return send_error(s, ErrorCode_NoSpace);
    default: return send_error(s, ErrorCode_InternalServerError);
  }
  printf("session %s: created '%s'\n", udp_address_str(s.address), name);
  if (!enter_character(s, id, name)) return send_error(s, ErrorCode_ServerBusy);
  send_lobby(s);
}

static void handle_enter(Session& s, const Request& r) {
  char name[PLAYER_NAME_LEN];
  if (!take_name(r.enter.name, name) || !name[0]) return send_error(s, ErrorCode_BadRequest);
  s64 id = storage_find_character(server.storage, s.account_id, name);
  if (!id) return send_error(s, ErrorCode_NotFound);
  // A resent enter for the character already in the world is answered again, not entered twice.
  if (!(s.player_id && s.character_id == id) && !enter_character(s, id, name)) return send_error(s, ErrorCode_ServerBusy);
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
  memset(message.text + strlen(message.text), 0, CHAT_MESSAGE_LEN - strlen(message.text));
  cstr_copy(message.sender_name, player.person.name, PLAYER_NAME_LEN);
  message.sender_id = player.id;
  message.recipient_id = 0;
  message.sent_time = server_clock();
  printf("chat: %s: %s\n", message.sender_name, message.text);
  for (Session& other : server.sessions)
    if (other.active && other.player_id) send_simple(other, PacketType_ChatMessage, &message, (int)sizeof(message));
  (void)s;
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
      printf("server: %s by '%s'\n", server.paused ? "paused" : "resumed", s.character_name);
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
    case RequestType_Quit: return leave_world(s);
    default: break;
  }
  Entity* player = world_find(s.player_id);
  if (!player) return send_error(s, ErrorCode_BadRequest);
  switch (r.type) {
    case RequestType_StartStateUpdates:
      send_location(s);
      send_location_map(s);
      s.streaming = true;
      return;
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
    s = start_session(from);
    if (!s) {
      Session refused;
      refused.address = from;
      refused.seq_ack = r.seq;
      send_error(refused, ErrorCode_ServerBusy);
      return;
    }
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

// The shared encoder over copies of the records: one deflate of the whole body, cut and retried until
// it fits. Kept as the reference the piece cache is measured and checked against.
static int build_with_shared_encoder(Session& s, Packet& packet, Entity** list, int n, const AdminBlock* admin) {
  static Entity records[SNAPSHOT_RECORDS_MAX];
  for (int i = 0; i < n; i++) memcpy((void*)&records[i], list[i], sizeof(Entity));
  // Start from the count that fitted last time in a crowd.
  static int fit_hint[SESSIONS_MAX];
  int slot = (int)(&s - server.sessions);
  int want = n;
  if (s.snapshot_records && (int)s.snapshot_records < n && fit_hint[slot] > 0)
    want = min(n, fit_hint[slot] + fit_hint[slot] / 8 + 8);
  int size = 0;
  while (true) {
    size = state_packet_build(packet, records, want, world_game_time(), admin, server.compression_level);
    if (size > 0 || want <= 1) break;
    want = want * 3 / 4;
  }
  fit_hint[slot] = want < n ? want : 0;
  return size;
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
  int size = server.snapshot_pieces
                 ? snapshot_packet_build(packet, list, n, world_game_time(), with_admin ? &admin : nullptr)
                 : build_with_shared_encoder(s, packet, list, n, with_admin ? &admin : nullptr);
  s.snapshot_records = size > 0 ? packet.state.nentities : 0;
  s.snapshot_size = size;
  return size;
}

static void send_snapshots() {
  for (Session& s : server.sessions) {
    if (!s.active || !s.streaming || !s.player_id) continue;
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
  snapshot_cache_clear();
  if (!storage_open(server.storage, options.db.cstr(), error)) return false;
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

static void save_all() {
  storage_begin(server.storage);
  for (Session& s : server.sessions)
    if (s.active && s.player_id) save_character(s);
  storage_commit(server.storage);
}

void server_shutdown() {
  for (Session& s : server.sessions)
    if (s.active) server_end_session(s, "server stopped");
  pwhash_worker_stop();
  udp_close(server.socket);
  server.socket = -1;
  storage_close(server.storage);
  world_free();
  printf("valmire-server: stopped after %llu ticks (%llu datagrams in, %llu dropped as malformed, %llu packets out, "
         "%llu sends failed)\n",
         (unsigned long long)server.tick, (unsigned long long)server.stats.datagrams_in,
         (unsigned long long)server.stats.malformed, (unsigned long long)server.stats.packets_out,
         (unsigned long long)server.stats.send_failures);
  fflush(stdout);
}

static u8 receive_buffer[PACKET_SIZE_MAX];

void server_tick() {
  Time start = time_now();
  for (int i = 0; i < DATAGRAMS_PER_TICK_MAX; i++) {
    UdpAddress from;
    int n = udp_receive(server.socket, receive_buffer, (int)sizeof(receive_buffer), &from);
    if (n <= 0) break;
    server_handle_datagram(from, receive_buffer, min(n, (int)sizeof(receive_buffer) + 1));
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
    save_all();
    server.last_autosave = time_now();
  }
  server.tick++;
  server.stats.last_tick_cost = time_since(start);
  fflush(stdout);
}

void server_run(volatile sig_atomic_t* stop) {
  const Duration step = {1000000000ull / SERVER_FPS};
  Time next = time_now();
  while (!*stop) {
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
