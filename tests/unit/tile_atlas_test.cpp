// The generated ground atlas: layout, coverage of the edge pieces and seams between cells.
#include <gtest/gtest.h>
#include <stb_image.h>

#include "location.hpp"
#include "tile_atlas.hpp"

struct TileAtlasTest : ::testing::Test {
  int width = 0, height = 0, channels = 0;
  u8* pixels = nullptr;

  void SetUp() override {
    const char* path = VALMIRE_SOURCE_DIR "/assets/tiles.png";
    if (!file_exists(path)) GTEST_SKIP() << "assets not generated; build the 'assets' target";
    pixels = stbi_load(path, &width, &height, &channels, 4);
    ASSERT_NE(pixels, nullptr);
  }
  void TearDown() override {
    if (pixels) stbi_image_free(pixels);
  }
  const u8* at(TileCell cell, int x, int y) const {
    return pixels + 4 * ((cell.row * TILE_ATLAS_CELL + y) * width + cell.col * TILE_ATLAS_CELL + x);
  }
  TileCell cell(int kind_index, TileCell in_block) const {
    int b = tile_atlas_blocks_per_row(width);
    return {TILE_BLOCK_COLS * (kind_index % b) + in_block.col, TILE_BLOCK_ROWS * (kind_index / b) + in_block.row};
  }
  // Mean colour difference between column xa of cell a and column xb of cell b.
  f32 column_difference(TileCell a, int xa, TileCell b, int xb) const {
    f32 sum = 0;
    for (int y = 0; y < TILE_ATLAS_CELL; y++)
      for (int c = 0; c < 3; c++) sum += fabsf((f32)at(a, xa, y)[c] - (f32)at(b, xb, y)[c]);
    return sum / (TILE_ATLAS_CELL * 3);
  }
};

TEST_F(TileAtlasTest, HoldsEightKindsARowInBlocksOfFourByFive) {
  EXPECT_EQ(channels, 4);
  EXPECT_EQ(width, 2048);
  EXPECT_EQ(height, 3 * 5 * 64);
}

TEST_F(TileAtlasTest, FullTilesAreOpaqueAndPiecesCoverOnlyTheirKindsQuadrants) {
  for (int i = 0; i < TILES_MAPPING_COUNT; i++) {
    SCOPED_TRACE(i);
    for (const TileCell& v : tile_variant_cells) {
      TileCell c = cell(i, v);
      for (int y = 0; y < 64; y += 7)
        for (int x = 0; x < 64; x += 7) ASSERT_EQ(at(c, x, y)[3], 255);
    }
    for (int m = 1; m < 15; m++) {
      TileCell c = cell(i, tile_mask_cells[m]);
      // Quadrant centres: upper-left (bit 1), upper-right (2), lower-left (4), lower-right (8).
      const int centres[4][2] = {{12, 12}, {52, 12}, {12, 52}, {52, 52}};
      for (int q = 0; q < 4; q++) {
        u8 alpha = at(c, centres[q][0], centres[q][1])[3];
        if (m & (1 << q)) {
          EXPECT_EQ(alpha, 0) << "mask " << m << " quadrant " << q;
        } else {
          EXPECT_EQ(alpha, 255) << "mask " << m << " quadrant " << q;
        }
      }
      // The border between tiles is soft: some pixels lie strictly between clear and opaque.
      int partial = 0;
      for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) partial += at(c, x, y)[3] > 10 && at(c, x, y)[3] < 245;
      EXPECT_GT(partial, 40) << "mask " << m;
    }
  }
}

TEST_F(TileAtlasTest, CellsOfAKindJoinWithoutSeams) {
  for (int i = 0; i < TILES_MAPPING_COUNT; i++) {
    SCOPED_TRACE(i);
    f32 inside = 0;
    for (const TileCell& v : tile_variant_cells) inside += column_difference(cell(i, v), 30, cell(i, v), 31);
    inside /= TILE_VARIANTS;
    // Any variant may stand right of any other; the step across their border is an ordinary pixel step.
    for (const TileCell& a : tile_variant_cells)
      for (const TileCell& b : tile_variant_cells) {
        f32 seam = column_difference(cell(i, a), 63, cell(i, b), 0);
        EXPECT_LT(seam, 2.5f * inside + 6) << "variant cells " << a.col << a.row << " | " << b.col << b.row;
      }
  }
}

TEST_F(TileAtlasTest, KindsLookDistinct) {
  // Mean colours of the first variants: no two kinds may be near twins.
  f32 mean[TILES_MAPPING_COUNT][3] = {};
  for (int i = 0; i < TILES_MAPPING_COUNT; i++) {
    TileCell c = cell(i, tile_variant_cells[0]);
    for (int y = 0; y < 64; y++)
      for (int x = 0; x < 64; x++)
        for (int k = 0; k < 3; k++) mean[i][k] += (f32)at(c, x, y)[k] / (64 * 64);
  }
  for (int i = 0; i < TILES_MAPPING_COUNT; i++)
    for (int j = i + 1; j < TILES_MAPPING_COUNT; j++) {
      f32 d = fabsf(mean[i][0] - mean[j][0]) + fabsf(mean[i][1] - mean[j][1]) + fabsf(mean[i][2] - mean[j][2]);
      EXPECT_GT(d, 6) << tile_name(tiles_mapping[i]) << " vs " << tile_name(tiles_mapping[j]);
    }
}
