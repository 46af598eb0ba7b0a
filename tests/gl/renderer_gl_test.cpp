// The renderer on a real (software) GL context: programs, targets, bloom and what the primitives put on screen.
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "app/client.hpp"
#include "render/font.hpp"
#include "ui/ui.hpp"
#include "gl_context.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "test_files.hpp"

namespace {

struct RendererGl : GlTest {
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    GlTest::SetUp();
    renderer.shader_dir = SHADER_DIR;
    renderer.camera.yaw = 0;
    renderer.camera.pitch = 0;
    push_transform(gl_test_screen_projection());
    renderer.vp = gl_test_screen_projection();
  }
  void TearDown() override {
    pop_transform();
    GlTest::TearDown();
  }
};

const Color BLACK = {{0, 0, 0, 1}};

f32 brightness(Color c) { return c.r + c.g + c.b; }

// Uses the prelude's constant and function and has no version line: alone it cannot compile.
const char* const NEEDS_PRELUDE =
    "layout(location = 0) out vec4 c;\nvoid main() { c = vec4(sun_light(vec3(0, 0, 1)) * PI); }\n";

// A scratch shader folder with the real prelude and whatever sources a test adds.
struct ShaderFolder {
  TempDir folder;
  const char* dir = folder.path.c_str();
  ShaderFolder() {
    write("light.frag", read_text(std::string(SHADER_DIR) + "/light.frag"));
    write("plain.vert", "#version 450 core\nvoid main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n");
    write("needs_prelude.frag", NEEDS_PRELUDE);
    write("broken.frag", "layout(location = 0) out vec4 c;\nvoid main() { c = undefined_thing; }\n");
  }
  void write(const char* name, const std::string& text) { write_text(std::string(dir) + "/" + name, text); }
};

}  // namespace

// --- programs

TEST_F(RendererGl, AllProgramsBuild) {
  // Every program of the table is listed once and linked.
  const ShadersInfo& info = renderer.shaders_info;
  ASSERT_EQ(info.nshaders, (int)(sizeof(Shaders) / sizeof(Shader)));
  for (int i = 0; i < info.nshaders; i++) {
    EXPECT_TRUE(glIsProgram(info.list[i]->program)) << info.list[i]->name;
    EXPECT_TRUE(info.list[i] >= &renderer.shaders.sprite && info.list[i] <= &renderer.shaders.composite);
    for (int j = 0; j < i; j++) EXPECT_NE(info.list[i], info.list[j]) << info.list[i]->name;
  }
  EXPECT_EQ(info.broken_shader, nullptr);

  Shaders& sh = renderer.shaders;
  struct Lookup {
    const char* what;
    int loc;
  } lookups[] = {
      {"sprite.sampler", sh.sprite.sampler_loc},
      {"sprite.flip", sh.sprite.flip_loc},
      {"rect.gradient", sh.rect.gradient_loc},
      {"hit.angle", sh.hit.angle_loc},
      {"flames.gradient", sh.flames.gradient_loc},
      {"blur.flip", sh.blur.flip_loc},
      {"blur.viewport", sh.blur.viewport_loc},
      {"sphere.model", sh.sphere.model_loc},
      {"stars.mvp", sh.stars.mvp_loc},
      {"instanced.time", sh.instanced.time_loc},
      {"tile.shadow", sh.tile.shadow_loc},
      {"model.joint_transforms", sh.model.joint_transforms_loc},
      {"model.opacity", sh.model.opacity_loc},
      {"shadowmap.alpha_threshold", sh.shadowmap.alpha_threshold_loc},
  };
  // Uniforms that no picture below would miss; the tints, the slash's sector and the vision radius are seen there.
  for (const Lookup& l : lookups) EXPECT_GE(l.loc, 0) << l.what;
  EXPECT_EQ(sh.rect.joint_transforms_loc, -1);

  // The light table sits at fixed locations in both lit programs.
  for (Shader* s : {&sh.model, &sh.tile}) {
    EXPECT_EQ(glGetUniformLocation(s->program, "lights[0].type"), 42) << s->name;
    EXPECT_EQ(glGetUniformLocation(s->program, "lights[0].radius"), 45) << s->name;
    EXPECT_EQ(glGetUniformLocation(s->program, "lights[7].radius"), 73) << s->name;
  }
  clear_lights();
  add_light(v3{{1, 2, 3}}, Color{{1, 0.5f, 0.25f, 1}}, 64);
  update_lights();
  f32 color[3] = {};
  glGetUniformfv(sh.tile.program, 44, color);
  EXPECT_EQ(color[1], 0.5f);

  GLuint block = glGetUniformBlockIndex(sh.test.program, "TransformBlock");
  GLint binding = -1;
  glGetActiveUniformBlockiv(sh.test.program, block, GL_UNIFORM_BLOCK_BINDING, &binding);
  EXPECT_EQ(binding, TEST_UNIFORM_BINDING);
}

