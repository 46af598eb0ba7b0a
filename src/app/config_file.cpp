#include "app/config_file.hpp"

#include <errno.h>

#include "app/client.hpp"
#include "math.hpp"

bool load_default_config() {
  const char* path = getenv("CONFIG_PATH");
  if (!path) path = file_exists("config.dev.ini") ? "config.dev.ini" : "config.ini";
  return load_config(&game.config, path);
}

bool load_config(Config* config, const char* path) {
  printf("Loading config from '%s'\n", path);
  Buffer buffer = read_file(path);
  if (!buffer.data || buffer.size == 0) {
    fprintf(stderr, "Config not found or empty\n");
    return false;
  }
  assert(!config->path);
  config->path = path;
  config->server_timeout_ms = 100;
  config->music_gain = 0.5f;
  config->sound_gain = 0.75f;
  config->debug_log_file = stderr;

  config_parse(config, buffer.data, buffer.size);
  buffer_free(&buffer);

  if (config->debug_log) {
    FILE* f = fopen(config->debug_log_path.cstr(), "a");
    if (!f) {
      printf("Failed to open debug fail at '%s'\n", config->debug_log_path.cstr());
    } else {
      config->debug_log_file = f;
    }
    fprintf(config->debug_log_file, "[start] %ld\n", (long)time_now().ns);
    fflush(config->debug_log_file);
  }
  return true;
}

void config_parse(Config* config, const u8* data, int size) {
  char key[256], value[256];
  char* current = key;
  int current_len = 0;
  int line = 1;
  int column = 0;
  bool comment = false;
  bool too_long = false;
  key[0] = value[0] = 0;
  int key_len = 0;

  auto start_line = [&]() {
    current = key;
    current_len = 0;
    key[0] = value[0] = 0;
    key_len = 0;
    comment = false;
    too_long = false;
    column = 0;
  };
  auto apply = [&]() {
    current[current_len] = 0;
    if (current == key) key_len = current_len;
    (void)key_len;
    load_config_value(config, line, key, value);
  };

  start_line();
  for (int i = 0; i < size; i++) {
    u8 c = data[i];
    column++;
    if (c == '\n') {
      bool empty = column == 1;
      if (too_long) {
        printf("config: (line: %d): line longer than %d bytes, skipped\n", line, CONFIG_LINE_MAX);
      } else if (!comment && !empty) {
        apply();
      }
      line++;
      start_line();
      continue;
    }
    if (too_long) continue;
    // The buffers hold 256 bytes: a longer line is reported once its end is found and never applied.
    if (column > CONFIG_LINE_MAX) {
      too_long = true;
      continue;
    }
    if (comment) continue;
    if (c == ' ') continue;
    if (c == '#') {
      comment = true;
      continue;
    }
    if (c == '=' && current == key) {
      key[current_len] = 0;
      current = value;
      current_len = 0;
      continue;
    }
    current[current_len++] = (char)c;
    if (i == size - 1) apply();
  }
  if (too_long) printf("config: (line: %d): line longer than %d bytes, skipped\n", line, CONFIG_LINE_MAX);
}

static void config_copy_text(char* dst, const char* value, int cap) { cstr_copy(dst, value, cap); }

void load_config_value(Config* config, int line, const char* key, const char* value) {
  printf("config: (line: %d): %s = %s\n", line, key, value);
  if (cstr_equal(key, "auto_login")) {
    config->auto_login = atoi(value);
  } else if (cstr_equal(key, "login")) {
    config_copy_text(config->login, value, (int)sizeof(config->login));
  } else if (cstr_equal(key, "server_name")) {
    config_copy_text(config->server_name, value, (int)sizeof(config->server_name));
  } else if (cstr_equal(key, "server_timeout_ms")) {
    f32 timeout = (f32)atoi(value);
    if (timeout < config->server_timeout_ms) {
      printf("Skiping server_timeout_ms, must be > %f\n", config->server_timeout_ms);
    } else {
      config->server_timeout_ms = timeout;
    }
  } else if (cstr_equal(key, "music_gain")) {
    config->music_gain = clamp((f32)atof(value), 0.0f, 1.0f);
  } else if (cstr_equal(key, "sound_gain")) {
    config->sound_gain = clamp((f32)atof(value), 0.0f, 1.0f);
  } else if (cstr_equal(key, "enable_lmb_movement") || cstr_equal(key, "lmb_movement")) {
    // The writer has always used "lmb_movement"; reading both lets the option survive a save.
    config->enable_lmb_movement = atoi(value) != 0;
  } else if (cstr_equal(key, "debug_log")) {
    config->debug_log = atoi(value);
  } else if (cstr_equal(key, "debug_log_path")) {
    if (strlen(value) >= sizeof(config->debug_log_path.buffer)) {
      printf("config: ignoring debug_log_path %s\n", value);
    } else {
      path_set(config->debug_log_path, value);
    }
  } else {
    printf("config: ignoring %s %s\n", key, value);
  }
}

bool save_config_to(const Config* config) {
  if (!config->path || !cstr_equal(config->path, "config.ini")) return false;
  FILE* f = fopen(config->path, "w");
  if (!f) {
    fprintf(stderr, "Cannot save config at '%s': %d\n", config->path, errno);
    return false;
  }
  fprintf(f, "auto_login = %d\n", config->auto_login);
  fprintf(f, "login = %s\n", config->login);
  fprintf(f, "server_timeout_ms = %d\n", (int)config->server_timeout_ms);
  fprintf(f, "server_name = %s\n", config->server_name);
  fprintf(f, "music_gain = %f\n", config->music_gain);
  fprintf(f, "sound_gain = %f\n", config->sound_gain);
  fprintf(f, "lmb_movement = %d\n", config->enable_lmb_movement ? 1 : 0);
  fprintf(f, "debug_log = %d\n", config->debug_log);
  if (config->debug_log_path.buffer[0]) fprintf(f, "debug_log_path = %s\n", config->debug_log_path.cstr());
  fclose(f);
  printf("Saved config at '%s'\n", config->path);
  return true;
}

void save_config() { save_config_to(&game.config); }
