// Font baking, glyph lookup and measuring: CPU only, so layout can be computed without a GL context.
#include "render/font.hpp"

#include "render/renderer.hpp"
#include "ui/ui.hpp"

stbtt_pack_range unicode_ranges[FONT_RANGES];
int letterlike_symbols[1] = {8470};

// The glyph records point into these bytes for the life of the process.
static u8 font_file_bytes[FONT_FILE_MAX];

u8* font_bake(const char* path, int display_width) {
  FILE* f = fopen(path, "rb");
  if (!f) panic("Cannot load font from '%s'\n", path);
  size_t nread = fread(font_file_bytes, 1, sizeof(font_file_bytes), f);
  fclose(f);
  if (nread == 0) panic("font file '%s' is empty\n", path);
  int offset = stbtt_GetFontOffsetForIndex(font_file_bytes, 0);
  if (offset < 0 || !stbtt_InitFont(&renderer.font_info, font_file_bytes, offset))
    panic("'%s' is not a TrueType font\n", path);

  f32 pixel_height = (f32)(display_width / 80);
  renderer.font_scale = stbtt_ScaleForPixelHeight(&renderer.font_info, pixel_height);

  int max_height = 0, max_y1 = 0;
  for (int codepoint = 32; codepoint <= 126; codepoint++) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!stbtt_GetCodepointBox(&renderer.font_info, codepoint, &x0, &y0, &x1, &y1)) continue;
    max_height = max(max_height, y1 - y0);
    max_y1 = max(max_y1, y1);
  }
  renderer.base_line = renderer.font_scale * (f32)max_y1 - 1;
  renderer.font_pixel_height = renderer.font_scale * (f32)max_height;

  unicode_ranges[0] = {};
  unicode_ranges[0].first_unicode_codepoint_in_range = 32;
  unicode_ranges[0].num_chars = 96;
  unicode_ranges[0].chardata_for_range = renderer.ascii_char_data;
  unicode_ranges[1] = {};
  unicode_ranges[1].first_unicode_codepoint_in_range = 1024;
  unicode_ranges[1].num_chars = 96;
  unicode_ranges[1].chardata_for_range = renderer.cyrillic_char_data;
  unicode_ranges[2] = {};
  unicode_ranges[2].array_of_unicode_codepoints = letterlike_symbols;
  unicode_ranges[2].num_chars = len(letterlike_symbols);
  unicode_ranges[2].chardata_for_range = renderer.letterlike_symbols_char_data;
  for (stbtt_pack_range& range : unicode_ranges) range.font_size = pixel_height;

  u8* bitmap = (u8*)calloc(FONT_ATLAS_SIZE * FONT_ATLAS_SIZE, 1);
  if (!bitmap) panic("out of memory for the font atlas\n");
  stbtt_pack_context context;
  if (!stbtt_PackBegin(&context, bitmap, FONT_ATLAS_SIZE, FONT_ATLAS_SIZE, 0, 1, nullptr))
    panic("font: cannot start packing the atlas\n");
  stbtt_PackSetOversampling(&context, 1, 1);
  if (!stbtt_PackFontRanges(&context, font_file_bytes, 0, unicode_ranges, FONT_RANGES))
    panic("font: the glyphs at %g pixels do not fit a %dx%d atlas\n", pixel_height, FONT_ATLAS_SIZE, FONT_ATLAS_SIZE);
  stbtt_PackEnd(&context);
  return bitmap;
}

void tt_get_baked_quad(const stbtt_packedchar* chardata, int pw, int ph, int index, f32* xpos, f32* ypos,
                       stbtt_aligned_quad* q) {
  const stbtt_packedchar& b = chardata[index];
  q->x0 = *xpos + b.xoff;
  q->y0 = *ypos + b.yoff;
  q->x1 = *xpos + b.xoff2;
  q->y1 = *ypos + b.yoff2;
  q->s0 = (f32)b.x0 / (f32)pw;
  q->t0 = (f32)b.y0 / (f32)ph;
  q->s1 = (f32)b.x1 / (f32)pw;
  q->t1 = (f32)b.y1 / (f32)ph;
  *xpos += b.xadvance;
}

stbtt_aligned_quad get_glyph_quad(int codepoint, f32* x, f32* y) {
  stbtt_aligned_quad q = {};
  for (const stbtt_pack_range& range : unicode_ranges) {
    if (!range.chardata_for_range) continue;
    int index = -1;
    if (range.array_of_unicode_codepoints) {
      for (int i = 0; i < range.num_chars; i++)
        if (range.array_of_unicode_codepoints[i] == codepoint) {
          index = i;
          break;
        }
    } else {
      int i = codepoint - range.first_unicode_codepoint_in_range;
      if (0 <= i && i < range.num_chars) index = i;
    }
    if (index >= 0) {
      tt_get_baked_quad(range.chardata_for_range, FONT_ATLAS_SIZE, FONT_ATLAS_SIZE, index, x, y, &q);
      return q;
    }
  }
  // Anything the atlas lacks shows as a question mark.
  tt_get_baked_quad(renderer.ascii_char_data, FONT_ATLAS_SIZE, FONT_ATLAS_SIZE, '?' - 32, x, y, &q);
  return q;
}

v2 text_style_pos(Style style, f32 width) {
  return {style.pos.x - ui.scale * style.anchor.x * width, style.pos.y - ui.line_height * style.anchor.y};
}

f32 text_advance(Str s) {
  f32 x = 0, y = 0;
  for (StrIter it = str_iter(s); it.code_point; next(it)) get_glyph_quad(it.code_point, &x, &y);
  return x;
}

Rect measure_string(Style style, Str s) {
  f32 x = text_advance(s);
  f32 font_size = style.font_size == 0 ? 1 : style.font_size;
  v2 p = text_style_pos(style, x);
  return {p.x, p.y, ui.scale * x * font_size, ui.line_height};
}

Rect measure_text(Style style, Text& text) { return measure_string(style, text.str()); }
