// The ground atlas "tiles.png": for every kind, six seamless full tiles and fourteen edge pieces whose
// soft, slightly irregular borders let the kind underneath show through.
#include "assetgen.hpp"
#include "location.hpp"
#include "math.hpp"
#include "tile_atlas.hpp"

// Everything below repeats every 64 pixels, so any cell joins any other cell of its kind without a seam.
constexpr int PERIOD = TILE_ATLAS_CELL;

static f32 hash01(int x, int y, u32 seed) { return (f32)(hash2(x, y, seed) >> 8) / 16777216.0f; }
static int wrap(int i, int n) { return ((i % n) + n) % n; }
static f32 smooth(f32 t) { return t * t * (3 - 2 * t); }
static f32 smoothstep(f32 a, f32 b, f32 x) { return smooth(clamp((x - a) / (b - a), 0.0f, 1.0f)); }
static f32 tiles_lerp(f32 a, f32 b, f32 t) { return a + (b - a) * t; }
static v3 mix(v3 a, v3 b, f32 t) { return a + (b - a) * t; }
static v3 rgb(u32 hex) {
  return {(f32)((hex >> 16) & 255) / 255, (f32)((hex >> 8) & 255) / 255, (f32)(hex & 255) / 255};
}

// Value noise on a lattice of cw x ch pixels that wraps every PERIOD pixels.
static f32 vnoise(f32 x, f32 y, int cw, int ch, u32 seed) {
  int px = PERIOD / cw, py = PERIOD / ch;
  f32 fx = x / (f32)cw, fy = y / (f32)ch;
  int ix = (int)floorf(fx), iy = (int)floorf(fy);
  f32 tx = smooth(fx - (f32)ix), ty = smooth(fy - (f32)iy);
  f32 a = hash01(wrap(ix, px), wrap(iy, py), seed), b = hash01(wrap(ix + 1, px), wrap(iy, py), seed);
  f32 c = hash01(wrap(ix, px), wrap(iy + 1, py), seed), d = hash01(wrap(ix + 1, px), wrap(iy + 1, py), seed);
  return tiles_lerp(tiles_lerp(a, b, tx), tiles_lerp(c, d, tx), ty);
}
static f32 vnoise(f32 x, f32 y, int cell, u32 seed) { return vnoise(x, y, cell, cell, seed); }
static f32 fbm(f32 x, f32 y, u32 seed) {
  return 0.45f * vnoise(x, y, 32, seed) + 0.28f * vnoise(x, y, 16, seed + 1) + 0.17f * vnoise(x, y, 8, seed + 2) +
         0.10f * vnoise(x, y, 4, seed + 3);
}

// Cellular noise: distances to the nearest and second-nearest feature point, one point per wrapped cell.
struct Cells {
  f32 f1, f2;
  u32 id;
};
static Cells cellular(f32 x, f32 y, int cell, u32 seed) {
  int n = PERIOD / cell;
  int ix = (int)floorf(x / (f32)cell), iy = (int)floorf(y / (f32)cell);
  Cells r = {1e9f, 1e9f, 0};
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++) {
      int cx = ix + dx, cy = iy + dy, wx = wrap(cx, n), wy = wrap(cy, n);
      f32 fx = ((f32)cx + 0.15f + 0.7f * hash01(wx, wy, seed)) * (f32)cell;
      f32 fy = ((f32)cy + 0.15f + 0.7f * hash01(wx, wy, seed + 7)) * (f32)cell;
      f32 d = sqrtf(sqr(fx - x) + sqr(fy - y));
      if (d < r.f1) {
        r.f2 = r.f1;
        r.f1 = d;
        r.id = (u32)(wx + wy * n);
      } else if (d < r.f2) {
        r.f2 = d;
      }
    }
  return r;
}

