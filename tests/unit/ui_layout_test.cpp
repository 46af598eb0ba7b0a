// Sizes and positions of small trees against hand-computed values.
#include "ui_test_support.hpp"

struct UiLayout : UiTest {};

TEST_F(UiLayout, PadAndGapAreDesignUnitsScaledToTheDisplay) {
  struct Case {
    int display_height;  // window 1920 x 1080 at start-up size: scale 1
    f32 expected_px;     // of one design unit
  } cases[] = {{2160, 1.0f}, {1080, 0.5f}, {1440, 1440.0f / 2160}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display_height);
    renderer.window_width = renderer.display_width = 1920;
    renderer.window_height = renderer.display_height = c.display_height;
    update_ui_scale();
    ui_begin();
    UiElement* div = ui_begin_layout("div", {});
    div->pad = 8;
    div->gap = 4;
    push("a", 100, 20);
    push("b", 60, 30);
    ui_end_layout();
    layout();
    f32 p = 8 * c.expected_px, g = 4 * c.expected_px;
    EXPECT_RECT(div->rect, 0, 0, 100 + 2 * p, 20 + 30 + g + 2 * p);
    EXPECT_RECT(find("a")->rect, p, p, 100, 20);
    EXPECT_RECT(find("b")->rect, p, p + 20 + g, 60, 30);
  }
}

TEST_F(UiLayout, ScaleFollowsTheLargerWindowRatioAndLineHeightFollowsScale) {
  struct Case {
    int window_w, window_h, display_w, display_h;
    f32 scale;
  } cases[] = {
      {1920, 1080, 1920, 1080, 1.0f},
      {960, 1080, 1920, 1080, 1.0f},   // narrower but full height
      {960, 540, 1920, 1080, 0.5f},    // half both ways
      {3840, 1080, 1920, 1080, 2.0f},  // twice as wide
  };
  for (const Case& c : cases) {
    renderer.window_width = c.window_w, renderer.window_height = c.window_h;
    renderer.display_width = c.display_w, renderer.display_height = c.display_h;
    update_ui_scale();
    EXPECT_FLOAT_EQ(ui.scale, c.scale);
    EXPECT_FLOAT_EQ(ui.line_height, c.scale * renderer.font_pixel_height);
    EXPECT_FLOAT_EQ(px(2160), c.scale * (f32)c.display_h);
  }
}

TEST_F(UiLayout, HorizontalRowAddsWidthsAndTakesTheTallestChild) {
  UiElement* row = ui_begin_layout("row", {});
  row->direction = Ui_Horizontal;
  row->pad = 10;
  row->gap = 5;
  push("a", 40, 10);
  push("b", 30, 50);
  push("c", 20, 5);
  ui_end_layout();
  layout();
  EXPECT_RECT(row->rect, 0, 0, 40 + 30 + 20 + 2 * 5 + 20, 50 + 20);
  EXPECT_RECT(find("a")->rect, 10, 10, 40, 10);
  EXPECT_RECT(find("b")->rect, 55, 10, 30, 50);
  EXPECT_RECT(find("c")->rect, 90, 10, 20, 5);
}

TEST_F(UiLayout, GivenMainSizeIsFixedAndChildrenDoNotAddToIt) {
  UiElement* col = ui_begin_layout("col", {});
  col->rect.h = 50;
  col->pad = 2;
  col->gap = 100;  // no gaps are added to a fixed size either
  push("a", 70, 30);
  push("b", 20, 30);
  ui_end_layout();
  layout();
  EXPECT_TRUE(col->fixed_size);
  EXPECT_FLOAT_EQ(col->rect.h, 50 + 4);
  EXPECT_FLOAT_EQ(col->rect.w, 70 + 4);
  EXPECT_FLOAT_EQ(find("b")->rect.y, 2 + 30 + 100);  // the flow still spaces them
}

