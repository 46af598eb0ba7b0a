// The window: platform start-up, display information and the size read every frame.
#include "app/client.hpp"
#include "app/platform.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

void init_window() {
  platform_set_app_metadata("Valmire 2", "0.1", "com.valmire.valmire2");
  printf("We were compiled against SDL version %d.%d.%d ...\n", SDL_MAJOR_VERSION, SDL_MINOR_VERSION, SDL_PATCHLEVEL);
  int v = platform_linked_version();
  printf("We are linking against SDL version %d.%d.%d.\n", v / 1000000, (v / 1000) % 1000, v % 1000);
  if (!platform_init()) panic("Couldn't initialize SDL: %s", platform_error());
  init_audio();

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);

  PlatformDisplay display = platform_primary_display();
  printf("Primary display: %s\n", display.name);
  printf("ContentScale: %f\n", display.content_scale);
  printf("DiplayScale: %f\n", display.display_scale);
  printf("PixelDensity: %f\n", display.pixel_density);
  printf("Display rect: %d,%d+%dx%d\n", display.x, display.y, display.w, display.h);
  renderer.display_width = display.w;
  renderer.display_height = display.h;

  game.window = platform_create_window("Valmire 2", display.w, display.h);
  if (!game.window) panic("Couldn't create window: %s", platform_error());

  update_window_size();
  printf("window size: %dx%d\n", renderer.window_width, renderer.window_height);
  int pw = 0, ph = 0;
  platform_window_size_in_pixels(game.window, &pw, &ph);
  printf("window size (px): %dx%d\n", pw, ph);
}

void update_window_size() {
  int w = 0, h = 0;
  platform_window_size(game.window, &w, &h);
  renderer.window_width = w;
  renderer.window_height = h;
  game.window_size = {(f32)w, (f32)h};
  update_ui_scale();
}
