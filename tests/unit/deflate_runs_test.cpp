// The runs-only deflate encoder: whatever the bytes, pieces written under one table inflate with zlib to
// exactly those bytes, in exactly the counted number of bits, with codes no longer than deflate allows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "deflate_runs.hpp"

namespace {

// Writes the pieces as one final block, each piece tokenised on its own; checks the counted size.
std::vector<u8> encode_pieces(const std::vector<std::vector<u8>>& pieces) {
  std::vector<std::vector<u16>> tokens(pieces.size());
  std::vector<std::vector<u16>> histograms(pieces.size(), std::vector<u16>(DEFLATE_LITLEN_SYMBOLS));
  u32 histogram[DEFLATE_LITLEN_SYMBOLS] = {};
  histogram[DEFLATE_END_OF_BLOCK] = 1;
  for (size_t p = 0; p < pieces.size(); p++) {
    tokens[p].resize(pieces[p].size());
    int n = runs_tokenize(pieces[p].data(), (int)pieces[p].size(), tokens[p].data(), (int)tokens[p].size(),
                          histograms[p].data());
    EXPECT_GE(n, pieces[p].empty() ? 0 : 1);
    tokens[p].resize((size_t)n);
    for (int s = 0; s < DEFLATE_LITLEN_SYMBOLS; s++) histogram[s] += histograms[p][s];
  }
  static DeflateTable table;
  deflate_table_build(table, histogram);
  u64 bits = table.header_bits + table.length[DEFLATE_END_OF_BLOCK];
  for (auto& h : histograms) bits += deflate_table_cost(table, h.data());
  std::vector<u8> out(1 << 20);
  BitWriter w;
  w.out = out.data();
  w.cap = (int)out.size();
  deflate_write_header(w, table);
  for (auto& t : tokens) deflate_write_tokens(w, table, t.data(), (int)t.size());
  deflate_write_end(w, table);
  EXPECT_FALSE(w.overflow);
  EXPECT_EQ((u64)w.at, (bits + 7) / 8) << "the counted size is the written size";
  out.resize((size_t)w.at);
  return out;
}

std::vector<u8> raw_inflate(const std::vector<u8>& in) {
  z_stream z = {};
  inflateInit2(&z, -15);
  std::vector<u8> out(4 << 20);
  z.next_in = (Bytef*)in.data();
  z.avail_in = (uInt)in.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  int rc = inflate(&z, Z_FINISH);
  out.resize(rc == Z_STREAM_END ? z.total_out : 0);
  inflateEnd(&z);
  return out;
}

// Whether lengths form a complete prefix code no longer than `limit` (Kraft sum exactly one).
bool complete_code(const u8* length, int n, int limit) {
  u64 kraft = 0;
  for (int s = 0; s < n; s++) {
    if (length[s] > limit) return false;
    if (length[s]) kraft += 1ull << (limit - length[s]);
  }
  return kraft == 1ull << limit;
}

}  // namespace

TEST(DeflateRuns, EveryKindOfPieceInflatesToItsBytes) {
  u32 seed = 12345;
  auto rnd = [&]() { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  std::vector<u8> all_values(256);
  for (int i = 0; i < 256; i++) all_values[(size_t)i] = (u8)(i * 7);
  std::vector<u8> long_run(5000, 0xAB);  // longer than one run can say, and runs at each length limit
  std::vector<u8> edges;
  for (int len : {1, 2, 3, 4, 257, 258, 259, 261, 516, 517}) edges.insert(edges.end(), (size_t)len, (u8)len);
  std::vector<u8> noise(1568), runs(1568);
  for (u8& b : noise) b = (u8)rnd();
  for (size_t i = 0; i < runs.size();) {
    size_t len = 1 + rnd() % 40;
    u8 v = (u8)(rnd() % 3);
    for (; len && i < runs.size(); len--) runs[i++] = v;
  }
  const std::vector<std::vector<std::vector<u8>>> bodies = {
      {{0x00}},
      {all_values},
      {long_run},
      {edges},
      {noise, runs, noise},
      {runs, runs, runs, runs, {0x7F}},
      {{5, 5, 5, 5}, {5, 5, 5, 5}},  // a piece's run never reaches into the piece before it
  };
  for (size_t b = 0; b < bodies.size(); b++) {
    SCOPED_TRACE(b);
    std::vector<u8> whole;
    for (auto& p : bodies[b]) whole.insert(whole.end(), p.begin(), p.end());
    EXPECT_EQ(raw_inflate(encode_pieces(bodies[b])), whole);
  }
  u16 tokens[4], histogram[DEFLATE_LITLEN_SYMBOLS] = {};
  EXPECT_EQ(runs_tokenize(noise.data(), 5, tokens, 4, histogram), -1) << "more tokens than room";
}

TEST(DeflateRuns, SkewedCountsStayWithinTheLengthLimits) {
  // Fibonacci counts make an unlimited Huffman tree as deep as there are symbols.
  std::vector<u16> tokens;
  u32 histogram[DEFLATE_LITLEN_SYMBOLS] = {};
  u32 a = 1, b = 1;
  std::vector<u8> expected;
  for (int s = 0; s < 26; s++) {
    for (u32 k = 0; k < a; k++) tokens.push_back((u16)s), expected.push_back((u8)s);
    histogram[s] = a;
    u32 next = a + b;
    a = b;
    b = next;
  }
  histogram[DEFLATE_END_OF_BLOCK] = 1;
  static DeflateTable table;
  deflate_table_build(table, histogram);
  EXPECT_TRUE(complete_code(table.length, DEFLATE_LITLEN_SYMBOLS, DEFLATE_CODE_BITS_MAX));
  EXPECT_TRUE(complete_code(table.cl_length, 19, 7));
  std::vector<u8> out(1 << 20);
  BitWriter w;
  w.out = out.data();
  w.cap = (int)out.size();
  deflate_write_header(w, table);
  deflate_write_tokens(w, table, tokens.data(), (int)tokens.size());
  deflate_write_end(w, table);
  out.resize((size_t)w.at);
  EXPECT_EQ(raw_inflate(out), expected);

  // A body of one symbol still gets complete codes.
  u32 lone[DEFLATE_LITLEN_SYMBOLS] = {};
  lone[DEFLATE_END_OF_BLOCK] = 1;
  deflate_table_build(table, lone);
  EXPECT_TRUE(complete_code(table.length, DEFLATE_LITLEN_SYMBOLS, DEFLATE_CODE_BITS_MAX));
  EXPECT_TRUE(complete_code(table.cl_length, 19, 7));

  // A bounded writer stops at its end instead of writing past it.
  u8 small[4];
  BitWriter tight;
  tight.out = small;
  tight.cap = 3;
  deflate_write_header(tight, table);
  deflate_write_end(tight, table);
  EXPECT_TRUE(tight.overflow);
  EXPECT_LE(tight.at, 3);
}
