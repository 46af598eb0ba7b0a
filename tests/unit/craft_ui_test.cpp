// The craft and blank windows over simulated frames; recipes found by what they need, requests caught.
#include <algorithm>

#include "net/net.hpp"
#include "ui_test_support.hpp"
#include "world/blueprint.hpp"
#include "world/craft.hpp"
#include "world_fixture.hpp"

namespace {
std::vector<Request> sent;
ssize_t capture_send(int, const void* buffer, size_t n, int) {
  return memcpy((void*)&sent.emplace_back(), buffer, std::min(n, sizeof(Request))), (ssize_t)n;
}
struct UiSetUp : UiTest {  // borrowed for its set-up: a baked font, a known window
  void TestBody() override {}
};

struct CraftUi : WorldTest {
  NetSocketOps saved_ops = {};
  Entity *player = nullptr, *bag = nullptr;
  void SetUp() override {
    WorldTest::SetUp(), UiSetUp().SetUp(), sent.clear(), game.mind = Mind{}, game.opened_blank_id = 0;
    saved_ops = net_socket_ops, net = Net{}, net.socket = 1 << 20, net_socket_ops.send = capture_send;
    game.player = player = &spawn_player({100, 100}), bag = &make(Entity_bag), put(*player, GearSlot_Bag, *bag);
  }
  void TearDown() override { net.socket = 0, net_socket_ops = saved_ops, game.player = nullptr, WorldTest::TearDown(); }
  void frame(v2 at = {-1, -1}, u32 pressed = 0) {
    ui_begin(), ui.mouse = at, game.mouse_went_down = game.mouse_is_down = pressed;
    update_ui(), ui_craft(), update_blanks(), ui_blueprint_dialog(), ui_end(),
        game.mouse_went_down = game.mouse_is_down = 0;
  }
  UiElement* button(const char* label, int i = 0) {
    return UiTest::find(("button{" + std::string(label) + "}").c_str(), i);
  }
  void click(const char* label) {
    frame();
    v2 at = button(label) ? UiTest::centre(button(label)->rect) : v2{-1, -1};
    frame(at), frame(at, MouseButton_Left), frame();
  }
  std::string thought() { return game.mind.nthoughts ? game.mind.thoughts[0].text.cstr() : ""; }
  // Per button of the label in order, 1 when disabled; "-" when there is none.
  std::string disabled(const char* label, std::string out = "") {
    for (int i = 0; button(label, i); i++) out += button(label, i)->disabled ? "1" : "0";
    return out.empty() ? "-" : out;
  }
  // Recipe rows are the buttons padded to exactly 20 characters.
  int rows() {
    return (int)std::count_if(ui.elements, ui.elements + ui.nelements, [](auto& e) { return e.text.length == 20; });
  }
  EntityType find_recipe(bool (*want)(const Entity&, const Recipe&)) {
    for (int t = 1; t < ENTITY_PROTOTYPES_MAX; t++) {
      EntityInfo* info = find_entity_info((EntityType)t);
      Entity* proto = find_entity_prototype((EntityType)t);
      if (info && proto && info->recipe.ingredients[0].type && want(*proto, info->recipe)) return (EntityType)t;
    }
    return Entity_None;
  }
};

TEST_F(CraftUi, ListPagesAndSearches) {
  show_dialog(ui.craft, 0), frame();
  ASSERT_EQ(std::to_string(rows()) + disabled("Up") + disabled("Down"), "810") << "more recipes than rows";
  for (int i = 0; i < ENTITY_PROTOTYPES_MAX && !button("Down")->disabled; i++) click("Down");
  EXPECT_EQ(std::to_string(rows()) + disabled("Up") + disabled("Down"), "801");  // the last page is full
  text_set(ui.craft_search.text, Str("no kind is called this")), frame(), frame();
  EXPECT_EQ(std::to_string(rows()) + disabled("Up") + disabled("Down"), "011");
}

TEST_F(CraftUi, HeldItemsCountOnceAndStationsAreChecked) {
  Recipe twice = {Entity_None, {{Entity_berry, 2}, {Entity_berry, 1}}, Entity_None};
  int held[INGREDIENTS_MAX];
  put(*bag, 0, make(Entity_berry)), put(*bag, 1, make(Entity_berry)), count_held_ingredients(*player, twice, held);
  EXPECT_EQ(held[0] * 10 + held[1], 20);
  EntityType plain = find_recipe([](const Entity& p, const Recipe& r) { return is_item(p) && !r.equipment; });
  ui.selected_recipe_type = plain, show_dialog(ui.craft, 0), frame();
  EXPECT_EQ(disabled("Craft") + disabled("Build"), "1-");
  const Recipe& r = find_entity_info(plain)->recipe;
  for (int i = 0, slot = 2; i < INGREDIENTS_MAX && r.ingredients[i].type; i++)
    for (int k = 0; k < r.ingredients[i].count; k++) put(*bag, slot++, make(r.ingredients[i].type));
  click("Craft");
  EXPECT_EQ(sent.size() == 1 ? sent[0].craft.type : Entity_None, plain);
  EntityType fired = find_recipe([](const Entity&, const Recipe& r) {
    return r.equipment && has_component(*find_entity_prototype(r.equipment), Component_Fuel);
  });
  Recipe recipe = find_entity_info(fired)->recipe;
  craft(fired, recipe);
  EXPECT_EQ(thought(), "I need to be near " + std::string(entity_type_display_name(recipe.equipment)) + "!");
  Entity& station = spawn(recipe.equipment, {110, 100});
  game.mind = Mind{}, craft(fired, recipe);
  EXPECT_EQ(thought(), "I need to ignite it");
  station.flags |= EntityFlag_Burning, game.mind = Mind{}, craft(fired, recipe);
  EXPECT_EQ(thought() + std::to_string(sent.size()), "2");
}

TEST_F(CraftUi, BlankRowsAddAndBuild) {
  EntityType building = find_recipe([](const Entity& p, const Recipe&) { return !is_item(p); });
  const Recipe& r = find_entity_info(building)->recipe;
  int n = recipe_ningredients(r);
  Entity& blank = spawn(Entity_blank, {110, 100});
  blank.blank.type = building, game.target_blank_id = blank.id, frame();
  const char* first = entity_type_display_name(r.ingredients[0].type);
  EXPECT_TRUE(UiTest::find(tprintf("%s: 0/%d", first, r.ingredients[0].count).cstr()));
  EXPECT_EQ(disabled("Add") + disabled("Build"), std::string(n, '0') + "1");
  click("Add");  // nothing of it carried
  EXPECT_EQ(thought(), "I don't have " + std::string(first));
  for (int i = 0; i < n; i++) blank.blank.ingredients[i] = r.ingredients[i].count + (i == 0);  // one over-filled
  frame(), frame();
  EXPECT_EQ(disabled("Add") + disabled("Build"), std::string(n, '1') + "0");
  click("Build");
  EXPECT_EQ(sent.size() == 1 ? sent[0].type : RequestType_None, RequestType_Build);
  blank.blank.type = (EntityType)(ENTITY_PROTOTYPES_MAX - 1), frame(), frame();  // no recipe: no rows
  EXPECT_EQ(disabled("Add") + disabled("Build"), "-1");
}

TEST_F(CraftUi, BlueprintBoxStopsAtItsLimitAndReplaces) {
  Entity& holder = make(Entity_blueprint);  // the player (an actor) stands inside the box: never collected
  put(*bag, 0, holder), show_dialog(ui.blueprint_dialog, holder.id),
      game.box_selection = {false, false, true, {0, 0}, {200, 200}};
  for (int i = 0; i < 200; i++) spawn(Entity_stone, {40.0f + 4 * (i % 20), 40.0f + 4 * (i / 20)});
  frame(), frame();
  EXPECT_TRUE(UiTest::find("128 elements") && !button("Delete"));  // Delete is the administrator's
  v2 show = UiTest::centre(UiTest::find("toggle-button{Show All}")->rect);
  frame(show), frame(show, MouseButton_Left), frame();  // listed from the first taken, not the empty origin
  EXPECT_TRUE(UiTest::find("+ stone at (0, 0)") && !UiTest::find("+ stone at (40, 40)"));
  click("Replace");
  EXPECT_EQ(sent.size() == 129 && !game.box_selection.is_set ? sent[0].type * 100 + sent[128].type : 0,
            RequestType_BlueprintClear * 100 + RequestType_BlueprintAdd);
  hide_dialog(ui.blueprint_dialog);
}
}  // namespace
