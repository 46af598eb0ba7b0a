#pragma once
// The compressed body of a state packet, written by the server and read by the client. One encoder and
// one decoder live here so that the two programs cannot drift apart.
//
// Inflated, the body is: `nentities` wire records of Entity_Shared_Size bytes; then, only when the
// receiving player's own record is an admin, a u32 count and that many AdminPlayerInfo; then the byte 'i'.
#include "entity.hpp"
#include "packet.hpp"

constexpr u8 STATE_BODY_MARKER = 'i';
constexpr int STATE_BODY_MAX = PACKET_SIZE_MAX - STATE_BODY_OFFSET;

// Compresses the body into `out`; the admin block is written when `admin` is not null.
// Returns the compressed size, or -1 when it does not fit in `cap` bytes.
int state_body_encode(u8* out, int cap, const Entity* entities, int nentities, const AdminBlock* admin, int level = -1);

// Fills type, size and the state header of `packet` and encodes the body after them; the caller sets
// seq_ack, time and flags. Returns the datagram size, or 0 when the body does not fit one datagram
// (the server then sends fewer records).
int state_packet_build(Packet& packet, const Entity* entities, int nentities, GameTime game_time,
                       const AdminBlock* admin, int level = -1);

struct StateBodyResult {
  bool ok = false;
  const char* error = "";  // why the body was refused, for the log
  int player_index = -1;   // the record whose Person name is the receiving player's, -1 when absent
  // Bytes at the start of the destination that may have been written, whether or not the body was good.
  s64 dirty_bytes = 0;
};

// Decodes a body of `size` bytes holding `nentities` records into `entities[0..nentities-1]`, each
// record complete and its local tail zeroed. `capacity` is how many Entity slots `entities` has; it is
// also the scratch space the body is inflated into. The admin block, when due, goes to `admin`.
// On failure nothing in `entities` may be used: only the first `dirty_bytes` bytes were touched.
StateBodyResult state_body_decode(const u8* body, int size, int nentities, Entity* entities, int capacity,
                                  const char* player_name, AdminBlock* admin);
