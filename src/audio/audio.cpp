#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include "audio/audio.hpp"
#include "app/client.hpp"

const char* const music_tracks[MUSIC_TRACKS_COUNT] = {
    "01-morning-fields.wav", "02-campfire.wav",   "03-wandering.ogg",   "04-old-forest.ogg", "05-river-song.ogg",
    "06-stone-halls.ogg",    "07-market-day.ogg", "08-night-watch.ogg", "09-homeward.ogg",
};

// Decodes a whole file into interleaved samples; false when nothing could be read.
static bool audio_decode(const char* path, PlatformAudioSpec* format, u8** buf, u32* len, bool* from_wav) {
  *buf = nullptr;
  *len = 0;
  *from_wav = false;
  if (cstr_ends_with(path, ".ogg")) {
    int channels = 0, rate = 0;
    short* samples = nullptr;
    int n = stb_vorbis_decode_filename(path, &channels, &rate, &samples);
    if (n < 1 || !samples) {
      free(samples);
      return false;
    }
    *format = {AUDIO_S16LSB, channels, rate};
    *buf = (u8*)samples;
    *len = (u32)n * (u32)channels * 2;
    return true;
  }
  if (cstr_ends_with(path, ".wav")) {
    if (!platform_load_wav(path, format, buf, len)) {
      printf("audio: %s\n", platform_error());
      return false;
    }
    *from_wav = true;
    return true;
  }
  panic("audio: unsupported file type '%s'\n", path);
}

static void audio_release(u8* buf, bool from_wav) {
  if (from_wav) {
    platform_free_wav(buf);
  } else {
    free(buf);
  }
}

void load_sound(Sound& sound, const char* path) {
  PlatformAudioSpec format;
  u8* data = nullptr;
  u32 data_len = 0;
  bool from_wav = false;
  if (!audio_decode(path, &format, &data, &data_len, &from_wav)) {
    if (cstr_ends_with(path, ".wav")) abort();
  }
  assert(data_len > 0);
  // Effects are queued as they are on streams in the device's format: convert them once, here.
  u8* converted = nullptr;
  u32 converted_len = 0;
  PlatformAudioSpec dst = game.audio.device_spec;
  if (!platform_audio_convert(format, data, data_len, dst, &converted, &converted_len))
    panic("audio: cannot convert '%s': %s\n", path, platform_error());
  audio_release(data, from_wav);
  sound.name = path;
  sound.buf = converted;
  sound.len = converted_len;
}

void init_audio() {
  Audio& a = game.audio;
  // The device comes first here so that every effect can be converted to its format as it loads.
  PlatformAudioSpec desired = {AUDIO_S16LSB, 2, 48000};
  PlatformAudioSpec obtained;
  if (!platform_audio_open(desired, &obtained)) panic("audio: cannot open a playback device: %s\n", platform_error());
  a.device_spec = {obtained.format, 2, obtained.freq};

  Sounds& s = a.sounds;
  load_sound(s.click, "assets/audio/click.wav");
  load_sound(s.fireball_cast, "assets/audio/fireball-cast.wav");
  load_sound(s.spell_failure, "assets/audio/spell-failure.wav");
  load_sound(s.swing, "assets/audio/swing.wav");
  load_sound(s.damage, "assets/audio/damage.wav");
  load_sound(s.strong_damage, "assets/audio/strong-damage.wav");
  load_sound(s.heal, "assets/audio/heal.wav");
  load_sound(s.healing, "assets/audio/healing.wav");
  load_sound(s.pew, "assets/audio/pew.wav");
  load_sound(s.woosh, "assets/audio/woosh.wav");
  load_sound(s.cyclone_slash, "assets/audio/cyclone-slash.wav");
  load_sound(s.death[0], "assets/audio/death-1.wav");
  load_sound(s.death[1], "assets/audio/death-2.wav");
  load_sound(s.death[2], "assets/audio/death-3.wav");
  load_sound(s.lvl_up, "assets/audio/lvl-up.wav");
  load_sound(s.pick_up, "assets/audio/pick-up.wav");
  load_sound(s.eat, "assets/audio/eat.wav");
  load_sound(s.footsteps, "assets/audio/footsteps.wav");
  load_sound(s.container_open, "assets/audio/container-open.ogg");
  load_sound(s.container_close, "assets/audio/container-close.ogg");

  for (int i = 0; i < AUDIO_EFFECT_STREAMS; i++) {
    a.streams[i] = platform_audio_stream_create(a.device_spec, a.device_spec);
    assert(a.streams[i]);
    bool ok = platform_audio_stream_bind(a.streams[i]);
    assert(ok);
  }
  bool ok = platform_audio_resume();
  assert(ok);
  a.ready = true;
}

