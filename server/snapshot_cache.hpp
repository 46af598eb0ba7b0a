#pragma once
// Snapshot bodies assembled from per-entity compressed pieces. Each record is deflated on its own (a
// full flush ends it on a byte boundary with a fresh window), so pieces can be laid side by side in any
// order and still form one valid zlib stream; the Adler-32 of the whole is combined from the pieces'.
// A piece is made again only when its record changed, so a tree costs its compression once, not once per
// player per tick. The inflated body is exactly the layout of state_body_encode (records, the admin block
// when given, the marker), which the tests check against the shared decoder.
#include "packet.hpp"
#include "state_body.hpp"

constexpr int SNAPSHOT_PIECE_MAX = 192;  // most records deflate to 40..80 bytes; bigger ones are not kept

struct SnapshotCacheStats {
  u64 pieces_made = 0;     // records deflated
  u64 pieces_reused = 0;   // records whose cached piece was still good
  u64 pieces_uncached = 0; // records too big to keep, deflated every time
};

void snapshot_cache_clear();
SnapshotCacheStats snapshot_cache_stats();

// Encodes as many of `entities` (records of entity_storage, in order) as fit into `cap` bytes, followed by
// the admin block (when not null) and the marker. `taken` receives the number of records encoded.
// Returns the body size, or -1 when not even the closing part fits.
int snapshot_body_encode(Entity* const* entities, int nentities, const AdminBlock* admin, u8* out, int cap, int* taken);

// The state packet: header fields and body; the caller sets seq_ack, time and flags.
// Returns the datagram size, or 0 on failure.
int snapshot_packet_build(Packet& packet, Entity* const* entities, int nentities, GameTime game_time,
                          const AdminBlock* admin);
