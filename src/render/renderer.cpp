// The renderer core: context and fixed state, programs, the transform stack, off-screen targets, bloom, lights.
#include <glad/gl.h>

#include "app/client.hpp"
#include "location.hpp"
#include "app/platform.hpp"
#include "render/renderer.hpp"

Renderer renderer;

#define gl_log(...)                                     \
  do {                                                  \
    if (renderer.settings.verbose) printf(__VA_ARGS__); \
  } while (0)

void gl_assert() {
  GLenum err = glGetError();
  assert(err == GL_NO_ERROR);
}

// --- debug output

static const char* gl_debug_source_name(GLenum source) {
  switch (source) {
    case GL_DEBUG_SOURCE_API: return "API";
    case GL_DEBUG_SOURCE_WINDOW_SYSTEM: return "WINDOW SYSTEM";
    case GL_DEBUG_SOURCE_SHADER_COMPILER: return "SHADER COMPILER";
    case GL_DEBUG_SOURCE_THIRD_PARTY: return "THIRD PARTY";
    case GL_DEBUG_SOURCE_APPLICATION: return "APPLICATION";
    case GL_DEBUG_SOURCE_OTHER: return "OTHER";
    default: return "UNKNOWN";
  }
}

static const char* gl_debug_type_name(GLenum type) {
  switch (type) {
    case GL_DEBUG_TYPE_ERROR: return "ERROR";
    case GL_DEBUG_TYPE_DEPRECATED_BEHAVIOR: return "DEPRECATED_BEHAVIOR";
    case GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR: return "UNDEFINED_BEHAVIOR";
    case GL_DEBUG_TYPE_PORTABILITY: return "PORTABILITY";
    case GL_DEBUG_TYPE_PERFORMANCE: return "PERFORMANCE";
    case GL_DEBUG_TYPE_OTHER: return "OTHER";
    case GL_DEBUG_TYPE_MARKER: return "MARKER";
    default: return "UNKNOWN";
  }
}

static const char* gl_debug_severity_name(GLenum severity) {
  switch (severity) {
    case GL_DEBUG_SEVERITY_NOTIFICATION: return "NOTIFICATION";
    case GL_DEBUG_SEVERITY_HIGH: return "HIGH";
    case GL_DEBUG_SEVERITY_MEDIUM: return "MEDIUM";
    case GL_DEBUG_SEVERITY_LOW: return "LOW";
    default: return "UNKNOWN";
  }
}

void gl_debug_message_callback(u32 source, u32 type, u32 id, u32 severity, int length, const char* message,
                               const void* user) {
  (void)length;
  (void)user;
  if (severity != GL_DEBUG_SEVERITY_HIGH && severity != GL_DEBUG_SEVERITY_MEDIUM) return;
  fprintf(stderr, "gl: [%s %s %s] %u: %s\n", gl_debug_source_name(source), gl_debug_type_name(type),
          gl_debug_severity_name(severity), id, message);
  // Compile and link failures are judged by reload_shader, which keeps the old program on a rebuild;
  // some drivers also report them here at high severity.
  if (severity == GL_DEBUG_SEVERITY_HIGH && source != GL_DEBUG_SOURCE_SHADER_COMPILER) panic("gl error\n");
}

// --- programs

static const char* const uniform_names[] = {
    "sampler",
    "time",
    "tintColor",
    "mvp",
    "model",
    "local_transform",
    "joint_transforms",
    "light_dir",
    "lights",
    "camera_pos",
    "camera_target_pos",
    "shadow",
    "opacity",
    "ambient",
    "alpha_threshold",
    "angle",
    "sector",
    "gradient",
    "is_animated",
    "flip",
    "vision_radius",
    "viewport",
};

