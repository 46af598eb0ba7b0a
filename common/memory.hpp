#pragma once
// The bump arena, bounded paths and whole-file buffers.
#include "types.hpp"

struct Arena {
  u8* data = nullptr;
  u64 len = 0;
  u64 cap = 0;
  u64 last_alloc_size = 0;
};

Arena* malloc_arena(u64 cap);
inline void arena_clear(Arena* arena) { arena->len = 0; }
// 16-byte aligned; null when the storage is exhausted.
void* arena_alloc(Arena* arena, u64 size);
#define arena_push(arena, T, n) ((T*)arena_alloc((arena), sizeof(T) * (n)))
template <size_t N>
Arena stack_arena(u8 (&storage)[N]) {
  Arena a;
  a.data = storage;
  a.cap = N;
  return a;
}

struct Path {
  char buffer[256] = {};
  const char* cstr() const { return buffer; }
};
void path_set(Path& path, const char* str);

struct Buffer {
  u8* data = nullptr;
  int size = 0;
  int error = 0;
};

Buffer read_file(const char* path);
void buffer_free(Buffer* buffer);
bool file_exists(const char* path);
