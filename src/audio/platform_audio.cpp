// Audio streams in the manner of SDL 3 (bound to the device, each with gain and frequency ratio),
// built on SDL 2's device callback and SDL_AudioStream. The callback mixes every bound stream.
#include <math.h>

#include "app/platform.hpp"

constexpr int PLATFORM_AUDIO_STREAMS_MAX = 16;

struct PlatformAudioStream {
  SDL_AudioStream* sdl;
  PlatformAudioSpec src;
  PlatformAudioSpec dst;
  f32 gain;
  f32 ratio;
  bool bound;
  bool used;
};

static struct {
  SDL_AudioDeviceID device;
  PlatformAudioSpec format;
  PlatformAudioStream streams[PLATFORM_AUDIO_STREAMS_MAX];
  s16 scratch[16384];
  s32 mix[16384];
} platform_audio;

static void platform_audio_callback(void*, Uint8* out, int len) {
  // The device always runs signed 16-bit stereo: the open call asks SDL to convert for us.
  int samples = len / 2;
  if (samples > (int)(sizeof(platform_audio.mix) / sizeof(s32)))
    samples = (int)(sizeof(platform_audio.mix) / sizeof(s32));
  memset(platform_audio.mix, 0, sizeof(s32) * (size_t)samples);
  for (PlatformAudioStream& s : platform_audio.streams) {
    if (!s.used || !s.bound || !s.sdl) continue;
    int got = SDL_AudioStreamGet(s.sdl, platform_audio.scratch, samples * 2);
    if (got <= 0) continue;
    int n = got / 2;
    for (int i = 0; i < n; i++) platform_audio.mix[i] += (s32)lrintf((f32)platform_audio.scratch[i] * s.gain);
  }
  s16* dst = (s16*)out;
  for (int i = 0; i < samples; i++) {
    s32 v = platform_audio.mix[i];
    dst[i] = (s16)(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  }
  if (samples * 2 < len) memset(out + samples * 2, 0, (size_t)(len - samples * 2));
}

static SDL_AudioDeviceID platform_audio_open_device(PlatformAudioSpec desired, SDL_AudioSpec* have) {
  SDL_AudioSpec want = {};
  want.freq = desired.freq;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = 1024;
  want.callback = platform_audio_callback;
  return SDL_OpenAudioDevice(nullptr, 0, &want, have, 0);
}

bool platform_audio_open(PlatformAudioSpec desired, PlatformAudioSpec* obtained) {
  SDL_AudioSpec have = {};
  SDL_AudioDeviceID device = platform_audio_open_device(desired, &have);
  if (!device) {
    // A game without sound beats no game.
    printf("audio: no playback device (%s), running silent\n", SDL_GetError());
    SDL_AudioQuit();
    if (SDL_AudioInit("dummy") != 0) return false;
    device = platform_audio_open_device(desired, &have);
    if (!device) return false;
  }
  platform_audio.device = device;
  platform_audio.format = {have.format, have.channels, have.freq};
  *obtained = platform_audio.format;
  return true;
}

bool platform_audio_resume() {
  if (!platform_audio.device) return false;
  SDL_PauseAudioDevice(platform_audio.device, 0);
  return true;
}

static SDL_AudioStream* platform_audio_make_sdl_stream(PlatformAudioSpec src, PlatformAudioSpec dst, f32 ratio) {
  // The frequency ratio plays the input as if it had been recorded at a rate that much higher.
  int src_rate = (int)lrintf((f32)src.freq * ratio);
  if (src_rate < 1) src_rate = 1;
  return SDL_NewAudioStream(src.format, (Uint8)src.channels, src_rate, AUDIO_S16LSB, 2, dst.freq);
}

PlatformAudioStream* platform_audio_stream_create(PlatformAudioSpec src, PlatformAudioSpec dst) {
  SDL_LockAudioDevice(platform_audio.device);
  PlatformAudioStream* result = nullptr;
  for (PlatformAudioStream& s : platform_audio.streams) {
    if (s.used) continue;
    SDL_AudioStream* sdl = platform_audio_make_sdl_stream(src, dst, 1.0f);
    if (!sdl) break;
    s = {sdl, src, dst, 1.0f, 1.0f, false, true};
    result = &s;
    break;
  }
  SDL_UnlockAudioDevice(platform_audio.device);
  return result;
}

void platform_audio_stream_destroy(PlatformAudioStream* stream) {
  if (!stream) return;
  SDL_LockAudioDevice(platform_audio.device);
  if (stream->sdl) SDL_FreeAudioStream(stream->sdl);
  *stream = {};
  SDL_UnlockAudioDevice(platform_audio.device);
}

bool platform_audio_stream_bind(PlatformAudioStream* stream) {
  if (!stream || !platform_audio.device) return false;
  SDL_LockAudioDevice(platform_audio.device);
  stream->bound = true;
  SDL_UnlockAudioDevice(platform_audio.device);
  return true;
}

// SDL 2's resampler keeps back about a hundredth of a second at the end even after a flush; a little
// silence after the data pushes every real sample out.
static const u8 platform_audio_silence[8192] = {};

static int platform_audio_frame_bytes(PlatformAudioSpec f) { return SDL_AUDIO_BITSIZE(f.format) / 8 * f.channels; }

bool platform_audio_stream_put(PlatformAudioStream* stream, const void* data, int len) {
  SDL_LockAudioDevice(platform_audio.device);
  bool ok = SDL_AudioStreamPut(stream->sdl, data, len) == 0;
  bool resampled = (int)lrintf((f32)stream->src.freq * stream->ratio) != stream->dst.freq;
  if (ok && resampled) {
    int pad = 1024 * platform_audio_frame_bytes(stream->src);
    if (pad > (int)sizeof(platform_audio_silence)) pad = (int)sizeof(platform_audio_silence);
    ok = SDL_AudioStreamPut(stream->sdl, platform_audio_silence, pad) == 0;
  }
  // Without a flush the resampler keeps the tail back until more data arrives.
  if (ok) ok = SDL_AudioStreamFlush(stream->sdl) == 0;
  SDL_UnlockAudioDevice(platform_audio.device);
  return ok;
}

int platform_audio_stream_available(PlatformAudioStream* stream) {
  SDL_LockAudioDevice(platform_audio.device);
  int n = SDL_AudioStreamAvailable(stream->sdl);
  SDL_UnlockAudioDevice(platform_audio.device);
  return n;
}

void platform_audio_stream_clear(PlatformAudioStream* stream) {
  SDL_LockAudioDevice(platform_audio.device);
  SDL_AudioStreamClear(stream->sdl);
  SDL_UnlockAudioDevice(platform_audio.device);
}

bool platform_audio_stream_set_gain(PlatformAudioStream* stream, f32 gain) {
  if (!stream || gain < 0) return false;
  SDL_LockAudioDevice(platform_audio.device);
  stream->gain = gain;
  SDL_UnlockAudioDevice(platform_audio.device);
  return true;
}

f32 platform_audio_stream_gain(PlatformAudioStream* stream) { return stream->gain; }

bool platform_audio_stream_set_frequency_ratio(PlatformAudioStream* stream, f32 ratio) {
  if (!stream || ratio <= 0) return false;
  if (ratio == stream->ratio) return true;
  SDL_LockAudioDevice(platform_audio.device);
  // SDL 2 streams have fixed rates, so a new ratio means a new stream. Effects change the ratio only on
  // a stream that has nothing left to play, so nothing queued is lost.
  SDL_AudioStream* fresh = platform_audio_make_sdl_stream(stream->src, stream->dst, ratio);
  if (fresh) {
    SDL_FreeAudioStream(stream->sdl);
    stream->sdl = fresh;
    stream->ratio = ratio;
  }
  SDL_UnlockAudioDevice(platform_audio.device);
  return fresh != nullptr;
}

bool platform_load_wav(const char* path, PlatformAudioSpec* format, u8** buf, u32* len) {
  SDL_AudioSpec s = {};
  if (!SDL_LoadWAV(path, &s, buf, len)) return false;
  *format = {s.format, s.channels, s.freq};
  return true;
}

void platform_free_wav(u8* buf) { SDL_FreeWAV(buf); }

bool platform_audio_convert(PlatformAudioSpec src, const u8* data, u32 len, PlatformAudioSpec dst, u8** out,
                            u32* out_len) {
  SDL_AudioStream* s =
      SDL_NewAudioStream(src.format, (Uint8)src.channels, src.freq, dst.format, (Uint8)dst.channels, dst.freq);
  if (!s) return false;
  int src_frame = platform_audio_frame_bytes(src), dst_frame = platform_audio_frame_bytes(dst);
  int pad = 1024 * src_frame;
  if (pad > (int)sizeof(platform_audio_silence)) pad = (int)sizeof(platform_audio_silence) / src_frame * src_frame;
  bool ok = SDL_AudioStreamPut(s, data, (int)len) == 0 && SDL_AudioStreamPut(s, platform_audio_silence, pad) == 0 &&
            SDL_AudioStreamFlush(s) == 0;
  int n = ok ? SDL_AudioStreamAvailable(s) : 0;
  // Keep exactly the converted length of the input, not the padding.
  f64 frames = (f64)(len / (u32)src_frame) * dst.freq / src.freq;
  int want = (int)(frames + 0.5) * dst_frame;
  if (n > want) n = want;
  *out = nullptr;
  *out_len = 0;
  if (ok && n > 0) {
    *out = (u8*)malloc((size_t)n);
    *out_len = (u32)SDL_AudioStreamGet(s, *out, n);
  }
  SDL_FreeAudioStream(s);
  return ok && *out_len > 0;
}
