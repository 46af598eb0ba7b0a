// Blueprints: a blueprint item remembers a group of buildings as offsets from its first one; placed, it
// sets down a blank of every element at the new spot, the whole group turned as asked. The item lives in
// the character's possessions, so it is saved with the character like any other item.
#include "play.hpp"
#include "registry.hpp"

// How far from the player the buildings of a blueprint may stand, when taken in or placed.
constexpr f32 BLUEPRINT_REACH = 32 * tile_size;

// The offset turned by whole quarter turns, the way v2_rotate turns it, without its rounding.
static v2 quarter_turns(v2 v, int turns) {
  switch (turns & 3) {
    case 1: return {-v.y, v.x};
    case 2: return {-v.x, -v.y};
    case 3: return {v.y, -v.x};
    default: return v;
  }
}

static ErrorCode usable_blueprint(Entity& player, Id id, Entity** out) {
  *out = world_find(id);
  if (!*out) return ErrorCode_NotFound;
  if (!has_component(**out, Component_Blueprint) || !play_can_take(player, **out)) return ErrorCode_CannotDoThat;
  return ErrorCode_Ok;
}

ErrorCode play_blueprint_add(Entity& player, Id blueprint_id, Id target_id) {
  Entity* holder;
  ErrorCode usable = usable_blueprint(player, blueprint_id, &holder);
  if (usable != ErrorCode_Ok) return usable;
  Entity* target = world_find(target_id);
  if (!target) return ErrorCode_NotFound;
  // A blank counts as the building it will be.
  EntityType type = has_component(*target, Component_Blank) ? target->blank.type : target->type;
  Entity* prototype = find_entity_prototype(type);
  if (!prototype || !play_recipe(type) || is_item(*prototype) || has_component(*target, Component_Actor) ||
      v2_equal(target->pos, InvalidPos) || !v2_distance_le(player.pos, target->pos, BLUEPRINT_REACH))
    return ErrorCode_CannotDoThat;
  Blueprint& b = holder->blueprint;
  int n = blueprint_nelements(b);
  if (n >= BLUEPRINT_ELEMENTS_MAX) return ErrorCode_NoSpace;
  if (n == 0) b.origin = target->pos;
  b.elements[n].type = type;
  b.elements[n].offset = target->pos - b.origin;
  b.elements[n].entity_flags = target->flags & 3u;
  b.nelements = n + 1;
  return ErrorCode_Ok;
}

ErrorCode play_blueprint_clear(Entity& player, Id blueprint_id) {
  Entity* holder;
  ErrorCode usable = usable_blueprint(player, blueprint_id, &holder);
  if (usable != ErrorCode_Ok) return usable;
  holder->blueprint.nelements = 0;
  holder->blueprint.origin = {};
  memset(holder->blueprint.elements, 0, sizeof(holder->blueprint.elements));
  return ErrorCode_Ok;
}

ErrorCode play_blueprint_save(Entity& player, Id blueprint_id, const char* name, int capacity) {
  Entity* holder;
  ErrorCode usable = usable_blueprint(player, blueprint_id, &holder);
  if (usable != ErrorCode_Ok) return usable;
  char clean[ENTITY_TYPE_NAME_LEN] = {};
  int n = (int)strnlen(name, (size_t)capacity);
  if (n >= ENTITY_TYPE_NAME_LEN) n = ENTITY_TYPE_NAME_LEN - 1;
  bool blank = true;
  // Control characters would garble every reader's screen; they become spaces.
  for (int i = 0; i < n; i++) {
    clean[i] = (u8)name[i] < 0x20 || name[i] == 0x7F ? ' ' : name[i];
    blank = blank && clean[i] == ' ';
  }
  if (blank) return ErrorCode_CannotBeEmpty;
  memcpy(holder->blueprint.name, clean, sizeof(clean));
  return ErrorCode_Ok;
}

ErrorCode play_blueprint_place(Entity& player, Id blueprint_id, v2 pos, int rotation) {
  Entity* holder;
  ErrorCode usable = usable_blueprint(player, blueprint_id, &holder);
  if (usable != ErrorCode_Ok) return usable;
  if (!server_finite_v2(pos) || rotation < 0 || rotation > 3) return ErrorCode_BadRequest;
  const Blueprint& b = holder->blueprint;
  int n = blueprint_nelements(b);
  if (n == 0) return ErrorCode_CannotDoThat;
  v2 at = round_to_location(world.location, pos, 0.5f);
  // Every blank must find its ground before the first is set down: a blueprint comes whole or not at all.
  v2 points[BLUEPRINT_ELEMENTS_MAX];
  for (int i = 0; i < n; i++) {
    points[i] = at + quarter_turns(b.elements[i].offset, rotation);
    if (!find_entity_prototype(b.elements[i].type) || !play_recipe(b.elements[i].type)) return ErrorCode_CannotDoThat;
    if (!world_is_walkable(points[i]) || !v2_distance_le(player.pos, points[i], BLUEPRINT_REACH))
      return ErrorCode_CannotDoThat;
  }
  if (world_entity_count() + n > ENTITIES_MAX) return ErrorCode_NoSpace;
  for (int i = 0; i < n; i++) {
    u32 flags = rotation_to_flags((flags_to_rotation(b.elements[i].entity_flags) + rotation) & 3);
    if (!play_place_blank(b.elements[i].type, points[i], flags)) return ErrorCode_NoSpace;
  }
  return ErrorCode_Ok;
}
