// The UI drawn on a real (software) GL context: a dialog with buttons, a slider, a text field and a
// tooltip, checked pixel by pixel and kept as a screenshot.
#include <glad/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/client.hpp"
#include "render/font.hpp"
#include "gl_context.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"
#include "unit/ui_test_support.hpp"

namespace {

const Color CLEAR = {{0.05f, 0.1f, 0.1f, 1}};

UiElement* find(const char* name) { return UiTest::find(name); }

std::vector<Color> window_pixels;

void read_window() {
  int w = renderer.window_width, h = renderer.window_height;
  window_pixels.assign((size_t)w * (size_t)h, Color{});
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_FLOAT, window_pixels.data());
}

// Share of the whole pixels inside `r` (window pixels, origin top-left) whose colour is near `c`.
f32 share_of(Rect r, Color c, f32 eps = 0.03f) {
  int w = renderer.window_width, h = renderer.window_height;
  int x0 = max(0, (int)ceilf(r.x)), y0 = max(0, (int)ceilf(r.y));
  int x1 = min(w, (int)floorf(r.x + r.w)), y1 = min(h, (int)floorf(r.y + r.h));
  int total = 0, matching = 0;
  for (int y = y0; y < y1; y++) {
    for (int x = x0; x < x1; x++) {
      total++;
      if (gl_test_colors_near(window_pixels[(size_t)(h - 1 - y) * (size_t)w + (size_t)x], c, eps, 3)) matching++;
    }
  }
  return total ? (f32)matching / (f32)total : 0;
}

v2 inside(Rect r, f32 fx = 0.5f, f32 fy = 0.5f) { return {r.x + fx * r.w, r.y + fy * r.h}; }

struct SettingsWindow {
  UiDialog dialog;
  TextInput name;
  f32 volume = 0.7f;
  bool ok_hovered = false;

  void build() {
    dialog.name = "settings";
    dialog.title = "Settings";
    dialog.default_pos = {0.5f * (f32)renderer.window_width, 0.5f * (f32)renderer.window_height};
    dialog.default_anchor = {0.5f, 0.5f};
    ui_dialog(dialog);
    dialog.contents->max_width = 0.4f * (f32)renderer.window_width;
    ui_text("Volume");
    ui_slider_with_label("volume", &volume);
    ui_text("Name");
    ui_text_input(name);
    UiElement* row = ui_div("buttons", {});
    row->direction = Ui_Horizontal;
    row->grow = {0, 1};
    UiElementState ok = ui_button("OK");
    UiElementConfig disabled = {};
    disabled.disabled = true;
    ui_button("Cancel", disabled);
    ui_spacer("right");
    ui_end_layout();
    ui_end_dialog();
    ok_hovered = ok.hovered;
    // Below the pointer, so the hovered button stays visible in the picture.
    if (ok.hovered) set_tooltip(ui.mouse, {0, -1.5f}, "Keep these settings");
  }
};

void ui_frame(SettingsWindow& w, v2 mouse) {
  ui_begin();
  ui.mouse = mouse;
  game.mouse_went_down = game.mouse_went_up = game.mouse_is_down = 0;
  update_ui();
  w.build();
  ui_end();
}

void draw_frame() {
  draw_clear(CLEAR);
  post_process();
  ui_render();
}

struct UiGl : GlTest {};

}  // namespace

