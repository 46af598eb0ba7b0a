// Per-entity compressed pieces of snapshot bodies, kept by storage slot and reused while the record stays
// the same byte for byte.
#include "snapshot_cache.hpp"

#include <zlib.h>

#include "registry.hpp"

struct SnapshotCache {
  u8 record[ENTITIES_MAX][Entity_Shared_Size];  // the bytes the piece was made from
  u8 piece[ENTITIES_MAX][SNAPSHOT_PIECE_MAX];
  u16 piece_size[ENTITIES_MAX];  // 0: nothing cached
  u32 adler[ENTITIES_MAX];       // Adler-32 of the record
};

static SnapshotCache cache;
static SnapshotCacheStats stats;
static z_stream piece_stream;
static bool piece_stream_ready = false;

void snapshot_cache_clear() {
  memset(cache.piece_size, 0, sizeof(cache.piece_size));
  stats = {};
}

SnapshotCacheStats snapshot_cache_stats() { return stats; }

static z_stream& stream() {
  if (!piece_stream_ready) {
    // Raw deflate (no zlib wrapper: the body has one header of its own), the fastest level, a small hash.
    if (deflateInit2(&piece_stream, 1, Z_DEFLATED, -15, 1, Z_RLE) != Z_OK)
      panic("snapshot: cannot start deflate");
    piece_stream_ready = true;
  }
  return piece_stream;
}

// Deflates `size` bytes into out as a piece that ends on a byte boundary; `finish` closes the stream.
static int deflate_piece(const void* data, int size, u8* out, int cap, bool finish) {
  z_stream& z = stream();
  deflateReset(&z);
  z.next_in = (Bytef*)data;
  z.avail_in = (uInt)size;
  z.next_out = out;
  z.avail_out = (uInt)cap;
  int rc = deflate(&z, finish ? Z_FINISH : Z_FULL_FLUSH);
  bool done = finish ? rc == Z_STREAM_END : (rc == Z_OK && z.avail_in == 0 && z.avail_out > 0);
  return done ? cap - (int)z.avail_out : -1;
}

int snapshot_body_encode(Entity* const* entities, int nentities, const AdminBlock* admin, u8* out, int cap, int* taken) {
  *taken = 0;
  if (admin && admin->nplayers > PLAYERS_MAX) return -1;
  int closing_raw = (admin ? 4 + (int)admin->nplayers * (int)sizeof(AdminPlayerInfo) : 0) + 1;
  // What the closing part and the trailer may need in the worst case.
  int reserve = (int)deflateBound(&stream(), (uLong)closing_raw) + 4;
  if (cap < 2 + reserve) return -1;
  out[0] = 0x78;  // deflate, 32 KiB window
  out[1] = 0x01;  // no dictionary, fastest; (0x78 * 256 + 0x01) % 31 == 0
  int at = 2;
  uLong adler = adler32(0, nullptr, 0);
  static u8 scratch[2 * Entity_Shared_Size];

  for (int i = 0; i < nentities; i++) {
    const Entity* e = entities[i];
    long slot = e - entity_storage.entities;
    if (slot < 0 || slot >= ENTITIES_MAX) break;  // not a storage record: not ours to encode
    const u8* piece = nullptr;
    int piece_size = 0;
    u32 piece_adler = 0;
    if (cache.piece_size[slot] && memcmp(cache.record[slot], e, Entity_Shared_Size) == 0) {
      piece = cache.piece[slot];
      piece_size = cache.piece_size[slot];
      piece_adler = cache.adler[slot];
      stats.pieces_reused++;
    } else {
      piece_size = deflate_piece(e, Entity_Shared_Size, scratch, (int)sizeof(scratch), false);
      if (piece_size <= 0) return -1;
      piece = scratch;
      piece_adler = (u32)adler32(adler32(0, nullptr, 0), (const Bytef*)e, Entity_Shared_Size);
      if (piece_size <= SNAPSHOT_PIECE_MAX) {
        memcpy(cache.record[slot], e, Entity_Shared_Size);
        memcpy(cache.piece[slot], scratch, (size_t)piece_size);
        cache.piece_size[slot] = (u16)piece_size;
        cache.adler[slot] = piece_adler;
        stats.pieces_made++;
      } else {
        cache.piece_size[slot] = 0;
        stats.pieces_uncached++;
      }
    }
    // Nearest first: what does not fit is the farthest, and is left out.
    if (at + piece_size > cap - reserve) break;
    memcpy(out + at, piece, (size_t)piece_size);
    at += piece_size;
    adler = adler32_combine(adler, piece_adler, Entity_Shared_Size);
    (*taken)++;
  }

  static u8 closing[4 + PLAYERS_MAX * sizeof(AdminPlayerInfo) + 1];
  int n = 0;
  if (admin) {
    memcpy(closing, &admin->nplayers, 4);
    memcpy(closing + 4, admin->players, admin->nplayers * sizeof(AdminPlayerInfo));
    n = 4 + (int)(admin->nplayers * sizeof(AdminPlayerInfo));
  }
  closing[n++] = STATE_BODY_MARKER;
  int closing_size = deflate_piece(closing, n, out + at, cap - at - 4, true);
  if (closing_size < 0) return -1;
  at += closing_size;
  adler = adler32_combine(adler, adler32(adler32(0, nullptr, 0), closing, (uInt)n), n);
  out[at++] = (u8)(adler >> 24);
  out[at++] = (u8)(adler >> 16);
  out[at++] = (u8)(adler >> 8);
  out[at++] = (u8)adler;
  return at;
}

int snapshot_packet_build(Packet& packet, Entity* const* entities, int nentities, GameTime game_time,
                          const AdminBlock* admin) {
  int taken = 0;
  int n = snapshot_body_encode(entities, nentities, admin, packet.data + sizeof(PacketStateHeader), STATE_BODY_MAX, &taken);
  if (n < 0) return 0;
  packet.type = PacketType_State;
  packet.size = (u32)(STATE_BODY_OFFSET + n);
  packet.state.nentities = (u16)taken;
  packet.state.game_time = game_time;
  return (int)packet.size;
}
