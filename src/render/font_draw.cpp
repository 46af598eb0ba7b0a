// The GL side of text: the atlas texture, its vertex buffer, and drawing lines on screen and in the world.
#include <glad/gl.h>

#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

constexpr int FONT_VBO_VERTICES = 1536;
// Glyphs one draw_string call can hold: six vertices each in the staging array.
constexpr int FONT_STRING_GLYPHS_MAX = 1024 / 6;
constexpr int BILLBOARD_GLYPHS_MAX = FONT_VBO_VERTICES / 6;

void font_upload(u8* bitmap) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, FONT_ATLAS_SIZE, FONT_ATLAS_SIZE, 0, GL_RED, GL_UNSIGNED_BYTE, bitmap);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  free(bitmap);
  renderer.font = {texture, FONT_ATLAS_SIZE, FONT_ATLAS_SIZE, 1};

  renderer.nfont_vbo = FONT_VBO_VERTICES;
  glCreateBuffers(1, &renderer.font_vbo);
  glNamedBufferData(renderer.font_vbo, (GLsizeiptr)(FONT_VBO_VERTICES * sizeof(Vertex)), nullptr, GL_DYNAMIC_DRAW);
  renderer.font_vao = create_vertex_array(renderer.font_vbo, sizeof(Vertex), VERTEX_2D_TEXTURED, 2);
  gl_assert();
}

void init_fonts() {
  Measure measure = measure_start("fonts");
  font_upload(font_bake(FONT_PATH, renderer.display_width));
  measure.end();
}

// Six vertices of one glyph quad, two triangles.
static void glyph_vertices(const stbtt_aligned_quad& q, Vertex* v) {
  v[0] = {{q.x0, q.y0}, {q.s0, q.t0}};
  v[1] = {{q.x1, q.y0}, {q.s1, q.t0}};
  v[2] = {{q.x1, q.y1}, {q.s1, q.t1}};
  v[3] = {{q.x0, q.y0}, {q.s0, q.t0}};
  v[4] = {{q.x1, q.y1}, {q.s1, q.t1}};
  v[5] = {{q.x0, q.y1}, {q.s0, q.t1}};
}

// Lays out a line into `out` from the pen at (0, y); returns the glyph count, cut at `max_glyphs`.
static int layout_line(Str s, f32 y, Vertex* out, int max_glyphs, f32* advance) {
  f32 x = 0;
  int n = 0;
  for (StrIter it = str_iter(s); it.code_point && n < max_glyphs; next(it), n++) {
    stbtt_aligned_quad q = get_glyph_quad(it.code_point, &x, &y);
    glyph_vertices(q, out + 6 * n);
  }
  *advance = x;
  return n;
}

static void draw_glyphs(int n, m4 model, Color color) {
  Shader& s = renderer.shaders.text;
  use_shader(s);
  glBindTextureUnit(0, renderer.font.id);
  glBindVertexArray(renderer.font_vao);
  set_model_matrix(s, model);
  set_tint_color(s, color);
  glDrawArrays(GL_TRIANGLES, 0, n * 6);
  glBindTextureUnit(0, 0);
  glBindVertexArray(0);
  glUseProgram(0);
}

v2 draw_string(Style style, Str s) {
  // A line longer than the staging array is cut rather than ending the program: strings may come
  // from the server.
  f32 x = 0;
  int n = layout_line(s, 0, renderer.font_vertices, FONT_STRING_GLYPHS_MAX, &x);
  if (n > 0) glNamedBufferSubData(renderer.font_vbo, 0, (GLsizeiptr)(n * 6 * sizeof(Vertex)), renderer.font_vertices);
  f32 scale = (style.font_size == 0 ? 1 : style.font_size) * ui.scale;
  v2 p = text_style_pos(style, x);
  p.y += renderer.base_line * scale;
  draw_glyphs(n, m4_translate_and_scale(v3{p.x, p.y, 0}, v3{scale, scale, scale}), style.color);
  return {x, ui.line_height};
}

f32 draw_text_billboard(v2 pos, v2 offset, f32 size, Color color, const char* fmt, ...) {
  va_printf(line, fmt);
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(&renderer.font_info, &ascent, &descent, &gap);
  f32 h = renderer.font_scale * (f32)(ascent - descent + gap);
  static Vertex vertices[BILLBOARD_GLYPHS_MAX * 6];
  f32 x = 0;
  int n = layout_line(Str(line), renderer.font_scale * (f32)descent + h, vertices, BILLBOARD_GLYPHS_MAX, &x);
  if (n > 0) glNamedBufferSubData(renderer.font_vbo, 0, (GLsizeiptr)(n * 6 * sizeof(Vertex)), vertices);
  // Centred on its anchor with the line's foot on it, turned to the camera, lifted by `offset`, flipped
  // upright, and sized so that its world size falls as the start-up window grows. The centring shift is
  // taken before the size is applied, so text of any size stays centred.
  f32 world_scale = 432.0f / (f32)max(renderer.display_height, 1);
  m4 model = m4_translate(pos.x, pos.y, 0) * camera_facing_rotation() * m4_translate(offset.x, offset.y, 0) *
             m4_scale_uniform(world_scale) * m4_scale(size, -size, size) *
             m4_translate(-x / 2, -renderer.font_scale * (f32)(ascent - descent), 0);
  draw_glyphs(n, model, color);
  return h;
}
