// The world screen's keys, wheel, mouse buttons and hover picking over synthetic input, with the
// requests they send caught at the socket.
#include <gtest/gtest.h>

#include <vector>

#include "app/client.hpp"
#include "entity.hpp"
#include "net/net.hpp"
#include "registry.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "world/cursor.hpp"
#include "world/fps.hpp"
#include "world/thoughts.hpp"
#include "world/selection.hpp"
#include "world/world_bars.hpp"
#include "world/world_input.hpp"

namespace {

std::vector<Request> sent;
ssize_t capture_send(int, const void* buffer, size_t n, int) {
  Request r;
  memcpy((void*)&r, buffer, n < sizeof r ? n : sizeof r);
  sent.push_back(r);
  return (ssize_t)n;
}

int lmb_clicks;
void count_lmb() { lmb_clicks++; }

struct WorldInputTest : ::testing::Test {
  NetSocketOps saved_ops = {};
  Entity* player = nullptr;

  void SetUp() override {
    saved_ops = net_socket_ops;
    net = Net{};
    net.socket = 1 << 20;  // never a real descriptor: every send lands in capture_send
    net_socket_ops.send = capture_send;
    sent.clear();
    memset((void*)&ui, 0, sizeof(ui));
    entity_storage_clear();
    game.modifiers.all = 0;
    game.mouse_is_down = game.mouse_went_down = game.mouse_went_up = 0;
    game.mouse_delta = {};
    game.cursor = Cursor{};
    game.box_selection = BoxSelection{};
    game.selected_id = game.hovered_id = 0;
    game.spell_type = {};
    game.skip_lmb_up = false;
    game.battle_stance = false;
    game.screen = Screen_World;
    game.frame = 0;
    lmb_clicks = 0;
    game.lmb_handler = count_lmb;
    player = &add(1, {100, 100}, 8);
    enable_component(*player, Component_Actor);  // no mana pool: every spell is affordable
    enable_component(*player, Component_Mortal);
    game.player = player;
  }
  void TearDown() override {
    net.socket = 0;
    net_socket_ops = saved_ops;
    game.player = nullptr;
    game.lmb_handler = nullptr;
    entity_storage_clear();
  }

