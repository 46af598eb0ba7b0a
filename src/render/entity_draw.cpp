// Drawing entities: models or placeholders, projectiles, portals, fire, attack effects, shadows, names
// and the developer's collision outlines.
#include <glad/gl.h>

#include "app/client.hpp"
#include "items.hpp"
#include "physics.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "render/font.hpp"
#include "spells.hpp"

static const Color name_color = {{1, 1, 0.7f, 1}};

void draw_entities() {
  Shader& shader = renderer.shaders.model;
  use_shader(shader);
  v3 light_dir = v3_normalized(renderer.light_pos);
  glUniform3fv(shader.light_dir_loc, 1, light_dir.elements);
  glUniform3fv(shader.camera_pos_loc, 1, renderer.camera.pos.elements);
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id != 0) draw_entity(e, false);
  }
  gl_assert();
  glUseProgram(0);
}

void draw_entities_fx() {
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id != 0) draw_entity_fx(e);
  }
}

void draw_tabletop_entity(Entity& e, bool shadowmap) {
  m4 transform;
  // Items in anything but a table, past its four spots, or in a container missing from the snapshot
  // are not drawn.
  if (!tabletop_transform(e, &transform)) return;
  Model* model = get_entity_model(e);
  if (!model || model->nmeshes <= 0) return;
  if (shadowmap) {
    draw_model_shadowmap(*model, transform, get_animation_info(e));
  } else {
    use_shader(renderer.shaders.model);
    draw_model(*model, transform, get_animation_info(e));
  }
}

void draw_entity_collision_box(Entity& e, f32 apron, Color color) {
  draw_rect(Rect{e.pos.x - 0.5f, e.pos.y - 0.5f, 1, 1}, Color{{1, 1, 1, 1}});
  if (is_rectangular(e)) {
    Bbox box = entity_bbox(e);
    box.min.x -= apron, box.min.y -= apron;
    box.max.x += apron, box.max.y += apron;
    draw_bbox(box, color);
  } else {
    draw_circle(e.pos, e.radius, color);
  }
}

static void play_footsteps(Entity& e) {
  Sound& steps = game.audio.sounds.footsteps;
  if (has_component(e, Component_Mover) && !v2_is_zero(e.mover.vel)) {
    if (time_since(steps.last_played_at) > 400 * Milliseconds) play_sound_once(steps, rrand(0.9f, 1.1f));
  } else {
    stop_sound(steps);
  }
}

// Where the torch in a person's hand burns: a point of the hand-held mesh carried by the joint it hangs
// on, as the last draw of the person posed it. False without that mesh or joint.
static bool held_flame_pos(Model& model, m4 transform, AnimationInfo info, v3* out) {
  constexpr int hand_mesh = 2;
  if (model.nmeshes <= hand_mesh || !has_animation(model, info.type)) return false;
  Mesh& mesh = model.meshes[hand_mesh];
  if (mesh.parent < 0 || mesh.parent >= model.nbones || mesh.parent >= JOINTS_MAX) return false;
  v4 p = transform * renderer.joint_transforms[mesh.parent] * mesh.transform * v4{{0, -0.1f, 0.7f, 1}};
  *out = v3{{p.x, p.y, p.z}};
  return true;
}

static void draw_spell_effects(Entity& e) {
  const Action& action = e.actor.action;
  if (action.type != ActionType_CastSpell || !(action.progress < 1)) return;
  SpellType spell = action.spell_type;
  if (spell == SpellType_Strike || spell == SpellType_StrongAttack || spell == SpellType_CycloneSlash) {
    EntityState* state = set_entity_state_entry(e.id);
    if (!state) return;
    state->slash_angle = spell == SpellType_CycloneSlash ? tau : pi;
    state->slash_progress = action.progress;
    if (&e == game.player) {
      state->slash_color = spell == SpellType_StrongAttack ? Color{{1, 1, 0, 0}} : Color{{0, 1, 1, 0}};
    } else {
      state->slash_color = Color{{1, 0, 0, 0}};
    }
  } else if (spell == SpellType_SelfHeal) {
    f32 r = linlin(ease_in_cubic(action.progress), 0, 1, 4, 24);
    draw_sphere(v3{{e.pos.x, e.pos.y, 8}}, v3{{r, r, 0}}, Color{{0, 1, 0, 1}});
  }
}

