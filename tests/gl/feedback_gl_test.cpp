// Texts over the world on a real (software) GL context: a thought and a speech bubble over the player,
// a damage number with its shadow over the entity that was hit.
#include <glad/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/client.hpp"
#include "gl_context.hpp"
#include "registry.hpp"
#include "render/camera.hpp"
#include "ui/ui.hpp"
#include "world/chat.hpp"
#include "world/events.hpp"
#include "world/thoughts.hpp"

using FeedbackGl = GlTest;

TEST_F(FeedbackGl, ThoughtBubbleAndDamageNumberStandOverTheirEntities) {
  const int w = 640, h = 360;
  gl_test_resize(w, h);
  load_entity_registry();
  entity_storage_clear();
  Entity* e = entity_storage.entities;  // the player, a speaker and a training dummy in a row
  entity_storage.nentities = 3;
  EntityType types[] = {Entity_Player, Entity_Player, Entity_training_dummy};
  for (int i = 0; i < 3; i++)
    copy_prototype(&e[i], *get_entity_prototype(types[i])), e[i].id = (Id)i + 1, e[i].pos = {(f32)(i - 1) * 200, 0};
  enable_component(e[0], Component_Mortal);
  e[0].mortal.hp.cur = 10;
  game.player = &e[0];
  game.server_time = {50 * Seconds.ns};
  memset((void*)&ui, 0, sizeof ui);
  ui.scale = 1, ui.line_height = renderer.font_pixel_height;
  game.mind = {}, game.nevents_state = 0;
  push_thought(ThoughtType_Hungry);
  ChatMessage m = {"hello", "Speaker", 2, 0, game.server_time};
  chat_append_message(m);
  Event& hit = e[2].events.events[e[2].events.nevents++];
  hit = {};
  hit.time = game.server_time, hit.id = 1, hit.type = EventType_Damage, hit.damage.value = 42;
  reset_camera();
  renderer.camera.target = {0, 0, 0};
  renderer.vp = camera_update(renderer.camera, {(f32)w, (f32)h});
  gl_test_begin_overlay(renderer.vp);
  draw_thoughts();
  draw_chat_bubbles();
  handle_events(e[2]);
  gl_test_end_overlay();
  ASSERT_TRUE(gl_test_save_artifact("feedback.png"));
  std::vector<u8> px = gl_test_read_window();
  // White text over the player (the thought) and the speaker (the bubble), red over the dummy only.
  int white[3] = {}, red[3] = {};
  for (int i = 0; i < w * h; i++) {
    const u8* p = &px[(size_t)(4 * i)];
    int third = (i % w) * 3 / w;
    white[third] += p[0] > 120 && p[1] > 120 && p[2] > 120;
    red[third] += p[0] > 120 && p[1] < p[0] / 2 && p[2] < p[0] / 2;
  }
  EXPECT_GT(white[0], 40);
  EXPECT_GT(white[1], 20);
  EXPECT_EQ(white[2], 0);
  EXPECT_GT(red[2], 10);
  EXPECT_EQ(red[0] + red[1], 0);
  game.player = nullptr;
  entity_storage_clear();
  gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
}
