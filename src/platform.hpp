#pragma once
// The one place that knows which major version of the platform library the client runs on.
// Everything that differs between SDL 2 and SDL 3 sits behind these functions.
#include <SDL2/SDL.h>

#include "types.hpp"

struct PlatformVersion {
  int major, minor, patch;
};

struct PlatformDisplay {
  const char* name;
  f32 content_scale;
  f32 display_scale;
  f32 pixel_density;
  int x, y, w, h;  // usable bounds
};

PlatformVersion platform_compiled_version();
// The runtime version as one number: major * 1000000 + minor * 1000 + patch.
int platform_linked_version();
void platform_set_app_metadata(const char* name, const char* version, const char* identifier);
bool platform_init();
const char* platform_error();
PlatformDisplay platform_primary_display();
SDL_Window* platform_create_window(const char* title, int w, int h);
void platform_window_size(SDL_Window* window, int* w, int* h);
void platform_window_size_in_pixels(SDL_Window* window, int* w, int* h);
void platform_start_text_input();
void platform_stop_text_input();
// Clipboard text, or null when empty; release it with platform_free.
char* platform_clipboard_text();
void platform_free(void* p);
void platform_quit();
