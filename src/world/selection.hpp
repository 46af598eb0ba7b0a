#pragma once
// Which entity is under the mouse.
#include "app/client.hpp"

struct Entity;

// Whether the segment from `from` to `to` touches the entity: its box when rectangular, else an upright
// capsule of its radius from the ground to twice the radius.
bool pick_ray_hits(const Entity& e, v3 from, v3 to);
// Sets `game.hovered_id` from the ray through the mouse: the last hit in storage order wins.
void update_selections();
