#pragma once
// Scalar types, assertions and fatal errors: the base everything else includes.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef int8_t s8;
typedef int16_t s16;
typedef int32_t s32;
typedef int64_t s64;
typedef float f32;
typedef double f64;

#define debug_trap() __builtin_trap()
#define debug_assert(cond)     \
  do {                         \
    if (!(cond)) debug_trap(); \
  } while (0)

[[noreturn]] void assert_failed(const char* file, int line, const char* function, const char* condition);
[[noreturn]] void panic(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Always on, whatever NDEBUG says: an internal invariant that fails stops the program with its place.
#undef assert
#define assert(cond)                                                 \
  do {                                                               \
    if (!(cond)) assert_failed(__FILE__, __LINE__, __func__, #cond); \
  } while (0)

#define todo(msg) panic("[TODO] %s", msg)
#define not_implemented() panic("not implemented")

template <typename T, size_t N>
constexpr int len(const T (&)[N]) {
  return (int)N;
}

template <typename T>
inline void Swap(T& a, T& b) {
  T t = a;
  a = b;
  b = t;
}

inline void toggle(bool& b) { b = !b; }

#include "text.hpp"
#include "time.hpp"
#include "memory.hpp"
