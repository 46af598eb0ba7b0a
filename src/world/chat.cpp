// The chat: the history ring, one speech bubble per speaker, the overlay and the window with its input.
#include "world/chat.hpp"

#include "entity.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "render/font.hpp"
#include "ui/ui.hpp"
#include "world/feedback.hpp"

void chat_append_message(ChatMessage& message) {
  // Whatever filled the record, its texts end inside their fields before anyone prints them.
  message.text[CHAT_MESSAGE_LEN - 1] = 0;
  message.sender_name[PLAYER_NAME_LEN - 1] = 0;
  Chat& c = ui.chat;
  c.messages[c.next_index] = message;
  c.next_index = (c.next_index + 1) % CHAT_MESSAGES_MAX;
  if (c.nmessages < CHAT_MESSAGES_MAX) c.nmessages += 1;

  // Local lines have no speaker to stand over.
  if (message.sender_id == 0) return;
  for (ChatMessage& b : c.bubbles) {
    if (b.sender_id == message.sender_id) {
      b = message;
      return;
    }
  }
  c.bubbles[c.next_bubble_index] = message;
  c.next_bubble_index = (c.next_bubble_index + 1) % CHAT_BUBBLES_MAX;
}

const ChatMessage* chat_recent(int i) {
  const Chat& c = ui.chat;
  if (i < 0 || i >= c.nmessages) return nullptr;
  int slot = (c.next_index - 1 - i + 2 * CHAT_MESSAGES_MAX) % CHAT_MESSAGES_MAX;
  return &c.messages[slot];
}

void activate_chat() {
  Chat& c = ui.chat;
  show_dialog(c.dialog, 0);
  c.input.max_len = CHAT_INPUT_MAX;
  activate_text_input(c.input);
}

void deactivate_chat() { hide_dialog(ui.chat.dialog); }

void toggle_chat() {
  if (ui.chat.dialog.is_visible) {
    deactivate_chat();
  } else {
    activate_chat();
  }
}

void chat_handle_return() {
  Chat& c = ui.chat;
  if (!c.dialog.is_visible) return;
  if (c.input.text.cstr()[0] == 0) return;
  net_send_chat(c.input.text.cstr());
  text_clear(c.input.text);
}

void chat_set_input(Text text) {
  activate_chat();
  text_set(ui.chat.input.text, text.str());
}

Entity* chat_bubble_speaker(const ChatMessage& bubble) {
  if (bubble.sender_id == 0) return nullptr;
  if (server_age(bubble.sent_time) > CHAT_BUBBLE_DURATION) return nullptr;
  if (game.player && game.player->id == bubble.sender_id) return game.player;
  return find_entity_by_id(bubble.sender_id);
}

Color chat_sender_color(Id sender_id) {
  // Golden-ratio steps around the hue circle keep neighbouring ids far apart.
  f32 hue = fract((f32)(sender_id % 1024u) * 0.618034f);
  return from_hsv(hue, 0.55f, 0.95f, 1);
}

// One wrapped line without the spaces around it; a line of spaces alone is no line at all.
static int ui_wrap_emit(Str text, int from, int to) {
  while (from < to && text.data[from] == ' ') from++;
  while (to > from && text.data[to - 1] == ' ') to--;
  if (from == to) return 0;
  ui_text(tprintf("%.*s", to - from, text.data + from));
  return 1;
}

int ui_wrap_words(Str text, f32 max_width) {
  int nlines = 0;
  int line_start = 0;
  f32 line_width = 0;
  int i = 0;
  while (i < text.len) {
    // A word with the space before it, up to the next space or the end.
    int word_start = i;
    int j = i;
    if (text.data[j] == ' ') j++;
    while (j < text.len && text.data[j] != ' ') j++;
    f32 w = measure_string(Style{}, Str(text.data + word_start, j - word_start)).w;
    // An empty line never breaks: a word wider than the line is its own line instead.
    if (line_width > 0 && line_width + w > max_width) {
      nlines += ui_wrap_emit(text, line_start, word_start);
      line_start = word_start;
      while (line_start < j && text.data[line_start] == ' ') line_start++;
      line_width = measure_string(Style{}, Str(text.data + line_start, j - line_start)).w;
    } else {
      line_width += w;
    }
    i = j;
  }
  nlines += ui_wrap_emit(text, line_start, text.len);
  return nlines;
}

static void ui_reverse_children(UiElement* e) {
  UiElement* reversed = nullptr;
  UiElement* last = e->first_child;
  for (UiElement* c = e->first_child; c;) {
    UiElement* next = c->next;
    c->next = reversed;
    reversed = c;
    c = next;
  }
  e->first_child = reversed;
  e->last_child = last;
}

int ui_render_chat_messages(f32 width, int nlines_max) {
  UiElement* list = ui_begin_layout("chat-messages", {});
  list->scroll = true;
  list->grow = {1, 0};
  list->max_width = width;
  int nlines = 0;
  for (int i = 0; nlines < nlines_max; i++) {
    const ChatMessage* m = chat_recent(i);
    if (!m) break;
    UiElement* row = ui_begin_layout("chat-message", {});
    row->key = (u64)(m - ui.chat.messages);
    row->direction = Ui_Horizontal;
    row->gap = theme.gap.small;
    Str sender = fixed_name(m->sender_name, PLAYER_NAME_LEN);
    if (sender.len > 0) {
      UiElement* name = ui_textf(str_fmt ":", str_arg(sender));
      name->text_color = chat_sender_color(m->sender_id);
    }
    ui_begin_layout("chat-message-text", {});
    int n = ui_wrap_words(fixed_name(m->text, CHAT_MESSAGE_LEN), 0.85f * width);
    ui_end_layout();
    ui_end_layout();
    // A line without text still takes its row.
    nlines += max(n, 1);
  }
  // Built newest first so the walk can stop at the line budget; shown newest at the bottom.
  ui_reverse_children(list);
  ui_end_layout();
  return nlines;
}

void ui_chat() {
  Chat& c = ui.chat;
  v2 place = {em_px(1), (f32)renderer.window_height - em_px(4)};
  f32 width = em_px(20);
  if (c.dialog.is_visible) {
    c.dialog.name = "chat";
    c.dialog.title = "Chat";
    c.dialog.default_pos = place;
    c.dialog.default_anchor = {0, 1};
    ui_dialog(c.dialog);
    UiElement* contents = c.dialog.contents;
    contents->rect.w = contents->min_width = width;
    contents->rect.h = contents->min_height = em_px(14);
    ui_render_chat_messages(width, 12);
    UiElement* input = ui_text_input(c.input);
    // As wide as the window's content, one line high: the messages take the height.
    input->grow = {0, 1};
    ui_end_dialog();
  } else {
    UiElement* overlay = ui_begin_layout("chat-overlay", place);
    overlay->floating = true;
    overlay->rect.x = place.x;
    overlay->rect.y = place.y;
    overlay->anchor = {0, 1};
    overlay->rect.w = overlay->min_width = width;
    overlay->rect.h = overlay->min_height = em_px(7);
    overlay->bg_color = Color{{0.2f, 0.2f, 0.2f, 0.5f}};
    overlay->border_color = Color{{0.4f, 0.4f, 0.4f, 0.4f}};
    ui_render_chat_messages(width, 7);
    ui_end_layout();
  }
}

void draw_chat_bubbles() {
  for (const ChatMessage& b : ui.chat.bubbles) {
    Entity* speaker = chat_bubble_speaker(b);
    if (!speaker) continue;
    draw_text_billboard(speaker->pos, {0, 64}, 1.5f, Color{{1, 1, 1, 1}}, "%s", b.text);
  }
}
