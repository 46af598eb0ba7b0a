// Textures the renderer loads at start: the action icons, the fire and flame images and the sky faces.
// Shapes are drawn from signed distances with one pixel of anti-aliasing, so every run gives the same bytes.
#include <functional>

#include "assetgen.hpp"
#include "math.hpp"

typedef std::function<f32(v2)> ShapeFn;

// Straight (not premultiplied) RGBA in 0..1, row 0 at the top.
struct Canvas {
  f32* pixels = nullptr;
  int w = 0, h = 0;
};

// --- signed distances (negative inside)

static f32 sd_segment(v2 p, v2 a, v2 b, f32 radius) {
  v2 pa = p - a, ba = b - a;
  f32 h = clamp(v2_dot(pa, ba) / max(v2_dot(ba, ba), 1e-6f), 0.0f, 1.0f);
  return v2_len(pa - ba * h) - radius;
}

static f32 sd_circle(v2 p, v2 c, f32 radius) { return v2_len(p - c) - radius; }

static f32 sd_ring(v2 p, v2 c, f32 radius, f32 half_width) { return fabsf(v2_len(p - c) - radius) - half_width; }

// Convex polygon with corners in either winding.
static f32 sd_polygon(v2 p, const v2* v, int n) {
  f32 d = v2_dot(p - v[0], p - v[0]);
  f32 s = 1;
  for (int i = 0, j = n - 1; i < n; j = i, i++) {
    v2 e = v[j] - v[i], w = p - v[i];
    v2 b = w - e * clamp(v2_dot(w, e) / max(v2_dot(e, e), 1e-6f), 0.0f, 1.0f);
    d = min(d, v2_dot(b, b));
    bool c1 = p.y >= v[i].y, c2 = p.y<v[j].y, c3 = e.x * w.y> e.y * w.x;
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
  }
  return s * sqrtf(d);
}

// --- canvas

static Canvas canvas_make(int w, int h) {
  Canvas c;
  c.w = w;
  c.h = h;
  c.pixels = (f32*)calloc((size_t)w * h * 4, sizeof(f32));
  return c;
}

static void canvas_free(Canvas& c) {
  free(c.pixels);
  c.pixels = nullptr;
}

static void canvas_blend(Canvas& c, int x, int y, Color color, f32 coverage) {
  if (x < 0 || y < 0 || x >= c.w || y >= c.h || coverage <= 0) return;
  f32* px = c.pixels + ((size_t)y * c.w + x) * 4;
  f32 a = clamp(color.a * coverage, 0.0f, 1.0f);
  f32 out_a = a + px[3] * (1 - a);
  for (int k = 0; k < 3; k++) {
    f32 src = color.elements[k] * a, dst = px[k] * px[3] * (1 - a);
    px[k] = out_a > 0 ? (src + dst) / out_a : 0;
  }
  px[3] = out_a;
}

// Fills the shape `sd` (a distance in canvas pixels), grown by `grow` pixels.
static void canvas_fill(Canvas& c, const ShapeFn& sd, f32 grow, Color color) {
  for (int y = 0; y < c.h; y++)
    for (int x = 0; x < c.w; x++) {
      f32 d = sd(v2{(f32)x + 0.5f, (f32)y + 0.5f}) - grow;
      canvas_blend(c, x, y, color, clamp(0.5f - d, 0.0f, 1.0f));
    }
}

// Copies the canvas into a cell of an 8-bit RGBA image.
static void canvas_store(const Canvas& c, u8* image, int image_w, int cell_x, int cell_y) {
  for (int y = 0; y < c.h; y++)
    for (int x = 0; x < c.w; x++) {
      const f32* px = c.pixels + ((size_t)y * c.w + x) * 4;
      u8* out = image + ((size_t)(cell_y + y) * image_w + cell_x + x) * 4;
      for (int k = 0; k < 4; k++) out[k] = (u8)lroundf(clamp(px[k], 0.0f, 1.0f) * 255);
    }
}

