// The state body codec. Encoding streams the records through zlib. Decoding inflates the whole body in
// one call straight into the destination's own memory and then spreads the records out to their slots:
// no extra buffer and no per-record inflate call, which costs several times the decompression itself.
#include "state_body.hpp"

#include <libdeflate.h>
#include <zlib.h>

static_assert(sizeof(Entity) >= Entity_Shared_Size, "the wire record is the leading part of Entity");
static_assert(sizeof(AdminBlock::nplayers) == 4);

static constexpr s64 ADMIN_BLOCK_MAX = 4 + (s64)PLAYERS_MAX * (s64)sizeof(AdminPlayerInfo);

static bool deflate_feed(z_stream& z, const void* data, int size, int flush) {
  z.next_in = (Bytef*)data;
  z.avail_in = (uInt)size;
  for (;;) {
    int rc = deflate(&z, flush);
    if (rc == Z_STREAM_END) return true;
    if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
    if (z.avail_in == 0 && flush != Z_FINISH) return true;
    // Out of room: the body does not fit.
    if (z.avail_out == 0) return false;
  }
}

int state_body_encode(u8* out, int cap, const Entity* entities, int nentities, const AdminBlock* admin, int level) {
  if (nentities < 0 || nentities > ENTITIES_MAX || cap <= 0) return -1;
  if (admin && admin->nplayers > PLAYERS_MAX) return -1;
  z_stream z = {};
  if (deflateInit(&z, level) != Z_OK) return -1;
  z.next_out = out;
  z.avail_out = (uInt)cap;
  bool ok = true;
  for (int i = 0; ok && i < nentities; i++) ok = deflate_feed(z, &entities[i], Entity_Shared_Size, Z_NO_FLUSH);
  if (ok && admin) {
    ok = deflate_feed(z, &admin->nplayers, 4, Z_NO_FLUSH) &&
         deflate_feed(z, admin->players, (int)(admin->nplayers * sizeof(AdminPlayerInfo)), Z_NO_FLUSH);
  }
  ok = ok && deflate_feed(z, &STATE_BODY_MARKER, 1, Z_FINISH);
  int written = (int)z.total_out;
  deflateEnd(&z);
  return ok ? written : -1;
}

int state_packet_build(Packet& packet, const Entity* entities, int nentities, GameTime game_time,
                       const AdminBlock* admin, int level) {
  int n = state_body_encode(packet.data + sizeof(PacketStateHeader), STATE_BODY_MAX, entities, nentities, admin, level);
  if (n < 0) return 0;
  packet.type = PacketType_State;
  packet.size = (u32)(STATE_BODY_OFFSET + n);
  packet.state.nentities = (u16)nentities;
  packet.state.game_time = game_time;
  return (int)packet.size;
}

static bool record_is_player(const u8* record, const char* player_name, int name_len) {
  ComponentMask mask;
  memcpy(&mask, record + offsetof(Entity, enabled_components), sizeof(mask));
  if (!(mask & ((ComponentMask)1 << Component_Person))) return false;
  const char* name = (const char*)record + offsetof(Entity, person) + offsetof(Person, name);
  return (int)strnlen(name, PLAYER_NAME_LEN) == name_len && memcmp(name, player_name, (size_t)name_len) == 0;
}

static libdeflate_decompressor* state_decompressor() {
  static libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  if (!d) panic("libdeflate: cannot allocate a decompressor");
  return d;
}

StateBodyResult state_body_decode(const u8* body, int size, int nentities, Entity* entities, int capacity,
                                  const char* player_name, AdminBlock* admin) {
  StateBodyResult result;
  if (nentities < 0 || nentities > ENTITIES_MAX || nentities > capacity) {
    result.error = "too many entities";
    return result;
  }
  if (size <= 0) {
    result.error = "empty body";
    return result;
  }
  // The body is inflated into the slots themselves; its longest valid form must fit there.
  u8* base = (u8*)entities;
  s64 records_size = (s64)nentities * Entity_Shared_Size;
  s64 room = (s64)capacity * (s64)sizeof(Entity);
  s64 out_cap = records_size + ADMIN_BLOCK_MAX + 1;
  if (out_cap > room) out_cap = room;
  result.dirty_bytes = out_cap;

  size_t in_used = 0, out_len = 0;
  libdeflate_result rc = libdeflate_zlib_decompress_ex(state_decompressor(), body, (size_t)size, base, (size_t)out_cap,
                                                       &in_used, &out_len);
  if (rc == LIBDEFLATE_INSUFFICIENT_SPACE) {
    result.error = "body longer than its records";
    return result;
  }
  if (rc != LIBDEFLATE_SUCCESS) {
    result.error = "zlib error";
    return result;
  }
  if (in_used != (size_t)size) {
    result.error = "trailing input";
    return result;
  }
  if ((s64)out_len < records_size + 1) {
    result.error = "short record";
    return result;
  }

  int name_len = player_name ? (int)strnlen(player_name, PLAYER_NAME_LEN) : 0;
  if (player_name && name_len < PLAYER_NAME_LEN) {
    for (int i = 0; i < nentities; i++) {
      if (record_is_player(base + (s64)i * Entity_Shared_Size, player_name, name_len)) result.player_index = i;
    }
  }
  bool admin_due = false;
  if (result.player_index >= 0) {
    u32 flags;
    memcpy(&flags, base + (s64)result.player_index * Entity_Shared_Size + offsetof(Entity, flags), sizeof(flags));
    admin_due = (flags & EntityFlag_IsAdmin) != 0;
  }

  s64 at = records_size;
  u32 nadmins = 0;
  if (admin_due) {
    if ((s64)out_len < at + 4) {
      result.error = "short admin block";
      return result;
    }
    memcpy(&nadmins, base + at, 4);
    if (nadmins > PLAYERS_MAX) {
      result.error = "too many admin players";
      return result;
    }
    at += 4 + (s64)nadmins * (s64)sizeof(AdminPlayerInfo);
  }
  if ((s64)out_len != at + 1) {
    result.error = (s64)out_len < at + 1 ? "short admin block" : "missing marker";
    return result;
  }
  if (base[at] != STATE_BODY_MARKER) {
    result.error = "missing marker";
    return result;
  }
  // The admin block lies behind the records; take it before the records spread over it.
  if (admin_due && admin) {
    admin->nplayers = nadmins;
    memcpy(admin->players, base + records_size + 4, nadmins * sizeof(AdminPlayerInfo));
  }
  // Record i moves from i * shared to i * sizeof(Entity), never below its source: going from the last
  // to the first, no record is overwritten before it has moved.
  constexpr size_t tail = sizeof(Entity) - Entity_Shared_Size;
  for (int i = nentities - 1; i >= 0; i--) {
    u8* dst = base + (s64)i * (s64)sizeof(Entity);
    const u8* src = base + (s64)i * Entity_Shared_Size;
    if (dst != src) memmove(dst, src, Entity_Shared_Size);
    memset(dst + Entity_Shared_Size, 0, tail);
  }
  result.ok = true;
  return result;
}
