// Text and terrain on a real (software) GL context: glyphs where the measure says, the ground drawn through
// the camera, the grid overlay, locations of changing size and the world map texture.
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <string>
#include <vector>

#include "app/client.hpp"
#include "render/font.hpp"
#include "gl_context.hpp"
#include "render/renderer.hpp"
#include "render/terrain.hpp"
#include "ui/ui.hpp"

namespace {

const Color BLACK = {{0, 0, 0, 1}};
const Color WHITE = {{1, 1, 1, 1}};

struct Pixels {
  int w = 0, h = 0;
  std::vector<u8> rgba;
  // Origin top-left, as the window shows it.
  const u8* at(int x, int y) const { return &rgba[(size_t)(4 * ((h - 1 - y) * w + x))]; }
};

Pixels read_window() { return {renderer.window_width, renderer.window_height, gl_test_read_window()}; }

bool lit(const u8* p) { return p[0] + p[1] + p[2] > 120; }

struct TextTerrainGl : GlTest {
  void SetUp() override {
    GlTest::SetUp();
    ui.scale = 1;
    ui.line_height = renderer.font_pixel_height;
    ui.draw_grid = false;
  }
};

TEST_F(TextTerrainGl, DrawnTextCoversTheMeasuredBoxAndNothingElse) {
  struct Case {
    v2 pos, anchor;
    f32 font_size;
    const char* text;
  } cases[] = {
      {{20, 30}, {0, 0}, 0, "Hello, Mir!"},
      {{230, 100},
       {1, 0},
       1,
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE2\x84\x96"
       "5"},
      {{120, 80}, {0.5f, 0.5f}, 0, "centred"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    gl_test_begin_overlay(gl_test_screen_projection());
    Style style;
    style.pos = c.pos;
    style.anchor = c.anchor;
    style.font_size = c.font_size;
    style.color = WHITE;
    Rect r = measure_string(style, c.text);
    v2 advance = draw_string(style, c.text);
    gl_test_end_overlay();
    EXPECT_FLOAT_EQ(advance.y, ui.line_height);
    EXPECT_FLOAT_EQ(advance.x * ui.scale, r.w);
    Pixels px = read_window();
    int inside = 0, outside = 0, left_quarter = 0, right_quarter = 0;
    for (int y = 0; y < px.h; y++)
      for (int x = 0; x < px.w; x++) {
        if (!lit(px.at(x, y))) continue;
        bool in = x >= r.x - 2 && x <= r.x + r.w + 2 && y >= r.y - 2 && y <= r.y + r.h + 2;
        (in ? inside : outside)++;
        if (in && x < r.x + r.w / 4) left_quarter++;
        if (in && x > r.x + r.w * 3 / 4) right_quarter++;
      }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, (int)(r.w * r.h * 0.08f));
    EXPECT_GT(left_quarter, 5);
    EXPECT_GT(right_quarter, 5);
  }
}

TEST_F(TextTerrainGl, EmptyAndOverlongStringsDrawSafely) {
  gl_test_begin_overlay(gl_test_screen_projection());
  Style style;
  style.pos = {10, 10};
  v2 empty = draw_string(style, "");
  std::string longer(400, 'x');
  v2 cut = draw_string(style, Str(longer.c_str(), (int)longer.size()));
  gl_test_end_overlay();
  EXPECT_EQ(empty.x, 0);
  // The staging array holds 170 glyphs; the rest of the line is dropped, not a crash.
  EXPECT_FLOAT_EQ(cut.x, 170 * renderer.ascii_char_data['x' - 32].xadvance);
}

// Window pixel of a ground point under the current camera.
v2 to_window(v2 world) {
  v4 p = renderer.vp * v4{world.x, world.y, 0, 1};
  return {(p.x / p.w + 1) / 2 * (f32)renderer.window_width, (1 - p.y / p.w) / 2 * (f32)renderer.window_height};
}

struct TestLocation {
  std::vector<TileType> tiles;
  Location location = {};
  TestLocation(int w, int h, TileType fill, v2 offset = {}) : tiles((size_t)(w * h), fill) {
    location.width = w;
    location.height = h;
    location.offset = offset;
    location.size = {w * tile_size, h * tile_size};
    location.tiles = tiles.data();
  }
  void fill(int x0, int y0, int x1, int y1, TileType t) {
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) tiles[(size_t)(x + location.width * y)] = t;
  }
  // A point inside the tile away from where four corner quads meet.
  v2 tile_centre(int x, int y) const { return location.offset + v2{(x + 0.3f) * tile_size, (y + 0.3f) * tile_size}; }
};

