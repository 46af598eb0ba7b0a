#pragma once
// Models: glTF files turned into GL buffers, materials and a skeleton with stepwise keyframe channels,
// the joint palette sampled from them, and the per-kind model table.
// The records and the sampling need no GL; loading can run without a context (see load_model_ex).
#include "components.hpp"
#include "math.hpp"
#include "render/renderer.hpp"
#include "types.hpp"

enum AnimationType : u32 {
  AnimationType_None = 0,
  AnimationType_Idle = 1,
  AnimationType_Run = 2,
  AnimationType_Attack = 3,
  AnimationType_Death = 4,
  AnimationType_Open = 101,
  AnimationType_Work = 102,
};

constexpr int MODEL_MESHES_MAX = 96;
constexpr int MODEL_MATERIALS_MAX = 16;
constexpr int MODEL_VARIANTS_MAX = 8;
constexpr int BONE_ANIMATIONS_MAX = 64;
constexpr int BONES_MAX = 80;  // a skin must have fewer joints than this
constexpr int Icon_size = 128;
constexpr int RESOURCE_TIMINGS_MAX = 256;

// One bone's channels of one clip. Keys are shown as they are: sampling is stepwise.
struct Animation {
  char name[32];
  AnimationType type;  // None: an empty slot
  int ntranslations;
  int translation_interpolation;  // the file's sampler interpolation: 0 linear, 1 step, 2 cubic spline
  f32* translation_times;
  v3* translations;
  f32 current_translation_time;
  int current_translation_frame;
  int nrotations;
  int rotation_interpolation;
  f32* rotation_times;
  v4* rotations;  // quaternions, x y z w
  f32 current_rotation_time;
  int current_rotation_frame;
  int nscales;
  int scale_interpolation;
  f32* scale_times;
  v3* scales;
  f32 current_scale_time;
  int current_scale_frame;
};

struct Bone {
  char name[32];
  int parent;  // an earlier joint, or -1 for a root
  Animation animations[BONE_ANIMATIONS_MAX];
};

struct Mesh {
  char name[32];
  int parent;  // the joint the mesh hangs on, -1 if none
  int nvertices;
  int nindices;
  int material_index;  // into Model::materials, -1 if none
  u32 vao, vbo, ebo, tex_coords_vbo, normals_vbo, joints_vbo, weights_vbo;
  m4 transform;      // the node's world transform, row-major
  bool has_weights;  // skinned by its own joints and weights attributes
};

struct Material {
  Texture albedo;  // width 0: none
  Color base_color;
};

struct Model {
  Mesh meshes[MODEL_MESHES_MAX];
  int nmeshes;
  Material materials[MODEL_MATERIALS_MAX];
  int nmaterials;
  Bone* bones;
  int nbones;
  m4* inverse_bind_matrices;
  char path[256];
  bool is_foliage;
};

struct EntityModels {
  Model variants[MODEL_VARIANTS_MAX];
  int nvariants;
  Texture icon;  // the kind's slot picture, drawn from its first variant on first use
};

// The fixed models loaded at start.
struct GameModels {
  Model test, capsule, pine, character, dead_tree, barak;
};

struct AnimationInfo {
  AnimationType type;
  f32 progress;  // 0: play by time; else the fraction of the clip to show
  f32 time;
  f32 opacity;
  u32 mesh_mask;  // 0: every mesh; else bit i (mod 32) shows mesh i
  Color tint;     // added to the material colour
};

struct CachedTexture {
  char name[64];
  Texture texture;
  u8* pixels;
  CachedTexture* next;
};

struct ResourceTiming {
  Duration duration;
  const char* type_name;
};

extern ResourceTiming resource_timings[RESOURCE_TIMINGS_MAX];
extern int nresource_timings;

// --- clips and sampling (no GL)
AnimationType animation_type_from_name(const char* clip_name);  // None for a name that is not a clip
int get_animation_index(AnimationType type);
bool has_animation(const Model& model, AnimationType type);
bool mesh_visible(u32 mesh_mask, int mesh_index);
// Steps the model's clocks (when `advance`) and fills `palette` with nbones joint matrices, each already
// multiplied by its inverse bind matrix. False (and nothing written) when the model is not animated.
bool animation_sample(Model& model, const AnimationInfo& info, bool advance, f32 dt, m4* palette);

// --- loading
// Loads dir/file; every structural violation stops the program. Without `upload` no GL call is made
// (the GL names stay 0), so the checks and the skeleton can be used without a context.
Model load_model_ex(const char* dir, const char* file, bool upload);
Model load_model(const char* dir, const char* file);
// Frees what load_model allocated (CPU arrays and GL objects); the record is zeroed.
void free_model(Model& model);
// The file of variant i (from 1) of a kind: "<folder>/<name with '-' for '_'>-<i>.glb|.gltf".
bool model_asset_path(EntityType type, int variant, char* out, int out_len);
void load_model_by_type(EntityType type);
void load_resources();
void print_resources_report();
void dump_model_info(const Model& model);

// --- the texture cache of decoded model images
void cache_texture(Texture* texture, const char* name, u8* pixels);
u8* get_cached_texture(const char* name, Texture* texture);
void clear_texture_cache();

// --- GL: upload and drawing
Texture model_create_texture(const u8* pixels, int width, int height, int ncomponents, const char* model_path);
void model_create_vertex_array(Mesh& mesh);
// Copies `size` bytes into an immutable buffer bound to binding/attribute `index` (0 to 4).
void model_upload_attribute(Mesh& mesh, int index, const void* data, int size);
void model_upload_indices(Mesh& mesh, const u16* indices, int count);
// Deletes the model's textures, buffers and vertex arrays (none when it was loaded without upload).
void model_release_gl(Model& model);
void animate_model(Shader& shader, Model& model, AnimationInfo info, bool advance);
void animate_mesh(Shader& shader, Model& model, Mesh& mesh, AnimationType type);
void draw_model(Model& model, m4 transform, AnimationInfo info);
void draw_model_shadowmap(Model& model, m4 transform, AnimationInfo info);
void generate_item_icon(Texture& icon, Model& model, m4 mvp);
