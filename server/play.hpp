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

// --- the dungeon (dungeon.cpp)

// Makes the dungeon location beside the world and what stands in it (nothing where it cannot be hosted).
void dungeon_generate();
// Takes a character through an entrance: into the dungeon from the world, back out by the entrance it
// came through from the dungeon. Refused while it carries a burden.
ErrorCode play_enter(Entity& player, Entity& entrance);
// Moves a character to pos in `to`; when that is another location, its session gets it and its map.
void play_relocate(Entity& player, Location& to, v2 pos);

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

// A fresh event on the entity (its time, id and type set), the oldest dropped when the list is full.
Event& play_push_event(Entity& e, EventType type);

// --- fighting (combat.cpp): spells, damage, healing, effects, death and respawn, experience and levels

// The clock of the simulation: the time of the step being run (requests between steps see the last one).
Time play_now();
void play_set_now(Time now);
// Starts a cast: refused for a dead caster (CannotDoThat), a spell cooling down (Cooldown), too little
// mana (NoMana) or a harmful spell without a foe to aim at. Mana and cooldown are spent when the wind-up
// begins; a target out of reach is walked to first. ActionFlag_Repeat casts again at the same target.
ErrorCode play_cast(Entity& caster, SpellType type, Id target_id, v2 dst, u32 flags);
// Whether `attacker` may harm `victim`: players and creatures fight each other, never their own side.
bool play_hostile(const Entity& attacker, const Entity& victim);
void play_damage(Entity& victim, Entity* attacker, f32 amount, SpellType spell);
void play_heal(Entity& target, f32 amount);
// Death: a character leaves a corpse with its possessions and comes back at its respawn point later; a
// creature leaves its drops (they rot away when nobody takes them) and the killer gains experience; a
// training dummy stands up again.
void play_kill(Entity& victim, Entity* killer);
void play_give_xp(Entity& player, f32 xp);
// A spell's level as it counts, 1 to the cap: it multiplies what the spell does. A creature finished with a
// spell raises that spell's level by one, up to the character's own level.
int play_spell_level(const Entity& caster, SpellType type);
// Experience needed from one level to the next, and the stats a level gives.
f32 play_xp_for_level(int lvl);
void play_apply_level(Entity& player);
void play_update_fighting(f32 dt, Time now);
// Forgets the flying missiles, the drops waiting to rot and the creatures waiting to come back (a new world).
void play_reset_fighting();

// --- creatures (creatures.cpp)

// A creature kind's temper: whether it attacks on sight, its main attack, damage and level.
void play_creature_setup(Entity& creature);
// A creature hurt by `attacker` turns on it, or flees when it is weak or timid.
void play_creature_hurt(Entity& creature, Entity* attacker);
// A dead creature is taken away after a while and comes back at its home later.
void play_creature_died(Entity& creature, Time now);
void play_update_creatures(f32 dt, Time now);
void play_reset_creatures();

// --- administrator tools (admin.cpp); the dispatch refuses them for players
void play_admin_generate_tiles(Session& s, const Request& r);
void play_admin_generate_entities(Session& s, const Request& r);
void play_admin_set_biom(Session& s, const Request& r);
void play_admin_mind_control(Session& s, const Request& r);

// --- requests (dispatch.cpp hands these over)
void play_handle_request(Session& s, Entity& player, const Request& r);
