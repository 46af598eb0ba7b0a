#pragma once
// The baked UI font: glyph lookup, measuring and drawing of one line of text.
#include <stb_truetype.h>

#include "math.hpp"
#include "types.hpp"

constexpr const char* FONT_PATH = "assets/fonts/FiraCode-Regular.ttf";
constexpr int FONT_ATLAS_SIZE = 512;
constexpr int FONT_FILE_MAX = 4 * 1024 * 1024;
constexpr int FONT_RANGES = 3;

struct Style {
  v2 pos = {};
  v2 anchor = {};
  Color color = {{1, 1, 1, 1}};
  f32 font_size = 0;
};

extern stbtt_pack_range unicode_ranges[FONT_RANGES];
extern int letterlike_symbols[1];

// Reads the font file and packs the three glyph ranges for the start-up window width into a fresh
// 512 x 512 coverage bitmap (malloc'd, the caller frees it); fills the font fields of `renderer`.
// Needs no GL context.
u8* font_bake(const char* path, int display_width);
// GL side: uploads the bitmap as the atlas texture, frees it, creates the text vertex buffer.
void font_upload(u8* bitmap);
void init_fonts();

stbtt_aligned_quad get_glyph_quad(int codepoint, f32* x, f32* y);
void tt_get_baked_quad(const stbtt_packedchar* chardata, int pw, int ph, int index, f32* xpos, f32* ypos,
                       stbtt_aligned_quad* q);
v2 text_style_pos(Style style, f32 width);
// Raw pen advance of a line in atlas pixels.
f32 text_advance(Str s);
Rect measure_string(Style style, Str s);
Rect measure_text(Style style, Text& text);
v2 draw_string(Style style, Str s);
f32 draw_text_billboard(v2 pos, v2 offset, f32 size, Color color, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));
