// Widgets and dialogs over simulated frames.
#include "ui_test_support.hpp"

struct UiWidgets : UiTest {
  f32 value = 0;
  UiElementState st;
  // One frame of a window holding the "volume" slider; returns the slider's rectangle.
  Rect slider_frame(const UiTestInput& in = {}) {
    frame(in, [&] {
      ui_begin_layout("holder", {200, 200});
      st = ui_slider("volume", &value);
      ui_end_layout();
    });
    return find("volume")->rect;
  }
};

// --- sliders

struct SliderFrame {
  UiTestInput in;
  f32 value;
  bool changed;
};

TEST_F(UiWidgets, SliderFollowsTheMouseStaysInRangeAndReportsOnlyMoves) {
  value = 0.5f;
  Rect r = slider_frame();
  v2 c = centre(r);
  f32 thumb = em_px(0.7f);
  f32 quarter = r.x + thumb / 2 + 0.25f * (r.w - thumb);  // a quarter of the way along the thumb's travel
  SliderFrame steps[] = {
      {{c, true, true}, 0.5f, false},           // press: seen next frame
      {{{quarter, r.y}, true}, 0.25f, true},    // drag starts
      {{{r.x - 500, c.y}, true}, 0.0f, true},   // far left of the track
      {{{r.x - 900, c.y}, true}, 0.0f, false},  // still pinned: no change
      {{{r.x + r.w + 500, c.y}, true}, 1.0f, true},
      {{{r.x + r.w + 600, c.y}, true}, 1.0f, false},
      {{c, false, false, true}, 1.0f, false},  // released before this frame's widgets: drag over
      {{c, false}, 1.0f, false},
  };
  int i = 0;
  for (const SliderFrame& s : steps) {
    SCOPED_TRACE(i++);
    slider_frame(s.in);
    EXPECT_NEAR(value, s.value, 1e-5f);
    EXPECT_EQ(st.changed, s.changed);
    if (s.value == 0.25f) {  // the thumb sits under the mouse, outlined while dragged
      EXPECT_NEAR(find("slider-thumb")->rect.x, r.x + 0.25f * (r.w - thumb), 1e-3f);
      EXPECT_NE(find("slider-thumb")->border_color.a, 0);
    }
  }
  EXPECT_EQ(ui.active_element.slider, nullptr);
}

TEST_F(UiWidgets, AQuickClickSetsTheValueWithoutLeavingADrag) {
  Rect r = slider_frame();
  slider_frame({centre(r), true, true});
  // Released on the very next frame, before the widget saw the press.
  slider_frame({centre(r), false, false, true});
  EXPECT_NEAR(value, 0.5f, 1e-5f);
  EXPECT_EQ(ui.active_element.slider, nullptr);
  slider_frame({{r.x + r.w + 100, centre(r).y}, false});
  EXPECT_NEAR(value, 0.5f, 1e-5f);
}

TEST_F(UiWidgets, SlidersSharingANameKeepSeparateState) {
  f32 a = 0.5f, b = 0.5f;
  UiElementState sa, sb;
  auto build = [&] {
    ui_begin_layout("holder", {200, 200});
    sa = ui_slider("gain", &a);
    sb = ui_slider("gain", &b);
    ui_end_layout();
  };
  frame({}, build);
  Rect rb = find("gain", 1)->rect;
  frame({centre(rb), true, true}, build);
  frame({{rb.x + rb.w + 100, rb.y}, true}, build);
  EXPECT_FALSE(sa.clicked);
  EXPECT_TRUE(sb.clicked);
  EXPECT_FLOAT_EQ(a, 0.5f);
  EXPECT_FLOAT_EQ(b, 1.0f);
  EXPECT_EQ(ui.active_element.slider, &b);
}

// --- buttons, toggles and groups

TEST_F(UiWidgets, ButtonIsNamedAfterItsLabelAndHonoursItsConfig) {
  UiElementConfig cfg = {};
  cfg.disabled = true;
  cfg.key = 17;
  auto build = [&] {
    ui_button("Login");
    ui_button("Quit", cfg);
  };
  frame({}, build);
  UiElement* login = find("button{Login}");
  ASSERT_NE(login, nullptr);
  EXPECT_STREQ(login->text.cstr(), "Login");
  UiElement* quit = find("button{Quit}");
  EXPECT_TRUE(quit->disabled);
  EXPECT_EQ(quit->key, 17u);
  v2 at = centre(quit->rect);
  frame({at, true, true}, build);
  UiElementState st;
  frame({at}, [&] {
    ui_button("Login");
    st = ui_button("Quit", cfg);
  });
  EXPECT_FALSE(st.clicked || st.hovered);
}