TEST_F(UiLayout, LimitsApplyAfterPaddingInOrder) {
  struct Case {
    f32 max_w, min_w, max_h, min_h;
    f32 w, h;
  } cases[] = {
      {0, 0, 0, 0, 60, 40},    // content 50 x 30 and pad 5
      {55, 0, 0, 0, 55, 40},   // capped
      {0, 80, 0, 0, 80, 40},   // raised
      {55, 80, 0, 0, 80, 40},  // min wins: it is applied last
      {0, 0, 35, 0, 60, 35},  {0, 0, 35, 100, 60, 100},
  };
  for (const Case& c : cases) {
    ui_begin();
    UiElement* e = ui_begin_layout("e", {});
    e->pad = 5;
    e->max_width = c.max_w, e->min_width = c.min_w, e->max_height = c.max_h, e->min_height = c.min_h;
    UiElement* child = push("child", 50, 30);
    child->max_width = 1000;  // larger than the parent's inner limit: the parent's wins
    ui_end_layout();
    layout();
    EXPECT_FLOAT_EQ(e->rect.w, c.w);
    EXPECT_FLOAT_EQ(e->rect.h, c.h);
  }
}

TEST_F(UiLayout, MaxWidthPropagatesAsTheInnerWidthOfEachLevel) {
  UiElement* outer = ui_begin_layout("outer", {});
  outer->max_width = 100;
  outer->pad = 10;  // inner limit 80
  UiElement* free_child = push("free", 500, 10);
  UiElement* narrow = push("narrow", 500, 10);
  narrow->max_width = 50;
  UiElement* inner = ui_begin_layout("inner", {});
  inner->pad = 15;  // its own limit 80 leaves 50 for its child
  UiElement* deep = push("deep", 500, 10);
  ui_end_layout();
  ui_end_layout();
  layout();
  EXPECT_FLOAT_EQ(free_child->max_width, 80);
  EXPECT_FLOAT_EQ(free_child->rect.w, 80);
  EXPECT_FLOAT_EQ(narrow->rect.w, 50);
  EXPECT_FLOAT_EQ(inner->max_width, 80);
  EXPECT_FLOAT_EQ(deep->max_width, 50);
  EXPECT_FLOAT_EQ(deep->rect.w, 50);
  EXPECT_FLOAT_EQ(outer->rect.w, 100);
}

TEST_F(UiLayout, GrowersShareTheFreeSpaceEquallyAlongTheMainAxis) {
  struct Case {
    f32 row_w;
    f32 grown;  // size of each of the two growers
  } cases[] = {
      {300, 100},  // 100 free: 50 each on top of 50
      {140, 20},   // 60 short: both shrink by 30
      {200, 50},   // nothing free
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row_w);
    ui_begin();
    UiElement* row = ui_begin_layout("row", {});
    row->direction = Ui_Horizontal;
    row->rect.w = c.row_w;
    UiElement* a = push("a", 50, 10);
    a->grow.x = 1;
    push("b", 100, 10);
    UiElement* d = push("d", 50, 10);
    d->grow.x = 7;  // any non-zero value is the same equal share
    ui_end_layout();
    layout();
    EXPECT_FLOAT_EQ(a->rect.w, c.grown);
    EXPECT_FLOAT_EQ(d->rect.w, c.grown);
    EXPECT_FLOAT_EQ(find("b")->rect.x, c.grown);
    EXPECT_FLOAT_EQ(d->rect.x, c.grown + 100);
  }
}

TEST_F(UiLayout, GrowAcrossStretchesToTheParentInnerSizeAlsoAfterTheParentGrew) {
  UiElement* col = ui_begin_layout("col", {});
  col->pad = 6;
  col->gap = 2;
  push("wide", 200, 10);
  UiElement* narrow = push("narrow", 20, 10);
  narrow->grow.y = 1;
  ui_end_layout();
  UiElement* row = ui_begin_layout("row", {});
  row->direction = Ui_Horizontal;
  row->rect.w = 400;
  UiElement* inner = ui_begin_layout("inner", {});
  inner->grow.x = 1;
  UiElement* bar = push("bar", 10, 10);
  bar->grow.y = 1;
  ui_end_layout();
  ui_end_layout();
  layout();
  EXPECT_FLOAT_EQ(col->rect.w, 212);
  EXPECT_FLOAT_EQ(narrow->rect.w, 200);
  EXPECT_FLOAT_EQ(narrow->rect.h, 10);
  EXPECT_FLOAT_EQ(inner->rect.w, 400);
  EXPECT_FLOAT_EQ(bar->rect.w, 400);
}

