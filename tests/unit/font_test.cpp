// Font baking, glyph lookup and text measuring, all without a GL context.
#include "ui_test_support.hpp"

static void bake(int display_width) {
  u8* bitmap = font_bake(ui_test_font_path(), display_width);
  free(bitmap);
}

struct FontTest : ::testing::Test {
  void SetUp() override {
    bake(1920);
    ui.scale = 1;
    ui.line_height = renderer.font_pixel_height;
  }
};

static bool same_atlas_cell(const stbtt_aligned_quad& a, const stbtt_aligned_quad& b) {
  return a.s0 == b.s0 && a.t0 == b.t0 && a.s1 == b.s1 && a.t1 == b.t1;
}

static stbtt_aligned_quad quad_of(int codepoint, f32* advance = nullptr) {
  f32 x = 0, y = 0;
  stbtt_aligned_quad q = get_glyph_quad(codepoint, &x, &y);
  if (advance) *advance = x;
  return q;
}

TEST(FontBake, PixelHeightFollowsStartupWidthAndEveryRangePacks) {
  struct Case {
    int display_width;
    f32 pixel_height;
  } cases[] = {{1920, 24}, {3840, 48}, {1280, 16}, {1919, 23}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display_width);
    u8* bitmap = font_bake(ui_test_font_path(), c.display_width);
    for (const stbtt_pack_range& range : unicode_ranges) EXPECT_EQ(range.font_size, c.pixel_height);
    // The tallest ASCII box spans more than the em's cap height and not much more than the size.
    EXPECT_GT(renderer.font_pixel_height, 0.7f * c.pixel_height);
    EXPECT_LT(renderer.font_pixel_height, 1.5f * c.pixel_height);
    EXPECT_GT(renderer.base_line, 0.5f * c.pixel_height);
    EXPECT_LT(renderer.base_line, renderer.font_pixel_height);
    // The numero sign was packed: its atlas box holds coverage.
    const stbtt_packedchar& numero = renderer.letterlike_symbols_char_data[0];
    ASSERT_GT(numero.x1, numero.x0);
    int covered = 0;
    for (int y = numero.y0; y < numero.y1; y++)
      for (int x = numero.x0; x < numero.x1; x++) covered += bitmap[y * FONT_ATLAS_SIZE + x] > 0;
    EXPECT_GT(covered, 10);
    free(bitmap);
  }
}

TEST_F(FontTest, GlyphLookupTakesTheRangesInOrderAndFallsBackToQuestionMark) {
  struct Case {
    int codepoint;
    bool falls_back;
  } cases[] = {
      {'A', false},    {' ', false},    {'~', false},   {0x0400, false}, {0x045F, false},
      {0x0416, false}, {0x2116, false}, {0x00E9, true}, {0x0460, true},  {0x03FF, true},
      {0x2117, true},  {0x1F600, true}, {31, true},     {-5, true},
  };
  f32 question_advance = 0;
  stbtt_aligned_quad question = quad_of('?', &question_advance);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codepoint);
    f32 advance = 0;
    stbtt_aligned_quad q = quad_of(c.codepoint, &advance);
    EXPECT_EQ(same_atlas_cell(q, question), c.falls_back);
    if (c.falls_back) {
      EXPECT_EQ(advance, question_advance);
    }
    EXPECT_GT(advance, 0);
  }
  // The Cyrillic range starts and ends where its records do.
  EXPECT_FALSE(same_atlas_cell(quad_of(0x0400), quad_of(0x045F)));
  EXPECT_EQ(quad_of(0x045F).s0, renderer.cyrillic_char_data[95].x0 / 512.0f);
  EXPECT_EQ(quad_of('B').t0, renderer.ascii_char_data['B' - 32].y0 / 512.0f);
}

