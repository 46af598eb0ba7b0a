// The three layout passes (sizes, growth, positions with the hit test). No GL: text is measured
// from the font's metrics, so all of this runs in tests without a context.
#include "app/client.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

static bool ui_is_horizontal(const UiElement* e) { return e->direction == Ui_Horizontal; }
static f32& ui_main_size(UiElement* e, bool horizontal) { return horizontal ? e->rect.w : e->rect.h; }
static f32& ui_cross_size(UiElement* e, bool horizontal) { return horizontal ? e->rect.h : e->rect.w; }

// Pen advances of recently measured texts. Most texts of a frame are the same as last frame's, and
// walking glyphs is the costliest part of the layout. An entry only answers for the very same bytes
// under the very same baked font, so the result is always what measuring would give.
struct UiAdvanceEntry {
  u32 hash;
  int length;
  f32 font_scale;
  f32 advance;
  char bytes[sizeof(Text::buffer)];
};
static UiAdvanceEntry ui_advance_cache[256];

static f32 ui_text_advance(const Text& text) {
  Str s = text.str();
  u32 h = 2166136261u;
  for (int i = 0; i < s.len; i++) h = (h ^ (u8)s.data[i]) * 16777619u;
  UiAdvanceEntry& entry = ui_advance_cache[h & (len(ui_advance_cache) - 1)];
  if (entry.hash == h && entry.length == s.len && entry.font_scale == renderer.font_scale &&
      memcmp(entry.bytes, s.data, (size_t)s.len) == 0) {
    return entry.advance;
  }
  f32 advance = text_advance(s);
  if (s.len <= (int)sizeof(entry.bytes)) {
    entry.hash = h;
    entry.length = s.len;
    entry.font_scale = renderer.font_scale;
    entry.advance = advance;
    memcpy(entry.bytes, s.data, (size_t)s.len);
  }
  return advance;
}

void ui_compute_sizes(UiElement* e) {
  bool horizontal = ui_is_horizontal(e);
  if (ui_main_size(e, horizontal) != 0) e->fixed_size = true;
  e->gap = px(e->gap);
  e->pad = px(e->pad);
  f32 inner_max_width = max(0.0f, e->max_width - 2 * e->pad);

  int n = 0;
  for (UiElement* c = e->first_child; c; c = c->next) {
    if (e->disabled) c->disabled = true;
    if (!c->floating) n++;
    if (e->max_width != 0) {
      c->max_width = c->max_width > 0 ? min(c->max_width, inner_max_width) : inner_max_width;
    }
    ui_compute_sizes(c);
  }

  if (e->rect.w == 0) {
    if (e->text.length > 0) {
      // What measure_text gives: the advance at the UI scale and font size, one line high.
      f32 font_size = e->font_size != 0 ? e->font_size : 1;
      e->rect.w = ui.scale * ui_text_advance(e->text) * font_size;
      if (e->rect.h == 0) e->rect.h = ui.line_height;
    } else if (e->image.texture.id != 0) {
      e->rect.w = (f32)e->image.texture.width;
      e->rect.h = (f32)e->image.texture.height;
    }
  }
  if (e->rect.w != 0 && !e->fixed_size && n >= 1) ui_main_size(e, horizontal) += e->gap * (f32)(n - 1);

  e->rect.w += 2 * e->pad;
  e->rect.h += 2 * e->pad;

  if (e->max_width != 0) e->rect.w = min(e->rect.w, e->max_width);
  if (e->min_width != 0) e->rect.w = max(e->rect.w, e->min_width);
  if (e->max_height != 0) e->rect.h = min(e->rect.h, e->max_height);
  if (e->min_height != 0) e->rect.h = max(e->rect.h, e->min_height);

  UiElement* p = e->parent;
  if (p && !e->floating) {
    bool parent_horizontal = ui_is_horizontal(p);
    f32& parent_cross = ui_cross_size(p, parent_horizontal);
    parent_cross = max(parent_cross, ui_cross_size(e, parent_horizontal));
    if (!p->fixed_size) ui_main_size(p, parent_horizontal) += ui_main_size(e, parent_horizontal);
  }
}

void ui_grow_sizes(UiElement* e) {
  bool horizontal = ui_is_horizontal(e);
  int n = 0, g = 0;
  f32 used = 0;
  for (UiElement* c = e->first_child; c; c = c->next) {
    if (c->floating) continue;
    n++;
    used += ui_main_size(c, horizontal);
    if (c->grow.x != 0) g++;
  }
  f32 remaining = ui_main_size(e, horizontal) - (2 * e->pad + used + e->gap * (f32)(n - 1));
  // With no growing child in the flow there is nothing to share: a floating grower keeps its size
  // rather than dividing by zero.
  f32 share = g > 0 ? remaining / (f32)g : 0;

  for (UiElement* c = e->first_child; c; c = c->next) {
    if (c->grow.y != 0) ui_cross_size(c, horizontal) = ui_cross_size(e, horizontal) - 2 * e->pad;
    if (c->grow.x != 0) ui_main_size(c, horizontal) += share;
    ui_grow_sizes(c);
  }
}

void ui_compute_positions(UiElement* e) {
  f32 window_w = (f32)renderer.window_width;
  f32 window_h = (f32)renderer.window_height;
  Rect& r = e->rect;
  if (r.x < 0) r.x = 0;
  if (r.y < 0) r.y = 0;
  if (r.x + r.w > window_w) r.x = window_w - r.w;
  if (r.y + r.h > window_h) r.y = window_h - r.h;

  v2 base = {r.x, r.y};
  v2 cursor = base + v2{e->pad, e->pad};

  if (!ui.active_element.slider && !e->ignore_events && !e->disabled) {
    if (rect_is_hovered(r)) {
      e->state.hovered = true;
      if (left_mouse_is_down()) {
        e->state.active = true;
        if (left_mouse_went_down()) {
          e->state.clicked = true;
          if (ui.active_element.text != &e->text) deactivate_text_input();
        }
      }
    }
  }

  bool horizontal = ui_is_horizontal(e);
  if (e->scroll) {
    f32 content = 0;
    for (UiElement* c = e->first_child; c; c = c->next) {
      if (!c->floating) content += c->rect.h;
    }
    if (content > r.h) {
      f32 excess = content - r.h;
      for (UiElement* c = e->first_child; c; c = c->next) {
        if (!c->floating) c->rect.y -= excess;
      }
    }
  }

  for (UiElement* c = e->first_child; c; c = c->next) {
    if (c->floating) {
      c->rect.x += base.x + c->anchor.x * (r.w - c->rect.w);
      c->rect.y += base.y + c->anchor.y * (r.h - c->rect.h);
    } else {
      c->rect.x += cursor.x;
      c->rect.y += cursor.y;
      if (horizontal) {
        cursor.x += c->rect.w + e->gap;
      } else {
        cursor.y += c->rect.h + e->gap;
      }
      if (e->align == UiAlign_Center) {
        f32 shift = max(0.0f, ui_cross_size(e, horizontal) - 2 * e->pad - ui_cross_size(c, horizontal)) / 2;
        if (horizontal) {
          c->rect.y += shift;
        } else {
          c->rect.x += shift;
        }
      }
    }
    if (e->ignore_events) c->ignore_events = 1;
    ui_compute_positions(c);
  }
}

void ui_compute_layout(UiElement* root) {
  ui_compute_sizes(root);
  ui_grow_sizes(root);
  ui_compute_positions(root);
}
