// The world screen's input: the key table, the wheel and the three mouse buttons.
#include "world/world_input.hpp"

#include "app/platform.hpp"
#include "entity.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "render/camera.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "world/chat.hpp"
#include "world/context_menu.hpp"
#include "world/cursor.hpp"
#include "world/spell_cast.hpp"

static bool wasd_key_released;

// The camera's pitch stays strictly between flat and straight down, and the roll small, whatever the
// wheel and drags ask: outside those the view matrix degenerates.
constexpr f32 PITCH_MIN = 0.01f;
constexpr f32 PITCH_MAX = pi / 2 - 0.01f;
constexpr f32 ROLL_MAX = pi / 8;

static void camera_set_pitch(f32 pitch) { renderer.camera.pitch = clamp(pitch, PITCH_MIN, PITCH_MAX); }
static void camera_set_roll(f32 roll) { renderer.camera.roll = clamp(roll, -ROLL_MAX, ROLL_MAX); }

static bool player_is_admin() { return game.player && is_admin(*game.player); }

u8 wasd_bit(SDL_Keycode key) {
  switch (key) {
    case SDLK_w: return 1;
    case SDLK_a: return 2;
    case SDLK_s: return 4;
    case SDLK_d: return 8;
    default: return 0;
  }
}

v2 wasd_direction(u8 wasd, f32 yaw) {
  f32 x = (f32)((wasd & 8) ? 1 : 0) - (f32)((wasd & 2) ? 1 : 0);
  f32 y = (f32)((wasd & 1) ? 1 : 0) - (f32)((wasd & 4) ? 1 : 0);
  // The keys move relative to the view: W walks away from the camera whichever way it faces.
  f32 c = cosf(yaw), s = sinf(yaw);
  return {x * c - y * s, x * s + y * c};
}

void world_walk_with_keys(bool released) {
  if (game.wasd == 0 && !released) return;
  if (game.wasd == game.last_wasd) return;
  game.last_wasd = game.wasd;
  set_dir(wasd_direction(game.wasd, renderer.camera.yaw));
}

// Space with a burden: a cart is let go, anything else goes onto the cursor to be put down.
static void world_handle_burden(Id burden_id) {
  Entity* burden = find_entity_by_id(burden_id);
  if (!burden) {
    fprintf(stderr, "Burden %d not found\n", (int)burden_id);
    return;
  }
  if (has_component(*burden, Component_Cart)) {
    net_send_run_action(burden_id, ActionType_Release);
  } else {
    set_cursor(CursorType_Burden, burden_id, nullptr);
  }
}

static void world_cast_hotkey(SDL_Keycode key) {
  for (const SpellHotkey& h : spell_hotkeys) {
    if ((SDL_Keycode)h.key != key) continue;
    SpellType type = (SpellType)h.spell_type;
    if (spell_can_be_aimed(type)) {
      game.spell_type = type;
    } else {
      cast_spell(type, game.selected_id, game.mouse_world, false);
    }
    return;
  }
}

void world_handle_keydown(SDL_Keycode key) {
  // A focused text field takes every key; Return sends the chat line only when that field is the chat's.
  if (ui.active_element.text) {
    bool chat_focused = ui.chat.dialog.is_visible && ui.active_element.text == &ui.chat.input.text;
    if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && chat_focused) chat_handle_return();
    return;
  }
  InputModifiers m = game.modifiers;
  switch (key) {
    case SDLK_ESCAPE:
      game.selected_id = 0;
      hide_dialog(ui.admin_dialog);
      if (ui.chat.dialog.is_visible) deactivate_chat();
      break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: toggle_chat(); break;
    case SDLK_TAB:
      if (m.ctrl) {
        toggle(ui.admin_dialog.is_visible);
      } else {
        toggle(ui.gear.is_visible);
      }
      break;
    case SDLK_i:
    case SDLK_b: toggle(ui.gear.is_visible); break;
    case SDLK_c:
      if (m.shift) {
        toggle(game.debug.free_camera);
        if (m.ctrl) renderer.camera.target.x = 0, renderer.camera.target.y = 0;
      } else {
        toggle(ui.craft.is_visible);
      }
      break;
    case SDLK_p:
      if (m.shift) {
        if (player_is_admin()) toggle_pause();
      } else {
        toggle(ui.spells.is_visible);
      }
      break;
    case SDLK_q:
      if (m.shift) {
        toggle(game.config.enable_lmb_movement);
      } else {
        toggle(game.battle_stance);
      }
      break;
    case SDLK_w:
    case SDLK_a:
    case SDLK_s:
    case SDLK_d:
      if (game.debug.free_camera) {
        Camera& c = renderer.camera;
        if (key == SDLK_w) c.target.y += c.scroll_speed;
        if (key == SDLK_s) c.target.y -= c.scroll_speed;
        if (key == SDLK_a) c.target.x -= c.scroll_speed;
        if (key == SDLK_d) c.target.x += c.scroll_speed;
      } else if (game.debug.use_wasd && game.player) {
        game.wasd |= wasd_bit(key);
      }
      break;
    case SDLK_g: toggle(ui.draw_grid); break;
    case SDLK_v: toggle(game.debug.hide_roofs); break;
    case SDLK_z:
      if (m.shift) {
        toggle(game.debug.hide_static_objects);
      } else {
        game.debug.hide_static_objects = true;
      }
      break;
    case SDLK_y: toggle(ui.tiles.is_visible); break;
    case SDLK_m: ui.draw_world_map = (ui.draw_world_map + 1) % 3; break;
    case SDLK_0: reset_camera(); break;
    case SDLK_RIGHTBRACKET:
      // Stepping the world clock is the administrator's; for a player the server would refuse it anyway.
      if (player_is_admin()) request_gameplay_updates(1);
      break;
    case SDLK_BACKQUOTE:
      if (m.ctrl) {
        toggle(ui.debug_controls.is_visible);
      } else if (player_is_admin() && m.all == 0) {
        toggle(game.debug.show_inspector);
      }
      break;
    case SDLK_u: set_screen(Screen_Test); break;
    case SDLK_F10: set_screen(Screen_WorldMenu); break;
    case SDLK_F11:
      toggle(game.fullscreen);
      if (game.window) platform_set_fullscreen(game.window, game.fullscreen);
      break;
    case SDLK_SPACE:
      if (game.player && has_component(*game.player, Component_Mortal) && game.player->mortal.burden != 0) {
        world_handle_burden(game.player->mortal.burden);
        return;
      }
      break;
    default:
      if (key >= SDLK_1 && key <= SDLK_9 && ui.context_menu.item_id != 0) {
        ui.context_menu.activated_item_number = (int)(key - SDLK_0);
        return;
      }
      break;
  }
  world_cast_hotkey(key);
}

