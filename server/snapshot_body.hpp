#pragma once
// Snapshot bodies: the records a player sees, nearest first, deflated as one zlib stream with one Huffman
// table for the whole body (about half the bytes of records deflated one by one). Each record's tokens are
// kept by storage slot and made again only when its bytes change. When they do not all fit one datagram,
// the farthest are left out. The inflated body is exactly the layout of
// state_body_encode (records, the admin block when given, the marker), which the tests check against the
// shared decoder.
#include "packet.hpp"
#include "state_body.hpp"

struct SnapshotBodyStats {
  u64 bodies = 0;             // bodies encoded
  u64 cut_short = 0;          // bodies that left out the farthest records
  u64 records_tokenized = 0;  // records whose tokens were made (not found unchanged)
};

SnapshotBodyStats snapshot_body_stats();

// Encodes as many of `entities` (in order, at most SNAPSHOT_RECORDS_MAX) as fit into `cap` bytes, followed
// by the admin block (when not null) and the marker. `taken` receives the number of records encoded.
// Returns the body size, or -1 when not even the closing part fits.
int snapshot_body_encode(Entity* const* entities, int nentities, const AdminBlock* admin, u8* out, int cap, int* taken);

// The state packet: header fields and body; the caller sets seq_ack, time and flags.
// Returns the datagram size, or 0 on failure.
int snapshot_packet_build(Packet& packet, Entity* const* entities, int nentities, GameTime game_time,
                          const AdminBlock* admin);
