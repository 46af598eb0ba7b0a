// The shared vertex buffers and the immediate drawing operations built on them: one program, one vertex
// array and one draw call each, nothing allocated.
#include <glad/gl.h>

#include "app/client.hpp"
#include "render/model.hpp"
#include "render/renderer.hpp"

// --- meshes built on the CPU

void build_unit_circle(v2* points) {
  points[0] = {0, 0};
  for (int k = 0; k <= CIRCLE_SEGMENTS; k++) {
    f32 a = 2 * pi * (f32)k / (f32)CIRCLE_SEGMENTS;
    points[k + 1] = {cosf(a), sinf(a)};
  }
}

// Interleaved position and normal per vertex; z up, from the north pole stack by stack.
void build_unit_sphere(v3* positions_normals, u16* indices) {
  int v = 0;
  for (int i = 0; i <= SPHERE_STACKS; i++) {
    f32 phi = pi / 2 - (f32)i * pi / SPHERE_STACKS;
    for (int j = 0; j <= SPHERE_SECTORS; j++) {
      f32 theta = (f32)j * 2 * pi / SPHERE_SECTORS;
      v3 p = {{cosf(phi) * cosf(theta), cosf(phi) * sinf(theta), sinf(phi)}};
      positions_normals[v++] = p;
      positions_normals[v++] = v3_normalized(p);
    }
  }
  int n = 0;
  for (int i = 0; i < SPHERE_STACKS; i++) {
    for (int j = 0; j < SPHERE_SECTORS; j++) {
      u16 k1 = (u16)(i * (SPHERE_SECTORS + 1) + j);
      u16 k2 = (u16)(k1 + SPHERE_SECTORS + 1);
      if (i != 0) {
        indices[n++] = k1;
        indices[n++] = k2;
        indices[n++] = (u16)(k1 + 1);
      }
      if (i != SPHERE_STACKS - 1) {
        indices[n++] = (u16)(k1 + 1);
        indices[n++] = k2;
        indices[n++] = (u16)(k2 + 1);
      }
    }
  }
  assert(n == SPHERE_INDICES);
}

// --- vertex arrays and shared buffers

u32 create_vertex_array(const VertexBinding* bindings, int nbindings, const VertexAttrib* attribs, int nattribs,
                        u32 ebo) {
  GLuint vao = 0;
  glCreateVertexArrays(1, &vao);
  for (int b = 0; b < nbindings; b++) {
    const VertexBinding& vb = bindings[b];
    glVertexArrayVertexBuffer(vao, (GLuint)b, vb.vbo, (GLintptr)vb.offset, (GLsizei)vb.stride);
    if (vb.divisor) glVertexArrayBindingDivisor(vao, (GLuint)b, vb.divisor);
  }
  for (int a = 0; a < nattribs; a++) {
    const VertexAttrib& va = attribs[a];
    glEnableVertexArrayAttrib(vao, (GLuint)a);
    glVertexArrayAttribFormat(vao, (GLuint)a, (GLint)va.floats, GL_FLOAT, GL_FALSE, va.offset);
    glVertexArrayAttribBinding(vao, (GLuint)a, va.binding);
  }
  if (ebo) glVertexArrayElementBuffer(vao, ebo);
  return vao;
}

