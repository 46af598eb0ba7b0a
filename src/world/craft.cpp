#include "world/craft.hpp"

#include <stdio.h>
#include <string.h>

#include "audio/audio.hpp"
#include "entity.hpp"
#include "items.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "ui/ui.hpp"
#include "world/cursor.hpp"
#include "world/inventory.hpp"
#include "world/thoughts.hpp"

// Rows of the recipe list skipped from the top; kept between frames.
static int craft_list_offset = 0;

static UiElementConfig enabled_if(bool enabled) {
  UiElementConfig cfg = {};
  cfg.disabled = !enabled;
  return cfg;
}

static const Recipe* craftable_recipe(EntityType type) {
  const EntityInfo* info = find_entity_info(type);
  if (!info || info->recipe.ingredients[0].type == Entity_None) return nullptr;
  if (!find_entity_prototype(type)) return nullptr;
  return &info->recipe;
}

static bool matches_search(EntityType type, const char* search) {
  return search[0] == 0 || strstr(entity_type_display_name(type), search) != nullptr;
}

int recipe_ningredients(const Recipe& recipe) {
  int n = 0;
  while (n < INGREDIENTS_MAX && recipe.ingredients[n].type != Entity_None) n++;
  return n;
}

void count_held_ingredients(const Entity& player, const Recipe& recipe, int held[INGREDIENTS_MAX]) {
  for (int i = 0; i < INGREDIENTS_MAX; i++) held[i] = 0;
  int n = recipe_ningredients(recipe);
  for (ItemIter it = find_items(player); it.entity; next(it)) {
    for (int i = 0; i < n; i++) {
      if (recipe.ingredients[i].type == it.entity->type) {
        held[i]++;
        break;
      }
    }
  }
}

// The building goes where its ghost stood: the snapped point, not the raw mouse.
static bool place_building(Cursor& cursor) {
  v2 at = game.mouse_world;
  if (game.location) at = round_to_location(*game.location, at, 0.5f);
  net_send_build_place(at, cursor.entity_type, cursor.rotation_index);
  return true;
}

static void ui_recipe_list() {
  UiElement* list = ui_div("craft-recipe-list", {});
  list->rect.w = em_px(14);
  list->rect.h = 19.5f * ui.line_height;
  list->border_color = theme.border_color;
  UiElement* search = ui_div("craft-recipe-search", {});
  search->direction = Ui_Horizontal;
  search->align = UiAlign_Center;
  ui_text("Search");
  ui_text_input(ui.craft_search);
  ui_end_layout();

  const char* text = ui.craft_search.text.cstr();
  int ntotal = 0;
  for (int t = 1; t < ENTITY_PROTOTYPES_MAX; t++)
    if (craftable_recipe((EntityType)t) && matches_search((EntityType)t, text)) ntotal++;
  int max_offset = ntotal > CRAFT_LIST_ROWS ? ntotal - CRAFT_LIST_ROWS : 0;
  if (ui_get_prev_state(list).hovered && game.wheel.y != 0) craft_list_offset += game.wheel.y > 0 ? -1 : 1;
  craft_list_offset = clamp(craft_list_offset, 0, max_offset);

  if (ui_button("Up", enabled_if(craft_list_offset > 0)).clicked) craft_list_offset--;
  ui_hr();
  int skipped = 0, shown = 0;
  for (int t = 1; t < ENTITY_PROTOTYPES_MAX && shown < CRAFT_LIST_ROWS; t++) {
    EntityType type = (EntityType)t;
    if (!craftable_recipe(type) || !matches_search(type, text)) continue;
    if (skipped++ < craft_list_offset) continue;
    shown++;
    UiElementConfig cfg = {};
    cfg.key = (u64)t;
    if (ui_button(tprintf("%-20.20s", entity_type_display_name(type)), cfg).clicked) ui.selected_recipe_type = type;
  }
  ui_spacer("craft-list-spacer");
  ui_hr();
  if (ui_button("Down", enabled_if(ntotal > CRAFT_LIST_ROWS + craft_list_offset)).clicked) craft_list_offset++;
  craft_list_offset = clamp(craft_list_offset, 0, max_offset);
  ui_end_layout();
}

