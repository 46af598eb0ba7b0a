// Frame cost of clearing, one glowing effect and post-processing at two window sizes.
#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include "app/client.hpp"
#include "render/renderer.hpp"

static bool renderer_bench_ready() {
  static int state = 0;  // 0: not tried, 1: ready, -1: no display
  if (state) return state > 0;
  state = -1;
  if (!getenv("DISPLAY")) return false;
  init_window();
  SDL_SetWindowSize(game.window, 320, 240);
  init_opengl();
  update_window_size();
  state = 1;
  return true;
}

static void renderer_frame(benchmark::State& st, int w, int h) {
  if (!renderer_bench_ready()) {
    st.SkipWithError("no display (run under scripts/with-xvfb.sh)");
    return;
  }
  renderer.window_width = w;
  renderer.window_height = h;
  fit_render_targets();
  for (auto _ : st) {
    draw_clear(Color{{0.1f, 0.1f, 0.1f, 1}});
    draw_slash(v3{{100, 100, 0}}, v3{{40, 40, 1}}, Color{{1, 0.5f, 0, 0}}, 0, tau, 0.6f);
    post_process();
    glFinish();
  }
  update_window_size();
}

static void BM_RendererFrameWindowRegion(benchmark::State& st) { renderer_frame(st, 320, 240); }
static void BM_RendererFrameWindowRegion720p(benchmark::State& st) { renderer_frame(st, 1280, 720); }
BENCHMARK(BM_RendererFrameWindowRegion)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RendererFrameWindowRegion720p)->Unit(benchmark::kMillisecond)->Iterations(10);
