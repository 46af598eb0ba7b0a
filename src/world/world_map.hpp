#pragma once
// The world map window at the top-right corner, and the tile palette of the tile tool.
#include "app/client.hpp"
#include "location.hpp"

// World units a map texel stands for.
constexpr f32 WORLD_MAP_TEXEL_UNITS = 32;

// The map's size on screen at a zoom step: width w, height h and texels to pixels k. All 0 while
// there is no map (a texture side of 0) or at step 0.
struct WorldMapView {
  f32 w, h, k;
};
WorldMapView world_map_view(int zoom, f32 window_width, int texture_width, int texture_height);

// The world point under `mouse` on a map image drawn at `image` with scale k; false when the mouse is
// off the map on any side or there is no map.
bool world_map_point(v2 mouse, Rect image, f32 k, int texture_width, int texture_height, v2* out);

// Steps the zoom 0, 1, 2, 0, ...
void ui_next_map_zoom();
void draw_world_map();

// One cell of the tile palette: where it comes from in the atlas, where it goes and which kind it is.
struct TilePaletteCell {
  Rect src, dst;
  TileType type;
};
constexpr int TILE_PALETTE_ROWS = 3;
// The cells for an atlas of the given width with square tiles of `tile_size` texels, shown `shown`
// pixels wide from `origin`; returns how many (at most TILES_MAPPING_COUNT), none for a tile size of 0.
int tile_palette_cells(f32 atlas_width, f32 tile_size, f32 shown, v2 origin, TilePaletteCell* out);
// Draws the palette and handles a click on it (GL).
void draw_tile_palette();
