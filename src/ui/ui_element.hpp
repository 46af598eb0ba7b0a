#pragma once
// One node of the per-frame UI tree, its identity and the state a widget reads back a frame later.
#include "math.hpp"
#include "render/renderer.hpp"
#include "types.hpp"

enum UiDirection : u8 {
  Ui_Vertical = 0,
  Ui_Horizontal = 1,
};

enum UiAlign : u8 {
  UiAlign_Left = 0,
  UiAlign_Center = 1,
  UiAlign_Right = 2,
};

// Only `name` takes part in matching; the call site is there for the dump and the inspector.
// The defaulted location makes a plain `"name"` at a call site carry that call site. The compiler
// built-ins are used rather than std::source_location, which clang before 15 cannot build with
// libstdc++ (the fuzz targets are built with clang).
struct UiId {
  Text name;
  const char* file = nullptr;
  int line = 0;

  UiId() = default;
  UiId(const char* n, const char* at_file = __builtin_FILE(), int at_line = __builtin_LINE())
      : name(n), file(at_file), line(at_line) {}
  UiId(const Text& n, const char* at_file = __builtin_FILE(), int at_line = __builtin_LINE())
      : name(n), file(at_file), line(at_line) {}
};

UiId ui_where(Text name, const char* file, int line);
#define UI_ID(name) ui_where((name), __FILE__, __LINE__)

struct UiElementState {
  Rect rect;
  bool hovered;
  bool active;
  bool clicked;
  bool changed;
};

struct Image {
  Texture texture;
  Rect src;
  Color tint;  // alpha 0 = white
};

// Every field is zero unless a widget sets it: zero is the default of each. The fields every layout
// pass reads come first and fill two cache lines; identity, text and looks follow.
struct alignas(64) UiElement {
  UiElement* parent;
  UiElement* first_child;
  UiElement* last_child;
  UiElement* next;
  Rect rect;  // before layout: requested size and floating offset; after: absolute pixels
  UiElementState state;
  f32 pad;  // design units until the layout converts it
  f32 gap;  // design units until the layout converts it
  v2 grow;  // x: share of the free main-axis space; y: stretch across
  v2 anchor;
  f32 min_width, max_width, min_height, max_height;
  f32 font_size;
  UiDirection direction;
  UiAlign text_align;
  UiAlign align;
  bool scroll;
  bool floating;
  bool fixed_size;
  bool disabled;
  u8 ignore_events;
  u64 key;
  UiId id;
  Text text;
  Color bg_color;
  Color text_color;
  Color hover_color;
  Color active_color;
  Color border_color;
  Image image;
};
static_assert(offsetof(UiElement, key) < 128, "the layout's fields should stay within two cache lines");
static_assert(offsetof(UiElement, text) == offsetof(UiElement, id) + sizeof(UiId), "the identity is one block");

struct UiElementConfig {
  bool disabled;
  UiId id;
  u64 key;
};
