// Item slots and their gestures, the bag strip, the gear and container windows, icons and tooltips.
#include "world/inventory.hpp"

#include <glad/gl.h>

#include "audio/audio.hpp"
#include "entity.hpp"
#include "items.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "render/model.hpp"
#include "ui/ui.hpp"
#include "world/blueprint.hpp"
#include "world/context_menu.hpp"
#include "world/cursor.hpp"
#include "world/thoughts.hpp"

constexpr int CONTAINER_ROW_SLOTS = 4;

// The item in a slot, or null: an id the storage does not hold yet (a snapshot lagging behind a move)
// shows as an empty slot.
static Entity* slot_item(const Slot& slot) {
  if (slot.index >= container_nslots(slot.container)) return nullptr;
  return find_entity_by_id(slot.container.slots[slot.index]);
}

static Entity* player_bag() {
  Entity* player = game.player;
  if (!player || !is_person(*player) || !is_container(*player)) return nullptr;
  Entity* bag = find_bag(*player);
  return bag && is_container(*bag) ? bag : nullptr;
}

static void slot_left_press(const Slot& slot, Entity* item) {
  Id container_id = slot.container_entity.id;
  if (game.cursor.type == CursorType_Item && game.cursor.entity_id != 0) {
    net_send_move_entity(game.cursor.entity_id, container_id, slot.index);
    clear_cursor();
    return;
  }
  if (item) {
    Entity* bag = player_bag();
    if (!bag) {
      push_thought(Text("Hm, I don't have a bag"));
      return;
    }
    if (game.modifiers.ctrl) {
      Id target = container_id == bag->id ? game.opened_container_id : bag->id;
      if (target != 0) net_send_move_entity(item->id, target, SlotAny);
    } else if (item->flags & EntityFlag_Liftable) {
      net_send_lift_entity(item->id);
    } else {
      set_cursor(CursorType_Item, item->id, nullptr);
    }
    return;
  }
  Entity* player = game.player;
  if (!player || !has_component(*player, Component_Mortal) || player->mortal.burden == 0) return;
  Entity* burden = find_entity_by_id(player->mortal.burden);
  if (burden && (burden->flags & EntityFlag_Liftable)) {
    net_send_move_entity(burden->id, container_id, slot.index);
    clear_cursor();
  }
}

void ui_item_slot(Slot slot) {
  Entity* item = slot_item(slot);
  UiElement* e = ui_begin_layout("item-slot", {});
  e->key = ((u64)slot.container_entity.id << 32) + slot.index;
  e->rect.w = e->rect.h = slot.size;
  bool hovered = ui_get_prev_state(e).hovered;
  bool on_cursor = item && game.cursor.type == CursorType_Item && game.cursor.entity_id == item->id;
  if (on_cursor) {
    e->bg_color = Color{{1, 0, 0, 0.3f}};
  } else {
    e->bg_color = hovered ? Color{{0, 1, 1, 0.3f}} : Color{{1, 1, 1, 0.2f}};
  }
  if (item) {
    ui_item_icon(*item, slot.size);
    if (hovered) {
      UiElement* q = ui_textf("%d", (int)item->item.quality);
      q->floating = true;
      q->anchor = {1, 1};
      q->font_size = 0.7f;
    }
  }
  ui_end_layout();
  if (!hovered || slot.read_only) return;

  ui.hovered_container_id = slot.container_entity.id;
  if (item) {
    ui.hovered_item_id = item->id;
    ui_item_tooltip(*item, ui.mouse);
  }
  if (left_mouse_went_down()) {
    play_sound(game.audio.sounds.click, 1.0f);
    slot_left_press(slot, item);
  } else if (right_mouse_went_down() && item) {
    if (game.modifiers.shift) {
      use_entity(*item, true);
      game.skip_lmb_up = true;
      ui.hovered_item_id = 0;
    } else {
      open_context_menu(item->id);
    }
  }
}

