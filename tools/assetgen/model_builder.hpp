#pragma once
// Building low-poly, flat-shaded models in code and writing them as glTF or GLB.
// Units are tiles (the client scales by 32), z is up and a creature's front faces -y.
// Every part takes its colour from a small per-model palette texture, so that one primitive (one mesh of
// the client) may carry any number of colours.
#include <vector>

#include "math.hpp"
#include "types.hpp"

constexpr int GEN_PALETTE_MAX = 64;  // 8 x 8 swatches of 4 x 4 texels: a 32 x 32 image
constexpr int GEN_BONES_MAX = 40;

struct GenMesh {
  char name[32] = {};
  int joint = -1;            // a rigid mesh hanging on this joint (a child node of the joint), else -1
  bool skinned = false;      // vertices follow the joint they were added under
  m4 local = m4_identity();  // node transform relative to its joint (hanging meshes)
  std::vector<v3> pos;
  std::vector<v3> nrm;
  std::vector<v2> uv;
  std::vector<u8> joints;
  std::vector<u16> idx;
};

struct GenBone {
  char name[32] = {};
  int parent = -1;
  v3 head = {};  // rest position in model space; joints carry no rest rotation
};

// One clip: for every bone, one rotation and one translation per key (stepwise, `step` seconds apart).
struct GenClip {
  char name[32] = {};
  int nkeys = 0;
  f32 step = 0.1f;
  std::vector<v4> rot;  // [bone * nkeys + key]
  std::vector<v3> tr;   // offset from the parent's head; the rest offset unless a clip moves it
};

struct GenModel {
  std::vector<GenMesh> meshes;
  std::vector<GenBone> bones;
  std::vector<GenClip> clips;
  Color palette[GEN_PALETTE_MAX];
  int npalette = 0;
  int mesh = -1;   // the mesh parts are added to
  int joint = -1;  // the joint parts are bound to (skinned meshes)
  u32 seed = 1;
};

// --- deterministic randomness (never the C library's)
f32 gen_rand(GenModel& g);  // [0, 1)
f32 gen_rand(GenModel& g, f32 lo, f32 hi);

// --- transforms
m4 T(f32 x, f32 y, f32 z);
m4 T(v3 v);
m4 S(f32 x, f32 y, f32 z);
m4 S(v3 v);
m4 Rx(f32 a);
m4 Ry(f32 a);
m4 Rz(f32 a);
v4 quat_axis(v3 axis, f32 angle);
v4 quat_euler(f32 x, f32 y, f32 z);  // applied x, then y, then z
v4 quat_mul(v4 a, v4 b);

// --- structure
Color rgb(u32 hex);
Color shade(Color c, f32 k);  // brighter (k > 1) or darker (k < 1)
GenMesh& gen_mesh(GenModel& g, const char* name, bool skinned = false);
// A rigid mesh hanging on `joint`, placed by `local` relative to that joint's head.
GenMesh& gen_hanging_mesh(GenModel& g, const char* name, int joint, m4 local);
int gen_bone(GenModel& g, const char* name, int parent, v3 head);
int gen_clip(GenModel& g, const char* name, int nkeys, f32 step);
void gen_key_rot(GenModel& g, int clip, int bone, int key, v4 q);
void gen_key_move(GenModel& g, int clip, int bone, int key, v3 delta);  // added to the rest offset

// --- shapes, each in a unit volume x, y in [-0.5, 0.5], z in [0, 1], placed by `xf`
void shape_box(GenModel& g, m4 xf, Color c);
void shape_prism(GenModel& g, m4 xf, Color c, int sides, f32 top = 1.0f);  // top: top radius ratio
void shape_ball(GenModel& g, m4 xf, Color c, int rings = 3, int sides = 6);
void shape_wedge(GenModel& g, m4 xf, Color c);  // a ramp rising towards +y
// Convenience forms: base centre, size and an optional rotation about the base centre.
void box(GenModel& g, v3 base, v3 size, Color c, m4 rot = m4_identity());
void cyl(GenModel& g, v3 base, f32 radius, f32 height, Color c, int sides = 6, f32 top = 1.0f, m4 rot = m4_identity());
void cone(GenModel& g, v3 base, f32 radius, f32 height, Color c, int sides = 6, m4 rot = m4_identity());
void ball(GenModel& g, v3 center, v3 radii, Color c, int rings = 3, int sides = 6);

int gen_palette_index(GenModel& g, Color c);
int gen_vertex_count(const GenModel& g);

// Writes `dir`/`base`.glb (embedded PNG) or `dir`/`base`.gltf with `base`.bin and `base`.png beside it.
bool gen_write_model(const GenModel& g, const char* dir, const char* base, bool glb);