TEST_F(RendererGl, AFragmentFileThatNeedsThePreludeBuildsAndAFailedRebuildKeepsTheOldProgram) {
  GLuint alone = glCreateShader(GL_FRAGMENT_SHADER);
  glShaderSource(alone, 1, &NEEDS_PRELUDE, nullptr);
  glCompileShader(alone);
  GLint ok = 1;
  glGetShaderiv(alone, GL_COMPILE_STATUS, &ok);
  EXPECT_FALSE(ok);
  glDeleteShader(alone);
  ShaderFolder folder;
  renderer.shader_dir = folder.dir;
  Shader s = {};
  s.name = "rebuilt";
  ASSERT_TRUE(reload_shader(s, "plain.vert", "needs_prelude.frag"));  // behind the prelude it builds
  u32 first = s.program;
  EXPECT_TRUE(glIsProgram(first));
  EXPECT_FALSE(reload_shader(s, "plain.vert", "broken.frag"));
  EXPECT_EQ(s.program, first);
  EXPECT_TRUE(glIsProgram(first));
  EXPECT_EQ(renderer.shaders_info.broken_shader, &s);
  EXPECT_TRUE(reload_shader(s, "plain.vert", "needs_prelude.frag"));
  EXPECT_NE(s.program, first);
  EXPECT_EQ(renderer.shaders_info.broken_shader, nullptr);
  glDeleteProgram(s.program);
}

// The child process builds only the one program, on a bare context.
TEST(RendererGlStartUp, ABrokenProgramOnFirstBuildEndsStartUp) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ShaderFolder folder;
  renderer.shader_dir = folder.dir;
  Shader s = {};
  s.name = "broken";
  EXPECT_EXIT(
      {
        gl_test_bare_context();
        reload_shader(s, "plain.vert", "needs_prelude.frag");  // builds: the folder and context are sound
        s.program = 0;
        reload_shader(s, "plain.vert", "broken.frag");
      },
      testing::KilledBySignal(SIGABRT), "");
  EXPECT_EXIT(
      {
        gl_test_bare_context();
        reload_shader(s, "missing.vert", "needs_prelude.frag");
      },
      testing::KilledBySignal(SIGABRT), "");
  renderer.shader_dir = SHADER_DIR;
}

// --- targets and bloom

TEST_F(RendererGl, ClearFillsTheSceneAndBlacksTheBrightnessAttachment) {
  const Color c = {{0.25f, 0.5f, 0.75f, 1}};
  draw_clear(c);
  // A plain draw afterwards writes the scene only.
  draw_rect(Rect{100, 60, 40, 30}, Color{{1, 1, 1, 1}});
  // Depth was cleared to 1: a rectangle just in front of the far plane still passes the depth test.
  glEnable(GL_DEPTH_TEST);
  push_transform(gl_test_screen_projection() * m4_translate(0, 0, -0.99f));
  draw_rect(Rect{10, 60, 20, 20}, Color{{0, 1, 0, 1}});
  pop_transform();
  post_process();
  struct Probe {
    int x, y;
    Color scene;
  } probes[] = {{2, 2, c},
                {GL_TEST_WIDTH - 3, GL_TEST_HEIGHT - 3, c},
                {GL_TEST_WIDTH / 2, 5, c},
                {120, 75, {{1, 1, 1, 1}}},
                {20, 70, {{0, 1, 0, 1}}}};
  for (const Probe& p : probes) {
    EXPECT_TRUE(gl_test_colors_near(gl_test_texture_pixel(renderer.msaa_hdr_texture_id, p.x, p.y), p.scene))
        << p.x << "," << p.y;
    EXPECT_TRUE(gl_test_colors_near(gl_test_texture_pixel(renderer.msaa_brightness_texture_id, p.x, p.y), BLACK))
        << p.x << "," << p.y;
    EXPECT_TRUE(gl_test_colors_near(gl_test_window_pixel(p.x, p.y), p.scene, 0.01f)) << p.x << "," << p.y;
  }
}

