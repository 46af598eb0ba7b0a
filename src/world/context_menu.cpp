// The context menu of a right click, the default use of a left click, and examine.
#include "world/context_menu.hpp"

#include "entity.hpp"
#include "items.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "ui/ui.hpp"
#include "world/chat.hpp"
#include "world/craft.hpp"
#include "world/inventory.hpp"
#include "world/thoughts.hpp"

// Numbers some entries always carry; automatic numbering passes over them so a digit names one entry.
constexpr int CONTROL_ITEM_NUMBER = 7;
constexpr int KILL_ITEM_NUMBER = 8;
constexpr int DESTROY_ITEM_NUMBER = 9;
// Within this distance a thing that cannot be used is only puzzled over, not walked to.
constexpr f32 NO_IDEA_DISTANCE = 4;

void open_context_menu(Id item_id) {
  ui.context_menu.item_id = item_id;
  ui.context_menu.pos = ui.mouse;
  ui.context_menu.show_admin_items = game.modifiers.shift;
  // One line per opening, like the selection's: it says what was under the mouse.
  if (Entity* e = find_entity_by_id(item_id)) printf("Context menu [%s]\n", entity_string(*e));
}

void close_context_menu() {
  ui.context_menu.item_id = 0;
  ui.context_menu.show_admin_items = false;
}

static int next_item_number() {
  int n = ui.context_menu.current_item_number;
  if (n == CONTROL_ITEM_NUMBER) n = DESTROY_ITEM_NUMBER + 1;
  ui.context_menu.current_item_number = n + 1;
  return n;
}

bool context_menu_button(const char* label, int item_number) {
  int n = item_number != 0 ? item_number : next_item_number();
  UiElementConfig cfg = {};
  cfg.key = (u64)n;
  bool clicked = ui_button(tprintf("%d. %s", n, label), cfg).clicked;
  // Once an entry has acted the menu is closed: the rest is still drawn this frame but fires nothing.
  if (ui.context_menu.item_id == 0) return false;
  return clicked || n == ui.context_menu.activated_item_number;
}

// An entry without a number: only a click fires it.
static bool context_menu_plain_button(const char* label) {
  bool clicked = ui_button(label).clicked;
  return ui.context_menu.item_id != 0 && clicked;
}

static void act(const Entity& entity, ActionType type) {
  net_send_run_action(entity.id, type);
  close_context_menu();
}

static void think(const char* text) {
  push_thought(Text(text));
  close_context_menu();
}

// A tool action: sent when the player holds the tool, else the player says what is missing.
static void act_with_tool(const Entity& entity, ActionType type, u32 tool, const char* missing) {
  if (game.player && find_tool(*game.player, tool)) {
    act(entity, type);
  } else {
    think(missing);
  }
}

static bool crop_is_ripe(const Entity& e) { return crop_stage(e.crop, game.server_time) > CropStage_Young; }

static bool is_equippable(const Entity& e) {
  return has_component(e, Component_Weapon) || e.type == Entity_torch || e.type == Entity_bag ||
         has_component(e, Component_Belt);
}

static bool in_dungeon() { return game.location && game.location->type == LocationType_Dungeon; }

