// Terrain mesh building and its buffers, without a GL context.
#include <gtest/gtest.h>

#include <vector>

#include "render/camera.hpp"
#include "render/renderer.hpp"
#include "render/terrain.hpp"
#include "expect_near.hpp"

// The generated atlas: 8 blocks of 4 x 5 cells a row, three block rows for the 22 kinds.
static const v2 atlas = {2048, 960};

struct TestMap {
  int width, height;
  std::vector<TileType> tiles;
  Location location = {};
  std::vector<TileVertex> vertices;

  TestMap(int w, int h, TileType fill, v2 offset = {}) : width(w), height(h), tiles((size_t)(w * h), fill) {
    location.width = w;
    location.height = h;
    location.offset = offset;
    location.size = {w * tile_size, h * tile_size};
  }
  void set(int x, int y, int t) { tiles[(size_t)(x + width * y)] = (TileType)t; }
  void build() {
    location.tiles = tiles.data();
    vertices.assign((size_t)(width * height * 4), TileVertex{{-1, -1}, {-1, -1}, {-1, -1}});
    terrain_build_mesh(location, atlas, vertices.data());
  }
  const TileVertex* quad(int x, int y) const { return &vertices[(size_t)(4 * (x + width * y))]; }
  // The atlas cell a quad's texture coordinates point into.
  TileCell cell(int x, int y) const { return cell_of(quad(x, y)[0].tex_coord); }
  TileCell bg_cell(int x, int y) const { return cell_of(quad(x, y)[0].bg_coord); }
  static TileCell cell_of(v2 uv) {
    return {(int)floorf(uv.x * atlas.x / TILE_ATLAS_CELL), (int)floorf(uv.y * atlas.y / TILE_ATLAS_CELL)};
  }
};

static TileCell block_cell(TileType kind, TileCell in_block) {
  int index = get_tile_index(kind);
  return {4 * (index % 8) + in_block.col, 5 * (index / 8) + in_block.row};
}

static const TileCell variant_cells[6] = {{0, 0}, {0, 1}, {0, 4}, {3, 0}, {3, 1}, {3, 4}};

static int variant_of(TileType kind, TileCell cell) {
  for (int k = 0; k < 6; k++) {
    TileCell c = block_cell(kind, variant_cells[k]);
    if (c.col == cell.col && c.row == cell.row) return k;
  }
  return -1;
}

TEST(TerrainMesh, UniformLocationShowsOnlyVariantsThatFollowThePositionAndTheOffset) {
  TestMap map(16, 16, TileType_Grass);
  map.build();
  int seen[6] = {};
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      int k = variant_of(TileType_Grass, map.cell(x, y));
      ASSERT_GE(k, 0) << x << "," << y;
      EXPECT_EQ(k, terrain_variant((f32)x, (f32)y));
      seen[k]++;
      TileCell bg = map.bg_cell(x, y);
      EXPECT_EQ(bg.col, 0);
      EXPECT_EQ(bg.row, 0);
    }
  for (int k = 0; k < 6; k++) EXPECT_GT(seen[k], 256 / 6 / 3) << "variant " << k;

  // Moving the location by three tiles east and two north moves the pattern with it.
  TestMap moved(16, 16, TileType_Grass, {3 * tile_size, -2 * tile_size});
  moved.build();
  for (int y = 2; y < 16; y++)
    for (int x = 0; x < 13; x++) {
      TileCell a = moved.cell(x, y), b = map.cell(x + 3, y - 2);
      EXPECT_EQ(a.col, b.col);
      EXPECT_EQ(a.row, b.row);
    }
}

