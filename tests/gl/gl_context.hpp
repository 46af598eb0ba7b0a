#pragma once
// One real window and GL context for the whole GL test binary: every GL test calls gl_test_init first.
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

// Writes the window's back buffer as a PNG; false when it cannot be written.
bool gl_test_save_screenshot(const char* path);
