// The login screen: e-mail and password, log in or register, and the build label shared with the lobby.
#include "app/client.hpp"
#include "net/net.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"

constexpr int LOGIN_FIELD_MAX = 64;
const Color SCREEN_CLEAR_COLOR = {{0.2f, 0.2f, 0.2f, 1.0f}};

void draw_build_version() {
  UiElement* e =
      ui_text(tprintf("Server: %s | Version: v%s | Build: %s", game.config.server_name, GAME_VERSION, BUILD_STAMP),
              "build-version");
  e->text_color = Color{{0.5f, 0.5f, 0.5f, 1.0f}};
  e->font_size = 0.75f;
  e->floating = true;
  e->rect.x = (f32)renderer.window_width;
  e->rect.y = (f32)renderer.window_height;
  e->anchor = {1, 0};
}

UiElement* screens_begin_dialog(Text title) {
  UiPanel panel;
  panel.title = title;
  panel.size = {0.5f * (f32)renderer.window_width, (f32)renderer.window_height / 3};
  UiElement* dialog = ui_begin_panel("login-dialog", panel);
  dialog->pad = theme.pad.medium;
  dialog->bg_color = Color{{0, 0, 0, 0.2f}};
  return dialog;
}

void login_screen_enter() {
  auto& s = game.login_screen;
  s.request_type_in_progress = RequestType_None;
  s.login.max_len = LOGIN_FIELD_MAX;
  s.password.max_len = LOGIN_FIELD_MAX;
  s.password.mask_char = '*';
  activate_text_input(s.login);
  text_set(s.login.text, Str(game.config.login, (int)strnlen(game.config.login, sizeof(game.config.login))));
  if (game.config.auto_login > 0 && s.login.text.length > 0) try_auth(RequestType_Login);
}

void try_auth(RequestType type) {
  auto& s = game.login_screen;
  if (s.request_type_in_progress != RequestType_None) return;
  s.request_type_in_progress = type;
  net_clear_error();
  deactivate_text_input();
  net_send_auth(type, s.login.text.cstr(), s.password.text.cstr());
  const char* login = s.login.text.cstr();
  if (strncmp(login, game.config.login, sizeof(game.config.login) - 1) != 0) {
    cstr_copy(game.config.login, login, sizeof(game.config.login));
    save_config();
  }
}

static void login_screen_events() {
  auto& s = game.login_screen;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type != SDL_KEYDOWN) continue;
    switch (event.key.keysym.sym) {
      case SDLK_TAB:
        if (text_input_is_active(s.login)) {
          activate_text_input(s.password);
        } else {
          activate_text_input(s.login);
        }
        break;
      case SDLK_RETURN:
      case SDLK_KP_ENTER: try_auth(RequestType_Login); break;
      case SDLK_ESCAPE: game.should_quit = true; break;
      default: break;
    }
  }
}

static void login_screen_quit_button() {
  UiElement* corner = ui_begin_layout("quit-button", v2{0, (f32)renderer.window_height});
  corner->anchor = {0, 1};
  corner->pad = theme.pad.large;
  if (ui_button("Quit").clicked) game.should_quit = true;
  ui_end_layout();
}

void login_screen() {
  auto& s = game.login_screen;
  login_screen_events();
  draw_clear(SCREEN_CLEAR_COLOR);

  bool waiting = s.request_type_in_progress != RequestType_None;
  UiElement* dialog = screens_begin_dialog(Text());
  if (waiting) {
    dialog->disabled = true;
    deactivate_text_input();
  }
  UiElement* row = ui_begin_layout("login-dialog-email", {});
  row->direction = Ui_Horizontal;
  row->grow = {0, 1};
  row->gap = theme.gap.medium;
  ui_text("Email:");
  ui_text_input(s.login);
  ui_end_layout();
  row = ui_begin_layout("login-dialog-password", {});
  row->direction = Ui_Horizontal;
  row->grow = {0, 1};
  row->gap = theme.gap.medium;
  ui_text("Password:");
  ui_text_input(s.password);
  ui_end_layout();
  ui_spacer("spacer")->grow = {1, 1};
  row = ui_begin_layout("login-dialog-controls", {});
  row->direction = Ui_Horizontal;
  row->grow = {0, 1};
  row->gap = theme.gap.medium;
  ui_spacer("spacer");
  UiElementConfig cfg = {};
  cfg.disabled = waiting;
  bool login_clicked = ui_button("Login", cfg).clicked;
  bool register_clicked = ui_button("Register", cfg).clicked;
  ui_spacer("spacer");
  ui_end_layout();
  ui_end_layout();
  if (login_clicked) try_auth(RequestType_Login);
  if (register_clicked) try_auth(RequestType_Register);

  login_screen_quit_button();
  if (s.request_type_in_progress != RequestType_None) ui_loader("Connecting...");
  draw_build_version();

  // A server that does not answer is asked again with whatever the fields hold now; it never gives up.
  if (s.request_type_in_progress != RequestType_None && net_request_timed_out()) {
    net_send_auth(s.request_type_in_progress, s.login.text.cstr(), s.password.text.cstr());
  }
  net_update();
  if (game.screen != Screen_Login) return;
  login_screen_error();
}

void login_screen_error() {
  auto& s = game.login_screen;
  if (net.last_error.code == ErrorCode_Ok) return;
  ui_error_box(error_code_msg(net.last_error.code));
  s.request_type_in_progress = RequestType_None;
  if (!ui.active_element.text) activate_text_input(s.login);
}
