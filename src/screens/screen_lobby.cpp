// The lobby: pick one of the account's characters or create one, or log out.
#include "app/client.hpp"
#include "net/net.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"

static bool lobby_slot_is_empty(const LobbyEntry& entry) { return entry.name[0] == 0; }

// The slot's name is a fixed field that need not be terminated; `player_name` must be.
static const char* lobby_slot_name(int index) {
  static char names[LOBBY_PLAYERS_MAX][PLAYER_NAME_LEN + 1];
  const LobbyEntry& entry = game.lobby_screen.lobby.players[index];
  memcpy(names[index], entry.name, PLAYER_NAME_LEN);
  names[index][PLAYER_NAME_LEN] = 0;
  return names[index];
}

int lobby_character_count() {
  int n = 0;
  for (const LobbyEntry& e : game.lobby_screen.lobby.players) n += lobby_slot_is_empty(e) ? 0 : 1;
  return n;
}

// Spaces around the name are dropped and the rest cut to what the wire field holds with its terminator.
void lobby_trim_name(const char* typed, char* out) {
  const char* start = typed;
  while (*start == ' ') start++;
  int n = (int)strnlen(start, PLAYER_NAME_LEN - 1);
  while (n > 0 && start[n - 1] == ' ') n--;
  memcpy(out, start, (size_t)n);
  out[n] = 0;
}

void lobby_screen_enter() {
  auto& s = game.lobby_screen;
  s.creation_in_progress = false;
  s.enter_in_progress = false;
  s.creating_mode = false;
  s.refusal = ErrorCode_Ok;
  // The wire field keeps its terminator, so a name holds one byte less than the field.
  s.new_name.max_len = PLAYER_NAME_LEN - 1;
  if (lobby_slot_is_empty(s.lobby.players[0])) {
    s.creating_mode = true;
    activate_text_input(s.new_name);
  } else if (game.config.auto_login >= 2) {
    enter_world(lobby_slot_name(0));
  }
  // Automatic login and entry happen once a run.
  game.config.auto_login = 0;
}

void create_new_player() {
  auto& s = game.lobby_screen;
  if (s.creation_in_progress || lobby_character_count() >= LOBBY_PLAYERS_MAX) return;
  s.creation_in_progress = true;
  s.refusal = ErrorCode_Ok;
  net_clear_error();
  deactivate_text_input();
  lobby_trim_name(s.new_name.text.cstr(), s.sent_name);
  game.player_name = s.sent_name;
  net_send_create_player(game.player_name);
  s.creation_seq = net.last_seq;
}

void enter_world(const char* name) {
  auto& s = game.lobby_screen;
  if (s.enter_in_progress) return;
  s.enter_in_progress = true;
  s.creating_mode = false;
  // The request carries at most the field less its terminator; the snapshots hold what was sent.
  snprintf(s.sent_name, sizeof(s.sent_name), "%.*s", PLAYER_NAME_LEN - 1, name);
  game.player_name = s.sent_name;
  printf("Trying to enter as '%s'\n", name);
  net_send_enter(name);
}

static const char* lobby_error_text(ErrorCode code) {
  if (code == ErrorCode_NameAlreadyExists) return "Name already exists";
  if (code == ErrorCode_CannotBeEmpty) return "Name must not be empty";
  return error_code_msg(code);
}

LobbyOutcome lobby_screen_outcome() {
  auto& s = game.lobby_screen;
  LobbyOutcome out = {};
  ErrorCode code = net.last_error.code;
  bool name_error = code == ErrorCode_NameAlreadyExists || code == ErrorCode_CannotBeEmpty;
  if (code != ErrorCode_Ok && (s.creation_in_progress || name_error)) {
    // Any refusal of the create request ends it here: the player stays in the lobby and may try again.
    s.creation_in_progress = false;
    s.refusal = code;
    if (s.creating_mode || name_error) activate_text_input(s.new_name);
  }
  if (code != ErrorCode_Ok && s.enter_in_progress) {
    // The server refused the entry (an unknown or busy character): stop resending it and let the player
    // choose again instead of leaving every character button dead.
    s.enter_in_progress = false;
  } else if (code == ErrorCode_Ok && s.creation_in_progress && net.last_ack >= s.creation_seq) {
    // The server acknowledges in order, so an ack at or past the create request means it was taken in;
    // comparing with the latest sequence number instead would wait forever once a heartbeat followed it.
    out.created = true;
  }
  if (code != ErrorCode_Ok && code == s.refusal) out.error = lobby_error_text(code);
  return out;
}

static void lobby_screen_events() {
  auto& s = game.lobby_screen;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type != SDL_KEYDOWN) continue;
    switch (event.key.keysym.sym) {
      case SDLK_RETURN:
      case SDLK_KP_ENTER:
        if (s.creating_mode) {
          create_new_player();
        } else if (!lobby_slot_is_empty(s.lobby.players[0])) {
          enter_world(lobby_slot_name(0));
        }
        break;
      case SDLK_ESCAPE: game.should_quit = true; break;
      default: break;
    }
  }
}

void lobby_screen() {
  auto& s = game.lobby_screen;
  lobby_screen_events();
  draw_clear(SCREEN_CLEAR_COLOR);

  screens_begin_dialog("Lobby");
  for (int i = 0; i < LOBBY_PLAYERS_MAX; i++) {
    if (lobby_slot_is_empty(s.lobby.players[i])) continue;
    const char* name = lobby_slot_name(i);
    UiElementConfig cfg = {};
    cfg.key = (u64)i + 1;
    if (ui_button(tprintf("%s", name), cfg).clicked) enter_world(name);
  }
  ui_hr();
  // The server keeps four characters an account; a fifth would only be refused.
  bool full = lobby_character_count() >= LOBBY_PLAYERS_MAX;
  UiElementConfig create_cfg = {};
  create_cfg.disabled = full;
  if (s.creating_mode) {
    UiElement* row = ui_begin_layout("lobby-new-name", {});
    row->direction = Ui_Horizontal;
    row->grow = {0, 1};
    row->gap = theme.gap.medium;
    ui_text("Name");
    ui_text_input(s.new_name);
    UiElementConfig cfg = {};
    cfg.id = "create-confirm";
    cfg.disabled = full;
    if (ui_button("Create", cfg).clicked) create_new_player();
    ui_end_layout();
  } else if (ui_button("Create", create_cfg).clicked && !full) {
    s.creating_mode = true;
    activate_text_input(s.new_name);
  }
  ui_hr();
  bool logout = ui_button("Logout").clicked;
  ui_end_layout();

  if (s.enter_in_progress && net_request_timed_out()) net_send_enter(game.player_name);
  net_update();
  if (game.screen != Screen_Lobby) return;
  LobbyOutcome outcome = lobby_screen_outcome();
  if (outcome.error) {
    ui_error_box(outcome.error);
  } else if (outcome.created) {
    set_screen(Screen_Loading);
    return;
  }
  draw_build_version();

  if (logout) {
    game.config.auto_login = 0;
    net_disconnect();
    net_connect(game.config.server_name);
    set_screen(Screen_Login);
  }
}