void play_sound(Sound& sound, f32 pitch) {
  Audio& a = game.audio;
  if (!a.ready || !sound.buf) return;
  for (PlatformAudioStream* stream : a.streams) {
    if (platform_audio_stream_available(stream) != 0) continue;
    sound.last_stream = stream;
    sound.last_played_at = time_now();
    platform_audio_stream_set_frequency_ratio(stream, pitch);
    platform_audio_stream_put(stream, sound.buf, (int)sound.len);
    platform_audio_stream_set_gain(stream, game.config.sound_gain);
    return;
  }
  fprintf(stderr, "Cannot play '%s': out of audio streams!\n", sound.name);
}

void play_sound_once(Sound& sound, f32 pitch) {
  if (sound.last_stream && platform_audio_stream_available(sound.last_stream) > 0) return;
  sound.last_stream = nullptr;
  play_sound(sound, pitch);
}

void stop_sound(Sound& sound) {
  if (!sound.last_stream) return;
  platform_audio_stream_clear(sound.last_stream);
  sound.last_stream = nullptr;
}

bool load_music(const char* path) {
  Audio& a = game.audio;
  if (a.music_len != 0) {
    free(a.music_buf);
    a.music_buf = nullptr;
    a.music_len = 0;
    platform_audio_stream_destroy(a.music_stream);
    a.music_stream = nullptr;
  }
  printf("audio: loading music from '%s'\n", path);
  PlatformAudioSpec format;
  u8* data = nullptr;
  u32 len = 0;
  bool from_wav = false;
  if (!audio_decode(path, &format, &data, &len, &from_wav) || len == 0) {
    // A damaged track is skipped by the playlist rather than ending the game.
    printf("audio: Failed to load '%s'\n", path);
    return false;
  }
  // Keep one ownership rule for the track buffer: always malloc'ed.
  if (from_wav) {
    u8* copy = (u8*)malloc(len);
    memcpy(copy, data, len);
    platform_free_wav(data);
    data = copy;
  }
  a.music_stream = platform_audio_stream_create(format, a.device_spec);
  if (!a.music_stream) panic("Cannot create audio stream: %s\n", platform_error());
  if (!platform_audio_stream_bind(a.music_stream)) panic("Cannot bind audio stream: %s\n", platform_error());
  a.music_buf = data;
  a.music_len = len;
  set_music_gain();
  return true;
}

void set_music_gain() {
  bool ok = platform_audio_stream_set_gain(game.audio.music_stream, game.config.music_gain);
  assert(ok);
}

int music_next_track_index(int index, u64 now_ns) {
  if (index == -1) return (int)(now_ns % MUSIC_TRACKS_COUNT);
  return (index + 1) % MUSIC_TRACKS_COUNT;
}

void load_next_music_track() {
  Audio& a = game.audio;
  if (!a.ready || a.music_failed) return;
  for (int attempt = 0; attempt < MUSIC_TRACKS_COUNT; attempt++) {
    a.music_track_index = music_next_track_index(a.music_track_index, time_now().ns);
    Text path = tprintf("%s%s", music_dir, music_tracks[a.music_track_index]);
    if (!load_music(path.cstr())) continue;
    a.music_track_name = music_tracks[a.music_track_index];
    platform_audio_stream_put(a.music_stream, a.music_buf, (int)a.music_len);
    return;
  }
  printf("audio: no music track could be loaded, playing without music\n");
  a.music_failed = true;
}

void update_audio() {
  Audio& a = game.audio;
  if (!a.ready) return;
  if (!a.music_stream || platform_audio_stream_available(a.music_stream) < 1) load_next_music_track();
}
