#include "app/platform.hpp"

PlatformVersion platform_compiled_version() { return {SDL_MAJOR_VERSION, SDL_MINOR_VERSION, SDL_PATCHLEVEL}; }

int platform_linked_version() {
  SDL_version v;
  SDL_GetVersion(&v);
  return v.major * 1000000 + v.minor * 1000 + v.patch;
}

void platform_set_app_metadata(const char* name, const char* version, const char* identifier) {
  // SDL 2 has no metadata call; the application name hint is what it shows (audio stream names, X11 class).
  (void)version;
  (void)identifier;
  SDL_SetHint(SDL_HINT_APP_NAME, name);
}

bool platform_init() {
#ifdef _WIN32
  SDL_SetHint("SDL_AUDIO_DRIVER", "directsound");
#endif
  return SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) == 0;
}

const char* platform_error() { return SDL_GetError(); }

PlatformDisplay platform_primary_display() {
  PlatformDisplay d = {};
  d.name = SDL_GetDisplayName(0);
  if (!d.name) d.name = "";
  f32 ddpi = 0;
  d.content_scale = 1;
  if (SDL_GetDisplayDPI(0, &ddpi, nullptr, nullptr) == 0 && ddpi > 0) d.content_scale = ddpi / 96.0f;
  d.display_scale = d.content_scale;
  d.pixel_density = 1;
  SDL_Rect r = {};
  if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
  d.x = r.x, d.y = r.y, d.w = r.w, d.h = r.h;
  return d;
}

SDL_Window* platform_create_window(const char* title, int w, int h) {
  return SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                          SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
}

void platform_window_size(SDL_Window* window, int* w, int* h) { SDL_GetWindowSize(window, w, h); }

bool platform_set_fullscreen(SDL_Window* window, bool on) {
  return SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
}

void platform_window_size_in_pixels(SDL_Window* window, int* w, int* h) { SDL_GL_GetDrawableSize(window, w, h); }

void platform_start_text_input() { SDL_StartTextInput(); }

void platform_stop_text_input() { SDL_StopTextInput(); }

char* platform_clipboard_text() {
  if (!SDL_HasClipboardText()) return nullptr;
  char* text = SDL_GetClipboardText();
  if (text && !text[0]) {
    SDL_free(text);
    return nullptr;
  }
  return text;
}

void platform_free(void* p) { SDL_free(p); }

void platform_quit() { SDL_Quit(); }

void platform_base_path(char* out, int out_len) {
  char* p = SDL_GetBasePath();
  cstr_copy(out, p ? p : "", out_len);
  SDL_free(p);
}

void platform_pref_path(const char* org, const char* app, char* out, int out_len) {
  char* p = SDL_GetPrefPath(org, app);
  cstr_copy(out, p ? p : "", out_len);
  SDL_free(p);
}
