// Terrain autotiling: which atlas cell every corner quad shows. CPU only, rebuilt every frame.
#include "render/terrain.hpp"

#include <stb_image.h>

// Values outside the tile table read as None: they draw nothing rather than index past the atlas.
static inline u8 tile_value(const TileType* tiles, int width, int height, int x, int y) {
  x = clamp(x, 0, width - 1);
  y = clamp(y, 0, height - 1);
  u8 t = (u8)tiles[x + width * y];
  return tile_is_known(t) ? t : (u8)TileType_None;
}

static inline TileCorner corner_of(u8 tl, u8 t, u8 l, u8 c) {
  TileCorner corner;
  u8 top = c;
  if (l != TileType_None && l > top) top = l;
  if (t != TileType_None && t > top) top = t;
  if (tl != TileType_None && tl > top) top = tl;
  corner.top = top;
  corner.mask = (u8)((tl != top ? 1 : 0) | (t != top ? 2 : 0) | (l != top ? 4 : 0) | (c != top ? 8 : 0));
  u8 low = c;
  if (l < low) low = l;
  if (t < low) low = t;
  if (tl < low) low = tl;
  corner.low = low;
  return corner;
}

TileCorner terrain_corner(const TileType* tiles, int width, int height, int x, int y) {
  return corner_of(tile_value(tiles, width, height, x - 1, y - 1), tile_value(tiles, width, height, x, y - 1),
                   tile_value(tiles, width, height, x - 1, y), tile_value(tiles, width, height, x, y));
}

bool terrain_mask_cell(int mask, TileCell* cell) {
  if (mask <= 0 || mask >= 15) return false;
  *cell = tile_mask_cells[mask];
  return true;
}

int terrain_variant(f32 px, f32 py) {
  f32 s = sinf((f32)((f64)px * 1239.4635 + (f64)py * 93159.143));
  int k = (int)((s + 1) / 2 * TILE_VARIANTS);
  return clamp(k, 0, TILE_VARIANTS - 1);
}

bool terrain_atlas_cell(TileType kind, TileCell in_block, int atlas_width_px, TileCell* cell) {
  int index = get_tile_index(kind);
  if (index < 0) return false;
  int blocks_per_row = tile_atlas_blocks_per_row(atlas_width_px);
  cell->col = TILE_BLOCK_COLS * (index % blocks_per_row) + in_block.col;
  cell->row = TILE_BLOCK_ROWS * (index / blocks_per_row) + in_block.row;
  return true;
}

v4 terrain_cell_uv(TileCell cell, v2 atlas_size) {
  f32 du = TILE_ATLAS_CELL / atlas_size.x, dv = TILE_ATLAS_CELL / atlas_size.y;
  f32 u0 = TILE_UV_INSET + (f32)cell.col * TILE_ATLAS_CELL / atlas_size.x;
  f32 v0 = TILE_UV_INSET + (f32)cell.row * TILE_ATLAS_CELL / atlas_size.y;
  return {u0, v0, du + u0 - TILE_UV_INSET, dv + v0 - TILE_UV_INSET};
}

void terrain_build_mesh(const Location& location, v2 atlas_size, TileVertex* out) {
  terrain_build_mesh(location, atlas_size, TileRect{0, 0, location.width, location.height}, out);
}