// The entries of step 4: at most one kind of work applies to a thing.
static void context_menu_work(Entity& e) {
  if (has_component(e, Component_Tree)) {
    if (e.tree.branches > 0 && context_menu_button("Snap Branch", 0)) act(e, ActionType_SnapBranch);
    if (context_menu_button("Chop", 0)) act_with_tool(e, ActionType_Chop, Tool_Axe, "I need to equip an axe");
  } else if (has_component(e, Component_Bush)) {
    if (e.bush.berries > 0 && context_menu_button("Collect Berries", 0)) act(e, ActionType_CollectBerries);
  } else if (has_component(e, Component_Crop)) {
    if (crop_is_ripe(e) && context_menu_button("Harvest", 0)) act(e, ActionType_Harvest);
  } else if (has_component(e, Component_Vein)) {
    if (context_menu_button("Mine", 0)) act_with_tool(e, ActionType_Mine, Tool_Pickaxe, "I need to equip a pickaxe");
  } else if (has_component(e, Component_Food)) {
    if (context_menu_button("Eat", 0)) act(e, ActionType_Eat);
  } else if (has_component(e, Component_Potion)) {
    if (context_menu_button("Consume", 0)) act(e, ActionType_Consume);
  } else if (has_component(e, Component_Entrance)) {
    if (context_menu_button(in_dungeon() ? "Exit" : "Enter", 0)) act(e, ActionType_Enter);
  } else if (has_component(e, Component_Door)) {
    if (context_menu_button(e.door.opened ? "Close" : "Open", 0)) {
      stamp_interaction(e.id);
      act(e, ActionType_Open);
    }
  } else if (e.type == Entity_tree_log || e.type == Entity_wooden_plank) {
    if (context_menu_button("Saw", 0)) act_with_tool(e, ActionType_Saw, Tool_Saw, "I need to equip a saw");
  } else if (e.type == Entity_quern) {
    if (context_menu_button("Grind", 0)) act(e, ActionType_Grind);
  } else if (has_component(e, Component_Vessel)) {
    bool full = e.vessel.volume.cur >= e.vessel.volume.max;
    if (context_menu_button(full ? "Empty" : "Fill", 0)) act(e, full ? ActionType_Empty : ActionType_Fill);
  } else if (e.type == Entity_rock) {
    if (context_menu_button("Crush", 0)) act_with_tool(e, ActionType_Crush, Tool_Pickaxe, "I need to equip a pickaxe");
  } else if (e.type == Entity_leather) {
    if (context_menu_button("Cut", 0)) act_with_tool(e, ActionType_Cut, Tool_Knife, "I need to equip a knife");
  }
}

static void context_menu_admin(Entity& e) {
  if (context_menu_button("Toggle Invisible", 0)) {
    net_send_toggle_invisible(e.id);
    close_context_menu();
  }
  if (has_component(e, Component_Thinker) && context_menu_button("Toggle Control", CONTROL_ITEM_NUMBER)) {
    bool controlled = (e.thinker.flags & ThinkerFlag_MindContolled) != 0;
    game.controlled_id = controlled ? 0 : e.id;
    net_send_mind_control(e.id, RequestType_None, 0, ActionType_None, {0, 0});
    close_context_menu();
  }
  if (context_menu_button("Kill", KILL_ITEM_NUMBER)) {
    net_send_kill(e.id);
    close_context_menu();
  }
  if (context_menu_plain_button("*cmd")) {
    // The id is an unsigned count: a large one must not read as negative.
    chat_set_input(tprintf("*set-quality %u ", (unsigned)e.id));
    game.skip_lmb_up = true;
    close_context_menu();
  }
}

static void context_menu(Entity& e) {
  Entity& player = *game.player;
  UiElement* menu = ui_begin_layout("context-menu", ui.context_menu.pos);
  menu->floating = true;
  menu->bg_color = theme.bg_color;
  menu->pad = theme.pad.medium;
  menu->gap = theme.gap.medium;
  ui.context_menu.current_item_number = 1;

  if (is_person(e) && context_menu_button("Sniff", 0)) think("Smells like a teen spirit");
  if (is_container(e) && context_menu_button("Open", 0)) {
    game.target_container_id = e.id;
    act(e, ActionType_Open);
  }
  if (is_item(e)) {
    if (in_container(e)) {
      if (context_menu_button("Drop", 0)) {
        net_send_place_entity(e.id, player.pos, 0);
        close_context_menu();
      }
    } else if (context_menu_button("Pick Up", 0)) {
      act(e, ActionType_PickUp);
    }
  }
  context_menu_work(e);
  if (is_equippable(e) && context_menu_button("Equip", 0)) act(e, ActionType_Equip);
  if ((e.flags & EntityFlag_Liftable) && context_menu_button("Lift", 0)) {
    net_send_lift_entity(e.id);
    close_context_menu();
  }
  if (has_component(e, Component_Cart)) {
    if (e.carrier != 0) {
      if (context_menu_button("Release", 0)) act(e, ActionType_Release);
    } else if (context_menu_button("Pull", 0)) {
      bool lifting = has_component(player, Component_Mortal) && player.mortal.burden != 0;
      if (lifting) {
        think("I can't pull while lifting");
      } else {
        act(e, ActionType_Pull);
      }
    }
  }
  if (has_component(e, Component_Fuel)) {
    bool burning = (e.flags & EntityFlag_Burning) != 0;
    if (context_menu_button(burning ? "Extinguish" : "Ignite", 0))
      act(e, burning ? ActionType_Extinguish : ActionType_Ignite);
  }
  if (e.type == Entity_fermion_stone && context_menu_button("Set Respawn", 0)) act(e, ActionType_Activate);
  if (has_component(e, Component_Blueprint) && context_menu_button("Open", 0)) {
    show_dialog(ui.blueprint_dialog, e.id);
    text_set(ui.blueprint_name_input.text, blueprint_name(e.blueprint));
    close_context_menu();
  }
  if (context_menu_button("Examine", 0)) {
    examine(e);
    close_context_menu();
  }
  if (ui.blueprint_dialog.is_visible && context_menu_button("Add to Blueprint", 0)) {
    net_send_blueprint_add(ui.blueprint_dialog.entity_id, e.id);
    close_context_menu();
  }
  if (can_run(player, ActionType_Destroy, &e) && context_menu_button("Destroy", DESTROY_ITEM_NUMBER))
    act(e, ActionType_Destroy);
  bool admin_items = game.modifiers.shift || ui.context_menu.show_admin_items;
  if (admin_items && is_admin(player)) context_menu_admin(e);

  ui_end_layout();
  ui.context_menu.activated_item_number = 0;
}