static void lookup_uniforms(Shader& s) {
  int* locs[] = {&s.sampler_loc,
                 &s.time_loc,
                 &s.tint_color_loc,
                 &s.mvp_loc,
                 &s.model_loc,
                 &s.local_transform_loc,
                 &s.joint_transforms_loc,
                 &s.light_dir_loc,
                 &s.lights_loc,
                 &s.camera_pos_loc,
                 &s.camera_target_pos_loc,
                 &s.shadow_loc,
                 &s.opacity_loc,
                 &s.ambient_loc,
                 &s.alpha_threshold_loc,
                 &s.angle_loc,
                 &s.sector_loc,
                 &s.gradient_loc,
                 &s.is_animated_loc,
                 &s.flip_loc,
                 &s.vision_radius_loc,
                 &s.viewport_loc};
  static_assert(sizeof(locs) / sizeof(locs[0]) == sizeof(uniform_names) / sizeof(uniform_names[0]));
  for (int i = 0; i < len(uniform_names); i++) *locs[i] = glGetUniformLocation(s.program, uniform_names[i]);
}

struct ShaderSource {
  char* text = nullptr;
  size_t size = 0;
};

static ShaderSource read_shader_source(const char* file, const char* format) {
  Path path;
  snprintf(path.buffer, sizeof(path.buffer), "%s/%s", renderer.shader_dir, file);
  ShaderSource src;
  src.text = (char*)SDL_LoadFile(path.buffer, &src.size);
  if (!src.text) {
    printf(format, path.buffer, platform_error());
    fflush(stdout);
    abort();
  }
  return src;
}

static void print_shader_log(GLuint object, bool program) {
  char log[4096] = {};
  GLsizei n = 0;
  if (program)
    glGetProgramInfoLog(object, sizeof(log), &n, log);
  else
    glGetShaderInfoLog(object, sizeof(log), &n, log);
  if (n > 0) printf("%s\n", log);
}

bool reload_shader(Shader& shader, const char* vs, const char* fs) {
  ShaderSource vs_src = read_shader_source(vs, "Failed to load shader [%s] : %s\n");
  GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
  const GLchar* vs_texts[1] = {vs_src.text};
  GLint vs_lens[1] = {(GLint)vs_src.size};
  glShaderSource(vertex, 1, vs_texts, vs_lens);
  glCompileShader(vertex);
  SDL_free(vs_src.text);
  GLint ok = 0;
  glGetShaderiv(vertex, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    printf("gl: vertex shader(%s) compilation failed\n", vs);
    print_shader_log(vertex, false);
  }

  ShaderSource fs_src = read_shader_source(fs, "Failed to load shader [%s]: %s\n");
  ShaderSource prelude = read_shader_source("light.frag", "Failed to load shader [%s]: %s\n");
  GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
  // The prelude carries the version line and the shared lighting, so it must come first.
  // The quality level's lighting limits go right after the version line, which must stay the first line.
  char defines[96];
  GLint ndefines = snprintf(defines, sizeof(defines), "#define LIGHT_LIMIT %d\n#define SHADOW_TAPS %d\n",
                            lights_budget(renderer.settings.quality), shadow_taps(renderer.settings.quality));
  const char* eol = (const char*)memchr(prelude.text, '\n', prelude.size);
  GLint head = eol ? (GLint)(eol - prelude.text + 1) : 0;
  const GLchar* fs_texts[4] = {prelude.text, defines, prelude.text + head, fs_src.text};
  GLint fs_lens[4] = {head, ndefines, (GLint)prelude.size - head, (GLint)fs_src.size};
  glShaderSource(fragment, 4, fs_texts, fs_lens);
  glCompileShader(fragment);
  SDL_free(fs_src.text);
  SDL_free(prelude.text);
  glGetShaderiv(fragment, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    printf("gl: fragment shader(%s) compilation failed\n", fs);
    print_shader_log(fragment, false);
  }

  GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok) {
    renderer.shaders_info.broken_shader = nullptr;
    if (shader.program) {
      glDeleteProgram(shader.program);
      gl_log("gl: Reloading shader '%s' [%d] -> [%d]\n", shader.name, (int)shader.program, (int)program);
    } else {
      gl_log("gl: Compiled shader '%s' [%d]\n", shader.name, (int)program);
    }
    shader.program = program;
    lookup_uniforms(shader);
    gl_assert();
    return true;
  }

  char log[4096] = {};
  glGetProgramInfoLog(program, sizeof(log), nullptr, log);
  printf("gl: Link Error for shader '%s':\n%s\n", shader.name ? shader.name : "", log);
  fflush(stdout);
  glDeleteProgram(program);
  // A program that never built leaves nothing to draw with.
  if (!shader.program) abort();
  renderer.shaders_info.broken_shader = &shader;
  return false;
}

