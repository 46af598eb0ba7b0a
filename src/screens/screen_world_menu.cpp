// The world menu: an overlay on the running world with music and sound settings, the lobby and quit.
#include "app/client.hpp"
#include "net/net.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"

Text gain_percent_label(f32 gain) { return tprintf("%3d%%", (int)(100.0f * gain)); }

static void world_menu_events() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type != SDL_KEYDOWN) continue;
    SDL_Keycode key = event.key.keysym.sym;
    if (key == SDLK_ESCAPE || key == SDLK_F10) set_screen(Screen_World);
  }
}

void world_menu_screen() {
  net_update();
  world_menu_events();
  update_world();
  draw_world_screen();
  if (game.screen != Screen_WorldMenu) return;

  UiPanel panel;
  ui_begin_panel("world-screen-menu", panel);
  bool back = ui_button("Back").clicked;
  UiElement* music = ui_text("Music");
  if (ui_get_prev_state(music).hovered) {
    set_tooltip(ui.mouse, v2{0, 1.25f}, tprintf("Track: %s", game.audio.music_track_name));
  }
  UiElement* controls = ui_begin_layout("music-controls", {});
  controls->direction = Ui_Horizontal;
  controls->gap = theme.gap.medium;
  if (ui_button("Next Track").clicked) load_next_music_track();
  ui_end_layout();
  if (ui_slider_with_label("music-gain", &game.config.music_gain, gain_percent_label(game.config.music_gain)).changed) {
    set_music_gain();
  }
  ui_text("Sound Effects:");
  ui_slider_with_label("sound-gain", &game.config.sound_gain, gain_percent_label(game.config.sound_gain));
  // For this run only: the start picks the level from the renderer again.
  UiElementConfig quality_cfg = {};
  quality_cfg.id = "quality";
  if (ui_button(tprintf("Quality: %s", render_quality_name(renderer.settings.quality)), quality_cfg).clicked) {
    bool low = renderer.settings.quality == RenderQuality_Low;
    set_render_quality(low ? RenderQuality_Full : RenderQuality_Low);
  }
  ui_hr();
  bool lobby = ui_button("Lobby").clicked;
  ui_hr();
  ui_textf("Server: %s", game.config.server_name);
  ui_textf("Version: %s", GAME_VERSION);
  ui_textf("Build: %s", BUILD_STAMP);
  if (ui_button("Quit").clicked) {
    // Quitting from here leaves the menu too: the settings changed in it are kept.
    save_config();
    game.should_quit = true;
  }
  ui_end_panel(panel);

  if (back) {
    set_screen(Screen_World);
  } else if (lobby) {
    net_send_quit();
    set_screen(Screen_Lobby);
  }
}