// Rectangular slabs of `w` x `h` pixels with mortar joints and a per-slab tint.
static v3 slabs(f32 x, f32 y, int w, int h, int row_shift, v3 base, v3 mortar, f32 tint, u32 seed) {
  int row = (int)floorf(y / (f32)h);
  f32 sx = x + (f32)((row & 1) * row_shift);
  int col = (int)floorf(sx / (f32)w);
  f32 lx = sx - (f32)(col * w), ly = y - (f32)(row * h);
  f32 edge = min(min(lx, (f32)w - lx), min(ly, (f32)h - ly));
  f32 k = 1 + tint * (hash01(wrap(col, PERIOD / w), wrap(row, PERIOD / h), seed) - 0.5f);
  v3 c = base * k * (0.9f + 0.2f * fbm(x, y, seed + 3));
  // A light upper-left rim and a dark lower-right one give the slabs some relief.
  if (lx < 2.5f || ly < 2.5f) c = c * 1.08f;
  if ((f32)w - lx < 2.5f || (f32)h - ly < 2.5f) c = c * 0.9f;
  return mix(mortar, c, smoothstep(0.6f, 1.6f, edge));
}

static v3 water(f32 x, f32 y, v3 deep, v3 light, u32 seed) {
  f32 n = fbm(x, y, seed);
  f32 wave = sinf(tau * (y / 16 + x / 64 + 0.9f * n));
  f32 crest = smoothstep(0.7f, 1.0f, wave) * 0.18f;
  v3 c = mix(deep, light, n);
  return c + v3{crest, crest, crest};
}

static v3 planks(f32 x, f32 y, v3 base, u32 seed, bool vertical) {
  f32 u = vertical ? x : y, v = vertical ? y : x;
  int plank = (int)floorf(u / 16);
  f32 lu = u - (f32)plank * 16;
  int p = wrap(plank, 4);
  // One end joint per plank every 64 pixels, staggered.
  f32 joint = (f32)((int)(hash01(p, 0, seed) * 4) * 16 + 8);
  f32 lv = fabsf(v - joint);
  f32 grain = vertical ? vnoise(x, y, 4, 32, seed + p) : vnoise(x, y, 32, 4, seed + p);
  f32 tone = 0.85f + 0.25f * hash01(p, 1, seed);
  v3 c = base * tone * (0.85f + 0.3f * grain);
  f32 gap = min(smoothstep(0.3f, 1.3f, lu), smoothstep(0.3f, 1.3f, 16 - lu));
  gap = min(gap, smoothstep(0.2f, 1.0f, lv));
  return c * (0.45f + 0.55f * gap);
}

