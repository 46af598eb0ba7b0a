// The out-of-line parts of the foundation: text, time, memory, files, fatal errors.
#include <errno.h>
#include <sys/stat.h>
#include <time.h>

#include "math.hpp"
#include "types.hpp"

void assert_failed(const char* file, int line, const char* function, const char* condition) {
  fprintf(stderr, "%s:%d: %s: Assertion '%s' failed\n", file, line, function, condition);
  fflush(stderr);
  debug_trap();
}

void panic(const char* fmt, ...) {
  fputs("PANIC: ", stderr);
  va_list args;
  va_start(args, fmt);
  vfprintf(stderr, fmt, args);
  va_end(args);
  fflush(stderr);
  debug_trap();
}

// --- strings

bool str_eq(Str a, Str b) { return a.len == b.len && strncmp(a.data, b.data, a.len) == 0; }

void next(StrIter& it) {
  const Str& s = it.str;
  int i = it.next_index;
  if (i >= s.len) {
    it.code_point = 0;
    return;
  }
  const u8* p = (const u8*)s.data + i;
  int left = s.len - i;
  u32 b = p[0];
  // A sequence cut short by the end of the string reads as one unknown character.
  if (b < 0x80) {
    it.code_point = (int)b;
    it.next_index += 1;
  } else if ((b & 0xE0) == 0xC0 && left >= 2) {
    it.code_point = (int)(((b << 6) & 0x7C0) | (p[1] & 0x3F));
    it.next_index += 2;
  } else if ((b & 0xF0) == 0xE0 && left >= 3) {
    it.code_point = (int)(((b << 12) & 0xFFFF) | ((p[1] << 6) & 0xFC0) | (p[2] & 0x3F));
    it.next_index += 3;
  } else if ((b & 0xF8) == 0xF0 && left >= 4) {
    it.code_point = (int)(((b << 18) & 0x1C0000) | ((p[1] << 12) & 0x3F000) | ((p[2] << 6) & 0xFC0) | (p[3] & 0x3F));
    it.next_index += 4;
  } else {
    it.code_point = '?';
    it.next_index += 1;
  }
}

StrIter str_iter(Str s) {
  StrIter it;
  it.str = s;
  next(it);
  return it;
}

void cstr_copy(char* dst, const char* src, int dst_len) {
  if (dst_len <= 0) return;
  int i = 0;
  for (; i < dst_len - 1 && src[i]; i++) dst[i] = src[i];
  dst[i] = 0;
}

bool cstr_equal(const char* a, const char* b) { return strcmp(a, b) == 0; }

bool cstr_ends_with(const char* s, const char* suffix) {
  size_t n = strlen(s), m = strlen(suffix);
  if (m > n) return false;
  return memcmp(s + n - m, suffix, m) == 0;
}

void text_set(Text& text, Str str) {
  int n = str.len < 127 ? str.len : 127;
  if (n < 0) n = 0;
  memcpy(text.buffer, str.data, (size_t)n);
  text.buffer[n] = 0;
  text.length = n;
}

void text_clear(Text& text) { memset((void*)&text, 0, sizeof(Text)); }

bool text_equal(const Text& a, const Text& b) { return strcmp(a.cstr(), b.cstr()) == 0; }

u64 text_hash(const Text& t) {
  u64 h = 5381;
  const char* s = t.cstr();
  for (int i = 0; i < t.length; i++) h = (h << 5) + (u64)(s64)(signed char)s[i];
  return h;
}

Text tprintf(const char* fmt, ...) {
  Text t;
  text_clear(t);
  va_list args;
  va_start(args, fmt);
  int n = vsnprintf(t.buffer, sizeof(t.buffer), fmt, args);
  va_end(args);
  if (n < 0) n = 0;
  t.length = n < 127 ? n : 127;
  return t;
}

// --- time

Time time_now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return {(u64)ts.tv_sec * 1000000000ull + (u64)ts.tv_nsec};
}

