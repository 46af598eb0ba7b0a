// The blueprint window over simulated frames: the changeset a box selection collects and each button's request.
#include <algorithm>

#include "net/net.hpp"
#include "ui_test_support.hpp"
#include "world/blueprint.hpp"
#include "world_fixture.hpp"

namespace {
std::vector<Request> sent;
ssize_t capture_send(int, const void* buffer, size_t n, int) {
  return memcpy((void*)&sent.emplace_back(), buffer, std::min(n, sizeof(Request))), (ssize_t)n;
}
struct UiSetUp : UiTest {
  void TestBody() override {}
};

struct BlueprintUi : WorldTest {
  NetSocketOps saved_ops = {};
  Entity *player = nullptr, *holder = nullptr;
  void SetUp() override {
    WorldTest::SetUp(), UiSetUp().SetUp(), sent.clear(), game.box_selection = BoxSelection{}, game.cursor = Cursor{};
    saved_ops = net_socket_ops, net = Net{}, net.socket = 1 << 20, net_socket_ops.send = capture_send;
    game.player = player = &spawn_player({100, 100});
    holder = &make(Entity_blueprint), put(*player, 0, *holder), show_dialog(ui.blueprint_dialog, holder->id);
  }
  void TearDown() override {
    hide_dialog(ui.blueprint_dialog), net.socket = 0, net_socket_ops = saved_ops, game.player = nullptr;
    WorldTest::TearDown();
  }
  void frame(v2 at = {-1, -1}, u32 pressed = 0) {
    ui_begin(), ui.mouse = at, game.mouse_went_down = game.mouse_is_down = pressed;
    update_ui(), ui_blueprint_dialog(), ui_end(), game.mouse_went_down = game.mouse_is_down = 0;
  }
  UiElement* button(const char* label) { return UiTest::find(("button{" + std::string(label) + "}").c_str()); }
  void click(const char* label) {
    frame();
    UiElement* e = button(label) ? button(label) : UiTest::find(label);
    v2 at = e ? UiTest::centre(e->rect) : v2{-1, -1};
    frame(at), frame(at, MouseButton_Left), frame();
  }
  std::string types() {
    std::string out;
    for (const Request& r : sent) out += std::to_string((int)r.type) + " ";
    return out;
  }
};

TEST_F(BlueprintUi, BoxCollectsUpToTheLimitWithoutActors) {
  for (int i = 0; i < 200; i++) spawn(Entity_stone, {40.0f + 4 * (i % 20), 40.0f + 4 * (i / 20)});
  Id ids[BLUEPRINT_CHANGESET_MAX + 1];
  EXPECT_EQ(collect_box_selection(ids, BLUEPRINT_CHANGESET_MAX), 0) << "no box drawn yet";
  game.box_selection.is_set = true, game.box_selection.start = {0, 0}, game.box_selection.end = {200, 200};
  int n = collect_box_selection(ids, BLUEPRINT_CHANGESET_MAX);
  EXPECT_EQ(n, BLUEPRINT_CHANGESET_MAX);
  EXPECT_EQ(std::count(ids, ids + n, player->id), 0);
  frame(), frame();
  EXPECT_TRUE(UiTest::find("128 elements"));
}

TEST_F(BlueprintUi, ButtonsSendTheirRequests) {
  Entity& a = spawn(Entity_wooden_chest, {300, 300});
  Entity& b = spawn(Entity_barrel, {340, 300});
  spawn(Entity_barrel, {600, 600});  // outside the box
  holder->blueprint.origin = {300, 300};
  frame(), frame();
  EXPECT_FALSE(UiTest::find("blueprint-changeset")) << "no box yet";
  EXPECT_FALSE(button("Delete")) << "a player's Delete would only be refused";
  click("Select");
  EXPECT_TRUE(game.box_selection.is_scheduled);
  game.box_selection = {false, false, true, {280, 280}, {360, 320}};
  click("toggle-button{Show All}");
  EXPECT_TRUE(UiTest::find(tprintf("+ %s at (40, 0)", entity_type_display_name(b.type)).cstr()));
  EXPECT_TRUE(UiTest::find("2 elements"));
  click("Replace");
  ASSERT_EQ(types(), "23 20 20 ");
  EXPECT_EQ(sent[1].blueprint.target_id + sent[2].blueprint.target_id, a.id + b.id);
  EXPECT_FALSE(game.box_selection.is_set);
  text_set(ui.blueprint_name_input.text, Str("camp")), sent.clear(), click("Save");
  EXPECT_EQ(types() + sent[0].blueprint.name, "22 camp");
  click("Place");
  EXPECT_EQ(game.cursor.type == CursorType_Blueprint && game.cursor.entity_id == holder->id, true);
  game.cursor.onclick(game.cursor);
  EXPECT_EQ(sent.back().type, RequestType_BlueprintPlace);
  player->flags |= EntityFlag_IsAdmin, game.box_selection = {false, false, true, {280, 280}, {360, 320}};
  sent.clear(), click("Delete");
  EXPECT_EQ(types(), std::to_string((int)RequestType_Kill) + " " + std::to_string((int)RequestType_Kill) + " ");
}
}  // namespace