static v3 tiles_paint(TileType kind, f32 x, f32 y) {
  u32 s = (u32)kind * 7919u;
  switch (kind) {
    case TileType_Grass: {
      f32 blades = vnoise(x, y, 2, 8, s + 5);
      v3 c = mix(rgb(0x3F7A26), rgb(0x67A83A), fbm(x, y, s));
      return c * (0.82f + 0.32f * blades);
    }
    case TileType_Sand: {
      f32 n = fbm(x, y, s);
      f32 ripple = sinf(tau * ((x + y) / 32 + 0.6f * n));
      v3 c = mix(rgb(0xD2B77A), rgb(0xEBD89E), n) * (0.96f + 0.04f * ripple);
      f32 grain = (hash01((int)x, (int)y, s + 9) - 0.5f) * 0.06f;
      return c + v3{grain, grain, grain};
    }
    case TileType_Dirt: {
      v3 c = mix(rgb(0x6B4A2B), rgb(0x8C6640), fbm(x, y, s));
      Cells p = cellular(x, y, 8, s + 4);
      if (p.f1 < 1.7f && hash01((int)p.id, 3, s) < 0.5f) c = mix(c, rgb(0x9A8C78), 0.7f * smoothstep(1.7f, 0.6f, p.f1));
      return c;
    }
    case TileType_Soil: {
      f32 furrow = 0.78f + 0.22f * sinf(tau * (y / 8 + 0.3f * vnoise(x, y, 16, s + 2)));
      return mix(rgb(0x3B2A19), rgb(0x54402A), fbm(x, y, s)) * furrow;
    }
    case TileType_ShallowWater: return water(x, y, rgb(0x2F7C9A), rgb(0x58A9C2), s);
    case TileType_DeepWater: return water(x, y, rgb(0x0F2F66), rgb(0x1E4A8C), s);
    case TileType_LeafForest: {
      v3 c = mix(rgb(0x3A4A1E), rgb(0x54582A), fbm(x, y, s));
      Cells leaf = cellular(x, y, 8, s + 4);
      static const u32 leaves[4] = {0xB0642A, 0x8A3A1C, 0x6E8A2A, 0xC49A3A};
      if (leaf.f1 < 3.0f && hash01((int)leaf.id, 9, s) < 0.45f)
        c = mix(c, rgb(leaves[leaf.id % 4]) * (1.1f - leaf.f1 / 6), smoothstep(3.0f, 2.0f, leaf.f1));
      return c;
    }
    case TileType_PineForest: {
      v3 c = mix(rgb(0x25382A), rgb(0x4A3C28), fbm(x, y, s));
      f32 needles = vnoise(x, y, 2, 4, s + 6) * vnoise(x, y, 4, 2, s + 8);
      return c * (0.75f + 0.6f * needles);
    }
    case TileType_Ground: return mix(rgb(0x7A6650), rgb(0x948068), fbm(x, y, s));
    case TileType_SolidGround: {
      v3 c = mix(rgb(0x6C665C), rgb(0x827B70), fbm(x, y, s));
      Cells k = cellular(x, y, 16, s + 4);
      return c * (0.7f + 0.3f * smoothstep(0.3f, 1.4f, k.f2 - k.f1));
    }
    case TileType_Rock: {
      // Boulders: shaded by the distance to their centre, split by dark cracks.
      Cells k = cellular(x, y, 32, s + 4);
      Cells fine = cellular(x, y, 8, s + 5);
      v3 c = mix(rgb(0x6E6E72), rgb(0x9C9CA0), fbm(x, y, s)) * (1.15f - 0.4f * clamp(k.f1 / 24, 0.0f, 1.0f));
      c = c * (0.85f + 0.15f * smoothstep(0.2f, 1.0f, fine.f2 - fine.f1));
      return c * (0.4f + 0.6f * smoothstep(0.5f, 2.5f, k.f2 - k.f1));
    }
    case TileType_StoneTiles: return slabs(x, y, 32, 32, 0, rgb(0x7D7E82), rgb(0x4A4A4C), 0.18f, s);
    case TileType_LightStoneTiles: return slabs(x, y, 32, 32, 0, rgb(0xC4C0B4), rgb(0x8E8A80), 0.12f, s);
    case TileType_RedStoneTiles: return slabs(x, y, 32, 32, 0, rgb(0x9A4C3E), rgb(0x5A3028), 0.2f, s);
    case TileType_WhiteStoneFloor: {
      v3 c = slabs(x, y, 64, 64, 0, rgb(0xE2E0DA), rgb(0xA8A49C), 0.0f, s);
      f32 vein = fabsf(sinf(tau * ((x - y) / 64 + 1.5f * fbm(x, y, s + 11))));
      return c * (0.94f + 0.06f * smoothstep(0.0f, 0.12f, vein));
    }
    case TileType_PavementFloor: {
      Cells k = cellular(x, y, 8, s + 4);
      v3 stone = rgb(0x857A6E) * (0.85f + 0.3f * hash01((int)k.id, 1, s)) * (1.05f - 0.04f * k.f1);
      return mix(rgb(0x3E3832), stone, smoothstep(0.5f, 1.6f, k.f2 - k.f1));
    }
    case TileType_PaintedFloor: {
      v3 wood = planks(x, y, rgb(0x8A5E36), s, false);
      f32 wear = smoothstep(0.62f, 0.75f, fbm(x, y, s + 12));
      v3 paint = rgb(0x3E7C80) * (wood.x / 0.54f * 0.5f + 0.55f);
      return mix(paint, wood, wear);
    }
    case TileType_ImperialFloor: {
      bool dark = (((int)floorf(x / 32) + (int)floorf(y / 32)) & 1) != 0;
      v3 base = dark ? rgb(0x5A1E22) : rgb(0xE0D6C0);
      v3 c = slabs(x, y, 32, 32, 0, base, rgb(0x8C7A50), 0.05f, s);
      f32 vein = fabsf(sinf(tau * ((x + y) / 64 + 2.0f * fbm(x, y, s + 11))));
      return c * (0.88f + 0.12f * smoothstep(0.0f, 0.1f, vein));
    }
    case TileType_BrickFloor: return slabs(x, y, 32, 16, 16, rgb(0x9C4A30), rgb(0xB8AE9C), 0.25f, s);
    case TileType_WoodenFloor: return planks(x, y, rgb(0x8E6238), s, true);
    case TileType_TileFloor: return slabs(x, y, 8, 8, 0, rgb(0xA9C4CC), rgb(0x6C7C80), 0.08f, s);
    case TileType_ParquetFloor: {
      // Basket weave: 16-pixel squares of four strips, turned a quarter in a checker pattern.
      int bx = (int)floorf(x / 16), by = (int)floorf(y / 16);
      bool across = ((bx + by) & 1) != 0;
      f32 u = across ? y : x;
      int strip = (int)floorf(u / 4);
      f32 lu = u - (f32)strip * 4;
      f32 tone = 0.85f + 0.25f * hash01(wrap(strip, 16), wrap(across ? bx : by, 4), s);
      f32 grain = across ? vnoise(x, y, 16, 2, s + 1) : vnoise(x, y, 2, 16, s + 1);
      v3 c = rgb(0x9A6A38) * tone * (0.88f + 0.24f * grain);
      f32 lx = x - (f32)bx * 16, ly = y - (f32)by * 16;
      f32 gap = min(smoothstep(0.2f, 0.9f, lu), smoothstep(0.2f, 0.9f, 4 - lu));
      gap = min(gap, min(smoothstep(0.2f, 0.9f, min(lx, 16 - lx)), smoothstep(0.2f, 0.9f, min(ly, 16 - ly))));
      return c * (0.55f + 0.45f * gap);
    }
    default: return rgb(0xFF00FF);
  }
}

