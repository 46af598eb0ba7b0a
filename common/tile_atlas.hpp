#pragma once
// Layout of the ground texture atlas, shared by the generator that paints it and the terrain that reads it.
#include "types.hpp"

struct TileCell {
  int col, row;
};

constexpr int TILE_ATLAS_CELL = 64;  // pixels per atlas cell
constexpr int TILE_BLOCK_COLS = 4;   // cells per kind, across
constexpr int TILE_BLOCK_ROWS = 5;   // and down
constexpr int TILE_VARIANTS = 6;     // full-tile variants per kind
constexpr int TILE_ATLAS_WIDTH = 2048;

// Cell inside a kind's block of the edge piece for each corner mask (bit 1: upper-left tile is another
// kind, 2: upper, 4: left, 8: this tile). Masks 0 (a full tile) and 15 (impossible) have none.
constexpr TileCell tile_mask_cells[16] = {
    {-1, -1}, {1, 2}, {2, 2}, {0, 2}, {1, 3}, {1, 1}, {3, 3}, {1, 0},
    {2, 3},   {3, 2}, {2, 1}, {2, 0}, {0, 3}, {1, 4}, {2, 4}, {-1, -1},
};
constexpr TileCell tile_variant_cells[TILE_VARIANTS] = {{0, 0}, {0, 1}, {0, 4}, {3, 0}, {3, 1}, {3, 4}};

inline int tile_atlas_blocks_per_row(int atlas_width_px) {
  int b = atlas_width_px / TILE_ATLAS_CELL / TILE_BLOCK_COLS;
  return b > 0 ? b : 1;
}
