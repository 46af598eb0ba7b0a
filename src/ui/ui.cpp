// The UI's global record, scale, the frame contract, tree building and the previous-frame lookup.
#include "ui/ui.hpp"

#include "app/client.hpp"
#include "render/renderer.hpp"

Ui ui;
const Theme theme;

UiId ui_where(Text name, const char* file, int line) {
  UiId id;
  id.name = name;
  id.file = file;
  id.line = line;
  return id;
}

// --- scale and units

void update_ui_scale() {
  f32 sx = renderer.display_width > 0 ? (f32)renderer.window_width / (f32)renderer.display_width : 1;
  f32 sy = renderer.display_height > 0 ? (f32)renderer.window_height / (f32)renderer.display_height : 1;
  ui.scale = max(sx, sy);
  ui.line_height = ui.scale * renderer.font_pixel_height;
}

// --- frame contract

void ui_init() {}

void ui_reset() {
  // Scale and line height follow the window and the pointer follows the mouse: neither is UI state,
  // and losing them would leave the rest of this frame laid out at scale 0 with a phantom pointer.
  f32 line_height = ui.line_height;
  f32 scale = ui.scale;
  v2 mouse = ui.mouse;
  memset((void*)&ui, 0, sizeof(ui));
  ui.line_height = line_height;
  ui.scale = scale;
  ui.mouse = mouse;
  ui_begin();
  ui.draw_world_map = 1;
}

void ui_begin() {
  // Each slot is cleared when it is handed out, while it is about to be written anyway.
  ui.nelements = 0;
  ui.current_layout = nullptr;
  ui.out_of_space_reported = false;
  ui.nrefused_layouts = 0;
  ui.current_layout = ui_push_element("root", nullptr);
}

void update_ui() {
  ui.hovered = false;
  ui.hovered_element.rect = {};
  ui.hovered_item_id = 0;
  ui.hovered_container_id = 0;
  ui.tooltip.is_visible = false;
  if (left_mouse_went_up()) {
    ui.active_element.slider = nullptr;
    ui.active_element.dialog = nullptr;
  }
}

// FNV-1a over the name's bytes: cheap and well spread, unlike text_hash whose early bytes shift out.
static u32 ui_name_hash(const Text& name) {
  u32 h = 2166136261u;
  const char* s = name.cstr();
  for (int i = 0; i < name.length; i++) h = (h ^ (u8)s[i]) * 16777619u;
  return h;
}

static u32 ui_key_mix(u32 name_hash, u64 key) {
  u64 k = key * 0x9E3779B97F4A7C15ull;
  return name_hash ^ (u32)(k >> 32) ^ (u32)k;
}

constexpr int UiPrevIndexMask = len(Ui{}.prev_by_name) - 1;

static_assert((len(Ui{}.prev_by_name) & UiPrevIndexMask) == 0, "the index size must be a power of two");
static_assert(len(Ui{}.prev_by_name) >= 2 * UiMaxElements, "the index must stay at most half full");

// Slots hold element index + 1, 0 = empty. Only the first element of each identity is kept, so a
// lookup returns what an in-order scan would.
static void ui_index_prev() {
  memset(ui.prev_by_name, 0, sizeof(ui.prev_by_name));
  memset(ui.prev_by_name_key, 0, sizeof(ui.prev_by_name_key));
  for (int i = 0; i < ui.nelements_prev; i++) {
    const UiElement& e = ui.elements_prev[i];
    u32 h = ui_name_hash(e.id.name);
    ui.prev_name_hash[i] = h;
    for (u32 slot = h & UiPrevIndexMask;; slot = (slot + 1) & UiPrevIndexMask) {
      int j = ui.prev_by_name[slot] - 1;
      if (j < 0) {
        ui.prev_by_name[slot] = (s16)(i + 1);
        break;
      }
      if (ui.prev_name_hash[j] == h && text_equal(ui.elements_prev[j].id.name, e.id.name)) break;
    }
    for (u32 slot = ui_key_mix(h, e.key) & UiPrevIndexMask;; slot = (slot + 1) & UiPrevIndexMask) {
      int j = ui.prev_by_name_key[slot] - 1;
      if (j < 0) {
        ui.prev_by_name_key[slot] = (s16)(i + 1);
        break;
      }
      const UiElement& o = ui.elements_prev[j];
      if (ui.prev_name_hash[j] == h && o.key == e.key && text_equal(o.id.name, e.id.name)) break;
    }
  }
}

UiElementState ui_get_prev_state(UiElement* element) {
  if (!element) return {};
  u32 h = ui_name_hash(element->id.name);
  const UiElement* found = nullptr;
  if (element->key == 0) {
    for (u32 slot = h & UiPrevIndexMask;; slot = (slot + 1) & UiPrevIndexMask) {
      int j = ui.prev_by_name[slot] - 1;
      if (j < 0) break;
      if (ui.prev_name_hash[j] == h && text_equal(ui.elements_prev[j].id.name, element->id.name)) {
        found = &ui.elements_prev[j];
        break;
      }
    }
  } else {
    for (u32 slot = ui_key_mix(h, element->key) & UiPrevIndexMask;; slot = (slot + 1) & UiPrevIndexMask) {
      int j = ui.prev_by_name_key[slot] - 1;
      if (j < 0) break;
      const UiElement& o = ui.elements_prev[j];
      if (ui.prev_name_hash[j] == h && o.key == element->key && text_equal(o.id.name, element->id.name)) {
        found = &o;
        break;
      }
    }
  }
  if (!found) return {};
  UiElementState state = found->state;
  state.rect = found->rect;
  return state;
}

