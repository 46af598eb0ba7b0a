// Sampling skeletons into joint palettes, without GL.
#include <gtest/gtest.h>

#include <vector>

#include "render/model.hpp"
#include "expect_near.hpp"

namespace {

// A model of `nbones` bones built by hand; channels point into vectors owned by the fixture.
struct HandModel {
  Model model = {};
  std::vector<Bone> bones;
  std::vector<m4> inverse;
  std::vector<std::vector<f32>> times;
  std::vector<std::vector<v4>> rotations;
  std::vector<std::vector<v3>> vectors;

  explicit HandModel(int nbones) : bones(nbones), inverse(nbones, m4_identity()) {
    memset(bones.data(), 0, sizeof(Bone) * nbones);
    for (int i = 0; i < nbones; i++) {
      snprintf(bones[i].name, sizeof(bones[i].name), "bone%d", i);
      bones[i].parent = i - 1;
    }
    model.bones = bones.data();
    model.inverse_bind_matrices = inverse.data();
    model.nbones = nbones;
  }
  Animation& slot(int bone, AnimationType type) {
    Animation& a = bones[bone].animations[get_animation_index(type)];
    a.type = type;
    return a;
  }
  f32* keys(std::vector<f32> t) {
    times.push_back(t);
    return times.back().data();
  }
  void rotation(int bone, AnimationType type, std::vector<f32> t, std::vector<v4> q) {
    Animation& a = slot(bone, type);
    a.nrotations = (int)t.size();
    a.rotation_times = keys(t);
    rotations.push_back(q);
    a.rotations = rotations.back().data();
  }
  void translation(int bone, AnimationType type, std::vector<f32> t, std::vector<v3> v) {
    Animation& a = slot(bone, type);
    a.ntranslations = (int)t.size();
    a.translation_times = keys(t);
    vectors.push_back(v);
    a.translations = vectors.back().data();
  }
};

v4 turn_z(f32 degrees) {
  f32 a = degrees * pi / 180 / 2;
  return {0, 0, sinf(a), cosf(a)};
}

// The angle about z that a palette matrix turns by, in degrees.
f32 angle_of(const m4& m) { return atan2f(m._10, m._00) * 180 / pi; }

AnimationInfo info(AnimationType type, f32 progress = 0) {
  AnimationInfo i = {};
  i.type = type;
  i.progress = progress;
  i.opacity = 1;
  return i;
}

// One bone with a five-key rotation channel: key k turns by 10 k degrees.
HandModel five_keys() {
  HandModel h(1);
  h.rotation(0, AnimationType_Attack, {0, 0.1f, 0.2f, 0.3f, 0.4f},
             {turn_z(0), turn_z(10), turn_z(20), turn_z(30), turn_z(40)});
  return h;
}

}  // namespace

TEST(AnimationClips, NamesMapToTypesAndSlots) {
  struct {
    const char* name;
    AnimationType type;
    int slot;
  } rows[] = {
      {"Idle", AnimationType_Idle, 0},    {"Run", AnimationType_Run, 1},           {"Attack", AnimationType_Attack, 2},
      {"Sword", AnimationType_Attack, 2}, {"Bite_Front", AnimationType_Attack, 2}, {"Death", AnimationType_Death, 3},
      {"Open", AnimationType_Open, 0},    {"Work", AnimationType_Work, 1},
  };
  for (auto& r : rows) {
    EXPECT_EQ(animation_type_from_name(r.name), r.type) << r.name;
    EXPECT_EQ(get_animation_index(r.type), r.slot) << r.name;
  }
  for (const char* other : {"idle", "Walk", "", "Attack2"})
    EXPECT_EQ(animation_type_from_name(other), AnimationType_None) << other;
}

TEST(AnimationSample, ProgressPicksTheKeyOfThatFraction) {
  struct {
    f32 progress;
    f32 degrees;
  } rows[] = {
      {0.5f, 20},  // key 2 of 5
      {1.0f, 40},  // the last key
      {0.24f, 0},  // 0.96 rounds down
      {0.25f, 10},
      {0.99f, 30},
      // A death clip is driven by the seconds since death: past 1 it holds the last key instead of reading on.
      {3.5f, 40},
      {-0.5f, 0},
  };
  for (auto& r : rows) {
    HandModel h = five_keys();
    m4 palette[1];
    ASSERT_TRUE(animation_sample(h.model, info(AnimationType_Attack, r.progress), true, 0.016f, palette));
    EXPECT_NEAR(angle_of(palette[0]), r.degrees, 1e-3f) << "progress " << r.progress;
    // Rotation by progress never moves the clock.
    EXPECT_EQ(h.bones[0].animations[2].current_rotation_frame, 0);
  }
}