TEST_F(UiLayout, CentredChildrenMoveByHalfTheFreeCrossSpace) {
  UiElement* col = ui_begin_layout("col", {});
  col->align = UiAlign_Center;
  col->pad = 4;
  push("wide", 200, 10);
  push("narrow", 50, 10);
  ui_end_layout();
  UiElement* row = ui_begin_layout("row", {});
  row->direction = Ui_Horizontal;
  row->align = UiAlign_Center;
  push("tall", 10, 100);
  push("short", 10, 40);
  ui_end_layout();
  layout();
  EXPECT_FLOAT_EQ(find("wide")->rect.x, 4);
  EXPECT_FLOAT_EQ(find("narrow")->rect.x, 4 + 75);
  EXPECT_FLOAT_EQ(find("short")->rect.y, row->rect.y + 30);
  EXPECT_FLOAT_EQ(find("tall")->rect.y, row->rect.y);
}

TEST_F(UiLayout, FloatingChildrenArePlacedByAnchorAndLeaveTheFlow) {
  struct Case {
    v2 anchor;
    v2 offset;
    v2 expected;  // inside a 400 x 300 panel at (100, 50)
  } cases[] = {
      {{0, 0}, {10, 20}, {110, 70}},
      {{0.5f, 0.5f}, {0, 0}, {100 + 150, 50 + 125}},
      {{1, 1}, {-5, 0}, {100 + 300 - 5, 50 + 250}},
  };
  for (const Case& c : cases) {
    ui_begin();
    UiElement* panel = ui_begin_layout("panel", {100, 50});
    panel->rect.w = 400;
    panel->rect.h = 300;
    UiElement* f = ui_rect("float", {c.offset.x, c.offset.y, 100, 50}, {{1, 1, 1, 1}});
    f->anchor = c.anchor;
    push("flow", 10, 10);
    ui_end_layout();
    layout();
    EXPECT_EQ(panel->rect.h, 300);  // the floating child adds nothing
    EXPECT_FLOAT_EQ(f->rect.x, c.expected.x);
    EXPECT_FLOAT_EQ(f->rect.y, c.expected.y);
    EXPECT_FLOAT_EQ(find("flow")->rect.x, 100);
  }
}

TEST_F(UiLayout, FloatingChildOfAnEmptyRootEndsAtPointMinusAnchorTimesSize) {
  UiElement* tip = ui_begin_layout("tip", {1000, 800});
  tip->anchor = {0.5f, 1};
  push("body", 200, 100);
  ui_end_layout();
  layout();
  EXPECT_RECT(tip->rect, 900, 700, 200, 100);
}

TEST_F(UiLayout, ElementsAreClampedIntoTheWindow) {
  struct Case {
    Rect requested;
    v2 expected;
  } cases[] = {
      {{-30, -40, 100, 100}, {0, 0}},
      {{3800, 2100, 100, 100}, {3740, 2060}},
      {{100, 100, 5000, 100}, {3840 - 5000, 100}},  // wider than the window: ends at x < 0
  };
  for (const Case& c : cases) {
    ui_begin();
    UiElement* e = ui_begin_layout("e", {1, 1});
    e->rect = c.requested;
    UiElement* child = push("child", 10, 10);
    ui_end_layout();
    layout();
    EXPECT_FLOAT_EQ(e->rect.x, c.expected.x);
    EXPECT_FLOAT_EQ(e->rect.y, c.expected.y);
    EXPECT_FLOAT_EQ(child->rect.x, max(0.0f, c.expected.x));  // children follow the clamped parent
  }
}

