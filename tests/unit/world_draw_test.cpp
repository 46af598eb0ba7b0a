// What the world frame reads from the storage before drawing: its lights, the spell start sounds and the
// tile tool's brush cell.
#include <gtest/gtest.h>

#include "render/entity_presentation.hpp"
#include "render/renderer.hpp"
#include "world/world_draw.hpp"
#include "world_fixture.hpp"

namespace {

struct WorldDrawTest : WorldTest {
  void SetUp() override {
    WorldTest::SetUp();
    clear_entity_state();
  }
  Entity& burning_torch(v2 pos) {
    Entity& e = spawn(Entity_torch, pos);
    e.flags |= EntityFlag_Burning;
    return e;
  }
};

TEST_F(WorldDrawTest, LightsComeFromFireAndHeldFlamesAndStopWhenTheTableIsFull) {
  burning_torch({100, 100});
  spawn(Entity_torch, {200, 100});  // not burning
  Entity& player = spawn_player({300, 300});
  put(player, 0, burning_torch({310, 300}));  // carried: its flame is the hand's
  set_entity_state_entry(player.id)->fire_pos = {{305, 300, 20}};
  set_entity_state_entry(spawn(Entity_Player, {50, 50}).id);  // a state without a flame
  renderer.nlights = 5;                                       // left from the last frame
  world_add_lights();
  ASSERT_EQ(renderer.nlights, 2);
  EXPECT_EQ(renderer.lights[0].pos.x, 100);
  EXPECT_EQ(renderer.lights[0].pos.z, 1);
  EXPECT_EQ(renderer.lights[1].pos.z, 20);
  EXPECT_LT(renderer.lights[1].radius, renderer.lights[0].radius);

  for (int i = 0; i < LIGHTS_MAX + 3; i++) burning_torch({20.0f + 40 * (f32)i, 600});
  world_add_lights();
  EXPECT_EQ(renderer.nlights, LIGHTS_MAX);
  for (const Light& l : renderer.lights) EXPECT_GT(l.radius, 0);
}

TEST_F(WorldDrawTest, StartSoundPlaysOncePerCastAndTheBrushCoversTheMouse) {
  Entity& e = spawn_player({100, 100});
  enable_component(e, Component_Actor);
  Action& a = e.actor.action;
  a.type = ActionType_CastSpell;
  a.spell_type = SpellType_Strike;
  a.started = Time{1000};
  a.progress = 0;
  EXPECT_NE(take_spell_start_sound(e), nullptr);
  EXPECT_EQ(take_spell_start_sound(e), nullptr);  // the same snapshot, a later frame
  a.progress = 0.2f;
  a.started = Time{2000};
  EXPECT_EQ(take_spell_start_sound(e), nullptr);  // joined late: not "just started"
  a.progress = 0;
  EXPECT_NE(take_spell_start_sound(e), nullptr);  // the next cast
  a.type = ActionType_None;
  a.started = Time{3000};
  EXPECT_EQ(take_spell_start_sound(e), nullptr);
  for (int t = 0; t < SpellType_count; t++) {
    Sound* s = spell_start_sound((u32)t);
    if (s) {
      EXPECT_TRUE((u8*)s >= (u8*)&game.audio.sounds && (u8*)s < (u8*)(&game.audio.sounds + 1));
    }
  }

  for (v2 p : {v2{0, 0}, v2{31.9f, 32}, v2{-0.5f, -64}, v2{1000.25f, -999.75f}}) {
    Rect r = tile_brush_cell(p);
    EXPECT_TRUE(point_intersects_rect(p, r)) << p.x << "," << p.y;
    EXPECT_EQ(r.w, 32);
    EXPECT_EQ(r.h, 32);
    EXPECT_EQ(fmodf(r.x, 32), 0);
    EXPECT_EQ(fmodf(r.y, 32), 0);
  }
}

}  // namespace