void world_handle_wheel(f32 y) {
  if (y == 0) return;
  f32 sign = y > 0 ? 1.0f : -1.0f;
  InputModifiers m = game.modifiers;
  if (m.alt && m.ctrl) {
    camera_set_roll(renderer.camera.roll + sign * pi / 16);
  } else if (m.alt) {
    camera_set_pitch(renderer.camera.pitch + sign * pi / 32);
  } else if (m.ctrl) {
    zoom_camera(y);
  } else if (game.cursor.entity_type != 0 || game.cursor.type == CursorType_Burden ||
             game.cursor.type == CursorType_Blueprint) {
    game.cursor.rotation_index = (game.cursor.rotation_index + (y > 0 ? 1 : 3)) % 4;
  }
}

bool cursor_holds_something() {
  return ui.tiles.selected_tile != 0 || ui.hovered_item_id != 0 || game.cursor.entity_type != 0 ||
         game.cursor.entity_id != 0;
}

static bool is_other_mortal(const Entity& e) {
  return has_component(e, Component_Mortal) && (!game.player || e.id != game.player->id);
}

bool world_handle_left_mouse_down() {
  close_context_menu();
  InputModifiers m = game.modifiers;
  if (game.spell_type != 0) {
    cast_spell(game.spell_type, game.hovered_id, game.mouse_world, false);
    game.spell_type = {};
    return true;
  }
  if (ui.tiles.selected_tile != 0) {
    ui.tiles.is_active = true;
    ui.tiles.start_pos = game.mouse_world;
    return true;
  }
  if (game.cursor.onclick) {
    if (game.cursor.onclick(game.cursor)) clear_cursor();
    return true;
  }
  if (!ui.hovered && game.cursor.type == CursorType_Item) {
    net_send_place_entity(game.cursor.entity_id, game.mouse_world, game.cursor.rotation_index);
    clear_cursor();
    return true;
  }
  if (m.alt) {
    // Teleporting is the administrator's; a player's Alt-click is used up and does nothing.
    if (player_is_admin()) teleport(game.mouse_world);
    return true;
  }
  if (game.hovered_id != 0) {
    game.selected_id = game.hovered_id;
    printf("Selecting[lmb] [%d]\n", (int)game.hovered_id);
    if (!(m.ctrl && !game.battle_stance)) {
      if (Entity* e = find_entity_by_id(game.hovered_id)) {
        if (is_other_mortal(*e)) {
          cast_spell(SpellType_Strike, e->id, {0, 0}, !game.battle_stance);
        } else {
          use_entity(*e, false);
        }
      }
    }
    return true;
  }
  if (game.battle_stance && !m.ctrl) {
    if (game.player) {
      v2 to = game.mouse_world - game.player->pos;
      f32 len = v2_len(to);
      v2 dir = len > 0 ? to / len : v2{1, 0};
      cast_spell(SpellType_Strike, game.selected_id, game.player->pos + dir * MeleeAttackRadius, false);
    }
    return true;
  }
  if (game.box_selection.is_scheduled) {
    game.box_selection.is_scheduled = false;
    game.box_selection.is_active = true;
    game.box_selection.is_set = true;
    game.box_selection.start = game.box_selection.end = game.mouse_world;
    return true;
  }
  return false;
}

