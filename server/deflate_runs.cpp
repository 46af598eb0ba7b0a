// Runs-only deflate with one dynamic Huffman block over pre-tokenised pieces.
#include "deflate_runs.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Length symbols by run length 3..258: symbol, extra bit count, extra value.
struct RunSymbols {
  u16 symbol[259];
  u8 extra_bits[259];
  u8 extra[259];
  RunSymbols() {
    // Each group of four symbols from 265 on doubles its span; 285 stands alone for 258.
    int length = 3;
    for (int s = 257; s < 285; s++) {
      int bits = s < 265 ? 0 : (s - 261) / 4;
      for (int k = 0; k < (1 << bits) && length < 258; k++, length++) {
        symbol[length] = (u16)s;
        extra_bits[length] = (u8)bits;
        extra[length] = (u8)k;
      }
    }
    symbol[258] = 285;
    extra_bits[258] = 0;
    extra[258] = 0;
  }
};
const RunSymbols run_symbols;

// The order in which the code length code's lengths are sent.
const u8 cl_order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// Extra bits after a code length symbol: 16 repeats 3..6 times, 17 and 18 are runs of zeros.
const u8 item_extra_bits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

// Huffman code lengths no longer than `limit`: while the tree is too deep, halve the counts (keeping
// every used symbol) and build again; it ends, at worst, with all counts equal and a balanced tree.
void huffman_lengths(const u32* histogram, int n, int limit, u8* length) {
  u32 count[DEFLATE_LITLEN_SYMBOLS];
  u64 leaf[DEFLATE_LITLEN_SYMBOLS];
  u32 weight[2 * DEFLATE_LITLEN_SYMBOLS];
  u16 parent[2 * DEFLATE_LITLEN_SYMBOLS];
  u8 depth[2 * DEFLATE_LITLEN_SYMBOLS];
  memcpy(count, histogram, (size_t)n * sizeof(u32));
  memset(length, 0, (size_t)n);
  for (;;) {
    int nleaves = 0;
    for (int s = 0; s < n; s++)
      if (count[s]) leaf[nleaves++] = (u64)count[s] << 16 | (u64)s;
    if (nleaves == 0) return;
    if (nleaves == 1) {
      length[leaf[0] & 0xFFFF] = 1;
      return;
    }
    std::sort(leaf, leaf + nleaves);
    for (int i = 0; i < nleaves; i++) weight[i] = (u32)(leaf[i] >> 16);
    // Two queues: the sorted leaves and the inner nodes, which are made in order of weight.
    int next_leaf = 0, next_inner = nleaves, end = nleaves;
    auto take = [&]() {
      if (next_leaf < nleaves && (next_inner == end || weight[next_leaf] <= weight[next_inner])) return next_leaf++;
      return next_inner++;
    };
    while (end < 2 * nleaves - 1) {
      int a = take(), b = take();
      weight[end] = weight[a] + weight[b];
      parent[a] = parent[b] = (u16)end;
      end++;
    }
    // A parent always comes after its children: walk down from the root.
    depth[end - 1] = 0;
    int deepest = 0;
    for (int i = end - 2; i >= 0; i--) {
      depth[i] = (u8)(depth[parent[i]] + 1);
      deepest = std::max(deepest, (int)depth[i]);
    }
    if (deepest <= limit) {
      for (int i = 0; i < nleaves; i++) length[leaf[i] & 0xFFFF] = depth[i];
      return;
    }
    for (int s = 0; s < n; s++)
      if (count[s]) count[s] = (count[s] >> 1) | 1;
  }
}

// Canonical codes from lengths, bit-reversed for LSB-first output.
void canonical_codes(const u8* length, int n, u16* code) {
  int count[DEFLATE_CODE_BITS_MAX + 1] = {};
  for (int s = 0; s < n; s++) count[length[s]]++;
  count[0] = 0;
  u32 next[DEFLATE_CODE_BITS_MAX + 1] = {};
  u32 c = 0;
  for (int bits = 1; bits <= DEFLATE_CODE_BITS_MAX; bits++) {
    c = (c + (u32)count[bits - 1]) << 1;
    next[bits] = c;
  }
  for (int s = 0; s < n; s++) {
    int len = length[s];
    if (!len) continue;
    u32 v = next[len]++, reversed = 0;
    for (int b = 0; b < len; b++) reversed |= ((v >> b) & 1) << (len - 1 - b);
    code[s] = (u16)reversed;
  }
}

