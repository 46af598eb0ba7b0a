#pragma once
// The orbiting world camera's record; it lives in `renderer.camera`.
#include "math.hpp"

struct Camera {
  v3 pos = {};
  v3 target = {};
  f32 focal_length = 0;
  f32 zoom = 0;
  f32 pitch = 0;
  f32 yaw = 0;
  f32 roll = 0;
  f32 scroll_speed = 0;
  m4 view = {};
  m4 projection = {};
};