// The world pass as the world screen runs it for the ground.
void draw_ground(TestLocation& t, v3 target, f32 zoom = 1, f32 pitch = pi / 4, const Light* light = nullptr) {
  reset_camera();
  renderer.camera.target = target;
  renderer.camera.zoom = zoom;
  renderer.camera.pitch = pitch;
  renderer.vp = camera_update(renderer.camera, {(f32)renderer.window_width, (f32)renderer.window_height});
  game.game_time.hour = 12;
  clear_lights();
  if (light) add_light(light->pos, Color{{light->color.x, light->color.y, light->color.z, 1}}, light->radius);
  update_lights();
  // A light transform that puts every ground point outside the shadow map: all in sunlight.
  renderer.light_vp = m4_translate(5, 5, 5);
  renderer.light_vp._00 = renderer.light_vp._11 = renderer.light_vp._22 = 0;
  draw_clear(BLACK);
  push_transform(renderer.vp);
  glDisable(GL_BLEND);
  glDepthFunc(GL_ALWAYS);
  glEnable(GL_CULL_FACE);
  draw_tiles(t.location);
  glDisable(GL_CULL_FACE);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_BLEND);
  pop_transform();
  post_process();
}

enum Hue { Hue_Blue, Hue_Green, Hue_Sandy, Hue_Grey };

::testing::AssertionResult has_hue(const u8* p, Hue hue) {
  int r = p[0], g = p[1], b = p[2];
  bool ok = false;
  switch (hue) {
    case Hue_Blue: ok = b > r + 30 && b > g; break;
    case Hue_Green: ok = g > r + 15 && g > b + 15; break;
    case Hue_Sandy: ok = r > b + 40 && g > b + 20; break;
    case Hue_Grey: ok = abs(r - g) < 25 && abs(g - b) < 25 && r > 60; break;
  }
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "rgb " << r << " " << g << " " << b;
}

TEST_F(TextTerrainGl, SmallLocationDrawsEachKindWhereItLies) {
  const int w = 480, h = 320;
  gl_test_resize(w, h);
  TestLocation t(12, 8, TileType_Grass, {320, 640});
  t.fill(0, 0, 12, 2, TileType_DeepWater);
  t.fill(0, 2, 12, 3, TileType_Sand);
  t.fill(8, 4, 12, 8, TileType_StoneTiles);
  t.fill(2, 5, 4, 7, TileType_WoodenFloor);
  v2 centre = t.location.offset + t.location.size / 2;
  draw_ground(t, {centre.x, centre.y, 0});
  ASSERT_TRUE(gl_test_save_artifact("terrain.png"));
  Pixels px = read_window();
  struct Probe {
    int x, y;
    Hue hue;
  } probes[] = {{5, 0, Hue_Blue}, {6, 2, Hue_Sandy}, {5, 4, Hue_Green}, {10, 5, Hue_Grey}, {1, 7, Hue_Green}};
  for (const Probe& p : probes) {
    v2 s = to_window(t.tile_centre(p.x, p.y));
    ASSERT_TRUE(s.x >= 0 && s.x < w && s.y >= 0 && s.y < h) << p.x << "," << p.y;
    EXPECT_TRUE(has_hue(px.at((int)s.x, (int)s.y), p.hue))
        << "tile " << p.x << "," << p.y << " at " << s.x << "," << s.y;
  }
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
}

