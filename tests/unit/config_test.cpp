#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "app/client.hpp"
#include "app/config_file.hpp"
#include "test_files.hpp"

// Each test works in a fresh temporary folder, since the writer only ever writes "config.ini" there.
class ConfigFile : public ::testing::Test {
 protected:
  TempDir dir;
  char old_cwd[512] = {};
  void SetUp() override {
    ASSERT_NE(getcwd(old_cwd, sizeof(old_cwd)), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(old_cwd), 0); }
  static Config load(const char* name, const std::string& content) {
    write_text(name, content);
    Config c;
    EXPECT_TRUE(load_config(&c, name));
    return c;
  }
};

TEST_F(ConfigFile, EveryKeyAndTheDefaults) {
  Config d = load("a.ini", "unknown = 1\n");
  EXPECT_EQ(d.server_timeout_ms, 100);
  EXPECT_EQ(d.music_gain, 0.5f);
  EXPECT_EQ(d.sound_gain, 0.75f);
  EXPECT_EQ(d.debug_log_file, stderr);
  EXPECT_STREQ(d.server_name, "");

  Config c = load("b.ini",
                  "auto_login = 2\nlogin = alice\nserver_name = 127.0.0.2\nserver_timeout_ms = 250\n"
                  "music_gain = 0.25\nsound_gain = 0.125\nenable_lmb_movement = 1\ndebug_log = 0\n"
                  "debug_log_path = /tmp/x.log\n");
  EXPECT_EQ(c.auto_login, 2);
  EXPECT_STREQ(c.login, "alice");
  EXPECT_STREQ(c.server_name, "127.0.0.2");
  EXPECT_EQ(c.server_timeout_ms, 250);
  EXPECT_EQ(c.music_gain, 0.25f);
  EXPECT_EQ(c.sound_gain, 0.125f);
  EXPECT_TRUE(c.enable_lmb_movement);
  EXPECT_STREQ(c.debug_log_path.cstr(), "/tmp/x.log");
  EXPECT_STREQ(c.path, "b.ini");
}

TEST_F(ConfigFile, LimitsOnNumbersAndTexts) {
  Config c = load("c.ini", "server_timeout_ms = 50\nmusic_gain = 1.5\nsound_gain = -1\nauto_login = x\n");
  EXPECT_EQ(c.server_timeout_ms, 100);
  EXPECT_EQ(c.music_gain, 1.0f);
  EXPECT_EQ(c.sound_gain, 0.0f);
  EXPECT_EQ(c.auto_login, 0);
  Config t = load("d.ini", "server_timeout_ms = 100\n");
  EXPECT_EQ(t.server_timeout_ms, 100);
  std::string long_name(100, 'n');
  Config l = load("e.ini", "login = " + long_name + "\n");
  EXPECT_EQ(strlen(l.login), 63u);
}

TEST_F(ConfigFile, CommentsSpacesCarriageReturnsAndOddLines) {
  Config c = load("f.ini",
                  "# server_name = commented\n"
                  "server_name = my host # trailing comment drops the line\n"
                  "\n"
                  "login = two words\n"
                  "x\n"
                  "   \n"
                  "auto_login = 1\r\n"
                  "sound_gain = 0.5");
  EXPECT_STREQ(c.server_name, "");
  EXPECT_STREQ(c.login, "twowords");
  EXPECT_EQ(c.auto_login, 1);  // "1\r" still reads as 1
  EXPECT_EQ(c.sound_gain, 0.5f);
  Config cr = load("g.ini", "login = bob\r\n");
  EXPECT_STREQ(cr.login, "bob\r");
}

TEST_F(ConfigFile, OverlongLinesAreSkippedWhole) {
  std::string overlong = "login = " + std::string(300, 'z') + "\n";
  Config c = load("h.ini", overlong + "server_name = after\n" + "auto_login = " + std::string(260, '1'));
  EXPECT_STREQ(c.login, "");
  EXPECT_STREQ(c.server_name, "after");
  EXPECT_EQ(c.auto_login, 0);
  // 254 bytes before the newline is the most a line may hold.
  std::string exact = "login=" + std::string(248, 'a') + "\n";
  ASSERT_EQ(exact.size(), 255u);
  Config e = load("i.ini", exact);
  EXPECT_EQ(strlen(e.login), 63u);
}

TEST_F(ConfigFile, MissingAndEmptyFilesFail) {
  Config c;
  EXPECT_FALSE(load_config(&c, "missing.ini"));
  write_text("empty.ini", "");
  EXPECT_FALSE(load_config(&c, "empty.ini"));
  EXPECT_EQ(c.path, nullptr);
}

TEST_F(ConfigFile, SaveFormatAndOnlyConfigIni) {
  Config c = load("config.ini", "server_name = 127.0.0.1\nlogin = alice\nmusic_gain = 0.5\nlmb_movement = 1\n# gone\n");
  EXPECT_TRUE(c.enable_lmb_movement);
  c.auto_login = 0;
  ASSERT_TRUE(save_config_to(&c));
  EXPECT_EQ(read_text("config.ini"),
            "auto_login = 0\nlogin = alice\nserver_timeout_ms = 100\nserver_name = 127.0.0.1\n"
            "music_gain = 0.500000\nsound_gain = 0.750000\nlmb_movement = 1\ndebug_log = 0\n");
  // What was written reads back the same, the mouse option included.
  Config again;
  ASSERT_TRUE(load_config(&again, "config.ini"));
  EXPECT_TRUE(again.enable_lmb_movement);
  EXPECT_STREQ(again.login, "alice");
  path_set(again.debug_log_path, "/tmp/d.log");
  ASSERT_TRUE(save_config_to(&again));
  EXPECT_NE(read_text("config.ini").find("debug_log_path = /tmp/d.log\n"), std::string::npos);

  Config other = load("config.dev.ini", "login = dev\n");
  EXPECT_FALSE(save_config_to(&other));
  EXPECT_EQ(read_text("config.dev.ini"), "login = dev\n");
  Config sub = load("x.ini", "login = x\n");
  EXPECT_FALSE(save_config_to(&sub));
}

TEST_F(ConfigFile, DebugLogFile) {
  Config c = load("j.ini", "debug_log = 1\ndebug_log_path = log.txt\n");
  ASSERT_NE(c.debug_log_file, stderr);
  fclose(c.debug_log_file);
  EXPECT_EQ(read_text("log.txt").rfind("[start] ", 0), 0u);
  Config bad = load("k.ini", "debug_log = 1\ndebug_log_path = /nonexistent/dir/log.txt\n");
  EXPECT_EQ(bad.debug_log_file, stderr);
}

TEST_F(ConfigFile, ChoiceOfFile) {
  write_text("config.dev.ini", "login = dev\n");
  write_text("config.ini", "login = plain\n");
  write_text("env.ini", "login = env\n");
  Config saved = game.config;
  game.config = Config();
  setenv("CONFIG_PATH", "env.ini", 1);
  ASSERT_TRUE(load_default_config());
  EXPECT_STREQ(game.config.login, "env");
  unsetenv("CONFIG_PATH");
  game.config = Config();
  ASSERT_TRUE(load_default_config());
  EXPECT_STREQ(game.config.login, "dev");
  unlink("config.dev.ini");
  game.config = Config();
  ASSERT_TRUE(load_default_config());
  EXPECT_STREQ(game.config.login, "plain");
  game.config = saved;
}
