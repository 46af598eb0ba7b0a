#include <gtest/gtest.h>

#include <string>

#include "audio/audio.hpp"
#include "app/client.hpp"

// The "disk" driver writes what the device plays to a file, so the tests can check what came out.
class AudioDevice : public ::testing::Test {
 protected:
  static std::string raw_path;
  static void SetUpTestSuite() {
    raw_path = "/tmp/valmire_audio_" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw_path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    game.config.sound_gain = 0.75f;
    game.config.music_gain = 0.5f;
    init_audio();
  }
  static void TearDownTestSuite() {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    unlink(raw_path.c_str());
  }
  static void drain() {
    for (int i = 0; i < 400; i++) {
      bool busy = false;
      for (PlatformAudioStream* s : game.audio.streams) busy |= platform_audio_stream_available(s) > 0;
      if (!busy) return;
      SDL_Delay(10);
    }
  }
};
std::string AudioDevice::raw_path;

TEST_F(AudioDevice, EffectsAreConvertedToTheDeviceFormat) {
  const Audio& a = game.audio;
  EXPECT_EQ(a.device_spec.channels, 2);
  EXPECT_EQ(a.device_spec.freq, 48000);
  // click.wav is authored as 44.1 kHz mono: the stored buffer is 48 kHz stereo 16-bit.
  const Sound& click = a.sounds.click;
  EXPECT_STREQ(click.name, "assets/audio/click.wav");
  f32 seconds = (f32)click.len / (48000 * 2 * 2);
  EXPECT_NEAR(seconds, 0.06f, 0.01f);
  EXPECT_GT(a.sounds.container_open.len, 0u);
}

TEST_F(AudioDevice, PlayedEffectReachesTheOutput) {
  drain();
  FILE* f = fopen(raw_path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  fseek(f, 0, SEEK_END);
  long before = ftell(f);
  fclose(f);
  play_sound(game.audio.sounds.lvl_up, 1.0f);
  drain();
  SDL_Delay(100);
  f = fopen(raw_path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  fseek(f, before, SEEK_SET);
  std::vector<s16> out(48000 * 2);
  size_t n = fread(out.data(), 2, out.size(), f);
  fclose(f);
  int loud = 0;
  for (size_t i = 0; i < n; i++) loud += abs(out[i]) > 1000;
  EXPECT_GT(loud, 1000);
}

TEST_F(AudioDevice, NinthEffectIsRefused) {
  drain();
  Sound& s = game.audio.sounds.lvl_up;
  for (int i = 0; i < 8; i++) play_sound(s, 1.0f);
  testing::internal::CaptureStderr();
  play_sound(s, 1.0f);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Cannot play 'assets/audio/lvl-up.wav': out of audio streams!\n");
  for (PlatformAudioStream* stream : game.audio.streams) platform_audio_stream_clear(stream);
}

TEST_F(AudioDevice, PlayOnceAndStop) {
  drain();
  Sound& steps = game.audio.sounds.footsteps;
  play_sound_once(steps, 1.05f);
  PlatformAudioStream* first = steps.last_stream;
  ASSERT_NE(first, nullptr);
  EXPECT_GT(platform_audio_stream_available(first), 0);
  // Still sounding: nothing new is queued anywhere.
  play_sound_once(steps, 1.0f);
  EXPECT_EQ(steps.last_stream, first);
  int busy = 0;
  for (PlatformAudioStream* s : game.audio.streams) busy += platform_audio_stream_available(s) > 0;
  EXPECT_EQ(busy, 1);
  stop_sound(steps);
  EXPECT_EQ(steps.last_stream, nullptr);
  EXPECT_EQ(platform_audio_stream_available(first), 0);
  // Its old stream was taken by another sound and emptied: play_sound_once plays again.
  play_sound_once(steps, 1.0f);
  ASSERT_NE(steps.last_stream, nullptr);
  stop_sound(steps);
}

TEST_F(AudioDevice, MusicStartsAndFollowsTheGain) {
  update_audio();
  Audio& a = game.audio;
  ASSERT_NE(a.music_stream, nullptr);
  EXPECT_GE(a.music_track_index, 0);
  EXPECT_LT(a.music_track_index, MUSIC_TRACKS_COUNT);
  EXPECT_STREQ(a.music_track_name, music_tracks[a.music_track_index]);
  EXPECT_GT(platform_audio_stream_available(a.music_stream), 0);
  int index = a.music_track_index;
  load_next_music_track();
  EXPECT_EQ(a.music_track_index, (index + 1) % MUSIC_TRACKS_COUNT);
  game.config.music_gain = 0.25f;
  set_music_gain();
  EXPECT_EQ(platform_audio_stream_gain(a.music_stream), 0.25f);
  // A missing track is skipped, not fatal.
  EXPECT_FALSE(load_music("assets/audio/music/missing.ogg"));
}

TEST(Playlist, FirstTrackFromTheClockThenInOrderWrapping) {
  EXPECT_EQ(music_next_track_index(-1, 12), 3);
  EXPECT_EQ(music_next_track_index(-1, 9), 0);
  EXPECT_EQ(music_next_track_index(0, 5), 1);
  EXPECT_EQ(music_next_track_index(8, 5), 0);
  int i = 4;
  for (int k = 0; k < 9; k++) i = music_next_track_index(i, 0);
  EXPECT_EQ(i, 4);
}
