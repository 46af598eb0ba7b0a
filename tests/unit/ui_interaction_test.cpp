// Hit testing and state across simulated frames, the previous-frame lookup, overflow, tooltip, dump.
#include <random>

#include "ui_test_support.hpp"

struct UiInteraction : UiTest {
  // A 200 x 100 box named "box" at (100, 100); returns the state it had a frame ago.
  static UiElementState box(u64 key = 0, const char* name = "box") {
    UiElement* e = ui_push_element(name, ui.current_layout);
    e->floating = true;
    e->rect = {100, 100, 200, 100};
    e->key = key;
    return ui_get_prev_state(e);
  }
  static constexpr v2 inside = {150, 150};
  static constexpr v2 outside = {50, 50};
};

TEST_F(UiInteraction, StateArrivesOneFrameLateAndClickOnlyOnThePressFrame) {
  struct Step {
    UiTestInput in;
    bool hovered, active, clicked;  // what the widget reads this frame
  } steps[] = {
      {{inside, true, true, false}, false, false, false},  // new element: nothing yet, even pressed
      {{inside, true, false, false}, true, true, true},    // last frame's press
      {{inside, false, false, true}, true, true, false},   // held last frame: active, not clicked
      {{outside, false, false, false}, true, false, false}, {{outside, false, false, false}, false, false, false},
  };
  int i = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(i++);
    UiElementState st;
    frame(s.in, [&] { st = box(); });
    EXPECT_EQ(st.hovered, s.hovered);
    EXPECT_EQ(st.active, s.active);
    EXPECT_EQ(st.clicked, s.clicked);
    if (i > 1) EXPECT_RECT(st.rect, 100, 100, 200, 100);  // last frame's layout
  }
}

TEST_F(UiInteraction, NothingIsHoveredWhileASliderIsDragged) {
  f32 value = 0.5f;
  ui.active_element.slider = &value;
  frame({inside, true, true}, [] { box(); });
  UiElementState st;
  frame({inside}, [&] { st = box(); });
  EXPECT_FALSE(st.hovered || st.active || st.clicked);
  EXPECT_FALSE(ui.hovered);
}

TEST_F(UiInteraction, DisabledAndIgnoreEventsAreInherited) {
  struct Case {
    bool disabled;
    u8 ignore;
  } cases[] = {{true, 0}, {false, 1}};
  for (const Case& c : cases) {
    auto build = [&] {
      UiElement* parent = ui_begin_layout("parent", {100, 100});
      parent->disabled = c.disabled;
      parent->ignore_events = c.ignore;
      ui_begin_layout("middle", {});
      push("leaf", 200, 100);
      ui_end_layout();
      ui_end_layout();
    };
    frame({inside, true, true}, build);
    UiElement* leaf = find("leaf");
    EXPECT_EQ(leaf->disabled, c.disabled);
    EXPECT_EQ(leaf->ignore_events != 0, c.ignore != 0);
    EXPECT_FALSE(leaf->state.hovered || leaf->state.clicked);
    EXPECT_FALSE(find("middle")->state.hovered);
  }
}

// The index must answer exactly what an in-order scan of the previous frame would: the first element of the
// name, or of the name and key when a key is given, and a zero state when there is none.
static UiElementState reference_lookup(const UiElement* query) {
  for (int i = 0; i < ui.nelements_prev; i++) {
    const UiElement& e = ui.elements_prev[i];
    if (!text_equal(e.id.name, query->id.name)) continue;
    if (query->key != 0 && e.key != query->key) continue;
    UiElementState s = e.state;
    s.rect = e.rect;
    return s;
  }
  return {};
}

TEST_F(UiInteraction, IndexedLookupMatchesAnInOrderScan) {
  std::mt19937 rng(7);
  const char* names[] = {"a", "b", "slot", "button{Ok}", "dialog{gear}", "x"};
  for (int round = 0; round < 20; round++) {
    int count = 100 + (int)(rng() % 400);
    frame({{(f32)(rng() % 800), (f32)(rng() % 800)}}, [&] {
      for (int i = 1; i < count; i++) {
        UiElement* e = ui_push_element(names[rng() % 6], ui.current_layout);
        e->floating = true;
        e->key = rng() % 4 == 0 ? 0 : rng() % 16;
        e->rect = {(f32)(rng() % 800), (f32)(rng() % 800), 50, 50};
      }
    });
    ui_begin();
    for (int q = 0; q < 200; q++) {
      UiElement* e = ui_push_element(rng() % 10 == 0 ? "missing" : names[rng() % 6], ui.current_layout);
      e->key = rng() % 3 == 0 ? 0 : rng() % 20;
      UiElementState want = reference_lookup(e), got = ui_get_prev_state(e);
      ASSERT_EQ(memcmp(&want.rect, &got.rect, sizeof(Rect)), 0) << e->id.name.cstr() << " key " << e->key;
      ASSERT_EQ(want.hovered, got.hovered);
    }
  }
}

