// The player's thoughts: pushed by refusals and needs, drawn over the character, gone 3 s after the last push.
#include "world/thoughts.hpp"

#include "entity.hpp"
#include "render/font.hpp"
#include "world/feedback.hpp"

void push_thought(Thought thought) {
  Mind& m = game.mind;
  if (m.nthoughts >= THOUGHTS_MAX) {
    printf("Cannot push thought: no space\n");
    return;
  }
  thought.occured_time = game.server_time;
  m.thoughts[m.nthoughts++] = thought;
}

void push_thought(ThoughtType type) {
  Mind& m = game.mind;
  for (int i = 0; i < m.nthoughts; i++) {
    if (m.thoughts[i].type == type) {
      m.thoughts[i].occured_time = game.server_time;
      return;
    }
  }
  Thought t;
  t.type = type;
  push_thought(t);
}

void push_thought(Text text) {
  Thought t;
  t.type = ThoughtType_Custom;
  t.text = text;
  push_thought(t);
}

Text thought_text(const Thought& thought) {
  switch (thought.type) {
    case ThoughtType_None: return "?";
    case ThoughtType_Custom: return thought.text;
    case ThoughtType_Hungry: return "I'm hungry";
    default: return "???";
  }
}

int thoughts_frame(Text* lines, int nmax) {
  Mind& m = game.mind;
  int n = 0;
  for (int i = 0; i < m.nthoughts;) {
    Thought& t = m.thoughts[i];
    if (n < nmax) lines[n++] = tprintf("*%s*", thought_text(t).cstr());
    if (server_age(t.occured_time) > THOUGHT_DURATION) {
      // The last thought moves into this slot and is looked at next, not skipped.
      t = m.thoughts[--m.nthoughts];
    } else {
      i++;
    }
  }
  return n;
}

void draw_thoughts() {
  if (!game.player || is_dead(*game.player)) return;
  Text lines[THOUGHTS_MAX];
  int n = thoughts_frame(lines, THOUGHTS_MAX);
  v2 pos = game.player->pos;
  for (int i = 0; i < n; i++) {
    v2 at = {pos.x, pos.y + (f32)i * px(17)};
    draw_text_billboard(at, {0, 64}, 1.5f, Color{{1, 1, 1, 1}}, "%s", lines[i].cstr());
  }
}