const char* time_str(Time t) {
  static char buffers[8][128];
  static int counter;
  char* buffer = buffers[counter++ % 8];
  u64 secs = t.ns / 1000000000ull;
  u64 ms = t.ns / 1000000ull;
  snprintf(buffer, 128, "%02d:%02d:%02d:%03d", (int)(secs / 3600), (int)((secs % 3600) / 60), (int)((secs % 3600) % 60),
           (int)(ms % 1000));
  return buffer;
}

Measure measure_start(const char* label) {
  Measure m;
  m.start = time_now();
  m.label = label;
  return m;
}

void Measure::report(const char* what) {
  Time now = time_now();
  f32 since_last = time_is_zero(last_report) ? 0.0f : to_ms(now - last_report);
  printf("Measure::%-10s | %-15s | %+10.3fms | %10.3fms\n", label, what, since_last, to_ms(now - start));
  last_report = now;
}

void Measure::end() { printf("Measure::%s %fms\n", label, to_ms(time_now() - start)); }

// --- memory and files

Arena* malloc_arena(u64 cap) {
  Arena* arena = (Arena*)malloc(sizeof(Arena) + cap);
  if (!arena) panic("Cannot allocate an arena of %llu bytes\n", (unsigned long long)cap);
  arena->data = (u8*)(arena + 1);
  arena->len = 0;
  arena->cap = cap;
  arena->last_alloc_size = 0;
  return arena;
}

void* arena_alloc(Arena* arena, u64 size) {
  u64 start = (arena->len + 15) & ~(u64)15;
  if (start > arena->cap || size > arena->cap - start) return nullptr;
  arena->len = start + size;
  arena->last_alloc_size = size;
  return arena->data + start;
}

void path_set(Path& path, const char* str) {
  if (strlen(str) >= sizeof(path.buffer)) panic("Path '%s' was truncated!\n", str);
  cstr_copy(path.buffer, str, (int)sizeof(path.buffer));
}

Buffer read_file(const char* path) {
  Buffer buffer;
  FILE* f = fopen(path, "r");
  if (!f) {
    buffer.error = errno;
    fprintf(stderr, "Cannot open file '%s' for reading: %s\n", path, strerror(errno));
    return buffer;
  }
  long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  if (size < 0 || size > 0x7FFFFFFF || fseek(f, 0, SEEK_SET) != 0) {
    buffer.error = errno ? errno : EIO;
    fclose(f);
    return buffer;
  }
  if (size > 0) {
    buffer.data = (u8*)malloc((size_t)size);
    if (!buffer.data) panic("Cannot allocate %ld bytes for '%s'\n", size, path);
    buffer.size = (int)fread(buffer.data, 1, (size_t)size, f);
    if (buffer.size == 0) {
      free(buffer.data);
      buffer.data = nullptr;
    }
  }
  fclose(f);
  return buffer;
}

void buffer_free(Buffer* buffer) {
  debug_assert(buffer->data);
  free(buffer->data);
  *buffer = {};
}

bool file_exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

// --- matrices and quaternions

m4 m4_perspective(f32 n, f32 f, f32 l, f32 r, f32 b, f32 t) {
  m4 m = {};
  m.elements[0] = 2 * n / (r - l);
  m.elements[2] = (r + l) / (r - l);
  m.elements[5] = 2 * n / (t - b);
  m.elements[6] = (t + b) / (t - b);
  m.elements[10] = -(f + n) / (f - n);
  m.elements[11] = -2 * f * n / (f - n);
  m.elements[14] = -1;
  return m;
}

m4 m4_frustum(f32 fov_y, f32 aspect_ratio, f32 near_plane, f32 far_plane) {
  f32 top = near_plane * tanf(fov_y / 2);
  f32 right = aspect_ratio * top;
  return m4_perspective(near_plane, far_plane, -right, right, -top, top);
}