TEST(FontQuad, BakedQuadKeepsFractionsAndAdvancesThePen) {
  stbtt_packedchar chars[2] = {};
  chars[1].x0 = 10, chars[1].y0 = 20, chars[1].x1 = 30, chars[1].y1 = 50;
  chars[1].xoff = 1.25f, chars[1].yoff = -7.5f, chars[1].xoff2 = 21.25f, chars[1].yoff2 = 22.5f;
  chars[1].xadvance = 12.75f;
  f32 x = 100.5f, y = 40.25f;
  stbtt_aligned_quad q;
  tt_get_baked_quad(chars, 256, 128, 1, &x, &y, &q);
  // Every figure is exact in binary: the pen's fraction is kept, not rounded to a pixel.
  const stbtt_aligned_quad want = {101.75f, 32.75f, 10 / 256.0f, 20 / 128.0f,
                                   121.75f, 62.75f, 30 / 256.0f, 50 / 128.0f};
  EXPECT_EQ(memcmp(&q, &want, sizeof(q)), 0) << q.x0 << "," << q.y0 << " " << q.x1 << "," << q.y1;
  EXPECT_FLOAT_EQ(x, 113.25f);
  EXPECT_FLOAT_EQ(y, 40.25f);
}

TEST_F(FontTest, MeasuresSumAdvancesOverUtf8) {
  f32 a = renderer.ascii_char_data['a' - 32].xadvance;
  f32 zhe = renderer.cyrillic_char_data[0x0416 - 0x0400].xadvance;
  f32 numero = renderer.letterlike_symbols_char_data[0].xadvance;
  f32 question = renderer.ascii_char_data['?' - 32].xadvance;
  ui.scale = 1.5f;
  Style style;
  EXPECT_FLOAT_EQ(measure_string(style, "aaa").w, 1.5f * 3 * a);
  EXPECT_FLOAT_EQ(measure_string(style, "a\xD0\x96\xE2\x84\x96").w, 1.5f * (a + zhe + numero));
  // e-acute and an emoji each count as one question mark.
  EXPECT_FLOAT_EQ(measure_string(style, "\xC3\xA9\xF0\x9F\x98\x80").w, 1.5f * 2 * question);
  Text text = tprintf("%s", "aaa");
  EXPECT_FLOAT_EQ(measure_text(style, text).w, 1.5f * 3 * a);
}

TEST_F(FontTest, FontSizeZeroMeasuresAsOne) {
  Style zero, one, two;
  zero.pos = one.pos = two.pos = {30, 40};
  zero.anchor = one.anchor = two.anchor = {0.5f, 0.5f};
  one.font_size = 1;
  two.font_size = 2;
  Rect r0 = measure_string(zero, "Hello"), r1 = measure_string(one, "Hello"), r2 = measure_string(two, "Hello");
  EXPECT_RECT(r0, r1.x, r1.y, r1.w, r1.h);
  EXPECT_FLOAT_EQ(r2.w, 2 * r1.w);
  // The anchor uses the advance unscaled by font_size, so the box only grows to the right.
  EXPECT_EQ(r2.x, r1.x);
  EXPECT_EQ(r2.h, r1.h);
}

TEST_F(FontTest, AnchorsPlaceTheBox) {
  ui.scale = 2;
  ui.line_height = 2 * renderer.font_pixel_height;
  f32 w = measure_string(Style{}, "Anchor").w;
  ASSERT_GT(w, 0);
  struct Case {
    v2 anchor;
    f32 x, y;
  } cases[] = {
      {{0, 0}, 100, 50},
      {{1, 0}, 100 - w, 50},
      {{0.5f, 0.5f}, 100 - w / 2, 50 - ui.line_height / 2},
      {{0, 1}, 100, 50 - ui.line_height},
  };
  for (const Case& c : cases) {
    Style style;
    style.pos = {100, 50};
    style.anchor = c.anchor;
    Rect r = measure_string(style, "Anchor");
    SCOPED_TRACE(c.anchor.x);
    EXPECT_RECT(r, c.x, c.y, w, ui.line_height);
  }
  // With anchor (1, 0) the string ends at pos.x.
  Style right;
  right.pos = {300, 10};
  right.anchor = {1, 0};
  Rect r = measure_string(right, "Anchor");
  EXPECT_FLOAT_EQ(r.x + r.w, 300);
}

TEST_F(FontTest, EmptyStringHasNoWidthButALine) {
  Style style;
  style.pos = {10, 20};
  style.anchor = {1, 0.5f};
  Rect r = measure_string(style, "");
  EXPECT_EQ(r.w, 0);
  EXPECT_EQ(r.h, ui.line_height);
  EXPECT_FLOAT_EQ(r.x, 10);
  EXPECT_FLOAT_EQ(r.y, 20 - ui.line_height / 2);
  EXPECT_TRUE(v2_equal(text_style_pos(style, 0), {r.x, r.y}));
}
