// What an entity is drawn with: its model and variant, its animation and tint, and its model matrix.
// Nothing here touches GL, so the rules run in tests and benchmarks without a context.
#include <math.h>

#include "app/client.hpp"
#include "items.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "spells.hpp"

// Seconds from `then` to `now`; a stamp later than the clock counts as now instead of wrapping around.
static f32 age_seconds(Time now, Time then) { return now.ns > then.ns ? to_sec(now - then) : 0.0f; }

Color placeholder_color(const Entity& e) {
  if (has_component(e, Component_Mortal) && e.mortal.group == 1) return Color{{0.7f, 0.7f, 0, 1}};
  return Color{{0.7f, 0, 0.7f, 1}};
}

// --- models

EntityModels* get_entity_models(Entity& e) {
  if ((int)e.type >= len(game.entity_models)) return nullptr;
  return &game.entity_models[e.type];
}

int get_model_variant(Entity& e, EntityModels& models) {
  if (has_component(e, Component_Mover) || models.nvariants <= 0) return 0;
  return (int)(e.id % (u32)models.nvariants);
}

Model* get_entity_model(Entity& e) {
  if (is_person(e)) return &game.models.character;
  if (has_component(e, Component_Tree) && e.tree.branches == 0) return &game.models.dead_tree;
  EntityModels* models = get_entity_models(e);
  EntityInfo* info = find_entity_info(e.type);
  // A kind outside the tables (a bad snapshot) stays a placeholder and is never loaded.
  if (!models || !info) return nullptr;
  if (!(info->flags & EntityInfoFlag_Loaded)) {
    load_model_by_type(e.type);
    return nullptr;
  }
  assert(models->nvariants > 0 && "models.nvariants > 0");
  if (models->nvariants <= 0) return nullptr;
  return &models->variants[get_model_variant(e, *models)];
}

// --- animation

void set_animation(AnimationInfo& info, AnimationType type, f32 progress) {
  if (info.type != type) info.time = 0;
  info.type = type;
  info.progress = progress;
}

static u32 person_mesh_mask(const Entity& e) {
  u32 mask = 1;  // the body
  Entity* held = gear_at(e, GearSlot_RightHand);
  if (!held) return mask;
  if (held->type == Entity_axe) return mask | 2;
  if (held->type == Entity_torch) return mask | 4;
  if (held->type == Entity_bone_saw) return mask | 16;
  if (has_component(*held, Component_Weapon)) return mask | 8;
  return mask;
}

static bool mover_is_moving(const Entity& e) { return has_component(e, Component_Mover) && !v2_is_zero(e.mover.vel); }

// An ellipse around the line from the camera to a point just before its target: walls inside it would
// hide the player.
static bool near_line_of_sight(v2 p) {
  v2 c = {renderer.camera.pos.x, renderer.camera.pos.y};
  v2 a = {renderer.camera.target.x, renderer.camera.target.y - 32};
  return v2_len(a - c) + 64 > v2_len(p - c) + v2_len(p - a);
}

static void object_animation(Entity& e, AnimationInfo& info) {
  if (e.type == Entity_torch || e.type == Entity_infinite_quelbin) {
    set_animation(info, AnimationType_Idle, 0);
    return;
  }
  if (has_component(e, Component_Crop)) {
    info.mesh_mask = 1u << crop_stage(e.crop, game.server_time);
    return;
  }
  if (has_component(e, Component_Vessel)) {
    info.mesh_mask = e.vessel.volume.cur > 0 ? 3 : 1;
    return;
  }
  if (has_component(e, Component_Bush)) {
    info.mesh_mask = e.bush.berries == 0 ? 1 : 3;
    return;
  }
  if (has_component(e, Component_Cart) && e.carrier != 0) {
    // Without its puller in the snapshot the cart stands still.
    Entity* puller = find_entity_by_id(e.carrier);
    if (puller && mover_is_moving(*puller)) set_animation(info, AnimationType_Run, 0);
    return;
  }
  EntityState* state = find_entity_state(e.id);
  if (e.id == game.opened_container_id && e.type == Entity_wooden_chest) {
    // Opening creates the state; without it the chest shows fully open rather than shut.
    f32 progress = state ? clamp(age_seconds(game.time, state->interacted_at) / 0.3f, 0.0f, 1.0f) : 1.0f;
    set_animation(info, AnimationType_Open, progress);
    return;
  }
  if (has_component(e, Component_Door)) {
    if (e.type != Entity_dungeon_door) return;
    if (!e.door.opened) {
      set_animation(info, AnimationType_None, 1);
    } else {
      f32 progress = state ? clamp(age_seconds(game.time, state->interacted_at) / 1.0f, 0.0f, 1.0f) : 1.0f;
      set_animation(info, AnimationType_Open, progress);
    }
    return;
  }
  if (e.type == Entity_quern) {
    if (e.user != 0) {
      set_animation(info, AnimationType_Work, fract(to_sec(game.server_time)));
    } else {
      set_animation(info, AnimationType_None, 0);
    }
    return;
  }
  if (e.type == Entity_brick_door) {
    set_animation(info, AnimationType_Open, 1);
    return;
  }
  if (e.flags & EntityFlag_Wall) {
    if (near_line_of_sight(e.pos)) info.opacity = 0.3f;
    return;
  }
  if (e.type == Entity_wooden_chest && state) {
    f32 closed = clamp(age_seconds(game.time, state->interacted_at) / 0.15f, 0.0f, 1.0f);
    set_animation(info, AnimationType_Open, 1 - closed);
  }
}

