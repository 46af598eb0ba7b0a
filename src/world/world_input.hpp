#pragma once
// What keys, the wheel and the mouse buttons mean on the world screen.
#include "app/client.hpp"

// One polled event, after the input layer has seen it.
void world_handle_event(const SDL_Event& event);
// The rest of the frame's input once the events are in: wheel, mouse position, buttons, walking keys.
void world_finish_input_events();
void world_handle_wheel(f32 y);
void world_handle_left_mouse();
void world_handle_right_mouse();
void world_handle_middle_mouse();
// Left press in the world; true when it consumed the click.
bool world_handle_left_mouse_down();
void world_handle_left_mouse_up();
// Whether the mouse holds something that a right release puts away.
bool cursor_holds_something();
