// The GL side of models: textures and vertex buffers at load, the joint palette upload, and drawing into
// the scene, the shadow map and item icons.
#include <glad/gl.h>
#include <math.h>

#include "app/client.hpp"
#include "render/model.hpp"

Texture model_create_texture(const u8* pixels, int width, int height, int ncomponents, const char* model_path) {
  Texture t;
  t.width = width, t.height = height, t.ncomponents = ncomponents;
  int levels = (int)floorf(log2f((f32)max(width, height))) + 1;
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  // 8 bits a channel, as the images come: a float store would only make every fetch four times wider.
  glTextureStorage2D(t.id, levels, GL_RGBA8, width, height);
  glTextureParameteri(t.id, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTextureParameteri(t.id, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTextureParameteri(t.id, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  GLenum format = ncomponents == 3 ? GL_RGB : GL_RGBA;
  bool pow2 = (width & (width - 1)) == 0;
  if (!pow2) printf("[WARNING] gltf(%s) non-power of 2 texture! %dx%d\n", model_path, width, height);
  // Rows of a 3-channel image of odd width are not 4-byte aligned.
  glPixelStorei(GL_UNPACK_ALIGNMENT, pow2 ? 4 : 1);
  glTextureSubImage2D(t.id, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (levels == 1) {
    glTextureParameteri(t.id, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  } else {
    glGenerateTextureMipmap(t.id);
    glTextureParameteri(t.id, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  }
  return t;
}

void model_create_vertex_array(Mesh& mesh) { glCreateVertexArrays(1, &mesh.vao); }

void model_upload_attribute(Mesh& mesh, int index, const void* data, int size) {
  static const int strides[5] = {12, 8, 12, 4, 16};
  assert(index >= 0 && index < 5);
  u32* names[5] = {&mesh.vbo, &mesh.tex_coords_vbo, &mesh.normals_vbo, &mesh.joints_vbo, &mesh.weights_vbo};
  u32& buffer = *names[index];
  glCreateBuffers(1, &buffer);
  glNamedBufferStorage(buffer, size, data, 0);
  switch (index) {
    case 0: glVertexArrayAttribFormat(mesh.vao, 0, 3, GL_FLOAT, GL_FALSE, 0); break;
    case 1: glVertexArrayAttribFormat(mesh.vao, 1, 2, GL_FLOAT, GL_FALSE, 0); break;
    case 2: glVertexArrayAttribFormat(mesh.vao, 2, 3, GL_FLOAT, GL_FALSE, 0); break;
    case 3: glVertexArrayAttribIFormat(mesh.vao, 3, 4, GL_UNSIGNED_BYTE, 0); break;
    case 4: glVertexArrayAttribFormat(mesh.vao, 4, 4, GL_FLOAT, GL_FALSE, 0); break;
  }
  glVertexArrayVertexBuffer(mesh.vao, index, buffer, 0, strides[index]);
  glVertexArrayAttribBinding(mesh.vao, index, index);
  glEnableVertexArrayAttrib(mesh.vao, index);
}

void model_upload_indices(Mesh& mesh, const u16* indices, int count) {
  glCreateBuffers(1, &mesh.ebo);
  glNamedBufferStorage(mesh.ebo, count * (int)sizeof(u16), indices, 0);
  glVertexArrayElementBuffer(mesh.vao, mesh.ebo);
}

void model_release_gl(Model& model) {
  for (int i = 0; i < model.nmeshes; i++) {
    Mesh& m = model.meshes[i];
    u32 buffers[6] = {m.vbo, m.ebo, m.tex_coords_vbo, m.normals_vbo, m.joints_vbo, m.weights_vbo};
    for (u32 b : buffers)
      if (b) glDeleteBuffers(1, &b);
    if (m.vao) glDeleteVertexArrays(1, &m.vao);
  }
  for (int i = 0; i < model.nmaterials; i++)
    if (model.materials[i].albedo.id) glDeleteTextures(1, &model.materials[i].albedo.id);
}

// --- the joint palette

// A hanging mesh borrows uniform slot 0 of the palette for its joint; the skinned meshes drawn after it
// need the real entry back.
static bool palette_slot0_borrowed;

void animate_model(Shader& shader, Model& model, AnimationInfo info, bool advance) {
  palette_slot0_borrowed = false;
  if (!has_animation(model, info.type)) {
    glUniform1i(shader.is_animated_loc, 0);
    return;
  }
  assert(model.nbones < len(renderer.joint_transforms));
  animation_sample(model, info, advance, game.dt, renderer.joint_transforms);
  glUniform1i(shader.is_animated_loc, 1);
  glUniformMatrix4fv(shader.joint_transforms_loc, model.nbones, GL_TRUE, renderer.joint_transforms[0].elements);
}

void animate_mesh(Shader& shader, Model& model, Mesh& mesh, AnimationType type) {
  if (!has_animation(model, type)) return;
  if (mesh.parent >= 0 && mesh.parent < model.nbones) {
    set_matrix(shader.local_transform_loc, mesh.transform);
    set_matrix(shader.joint_transforms_loc, renderer.joint_transforms[mesh.parent]);
    palette_slot0_borrowed = true;
  } else if (!mesh.has_weights) {
    // Neither skinned nor hanging: it stays where the file put it.
    set_matrix(shader.local_transform_loc, m4_identity());
    set_matrix(shader.joint_transforms_loc, m4_identity());
    palette_slot0_borrowed = true;
  } else if (palette_slot0_borrowed) {
    set_matrix(shader.joint_transforms_loc, renderer.joint_transforms[0]);
    palette_slot0_borrowed = false;
  }
}

// --- drawing

static void draw_mesh_elements(const Mesh& mesh) {
  if (!mesh.has_weights) glVertexAttrib4f(4, 0, 0, 0, 0);
  if (mesh.nindices > 0)
    glDrawElements(GL_TRIANGLES, mesh.nindices, GL_UNSIGNED_SHORT, nullptr);
  else
    glDrawArrays(GL_TRIANGLES, 0, mesh.nvertices);
}

// A mesh without a material is drawn white, never in the colour left by the mesh before it.
static void bind_material(Shader& s, const Model& model, const Mesh& mesh, Color tint, bool with_tint) {
  const Material* m = mesh.material_index >= 0 && mesh.material_index < model.nmaterials
                          ? &model.materials[mesh.material_index]
                          : nullptr;
  glBindTextureUnit(0, m && m->albedo.width ? m->albedo.id : renderer.default_texture.id);
  if (!with_tint) return;
  Color c = gamma_correct(m ? m->base_color : Color{{1, 1, 1, 1}});
  c.r += tint.r, c.g += tint.g, c.b += tint.b;
  set_tint_color(s, c);
}

void draw_model(Model& model, m4 transform, AnimationInfo info) {
  assert(renderer.last_shader);
  Shader& s = *renderer.last_shader;
  set_matrix(s.mvp_loc, renderer.vp * transform);
  set_matrix(s.model_loc, transform);
  glUniform3fv(s.camera_target_pos_loc, 1, renderer.camera.target.elements);
  set_matrix(s.shadow_loc, renderer.light_vp * transform);
  glUniform1f(s.opacity_loc, info.opacity);
  glUniform3fv(s.ambient_loc, 1, renderer.ambient_light.elements);
  glBindTextureUnit(1, renderer.shadow_texture.id);
  animate_model(s, model, info, true);
  for (int i = 0; i < model.nmeshes; i++) {
    if (!mesh_visible(info.mesh_mask, i)) continue;
    Mesh& mesh = model.meshes[i];
    glBindVertexArray(mesh.vao);
    animate_mesh(s, model, mesh, info.type);
    bind_material(s, model, mesh, info.tint, true);
    draw_mesh_elements(mesh);
  }
  glBindVertexArray(0);
}

void draw_model_shadowmap(Model& model, m4 transform, AnimationInfo info) {
  Shader& s = renderer.shaders.shadowmap;
  use_shader(s);
  set_matrix(s.mvp_loc, renderer.light_vp * transform);
  animate_model(s, model, info, false);
  glUniform1f(s.alpha_threshold_loc, model.is_foliage ? 0.9f : 0.0f);
  for (int i = 0; i < model.nmeshes; i++) {
    if (!mesh_visible(info.mesh_mask, i)) continue;
    Mesh& mesh = model.meshes[i];
    glBindVertexArray(mesh.vao);
    animate_mesh(s, model, mesh, info.type);
    bind_material(s, model, mesh, {}, false);
    draw_mesh_elements(mesh);
  }
  glBindVertexArray(0);
}

void generate_item_icon(Texture& icon, Model& model, m4 mvp) {
  icon.width = icon.height = Icon_size;
  icon.ncomponents = 4;
  glCreateTextures(GL_TEXTURE_2D, 1, &icon.id);
  glTextureStorage2D(icon.id, 1, GL_RGBA32F, Icon_size, Icon_size);
  glTextureParameteri(icon.id, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTextureParameteri(icon.id, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  u32 fbo = 0;
  glCreateFramebuffers(1, &fbo);
  glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0, icon.id, 0);
  GLenum status = glCheckNamedFramebufferStatus(fbo, GL_FRAMEBUFFER);
  assert(status == GL_FRAMEBUFFER_COMPLETE);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glViewport(0, 0, Icon_size, Icon_size);
  const f32 clear[4] = {0, 0, 0, 0};
  glClearBufferfv(GL_COLOR, 0, clear);
  Shader& s = renderer.shaders.item;
  use_shader(s);
  set_matrix(s.mvp_loc, mvp);
  for (int i = 0; i < model.nmeshes; i++) {
    Mesh& mesh = model.meshes[i];
    glBindVertexArray(mesh.vao);
    bind_material(s, model, mesh, {}, true);
    draw_mesh_elements(mesh);
  }
  glBindVertexArray(0);
  bind_default_framebuffer();
  glDeleteFramebuffers(1, &fbo);
}