// --- icons: 128-pixel cells, 8 a row, light shapes with a dark outline so they read on any ground.

static const Color ICON_OUTLINE = {{0.06f, 0.05f, 0.08f, 0.95f}};

struct IconShape {
  ShapeFn sd;
  Color color;
};

static void draw_icon(Canvas& c, const IconShape* shapes, int n) {
  for (int i = 0; i < n; i++) canvas_fill(c, shapes[i].sd, 4, ICON_OUTLINE);
  for (int i = 0; i < n; i++) canvas_fill(c, shapes[i].sd, 0, shapes[i].color);
}

static ShapeFn arrow_head(v2 tip, v2 dir, f32 length, f32 half_width) {
  v2 n = {-dir.y, dir.x};
  v2 base = tip - dir * length;
  return [=](v2 p) {
    v2 v[3] = {tip, base + n * half_width, base - n * half_width};
    return sd_polygon(p, v, 3);
  };
}

static ShapeFn segment(v2 a, v2 b, f32 r) {
  return [=](v2 p) { return sd_segment(p, a, b, r); };
}

static ShapeFn circle(v2 c, f32 r) {
  return [=](v2 p) { return sd_circle(p, c, r); };
}

static ShapeFn ring(v2 c, f32 r, f32 half_width) {
  return [=](v2 p) { return sd_ring(p, c, r, half_width); };
}

static ShapeFn polygon(std::initializer_list<v2> corners) {
  v2 v[8];
  int n = 0;
  for (v2 c : corners)
    if (n < 8) v[n++] = c;
  return [=](v2 p) { return sd_polygon(p, v, n); };
}

static ShapeFn rounded(ShapeFn shape, f32 r) {
  return [=](v2 p) { return shape(p) - r; };
}

static ShapeFn star(v2 c, f32 outer, f32 inner, int points, f32 turn) {
  return [=](v2 p) {
    // Union of the star's triangles (each tip with the two inner corners beside it) and its core.
    f32 d = sd_circle(p, c, inner);
    for (int i = 0; i < points; i++) {
      f32 a = turn + (f32)i * tau / (f32)points;
      f32 da = pi / (f32)points;
      v2 v[3] = {c + v2{cosf(a), sinf(a)} * outer, c + v2{cosf(a + da), sinf(a + da)} * inner,
                 c + v2{cosf(a - da), sinf(a - da)} * inner};
      d = min(d, sd_polygon(p, v, 3));
    }
    return d;
  };
}

static ShapeFn sword(v2 tip, v2 pommel, f32 blade_half_width) {
  v2 dir = v2_normalized(tip - pommel);
  v2 n = {-dir.y, dir.x};
  f32 length = v2_len(tip - pommel);
  v2 guard = pommel + dir * (length * 0.3f);
  return [=](v2 p) {
    v2 blade[4] = {guard + n * blade_half_width, tip - dir * (blade_half_width * 2) + n * blade_half_width, tip,
                   guard - n * blade_half_width};
    f32 d = sd_polygon(p, blade, 4);
    d = min(d, sd_segment(p, guard + n * blade_half_width * 2.6f, guard - n * blade_half_width * 2.6f, 4));
    d = min(d, sd_segment(p, pommel, guard, 3.5f));
    d = min(d, sd_circle(p, pommel, 6));
    return d;
  };
}

static void icon_move(Canvas& c) {
  Color fill = {{0.85f, 0.95f, 1, 1}};
  v2 o = {64, 64};
  IconShape shapes[] = {
      {segment(o + v2{-34, 0}, o + v2{34, 0}, 5), fill},   {segment(o + v2{0, -34}, o + v2{0, 34}, 5), fill},
      {arrow_head(o + v2{50, 0}, v2{1, 0}, 20, 15), fill}, {arrow_head(o + v2{-50, 0}, v2{-1, 0}, 20, 15), fill},
      {arrow_head(o + v2{0, 50}, v2{0, 1}, 20, 15), fill}, {arrow_head(o + v2{0, -50}, v2{0, -1}, 20, 15), fill},
      {ring(o, 13, 4), Color{{0.4f, 0.8f, 1, 1}}},
  };
  draw_icon(c, shapes, len(shapes));
}