void load_shader(Shader& shader, const char* name, const char* vs, const char* fs) {
  shader.name = name;
  shader.vs_filename = vs;
  shader.fs_filename = fs;
  reload_shader(shader, vs, fs);
  ShadersInfo& info = renderer.shaders_info;
  assert(info.nshaders < len(info.list));
  info.list[info.nshaders++] = &shader;
}

Shader load_shader(const char* vs, const char* fs) {
  Shader shader = {};
  shader.name = "temp";
  shader.vs_filename = vs;
  shader.fs_filename = fs;
  reload_shader(shader, vs, fs);
  return shader;
}

void load_shaders() {
  Shaders& s = renderer.shaders;
  load_shader(s.sprite, "sprite", "quad.vert", "sprite.frag");
  load_shader(s.rect, "rect", "quad.vert", "rect.frag");
  load_shader(s.text, "text", "text.vert", "text.frag");
  load_shader(s.shape, "shape", "shape.vert", "shape.frag");
  load_shader(s.sphere, "sphere", "sphere.vert", "sphere.frag");
  load_shader(s.tile, "tile", "tile.vert", "tile.frag");
  load_shader(s.line, "line", "line.vert", "line.frag");
  load_shader(s.point, "point", "point.vert", "solid.frag");
  load_shader(s.triangle, "triangle", "triangle.vert", "solid.frag");
  load_shader(s.model, "model", "model.vert", "model.frag");
  load_shader(s.shadowmap, "shadowmap", "shadowmap.vert", "shadowmap.frag");
  load_shader(s.cubemap, "cubemap", "cubemap.vert", "cubemap.frag");
  load_shader(s.slash, "slash", "simple.vert", "slash.frag");
  load_shader(s.hit, "hit", "simple_quad.vert", "hit.frag");
  load_shader(s.fire, "fire", "simple_quad.vert", "fire.frag");
  load_shader(s.flames, "flames", "flames.vert", "flames.frag");
  load_shader(s.sprint_aura, "sprint_aura", "simple_quad.vert", "sprint_aura.frag");
  load_shader(s.instanced, "instanced", "instanced.vert", "instanced.frag");
  load_shader(s.stars, "stars", "stars.vert", "stars.frag");
  load_shader(s.test, "test", "test.vert", "test.frag");
  load_shader(s.item, "item", "item.vert", "item.frag");
  load_shader(s.blur, "blur", "composite.vert", "blur.frag");
  load_shader(s.composite, "composite", "composite.vert", "composite.frag");
}

// Programs are only built at start-up; these hooks stay for a future file watcher.
void reload_shaders() {}
void setup_shaders_watcher() {}

void use_shader(Shader& shader) {
  glUseProgram(shader.program);
  renderer.last_shader = &shader;
}

// --- transforms and uniforms

void push_transform(m4 m) {
  assert(renderer.ntransforms < len(renderer.transforms));
  renderer.transforms[renderer.ntransforms++] = m;
}

void pop_transform() {
  assert(renderer.ntransforms > 1);
  renderer.ntransforms--;
}

m4 current_transform() {
  assert(renderer.ntransforms > 0);
  return renderer.transforms[renderer.ntransforms - 1];
}

void set_matrix(int location, const m4& m) { glUniformMatrix4fv(location, 1, GL_TRUE, m.elements); }

void set_model_matrix(Shader& shader, m4 model) { set_matrix(shader.mvp_loc, current_transform() * model); }

void clear_model_matrix(Shader& shader) { set_matrix(shader.mvp_loc, current_transform()); }

void set_time(Shader& shader, f32 t) { glUniform1f(shader.time_loc, t); }

void set_tint_color(Shader& shader, Color c) { glUniform4f(shader.tint_color_loc, c.r, c.g, c.b, c.a); }

// --- targets

static void assert_bound_framebuffer_complete() {
  assert(glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE);
}