// Small details that set the variants apart: flowers, pebbles, leaves, foam, stains. They keep away
// from the cell's border, which therefore stays the same in every variant.
static v3 tiles_details(TileType kind, int variant, f32 x, f32 y, v3 c) {
  if (variant == 0) return c;
  u32 s = (u32)kind * 131u + (u32)variant * 977u;
  f32 border = min(min(x, (f32)PERIOD - x), min(y, (f32)PERIOD - y));
  f32 window = smoothstep(5, 11, border);
  if (window <= 0) return c;
  f32 tone = 1 + 0.08f * (vnoise(x, y, 32, s) - 0.5f) * window;
  c = c * tone;
  u32 palette[3] = {0, 0, 0};
  f32 radius = 1.6f;
  bool stain = false;
  switch (kind) {
    case TileType_Grass: palette[0] = 0xF2F0E6, palette[1] = 0xF0D040, palette[2] = 0x9A6AC8; break;
    case TileType_Sand: palette[0] = 0xF4EEDC, palette[1] = 0xA89A80, palette[2] = 0xC8B080; break;
    case TileType_ShallowWater:
    case TileType_DeepWater: palette[0] = palette[1] = palette[2] = 0xCFE6F0, radius = 1.1f; break;
    case TileType_LeafForest: palette[0] = 0xC8702A, palette[1] = 0xD8C8A0, palette[2] = 0x8A2E1A; break;
    case TileType_PineForest: palette[0] = 0x5A3A1E, palette[1] = 0x6E4A26, palette[2] = 0x2E4A2A, radius = 2.2f; break;
    case TileType_Rock: palette[0] = 0x4E6A32, palette[1] = 0x5E7A3A, palette[2] = 0x505052, radius = 2.6f; break;
    case TileType_Dirt:
    case TileType_Soil:
    case TileType_Ground:
    case TileType_SolidGround: palette[0] = 0x8E8478, palette[1] = 0x5E5448, palette[2] = 0xA89A88; break;
    default: stain = true, radius = 5; break;
  }
  int nspots = stain ? 1 + (int)(hash01(variant, 0, s) * 2) : 3 + (int)(hash01(variant, 1, s) * 4);
  for (int i = 0; i < nspots; i++) {
    f32 sx = 14 + 36 * hash01(i, 2, s), sy = 14 + 36 * hash01(i, 3, s);
    f32 r = radius * (0.8f + 0.6f * hash01(i, 4, s));
    f32 d = sqrtf(sqr(x - sx) + sqr(y - sy));
    if (stain) {
      f32 a = 0.18f * (1 - smoothstep(r * 0.3f, r, d + 2 * vnoise(x, y, 4, s + (u32)i)));
      c = c * (1 - a * window);
    } else {
      v3 spot = rgb(palette[hash2(i, 5, s) % 3]);
      f32 a = 1 - smoothstep(r - 0.7f, r + 0.5f, d);
      // A little shade below each detail lifts it off the ground.
      f32 shade = 0.25f * (1 - smoothstep(r - 0.5f, r + 1.5f, sqrtf(sqr(x - sx - 0.8f) + sqr(y - sy - 1.2f))));
      c = c * (1 - shade * window);
      c = mix(c, spot, a * window);
    }
  }
  return c;
}

