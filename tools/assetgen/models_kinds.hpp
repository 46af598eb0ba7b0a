#pragma once
// The builders of every model the client loads, looked up by the kind's type name.
#include "model_builder.hpp"

// The kind's collision shape in tiles: a circle of `radius`, or a box of `dim` when `is_box`;
// `height` is the kind's height (0 where the registry gives none).
struct GenShape {
  f32 radius = 0.5f;
  v3 dim = {};
  bool is_box = false;
  f32 height = 0;
};

typedef void (*GenKindFn)(GenModel& g, int variant, const GenShape& shape);

struct GenKind {
  const char* name;
  GenKindFn fn;
};

// Null when no builder knows the name.
GenKindFn find_kind_builder(const char* type_name);
const GenKind* gen_kinds(int* count);

// The start-up models.
void build_character(GenModel& g);
void build_capsule(GenModel& g);
void build_test_model(GenModel& g);
void build_dead_tree(GenModel& g);

// Creatures and animated props, shared with the kinds table.
void build_creature(GenModel& g, const char* type_name, int variant, const GenShape& shape);
void build_wooden_chest(GenModel& g, int variant, const GenShape& shape);
void build_quern(GenModel& g, int variant, const GenShape& shape);
void build_hinged_door(GenModel& g, int variant, const GenShape& shape);
void build_brick_door(GenModel& g, int variant, const GenShape& shape);
void build_torch(GenModel& g, int variant, const GenShape& shape);
void build_infinite_quelbin(GenModel& g, int variant, const GenShape& shape);
void build_cart(GenModel& g, int variant, const GenShape& shape);
void build_wagon(GenModel& g, int variant, const GenShape& shape);
