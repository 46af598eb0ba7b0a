// The world frame's lights and spell start sounds, read from the storage before drawing.
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
  void burning_torch(v2 pos) { spawn(Entity_torch, pos).flags |= EntityFlag_Burning; }
};

TEST_F(WorldDrawTest, LightsFromFireAndHeldFlamesStopWhenTheTableIsFull) {
  burning_torch({100, 100});
  spawn(Entity_torch, {200, 100});  // not burning
  Entity& player = spawn_player({300, 300});
  put(player, 0, spawn(Entity_torch, {310, 300}));  // carried: its flame is the hand's
  set_entity_state_entry(player.id)->fire_pos = {{305, 300, 20}};
  renderer.nlights = 5;  // left from the last frame
  world_add_lights();
  ASSERT_EQ(renderer.nlights, 2);
  EXPECT_EQ(renderer.lights[1].pos.z, 20);
  for (int i = 0; i < LIGHTS_MAX; i++) burning_torch({20.0f + 40 * (f32)i, 600});
  world_add_lights();
  EXPECT_EQ(renderer.nlights, LIGHTS_MAX);
}

TEST_F(WorldDrawTest, StartSoundPlaysOncePerCastHoweverLongItsSnapshotLasts) {
  Entity& e = spawn_player({100, 100});
  enable_component(e, Component_Actor);
  Action& a = e.actor.action;
  a = {};
  a.type = ActionType_CastSpell;
  a.spell_type = SpellType_Strike;
  for (u64 started : {1000, 2000}) {
    a.started = Time{started};
    EXPECT_NE(take_spell_start_sound(e), nullptr);
    EXPECT_EQ(take_spell_start_sound(e), nullptr);
  }
  a.started = Time{3000}, a.progress = 0.2f;  // joined late: not just started
  EXPECT_EQ(take_spell_start_sound(e), nullptr);
}

}  // namespace
