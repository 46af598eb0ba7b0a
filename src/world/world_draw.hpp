#pragma once
// Pieces of the world frame that read the entity storage: lights, spell start sounds, the tile tool's
// rectangle and brush, and the attack radius of the debug view.
#include "app/client.hpp"

// Clears the frame's lights, then adds one for every burning fuel and for every flame an entity's
// presentation state holds (a torch in hand); adding stops once the light table is full.
void world_add_lights();

// The sound a spell makes as its cast begins; null for a silent one.
Sound* spell_start_sound(u32 spell_type);
// The start sound due for an entity this frame: once per cast, however many frames the cast's first
// snapshot stays the newest. Null when none is due.
Sound* take_spell_start_sound(Entity& e);

// The ground cell the tile tool's brush covers under a ground point.
Rect tile_brush_cell(v2 mouse_world);
// While a tile kind is selected: the dragged rectangle (kept in ui.tiles.area for the painting request)
// and the kind's brush under the mouse.
void draw_tile_tool();
// The debug view's reach of every actor: its radius plus one tile.
void draw_attack_radii();
