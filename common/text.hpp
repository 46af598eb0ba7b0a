#pragma once
// Non-owning string views, a UTF-8 iterator and the fixed-capacity Text value.
#include "types.hpp"

#define str_fmt "%.*s"
#define str_arg(s) (int)(s).len, (s).data

struct Str {
  const char* data = nullptr;
  int len = 0;
  Str() = default;
  Str(const char* s) : data(s), len(s ? (int)strlen(s) : 0) {}
  Str(const char* s, int n) : data(s), len(n) {}
};

struct StrIter {
  Str str;
  int next_index = 0;
  int code_point = 0;
};

bool str_eq(Str a, Str b);
void next(StrIter& it);
StrIter str_iter(Str s);

void cstr_copy(char* dst, const char* src, int dst_len);
bool cstr_equal(const char* a, const char* b);
bool cstr_ends_with(const char* s, const char* suffix);

// Either a reference to a literal or an inline copy of at most 127 bytes; the buffer wins when set.
struct Text {
  const char* literal = nullptr;
  char buffer[128] = {};
  int length = 0;

  Text() = default;
  Text(const char* s) : literal(s), length(s ? (int)strlen(s) : 0) {}

  const char* cstr() const {
    if (buffer[0]) return buffer;
    if (literal) return literal;
    return "";
  }
  Str str() const { return Str(cstr(), length); }
  StrIter iter() const { return str_iter(str()); }
  const char* translated() const { return cstr(); }
};
static_assert(sizeof(Text) == 144);

void text_set(Text& text, Str str);
void text_clear(Text& text);
bool text_equal(const Text& a, const Text& b);
u64 text_hash(const Text& t);
Text tprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Formats the enclosing function's variadic arguments into a 256-byte local array named `label`.
#define va_printf(label, fmt)                              \
  char label[256];                                         \
  do {                                                     \
    va_list va_printf_args_;                               \
    va_start(va_printf_args_, fmt);                        \
    vsnprintf(label, sizeof(label), fmt, va_printf_args_); \
    va_end(va_printf_args_);                               \
  } while (0)
