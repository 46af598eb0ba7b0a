#pragma once
// The immediate-mode UI: its global record, the theme, the frame contract and every widget.
#include "math.hpp"
#include "packet.hpp"
#include "render/renderer.hpp"
#include "types.hpp"
#include "ui/ui_element.hpp"

constexpr int UiMaxElements = 512;
constexpr int UiMaxScissors = 16;
constexpr f32 desired_display_height = 2160;

// --- theme

struct SizeSet {
  f32 tiny, small, medium, large, extra_large;
};

struct Theme {
  Color text_color = {{0.9f, 0.8f, 0.8f, 1}};
  Color bg_color = {{0.15f, 0.15f, 0.15f, 1}};
  Color hover_color = {{0.7f, 0.5f, 0.15f, 1}};
  Color accent_color = {{0.6f, 0.4f, 0.15f, 1}};
  Color success_color = {{0.2f, 0.8f, 0.3f, 1}};
  Color error_color = {{0.9f, 0.2f, 0.2f, 1}};
  Color border_color = {{0.7f, 0.7f, 0.7f, 1}};
  Color border_light_color = {{0.5f, 0.5f, 0.5f, 1}};
  Color button_bg_color = {{0.4f, 0.3f, 0.15f, 1}};
  Color button_bg_hover_color = {{0.6f, 0.6f, 0.15f, 1}};
  Color button_bg_active_color = {{0.6f, 0.0f, 0.15f, 1}};
  Color button_border_color = {{0.5f, 0.4f, 0.2f, 1}};
  Color tooltip_bg_color = {{0.2f, 0.2f, 0.2f, 1}};
  Color bar_bg_color = {{0.5f, 0.3f, 0.1f, 1}};
  Color slot_bg_color = {{0.9f, 0.4f, 0.15f, 1}};
  Color slot_bg_hover_color = {{0.9f, 0.4f, 0.95f, 1}};
  Color slot_border_color = {{0.4f, 0.4f, 0.4f, 1}};
  Color hp_color = {{0.8f, 0.1f, 0.1f, 0.8f}};
  Color mana_color = {{0.3f, 0.3f, 0.8f, 0.8f}};
  Color energy_color = {{0.8f, 0.4f, 0.1f, 0.8f}};
  Color stamina_color = {{0.1f, 0.6f, 0.4f, 0.8f}};
  Color xp_color = {{0.8f, 0.8f, 0.1f, 0.4f}};
  SizeSet pad = {4, 6, 8, 12, 16};
  SizeSet gap = {4, 6, 8, 12, 16};
  f32 text_input_em = 12;
};

extern const Theme theme;

// --- windows and text fields

struct UiDialog;
typedef void (*UiDialogHook)(UiDialog& dialog);

struct UiDialog {
  Text name;
  Text title;
  v2 pos = {};
  v2 default_pos = {};
  v2 default_anchor = {};
  bool is_visible = false;
  UiElement* container = nullptr;
  UiElement* contents = nullptr;
  u32 entity_id = 0;
  UiDialogHook on_hide = nullptr;
  bool moved = false;
};

struct TextInput {
  Text text;
  int max_len = 0;  // 0 = only the buffer's own limit; at most 128
  char mask_char = 0;
};

// --- the chat's state (its functions are the world screen's: world/chat.hpp)

constexpr int CHAT_MESSAGES_MAX = 128;
constexpr int CHAT_BUBBLES_MAX = 8;

struct Chat {
  UiDialog dialog;  // `is_visible`: the chat is open
  TextInput input;
  ChatMessage messages[CHAT_MESSAGES_MAX];  // ring of the last messages
  int nmessages;
  int next_index;
  ChatMessage bubbles[CHAT_BUBBLES_MAX];  // at most one per sender
  int next_bubble_index;
};

// --- the record

struct Ui {
  v2 mouse = {};
  bool draw_grid = false;
  int draw_world_map = 0;
  f32 scale = 1;
  f32 line_height = 0;

  struct {
    Text* text = nullptr;  // the focused field's buffer
    int max_index = 0;
    f32* slider = nullptr;       // the value of the slider being dragged
    UiDialog* dialog = nullptr;  // the window being dragged
    v2 at = {};                  // grab offset of that window
  } active_element;

  bool hovered = false;
  struct {
    Rect rect = {};
  } hovered_element;

  struct {
    bool show_lmb = false, show_spc = false, show_rmb = false;
  } main_controls;
  struct {
    bool is_visible = false;
    bool is_active = false;
    v2 start_pos = {};
    Rect area = {};
    int selected_tile = 0;
  } tiles;
  u32 hovered_item_id = 0;
  u32 hovered_container_id = 0;
  u16 selected_recipe_type = 0;

  struct {
    v2 pos = {};
    v2 anchor = {};
    Text text;
    bool is_visible = false;
  } tooltip;

  struct {
    v2 pos = {};
    u32 item_id = 0;
    int current_item_number = 0;
    int activated_item_number = 0;
    bool show_admin_items = false;
  } context_menu;

  UiElement elements_prev[UiMaxElements] = {};
  int nelements_prev = 0;
  UiElement elements[UiMaxElements] = {};
  int nelements = 0;
  UiElement* current_layout = nullptr;

