// Text fields: limits, UTF-8 editing, masking, focus, and the keys the input layer feeds them.
#include "ui_test_support.hpp"

struct UiTextInput : UiTest {
  TextInput input;
  void SetUp() override {
    UiTest::SetUp();
    input = TextInput();
  }
  void TearDown() override { ui.active_element.text = nullptr; }

  static void key(SDL_Keycode sym, bool ctrl = false) {
    game.modifiers.ctrl = ctrl;
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.repeat = 1;  // keeps the key log quiet
    register_input_event(e);
  }
  static void typed(const char* text) {
    SDL_Event e = {};
    e.type = SDL_TEXTINPUT;
    cstr_copy(e.text.text, text, (int)sizeof(e.text.text));
    register_input_event(e);
  }
  static std::string field(const TextInput& in) { return std::string(in.text.cstr(), (size_t)in.text.length); }
};

TEST_F(UiTextInput, TypingStopsAtTheLimitAndTheBufferKeepsItsTerminator) {
  struct Case {
    int max_len;
    int stored;
  } cases[] = {{0, 127}, {1, 1}, {5, 5}, {64, 64}, {127, 127}, {128, 127}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.max_len);
    input = TextInput();
    input.max_len = c.max_len;
    activate_text_input(input);
    for (int i = 0; i < 200; i++) typed("a");
    EXPECT_EQ(input.text.length, c.stored);
    EXPECT_EQ((int)strlen(input.text.cstr()), c.stored);
    EXPECT_EQ(input.text.buffer[127], 0);
  }
}

TEST_F(UiTextInput, PasteStopsBeforeACharacterThatWouldNotFit) {
  struct Case {
    int max_len;
    const char* paste;
    const char* stored;
  } cases[] = {
      {4, "abc\xc3\xa9", "abc"},  // é would need bytes 4 and 5
      {5,
       "ab\xe2\x82\xac"
       "d",
       "ab\xe2\x82\xac"},  // € fills 3..5 exactly
      {4, "ab\xe2\x82\xac", "ab"},
      {0, "", ""},
      {3, "\xf0\x9f\x98\x80", ""},  // a 4-byte character never fits 3
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paste);
    input = TextInput();
    input.max_len = c.max_len;
    activate_text_input(input);
    append_to_active_text_input(c.paste);
    EXPECT_EQ(field(input), c.stored);
  }
  // 126 bytes and a two-byte letter: the letter would take the terminator's place.
  input = TextInput();
  activate_text_input(input);
  std::string long_paste = std::string(126, 'x') + "\xd0\x96";
  append_to_active_text_input(long_paste.c_str());
  EXPECT_EQ(input.text.length, 126);
}

TEST_F(UiTextInput, BackspaceRemovesWholeCharacters) {
  struct Case {
    const char* before;
    const char* after;
  } cases[] = {
      {"a\xc3\xa9", "a"},          // two bytes
      {"a\xe2\x82\xac", "a"},      // three bytes
      {"a\xf0\x9f\x98\x80", "a"},  // four bytes
      {"ab", "a"},
      {"", ""},          // nothing to delete
      {"\x80\x80", ""},  // stray continuation bytes never run past the start
  };
  for (const Case& c : cases) {
    input = TextInput();
    text_set(input.text, c.before);
    activate_text_input(input);
    key(SDLK_BACKSPACE);
    EXPECT_EQ(field(input), c.after) << c.before;
    EXPECT_EQ(input.text.buffer[input.text.length], 0);
  }
}

TEST_F(UiTextInput, EditingAFieldThatReferredToALiteralNeverBringsItBack) {
  input.text = Text("ab");
  activate_text_input(input);
  key(SDLK_BACKSPACE);
  EXPECT_EQ(field(input), "a");
  key(SDLK_BACKSPACE);
  EXPECT_EQ(field(input), "");
  EXPECT_STREQ(input.text.cstr(), "");
}

