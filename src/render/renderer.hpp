#pragma once
// The renderer's global record: programs, transform stack, shared buffers, off-screen targets and lights,
// with the immediate drawing operations built on them. The header stays free of GL so that code which only
// computes (particles, lights, transforms) can be used and tested without a context.
#include <stb_truetype.h>

#include "render/camera.hpp"
#include "math.hpp"
#include "types.hpp"

typedef u32 TextureId;

struct Texture {
  TextureId id = 0;
  s32 width = 0;
  s32 height = 0;
  s32 ncomponents = 0;
};

struct Light {
  int type = 0;
  v3 pos = {};
  v3 color = {};
  f32 radius = 0;
};

struct Vertex {
  v2 pos;
  v2 tex_coord;
};
static_assert(sizeof(Vertex) == 16);

// One linked program and its uniform locations (-1 where the program lacks the uniform).
struct Shader {
  u32 program = 0;
  int sampler_loc = 0;
  int time_loc = 0;
  int tint_color_loc = 0;
  int mvp_loc = 0;
  int model_loc = 0;
  int local_transform_loc = 0;
  int joint_transforms_loc = 0;
  int light_dir_loc = 0;
  int lights_loc = 0;
  int camera_pos_loc = 0;
  int camera_target_pos_loc = 0;
  int shadow_loc = 0;
  int opacity_loc = 0;
  int ambient_loc = 0;
  int alpha_threshold_loc = 0;
  int angle_loc = 0;
  int sector_loc = 0;
  int gradient_loc = 0;
  int is_animated_loc = 0;
  int flip_loc = 0;
  int vision_radius_loc = 0;
  // The window-sized region of the targets, for the passes that sample neighbours.
  int viewport_loc = 0;
  const char* name = nullptr;
  const char* vs_filename = nullptr;
  const char* fs_filename = nullptr;
};

struct Shaders {
  Shader sprite, rect, text, shape, sphere, tile, line, point, triangle, model, shadowmap, cubemap, slash, hit, fire,
      flames, sprint_aura, item, instanced, stars, test, blur, composite;
};

struct ShadersInfo {
  Shader* list[24] = {};
  int nshaders = 0;
  Shader* broken_shader = nullptr;
};

constexpr int PARTICLES_MAX = 128;
constexpr int PARTICLES_SIMULATED = 32;
constexpr int STARS_MAX = 4096;
constexpr int LIGHTS_MAX = 8;
constexpr int LIGHTS_UNIFORM_LOCATION = 42;
constexpr int TRANSFORMS_MAX = 8;
constexpr int JOINTS_MAX = 80;
// The off-screen targets follow the window, in steps, up to this side.
constexpr int RENDER_TARGET_SIZE = 4096;
constexpr int RENDER_TARGET_STEP = 64;
constexpr int SHADOW_MAP_SIZE = 4096;
constexpr int GRADIENT_TEXTURE_SIZE = 512;
constexpr int CIRCLE_SEGMENTS = 32;
constexpr int CIRCLE_VERTICES = CIRCLE_SEGMENTS + 2;
constexpr int SPHERE_SECTORS = 36;
constexpr int SPHERE_STACKS = 18;
constexpr int SPHERE_VERTICES = (SPHERE_STACKS + 1) * (SPHERE_SECTORS + 1);
constexpr int SPHERE_INDICES = 3672;
constexpr int TEST_UNIFORM_BINDING = 13;
constexpr const char* SHADER_DIR = "src/shaders";

struct Particle {
  v3 pos;
  f32 lifetime;
  v3 vel;
  f32 scale;
  f32 max_lifetime;
};

struct ParticleSystem {
  Particle particles[PARTICLES_MAX];
  m4 transform;
  v2 dim;
  v2 scale_range;
  v2 gradient;
  Color color;
};

// What the flame shader reads per particle: each record serves four instances.
struct ParticleInstance {
  v3 pos;
  f32 lifetime;
  f32 scale;
  f32 unused[3];
};
static_assert(sizeof(ParticleInstance) == 32);

struct CachedTexture;
struct TileVertex;

// Full draws what the world was designed to look like; Low trades samples, scene and bloom resolution, shadow
// taps and size, and lights for speed, for renderers that run the shaders on the CPU.
enum RenderQuality : u8 {
  RenderQuality_Full = 0,
  RenderQuality_Low = 1,
};

struct RendererSettings {
  RenderQuality quality = RenderQuality_Full;
  bool enable_msaa = true;
  bool enable_postprocessing = true;
  bool cubemap_enabled = false;
  int verbose = 0;
};