m4 m4_ortho(f32 l, f32 r, f32 b, f32 t, f32 n, f32 f) {
  m4 m = {};
  m.elements[0] = 2 / (r - l);
  m.elements[3] = -(r + l) / (r - l);
  m.elements[5] = 2 / (t - b);
  m.elements[7] = -(t + b) / (t - b);
  m.elements[10] = -2 / (f - n);
  m.elements[11] = -(f + n) / (f - n);
  m.elements[15] = 1;
  return m;
}

m4 m4_look_at(v3 pos, v3 target, v3 up) {
  v3 back = v3_normalized(pos - target);
  v3 right = v3_normalized(v3_cross(up, back));
  v3 up2 = v3_normalized(v3_cross(back, right));
  return m4_from_columns(right, up2, back, pos);
}

m4 m4_inverse(const m4& mat) {
  const f32* m = mat.elements;
  f32 inv[16];
  inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
           m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
  inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
           m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
  inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
           m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
  inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
            m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
  inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
           m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
  inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
           m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
  inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
           m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
  inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
            m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
  inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] + m[13] * m[2] * m[7] -
           m[13] * m[3] * m[6];
  inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
           m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
  inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
            m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
  inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
            m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
  inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] - m[9] * m[2] * m[7] +
           m[9] * m[3] * m[6];
  inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] + m[8] * m[2] * m[7] -
           m[8] * m[3] * m[6];
  inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] - m[8] * m[1] * m[7] +
            m[8] * m[3] * m[5];
  inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] -
            m[8] * m[2] * m[5];
  f32 det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
  f32 inv_det = 1.0f / det;
  m4 r;
  for (int i = 0; i < 16; i++) r.elements[i] = inv[i] * inv_det;
  return r;
}

m4 quaternion_to_m4(v4 q) {
  f32 x = q.x, y = q.y, z = q.z, w = q.w;
  m4 m = m4_identity();
  m._00 = 1 - 2 * (y * y + z * z), m._01 = 2 * (x * y - z * w), m._02 = 2 * (x * z + y * w);
  m._10 = 2 * (x * y + z * w), m._11 = 1 - 2 * (x * x + z * z), m._12 = 2 * (y * z - x * w);
  m._20 = 2 * (x * z - y * w), m._21 = 2 * (y * z + x * w), m._22 = 1 - 2 * (x * x + y * y);
  return m;
}

v4 quaternion_from_m4(const m4& m) {
  f32 w4 = m._00 + m._11 + m._22;
  f32 x4 = m._00 - m._11 - m._22;
  f32 y4 = m._11 - m._00 - m._22;
  f32 z4 = m._22 - m._00 - m._11;
  int winner = 0;
  f32 largest = w4;
  if (x4 > largest) largest = x4, winner = 1;
  if (y4 > largest) largest = y4, winner = 2;
  if (z4 > largest) largest = z4, winner = 3;
  f32 big = sqrtf(largest + 1) * 0.5f;
  f32 mult = 0.25f / big;
  switch (winner) {
    case 0: return {(m._21 - m._12) * mult, (m._02 - m._20) * mult, (m._10 - m._01) * mult, big};
    case 1: return {big, (m._01 + m._10) * mult, (m._20 + m._02) * mult, (m._21 - m._12) * mult};
    case 2: return {(m._01 + m._10) * mult, big, (m._12 + m._21) * mult, (m._02 - m._20) * mult};
    default: return {(m._20 + m._02) * mult, (m._12 + m._21) * mult, big, (m._10 - m._01) * mult};
  }
}

v4 quaternion_nlerp(v4 q1, v4 q2, f32 amount) {
  v4 r = q1 + (q2 - q1) * amount;
  f32 l = v4_len(r);
  if (l == 0) l = 1;
  return r / l;
}

v4 slerp(v4 q1, v4 q2, f32 amount) {
  f32 d = v4_dot(q1, q2);
  if (d < 0) {
    q2 = -q2;
    d = -d;
  }
  if (fabsf(d) >= 1) return q1;
  if (d > 0.95f) return quaternion_nlerp(q1, q2, amount);
  f32 theta = acosf(d);
  f32 s = sqrtf(1 - d * d);
  if (fabsf(s) < 0.000001f) return q2 * 0.5f + q1 * 0.5f;
  return q2 * (sinf(amount * theta) / s) + q1 * (sinf((1 - amount) * theta) / s);
}