// Coverage of an edge piece: the kind fills the quadrants whose tiles are of that kind (bit clear in the
// mask) and fades out across the tile border with some noise, never touching the cell's own border
// except where a present quadrant meets it.
static f32 tiles_piece_alpha(int mask, f32 x, f32 y, u32 seed) {
  f32 tl = (mask & 1) ? 0.0f : 1.0f, t = (mask & 2) ? 0.0f : 1.0f;
  f32 l = (mask & 4) ? 0.0f : 1.0f, c = (mask & 8) ? 0.0f : 1.0f;
  f32 tx = clamp((x - 16) / 32, 0.0f, 1.0f), ty = clamp((y - 16) / 32, 0.0f, 1.0f);
  f32 presence = tiles_lerp(tiles_lerp(tl, t, tx), tiles_lerp(l, c, tx), ty);
  f32 wobble = 0.6f * (vnoise(x, y, 16, seed) - 0.5f) + 0.3f * (vnoise(x, y, 8, seed + 1) - 0.5f);
  return smoothstep(0.36f, 0.64f, presence + wobble);
}

static u8 to_byte(f32 v) { return (u8)clamp((int)(v * 255 + 0.5f), 0, 255); }

static void tiles_paint_cell(u8* pixels, int width, TileCell cell, TileType kind, int variant, int mask) {
  for (int py = 0; py < TILE_ATLAS_CELL; py++)
    for (int px = 0; px < TILE_ATLAS_CELL; px++) {
      f32 x = (f32)px + 0.5f, y = (f32)py + 0.5f;
      v3 c = tiles_paint(kind, x, y);
      f32 alpha = 1;
      if (mask) {
        alpha = tiles_piece_alpha(mask, x, y, (u32)kind * 53u + 17u);
      } else {
        c = tiles_details(kind, variant, x, y, c);
      }
      u8* p = pixels + 4 * ((cell.row * TILE_ATLAS_CELL + py) * width + cell.col * TILE_ATLAS_CELL + px);
      p[0] = to_byte(c.x), p[1] = to_byte(c.y), p[2] = to_byte(c.z), p[3] = to_byte(alpha);
    }
}

static bool tiles_generate(const char* out_dir) {
  int blocks_per_row = tile_atlas_blocks_per_row(TILE_ATLAS_WIDTH);
  int block_rows = (TILES_MAPPING_COUNT + blocks_per_row - 1) / blocks_per_row;
  int width = TILE_ATLAS_WIDTH, height = block_rows * TILE_BLOCK_ROWS * TILE_ATLAS_CELL;
  u8* pixels = (u8*)calloc((size_t)(width * height * 4), 1);
  if (!pixels) return false;
  for (int i = 0; i < TILES_MAPPING_COUNT; i++) {
    TileType kind = tiles_mapping[i];
    TileCell base = {TILE_BLOCK_COLS * (i % blocks_per_row), TILE_BLOCK_ROWS * (i / blocks_per_row)};
    for (int k = 0; k < TILE_VARIANTS; k++) {
      TileCell c = {base.col + tile_variant_cells[k].col, base.row + tile_variant_cells[k].row};
      tiles_paint_cell(pixels, width, c, kind, k, 0);
    }
    for (int m = 1; m < 15; m++) {
      TileCell c = {base.col + tile_mask_cells[m].col, base.row + tile_mask_cells[m].row};
      tiles_paint_cell(pixels, width, c, kind, 0, m);
    }
  }
  char path[512];
  snprintf(path, sizeof(path), "%s/tiles.png", out_dir);
  bool ok = assetgen_write_png(path, width, height, 4, pixels);
  free(pixels);
  return ok;
}

ASSETGEN_REGISTER("tiles", tiles_generate);
