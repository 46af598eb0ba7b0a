#include "app/input.hpp"

#include "app/client.hpp"
#include "app/platform.hpp"
#include "spells.hpp"
#include "ui/ui.hpp"
#include "world/context_menu.hpp"

const SpellHotkey spell_hotkeys[SPELL_HOTKEYS_COUNT] = {
    {SpellType_Dash, ' '},    {SpellType_StrongAttack, 'e'}, {SpellType_CycloneSlash, 'f'}, {SpellType_Fireball, '2'},
    {SpellType_IceBolt, '3'}, {SpellType_Sprint, 'r'},       {SpellType_SelfHeal, 't'},     {SpellType_Rage, '6'},
    {SpellType_Burn, '5'},    {SpellType_Heal, '4'},         {SpellType_Rejuvenation, '7'}, {SpellType_Decay, '8'},
};

void prepare_input() {
  game.mouse_went_down = 0;
  game.mouse_went_up = 0;
  game.mouse_delta = {0, 0};
  game.wheel.y_this_frame = 0;
}

static void input_set_modifier(SDL_Keycode key, bool down) {
  u8 bit = 0;
  switch (key) {
    case SDLK_LCTRL:
    case SDLK_RCTRL: bit = 1; break;
    case SDLK_LALT:
    case SDLK_RALT: bit = 2; break;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: bit = 4; break;
    case SDLK_LGUI: bit = 8; break;  // the right Windows key is not tracked
    default: return;
  }
  if (down) {
    game.modifiers.all |= bit;
  } else {
    game.modifiers.all &= (u8)~bit;
  }
}

void register_input_event(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT: game.should_quit = true; break;
    case SDL_KEYDOWN: {
      SDL_Keycode key = event.key.keysym.sym;
      if (key == SDLK_BACKSPACE) {
        if (ui.active_element.text) delete_from_active_text_input();
      } else if (key == SDLK_ESCAPE) {
        if (ui.active_element.text) deactivate_text_input();
      } else if (key == SDLK_v && game.modifiers.ctrl && ui.active_element.text) {
        if (char* clipboard = platform_clipboard_text()) {
          append_to_active_text_input(clipboard);
          platform_free(clipboard);
        }
      } else if (key == SDLK_BACKQUOTE && game.modifiers.shift) {
        toggle(ui.show_inspector);
      } else if (key == SDLK_F12) {
        // Developer key: print this frame's UI tree with the rectangles, which the end-to-end tests click.
        ui.dump_elements = true;
      } else if (key == SDLK_F5) {
        // Developer key: the first press starts timing each pass on the GPU, the next ones print the table.
        if (!renderer.pass_timers.enabled) {
          pass_timers_enable(true);
          printf("Pass timers on: F5 again prints the table\n");
        } else {
          pass_timers_print();
          pass_timers_clear();
        }
      } else if (key == SDLK_F6) {
        toggle(game.debug.try_stuff);
        printf("try_stuff: %d\n", game.debug.try_stuff);
      }
      input_set_modifier(key, true);
      if (!event.key.repeat) {
        printf("Pressed %s key [mod=%d] on frame %ld!\n", SDL_GetKeyName(key), (int)event.key.keysym.mod,
               (long)game.frame);
      }
    } break;
    case SDL_TEXTINPUT:
      if (ui.active_element.text) append_to_active_text_input(event.text.text);
      break;
    case SDL_KEYUP: input_set_modifier(event.key.keysym.sym, false); break;
    case SDL_MOUSEMOTION:
      ui.mouse = {(f32)event.motion.x, (f32)event.motion.y};
      game.mouse_delta += v2{(f32)event.motion.xrel, (f32)event.motion.yrel};
      break;
    case SDL_MOUSEBUTTONDOWN: {
      u32 bit = 1u << (event.button.button - 1);
      game.mouse_went_down |= bit;
      game.mouse_is_down |= bit;
    } break;
    case SDL_MOUSEBUTTONUP: {
      u32 bit = 1u << (event.button.button - 1);
      game.mouse_went_up |= bit;
      game.mouse_is_down &= ~bit;
    } break;
    case SDL_MOUSEWHEEL: {
      f32 y = event.wheel.preciseY;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
      game.wheel.y_this_frame += y;
    } break;
    default: break;
  }
}

f32 wheel_debounce(Wheel& wheel, Time now) {
  f32 y = wheel.y_this_frame;
  if (y == 0) return 0;
  f32 result = y;
  if (wheel.y_last * y > 0 && now - wheel.last_time < WHEEL_DEBOUNCE) result = 0;
  wheel.y_last = y;
  if (result != 0) wheel.last_time = now;
  return result;
}

void finish_input() { game.wheel.y = wheel_debounce(game.wheel, time_now()); }

bool left_mouse_went_down() { return game.mouse_went_down & MouseButton_Left; }
bool left_mouse_is_down() { return game.mouse_is_down & MouseButton_Left; }
bool left_mouse_went_up() { return game.mouse_went_up & MouseButton_Left; }
bool middle_mouse_went_down() { return game.mouse_went_down & MouseButton_Middle; }
bool middle_mouse_is_down() { return game.mouse_is_down & MouseButton_Middle; }
bool middle_mouse_went_up() { return game.mouse_went_up & MouseButton_Middle; }
bool right_mouse_went_down() { return game.mouse_went_down & MouseButton_Right; }
bool right_mouse_is_down() { return game.mouse_is_down & MouseButton_Right; }
bool right_mouse_went_up() { return game.mouse_went_up & MouseButton_Right; }

void handle_move() {
  if (game.config.enable_lmb_movement) set_dst(game.mouse_world);
}

void handle_show_actions() {
  game.selected_id = game.hovered_id;
  open_context_menu(game.hovered_id);
}

void init_hotkeys() {
  game.lmb_handler = handle_move;
  game.rmb_handler = handle_show_actions;
}
