#pragma once
// Entity presentation: the client-side visual state per entity that survives snapshots, and the choice
// of model, animation and transform each entity is drawn with.
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "time.hpp"
#include "types.hpp"

struct Entity;

constexpr int ENTITY_STATE_MAX = 512;
// A released slot: probes walk past it, creation may reuse it.
constexpr Id ENTITY_STATE_TOMBSTONE = 0xFFFFFFFF;

struct EntityState {
  Id id;               // 0: empty slot; ENTITY_STATE_TOMBSTONE: released
  Time interacted_at;  // when the player last opened or closed this container or door
  Color slash_color;
  f32 slash_angle;     // arc of the slash in radians
  f32 slash_progress;  // 0: no slash
  f32 slash_tail;      // seconds the slash has been fading out
  Time hit_time;       // last damage taken; 0: none
  ParticleSystem flame;
  ParticleSystem smoke;
  v3 fire_pos;              // where the held torch burns; zero without a torch
  Time cast_sound_started;  // the cast whose start sound was played
};

// --- the state table (game.entity_state), open addressing with linear probing
u32 entity_state_hash(Id id);
// The id's entry, created when absent. Null for ids 0 and ENTITY_STATE_TOMBSTONE, and when every slot
// holds another live id (reported once): the entity then goes without its effect.
EntityState* set_entity_state_entry(Id id);
EntityState* find_entity_state(Id id);
// Clears the entry and leaves a tombstone.
void release_entity_state(EntityState& state);
// Releases the entries whose entity is no longer in the storage.
void cleanup_entity_state();
// Empties the whole table (entering a location).
void clear_entity_state();

// --- what each entity is drawn with (no GL)
constexpr f32 PRESENTATION_VISION_RADIUS = 480;  // 15 tiles
// The kind's model table, or null for a kind outside it.
EntityModels* get_entity_models(Entity& e);
// Movers always use variant 0; static objects pick by id, so their look survives snapshots.
int get_model_variant(Entity& e, EntityModels& models);
// Null while the kind's models are not loaded: they are asked for and a placeholder stands in this frame.
Model* get_entity_model(Entity& e);
AnimationInfo get_animation_info(Entity& e);
// The clock restarts only when the type changes; the progress is always replaced.
void set_animation(AnimationInfo& info, AnimationType type, f32 progress);
// The model matrix. `placed` (when given) turns false for a carried item whose carrier is absent or
// does not hold it: such an item must not be drawn.
m4 get_transform(Entity& e, bool* placed = nullptr);
// Where texts above an entity start, in screen units.
v2 get_texture_offset(Entity& e);
// Uniform size (0.8 to 1.0) and turn (radians) of a crop, both from its id alone.
f32 crop_random(Id id);
Color placeholder_color(const Entity& e);

// --- drawing
void draw_entities();
void draw_entity(Entity& e, bool draw_collision_box);
void draw_entity_fx(Entity& e);
void draw_entity_shadowmap(Entity& e);
void draw_tabletop_entity(Entity& e, bool shadowmap);
// The spot of a table-top item on its table, false when it is not drawn there.
bool tabletop_transform(Entity& e, m4* out);
void draw_entity_collision_box(Entity& e, f32 apron, Color color);
void draw_mob_name(Entity& e, v2 offset, bool verbose);
void draw_entity_name(Entity& e, v2 offset, bool verbose);
// The effects pass over the whole storage: slashes and hit flashes.
void draw_entities_fx();
