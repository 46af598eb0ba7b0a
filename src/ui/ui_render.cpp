// Drawing the laid-out tree through the renderer's primitives, with a stack of clip rectangles.
#include <glad/gl.h>

#include "app/client.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

Rect ui_clip_intersect(Rect a, Rect b) {
  f32 x0 = max(a.x, b.x);
  f32 y0 = max(a.y, b.y);
  f32 x1 = min(a.x + a.w, b.x + b.w);
  f32 y1 = min(a.y + a.h, b.y + b.h);
  return {x0, y0, max(0.0f, x1 - x0), max(0.0f, y1 - y0)};
}

void ui_set_scissor(Rect rect) {
  glScissor((GLint)rect.x, (GLint)((f32)renderer.window_height - (rect.y + rect.h)), (GLsizei)rect.w, (GLsizei)rect.h);
}

void ui_push_scissor(Rect rect) {
  assert(ui.nscissor_stack < UiMaxScissors);
  // A scroll element narrower than its padding clips everything, not an invalid negative box.
  Rect clip = {rect.x, rect.y, max(0.0f, rect.w), max(0.0f, rect.h)};
  if (ui.nscissor_stack == 0) {
    glEnable(GL_SCISSOR_TEST);
  } else {
    clip = ui_clip_intersect(rect, ui.scissor_stack[ui.nscissor_stack - 1]);
  }
  ui.scissor_stack[ui.nscissor_stack++] = clip;
  ui_set_scissor(clip);
}

void ui_pop_scissor() {
  assert(ui.nscissor_stack > 0);
  ui.nscissor_stack--;
  if (ui.nscissor_stack == 0) {
    glDisable(GL_SCISSOR_TEST);
    glScissor(0, 0, renderer.window_width, renderer.window_height);
  } else {
    ui_set_scissor(ui.scissor_stack[ui.nscissor_stack - 1]);
  }
}

void ui_render_text(UiElement* e) {
  Style style = {};
  style.pos = {e->rect.x, e->rect.y + e->pad};
  style.color = e->text_color.a != 0 ? e->text_color : theme.text_color;
  if (e->disabled) style.color.rgb = style.color.rgb * 0.2f;
  style.font_size = e->font_size != 0 ? e->font_size : 1;
  Rect m = measure_text(style, e->text);
  switch (e->text_align) {
    case UiAlign_Left: style.pos.x += e->pad; break;
    case UiAlign_Center: style.pos.x += (e->rect.w - m.w) / 2; break;
    case UiAlign_Right: style.pos.x += e->rect.w - m.w - e->pad; break;
  }
  draw_string(style, e->text.str());
}

void ui_render_element(UiElement* e) {
  Rect r = e->rect;
  if (r.w < 0 || r.h < 0) {
    debugf("Negative dim for: %s", e->id.name.cstr());
  } else if (r.w != 0 && r.h != 0) {
    Color color = e->bg_color;
    if (e->state.active && e->active_color.a != 0) {
      color = e->active_color;
    } else if (e->state.hovered && e->hover_color.a != 0) {
      color = e->hover_color;
    }
    if (color.a > 0) {
      if (e->disabled) color.rgb = {0.5f, 0.5f, 0.5f};
      draw_rect(r, color);
    }
    if (e->border_color.a > 0) {
      Color border = e->disabled ? Color{{0.5f, 0.5f, 0.5f, e->border_color.a}} : e->border_color;
      draw_rect_outline(shrink(r, e->pad / 2), border);
    }
    if (e->image.texture.id != 0) {
      Color tint = e->image.tint.a != 0 ? e->image.tint : Color{{1, 1, 1, 1}};
      draw_texture(e->image.texture, e->image.src, r, tint);
    }
    if (e->text.length > 0) ui_render_text(e);
  }

  if (e->scroll) ui_push_scissor(shrink(r, e->pad));
  for (UiElement* c = e->first_child; c; c = c->next) ui_render_element(c);
  if (e->scroll) ui_pop_scissor();
}

void ui_render() {
  ui_render_element(&ui.elements[0]);
  assert(ui.nscissor_stack == 0);
}
