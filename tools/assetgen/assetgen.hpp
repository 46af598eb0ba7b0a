#pragma once
// The asset generator: each generator file registers itself and writes its files under the output folder.
#include "types.hpp"

typedef bool (*AssetGeneratorFn)(const char* out_dir);

int assetgen_register(const char* name, AssetGeneratorFn fn);
#define ASSETGEN_REGISTER(name, fn) static int assetgen_registration_##fn = assetgen_register(name, fn)

// Creates the folder and its parents; false on failure.
bool assetgen_make_dirs(const char* path);
// Writes an 8-bit PNG (1 to 4 channels), creating the folder; false on failure.
bool assetgen_write_png(const char* path, int w, int h, int channels, const u8* pixels);
// Encodes an 8-bit PNG into memory (for embedding); the caller frees the result with free().
u8* assetgen_encode_png(int w, int h, int channels, const u8* pixels, int* out_size);
bool assetgen_write_file(const char* path, const void* data, size_t size);
