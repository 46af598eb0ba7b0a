#pragma once
// Whole files written and read back by the tests.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "types.hpp"

// A fresh folder under /tmp, removed with all it holds when the value goes.
struct TempDir {
  std::string path;
  TempDir() {
    char name[] = "/tmp/valmire-test-XXXXXX";
    if (mkdtemp(name)) path = name;
  }
  ~TempDir() {
    if (!path.empty()) (void)!system(("rm -rf " + path).c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

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
