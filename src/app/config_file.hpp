#pragma once
// The client's settings file: choice of file, parser, defaults and the save format.
#include "types.hpp"

constexpr int CONFIG_LINE_MAX = 254;

struct Config {
  const char* path = nullptr;
  char login[64] = {};
  char server_name[64] = {};
  int auto_login = 0;
  f32 server_timeout_ms = 0;
  f32 music_gain = 0;
  f32 sound_gain = 0;
  int debug_log = 0;
  Path debug_log_path;
  bool enable_lmb_movement = false;
  FILE* debug_log_file = nullptr;
};

bool load_default_config();
bool load_config(Config* config, const char* path);
void config_parse(Config* config, const u8* data, int size);
void load_config_value(Config* config, int line, const char* key, const char* value);
// Writes `config` to its own path when that path is "config.ini"; false when nothing was written.
bool save_config_to(const Config* config);
void save_config();
