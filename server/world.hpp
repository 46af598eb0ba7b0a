#pragma once
// The server's world: the entity pool (the shared `entity_storage`), ids, the one location, characters
// entering and leaving, and the simulation step.
#include "location.hpp"
#include "registry.hpp"
#include "types.hpp"

// How many records a saved character may hold: the character, its gear and what the gear contains.
constexpr int SAVED_CHARACTER_RECORDS_MAX = 64;
constexpr u32 SAVED_CHARACTER_MAGIC = 0x31484356;  // "VCH1"
constexpr int SAVED_CHARACTER_HEADER = 8;
// A character saved in the dungeon carries, after its records, where the way out leads (a v2).
constexpr int SAVED_CHARACTER_RETURN = (int)sizeof(v2);
constexpr int SAVED_CHARACTER_MAX =
    SAVED_CHARACTER_HEADER + SAVED_CHARACTER_RECORDS_MAX * Entity_Shared_Size + SAVED_CHARACTER_RETURN;
// Leave room for players and their possessions when the world is generated.
constexpr int WORLD_GENERATED_ENTITIES_MAX = ENTITIES_MAX - 2048;

constexpr f32 PLAYER_BASE_SPEED = 160.0f;
constexpr f32 PLAYER_HP = 100.0f;
constexpr f32 PLAYER_MANA = 100.0f;

// Each entity the world keeps is recorded at most once, when it is first changed: the storage bounds them all.
constexpr int WORLD_GONE_MAX = ENTITIES_MAX;

struct World {
  Location location = {};
  // The second location, a dungeon beside the world's rectangle: the two never overlap, so a position
  // alone names the location it lies in.
  Location dungeon = {};
  v2 spawn = {};  // where new characters appear
  u32 generation[ENTITIES_MAX] = {};
  u16 free_slots[ENTITIES_MAX] = {};
  int nfree = 0;
  int nalive = 0;
  u32 rng = 1;
  f64 game_seconds = 8 * 60;  // in-game minutes since midnight, as seconds of real time (an hour a minute)
  // Set once the generated world stands: from then on a new entity is a change to keep, and a generated
  // one that goes or changes is remembered as gone, so a restart that generates it again can take it away.
  bool populated = false;
  struct Gone {
    EntityType type;
    v2 pos;
  } gone[WORLD_GONE_MAX] = {};
  int ngone = 0;
  // An administrator painted or regenerated the world's tiles: they are saved whole, and a restart lays
  // them over the generated ones.
  bool tiles_changed = false;
};

extern World world;

// Builds the location from generated tiles (or clears everything when `tiles` is null) and empties the pool.
bool world_reset(int width, int height, const u8* tiles);
void world_free();

// The location a reference names (the world for one unknown); null when it has no tiles.
Location* world_location(LocationRef ref);
// The location whose rectangle holds pos; the world when none does.
Location& world_location_at(v2 pos);
bool same_location(LocationRef a, LocationRef b);

Entity* world_find(Id id);
// A fresh entity of that kind, nowhere yet (pos InvalidPos, not in the grid); null when the pool is full.
Entity* world_alloc(EntityType type);
// A fresh entity of that kind, on the ground at pos; null when the pool is full or the kind is unknown.
Entity* world_spawn(EntityType type, v2 pos);
// A fresh item of that kind put in `container`'s slot (null when the slot is taken or out of range).
Entity* world_spawn_in(EntityType type, Entity& container, int slot);
// Takes an entity and everything inside it out of the world.
void world_remove(Entity& entity);
int world_entity_count();

// A random walkable point near `pos` (land, not water) in the location holding pos; pos itself when none.
v2 world_find_land_near(v2 pos, f32 radius);
bool world_is_walkable(v2 pos);
bool world_is_walkable_in(const Location& location, v2 pos);

// Characters. `saved` is the blob of an earlier world_save_character, or empty for a new character. One saved
// in the dungeon comes back there, where it stood, when the spot is still free; else by the spawn.
Entity* world_enter_character(const char* name, bool admin, const u8* saved, int saved_size);
// Where leaving the dungeon brings a character saved in it out; InvalidPos when the blob does not say.
v2 world_saved_return(const u8* saved, int saved_size);
// Whether a stored blob can bring its character back: empty (never entered), or a whole record set whose
// first record is a character. Anything else must not be replaced by a fresh character.
bool world_saved_character_valid(const u8* saved, int saved_size);
// Writes the character and its possessions, and `return_pos` when it is in the dungeon; returns the byte
// count, 0 when it cannot.
int world_save_character(const Entity& player, u8* out, int capacity, v2 return_pos = InvalidPos);
void world_leave_character(Entity& player);

// --- changes that survive a restart (world_save.cpp)

// Marks the world entity holding `e` (e itself on the ground) as changed; a generated one is remembered
// as gone from where it was generated. Characters and creatures are not the world's to keep.
void world_touch(Entity& e);
// The changed entities (with everything inside them) and the generated ones gone, as one blob; returns its
// size, or 0 when it does not fit `capacity`. world_saved_size() is enough.
int world_saved_size();
int world_save(u8* out, int capacity);
// Applies a blob of world_save to a freshly generated world; false (and nothing applied) when malformed.
bool world_restore(const u8* saved, int size);

GameTime world_game_time();
void world_set_game_time(GameTime t);
// One simulation step: creatures think, movers move and collide, the clock runs.
void world_update(f32 dt, Time now);

u32 world_random();
f32 world_random_f32(f32 from, f32 to);
