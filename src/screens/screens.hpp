#pragma once
// The per-frame functions and on-enter hooks of the screens, and what they share.
#include <SDL2/SDL.h>

#include "math.hpp"
#include "packet.hpp"
#include "ui/ui_element.hpp"

struct Entity;

extern const Color SCREEN_CLEAR_COLOR;

// The build label in the window's bottom-right corner.
void draw_build_version();
// The centred dialog of the login and lobby screens; the caller closes it with ui_end_layout.
UiElement* screens_begin_dialog(Text title);

void login_screen_enter();
void login_screen();
void try_auth(RequestType type);
// Shows the connection's error, if any, and makes the fields usable again.
void login_screen_error();

void lobby_screen_enter();
void lobby_screen();
void create_new_player();
// Characters the account holds now.
int lobby_character_count();
// `out` (PLAYER_NAME_LEN bytes) gets the typed name without surrounding spaces, cut to fit the wire field.
void lobby_trim_name(const char* typed, char* out);
void enter_world(const char* name);
// What the answers to the lobby's requests mean this frame.
struct LobbyOutcome {
  const char* error;  // the refusal of a create request, to show
  bool created;       // the new character was taken in
};
LobbyOutcome lobby_screen_outcome();

void loading_screen_enter();
void loading_screen();
// The world can be shown: a location and the player's own character have arrived.
bool loading_is_complete();

void world_menu_screen();
// A gain in 0..1 as the menu's percentage label.
Text gain_percent_label(f32 gain);

void world_screen();
void handle_world_input_events();
void world_handle_keydown(SDL_Keycode key);
void update_world();
// One fixed gameplay step: physics, the player's needs, clean-ups of presentation state and events.
void update_gameplay(f32 dt);
// Looks after the player: hunger shows as a thought while nothing is being digested.
void update_entities();
void draw_world_screen();
// The movement-key bit of a key (W 1, A 2, S 4, D 8), 0 for any other key.
u8 wasd_bit(SDL_Keycode key);
// The walking direction of the held keys, turned by the camera's yaw.
v2 wasd_direction(u8 wasd, f32 yaw);
// Sends the walking direction when the held keys changed since it was last sent.
void world_walk_with_keys(bool released);

// The developer test screen: every primitive and effect in one scene.
void test_screen();
