#pragma once
// The renderer's global record.
#include "math.hpp"
#include "types.hpp"

struct Renderer {
  int window_width = 0;
  int window_height = 0;
  int display_width = 0;
  int display_height = 0;
  f32 time = 0;
};

extern Renderer renderer;