TEST(AnimationSample, ByTimeStepsOneKeyPerElapsedKeyAndWrapsButNotInTheShadowPass) {
  HandModel h(1);
  h.rotation(0, AnimationType_Idle, {0, 0.5f, 1.0f}, {turn_z(0), turn_z(10), turn_z(20)});
  // Keys shown frame after frame at dt = 0.25: a key is left once the clock has passed its time, and after
  // the last key the clip starts over at key 0 and time 0.
  const f32 expected[] = {0, 10, 10, 20, 20, 0, 10, 10, 20};
  m4 palette[1];
  for (f32 degrees : expected) {
    ASSERT_TRUE(animation_sample(h.model, info(AnimationType_Idle), true, 0.25f, palette));
    EXPECT_NEAR(angle_of(palette[0]), degrees, 1e-3f);
    // The shadow pass samples the same frame again without moving the clock.
    ASSERT_TRUE(animation_sample(h.model, info(AnimationType_Idle), false, 0.25f, palette));
    EXPECT_NEAR(angle_of(palette[0]), degrees, 1e-3f);
  }
}

TEST(AnimationSample, TranslationKeepsItsOwnClockUnderProgress) {
  HandModel h(1);
  h.rotation(0, AnimationType_Attack, {0, 1}, {turn_z(0), turn_z(90)});
  h.translation(0, AnimationType_Attack, {0, 0.5f, 1.0f}, {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
  m4 palette[1];
  f32 xs[4];
  for (int i = 0; i < 4; i++) {
    animation_sample(h.model, info(AnimationType_Attack, 0.5f), true, 0.25f, palette);
    xs[i] = palette[0]._03;
  }
  EXPECT_EQ(xs[0], 1);
  EXPECT_EQ(xs[1], 2);
  EXPECT_EQ(xs[3], 3);
}

TEST(AnimationSample, ParentsComposeBeforeChildrenAndInverseBindApplies) {
  HandModel h(3);  // a chain 0 <- 1 <- 2
  for (int b = 0; b < 3; b++) h.translation(b, AnimationType_Run, {0}, {{0, 0, 1}});
  h.rotation(0, AnimationType_Run, {0}, {turn_z(90)});
  h.inverse[2] = m4_translate(0, 0, -3);
  m4 palette[3];
  ASSERT_TRUE(animation_sample(h.model, info(AnimationType_Run), true, 0.016f, palette));
  // Bone 1 sits one up from bone 0 and turns with it; bone 2 adds another, then its inverse bind removes
  // its rest height, so its rest-pose vertices land back where the file put them.
  EXPECT_NEAR(palette[1]._23, 2, 1e-5f);
  EXPECT_NEAR(angle_of(palette[1]), 90, 1e-3f);
  v4 p = palette[2] * v4{1, 0, 3, 1};
  EXPECT_TRUE(near(v3{{p.x, p.y, p.z}}, v3{{0, 1, 3}}, 1e-5f));
}

TEST(AnimationSample, WithoutSkinOrTypeNothingIsAnimated) {
  Model empty = {};
  m4 palette[1] = {m4_identity()};
  EXPECT_FALSE(has_animation(empty, AnimationType_Idle));
  EXPECT_FALSE(animation_sample(empty, info(AnimationType_Idle), true, 0.1f, palette));
  HandModel h = five_keys();
  EXPECT_FALSE(has_animation(h.model, AnimationType_None));
  EXPECT_FALSE(animation_sample(h.model, info(AnimationType_None), true, 0.1f, palette));
  EXPECT_TRUE(has_animation(h.model, AnimationType_Death));
}

TEST(AnimationSample, NeutralBoneMayLackAClipAnyOtherStops) {
  HandModel h(2);
  h.rotation(0, AnimationType_Idle, {0}, {turn_z(30)});
  snprintf(h.bones[1].name, sizeof(h.bones[1].name), "neutral_bone");
  m4 palette[2];
  ASSERT_TRUE(animation_sample(h.model, info(AnimationType_Idle), true, 0.1f, palette));
  EXPECT_NEAR(angle_of(palette[1]), 30, 1e-3f);  // follows its parent, adds nothing
  snprintf(h.bones[1].name, sizeof(h.bones[1].name), "tail");
  EXPECT_DEATH(animation_sample(h.model, info(AnimationType_Idle), true, 0.1f, palette), "PANIC");
}

TEST(MeshMask, ZeroShowsAllElseBitsModulo32) {
  struct {
    u32 mask;
    int mesh;
    bool visible;
  } rows[] = {
      {0, 0, true},      {0, 95, true},       {0b101, 0, true},   {0b101, 1, false},    {0b101, 2, true},
      {0b101, 3, false}, {1u << 5, 37, true}, {1u << 5, 5, true}, {1u << 5, 36, false}, {1u << 31, 63, true},
  };
  for (auto& r : rows) EXPECT_EQ(mesh_visible(r.mask, r.mesh), r.visible) << r.mask << " mesh " << r.mesh;
}