// The passes of a frame whose GPU time is measured.
enum RenderPass : u8 {
  RenderPass_Shadow,
  RenderPass_Terrain,
  RenderPass_Entities,
  RenderPass_Effects,
  RenderPass_Resolve,
  RenderPass_Blur0,  // then one entry per blur pass
  RenderPass_Composite = RenderPass_Blur0 + 6,
  RenderPass_Ui,
  RenderPass_Count,
};

constexpr int PASS_TIMER_FRAMES = 4;       // frames in flight before a result is read
constexpr int PASS_TIMER_INTERVALS = 128;  // measured intervals a frame
constexpr int PASS_TIMER_WINDOW = 64;      // frames averaged in the table

// GPU timestamps around each pass, read back a few frames later so that nothing waits on the GPU.
struct PassTimers {
  bool enabled = false;
  u32 queries[PASS_TIMER_FRAMES][PASS_TIMER_INTERVALS][2] = {};
  u8 passes[PASS_TIMER_FRAMES][PASS_TIMER_INTERVALS] = {};
  int nintervals[PASS_TIMER_FRAMES] = {};
  int slot = 0;
  u64 frames_issued = 0;
  // Sums over the frames read since the table was last cleared.
  f64 total_ms[RenderPass_Count] = {};
  u32 frames_read = 0;
};

struct Renderer {
  int window_width = 0;
  int window_height = 0;
  int display_width = 0;
  int display_height = 0;
  f32 time = 0;
  Camera camera;
  m4 vp = {};
  m4 transforms[TRANSFORMS_MAX] = {};
  int ntransforms = 0;
  m4 joint_transforms[JOINTS_MAX] = {};
  Shaders shaders;
  ShadersInfo shaders_info;
  Shader* last_shader = nullptr;
  CachedTexture* texture_cache = nullptr;
  Texture default_texture;
  Texture icons_texture;
  Texture fire_texture;
  Texture flame_texture;
  Texture tiles_texture;
  Texture gradient_texture;
  f32 tiles_texture_tile_size = 0;
  // Terrain mesh. The CPU array follows the location's tile count; the GL buffers are (re)made by the
  // next draw when `tiles_buffers_size` no longer matches, so a location can arrive without a context.
  u32 tiles_vao = 0, tiles_vbo = 0, tiles_ebo = 0;
  TileVertex* tiles_vertices = nullptr;
  s64 tiles_vertices_size = 0;
  s64 tiles_buffers_size = 0;
  u32 tiles_index_type = 0;
  // Font and text batch.
  f32 font_pixel_height = 0;
  f32 font_scale = 0;
  Vertex font_vertices[1024] = {};
  f32 base_line = 0;
  Texture font;
  stbtt_fontinfo font_info = {};
  int nfont_vbo = 0;
  u32 font_vao = 0;
  u32 font_vbo = 0;
  stbtt_packedchar ascii_char_data[96] = {};
  stbtt_packedchar cyrillic_char_data[96] = {};
  stbtt_packedchar letterlike_symbols_char_data[64] = {};
  u32 sprite_vao = 0, sprite_vbo = 0;
  Vertex sprite_vertices[6] = {};
  u32 particles_vao = 0, particles_vbo = 0;
  u32 stars_vao = 0, stars_vbo = 0;
  v4 stars[STARS_MAX] = {};
  u32 instanced_vao = 0, point_vao = 0, quad_vao = 0;
  u32 dummy_vao = 0, generic_vbo = 0;
  u32 shape_vao = 0, shape_vbo = 0;
  u32 sphere_vao = 0, sphere_vbo = 0, sphere_ebo = 0;
  int sphere_nindices = 0;
  u32 line_vao = 0, line_vbo = 0;
  u32 rect_vao = 0;
  u32 circle_vao = 0;
  int ncircle_vertices = 0;
  Texture cubemap;
  v3 light_pos = {};
  u32 shadow_fbo = 0;
  Texture shadow_texture;
  m4 light_vp = {};
  v3 ambient_light = {};
  Light lights[LIGHTS_MAX] = {};
  int nlights = 0;
  // The resolved scene and brightness; without multisampling, the scene's own pair (and no msaa_fbo).
  u32 msaa_fbo = 0, msaa_hdr_texture_id = 0, msaa_brightness_texture_id = 0;
  u32 blur_fbo[2] = {}, blur_texture_ids[2] = {};
  u32 hdr_fbo = 0;
  Texture hdr_texture, brightness_texture;
  u32 hdr_depth_rbo = 0;
  // The size the targets were made at, and whether with multisampling.
  int target_width = 0, target_height = 0;
  bool targets_msaa = false;
  // Window pixels to a texel of the scene targets and of the bloom targets, as the targets were made.
  int targets_scene_divisor = 1;
  int targets_bloom_divisor = 1;
  // Bilinear sampling for the blur passes, whatever filter the targets themselves keep.
  u32 blur_sampler = 0;
  u32 test_ubo = 0;
  // Where programs are read from; tests point it elsewhere to build deliberately broken sources.
  const char* shader_dir = SHADER_DIR;
  // Passes counted by the last post_process, so the bloom chain can be checked.
  int blur_passes = 0;
  RendererSettings settings;
  // True when the GL renderer runs the shaders on the CPU (llvmpipe, softpipe, swrast).
  bool software_gl = false;
  PassTimers pass_timers;
};

