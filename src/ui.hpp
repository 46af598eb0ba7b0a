#pragma once
// The immediate-mode UI's global record.
#include "math.hpp"
#include "types.hpp"

struct Ui {
  v2 mouse = {};
  f32 scale = 1;
  f32 line_height = 0;
  bool draw_grid = false;
};

extern Ui ui;
