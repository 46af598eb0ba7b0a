#pragma once
// The world cursor: what the mouse carries between a pick and the click that puts it down.
#include "app/client.hpp"

void set_cursor(CursorType type, Id entity_id, CursorCallback onclick);
void set_cursor(EntityType entity_type, CursorCallback onclick);
void clear_cursor();
// The building about to be placed, on the snapped mouse position, turned, with its turn's name above it.
void draw_ghost(EntityType type, int rotation);
// Ghosts under the mouse for what is to be placed; an item that vanished clears the cursor.
void draw_cursor();
