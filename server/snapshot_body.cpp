// Snapshot bodies deflated whole, records fed straight from the world's storage (no copy).
#include "snapshot_body.hpp"

#include <libdeflate.h>
#include <zlib.h>

static SnapshotBodyStats stats;
static z_stream body_stream;
static bool body_stream_ready = false;

SnapshotBodyStats snapshot_body_stats() { return stats; }

// Raw deflate: the zlib header and the Adler-32 trailer are written here, the checksum with libdeflate's
// vectorised one (zlib's took a sixth of the time).
static z_stream& stream() {
  if (!body_stream_ready) {
    // Runs only: a snapshot goes out 40 times a second to every player, the long runs of a record are most
    // of what deflate finds, and one Huffman table over the whole body does the rest (smaller than level 1's
    // matches across records, at the same cost).
    if (deflateInit2(&body_stream, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
      panic("snapshot: cannot start deflate");
    body_stream_ready = true;
  }
  return body_stream;
}

// Feeds `size` bytes (and completes the flush asked for); false when the output is full.
static bool feed(z_stream& z, const void* data, int size, int flush) {
  z.next_in = (Bytef*)data;
  z.avail_in = (uInt)size;
  for (;;) {
    int rc = deflate(&z, flush);
    if (flush == Z_FINISH && rc == Z_STREAM_END) return true;
    if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
    if (z.avail_in == 0 && (flush == Z_NO_FLUSH || (flush == Z_SYNC_FLUSH && z.avail_out > 0))) return true;
    if (z.avail_out == 0) return false;
  }
}

// Records between the points where the stream is flushed to a byte boundary (each costs a few bytes). A
// body that would not fit ends at the last such point, so one pass always suffices.
constexpr int SNAPSHOT_CHECKPOINT_RECORDS = 128;

int snapshot_body_encode(Entity* const* entities, int nentities, const AdminBlock* admin, u8* out, int cap, int* taken) {
  *taken = 0;
  if (nentities < 0 || cap <= 0 || (admin && admin->nplayers > PLAYERS_MAX)) return -1;
  static u8 closing[4 + PLAYERS_MAX * sizeof(AdminPlayerInfo) + 1];
  int closing_size = 0;
  if (admin) {
    memcpy(closing, &admin->nplayers, 4);
    memcpy(closing + 4, admin->players, admin->nplayers * sizeof(AdminPlayerInfo));
    closing_size = 4 + (int)(admin->nplayers * sizeof(AdminPlayerInfo));
  }
  closing[closing_size++] = STATE_BODY_MARKER;
  z_stream& z = stream();
  int reserve = (int)deflateBound(&z, (uLong)closing_size) + 4;  // the closing block and the trailer
  if (cap < 2 + reserve) return -1;
  stats.bodies++;

  out[0] = 0x78;  // deflate, 32 KiB window
  out[1] = 0x01;  // no dictionary, fastest; (0x78 * 256 + 0x01) % 31 == 0
  deflateReset(&z);
  z.next_out = out + 2;
  z.avail_out = (uInt)(cap - 2 - 4);
  u32 adler = 1;
  // The last point known to leave room for the closing: records taken, bytes, checksum of the records.
  int good_records = 0, good_size = 2;
  u32 good_adler = adler;
  int n = 0;
  for (; n < nentities; n++) {
    if (!feed(z, entities[n], Entity_Shared_Size, Z_NO_FLUSH)) break;
    adler = libdeflate_adler32(adler, entities[n], Entity_Shared_Size);
    if ((n + 1) % SNAPSHOT_CHECKPOINT_RECORDS == 0 && n + 1 < nentities) {
      if (!feed(z, nullptr, 0, Z_SYNC_FLUSH) || 2 + (int)z.total_out > cap - reserve) break;
      good_records = n + 1;
      good_size = 2 + (int)z.total_out;
      good_adler = adler;
    }
  }
  if (n == nentities && feed(z, closing, closing_size, Z_FINISH)) {
    *taken = nentities;
    good_size = 2 + (int)z.total_out;
  } else {
    // Nearest first: what does not fit is the farthest. The bytes up to the last good point end on a byte
    // boundary; a fresh final block with the closing part follows them.
    stats.cut_short++;
    deflateReset(&z);
    z.next_out = out + good_size;
    z.avail_out = (uInt)(cap - good_size - 4);
    if (!feed(z, closing, closing_size, Z_FINISH)) return -1;
    *taken = good_records;
    good_size += (int)z.total_out;
    adler = good_adler;
  }
  adler = libdeflate_adler32(adler, closing, (size_t)closing_size);
  out[good_size++] = (u8)(adler >> 24);
  out[good_size++] = (u8)(adler >> 16);
  out[good_size++] = (u8)(adler >> 8);
  out[good_size++] = (u8)adler;
  return good_size;
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