int terrain_build_mesh(const Location& location, v2 atlas_size, TileRect rect, TileVertex* out) {
  int width = location.width, height = location.height;
  rect = {max(rect.x0, 0), max(rect.y0, 0), min(rect.x1, width), min(rect.y1, height)};
  if (tile_rect_count(rect) == 0) return 0;
  int atlas_width_px = (int)atlas_size.x;
  // Where each kind's block starts, looked up once rather than per quad.
  TileCell block[TileType_count];
  bool has_block[TileType_count];
  for (int t = 0; t < TileType_count; t++)
    has_block[t] = terrain_atlas_cell((TileType)t, {0, 0}, atlas_width_px, &block[t]);
  f32 side = tile_size + TILE_QUAD_OVERLAP;
  v2 shift = v2{tile_size / 2, tile_size / 2} + v2{TILE_QUAD_OVERLAP / 2, TILE_QUAD_OVERLAP / 2};
  f32 offset_tiles_x = location.offset.x / tile_size, offset_tiles_y = location.offset.y / tile_size;
  TileVertex* v = out;
  for (int y = rect.y0; y < rect.y1; y++) {
    const TileType* row = location.tiles + width * y;
    const TileType* above = location.tiles + width * (y > 0 ? y - 1 : 0);
    for (int x = rect.x0; x < rect.x1; x++, v += 4) {
      v2 p = v2{(f32)x * tile_size, (f32)y * tile_size} + location.offset - shift;
      int xl = x > 0 ? x - 1 : 0;
      // Values outside the tile table read as None: they draw nothing rather than index past the atlas.
      u8 tl = tile_is_known(above[xl]) ? (u8)above[xl] : 0, t = tile_is_known(above[x]) ? (u8)above[x] : 0;
      u8 l = tile_is_known(row[xl]) ? (u8)row[xl] : 0, c = tile_is_known(row[x]) ? (u8)row[x] : 0;
      TileCorner corner = corner_of(tl, t, l, c);
      if (!has_block[corner.top]) {
        // Four None tiles: nothing to draw here.
        v[0] = v[1] = v[2] = v[3] = TileVertex{p, {}, {}};
        continue;
      }
      TileCell in_block;
      if (corner.mask == 0) {
        in_block = tile_variant_cells[terrain_variant((f32)x + offset_tiles_x, (f32)y + offset_tiles_y)];
      } else if (!terrain_mask_cell(corner.mask, &in_block)) {
        in_block = {0, 0};
      }
      TileCell cell = {block[corner.top].col + in_block.col, block[corner.top].row + in_block.row};
      // The natural kinds 1..6 have their blocks in reverse order along the first block row.
      TileCell bg = {(6 - corner.low) * TILE_BLOCK_COLS, 0};
      v4 uv = terrain_cell_uv(cell, atlas_size);
      v4 bv = terrain_cell_uv(bg, atlas_size);
      v[0] = {p, {uv.x, uv.y}, {bv.x, bv.y}};
      v[1] = {p + v2{side, 0}, {uv.z, uv.y}, {bv.z, bv.y}};
      v[2] = {p + v2{side, side}, {uv.z, uv.w}, {bv.z, bv.w}};
      v[3] = {p + v2{0, side}, {uv.x, uv.w}, {bv.x, bv.w}};
    }
  }
  return tile_rect_count(rect);
}

TileRect terrain_visible_rect(const Location& location, const m4& vp) {
  TileRect all = {0, 0, location.width, location.height};
  m4 inv = m4_inverse(vp);
  f32 lo_x = INFINITY, lo_y = INFINITY, hi_x = -INFINITY, hi_y = -INFINITY;
  for (int corner = 0; corner < 4; corner++) {
    f32 nx = corner & 1 ? 1.0f : -1.0f, ny = corner & 2 ? 1.0f : -1.0f;
    // Two points on the ray through the screen's corner, whatever the depth range.
    v4 a = inv * v4{nx, ny, 0, 1};
    v4 b = inv * v4{nx, ny, 1, 1};
    if (!(a.w != 0 && b.w != 0)) return all;
    v3 pa = a.xyz / a.w, pb = b.xyz / b.w;
    v3 dir = pb - pa;
    // A corner ray that never comes down to the ground sees as far as the location goes.
    if (!(pa.z > 0 && dir.z < 0)) return all;
    f32 t = -pa.z / dir.z;
    v3 hit = pa + dir * t;
    lo_x = min(lo_x, hit.x), lo_y = min(lo_y, hit.y);
    hi_x = max(hi_x, hit.x), hi_y = max(hi_y, hit.y);
  }
  // Quads sit half a tile off their corner and reach over their neighbours: one tile of margin each side.
  f32 x0 = floorf((lo_x - location.offset.x) / tile_size) - 1, y0 = floorf((lo_y - location.offset.y) / tile_size) - 1;
  f32 x1 = ceilf((hi_x - location.offset.x) / tile_size) + 2, y1 = ceilf((hi_y - location.offset.y) / tile_size) + 2;
  if (!isfinite(x0) || !isfinite(y0) || !isfinite(x1) || !isfinite(y1)) return all;
  auto clamp_tile = [](f32 v, int n) { return (int)clamp(v, 0.0f, (f32)n); };
  return {clamp_tile(x0, location.width), clamp_tile(y0, location.height), clamp_tile(x1, location.width),
          clamp_tile(y1, location.height)};
}

