#include "world/blueprint.hpp"

#include "entity.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "ui/ui.hpp"
#include "world/cursor.hpp"

// Open/closed state of the window's two groups, kept between frames.
static bool show_elements = true;
static bool show_all = false;
// The limit message goes out once per box that reaches it, not once per frame.
static bool reported_limit = false;

// The observer lets an administrator's box take invisible things too.
static SpatialQuery box_query(Rect box) {
  SpatialQuery q = in_rect(game.location, box);
  q.observer = game.player;
  return q;
}

int collect_box_selection(Id* out, int capacity) {
  const BoxSelection& sel = game.box_selection;
  if (!sel.is_set || !game.location) return 0;
  Rect box = rect_from_corners(sel.start, sel.end);
  // A click without a drag holds nothing (and an empty box would not limit the query at all).
  if (!(box.w > 0 && box.h > 0)) return 0;
  int n = 0;
  bool full = false;
  for (EntityIter it = locate_entities(box_query(box)); it.entity; next(it)) {
    if (has_component(*it.entity, Component_Actor)) continue;
    if (n == capacity) {
      full = true;
      break;
    }
    out[n++] = it.entity->id;
  }
  if (full && !reported_limit) debug_log("Cannot select more entities\n");
  reported_limit = full;
  return n;
}

static bool place_blueprint(Cursor& cursor) {
  net_send_blueprint_place(cursor.entity_id, game.mouse_world, cursor.rotation_index);
  return true;
}

static void ui_elements_group(const Blueprint& bp) {
  if (ui_begin_toggle_group("Elements", show_elements)) {
    int n = blueprint_nelements(bp);
    for (int i = 0; i < n; i++) {
      const BlueprintElement& el = bp.elements[i];
      ui_textf("- %s at (%.f, %.f)", entity_type_display_name(el.type), el.offset.x, el.offset.y);
    }
  }
  ui_end_toggle_group();
}

// Offsets as Replace would store them: from the first entity taken, whatever the blueprint held before
// (an empty one's origin is the world's corner).
static void ui_changeset(const Id* ids, int n) {
  ui_div("blueprint-changeset", {});
  ui_toggle_button("Show All", &show_all);
  const Entity* first = n > 0 ? find_entity_by_id(ids[0]) : nullptr;
  v2 origin = first ? first->pos : v2{};
  for (int i = 0; show_all && i < n; i++) {
    const Entity* e = find_entity_by_id(ids[i]);
    if (!e) continue;
    v2 at = e->pos - origin;
    ui_textf("+ %s at (%.f, %.f)", entity_type_display_name(e->type), at.x, at.y);
  }
  ui_textf("%d elements", n);
  ui_end_layout();
}

void ui_blueprint_dialog() {
  if (!ui.blueprint_dialog.is_visible || !game.player) return;
  Entity* holder = find_entity_by_id(ui.blueprint_dialog.entity_id);
  if (!holder || !has_component(*holder, Component_Blueprint)) return;
  const Id id = holder->id;
  const Blueprint& bp = holder->blueprint;
  ui.blueprint_dialog.name = Text("blueprint");
  UiPanel panel;
  text_set(panel.title, Str(entity_name(*holder)));
  panel.at = {0.65f, 0.3f};
  panel.dialog = &ui.blueprint_dialog;
  ui_begin_panel("blueprint", panel);

  ui_elements_group(bp);
  static Id collected[BLUEPRINT_CHANGESET_MAX];
  int ncollected = collect_box_selection(collected, BLUEPRINT_CHANGESET_MAX);
  if (game.box_selection.is_set) ui_changeset(collected, ncollected);

  UiElement* name = ui_div("blueprint-name", {});
  name->direction = Ui_Horizontal;
  name->align = UiAlign_Center;
  ui_text("Name");
  ui_text_input(ui.blueprint_name_input);
  ui_end_layout();

  UiElement* controls = ui_div("blueprint-controls", {});
  controls->direction = Ui_Horizontal;
  if (ui_button("Save").clicked) net_send_blueprint_save(id, ui.blueprint_name_input.text.cstr());
  if (ui_button("Place").clicked) set_cursor(CursorType_Blueprint, id, place_blueprint);
  if (ui_button("Select").clicked) game.box_selection.is_scheduled = true;
  if (ui_button("Replace").clicked) {
    game.box_selection = BoxSelection{};
    net_send_blueprint_clear(id);
    for (int i = 0; i < ncollected; i++) net_send_blueprint_add(id, collected[i]);
  }
  // The server lets only administrators kill: a player's Delete would be a burst of refusals.
  if (is_admin(*game.player) && ui_button("Delete").clicked) {
    game.box_selection = BoxSelection{};
    for (int i = 0; i < ncollected; i++) net_send_kill(collected[i]);
  }
  ui_end_layout();
  ui_end_panel(panel);
}