TEST_F(TextTerrainGl, BeyondTheVisionRadiusTheGroundDarkens) {
  TestLocation t(64, 64, TileType_Sand);
  v3 target = {16 * tile_size, 32 * tile_size, 0};
  // Straight down from far away, so the window spans well past the vision radius.
  draw_ground(t, target, 0.3f, 0);
  Pixels px = read_window();
  v2 near_px = to_window({target.x + 40, target.y});
  v2 far_px = to_window({target.x + 700, target.y});
  ASSERT_LT(far_px.x, renderer.window_width);
  const u8* n = px.at((int)near_px.x, (int)near_px.y);
  const u8* f = px.at((int)far_px.x, (int)far_px.y);
  EXPECT_GT(n[0] + n[1] + n[2], 2 * (f[0] + f[1] + f[2]));
  EXPECT_GT(f[0] + f[1] + f[2], 0);
}

TEST_F(TextTerrainGl, APointLightBrightensTheGroundWithinItsRadius) {
  TestLocation t(16, 16, TileType_Dirt);
  v2 centre = t.location.size / 2;
  v3 target = {centre.x, centre.y, 0};
  draw_ground(t, target);
  Pixels dark = read_window();
  Light light;
  light.pos = {centre.x + 64, centre.y, 20};
  light.color = {{0.8f, 0.2f, 0.1f}};
  light.radius = 96;
  draw_ground(t, target, 1, pi / 4, &light);
  Pixels lit_px = read_window();
  v2 under = to_window({centre.x + 64, centre.y});
  v2 away = to_window({centre.x - 120, centre.y});
  const u8* a = dark.at((int)under.x, (int)under.y);
  const u8* b = lit_px.at((int)under.x, (int)under.y);
  EXPECT_GT(b[0], a[0] + 20);  // reddish light adds mostly red
  EXPECT_GT(b[0] - a[0], b[2] - a[2]);
  const u8* c = dark.at((int)away.x, (int)away.y);
  const u8* d = lit_px.at((int)away.x, (int)away.y);
  EXPECT_NEAR(c[0], d[0], 2);
}

TEST_F(TextTerrainGl, GridOverlayDrawsYellowLinesOverTheGround) {
  TestLocation t(8, 6, TileType_DeepWater);
  auto yellow_pixels = [&]() {
    Pixels px = read_window();
    int n = 0;
    for (int i = 0; i < px.w * px.h; i++) {
      const u8* p = &px.rgba[(size_t)(4 * i)];
      n += p[0] > 60 && p[1] > 60 && p[2] < p[0] / 2;
    }
    return n;
  };
  v2 centre = t.location.size / 2;
  draw_ground(t, {centre.x, centre.y, 0});
  int without = yellow_pixels();
  ui.draw_grid = true;
  draw_ground(t, {centre.x, centre.y, 0});
  ui.draw_grid = false;
  int with = yellow_pixels();
  EXPECT_EQ(without, 0);
  EXPECT_GT(with, 200);
}

TEST_F(TextTerrainGl, LocationsOfAnotherSizeRebuildTheBuffersAndLargeOnesUseWideIndices) {
  // 200 x 100 tiles: 80 000 vertices, beyond what 16-bit indices reach.
  TestLocation big(200, 100, TileType_Grass);
  big.fill(180, 90, 200, 100, TileType_ShallowWater);
  prepare_tiles(200, 100);
  v2 far_corner = big.tile_centre(190, 95);
  draw_ground(big, {far_corner.x, far_corner.y, 0});
  EXPECT_EQ(renderer.tiles_index_type, (u32)GL_UNSIGNED_INT);
  EXPECT_EQ(renderer.tiles_vertices_size, 200LL * 100 * 96);
  Pixels px = read_window();
  v2 s = to_window(far_corner);
  EXPECT_TRUE(has_hue(px.at((int)s.x, (int)s.y), Hue_Blue));

  // Then a small dungeon: the buffers follow it down again.
  TestLocation small(6, 5, TileType_Sand, {-96, -96});
  prepare_tiles(6, 5);
  v2 c = small.tile_centre(3, 2);
  draw_ground(small, {c.x, c.y, 0});
  EXPECT_EQ(renderer.tiles_index_type, (u32)GL_UNSIGNED_SHORT);
  EXPECT_EQ(renderer.tiles_vertices_size, 6LL * 5 * 96);
  px = read_window();
  s = to_window(c);
  EXPECT_TRUE(has_hue(px.at((int)s.x, (int)s.y), Hue_Sandy));
}

