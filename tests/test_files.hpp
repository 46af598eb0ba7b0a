#pragma once
// Whole files written and read back by the tests.
#include <stdio.h>

#include <string>

#include "types.hpp"

// Writes `text` as the whole file; false when it cannot be written.
inline bool write_text(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}

// The whole file, or "<missing>" when it cannot be read.
inline std::string read_text(const std::string& path) {
  Buffer b = read_file(path.c_str());
  if (!b.data) return "<missing>";
  std::string s((const char*)b.data, (size_t)b.size);
  buffer_free(&b);
  return s;
}