void prepare_test() {
  glCreateVertexArrays(1, &renderer.point_vao);
  glCreateBuffers(1, &renderer.generic_vbo);
  glNamedBufferStorage(renderer.generic_vbo, 512, nullptr, GL_DYNAMIC_STORAGE_BIT | GL_MAP_WRITE_BIT);
  // Three positions, then three colours, in one buffer (draw_test).
  const VertexBinding bindings[2] = {{renderer.generic_vbo, sizeof(v3)}, {renderer.generic_vbo, sizeof(Color), 36}};
  const VertexAttrib attribs[2] = {{3, 0, 0}, {4, 0, 1}};
  renderer.dummy_vao = create_vertex_array(bindings, 2, attribs, 2);

  bool verbose = renderer.settings.verbose != 0;
  GLint value = 0;
  glGetIntegerv(GL_MAX_UNIFORM_BUFFER_BINDINGS, &value);
  if (verbose) printf("gl: max uniform buffers: %d\n", value);
  glGetIntegerv(GL_MAX_COMBINED_UNIFORM_BLOCKS, &value);
  if (verbose) printf("gl: max uniform bindings: %d\n", value);
  glGetIntegerv(GL_MAX_UNIFORM_BLOCK_SIZE, &value);
  if (verbose) printf("gl: max uniform block size: %d\n", value);

  GLuint program = renderer.shaders.test.program;
  const char* names[3] = {"TransformBlock.offset", "TransformBlock.fudge", "TransformBlock.foo"};
  GLuint indices[3] = {};
  glGetUniformIndices(program, 3, names, indices);
  GLint offsets[3] = {-1, -1, -1};
  for (int i = 0; i < 3; i++) {
    // Asking for the offset of an inactive member is itself a GL error.
    if (indices[i] != GL_INVALID_INDEX) glGetActiveUniformsiv(program, 1, &indices[i], GL_UNIFORM_OFFSET, &offsets[i]);
    if (verbose) printf("gl: [%d][%s] : index=%d, offset=%d\n", i, names[i], (int)indices[i], offsets[i]);
  }
  if (verbose) printf("gl: GL_INVALID_INDEX=%d\n", (int)GL_INVALID_INDEX);
  GLuint block_index = glGetUniformBlockIndex(program, "TransformBlock");
  assert(block_index != GL_INVALID_INDEX);
  glUniformBlockBinding(program, block_index, TEST_UNIFORM_BINDING);

  u8 block[128] = {};
  const f32 offset[2] = {0.1f, -0.1f};
  int at = offsets[0] >= 0 && offsets[0] <= 120 ? offsets[0] : 0;
  memcpy(block + at, offset, sizeof(offset));
  glCreateBuffers(1, &renderer.test_ubo);
  glNamedBufferStorage(renderer.test_ubo, sizeof(block), block, 0);
  glBindBufferBase(GL_UNIFORM_BUFFER, TEST_UNIFORM_BINDING, renderer.test_ubo);
  gl_assert();
}

void prepare_rect() {
  // Texture v runs opposite to y, so images stay upright in the y-down screen projection.
  const Vertex quad[4] = {{{0, 0}, {0, 1}}, {{1, 0}, {1, 1}}, {{1, 1}, {1, 0}}, {{0, 1}, {0, 0}}};
  GLuint vbo = 0;
  glCreateBuffers(1, &vbo);
  glNamedBufferStorage(vbo, sizeof(quad), quad, 0);
  renderer.rect_vao = create_vertex_array(vbo, sizeof(Vertex), VERTEX_2D_TEXTURED, 2);
  gl_assert();
}

void prepare_circle() {
  v2 points[CIRCLE_VERTICES];
  build_unit_circle(points);
  GLuint vbo = 0;
  glCreateBuffers(1, &vbo);
  glNamedBufferStorage(vbo, sizeof(points), points, 0);
  const VertexAttrib position = {2, 0};
  renderer.circle_vao = create_vertex_array(vbo, sizeof(v2), &position, 1);
  renderer.ncircle_vertices = CIRCLE_VERTICES;
  gl_assert();
}

void prepare_sprite() {
  glCreateBuffers(1, &renderer.sprite_vbo);
  glNamedBufferData(renderer.sprite_vbo, sizeof(renderer.sprite_vertices), nullptr, GL_DYNAMIC_DRAW);
  renderer.sprite_vao = create_vertex_array(renderer.sprite_vbo, sizeof(Vertex), VERTEX_2D_TEXTURED, 2);
  gl_assert();
}

