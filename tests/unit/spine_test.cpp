#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/client.hpp"
#include "app/input.hpp"
#include "render/renderer.hpp"
#include "spells.hpp"
#include "ui/ui.hpp"

static SDL_Event key_event(u32 type, SDL_Keycode key, bool repeat = false) {
  SDL_Event e = {};
  e.type = type;
  e.key.keysym.sym = key;
  e.key.repeat = repeat;
  return e;
}

static SDL_Event button_event(u32 type, u8 button) {
  SDL_Event e = {};
  e.type = type;
  e.button.button = button;
  return e;
}

TEST(Input, WheelDebouncing) {
  Wheel w;
  Time t0 = {10 * Seconds.ns};
  w.y_this_frame = 1;
  EXPECT_EQ(wheel_debounce(w, t0), 1);
  // Same direction 100 ms later: swallowed, and it does not restart the 250 ms window.
  w.y_this_frame = 1;
  EXPECT_EQ(wheel_debounce(w, t0 + 100 * Milliseconds), 0);
  w.y_this_frame = 1;
  EXPECT_EQ(wheel_debounce(w, t0 + 260 * Milliseconds), 1);
  // A reversal steps at once.
  w.y_this_frame = -1;
  EXPECT_EQ(wheel_debounce(w, t0 + 270 * Milliseconds), -1);
  // A frame without motion changes nothing.
  w.y_this_frame = 0;
  EXPECT_EQ(wheel_debounce(w, t0 + 280 * Milliseconds), 0);
  EXPECT_EQ(w.y_last, -1);
}

TEST(Input, ModifiersAndButtons) {
  game.modifiers.all = 0;
  register_input_event(key_event(SDL_KEYDOWN, SDLK_LSHIFT));
  register_input_event(key_event(SDL_KEYDOWN, SDLK_LCTRL));
  register_input_event(key_event(SDL_KEYUP, SDLK_LCTRL));
  EXPECT_TRUE(game.modifiers.shift);
  EXPECT_FALSE(game.modifiers.ctrl);
  register_input_event(key_event(SDL_KEYDOWN, SDLK_RGUI));
  EXPECT_FALSE(game.modifiers.win);
  register_input_event(key_event(SDL_KEYDOWN, SDLK_LGUI));
  EXPECT_TRUE(game.modifiers.win);
  register_input_event(key_event(SDL_KEYDOWN, SDLK_RALT));
  EXPECT_EQ(game.modifiers.all, 4 | 8 | 2);
  for (SDL_Keycode k : {SDLK_LSHIFT, SDLK_LGUI, SDLK_RALT}) register_input_event(key_event(SDL_KEYUP, k));
  EXPECT_EQ(game.modifiers.all, 0);

  game.mouse_is_down = 0;
  prepare_input();
  register_input_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT));
  register_input_event(button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT));
  EXPECT_TRUE(right_mouse_went_down());
  EXPECT_TRUE(right_mouse_went_up());
  EXPECT_FALSE(right_mouse_is_down());
  EXPECT_FALSE(left_mouse_went_down());
  register_input_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
  prepare_input();
  EXPECT_FALSE(left_mouse_went_down());
  EXPECT_TRUE(left_mouse_is_down());
  register_input_event(button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT));
  EXPECT_TRUE(left_mouse_went_up());
  EXPECT_FALSE(left_mouse_is_down());

  SDL_Event motion = {};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 100, motion.motion.y = 50, motion.motion.xrel = 3, motion.motion.yrel = -2;
  register_input_event(motion);
  register_input_event(motion);
  EXPECT_EQ(ui.mouse.x, 100);
  EXPECT_EQ(game.mouse_delta.x, 6);
  EXPECT_EQ(game.mouse_delta.y, -4);
  SDL_Event wheel = {};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.preciseY = 1;
  wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  register_input_event(wheel);
  EXPECT_EQ(game.wheel.y_this_frame, -1);
  prepare_input();
  EXPECT_EQ(game.mouse_delta.x, 0);
  EXPECT_EQ(game.wheel.y_this_frame, 0);

  SDL_Event quit = {};
  quit.type = SDL_QUIT;
  register_input_event(quit);
  EXPECT_TRUE(game.should_quit);
  game.should_quit = false;
}

TEST(Input, SpellHotkeysAreDistinctKeysForDistinctSpells) {
  std::set<char> keys;
  std::set<u8> spells;
  for (const SpellHotkey& h : spell_hotkeys) {
    EXPECT_TRUE(keys.insert(h.key).second) << h.key;
    EXPECT_TRUE(spells.insert(h.spell_type).second) << (int)h.spell_type;
    EXPECT_LT(h.spell_type, SpellType_count);
    // Movement keys and the plain strike on the mouse are never taken.
    EXPECT_EQ(strchr("wasd", h.key), nullptr) << h.key;
    EXPECT_NE(h.spell_type, SpellType_Strike);
  }
}

TEST(FrameClock, PauseSingleStepAndStatsRing) {
  game.paused = false;
  game.frame = 0;
  game.time = {};
  game.debug.frames_stats_index = 0;
  frame_clock_advance(Milliseconds * 16.0f);
  EXPECT_EQ(game.frame, 1u);
  EXPECT_NEAR(game.dt, 0.016f, 1e-6f);
  EXPECT_NEAR(renderer.time, 0.016f, 1e-6f);
  for (int i = 0; i < 61; i++) frame_stats_record(Milliseconds);
  EXPECT_EQ(game.debug.frames_stats_index, 1);
  EXPECT_EQ(game.debug.frames_stats[0].frame, 1u);

  game.paused = true;
  Time before = game.time;
  frame_clock_advance(Seconds);
  frame_stats_record(Seconds);
  EXPECT_EQ(game.dt, 0);
  EXPECT_EQ(game.frame, 1u);
  EXPECT_EQ(game.time.ns, before.ns);
  EXPECT_EQ(game.debug.frames_stats_index, 1);

  request_gameplay_updates(1);
  EXPECT_EQ(game.frame, 2u);
  EXPECT_EQ(game.updates_requested, 1);
  EXPECT_NEAR(to_sec(game.time - before), 1.0f / 60, 1e-6f);
  EXPECT_FLOAT_EQ(game.dt, 0.016666668f);
  EXPECT_DEATH(request_gameplay_updates(2), "Assertion");
  game.paused = false;
}

TEST(Screens, NamesAndSettingTheSameScreen) {
  EXPECT_STREQ(screen_name((Screen)99), "???");
  game.screen = Screen_Test;
  testing::internal::CaptureStdout();
  set_screen(Screen_Test);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  game.screen = Screen_PreLoading;
}

TEST(DebugLines, HeldUpToSixtyFour) {
  game.debug.log.nmessages = 0;
  for (int i = 0; i < 70; i++) debugf("line %d", i);
  EXPECT_EQ(game.debug.log.nmessages, 64);
  EXPECT_STREQ(game.debug.log.messages[63], "line 63");
  game.debug.log.nmessages = 0;
}