static void icon_strike(Canvas& c) {
  IconShape shapes[] = {{sword(v2{104, 24}, v2{26, 102}, 8), Color{{0.9f, 0.92f, 0.95f, 1}}}};
  draw_icon(c, shapes, len(shapes));
}

static void icon_dash(Canvas& c) {
  Color fill = {{1, 0.9f, 0.5f, 1}};
  IconShape shapes[] = {
      {segment(v2{20, 44}, v2{62, 44}, 4), fill},
      {segment(v2{12, 64}, v2{72, 64}, 5), fill},
      {segment(v2{20, 84}, v2{62, 84}, 4), fill},
      {polygon({v2{70, 30}, v2{114, 64}, v2{70, 98}, v2{82, 64}}), fill},
  };
  draw_icon(c, shapes, len(shapes));
}

static void icon_strong_attack(Canvas& c) {
  IconShape shapes[] = {
      {star(v2{88, 40}, 34, 14, 8, 0.2f), Color{{1, 0.55f, 0.15f, 1}}},
      {sword(v2{96, 32}, v2{22, 106}, 10), Color{{0.95f, 0.95f, 1, 1}}},
  };
  draw_icon(c, shapes, len(shapes));
}

static void icon_context_menu(Canvas& c) {
  Color panel = {{0.75f, 0.8f, 0.9f, 1}}, line = {{0.2f, 0.25f, 0.35f, 1}};
  IconShape shapes[] = {
      {rounded(polygon({v2{28, 26}, v2{100, 26}, v2{100, 102}, v2{28, 102}}), 6), panel},
  };
  draw_icon(c, shapes, len(shapes));
  for (int i = 0; i < 3; i++) {
    f32 y = 42 + (f32)i * 22;
    canvas_fill(c, segment(v2{36, y}, v2{92, y}, 4), 0, line);
  }
  canvas_fill(c, arrow_head(v2{100, 112}, v2_normalized(v2{1, 1}), 26, 12), 3, ICON_OUTLINE);
  canvas_fill(c, arrow_head(v2{100, 112}, v2_normalized(v2{1, 1}), 26, 12), 0, Color{{1, 1, 1, 1}});
}

static void icon_battle_stance(Canvas& c) {
  Color shield = {{0.55f, 0.65f, 0.85f, 1}}, cross = {{0.95f, 0.85f, 0.35f, 1}};
  IconShape shapes[] = {
      {polygon({v2{24, 22}, v2{104, 22}, v2{100, 70}, v2{64, 112}, v2{28, 70}}), shield},
  };
  draw_icon(c, shapes, len(shapes));
  canvas_fill(c, segment(v2{64, 34}, v2{64, 92}, 6), 0, cross);
  canvas_fill(c, segment(v2{40, 54}, v2{88, 54}, 6), 0, cross);
}

static void icon_stats(Canvas& c) {
  Color bars[3] = {{{0.5f, 0.85f, 0.5f, 1}}, {{0.95f, 0.8f, 0.35f, 1}}, {{0.9f, 0.45f, 0.4f, 1}}};
  f32 heights[3] = {36, 60, 84};
  IconShape shapes[4];
  for (int i = 0; i < 3; i++) {
    f32 x = 26 + (f32)i * 28, top = 106 - heights[i];
    shapes[i] = {polygon({v2{x, top}, v2{x + 20, top}, v2{x + 20, 106}, v2{x, 106}}), bars[i]};
  }
  shapes[3] = {segment(v2{16, 110}, v2{112, 110}, 3), Color{{0.9f, 0.9f, 0.9f, 1}}};
  draw_icon(c, shapes, len(shapes));
}