// At least two used symbols, so that every code is complete (a single code is refused by some inflaters).
void ensure_two_symbols(u32* histogram, int n) {
  int used = 0;
  for (int s = 0; s < n; s++) used += histogram[s] != 0;
  for (int s = 0; s < n && used < 2; s++)
    if (!histogram[s]) {
      histogram[s] = 1;
      used++;
    }
}

inline void put(BitWriter& w, u32 bits, int n) {
  w.acc |= (u64)bits << w.nbits;
  w.nbits += n;
  if (w.nbits >= 32) {
    if (w.at + 4 > w.cap) {
      w.overflow = true;
      w.nbits -= 32;
      w.acc >>= 32;
      return;
    }
    u32 low = (u32)w.acc;
    w.out[w.at] = (u8)low;
    w.out[w.at + 1] = (u8)(low >> 8);
    w.out[w.at + 2] = (u8)(low >> 16);
    w.out[w.at + 3] = (u8)(low >> 24);
    w.at += 4;
    w.acc >>= 32;
    w.nbits -= 32;
  }
}

}  // namespace

int runs_tokenize(const u8* data, int size, u16* tokens, int cap, u16* histogram) {
  int n = 0;
  int i = 0;
  while (i < size) {
    int run = 0;
    if (i > 0) {
      u8 previous = data[i - 1];
      int limit = std::min(size - i, 258);
      while (run < limit && data[i + run] == previous) run++;
    }
    if (n == cap) return -1;
    if (run >= 3) {
      tokens[n++] = (u16)(RUNS_TOKEN_RUN + run - 3);
      histogram[run_symbols.symbol[run]]++;
      i += run;
    } else {
      tokens[n++] = data[i];
      histogram[data[i]]++;
      i++;
    }
  }
  return n;
}

void deflate_table_build(DeflateTable& t, const u32* histogram) {
  u32 counts[DEFLATE_LITLEN_SYMBOLS];
  memcpy(counts, histogram, sizeof(counts));
  counts[DEFLATE_END_OF_BLOCK] = std::max(counts[DEFLATE_END_OF_BLOCK], 1u);
  ensure_two_symbols(counts, DEFLATE_LITLEN_SYMBOLS);
  huffman_lengths(counts, DEFLATE_LITLEN_SYMBOLS, DEFLATE_CODE_BITS_MAX, t.length);
  memset(t.code, 0, sizeof(t.code));
  canonical_codes(t.length, DEFLATE_LITLEN_SYMBOLS, t.code);
  // One distance code (distance 1), one bit long, bit 0: zlib and libdeflate take a lone one-bit code.
  const int distance_bits = 1;
  for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) t.cost[s] = t.length[s];
  for (int s = 0; s < 256; s++) {
    t.token_bits[s] = t.code[s];
    t.token_nbits[s] = t.length[s];
  }
  for (int len = 3; len <= 258; len++) {
    int s = run_symbols.symbol[len], eb = run_symbols.extra_bits[len];
    t.token_bits[RUNS_TOKEN_RUN + len - 3] = t.code[s] | (u32)run_symbols.extra[len] << t.length[s];
    t.token_nbits[RUNS_TOKEN_RUN + len - 3] = (u8)(t.length[s] + eb + distance_bits);
    t.cost[s] = t.length[s] ? (u32)(t.length[s] + eb + distance_bits) : 0;
  }
  t.nlitlen = 257;
  for (int s = DEFLATE_LITLEN_SYMBOLS - 1; s >= 257; s--)
    if (t.length[s]) {
      t.nlitlen = s + 1;
      break;
    }

  // The code lengths of both alphabets as one sequence, runs of zeros and repeats coded.
  u8 sequence[DEFLATE_LITLEN_SYMBOLS + 1];
  int total = t.nlitlen + 1;
  memcpy(sequence, t.length, (size_t)t.nlitlen);
  sequence[t.nlitlen] = distance_bits;
  u32 cl_counts[19] = {};
  t.nitems = 0;
  auto item = [&](int symbol, int extra) {
    t.items[t.nitems++] = (u16)(symbol | extra << 5);
    cl_counts[symbol]++;
  };
  for (int i = 0; i < total;) {
    u8 v = sequence[i];
    int run = 1;
    while (i + run < total && sequence[i + run] == v) run++;
    i += run;
    if (v == 0) {
      while (run >= 11) {
        int r = std::min(run, 138);
        item(18, r - 11);
        run -= r;
      }
      if (run >= 3) {
        item(17, run - 3);
        run = 0;
      }
    } else {
      item(v, 0);
      run--;
      while (run >= 3) {
        int r = std::min(run, 6);
        item(16, r - 3);
        run -= r;
      }
    }
    for (; run > 0; run--) item(v, 0);
  }
  ensure_two_symbols(cl_counts, 19);
  huffman_lengths(cl_counts, 19, 7, t.cl_length);
  memset(t.cl_code, 0, sizeof(t.cl_code));
  canonical_codes(t.cl_length, 19, t.cl_code);
  t.ncl = 19;
  while (t.ncl > 4 && t.cl_length[cl_order[t.ncl - 1]] == 0) t.ncl--;

  u32 bits = 3 + 5 + 5 + 4 + 3 * (u32)t.ncl;
  for (int i = 0; i < t.nitems; i++) {
    int s = t.items[i] & 31;
    bits += t.cl_length[s] + item_extra_bits[s];
  }
  t.header_bits = bits;
}

