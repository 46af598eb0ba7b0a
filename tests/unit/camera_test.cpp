// The world camera's maths, without a window or GL context.
#include <gtest/gtest.h>

#include "render/camera.hpp"
#include "app/client.hpp"
#include "entity.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"
#include "expect_near.hpp"

static Camera default_camera(v3 target = {}) {
  Camera c;
  c.target = target;
  return c;
}

TEST(CameraZoom, StepsByAFifthWithinThePlayerOrAdministratorRange) {
  for (bool unlimited : {false, true}) {
    SCOPED_TRACE(unlimited);
    f32 lo = unlimited ? CAMERA_ADMIN_ZOOM_MIN : CAMERA_ZOOM_MIN,
        hi = unlimited ? CAMERA_ADMIN_ZOOM_MAX : CAMERA_ZOOM_MAX;
    Camera cam;
    cam.zoom = 1;
    camera_zoom(cam, 1, unlimited);
    EXPECT_FLOAT_EQ(cam.zoom, 1.2f);
    camera_zoom(cam, 0, unlimited);
    EXPECT_FLOAT_EQ(cam.zoom, 1.2f);
    // Wheel steps walk the whole range, monotonically, and stop at its ends.
    f32 last = cam.zoom;
    for (int i = 0; i < 100; i++) {
      camera_zoom(cam, -1, unlimited);
      EXPECT_LE(cam.zoom, last);
      last = cam.zoom;
    }
    EXPECT_FLOAT_EQ(cam.zoom, lo);
    for (int i = 0; i < 100; i++) camera_zoom(cam, 1, unlimited);
    EXPECT_FLOAT_EQ(cam.zoom, hi);
    camera_zoom(cam, 40, unlimited);
    EXPECT_FLOAT_EQ(cam.zoom, hi);
  }
  EXPECT_LT(CAMERA_ADMIN_ZOOM_MIN, CAMERA_ZOOM_MIN);
  EXPECT_GT(CAMERA_ADMIN_ZOOM_MAX, CAMERA_ZOOM_MAX);
}

TEST(CameraZoom, OnlyAnAdministratorHoldingShiftAndCtrlLeavesThePlayerRange) {
  static Entity player;
  struct Case {
    bool admin, has_player, shift, ctrl;
    f32 expected;
  } cases[] = {
      {true, true, true, true, 1.68f},  {true, true, true, false, 1.5f}, {true, true, false, true, 1.5f},
      {true, true, false, false, 1.5f}, {false, true, true, true, 1.5f}, {false, false, true, true, 1.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.admin << c.has_player << c.shift << c.ctrl);
    player.flags = c.admin ? (u32)EntityFlag_IsAdmin : 0u;
    game.player = c.has_player ? &player : nullptr;
    game.modifiers.all = 0;
    game.modifiers.shift = c.shift;
    game.modifiers.ctrl = c.ctrl;
    renderer.camera.zoom = 1.4f;
    zoom_camera(1);
    EXPECT_FLOAT_EQ(renderer.camera.zoom, c.expected);
  }
  game.player = nullptr;
  game.modifiers.all = 0;
}

TEST(CameraUpdate, DefaultEyeSitsAtFocalDistanceAtFortyFiveDegrees) {
  Camera c = default_camera({100, 200, 0});
  camera_update(c, {1920, 1080});
  EXPECT_NEAR(v3_len(c.pos - c.target), 450, 1e-3);
  EXPECT_TRUE(near(c.pos, v3{{100, 200 - 450 * sqrtf(0.5f), 450 * sqrtf(0.5f)}}, 1e-3));
  // Zoom shortens the distance; yaw turns the eye around the target.
  c.zoom = 1.5f;
  c.yaw = pi / 2;
  camera_update(c, {1920, 1080});
  EXPECT_NEAR(v3_len(c.pos - c.target), 300, 1e-3);
  EXPECT_TRUE(near(v2{c.pos.x, c.pos.y}, {100 + 300 * sqrtf(0.5f), 200}, 1e-3));
}

static bool finite_matrix(const m4& m) {
  for (f32 e : m.elements)
    if (!isfinite(e)) return false;
  return true;
}

TEST(CameraUpdate, PitchZeroLooksStraightDownWithAUsableView) {
  Camera c = default_camera({64, -32, 0});
  c.pitch = 0;
  m4 vp = camera_update(c, {800, 600});
  EXPECT_TRUE(near(c.pos, v3{{64, -32, 450}}, 1e-4));
  ASSERT_TRUE(finite_matrix(c.view));
  ASSERT_TRUE(finite_matrix(vp));
  // The target projects to the centre of the screen and a point north of it to the upper half.
  v4 t = vp * v4{64, -32, 0, 1};
  EXPECT_NEAR(t.x / t.w, 0, 1e-5);
  EXPECT_NEAR(t.y / t.w, 0, 1e-5);
  v4 north = vp * v4{64, 0, 0, 1};
  EXPECT_GT(north.y / north.w, 0.01f);
  EXPECT_NEAR(north.x / north.w, 0, 1e-5);
  // And the window centre comes back to the target.
  v2 g = camera_unproject(c, vp, {800, 600}, {400, 300});
  EXPECT_TRUE(near(g, {64, -32}, 0.05));
}

