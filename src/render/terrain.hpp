#pragma once
// The ground: a mesh of corner quads over the tile grid, autotiled from the tile atlas, and the world map.
#include "location.hpp"
#include "math.hpp"
#include "tile_atlas.hpp"
#include "types.hpp"
#include "net/world_map_intake.hpp"

struct TileVertex {
  v2 pos;
  v2 tex_coord;
  v2 bg_coord;
};
static_assert(sizeof(TileVertex) == 24);

constexpr f32 TILE_QUAD_OVERLAP = 0.2f;  // world units each quad reaches over its neighbours, against seams
constexpr f32 TILE_UV_INSET = 0.0001f;

// The four tiles meeting at the corner (x, y), reduced to what the quad there draws.
struct TileCorner {
  u8 top;   // the kind drawn over the others; TileType_None when the corner has nothing to draw
  u8 low;   // the smallest of the four values, whose full tile is the background
  u8 mask;  // bit 1: upper-left tile is not `top`, 2: upper, 4: left, 8: this tile
};

TileCorner terrain_corner(const TileType* tiles, int width, int height, int x, int y);
// Cell inside a kind's block for a corner mask 1..14; false for 0 (a full tile) and 15.
bool terrain_mask_cell(int mask, TileCell* cell);
// Which of the six full-tile variants a map position shows; the same position always shows the same one.
int terrain_variant(f32 px, f32 py);
// Atlas cell of a kind's block cell, or false when the kind has no block.
bool terrain_atlas_cell(TileType kind, TileCell in_block, int atlas_width_px, TileCell* cell);
// Texture coordinates of an atlas cell: u0, v0, u1, v1.
v4 terrain_cell_uv(TileCell cell, v2 atlas_size);

// Tiles [x0, x1) x [y0, y1) of a location.
struct TileRect {
  int x0, y0, x1, y1;
};
inline int tile_rect_count(TileRect r) { return r.x1 > r.x0 && r.y1 > r.y0 ? (r.x1 - r.x0) * (r.y1 - r.y0) : 0; }

// Writes four vertices per tile of `rect` into `out`, quad n = (x - x0) + (x1 - x0) * (y - y0); the rect is
// clamped to the location. Corners with nothing to draw get a quad of zero area, so the index buffer never
// changes. Returns the number of quads written.
int terrain_build_mesh(const Location& location, v2 atlas_size, TileRect rect, TileVertex* out);
// The whole location: width * height * 4 vertices, quad n = x + width * y.
void terrain_build_mesh(const Location& location, v2 atlas_size, TileVertex* out);

// The tiles the camera can see on the ground plane through `vp`, with a tile of margin, clamped to the
// location. The whole location when the view reaches the horizon or the matrix is degenerate.
TileRect terrain_visible_rect(const Location& location, const m4& vp);

// The world map image (one tile type per pixel) as RGB bytes, 3 per pixel, row by row; unknown tile
// values get the None colour. `out` holds width * height * 3 bytes.
void world_map_colors(const u8* tiles, int width, int height, u8* out);

// Decodes an encoded one-channel image of tile types. Null, with the reason printed, for bytes that do not
// decode, an image of another channel count, or one larger than WORLD_MAP_SIDE_MAX; free with stbi_image_free.
u8* world_map_decode(const u8* data, int size, int* width, int* height);

// Index data of the terrain mesh: tile t draws triangles (4t, 4t+1, 4t+2) and (4t, 4t+2, 4t+3). Locations
// whose vertices outgrow 16-bit indices (more than 16 384 tiles) take 32-bit ones.
bool terrain_wide_indices(s64 ntiles);
void terrain_build_indices(s64 ntiles, void* out, bool wide);

// Sizes the CPU vertex array for a location of width x height tiles; GL buffers follow on the next draw.
void prepare_tiles(int width, int height);
void draw_tiles(Location& location);
void draw_grid(Location& location);
void terrain_free();
