// The renderer's rules that need no GL context: transform stack, lights, particles, stars, meshes, sprite
// coordinates, the light camera and the debug-output policy.
#include <glad/gl.h>
#include <gtest/gtest.h>

#include "render/renderer.hpp"
#include "expect_near.hpp"

namespace {

struct RendererState : testing::Test {
  void SetUp() override {
    renderer.ntransforms = 0;
    push_transform(m4_identity());
    clear_lights();
    srand(7);
  }
  void TearDown() override { renderer.ntransforms = 0; }
};

m4 translation(f32 x) { return m4_translate(x, 0, 0); }

// A system that has never run: every particle is born on its first update.
ParticleSystem fresh_particles(v2 dim, v2 scale_range) {
  ParticleSystem ps = {};
  ps.dim = dim;
  ps.scale_range = scale_range;
  return ps;
}

}  // namespace

// --- transform stack

TEST_F(RendererState, TransformStackHoldsEightReplacingEntriesAboveAFixedBase) {
  EXPECT_DEATH(pop_transform(), "Assertion 'renderer.ntransforms > 1' failed");
  for (int i = 1; i < TRANSFORMS_MAX; i++) push_transform(translation((f32)i));
  // A push replaces the current transform instead of multiplying it.
  EXPECT_EQ(current_transform()._03, 7.0f);
  EXPECT_DEATH(push_transform(m4_identity()), "Assertion 'renderer.ntransforms < len\\(renderer.transforms\\)' failed");
  pop_transform();
  EXPECT_EQ(current_transform()._03, 6.0f);
  for (int i = 2; i < TRANSFORMS_MAX; i++) pop_transform();
  EXPECT_EQ(renderer.ntransforms, 1);
}

// --- lights

TEST_F(RendererState, LightTableTakesEightAndRefusesTheNinthUnchanged) {
  for (int i = 0; i < LIGHTS_MAX; i++) EXPECT_TRUE(add_light(v3{{(f32)i, 0, 0}}, Color{{1, 0.5f, 0.25f, 0.1f}}, 10));
  Light before[LIGHTS_MAX];
  memcpy(before, renderer.lights, sizeof(before));
  EXPECT_FALSE(add_light(v3{{99, 99, 99}}, Color{{1, 1, 1, 1}}, 50));
  EXPECT_EQ(renderer.nlights, LIGHTS_MAX);
  EXPECT_EQ(memcmp(before, renderer.lights, sizeof(before)), 0);

  clear_lights();
  EXPECT_EQ(renderer.nlights, 0);
  for (const Light& l : renderer.lights) EXPECT_EQ(l.type, 0);
  EXPECT_TRUE(add_light(v3{}, Color{{1, 1, 1, 1}}, 1));
}

TEST(RendererLights, AmbientFollowsTheHourOutsideDungeons) {
  // Grey light, full at noon, darker at night, dusk between the two, and underground one light all day,
  // darker than any hour outside.
  f32 dungeon = ambient_light_at(true, 12).x, noon = ambient_light_at(false, 12).x;
  EXPECT_FLOAT_EQ(noon, 1.0f);
  for (int hour = 0; hour < 24; hour++) {
    SCOPED_TRACE(hour);
    v3 a = ambient_light_at(false, hour);
    EXPECT_EQ(a.x, a.y);
    EXPECT_EQ(a.y, a.z);
    EXPECT_LE(a.x, noon);
    EXPECT_GT(a.x, dungeon);
    if (hour >= 19 && hour <= 21) {
      EXPECT_LT(a.x, noon) << "dusk";
      EXPECT_GT(a.x, ambient_light_at(false, 23).x) << "dusk";
    }
    EXPECT_EQ(ambient_light_at(true, hour).x, dungeon) << "no day underground";
    if (hour < 6 || hour > 21) {
      EXPECT_LT(a.x, noon) << "night is darker";
    }
  }
}

// --- particles

