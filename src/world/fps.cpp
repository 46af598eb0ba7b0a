#include "world/fps.hpp"

#include "net/net.hpp"
#include "render/renderer.hpp"

f32 fps_bar_height(Duration elapsed, f32 full) {
  f32 seconds = to_sec(elapsed);
  f32 fps = seconds > 0 ? 1 / seconds : 60;
  return full * clamp(fps, 1.0f, 60.0f) / 60;
}

void ui_fps() {
  const f32 bar_w = px(4), full = px(96);
  const f32 right = (f32)renderer.window_width, bottom = (f32)renderer.window_height - em_px(1);
  UiElement* root = ui_begin_layout("fps", v2{right, bottom});
  root->anchor = {1, 1};
  const GameDebug& d = game.debug;
  for (int i = 0; i < FRAME_STATS_MAX; i++) {
    // The ring's next write is its oldest entry.
    const FrameStat& s = d.frames_stats[(d.frames_stats_index + i) % FRAME_STATS_MAX];
    f32 h = fps_bar_height(s.elapsed, full);
    // Floating children are placed from their layout's corner; the hover test needs the window's position.
    Rect in_layout = {-(f32)(FRAME_STATS_MAX - i) * bar_w, -h, bar_w, h};
    Rect r = {right + in_layout.x, bottom + in_layout.y, bar_w, h};
    ui_rect(tprintf("fps-bar-%d", i), in_layout, Color{{0.3f, 0.8f, 0.3f, 0.6f}});
    if (rect_is_hovered(r)) {
      f32 ms = to_sec(s.elapsed) * 1000;
      set_tooltip(ui.mouse, {1, 1},
                  tprintf("frame[%llu] fps: %.f (%.1fms)", (unsigned long long)s.frame, ms > 0 ? 1000.0 / ms : 0.0,
                          (double)ms));
    }
  }
  ui_end_layout();
  UiElement* ping = ui_begin_layout("ping", v2{right, (f32)renderer.window_height});
  ping->anchor = {1, 1};
  UiElement* t = ui_textf("Ping: %-3.f", to_sec(net.avg_latency) * 1000.0);
  t->font_size = 0.75f;
  ui_end_layout();
}
