#include "gl_context.hpp"

#include <glad/gl.h>
#include <sys/stat.h>

#include <string>

#include "app/client.hpp"
#include "render/font.hpp"
#include "ui/ui.hpp"
#include "render/renderer.hpp"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

void gl_test_init() {
  static bool done = false;
  if (done) return;
  done = true;
  init_window();
  init_opengl();
  // The tests check the image each pass makes at the designed quality; the lower level has its own tests.
  set_render_quality(RenderQuality_Full);
  fit_render_targets();
  init_fonts();
  // The UI sets its line height from the font; these tests draw text without the UI.
  ui.scale = 1;
  ui.line_height = renderer.font_pixel_height;
  // Software GL pays for every pixel: keep the window small.
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
}

void gl_test_bare_context() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) abort();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_Window* window = SDL_CreateWindow("gl test", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window || !SDL_GL_CreateContext(window)) abort();
  if (!gladLoadGL((GLADloadfunc)SDL_GL_GetProcAddress)) abort();
}

void gl_test_resize(int w, int h) {
  SDL_SetWindowSize(game.window, w, h);
  // The X server applies the size asynchronously; the GL drawable picks it up on a later swap.
  for (int i = 0; i < 20; i++) {
    SDL_PumpEvents();
    SDL_GL_SwapWindow(game.window);
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(game.window, &dw, &dh);
    if (dw == w && dh == h) break;
    SDL_Delay(10);
  }
  update_window_size();
  // As each frame does.
  fit_render_targets();
}

m4 gl_test_screen_projection() {
  return m4_ortho(0, (f32)renderer.window_width, (f32)renderer.window_height, 0, -1, 1);
}

Color gl_test_texture_pixel(unsigned texture, int x, int y) {
  Color c = {};
  int row = renderer.window_height - 1 - y;
  glGetTextureSubImage(texture, 0, x, row, 0, 1, 1, 1, GL_RGBA, GL_FLOAT, sizeof(c), c.elements);
  return c;
}

Color gl_test_window_pixel(int x, int y) {
  Color c = {};
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(x, renderer.window_height - 1 - y, 1, 1, GL_RGBA, GL_FLOAT, c.elements);
  return c;
}

// Writes the window's back buffer as a PNG; false when it cannot be written.
static bool save_screenshot(const char* path) {
  int w = renderer.window_width, h = renderer.window_height;
  u8* pixels = (u8*)malloc((size_t)w * h * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  stbi_flip_vertically_on_write(1);
  bool ok = stbi_write_png(path, w, h, 4, pixels, w * 4) != 0;
  free(pixels);
  return ok;
}

testing::AssertionResult gl_test_colors_near(Color actual, Color expected, f32 eps, int channels) {
  for (int i = 0; i < channels; i++)
    if (fabsf(actual.elements[i] - expected.elements[i]) > eps)
      return testing::AssertionFailure() << "got (" << actual.r << ", " << actual.g << ", " << actual.b << ", "
                                         << actual.a << "), want (" << expected.r << ", " << expected.g << ", "
                                         << expected.b << ", " << expected.a << ")";
  return testing::AssertionSuccess();
}

void gl_test_begin_overlay(const m4& transform) {
  draw_clear(Color{{0, 0, 0, 1}});
  // The composite leaves the window's framebuffer bound.
  post_process();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  push_transform(transform);
}

void gl_test_end_overlay() {
  pop_transform();
  glEnable(GL_DEPTH_TEST);
}

bool gl_test_save_artifact(const char* name) {
  std::string dir = std::string(VALMIRE_BINARY_DIR) + "/test-artifacts";
  mkdir(dir.c_str(), 0755);
  return save_screenshot((dir + "/" + name).c_str());
}

std::vector<u8> gl_test_read_window(unsigned fbo) {
  std::vector<u8> px((size_t)renderer.window_width * (size_t)renderer.window_height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadBuffer(fbo ? GL_COLOR_ATTACHMENT0 : GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, renderer.window_width, renderer.window_height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return px;
}

PictureStats gl_test_picture_stats(const std::vector<u8>& px) {
  static bool seen[1 << 15];
  memset(seen, 0, sizeof(seen));
  PictureStats s;
  for (size_t i = 0; i + 3 < px.size(); i += 4) {
    int key = (px[i] >> 3) << 10 | (px[i + 1] >> 3) << 5 | (px[i + 2] >> 3);
    s.distinct += !seen[key];
    seen[key] = true;
    s.covered += abs(px[i] - px[0]) + abs(px[i + 1] - px[1]) + abs(px[i + 2] - px[2]) > 24;
  }
  return s;
}

void gl_test_aim_camera(v3 target, f32 distance, f32 yaw) {
  Camera& cam = renderer.camera;
  cam.pitch = pi / 4;
  cam.yaw = yaw;
  cam.target = target;
  cam.pos = target + m3_rotate_z(yaw) * (m3_rotate_x(cam.pitch) * v3{{0, 0, distance}});
  cam.projection = m4_frustum(pi / 4, (f32)renderer.window_width / (f32)renderer.window_height, 10, 5000);
  cam.view = m4_inverse(m4_look_at(cam.pos, cam.target, v3{{0, 0, 1}}));
  renderer.vp = cam.projection * cam.view;
}

void GlTest::SetUp() {
  gl_test_init();
  while (glGetError() != GL_NO_ERROR) {
  }
}

void GlTest::TearDown() { EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR); }
