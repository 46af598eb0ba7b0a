// Crafting: a recipe's ingredients leave the bag and its product takes their place (or lies at the
// player's feet when the bag cannot take it). Everything is checked before the first item goes.
#include "location.hpp"
#include "play.hpp"
#include "registry.hpp"

// How far around the player a station is looked for; can_use decides the rest.
constexpr f32 STATION_SEARCH_RADIUS = 8 * tile_size;

const Recipe* play_recipe(EntityType type) {
  EntityInfo* info = find_entity_info(type);
  if (!info || info->recipe.ingredients[0].type == Entity_None) return nullptr;
  return &info->recipe;
}

// The nearest usable entity of `type` in reach of the player, preferring one that burns.
Entity* play_find_station(Entity& player, EntityType type) {
  Entity* found = nullptr;
  for (EntityIter it = locate_entities(in_radius(&player, STATION_SEARCH_RADIUS, player.pos)); it.entity; next(it)) {
    Entity& e = *it.entity;
    if (e.type != type || !can_use(player, e)) continue;
    if (!found || ((e.flags & EntityFlag_Burning) && !(found->flags & EntityFlag_Burning))) found = &e;
  }
  return found;
}

// Picks, for each ingredient, the bag items it takes; each item counts for the first ingredient of its
// kind only. Returns the number picked, or -1 when some ingredient falls short.
static int pick_ingredients(Entity& player, const Recipe& recipe, Entity* picked[], int capacity) {
  int need[INGREDIENTS_MAX] = {};
  int ningredients = 0;
  while (ningredients < INGREDIENTS_MAX && recipe.ingredients[ningredients].type != Entity_None) {
    need[ningredients] = recipe.ingredients[ningredients].count;
    ningredients++;
  }
  int npicked = 0;
  for (ItemIter it = find_items(player); it.entity; next(it)) {
    for (int i = 0; i < ningredients; i++) {
      if (recipe.ingredients[i].type != it.entity->type) continue;
      if (need[i] > 0 && npicked < capacity) {
        need[i]--;
        picked[npicked++] = it.entity;
      }
      break;
    }
  }
  for (int i = 0; i < ningredients; i++)
    if (need[i] > 0) return -1;
  return npicked;
}

ErrorCode play_craft(Entity& player, EntityType type) {
  const Recipe* recipe = play_recipe(type);
  Entity* prototype = find_entity_prototype(type);
  // Buildings are built from blanks, never crafted into the bag.
  if (!recipe || !prototype || !is_item(*prototype)) return ErrorCode_BadRequest;
  if (recipe->equipment != Entity_None) {
    Entity* station = play_find_station(player, recipe->equipment);
    if (!station) return ErrorCode_CannotDoThat;
    if (has_component(*station, Component_Fuel) && !(station->flags & EntityFlag_Burning))
      return ErrorCode_CannotDoThat;
  }
  Entity* picked[CONTAINER_SLOTS_MAX];  // the bag holds no more
  int npicked = pick_ingredients(player, *recipe, picked, (int)(sizeof(picked) / sizeof(picked[0])));
  if (npicked < 0) return ErrorCode_CannotDoThat;
  for (int i = 0; i < npicked; i++) world_remove(*picked[i]);
  if (!play_give_or_drop(player, type)) return ErrorCode_NoSpace;
  return ErrorCode_Ok;
}