extern Renderer renderer;

// --- start-up and programs
void init_opengl();
void gl_assert();
// Debug output: high severity ends the program (except the compiler's, which reload_shader judges),
// medium is printed, the rest ignored. Plain types so the header needs no GL.
void gl_debug_message_callback(u32 source, u32 type, u32 id, u32 severity, int length, const char* message,
                               const void* user);
void load_shaders();
void load_shader(Shader& shader, const char* name, const char* vs, const char* fs);
Shader load_shader(const char* vs, const char* fs);
// False when the link failed; on a first build that ends the program, on a rebuild the old program stays.
bool reload_shader(Shader& shader, const char* vs, const char* fs);
void reload_shaders();
void setup_shaders_watcher();
void use_shader(Shader& shader);

// --- transforms and per-draw uniforms
void push_transform(m4 m);
void pop_transform();
m4 current_transform();
void set_model_matrix(Shader& shader, m4 model);
void clear_model_matrix(Shader& shader);
void set_time(Shader& shader, f32 t);
void set_tint_color(Shader& shader, Color c);
void set_matrix(int location, const m4& m);

// --- targets and the frame
void prepare_hdr();
// A side of the targets for a window side: rounded up to a step, capped at RENDER_TARGET_SIZE.
int render_target_side(int window_side);
// Re-creates the targets when the window outgrew them or the quality's sampling or sizes changed, and the
// shadow map when the quality asks for another size.
void fit_render_targets();
// A window side in texels of a target `divisor` times smaller, rounded up so the whole window is covered.
int scaled_side(int window_side, int divisor);
// The region of the scene targets this frame draws into (the window, at Low a fraction of it).
int scene_width();
int scene_height();
void bind_default_framebuffer();
void enable_brightness_attachment();
void disable_brightness_attachment();
void draw_clear(Color c);
void post_process();

// --- quality
// Whether the GL_RENDERER string names a renderer that runs on the CPU.
bool gl_renderer_is_software(const char* name);
// The level a renderer starts with: Low on a software renderer, else Full.
RenderQuality default_render_quality(bool software);
// Applies a level: its sample count, bloom size and light budget take effect from the next frame.
void set_render_quality(RenderQuality quality);
const char* render_quality_name(RenderQuality quality);
// The number of blur passes and the bloom target's divisor for a level.
int bloom_blur_passes(RenderQuality quality);
int bloom_divisor(RenderQuality quality);
// Window pixels to a scene texel at a level: above 1 the 3D scene is drawn smaller and filtered up.
int scene_divisor(RenderQuality quality);
// The side of the shadow map at a level.
int shadow_map_side(RenderQuality quality);
// Point lights and shadow-map taps the world shaders use at a level.
int lights_budget(RenderQuality quality);
int shadow_taps(RenderQuality quality);

// --- pass timing (GL timer queries)
void pass_timers_enable(bool on);
// One pass of the frame: begin and end bracket its GL commands; passes may repeat within a frame.
void pass_begin(RenderPass pass);
void pass_end();
// Closes the frame's intervals and adds the results of the oldest frame in flight to the table.
void pass_timers_frame_end();
const char* render_pass_name(RenderPass pass);
// Mean milliseconds a frame of each pass over the frames read, into `out` (RenderPass_Count entries).
void pass_timers_means(f64* out);
void pass_timers_clear();
// The table on standard output.
void pass_timers_print();

// --- lights
void clear_lights();
bool add_light(v3 pos, Color color, f32 radius);
// Dungeons keep one dim light; elsewhere it follows the in-game hour.
v3 ambient_light_at(bool dungeon, int hour);
void update_lights();

// --- meshes built on the CPU (no GL)
void build_unit_sphere(v3* positions_normals, u16* indices);
void build_unit_circle(v2* points);

