// The context menu per kind of thing and the slot gestures over simulated frames; requests caught at the socket.
#include <string>
#include <vector>

#include "net/net.hpp"
#include "ui_test_support.hpp"
#include "world/context_menu.hpp"
#include "world/inventory.hpp"
#include "world/thoughts.hpp"
#include "world_fixture.hpp"

namespace {

std::vector<Request> sent;
ssize_t capture_send(int, const void* buffer, size_t n, int) {
  memcpy((void*)&sent.emplace_back(), buffer, n < sizeof(Request) ? n : sizeof(Request));
  return (ssize_t)n;
}

// The UI tests' set-up (a baked font, a 3840 x 2160 window) borrowed for a world fixture.
struct UiSetUp : UiTest {
  void TestBody() override {}
};

struct ItemsUi : WorldTest {
  NetSocketOps saved_ops = {};
  Entity* player = nullptr;

  void SetUp() override {
    WorldTest::SetUp();
    UiSetUp().SetUp();
    saved_ops = net_socket_ops, net = Net{}, net.socket = 1 << 20, net_socket_ops.send = capture_send;
    sent.clear(), game.mind = Mind{}, game.cursor = Cursor{};
    game.opened_container_id = game.target_container_id = 0, game.server_time = Time{1000 * Seconds.ns};
    game.player = player = &spawn_player({100, 100});
  }
  void TearDown() override { net.socket = 0, net_socket_ops = saved_ops, game.player = nullptr, WorldTest::TearDown(); }

  // One frame of the item panels with the left or right button pressed at `at` (or nothing pressed).
  void frame(v2 at = {-1, -1}, u32 pressed = 0) {
    ui_begin(), ui.mouse = at, game.mouse_went_down = game.mouse_is_down = pressed;
    update_ui(), ui_items(), ui_end();
    game.mouse_went_down = game.mouse_is_down = 0;
  }
  // Lays the panels out, then moves over the slot and presses.
  void press_slot(const Entity& holder, int slot, u32 button = MouseButton_Left) {
    frame();
    UiElement* e = nullptr;
    for (int i = 0; i < ui.nelements; i++)
      if (cstr_equal(ui.elements[i].id.name.cstr(), "item-slot") &&
          ui.elements[i].key == ((u64)holder.id << 32) + (u64)slot)
        e = &ui.elements[i];
    ASSERT_TRUE(e) << "slot " << slot << " of " << holder.id;
    frame(UiTest::centre(e->rect)), frame(UiTest::centre(e->rect), button);
  }
  std::string menu_labels(std::string labels = "") {
    for (int i = 0; i < ui.nelements; i++)
      if (strncmp(ui.elements[i].id.name.cstr(), "button{", 7) == 0)
        labels += ui.elements[i].text.cstr() + std::string("|");
    return labels;
  }
  std::string thought() { return game.mind.nthoughts ? game.mind.thoughts[0].text.cstr() : ""; }
  Entity& add(Entity& holder, int slot, EntityType type) {
    Entity& e = make(type);
    return put(holder, slot, e), e;
  }
};

TEST_F(ItemsUi, MenuEntriesFollowTheThingAndItsState) {
  struct Case {
    EntityType type;
    void (*adjust)(Entity&);
    bool admin_shift;
    const char* labels;
  };
  // clang-format off
  const Case cases[] = {
      {Entity_pine_tree, [](Entity& e) { e.tree.branches = 2; }, false, "1. Snap Branch|2. Chop|3. Examine|9. Destroy"},
      {Entity_pine_tree, [](Entity& e) { e.tree.branches = 0; }, false, "1. Chop|2. Examine|9. Destroy"},
      {Entity_wheat_crop, [](Entity& e) { e.crop.planted_time = game.server_time; }, false, "1. Examine|9. Destroy"},
      {Entity_wheat_crop, [](Entity& e) { e.crop.planted_time = Time{game.server_time.ns - 95 * Seconds.ns}; }, false, "1. Harvest|2. Examine|9. Destroy"},
      {Entity_tanning_tub, [](Entity& e) { e.vessel.volume = {3999, 4000}; }, false, "1. Open|2. Fill|3. Lift|4. Examine|9. Destroy"},
      {Entity_tanning_tub, [](Entity& e) { e.vessel.volume = {4000, 4000}; }, false, "1. Open|2. Empty|3. Lift|4. Examine|9. Destroy"},
      {Entity_cart, [](Entity& e) { e.carrier = 99; }, false, "1. Open|2. Release|3. Examine"},
      {Entity_cart, [](Entity&) {}, false, "1. Open|2. Pull|3. Examine"},
      {Entity_bonfire, [](Entity& e) { e.flags |= EntityFlag_Burning; }, false, "1. Open|2. Extinguish|3. Examine|9. Destroy"},
      {Entity_bonfire, [](Entity&) {}, false, "1. Open|2. Ignite|3. Examine|9. Destroy"},
      {Entity_Player, [](Entity& e) { enable_component(e, Component_Mover); }, false, "1. Sniff|2. Examine"},
      {Entity_skeleton, [](Entity&) {}, true, "1. Examine|2. Toggle Invisible|7. Toggle Control|8. Kill|*cmd"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Entity& e = spawn(c.type, {200, 200});
    c.adjust(e);
    for (bool admin : {false, true}) {
      player->flags = admin && c.admin_shift ? (u32)EntityFlag_IsAdmin : 0u;
      game.modifiers.shift = c.admin_shift;
      open_context_menu(e.id);
      game.modifiers.shift = false;
      frame();
      std::string want = c.admin_shift && !admin ? "1. Examine" : c.labels;
      EXPECT_EQ(menu_labels(), want + "|") << entity_type_name(c.type) << (admin ? " admin" : "");
    }
    close_context_menu(), remove_from_grid(e), entity_storage.nentities--;
  }
  EXPECT_TRUE(sent.empty());
}

TEST_F(ItemsUi, ADigitFiresItsEntryOnceAndToolsAreCheckedFirst) {
  Entity& tree = spawn(Entity_pine_tree, {200, 200});
  tree.tree.branches = 1;
  for (int with_axe = 0; with_axe < 2; with_axe++) {
    if (with_axe) add(*player, GearSlot_RightHand, Entity_axe);
    open_context_menu(tree.id);
    ui.context_menu.activated_item_number = 2;
    frame(), frame();
    EXPECT_EQ(thought(), "I need to equip an axe");
    EXPECT_EQ(ui.context_menu.item_id, 0u);
  }
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].action.type, ActionType_Chop);
  // Automatic numbers pass over the fixed ones.
  ui_begin(), ui.context_menu.item_id = tree.id, ui.context_menu.current_item_number = 1;
  for (int i = 0; i < 8; i++) context_menu_button("x", 0);
  EXPECT_EQ(std::string(ui.elements[ui.nelements - 2].text.cstr()), "10. x");
}

