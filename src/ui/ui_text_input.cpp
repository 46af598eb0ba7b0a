// Single-line text fields: focus, editing at the end of the buffer, the caret and masking.
#include "app/client.hpp"
#include "render/font.hpp"
#include "app/platform.hpp"
#include "ui/ui.hpp"

// The buffer keeps its terminator: 127 bytes of content at most, whatever the field's own limit.
constexpr int TextInputMaxBytes = (int)sizeof(Text::buffer) - 1;

static bool utf8_is_continuation(u8 b) { return (b & 0xC0) == 0x80; }

int utf8_count(Str s) {
  int n = 0;
  for (int i = 0; i < s.len; i++) {
    if (!utf8_is_continuation((u8)s.data[i])) n++;
  }
  return n;
}

// Edits work on the inline buffer only; a field that still refers to a literal gets a copy first,
// or deleting its last byte would bring the literal back.
static Text& active_text() {
  assert(ui.active_element.text);
  Text& t = *ui.active_element.text;
  if (t.literal) {
    if (!t.buffer[0]) text_set(t, Str(t.literal, (int)strnlen(t.literal, TextInputMaxBytes)));
    t.literal = nullptr;
  }
  t.buffer[TextInputMaxBytes] = 0;
  t.length = (int)strlen(t.buffer);
  return t;
}

bool text_input_is_active(const TextInput& input) { return ui.active_element.text == &input.text; }

void activate_text_input(TextInput& input) {
  assert(input.max_len <= 128);
  ui.active_element.text = &input.text;
  ui.active_element.max_index = input.max_len > 0 ? input.max_len - 1 : 127;
  platform_start_text_input();
}

void deactivate_text_input() {
  ui.active_element.text = nullptr;
  ui.active_element.max_index = 0;
  platform_stop_text_input();
}

void append_to_active_text_input(const char* text) {
  Text& t = active_text();
  int limit = min(ui.active_element.max_index + 1, TextInputMaxBytes);
  int n = t.length;
  const u8* s = (const u8*)text;
  while (*s) {
    // One character at a time, so a cut at the limit never leaves half of one behind.
    int unit = 1;
    while (s[unit] && utf8_is_continuation(s[unit]) && unit < 4) unit++;
    if (n + unit > limit) break;
    memcpy(t.buffer + n, s, (size_t)unit);
    n += unit;
    s += unit;
  }
  t.buffer[n] = 0;
  t.length = n;
}

void delete_from_active_text_input() {
  Text& t = active_text();
  int n = t.length;
  while (n > 0) {
    n--;
    u8 b = (u8)t.buffer[n];
    t.buffer[n] = 0;
    if (!utf8_is_continuation(b)) break;
  }
  t.length = n;
}

UiElement* ui_text_input(TextInput& input) {
  UiElement* c = ui_begin_layout("text-input", {});
  c->key = (u64)(uintptr_t)&input;
  c->pad = theme.pad.medium;
  c->grow = {1, 1};
  c->rect.h = ui.line_height;
  c->scroll = true;
  UiElementState state = ui_get_prev_state(c);
  if (state.clicked) activate_text_input(input);

  bool focused = text_input_is_active(input);
  if (state.hovered) {
    c->border_color = theme.hover_color;
  } else if (focused) {
    c->border_color = theme.accent_color;
  } else {
    c->border_color = theme.border_color;
  }

  Text shown;
  if (input.text.length > 0) {
    if (input.mask_char) {
      text_clear(shown);
      int n = min(utf8_count(input.text.str()), TextInputMaxBytes);
      memset(shown.buffer, input.mask_char, (size_t)n);
      shown.length = n;
    } else {
      shown = input.text;
    }
    UiElement* text = ui_text(shown);
    text->grow = {0, 1};
  }

  if (focused) {
    f32 pad = px(theme.pad.medium);
    f32 caret_w = em_px(0.1f);
    f32 text_w = shown.length > 0 ? measure_text(Style{}, shown).w : 0;
    f32 x = pad + text_w;
    // On its first frame the field has no width yet; keep the caret at the text's end.
    if (state.rect.w > 0) x = min(x, state.rect.w - pad - caret_w);
    UiElement* caret = ui_push_element("carret", ui.current_layout);
    caret->floating = true;
    caret->rect = {x, pad, caret_w, ui.line_height};
    if (fract(to_sec(game.time)) > 0.5f) caret->bg_color = theme.text_color;
  }

  ui_end_layout();
  return c;
}