static void ui_recipe_details(Entity& player) {
  UiElement* details = ui_div("craft-recipe", {});
  details->rect.w = em_px(20);
  details->grow = {0, 1};
  EntityType type = (EntityType)ui.selected_recipe_type;
  const Recipe* found = type ? craftable_recipe(type) : nullptr;
  if (!found) {
    ui_end_layout();
    return;
  }
  Recipe recipe = *found;
  bool is_item_recipe = has_component(*find_entity_prototype(type), Component_Item);
  ui_text(Text(entity_type_display_name(type)));
  ui_hr();
  int held[INGREDIENTS_MAX];
  count_held_ingredients(player, recipe, held);
  bool possible = true;
  int n = recipe_ningredients(recipe);
  for (int i = 0; i < n; i++) {
    const Ingredient& ing = recipe.ingredients[i];
    const char* name = entity_type_display_name(ing.type);
    if (is_item_recipe) {
      ui_textf("%d of %s [has %d]", ing.count, name, held[i]);
    } else {
      ui_textf("%d of %s", ing.count, name);
    }
    if (held[i] < ing.count) possible = false;
  }
  ui_spacer("craft-recipe-spacer");
  UiElement* controls = ui_div("craft-recipe-controls", {});
  controls->direction = Ui_Horizontal;
  if (is_item_recipe) {
    if (ui_button("Craft", enabled_if(possible)).clicked) craft(type, recipe);
  } else if (ui_button("Build").clicked) {
    set_cursor(type, place_building);
    hide_dialog(ui.craft);
  }
  ui_end_layout();
  ui_end_layout();
}

void ui_craft() {
  if (!ui.craft.is_visible || !game.player) return;
  ui.craft.name = Text("craft");
  UiPanel panel;
  panel.title = Text("Craft");
  panel.at = {0.5f, 0.75f};
  panel.dialog = &ui.craft;
  UiElement* contents = ui_begin_panel("craft", panel);
  contents->direction = Ui_Horizontal;
  ui_recipe_list();
  ui_recipe_details(*game.player);
  ui_end_panel(panel);
}

// The usable station of `type` around the player, a burning one first: a cold hearth next to a lit one
// must not stop the craft.
static Entity* find_station(Entity& player, EntityType type) {
  const Entity* prototype = find_entity_prototype(type);
  if (!prototype) return nullptr;
  Entity* found = nullptr;
  for (EntityIter it = locate_entities(in_radius(&player, usage_radius(player, *prototype) + 1, player.pos)); it.entity;
       next(it)) {
    Entity& e = *it.entity;
    if (e.type != type || !can_use(player, e)) continue;
    if (!found || ((e.flags & EntityFlag_Burning) && !(found->flags & EntityFlag_Burning))) found = &e;
  }
  return found;
}

void craft(EntityType type, Recipe& recipe) {
  Entity* player = game.player;
  if (!player) return;
  if (recipe.equipment != Entity_None) {
    Entity* station = find_station(*player, recipe.equipment);
    if (!station) {
      push_thought(tprintf("I need to be near %s!", entity_type_display_name(recipe.equipment)));
      return;
    }
    if (has_component(*station, Component_Fuel) && !(station->flags & EntityFlag_Burning)) {
      push_thought(Text("I need to ignite it"));
      return;
    }
  }
  net_send_craft(type);
}

// --- blanks

static Entity* carried_burden(const Entity& player) {
  if (!has_component(player, Component_Mortal) || player.mortal.burden == 0) return nullptr;
  return find_entity_by_id(player.mortal.burden);
}

static const Recipe* blank_recipe(const Blank& blank) {
  const EntityInfo* info = find_entity_info(blank.type);
  if (!info || info->recipe.ingredients[0].type == Entity_None) return nullptr;
  return &info->recipe;
}

static void close_blank() {
  stamp_interaction(game.opened_blank_id);
  game.opened_blank_id = 0;
  ui.blank.is_visible = false;
  play_sound(game.audio.sounds.container_close, 1.0f);
}

