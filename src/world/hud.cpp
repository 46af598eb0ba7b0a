// The heads-up display of the world screen and the order in which every panel of the world is built.
#include "world/hud.hpp"

#include <ctype.h>
#include <glad/gl.h>

#include "entity.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"
#include "world/admin_panel.hpp"
#include "world/chat.hpp"
#include "world/craft.hpp"
#include "world/inventory.hpp"
#include "world/world_bars.hpp"
#include "world/world_map.hpp"

Rect icon_rect(Icon icon) {
  if (icon <= Icon_None || icon >= Icon_count) return {};
  int i = (int)icon - 1;
  return {(f32)(i % 8 * Icon_size), (f32)(i / 8 * Icon_size), (f32)Icon_size, (f32)Icon_size};
}

f32 cooldown_ratio(f32 timer, f32 cooldown) {
  if (!(cooldown > 0) || !(timer > 0)) return 0;
  return clamp(timer / cooldown, 0.0f, 1.0f);
}

// --- parameters, effects and the stomach

static void ui_params_bar(Entity& player, Person& person, Actor* actor) {
  UiElement* bar = ui_div("params-bar", {px(theme.pad.medium), px(theme.pad.medium)});
  bar->bg_color = {{0, 0, 0, 0.5f}};
  bar->pad = theme.pad.large;
  bar->gap = theme.gap.medium;
  ui_textf("%s | Lvl %d", entity_name(player), (int)person.lvl);
  // Only the parts the record really has: a missing component's memory belongs to another kind.
  if (Mortal* mortal = find_mortal(player)) ui_param_bar(mortal->hp, theme.hp_color, "HP");
  if (actor) ui_param_bar(actor->mana, theme.mana_color, "Mana");
  ui_gap();
  ui_param_bar(person.energy, theme.energy_color, "Energy");
  if (Mover* mover = find_mover(player)) ui_param_bar(mover->stamina, theme.stamina_color, "Stamina");
  ui_gap();
  ui_bar(world_bar_ratio(person.xp), theme.xp_color, tprintf("Xp: %d/%d", (int)person.xp.cur, (int)person.xp.max));
  UiElementState prev = ui_get_prev_state(bar);
  ui_end_layout();

  if (!actor) return;
  UiElement* effects = ui_div("effects", {prev.rect.x + prev.rect.w, prev.rect.y});
  effects->floating = true;
  effects->key = player.id;
  for (int i = 0; i < (int)EffectType_count; i++) {
    const Effect& effect = actor->effects[i];
    if (effect.type == EffectType_None) continue;
    UiElement* e = ui_div("effect", {});
    e->key = (u64)player.id + (u64)i;
    e->border_color = theme.border_color;
    e->bg_color = theme.bg_color;
    ui_text(Text(effect_type_name(effect.type)));
    ui_end_layout();
  }
  ui_end_layout();
}

static void ui_stomach(v2 at, Person& person) {
  UiElement* stomach = ui_div("stomach", at);
  stomach->bg_color = theme.bg_color;
  stomach->border_color = {{0.3f, 0.3f, 0.3f, 1}};
  if (ui_get_prev_state(stomach).hovered) set_tooltip(ui.mouse, {0, 1.25f}, "Stomach");
  f32 s = em_px(2);
  for (int i = 0; i < (int)len(person.stomach.slots); i++) {
    StomachSlot& slot = person.stomach.slots[i];
    UiElement* cell = ui_begin_layout("stomach-slot", {});
    cell->key = (u64)i;
    cell->bg_color = {{0.3f, 0.3f, 0.3f, 1}};
    cell->border_color = {{0.5f, 0.5f, 0.5f, 1}};
    cell->rect.w = cell->rect.h = s;
    UiElementState prev = ui_get_prev_state(cell);
    // Kinds come from the server: one this client does not know leaves the slot looking empty.
    const char* kind_name = slot.type != Entity_None ? find_entity_type_name(slot.type) : nullptr;
    if (kind_name) {
      cell->bg_color = fade(theme.energy_color, 0.5f);
      ui_kind_icon(slot.type, true, s);
      f32 t = world_bar_ratio(slot.energy);
      UiElement* progress = ui_begin_layout("stomach-slot-progress", {});
      progress->floating = true;
      progress->rect = {0, 0, s, 0.15f * s};
      progress->bg_color = {{0.2f, 0.2f, 0.2f, 0.3f}};
      progress->border_color = {{0.7f, 0.5f, 0.5f, 1}};
      ui_rect("stomach-slot-progress-bar", {0, 0, s * t, 0.15f * s}, {{0.1f, 0.7f, 0.3f, 1}});
      ui_end_layout();
      if (prev.hovered) set_tooltip(ui.mouse, {0, 1.25f}, tprintf("%s: %.f%%", kind_name, t * 100));
    }
    ui_end_layout();
  }
  ui_end_layout();
}