TEST_F(UiLayout, ScrollKeepsTheEndOfTallContentVisible) {
  struct Case {
    int nchildren;
    f32 first_y;
  } cases[] = {
      {3, 505 - 50},  // 150 of content in a 100-high box: shifted up by 50
      {2, 505},       // 100 fits exactly: nothing moves
      {1, 505},
  };
  for (const Case& c : cases) {
    ui_begin();
    UiElement* box = ui_begin_layout("box", {10, 500});
    box->scroll = true;
    box->rect.h = 90;
    box->pad = 5;  // 100 in all
    for (int i = 0; i < c.nchildren; i++) push("line", 20, 50);
    UiElement* marker = ui_rect("marker", {0, 0, 5, 5}, {{1, 1, 1, 1}});
    ui_end_layout();
    layout();
    EXPECT_FLOAT_EQ(find("line")->rect.y, c.first_y);
    EXPECT_FLOAT_EQ(find("line", c.nchildren - 1)->rect.y, c.first_y + 50 * (c.nchildren - 1));
    EXPECT_FLOAT_EQ(marker->rect.y, 500);  // floating children stay put
  }
}

TEST_F(UiLayout, FloatingGrowerTakesAShareOnlyWhenFlowChildrenGrow) {
  for (bool flow_grows : {false, true}) {
    SCOPED_TRACE(flow_grows);
    ui_begin();
    UiElement* row = ui_begin_layout("row", {});
    row->direction = Ui_Horizontal;
    row->rect.w = 300;
    UiElement* g = push("flow", flow_grows ? 100 : 50, 10);
    g->grow.x = flow_grows;
    UiElement* f = ui_rect("float", {0, 0, 40, 10}, {{1, 1, 1, 1}});
    f->grow.x = 1;
    ui_end_layout();
    layout();
    EXPECT_FLOAT_EQ(g->rect.w, flow_grows ? 300 : 50);
    EXPECT_FLOAT_EQ(f->rect.w, flow_grows ? 240 : 40);
    EXPECT_FALSE(isnan(f->rect.x));
  }
}

TEST_F(UiLayout, TextIsMeasuredUnlessAWidthWasGiven) {
  Text hello = "Hello, world";
  Rect m = measure_text(Style{}, hello);
  ASSERT_GT(m.w, 0);
  UiElement* measured = ui_text(hello);
  measured->pad = 3;
  UiElement* big = ui_text("Hello, world", "big");
  big->font_size = 2;
  UiElement* given = ui_text("Hello, world", "given");
  given->rect.w = 500;
  given->pad = 3;
  layout();
  EXPECT_FLOAT_EQ(measured->rect.w, m.w + 6);
  EXPECT_FLOAT_EQ(measured->rect.h, ui.line_height + 6);
  EXPECT_FLOAT_EQ(big->rect.w, 2 * m.w);
  EXPECT_FLOAT_EQ(given->rect.w, 506);
  EXPECT_FLOAT_EQ(given->rect.h, 6);  // not measured: only the padding
}

TEST_F(UiLayout, RootSizeComesFromItsFlowChildren) {
  push("a", 100, 40);
  push("b", 300, 10);
  ui_begin_layout("floating", {500, 500});
  push("inside", 1000, 1000);
  ui_end_layout();
  layout();
  EXPECT_RECT(ui.elements[0].rect, 0, 0, 300, 50);
}

TEST_F(UiLayout, TextWidthsFollowTheTextAndTheBakedFont) {
  // Repeated and near-identical texts, across a rebake: each must measure as the font says now.
  const char* texts[] = {"Hello", "Hellp", "Hello", "\xd0\x96\xd0\x96", "Hello, world", "Hello"};
  int widths[] = {1920, 3840, 1920};
  for (int width : widths) {
    free(font_bake(ui_test_font_path(), width));
    update_ui_scale();
    for (const char* t : texts) {
      ui_begin();
      UiElement* e = ui_text(t);
      e->font_size = 1.5f;
      layout();
      Style style = {};
      style.font_size = 1.5f;
      Text text = t;
      EXPECT_FLOAT_EQ(e->rect.w, measure_text(style, text).w) << t << " at " << width;
    }
  }
}