TEST_F(UiGl, DialogWithButtonsSliderTextFieldAndTooltip) {
  renderer.shader_dir = SHADER_DIR;
  const int w = 1024, h = 576;
  gl_test_resize(w, h);
  ASSERT_EQ(renderer.window_width, w);
  push_transform(gl_test_screen_projection());

  SettingsWindow win;
  win.dialog.is_visible = true;
  win.name.max_len = 32;
  text_set(win.name.text, "A name far too long to fit inside the field, so the clip must cut it off here");
  activate_text_input(win.name);
  game.time = {};  // caret hidden: the first half of every second

  ui_frame(win, {0, 0});
  Rect ok = find("button{OK}")->rect;
  // Three frames over the OK button: hovered on the second, its tooltip asked for on the third.
  for (int i = 0; i < 3; i++) ui_frame(win, inside(ok));
  ASSERT_TRUE(win.ok_hovered);
  draw_frame();
  EXPECT_EQ(ui.nscissor_stack, 0);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));

  EXPECT_TRUE(gl_test_save_artifact("ui_dialog.png"));

  Rect window = find("dialog{settings}")->rect;
  Rect contents = find("dialog-contents")->rect;
  Rect cancel = find("button{Cancel}")->rect;
  Rect thumb = find("slider-thumb")->rect;
  Rect field = find("text-input")->rect;
  Rect tip = find("global-tooltip")->rect;
  Rect title = find("Settings")->rect;
  read_window();
  // Text covers part of each area, so a colour must fill most of it, not every pixel.
  struct Area {
    const char* what;
    Rect area;
    Color want;
    f32 min_share;
  } areas[] = {
      {"outside the window", {window.x - 12, window.y, 10, window.h}, CLEAR, 0.99f},
      {"hovered button", ok, theme.button_bg_hover_color, 0.5f},
      {"disabled button is grey", cancel, {{0.5f, 0.5f, 0.5f, 1}}, 0.5f},
      {"slider thumb", shrink(thumb, 1), {{0.5f, 0.6f, 0.7f, 1}}, 0.9f},
      {"tooltip", tip, theme.tooltip_bg_color, 0.5f},
      {"window background", {contents.x, contents.y + contents.h - 2, contents.w, 2}, theme.bg_color, 0.9f},
      // The text runs far past the field; the clip keeps it inside, so the strip beside it stays clean.
      {"right of the field", {field.x + field.w + 0.2f, field.y, 1.6f, field.h}, theme.bg_color, 0.99f},
  };
  for (const Area& a : areas) {
    f32 got = share_of(a.area, a.want);
    EXPECT_GE(got, a.min_share) << a.what << " at " << a.area.x << "," << a.area.y << " " << a.area.w << "x"
                                << a.area.h;
  }
  // Glyph coverage: the title holds pixels of neither the background nor nothing.
  EXPECT_LT(share_of(title, theme.bg_color, 0.1f), 0.97f);
  pop_transform();
  deactivate_text_input();
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
}

TEST_F(UiGl, NestedClipsIntersectAndPopBackToTheWholeWindow) {
  ui.nscissor_stack = 0;
  ui_push_scissor({10, 10, 100, 50});
  ui_push_scissor({50, 0, 100, 30});
  GLint box[4] = {};
  glGetIntegerv(GL_SCISSOR_BOX, box);
  // (50, 10) to (110, 30) in window pixels; GL counts rows from the bottom.
  EXPECT_EQ(box[0], 50);
  EXPECT_EQ(box[1], renderer.window_height - 30);
  EXPECT_EQ(box[2], 60);
  EXPECT_EQ(box[3], 20);
  ui_push_scissor({500, 500, 10, 10});  // disjoint: an empty clip, never a negative one
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ(box[2], 0);
  EXPECT_EQ(box[3], 0);
  ui_pop_scissor();
  ui_pop_scissor();
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ(box[0], 10);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  ui_pop_scissor();
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ(box[2], renderer.window_width);
  EXPECT_EQ(box[3], renderer.window_height);
}

// The clipboard needs the video subsystem, which only this binary has.
TEST_F(UiGl, CtrlVPastesTheClipboardIntoTheFocusedFieldOnly) {
  TextInput input;
  input.max_len = 8;
  ASSERT_EQ(SDL_SetClipboardText("clip\xc3\xa9"
                                 "board"),
            0);
  SDL_Event paste = {};
  paste.type = SDL_KEYDOWN;
  paste.key.keysym.sym = SDLK_v;
  paste.key.repeat = 1;
  game.modifiers.ctrl = 1;
  register_input_event(paste);  // no field has focus: nothing to paste into
  EXPECT_EQ(input.text.length, 0);
  activate_text_input(input);
  register_input_event(paste);
  EXPECT_STREQ(input.text.cstr(),
               "clip\xc3\xa9"
               "bo");  // cut at the limit, after whole characters
  text_clear(input.text);
  game.modifiers.ctrl = 0;
  register_input_event(paste);  // a plain v is typed through text input events, not pasted
  EXPECT_EQ(input.text.length, 0);
  deactivate_text_input();
}
