// Models on a real (software) GL context: the generated cast drawn, lit, shadowed and animated, and an icon.
#include <glad/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/client.hpp"
#include "gl_context.hpp"
#include "render/model.hpp"
#include "registry.hpp"

namespace {

struct ModelGl : GlTest {
  void SetUp() override {
    GlTest::SetUp();
    load_entity_registry();
  }
};

struct StageActor {
  Model* model;
  v2 pos;
  AnimationInfo info;
};

AnimationInfo anim(AnimationType type, f32 progress = 0, u32 mask = 0) {
  AnimationInfo i = {};
  i.type = type;
  i.progress = progress;
  i.opacity = 1;
  i.mesh_mask = mask;
  return i;
}

Model& kind_model(EntityType type, int variant = 1) {
  if (!(global_entity_registry.info[type].flags & EntityInfoFlag_Loaded)) load_model_by_type(type);
  return game.entity_models[type].variants[variant - 1];
}

m4 placed(v2 pos) { return m4_translate(pos.x, pos.y, 0) * m4_scale_uniform(32); }

void draw_stage(std::vector<StageActor>& cast) {
  game.game_time.hour = 12;
  draw_clear(Color{{0.25f, 0.45f, 0.3f, 1}});
  clear_lights();
  add_light(v3{{0, -40, 40}}, Color{{1, 0.6f, 0.2f, 1}}, 120);
  update_lights();
  push_transform(renderer.vp);
  shadowmap_begin(v2{renderer.camera.target.x, renderer.camera.target.y});
  for (StageActor& a : cast) draw_model_shadowmap(*a.model, placed(a.pos), a.info);
  shadowmap_end();
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  use_shader(renderer.shaders.model);
  for (StageActor& a : cast) draw_model(*a.model, placed(a.pos), a.info);
  glUseProgram(0);
  pop_transform();
  gl_assert();
}

// Post-processes the frame; the resolved scene (before bloom) is read from the multisampled target's framebuffer.
std::vector<u8> resolved_scene() {
  push_transform(gl_test_screen_projection());
  post_process();
  pop_transform();
  return gl_test_read_window(renderer.msaa_fbo);
}

}  // namespace

TEST_F(ModelGl, TheCastDrawsLitShadowedAndAnimated) {
  game.models.character = load_model("assets", "character.glb");
  const int w = 480, h = 320;
  gl_test_resize(w, h);
  std::vector<StageActor> cast = {
      {&game.models.character, {-60, 0}, anim(AnimationType_Run, 0, 1 | 2)},
      {&kind_model(Entity_skeleton), {-20, 0}, anim(AnimationType_Attack, 0.6f)},
      {&kind_model(Entity_orc), {20, 0}, anim(AnimationType_Idle)},
      {&kind_model(Entity_stag), {65, 0}, anim(AnimationType_Run)},
      {&kind_model(Entity_frog), {-95, -40}, anim(AnimationType_Idle)},
      {&kind_model(Entity_birb), {-60, -45}, anim(AnimationType_Run)},
      {&kind_model(Entity_snake), {-20, -45}, anim(AnimationType_Run)},
      {&kind_model(Entity_wooden_chest), {20, -45}, anim(AnimationType_Open, 1)},
      {&kind_model(Entity_crate), {55, -45}, anim(AnimationType_None)},
      {&kind_model(Entity_cart), {100, -30}, anim(AnimationType_Run)},
      {&kind_model(Entity_pine_tree), {-110, 50}, anim(AnimationType_None)},
      {&kind_model(Entity_palm_tree, 2), {-60, 60}, anim(AnimationType_None)},
      {&kind_model(Entity_apple_tree), {0, 60}, anim(AnimationType_None)},
      {&kind_model(Entity_berry_bush), {50, 45}, anim(AnimationType_None, 0, 3)},
      {&kind_model(Entity_wheat_crop), {95, 40}, anim(AnimationType_None, 0, 1 << 3)},
      {&kind_model(Entity_torch), {0, -70}, anim(AnimationType_Idle)},
      {&kind_model(Entity_rock, 3), {-100, -75}, anim(AnimationType_None)},
      {&kind_model(Entity_barrel), {60, -80}, anim(AnimationType_None)},
  };
  gl_test_aim_camera(v3{{0, 0, 10}}, 320);
  std::vector<u8> first, later;
  for (int frame = 0; frame < 12; frame++) {
    game.dt = 1.0f / 20;
    draw_stage(cast);
    std::vector<u8> scene = resolved_scene();
    if (frame == 0) first = scene;
    if (frame == 3) later = scene;
  }
  ASSERT_TRUE(gl_test_save_artifact("models_cast.png"));
  PictureStats stats = gl_test_picture_stats(gl_test_read_window());
  // A varied cast covering a good part of the stage.
  EXPECT_GT(stats.distinct, 60);
  EXPECT_GT(stats.covered, w * h / 8);
  // The running creatures move between frames.
  int changed = 0;
  for (size_t i = 0; i < first.size(); i += 4)
    if (abs(first[i] - later[i]) + abs(first[i + 1] - later[i + 1]) + abs(first[i + 2] - later[i + 2]) > 30) changed++;
  EXPECT_GT(changed, 50);
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
}

TEST_F(ModelGl, MeshMaskChoosesTheCropStage) {
  Model& crop = kind_model(Entity_carrot_crop);
  gl_test_aim_camera(v3{{0, 0, 8}}, 60);
  int covered[5];
  for (int stage = 0; stage < 5; stage++) {
    std::vector<StageActor> cast = {{&crop, {0, 0}, anim(AnimationType_None, 0, 1u << stage)}};
    draw_stage(cast);
    covered[stage] = gl_test_picture_stats(resolved_scene()).covered;
  }
  // A sprout covers less than the grown plant, and the mature plant less than the one ready to harvest.
  EXPECT_LT(covered[0], covered[2]);
  EXPECT_LT(covered[0], covered[3]);
}

TEST_F(ModelGl, ItemIconShowsTheItemOnTransparency) {
  Model& potion = kind_model(Entity_healing_potion);
  Texture icon;
  // Looking down the y axis at a potion half a tile high, framed to the icon.
  m4 mvp = m4_ortho(-0.3f, 0.3f, -0.05f, 0.45f, -1, 1) * m4_rotate_x(-pi / 2);
  generate_item_icon(icon, potion, mvp);
  gl_assert();
  ASSERT_EQ(icon.width, Icon_size);
  std::vector<f32> px(Icon_size * Icon_size * 4);
  glGetTextureImage(icon.id, 0, GL_RGBA, GL_FLOAT, (int)(px.size() * sizeof(f32)), px.data());
  auto at = [&](int x, int y) {
    return Color{{px[(y * Icon_size + x) * 4], px[(y * Icon_size + x) * 4 + 1], px[(y * Icon_size + x) * 4 + 2],
                  px[(y * Icon_size + x) * 4 + 3]}};
  };
  Color corner = at(2, Icon_size - 3);
  EXPECT_EQ(corner.a, 0);
  // The red body of the potion fills the lower middle.
  Color body = at(Icon_size / 2, Icon_size / 3);
  EXPECT_GT(body.a, 0.9f);
  EXPECT_GT(body.r, body.g + 0.2f);
  GLint fbo = -1;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
  EXPECT_EQ((u32)fbo, renderer.hdr_fbo);
  glDeleteTextures(1, &icon.id);
}
