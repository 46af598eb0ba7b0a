// PNG encoding with zlib: signature, IHDR, one IDAT, IEND. Each row starts with filter type 0 (none);
// tile maps are runs of equal bytes, which deflate handles well without filtering.
#include "png.hpp"

#include <zlib.h>

static void put_u32(u8* p, u32 v) {
  p[0] = (u8)(v >> 24);
  p[1] = (u8)(v >> 16);
  p[2] = (u8)(v >> 8);
  p[3] = (u8)v;
}

// Writes length, type and CRC around `size` data bytes already placed at p + 8.
static int finish_chunk(u8* p, const char* type, int size) {
  put_u32(p, (u32)size);
  memcpy(p + 4, type, 4);
  uLong crc = crc32(0, p + 4, (uInt)(size + 4));
  put_u32(p + 8 + size, (u32)crc);
  return 12 + size;
}

int png_write_gray8(const u8* pixels, int width, int height, u8* out, int capacity) {
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return 0;
  static const u8 signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const int fixed = 8 + (12 + 13) + 12 + 12;
  if (capacity < fixed) return 0;
  u64 raw_size = (u64)(width + 1) * (u64)height;
  u8* raw = (u8*)malloc(raw_size);
  if (!raw) return 0;
  for (int y = 0; y < height; y++) {
    raw[(u64)y * (width + 1)] = 0;
    memcpy(raw + (u64)y * (width + 1) + 1, pixels + (u64)y * width, (size_t)width);
  }

  u8* p = out;
  memcpy(p, signature, 8);
  p += 8;
  u8* ihdr = p + 8;
  put_u32(ihdr, (u32)width);
  put_u32(ihdr + 4, (u32)height);
  ihdr[8] = 8;   // bit depth
  ihdr[9] = 0;   // grayscale
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // adaptive filtering
  ihdr[12] = 0;  // no interlace
  p += finish_chunk(p, "IHDR", 13);

  uLongf idat_size = (uLongf)(capacity - (p - out) - 12 - 12);
  int rc = compress2(p + 8, &idat_size, raw, (uLong)raw_size, 9);
  free(raw);
  if (rc != Z_OK) return 0;
  p += finish_chunk(p, "IDAT", (int)idat_size);
  p += finish_chunk(p, "IEND", 0);
  return (int)(p - out);
}