static GLuint create_target_texture(GLenum format, GLenum filter, int w, int h) {
  GLuint t = 0;
  glCreateTextures(GL_TEXTURE_2D, 1, &t);
  glTextureStorage2D(t, 1, format, w, h);
  glTextureParameteri(t, GL_TEXTURE_MIN_FILTER, filter);
  glTextureParameteri(t, GL_TEXTURE_MAG_FILTER, filter);
  glTextureParameteri(t, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTextureParameteri(t, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return t;
}

static void delete_targets() {
  GLuint textures[6] = {renderer.hdr_texture.id,
                        renderer.brightness_texture.id,
                        renderer.blur_texture_ids[0],
                        renderer.blur_texture_ids[1],
                        0,
                        0};
  // Without multisampling the resolved pair is the scene pair itself.
  if (renderer.targets_msaa) {
    textures[4] = renderer.msaa_hdr_texture_id;
    textures[5] = renderer.msaa_brightness_texture_id;
  }
  glDeleteTextures(6, textures);
  glDeleteRenderbuffers(1, &renderer.hdr_depth_rbo);
  glDeleteFramebuffers(1, &renderer.msaa_fbo);
  glDeleteFramebuffers(1, &renderer.hdr_fbo);
  glDeleteFramebuffers(2, renderer.blur_fbo);
  renderer.msaa_hdr_texture_id = renderer.msaa_brightness_texture_id = 0;
  renderer.hdr_texture = {};
  renderer.brightness_texture = {};
  renderer.blur_texture_ids[0] = renderer.blur_texture_ids[1] = 0;
  renderer.hdr_depth_rbo = renderer.msaa_fbo = renderer.hdr_fbo = 0;
  renderer.blur_fbo[0] = renderer.blur_fbo[1] = 0;
}

// The scene, its resolved copy and the bloom chain for a window of up to w x h, each at its level's fraction.
static void create_targets(int window_w, int window_h) {
  const GLenum both[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
  const int sdiv = renderer.settings.enable_postprocessing ? scene_divisor(renderer.settings.quality) : 1;
  const int w = scaled_side(window_w, sdiv), h = scaled_side(window_h, sdiv);

  bool msaa = renderer.settings.enable_msaa;
  if (msaa) {
    glCreateFramebuffers(1, &renderer.msaa_fbo);
    renderer.msaa_hdr_texture_id = create_target_texture(GL_RGBA16F, GL_NEAREST, w, h);
    renderer.msaa_brightness_texture_id = create_target_texture(GL_RGBA16F, GL_NEAREST, w, h);
    glNamedFramebufferTexture(renderer.msaa_fbo, GL_COLOR_ATTACHMENT0, renderer.msaa_hdr_texture_id, 0);
    glNamedFramebufferTexture(renderer.msaa_fbo, GL_COLOR_ATTACHMENT1, renderer.msaa_brightness_texture_id, 0);
    glNamedFramebufferDrawBuffers(renderer.msaa_fbo, 2, both);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.msaa_fbo);
    assert_bound_framebuffer_complete();
  }

  glCreateFramebuffers(1, &renderer.hdr_fbo);
  glCreateRenderbuffers(1, &renderer.hdr_depth_rbo);
  GLuint color = 0, bright = 0;
  if (msaa) {
    glCreateTextures(GL_TEXTURE_2D_MULTISAMPLE, 1, &color);
    glCreateTextures(GL_TEXTURE_2D_MULTISAMPLE, 1, &bright);
    glTextureStorage2DMultisample(color, 4, GL_RGB16F, w, h, GL_TRUE);
    glTextureStorage2DMultisample(bright, 4, GL_RGB16F, w, h, GL_TRUE);
    glNamedRenderbufferStorageMultisample(renderer.hdr_depth_rbo, 4, GL_DEPTH_COMPONENT32F, w, h);
  } else {
    color = create_target_texture(GL_RGBA16F, GL_NEAREST, w, h);
    bright = create_target_texture(GL_RGBA16F, GL_NEAREST, w, h);
    glNamedRenderbufferStorage(renderer.hdr_depth_rbo, GL_DEPTH_COMPONENT32F, w, h);
    // Single-sampled, the scene is its own resolved copy: no second pair is made.
    renderer.msaa_hdr_texture_id = color;
    renderer.msaa_brightness_texture_id = bright;
  }
  renderer.hdr_texture = {color, w, h, 0};
  renderer.brightness_texture = {bright, w, h, 0};
  glNamedFramebufferTexture(renderer.hdr_fbo, GL_COLOR_ATTACHMENT0, color, 0);
  glNamedFramebufferTexture(renderer.hdr_fbo, GL_COLOR_ATTACHMENT1, bright, 0);
  glNamedFramebufferRenderbuffer(renderer.hdr_fbo, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderer.hdr_depth_rbo);
  glNamedFramebufferDrawBuffer(renderer.hdr_fbo, GL_COLOR_ATTACHMENT0);
  glBindFramebuffer(GL_FRAMEBUFFER, renderer.hdr_fbo);
  GLenum err = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  assert(err == GL_FRAMEBUFFER_COMPLETE);
  (void)err;

  // The bloom chain may run at a fraction of the window's size.
  int div = bloom_divisor(renderer.settings.quality);
  int bw = scaled_side(window_w, div), bh = scaled_side(window_h, div);
  glCreateFramebuffers(2, renderer.blur_fbo);
  for (int i = 0; i < 2; i++) {
    renderer.blur_texture_ids[i] = create_target_texture(GL_RGBA16F, GL_LINEAR, bw, bh);
    glNamedFramebufferTexture(renderer.blur_fbo[i], GL_COLOR_ATTACHMENT0, renderer.blur_texture_ids[i], 0);
    glNamedFramebufferDrawBuffer(renderer.blur_fbo[i], GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.blur_fbo[i]);
    assert_bound_framebuffer_complete();
  }
  renderer.target_width = window_w;
  renderer.target_height = window_h;
  renderer.targets_msaa = msaa;
  renderer.targets_scene_divisor = sdiv;
  renderer.targets_bloom_divisor = div;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  gl_assert();
}

int render_target_side(int window_side) {
  // Rounded up, so that dragging a window's edge does not re-create the targets at every pixel.
  int side = (window_side + RENDER_TARGET_STEP - 1) / RENDER_TARGET_STEP * RENDER_TARGET_STEP;
  if (side < RENDER_TARGET_STEP) side = RENDER_TARGET_STEP;
  return side < RENDER_TARGET_SIZE ? side : RENDER_TARGET_SIZE;
}

int scaled_side(int window_side, int divisor) { return (window_side + divisor - 1) / divisor; }

int scene_width() { return scaled_side(renderer.window_width, renderer.targets_scene_divisor); }
int scene_height() { return scaled_side(renderer.window_height, renderer.targets_scene_divisor); }

void fit_render_targets() {
  const RenderQuality q = renderer.settings.quality;
  if (renderer.shadow_fbo && renderer.shadow_texture.width != shadow_map_side(q)) prepare_shadowmap();
  int w = render_target_side(renderer.window_width), h = render_target_side(renderer.window_height);
  bool grown = w > renderer.target_width || h > renderer.target_height;
  const int sdiv = renderer.settings.enable_postprocessing ? scene_divisor(q) : 1;
  bool same_kind = renderer.targets_msaa == renderer.settings.enable_msaa &&
                   renderer.targets_bloom_divisor == bloom_divisor(q) && renderer.targets_scene_divisor == sdiv;
  if (!grown && same_kind && renderer.hdr_fbo) return;
  // A target never shrinks with the window: the memory is kept for when it grows back. Targets of another
  // kind are made for the window as it is.
  if (same_kind && w < renderer.target_width) w = renderer.target_width;
  if (same_kind && h < renderer.target_height) h = renderer.target_height;
  delete_targets();
  create_targets(w, h);
  bind_default_framebuffer();
}

void prepare_hdr() {
  glCreateSamplers(1, &renderer.blur_sampler);
  glSamplerParameteri(renderer.blur_sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(renderer.blur_sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(renderer.blur_sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(renderer.blur_sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  renderer.target_width = renderer.target_height = 0;
  renderer.targets_scene_divisor = 1;
  create_targets(render_target_side(renderer.window_width), render_target_side(renderer.window_height));
}

void bind_default_framebuffer() {
  if (renderer.settings.enable_postprocessing) {
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.hdr_fbo);
    glViewport(0, 0, scene_width(), scene_height());
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, renderer.window_width, renderer.window_height);
  }
}

void enable_brightness_attachment() {
  if (!renderer.settings.enable_postprocessing) return;
  const GLenum both[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
  glNamedFramebufferDrawBuffers(renderer.hdr_fbo, 2, both);
}

void disable_brightness_attachment() {
  if (!renderer.settings.enable_postprocessing) return;
  glNamedFramebufferDrawBuffer(renderer.hdr_fbo, GL_COLOR_ATTACHMENT0);
}

void draw_clear(Color c) {
  bind_default_framebuffer();
  enable_brightness_attachment();
  // Only the corner of the targets the frame covers is ever drawn, so only it is cleared.
  const bool scene = renderer.settings.enable_postprocessing;
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, scene ? scene_width() : renderer.window_width, scene ? scene_height() : renderer.window_height);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glClearBufferfv(GL_COLOR, 0, c.elements);
  if (renderer.settings.enable_postprocessing) {
    const f32 black[4] = {0, 0, 0, 1};
    glClearBufferfv(GL_COLOR, 1, black);
  }
  const f32 depth = 1.0f;
  glClearBufferfv(GL_DEPTH, 0, &depth);
  glDisable(GL_SCISSOR_TEST);
  disable_brightness_attachment();
}

void post_process() {
  renderer.blur_passes = 0;
  if (!renderer.settings.enable_postprocessing) return;
  int w = renderer.window_width, h = renderer.window_height;
  const int sw = scene_width(), sh = scene_height();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);

  pass_begin(RenderPass_Resolve);
  GLuint scene = renderer.msaa_hdr_texture_id, bright = renderer.msaa_brightness_texture_id;
  if (renderer.targets_msaa) {
    for (int i = 0; i < 2; i++) {
      glNamedFramebufferReadBuffer(renderer.hdr_fbo, GL_COLOR_ATTACHMENT0 + i);
      glNamedFramebufferDrawBuffer(renderer.msaa_fbo, GL_COLOR_ATTACHMENT0 + i);
      glBlitNamedFramebuffer(renderer.hdr_fbo, renderer.msaa_fbo, 0, 0, sw, sh, 0, 0, sw, sh, GL_COLOR_BUFFER_BIT,
                             GL_NEAREST);
    }
    glNamedFramebufferReadBuffer(renderer.hdr_fbo, GL_COLOR_ATTACHMENT0);
  }
  // Without multisampling there is nothing to resolve: the resolved pair is the scene pair itself.
  pass_end();

  // The bright parts are blurred in the bloom targets, which may be smaller than the scene: the first
  // pass reads the scene-sized brightness, `scale` source texels to a target pixel.
  const int div = renderer.targets_bloom_divisor, sdiv = renderer.targets_scene_divisor;
  const int bw = scaled_side(w, div), bh = scaled_side(h, div);
  Shader& blur = renderer.shaders.blur;
  use_shader(blur);
  GLint scale_loc = glGetUniformLocation(blur.program, "scale");
  glBindVertexArray(renderer.quad_vao);
  glUniform2i(blur.viewport_loc, sw, sh);
  glUniform1f(scale_loc, (f32)div / (f32)sdiv);
  glViewport(0, 0, bw, bh);
  // Each bilinear tap averages two neighbouring texels: half the fetches of a plain Gaussian, which is
  // most of the frame's cost on a software rasteriser.
  glBindSampler(0, renderer.blur_sampler);
  pass_begin(RenderPass_Blur0);
  glBindFramebuffer(GL_FRAMEBUFFER, renderer.blur_fbo[0]);
  glUniform1i(blur.flip_loc, 0);
  glBindTextureUnit(0, bright);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  pass_end();
  renderer.blur_passes++;
  glUniform2i(blur.viewport_loc, bw, bh);
  glUniform1f(scale_loc, 1.0f);
  int hz = 0;
  const int passes = bloom_blur_passes(renderer.settings.quality);
  for (int pass = 1; pass < passes; pass++) {
    hz = 1 - hz;
    pass_begin((RenderPass)(RenderPass_Blur0 + pass));
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.blur_fbo[hz]);
    glUniform1i(blur.flip_loc, hz);
    glBindTextureUnit(0, renderer.blur_texture_ids[1 - hz]);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    pass_end();
    renderer.blur_passes++;
  }

  glBindSampler(0, 0);

  pass_begin(RenderPass_Composite);
  Shader& composite = renderer.shaders.composite;
  use_shader(composite);
  const GLint bloom_only_loc = glGetUniformLocation(composite.program, "bloom_only");
  glBindTextureUnit(1, renderer.blur_texture_ids[hz]);
  if (sdiv > 1) {
    // A smaller scene takes its glow at its own size, then one filtered copy scales it to the window: the
    // window's pixels cost one bilinear fetch each, done by the blit (which also clamps to the display's range).
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.hdr_fbo);
    glViewport(0, 0, sw, sh);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_ONE, GL_ONE, GL_ZERO, GL_ONE);
    glUniform1i(glGetUniformLocation(composite.program, "bloom_divisor"), div / sdiv);
    glUniform1i(bloom_only_loc, 1);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Through the bindings: Mesa's named blit into the window's framebuffer (name 0) drew nothing.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, renderer.hdr_fbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, sw, sh, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, w, h);
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, w, h);
    glBindTextureUnit(0, scene);
    glUniform1i(glGetUniformLocation(composite.program, "bloom_divisor"), div);
    glUniform1i(bloom_only_loc, 0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  glBindTextureUnit(0, 0);
  glBindTextureUnit(1, 0);
  glBindVertexArray(0);
  glUseProgram(0);
  glEnable(GL_BLEND);
  pass_end();
  gl_assert();
}

