// The GL side of the ground: the terrain buffers and draw, the developer grid and the world map texture.
#include <glad/gl.h>
#include <stb_image.h>

#include "app/client.hpp"
#include "render/renderer.hpp"
#include "render/terrain.hpp"
#include "ui/ui.hpp"

void prepare_tiles(int width, int height) {
  if (width <= 0 || height <= 0) return;
  s64 size = (s64)width * height * 4 * (s64)sizeof(TileVertex);
  if (renderer.tiles_vertices && size == renderer.tiles_vertices_size) return;
  // Another tile count (a dungeon of another size, say): the arrays follow it.
  free(renderer.tiles_vertices);
  renderer.tiles_vertices = (TileVertex*)malloc((size_t)size);
  if (!renderer.tiles_vertices) panic("tiles: out of memory for %dx%d tiles\n", width, height);
  renderer.tiles_vertices_size = size;
  printf("tiles: %dx%d (%ld vertices)\n", width, height, (long)(size / (s64)sizeof(TileVertex)));
}

void terrain_free() {
  free(renderer.tiles_vertices);
  renderer.tiles_vertices = nullptr;
  renderer.tiles_vertices_size = 0;
}

static void terrain_make_buffers() {
  if (renderer.tiles_vao) {
    GLuint buffers[2] = {renderer.tiles_vbo, renderer.tiles_ebo};
    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(1, &renderer.tiles_vao);
  }
  s64 size = renderer.tiles_vertices_size;
  s64 ntiles = size / (4 * (s64)sizeof(TileVertex));
  GLuint vbo = 0, ebo = 0;
  glCreateBuffers(1, &vbo);
  glNamedBufferData(vbo, (GLsizeiptr)size, nullptr, GL_DYNAMIC_DRAW);
  bool wide = terrain_wide_indices(ntiles);
  s64 index_bytes = ntiles * 6 * (wide ? 4 : 2);
  void* indices = malloc((size_t)index_bytes);
  if (!indices) panic("tiles: out of memory for %ld indices\n", (long)(ntiles * 6));
  terrain_build_indices(ntiles, indices, wide);
  glCreateBuffers(1, &ebo);
  glNamedBufferData(ebo, (GLsizeiptr)index_bytes, indices, GL_STATIC_DRAW);
  free(indices);
  const VertexAttrib attribs[3] = {
      {2, offsetof(TileVertex, pos)}, {2, offsetof(TileVertex, tex_coord)}, {2, offsetof(TileVertex, bg_coord)}};
  GLuint vao = create_vertex_array(vbo, sizeof(TileVertex), attribs, 3, 0, ebo);
  renderer.tiles_vao = vao;
  renderer.tiles_vbo = vbo;
  renderer.tiles_ebo = ebo;
  renderer.tiles_index_type = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  renderer.tiles_buffers_size = size;
  gl_assert();
}

void draw_tiles(Location& location) {
  if (!location.tiles || location.width <= 0 || location.height <= 0) return;
  pass_begin(RenderPass_Terrain);
  prepare_tiles(location.width, location.height);
  if (renderer.tiles_buffers_size != renderer.tiles_vertices_size) terrain_make_buffers();

  Shader& s = renderer.shaders.tile;
  use_shader(s);
  glUniform1f(s.vision_radius_loc, vision_radius);
  glUniform3fv(s.ambient_loc, 1, renderer.ambient_light.elements);
  glBindTextureUnit(0, renderer.tiles_texture.id);
  glBindTextureUnit(1, renderer.shadow_texture.id);
  set_matrix(s.shadow_loc, renderer.light_vp);

  v2 atlas = {(f32)max(renderer.tiles_texture.width, 1), (f32)max(renderer.tiles_texture.height, 1)};
  // Only the tiles in view: a whole location is tens of thousands of quads, most of them off screen, and a
  // software renderer pays for every vertex.
  TileRect rect = terrain_visible_rect(location, renderer.vp);
  int nquads = terrain_build_mesh(location, atlas, rect, renderer.tiles_vertices);
  glBindVertexArray(renderer.tiles_vao);
  glNamedBufferSubData(renderer.tiles_vbo, 0, (GLsizeiptr)((s64)nquads * 4 * (s64)sizeof(TileVertex)),
                       renderer.tiles_vertices);
  clear_model_matrix(s);
  glUniform3fv(s.camera_target_pos_loc, 1, renderer.camera.target.elements);
  if (nquads > 0) glDrawElements(GL_TRIANGLES, (GLsizei)nquads * 6, renderer.tiles_index_type, nullptr);
  glBindVertexArray(0);
  glBindTextureUnit(0, 0);
  glBindTextureUnit(1, 0);
  glUseProgram(0);
  gl_assert();

  if (ui.draw_grid) draw_grid(location);
  pass_end();
}

void draw_grid(Location& location) {
  v3 origin = {location.offset.x, location.offset.y, 0.01f};
  const Color major = {{0.7f, 0.7f, 0, 1}}, minor = {{0.3f, 0.3f, 0, 1}};
  for (int i = 0; i <= location.height; i++) {
    f32 y = tile_size * (f32)i;
    draw_line(origin + v3{0, y, 0}, origin + v3{location.size.x, y, 0}, major);
    draw_line(origin + v3{0, y + tile_size / 2, 0}, origin + v3{location.size.x, y + tile_size / 2, 0}, minor);
  }
  for (int i = 0; i <= location.width; i++) {
    f32 x = tile_size * (f32)i;
    draw_line(origin + v3{x, 0, 0}, origin + v3{x, location.size.y, 0}, major);
    draw_line(origin + v3{x + tile_size / 2, 0, 0}, origin + v3{x + tile_size / 2, location.size.y, 0}, minor);
  }
}

static Texture world_map_upload(const u8* colors, int width, int height) {
  Texture t;
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  glTextureStorage2D(t.id, 1, GL_RGB8, width, height);
  glTextureParameteri(t.id, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTextureParameteri(t.id, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTextureParameteri(t.id, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTextureParameteri(t.id, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  // Rows of three-byte texels are not 4-byte aligned: read them as they lie.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTextureSubImage2D(t.id, 0, 0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, colors);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  gl_assert();
  t.width = width;
  t.height = height;
  t.ncomponents = 0;
  return t;
}

bool load_world_map(const u8* data, int size, WorldMap* map) {
  int width = 0, height = 0;
  u8* tiles = world_map_decode(data, size, &width, &height);
  if (!tiles) return false;
  world_map_free(map);
  map->width = width;
  map->height = height;
  map->tiles = tiles;
  // The intake runs without a context in tests; the texture needs one.
  if (SDL_GL_GetCurrentContext()) {
    u8* colors = (u8*)malloc((size_t)width * (size_t)height * 3);
    if (!colors) panic("map: out of memory for %dx%d\n", width, height);
    world_map_colors(tiles, width, height, colors);
    map->texture = world_map_upload(colors, width, height);
    free(colors);
  }
  return true;
}

void world_map_free(WorldMap* map) {
  if (map->tiles) stbi_image_free(map->tiles);
  if (map->texture.id && SDL_GL_GetCurrentContext()) glDeleteTextures(1, &map->texture.id);
  *map = WorldMap{};
}
