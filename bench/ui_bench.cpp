// A realistic UI frame: a HUD, a chat and four windows of item slots, about 500 elements, built with the
// previous-state lookups every widget makes, then laid out. No GL: drawing is not measured here.
#include <benchmark/benchmark.h>

#include "bench_ui.hpp"

#include "app/client.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

static void bench_ui_setup() { bench_ui_window(1920, 1080); }

static UiDialog bench_windows[4];

// One slot as the inventory panels build it: a keyed square and the state of last frame.
static void bench_slot(u64 container, int index, f32 size) {
  UiElement* slot = ui_push_element("item-slot", ui.current_layout);
  slot->key = (container << 32) + (u64)index;
  slot->rect.w = size;
  slot->rect.h = size;
  UiElementState st = ui_get_prev_state(slot);
  slot->bg_color = st.hovered ? Color{{0, 1, 1, 0.3f}} : Color{{1, 1, 1, 0.2f}};
  slot->border_color = theme.slot_border_color;
}

static void bench_build_frame() {
  // HUD: parameter bars and a row of spell buttons at the bottom.
  UiElement* hud = ui_div("hud", {960, 1080});
  hud->anchor = {0.5f, 1};
  ui_param_bar({80, 100}, theme.hp_color, "HP");
  ui_param_bar({30, 50}, theme.mana_color, "Mana");
  ui_param_bar({12, 20}, theme.energy_color, "Energy");
  ui_param_bar({7, 10}, theme.stamina_color, "Stamina");
  UiElement* spells = ui_div("spells-row", {});
  spells->direction = Ui_Horizontal;
  static const char* labels[12] = {"Dash", "Strike", "Cyclone", "Fireball", "Ice",   "Sprint",
                                   "Heal", "Rage",   "Burn",    "Mend",     "Rejuv", "Decay"};
  for (int i = 0; i < 12; i++) {
    UiElementConfig cfg = {};
    cfg.key = (u64)i + 1;
    ui_button(labels[i], cfg);
  }
  ui_end_layout();
  ui_end_layout();

  // Four windows of 8 rows of 12 slots.
  static const char* names[4] = {"gear", "container", "craft", "spells"};
  for (int w = 0; w < 4; w++) {
    UiDialog& d = bench_windows[w];
    d.is_visible = true;
    d.name = names[w];
    d.title = names[w];
    d.default_pos = {200.0f + 400 * (f32)w, 300};
    ui_dialog(d);
    for (int r = 0; r < 8; r++) {
      UiElement* row = ui_begin_layout("slot-row", {});
      row->direction = Ui_Horizontal;
      row->gap = theme.gap.tiny;
      for (int c = 0; c < 12; c++) bench_slot((u64)w + 1, r * 12 + c, 24);
      ui_end_layout();
    }
    ui_end_dialog();
  }

  // Chat lines, stored texts as the chat keeps them, and a few formatted figures.
  static Text lines[20];
  if (!lines[0].length) {
    for (int i = 0; i < 20; i++) lines[i] = tprintf("player%d: message number %d of the chat", i % 4, i);
  }
  UiElement* chat = ui_div("chat", {10, 700});
  for (int i = 0; i < 20; i++) ui_text(lines[i]);
  for (int i = 0; i < 10; i++) ui_textf("%d fps, %.1f ms", 60 + i, 16.6f);
  chat->scroll = true;
  chat->rect.h = 200;
  ui_end_layout();
  set_tooltip(ui.mouse, {0, 1.25f}, "Stone axe [Q: 3] [dmg: 4-7]");
}

static void BM_UiWholeFrame(benchmark::State& state) {
  bench_ui_setup();
  for (int i = 0; i < 2; i++) {  // warm: the previous frame exists, as in a running game
    ui_begin();
    bench_build_frame();
    ui_end();
  }
  for (auto _ : state) {
    ui_begin();
    update_ui();
    bench_build_frame();
    ui_end();
    benchmark::DoNotOptimize(ui.elements_prev[10].rect);
  }
  state.counters["elements"] = ui.nelements_prev;
}
BENCHMARK(BM_UiWholeFrame);

static void BM_UiLayoutPasses(benchmark::State& state) {
  bench_ui_setup();
  ui_begin();
  bench_build_frame();
  ui_end();
  ui_begin();
  bench_build_frame();
  ui_tooltip();
  // The passes rewrite the tree in place; each round starts again from the built, unlaid tree.
  static UiElement saved[UiMaxElements];
  int n = ui.nelements;
  memcpy((void*)saved, (const void*)ui.elements, sizeof(UiElement) * (size_t)n);
  for (auto _ : state) {
    state.PauseTiming();
    memcpy((void*)ui.elements, (const void*)saved, sizeof(UiElement) * (size_t)n);
    state.ResumeTiming();
    ui_compute_layout(&ui.elements[0]);
    benchmark::DoNotOptimize(ui.elements[n - 1].rect);
  }
  state.counters["elements"] = n;
}
BENCHMARK(BM_UiLayoutPasses);

// The scan the index replaces, over the same frame: the baseline of the lookups.
static UiElementState bench_linear_lookup(const UiElement* element) {
  for (int i = 0; i < ui.nelements_prev; i++) {
    const UiElement& e = ui.elements_prev[i];
    if (!text_equal(e.id.name, element->id.name)) continue;
    if (element->key != 0 && e.key != element->key) continue;
    UiElementState s = e.state;
    s.rect = e.rect;
    return s;
  }
  return {};
}

static void bench_lookups(benchmark::State& state, UiElementState (*lookup)(UiElement*)) {
  bench_ui_setup();
  for (int i = 0; i < 2; i++) {
    ui_begin();
    bench_build_frame();
    ui_end();
  }
  int n = ui.nelements_prev;
  for (auto _ : state) {
    for (int i = 0; i < n; i++) benchmark::DoNotOptimize(lookup(&ui.elements_prev[i]));
  }
  state.counters["lookups"] = n;
}

static void BM_UiLookupsIndexed(benchmark::State& state) { bench_lookups(state, ui_get_prev_state); }
BENCHMARK(BM_UiLookupsIndexed);

static void BM_UiLookupsLinearScan(benchmark::State& state) {
  bench_lookups(state, [](UiElement* e) { return bench_linear_lookup(e); });
}
BENCHMARK(BM_UiLookupsLinearScan);

// Machine baseline: copying one whole 512-slot tree, which every frame does once.
static void BM_UiCopyWholeTree(benchmark::State& state) {
  for (auto _ : state) {
    memcpy((void*)ui.elements_prev, (const void*)ui.elements, sizeof(ui.elements));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UiCopyWholeTree);
