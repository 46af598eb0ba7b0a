// The world screen's frame: network, input, the local step and drawing the ground and the entities.
#include <glad/gl.h>

#include "render/camera.hpp"
#include "app/client.hpp"
#include "entity.hpp"
#include "location.hpp"
#include "render/model.hpp"
#include "net/net.hpp"
#include "physics.hpp"
#include "registry.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "render/terrain.hpp"
#include "ui/ui.hpp"
#include "world/chat.hpp"
#include "world/events.hpp"
#include "world/thoughts.hpp"

static bool wasd_key_released;

// Texts over the entities: the player's thoughts, speech bubbles and the numbers of fresh events.
static void draw_world_feedback() {
  draw_thoughts();
  draw_chat_bubbles();
  for (int i = 0; i < entity_storage.nentities && i < ENTITIES_MAX; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id != 0 && !in_container(e)) handle_events(e);
  }
}

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

void world_handle_keydown(SDL_Keycode key) {
  // A focused text field takes every key, but Return in the open chat sends the line.
  if (ui.active_element.text) {
    if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && ui.chat.dialog.is_visible) chat_handle_return();
    return;
  }
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: toggle_chat(); break;
    case SDLK_ESCAPE:
      if (ui.chat.dialog.is_visible) deactivate_chat();
      break;
    case SDLK_F10: set_screen(Screen_WorldMenu); break;
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
    case SDLK_q:
      if (game.modifiers.shift) toggle(game.config.enable_lmb_movement);
      break;
    case SDLK_g: toggle(ui.draw_grid); break;
    case SDLK_0: reset_camera(); break;
    case SDLK_u: set_screen(Screen_Test); break;
    default: break;
  }
}

static void world_handle_left_mouse() {
  if (game.modifiers.win) return;
  if (ui.hovered) {
    game.skip_lmb_up = true;
    return;
  }
  if (!left_mouse_went_up()) return;
  if (game.skip_lmb_up) {
    game.skip_lmb_up = false;
    return;
  }
  deactivate_text_input();
  if (!game.modifiers.ctrl && !game.modifiers.alt && !game.modifiers.shift && game.lmb_handler) game.lmb_handler();
}

void handle_world_input_events() {
  wasd_key_released = false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type == SDL_KEYDOWN) {
      world_handle_keydown(event.key.keysym.sym);
      if (game.screen != Screen_World) break;
    } else if (event.type == SDL_KEYUP) {
      if (u8 bit = wasd_bit(event.key.keysym.sym)) {
        game.wasd &= (u8)~bit;
        wasd_key_released = true;
      }
    }
  }
  finish_input();
  if (game.wheel.y != 0 && game.modifiers.ctrl && !game.modifiers.alt) zoom_camera(game.wheel.y);
  unproject_mouse();
  if (middle_mouse_is_down()) rotate_camera(game.mouse_delta.x);
  world_handle_left_mouse();
  if (game.player) world_walk_with_keys(wasd_key_released);
}

void update_world() {
  update_camera();
  update_ui();
  if (game.paused && game.updates_requested <= 0) return;
  if (game.paused) game.updates_requested -= 1;
  update_physics(1.0f / SERVER_FPS);
  cleanup_entity_state();
  cleanup_events();
}

void draw_world_screen() {
  // Shadows first: the pass has its own target, and the scene below samples it.
  if (game.player) {
    draw_shadowmap(draw_entity_shadowmap);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
  }
  draw_clear(Color{{0, 0, 0, 1}});
  if (!game.player) return;
  assert(game.player->id != 0);
  clear_lights();
  update_lights();
  push_transform(renderer.vp);
  // The ground writes depth everywhere, so the entities are tested against it and against each other.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  if (game.location) draw_tiles(*game.location);
  glDisable(GL_DEPTH_TEST);
  Entity& player = *game.player;
  if (has_component(player, Component_Mover) && !v2_is_zero(player.mover.dst)) {
    draw_circle(player.mover.dst, 3, Color{{0.2f, 0.7f, 0.3f, 1}});
    draw_circle(player.mover.dst, 1, Color{{1, 0.7f, 0.8f, 1}});
  }
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  pass_begin(RenderPass_Entities);
  draw_entities();
  draw_entities_fx();
  pass_end();
  glDisable(GL_DEPTH_TEST);
  draw_world_feedback();
  pop_transform();
}

void world_screen() {
  net_update();
  if (game.screen != Screen_World) return;
  if (net_server_timed_out()) {
    set_screen(Screen_Login);
    return;
  }
  // A key that opens another screen still lets this frame show the world, so nothing flickers.
  handle_world_input_events();
  update_world();
  draw_world_screen();
  ui_chat();
  if (net.last_error.code != ErrorCode_Ok) ui_error_box(error_code_msg(net.last_error.code));
}