TEST(CameraUpdate, MinimisedWindowKeepsMatricesFinite) {
  Camera c = default_camera();
  m4 vp = camera_update(c, {0, 0});
  EXPECT_TRUE(finite_matrix(vp));
  v2 g = camera_unproject(c, vp, {0, 0}, {10, 10});
  EXPECT_TRUE(isfinite(g.x) && isfinite(g.y));
}

TEST(CameraUnproject, WindowCentreMapsToTheTargetAtAnyYawZoomAndSize) {
  struct Case {
    v3 target;
    f32 yaw, zoom;
    v2 window;
  } cases[] = {
      {{0, 0, 0}, 0, 1, {1920, 1080}},
      {{320, 640, 0}, 1.1f, 1.5f, {1280, 720}},
      {{-1000, 50, 0}, -2.5f, 0.8f, {600, 900}},
  };
  for (const Case& k : cases) {
    Camera c = default_camera(k.target);
    c.yaw = k.yaw;
    c.zoom = k.zoom;
    m4 vp = camera_update(c, k.window);
    v2 g = camera_unproject(c, vp, k.window, k.window / 2);
    EXPECT_TRUE(near(g, {k.target.x, k.target.y}, 0.05));
  }
}

TEST(CameraUnproject, ScreenDirectionsMatchGroundDirections) {
  Camera c = default_camera({0, 0, 0});
  v2 window = {1000, 800};
  m4 vp = camera_update(c, window);
  v2 up = camera_unproject(c, vp, window, {500, 100});
  v2 down = camera_unproject(c, vp, window, {500, 700});
  v2 right = camera_unproject(c, vp, window, {900, 400});
  // With yaw 0 the camera looks north (+y): the top of the window is farther north, the right is east.
  EXPECT_GT(up.y, 0);
  EXPECT_LT(down.y, 0);
  EXPECT_GT(right.x, 0);
  EXPECT_NEAR(right.y, 0, 0.05);
  // Perspective: the upper half covers more ground than the lower.
  EXPECT_GT(up.y, -down.y);
  // A point unprojected and projected again lands on the same pixel.
  v4 p = vp * v4{up.x, up.y, 0, 1};
  EXPECT_NEAR((p.y / p.w + 1) / 2 * window.y, 800 - 100, 0.05);
}

// A ray along the ground (pitch level with the target) or into the sky above the horizon meets no ground in
// front of the eye: the eye itself comes back, never a point behind it.
TEST(CameraUnproject, RaysThatMissTheGroundReturnTheEye) {
  v2 window = {800, 600};
  for (f32 pitch : {pi / 2, 1.4f}) {
    Camera c = default_camera({10, 20, 0});
    c.pitch = pitch;
    m4 vp = camera_update(c, window);
    v2 g = camera_unproject(c, vp, window, {400, pitch == 1.4f ? 0.0f : 300.0f});
    EXPECT_FLOAT_EQ(g.x, c.pos.x) << pitch;
    EXPECT_FLOAT_EQ(g.y, c.pos.y) << pitch;
    if (pitch < pi / 2) {
      EXPECT_GT(camera_unproject(c, vp, window, {400, 599}).y, c.pos.y);
    }
  }
}

TEST(CameraControls, ResetRestoresDefaultsAndRotateRequestsANewDirection) {
  Camera& c = renderer.camera;
  c.zoom = 3, c.pitch = 0.1f, c.yaw = 2, c.roll = 1, c.focal_length = 10, c.scroll_speed = 5;
  c.target = {5, 6, 0};
  reset_camera();
  Camera d;
  EXPECT_TRUE(c.zoom == d.zoom && c.pitch == d.pitch && c.yaw == d.yaw && c.roll == d.roll);
  EXPECT_TRUE(c.focal_length == d.focal_length && c.scroll_speed == d.scroll_speed);
  EXPECT_EQ(c.target.x, 5);  // the target is the player's, not the camera's to reset
  game.last_wasd = 3;
  rotate_camera(100);
  EXPECT_FLOAT_EQ(c.yaw, -0.15f);
  EXPECT_EQ(game.last_wasd, 255);
}

TEST(CameraControls, UpdateFollowsThePlayerUnlessFreeOrAbsentAndWritesTheRendererVp) {
  static Entity player;
  player.pos = {320.5f, -64};
  game.player = &player;
  game.window_size = {640, 480};
  renderer.camera.target = {1, 2, 3};
  game.debug.free_camera = true;
  update_camera();
  EXPECT_TRUE(renderer.camera.target.x == 1 && renderer.camera.target.z == 3);
  game.debug.free_camera = false;
  update_camera();
  EXPECT_TRUE(renderer.camera.target.x == 320.5f && renderer.camera.target.y == -64 && renderer.camera.target.z == 0);

  reset_camera();
  game.player = nullptr;
  renderer.camera.target = {96, 96, 0};
  update_camera();
  EXPECT_EQ(renderer.camera.target.x, 96);
  Camera copy = renderer.camera;
  m4 vp = camera_update(copy, game.window_size);
  EXPECT_EQ(memcmp(&renderer.vp, &vp, sizeof(m4)), 0);
  ui.mouse = {320, 240};
  unproject_mouse();
  EXPECT_TRUE(near(game.mouse_world, {96, 96}, 0.05));
}
