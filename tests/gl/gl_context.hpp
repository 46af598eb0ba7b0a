#pragma once
// One real window and GL context for the whole GL test binary: every GL test calls gl_test_init first.
#include <gtest/gtest.h>

#include <vector>

#include "math.hpp"

constexpr int GL_TEST_WIDTH = 240;
constexpr int GL_TEST_HEIGHT = 160;

// Opens the window (once) and runs the renderer's start-up in it.
void gl_test_init();

// A context and loaded GL functions without the renderer's start-up, for death tests whose child process
// only builds a program: the full start-up allocates the large targets and is slow in software.
void gl_test_bare_context();

// Resizes the window and waits until the default framebuffer follows.
void gl_test_resize(int w, int h);

// Colour of a window pixel (origin top-left, as the screen projection draws) in the given texture or, for 0,
// in the window's back buffer.
Color gl_test_texture_pixel(unsigned texture, int x, int y);
Color gl_test_window_pixel(int x, int y);

// The screen projection the frame pushes, for tests that draw in window pixels.
m4 gl_test_screen_projection();

// The pass after the scene's post-processing, as the UI and the texts over the world draw: into the window over
// a black scene, blended, without depth, under `transform`. The end pops the transform.
void gl_test_begin_overlay(const m4& transform);
void gl_test_end_overlay();

// Whether each of the first `channels` components is within eps of the wanted one.
testing::AssertionResult gl_test_colors_near(Color actual, Color expected, f32 eps = 0.02f, int channels = 4);

// Writes the window's back buffer as `name` under the build's test-artifacts folder.
bool gl_test_save_artifact(const char* name);

// The window's back buffer (or the first colour attachment of `fbo`) as RGBA bytes, rows bottom first as GL
// reads them.
std::vector<u8> gl_test_read_window(unsigned fbo = 0);

// How varied a picture is: its distinct colours at five bits a channel, and its pixels that differ from the
// first one (a corner, left as background) by more than 24 over the three channels.
struct PictureStats {
  int distinct = 0, covered = 0;
};
PictureStats gl_test_picture_stats(const std::vector<u8>& rgba);

// The world camera `distance` from `target`, tilted 45 degrees and turned by `yaw`, for the window's shape.
void gl_test_aim_camera(v3 target, f32 distance, f32 yaw = 0);

// The fixture of tests on the shared context: errors left by earlier tests are dropped, and a test that
// leaves one fails.
struct GlTest : testing::Test {
  void SetUp() override;
  void TearDown() override;
};
