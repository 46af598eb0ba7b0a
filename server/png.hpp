#pragma once
// A minimal PNG writer for one-channel 8-bit images (the world map of tile bytes).
#include "types.hpp"

// Writes the image into `out`; returns the byte count, or 0 when it does not fit in `capacity`.
int png_write_gray8(const u8* pixels, int width, int height, u8* out, int capacity);
