// The administrator's panel.
#include "world/admin_panel.hpp"

#include <ctype.h>
#include <stdio.h>

#include "entity.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"
#include "world/cursor.hpp"

constexpr int ADMIN_KINDS_SHOWN = 8;
constexpr int ADMIN_DUMP_LINES = 24;
constexpr int ADMIN_SLOWEST_SHOWN = 5;
// The dump is taken again every this many frames: components change slowly next to the frame rate.
constexpr u64 ADMIN_DUMP_EVERY = 15;

static bool contains_nocase(const char* s, const char* part) {
  if (!part[0]) return true;
  for (; *s; s++) {
    int i = 0;
    while (part[i] && s[i] && tolower((unsigned char)s[i]) == tolower((unsigned char)part[i])) i++;
    if (!part[i]) return true;
  }
  return false;
}

int admin_spawnable_kinds(const char* filter, EntityType* out, int cap) {
  int n = 0;
  for (int t = Entity_Player + 1; t < Entity_num && n < cap; t++) {
    const char* name = find_entity_type_name((EntityType)t);
    if (name && contains_nocase(name, filter)) out[n++] = (EntityType)t;
  }
  return n;
}

int admin_split_lines(const char* text, Text* out, int cap) {
  int n = 0;
  const char* p = text;
  while (*p && n < cap) {
    const char* end = strchr(p, '\n');
    int length = end ? (int)(end - p) : (int)strlen(p);
    text_set(out[n++], Str(p, min(length, (int)sizeof(Text::buffer) - 1)));
    p += length;
    if (*p == '\n') p++;
  }
  return n;
}

static bool admin_spawn_at_cursor(Cursor& cursor) {
  net_send_add_entity(game.mouse_world, cursor.entity_type, cursor.rotation_index);
  return true;
}

static void ui_admin_clock() {
  UiElement* row = ui_div("admin-clock", {});
  row->direction = Ui_Horizontal;
  ui_textf("Time %02d:%02d", (int)game.game_time.hour, (int)game.game_time.second);
  GameTime t = game.game_time;
  if (ui_button("-1h").clicked) net_send_set_time({(u8)((t.hour + 23) % 24), t.second});
  if (ui_button("+1h").clicked) net_send_set_time({(u8)((t.hour + 1) % 24), t.second});
  if (ui_button(game.paused ? "Resume" : "Pause").clicked) toggle_pause();
  UiElementConfig step = {};
  step.disabled = !game.paused;
  if (ui_button("Step", step).clicked && game.paused) request_gameplay_updates(1);
  ui_end_layout();
}

static void ui_admin_players() {
  ui_text("Players");
  u32 n = game.admin.nplayers < (u32)PLAYERS_MAX ? game.admin.nplayers : (u32)PLAYERS_MAX;
  for (u32 i = 0; i < n; i++) {
    const AdminPlayerInfo& p = game.admin.players[i];
    UiElementConfig cfg = {};
    cfg.key = (u64)p.id + 1;
    Text label = tprintf("%.*s  Lvl %d  %.f %.f", PLAYER_NAME_LEN, p.person.name, (int)p.person.lvl, p.pos.x, p.pos.y);
    if (ui_button(label, cfg).clicked) teleport(p.pos);
  }
}

static void ui_admin_spawn() {
  ui_text("Spawn at cursor");
  ui_text_input(ui.add_entity_filter);
  EntityType kinds[ADMIN_KINDS_SHOWN];
  int n = admin_spawnable_kinds(ui.add_entity_filter.text.cstr(), kinds, ADMIN_KINDS_SHOWN);
  UiElement* list = ui_div("admin-kinds", {});
  list->direction = Ui_Horizontal;
  for (int i = 0; i < n; i++) {
    UiElementConfig cfg = {};
    cfg.key = (u64)kinds[i] + 1;
    if (ui_button(Text(find_entity_type_name(kinds[i])), cfg).clicked) set_cursor(kinds[i], admin_spawn_at_cursor);
  }
  ui_end_layout();
}

static void ui_admin_reports() {
  if (Shader* broken = renderer.shaders_info.broken_shader) {
    UiElement* e = ui_textf("Shader '%s' compilation failed", broken->name ? broken->name : "?");
    e->text_color = theme.error_color;
  }
  // The slowest resource loads, found in one pass each rather than by sorting the table every frame.
  int n = min(nresource_timings, RESOURCE_TIMINGS_MAX);
  if (n == 0) return;
  Duration total = {};
  for (int i = 0; i < n; i++) total += resource_timings[i].duration;
  ui_textf("Resources: %d loaded in %.1f ms", n, (double)to_ms(total));
  int shown[ADMIN_SLOWEST_SHOWN];
  int nshown = 0;
  for (; nshown < ADMIN_SLOWEST_SHOWN && nshown < n; nshown++) {
    int best = -1;
    for (int i = 0; i < n; i++) {
      bool taken = false;
      for (int j = 0; j < nshown; j++) taken |= shown[j] == i;
      if (!taken && (best < 0 || resource_timings[i].duration.ns > resource_timings[best].duration.ns)) best = i;
    }
    shown[nshown] = best;
    const ResourceTiming& r = resource_timings[best];
    ui_textf("  %s %.2f ms", r.type_name ? r.type_name : "?", (double)to_ms(r.duration));
  }
  if (ui_button("Print report").clicked) print_resources_report();
}

static void ui_admin_inspector() {
  Entity* e = game.selected_id ? find_entity_by_id(game.selected_id) : nullptr;
  if (!e) return;
  static char dump[4096];
  static FILE* out = nullptr;
  static Id dumped_id = 0;
  static u64 dumped_frame = 0;
  static Text lines[ADMIN_DUMP_LINES];
  static int nlines = 0;
  // One stream over a fixed buffer, opened once: the dump allocates nothing per frame.
  if (!out) out = fmemopen(dump, sizeof(dump), "w");
  if (out && (dumped_id != e->id || game.frame - dumped_frame >= ADMIN_DUMP_EVERY)) {
    rewind(out);
    dump_components(out, *e);
    fputc(0, out);
    fflush(out);
    dump[sizeof(dump) - 1] = 0;
    nlines = admin_split_lines(dump, lines, ADMIN_DUMP_LINES);
    dumped_id = e->id;
    dumped_frame = game.frame;
  }
  ui_textf("Entity %u: %s", (unsigned)e->id, entity_name(*e));
  UiElement* box = ui_div("admin-inspector", {});
  box->bg_color = {{0, 0, 0, 0.3f}};
  for (int i = 0; i < nlines; i++) {
    UiElement* t = ui_text(lines[i], "admin-inspector-line");
    t->key = (u64)i + 1;
  }
  ui_end_layout();
}

void ui_admin_panel() {
  if (!ui.admin_dialog.is_visible || !game.player || !is_admin(*game.player)) return;
  ui.admin_dialog.name = "admin";
  UiPanel panel;
  panel.title = "Administrator";
  panel.at = {0.2f, 0.5f};
  panel.dialog = &ui.admin_dialog;
  ui_begin_panel("admin", panel);
  ui_admin_clock();
  ui_admin_reports();
  ui_hr();
  ui_admin_players();
  ui_hr();
  ui_admin_spawn();
  ui_hr();
  ui_admin_inspector();
  ui_end_panel(panel);
}
