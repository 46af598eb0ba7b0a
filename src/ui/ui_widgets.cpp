// The widget set: containers, texts, separators, buttons, toggles, sliders, spinners and bars.
#include "app/client.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

// Writes prefix + text + "}" as a name, cut at 127 bytes like any Text; the same as formatting
// "prefix%s}" without the cost of printf on every widget of every frame.
void ui_compose_name(Text& dst, const char* prefix, const Text& text) {
  char* out = dst.buffer;
  int n = 0;
  const int cap = (int)sizeof(dst.buffer) - 1;
  for (const char* p = prefix; *p && n < cap; p++) out[n++] = *p;
  const char* t = text.cstr();
  for (int i = 0; i < text.length && t[i] && n < cap; i++) out[n++] = t[i];
  if (n < cap) out[n++] = '}';
  out[n] = 0;
  dst.literal = nullptr;
  dst.length = n;
}

// --- containers and plain elements

UiElement* ui_div(const UiId& id, v2 pos) {
  UiElement* e = ui_begin_layout(id, pos);
  e->pad = theme.pad.medium;
  e->gap = theme.gap.medium;
  return e;
}

UiElement* ui_spacer(const UiId& id) {
  UiElement* e = ui_push_element(id, ui.current_layout);
  e->grow = {1, 0};
  return e;
}

UiElement* ui_rect(const UiId& id, Rect rect, Color color) {
  UiElement* e = ui_push_element(id, ui.current_layout);
  e->floating = true;
  e->rect = rect;
  e->bg_color = color;
  return e;
}

UiElement* ui_text(const Text& text, const UiId& id) {
  UiElement* e = ui_push_element(id, ui.current_layout);
  if (id.name.length == 0) e->id.name = text;
  e->text = text;
  e->key = text_hash(text);
  return e;
}

UiElement* ui_textf(const char* fmt, ...) {
  Text text;
  text_clear(text);
  va_list args;
  va_start(args, fmt);
  int n = vsnprintf(text.buffer, sizeof(text.buffer), fmt, args);
  va_end(args);
  text.length = clamp(n, 0, (int)sizeof(text.buffer) - 1);
  return ui_text(text, UiId());
}

UiElement* ui_gap() {
  UiElement* e = ui_push_element("gap", ui.current_layout);
  e->grow = {0, 1};
  e->rect.h = 0.5f * ui.line_height;
  return e;
}

UiElement* ui_hr() {
  UiElement* div = ui_div("hr", {});
  div->grow = {0, 1};
  UiElement* line = ui_push_element("hr-line", ui.current_layout);
  line->bg_color = theme.border_light_color;
  line->grow = {0, 1};
  line->rect.h = 0.1f * ui.line_height;
  ui_end_layout();
  return div;
}

UiElement* ui_error_box(Text msg) {
  UiPanel panel;
  panel.at = {0.5f, 0.8f};
  UiElement* box = ui_begin_panel("error-box", panel);
  UiElement* text = ui_text(msg);
  text->text_color = theme.error_color;
  ui_end_panel(panel);
  return box;
}

// --- interactive widgets

UiElementState ui_button(Text label, UiElementConfig cfg) {
  UiElement* e = ui_push_element(cfg.id, ui.current_layout);
  if (cfg.id.name.length == 0) ui_compose_name(e->id.name, "button{", label);
  e->text = label;
  e->bg_color = theme.button_bg_color;
  e->hover_color = theme.button_bg_hover_color;
  e->active_color = theme.button_bg_active_color;
  e->pad = theme.pad.medium;
  e->grow = {0, 1};
  e->disabled = cfg.disabled;
  e->key = cfg.key;
  return ui_get_prev_state(e);
}

UiElementState ui_toggle_button(Text label, bool* value) {
  UiElement* e = ui_begin_layout(UiId(""), {});
  ui_compose_name(e->id.name, "toggle-button{", label);
  e->direction = Ui_Horizontal;
  e->pad = theme.pad.medium;
  e->gap = theme.gap.small;
  e->grow = {0, 1};
  e->bg_color = theme.button_bg_color;
  e->hover_color = theme.button_bg_hover_color;
  e->active_color = theme.button_bg_active_color;
  UiElement* box = ui_push_element("toggle-button-box", ui.current_layout);
  box->text = tprintf(" %c ", *value ? 'x' : ' ');
  box->bg_color = theme.accent_color;
  ui_text(label);
  ui_end_layout();
  UiElementState state = ui_get_prev_state(e);
  if (state.clicked) toggle(*value);
  return state;
}

