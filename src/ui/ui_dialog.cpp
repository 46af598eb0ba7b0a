// Centred panels, and movable windows with a title bar and a close button.
#include "app/client.hpp"
#include "ui/ui.hpp"

void ui_dialog(UiDialog& dialog) {
  if (ui.active_element.dialog == &dialog) {
    dialog.pos = ui.mouse - ui.active_element.at;
  } else if (!dialog.moved) {
    dialog.pos = dialog.default_pos;
  }

  UiElement* c = ui_begin_layout(UiId(""), dialog.pos);
  ui_compose_name(c->id.name, "dialog{", dialog.name);
  // A window at (0, 0) is still a window, not part of the flow.
  c->floating = true;
  c->rect.x = dialog.pos.x;
  c->rect.y = dialog.pos.y;
  c->bg_color = theme.bg_color;
  c->border_color = theme.border_color;
  c->anchor = dialog.moved ? v2{0, 0} : dialog.default_anchor;
  dialog.container = c;

  UiElement* bar = ui_begin_layout(UiId(""), {});
  ui_compose_name(bar->id.name, "dialog-title-bar{", dialog.name);
  bar->direction = Ui_Horizontal;
  bar->border_color = theme.border_color;
  bar->grow = {0, 1};
  bar->pad = theme.pad.medium;
  UiElement* title = ui_text(dialog.title);
  title->grow = {1, 0};
  UiElementConfig close_cfg = {};
  close_cfg.key = (u64)(uintptr_t)&dialog;
  UiElementState close = ui_button("x", close_cfg);
  UiElementState bar_state = ui_get_prev_state(bar);

  if (close.clicked) {
    toggle_dialog(dialog);
  } else if (bar_state.clicked) {
    if (game.modifiers.alt) {
      dialog.moved = false;
    } else {
      ui.active_element.dialog = &dialog;
      ui.active_element.at = ui.mouse - v2{bar_state.rect.x, bar_state.rect.y};
      dialog.moved = true;
    }
  }
  ui_end_layout();

  UiElement* contents = ui_begin_layout("dialog-contents", {});
  contents->pad = theme.pad.medium;
  contents->gap = theme.gap.medium;
  dialog.contents = contents;
}

void ui_end_dialog() {
  ui_end_layout();
  ui_end_layout();
}

void show_dialog(UiDialog& dialog, u32 id) {
  dialog.is_visible = true;
  dialog.entity_id = id;
}

void hide_dialog(UiDialog& dialog) {
  deactivate_text_input();
  dialog.is_visible = false;
  if (dialog.on_hide) dialog.on_hide(dialog);
}

bool toggle_dialog(UiDialog& dialog) {
  if (dialog.is_visible) {
    hide_dialog(dialog);
  } else {
    show_dialog(dialog, 0);
  }
  return dialog.is_visible;
}

// --- panels

UiElement* ui_begin_panel(const UiId& id, const UiPanel& panel) {
  v2 at = {panel.at.x * (f32)renderer.window_width, panel.at.y * (f32)renderer.window_height};
  UiElement* frame = nullptr;
  UiElement* contents = nullptr;
  if (panel.dialog) {
    UiDialog& dialog = *panel.dialog;
    dialog.default_pos = at;
    dialog.default_anchor = {0.5f, 0.5f};
    if (panel.title.length > 0) dialog.title = panel.title;
    ui_dialog(dialog);
    frame = dialog.container;
    contents = dialog.contents;
  } else {
    frame = contents = ui_div(id, at);
    // A panel centred on (0, 0) is still a panel, not part of the flow.
    frame->floating = true;
    frame->anchor = {0.5f, 0.5f};
    frame->bg_color = theme.bg_color;
    frame->border_color = theme.border_color;
    frame->pad = theme.pad.extra_large;
    if (panel.title.length > 0) ui_text(panel.title, "dialog-title");
  }
  if (panel.size.x > 0) frame->rect.w = frame->min_width = panel.size.x;
  if (panel.size.y > 0) frame->rect.h = frame->min_height = panel.size.y;
  return contents;
}

void ui_end_panel(const UiPanel& panel) {
  if (panel.dialog) {
    ui_end_dialog();
  } else {
    ui_end_layout();
  }
}
