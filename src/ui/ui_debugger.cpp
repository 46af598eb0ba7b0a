// Developer overlay: the frame's element count, the chain of elements under the mouse, and the
// outline and geometry of the topmost one. Built after the frame's layout, so it lays itself out.
#include "app/client.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

constexpr int UiInspectorChainMax = 16;
// Room the overlay needs at most: two panels, the highlight, a header and the chain, and info lines.
constexpr int UiInspectorElementsMax = 4 + 1 + UiInspectorChainMax + 8;

// The topmost element under the mouse: elements are created parents first and drawn in creation
// order, so the last hit in the array is the one on top.
int ui_inspector_pick(int nelements, v2 mouse) {
  int picked = -1;
  for (int i = 0; i < nelements; i++) {
    if (point_intersects_rect(mouse, ui.elements[i].rect)) picked = i;
  }
  return picked;
}

static UiElement* ui_inspector_line(UiElement* parent, Text text) {
  UiElement* e = ui_push_element("ui-debug-line", parent);
  e->text = text;
  e->font_size = 0.8f;
  return e;
}

static void ui_inspector_place(UiElement* e, v2 at) {
  ui_compute_sizes(e);
  ui_grow_sizes(e);
  e->rect.x = at.x;
  e->rect.y = at.y;
  ui_compute_positions(e);
}

static UiElement* ui_inspector_panel(const char* name, UiElement* root) {
  UiElement* e = ui_push_element(name, root);
  e->floating = true;
  e->ignore_events = 1;
  e->bg_color = {{0, 0, 0, 0.75f}};
  e->border_color = {{1, 0.3f, 0.3f, 1}};
  e->pad = theme.pad.small;
  return e;
}

void ui_inspector() {
  if (ui.nelements + UiInspectorElementsMax > UiMaxElements) return;
  UiElement* root = &ui.elements[0];
  int n = ui.nelements;
  int picked = ui_inspector_pick(n, ui.mouse);

  UiElement* list = ui_inspector_panel("ui-debug", root);
  ui_inspector_line(list, tprintf("UI elements: %d/%d", n, UiMaxElements));
  if (picked >= 0) {
    UiElement* chain[UiInspectorChainMax];
    int depth = 0;
    for (UiElement* e = &ui.elements[picked]; e && depth < UiInspectorChainMax; e = e->parent) chain[depth++] = e;
    for (int i = depth - 1; i >= 0; i--) {
      UiElement* e = chain[i];
      ui_inspector_line(list, tprintf("%*s%s (%ld) [%d,%d %dx%d]", 2 * (depth - 1 - i), "", e->id.name.cstr(),
                                      (long)e->key, (int)e->rect.x, (int)e->rect.y, (int)e->rect.w, (int)e->rect.h));
    }
  }
  ui_inspector_place(list, {0, 0});
  if (picked < 0) return;

  UiElement* target = &ui.elements[picked];
  UiElement* highlight = ui_push_element("ui-debug-highlight", root);
  highlight->floating = true;
  highlight->ignore_events = 1;
  highlight->border_color = {{1, 0, 0, 1}};
  highlight->rect = {0, 0, target->rect.w, target->rect.h};
  ui_inspector_place(highlight, {target->rect.x, target->rect.y});

  UiElement* info = ui_inspector_panel("ui-debug-info", root);
  ui_inspector_line(info, tprintf("%s", target->id.name.cstr()));
  ui_inspector_line(info, tprintf("%s:%d", target->id.file ? target->id.file : "?", target->id.line));
  ui_inspector_line(info, tprintf("key %ld  rect %.1f,%.1f %.1fx%.1f", (long)target->key, target->rect.x,
                                  target->rect.y, target->rect.w, target->rect.h));
  ui_inspector_line(
      info, tprintf("pad %.1f gap %.1f grow %g,%g %s%s%s%s", target->pad, target->gap, target->grow.x, target->grow.y,
                    target->direction == Ui_Horizontal ? "horizontal" : "vertical", target->floating ? " floating" : "",
                    target->disabled ? " disabled" : "", target->scroll ? " scroll" : ""));
  ui_inspector_place(info, ui.mouse + v2{16, 16});
}
