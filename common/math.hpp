#pragma once
// Vectors, matrices, quaternions, rectangles, boxes, colours, parameters and random numbers.
#include <math.h>

#include "types.hpp"

constexpr f32 pi = 3.1415927f;
constexpr f32 tau = 6.2831855f;
constexpr f32 EPSILON = 0.000001f;

// --- scalars

inline f32 sqr(f32 x) { return x * x; }
inline f32 fract(f32 x) { return x - floorf(x); }
inline f32 signof(f32 x) { return x < 0 ? -1.0f : 1.0f; }
inline f32 to_degrees(f32 r) { return 360.0f * r / 6.2831855f; }
inline f32 normalize_radians(f32 a) { return a - (ceilf((a + pi) / tau) - 1.0f) * tau; }
inline f32 clamp(f32 value, f32 from, f32 to) {
  if (from > value) return from;
  if (value > to) return to;
  return value;
}
inline int clamp(int value, int from, int to) {
  if (from > value) return from;
  if (value > to) return to;
  return value;
}
inline f32 clamp1(f32 x) { return x < 1.0f ? x : 1.0f; }
inline f32 linlin(f32 in, f32 in_min, f32 in_max, f32 out_min, f32 out_max) {
  f32 k = (out_max - out_min) / (in_max - in_min);
  return k * in + (out_min - in_min * k);
}
inline f32 normalize(f32 value, f32 start, f32 end) { return (value - start) / (end - start); }
inline f32 unlerp(f32 value, f32 start, f32 end) { return normalize(value, start, end); }
inline f32 ease_in_cubic(f32 t) { return t * t * t; }
inline int min(int a, int b) { return a < b ? a : b; }
inline int max(int a, int b) { return a > b ? a : b; }
inline f32 min(f32 a, f32 b) { return a < b ? a : b; }
inline f32 max(f32 a, f32 b) { return a > b ? a : b; }

// --- random numbers (the C library generator)

// The rules were tuned for a generator whose maximum is 32767; glibc's reaches 2^31 - 1, so keep 15 bits.
inline int rand15() { return rand() & 32767; }
inline f32 rrand(f32 from, f32 to) { return (f32)(from + rand15() * ((f64)(to - from) / 32767.0)); }
inline int linrandi(int from, int to) { return (int)(from + rand15() * ((f64)(to - from) / 32767.0)); }
// An index in [0, count): rand() can return 32767, which linrandi would turn into `count` itself.
inline int rand_index(int count) {
  int i = linrandi(0, count);
  return i >= count ? count - 1 : i;
}
template <typename T, size_t N>
const T& choose(const T (&arr)[N]) {
  return arr[rand_index((int)N)];
}
#define choose_type(T) ((T)rand_index((int)T##_Num))

// --- lattice hash

