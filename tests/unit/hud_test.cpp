// The world HUD built without GL: spell buttons and cooldowns, effects, the stomach, the world map,
// the tile palette and a frame with every window open.
#include <vector>

#include "entity.hpp"
#include "registry.hpp"
#include "ui_test_support.hpp"
#include "world/hud.hpp"
#include "world/spell_cast.hpp"
#include "world/world_map.hpp"

namespace {

struct HudTest : UiTest {
  Entity* player = nullptr;

  void SetUp() override {
    UiTest::SetUp();
    load_entity_registry();
    entity_storage_clear();
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    copy_prototype(&e, *get_entity_prototype(Entity_Player));
    e.id = 7;
    e.pos = {320, 640};
    // What the server gives a player beyond the kind's prototype.
    for (Component c : {Component_Actor, Component_Mortal, Component_Mover}) enable_component(e, c);
    player = game.player = &e;
    game.paused = game.battle_stance = false;
    game.selected_id = 0;
    game.world_map = WorldMap{};
  }
  void TearDown() override {
    game.player = nullptr;
    game.world_map = WorldMap{};
    entity_storage_clear();
  }
  void hud_frame(UiTestInput in = {}) {
    frame(in, [&] { build_world_ui(*player); });
  }
  static UiElement* child(UiElement* parent, const char* name) {
    for (UiElement* c = parent ? parent->first_child : nullptr; c; c = c->next)
      if (cstr_equal(c->id.name.cstr(), name)) return c;
    return nullptr;
  }
};

TEST_F(HudTest, SpellButtonShowsTheCooldownLeftAndItsKey) {
  Actor& actor = player->actor;
  actor.mana = {1000, 1000};
  f32 c = spell_cooldown(actor, SpellType_Fireball);
  ASSERT_GT(c, 0);
  actor.spellset[SpellType_Fireball].cooldown = c / 4;  // a quarter still to run
  EXPECT_FALSE(cast_spell(SpellType_Fireball, 0, {}, false));
  ui.main_controls.show_lmb = true;
  hud_frame();
  hud_frame();
  UiElement* button = find("spell-button{2}");
  ASSERT_TRUE(child(button, "cooldown"));
  EXPECT_NEAR(child(button, "cooldown")->rect.w, button->rect.w / 4, 0.01f);
  EXPECT_FLOAT_EQ(child(button, "cooldown")->rect.x, button->rect.x);
  EXPECT_STREQ(child(button, "spell-button-tip")->text.cstr(), tprintf("%.3f", c / 4).cstr());
  // A timer past the full cooldown (a late snapshot) fills the button and no more.
  actor.spellset[SpellType_Fireball].cooldown = 3 * c;
  hud_frame();
  EXPECT_LE(child(find("spell-button{2}"), "cooldown")->rect.w, find("spell-button{2}")->rect.w);
  // The Space row shows a blank between its brackets; the e row an upper-case E.
  EXPECT_TRUE(find("[ ] Dash"));
  EXPECT_TRUE(find(tprintf("[E] %s", spell_type_name(SpellType_StrongAttack)).cstr()));
}

TEST_F(HudTest, EffectsWithoutGapsStomachAndBarsStayInBounds) {
  player->actor.effects[1].type = (EffectType)1;
  player->actor.effects[3].type = (EffectType)2;
  Stomach& st = player->person.stomach;
  st.slots[0] = {(EntityType)250, {5, 10}};  // a kind this client does not know
  st.slots[1] = {(EntityType)(Entity_Player + 1), {5, 0}};
  player->mortal.hp = {150, 100};
  hud_frame();
  hud_frame();
  std::vector<u64> keys;
  for (UiElement* c = find("effects")->first_child; c; c = c->next) keys.push_back(c->key);
  EXPECT_EQ(keys, (std::vector<u64>{player->id + 1u, player->id + 3u}));
  EXPECT_FALSE(child(find("stomach-slot", 0), "item-icon"));
  ASSERT_TRUE(child(find("stomach-slot", 1), "item-icon"));
  EXPECT_EQ(find("stomach-slot-progress-bar")->rect.w, 0);  // a maximum of 0 is an empty bar
  for (int i = 0; i < ui.nelements; i++) {
    UiElement& e = ui.elements[i];
    if (!cstr_equal(e.id.name.cstr(), "fill")) continue;
    EXPECT_GE(e.rect.w, 0);
    EXPECT_LE(e.rect.w, e.parent->rect.w + 0.01f);
  }
}

TEST_F(HudTest, WorldMapSizesPointingAndClock) {
  game.world_map.texture = {1, 256, 128, 1};
  game.game_time = {7, 5};
  player->mover.zone = LocationZone_B;
  for (int z : {0, 1, 2}) {
    ui.draw_world_map = z;
    hud_frame();
    ASSERT_TRUE(find("world-map"));
    UiElement* image = find("world-map-image");
    ASSERT_EQ(image != nullptr, z != 0) << z;
    if (image) EXPECT_RECT(image->rect, image->rect.x, image->rect.y, z * 0.15f * 3840, z * 0.15f * 3840 / 2);
  }
  EXPECT_TRUE(find("Time: 07:05, Zone: B"));
  // At step 2 the point under the mouse is shown; past the map's far edge it is not.
  Rect r = find("world-map-image")->rect;
  f32 k = r.w / 256;
  hud_frame({{r.x + 10 * k, r.y + 28 * k}});
  EXPECT_TRUE(find("Pos: 320 3200"));
  hud_frame({{r.x + r.w / 2, r.y - 2 * k}});
  for (int i = 0; i < ui.nelements; i++) EXPECT_NE(strncmp(ui.elements[i].text.cstr(), "Pos:", 4), 0);
  v2 q;
  EXPECT_FALSE(world_map_point({r.x + r.w + k, r.y + k}, r, k, 256, 128, &q));
  // Without a texture the frame stays, with nothing to divide by.
  game.world_map.texture = {};
  hud_frame({{r.x + 10, r.y + 10}});
  EXPECT_TRUE(find("world-map"));
  EXPECT_FALSE(find("world-map-image") || find("world-map-location-me"));
}

TEST_F(HudTest, PaletteAndIconCellsStayInTheirGrids) {
  TilePaletteCell cells[TILES_MAPPING_COUNT];
  for (int per_row : {1, 5, 8, 40}) {
    int n = tile_palette_cells(32.0f * 4 * (f32)per_row, 32, 64, {100, 200}, cells);
    EXPECT_EQ(n, min(TILES_MAPPING_COUNT, TILE_PALETTE_ROWS * per_row)) << per_row;
    for (int i = 0; i < n; i++) {
      EXPECT_LE(cells[i].src.x + cells[i].src.w, 32.0f * 4 * (f32)per_row);
      EXPECT_EQ(cells[i].type, tiles_mapping[(int)((cells[i].dst.y - 200) / 64) * per_row + i % per_row]);
    }
  }
  EXPECT_EQ(tile_palette_cells(512, 0, 64, {}, cells) + tile_palette_cells(512, 1024, 64, {}, cells), 0);
  for (int i = Icon_Move; i < (int)Icon_count; i++) {
    Rect a = icon_rect((Icon)i);
    EXPECT_TRUE(a.w == Icon_size && a.x < 8.0f * Icon_size);
    for (int j = Icon_Move; j < i; j++) EXPECT_FALSE(a.x == icon_rect((Icon)j).x && a.y == icon_rect((Icon)j).y);
  }
  EXPECT_EQ(icon_rect(Icon_None).w + icon_rect(Icon_count).w, 0);
}

TEST_F(HudTest, EveryWindowOpenStaysWithinTheElementLimit) {
  // A click on the first main icon opens the spell bar, as the next frame sees it.
  hud_frame();
  v2 at = centre(find("action-icon{Move}")->rect);
  hud_frame({at, true, true});
  hud_frame({at});
  EXPECT_TRUE(ui.main_controls.show_lmb);
  player->flags |= EntityFlag_IsAdmin;
  game.world_map.texture = {1, 256, 256, 1};
  ui.draw_world_map = 2;
  game.paused = game.battle_stance = true;
  game.selected_id = player->id;
  ui.spells.is_visible = ui.admin_dialog.is_visible = ui.chat.dialog.is_visible = true;
  for (int i = 1; i < (int)EffectType_count; i++) player->actor.effects[i].type = (EffectType)i;
  for (SpellAbility& s : player->actor.spellset) s.cooldown = 0.5f;
  game.admin.nplayers = PLAYERS_MAX;
  hud_frame();
  hud_frame();
  game.admin.nplayers = 0;
  EXPECT_FALSE(ui.out_of_space_reported);
  EXPECT_LT(ui.nelements, UiMaxElements);
  for (const char* name : {"World is Paused", "[Battle Stance]", "dialog{admin}", "dialog{spells}"})
    EXPECT_TRUE(find(name)) << name;
}

}  // namespace
