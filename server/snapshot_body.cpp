// Snapshot bodies as one dynamic deflate block over records tokenised once per change.
#include "snapshot_body.hpp"

#include <libdeflate.h>
#include <zlib.h>

#include "deflate_runs.hpp"
#include "registry.hpp"
#include "server.hpp"

// Most records come to 60..250 tokens; one with more is tokenised afresh for each body that takes it.
constexpr int SNAPSHOT_RECORD_TOKENS_MAX = 512;

// What a record's tokens and checksum were made from, kept by storage slot.
struct SnapshotRecordRuns {
  u32 adler;
  u16 ntokens;  // 0: nothing kept
  u16 histogram[DEFLATE_LITLEN_SYMBOLS];
};

struct SnapshotRunsCache {
  u8 record[ENTITIES_MAX][Entity_Shared_Size];
  SnapshotRecordRuns runs[ENTITIES_MAX];
  u16 tokens[ENTITIES_MAX][SNAPSHOT_RECORD_TOKENS_MAX];
};

static SnapshotRunsCache cache;
static SnapshotBodyStats stats;

SnapshotBodyStats snapshot_body_stats() { return stats; }

// The closing part, or a record that is not kept: tokenised into the caller's buffer.
struct SnapshotScratch {
  SnapshotRecordRuns runs;
  u16 tokens[Entity_Shared_Size];
};

// The runs of one record: the kept ones while its bytes are unchanged, else made again (and kept when
// they fit its slot). `tokens` receives where its tokens are.
static const SnapshotRecordRuns* record_runs(const Entity* e, SnapshotScratch& scratch, const u16** tokens) {
  long slot = e - entity_storage.entities;
  bool storable = slot >= 0 && slot < ENTITIES_MAX;
  if (storable) {
    SnapshotRecordRuns& kept = cache.runs[slot];
    if (kept.ntokens && memcmp(cache.record[slot], e, Entity_Shared_Size) == 0) {
      *tokens = cache.tokens[slot];
      return &kept;
    }
    stats.records_tokenized++;
    memset(kept.histogram, 0, sizeof(kept.histogram));
    int n =
        runs_tokenize((const u8*)e, Entity_Shared_Size, cache.tokens[slot], SNAPSHOT_RECORD_TOKENS_MAX, kept.histogram);
    if (n > 0) {
      memcpy(cache.record[slot], e, Entity_Shared_Size);
      kept.ntokens = (u16)n;
      kept.adler = libdeflate_adler32(1, e, Entity_Shared_Size);
      *tokens = cache.tokens[slot];
      return &kept;
    }
    kept.ntokens = 0;
  } else {
    stats.records_tokenized++;
  }
  memset(scratch.runs.histogram, 0, sizeof(scratch.runs.histogram));
  scratch.runs.ntokens =
      (u16)runs_tokenize((const u8*)e, Entity_Shared_Size, scratch.tokens, Entity_Shared_Size, scratch.runs.histogram);
  scratch.runs.adler = libdeflate_adler32(1, e, Entity_Shared_Size);
  *tokens = scratch.tokens;
  return &scratch.runs;
}

// Bytes of a body whose block takes `bits` after the zlib header, with the trailer.
static int body_bytes(u64 bits) { return 2 + (int)((bits + 7) / 8) + 4; }