TEST_F(RendererGl, PrimitivesLandWhereTheyShould) {
  static Texture checker = load_test_texture();
  draw_clear(BLACK);
  glDisable(GL_DEPTH_TEST);
  draw_rect(Rect{10, 10, 40, 20}, Color{{1, 0, 0, 1}});
  draw_circle(v2{100, 40}, 15, Color{{0, 1, 0, 1}});
  draw_texture(checker, Rect{0, 0, 2, 2}, Rect{150, 10, 40, 40}, Color{{1, 1, 1, 1}});
  draw_line(v2{10, 100.5f}, v2{200, 100.5f}, Color{{1, 1, 0, 1}});
  post_process();
  struct Probe {
    const char* what;
    int x, y;
    Color want;
  } probes[] = {
      {"rect inside", 30, 20, {{1, 0, 0, 1}}},
      {"rect top-left inside", 11, 11, {{1, 0, 0, 1}}},
      {"right of rect", 53, 20, BLACK},
      {"below rect", 30, 33, BLACK},
      {"circle centre", 100, 40, {{0, 1, 0, 1}}},
      {"circle near rim", 111, 40, {{0, 1, 0, 1}}},
      {"outside circle", 118, 40, BLACK},
      {"outside circle diagonal", 112, 52, BLACK},
      {"texture top-left", 160, 20, {{1, 0, 0, 1}}},
      {"texture top-right", 180, 20, {{0, 1, 0, 1}}},
      {"texture bottom-left", 160, 40, {{0, 0, 1, 1}}},
      {"texture bottom-right", 180, 40, {{1, 1, 1, 1}}},
      {"line", 100, 100, {{1, 1, 0, 1}}},
      {"beside line", 100, 103, BLACK},
  };
  for (const Probe& p : probes) EXPECT_TRUE(gl_test_colors_near(gl_test_window_pixel(p.x, p.y), p.want)) << p.what;
  glEnable(GL_DEPTH_TEST);
}

TEST_F(RendererGl, ASlashGlowsAndLeavesAHaloAfterPostProcessing) {
  draw_clear(BLACK);
  const v3 centre = {{120, 80, 0}};
  draw_slash(centre, v3{{40, 40, 0.5f}}, Color{{1, 0.6f, 0.1f, 0}}, 0, tau, 0.6f);
  post_process();
  EXPECT_EQ(renderer.blur_passes, 6);
  int ring_x = 120 + 34, halo_x = 120 + 46;
  EXPECT_GT(brightness(gl_test_texture_pixel(renderer.msaa_brightness_texture_id, ring_x, 80)), 0.5f);
  EXPECT_GT(brightness(gl_test_texture_pixel(renderer.msaa_hdr_texture_id, ring_x, 80)), 0.5f);
  // Beyond the ring the scene is black; the glow there comes from the blurred brightness alone.
  EXPECT_TRUE(gl_test_colors_near(gl_test_texture_pixel(renderer.msaa_hdr_texture_id, halo_x, 80), BLACK, 0.001f));
  EXPECT_GT(brightness(gl_test_texture_pixel(renderer.blur_texture_ids[1], halo_x, 80)), 0.01f);
  EXPECT_GT(brightness(gl_test_window_pixel(halo_x, 80)), 0.01f);
  // Far away nothing glows.
  EXPECT_TRUE(gl_test_colors_near(gl_test_window_pixel(5, 5), BLACK, 0.001f));
}

