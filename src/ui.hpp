#pragma once
// The immediate-mode UI's global record.
#include "math.hpp"
#include "types.hpp"

struct Ui {
  v2 mouse = {};
};

extern Ui ui;