v3 quaternion_to_euler(v4 q) {
  v3 r;
  r.x = atan2f(2 * (q.z * q.y + q.w * q.x), 1 - 2 * (q.y * q.y + q.x * q.x));
  r.y = asinf(clamp(2 * (q.y * q.w - q.x * q.z), -1.0f, 1.0f));
  r.z = atan2f(2 * (q.y * q.x + q.w * q.z), 1 - 2 * (q.z * q.z + q.y * q.y));
  return r;
}

// --- geometric tests

bool segment_intersects_bbox(v3 a, v3 b, Bbox box) {
  v3 d = b - a;
  f32 tmin = 0, tmax = 1;
  for (int i = 0; i < 3; i++) {
    if (fabsf(d.elements[i]) < 0.000001f) {
      if (a.elements[i] < box.min.elements[i] || a.elements[i] > box.max.elements[i]) return false;
    } else {
      f32 inv = 1.0f / d.elements[i];
      f32 t1 = (box.min.elements[i] - a.elements[i]) * inv;
      f32 t2 = (box.max.elements[i] - a.elements[i]) * inv;
      tmin = max(tmin, min(t1, t2));
      tmax = min(tmax, max(t1, t2));
    }
  }
  return tmax >= tmin;
}

f32 closest_point_segment_segment(v3 p1, v3 q1, v3 p2, v3 q2, f32& s, f32& t, v3& c1, v3& c2) {
  const f32 eps = 1.1920929e-07f;
  v3 d1 = q1 - p1, d2 = q2 - p2, r = p1 - p2;
  f32 a = v3_dot(d1, d1), e = v3_dot(d2, d2), f = v3_dot(d2, r);
  if (a <= eps && e <= eps) {
    s = t = 0;
    c1 = p1;
    c2 = p2;
    return v3_len_sqr(c1 - c2);
  }
  if (a <= eps) {
    s = 0;
    t = clamp(f / e, 0.0f, 1.0f);
  } else {
    f32 c = v3_dot(d1, r);
    if (e <= eps) {
      t = 0;
      s = clamp(-c / a, 0.0f, 1.0f);
    } else {
      f32 b = v3_dot(d1, d2);
      f32 denom = a * e - b * b;
      s = denom != 0 ? clamp((b * f - c * e) / denom, 0.0f, 1.0f) : 0.0f;
      t = (b * s + f) / e;
      if (t < 0) {
        t = 0;
        s = clamp(-c / a, 0.0f, 1.0f);
      } else if (t > 1) {
        t = 1;
        s = clamp((b - c) / a, 0.0f, 1.0f);
      }
    }
  }
  c1 = p1 + d1 * s;
  c2 = p2 + d2 * t;
  return v3_len_sqr(c1 - c2);
}

bool segment_intersects_capsule(v3 segment_start, v3 segment_end, v3 capsule_a, v3 capsule_b, f32 capsule_radius) {
  f32 s, t;
  v3 c1, c2;
  return closest_point_segment_segment(segment_start, segment_end, capsule_a, capsule_b, s, t, c1, c2) <=
         capsule_radius * capsule_radius;
}

// --- colours

Color from_hsv(f32 h, f32 s, f32 v, f32 a) {
  int i = (int)(h * 6);
  f32 f = h * 6 - (f32)i;
  f32 p = v * (1 - s), q = v * (1 - f * s), t = v * (1 - (1 - f) * s);
  switch (((i % 6) + 6) % 6) {
    case 0: return {{v, t, p, a}};
    case 1: return {{q, v, p, a}};
    case 2: return {{p, v, t, a}};
    case 3: return {{p, q, v, a}};
    case 4: return {{t, p, v, a}};
    default: return {{v, p, q, a}};
  }
}