// --- vertex arrays and shared buffers

// One float attribute of a vertex array: `floats` components at byte `offset` of its binding's records.
struct VertexAttrib {
  u32 floats;
  u32 offset;
  u32 binding = 0;
};
// One buffer a vertex array reads: records of `stride` bytes from byte `offset`; a divisor makes one record
// serve that many instances.
struct VertexBinding {
  u32 vbo;
  u32 stride;
  u32 offset = 0;
  u32 divisor = 0;
};
// Position and texture coordinate of a `Vertex`.
constexpr VertexAttrib VERTEX_2D_TEXTURED[2] = {{2, offsetof(Vertex, pos)}, {2, offsetof(Vertex, tex_coord)}};

// A new vertex array: binding i reads bindings[i], attribute i is attribs[i], indices come from `ebo` when set.
u32 create_vertex_array(const VertexBinding* bindings, int nbindings, const VertexAttrib* attribs, int nattribs,
                        u32 ebo = 0);
// The same with every attribute in the records of one buffer.
inline u32 create_vertex_array(u32 vbo, u32 stride, const VertexAttrib* attribs, int nattribs, u32 divisor = 0,
                               u32 ebo = 0) {
  const VertexBinding binding = {vbo, stride, 0, divisor};
  return create_vertex_array(&binding, 1, attribs, nattribs, ebo);
}

void prepare_test();
void prepare_rect();
void prepare_circle();
void prepare_sprite();
void prepare_gradient();
void prepare_line();
void prepare_shape();
void prepare_sphere();
void prepare_shadowmap();
void prepare_cubemap();
void prepare_particles();
void prepare_stars();

// --- textures
// Decoded RGBA pixels of an image file; a file that cannot be decoded ends the program.
struct TexturePixels {
  u8* pixels = nullptr;
  int width = 0;
  int height = 0;
};
TexturePixels load_texture_pixels(const char* path);
void free_texture_pixels(TexturePixels& image);
Texture load_texture(const char* path);
void load_default_texture();
Texture load_test_texture();

// --- primitives
void draw_point(v3 pos, Color color, f32 size);
void draw_triangle(v3 a, v3 b, v3 c, Color color);
void draw_line(v3 a, v3 b, Color color);
void draw_line(v2 a, v2 b, Color color);
void draw_line_ex(v3 a, v3 b, Color color, f32 width);
void draw_bbox(Bbox box, Color color);
void draw_axis(m4 transform);
void draw_rect(Rect r, Color color);
void draw_rect_outline(Rect r, Color color);
void draw_rect_billboard(v3 pos, v2 size, Color color, v2 offset);
void draw_texture(Texture tex, Rect src, Rect dst, Color tint);
void draw_circle(v3 centre, f32 radius, Color color);
void draw_circle(v2 centre, f32 radius, Color color);
void draw_quad(v2 pos, v2 size, Shader& shader);
void draw_sphere(v3 pos, v3 size, Color color);
void draw_instances(v2 pos, Color color);
void draw_capsule(v3 pos, v2 size, Color color);
// The six corners of a textured quad, texture coordinates from `src` in pixels of a w x h texture.
void sprite_quad_vertices(Vertex* out, int width, int height, Rect src);
// Rz(yaw) x Rx(pitch): turns a quad in the xy plane towards the camera.
m4 camera_facing_rotation();

// --- effects
void draw_slash(v3 pos, v3 size, Color color, f32 sector, f32 angle, f32 time);
void draw_hit(v3 pos, v3 size, Color color, f32 time, f32 angle);
void draw_particles(ParticleSystem& ps, f32 dt);
void draw_fire(v3 pos, v2 size, f32 dt, ParticleSystem& flames, ParticleSystem& smoke);
void draw_stars(m4 transform);
// The simulation steps on their own: they advance the records and fill what is uploaded.
void particles_update(ParticleSystem& ps, f32 dt, ParticleInstance* out);
void stars_update(v4* stars, int n);

// --- passes
m4 shadow_light_vp(v2 centre, v3 light_pos);
// The shadow pass around `centre`: begin, draw every caster with the shadowmap program, end.
void shadowmap_begin(v2 centre);
void shadowmap_end();
struct Entity;
// The whole pass around the player: every stored entity with an id goes through `draw_caster`.
void draw_shadowmap(void (*draw_caster)(Entity& entity));
void draw_cubemap();

// --- developer views
void draw_test(v3 a, v3 b, v3 c, Color ca, Color cb, Color cc);
void draw_tests();
