#pragma once
// The chat history the client keeps of the messages it received and the lines it wrote itself.
#include "packet.hpp"

constexpr int CHAT_HISTORY_MAX = 64;

// A ring of the most recent messages; `count` grows without bound, the oldest are overwritten.
struct ChatHistory {
  ChatMessage messages[CHAT_HISTORY_MAX] = {};
  int count = 0;
};
extern ChatHistory chat_history;

// Adds a message; its texts are cut to end inside their fields first.
void chat_append_message(ChatMessage& message);
// The i-th most recent message (0 the newest), or null.
const ChatMessage* chat_recent(int i);