static void icon_craft(Canvas& c) {
  IconShape shapes[] = {
      {segment(v2{30, 104}, v2{74, 52}, 6), Color{{0.75f, 0.55f, 0.3f, 1}}},
      {polygon({v2{58, 20}, v2{108, 62}, v2{94, 78}, v2{44, 36}}), Color{{0.75f, 0.78f, 0.85f, 1}}},
  };
  draw_icon(c, shapes, len(shapes));
}

static void icon_spells(Canvas& c) {
  Color spark = {{0.8f, 0.6f, 1, 1}};
  IconShape shapes[] = {
      {star(v2{62, 64}, 44, 18, 5, -pi / 2), Color{{0.7f, 0.5f, 1, 1}}},
      {star(v2{104, 24}, 14, 5, 4, 0), spark},
      {star(v2{24, 102}, 11, 4, 4, 0.4f), spark},
      {circle(v2{62, 66}, 8), Color{{1, 1, 1, 1}}},
  };
  draw_icon(c, shapes, len(shapes));
}

static bool generate_icons(const char* out_dir) {
  const int cell = 128, per_row = 8;
  void (*icons[])(Canvas&) = {icon_move,          icon_strike, icon_dash,  icon_strong_attack, icon_context_menu,
                              icon_battle_stance, icon_stats,  icon_craft, icon_spells};
  const int n = len(icons);
  int w = cell * per_row, h = cell * ((n + per_row - 1) / per_row);
  u8* image = (u8*)calloc((size_t)w * h * 4, 1);
  for (int i = 0; i < n; i++) {
    Canvas c = canvas_make(cell, cell);
    icons[i](c);
    canvas_store(c, image, w, (i % per_row) * cell, (i / per_row) * cell);
    canvas_free(c);
  }
  Path path;
  snprintf(path.buffer, sizeof(path.buffer), "%s/icons.png", out_dir);
  bool ok = assetgen_write_png(path.cstr(), w, h, 4, image);
  free(image);
  return ok;
}

// --- fire

// Smooth value noise from a fixed lattice hash: the same on every machine.
static f32 value_noise(f32 x, f32 y) {
  auto hash = [](int i, int j) {
    u32 h = (u32)i * 374761393u + (u32)j * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (f32)((h ^ (h >> 16)) & 0xffff) / 65535.0f;
  };
  int i = (int)floorf(x), j = (int)floorf(y);
  f32 fx = x - (f32)i, fy = y - (f32)j;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  f32 a = hash(i, j), b = hash(i + 1, j), c = hash(i, j + 1), d = hash(i + 1, j + 1);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// A flame: a teardrop, torn at the top by noise, white-yellow inside and red at the rim. Row 0 is the top.
static bool generate_fire(const char* out_dir) {
  const int w = 64, h = 128;
  u8* image = (u8*)calloc((size_t)w * h * 4, 1);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      f32 u = ((f32)x + 0.5f) / w * 2 - 1;  // -1..1 across
      f32 v = 1 - ((f32)y + 0.5f) / h;      // 0 at the bottom, 1 at the top
      f32 width = 0.95f * sqrtf(max(0.0f, 1 - v)) * (0.35f + 0.65f * sqrtf(clamp(v * 4, 0.0f, 1.0f)));
      f32 n = value_noise((f32)x * 0.18f, (f32)y * 0.09f) * 0.6f + value_noise((f32)x * 0.5f, (f32)y * 0.25f) * 0.4f;
      f32 edge = width * (0.75f + 0.5f * n) - fabsf(u);
      f32 alpha = clamp(edge * 6, 0.0f, 1.0f) * clamp((1 - v) * 3, 0.0f, 1.0f);
      f32 core = clamp(edge * 2.5f, 0.0f, 1.0f) * clamp(1.2f - v, 0.0f, 1.0f);
      Color c = {{1, 0.25f + 0.7f * core, 0.05f + 0.6f * core * core, alpha}};
      u8* px = image + ((size_t)y * w + x) * 4;
      for (int k = 0; k < 4; k++) px[k] = (u8)lroundf(clamp(c.elements[k], 0.0f, 1.0f) * 255);
    }
  Path path;
  snprintf(path.buffer, sizeof(path.buffer), "%s/fire.png", out_dir);
  bool ok = assetgen_write_png(path.cstr(), w, h, 4, image);
  free(image);
  return ok;
}

