#pragma once
// The orbiting world camera and the mapping of window pixels to the ground plane.
#include "math.hpp"
#include "types.hpp"

struct Camera {
  v3 pos = {};
  v3 target = {};
  f32 focal_length = 450;
  f32 zoom = 1;
  f32 pitch = pi / 4;
  f32 yaw = 0;
  f32 roll = 0;
  f32 scroll_speed = 100;
  m4 view = {};
  m4 projection = {};
};

constexpr f32 CAMERA_ZOOM_MIN = 0.8f;
constexpr f32 CAMERA_ZOOM_MAX = 1.5f;
constexpr f32 CAMERA_ADMIN_ZOOM_MIN = 0.1f;
constexpr f32 CAMERA_ADMIN_ZOOM_MAX = 5.5f;
constexpr f32 CAMERA_ROTATE_SPEED = 0.0015f;

void reset_camera();
void update_camera();
void zoom_camera(f32 delta);
void rotate_camera(f32 dx);
v2 unproject_point(v2 screen);
void unproject_mouse();

// The maths behind the calls above, on explicit inputs so it can be driven without a game.
m4 camera_update(Camera& camera, v2 window_size);
void camera_zoom(Camera& camera, f32 delta, bool unlimited);
v2 camera_unproject(const Camera& camera, const m4& vp, v2 window_size, v2 screen);