void prepare_gradient() {
  Texture& t = renderer.gradient_texture;
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  t.width = t.height = GRADIENT_TEXTURE_SIZE;
  glTextureStorage2D(t.id, 1, GL_RGBA32F, t.width, t.height);
  glTextureParameteri(t.id, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTextureParameteri(t.id, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  GLuint fbo = 0;
  glCreateFramebuffers(1, &fbo);
  glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0, t.id, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  assert(status == GL_FRAMEBUFFER_COMPLETE);
  glViewport(0, 0, t.width, t.height);
  const f32 transparent[4] = {0, 0, 0, 0};
  glClearBufferfv(GL_COLOR, 0, transparent);
  // The temporary program is not a registered record, so last_shader must not point at it.
  Shader temp = load_shader("gradient.vert", "gradient.frag");
  glUseProgram(temp.program);
  glDisable(GL_BLEND);
  glBindVertexArray(renderer.dummy_vao);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  glBindVertexArray(0);
  glEnable(GL_BLEND);
  glUseProgram(0);
  glDeleteProgram(temp.program);
  glDeleteFramebuffers(1, &fbo);
  bind_default_framebuffer();
  gl_assert();
}

void prepare_line() {
  glCreateBuffers(1, &renderer.line_vbo);
  glNamedBufferData(renderer.line_vbo, 2 * sizeof(v3), nullptr, GL_DYNAMIC_DRAW);
  const VertexAttrib position = {3, 0};
  renderer.line_vao = create_vertex_array(renderer.line_vbo, sizeof(v3), &position, 1);
  gl_assert();
}

void prepare_shape() {
  glCreateBuffers(1, &renderer.shape_vbo);
  glNamedBufferStorage(renderer.shape_vbo, 256, nullptr, GL_DYNAMIC_STORAGE_BIT | GL_MAP_WRITE_BIT);
  const VertexAttrib position = {3, 0};
  renderer.shape_vao = create_vertex_array(renderer.shape_vbo, sizeof(v3), &position, 1);
  gl_assert();
}

void prepare_sphere() {
  v3* vertices = (v3*)malloc(sizeof(v3) * 2 * SPHERE_VERTICES);
  u16* indices = (u16*)malloc(sizeof(u16) * SPHERE_INDICES);
  if (!vertices || !indices) panic("out of memory building the sphere\n");
  build_unit_sphere(vertices, indices);
  glCreateBuffers(1, &renderer.sphere_vbo);
  glCreateBuffers(1, &renderer.sphere_ebo);
  glNamedBufferStorage(renderer.sphere_vbo, sizeof(v3) * 2 * SPHERE_VERTICES, vertices, 0);
  glNamedBufferStorage(renderer.sphere_ebo, sizeof(u16) * SPHERE_INDICES, indices, 0);
  free(vertices);
  free(indices);
  const VertexAttrib position_normal[2] = {{3, 0}, {3, sizeof(v3)}};
  renderer.sphere_vao =
      create_vertex_array(renderer.sphere_vbo, 2 * sizeof(v3), position_normal, 2, 0, renderer.sphere_ebo);
  renderer.sphere_nindices = SPHERE_INDICES;
  gl_assert();
}

// --- primitives

m4 camera_facing_rotation() { return m4_rotate_z(renderer.camera.yaw) * m4_rotate_x(renderer.camera.pitch); }

static void finish_draw() {
  glBindVertexArray(0);
  glUseProgram(0);
}

void draw_point(v3 pos, Color color, f32 size) {
  Shader& s = renderer.shaders.point;
  use_shader(s);
  set_matrix(s.mvp_loc, renderer.vp * m4_translate(pos));
  set_tint_color(s, color);
  glPointSize(size);
  glBindVertexArray(renderer.point_vao);
  glDrawArrays(GL_POINTS, 0, 1);
  finish_draw();
}

void draw_triangle(v3 a, v3 b, v3 c, Color color) {
  Shader& s = renderer.shaders.triangle;
  use_shader(s);
  const v3 corners[3] = {a, b, c};
  glNamedBufferSubData(renderer.shape_vbo, 0, sizeof(corners), corners);
  clear_model_matrix(s);
  set_tint_color(s, color);
  glBindVertexArray(renderer.shape_vao);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  finish_draw();
}

void draw_line(v3 a, v3 b, Color color) {
  Shader& s = renderer.shaders.line;
  use_shader(s);
  const v3 points[2] = {a, b};
  glNamedBufferSubData(renderer.line_vbo, 0, sizeof(points), points);
  clear_model_matrix(s);
  set_tint_color(s, color);
  glBindVertexArray(renderer.line_vao);
  glDrawArrays(GL_LINES, 0, 2);
  finish_draw();
}

void draw_line(v2 a, v2 b, Color color) { draw_line(v3_from_v2(a, 0), v3_from_v2(b, 0), color); }

void draw_line_ex(v3 a, v3 b, Color color, f32 width) {
  glLineWidth(width);
  draw_line(a, b, color);
  glLineWidth(1);
}

void draw_bbox(Bbox box, Color color) {
  v3 lo = box.min, hi = box.max;
  v3 c[8] = {
      {{lo.x, lo.y, lo.z}}, {{hi.x, lo.y, lo.z}}, {{hi.x, hi.y, lo.z}}, {{lo.x, hi.y, lo.z}},
      {{lo.x, lo.y, hi.z}}, {{hi.x, lo.y, hi.z}}, {{hi.x, hi.y, hi.z}}, {{lo.x, hi.y, hi.z}},
  };
  const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                            {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (const auto& e : edges) draw_line(c[e[0]], c[e[1]], color);
}

void draw_axis(m4 transform) {
  push_transform(current_transform() * transform);
  v3 o = {};
  draw_line(o, v3{{1, 0, 0}}, Color{{1, 0, 0, 1}});
  draw_line(o, v3{{0, 1, 0}}, Color{{0, 1, 0, 1}});
  draw_line(o, v3{{0, 0, 1}}, Color{{0, 0, 1, 1}});
  pop_transform();
}

void draw_rect(Rect r, Color color) {
  Shader& s = renderer.shaders.rect;
  use_shader(s);
  // A plain rectangle is flat whatever billboard was drawn before it.
  glUniform2f(s.gradient_loc, 0, 0);
  set_model_matrix(s, m4_translate_and_scale(r.x, r.y, r.w, r.h));
  set_tint_color(s, color);
  glBindVertexArray(renderer.rect_vao);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  finish_draw();
}

void draw_rect_outline(Rect r, Color color) {
  v2 lo = v2_floor(rect_min(r)), hi = v2_ceil(rect_max(r));
  draw_line(v2{lo.x, lo.y}, v2{hi.x, lo.y}, color);
  draw_line(v2{hi.x, lo.y}, v2{hi.x, hi.y}, color);
  draw_line(v2{hi.x, hi.y}, v2{lo.x, hi.y}, color);
  draw_line(v2{lo.x, hi.y}, v2{lo.x, lo.y}, color);
}

void draw_rect_billboard(v3 pos, v2 size, Color color, v2 offset) {
  Shader& s = renderer.shaders.rect;
  use_shader(s);
  m4 model = m4_translate(pos) * camera_facing_rotation() * m4_translate_and_scale(offset.x, offset.y, size.x, size.y) *
             m4_translate(-0.5f, 0, 0);
  set_model_matrix(s, model);
  glUniform2f(s.gradient_loc, -0.5f, 1.0f);
  set_tint_color(s, color);
  glBindVertexArray(renderer.rect_vao);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  finish_draw();
}

void sprite_quad_vertices(Vertex* out, int width, int height, Rect src) {
  f32 u0 = src.x / (f32)width, v0 = src.y / (f32)height;
  f32 u1 = u0 + src.w / (f32)width, v1 = v0 + src.h / (f32)height;
  out[0] = {{0, 0}, {u0, v0}};
  out[1] = {{1, 0}, {u1, v0}};
  out[2] = {{1, 1}, {u1, v1}};
  out[3] = {{0, 0}, {u0, v0}};
  out[4] = {{1, 1}, {u1, v1}};
  out[5] = {{0, 1}, {u0, v1}};
}

void draw_texture(Texture texture, Rect src, Rect dst, Color tint) {
  assert(texture.width && texture.height);
  Shader& s = renderer.shaders.sprite;
  use_shader(s);
  sprite_quad_vertices(renderer.sprite_vertices, texture.width, texture.height, src);
  glNamedBufferSubData(renderer.sprite_vbo, 0, sizeof(renderer.sprite_vertices), renderer.sprite_vertices);
  set_model_matrix(s, m4_translate_and_scale(dst.x, dst.y, dst.w, dst.h));
  glUniform1i(s.flip_loc, 0);
  set_tint_color(s, tint);
  glBindTextureUnit(0, texture.id);
  glBindVertexArray(renderer.sprite_vao);
  glDrawArrays(GL_TRIANGLES, 0, 6);
  glBindTextureUnit(0, 0);
  finish_draw();
}

void draw_circle(v3 centre, f32 radius, Color color) {
  Shader& s = renderer.shaders.shape;
  use_shader(s);
  m4 model = m4_scale(radius, radius, 1);
  m4_set_translation(model, centre);
  set_model_matrix(s, model);
  set_tint_color(s, color);
  glBindVertexArray(renderer.circle_vao);
  glDrawArrays(GL_TRIANGLE_FAN, 0, renderer.ncircle_vertices);
  finish_draw();
}

void draw_circle(v2 centre, f32 radius, Color color) { draw_circle(v3_from_v2(centre, 0.01f), radius, color); }

void draw_quad(v2 pos, v2 size, Shader& shader) {
  use_shader(shader);
  m4 model = m4_scale(size.x, size.y, 1);
  m4_set_translation(model, pos.x, pos.y, 0.01f);
  set_model_matrix(shader, model);
  set_time(shader, renderer.time);
  glBindVertexArray(renderer.quad_vao);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  finish_draw();
}

void draw_sphere(v3 pos, v3 size, Color color) {
  Shader& s = renderer.shaders.sphere;
  use_shader(s);
  m4 model = m4_translate(pos) * m4_scale(size);
  set_matrix(s.model_loc, model);
  set_matrix(s.mvp_loc, renderer.vp * model);
  set_time(s, renderer.time);
  set_tint_color(s, color);
  glBindVertexArray(renderer.sphere_vao);
  glDrawElements(GL_TRIANGLES, renderer.sphere_nindices, GL_UNSIGNED_SHORT, nullptr);
  finish_draw();
}

void draw_instances(v2 pos, Color color) {
  Shader& s = renderer.shaders.instanced;
  use_shader(s);
  m4 model = m4_translate(pos.x, pos.y, 0) * camera_facing_rotation() * m4_scale_uniform(20);
  set_matrix(s.mvp_loc, renderer.vp * model);
  set_time(s, renderer.time);
  set_tint_color(s, color);
  glBindVertexArray(renderer.instanced_vao);
  glDrawArraysInstanced(GL_TRIANGLE_FAN, 0, 4, 2048);
  finish_draw();
}

// The start-up capsule model scaled by (size.x, size.x, size.y), with spheres on its two cap centres so the
// shape still shows while the model is not loaded.
void draw_capsule(v3 pos, v2 size, Color color) {
  use_shader(renderer.shaders.model);
  AnimationInfo info = {};
  info.opacity = 1;
  info.tint = color;
  draw_model(game.models.capsule, m4_translate(pos) * m4_scale(size.x, size.x, size.y), info);
  glUseProgram(0);
  // The model's caps have a quarter of its width as radius, at a quarter and five quarters of its height.
  v3 cap = {{size.x * 0.25f, size.x * 0.25f, size.x * 0.25f}};
  draw_sphere(pos + v3{{0, 0, size.y * 0.25f}}, cap, color);
  draw_sphere(pos + v3{{0, 0, size.y * 1.25f}}, cap, color);
}

// --- developer test draws

void draw_test(v3 a, v3 b, v3 c, Color ca, Color cb, Color cc) {
  Shader& s = renderer.shaders.test;
  use_shader(s);
  u8 data[36 + 48];
  const v3 pos[3] = {a, b, c};
  const Color colors[3] = {ca, cb, cc};
  memcpy(data, pos, sizeof(pos));
  memcpy(data + 36, colors, sizeof(colors));
  glNamedBufferSubData(renderer.generic_vbo, 0, sizeof(data), data);
  clear_model_matrix(s);
  glBindVertexArray(renderer.dummy_vao);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  finish_draw();
}

void draw_tests() {
  Color r = {{1, 0, 0, 1}}, g = {{0, 1, 0, 1}}, b = {{0, 0, 1, 1}};
  draw_test(v3{{0, 0, 0}}, v3{{1, 0, 0}}, v3{{0, 1, 0}}, r, g, b);
  draw_test(v3{{1, 0, 0}}, v3{{1, 1, 0}}, v3{{0, 1, 0}}, g, b, r);
}