// --- quality

bool gl_renderer_is_software(const char* name) {
  if (!name) return false;
  static const char* const cpu_renderers[] = {"llvmpipe",
                                              "softpipe",
                                              "swrast",
                                              "Software Rasterizer",
                                              "Software Renderer",
                                              "GDI Generic",
                                              "Microsoft Basic Render Driver"};
  for (const char* r : cpu_renderers) {
    if (strstr(name, r)) return true;
  }
  return false;
}

RenderQuality default_render_quality(bool software) { return software ? RenderQuality_Low : RenderQuality_Full; }

const char* render_quality_name(RenderQuality quality) { return quality == RenderQuality_Low ? "Low" : "Full"; }

// Six passes, three each way, at full size; at Low one each way at a quarter size, which reaches about as
// far in window pixels for a fraction of the fetches.
int bloom_blur_passes(RenderQuality quality) { return quality == RenderQuality_Low ? 2 : 6; }
int bloom_divisor(RenderQuality quality) { return quality == RenderQuality_Low ? 4 : 1; }
// At Low the scene is drawn at half each side: a quarter of the fragments, which is most of a frame's cost
// on a CPU rasteriser. The UI is drawn afterwards, at the window's size.
int scene_divisor(RenderQuality quality) { return quality == RenderQuality_Low ? 2 : 1; }
// A quarter of the area at Low: the shadows' edges get coarser, the pass four times cheaper.
int shadow_map_side(RenderQuality quality) {
  return quality == RenderQuality_Low ? SHADOW_MAP_SIZE / 2 : SHADOW_MAP_SIZE;
}
int lights_budget(RenderQuality quality) { return quality == RenderQuality_Low ? 2 : LIGHTS_MAX; }
int shadow_taps(RenderQuality quality) { return quality == RenderQuality_Low ? 1 : 9; }

