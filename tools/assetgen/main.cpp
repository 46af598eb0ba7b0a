// valmire-assetgen: writes every run-time asset of the client, deterministically.
#include <errno.h>
#include <sys/stat.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include "assetgen.hpp"

struct AssetGenerator {
  const char* name;
  AssetGeneratorFn fn;
};

static AssetGenerator* assetgen_list() {
  static AssetGenerator generators[32];
  return generators;
}
static int assetgen_count;

int assetgen_register(const char* name, AssetGeneratorFn fn) {
  if (assetgen_count >= 32) panic("too many asset generators\n");
  assetgen_list()[assetgen_count++] = {name, fn};
  return assetgen_count;
}

bool assetgen_make_dirs(const char* path) {
  char buffer[512];
  cstr_copy(buffer, path, (int)sizeof(buffer));
  for (char* p = buffer + 1; *p; p++) {
    if (*p != '/') continue;
    *p = 0;
    if (mkdir(buffer, 0755) != 0 && errno != EEXIST) return false;
    *p = '/';
  }
  return mkdir(buffer, 0755) == 0 || errno == EEXIST;
}

static bool assetgen_make_parent(const char* path) {
  char buffer[512];
  cstr_copy(buffer, path, (int)sizeof(buffer));
  char* slash = strrchr(buffer, '/');
  if (!slash) return true;
  *slash = 0;
  return assetgen_make_dirs(buffer);
}

bool assetgen_write_file(const char* path, const void* data, size_t size) {
  if (!assetgen_make_parent(path)) return false;
  FILE* f = fopen(path, "wb");
  if (!f) {
    fprintf(stderr, "assetgen: cannot write '%s': %s\n", path, strerror(errno));
    return false;
  }
  bool ok = fwrite(data, 1, size, f) == size;
  ok = fclose(f) == 0 && ok;
  return ok;
}

u8* assetgen_encode_png(int w, int h, int channels, const u8* pixels, int* out_size) {
  return stbi_write_png_to_mem(pixels, w * channels, w, h, channels, out_size);
}

bool assetgen_write_png(const char* path, int w, int h, int channels, const u8* pixels) {
  int size = 0;
  u8* png = assetgen_encode_png(w, h, channels, pixels, &size);
  if (!png) return false;
  bool ok = assetgen_write_file(path, png, (size_t)size);
  free(png);
  return ok;
}

int main(int argc, char** argv) {
  const char* out_dir = "assets";
  const char* only = nullptr;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--out") && i + 1 < argc) {
      out_dir = argv[++i];
    } else if (!strcmp(argv[i], "--only") && i + 1 < argc) {
      only = argv[++i];
    } else if (!strcmp(argv[i], "--help")) {
      printf("usage: valmire-assetgen [--out DIR] [--only NAME]\n");
      printf("Writes every run-time asset of the client into DIR (default: assets).\n");
      printf("Generators:");
      for (int g = 0; g < assetgen_count; g++) printf(" %s", assetgen_list()[g].name);
      printf("\n");
      return 0;
    } else {
      fprintf(stderr, "valmire-assetgen: unknown argument '%s' (try --help)\n", argv[i]);
      return 2;
    }
  }
  if (!assetgen_make_dirs(out_dir)) {
    fprintf(stderr, "valmire-assetgen: cannot create '%s'\n", out_dir);
    return 1;
  }
  // Registration order depends on the link order; run them in name order so output is reproducible.
  AssetGenerator* list = assetgen_list();
  for (int i = 1; i < assetgen_count; i++)
    for (int j = i; j > 0 && strcmp(list[j - 1].name, list[j].name) > 0; j--) Swap(list[j - 1], list[j]);
  int failures = 0;
  for (int g = 0; g < assetgen_count; g++) {
    if (only && strcmp(only, list[g].name)) continue;
    Time start = time_now();
    bool ok = list[g].fn(out_dir);
    printf("assetgen: %-10s %s (%.0f ms)\n", list[g].name, ok ? "ok" : "FAILED", to_ms(time_since(start)));
    if (!ok) failures++;
  }
  return failures ? 1 : 0;
}
