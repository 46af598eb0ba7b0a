#include "world/world_bars.hpp"

f32 world_bar_ratio(Param p) {
  if (!(p.max > 0) || !(p.cur > 0)) return 0;
  f32 t = p.cur / p.max;
  return t < 1 ? t : 1;  // also takes an infinite ratio to a full bar
}

HealthBar health_bar(f32 r, f32 t) {
  HealthBar b;
  b.lost_size = {2 * r * (1 - t), 2};
  b.lost_offset = {r * t, 1};
  b.left_size = {2 * r * t, 2};
  b.left_offset = {-r * (1 - t), 1};
  return b;
}

Rect tile_rect_snapped(v2 a, v2 b) {
  constexpr f32 T = 32;
  v2 lo = {floorf(fminf(a.x, b.x) / T) * T, floorf(fminf(a.y, b.y) / T) * T};
  v2 hi = {ceilf(fmaxf(a.x, b.x) / T) * T, ceilf(fmaxf(a.y, b.y) / T) * T};
  return rect_from_min_max(lo, hi);
}