UiElementState ui_slider(UiId id, f32* value, UiElementConfig cfg) {
  UiElement* c = ui_begin_layout(id, {});
  c->key = (u64)(uintptr_t)value;
  c->pad = theme.pad.tiny;
  c->bg_color = theme.button_bg_color;
  c->hover_color = {{0.4f, 0.3f, 0.35f, 1}};
  c->disabled = cfg.disabled;
  c->grow = {1, 0};
  c->rect.w = em_px(6);
  c->rect.h = ui.line_height;
  UiElementState state = ui_get_prev_state(c);
  Rect prev = state.rect;

  ui_spacer("slider-spacer");
  UiElement* track = ui_push_element("slider-track", ui.current_layout);
  track->grow = {0, 1};
  track->rect.h = 0.25f * ui.line_height;
  track->bg_color = theme.button_bg_hover_color;
  ui_spacer("slider-spacer");
  f32 thumb = em_px(0.7f);
  UiElement* t = ui_push_element("slider-thumb", ui.current_layout);
  t->floating = true;
  t->rect = {*value * (prev.w - thumb), px(theme.pad.tiny) + (ui.line_height - thumb) / 2, thumb, thumb};
  t->bg_color = {{0.5f, 0.6f, 0.7f, 1}};
  t->hover_color = theme.button_bg_active_color;

  // The click is seen a frame late: when the button already came up again, the click sets the value once
  // instead of starting a drag that nothing would end until the next release.
  bool released_click = state.clicked && !left_mouse_is_down();
  if (state.clicked && !released_click) ui.active_element.slider = value;
  state.changed = false;
  if (ui.active_element.slider == value || released_click) {
    t->border_color = theme.border_color;
    f32 entry = *value;
    f32 left = prev.x + thumb / 2;
    f32 right = prev.x + prev.w - thumb / 2;
    // A slider squeezed to its thumb has no travel: keep the value rather than divide by zero.
    if (right > left) {
      f32 x = clamp(ui.mouse.x, left, right);
      *value = clamp((x - left) / (right - left), 0.0f, 1.0f);
      t->rect.x = x - prev.x - thumb / 2;
    }
    state.changed = *value != entry;
  }
  ui_end_layout();
  return state;
}

UiElement* ui_slider_with_label(UiId id, f32* value, UiElementConfig cfg) {
  UiElement* row = ui_begin_layout("slider-with-label", {});
  row->direction = Ui_Horizontal;
  row->grow = {0, 1};
  ui_slider(id, value, cfg);
  ui_textf("%.2f", *value);
  ui_end_layout();
  return row;
}

UiElementState ui_slider_with_label(UiId id, f32* value, Text label, UiElementConfig cfg) {
  UiElement* row = ui_begin_layout("slider-with-label", {});
  row->direction = Ui_Horizontal;
  row->grow = {0, 1};
  UiElementState state = ui_slider(id, value, cfg);
  ui_text(label);
  ui_end_layout();
  return state;
}

bool ui_begin_toggle_group(Text label, bool& is_visible) {
  ui_begin_layout(label, {});
  UiElementState state = ui_button(tprintf("[%c] %s", is_visible ? '^' : 'v', label.cstr()));
  if (state.clicked) toggle(is_visible);
  UiElement* content = ui_begin_layout("togge-group-content", {});
  content->pad = theme.pad.large;
  return is_visible;
}

void ui_end_toggle_group() {
  ui_end_layout();
  ui_end_layout();
}

UiElement* ui_spinner() {
  UiElement* e = ui_begin_layout("spinner", {});
  e->direction = Ui_Horizontal;
  e->gap = theme.gap.tiny;
  e->grow = {1, 1};
  ui_spacer("spinner-spacer");
  int lit = (int)(to_sec(game.time) * 4) % 3;
  for (int i = 0; i < 3; i++) {
    UiElement* r = ui_push_element("spinner-rect", ui.current_layout);
    r->rect.w = em_px(0.5f);
    r->rect.h = em_px(1);
    r->bg_color = i == lit ? Color{{0.7f, 1, 0.7f, 1}} : Color{{0.7f, 0.7f, 0.7f, 1}};
  }
  ui_spacer("spinner-spacer");
  ui_end_layout();
  return e;
}

UiElement* ui_loader(Text text) {
  UiPanel panel;
  UiElement* e = ui_begin_panel("loader", panel);
  // Bare: the text and the spinner float over whatever the screen shows.
  e->bg_color = {};
  e->border_color = {};
  e->pad = theme.pad.medium;
  ui_text(text);
  ui_spinner();
  ui_end_panel(panel);
  return e;
}

UiElement* ui_bar(f32 t, Color fill_color, Text text) {
  // An undefined ratio (a 0/0 parameter) draws as empty rather than as NaN geometry, and a value past
  // its maximum (or below zero) never draws outside the bar.
  t = isfinite(t) ? clamp(t, 0.0f, 1.0f) : 0;
  UiElement* bar = ui_begin_layout("bar", {});
  bar->rect.w = em_px(15);
  bar->rect.h = ui.line_height + 2 * px(theme.pad.tiny);
  bar->grow = {0, 1};
  bar->bg_color = theme.bar_bg_color;
  ui_rect("fill", {0, 0, bar->rect.w * t, bar->rect.h}, fill_color);
  ui_text(text);
  ui_end_layout();
  return bar;
}

UiElement* ui_param_bar(Param param, Color fill_color, Text label) {
  f32 t = param.max != 0 ? param.cur / param.max : 0;
  return ui_bar(t, fill_color, tprintf("%s: %.f/%.f", label.cstr(), param.cur, param.max));
}
