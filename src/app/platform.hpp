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
bool platform_set_fullscreen(SDL_Window* window, bool on);
void platform_window_size_in_pixels(SDL_Window* window, int* w, int* h);
void platform_start_text_input();
void platform_stop_text_input();
// Clipboard text, or null when empty; release it with platform_free.
char* platform_clipboard_text();
void platform_free(void* p);
void platform_quit();

// --- audio: device-bound streams with their own gain and frequency ratio, mixed on the audio thread.

struct PlatformAudioSpec {
  SDL_AudioFormat format;
  int channels;
  int freq;
};

struct PlatformAudioStream;

// Opens the default playback device (falling back to the "dummy" driver when none can be opened);
// returns false only when even that fails. `obtained` is the format the device mixes in.
bool platform_audio_open(PlatformAudioSpec desired, PlatformAudioSpec* obtained);
bool platform_audio_resume();
PlatformAudioStream* platform_audio_stream_create(PlatformAudioSpec src, PlatformAudioSpec dst);
void platform_audio_stream_destroy(PlatformAudioStream* stream);
bool platform_audio_stream_bind(PlatformAudioStream* stream);
bool platform_audio_stream_put(PlatformAudioStream* stream, const void* data, int len);
int platform_audio_stream_available(PlatformAudioStream* stream);
void platform_audio_stream_clear(PlatformAudioStream* stream);
bool platform_audio_stream_set_gain(PlatformAudioStream* stream, f32 gain);
f32 platform_audio_stream_gain(PlatformAudioStream* stream);
bool platform_audio_stream_set_frequency_ratio(PlatformAudioStream* stream, f32 ratio);
// Loads a WAV file whole; the caller frees `*buf` with platform_free_wav.
bool platform_load_wav(const char* path, PlatformAudioSpec* format, u8** buf, u32* len);
void platform_free_wav(u8* buf);
// Converts samples between formats; the result is malloc'ed.
bool platform_audio_convert(PlatformAudioSpec src, const u8* data, u32 len, PlatformAudioSpec dst, u8** out,
                            u32* out_len);

// The program's folder and the per-user data folder (created when missing), copied into `out`; empty
// text when the platform cannot tell.
void platform_base_path(char* out, int out_len);
void platform_pref_path(const char* org, const char* app, char* out, int out_len);
