// Texture loaders: image files through stb_image, and the small textures made in code.
#include <glad/gl.h>
#include <stb_image.h>

#include "render/renderer.hpp"

TexturePixels load_texture_pixels(const char* path) {
  TexturePixels image;
  int channels = 0;
  // Always four channels: the upload reads RGBA, so a grey or RGB file must not be read past its end.
  image.pixels = stbi_load(path, &image.width, &image.height, &channels, 4);
  if (!image.pixels) panic("Cannot load texture from %s: %s\n", path, stbi_failure_reason());
  return image;
}

void free_texture_pixels(TexturePixels& image) {
  stbi_image_free(image.pixels);
  image.pixels = nullptr;
}

static void texture_sampling(GLuint id, GLenum filter, GLenum wrap) {
  glTextureParameteri(id, GL_TEXTURE_MIN_FILTER, filter);
  glTextureParameteri(id, GL_TEXTURE_MAG_FILTER, filter);
  glTextureParameteri(id, GL_TEXTURE_WRAP_S, wrap);
  glTextureParameteri(id, GL_TEXTURE_WRAP_T, wrap);
}

Texture load_texture(const char* path) {
  if (renderer.settings.verbose) printf("gl: loading texture from '%s'\n", path);
  TexturePixels image = load_texture_pixels(path);
  Texture t;
  t.width = image.width;
  t.height = image.height;
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  // The pictures have 8 bits a channel: a float store only quadruples the bytes every fetch walks through,
  // which a software renderer pays for on every fragment.
  glTextureStorage2D(t.id, 1, GL_RGBA8, t.width, t.height);
  glTextureSubImage2D(t.id, 0, 0, 0, t.width, t.height, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels);
  texture_sampling(t.id, GL_NEAREST, GL_CLAMP_TO_EDGE);
  free_texture_pixels(image);
  gl_assert();
  return t;
}

void load_default_texture() {
  Texture& t = renderer.default_texture;
  t.width = t.height = 1;
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  glTextureStorage2D(t.id, 1, GL_RGB32F, 1, 1);
  const f32 white[3] = {1, 1, 1};
  glTextureSubImage2D(t.id, 0, 0, 0, 1, 1, GL_RGB, GL_FLOAT, white);
  texture_sampling(t.id, GL_NEAREST, GL_REPEAT);
  gl_assert();
}

Texture load_test_texture() {
  Texture t;
  t.width = t.height = 2;
  glCreateTextures(GL_TEXTURE_2D, 1, &t.id);
  glTextureStorage2D(t.id, 1, GL_RGBA8, 2, 2);
  // A checker of red, green, blue and white: which corner lands where shows any flip at a glance.
  const u8 pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  glTextureSubImage2D(t.id, 0, 0, 0, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  texture_sampling(t.id, GL_NEAREST, GL_REPEAT);
  gl_assert();
  return t;
}
