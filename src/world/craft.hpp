#pragma once
// How the player makes things: the craft window, the station checks before a craft, and the window of a
// blank (an unfinished building) that takes its ingredients one by one.
#include "app/client.hpp"
#include "registry.hpp"

// At most this many recipe rows show at once; the wheel and Up/Down page through the rest.
constexpr int CRAFT_LIST_ROWS = 8;

// The recipe's ingredients before the first empty entry.
int recipe_ningredients(const Recipe& recipe);
void ui_craft();
// Checks the station the recipe needs (present, lit when it burns) and asks the server to craft.
void craft(EntityType type, Recipe& recipe);
// Per ingredient of `recipe`, how many of the player's carried items it could take: each item counts for
// the first ingredient of its kind only, as the server picks them.
void count_held_ingredients(const Entity& player, const Recipe& recipe, int held[INGREDIENTS_MAX]);

void ui_blank(Entity& entity);
// A click with a modifier on a blank: hands it the carried burden when that is one of the missing kinds.
bool maybe_add_burden_to_blank(Entity& entity);
// Opens the asked-for blank once in reach, builds its window, closes it out of reach.
void update_blanks();
