#pragma once
// A small deflate encoder for bodies made of many cached pieces: each piece is tokenised once (literals and
// runs at distance 1, what zlib's Z_RLE finds) with its symbol histogram; a body sums the histograms of the
// pieces it takes, builds one Huffman table for all of them and writes one dynamic block. One table over
// the whole body is where the size comes from; the tokens are what it costs to find, so they are kept.
#include "types.hpp"

constexpr int DEFLATE_LITLEN_SYMBOLS = 286;  // 0..255 literals, 256 end of block, 257..285 lengths
constexpr int DEFLATE_END_OF_BLOCK = 256;
constexpr int DEFLATE_CODE_BITS_MAX = 15;

// A token below 256 is that literal byte; 256 + (length - 3) is a run of `length` (3..258) copies of the
// byte before it.
constexpr u16 RUNS_TOKEN_RUN = 256;

// Tokenises `size` bytes into `tokens` and adds their symbols to `histogram` (DEFLATE_LITLEN_SYMBOLS
// counts). A run starts only after the first byte, so the tokens never refer to bytes before `data`.
// Returns the token count, or -1 when more than `cap` are needed (the histogram is then unusable).
int runs_tokenize(const u8* data, int size, u16* tokens, int cap, u16* histogram);

// The codes for one block: literal/length lengths and bit-reversed codes, the one distance code, and the
// block header as it will be written.
struct DeflateTable {
  u8 length[DEFLATE_LITLEN_SYMBOLS];
  u16 code[DEFLATE_LITLEN_SYMBOLS];
  u32 cost[DEFLATE_LITLEN_SYMBOLS];  // bits a symbol costs, with a run's extra and distance bits
  // A whole token's bits by token: a literal's code, or a run's length code, extra bits and distance code.
  u32 token_bits[512];
  u8 token_nbits[512];
  int nlitlen;  // lengths sent for the literal/length alphabet (257..286)
  u8 cl_length[19];
  u16 cl_code[19];
  int ncl;                                // code length code lengths sent (4..19)
  u16 items[DEFLATE_LITLEN_SYMBOLS + 1];  // the code lengths, run-length coded: symbol | extra << 5
  int nitems;
  u32 header_bits;  // the block header, from BFINAL to the last code length
};

// Builds the table for a block whose symbols occur `histogram` times (the end of block included).
void deflate_table_build(DeflateTable& table, const u32* histogram);
// Bits the tokens counted in `histogram` take under the table.
u64 deflate_table_cost(const DeflateTable& table, const u16* histogram);

// LSB-first bit output into a bounded buffer; `overflow` is set instead of writing past the end.
struct BitWriter {
  u8* out = nullptr;
  int at = 0;
  int cap = 0;
  u64 acc = 0;
  int nbits = 0;
  bool overflow = false;
};

// The header of one final dynamic block.
void deflate_write_header(BitWriter& w, const DeflateTable& table);
void deflate_write_tokens(BitWriter& w, const DeflateTable& table, const u16* tokens, int ntokens);
// The end-of-block code and the padding to the next byte.
void deflate_write_end(BitWriter& w, const DeflateTable& table);
