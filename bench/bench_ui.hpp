#pragma once
// A UI with no window behind it, for benchmarks that build and lay out frames: the font baked once (for its
// metrics), the UI state cleared, and the window's size and scale set.
#include <stdlib.h>

#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

inline void bench_ui_window(int width, int height) {
  static bool baked = false;
  if (!baked) {
    const char* path = VALMIRE_SOURCE_DIR "/assets/fonts/FiraCode-Regular.ttf";
    if (!file_exists(path)) path = "/usr/share/fonts/truetype/firacode/FiraCode-Regular.ttf";
    free(font_bake(path, width));
    baked = true;
  }
  memset((void*)&ui, 0, sizeof(ui));
  renderer.window_width = renderer.display_width = width;
  renderer.window_height = renderer.display_height = height;
  update_ui_scale();
  ui.mouse = {700, 400};
}