TEST_F(UiWidgets, ComposedNamesMatchTheirFormattedForm) {
  std::string long_label(200, 'w');
  const char* labels[] = {"", "Login", "x", "\xd0\x96\xd0\x96", long_label.c_str()};
  const char* prefixes[] = {"button{", "dialog-title-bar{"};
  for (const char* prefix : prefixes) {
    for (const char* label : labels) {
      Text label_text;
      text_set(label_text, label);
      Text composed;
      memset(composed.buffer, 'z', sizeof(composed.buffer));  // stale bytes must not leak in
      ui_compose_name(composed, prefix, label_text);
      Text formatted = tprintf("%s%s}", prefix, label);
      EXPECT_TRUE(text_equal(composed, formatted)) << composed.cstr();
      EXPECT_EQ(composed.length, formatted.length);
    }
  }
}

TEST_F(UiWidgets, ToggleButtonInvertsOnceOnAClick) {
  bool value = false;
  auto build = [&] { ui_toggle_button("Grid", &value); };
  frame({}, build);
  UiElement* box = find("toggle-button-box");
  EXPECT_STREQ(box->text.cstr(), "   ");
  v2 at = centre(find("toggle-button{Grid}")->rect);
  frame({at, true, true}, build);
  frame({at, true}, build);
  EXPECT_TRUE(value);
  frame({at}, build);
  EXPECT_TRUE(value);  // the click counts once
  EXPECT_STREQ(find("toggle-button-box")->text.cstr(), " x ");
}

TEST_F(UiWidgets, ToggleGroupAlwaysOpensAndClosesItsContentLayout) {
  bool open = false;
  bool shown = true;
  auto build = [&] {
    shown = ui_begin_toggle_group("Elements", open);
    if (shown) push("inside", 10, 10);
    ui_end_toggle_group();
    push("after", 10, 10);
  };
  frame({}, build);
  EXPECT_FALSE(shown);
  UiElement* content = find("togge-group-content");
  ASSERT_NE(content, nullptr);
  EXPECT_EQ(content->first_child, nullptr);
  EXPECT_EQ(find("after")->parent, &ui.elements[0]);
  UiElement* button = find("button{[v] Elements}");
  ASSERT_NE(button, nullptr);
  v2 at = centre(button->rect);
  frame({at, true, true}, build);
  frame({at}, build);
  EXPECT_TRUE(open);
  EXPECT_NE(find("inside"), nullptr);
  frame({at}, build);
  EXPECT_NE(find("button{[^] Elements}"), nullptr);
}

// --- plain elements

TEST_F(UiWidgets, BarsFillByRatioAndNeverBuildNanGeometry) {
  struct Case {
    Param param;
    f32 fill_ratio;
    const char* text;
  } cases[] = {
      {{25, 100}, 0.25f, "HP: 25/100"},
      {{5, 0}, 0, "HP: 5/0"},
      {{0, 0}, 0, "HP: 0/0"},
      {{150, 100}, 1, "HP: 150/100"},  // the fill stays inside its bar
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ui_begin();
    UiElement* bar = ui_param_bar(c.param, theme.hp_color, "HP");
    layout();
    UiElement* fill = find("fill");
    EXPECT_FLOAT_EQ(fill->rect.w, c.fill_ratio * em_px(15));
    EXPECT_FALSE(isnan(fill->rect.x) || isnan(fill->rect.w));
    EXPECT_STREQ(bar->last_child->text.cstr(), c.text);
    EXPECT_FLOAT_EQ(bar->rect.h, ui.line_height + 2 * px(theme.pad.tiny));
  }
  ui_begin();
  ui_bar(NAN, theme.hp_color, "x");
  layout();
  EXPECT_FLOAT_EQ(find("fill")->rect.w, 0);
}

TEST_F(UiWidgets, HrAndGapStretchAcross) {
  UiElement* col = ui_div("col", {});
  push("wide", 300, 10);
  UiElement* hr = ui_hr();
  UiElement* gap = ui_gap();
  ui_end_layout();
  layout();
  f32 inner = col->rect.w - 2 * theme.pad.medium;
  EXPECT_FLOAT_EQ(hr->rect.w, inner);
  EXPECT_FLOAT_EQ(gap->rect.w, inner);
  EXPECT_GT(gap->rect.h, 0);
}

// --- dialogs

static int hidden_count = 0;
static void count_hide(UiDialog&) { hidden_count++; }

struct UiDialogs : UiTest {
  UiDialog dialog;
  void SetUp() override {
    UiTest::SetUp();
    dialog = UiDialog();
    dialog.is_visible = true;
    dialog.on_hide = count_hide;
    hidden_count = 0;
  }
  void build() {
    if (!dialog.is_visible) return;
    dialog.name = "gear";
    dialog.title = "Gear";
    dialog.default_pos = {1000, 500};
    dialog.default_anchor = {0.5f, 0.5f};
    ui_dialog(dialog);
    push("content", 300, 200);
    ui_end_dialog();
  }
  void step(UiTestInput in) {
    frame(in, [&] { build(); });
  }
  Rect window() { return find("dialog{gear}")->rect; }
  Rect title_bar() { return find("dialog-title-bar{gear}")->rect; }
};