static void close_blank_on_hide(UiDialog&) {
  if (game.opened_blank_id != 0) close_blank();
}

void ui_blank(Entity& entity) {
  Entity* player = game.player;
  // A built blank becomes its building under the same window: the window goes with it.
  if (!player || !has_component(entity, Component_Blank) || !ui.blank.is_visible) {
    game.opened_blank_id = 0;
    ui.blank.is_visible = false;
    return;
  }
  const Blank& blank = entity.blank;
  ui.blank.name = Text("blank");
  ui.blank.on_hide = close_blank_on_hide;
  UiPanel panel;
  text_set(panel.title, Str(entity_type_display_name(blank.type)));
  panel.at = {0.5f, 0.55f};
  panel.dialog = &ui.blank;
  ui_begin_panel("blank", panel);
  const Recipe* recipe = blank_recipe(blank);
  int n = recipe ? recipe_ningredients(*recipe) : 0;
  Entity* burden = carried_burden(*player);
  // With no rows there is nothing to build from: the server would only refuse.
  bool complete = n > 0;
  for (int i = 0; i < n; i++) {
    const Ingredient& ing = recipe->ingredients[i];
    bool done = blank.ingredients[i] >= ing.count;
    if (!done) complete = false;
    Entity* source = nullptr;
    if (burden && burden->type == ing.type && !done) {
      source = burden;
    } else {
      source = find_item_by_type(*player, ing.type);
    }
    const char* name = entity_type_display_name(ing.type);
    UiElement* row = ui_div("row", {});
    row->key = (u64)i + 1;
    row->direction = Ui_Horizontal;
    ui_textf("%s: %d/%d", name, blank.ingredients[i], ing.count);
    UiElementConfig cfg = {};
    cfg.disabled = done;
    cfg.key = (u64)i + 1;
    UiElementState add = ui_button("Add", cfg);
    if (add.hovered && !done && !source) set_tooltip(ui.mouse, {0, 1}, Text("No ingredient"));
    if (add.clicked && !done) {
      if (game.modifiers.all != 0 && is_admin(*player)) {
        net_send_build_add(entity.id, 0, true);
      } else if (source) {
        net_send_build_add(entity.id, source->id, false);
      } else {
        push_thought(tprintf("I don't have %s", name));
      }
    }
    ui_end_layout();
  }
  if (ui_button("Build", enabled_if(complete)).clicked) {
    net_send_build(entity.id);
    game.skip_lmb_up = true;
  }
  ui_end_panel(panel);
}

bool maybe_add_burden_to_blank(Entity& entity) {
  Entity* player = game.player;
  if (!player) return false;
  Entity* burden = carried_burden(*player);
  if (!burden) return false;
  if (!has_component(entity, Component_Blank)) {
    fprintf(stderr, "Expected blank\n");
    return false;
  }
  const Recipe* recipe = blank_recipe(entity.blank);
  int n = recipe ? recipe_ningredients(*recipe) : 0;
  for (int i = 0; i < n; i++) {
    const Ingredient& ing = recipe->ingredients[i];
    if (ing.type == burden->type && entity.blank.ingredients[i] < ing.count) {
      net_send_build_add(entity.id, burden->id, false);
      return true;
    }
  }
  return false;
}

void update_blanks() {
  Entity* player = game.player;
  if (!player) return;
  if (game.target_blank_id != 0) {
    Entity* target = find_entity_by_id(game.target_blank_id);
    if (target && has_component(*target, Component_Blank) && can_use(*player, *target)) {
      game.opened_blank_id = target->id;
      show_dialog(ui.blank, target->id);
      stamp_interaction(target->id);
      game.target_blank_id = 0;
      play_sound(game.audio.sounds.container_open, 1.0f);
    }
  }
  if (game.opened_blank_id != 0) {
    Entity* opened = find_entity_by_id(game.opened_blank_id);
    if (opened && can_use(*player, *opened)) {
      ui_blank(*opened);
    } else {
      close_blank();
    }
  }
}