TEST(TerrainMesh, BorderCornersAreFullTilesUnlessTheBorderRowChangesKind) {
  TestMap map(4, 4, TileType_Grass);
  for (int x = 0; x < 4; x++) map.set(x, 0, TileType_Sand);
  map.build();
  struct Case {
    int x, y;
    TileType kind;
    int mask;  // 0: a full tile
  } cases[] = {
      {0, 0, TileType_Sand, 0},  {3, 0, TileType_Sand, 0},  {0, 1, TileType_Grass, 3},
      {2, 1, TileType_Grass, 3}, {0, 2, TileType_Grass, 0}, {0, 3, TileType_Grass, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    TileCorner corner = terrain_corner(map.tiles.data(), 4, 4, c.x, c.y);
    EXPECT_EQ(corner.top, c.kind);
    EXPECT_EQ(corner.mask, c.mask);
    if (c.mask == 0) {
      EXPECT_GE(variant_of(c.kind, map.cell(c.x, c.y)), 0);
    } else {
      TileCell expected;
      ASSERT_TRUE(terrain_mask_cell(c.mask, &expected));
      TileCell got = map.cell(c.x, c.y), want = block_cell(c.kind, expected);
      EXPECT_EQ(got.col, want.col);
      EXPECT_EQ(got.row, want.row);
    }
  }
}

TEST(TerrainMesh, SingleGrassTileInSandTakesFourGrassPiecesOverSand) {
  TestMap map(5, 5, TileType_Sand);
  map.set(2, 2, TileType_Grass);
  map.build();
  struct Case {
    int x, y, mask;
    TileCell cell;
  } cases[] = {{2, 2, 7, {1, 0}}, {3, 2, 11, {2, 0}}, {2, 3, 13, {1, 4}}, {3, 3, 14, {2, 4}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    TileCorner corner = terrain_corner(map.tiles.data(), 5, 5, c.x, c.y);
    EXPECT_EQ(corner.top, TileType_Grass);
    EXPECT_EQ(corner.low, TileType_Sand);
    EXPECT_EQ(corner.mask, c.mask);
    TileCell got = map.cell(c.x, c.y);
    EXPECT_EQ(got.col, c.cell.col);  // the Grass block is the first
    EXPECT_EQ(got.row, c.cell.row);
    TileCell bg = map.bg_cell(c.x, c.y);
    EXPECT_EQ(bg.col, 4);
    EXPECT_EQ(bg.row, 0);
  }
  // Every other corner is plain Sand.
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 5; x++) {
      if (x >= 2 && x <= 3 && y >= 2 && y <= 3) continue;
      EXPECT_GE(variant_of(TileType_Sand, map.cell(x, y)), 0) << x << "," << y;
    }
}

TEST(TerrainMesh, EveryMaskHasItsOwnCellAndNoneForFullOrImpossible) {
  TileCell cells[16];
  for (int m = 1; m < 15; m++) ASSERT_TRUE(terrain_mask_cell(m, &cells[m])) << m;
  TileCell unused;
  EXPECT_FALSE(terrain_mask_cell(0, &unused));
  EXPECT_FALSE(terrain_mask_cell(15, &unused));
  // Fourteen edge pieces and six variants fill the 4 x 5 block exactly once.
  int used[4][5] = {};
  for (int m = 1; m < 15; m++) used[cells[m].col][cells[m].row]++;
  for (const TileCell& v : variant_cells) used[v.col][v.row]++;
  for (int c = 0; c < 4; c++)
    for (int r = 0; r < 5; r++) EXPECT_EQ(used[c][r], 1) << c << "," << r;
}

TEST(TerrainMesh, CornersOverKindsAboveSix) {
  TestMap map(2, 2, TileType_Grass);
  map.set(0, 0, TileType_StoneTiles);   // upper-left
  map.set(1, 0, TileType_Grass);        // upper
  map.set(0, 1, TileType_WoodenFloor);  // left
  map.set(1, 1, TileType_Rock);         // this
  map.build();
  TileCorner corner = terrain_corner(map.tiles.data(), 2, 2, 1, 1);
  EXPECT_EQ(corner.top, TileType_WoodenFloor);
  EXPECT_EQ(corner.mask, 1 | 2 | 8);
  EXPECT_EQ(corner.low, TileType_Grass);
  // WoodenFloor is block 18: the third block of the third block row.
  TileCell got = map.cell(1, 1);
  EXPECT_EQ(got.col, 8 + 2);
  EXPECT_EQ(got.row, 10 + 0);

  // With nothing below kind 7 the background column falls left of the atlas.
  TestMap stone(2, 2, TileType_StoneTiles);
  stone.set(0, 0, TileType_Rock);
  stone.build();
  corner = terrain_corner(stone.tiles.data(), 2, 2, 1, 1);
  EXPECT_EQ(corner.top, TileType_StoneTiles);
  EXPECT_EQ(corner.mask, 1);
  EXPECT_EQ(corner.low, TileType_Rock);
  got = stone.cell(1, 1);
  EXPECT_EQ(got.col, 12 + 1);
  EXPECT_EQ(got.row, 5 + 2);
  EXPECT_LT(stone.quad(1, 1)[0].bg_coord.x, 0);
}

// The cells themselves are checked through cell_of above; here where a quad lies and how its corners sample.
TEST(TerrainMesh, QuadPlacementAndCornerOrder) {
  TestMap map(3, 2, TileType_Dirt, {64, -32});
  map.build();
  const TileVertex* q = map.quad(2, 1);
  v2 p = {2 * 32 + 64 - 16.1f, 1 * 32 - 32 - 16.1f};
  v2 corners[4] = {p, p + v2{32.2f, 0}, p + v2{32.2f, 32.2f}, p + v2{0, 32.2f}};
  for (int i = 0; i < 4; i++) {
    EXPECT_TRUE(near(q[i].pos, corners[i], 1e-4));
  }
  // Corners go (u0,v0), (u1,v0), (u1,v1), (u0,v1), for the piece and its background alike.
  EXPECT_EQ(q[0].tex_coord.x, q[3].tex_coord.x);
  EXPECT_EQ(q[1].tex_coord.x, q[2].tex_coord.x);
  EXPECT_EQ(q[0].tex_coord.y, q[1].tex_coord.y);
  EXPECT_EQ(q[2].tex_coord.y, q[3].tex_coord.y);
  EXPECT_NEAR(q[1].tex_coord.x - q[0].tex_coord.x, 64.0f / 2048 - 0.0001f, 1e-6);
  EXPECT_NEAR(q[3].bg_coord.y - q[0].bg_coord.y, 64.0f / 960 - 0.0001f, 1e-6);
  // Dirt's full tile is the background of a plain Dirt corner.
  TileCell bg = map.bg_cell(2, 1);
  EXPECT_EQ(bg.col, 8);
}

static bool degenerate(const TileVertex* q) {
  for (int i = 1; i < 4; i++)
    if (q[i].pos.x != q[0].pos.x || q[i].pos.y != q[0].pos.y) return false;
  return true;
}

TEST(TerrainMesh, NoneAndUnknownTilesDrawNothingInsteadOfStopping) {
  TestMap map(4, 3, TileType_None);
  map.set(3, 2, TileType_Soil);
  map.set(0, 2, 200);  // outside the tile table
  map.set(1, 2, 23);
  map.build();
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++) {
      bool touches_soil = x >= 3 && y >= 2;
      EXPECT_EQ(degenerate(map.quad(x, y)), !touches_soil) << x << "," << y;
    }
  // The soil corner draws its piece over the None background.
  TileCorner corner = terrain_corner(map.tiles.data(), 4, 3, 3, 2);
  EXPECT_EQ(corner.top, TileType_Soil);
  EXPECT_EQ(corner.low, TileType_None);
  EXPECT_EQ(corner.mask, 1 | 2 | 4);
}

