#pragma once
// The chat: the history of messages, speech bubbles over the speakers, the overlay and the chat window.
#include "app/client.hpp"

struct Entity;

constexpr Duration CHAT_BUBBLE_DURATION = {3 * Seconds.ns};
constexpr int CHAT_INPUT_MAX = 128;

void activate_chat();
void deactivate_chat();
void toggle_chat();
// Sends the typed line while the chat is open; the line comes back from the server like any other.
void chat_handle_return();
// Puts a text into the input line and opens the chat.
void chat_set_input(Text text);

// The i-th newest message held (0 the newest), or null.
const ChatMessage* chat_recent(int i);
// The entity a bubble stands over this frame: its sender while the bubble is fresh and the sender is
// known, else null.
Entity* chat_bubble_speaker(const ChatMessage& bubble);
// The colour a sender's name is written in: one per speaker, the same every frame.
Color chat_sender_color(Id sender_id);

void ui_chat();
// The newest messages, newest at the bottom, at most `nlines_max` wrapped lines; returns the lines used.
int ui_render_chat_messages(f32 width, int nlines_max);
// Emits `text` as lines of at most `max_width` pixels into the current layout, breaking at spaces;
// returns the number of lines. A word wider than a line keeps a line of its own, unbroken.
int ui_wrap_words(Str text, f32 max_width);
void draw_chat_bubbles();
