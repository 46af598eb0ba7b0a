// Clip names and slots, and sampling the skeleton into a joint palette. No GL here.
#include "render/model.hpp"

AnimationType animation_type_from_name(const char* name) {
  static const struct {
    const char* name;
    AnimationType type;
  } clips[] = {
      {"Idle", AnimationType_Idle},    {"Run", AnimationType_Run},           {"Attack", AnimationType_Attack},
      {"Sword", AnimationType_Attack}, {"Bite_Front", AnimationType_Attack}, {"Death", AnimationType_Death},
      {"Open", AnimationType_Open},    {"Work", AnimationType_Work},
  };
  if (!name) return AnimationType_None;
  for (auto& c : clips)
    if (!strcmp(c.name, name)) return c.type;
  return AnimationType_None;
}

// Open shares Idle's slot and Work shares Run's: a model carries one of each pair.
int get_animation_index(AnimationType type) { return type > 100 ? (int)type - 101 : (int)type - 1; }

bool has_animation(const Model& model, AnimationType type) { return model.nbones > 0 && type != AnimationType_None; }

bool mesh_visible(u32 mesh_mask, int mesh_index) {
  return mesh_mask == 0 || (mesh_mask & (1u << (mesh_index % 32))) != 0;
}

// Moves a channel's clock on by one frame: past the current key's time it steps to the next key, and after
// the last key it starts over from key 0 at time 0.
static void channel_step(int count, const f32* times, f32& time, int& frame, f32 dt) {
  if (time > times[frame]) {
    frame++;
    if (frame >= count) {
      frame = 0;
      time = 0;
    }
  }
  time += dt;
}

// The key a progress shows. Progress outside [0, 1] (a death clip is driven by the seconds since death)
// holds the first or last key instead of reading past the channel.
static int progress_key(f32 progress, int count) {
  if (!(progress > 0)) return 0;
  if (progress >= 1) return count - 1;
  int key = (int)(progress * (f32)(count - 1));
  return key < count ? key : count - 1;
}

bool animation_sample(Model& model, const AnimationInfo& info, bool advance, f32 dt, m4* palette) {
  if (!has_animation(model, info.type)) return false;
  assert(model.nbones < JOINTS_MAX);
  int slot = get_animation_index(info.type);
  assert(slot >= 0 && slot < BONE_ANIMATIONS_MAX);
  bool by_time = info.progress == 0;
  for (int i = 0; i < model.nbones; i++) {
    Bone& bone = model.bones[i];
    Animation& a = bone.animations[slot];
    m4 local = m4_identity();
    if (a.type == AnimationType_None) {
      if (strcmp(bone.name, "neutral_bone") != 0) panic("No animation for %d\n", (int)info.type);
      palette[i] = local;
      continue;
    }
    if (a.nrotations > 0) {
      int key = a.current_rotation_frame;
      if (by_time) {
        if (advance)
          channel_step(a.nrotations, a.rotation_times, a.current_rotation_time, a.current_rotation_frame, dt);
        key = a.current_rotation_frame;
      } else {
        key = progress_key(info.progress, a.nrotations);
      }
      local = quaternion_to_m4(a.rotations[key]);
    }
    // Translation and scale keep to their own clocks, whatever the progress says.
    if (a.ntranslations > 0) {
      if (advance)
        channel_step(a.ntranslations, a.translation_times, a.current_translation_time, a.current_translation_frame, dt);
      m4_set_translation(local, a.translations[a.current_translation_frame]);
    }
    if (a.nscales > 0) {
      if (advance) channel_step(a.nscales, a.scale_times, a.current_scale_time, a.current_scale_frame, dt);
      local = local * m4_scale(a.scales[a.current_scale_frame]);
    }
    palette[i] = local;
  }
  // The loader guarantees parents precede their children, so one pass builds every global transform.
  for (int i = 0; i < model.nbones; i++) {
    int p = model.bones[i].parent;
    if (p >= 0) palette[i] = palette[p] * palette[i];
  }
  for (int i = 0; i < model.nbones; i++) palette[i] = palette[i] * model.inverse_bind_matrices[i];
  return true;
}
