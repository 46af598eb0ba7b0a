#pragma once
// Monotonic time in nanoseconds, the in-game clock and timing measures.
#include "types.hpp"

struct Duration {
  u64 ns = 0;
};

struct Time {
  u64 ns = 0;
};

// The in-game time of day as the server sends it.
struct GameTime {
  u8 hour = 0;
  u8 second = 0;
};
static_assert(sizeof(GameTime) == 2);

constexpr Duration Minutes = {60000000000ull};
constexpr Duration Seconds = {1000000000ull};
constexpr Duration Milliseconds = {1000000ull};
constexpr Duration Microseconds = {1000ull};

inline Duration operator-(Time a, Time b) { return {a.ns - b.ns}; }
inline Duration operator-(Duration a, Duration b) { return {a.ns - b.ns}; }
inline Duration operator+(Duration a, Duration b) { return {a.ns + b.ns}; }
inline Time operator+(Time a, Duration b) { return {a.ns + b.ns}; }
inline Time& operator+=(Time& a, Duration b) {
  a.ns += b.ns;
  return a;
}
inline Duration& operator+=(Duration& a, Duration b) {
  a.ns += b.ns;
  return a;
}
inline bool operator>(Duration a, Duration b) { return a.ns > b.ns; }
inline bool operator<(Duration a, Duration b) { return a.ns < b.ns; }
inline bool operator>=(Duration a, Duration b) { return a.ns >= b.ns; }
inline bool operator<=(Duration a, Duration b) { return a.ns <= b.ns; }
inline bool operator==(Duration a, Duration b) { return a.ns == b.ns; }
inline bool operator==(Time a, Time b) { return a.ns == b.ns; }
inline Duration operator*(f32 k, Duration d) { return {(u64)(k * (f32)d.ns)}; }
inline Duration operator*(Duration d, f32 k) { return k * d; }

Time time_now();
inline bool time_is_zero(Time t) { return t.ns == 0; }
inline Duration time_since(Time t) { return time_now() - t; }
inline f32 to_sec(Duration d) { return (f32)((f64)d.ns * 1e-9); }
inline f32 to_sec(Time t) { return (f32)((f64)t.ns * 1e-9); }
inline f32 to_ms(Duration d) { return (f32)((f64)d.ns * 1e-6); }
inline f32 to_ms(Time t) { return (f32)((f64)t.ns * 1e-6); }

// Formats as hh:mm:ss:mmm into one of 8 rotating static buffers.
const char* time_str(Time t);

struct Measure {
  Time start;
  Time last_report;
  const char* label = "";
  void report(const char* what);
  void end();
};

struct FakeMeasure {
  void report(const char*) {}
  void end() {}
};

Measure measure_start(const char* label);
inline FakeMeasure measure_start_disabled(const char*) { return {}; }

struct MeasureElapsed {
  Measure measure;
  explicit MeasureElapsed(const char* label) : measure(measure_start(label)) {}
  ~MeasureElapsed() { measure.end(); }
};

#define measure_concat_(a, b) a##b
#define measure_concat(a, b) measure_concat_(a, b)
#define measure_scope(label) MeasureElapsed measure_concat(measure_scope_, __LINE__)(label)
#define measure_func() MeasureElapsed measure_concat(measure_func_, __LINE__)(__func__)