void ui_container_slot(Slot slot) {
  UiElement* e = ui_begin_layout("container-slot", {});
  e->pad = theme.gap.medium;
  e->border_color = theme.slot_border_color;
  ui_item_slot(slot);
  ui_end_layout();
}

// --- icons

// The corners of the box around the positions of every mesh, read back from the vertex buffers once per kind.
static bool model_bounds(const Model& model, v3* lo, v3* hi) {
  static f32 chunk[3 * 4096];
  bool any = false;
  for (int m = 0; m < model.nmeshes; m++) {
    const Mesh& mesh = model.meshes[m];
    for (int first = 0; mesh.vbo != 0 && first < mesh.nvertices; first += 4096) {
      int n = min(4096, mesh.nvertices - first);
      glGetNamedBufferSubData(mesh.vbo, (GLintptr)first * 12, (GLsizeiptr)n * 12, chunk);
      for (int i = 0; i < n; i++) {
        v3 p = {chunk[3 * i], chunk[3 * i + 1], chunk[3 * i + 2]};
        *lo = any ? v3{min(lo->x, p.x), min(lo->y, p.y), min(lo->z, p.z)} : p;
        *hi = any ? v3{max(hi->x, p.x), max(hi->y, p.y), max(hi->z, p.z)} : p;
        any = true;
      }
    }
  }
  return any;
}

// Where a kind sits in its square: a flat item is seen from above, a standing one from the side; long
// things lie along the diagonal; then the picture is fitted to the square with a small margin.
static m4 item_icon_transform(EntityType type, const Model& model, bool is_item) {
  v3 lo = {-0.5f, -0.5f, 0}, hi = {0.5f, 0.5f, 1};
  model_bounds(model, &lo, &hi);
  v3 ext = hi - lo;
  bool side_view = !is_item || ext.z >= 0.5f * max(ext.x, ext.y);
  m4 view = side_view ? m4_rotate_x(-pi / 2) : m4_identity();
  f32 turn = 0;
  if (type == Entity_iron_sword || type == Entity_carrot || type == Entity_tree_log) turn = pi / 4;
  m4 place = m4_rotate_z(turn) * view;
  v2 plo = {1e30f, 1e30f}, phi = {-1e30f, -1e30f};
  for (int c = 0; c < 8; c++) {
    v3 corner = {c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z};
    v4 p = place * v4{corner.x, corner.y, corner.z, 1};
    plo = {min(plo.x, p.x), min(plo.y, p.y)};
    phi = {max(phi.x, p.x), max(phi.y, p.y)};
  }
  f32 size = max(max(phi.x - plo.x, phi.y - plo.y), 1e-3f);
  f32 scale = 1.8f / size;
  m4 centre = m4_translate(-(plo.x + phi.x) / 2, -(plo.y + phi.y) / 2, 0);
  return m4_ortho(-1, 1, -1, 1, -64, 64) * m4_scale_uniform(scale) * centre * place;
}

// The kind's icon, made once; null while its models load, without a renderer, and for a kind outside the
// registry.
static Texture* item_icon(EntityType type, bool item) {
  EntityInfo* info = find_entity_info(type);
  if (!info || (u32)type >= (u32)len(game.entity_models)) return nullptr;
  if (renderer.shaders.item.program == 0) return nullptr;
  if (!(info->flags & EntityInfoFlag_Loaded)) {
    load_model_by_type(type);
    return nullptr;
  }
  EntityModels& models = game.entity_models[type];
  if (models.nvariants <= 0) return nullptr;
  if (models.icon.id == 0)
    generate_item_icon(models.icon, models.variants[0], item_icon_transform(type, models.variants[0], item));
  return &models.icon;
}

UiElement* ui_kind_icon(EntityType type, bool item, f32 size) {
  UiElement* e = ui_push_element("item-icon", ui.current_layout);
  e->rect.w = e->rect.h = size;
  if (Texture* icon = item_icon(type, item)) {
    e->image.texture = *icon;
    e->image.src = {0, 0, (f32)icon->width, (f32)icon->height};
  }
  return e;
}

UiElement* ui_item_icon(Entity& entity, f32 size) { return ui_kind_icon(entity.type, is_item(entity), size); }

