// The orbiting world camera: reset, per-frame matrices, zoom and yaw, and window pixels to ground points.
#include "render/camera.hpp"

#include "app/client.hpp"
#include "entity.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

void reset_camera() {
  Camera& c = renderer.camera;
  c.focal_length = 450;
  c.zoom = 1;
  c.pitch = pi / 4;
  c.yaw = 0;
  c.roll = 0;
  c.scroll_speed = 100;
}

m4 camera_update(Camera& c, v2 window_size) {
  // A minimised window reports no size; keep the matrices finite rather than dividing by zero.
  f32 aspect = window_size.x > 0 && window_size.y > 0 ? window_size.x / window_size.y : 1.0f;
  c.projection = m4_frustum(pi / 4, aspect, 1.0f, 5000.0f);
  v3 offset = {0, 0, c.focal_length / c.zoom};
  offset = m3_rotate_x(c.pitch) * offset;
  offset = m3_rotate_z(c.yaw) * offset;
  c.pos = c.target + offset;
  // Straight above the target the usual up vector is parallel to the view; any horizontal one will do.
  v3 up = {0, 0, 1};
  if (c.pitch < 0) up = {0, 0, -1};
  if (c.pitch == 0) up = {0, 1, 0};
  c.view = m4_inverse(m4_look_at(c.pos, c.target, up));
  return c.projection * c.view;
}

void camera_zoom(Camera& c, f32 delta, bool unlimited) {
  f64 zoom = (f64)c.zoom + (f64)delta * (f64)c.zoom * 0.2;
  if (unlimited) {
    c.zoom = clamp((f32)zoom, CAMERA_ADMIN_ZOOM_MIN, CAMERA_ADMIN_ZOOM_MAX);
  } else {
    c.zoom = clamp((f32)zoom, CAMERA_ZOOM_MIN, CAMERA_ZOOM_MAX);
  }
}

v2 camera_unproject(const Camera& c, const m4& vp, v2 window_size, v2 screen) {
  v2 eye = {c.pos.x, c.pos.y};
  if (window_size.x <= 0 || window_size.y <= 0) return eye;
  f32 nx = 2 * screen.x / window_size.x - 1;
  f32 ny = 2 * (window_size.y - screen.y) / window_size.y - 1;
  m4 inv = m4_inverse(vp);
  v4 a = inv * v4{nx, ny, 0, 1};
  v4 b = inv * v4{nx, ny, 1, 1};
  if (a.w == 0 || b.w == 0) return eye;
  v3 dir = v3_normalized(b.xyz / b.w - a.xyz / a.w);
  f32 d = dir.z;  // dot with the ground normal (0, 0, 1)
  if (fabsf(d) <= 1.1920929e-7f) return eye;
  f32 t = -c.pos.z / d;
  // Above the horizon the ray meets the ground behind the eye; that point is not under the mouse.
  if (t < 0) return eye;
  v3 hit = c.pos + dir * t;
  return {hit.x, hit.y};
}

void update_camera() {
  Camera& c = renderer.camera;
  if (game.player && !game.debug.free_camera) {
    c.target = {game.player->pos.x, game.player->pos.y, 0};
  }
  renderer.vp = camera_update(c, game.window_size);
}

void zoom_camera(f32 delta) {
  bool unlimited = game.player && is_admin(*game.player) && game.modifiers.shift && game.modifiers.ctrl;
  camera_zoom(renderer.camera, delta, unlimited);
}

void rotate_camera(f32 dx) {
  renderer.camera.yaw -= CAMERA_ROTATE_SPEED * dx;
  // Makes the world screen send the walking direction again, turned by the new yaw.
  game.last_wasd = 255;
}

v2 unproject_point(v2 screen) { return camera_unproject(renderer.camera, renderer.vp, game.window_size, screen); }

void unproject_mouse() { game.mouse_world = unproject_point(ui.mouse); }
