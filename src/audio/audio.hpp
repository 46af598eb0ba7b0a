#pragma once
// Sound effects on 8 streams and a looping playlist of music tracks.
#include "app/platform.hpp"
#include "types.hpp"

constexpr int AUDIO_EFFECT_STREAMS = 8;
constexpr int MUSIC_TRACKS_COUNT = 9;
constexpr const char* music_dir = "assets/audio/music/";
extern const char* const music_tracks[MUSIC_TRACKS_COUNT];

struct Sound {
  const char* name = nullptr;
  u32 len = 0;
  u8* buf = nullptr;
  PlatformAudioStream* last_stream = nullptr;
  Time last_played_at;
};

struct Sounds {
  Sound click, fireball_cast, spell_failure, swing, heal, healing, pew, woosh, cyclone_slash, damage, strong_damage;
  Sound death[3];
  Sound lvl_up, pick_up, eat, footsteps, container_open, container_close;
};

struct Audio {
  u8* music_buf = nullptr;
  u32 music_len = 0;
  PlatformAudioStream* music_stream = nullptr;
  int music_track_index = -1;
  const char* music_track_name = "";
  bool music_failed = false;  // every track failed to load: play on without music
  bool ready = false;
  PlatformAudioSpec device_spec = {};
  Sounds sounds;
  PlatformAudioStream* streams[AUDIO_EFFECT_STREAMS] = {};
};

void init_audio();
void play_sound(Sound& sound, f32 pitch);
void play_sound_once(Sound& sound, f32 pitch);
void stop_sound(Sound& sound);
void update_audio();
void load_next_music_track();
void set_music_gain();
void load_sound(Sound& sound, const char* path);
bool load_music(const char* path);
// The playlist rule: a pseudo-random first track from the clock, then each next one, wrapping after the last.
int music_next_track_index(int index, u64 now_ns);