// ---- buffers

TEST(TerrainBuffers, IndicesWidenOnlyPastSixteenBits) {
  struct Case {
    s64 ntiles;
    bool wide;
  } cases[] = {{1, false}, {128 * 128, false}, {128 * 128 + 1, true}, {200 * 100, true}};
  for (const Case& c : cases) EXPECT_EQ(terrain_wide_indices(c.ntiles), c.wide) << c.ntiles;

  std::vector<u16> narrow(6 * 16384);
  terrain_build_indices(16384, narrow.data(), false);
  u16 first[6] = {0, 1, 2, 0, 2, 3};
  for (int i = 0; i < 6; i++) EXPECT_EQ(narrow[(size_t)i], first[i]);
  EXPECT_EQ(narrow[6 * 16383 + 5], 65535);

  const s64 ntiles = 20000;
  std::vector<u32> wide((size_t)(6 * ntiles));
  terrain_build_indices(ntiles, wide.data(), true);
  u32 last = 4 * (u32)(ntiles - 1);
  u32 expected[6] = {last, last + 1, last + 2, last, last + 2, last + 3};
  for (int i = 0; i < 6; i++) EXPECT_EQ(wide[(size_t)(6 * (ntiles - 1) + i)], expected[i]);
}

TEST(TerrainBuffers, AnotherTileCountResizesTheVerticesInsteadOfStopping) {
  terrain_free();
  prepare_tiles(4, 4);
  ASSERT_NE(renderer.tiles_vertices, nullptr);
  EXPECT_EQ(renderer.tiles_vertices_size, 4 * 4 * 96);
  TileVertex* first = renderer.tiles_vertices;
  prepare_tiles(4, 4);  // the same size keeps what it has
  EXPECT_EQ(renderer.tiles_vertices, first);
  prepare_tiles(200, 100);
  EXPECT_EQ(renderer.tiles_vertices_size, 200 * 100 * 96);
  // The GL buffers no longer match and are remade by the next draw.
  EXPECT_NE(renderer.tiles_buffers_size, renderer.tiles_vertices_size);
  // Nonsense sizes are ignored.
  prepare_tiles(0, 7);
  prepare_tiles(-3, -3);
  EXPECT_EQ(renderer.tiles_vertices_size, 200 * 100 * 96);
  // The whole array is writable at its new size.
  std::vector<TileType> tiles(200 * 100, TileType_Dirt);
  Location location = {};
  location.width = 200;
  location.height = 100;
  location.tiles = tiles.data();
  terrain_build_mesh(location, {2048, 960}, renderer.tiles_vertices);
  EXPECT_NEAR(renderer.tiles_vertices[4 * 20000 - 2].pos.x, 199 * 32 + 16.1f, 1e-3);
  terrain_free();
  EXPECT_EQ(renderer.tiles_vertices, nullptr);
}