// --- tooltip

// Copies at most a Text's capacity, stepping back over a cut character's continuation bytes.
Text text_cut_utf8(const char* s) {
  int n = (int)strlen(s);
  int cap = (int)sizeof(Text{}.buffer) - 1;
  if (n > cap) {
    n = cap;
    while (n > 0 && ((u8)s[n] & 0xC0) == 0x80) n--;
  }
  Text t;
  text_set(t, Str(s, n));
  return t;
}

Text item_tooltip_text(const Entity& e) {
  char hint[256] = {};
  int n = 0;
  auto append = [&](int written) { n = min(n + max(written, 0), (int)sizeof(hint) - 1); };
  if (has_component(e, Component_Food)) {
    append(snprintf(hint + n, sizeof(hint) - (size_t)n, " [Energy: %.0f]", (double)e.food.energy));
  } else if (has_component(e, Component_Potion)) {
    append(snprintf(hint + n, sizeof(hint) - (size_t)n, " [consume: +%.fHp]", (double)e.potion.power));
  } else if (has_component(e, Component_Weapon)) {
    append(snprintf(hint + n, sizeof(hint) - (size_t)n, " [dmg: %g-%g]", (double)e.weapon.dmg.min,
                    (double)e.weapon.dmg.max));
  }
  // The progress shares its field with fuel: a fuel's capacity is no progress.
  if (!has_component(e, Component_Fuel) && e.progress.max != 0) {
    Entity* holder = find_container_entity(e);
    if (holder && holder->type != Entity_bag) {
      append(snprintf(hint + n, sizeof(hint) - (size_t)n, "[Progress: %.1f/%.1f]", (double)e.progress.cur,
                      (double)e.progress.max));
    }
  }
  if (e.flags & EntityFlag_Liftable) append(snprintf(hint + n, sizeof(hint) - (size_t)n, " Lift"));
  char line[512];
  snprintf(line, sizeof(line), "%s [Q: %d]%s", entity_name(e), (int)e.item.quality, hint);
  return text_cut_utf8(line);
}

void ui_item_tooltip(Entity& entity, v2 at) { set_tooltip(at, {0, 1.25f}, item_tooltip_text(entity)); }

// --- panels

void ui_inventory() {
  Entity* bag = player_bag();
  if (!bag || bag->id == game.opened_container_id) return;
  UiElement* e = ui_begin_layout("inventory", {0.25f * (f32)renderer.window_width, (f32)renderer.window_height});
  e->floating = true;
  e->direction = Ui_Horizontal;
  e->pad = theme.pad.medium;
  e->bg_color = Color{{0, 0, 0, 0.9f}};
  e->border_color = Color{{0.3f, 0.3f, 0.3f, 1}};
  int n = container_nslots(bag->container);
  for (int i = 0; i < n; i++) ui_container_slot({*bag, bag->container, (SlotIndex)i, em_px(2), false});
  ui_end_layout();
}

void ui_gear_contents(Entity& person, bool read_only) {
  ui_div("gear-slots", {});
  if (is_container(person)) {
    for (u32 slot = 0; slot < GearSlot_num; slot++) {
      UiElement* g = ui_begin_layout("gear-slot", {});
      // Keyed by the owner too, so the gear window and another person's window keep apart.
      g->key = ((u64)person.id << 32) + slot;
      g->gap = theme.gap.medium;
      g->hover_color = theme.slot_bg_hover_color;
      Id hovered_item_before = ui.hovered_item_id;
      ui_container_slot({person, person.container, (SlotIndex)slot, 2.25f * ui.line_height, read_only});
      ui_end_layout();
      UiElementState st = ui_get_prev_state(g);
      // The slot's name, unless the item in it already shows its own tooltip.
      if (st.hovered && ui.hovered_item_id == hovered_item_before)
        set_tooltip({st.rect.x + st.rect.w, st.rect.y}, {0, 0}, Text(gear_slot_name(slot)));
    }
  }
  ui_end_layout();
  ui_div("gear-stats", {});
  if (is_person(person)) ui_textf("%s, lvl %d", entity_name(person), (int)person.person.lvl);
  if (has_component(person, Component_Mover)) ui_textf("Speed: %.f", (double)person.mover.speed);
  ui_end_layout();
}