TEST_F(UiTextInput, KeysOnlyEditWithFocusAndEscapeDropsIt) {
  text_set(input.text, "abc");
  key(SDLK_BACKSPACE);  // no focus: nothing happens
  typed("x");
  EXPECT_EQ(field(input), "abc");
  activate_text_input(input);
  typed("\xd0\x96");
  EXPECT_EQ(field(input), "abc\xd0\x96");
  key(SDLK_ESCAPE);
  EXPECT_FALSE(text_input_is_active(input));
  EXPECT_EQ(ui.active_element.max_index, 0);
  typed("y");
  EXPECT_EQ(field(input), "abc\xd0\x96");
}

TEST_F(UiTextInput, MaskShowsOneCharacterPerUtf8Character) {
  struct Case {
    const char* content;
    const char* shown;
  } cases[] = {{"\xc3\xa9", "*"}, {"a\xc3\xa9\xe2\x82\xac", "***"}, {"secret", "******"}};
  for (const Case& c : cases) {
    ui_begin();
    input = TextInput();
    input.mask_char = '*';
    text_set(input.text, c.content);
    UiElement* field_element = ui_text_input(input);
    ASSERT_NE(field_element->first_child, nullptr);
    EXPECT_STREQ(field_element->first_child->text.cstr(), c.shown);
  }
}

TEST_F(UiTextInput, EmptyFieldShowsNoTextAndAFocusedOneACaretBlinkingOnceASecond) {
  EXPECT_EQ(ui_text_input(input)->first_child, nullptr);
  activate_text_input(input);
  struct Case {
    f32 seconds;
    bool visible;
  } cases[] = {{0.2f, false}, {0.7f, true}, {1.4f, false}, {1.9f, true}};
  for (const Case& c : cases) {
    game.time = {(u64)(c.seconds * 1e9)};
    ui_begin();
    UiElement* caret = ui_text_input(input)->first_child;
    ASSERT_NE(caret, nullptr);
    EXPECT_TRUE(caret->floating && cstr_equal(caret->id.name.cstr(), "carret"));
    EXPECT_EQ(caret->bg_color.a != 0, c.visible) << c.seconds;
  }
}

TEST_F(UiTextInput, ClickFocusesTheFieldAndAClickElsewhereTakesFocus) {
  auto build = [&] {
    UiElement* row = ui_begin_layout("row", {100, 100});
    row->rect.w = 800;
    ui_text_input(input);
    push("elsewhere", 100, 100);
    ui_end_layout();
  };
  frame({}, build);
  v2 in_field = centre(find("text-input")->rect);
  v2 other = centre(find("elsewhere")->rect);
  frame({in_field, true, true}, build);
  frame({in_field}, build);
  EXPECT_TRUE(text_input_is_active(input));
  EXPECT_EQ(ui.active_element.max_index, 127);
  EXPECT_EQ(find("text-input")->border_color.r, theme.hover_color.r);  // hovered wins over focus
  frame({other, true, true}, build);
  EXPECT_FALSE(text_input_is_active(input));
}

TEST_F(UiTextInput, HidingAnyDialogOrChangingScreenTakesFocus) {
  UiDialog dialog;
  dialog.is_visible = true;
  activate_text_input(input);
  hide_dialog(dialog);
  EXPECT_FALSE(text_input_is_active(input));

  activate_text_input(input);
  Screen was = game.screen;
  set_screen(was == Screen_Test ? Screen_Login : Screen_Test);
  EXPECT_FALSE(text_input_is_active(input));
  game.screen = was;
}

TEST(UiTextInputDeath, LimitAbove128AndEditingWithoutFocusStop) {
  TextInput input;
  input.max_len = 129;
  EXPECT_DEATH(activate_text_input(input), "Assertion");
  ui.active_element.text = nullptr;
  EXPECT_DEATH(append_to_active_text_input("a"), "Assertion");
  EXPECT_DEATH(delete_from_active_text_input(), "Assertion");
}
