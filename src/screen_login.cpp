// The login screen.
#include "client.hpp"
#include "renderer.hpp"
#include "screens.hpp"

void login_screen_enter() {}

void login_screen() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) game.should_quit = true;
  }
  draw_clear(Color{{0.1f, 0.1f, 0.12f, 1.0f}});
}