void ui_gear(Entity& player) {
  if (!ui.gear.is_visible) return;
  ui.gear.name = Text("gear");
  UiPanel panel;
  panel.title = Text("Gear");
  panel.at = {0.65f, 0.3f};
  panel.dialog = &ui.gear;
  UiElement* contents = ui_begin_panel("gear", panel);
  contents->direction = Ui_Horizontal;
  ui_gear_contents(player, false);
  ui_end_panel(panel);
}

void ui_entity_info() {
  if (!ui.entity_info.is_visible) return;
  Entity* e = find_entity_by_id(ui.entity_info.entity_id);
  if (!e || !is_person(*e)) return;
  ui.entity_info.name = Text("entity-info");
  UiPanel panel;
  text_set(panel.title, Str(entity_name(*e)));
  panel.at = {0.65f, 0.3f};
  panel.dialog = &ui.entity_info;
  UiElement* contents = ui_begin_panel("entity-info", panel);
  contents->direction = Ui_Horizontal;
  ui_gear_contents(*e, true);
  ui_end_panel(panel);
}

static void close_container_on_hide(UiDialog&) { close_container(); }

void ui_container(Entity& container_entity, Container& container) {
  ui.container.name = Text("container");
  ui.container.on_hide = close_container_on_hide;
  ui.container.is_visible = true;
  UiPanel panel;
  text_set(panel.title, Str(entity_name(container_entity)));
  panel.at = {0.5f, 0.55f};
  panel.dialog = &ui.container;
  ui_begin_panel("container", panel);
  int n = container_nslots(container);
  int nrows = max(1, (n + CONTAINER_ROW_SLOTS - 1) / CONTAINER_ROW_SLOTS);
  for (int row = 0; row < nrows; row++) {
    UiElement* r = ui_begin_layout("container-row", {});
    r->key = (u64)row + 1;
    r->direction = Ui_Horizontal;
    for (int i = row * CONTAINER_ROW_SLOTS; i < n && i < (row + 1) * CONTAINER_ROW_SLOTS; i++)
      ui_container_slot({container_entity, container, (SlotIndex)i, em_px(2), false});
    ui_end_layout();
  }
  ItemIter it = get_items(container_entity);
  if (it.entity && !has_component(*it.entity, Component_Fuel) && it.entity->progress.max != 0) {
    ui_textf("Progress: %d%%", (int)(100 * it.entity->progress.cur / it.entity->progress.max));
  }
  ui_end_panel(panel);
}

void stamp_interaction(Id id) {
  if (EntityState* state = set_entity_state_entry(id)) state->interacted_at = game.time;
}

void close_container() {
  stamp_interaction(game.opened_container_id);
  game.opened_container_id = 0;
  ui.container.is_visible = false;
  play_sound(game.audio.sounds.container_close, 1.0f);
}

void update_containers() {
  Entity* player = game.player;
  if (!player) return;
  if (game.target_container_id != 0) {
    Entity* target = find_entity_by_id(game.target_container_id);
    if (target && is_container(*target) && can_use(*player, *target)) {
      game.opened_container_id = target->id;
      stamp_interaction(target->id);
      game.target_container_id = 0;
      play_sound(game.audio.sounds.container_open, 1.0f);
    }
  }
  if (game.opened_container_id != 0) {
    Entity* opened = find_entity_by_id(game.opened_container_id);
    if (opened && is_container(*opened) && can_use(*player, *opened)) {
      ui_container(*opened, opened->container);
    } else {
      close_container();
    }
  }
}

void ui_items() {
  update_containers();
  if (game.player) {
    ui_inventory();
    ui_gear(*game.player);
  }
  ui_entity_info();
  ui_blueprint_dialog();
  draw_context_menu();
}