void world_map_colors(const u8* tiles, int width, int height, u8* out) {
  for (int i = 0; i < width * height; i++) {
    u32 color = tile_is_known(tiles[i]) ? tile_color((TileType)tiles[i]) : 0;
    out[3 * i + 0] = (u8)(color >> 16);
    out[3 * i + 1] = (u8)(color >> 8);
    out[3 * i + 2] = (u8)color;
  }
}

// Whether every chunk of a PNG stream lies inside its `size` bytes. The decoder grows its buffer to a
// chunk's stated length before reading it, so one forged length would cost up to a gigabyte.
static bool png_chunks_fit(const u8* data, int size) {
  int at = 8;
  while (at + 12 <= size) {
    u32 length = (u32)data[at] << 24 | (u32)data[at + 1] << 16 | (u32)data[at + 2] << 8 | (u32)data[at + 3];
    if (length > (u32)(size - at - 12)) return false;
    if (memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += 12 + (int)length;
  }
  return false;
}

u8* world_map_decode(const u8* data, int size, int* width, int* height) {
  int w = 0, h = 0, channels = 0;
  // Only PNG is expected from the server; the decoder's other formats are never reached from the network.
  static const u8 png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data && size > 0 && (size < 8 || memcmp(data, png_signature, 8) != 0)) {
    printf("failed to load map data: not a PNG image\n");
    return nullptr;
  }
  if (data && size > 0 && !png_chunks_fit(data, size)) {
    printf("failed to load map data: a PNG chunk runs past the data\n");
    return nullptr;
  }
  if (!data || size <= 0 || !stbi_info_from_memory(data, size, &w, &h, &channels)) {
    printf("failed to load map data: %s\n", stbi_failure_reason() ? stbi_failure_reason() : "no data");
    return nullptr;
  }
  if (channels != 1) {
    printf("expected world map to have 1 channel, got %d; map size: %dbytes\n", channels, size);
    return nullptr;
  }
  if (w <= 0 || h <= 0 || w > WORLD_MAP_SIDE_MAX || h > WORLD_MAP_SIDE_MAX) {
    printf("failed to load map data: %dx%d is too large\n", w, h);
    return nullptr;
  }
  u8* pixels = stbi_load_from_memory(data, size, &w, &h, &channels, 0);
  if (!pixels) {
    printf("failed to load map data: %s\n", stbi_failure_reason());
    return nullptr;
  }
  if (channels != 1) {
    stbi_image_free(pixels);
    printf("expected world map to have 1 channel, got %d; map size: %dbytes\n", channels, size);
    return nullptr;
  }
  *width = w;
  *height = h;
  return pixels;
}

bool terrain_wide_indices(s64 ntiles) { return ntiles * 4 > 65536; }

void terrain_build_indices(s64 ntiles, void* out, bool wide) {
  u16* narrow_out = (u16*)out;
  u32* wide_out = (u32*)out;
  for (s64 t = 0; t < ntiles; t++) {
    u32 base = (u32)(4 * t);
    u32 corners[6] = {base, base + 1, base + 2, base, base + 2, base + 3};
    for (int i = 0; i < 6; i++) {
      if (wide) {
        wide_out[6 * t + i] = corners[i];
      } else {
        narrow_out[6 * t + i] = (u16)corners[i];
      }
    }
  }
}
