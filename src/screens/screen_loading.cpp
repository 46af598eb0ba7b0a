// The loading screen: resources are loaded on entry, then it waits for the location and the player.
#include "app/client.hpp"
#include "location.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"

void loading_screen_enter() {
  // Models and textures go to the GL context of the window; the network alone (its tests) has neither.
  if (game.window) load_resources();
  // Nothing of an earlier visit may survive: the storage is refilled by the first snapshot.
  game.player = nullptr;
  entity_storage_clear();
  clear_entity_state();
  printf("Resources are loaded, requesting state updates\n");
  net_send_start_state_updates();
}

bool loading_is_complete() { return game.location && game.location->type != 0 && game.player; }

void loading_screen() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) game.should_quit = true;
  }
  draw_clear(SCREEN_CLEAR_COLOR);
  net_update();
  if (game.screen != Screen_Loading) return;
  ui_loader("Loading...");
  if (loading_is_complete()) {
    ui_reset();
    net_clear_error();
    net_reset_timeouts();
    set_screen(Screen_World);
  }
}