TEST_F(RendererState, TheFirst32OfAZeroedSystemAreBornEvenAtZeroDtThenStandStill) {
  ParticleSystem ps = fresh_particles({16, 32}, {1, 2});
  ps.particles[PARTICLES_SIMULATED].pos = {{42, 42, 42}};
  ParticleInstance out[PARTICLES_SIMULATED];
  particles_update(ps, 0, out);
  for (int i = 0; i < PARTICLES_SIMULATED; i++) {
    EXPECT_EQ(ps.particles[i].lifetime, 1.0f);
    EXPECT_GE(ps.particles[i].max_lifetime, 1.5f);
  }
  EXPECT_TRUE(ps.particles[PARTICLES_SIMULATED].pos.x == 42 && ps.particles[PARTICLES_SIMULATED].lifetime == 0);
  for (int i = 0; i < 10; i++) particles_update(ps, 1.0f / 60, out);
  ParticleSystem before = ps;
  particles_update(ps, 0, out);
  for (int i = 0; i < PARTICLES_SIMULATED; i++) {
    const Particle &p = ps.particles[i], &b = before.particles[i];
    EXPECT_EQ(memcmp(&p, &b, sizeof(p)), 0) << "particle " << i;
    EXPECT_EQ(out[i].pos.z, p.pos.z);
    EXPECT_EQ(out[i].lifetime, p.lifetime);
    EXPECT_EQ(out[i].scale, p.scale);
  }
}

TEST_F(RendererState, AParticleOfTwoSecondsDiesAfterTwoSecondsOfFrames) {
  ParticleSystem ps = fresh_particles({4, 4}, {1, 1});
  ParticleInstance out[PARTICLES_SIMULATED];
  particles_update(ps, 1.0f / 60, out);
  Particle& p = ps.particles[0];
  p.max_lifetime = 2;
  p.lifetime = 1;
  p.vel = {{0, 0, 0}};
  p.pos = {{100, 100, 100}};
  for (int frame = 0; frame < 119; frame++) particles_update(ps, 1.0f / 60, out);
  EXPECT_EQ(p.pos.x, 100.0f) << "died early";
  EXPECT_GT(p.lifetime, 0.0f);
  particles_update(ps, 1.0f / 60, out);
  particles_update(ps, 1.0f / 60, out);
  EXPECT_NE(p.pos.x, 100.0f) << "still alive after two seconds";
  EXPECT_LE(p.pos.x, 4.0f);
}

TEST_F(RendererState, SpawnsUseMinusDimXToDimYOnBothAxes) {
  ParticleSystem ps = fresh_particles({1, 3}, {0.9f, 1.1f});
  ParticleInstance out[PARTICLES_SIMULATED];
  f32 lo = 1e9f, hi = -1e9f;
  for (int round = 0; round < 200; round++) {
    for (Particle& p : ps.particles) p.lifetime = 0;
    particles_update(ps, 0, out);
    for (int i = 0; i < PARTICLES_SIMULATED; i++) {
      const Particle& p = ps.particles[i];
      for (f32 v : {p.pos.x, p.pos.y}) {
        ASSERT_GE(v, -1.0f);
        ASSERT_LE(v, 3.0f);
        lo = min(lo, v);
        hi = max(hi, v);
      }
      ASSERT_GE(p.pos.z, 3.0f);
      ASSERT_LE(p.pos.z, 7.0f);
      ASSERT_GE(p.vel.z, 3.0f);
      ASSERT_LE(p.vel.z, 11.0f);
      ASSERT_GE(p.max_lifetime, 1.5f);
      ASSERT_LE(p.max_lifetime, 3.0f);
      ASSERT_GE(p.scale, 0.9f);
      ASSERT_LE(p.scale, 1.1f);
      ASSERT_EQ(out[i].scale, p.scale);
    }
  }
  EXPECT_LT(lo, -0.9f);
  EXPECT_GT(hi, 2.9f);
}

// --- stars

TEST_F(RendererState, StarsDriftOutwardAgeAndRespawnOnTheRing) {
  v4 stars[2] = {{{1, 2, 3, 0.5f}}, {{0, 0, 0, -0.001f}}};
  stars_update(stars, 2);
  EXPECT_TRUE(stars[0].x > 1 && stars[0].z > 3 && stars[0].w < 0.5f);
  EXPECT_NEAR(sqrtf(stars[1].x * stars[1].x + stars[1].y * stars[1].y), 2.0f, 1e-4f);
  EXPECT_GT(stars[1].w, 0);
}

