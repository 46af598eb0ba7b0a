#include "net/chat_intake.hpp"

ChatHistory chat_history;

void chat_append_message(ChatMessage& message) {
  message.text[CHAT_MESSAGE_LEN - 1] = 0;
  message.sender_name[PLAYER_NAME_LEN - 1] = 0;
  chat_history.messages[chat_history.count % CHAT_HISTORY_MAX] = message;
  chat_history.count += 1;
}

const ChatMessage* chat_recent(int i) {
  if (i < 0 || i >= CHAT_HISTORY_MAX || i >= chat_history.count) return nullptr;
  return &chat_history.messages[(chat_history.count - 1 - i) % CHAT_HISTORY_MAX];
}