TEST_F(UiInteraction, PushesBeyondCapacityAreRefusedOnceAndTheTreeStaysBalanced) {
  testing::internal::CaptureStderr();
  UiElement* outer = ui_begin_layout("outer", {});
  for (int i = 0; i < 300; i++) {
    ui_begin_layout("group", {});
    push("leaf", 1, 1);
    ui_end_layout();
  }
  ui_end_layout();
  push("after", 1, 1);
  layout();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ui.nelements, UiMaxElements);
  EXPECT_EQ(err, "Cannot push UiElement: out of space\n");
  EXPECT_EQ(ui.current_layout, &ui.elements[0]);
  EXPECT_EQ(outer->parent, &ui.elements[0]);
  // The next frame starts clean and reports again if it overflows again.
  ui_begin();
  EXPECT_EQ(ui.nelements, 1);
  EXPECT_EQ(ui.elements[0].first_child, nullptr);
}

TEST_F(UiInteraction, UpdateUiClearsFrameStateAndReleaseEndsDrags) {
  f32 value = 0;
  UiDialog dialog;
  ui.active_element.slider = &value;
  ui.active_element.dialog = &dialog;
  ui.hovered = true;
  ui.tooltip.is_visible = true;
  ui.hovered_item_id = 5;
  set_input({inside, true});
  update_ui();
  EXPECT_FALSE(ui.hovered || ui.tooltip.is_visible);
  EXPECT_EQ(ui.hovered_item_id, 0u);
  EXPECT_EQ(ui.active_element.slider, &value);  // still held
  set_input({inside, false, false, true});
  update_ui();
  EXPECT_EQ(ui.active_element.slider, nullptr);
  EXPECT_EQ(ui.active_element.dialog, nullptr);
}

TEST_F(UiInteraction, TooltipIsTheLastRootChildAndRefusedDuringAContextMenu) {
  frame({}, [] {
    set_tooltip({10, 10}, {0, 0}, "first");
    set_tooltip({400, 300}, {0.5f, 1}, "second");
    push("content", 100, 100);
  });
  UiElement* tip = ui.elements[0].last_child;
  ASSERT_NE(tip, nullptr);
  EXPECT_STREQ(tip->id.name.cstr(), "global-tooltip");
  EXPECT_STREQ(tip->text.cstr(), "second");
  EXPECT_TRUE(tip->floating);
  // Anchored (0.5, 1) at (400, 300) over a root 100 x 100: the root's size takes part.
  EXPECT_FLOAT_EQ(tip->rect.x, 400 + 0.5f * (100 - tip->rect.w));
  EXPECT_FLOAT_EQ(tip->rect.y, 300 + (100 - tip->rect.h));

  // At the origin it still floats and does not join the root's flow.
  frame({}, [] {
    push("content", 100, 100);
    set_tooltip({0, 0}, {0, 0}, "tip");
  });
  EXPECT_TRUE(find("global-tooltip")->floating);
  EXPECT_FLOAT_EQ(ui.elements[0].rect.h, 100);

  ui.context_menu.item_id = 42;
  frame({}, [] { set_tooltip({10, 10}, {0, 0}, "hidden"); });
  EXPECT_EQ(find("global-tooltip"), nullptr);
}

TEST_F(UiInteraction, DumpFlagPrintsOneIndentedLinePerElementOnceWithTheFrameNumber) {
  auto build = [] {
    UiElement* row = ui_begin_layout("row", {100, 100});
    row->direction = Ui_Horizontal;
    push("leaf", 40, 20)->key = 9;
    ui_end_layout();
  };
  frame({{150, 150}}, build);
  game.frame = 77;
  ui.dump_elements = true;
  testing::internal::CaptureStdout();
  frame({{150, 150}}, build);
  frame({{150, 150}}, build);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "UI dump at frame 77\n"
            "- (0)                 root [0,0 0x0]|  [hovered:0|active:0]\n"
            "    - (0)                  row [100,100 40x20]-* [hovered:0|active:0]\n"
            "        - (9)                 leaf [100,100 40x20]|  [hovered:0|active:0]\n"
            "----------------------------------------\n");
  EXPECT_FALSE(ui.dump_elements);
}

TEST_F(UiInteraction, InspectorOutlinesTheTopmostElementUnderTheMouse) {
  ui.show_inspector = true;
  frame({{150, 150}}, [] {
    ui_begin_layout("panel", {100, 100});
    push("under", 200, 100);
    ui_end_layout();
  });
  UiElement* highlight = find("ui-debug-highlight");
  ASSERT_NE(highlight, nullptr);
  EXPECT_RECT(highlight->rect, 100, 100, 200, 100);
  ASSERT_NE(find("ui-debug"), nullptr);
  UiElement* info = find("ui-debug-info");
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->first_child->text.cstr(), "under");
  // The overlay itself never takes part in hit testing.
  EXPECT_FALSE(highlight->state.hovered);
}

TEST_F(UiInteraction, ResetKeepsTheLineHeightAndShowsTheWorldMap) {
  f32 line_height = ui.line_height;
  ui.hovered_item_id = 3;
  ui.gear.is_visible = true;
  ui_reset();
  EXPECT_FLOAT_EQ(ui.line_height, line_height);
  EXPECT_EQ(ui.draw_world_map, 1);
  EXPECT_EQ(ui.hovered_item_id, 0u);
  EXPECT_FALSE(ui.gear.is_visible);
}