void set_render_quality(RenderQuality quality) {
  bool changed = renderer.settings.quality != quality;
  renderer.settings.quality = quality;
  renderer.settings.enable_msaa = quality == RenderQuality_Full;
  if (!changed) return;
  // The lit programs have the level's limits compiled in; the others do not read them.
  Shaders& s = renderer.shaders;
  Shader* lit[2] = {&s.model, &s.tile};
  for (Shader* p : lit) {
    if (p->program) reload_shader(*p, p->vs_filename, p->fs_filename);
  }
}

// --- lights

void clear_lights() {
  renderer.nlights = 0;
  for (Light& l : renderer.lights) l = {};
}

bool add_light(v3 pos, Color color, f32 radius) {
  if (renderer.nlights >= len(renderer.lights)) return false;
  Light& l = renderer.lights[renderer.nlights++];
  l.type = 1;
  l.pos = pos;
  l.color = {{color.r, color.g, color.b}};
  l.radius = radius;
  return true;
}

v3 ambient_light_at(bool dungeon, int hour) {
  if (dungeon) return {{0.4f, 0.4f, 0.4f}};
  if (hour >= 6 && hour <= 18) return {{1, 1, 1}};
  if (hour >= 19 && hour <= 21) return {{0.75f, 0.75f, 0.75f}};
  return {{0.5f, 0.5f, 0.5f}};
}