// --- meshes

TEST(RendererMeshes, UnitSphereIsClosedAndFacesOutwards) {
  static v3 vertices[2 * SPHERE_VERTICES];
  static u16 indices[SPHERE_INDICES];
  build_unit_sphere(vertices, indices);
  EXPECT_NEAR(vertices[0].z, 1.0f, 1e-6f);
  EXPECT_NEAR(vertices[2 * (SPHERE_VERTICES - 1)].z, -1.0f, 1e-6f);
  for (int v = 0; v < SPHERE_VERTICES; v++) {
    EXPECT_NEAR(v3_len(vertices[2 * v]), 1.0f, 1e-5f);
    EXPECT_NEAR(v3_len(vertices[2 * v + 1]), 1.0f, 1e-5f);
  }
  int outward = 0;
  for (int t = 0; t < SPHERE_INDICES; t += 3) {
    u16 a = indices[t], b = indices[t + 1], c = indices[t + 2];
    ASSERT_LT(a, SPHERE_VERTICES);
    ASSERT_LT(b, SPHERE_VERTICES);
    ASSERT_LT(c, SPHERE_VERTICES);
    v3 pa = vertices[2 * a], pb = vertices[2 * b], pc = vertices[2 * c];
    v3 n = v3_cross(pb - pa, pc - pa);
    ASSERT_GT(v3_len(n), 0.0f) << "degenerate triangle " << t / 3;
    if (v3_dot(n, pa + pb + pc) > 0) outward++;
  }
  // Counter-clockwise seen from outside, as culling expects.
  EXPECT_EQ(outward, SPHERE_INDICES / 3);
}

TEST(RendererMeshes, UnitCircleIsAClosedFan) {
  v2 points[CIRCLE_VERTICES];
  build_unit_circle(points);
  EXPECT_EQ(points[0].x, 0.0f);
  EXPECT_EQ(points[0].y, 0.0f);
  EXPECT_FLOAT_EQ(points[1].x, 1.0f);
  EXPECT_NEAR(points[CIRCLE_VERTICES - 1].x, 1.0f, 1e-6f);
  EXPECT_NEAR(points[CIRCLE_VERTICES - 1].y, 0.0f, 1e-5f);
  for (int i = 1; i < CIRCLE_VERTICES; i++) EXPECT_NEAR(v2_len(points[i]), 1.0f, 1e-6f);
  EXPECT_NEAR(points[9].x, 0.0f, 1e-6f);  // a quarter turn after 8 segments
  EXPECT_NEAR(points[9].y, 1.0f, 1e-6f);
}

TEST(RendererMeshes, SpriteCornersTakeTheSourceRectangle) {
  Vertex v[6];
  sprite_quad_vertices(v, 64, 32, Rect{32, 8, 32, 16});
  // Each corner of the unit quad samples the matching corner of the source rectangle.
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].tex_coord.x, 0.5f + 0.5f * v[i].pos.x) << i;
    EXPECT_FLOAT_EQ(v[i].tex_coord.y, 0.25f + 0.5f * v[i].pos.y) << i;
  }
  EXPECT_TRUE(v2_equal(v[0].pos, {0, 0}) && v2_equal(v[1].pos, {1, 0}) && v2_equal(v[2].pos, {1, 1}));
  EXPECT_TRUE(v2_equal(v[3].pos, {0, 0}) && v2_equal(v[4].pos, {1, 1}) && v2_equal(v[5].pos, {0, 1}));
}

// --- passes

