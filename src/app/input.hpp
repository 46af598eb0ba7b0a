#pragma once
// Per-frame mouse, wheel and keyboard-modifier state, spell hotkeys and the two click handlers.
#include <SDL2/SDL.h>

#include "math.hpp"
#include "types.hpp"

typedef void (*HotkeyHandler)();

union InputModifiers {
  struct {
    u8 ctrl : 1;
    u8 alt : 1;
    u8 shift : 1;
    u8 win : 1;
  };
  u8 all;
};
static_assert(sizeof(InputModifiers) == 1);

struct Wheel {
  f32 y = 0;
  f32 y_this_frame = 0;
  f32 y_last = 0;
  Time last_time;
};

// Mouse button n (left 1, middle 2, right 3) is bit n - 1.
constexpr u32 MouseButton_Left = 1;
constexpr u32 MouseButton_Middle = 2;
constexpr u32 MouseButton_Right = 4;

constexpr Duration WHEEL_DEBOUNCE = {250 * 1000000ull};

struct SpellHotkey {
  u8 spell_type;
  char key;
};
constexpr int SPELL_HOTKEYS_COUNT = 12;
extern const SpellHotkey spell_hotkeys[SPELL_HOTKEYS_COUNT];

void prepare_input();
void register_input_event(const SDL_Event& event);
void finish_input();
// The debounce rule on its own, with the clock passed in.
f32 wheel_debounce(Wheel& wheel, Time now);

bool left_mouse_went_down();
bool left_mouse_is_down();
bool left_mouse_went_up();
bool middle_mouse_went_down();
bool middle_mouse_is_down();
bool middle_mouse_went_up();
bool right_mouse_went_down();
bool right_mouse_is_down();
bool right_mouse_went_up();

void init_hotkeys();
// The plain left click in the world: walk to the mouse when that is switched on.
void handle_move();
// The right click on an entity: selects it (the context menu takes this road once it exists).
void handle_show_actions();