  static Entity& add(Id id, v2 pos, f32 radius) {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    e.id = id, e.pos = pos, e.radius = radius;
    return e;
  }
  static int count(RequestType type) {
    int n = 0;
    for (const Request& r : sent) n += r.type == type;
    return n;
  }
};

TEST_F(WorldInputTest, KeyTableDigitsSpaceAndSpellHotkeys) {
  // A digit with a context menu open picks the entry and casts nothing.
  ui.context_menu.item_id = 9;
  world_handle_keydown(SDLK_4);
  EXPECT_EQ(ui.context_menu.activated_item_number, 4);
  EXPECT_TRUE(sent.empty());
  // Without the menu the same digit, and keys the table does not take, cast their spells.
  ui.context_menu.item_id = 0;
  for (SDL_Keycode key : {SDLK_4, SDLK_e, SDLK_f, SDLK_r, SDLK_t, SDLK_8}) {
    sent.clear();
    world_handle_keydown(key);
    ASSERT_EQ(sent.size(), 1u) << SDL_GetKeyName(key);
    u8 spell = sent[0].payload[12];
    bool bound = false;
    for (const SpellHotkey& h : spell_hotkeys) bound |= h.key == (char)key && h.spell_type == spell;
    EXPECT_TRUE(bound) << SDL_GetKeyName(key);
  }
  // Space without a burden casts Dash; a spell cooling down sends nothing.
  sent.clear();
  world_handle_keydown(SDLK_SPACE);
  ASSERT_EQ(count(RequestType_Spell), 1);
  EXPECT_EQ(sent[0].payload[12], SpellType_Dash);
  player->actor.spellset[SpellType_Dash].cooldown = 1;
  world_handle_keydown(SDLK_SPACE);
  EXPECT_EQ(count(RequestType_Spell), 1);

  // Space with a cart lets it go; with another burden it goes onto the cursor; a lost burden does nothing.
  Entity& cart = add(50, {120, 100}, 10);
  enable_component(cart, Component_Cart);
  add(51, {140, 100}, 10);
  struct Case {
    Id burden;
    int releases;
    CursorType cursor;
  } cases[] = {{50, 1, CursorType_None}, {51, 0, CursorType_Burden}, {77, 0, CursorType_None}};
  for (const Case& c : cases) {
    sent.clear();
    clear_cursor();
    player->mortal.burden = c.burden;
    world_handle_keydown(SDLK_SPACE);
    EXPECT_EQ(count(RequestType_RunAction), c.releases) << c.burden;
    EXPECT_EQ(sent.size(), (size_t)c.releases) << "no spell with a burden " << c.burden;
    EXPECT_EQ(game.cursor.type, c.cursor) << c.burden;
  }
}

TEST_F(WorldInputTest, FocusedFieldsAndAdministratorGestures) {
  // Return in a field other than the chat's stays with that field.
  TextInput field;
  ui.chat.dialog.is_visible = true;
  activate_text_input(field);
  world_handle_keydown(SDLK_RETURN);
  world_handle_keydown(SDLK_q);
  EXPECT_TRUE(ui.chat.dialog.is_visible);
  EXPECT_FALSE(game.battle_stance);
  EXPECT_TRUE(sent.empty());
  deactivate_text_input();

  // `]` and Alt-click step the clock and teleport only for an administrator.
  for (bool admin : {false, true}) {
    sent.clear();
    game.frame = 10;
    player->flags = admin ? (u32)EntityFlag_IsAdmin : 0u;
    world_handle_keydown(SDLK_RIGHTBRACKET);
    game.modifiers.alt = 1;
    EXPECT_TRUE(world_handle_left_mouse_down()) << "Alt-click is always used up";
    game.modifiers.alt = 0;
    EXPECT_EQ(count(RequestType_RequestUpdates), admin ? 1 : 0) << admin;
    EXPECT_EQ(count(RequestType_Teleport), admin ? 1 : 0) << admin;
    EXPECT_EQ(game.frame, admin ? 11u : 10u) << admin;
  }
  player->flags = 0;
}

TEST_F(WorldInputTest, WheelTurnsAHeldBuildingAndKeepsTheCameraSane) {
  set_cursor((EntityType)5, nullptr);
  int seen[4] = {};
  for (int i = 0; i < 8; i++) world_handle_wheel(1), seen[game.cursor.rotation_index]++;
  for (int n : seen) EXPECT_EQ(n, 2);
  EXPECT_EQ(game.cursor.rotation_index, 0);
  world_handle_wheel(-1);
  EXPECT_EQ(game.cursor.rotation_index, 3);
  game.modifiers.ctrl = 1;  // Ctrl zooms instead
  world_handle_wheel(1);
  EXPECT_EQ(game.cursor.rotation_index, 3);

  // However far the wheel and drags go, pitch stays in (0, pi/2) and roll small.
  for (f32 dir : {1.0f, -1.0f}) {
    for (int i = 0; i < 100; i++) {
      game.modifiers.all = 0, game.modifiers.alt = 1;
      world_handle_wheel(dir);
      game.modifiers.ctrl = 1;
      world_handle_wheel(dir);
      EXPECT_GT(renderer.camera.pitch, 0);
      EXPECT_LT(renderer.camera.pitch, pi / 2);
      EXPECT_LE(fabsf(renderer.camera.roll), pi / 4);
    }
  }
  game.modifiers.all = 0;
  renderer.camera.pitch = pi / 4, renderer.camera.roll = 0;
}

TEST_F(WorldInputTest, ClicksOnWindowsBoxSelectionAndRightClick) {
  // A press over a window and its release are no world click, even after the mouse leaves the window.
  ui.hovered = true;
  game.mouse_went_down = game.mouse_is_down = MouseButton_Left;
  world_handle_left_mouse();
  ui.hovered = false;
  game.mouse_went_down = game.mouse_is_down = 0, game.mouse_went_up = MouseButton_Left;
  world_handle_left_mouse();
  EXPECT_EQ(lmb_clicks, 0);
  EXPECT_FALSE(game.skip_lmb_up);
  world_handle_left_mouse();  // the next plain release is one
  EXPECT_EQ(lmb_clicks, 1);

  // A box selection started at the world's origin is a selection like any other.
  game.mouse_world = {0, 0};
  game.box_selection.is_scheduled = true;
  EXPECT_TRUE(world_handle_left_mouse_down());
  EXPECT_TRUE(game.box_selection.is_active);
  world_handle_left_mouse_up();
  EXPECT_FALSE(game.box_selection.is_active);
  EXPECT_EQ(lmb_clicks, 1);

  // Right press on an entity selects it through the handler; a right release puts the cursor away.
  init_hotkeys();
  game.hovered_id = 1;
  game.mouse_went_down = game.mouse_is_down = MouseButton_Right, game.mouse_went_up = 0;
  world_handle_right_mouse();
  EXPECT_EQ(game.selected_id, 1u);
  set_cursor((EntityType)5, nullptr);
  game.mouse_went_down = game.mouse_is_down = 0, game.mouse_went_up = MouseButton_Right;
  world_handle_right_mouse();
  EXPECT_EQ(game.cursor.type, CursorType_None);
}

TEST_F(WorldInputTest, HoverPicksTheLastHitAndSkipsPlayerAndNoHoverWithoutShift) {
  renderer.camera.pos = {100, -200, 400};
  game.mouse_world = {100, 100};
  Entity& rock = add(2, {100, 100}, 6);
  Entity& box = add(3, {100, 100}, 0);
  box.dim = {20, 20, 10};
  Entity& ghost = add(4, {100, 100}, 6);
  ghost.flags = EntityFlag_NoHover;
  Entity& far = add(5, {300, 300}, 6);
  Entity& bagged = add(6, {100, 100}, 6);
  enable_component(bagged, Component_Item);
  bagged.item.container = 99;
  struct Case {
    bool shift, ui_hovered;
    Id hovered;
  } cases[] = {{false, false, 3}, {true, false, 4}, {true, true, 0}};
  for (const Case& c : cases) {
    game.modifiers.shift = c.shift;
    ui.hovered = c.ui_hovered;
    update_selections();
    EXPECT_EQ(game.hovered_id, c.hovered) << c.shift << c.ui_hovered;
  }
  ghost.id = 0;  // gone: the box is the latest hit again
  game.modifiers.shift = 1, ui.hovered = false;
  update_selections();
  EXPECT_EQ(game.hovered_id, 3u);
  box.id = rock.id = 0;
  update_selections();
  EXPECT_EQ(game.hovered_id, 1u) << "the player, only with Shift";
  game.modifiers.shift = 0;
  update_selections();
  EXPECT_EQ(game.hovered_id, 0u);
  EXPECT_FALSE(pick_ray_hits(far, renderer.camera.pos, {100, 100, 0}));
}

TEST_F(WorldInputTest, HungerIsThoughtOnlyWhileLowAndNothingIsDigested) {
  enable_component(*player, Component_Person);
  struct Case {
    Param energy;
    bool digesting, hungry;
  } cases[] = {{{10, 100}, false, true},
               {{10, 100}, true, false},
               {{50, 100}, false, false},
               {{0, 0}, false, true},
               {{29, 100}, false, true}};
  for (const Case& c : cases) {
    game.mind = Mind{};
    player->person.energy = c.energy;
    player->person.stomach.slots[0].type = c.digesting ? (EntityType)1 : (EntityType)0;
    update_entities();
    update_entities();  // a need felt every frame is one thought
    int n = 0;
    for (int i = 0; i < game.mind.nthoughts; i++) n += game.mind.thoughts[i].type == ThoughtType_Hungry;
    EXPECT_EQ(n, c.hungry ? 1 : 0) << c.energy.cur << "/" << c.energy.max << " digesting " << c.digesting;
  }
  game.mind = Mind{};
}

TEST(WorldBars, RatiosAreNeverNaNAndTileRectanglesCoverBothCorners) {
  const f32 odd[] = {0, -1, 1, 50, 1e30f, -1e30f, INFINITY, -INFINITY, NAN};
  for (f32 cur : odd) {
    for (f32 max : odd) {
      f32 t = world_bar_ratio(Param{cur, max});
      EXPECT_TRUE(t >= 0 && t <= 1) << cur << "/" << max;
      if (!(max > 0)) {
        EXPECT_EQ(t, 0) << cur << "/" << max;
      }
      HealthBar b = health_bar(8, t);
      EXPECT_FLOAT_EQ(b.lost_size.x + b.left_size.x, 16) << cur << "/" << max;
    }
  }
  EXPECT_FLOAT_EQ(world_bar_ratio(Param{25, 100}), 0.25f);
  // Frame bars: a zero or endless frame stays within the graph, and a slower frame is never taller.
  f32 last = 1e9f;
  for (u64 ms : {0ull, 1ull, 16ull, 17ull, 33ull, 500ull, 1000ull, 5000ull, ~0ull / 2000000ull}) {
    f32 h = fps_bar_height(Duration{ms * 1000000ull}, 96);
    EXPECT_TRUE(h >= 96.0f / 60 && h <= 96) << ms;
    EXPECT_LE(h, last) << ms;
    last = h;
  }

  const v2 points[] = {{0, 0}, {31.9f, 5}, {-40, 70}, {64, -64}, {33, 33}};
  for (v2 a : points) {
    for (v2 b : points) {
      Rect r = tile_rect_snapped(a, b);
      Rect r2 = tile_rect_snapped(b, a);
      EXPECT_EQ(memcmp(&r, &r2, sizeof r), 0);
      EXPECT_TRUE(point_intersects_rect(a, r) && point_intersects_rect(b, r));
      for (f32 v : {r.x, r.y, r.w, r.h}) EXPECT_EQ(fmodf(v, 32), 0) << v;
      EXPECT_LT(r.w, fabsf(a.x - b.x) + 64);
    }
  }
}

}  // namespace
