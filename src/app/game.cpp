// The spine: the global client state, screens, the frame clock, start-up and shutdown.
#include "app/client.hpp"
#include "render/font.hpp"
#include "registry.hpp"
#include "net/net.hpp"
#include "app/platform.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "render/terrain.hpp"
#include "ui/ui.hpp"

Game game;

static const char* const screen_names[Screen_Num] = {
    "Pre Loading", "Login", "Lobby", "Loading", "World", "World Menu", "Test",
};

const char* screen_name(Screen s) {
  if ((u32)s >= (u32)Screen_Num) return "???";
  return screen_names[s];
}

typedef void (*ScreenFunction)();

static ScreenFunction screen_function(Screen s) {
  switch (s) {
    case Screen_PreLoading: return pre_loading_screen;
    case Screen_Login: return login_screen;
    case Screen_Lobby: return lobby_screen;
    case Screen_Loading: return loading_screen;
    case Screen_World: return world_screen;
    case Screen_WorldMenu: return world_menu_screen;
    case Screen_Test: return test_screen;
    default: return nullptr;
  }
}

static ScreenFunction screen_enter_hook(Screen s) {
  switch (s) {
    case Screen_Login: return login_screen_enter;
    case Screen_Lobby: return lobby_screen_enter;
    case Screen_Loading: return loading_screen_enter;
    default: return nullptr;
  }
}

void set_screen(Screen s) {
  if (s == game.screen) return;
  printf("Switching from screen [%s] to screen [%s]\n", screen_name(game.screen), screen_name(s));
  deactivate_text_input();
  if (game.screen == Screen_WorldMenu) save_config();
  game.screen = s;
  if (ScreenFunction enter = screen_enter_hook(s)) enter();
}

void frame_clock_advance(Duration elapsed) {
  if (game.paused) {
    game.dt = 0;
    return;
  }
  game.dt = to_sec(elapsed);
  game.frame += 1;
  game.time += elapsed;
  renderer.time = to_sec(game.time);
}

void frame_stats_record(Duration cost) {
  if (game.paused) return;
  game.debug.frames_stats[game.debug.frames_stats_index] = {cost, game.frame};
  game.debug.frames_stats_index = (game.debug.frames_stats_index + 1) % FRAME_STATS_MAX;
}

void request_gameplay_updates(int n) {
  game.updates_requested = n;
  game.frame += (u64)n;
  game.time += (f32)n * (1.0f / SERVER_FPS) * Seconds;
  game.dt = 1.0f / SERVER_FPS;
  renderer.time = to_sec(game.time);
  assert(n == 1);
  net_send_request_updates();
}

void toggle_pause() {
  toggle(game.paused);
  net_send_toggle_pause();
}

void teleport(v2 dst) {
  net_send_vector(RequestType_Teleport, dst);
  printf("Teleport [%d] (%f %f)!\n", (int)net.last_seq, dst.x, dst.y);
}

void set_dst(v2 dst) { net_send_vector(RequestType_SetDst, dst); }

void set_dir(v2 dir) { net_send_vector(RequestType_SetDir, dir); }

void debug_log(const char* fmt, ...) {
  FILE* f = game.config.debug_log_file ? game.config.debug_log_file : stderr;
  va_list args;
  va_start(args, fmt);
  vfprintf(f, fmt, args);
  va_end(args);
}

void debugf(const char* fmt, ...) {
  auto& log = game.debug.log;
  if (log.nmessages >= DEBUG_LOG_MESSAGES_MAX) return;
  va_list args;
  va_start(args, fmt);
  vsnprintf(log.messages[log.nmessages++], DEBUG_LOG_MESSAGE_LEN, fmt, args);
  va_end(args);
}

void chatf(const char* fmt, ...) {
  ChatMessage message;
  memset((void*)&message, 0, sizeof(message));
  va_list args;
  va_start(args, fmt);
  vsnprintf(message.text, sizeof(message.text), fmt, args);
  va_end(args);
  chat_append_message(message);
}

void update_and_draw() {
  update_window_size();
  fit_render_targets();
  prepare_input();
  push_transform(m4_ortho(0, (f32)renderer.window_width, (f32)renderer.window_height, 0, -1, 1));
  ui_begin();
  game.scene_overlay = nullptr;
  if (ScreenFunction f = screen_function(game.screen)) f();
  post_process();
  if (game.scene_overlay) game.scene_overlay();
  ui_end();
  pass_begin(RenderPass_Ui);
  ui_render();
  pass_end();
  pop_transform();
}

void pre_loading_screen() {
  draw_clear(Color{{0.2f, 0.2f, 0.2f, 1.0f}});
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) game.should_quit = true;
  }
  set_screen(Screen_Login);
}

bool game_start() {
  Measure loading = measure_start("loading");
  printf("Build %s\n", BUILD_STAMP);
  if (!load_default_config()) return false;
  init_window();
  loading.report("init_window");
  reset_camera();
  game.tmp_arena = malloc_arena(0x100000);
  ui_init();
  load_entity_registry();
  init_opengl();
  init_fonts();
  init_hotkeys();
  // Without vertical sync (virtual displays have none) the loop paces itself instead of stopping here.
  game.vsync = SDL_GL_SetSwapInterval(1) == 0;
  if (!game.vsync) printf("Cannot set swap interval: %s\n", platform_error());
  net_connect(game.config.server_name);
  loading.end();
  return true;
}

void game_run_frame(Time& last) {
  Time now = time_now();
  Duration elapsed = now - last;
  last = now;
  frame_clock_advance(elapsed);
  update_audio();
  reload_shaders();
  update_and_draw();
  pass_timers_frame_end();
  arena_clear(game.tmp_arena);
  SDL_GL_SwapWindow(game.window);
  Duration cost = time_since(now);
  frame_stats_record(cost);
  if (!game.vsync && cost < FRAME_PACE) SDL_Delay((u32)((FRAME_PACE - cost).ns / Milliseconds.ns));
}

void game_shutdown() {
  net_quit();
  terrain_free();
  if (game.config.debug_log_file && game.config.debug_log_file != stderr) fclose(game.config.debug_log_file);
  platform_quit();
}
