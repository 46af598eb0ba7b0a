// The chat's history and bubbles, word wrapping, event texts with their sounds, and the player's thoughts.
#include <string>

#include "audio/audio.hpp"
#include "ui_test_support.hpp"
#include "world/chat.hpp"
#include "world/events.hpp"
#include "world/thoughts.hpp"
#include "world_fixture.hpp"

namespace {

constexpr Time T0 = {100 * Seconds.ns};
Time ago(f32 s) { return {(u64)((s64)T0.ns - (s64)(s * 1e9f))}; }

void say(Id sender, const std::string& text, Time at = T0) {
  ChatMessage m = {};
  snprintf(m.text, sizeof m.text, "%s", text.c_str());
  snprintf(m.sender_name, sizeof m.sender_name, "P%u", sender);
  m.sender_id = sender, m.sent_time = at;
  chat_append_message(m);
}
const ChatMessage* bubble_of(Id sender) {
  const ChatMessage* found = nullptr;
  int n = 0;
  for (const ChatMessage& b : ui.chat.bubbles)
    if (b.sender_id == sender) found = &b, n++;
  EXPECT_LE(n, 1) << "bubbles of " << sender;
  return found;
}

struct ChatTest : UiTest {
  void SetUp() override { UiTest::SetUp(), game.server_time = T0; }
};

TEST_F(ChatTest, RingKeepsTheLast128AndEachOfTheLastEightSpeakersOneBubble) {
  // Ten speakers take turns: none of them still has a bubble when speaking again.
  for (int i = 1; i <= 128; i++) say(100 + i % 10, std::to_string(i));
  ChatMessage wire = {};
  memset((void*)&wire, 'x', sizeof wire);  // unterminated texts from the network
  wire.sender_id = 109, wire.sent_time = T0;
  chat_append_message(wire);
  EXPECT_EQ(ui.chat.nmessages, CHAT_MESSAGES_MAX);
  EXPECT_EQ(strlen(chat_recent(0)->text), (size_t)CHAT_MESSAGE_LEN - 1);
  EXPECT_STREQ(chat_recent(1)->text, "128");
  EXPECT_STREQ(chat_recent(127)->text, "2");
  EXPECT_EQ(chat_recent(128), nullptr);
  for (Id s = 100; s < 102; s++) EXPECT_EQ(bubble_of(s), nullptr) << s;
  for (Id s = 102; s < 109; s++) EXPECT_EQ(atoi(bubble_of(s)->text), 120 + (int)s - 100) << s;
  chatf("%s", std::string(300, 'w').c_str());
  chatf("a local line %d", 7);
  EXPECT_STREQ(chat_recent(0)->text, "a local line 7");
  EXPECT_TRUE(chat_recent(0)->sender_name[0] == 0 && chat_recent(0)->sender_id == 0 && !chat_recent(0)->sent_time.ns);
  EXPECT_EQ(strlen(chat_recent(1)->text), (size_t)CHAT_MESSAGE_LEN - 1);
  EXPECT_EQ(bubble_of(0), nullptr);
  ui_reset();
  EXPECT_EQ(ui.chat.nmessages, 0);
  EXPECT_EQ(bubble_of(109), nullptr);
}

TEST_F(ChatTest, NinthSpeakerTakesTheFirstBubbleAndABubbleShowsThreeSecondsOverItsSpeaker) {
  Entity player = {};
  player.id = 1;
  game.player = &player;
  for (Id s = 1; s <= 9; s++) say(s, "hi");
  EXPECT_EQ(bubble_of(1), nullptr);
  say(2, "again", ago(2.9f));
  EXPECT_STREQ(bubble_of(2)->text, "again");
  say(1, "me", ago(2.9f));
  EXPECT_EQ(bubble_of(2), nullptr);
  EXPECT_EQ(chat_bubble_speaker(*bubble_of(1)), &player);
  game.server_time = ago(-0.2f);
  EXPECT_EQ(chat_bubble_speaker(*bubble_of(1)), nullptr);
  // Datagrams out of order: the clock steps back before the line was sent, and the bubble still shows.
  game.server_time = ago(3.5f);
  EXPECT_EQ(chat_bubble_speaker(*bubble_of(1)), &player);
  game.player = nullptr;
}

TEST_F(ChatTest, WrapBreaksAtSpacesKeepsLongWordsWholeAndNeverEmitsAnEmptyLine) {
  f32 w = measure_string(Style{}, Str("abcd efgh")).w * 1.01f;
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {{"", {}},
               {"abcd efgh ijkl mnop qr", {"abcd efgh", "ijkl mnop", "qr"}},
               {"abcdefghijklmnopqrstuvwxyz ab", {"abcdefghijklmnopqrstuvwxyz", "ab"}},
               {"ab abcdefghijklmnopqrstuvwxyz cd", {"ab", "abcdefghijklmnopqrstuvwxyz", "cd"}},
               {"abcd efgh      ", {"abcd efgh"}},
               {"abcd efgh   ijkl", {"abcd efgh", "ijkl"}}};
  for (const Case& c : cases) {
    UiElement* box = ui_begin_layout("box", {});
    EXPECT_EQ(ui_wrap_words(Str(c.text), w), (int)c.lines.size()) << c.text;
    ui_end_layout();
    std::vector<std::string> lines;
    for (UiElement* e = box->first_child; e; e = e->next) lines.push_back(e->text.cstr());
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

TEST_F(ChatTest, MessagesShowNewestAtTheBottomWithinTheLineBudget) {
  for (int i = 0; i < 20; i++) say(i % 2 ? 7 : 0, std::to_string(i));
  EXPECT_EQ(ui_render_chat_messages(em_px(20), 7), 7);
  layout();
  UiElement* list = find("chat-messages");
  for (UiElement* r = list->first_child; r->next; r = r->next) EXPECT_LT(r->rect.y, r->next->rect.y);
  EXPECT_STREQ(ui.chat.messages[list->last_child->key].text, "19");
  EXPECT_EQ(find("P7:")->text_color.r, chat_sender_color(7).r);
}

// Sounds go to mixer streams that no device drains: a played sound is stamped with its start.
struct EventsTest : WorldTest {
  static inline Audio saved;
  static inline u8 silence[64];
  static constexpr int NSOUNDS = sizeof(Sounds) / sizeof(Sound);
  static Sound* sounds() { return (Sound*)&game.audio.sounds; }
  static void SetUpTestSuite() {
    saved = game.audio;
    game.audio.ready = true;
    for (auto& s : game.audio.streams)
      s = platform_audio_stream_create({AUDIO_S16LSB, 2, 48000}, {AUDIO_S16LSB, 2, 48000});
    for (int i = 0; i < NSOUNDS; i++) sounds()[i].buf = silence, sounds()[i].len = sizeof silence;
  }
  static void TearDownTestSuite() {
    for (auto& s : game.audio.streams) platform_audio_stream_destroy(s);
    game.audio = saved;
  }
  Entity *player = nullptr, *dummy = nullptr;
  EventText t[EVENT_TEXTS_MAX];
  void SetUp() override {
    WorldTest::SetUp();
    played();
    game.server_time = T0, game.nevents_state = 0, ui.line_height = 20;
    game.player = player = &spawn_player({5, 5});
    dummy = &spawn(Entity_training_dummy, {8, 8});
  }
  void TearDown() override { game.player = nullptr, WorldTest::TearDown(); }
  // How many sounds started since the last call.
  static int played() {
    int n = 0;
    for (auto& s : game.audio.streams) platform_audio_stream_clear(s);
    for (int i = 0; i < NSOUNDS; i++) n += sounds()[i].last_played_at.ns != 0, sounds()[i].last_played_at = {};
    return n;
  }
  Event& add(Entity& e, EventType type, f32 age) {
    Event& ev = e.events.events[e.events.nevents++];
    ev = {};
    ev.time = ago(age), ev.id = 1000 + (u64)e.events.nevents, ev.type = type, ev.damage.value = 12;
    return ev;
  }
  int texts(Entity& e) { return event_texts(e, t, EVENT_TEXTS_MAX); }
  void forget() { dummy->events.nevents = 0, game.nevents_state = 0; }
};

TEST_F(EventsTest, EachEventSoundsOnceFloatsUpForItsDurationAndReadsAsItsKind) {
  for (u32 type = EventType_Damage; type <= EventType_Death; type++) {
    forget();
    add(*dummy, (EventType)type, 0.1f);
    texts(*dummy);
    EXPECT_EQ(played(), type == EventType_Mana || type == EventType_Exp ? 0 : 1) << type;
    texts(*dummy);
    EXPECT_EQ(played(), 0) << "announced again: " << type;
  }
  struct Case {
    EventType type;
    f32 duration;
    const char* text;
  } cases[] = {{EventType_Heal, 0.64f, "+12"},
               {EventType_Exp, 0.64f, "+12xp"},
               {EventType_LvlUp, 2, "Lvl Up!"},
               {EventType_Damage, 0.64f, "12"}};
  for (const Case& c : cases) {
    for (f32 age : {0.0f, c.duration - 0.01f, c.duration + 0.01f}) {
      forget();
      add(*dummy, c.type, age).damage.source_id = player->id;
      int n = texts(*dummy);
      ASSERT_EQ(n, age < c.duration ? 1 + (c.type == EventType_Damage) : 0) << c.text << age;
      if (n == 0) continue;
      EXPECT_STREQ(t[n - 1].text.cstr(), c.text);
      // Rising a line height a second from the base height (half as high again for a level up).
      EXPECT_NEAR(t[n - 1].offset.y - (c.type == EventType_LvlUp ? 105 : 70), age * 20, 0.5f);
    }
  }
  // A hit by the player is drawn larger than anyone else's, over a dark copy shifted right.
  forget();
  add(*dummy, EventType_Damage, 0.1f).damage.source_id = player->id;
  add(*dummy, EventType_Damage, 0.1f).damage.source_id = player->id + 50;
  add(*dummy, EventType_PickUp, 0.1f).subject.type = Entity_bag;
  ASSERT_EQ(texts(*dummy), 5);
  EXPECT_EQ(t[0].offset.x - t[1].offset.x, 2);
  EXPECT_LT(t[0].color.r + t[0].color.g, t[1].color.r + t[1].color.g);
  EXPECT_GT(t[1].scale, t[3].scale);
  EXPECT_EQ(std::string("+") + entity_type_display_name(Entity_bag), t[4].text.cstr());
}

TEST_F(EventsTest, StaleEventsStaySilentAndAFullTableRefusesOnceAFrameUntilCleanedUp) {
  add(*dummy, EventType_Damage, 0.7f);
  add(*dummy, EventType_LvlUp, 2.1f);
  EXPECT_EQ(texts(*dummy), 0);
  EXPECT_EQ(played(), 0);
  EXPECT_EQ(game.nevents_state, 0);
  // Out of order: stamped ahead of the clock, the event is brand new.
  add(*dummy, EventType_Heal, -0.5f);
  EXPECT_EQ(texts(*dummy), 1);
  EXPECT_EQ(played(), 1);

  forget();
  for (int i = 0; i < EVENTS_MAX; i++) add(*dummy, EventType_Heal, i < 4 ? 0.5f : 0.0f);
  Entity& other = spawn(Entity_training_dummy, {9, 9});
  add(other, EventType_Heal, 0), add(other, EventType_LvlUp, 0);
  testing::internal::CaptureStdout();
  texts(*dummy);
  EXPECT_EQ(texts(other) + texts(other), 0);
  game.frame += 1;
  EXPECT_EQ(texts(other), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "No space for new event!\nNo space for new event!\n");
  played();
  game.server_time = ago(-0.2f);
  cleanup_events();
  EXPECT_EQ(game.nevents_state, 4);
  EXPECT_EQ(texts(other), 2);
  EXPECT_EQ(played(), 2);
}

TEST_F(EventsTest, ADamageStampsTheHitTimeAndAFullStateTableOnlyCostsTheFlash) {
  clear_entity_state();
  game.time = {5 * Seconds.ns};
  Entity& hit = spawn(Entity_training_dummy, {9, 9});
  add(*dummy, EventType_Heal, 0.1f), add(hit, EventType_Damage, 0.1f);
  texts(*dummy), texts(hit), played();
  EXPECT_EQ(find_entity_state(dummy->id), nullptr);
  ASSERT_NE(find_entity_state(hit.id), nullptr);
  EXPECT_EQ(find_entity_state(hit.id)->hit_time.ns, game.time.ns);
  clear_entity_state();
  for (Id id = 10000; id < 10000 + ENTITY_STATE_MAX; id++) ASSERT_NE(set_entity_state_entry(id), nullptr);
  add(*dummy, EventType_Damage, 0.1f);
  testing::internal::CaptureStderr();
  EXPECT_EQ(texts(*dummy), 3);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(played(), 1);
  EXPECT_EQ(find_entity_state(dummy->id), nullptr);
  clear_entity_state();
}

TEST(Thoughts, HungerRepeatedShowsOnceCustomLinesStackAndEveryExpiredOneGoes) {
  game.mind = {};
  Text lines[THOUGHTS_MAX];
  for (int frame = 0; frame < 120; frame++) {
    game.server_time = T0 + Duration{(u64)frame * 16666666};
    push_thought(ThoughtType_Hungry);
    ASSERT_EQ(thoughts_frame(lines, THOUGHTS_MAX), 1);
    EXPECT_STREQ(lines[0].cstr(), "*I'm hungry*");
  }
  Time last = game.server_time;
  game.server_time = last + Duration{2900 * Milliseconds.ns};
  EXPECT_EQ(thoughts_frame(lines, THOUGHTS_MAX), 1);
  push_thought(Text("I need to equip an axe"));
  push_thought(Text("I need to equip an axe"));
  game.server_time = last + Duration{3100 * Milliseconds.ns};
  // Hunger shows once more as it expires; the line swapped into its slot is drawn too, not skipped.
  ASSERT_EQ(thoughts_frame(lines, THOUGHTS_MAX), 3);
  EXPECT_EQ(game.mind.nthoughts, 2);
  // The clock steps back before their stamps: they stay.
  game.server_time = last + Duration{2000 * Milliseconds.ns};
  EXPECT_EQ(thoughts_frame(lines, THOUGHTS_MAX), 2);
  EXPECT_EQ(game.mind.nthoughts, 2);
  game.mind = {};
  testing::internal::CaptureStdout();
  for (int i = 0; i <= THOUGHTS_MAX; i++) push_thought(Text("x"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot push thought: no space\n");
  EXPECT_EQ(game.mind.nthoughts, THOUGHTS_MAX);
  game.mind = {};
}

}  // namespace