void draw_entity(Entity& e, bool draw_collision_box) {
  assert(e.id != 0);
  if (in_container(e)) {
    draw_tabletop_entity(e, false);
    return;
  }
  if (draw_collision_box) {
    draw_entity_collision_box(e, 0, Color{{0.8f, 0.8f, 0.8f, 0.5f}});
  } else {
    if (game.debug.hide_static_objects) return;
    if (game.debug.hide_roofs && (e.flags & EntityFlag_Roof)) return;
  }
  Shader& shader = renderer.shaders.model;
  use_shader(shader);
  glUniform1f(shader.vision_radius_loc, PRESENTATION_VISION_RADIUS);
  if (game.player && &e == game.player) play_footsteps(e);

  Model* model = nullptr;
  m4 transform = m4_identity();
  AnimationInfo info = {};
  if (has_component(e, Component_Projectile)) {
    GLboolean culling = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    bool fireball = e.projectile.type == SpellType_Fireball;
    draw_instances(e.pos, fireball ? Color{{1.5f, 1.0f, 0.5f, 1}} : Color{{0.5f, 1.0f, 1.5f, 1}});
    if (culling) glEnable(GL_CULL_FACE);
  } else if (has_component(e, Component_Portal)) {
    draw_stars(m4_translate(e.pos.x, e.pos.y, 56) * m4_rotate_z(0.3f * sinf(0.5f * renderer.time)) *
               m4_rotate_x(pi / 2) * m4_scale(5, 8, 1));
  } else {
    bool placed = true;
    transform = get_transform(e, &placed);
    // A carried item whose carrier is missing or does not hold it has no place to be drawn at.
    if (!placed) return;
    model = get_entity_model(e);
    if (model && model->nmeshes > 0) {
      info = get_animation_info(e);
      use_shader(shader);
      draw_model(*model, transform, info);
    } else {
      model = nullptr;
      draw_circle(e.pos, e.radius, placeholder_color(e));
    }
  }

  if (is_person(e)) {
    v3 flame = {};
    bool lit = model && find_gear(e, Entity_torch) && held_flame_pos(*model, transform, info, &flame);
    EntityState* state = lit ? set_entity_state_entry(e.id) : find_entity_state(e.id);
    if (state) {
      state->fire_pos = flame;
      if (lit) draw_fire(flame, v2{12.8f, 25.6f}, game.dt, state->flame, state->smoke);
    }
  } else if (has_component(e, Component_Fuel) && (e.flags & EntityFlag_Burning)) {
    if (EntityState* state = set_entity_state_entry(e.id))
      draw_fire(v3{{e.pos.x, e.pos.y, e.dim.z}}, v2{16, 32}, game.dt, state->flame, state->smoke);
  }
  if (has_component(e, Component_Actor)) draw_spell_effects(e);
}

void draw_entity_fx(Entity& e) {
  EntityState* state = find_entity_state(e.id);
  if (!state) return;
  if (state->slash_progress != 0) {
    if (has_component(e, Component_Mortal) && e.mortal.hp.cur <= 0) {
      release_entity_state(*state);
      return;
    }
    if (state->slash_progress > 0.4f) {
      f32 s = linlin(state->slash_progress, 0.4f, 1, 0, 0.6f) + linlin(state->slash_tail, 0, 0.25f, 0, 0.4f);
      f32 gaze = has_component(e, Component_Mover) ? e.mover.gaze : 0;
      draw_slash(v3{{e.pos.x, e.pos.y, 12}}, v3{{40, 40, 4}}, state->slash_color, gaze, state->slash_angle, s);
    }
    if (state->slash_progress >= 0.9f) {
      state->slash_tail += game.dt;
      if (state->slash_tail > 0.25f) state->slash_progress = state->slash_tail = 0;
    }
  }
  if (!time_is_zero(state->hit_time)) {
    // A stamp ahead of the clock counts as just hit.
    f32 age = game.time.ns > state->hit_time.ns ? to_sec(game.time - state->hit_time) : 0;
    f32 t = age / 0.5f;
    if (t > 1) {
      state->hit_time = Time{};
    } else {
      f32 k = 1 - t;
      draw_hit(v3{{e.pos.x, e.pos.y, 32}}, v3{{32, 32, 32}}, Color{{0.87f, 0.2f, 0, 1}}, k * k * k,
               to_sec(state->hit_time));
    }
  }
}

void draw_entity_shadowmap(Entity& e) {
  if (in_container(e)) {
    draw_tabletop_entity(e, true);
    return;
  }
  if (game.debug.hide_roofs && (e.flags & EntityFlag_Roof)) return;
  if (has_component(e, Component_Projectile) || has_component(e, Component_Portal)) return;
  bool placed = true;
  m4 transform = get_transform(e, &placed);
  if (!placed) return;
  Model* model = get_entity_model(e);
  if (model && model->nmeshes > 0) draw_model_shadowmap(*model, transform, get_animation_info(e));
}

// --- names

void draw_mob_name(Entity& e, v2 offset, bool verbose) {
  if (verbose && has_component(e, Component_Mortal)) {
    draw_text_billboard(e.pos, offset, 1, name_color, "%s [%.f/%.f]", entity_name(e), (double)e.mortal.hp.cur,
                        (double)e.mortal.hp.max);
  } else {
    draw_text_billboard(e.pos, offset, 1, name_color, "%s", entity_name(e));
  }
}

void draw_entity_name(Entity& e, v2 offset, bool) {
  if (has_component(e, Component_Crop)) {
    draw_text_billboard(e.pos, offset, 1, name_color, "%s %s", entity_name(e),
                        crop_stage_name(crop_stage(e.crop, game.server_time)));
    return;
  }
  if (has_component(e, Component_Blank)) {
    draw_text_billboard(e.pos, offset, 1, name_color, "Blank: %s", entity_type_display_name(e.blank.type));
    return;
  }
  if (has_component(e, Component_Container) && container_nslots(e.container) > 0 && e.container.slots[0] != 0) {
    Entity* first = find_entity_by_id(e.container.slots[0]);
    // The progress record shares its place with fuel: a fuel's capacity is no progress.
    if (first && !has_component(*first, Component_Fuel) && first->progress.max != 0) {
      int percent = (int)(first->progress.cur / first->progress.max * 100);
      draw_text_billboard(e.pos, offset + v2{0, 12}, 1, name_color, "Progress: %d%%", percent);
    }
  }
  if (has_component(e, Component_Vessel)) {
    draw_text_billboard(e.pos, offset, 1, name_color, "%s [%.1f/%.1f]", entity_name(e), (double)e.vessel.volume.cur,
                        (double)e.vessel.volume.max);
  } else if (e.type == Entity_fermion_stone && game.player && is_person(*game.player) &&
             game.player->person.respawn_id == e.id) {
    draw_text_billboard(e.pos, offset, 1, name_color, "[My] %s", entity_name(e));
  } else {
    draw_text_billboard(e.pos, offset, 1, name_color, "%s", entity_name(e));
  }
}