void ui_end() {
  ui_tooltip();
  assert(ui.current_layout == &ui.elements[0]);
  ui_compute_layout(&ui.elements[0]);

  // Tree links still point into `elements`; the previous frame is only ever read flat, by identity.
  memcpy((void*)ui.elements_prev, (const void*)ui.elements, sizeof(UiElement) * (size_t)ui.nelements);
  if (ui.nelements_prev > ui.nelements) {
    memset((void*)&ui.elements_prev[ui.nelements], 0, sizeof(UiElement) * (size_t)(ui.nelements_prev - ui.nelements));
  }
  ui.nelements_prev = ui.nelements;
  ui_index_prev();

  if (ui.dump_elements) {
    ui.dump_elements = false;
    printf("UI dump at frame %ld\n", (long)game.frame);
    ui_dump(stdout, &ui.elements[0], 0);
    printf("----------------------------------------\n");
  }
  if (ui.show_inspector) ui_inspector();
}

// --- building the tree

void ui_append_child(UiElement* parent, UiElement* child) {
  child->parent = parent;
  if (parent->last_child) {
    parent->last_child->next = child;
  } else {
    parent->first_child = child;
  }
  parent->last_child = child;
}

static void* (*volatile ui_zero_fn)(void*, int, size_t) = memset;
static void ui_zero(void* p, size_t n) { ui_zero_fn(p, 0, n); }

// Where a refused push writes: never linked into the tree, so callers may still set its fields and
// open or close it as a layout without touching the real arrays.
static UiElement ui_overflow_element;

UiElement* ui_push_element(const UiId& id, UiElement* parent) {
  if (ui.nelements >= UiMaxElements) {
    if (!ui.out_of_space_reported) {
      fprintf(stderr, "Cannot push UiElement: out of space\n");
      ui.out_of_space_reported = true;
    }
    memset((void*)&ui_overflow_element, 0, sizeof(ui_overflow_element));
    ui_overflow_element.id = id;
    return &ui_overflow_element;
  }
  UiElement* e = &ui.elements[ui.nelements++];
  // Everything but the identity, which is copied over anyway. Through the library's vectorised
  // memset: the compiler's inline string store for a constant size is several times slower here.
  char* bytes = (char*)e;
  ui_zero(bytes, offsetof(UiElement, id));
  ui_zero(bytes + offsetof(UiElement, text), sizeof(UiElement) - offsetof(UiElement, text));
  e->id = id;
  if (parent) ui_append_child(parent, e);
  return e;
}

UiElement* ui_begin_layout(const UiId& id, v2 pos) {
  if (ui.nelements >= UiMaxElements) {
    // The layout cannot exist: count the opening so the matching end knows to keep the current one.
    ui_push_element(id, nullptr);
    ui.nrefused_layouts++;
    return &ui_overflow_element;
  }
  UiElement* e = ui_push_element(id, ui.current_layout);
  if (!v2_is_zero(pos)) {
    e->floating = true;
    e->rect.x = pos.x;
    e->rect.y = pos.y;
  }
  ui.current_layout = e;
  return e;
}

void ui_end_layout() {
  if (ui.nrefused_layouts > 0) {
    ui.nrefused_layouts--;
    return;
  }
  assert(ui.current_layout && ui.current_layout->parent);
  ui.current_layout = ui.current_layout->parent;
}

bool rect_is_hovered(Rect rect) {
  if (!point_intersects_rect(ui.mouse, rect)) return false;
  ui.hovered = true;
  ui.hovered_element.rect = rect;
  return true;
}

void set_tooltip(v2 pos, v2 anchor, Text text) {
  if (ui.context_menu.item_id != 0) return;
  ui.tooltip.pos = pos;
  ui.tooltip.anchor = anchor;
  ui.tooltip.text = text;
  ui.tooltip.is_visible = true;
}

// --- tooltip, dump and inspector

void ui_tooltip() {
  if (!ui.tooltip.is_visible) return;
  UiElement* e = ui_begin_layout("global-tooltip", ui.tooltip.pos);
  e->floating = true;
  e->text = ui.tooltip.text;
  e->bg_color = theme.tooltip_bg_color;
  e->border_color = theme.border_color;
  e->pad = theme.pad.small;
  e->anchor = ui.tooltip.anchor;
  ui_end_layout();
}

void ui_dump(FILE* out, UiElement* element, int depth) {
  for (int i = 0; i < depth; i++) fputs("    ", out);
  Rect r = element->rect;
  fprintf(out, "- (%ld) %20s [%d,%d %dx%d]%c%c [hovered:%d|active:%d]\n", (long)element->key, element->id.name.cstr(),
          (int)r.x, (int)r.y, (int)r.w, (int)r.h, element->direction == Ui_Horizontal ? '-' : '|',
          element->floating ? '*' : ' ', (int)element->state.hovered, (int)element->state.active);
  for (UiElement* c = element->first_child; c; c = c->next) ui_dump(out, c, depth + 1);
}