// --- icons and spell buttons

static UiElementState ui_action_icon(const char* button, Icon icon, const char* action) {
  f32 size = px(128);
  UiElement* e = ui_push_element(UiId(""), ui.current_layout);
  e->id.name = tprintf("action-icon{%s}", action);
  e->bg_color = theme.bg_color;
  e->border_color = theme.border_color;
  e->rect.w = e->rect.h = size;
  Rect src = icon_rect(icon);
  if (src.w > 0 && renderer.icons_texture.id != 0) {
    e->image.texture = renderer.icons_texture;
    e->image.src = src;
  }
  UiElementState state = ui_get_prev_state(e);
  if (state.hovered) {
    e->image.tint = {{1, 0, 0, 1}};
    set_tooltip({state.rect.x + 0.5f * size, state.rect.y}, {0.5f, 1.25f}, tprintf("%s: %s", button, action));
  }
  return state;
}

static UiElementState ui_spell_icon(const char* button, Icon icon, Actor& actor, SpellType type) {
  UiElementState state = ui_action_icon(button, icon, spell_type_name(type));
  f32 t = cooldown_ratio(actor.spellset[type].cooldown, spell_cooldown(actor, type));
  if (t > 0) {
    // Over its own icon: the row's corner would put every icon's fill on the first one.
    f32 x = state.rect.x - ui_get_prev_state(ui.current_layout).rect.x;
    UiElement* fill = ui_rect("cooldown", {x, 0, t * px(128), 0.5f * ui.line_height}, {{0.8f, 0.2f, 0, 0.5f}});
    fill->key = (u64)type + 1;
  }
  return state;
}

void ui_spell_button(Actor& actor, SpellType type, char key) {
  if ((u32)type >= SpellType_count) return;
  f32 timer = actor.spellset[type].cooldown;
  UiElement* b = ui_div(UiId(""), {});
  b->id.name = tprintf("spell-button{%c}", key);
  b->border_color = theme.border_light_color;
  b->grow = {0, 1};
  b->bg_color = {{0.3f, 0.3f, 0.3f, 0.5f}};
  Rect prev = ui_get_prev_state(b).rect;
  f32 t = cooldown_ratio(timer, spell_cooldown(actor, type));
  if (t > 0) ui_rect("cooldown", {0, 0, prev.w * t, prev.h}, {{0.8f, 0.2f, 0, 0.5f}});
  ui_textf("[%c] %s", toupper((unsigned char)key), spell_type_name(type));
  if (timer > 0) {
    UiElement* tip = ui_push_element("spell-button-tip", ui.current_layout);
    tip->key = (u64)(u8)key + 1;
    tip->text = tprintf("%.3f", timer);
    tip->floating = true;
    tip->rect.x = prev.w;
    tip->anchor = {1, 0.5f};
    tip->bg_color = {{0.3f, 0.3f, 0.3f, 0.5f}};
    tip->border_color = theme.border_color;
    tip->pad = theme.pad.medium;
  }
  ui_end_layout();
}

void ui_spells() {
  if (!ui.spells.is_visible || !game.player) return;
  Actor* actor = find_actor(*game.player);
  if (!actor) return;
  ui.spells.name = "spells";
  UiPanel panel;
  panel.title = "Spells";
  panel.at = {0.5f, 0.75f};
  panel.dialog = &ui.spells;
  UiElement* contents = ui_begin_panel("spells", panel);
  contents->direction = Ui_Horizontal;
  ui_div("spells-list", {});
  for (const SpellHotkey& h : spell_hotkeys) ui_spell_button(*actor, (SpellType)h.spell_type, h.key);
  ui_end_layout();
  ui_div("spell-description", {});
  ui_end_layout();
  ui_end_panel(panel);
}

// --- the bottom rows: main icons, spell bar, secondary buttons