TEST_F(ItemsUi, SlotGestures) {
  Entity& chest = spawn(Entity_wooden_chest, {110, 100});
  add(chest, 1, Entity_axe);
  chest.container.slots[2] = 999;  // not in the storage: an empty slot
  game.target_container_id = chest.id;
  press_slot(chest, 1);  // in reach: the chest opens; without a bag nothing moves
  EXPECT_EQ(game.opened_container_id, chest.id);
  EXPECT_EQ(thought(), "Hm, I don't have a bag");
  press_slot(chest, 2);
  EXPECT_TRUE(sent.empty());
  Entity& bag = add(*player, GearSlot_Bag, Entity_bag);
  Entity& berry = add(bag, 0, Entity_berry);
  press_slot(bag, 0);  // onto the cursor, then into another slot
  EXPECT_EQ(game.cursor.entity_id, berry.id);
  press_slot(bag, 3);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].move_entity.item_id == berry.id && sent[0].move_entity.slot == 3);
  EXPECT_EQ(game.cursor.type, CursorType_None);
  game.modifiers.ctrl = true;  // quick moves both ways into any free slot
  press_slot(bag, 0);
  press_slot(chest, 1);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ((Id)sent[1].move_entity.container_id, chest.id);  // a copy: the field is packed
  EXPECT_TRUE(sent[2].move_entity.container_id == bag.id && sent[2].move_entity.slot == SlotAny);
  game.opened_container_id = 0;  // with no container open, nothing to move to
  press_slot(bag, 0);
  EXPECT_EQ(sent.size(), 3u);
  game.modifiers.ctrl = false;
  add(bag, 2, Entity_stone).flags |= EntityFlag_Liftable;  // a liftable is lifted
  press_slot(bag, 2);
  EXPECT_EQ(sent.back().type, RequestType_LiftEntity);
  game.modifiers.shift = true;  // Shift-right uses the berry directly
  press_slot(bag, 0, MouseButton_Right);
  game.modifiers.shift = false;
  EXPECT_TRUE(sent.back().action.type == ActionType_Eat && game.skip_lmb_up);
  // Another person's gear: clicks do nothing and no item tooltip shows.
  Entity& other = spawn_player({150, 100});
  add(other, GearSlot_RightHand, Entity_axe);
  show_dialog(ui.entity_info, other.id);
  size_t before = sent.size();
  press_slot(other, GearSlot_RightHand);
  EXPECT_TRUE(sent.size() == before && game.cursor.type == CursorType_None);
  EXPECT_FALSE(ui.tooltip.is_visible && strstr(ui.tooltip.text.cstr(), "[Q:"));
  game.opened_container_id = chest.id;
  set_pos(*player, {400, 400});  // out of reach: the chest closes
  frame();
  EXPECT_EQ(game.opened_container_id, 0u);
}

TEST(TextCut, StopsOnACharacterBoundary) {
  for (int ascii = 0; ascii < 3; ascii++) {
    std::string s(ascii, 'a');
    while (s.size() < 300) s += "\xe2\x82\xac";  // three bytes each
    Text t = text_cut_utf8(s.c_str());
    EXPECT_TRUE(t.length >= 125 && t.length <= 127 && (t.length - ascii) % 3 == 0) << t.length;
    EXPECT_EQ(s.compare(0, (size_t)t.length, t.cstr()), 0);
  }
}

}  // namespace