  bool dump_elements = false;
  Rect scissor_stack[UiMaxScissors] = {};
  int nscissor_stack = 0;
  bool show_inspector = false;

  UiDialog gear, container, craft, spells, blank, entity_info, blueprint_dialog, debug_controls, entity_debug_dialog,
      admin_dialog;
  TextInput add_entity_filter, craft_search, blueprint_name_input;
  Chat chat;

  // Bookkeeping of this implementation: a push refused for lack of space is reported once a frame,
  // and the previous frame's elements are indexed by identity so a lookup needs no scan.
  bool out_of_space_reported = false;
  int nrefused_layouts = 0;
  s16 prev_by_name[1024] = {};
  s16 prev_by_name_key[1024] = {};
  u32 prev_name_hash[UiMaxElements] = {};
};

extern Ui ui;

// --- scale and units

void update_ui_scale();
// Design units (pixels on a 2160-line display) to pixels.
inline f32 px(f32 v) { return ui.scale * ((f32)renderer.display_height / desired_display_height) * v; }
// Lines of text to pixels.
inline f32 em_px(f32 em) { return ui.line_height * em; }

// --- frame contract

void ui_init();
void ui_reset();
void ui_begin();
void update_ui();
void ui_end();
void ui_render();

// --- building the tree

UiElement* ui_push_element(const UiId& id, UiElement* parent);
void ui_append_child(UiElement* parent, UiElement* child);
UiElement* ui_begin_layout(const UiId& id, v2 pos);
void ui_end_layout();
UiElementState ui_get_prev_state(UiElement* element);
bool rect_is_hovered(Rect rect);
void set_tooltip(v2 pos, v2 anchor, Text text);

// --- layout (no GL)

void ui_compute_layout(UiElement* root);
void ui_compute_sizes(UiElement* element);
void ui_grow_sizes(UiElement* element);
void ui_compute_positions(UiElement* element);

// --- drawing and clipping

void ui_render_element(UiElement* element);
void ui_render_text(UiElement* element);
Rect ui_clip_intersect(Rect a, Rect b);
void ui_set_scissor(Rect rect);
void ui_push_scissor(Rect rect);
void ui_pop_scissor();

// --- debugging

void ui_tooltip();
void ui_dump(FILE* out, UiElement* element, int depth);
void ui_inspector();
// Index of the topmost of the first `nelements` elements under `mouse`, or -1.
int ui_inspector_pick(int nelements, v2 mouse);

// --- widgets

// Sets `dst` to prefix + text + "}" (cut at 127 bytes): the names widgets give their elements.
void ui_compose_name(Text& dst, const char* prefix, const Text& text);

UiElement* ui_div(const UiId& id, v2 pos);
UiElement* ui_spacer(const UiId& id);
UiElement* ui_rect(const UiId& id, Rect rect, Color color);
UiElement* ui_text(const Text& text, const UiId& id = {});
UiElement* ui_textf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
UiElement* ui_gap();
UiElement* ui_hr();
UiElement* ui_error_box(Text msg);

UiElementState ui_button(Text label, UiElementConfig cfg = {});
UiElementState ui_toggle_button(Text label, bool* value);
UiElementState ui_slider(UiId id, f32* value, UiElementConfig cfg = {});
UiElement* ui_slider_with_label(UiId id, f32* value, UiElementConfig cfg = {});
UiElementState ui_slider_with_label(UiId id, f32* value, Text label, UiElementConfig cfg = {});
bool ui_begin_toggle_group(Text label, bool& is_visible);
void ui_end_toggle_group();
UiElement* ui_spinner();
UiElement* ui_loader(Text text);
UiElement* ui_bar(f32 t, Color fill_color, Text text);
UiElement* ui_param_bar(Param param, Color fill_color, Text label);

// --- panels and dialogs

// A floating panel centred on a point of the window: theme background and border, extra-large padding.
struct UiPanel {
  Text title;                  // its first line, or the dialog's title bar; none when empty
  v2 at = {0.5f, 0.5f};        // where its centre goes, in fractions of the window's size
  v2 size = {};                // of its contents in pixels, padding on top: a least width, a fixed height;
                               // zero fits the contents
  UiDialog* dialog = nullptr;  // set: a movable window with a close button (ui_dialog), named by the dialog
};

// Opens a panel and returns the element its contents go into (the panel itself, or the dialog's contents);
// callers may restyle it. Close it with ui_end_panel and the same record.
UiElement* ui_begin_panel(const UiId& id, const UiPanel& panel);
void ui_end_panel(const UiPanel& panel);

void ui_dialog(UiDialog& dialog);
void ui_end_dialog();
void show_dialog(UiDialog& dialog, u32 id);
void hide_dialog(UiDialog& dialog);
bool toggle_dialog(UiDialog& dialog);

// --- text input

UiElement* ui_text_input(TextInput& input);
void activate_text_input(TextInput& input);
void deactivate_text_input();
bool text_input_is_active(const TextInput& input);
void append_to_active_text_input(const char* text);
void delete_from_active_text_input();
// The number of UTF-8 characters in `s`: what a masked field shows.
int utf8_count(Str s);