static void ui_action_rows(Actor& actor) {
  f32 size = px(128);
  f32 ww = (f32)renderer.window_width, wh = (f32)renderer.window_height;
  UiElement* main = ui_div("main-buttons", {size, wh - size});
  main->direction = Ui_Horizontal;
  main->gap = theme.gap.extra_large;
  UiElementState left, space, right;
  if (game.battle_stance) {
    left = ui_spell_icon("Left", Icon_Strike, actor, SpellType_Strike);
    space = ui_spell_icon("Space", Icon_Dash, actor, SpellType_Dash);
    right = ui_spell_icon("Right", Icon_StrongAttack, actor, SpellType_StrongAttack);
  } else {
    left = ui_action_icon("Left", Icon_Move, "Move");
    space = ui_spell_icon("Space", Icon_Dash, actor, SpellType_Dash);
    right = ui_action_icon("Right", Icon_ContextMenu, "Actions");
  }
  ui_end_layout();
  // The click is last frame's, seen now through the icon's state: waiting for the button to go down
  // again in this frame as well would let no click through.
  if (left.clicked) toggle(ui.main_controls.show_lmb);
  if (space.clicked) toggle(ui.main_controls.show_spc);
  if (right.clicked) toggle(ui.main_controls.show_rmb);

  if (ui.main_controls.show_lmb) {
    UiElement* bar = ui_div("spell-buttons", {size, wh - size - px(theme.pad.medium)});
    bar->anchor = {0, 1};
    bar->pad = theme.pad.large;
    bar->bg_color = theme.bg_color;
    bar->border_color = theme.border_color;
    for (const SpellHotkey& h : spell_hotkeys) ui_spell_button(actor, (SpellType)h.spell_type, h.key);
    ui_end_layout();
  }

  UiElement* second = ui_div("secondary-buttons", {ww - 8 * size, wh - size});
  second->direction = Ui_Horizontal;
  second->gap = theme.gap.extra_large;
  const char* stance = game.battle_stance ? "Normal Stance" : "Battle_stance";
  if (ui_action_icon("Q", Icon_BattleStance, stance).clicked) toggle(game.battle_stance);
  if (ui_action_icon("Tab", Icon_StatsDialog, "Stats").clicked) toggle_dialog(ui.gear);
  if (ui_action_icon("C", Icon_CraftDialog, "Craft").clicked) toggle_dialog(ui.craft);
  if (ui_action_icon("P", Icon_SpellsDialog, "Spells").clicked) toggle_dialog(ui.spells);
  ui_end_layout();
}

// --- the frame

void build_world_ui(Entity& player) {
  f32 ww = (f32)renderer.window_width, wh = (f32)renderer.window_height;
  draw_world_map();
  if (game.paused) {
    UiElement* banner = ui_div("world-paused", {0.5f * ww, 0.25f * wh});
    banner->floating = true;
    banner->anchor = {0.5f, 0.5f};
    ui_text("World is Paused");
    ui_end_layout();
  }
  Actor* actor = find_actor(player);
  if (Person* person = find_person(player)) {
    ui_params_bar(player, *person, actor);
    ui_stomach({px(theme.pad.medium), 0.25f * wh}, *person);
  }
  ui_spells();
  ui_craft();
  update_blanks();
  ui_chat();
  // The bag, gear, open container, inspected entity and the context menu.
  ui_items();
  ui_admin_panel();

  if (game.selected_id != 0) {
    if (Entity* selected = find_entity_by_id(game.selected_id)) {
      UiElement* name = ui_text(tprintf("%s", entity_name(*selected)), "selected-name");
      name->floating = true;
      name->rect.x = 0.5f * ww;
      name->anchor = {0.5f, 0};
    } else {
      game.selected_id = 0;
    }
  }
  if (game.battle_stance) {
    UiElement* banner = ui_text("[Battle Stance]");
    banner->floating = true;
    banner->rect.x = 0.5f * ww;
    banner->rect.y = ui.line_height;
    banner->anchor = {0.5f, 0};
  }
  if (actor) ui_action_rows(*actor);
}

void draw_world_ui() {
  if (!game.player) return;
  glCullFace(GL_FRONT);
  build_world_ui(*game.player);
  // Drawn at once rather than as elements: the atlas cells go straight to the screen.
  if (ui.tiles.is_visible) draw_tile_palette();
}