void append_bytes(void* context, void* data, int size) {
  auto* out = (std::vector<u8>*)context;
  out->insert(out->end(), (u8*)data, (u8*)data + size);
}

TEST_F(TextTerrainGl, WorldMapBecomesATextureOfTileColours) {
  struct Case {
    int w, h;
    std::vector<u8> tiles;
  } cases[] = {
      {2, 1, {TileType_Soil, TileType_Grass}},
      // Odd row lengths: three-byte texels whose rows are not 4-byte aligned.
      {3, 2, {TileType_DeepWater, TileType_Sand, TileType_Soil, 200, TileType_Grass, TileType_Dirt}},
  };
  // The screenshot helper turns the writer's rows upside down; maps are written as they lie.
  stbi_flip_vertically_on_write(0);
  for (const Case& c : cases) {
    std::vector<u8> png;
    ASSERT_TRUE(stbi_write_png_to_func(append_bytes, &png, c.w, c.h, 1, c.tiles.data(), c.w));
    WorldMap map;
    ASSERT_TRUE(load_world_map(png.data(), (int)png.size(), &map));
    ASSERT_NE(map.texture.id, 0u);
    EXPECT_EQ(map.texture.width, c.w);
    EXPECT_EQ(map.texture.height, c.h);
    std::vector<f32> texels((size_t)(c.w * c.h * 3));
    glGetTextureImage(map.texture.id, 0, GL_RGB, GL_FLOAT, (GLsizei)(texels.size() * sizeof(f32)), texels.data());
    for (int i = 0; i < c.w * c.h; i++) {
      u32 color = c.tiles[(size_t)i] < TileType_count ? tile_color((TileType)c.tiles[(size_t)i]) : 0;
      EXPECT_NEAR(texels[(size_t)(3 * i + 0)], ((color >> 16) & 255) / 255.0f, 1e-3) << i;
      EXPECT_NEAR(texels[(size_t)(3 * i + 1)], ((color >> 8) & 255) / 255.0f, 1e-3) << i;
      EXPECT_NEAR(texels[(size_t)(3 * i + 2)], (color & 255) / 255.0f, 1e-3) << i;
    }
    world_map_free(&map);
    EXPECT_EQ(map.texture.id, 0u);
  }
}

TEST_F(TextTerrainGl, BillboardTextStandsCentredOverItsAnchorAtAnySize) {
  reset_camera();
  renderer.camera.target = {0, 0, 0};
  renderer.vp = camera_update(renderer.camera, {(f32)renderer.window_width, (f32)renderer.window_height});
  v2 anchor = to_window({0, 0});
  for (f32 size : {3.0f, 5.0f}) {
    SCOPED_TRACE(size);
    gl_test_begin_overlay(renderer.vp);
    f32 h = draw_text_billboard({0, 0}, {0, 20}, size, WHITE, "%d hp", 123);
    gl_test_end_overlay();
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&renderer.font_info, &ascent, &descent, &gap);
    EXPECT_FLOAT_EQ(h, renderer.font_scale * (f32)(ascent - descent + gap));
    Pixels px = read_window();
    int n = 0, min_y = px.h, max_y = 0;
    f32 sum_x = 0;
    for (int y = 0; y < px.h; y++)
      for (int x = 0; x < px.w; x++)
        if (lit(px.at(x, y))) n++, sum_x += (f32)x, min_y = min(min_y, y), max_y = max(max_y, y);
    ASSERT_GT(n, 20);
    // Centred on the anchor across the screen, and standing above it, lifted by the offset.
    EXPECT_NEAR(sum_x / (f32)n, anchor.x, 3);
    EXPECT_LT(max_y, anchor.y);
  }
}

}  // namespace
