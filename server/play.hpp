#pragma once
// The rules of play: possessions, actions, crafting and building. Functions answer ErrorCode_Ok or the
// refusal the session is told; a refused request changes nothing.
#include "server_internal.hpp"

// --- possessions (possessions.cpp). Every item is in exactly one place: one slot of one container, or on
// the ground; a lifted burden is off the ground and named by its carrier's burden.

// An item's slot gets emptied or it leaves the ground; it is then nowhere until put somewhere.
void play_detach(Entity& item);
// Puts a detached item in a slot (SlotAny: the first free one that takes it).
ErrorCode play_attach(Entity& item, Entity& holder, SlotIndex slot);
// Puts a detached item on the ground at pos, or at the nearest walkable point by it.
void play_to_ground(Entity& item, v2 pos);
// A fresh item of that kind into the player's bag; NoSpace (and nothing made) when the bag is full.
ErrorCode play_give(Entity& player, EntityType type);
// A fresh item into the bag, or onto the ground at the player's feet when the bag cannot take it.
Entity* play_give_or_drop(Entity& player, EntityType type);
// Whether the player may take the item (its own, in an open container in reach, or on the ground in reach).
bool play_can_take(const Entity& player, const Entity& item);

ErrorCode play_move_item(Entity& player, Entity& item, Entity& holder, SlotIndex slot);
ErrorCode play_pick_up(Entity& player, Entity& item);
ErrorCode play_equip(Entity& player, Entity& item);
ErrorCode play_place(Entity& player, Entity& target, v2 pos, u32 flags);
ErrorCode play_lift(Entity& player, Entity& target);
ErrorCode play_pull(Entity& player, Entity& cart);
ErrorCode play_release(Entity& player);
// A character leaving the world puts its burden down where it stands, so nothing floats carried by nobody.
void play_put_down_burden(Entity& player);
// Removes an entity; what it holds is put on the ground where it stood.
void play_destroy(Entity& e);

// --- actions (actions.cpp)

// Starts an action; the actor walks into range first, then works for the action's duration.
ErrorCode play_start_action(Entity& player, Entity& target, ActionType type);
void play_stop_action(Entity& player);
// Advances the actions of every character in the world, and the world's slow changes (regrowth, fire, hunger).
void play_update(f32 dt, Time now);

// --- crafting (crafting.cpp)

struct Recipe;
// The kind's recipe, or null when it has none.
const Recipe* play_recipe(EntityType type);
// The entity of that kind the player can use from where it stands, preferring a lit one; null when none.
Entity* play_find_station(Entity& player, EntityType type);
// Crafts from the bag: the station in reach (and lit, when it burns fuel) and every ingredient present.
ErrorCode play_craft(Entity& player, EntityType type);

// --- building (building.cpp)

// A blank of a building kind at pos, turned by the rotation in flags; null when the world is full.
Entity* play_place_blank(EntityType type, v2 pos, u32 flags);
ErrorCode play_build_place(Entity& player, EntityType type, v2 dst, u32 flags);
// One ingredient from the bag or the carried burden; ADMIN_INGREDIENT_ID from an admin fills the blank.
ErrorCode play_build_add(Entity& player, Id blank_id, Id ingredient_id);
ErrorCode play_build(Entity& player, Id blank_id);
// Replaces a blank by its building, same place and rotation.
Entity* play_complete_blank(Entity& blank);

// --- blueprints (blueprints.cpp): the blueprint is an item the player may take

// Takes in a building (or a blank, as its building) at its offset from the first one taken in.
ErrorCode play_blueprint_add(Entity& player, Id blueprint_id, Id target_id);
ErrorCode play_blueprint_clear(Entity& player, Id blueprint_id);
// Names it; `name` is read within `capacity` bytes.
ErrorCode play_blueprint_save(Entity& player, Id blueprint_id, const char* name, int capacity);
// A blank of every element around pos (snapped), the group turned by `rotation` quarter turns.
ErrorCode play_blueprint_place(Entity& player, Id blueprint_id, v2 pos, int rotation);

// --- requests (dispatch.cpp hands these over)
void play_handle_request(Session& s, Entity& player, const Request& r);