TEST(RendererPasses, ShadowSquareFollowsThePlayer) {
  v3 sun = {{-0.3f, -0.3f, 1.0f}};
  for (v2 centre : {v2{0, 0}, v2{1000, 2000}}) {
    m4 vp = shadow_light_vp(centre, sun);
    auto clip = [&](v2 offset) { return vp * v4{{centre.x + offset.x, centre.y + offset.y, 0, 1}}; };
    v4 c = clip({0, 0});
    EXPECT_TRUE(near(v2{c.x, c.y}, {0, 0}, 1e-4f));
    EXPECT_LT(fabsf(c.z), 1.0f);
    for (v2 inside : {v2{400, 0}, v2{0, 400}, v2{-400, 0}, v2{0, -400}}) {
      v4 p = clip(inside);
      EXPECT_LE(fabsf(p.x), 1.0f);
      EXPECT_LE(fabsf(p.y), 1.0f);
    }
    for (v2 outside : {v2{600, 0}, v2{0, 600}, v2{-600, 0}, v2{0, -600}}) {
      v4 p = clip(outside);
      EXPECT_GT(max(fabsf(p.x), fabsf(p.y)), 1.0f);
    }
  }
}

// --- debug output

TEST(RendererDebugOutput, HighSeverityStopsExceptCompilerMessages) {
  gl_debug_message_callback(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_PERFORMANCE, 7, GL_DEBUG_SEVERITY_MEDIUM, 0, "slow",
                            nullptr);
  gl_debug_message_callback(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, 8, GL_DEBUG_SEVERITY_NOTIFICATION, 0, "note",
                            nullptr);
  gl_debug_message_callback(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_ERROR, 9, GL_DEBUG_SEVERITY_HIGH, 0,
                            "syntax error", nullptr);
  EXPECT_DEATH(gl_debug_message_callback(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH, 0,
                                         "bad enum", nullptr),
               "gl: \\[API ERROR HIGH\\] 1282: bad enum\nPANIC: gl error");
}

// The renderer strings that GL drivers report: only those that run the shaders on the CPU start low.
TEST(RendererQuality, SoftwareRenderersStartAtTheLowerLevel) {
  struct Case {
    const char* name;
    bool software;
  } cases[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"softpipe", true},
      {"Mesa X11 swrast", true},
      {"Apple Software Renderer", true},
      {"GDI Generic", true},
      {"D3D12 (Microsoft Basic Render Driver)", true},
      {"NVIDIA GeForce RTX 3080/PCIe/SSE2", false},
      {"AMD Radeon RX 6800 (navi21, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"", false},
      {nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    EXPECT_EQ(gl_renderer_is_software(c.name), c.software);
    EXPECT_EQ(default_render_quality(gl_renderer_is_software(c.name)),
              c.software ? RenderQuality_Low : RenderQuality_Full);
  }
}

// Full keeps the designed frame; Low is cheaper in every dial, and its bloom reaches about as far in window
// pixels (each pass spreads 6.5 texels of its target) so the glow keeps its size.
TEST(RendererQuality, LowerLevelIsCheaperAndKeepsTheGlowSize) {
  RendererSettings saved = renderer.settings;
  set_render_quality(RenderQuality_Full);
  EXPECT_TRUE(renderer.settings.enable_msaa);
  EXPECT_EQ(bloom_blur_passes(RenderQuality_Full), 6);
  EXPECT_EQ(bloom_divisor(RenderQuality_Full), 1);
  EXPECT_EQ(lights_budget(RenderQuality_Full), LIGHTS_MAX);
  set_render_quality(RenderQuality_Low);
  EXPECT_FALSE(renderer.settings.enable_msaa);
  EXPECT_LT(bloom_blur_passes(RenderQuality_Low), bloom_blur_passes(RenderQuality_Full));
  EXPECT_GT(bloom_divisor(RenderQuality_Low), 1);
  EXPECT_LT(lights_budget(RenderQuality_Low), LIGHTS_MAX);
  EXPECT_LT(shadow_taps(RenderQuality_Low), shadow_taps(RenderQuality_Full));
  auto reach = [](RenderQuality q) { return bloom_blur_passes(q) / 2 * bloom_divisor(q); };
  EXPECT_GE(reach(RenderQuality_Low) * 3, reach(RenderQuality_Full));
  EXPECT_LE(bloom_blur_passes(RenderQuality_Full), RenderPass_Composite - RenderPass_Blur0);
  renderer.settings = saved;
}