// The targets are made for the window and follow it when it grows (never past the cap); what lands in the
// new corner of a grown window still goes through the whole chain to the screen.
TEST_F(RendererGl, TargetsFollowTheWindowAndTheFrameStillDraws) {
  for (int side : {1, 63, 64, 65, 640, 4095, 4096, 5000}) {
    int t = render_target_side(side);
    EXPECT_GE(t, std::min(side, RENDER_TARGET_SIZE)) << side;
    EXPECT_LE(t, RENDER_TARGET_SIZE) << side;
    EXPECT_LT(t - side, RENDER_TARGET_STEP) << side;
  }
  const int before_w = renderer.target_width, before_h = renderer.target_height;
  ASSERT_LT(before_w, RENDER_TARGET_SIZE);
  const int w = before_w + 100, h = 200;
  gl_test_resize(w, h);
  ASSERT_EQ(renderer.window_width, w);
  EXPECT_GE(renderer.target_width, w);
  EXPECT_LT(renderer.target_width, w + RENDER_TARGET_STEP);
  // A side that did not grow keeps what it had.
  EXPECT_EQ(renderer.target_height, std::max(before_h, render_target_side(h)));
  GLint tw = 0;
  glGetTextureLevelParameteriv(renderer.blur_texture_ids[1], 0, GL_TEXTURE_WIDTH, &tw);
  EXPECT_EQ(tw, renderer.target_width);

  // Drawn in the grown window's own pixels.
  push_transform(gl_test_screen_projection());
  renderer.vp = gl_test_screen_projection();
  draw_clear(BLACK);
  const v3 centre = {{(f32)w - 40, 100, 0}};
  draw_slash(centre, v3{{30, 30, 0.5f}}, Color{{1, 0.6f, 0.1f, 0}}, 0, tau, 0.6f);
  post_process();
  pop_transform();
  EXPECT_GT(brightness(gl_test_window_pixel(w - 40 + 26, 100)), 0.3f);
  EXPECT_TRUE(gl_test_colors_near(gl_test_window_pixel(5, 5), BLACK, 0.001f));

  // Shrinking keeps the targets; a change of multisampling re-makes them.
  int grown = renderer.target_width;
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
  EXPECT_EQ(renderer.target_width, grown);
  renderer.settings.enable_msaa = !renderer.settings.enable_msaa;
  fit_render_targets();
  EXPECT_EQ(renderer.targets_msaa, renderer.settings.enable_msaa);
  renderer.settings.enable_msaa = !renderer.settings.enable_msaa;
  fit_render_targets();
  EXPECT_EQ(renderer.targets_msaa, renderer.settings.enable_msaa);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

// Low draws the scene into half-size targets and scales it up; what is drawn after (the UI) keeps the window's
// pixels, and Full gets its own targets back.
TEST_F(RendererGl, LowQualityScalesTheSceneUpAndKeepsTheUiSharp) {
  GLuint full_tile = renderer.shaders.tile.program;
  set_render_quality(RenderQuality_Low);
  // The lit programs are rebuilt with the level's limits compiled in.
  EXPECT_NE(renderer.shaders.tile.program, full_tile);
  EXPECT_EQ(renderer.shaders_info.broken_shader, nullptr);
  fit_render_targets();
  EXPECT_TRUE(scene_width() == GL_TEST_WIDTH / 2 && scene_height() == GL_TEST_HEIGHT / 2);
  EXPECT_TRUE(renderer.hdr_texture.width < GL_TEST_WIDTH && renderer.hdr_texture.height < GL_TEST_HEIGHT);
  EXPECT_LT(renderer.shadow_texture.width, SHADOW_MAP_SIZE);
  draw_clear(BLACK);
  glDisable(GL_DEPTH_TEST);
  draw_rect(Rect{40, 40, 80, 60}, Color{{1, 1, 1, 1}});  // window pixels, as the world's projection gives
  post_process();
  // Lit inside, dark outside, the edges within a couple of pixels of where they were drawn.
  const int probes[][3] = {{42, 42, 1},  {117, 97, 1}, {80, 70, 1}, {36, 70, 0},
                           {124, 70, 0}, {80, 36, 0},  {80, 104, 0}};
  for (const auto& p : probes)
    EXPECT_EQ(brightness(gl_test_window_pixel(p[0], p[1])) > 1.5f, p[2] == 1) << p[0] << "," << p[1];
  draw_rect(Rect{200, 20, 1, 40}, Color{{1, 0, 0, 1}});
  EXPECT_TRUE(gl_test_window_pixel(200, 40).r > 0.9f && gl_test_window_pixel(201, 40).r < 0.1f);
  EXPECT_TRUE(gl_test_save_artifact("low_quality_scale.png"));
  glEnable(GL_DEPTH_TEST);
  set_render_quality(RenderQuality_Full);
  fit_render_targets();
  EXPECT_TRUE(scene_width() == GL_TEST_WIDTH && renderer.hdr_texture.width == renderer.target_width);
  EXPECT_EQ(renderer.shadow_texture.width, SHADOW_MAP_SIZE);
}

TEST_F(RendererGl, EffectsDrawInAWorldViewWithoutErrors) {
  static ParticleSystem flames, smoke;
  gl_test_aim_camera(v3{{0, 0, 0}}, 200, 0.3f);
  push_transform(renderer.vp);
  draw_clear(BLACK);
  glDisable(GL_DEPTH_TEST);
  for (int frame = 0; frame < 3; frame++) draw_fire(v3{{0, 0, 0}}, v2{16, 32}, 1.0f / 60, flames, smoke);
  ASSERT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  draw_hit(v3{{-40, 0, 20}}, v3{{16, 16, 16}}, Color{{0.87f, 0.2f, 0, 1}}, 1, 0.5f);
  draw_instances(v2{40, 0}, Color{{1.5f, 1, 0.5f, 1}});
  draw_stars(m4_translate(0, 40, 30) * m4_rotate_x(pi / 2) * m4_scale(5, 8, 1));
  draw_sphere(v3{{0, -40, 10}}, v3{{10, 10, 10}}, Color{{0, 1, 0, 1}});
  draw_point(v3{{0, 0, 0}}, Color{{1, 1, 1, 1}}, 4);
  draw_triangle(v3{{0, 0, 0}}, v3{{10, 0, 0}}, v3{{0, 10, 0}}, Color{{1, 1, 1, 1}});
  draw_line_ex(v3{{0, 0, 0}}, v3{{0, 0, 30}}, Color{{1, 1, 1, 1}}, 2);
  draw_bbox(Bbox{{{-5, -5, 0}}, {{5, 5, 10}}}, Color{{1, 1, 1, 1}});
  draw_axis(m4_scale_uniform(10));
  draw_rect_billboard(v3{{0, -40, 30}}, v2{20, 4}, Color{{1, 0, 0, 1}}, v2{0, 0});
  draw_quad(v2{0, 0}, v2{20, 20}, renderer.shaders.sprint_aura);
  draw_tests();
  draw_cubemap();
  pop_transform();
  ASSERT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  post_process();
  // The fire writes the brightness attachment; somewhere on screen it must glow.
  static f32 pixels[GL_TEST_WIDTH * GL_TEST_HEIGHT * 4];
  glGetTextureSubImage(renderer.msaa_brightness_texture_id, 0, 0, 0, 0, GL_TEST_WIDTH, GL_TEST_HEIGHT, 1, GL_RGBA,
                       GL_FLOAT, sizeof(pixels), pixels);
  f32 brightest = 0;
  for (int i = 0; i < GL_TEST_WIDTH * GL_TEST_HEIGHT; i++) brightest = max(brightest, pixels[i * 4]);
  EXPECT_GT(brightest, 1.0f);
  glEnable(GL_DEPTH_TEST);
}

TEST_F(RendererGl, ShadowPassRestoresTheSceneTarget) {
  renderer.light_pos = {{-0.3f, -0.3f, 1.0f}};
  shadowmap_begin(v2{100, 200});
  EXPECT_EQ(renderer.last_shader, &renderer.shaders.shadowmap);
  shadowmap_end();
  GLint fbo = -1, viewport[4] = {};
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ((u32)fbo, renderer.hdr_fbo);
  EXPECT_EQ(viewport[2], GL_TEST_WIDTH);
  EXPECT_EQ(viewport[3], GL_TEST_HEIGHT);
  v4 c = renderer.light_vp * v4{{100, 200, 0, 1}};  // centred on the point given
  EXPECT_TRUE(fabsf(c.x) < 1e-4f && fabsf(c.y) < 1e-4f) << c.x << "," << c.y;
  glDisable(GL_CULL_FACE);
}

// --- the test screen

TEST_F(RendererGl, TestScreenScreenshot) {
  pop_transform();
  // A larger window for a legible picture; the targets are large enough for any window.
  const int w = 480, h = 320;
  gl_test_resize(w, h);
  ASSERT_EQ(renderer.window_width, w);
  for (int frame = 0; frame < 3; frame++) {
    game.dt = 1.0f / 60;
    renderer.time += game.dt;
    push_transform(gl_test_screen_projection());
    test_screen();
    post_process();
    pop_transform();
  }
  push_transform(gl_test_screen_projection());
  ASSERT_TRUE(gl_test_save_artifact("test_screen.png"));
  // Many primitives in many colours: a mostly uniform picture means the scene did not draw.
  PictureStats stats = gl_test_picture_stats(gl_test_read_window());
  EXPECT_GT(stats.distinct, 40);
  EXPECT_GT(stats.covered, w * h / 10);
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
}
