#pragma once
// The renderer's global record.
#include <stb_truetype.h>

#include "camera.hpp"
#include "math.hpp"
#include "types.hpp"

struct Renderer {
  int window_width = 0;
  int window_height = 0;
  int display_width = 0;
  int display_height = 0;
  f32 time = 0;
  Camera camera;
  m4 vp = {};

  // Font and text batch.
  f32 font_pixel_height = 0;
  f32 font_scale = 0;
  f32 base_line = 0;
  stbtt_fontinfo font_info = {};
  int nfont_vbo = 0;
  u32 font_vao = 0;
  u32 font_vbo = 0;
  stbtt_packedchar ascii_char_data[96] = {};
  stbtt_packedchar cyrillic_char_data[96] = {};
  stbtt_packedchar letterlike_symbols_char_data[64] = {};
};

extern Renderer renderer;