TEST_F(UiDialogs, CloseButtonHidesOnlyItsOwnWindowAndCallsOnHide) {
  UiDialog other;
  other.is_visible = true;
  auto both = [&] {
    build();
    other.name = "craft";
    other.default_pos = {2500, 500};
    ui_dialog(other);
    ui_end_dialog();
  };
  frame({}, both);
  v2 x = centre(find("button{x}")->rect);
  frame({x, true, true}, both);
  EXPECT_TRUE(dialog.is_visible);
  frame({x, true}, both);
  EXPECT_FALSE(dialog.is_visible);
  EXPECT_TRUE(other.is_visible);
  EXPECT_EQ(hidden_count, 1);
  EXPECT_FALSE(dialog.moved);  // a click on the close button is not a drag
  EXPECT_EQ(ui.active_element.dialog, nullptr);
  frame({x}, both);
  EXPECT_EQ(find("dialog{gear}"), nullptr);
}

TEST_F(UiDialogs, StartsAtItsAnchoredPointDragsToTheWindowEdgeAndAltClickReturnsItHome) {
  step({});
  Rect before = window();
  EXPECT_TRUE(near(centre(before), {1000, 500}, 1e-3f));
  EXPECT_EQ(dialog.container, find("dialog{gear}"));
  EXPECT_EQ(find("content")->parent, dialog.contents);
  EXPECT_EQ(ui.current_layout, &ui.elements[0]);
  v2 grab = {title_bar().x + 5, title_bar().y + 5};
  step({grab, true, true});
  step({grab, true});  // the drag starts here
  EXPECT_TRUE(dialog.moved);
  EXPECT_EQ(ui.active_element.dialog, &dialog);
  step({grab, true});
  EXPECT_TRUE(near(v2{window().x, window().y}, {before.x, before.y}, 1e-3f));  // no jump when the drag starts
  step({grab + v2{100, 50}, true});
  EXPECT_TRUE(near(v2{window().x, window().y}, {before.x + 100, before.y + 50}, 1e-3f));
  step({{5000, 3000}, true});
  EXPECT_TRUE(near(v2{window().x + window().w, window().y + window().h}, {3840, 2160}, 1e-3f));
  step({{5000, 3000}, false, false, true});
  EXPECT_EQ(ui.active_element.dialog, nullptr);

  // An alt-click on the moved title returns it home, without starting a drag.
  v2 moved_grab = {title_bar().x + 5, title_bar().y + 5};
  game.modifiers.alt = 1;
  step({moved_grab, true, true});
  step({moved_grab, false, false, true});
  EXPECT_FALSE(dialog.moved);
  EXPECT_EQ(ui.active_element.dialog, nullptr);
  step({moved_grab});
  EXPECT_TRUE(near(v2{window().x, window().y}, {before.x, before.y}, 1e-3f));
}

TEST_F(UiDialogs, ToggleHidesThroughTheHookAndShowsWithoutAnEntity) {
  dialog.entity_id = 12;
  EXPECT_FALSE(toggle_dialog(dialog));
  EXPECT_EQ(hidden_count, 1);
  EXPECT_TRUE(toggle_dialog(dialog));
  EXPECT_EQ(dialog.entity_id, 0u);
  dialog.on_hide = nullptr;
  hide_dialog(dialog);  // no hook: nothing to call
  EXPECT_FALSE(dialog.is_visible);
}

// --- panels

TEST_F(UiWidgets, PanelsCentreOnTheirPointAndCloseCleanly) {
  struct Case {
    const char* title;
    v2 at, size;
  } cases[] = {{"", {0.5f, 0.5f}, {}}, {"Lobby", {0.25f, 0.75f}, {960, 540}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ui_begin();
    UiPanel panel = {c.title, c.at, c.size};
    UiElement* p = ui_begin_panel("panel", panel);
    push("content", 300, 200);
    ui_end_panel(panel);
    EXPECT_EQ(ui.current_layout, &ui.elements[0]);
    layout();
    EXPECT_TRUE(near(centre(p->rect), {c.at.x * 3840, c.at.y * 2160}, 1e-3f));
    EXPECT_GE(p->rect.w, max(c.size.x, 300.0f));
    EXPECT_EQ(p->first_child == find("content"), c.title[0] == 0);  // a title comes first
  }
}

TEST_F(UiDialogs, APanelWithADialogFillsThatWindowCentredOnItsPoint) {
  dialog.name = "craft";
  UiPanel panel = {"Craft", {0.25f, 0.5f}, {}, &dialog};
  frame({}, [&] {
    EXPECT_EQ(ui_begin_panel("craft-panel", panel), dialog.contents);
    push("content", 300, 200);
    ui_end_panel(panel);
  });
  EXPECT_EQ(find("content")->parent, dialog.contents);
  EXPECT_EQ(ui.current_layout, &ui.elements[0]);
  EXPECT_STREQ(dialog.title.cstr(), "Craft");
  EXPECT_TRUE(near(centre(find("dialog{craft}")->rect), {960, 1080}, 1e-3f));
}