void world_handle_left_mouse_up() {
  if (ui.tiles.is_active) {
    net_send_set_biom(ui.tiles.area, (TileType)ui.tiles.selected_tile);
    ui.tiles.is_active = false;
    return;
  }
  if (ui.context_menu.item_id != 0) return;
  if (game.box_selection.is_active) {
    game.box_selection.is_active = false;
    return;
  }
  if (game.skip_lmb_up) {
    game.skip_lmb_up = false;
    return;
  }
  deactivate_text_input();
  if (game.hovered_id != 0) return;
  if (game.cursor.type != CursorType_None) {
    clear_cursor();
    return;
  }
  InputModifiers m = game.modifiers;
  if (!m.ctrl && !m.alt && !m.shift && game.lmb_handler) game.lmb_handler();
}

void world_handle_left_mouse() {
  if (game.modifiers.win) return;
  if (ui.hovered) {
    game.skip_lmb_up = true;
    return;
  }
  if (left_mouse_is_down() || left_mouse_went_down()) {
    if (left_mouse_went_down()) game.skip_lmb_up = world_handle_left_mouse_down();
    Entity* player = game.player;
    if (left_mouse_is_down() && player && game.hovered_id == 0 && !game.battle_stance &&
        game.config.enable_lmb_movement && !game.skip_lmb_up) {
      bool moved = game.mouse_delta.x != 0 || game.mouse_delta.y != 0;
      bool no_dir = !has_component(*player, Component_Mover) || v2_is_zero(player->mover.desired_dir);
      if (moved || no_dir) set_dir(game.mouse_world - player->pos);
    }
  }
  if (left_mouse_went_up()) world_handle_left_mouse_up();
}

void world_handle_right_mouse() {
  if (game.modifiers.win) return;
  InputModifiers m = game.modifiers;
  bool holds = cursor_holds_something();
  if (right_mouse_went_down() && !holds) {
    if (game.spell_type != 0) {
      game.spell_type = {};
      game.skip_lmb_up = true;
    } else if (game.battle_stance && !ui.hovered) {
      cast_spell(SpellType_StrongAttack, game.selected_id, game.mouse_world, false);
    } else if (game.hovered_id != 0) {
      game.selected_id = game.hovered_id;
      if (m.ctrl) {
        Entity* e = find_entity_by_id(game.hovered_id);
        if (e && is_other_mortal(*e) && !game.battle_stance) {
          cast_spell(SpellType_Strike, e->id, {0, 0}, true);
          game.skip_lmb_up = true;
        }
      } else if (game.rmb_handler) {
        game.rmb_handler();
      }
    } else if (m.all == 0) {
      close_context_menu();
    }
  } else if (right_mouse_is_down() && !right_mouse_went_down() && !holds) {
    if (m.ctrl) {
      rotate_camera(game.mouse_delta.x);
      if (m.shift) {
        camera_set_pitch(renderer.camera.pitch - game.mouse_delta.y * 0.0015f);
      } else {
        renderer.camera.pitch = pi / 4;
      }
    } else if (m.alt) {
      camera_set_roll(renderer.camera.roll - game.mouse_delta.x * 0.0015f);
    }
  }
  if (right_mouse_went_up() && game.spell_type == 0 && holds) {
    ui.tiles.selected_tile = 0;
    ui.tiles.is_active = false;
    clear_cursor();
  }
}

void world_handle_middle_mouse() {
  if (middle_mouse_is_down()) rotate_camera(game.mouse_delta.x);
}

void world_handle_event(const SDL_Event& event) {
  register_input_event(event);
  if (event.type == SDL_KEYDOWN) {
    world_handle_keydown(event.key.keysym.sym);
  } else if (event.type == SDL_KEYUP) {
    SDL_Keycode key = event.key.keysym.sym;
    if (u8 bit = wasd_bit(key)) {
      game.wasd &= (u8)~bit;
      wasd_key_released = true;
    } else if (key == SDLK_z && !game.modifiers.shift) {
      game.debug.hide_static_objects = false;
    }
  }
}

void world_finish_input_events() {
  finish_input();
  world_handle_wheel(game.wheel.y);
  unproject_mouse();
  if (game.box_selection.is_active) game.box_selection.end = game.mouse_world;
  world_handle_right_mouse();
  world_handle_middle_mouse();
  world_handle_left_mouse();
  if (game.player) world_walk_with_keys(wasd_key_released);
  wasd_key_released = false;
}

void handle_world_input_events() {
  wasd_key_released = false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    world_handle_event(event);
    // A key that opened another screen leaves the rest of the events to it.
    if (event.type == SDL_KEYDOWN && game.screen != Screen_World) break;
  }
  world_finish_input_events();
}