int snapshot_body_encode(Entity* const* entities, int nentities, const AdminBlock* admin, u8* out, int cap,
                         int* taken) {
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
  static u16 closing_tokens[sizeof(closing)];
  static u16 closing_histogram[DEFLATE_LITLEN_SYMBOLS];
  memset(closing_histogram, 0, sizeof(closing_histogram));
  int nclosing = runs_tokenize(closing, closing_size, closing_tokens, (int)sizeof(closing), closing_histogram);
  closing_histogram[DEFLATE_END_OF_BLOCK]++;

  // Beyond what a snapshot considers, records are left out as if they did not fit.
  nentities = min(nentities, SNAPSHOT_RECORDS_MAX);
  static SnapshotScratch scratch;
  // The kept runs of each record, looked up once; null for one that was not kept (made again when needed).
  static const SnapshotRecordRuns* runs_of[SNAPSHOT_RECORDS_MAX];
  static const u16* tokens_of[SNAPSHOT_RECORDS_MAX];
  auto runs_at = [&](int i, const u16** tokens) {
    if (runs_of[i]) {
      *tokens = tokens_of[i];
      return runs_of[i];
    }
    return record_runs(entities[i], scratch, tokens);
  };
  static u32 histogram[DEFLATE_LITLEN_SYMBOLS];
  for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) histogram[s] = closing_histogram[s];
  for (int i = 0; i < nentities; i++) {
    const SnapshotRecordRuns* r = record_runs(entities[i], scratch, &tokens_of[i]);
    runs_of[i] = r == &scratch.runs ? nullptr : r;
    for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) histogram[s] += r->histogram[s];
  }
  // One table for everything on offer: each record then has a fixed cost, so the cut is exact and a
  // bigger datagram never carries fewer records.
  static DeflateTable table;
  deflate_table_build(table, histogram);
  u64 closing_bits = deflate_table_cost(table, closing_histogram);
  u64 bits = table.header_bits;
  for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) bits += (u64)histogram[s] * table.cost[s];
  int n = nentities;
  if (body_bytes(bits) > cap) {
    // Nearest first: take records while they fit with the closing part.
    stats.cut_short++;
    u64 budget = (u64)(cap - body_bytes(0)) * 8;
    bits = table.header_bits + closing_bits;
    if (cap < body_bytes(0) || bits > budget) {
      // Not even the closing part under this table; alone it has a table of its own.
      for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) histogram[s] = closing_histogram[s];
      deflate_table_build(table, histogram);
      bits = table.header_bits + deflate_table_cost(table, closing_histogram);
      if (body_bytes(bits) > cap) return -1;
      n = 0;
    } else {
      for (n = 0; n < nentities; n++) {
        const u16* tokens = nullptr;
        u64 cost = deflate_table_cost(table, runs_at(n, &tokens)->histogram);
        if (bits + cost > budget) break;
        bits += cost;
      }
    }
  }
  stats.bodies++;

  out[0] = 0x78;  // deflate, 32 KiB window
  out[1] = 0x01;  // no dictionary, fastest; (0x78 * 256 + 0x01) % 31 == 0
  BitWriter w;
  w.out = out;
  w.at = 2;
  w.cap = cap - 4;
  deflate_write_header(w, table);
  uLong adler = 1;
  for (int i = 0; i < n; i++) {
    const u16* tokens = nullptr;
    const SnapshotRecordRuns* r = runs_at(i, &tokens);
    deflate_write_tokens(w, table, tokens, r->ntokens);
    adler = adler32_combine(adler, r->adler, Entity_Shared_Size);
  }
  deflate_write_tokens(w, table, closing_tokens, nclosing);
  deflate_write_end(w, table);
  if (w.overflow || w.at != body_bytes(bits) - 4) return -1;  // never: the size was counted bit by bit
  adler = adler32_combine(adler, libdeflate_adler32(1, closing, (size_t)closing_size), closing_size);
  int at = w.at;
  out[at++] = (u8)(adler >> 24);
  out[at++] = (u8)(adler >> 16);
  out[at++] = (u8)(adler >> 8);
  out[at++] = (u8)adler;
  *taken = n;
  return at;
}

int snapshot_packet_build(Packet& packet, Entity* const* entities, int nentities, GameTime game_time,
                          const AdminBlock* admin) {
  int taken = 0;
  int n =
      snapshot_body_encode(entities, nentities, admin, packet.data + sizeof(PacketStateHeader), STATE_BODY_MAX, &taken);
  if (n < 0) return 0;
  packet.type = PacketType_State;
  packet.size = (u32)(STATE_BODY_OFFSET + n);
  packet.state.nentities = (u16)taken;
  packet.state.game_time = game_time;
  return (int)packet.size;
}