// A well-mixed 32-bit value for a lattice point and a seed: the same on every machine and every run, which
// the world generator and the asset generator rely on.
inline u32 hash2(int x, int y, u32 seed) {
  u32 h = seed * 0x9E3779B1u ^ (u32)x * 0x85EBCA77u ^ (u32)y * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// --- vectors

struct v2 {
  f32 x, y;
};

union v3 {
  struct {
    f32 x, y, z;
  };
  struct {
    v2 xy;
    f32 _z;
  };
  f32 elements[3];
};

union v4 {
  struct {
    f32 x, y, z, w;
  };
  struct {
    v3 xyz;
    f32 _w;
  };
  struct {
    v2 xy;
    f32 _z2, _w2;
  };
  f32 elements[4];
};
static_assert(sizeof(v2) == 8 && sizeof(v3) == 12 && sizeof(v4) == 16);

inline v2 operator+(v2 a, v2 b) { return {a.x + b.x, a.y + b.y}; }
inline v2 operator-(v2 a, v2 b) { return {a.x - b.x, a.y - b.y}; }
inline v2 operator-(v2 a) { return {-a.x, -a.y}; }
inline v2& operator+=(v2& a, v2 b) { return a = a + b; }
inline v2& operator-=(v2& a, v2 b) { return a = a - b; }
inline v2 operator*(v2 a, f32 s) { return {a.x * s, a.y * s}; }
inline v2 operator*(f32 s, v2 a) { return {a.x * s, a.y * s}; }
inline v2& operator*=(v2& a, f32 s) { return a = a * s; }
inline v2 operator/(v2 a, f32 s) { return {a.x / s, a.y / s}; }

inline f32 v2_dot(v2 a, v2 b) { return a.x * b.x + a.y * b.y; }
inline f32 v2_len_sqr(v2 v) { return v.x * v.x + v.y * v.y; }
inline f32 v2_len(v2 v) { return sqrtf(v2_len_sqr(v)); }
inline v2 v2_sub(v2 a, v2 b) { return a - b; }
inline v2 v2_hadamard(v2 a, v2 b) { return {a.x * b.x, a.y * b.y}; }
inline f32 v2_distance_sqr(v2 a, v2 b) { return v2_len_sqr(a - b); }
inline f32 v2_distance(v2 a, v2 b) { return v2_len(a - b); }
inline bool v2_distance_lt(v2 a, v2 b, f32 d) { return v2_distance_sqr(a, b) < d * d; }
inline bool v2_distance_le(v2 a, v2 b, f32 d) { return v2_distance_sqr(a, b) <= d * d; }
inline bool v2_distance_gt(v2 a, v2 b, f32 d) { return v2_distance_sqr(a, b) > d * d; }
inline v2 v2_floor(v2 v) { return {floorf(v.x), floorf(v.y)}; }
inline v2 v2_ceil(v2 v) { return {ceilf(v.x), ceilf(v.y)}; }
inline v2 v2_round(v2 v) { return {roundf(v.x), roundf(v.y)}; }
inline v2 v2_round_to(v2 v, f32 value) { return v2_round(v / value) * value; }
inline f32 v2_angle(v2 v) { return atan2f(v.y, v.x); }
inline v2 v2_rotate(v2 v, f32 a) {
  f32 c = cosf(a), s = sinf(a);
  return {v.x * c - v.y * s, v.y * c + v.x * s};
}
inline v2 v2_clamp(v2 v, v2 lo, v2 hi) { return {clamp(v.x, lo.x, hi.x), clamp(v.y, lo.y, hi.y)}; }
inline bool v2_equal(v2 a, v2 b) { return a.x == b.x && a.y == b.y; }
inline bool is_zero(const v2& v) { return v.x == 0 && v.y == 0; }
inline bool v2_is_zero(v2 v) { return v.x == 0 && v.y == 0; }
inline void v2_normalize(v2* v) {
  f32 l = v2_len(*v);
  if (l != 0) *v = *v / l;
}
inline v2 v2_normalized(v2 v) {
  v2_normalize(&v);
  return v;
}
inline void v2_scale(v2* v, f32 s) { *v = *v * s; }
inline void v2_set_len(v2* v, f32 l) {
  v2_normalize(v);
  v2_scale(v, l);
}
inline v2 v2_with_len(v2 v, f32 l) {
  v2_set_len(&v, l);
  return v;
}
inline void v2_limit(v2* v, f32 limit) {
  if (v2_len_sqr(*v) > limit * limit) v2_set_len(v, limit);
}
inline v2 v2_rand(f32 radius) {
  f32 angle = rrand(0, 2 * pi);
  return {cosf(angle) * radius, sinf(angle) * radius};
}

inline v3 operator+(v3 a, v3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline v3 operator-(v3 a, v3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline v3 operator-(v3 a) { return {-a.x, -a.y, -a.z}; }
inline v3& operator+=(v3& a, v3 b) { return a = a + b; }
inline v3& operator-=(v3& a, v3 b) { return a = a - b; }
inline v3 operator*(v3 a, f32 s) { return {a.x * s, a.y * s, a.z * s}; }
inline v3 operator*(f32 s, v3 a) { return a * s; }
inline v3& operator*=(v3& a, f32 s) { return a = a * s; }
inline v3 operator/(v3 a, f32 s) { return {a.x / s, a.y / s, a.z / s}; }
inline f32 v3_dot(v3 a, v3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline v3 v3_cross(v3 a, v3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline f32 v3_len_sqr(v3 v) { return v3_dot(v, v); }
inline f32 v3_len(v3 v) { return sqrtf(v3_len_sqr(v)); }
inline v3 v3_sub(v3 a, v3 b) { return a - b; }
inline bool v3_is_zero(v3 v) { return v.x == 0 && v.y == 0 && v.z == 0; }
inline void v3_normalize(v3* v) {
  f32 l = v3_len(*v);
  if (l != 0) *v = *v / l;
}
inline v3 v3_normalized(v3 v) {
  v3_normalize(&v);
  return v;
}
inline v3 v3_from_v2(v2 v, f32 z) { return {v.x, v.y, z}; }
inline v4 v4_from_v3(v3 v, f32 w) { return {v.x, v.y, v.z, w}; }

inline v4 operator+(v4 a, v4 b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
inline v4 operator-(v4 a, v4 b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }
inline v4 operator-(v4 a) { return {-a.x, -a.y, -a.z, -a.w}; }
inline v4 operator*(v4 a, f32 s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }
inline v4 operator*(f32 s, v4 a) { return a * s; }
inline v4 operator/(v4 a, f32 s) { return {a.x / s, a.y / s, a.z / s, a.w / s}; }
inline f32 v4_dot(v4 a, v4 b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline f32 v4_len(v4 v) { return sqrtf(v4_dot(v, v)); }

// --- matrices: stored row by row, multiplying column vectors; translation in elements 3, 7, 11.

union m3 {
  struct {
    f32 _00, _01, _02, _10, _11, _12, _20, _21, _22;
  };
  f32 elements[9];
};

union m4 {
  v4 rows[4];
  f32 elements[16];
  struct {
    f32 _00, _01, _02, _03, _10, _11, _12, _13, _20, _21, _22, _23, _30, _31, _32, _33;
  };
  // Column-major names for handing the matrix to GL: the first row is e0, e4, e8, e12.
  struct {
    f32 e0, e4, e8, e12, e1, e5, e9, e13, e2, e6, e10, e14, e3, e7, e11, e15;
  };
};
static_assert(sizeof(m3) == 36 && sizeof(m4) == 64);

inline m4 m4_identity() {
  m4 m = {};
  m._00 = m._11 = m._22 = m._33 = 1;
  return m;
}
inline m4 operator*(const m4& a, const m4& b) {
  m4 r;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
      r.elements[i * 4 + j] =
          a.elements[i * 4 + 0] * b.elements[0 * 4 + j] + a.elements[i * 4 + 1] * b.elements[1 * 4 + j] +
          a.elements[i * 4 + 2] * b.elements[2 * 4 + j] + a.elements[i * 4 + 3] * b.elements[3 * 4 + j];
  return r;
}
inline m4& operator*=(m4& a, const m4& b) { return a = a * b; }
inline m4 operator*(f32 s, const m4& m) {
  m4 r;
  for (int i = 0; i < 16; i++) r.elements[i] = s * m.elements[i];
  return r;
}
inline v4 operator*(const m4& m, v4 v) {
  return {v4_dot(m.rows[0], v), v4_dot(m.rows[1], v), v4_dot(m.rows[2], v), v4_dot(m.rows[3], v)};
}
inline v3 operator*(const m3& m, v3 v) {
  return {m._00 * v.x + m._01 * v.y + m._02 * v.z, m._10 * v.x + m._11 * v.y + m._12 * v.z,
          m._20 * v.x + m._21 * v.y + m._22 * v.z};
}
inline m4 m4_transpose(const m4& m) {
  m4 r;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) r.elements[j * 4 + i] = m.elements[i * 4 + j];
  return r;
}
inline m4 m4_scale(f32 x, f32 y, f32 z) {
  m4 m = m4_identity();
  m._00 = x, m._11 = y, m._22 = z;
  return m;
}
inline m4 m4_scale(v3 s) { return m4_scale(s.x, s.y, s.z); }
inline m4 m4_scale_uniform(f32 s) { return m4_scale(s, s, s); }
inline m4 m4_translate(f32 x, f32 y, f32 z) {
  m4 m = m4_identity();
  m._03 = x, m._13 = y, m._23 = z;
  return m;
}
inline m4 m4_translate(v3 t) { return m4_translate(t.x, t.y, t.z); }
inline void m4_set_translation(m4& m, f32 x, f32 y, f32 z) { m._03 = x, m._13 = y, m._23 = z; }
inline void m4_set_translation(m4& m, v3 t) { m4_set_translation(m, t.x, t.y, t.z); }
inline m4 m4_translate_and_scale(v3 translate, v3 scale) {
  m4 m = m4_scale(scale);
  m4_set_translation(m, translate);
  return m;
}
inline m4 m4_translate_and_scale(f32 x, f32 y, f32 sx, f32 sy) {
  m4 m = m4_scale(sx, sy, 1);
  m4_set_translation(m, x, y, 0);
  return m;
}
inline m4 m4_rotate_x(f32 a) {
  f32 c = cosf(a), s = sinf(a);
  m4 m = m4_identity();
  m._11 = c, m._12 = -s, m._21 = s, m._22 = c;
  return m;
}
inline m4 m4_rotate_y(f32 a) {
  f32 c = cosf(a), s = sinf(a);
  m4 m = m4_identity();
  m._00 = c, m._02 = s, m._20 = -s, m._22 = c;
  return m;
}
inline m4 m4_rotate_z(f32 a) {
  f32 c = cosf(a), s = sinf(a);
  m4 m = m4_identity();
  m._00 = c, m._01 = -s, m._10 = s, m._11 = c;
  return m;
}
inline m3 m3_rotate_x(f32 a) {
  f32 c = cosf(a), s = sinf(a);
  return {{1, 0, 0, 0, c, -s, 0, s, c}};
}
inline m3 m3_rotate_z(f32 a) {
  f32 c = cosf(a), s = sinf(a);
  return {{c, -s, 0, s, c, 0, 0, 0, 1}};
}
inline m4 m4_from_columns(v3 x_axis, v3 y_axis, v3 z_axis, v3 translation) {
  m4 m = {};
  m._00 = x_axis.x, m._10 = x_axis.y, m._20 = x_axis.z;
  m._01 = y_axis.x, m._11 = y_axis.y, m._21 = y_axis.z;
  m._02 = z_axis.x, m._12 = z_axis.y, m._22 = z_axis.z;
  m._03 = translation.x, m._13 = translation.y, m._23 = translation.z;
  m._33 = 1;
  return m;
}
m4 m4_perspective(f32 n, f32 f, f32 l, f32 r, f32 b, f32 t);
m4 m4_frustum(f32 fov_y, f32 aspect_ratio, f32 near_plane, f32 far_plane);
m4 m4_ortho(f32 l, f32 r, f32 b, f32 t, f32 n, f32 f);
m4 m4_look_at(v3 pos, v3 target, v3 up);
m4 m4_inverse(const m4& m);

// --- quaternions: v4 with the scalar part in w

m4 quaternion_to_m4(v4 q);
v4 quaternion_from_m4(const m4& m);
v4 quaternion_nlerp(v4 q1, v4 q2, f32 amount);
v4 slerp(v4 q1, v4 q2, f32 amount);
v3 quaternion_to_euler(v4 q);

// --- rectangles

struct Rect {
  f32 x, y, w, h;
};

inline Rect rect_from_min_size(v2 min, v2 size) { return {min.x, min.y, size.x, size.y}; }
inline Rect rect_from_min_max(v2 min, v2 max) { return {min.x, min.y, max.x - min.x, max.y - min.y}; }
inline Rect rect_from_corners(v2 a, v2 b) {
  if (a.x > b.x) Swap(a, b);
  if (a.y > b.y) Swap(a.y, b.y);
  return rect_from_min_max(a, b);
}
inline Rect rect_from_selection(v2 start, v2 end) {
  return {min(start.x, end.x), min(start.y, end.y), fabsf(end.x - start.x), fabsf(end.y - start.y)};
}
inline Rect rect_at(v2 center, f32 width, f32 height) {
  return {center.x - width / 2, center.y - height / 2, width, height};
}
inline Rect rect_with_radius(v2 center, f32 radius) {
  return {center.x - radius, center.y - radius, 2 * radius, 2 * radius};
}
inline v2 rect_min(Rect r) { return {r.x, r.y}; }
inline v2 rect_max(Rect r) { return {r.x + r.w, r.y + r.h}; }
inline v2 rect_top_left(Rect r) { return {r.x, r.y}; }
inline v2 rect_top_right(Rect r) { return {r.x + r.w, r.y}; }
inline Rect rect_move(Rect r, v2 d) { return {r.x + d.x, r.y + d.y, r.w, r.h}; }
inline Rect grow(Rect r, f32 offset) { return {r.x - offset, r.y - offset, r.w + 2 * offset, r.h + 2 * offset}; }
inline Rect shrink(Rect r, f32 offset) { return {r.x + offset, r.y + offset, r.w - 2 * offset, r.h - 2 * offset}; }
inline bool point_intersects_rect(v2 p, Rect r) {
  return r.x <= p.x && p.x <= r.x + r.w && r.y <= p.y && p.y <= r.y + r.h;
}

// --- boxes

struct Bbox {
  v3 min, max;
};

inline Bbox bbox_at(v3 center, f32 radius) {
  v3 r = {radius, radius, radius};
  return {center - r, center + r};
}
inline Bbox bbox_at(v3 center, v3 dim) { return {center - dim / 2, center + dim / 2}; }
inline v3 bbox_dim(Bbox b) { return b.max - b.min; }
inline f32 bbox_width(Bbox b) { return b.max.x - b.min.x; }
inline f32 bbox_height(Bbox b) { return b.max.y - b.min.y; }
inline f32 bbox_depth(Bbox b) { return b.max.z - b.min.z; }
inline Bbox bbox_with_pos(Bbox b, v3 pos) { return bbox_at(pos, bbox_dim(b)); }
inline Bbox bbox_enlarge(Bbox b, v3 d) { return {b.min - d, b.max + d}; }
inline Bbox bbox_enlarge(Bbox b, f32 d) { return bbox_enlarge(b, v3{d, d, d}); }
inline v3 closest_point_bbox(v3 p, Bbox b) {
  return {clamp(p.x, b.min.x, b.max.x), clamp(p.y, b.min.y, b.max.y), clamp(p.z, b.min.z, b.max.z)};
}
bool segment_intersects_bbox(v3 a, v3 b, Bbox box);
f32 closest_point_segment_segment(v3 p1, v3 q1, v3 p2, v3 q2, f32& s, f32& t, v3& c1, v3& c2);
bool segment_intersects_capsule(v3 segment_start, v3 segment_end, v3 capsule_a, v3 capsule_b, f32 capsule_radius);

// --- colours

union Color {
  struct {
    f32 r, g, b, a;
  };
  v4 rgba;
  v3 rgb;
  f32 elements[4];
};
static_assert(sizeof(Color) == 16);

struct Hsv {
  f32 h, s, v;
};

Color from_hsv(f32 h, f32 s, f32 v, f32 a);
inline Color from_hsv(Hsv hsv, f32 a) { return from_hsv(hsv.h, hsv.s, hsv.v, a); }
inline Color gamma_correct(Color c) {
  return {{powf(c.r, 0.45454544f), powf(c.g, 0.45454544f), powf(c.b, 0.45454544f), c.a}};
}
inline Color fade(Color c, f32 alpha) {
  c.a = alpha;
  return c;
}

// --- parameters

struct Param {
  f32 cur, max;
};
struct Range {
  f32 min, max;
};
inline void set_param(Param& p, f32 value) { p.max = p.cur = value; }
inline f32 param_ratio(const Param& p) { return p.cur / p.max; }
