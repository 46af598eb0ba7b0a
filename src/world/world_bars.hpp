#pragma once
// The geometry of the bars over entities and of the tile tool's rectangle, apart from drawing.
#include "math.hpp"

// cur / max within 0..1; a maximum of 0, negative values or NaN give an empty bar, never NaN geometry.
f32 world_bar_ratio(Param p);

// A health bar of an entity of radius r with ratio t: the lost part and the part left, as sizes and
// offsets from the billboard's bottom centre.
struct HealthBar {
  v2 lost_size, lost_offset;
  v2 left_size, left_offset;
};
HealthBar health_bar(f32 r, f32 t);

// The rectangle between two ground points, its corners put in order and pushed out to the 32-unit grid.
Rect tile_rect_snapped(v2 a, v2 b);
