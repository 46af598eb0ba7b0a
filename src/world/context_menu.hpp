#pragma once
// What the player can do with a thing: the numbered menu of a right click, the default use of a left
// click or a slot, and the examine answers.
#include "app/client.hpp"

// Opens the menu for an entity at the mouse; Shift held now also shows the administrator entries.
void open_context_menu(Id item_id);
void close_context_menu();
// Builds the open menu once a frame; an entity that vanished closes it.
void draw_context_menu();
// One numbered entry: number 0 takes the next automatic number. True when clicked or chosen by its digit.
bool context_menu_button(const char* label, int item_number);
void examine(Entity& entity);
// The default use: `dwim` (a slot's Shift-right) also eats, equips, lifts and picks up.
void use_entity(Entity& entity, bool dwim);
