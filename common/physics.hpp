#pragma once
// Movement and collisions: the same steering, integration and contact rules the server runs, so that
// the client's copies glide between snapshots.
#include "location.hpp"

constexpr f32 physics_acceleration = 3000.0f;    // units / s^2
constexpr f32 physics_turn_speed = 18.849556f;   // rad / s: three full turns a second
constexpr f32 physics_collision_radius = 64.0f;  // how far a mover looks for contacts
constexpr f32 physics_exchange_damping = 0.9f;   // speed kept after two movers meet
constexpr f32 physics_wall_bounce = 0.8f;        // speed kept off a box
constexpr int CONTACTS_MAX = 512;

struct Contact {
  v2 normal;  // unit vector from first toward second
  v2 point;
  f32 penetration;
  Entity* first;
  Entity* second;
};

struct Physics {
  Contact contacts[CONTACTS_MAX];
  u32 ncontacts = 0;
  // Contacts found in the last pass after the list was full; they were dropped until the next frame.
  u32 nskipped = 0;
};

extern Physics physics;

// The hook the model calls on its host: whether a contact between these two is resolved.
bool entity_on_collision(Entity& first, Entity& second, Contact& contact);

void mover_set_dst(Mover& mover, v2 dst);
void mover_set_dir(Mover& mover, v2 dir);
inline void reset_mover(Mover& mover) { mover.acc = {}; }
bool is_moving(const Entity& e);
bool has_dst(const Entity& e);

void rotate_towards_angle(Mover& mover, f32 target, f32 dt);
void rotate_in_direction(Mover& mover, v2 dir, f32 dt);
void set_gaze_and_angle(Mover& mover, v2 dir);

Bbox entity_bbox(const Entity& e);

void update_mover(Entity& e, Mover& mover, f32 dt);
void simulate_mover(Entity& e, Mover& mover, f32 dt);
void update_movers(f32 dt);

// Appends a contact when the two overlap; false when they do not or the list is full.
bool game_detect_collision_between(Entity& first, Entity& second);
void game_resolve_collision(Contact& contact, f32 dt);
void update_collisions(f32 dt);

void update_physics(f32 dt);
