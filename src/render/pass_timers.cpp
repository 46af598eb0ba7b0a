// GPU time of each pass from GL timestamp queries. A frame's queries are read back only when the slot
// comes round again, several frames later, so that measuring never makes the CPU wait for the GPU.
#include <glad/gl.h>

#include "render/renderer.hpp"

static const char* const pass_names[RenderPass_Count] = {
    "shadow", "terrain", "entities", "effects", "resolve",   "blur 1", "blur 2",
    "blur 3", "blur 4",  "blur 5",   "blur 6",  "composite", "ui",
};

const char* render_pass_name(RenderPass pass) { return (u32)pass < (u32)RenderPass_Count ? pass_names[pass] : "?"; }

// Passes begun and not yet ended, innermost last. Time is charged to the innermost pass only: an effect
// drawn among the entities ends the entities' interval and a new one begins after it, so the table's rows
// add up to the frame.
static RenderPass open_stack[8];
static int nopen = 0;
// The interval being timed now, or -1 (none, or this frame's intervals ran out).
static int open_interval = -1;

static void interval_open(RenderPass pass) {
  PassTimers& t = renderer.pass_timers;
  int& n = t.nintervals[t.slot];
  if (n >= PASS_TIMER_INTERVALS) {
    open_interval = -1;
    return;
  }
  t.passes[t.slot][n] = (u8)pass;
  glQueryCounter(t.queries[t.slot][n][0], GL_TIMESTAMP);
  open_interval = n++;
}

static void interval_close() {
  PassTimers& t = renderer.pass_timers;
  if (open_interval >= 0) glQueryCounter(t.queries[t.slot][open_interval][1], GL_TIMESTAMP);
  open_interval = -1;
}

void pass_timers_enable(bool on) {
  PassTimers& t = renderer.pass_timers;
  if (on == t.enabled) return;
  if (on && !t.queries[0][0][0]) {
    glCreateQueries(GL_TIMESTAMP, PASS_TIMER_FRAMES * PASS_TIMER_INTERVALS * 2, &t.queries[0][0][0]);
  }
  t.enabled = on;
  for (int& n : t.nintervals) n = 0;
  t.frames_issued = 0;
  nopen = 0;
  open_interval = -1;
  pass_timers_clear();
}

void pass_begin(RenderPass pass) {
  if (!renderer.pass_timers.enabled || nopen >= len(open_stack)) return;
  interval_close();
  open_stack[nopen++] = pass;
  interval_open(pass);
}

void pass_end() {
  if (!renderer.pass_timers.enabled || nopen == 0) return;
  interval_close();
  nopen--;
  if (nopen > 0) interval_open(open_stack[nopen - 1]);
}

void pass_timers_frame_end() {
  PassTimers& t = renderer.pass_timers;
  if (!t.enabled) return;
  while (nopen > 0) pass_end();
  t.frames_issued += 1;
  t.slot = (t.slot + 1) % PASS_TIMER_FRAMES;
  // The slot about to be reused holds the oldest frame in flight.
  if (t.frames_issued >= PASS_TIMER_FRAMES) {
    f64 frame[RenderPass_Count] = {};
    for (int i = 0; i < t.nintervals[t.slot]; i++) {
      GLuint64 begin = 0, end = 0;
      glGetQueryObjectui64v(t.queries[t.slot][i][0], GL_QUERY_RESULT, &begin);
      glGetQueryObjectui64v(t.queries[t.slot][i][1], GL_QUERY_RESULT, &end);
      if (end > begin) frame[t.passes[t.slot][i]] += (f64)(end - begin) / 1e6;
    }
    // Old frames leave the sums, so the table follows what is drawn now.
    if (t.frames_read >= PASS_TIMER_WINDOW) {
      for (int p = 0; p < RenderPass_Count; p++) t.total_ms[p] *= (f64)(PASS_TIMER_WINDOW - 1) / PASS_TIMER_WINDOW;
      t.frames_read = PASS_TIMER_WINDOW - 1;
    }
    for (int p = 0; p < RenderPass_Count; p++) t.total_ms[p] += frame[p];
    t.frames_read += 1;
  }
  t.nintervals[t.slot] = 0;
}

void pass_timers_means(f64* out) {
  const PassTimers& t = renderer.pass_timers;
  for (int p = 0; p < RenderPass_Count; p++) out[p] = t.frames_read ? t.total_ms[p] / t.frames_read : 0;
}

void pass_timers_clear() {
  PassTimers& t = renderer.pass_timers;
  for (f64& v : t.total_ms) v = 0;
  t.frames_read = 0;
}

void pass_timers_print() {
  f64 means[RenderPass_Count];
  pass_timers_means(means);
  f64 sum = 0;
  for (f64 m : means) sum += m;
  printf("GPU time a frame (mean of %u frames, quality %s, %dx%d):\n", renderer.pass_timers.frames_read,
         render_quality_name(renderer.settings.quality), renderer.window_width, renderer.window_height);
  for (int p = 0; p < RenderPass_Count; p++) {
    printf("  %-10s %8.3f ms %5.1f%%\n", pass_names[p], means[p], sum > 0 ? 100.0 * means[p] / sum : 0.0);
  }
  printf("  %-10s %8.3f ms\n", "total", sum);
}
