// Effects (slash, hit flash, particles, fire, stars) and the shadow and sky passes.
#include <glad/gl.h>

#include "app/client.hpp"
#include "registry.hpp"
#include "render/renderer.hpp"

// --- buffers

void prepare_particles() {
  glCreateBuffers(1, &renderer.particles_vbo);
  glNamedBufferData(renderer.particles_vbo, 2 * PARTICLES_SIMULATED * sizeof(ParticleInstance), nullptr,
                    GL_DYNAMIC_DRAW);
  const VertexAttrib attribs[2] = {{4, 0}, {4, 16}};
  // One record feeds the four instances that make up one particle.
  renderer.particles_vao = create_vertex_array(renderer.particles_vbo, sizeof(ParticleInstance), attribs, 2, 4);
  gl_assert();
}

void prepare_stars() {
  glCreateBuffers(1, &renderer.stars_vbo);
  glNamedBufferData(renderer.stars_vbo, sizeof(renderer.stars), nullptr, GL_DYNAMIC_DRAW);
  const VertexAttrib star = {4, 0};
  renderer.stars_vao = create_vertex_array(renderer.stars_vbo, sizeof(v4), &star, 1, 1);
  gl_assert();
}

void prepare_shadowmap() {
  Texture& t = renderer.shadow_texture;
  // Called again when the quality changes the size: the old map goes first.
  glDeleteTextures(1, &t.id);
  glDeleteFramebuffers(1, &renderer.shadow_fbo);
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  t.width = t.height = shadow_map_side(renderer.settings.quality);
  glTextureStorage2D(t.id, 1, GL_DEPTH_COMPONENT32F, t.width, t.height);
  glTextureParameteri(t.id, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTextureParameteri(t.id, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  // Outside the shadowed square everything is lit: the border reads as the far plane.
  glTextureParameteri(t.id, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
  glTextureParameteri(t.id, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
  const f32 border[4] = {1, 1, 1, 1};
  glTextureParameterfv(t.id, GL_TEXTURE_BORDER_COLOR, border);
  glCreateFramebuffers(1, &renderer.shadow_fbo);
  glNamedFramebufferTexture(renderer.shadow_fbo, GL_DEPTH_ATTACHMENT, t.id, 0);
  glNamedFramebufferDrawBuffer(renderer.shadow_fbo, GL_NONE);
  glNamedFramebufferReadBuffer(renderer.shadow_fbo, GL_NONE);
  glBindFramebuffer(GL_FRAMEBUFFER, renderer.shadow_fbo);
  assert(glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  gl_assert();
}

static const char* const cubemap_faces[6] = {"right.png", "left.png", "top.png", "bottom.png", "front.png", "back.png"};

void prepare_cubemap() {
  if (!renderer.settings.cubemap_enabled) return;
  Texture& cube = renderer.cubemap;
  glCreateTextures(GL_TEXTURE_CUBE_MAP, 1, &cube.id);
  for (int face = 0; face < 6; face++) {
    Path path;
    snprintf(path.buffer, sizeof(path.buffer), "assets/skybox/%s", cubemap_faces[face]);
    TexturePixels image = load_texture_pixels(path.cstr());
    if (face == 0) {
      cube.width = image.width;
      cube.height = image.height;
      glTextureStorage2D(cube.id, 1, GL_RGBA8, cube.width, cube.height);
    }
    if (image.width != cube.width || image.height != cube.height)
      panic("Cannot load texture from %s: faces differ in size\n", path.cstr());
    glTextureSubImage3D(cube.id, 0, 0, 0, face, image.width, image.height, 1, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels);
    free_texture_pixels(image);
  }
  glTextureParameteri(cube.id, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTextureParameteri(cube.id, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTextureParameteri(cube.id, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTextureParameteri(cube.id, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTextureParameteri(cube.id, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  gl_assert();
}

// --- simulation

void particles_update(ParticleSystem& ps, f32 dt, ParticleInstance* out) {
  for (int i = 0; i < PARTICLES_SIMULATED; i++) {
    Particle& p = ps.particles[i];
    // Motion slows as the particle ages.
    p.pos += p.vel * (p.lifetime * dt);
    if (p.max_lifetime > 0) p.lifetime -= dt / p.max_lifetime;
    if (p.lifetime <= 0) {
      p.pos.x = rrand(-ps.dim.x, ps.dim.y);
      p.pos.y = rrand(-ps.dim.x, ps.dim.y);
      p.pos.z = rrand(3, 7);
      p.vel.z = rrand(3, 11);
      p.max_lifetime = rrand(1.5f, 3);
      p.lifetime = 1;
      p.scale = rrand(ps.scale_range.x, ps.scale_range.y);
    }
    out[i] = {p.pos, p.lifetime, p.scale, {0, 0, 0}};
  }
}

void stars_update(v4* stars, int n) {
  for (int i = 0; i < n; i++) {
    v4& s = stars[i];
    if (s.w < 0) {
      v2 xy = v2_rand(2.0f);
      s.x = xy.x;
      s.y = xy.y;
      s.z = rrand(-0.5f, 1.5f);
      s.w = rrand(0.5f, 1.0f);
    } else {
      s.x *= 1.01f;
      s.y *= 1.01f;
      s.z *= 1.01f;
      s.w -= 0.01f;
    }
  }
}

// --- effects

void draw_slash(v3 pos, v3 size, Color color, f32 sector, f32 angle, f32 time) {
  pass_begin(RenderPass_Effects);
  Shader& s = renderer.shaders.slash;
  use_shader(s);
  enable_brightness_attachment();
  glEnable(GL_DEPTH_TEST);
  set_time(s, time);
  glUniform1f(s.angle_loc, angle);
  glUniform1f(s.sector_loc, sector);
  set_tint_color(s, color);
  m4 model = m4_translate(pos) * m4_scale(size);
  set_matrix(s.model_loc, model);
  set_matrix(s.mvp_loc, renderer.vp * model);
  glBindVertexArray(renderer.sphere_vao);
  glDrawElements(GL_TRIANGLES, renderer.sphere_nindices, GL_UNSIGNED_SHORT, nullptr);
  glBindVertexArray(0);
  glUseProgram(0);
  glDisable(GL_DEPTH_TEST);
  disable_brightness_attachment();
  pass_end();
}

void draw_hit(v3 pos, v3 size, Color color, f32 time, f32 angle) {
  pass_begin(RenderPass_Effects);
  Shader& s = renderer.shaders.hit;
  use_shader(s);
  set_time(s, time);
  set_tint_color(s, color);
  glUniform1f(s.angle_loc, angle);
  set_model_matrix(s, m4_translate(pos) * m4_scale(size) * camera_facing_rotation());
  glBindVertexArray(renderer.quad_vao);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glBindVertexArray(0);
  glUseProgram(0);
  pass_end();
}

void draw_particles(ParticleSystem& ps, f32 dt) {
  Shader& s = renderer.shaders.flames;
  use_shader(s);
  glUniform2f(s.gradient_loc, ps.gradient.x, ps.gradient.y);
  set_time(s, renderer.time);
  set_model_matrix(s, ps.transform);
  set_tint_color(s, ps.color);
  ParticleInstance records[PARTICLES_SIMULATED];
  particles_update(ps, dt, records);
  glNamedBufferSubData(renderer.particles_vbo, 0, sizeof(records), records);
  glBindVertexArray(renderer.particles_vao);
  glBindTextureUnit(0, renderer.flame_texture.id);
  glDrawArraysInstanced(GL_TRIANGLE_FAN, 0, 4, 4 * PARTICLES_SIMULATED);
  glBindTextureUnit(0, 0);
  glBindVertexArray(0);
  glUseProgram(0);
}

void draw_fire(v3 pos, v2 size, f32 dt, ParticleSystem& flames, ParticleSystem& smoke) {
  pass_begin(RenderPass_Effects);
  Shader& s = renderer.shaders.fire;
  use_shader(s);
  glDepthMask(GL_FALSE);
  set_time(s, renderer.time);
  glBindVertexArray(renderer.quad_vao);
  glBindTextureUnit(0, renderer.fire_texture.id);
  m4 upright = m4_rotate_z(renderer.camera.yaw) * m4_rotate_x(pi / 2);
  m4 model = m4_translate(pos + v3{{0, 0, size.y}}) * upright * m4_translate_and_scale(0, 0, size.x, size.y);
  set_model_matrix(s, model);
  enable_brightness_attachment();
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glBindTextureUnit(0, 0);
  glBindVertexArray(0);

  m4 transform = m4_translate(pos) * upright;
  smoke.transform = transform;
  smoke.dim = v2{size.x, size.y} * 1.5f;
  smoke.scale_range = {1.0f, 2.3f};
  smoke.color = {{0.2f, 0.2f, 0.2f, 0}};
  smoke.gradient = {0, 0};
  draw_particles(smoke, dt);

  flames.transform = transform;
  flames.dim = size;
  flames.scale_range = {0.9f, 1.1f};
  // Far above 1 so that the bloom picks the flames up.
  flames.color = {{30, 1.8f, 0.4f, 0}};
  flames.gradient = {1, 1};
  draw_particles(flames, dt);

  glDepthMask(GL_TRUE);
  disable_brightness_attachment();
  pass_end();
}

void draw_stars(m4 transform) {
  Shader& s = renderer.shaders.stars;
  use_shader(s);
  set_time(s, renderer.time);
  set_matrix(s.mvp_loc, renderer.vp * transform);
  stars_update(renderer.stars, STARS_MAX);
  glNamedBufferSubData(renderer.stars_vbo, 0, sizeof(renderer.stars), renderer.stars);
  glBindVertexArray(renderer.stars_vao);
  glDrawArraysInstanced(GL_TRIANGLE_FAN, 0, 4, STARS_MAX);
  glBindVertexArray(0);
  glUseProgram(0);
}

// --- passes

m4 shadow_light_vp(v2 centre, v3 light_pos) {
  v3 target = v3_from_v2(centre, 0);
  v3 eye = target + light_pos;
  m4 view = m4_inverse(m4_look_at(eye, target, v3{{0, 1, 0}}));
  return m4_ortho(-500, 500, -500, 500, -300, 300) * view;
}

void shadowmap_begin(v2 centre) {
  pass_begin(RenderPass_Shadow);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, renderer.shadow_fbo);
  glViewport(0, 0, renderer.shadow_texture.width, renderer.shadow_texture.height);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  const f32 far_depth = 1.0f;
  glClearBufferfv(GL_DEPTH, 0, &far_depth);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  use_shader(renderer.shaders.shadowmap);
  renderer.light_vp = shadow_light_vp(centre, renderer.light_pos);
}

void shadowmap_end() {
  pass_end();
  gl_assert();
  glCullFace(GL_BACK);
  glUseProgram(0);
  bind_default_framebuffer();
}

void draw_shadowmap(void (*draw_caster)(Entity& entity)) {
  v2 centre = game.player ? game.player->pos : v2{0, 0};
  shadowmap_begin(centre);
  for (Entity& e : entity_storage.entities)
    if (e.id) draw_caster(e);
  shadowmap_end();
}

void draw_cubemap() {
  if (!renderer.settings.cubemap_enabled) return;
  Shader& s = renderer.shaders.cubemap;
  use_shader(s);
  m4 view = renderer.camera.view;
  m4_set_translation(view, 0, 0, 0);
  set_matrix(s.mvp_loc, renderer.camera.projection * view);
  glBindTextureUnit(0, renderer.cubemap.id);
  glBindVertexArray(renderer.dummy_vao);
  glDrawArrays(GL_TRIANGLES, 0, 36);
  glBindTextureUnit(0, 0);
  glBindVertexArray(0);
  glUseProgram(0);
}