u64 deflate_table_cost(const DeflateTable& t, const u16* histogram) {
  u64 bits = 0;
  for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) bits += (u64)histogram[s] * t.cost[s];
  return bits;
}

void deflate_write_header(BitWriter& w, const DeflateTable& t) {
  put(w, 1, 1);  // the final block
  put(w, 2, 2);  // dynamic Huffman codes
  put(w, (u32)(t.nlitlen - 257), 5);
  put(w, 0, 5);  // one distance code
  put(w, (u32)(t.ncl - 4), 4);
  for (int i = 0; i < t.ncl; i++) put(w, t.cl_length[cl_order[i]], 3);
  for (int i = 0; i < t.nitems; i++) {
    int s = t.items[i] & 31;
    put(w, t.cl_code[s], t.cl_length[s]);
    if (item_extra_bits[s]) put(w, (u32)(t.items[i] >> 5), item_extra_bits[s]);
  }
}

void deflate_write_tokens(BitWriter& w, const DeflateTable& t, const u16* tokens, int ntokens) {
  // Most of a body: every token stores eight bytes and keeps under a byte pending, with no branch,
  // while eight bytes of room remain; the last few go through the bounded path.
  static_assert(std::endian::native == std::endian::little);
  u64 acc = w.acc;
  int nbits = w.nbits, at = w.at, i = 0;
  for (; i < ntokens && at + 8 <= w.cap; i++) {
    u16 token = tokens[i];
    acc |= (u64)t.token_bits[token] << nbits;
    nbits += t.token_nbits[token];
    memcpy(w.out + at, &acc, 8);
    at += nbits >> 3;
    acc >>= nbits & ~7;
    nbits &= 7;
  }
  w.acc = acc;
  w.nbits = nbits;
  w.at = at;
  for (; i < ntokens; i++) put(w, t.token_bits[tokens[i]], t.token_nbits[tokens[i]]);
}

void deflate_write_end(BitWriter& w, const DeflateTable& t) {
  put(w, t.code[DEFLATE_END_OF_BLOCK], t.length[DEFLATE_END_OF_BLOCK]);
  while (w.nbits > 0) {
    if (w.at >= w.cap) {
      w.overflow = true;
      break;
    }
    w.out[w.at++] = (u8)w.acc;
    w.acc >>= 8;
    w.nbits -= 8;
  }
  w.nbits = 0;
  w.acc = 0;
}
