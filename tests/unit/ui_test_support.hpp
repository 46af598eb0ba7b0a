#pragma once
// Shared set-up of the UI tests: a baked font, a known window and simulated frames, all without GL.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "expect_near.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

inline const char* ui_test_font_path() {
  static const char* candidates[] = {VALMIRE_SOURCE_DIR "/assets/fonts/FiraCode-Regular.ttf",
                                     "/usr/share/fonts/truetype/firacode/FiraCode-Regular.ttf"};
  for (const char* path : candidates)
    if (file_exists(path)) return path;
  return candidates[0];
}

// What one frame of input looks like to the UI.
struct UiTestInput {
  v2 mouse = {};
  bool down = false;       // left button held at the end of the frame
  bool went_down = false;  // pressed during the frame
  bool went_up = false;    // released during the frame
};

struct UiTest : ::testing::Test {
  void SetUp() override {
    static bool baked = false;
    if (!baked) {
      free(font_bake(ui_test_font_path(), 1920));
      baked = true;
    }
    memset((void*)&ui, 0, sizeof(ui));
    // A window at its start-up size on a 2160-line display: scale 1 and px(v) == v.
    renderer.window_width = 3840;
    renderer.window_height = 2160;
    renderer.display_width = 3840;
    renderer.display_height = 2160;
    update_ui_scale();
    game.time = {};
    game.modifiers.all = 0;
    game.mouse_is_down = game.mouse_went_down = game.mouse_went_up = 0;
    ui_begin();
  }

  static void set_input(const UiTestInput& in) {
    ui.mouse = in.mouse;
    game.mouse_went_down = in.went_down ? MouseButton_Left : 0;
    game.mouse_went_up = in.went_up ? MouseButton_Left : 0;
    game.mouse_is_down = in.down ? MouseButton_Left : 0;
  }

  // One whole frame: begin, the frame's input, what the screen builds, then layout.
  template <typename F>
  static void frame(const UiTestInput& in, F build) {
    ui_begin();
    set_input(in);
    update_ui();
    build();
    ui_end();
  }

  // Lays out whatever was built since the last ui_begin.
  static void layout() { ui_end(); }

  static UiElement* find(const char* name, int nth = 0) {
    for (int i = 0; i < ui.nelements; i++) {
      if (cstr_equal(ui.elements[i].id.name.cstr(), name) && nth-- == 0) return &ui.elements[i];
    }
    return nullptr;
  }

  static UiElement* push(const char* name, f32 w, f32 h) {
    UiElement* e = ui_push_element(name, ui.current_layout);
    e->rect.w = w;
    e->rect.h = h;
    return e;
  }

  static v2 centre(Rect r) { return {r.x + r.w / 2, r.y + r.h / 2}; }
};

#define EXPECT_RECT(r, X, Y, W, H) \
  do {                             \
    Rect r_ = (r);                 \
    EXPECT_FLOAT_EQ(r_.x, (X));    \
    EXPECT_FLOAT_EQ(r_.y, (Y));    \
    EXPECT_FLOAT_EQ(r_.w, (W));    \
    EXPECT_FLOAT_EQ(r_.h, (H));    \
  } while (0)
