#pragma once
// The administrator's panel (Ctrl+Tab): players and teleports, spawning, the world clock, shader and
// resource reports, and the selected entity's components.
#include "app/client.hpp"

// Kinds whose name contains `filter` (any case), in kind order, at most `cap`, into `out`; returns how
// many. Entity_None and the player kind are never offered.
int admin_spawnable_kinds(const char* filter, EntityType* out, int cap);
// Splits `text` at its line ends into at most `cap` lines of at most 127 bytes; returns how many.
int admin_split_lines(const char* text, Text* out, int cap);

// Builds nothing unless the panel is open and the player is an administrator.
void ui_admin_panel();
