#pragma once
// The frame-time graph in the bottom-right corner and the ping under it.
#include "app/client.hpp"

// Height in pixels of the bar of a frame that took `elapsed`: its frame rate within 1..60 fps, scaled so
// 60 fps fills `full`. A zero or absurd duration never yields NaN.
f32 fps_bar_height(Duration elapsed, f32 full);
void ui_fps();