AnimationInfo get_animation_info(Entity& e) {
  AnimationInfo info = {};
  info.opacity = (e.flags & EntityFlag_Invisible) ? 0.25f : 1.0f;
  if (has_component(e, Component_Mortal) && e.mortal.hp.cur <= 0) {
    set_animation(info, AnimationType_Death, age_seconds(game.server_time, e.mortal.death_time));
    return info;
  }
  info.time = to_sec(game.time);
  if (!has_component(e, Component_Actor)) {
    object_animation(e, info);
    return info;
  }
  f32 progress = e.actor.action.progress;
  if (progress != 0 && progress <= 1) {
    set_animation(info, AnimationType_Attack, progress);
  } else {
    set_animation(info, mover_is_moving(e) ? AnimationType_Run : AnimationType_Idle, 0);
  }
  if (has_effect(e, EffectType_Frozen)) {
    info.tint = Color{{0, 0, 1, 1}};
  } else if (has_effect(e, EffectType_Sprint)) {
    info.tint = Color{{1, 1, 0, 1}};
  } else if (has_effect(e, EffectType_Rage)) {
    info.tint = Color{{1, 0, 0, 1}};
  }
  if (is_person(e)) info.mesh_mask = person_mesh_mask(e);
  return info;
}

// --- transforms

f32 crop_random(Id id) {
  // Double precision and x - floor(x): a float sine of a large argument loses every digit that matters,
  // and fmod would hand back negative fractions, which shrink the crop below its minimum.
  f64 x = sin((f64)id * 100069.0);
  return (f32)(x - floor(x));
}

m4 get_transform(Entity& e, bool* placed) {
  if (placed) *placed = true;
  if (has_component(e, Component_Mover)) {
    return m4_translate(e.pos.x, e.pos.y, 0) * m4_rotate_z(pi / 2 + e.mover.angle) * m4_scale_uniform(tile_size);
  }
  f32 scale = tile_size;
  f32 angle = 0;
  if (e.type == Entity_barak) angle += has_component(e, Component_Mortal) && e.mortal.group == 1 ? pi / 2 : -pi / 2;
  bool r90 = e.flags & EntityFlag_Rotate90, r180 = e.flags & EntityFlag_Rotate180;
  if (r90 && r180) {
    angle += 3 * pi / 2;
  } else if (r180) {
    angle += pi;
  } else if (r90) {
    angle += pi / 2;
  }
  if (has_component(e, Component_Crop)) {
    f32 r = crop_random(e.id);
    scale *= 0.9f + (2 * r - 1) * 0.1f;
    if (e.type != Entity_wheat_crop) angle += tau * r;
  }
  v2 pos = e.pos;
  f32 height = (e.flags & EntityFlag_Roof) ? e.dim.z : 0;
  if ((e.flags & EntityFlag_Liftable) && e.carrier != 0) {
    Entity* carrier = find_entity_by_id(e.carrier);
    if (!carrier) {
      if (placed) *placed = false;
      return m4_translate(e.pos.x, e.pos.y, 0) * m4_scale_uniform(tile_size);
    }
    pos = carrier->pos;
    height = carrier->dim.z;
    // People hold what they lift in front of them; a cart stacks its load in a row along its bed.
    if (has_component(*carrier, Component_Mover) && !has_component(*carrier, Component_Cart)) {
      angle += carrier->mover.angle;
    } else {
      SlotIndex slot =
          has_component(*carrier, Component_Container) ? find_items_slot(carrier->container, e.id) : SlotNotFound;
      if (slot > SlotAny) {
        if (placed) *placed = false;
      } else {
        angle += pi / 2;
        pos.x += 16.0f * ((f32)slot - 1);
      }
    }
  }
  return m4_translate(pos.x, pos.y, height) * m4_rotate_z(angle) * m4_scale_uniform(scale);
}

bool tabletop_transform(Entity& e, m4* out) {
  Entity* table = find_container_entity(e);
  if (!table || table->type != Entity_wooden_table) return false;
  SlotIndex slot = find_items_slot(table->container, e.id);
  constexpr f32 u = 8;
  static const v2 spots[4] = {
      {0.25f * u, -1.25f * u}, {-1.5f * u, -2 * u}, {0.5f * u, 1.5f * u}, {1.75f * u, -0.25f * u}};
  if (slot >= len(spots)) return false;
  v2 p = table->pos + spots[slot];
  *out = m4_translate(p.x, p.y, 24) * m4_scale_uniform(tile_size);
  return true;
}

v2 get_texture_offset(Entity&) { return v2{0, 70}; }