void update_lights() {
  renderer.light_pos = {{-0.3f, -0.3f, 1.0f}};
  Shader* programs[2] = {&renderer.shaders.model, &renderer.shaders.tile};
  for (Shader* s : programs) {
    use_shader(*s);
    int loc = LIGHTS_UNIFORM_LOCATION;
    for (const Light& l : renderer.lights) {
      glUniform1i(loc, l.type);
      glUniform3fv(loc + 1, 1, l.pos.elements);
      glUniform3fv(loc + 2, 1, l.color.elements);
      glUniform1f(loc + 3, l.radius);
      loc += 4;
    }
  }
  bool dungeon = game.location && game.location->type == LocationType_Dungeon;
  renderer.ambient_light = ambient_light_at(dungeon, game.game_time.hour);
}

// --- start-up

void init_opengl() {
  Measure measure = measure_start("gl");
  SDL_GLContext context = SDL_GL_CreateContext(game.window);
  if (!context) panic("Couldn't create OpenGL context: %s\n", platform_error());
  int version = gladLoadGL((GLADloadfunc)SDL_GL_GetProcAddress);
  if (!version) panic("Couldn't load OpenGL functions\n");
  gl_log("GL %d.%d\n", version / 10000, version % 10000);
  gl_log("gl: vendor: %s\n", (const char*)glGetString(GL_VENDOR));
  gl_log("gl: renderer: %s\n", (const char*)glGetString(GL_RENDERER));
  renderer.software_gl = gl_renderer_is_software((const char*)glGetString(GL_RENDERER));
  set_render_quality(default_render_quality(renderer.software_gl));
  printf("Render quality: %s\n", render_quality_name(renderer.settings.quality));
  gl_log("gl: version: %s\n", (const char*)glGetString(GL_VERSION));
  gl_log("gl: glsl version: %s\n", (const char*)glGetString(GL_SHADING_LANGUAGE_VERSION));

  glDebugMessageCallback(gl_debug_message_callback, nullptr);
  glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
  glEnable(GL_DEBUG_OUTPUT);

  glEnable(GL_MULTISAMPLE);
  glEnable(GL_SAMPLE_ALPHA_TO_COVERAGE);

  GLint max_samples = 0, max_texture_size = 0, max_combined = 0, max_units = 0;
  GLfloat line_widths[2] = {};
  glGetIntegerv(GL_MAX_SAMPLES, &max_samples);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_size);
  glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &max_combined);
  glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &max_units);
  glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, line_widths);
  gl_log("gl: max MSAA %dx\n", max_samples);
  gl_log("gl: texture Max size: %d\n", max_texture_size);
  gl_log("gl: max combined texture units: %d\n", max_combined);
  gl_log("gl: max texture image units: %d\n", max_units);
  gl_log("gl: line width range: %f-%f\n", line_widths[0], line_widths[1]);

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);

  setup_shaders_watcher();
  load_shaders();
  load_default_texture();
  measure.report("shaders");

  glCreateVertexArrays(1, &renderer.quad_vao);
  prepare_test();
  prepare_rect();
  prepare_circle();
  prepare_sprite();
  prepare_gradient();
  prepare_line();
  prepare_shape();
  prepare_sphere();
  prepare_hdr();
  prepare_shadowmap();
  prepare_cubemap();
  prepare_particles();
  prepare_stars();
  glCreateVertexArrays(1, &renderer.instanced_vao);
  measure.report("prepares");

  renderer.icons_texture = load_texture("assets/icons.png");
  renderer.fire_texture = load_texture("assets/fire.png");
  renderer.flame_texture = load_texture("assets/flame.png");
  renderer.tiles_texture = load_texture("assets/tiles.png");
  renderer.tiles_texture_tile_size = 64;
  measure.report("textures & tiles");

  push_transform(m4_identity());
  gl_assert();
  measure.end();
}