// One particle: a soft, slightly ragged blob, near white so that the particle colour decides its hue.
static bool generate_flame(const char* out_dir) {
  const int size = 64;
  u8* image = (u8*)calloc((size_t)size * size * 4, 1);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      v2 p = {((f32)x + 0.5f) / size * 2 - 1, ((f32)y + 0.5f) / size * 2 - 1};
      f32 r = v2_len(p) * (0.85f + 0.3f * value_noise((f32)x * 0.2f + 11, (f32)y * 0.2f + 5));
      f32 alpha = clamp(1 - r, 0.0f, 1.0f);
      alpha = alpha * alpha * (3 - 2 * alpha);
      u8* px = image + ((size_t)y * size + x) * 4;
      px[0] = 255;
      px[1] = (u8)lroundf(215 + 40 * alpha);
      px[2] = (u8)lroundf(170 + 85 * alpha);
      px[3] = (u8)lroundf(alpha * 255);
    }
  Path path;
  snprintf(path.buffer, sizeof(path.buffer), "%s/flame.png", out_dir);
  bool ok = assetgen_write_png(path.cstr(), size, size, 4, image);
  free(image);
  return ok;
}

// --- sky faces (used only when the sky cube is switched on)

// Face directions in the cube-map convention (y up): right, left, top, bottom, front, back.
static v3 sky_face_direction(int face, f32 s, f32 t) {
  switch (face) {
    case 0: return {{1, -t, -s}};
    case 1: return {{-1, -t, s}};
    case 2: return {{s, 1, t}};
    case 3: return {{s, -1, -t}};
    case 4: return {{s, -t, 1}};
    default: return {{-s, -t, -1}};
  }
}

static bool generate_sky(const char* out_dir) {
  const char* names[6] = {"right.png", "left.png", "top.png", "bottom.png", "front.png", "back.png"};
  const int size = 128;
  u8* image = (u8*)malloc((size_t)size * size * 4);
  bool ok = true;
  for (int face = 0; face < 6 && ok; face++) {
    for (int y = 0; y < size; y++)
      for (int x = 0; x < size; x++) {
        v3 d = v3_normalized(sky_face_direction(face, ((f32)x + 0.5f) / size * 2 - 1, ((f32)y + 0.5f) / size * 2 - 1));
        f32 up = d.y;
        Color horizon = {{0.75f, 0.82f, 0.9f, 1}}, zenith = {{0.2f, 0.4f, 0.8f, 1}}, ground = {{0.25f, 0.22f, 0.2f, 1}};
        f32 k = up >= 0 ? sqrtf(up) : clamp(-up * 4, 0.0f, 1.0f);
        Color a = horizon, b = up >= 0 ? zenith : ground;
        u8* px = image + ((size_t)y * size + x) * 4;
        for (int c = 0; c < 3; c++) px[c] = (u8)lroundf((a.elements[c] + (b.elements[c] - a.elements[c]) * k) * 255);
        px[3] = 255;
      }
    Path path;
    snprintf(path.buffer, sizeof(path.buffer), "%s/skybox/%s", out_dir, names[face]);
    ok = assetgen_write_png(path.cstr(), size, size, 4, image);
  }
  free(image);
  return ok;
}

static bool generate_textures(const char* out_dir) {
  return generate_icons(out_dir) && generate_fire(out_dir) && generate_flame(out_dir) && generate_sky(out_dir);
}

ASSETGEN_REGISTER("textures", generate_textures);
