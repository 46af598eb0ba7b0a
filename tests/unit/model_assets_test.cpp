// The whole generated model set: every kind's files exist, load with every check on, carry the clips and
// mesh order the presentation relies on, and stay within the limits. Generation is deterministic.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "render/model.hpp"
#include "registry.hpp"
#include "test_files.hpp"

namespace {

// Runs the generator for the models into `dir`.
bool generate_models(const std::string& dir) {
  std::string cmd = std::string(VALMIRE_BINARY_DIR) + "/valmire-assetgen --only models --out " + dir + " > /dev/null";
  return !dir.empty() && system(cmd.c_str()) == 0;
}

// Runs the generator once for the whole suite, into a folder of its own removed at exit.
const char* generate_once() {
  static TempDir generated;
  static bool ok = generate_models(generated.path);
  return ok ? generated.path.c_str() : nullptr;
}

int slot_of(AnimationType t) { return get_animation_index(t); }

// Every bone has a channel in the slot of `type`: the client refuses to draw a bone without one.
void expect_clip_on_every_bone(const Model& m, AnimationType type) {
  ASSERT_GT(m.nbones, 0) << m.path;
  for (int b = 0; b < m.nbones; b++) {
    const Animation& a = m.bones[b].animations[slot_of(type)];
    EXPECT_EQ(a.type, type) << m.path << " bone " << m.bones[b].name;
    EXPECT_GT(a.nrotations + a.ntranslations, 0) << m.path << " bone " << m.bones[b].name;
  }
}

// Runs every clip the model has through the sampler, by time and by progress.
void expect_clips_sample(Model& m) {
  static const AnimationType types[] = {AnimationType_Idle, AnimationType_Run, AnimationType_Attack,
                                        AnimationType_Death};
  m4 palette[JOINTS_MAX];
  for (AnimationType t : types) {
    if (!m.nbones || m.bones[0].animations[slot_of(t)].type == AnimationType_None) continue;
    AnimationInfo info = {};
    info.type = m.bones[0].animations[slot_of(t)].type;
    for (int frame = 0; frame < 20; frame++) ASSERT_TRUE(animation_sample(m, info, true, 0.05f, palette));
    info.progress = 0.7f;
    ASSERT_TRUE(animation_sample(m, info, true, 0.05f, palette));
    for (int b = 0; b < m.nbones; b++)
      for (f32 e : palette[b].elements) ASSERT_TRUE(std::isfinite(e)) << m.path;
  }
}

std::string names_of(const Model& m) {
  std::string s;
  for (int i = 0; i < m.nmeshes; i++) s += std::string(i ? " " : "") + m.meshes[i].name;
  return s;
}

}  // namespace

TEST(GeneratedModels, EveryKindLoadsWithinTheLimits) {
  const char* dir = generate_once();
  ASSERT_NE(dir, nullptr);
  load_entity_registry();
  int nkinds = 0;
  for (int t = 2; t < global_entity_registry.nprototypes; t++) {
    EntityType type = (EntityType)t;
    const EntityInfo& info = global_entity_registry.info[t];
    if (type == Entity_projectile || type == Entity_portal) {
      EXPECT_EQ(info.nvariants, 0);
      continue;
    }
    ASSERT_GT(info.nvariants, 0) << info.type_name;
    nkinds++;
    for (int v = 1; v <= info.nvariants; v++) {
      char file[256];
      ASSERT_TRUE(model_asset_path(type, v, file, (int)sizeof(file)));
      std::string path = std::string(dir) + "/" + file;
      struct stat st;
      ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
      EXPECT_LT(st.st_size, 160 * 1024) << path << ": keep models low-poly";
      Model m = load_model_ex(dir, file, false);
      EXPECT_GT(m.nmeshes, 0) << file;
      EXPECT_LE(m.nmeshes, MODEL_MESHES_MAX);
      EXPECT_LT(m.nbones, BONES_MAX);
      EXPECT_LE(m.nmaterials, MODEL_MATERIALS_MAX);
      for (int i = 0; i < m.nmeshes; i++) {
        EXPECT_GE(m.meshes[i].material_index, 0) << file;
        EXPECT_GT(m.materials[m.meshes[i].material_index].albedo.width, 0) << file;
      }
      expect_clips_sample(m);
      // Creatures are skinned with the four clips the presentation asks for.
      if (has_component(global_entity_registry.prototypes[t], Component_Thinker))
        for (AnimationType a : {AnimationType_Idle, AnimationType_Run, AnimationType_Attack, AnimationType_Death})
          expect_clip_on_every_bone(m, a);
      free_model(m);
    }
  }
  EXPECT_EQ(nkinds, 140);
}

