// Building: a blank of a building kind is set on the ground, filled ingredient by ingredient from the
// bag or the carried burden, and when complete turns into the building where it stands.
#include "location.hpp"
#include "play.hpp"
#include "registry.hpp"

// How far from the player a blank may be set down: the placement ghost follows the mouse.
constexpr f32 BUILD_REACH = 12 * tile_size;

static bool is_building_kind(EntityType type) {
  Entity* prototype = find_entity_prototype(type);
  return prototype && play_recipe(type) && !is_item(*prototype) && type != Entity_blank && type != Entity_Player;
}

Entity* play_place_blank(EntityType type, v2 pos, u32 flags) {
  Entity* blank = world_spawn(Entity_blank, pos);
  if (!blank) return nullptr;
  worldgen_init_entity(*blank, server_clock());
  blank->blank.type = type;
  for (int i = 0; i < INGREDIENTS_MAX; i++) blank->blank.ingredients[i] = 0;
  blank->flags = (blank->flags & ~3u) | rotation_to_flags(flags_to_rotation(flags));
  blank->flags |= EntityFlag_Modified;
  return blank;
}

ErrorCode play_build_place(Entity& player, EntityType type, v2 dst, u32 flags) {
  if (!server_finite_v2(dst)) return ErrorCode_BadRequest;
  if (!is_building_kind(type)) return ErrorCode_BadRequest;
  v2 pos = round_to_location(world.location, dst, 0.5f);
  if (!v2_distance_le(player.pos, pos, player.radius + BUILD_REACH) || !world_is_walkable(pos))
    return ErrorCode_CannotDoThat;
  return play_place_blank(type, pos, flags) ? ErrorCode_Ok : ErrorCode_NoSpace;
}

static bool blank_complete(const Entity& blank, const Recipe& recipe) {
  for (int i = 0; i < INGREDIENTS_MAX && recipe.ingredients[i].type != Entity_None; i++)
    if (blank.blank.ingredients[i] < recipe.ingredients[i].count) return false;
  return true;
}

// The blank and its recipe, when the player may work on it.
static ErrorCode usable_blank(Entity& player, Id blank_id, Entity** blank, const Recipe** recipe) {
  *blank = world_find(blank_id);
  if (!*blank) return ErrorCode_NotFound;
  if (!has_component(**blank, Component_Blank)) return ErrorCode_CannotDoThat;
  *recipe = play_recipe((*blank)->blank.type);
  if (!*recipe) return ErrorCode_CannotDoThat;
  return can_use(player, **blank) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
}

ErrorCode play_build_add(Entity& player, Id blank_id, Id ingredient_id) {
  Entity* blank;
  const Recipe* recipe;
  ErrorCode usable = usable_blank(player, blank_id, &blank, &recipe);
  if (usable != ErrorCode_Ok) return usable;
  if (ingredient_id == ADMIN_INGREDIENT_ID) {
    if (!is_admin(player)) return ErrorCode_Forbidden;
    for (int i = 0; i < INGREDIENTS_MAX && recipe->ingredients[i].type != Entity_None; i++)
      blank->blank.ingredients[i] = recipe->ingredients[i].count;
    return ErrorCode_Ok;
  }
  Entity* ingredient = world_find(ingredient_id);
  if (!ingredient) return ErrorCode_NotFound;
  Mortal* mortal = find_mortal(player);
  bool burden = mortal && mortal->burden == ingredient->id && ingredient->carrier == player.id &&
                !(ingredient->flags & EntityFlag_Pulled);
  if (!burden && !(play_can_take(player, *ingredient) && in_container(*ingredient) && find_bag(player) &&
                   ingredient->item.container == find_bag(player)->id))
    return ErrorCode_CannotDoThat;
  // The first ingredient of its kind that still wants some.
  int slot = -1;
  for (int i = 0; i < INGREDIENTS_MAX && recipe->ingredients[i].type != Entity_None; i++) {
    if (recipe->ingredients[i].type == ingredient->type && blank->blank.ingredients[i] < recipe->ingredients[i].count) {
      slot = i;
      break;
    }
  }
  if (slot < 0) return ErrorCode_CannotDoThat;
  if (burden) {
    mortal->burden = 0;
    ingredient->carrier = 0;
  }
  world_remove(*ingredient);
  blank->blank.ingredients[slot]++;
  return ErrorCode_Ok;
}

Entity* play_complete_blank(Entity& blank) {
  EntityType type = blank.blank.type;
  v2 pos = blank.pos;
  u32 rotation = blank.flags & 3u;
  world_remove(blank);
  Entity* building = world_spawn(type, pos);
  if (!building) return nullptr;
  worldgen_init_entity(*building, server_clock());
  building->flags = (building->flags & ~3u) | rotation;
  building->flags |= EntityFlag_Modified;
  return building;
}

ErrorCode play_build(Entity& player, Id blank_id) {
  Entity* blank;
  const Recipe* recipe;
  ErrorCode usable = usable_blank(player, blank_id, &blank, &recipe);
  if (usable != ErrorCode_Ok) return usable;
  if (!blank_complete(*blank, *recipe)) return ErrorCode_CannotDoThat;
  return play_complete_blank(*blank) ? ErrorCode_Ok : ErrorCode_NoSpace;
}