// The terrain draws only what the camera sees: every quad whose middle lies in view must be in the rect, the
// rect's quads are those of the whole mesh, and a view up to the horizon falls back to the whole location.
TEST(Terrain, VisibleRectHoldsEveryQuadInSightAndMeshesLikeTheWhole) {
  TestMap m(128, 96, TileType_Grass, {-40, 70});
  for (int y = 0; y < 96; y++)
    for (int x = 0; x < 128; x++) m.set(x, y, 1 + (x * 7 + y * 3) % 6);
  m.build();
  const f32 side = tile_size + TILE_QUAD_OVERLAP;
  std::vector<TileVertex> part((size_t)(128 * 96 * 4));
  for (f32 pitch : {0.3f, pi / 4, 1.1f}) {
    for (f32 yaw : {0.0f, 1.0f, 2.5f}) {
      for (v2 target : {v2{2000, 1600}, v2{-30, 80}}) {
        Camera c;
        c.pitch = pitch, c.yaw = yaw, c.zoom = 0.8f, c.target = {target.x, target.y, 0};
        m4 vp = camera_update(c, {1280, 720});
        TileRect r = terrain_visible_rect(m.location, vp);
        for (int y = 0; y < 96; y++) {
          for (int x = 0; x < 128; x++) {
            v2 mid = m.quad(x, y)[0].pos + v2{side / 2, side / 2};
            v4 clip = vp * v4{mid.x, mid.y, 0, 1};
            bool seen = clip.w > 0 && fabsf(clip.x) <= clip.w && fabsf(clip.y) <= clip.w;
            bool inside = x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1;
            ASSERT_TRUE(!seen || inside) << "pitch " << pitch << " yaw " << yaw << " tile " << x << "," << y;
          }
        }
        if (pitch == pi / 4) {
          EXPECT_LT(tile_rect_count(r), 128 * 96 / 4) << "the default view draws a part";
        }
        ASSERT_EQ(terrain_build_mesh(m.location, atlas, r, part.data()), tile_rect_count(r));
        for (int y = r.y0; y < r.y1; y++) {
          for (int x = r.x0; x < r.x1; x++) {
            const TileVertex* q = &part[(size_t)(4 * ((x - r.x0) + (r.x1 - r.x0) * (y - r.y0)))];
            ASSERT_EQ(memcmp(q, m.quad(x, y), 4 * sizeof(TileVertex)), 0);
          }
        }
      }
    }
  }
  Camera c;
  c.pitch = 1.5f;  // the top of the view is above the horizon
  TileRect all = terrain_visible_rect(m.location, camera_update(c, {1280, 720}));
  EXPECT_EQ(tile_rect_count(all), 128 * 96);
  EXPECT_EQ(terrain_build_mesh(m.location, atlas, TileRect{120, 90, 300, 300}, part.data()), 8 * 6);
}