TEST(GeneratedModels, PresentationClipsAndMeshOrder) {
  const char* dir = generate_once();
  ASSERT_NE(dir, nullptr);
  load_entity_registry();
  struct {
    EntityType type;
    AnimationType clip;
  } clips[] = {
      {Entity_wooden_chest, AnimationType_Open}, {Entity_quern, AnimationType_Work},
      {Entity_dungeon_door, AnimationType_Open}, {Entity_brick_door, AnimationType_Open},
      {Entity_torch, AnimationType_Idle},        {Entity_infinite_quelbin, AnimationType_Idle},
      {Entity_cart, AnimationType_Run},          {Entity_wagon, AnimationType_Run},
  };
  for (auto& c : clips) {
    char file[256];
    ASSERT_TRUE(model_asset_path(c.type, 1, file, (int)sizeof(file)));
    Model m = load_model_ex(dir, file, false);
    expect_clip_on_every_bone(m, c.clip);
    free_model(m);
  }
  Model chest = load_model_ex(dir, "./wooden-chest-1.glb", false);
  bool lid = false;
  for (int b = 0; b < chest.nbones; b++) lid = lid || !strcmp(chest.bones[b].name, "lid");
  EXPECT_TRUE(lid);
  free_model(chest);

  struct {
    EntityType type;
    const char* meshes;
  } orders[] = {
      {Entity_carrot_crop, "0_sprout 1_young 2_mature 3_harvest 4_dead"},
      {Entity_wheat_crop, "0_sprout 1_young 2_mature 3_harvest 4_dead"},
      {Entity_tanning_tub, "0_vessel 1_contents"},
      {Entity_berry_bush, "0_bush 1_berries"},
  };
  for (auto& o : orders) {
    char file[256];
    ASSERT_TRUE(model_asset_path(o.type, 1, file, (int)sizeof(file)));
    Model m = load_model_ex(dir, file, false);
    EXPECT_EQ(names_of(m), o.meshes) << file;
    free_model(m);
  }
}

TEST(GeneratedModels, CharacterHoldsItsItemsOnTheHand) {
  const char* dir = generate_once();
  ASSERT_NE(dir, nullptr);
  Model m = load_model_ex(dir, "character.glb", false);
  EXPECT_EQ(names_of(m), "0_body 1_axe 2_torch 3_weapon 4_bone_saw");
  for (AnimationType a : {AnimationType_Idle, AnimationType_Run, AnimationType_Attack, AnimationType_Death})
    expect_clip_on_every_bone(m, a);
  ASSERT_EQ(m.nmeshes, 5);
  EXPECT_TRUE(m.meshes[0].has_weights);
  EXPECT_EQ(m.meshes[0].parent, -1);
  for (int i = 1; i < 5; i++) {
    ASSERT_GE(m.meshes[i].parent, 0) << m.meshes[i].name;
    EXPECT_STREQ(m.bones[m.meshes[i].parent].name, "hand_r") << m.meshes[i].name;
    EXPECT_FALSE(m.meshes[i].has_weights);
  }
  // The torch's flame point, carried by the torch mesh into the bind pose, sits above the hand.
  v4 flame = m.meshes[2].transform * v4{0, -0.1f, 0.7f, 1};
  EXPECT_GT(flame.z, 1.0f);
  EXPECT_LT(flame.z, 2.0f);
  // Standing on the ground, about a player's height (48 units, 1.5 tiles).
  for (const char* startup : {"test.glb", "dead-tree-1.glb", "capsule.glb"}) {
    Model s = load_model_ex(dir, startup, false);
    EXPECT_GT(s.nmeshes, 0) << startup;
    free_model(s);
  }
  free_model(m);
}

TEST(GeneratedModels, GenerationIsDeterministic) {
  const char* dir = generate_once();
  ASSERT_NE(dir, nullptr);
  TempDir again;
  ASSERT_TRUE(generate_models(again.path));
  EXPECT_EQ(system((std::string("diff -r -q ") + dir + " " + again.path).c_str()), 0);
}