void draw_context_menu() {
  if (ui.context_menu.item_id == 0 || !game.player) return;
  Entity* e = find_entity_by_id(ui.context_menu.item_id);
  if (!e) {
    fprintf(stderr, "context menu: entity %d not found\n", (int)ui.context_menu.item_id);
    close_context_menu();
    return;
  }
  context_menu(*e);
}

void examine(Entity& e) {
  if (e.type == Entity_raw_hide) {
    if (e.progress.max == 0) {
      push_thought(Text("I guess I can tann it."));
    } else if (e.progress.cur == e.progress.max) {
      push_thought(Text("Probably I need to dry it now."));
    } else {
      push_thought(Text("I need to wait."));
    }
  } else if (is_person(e)) {
    show_dialog(ui.entity_info, e.id);
  } else {
    push_thought(Text("Hmm..."));
  }
}

// The first list: things whose use is plain whatever the caller. `done` turns true when the use needs no
// action.
static ActionType default_action(Entity& e, bool* done) {
  if (is_person(e)) return ActionType_MoveTowards;
  if (has_component(e, Component_Belt)) return ActionType_PickUp;
  if (is_container(e)) {
    game.target_container_id = e.id;
    return ActionType_Open;
  }
  if (has_component(e, Component_Blank)) {
    if (game.modifiers.all != 0 && maybe_add_burden_to_blank(e)) {
      *done = true;
      return ActionType_None;
    }
    game.target_blank_id = e.id;
    return ActionType_Open;
  }
  if (has_component(e, Component_Door)) return ActionType_Open;
  if (has_component(e, Component_Portal) || has_component(e, Component_Entrance)) return ActionType_Enter;
  return ActionType_None;
}

// The second list, for a slot's direct use: what one would do with the thing in hand.
static ActionType dwim_action(Entity& e, bool* done) {
  if (has_component(e, Component_Crop)) {
    CropStage stage = crop_stage(e.crop, game.server_time);
    if (stage <= CropStage_Young) {
      push_thought(Text("It's not ready yet"));
      *done = true;
      return ActionType_None;
    }
    if (stage != CropStage_Harvest) push_thought(Text("Maybe it can grow a little more, but oh well"));
    return ActionType_Harvest;
  }
  if (has_component(e, Component_Food)) return ActionType_Eat;
  if (has_component(e, Component_Potion)) return ActionType_Consume;
  if (has_component(e, Component_Weapon)) return ActionType_Equip;
  if ((e.flags & EntityFlag_Liftable) && e.carrier == 0) return ActionType_Lift;
  if (is_item(e) && !in_container(e)) return ActionType_PickUp;
  return ActionType_None;
}

void use_entity(Entity& e, bool dwim) {
  bool done = false;
  ActionType action = default_action(e, &done);
  if (action == ActionType_None && dwim && !done) action = dwim_action(e, &done);
  if (done) return;
  if (action != ActionType_None) {
    net_send_run_action(e.id, action);
    return;
  }
  Entity* player = game.player;
  if (!player) return;
  v2 dst = {};
  need_to_come_closer(*player, e, Action{}, &dst);
  if (v2_len(dst - player->pos) <= NO_IDEA_DISTANCE) {
    push_thought(Text("Hm, no idea how to use it..."));
  } else {
    set_dst(dst);
  }
}
