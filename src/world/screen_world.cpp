// The world screen's frame: network, input, selection, the local step and drawing the world.
#include <glad/gl.h>

#include "app/client.hpp"
#include "entity.hpp"
#include "items.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "physics.hpp"
#include "registry.hpp"
#include "render/camera.hpp"
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "render/terrain.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"
#include "world/chat.hpp"
#include "world/cursor.hpp"
#include "world/events.hpp"
#include "world/fps.hpp"
#include "world/inventory.hpp"
#include "world/selection.hpp"
#include "world/spell_cast.hpp"
#include "world/thoughts.hpp"
#include "world/world_bars.hpp"
#include "world/world_input.hpp"

void update_entities() {
  Entity* player = game.player;
  if (!player || !has_component(*player, Component_Person)) return;
  const Person& person = player->person;
  if (world_bar_ratio(person.energy) < 0.3f && !is_digesting(person)) push_thought(ThoughtType_Hungry);
}

void update_gameplay(f32 dt) {
  update_physics(dt);
  update_entities();
  cleanup_entity_state();
  cleanup_events();
}

void update_world() {
  update_camera();
  update_ui();
  if (game.paused && game.updates_requested <= 0) return;
  if (game.paused) game.updates_requested -= 1;
  update_gameplay(1.0f / SERVER_FPS);
}

// Burning fuel lights its surroundings; adding stops once the light table is full.
static void world_add_lights() {
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0 || in_container(e)) continue;
    if (has_component(e, Component_Fuel) && (e.flags & EntityFlag_Burning)) {
      if (!add_light(v3{e.pos.x, e.pos.y, 1}, Color{{0.9f, 0.7f, 0.3f, 1}}, 7)) return;
    }
  }
}

static void draw_world_ui_underlayer(Entity& player) {
  if (has_component(player, Component_Mover) && !v2_is_zero(player.mover.dst)) {
    draw_circle(player.mover.dst, 3, Color{{0.2f, 0.7f, 0.3f, 1}});
    draw_circle(player.mover.dst, 1, Color{{1, 0.7f, 0.8f, 1}});
  }
  if (has_component(player, Component_Actor)) {
    const Action& a = player.actor.action;
    if (a.type == ActionType_CastSpell && (a.spell_type == SpellType_Fireball || a.spell_type == SpellType_IceBolt)) {
      for (f32 r = 3; r <= 11; r += 2) draw_circle(a.dst, r, Color{{0.8f, 0.4f, 0.1f, 0.5f}});
    }
  }
  if (game.modifiers.shift && game.modifiers.alt) draw_circle(player.pos, 480, Color{{0, 0.5f, 1, 0.5f}});
  draw_spell_crosshair(player);
  if (ui.tiles.selected_tile != 0 && ui.tiles.is_active) {
    ui.tiles.area = tile_rect_snapped(ui.tiles.start_pos, game.mouse_world);
    draw_rect(ui.tiles.area, Color{{1, 0.8f, 0, 0.25f}});
  }
}

// A sprinting entity leaves a glow on the ground under it.
static void draw_auras() {
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0 || in_container(e) || !has_component(e, Component_Mover)) continue;
    if (e.mover.bonus_speed > 0) draw_quad(e.pos, {2 * e.radius, 2 * e.radius}, renderer.shaders.sprint_aura);
  }
}

static void draw_box_selection() {
  const BoxSelection& b = game.box_selection;
  if (!b.is_active) return;
  Rect r = rect_from_corners(b.start, b.end);
  draw_rect(r, Color{{1, 0.5f, 0.25f, 1}});
  draw_rect_outline(r, Color{{1, 1, 0.8f, 1}});
}

// Names, health and action progress over the entities, then their fresh events.
static void draw_world_bars() {
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0) continue;
    if (in_container(e)) continue;
    f32 h = get_texture_offset(e).y;
    f32 r = e.radius;
    v3 at = {e.pos.x, e.pos.y, h};
    bool show_name = e.id == game.hovered_id || game.modifiers.shift;
    if (has_component(e, Component_Mortal)) {
      HealthBar bar = health_bar(r, world_bar_ratio(e.mortal.hp));
      draw_rect_billboard(at, {2 * r + 2, 4}, Color{{0, 0, 0, 0.5f}}, {0, 0});
      draw_rect_billboard(at, bar.lost_size, Color{{1, 0, 0, 0.5f}}, bar.lost_offset);
      Color fill = e.mortal.group == 1 ? Color{{0, 1, 1, 1}} : Color{{0, 0.8f, 0, 1}};
      draw_rect_billboard(at, bar.left_size, fill, bar.left_offset);
      if (e.id == game.selected_id) {
        draw_mob_name(e, {0, h}, true);
        show_name = false;
      }
    }
    if (show_name) draw_entity_name(e, {0, h}, game.modifiers.shift);
    if (has_component(e, Component_Actor) && (is_person(e) || e.id == game.selected_id)) {
      f32 p = e.actor.action.progress;
      if (p > 0) {
        v3 pat = {e.pos.x, e.pos.y, h + 5};
        draw_rect_billboard(pat, {2 * r, 3}, Color{{0, 0, 0, 0.5f}}, {0, 0});
        if (p <= 1) draw_rect_billboard(pat, {2 * r * p, 3}, Color{{0.7f, 0.6f, 0, 1}}, {-r * (1 - p), 0});
      }
    }
    handle_events(e);
  }
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
  Entity& player = *game.player;
  clear_lights();
  world_add_lights();
  update_lights();
  push_transform(renderer.vp);
  // The ground writes depth everywhere, so the entities are tested against it and against each other.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  if (game.location) draw_tiles(*game.location);
  glDisable(GL_DEPTH_TEST);
  draw_world_ui_underlayer(player);
  draw_auras();
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  pass_begin(RenderPass_Entities);
  draw_entities();
  draw_entities_fx();
  pass_end();
  // With static objects hidden, their boxes still show where they stand.
  if (game.debug.hide_static_objects) {
    int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
    for (int i = 0; i < n; i++) {
      Entity& e = entity_storage.entities[i];
      if (e.id != 0 && !in_container(e)) draw_entity_collision_box(e, 0, Color{{0.8f, 0.8f, 0.8f, 1}});
    }
  }
  if (game.hovered_id != 0) {
    if (Entity* hovered = find_entity_by_id(game.hovered_id)) {
      draw_entity_collision_box(*hovered, 0, Color{{1, 0.8f, 0.5f, 1}});
    }
  }
  draw_box_selection();
  glDisable(GL_DEPTH_TEST);
  draw_thoughts();
  draw_chat_bubbles();
  // The sky fills only what nothing else covered, and writes no depth of its own.
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  draw_cubemap();
  glCullFace(GL_BACK);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_TRUE);
  glDisable(GL_DEPTH_TEST);
  draw_world_bars();
  pop_transform();
  draw_cursor();
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
  update_selections();
  update_world();
  draw_world_screen();
  // The graph builds UI elements, so it belongs to the world screen's own frame, not to the menu's view.
  ui_fps();
  ui_chat();
  ui_items();
  if (net.last_error.code != ErrorCode_Ok) ui_error_box(error_code_msg(net.last_error.code));
}
