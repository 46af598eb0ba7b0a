// Entities drawn by the world screen on a software GL context, kept as screenshots: every kind in a grid,
// and a close scene with a walking and a striking character, a burning bonfire and a torch in hand.
#include <glad/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/client.hpp"
#include "gl_context.hpp"
#include "items.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "screens/screens.hpp"

namespace {

struct EntityGl : GlTest {
  Location location = {};
  void SetUp() override {
    GlTest::SetUp();
    load_entity_registry();
    entity_storage_clear();
    clear_entity_state();
    static u8 tiles[48 * 48];
    memset(tiles, TileType_Grass, sizeof(tiles));
    ASSERT_TRUE(location_init(location, LocationRef{LocationType_World, 0}, "t", 5, 48, 48, {-768, -768}, tiles,
                              (s64)sizeof(tiles)));
    game.location = &location;
    game.game_time.hour = 12;
    if (!game.models.character.nmeshes) game.models.character = load_model("assets", "character.glb");
  }
  void TearDown() override {
    GlTest::TearDown();
    game.player = nullptr;
    game.location = nullptr;
    location_free(location);
    entity_storage_clear();
    clear_entity_state();
    gl_test_resize(GL_TEST_WIDTH, GL_TEST_HEIGHT);
  }
  Entity& add(EntityType type, v2 pos) {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    e.id = entity_storage.nentities;
    copy_prototype(&e, *get_entity_prototype(type));
    e.pos = pos;
    e.mortal.hp = {10, 10};
    return e;
  }
  // A player as the server sends it: moving, acting, mortal, wearing gear.
  Entity& person(v2 pos) {
    Entity& e = add(Entity_Player, pos);
    for (Component c : {Component_Mover, Component_Actor, Component_Mortal, Component_Container})
      enable_component(e, c);
    e.container.nslots = GearSlot_num;
    return e;
  }
  // A few frames through the world screen, then the post-processed picture saved; returns its pixels.
  std::vector<u8> shoot(const char* name, v3 target, f32 distance, int w, int h) {
    gl_test_resize(w, h);
    gl_test_aim_camera(target, distance);
    for (int frame = 0; frame < 6; frame++) {
      game.dt = 1.0f / 20;
      game.time += Duration{50 * Milliseconds.ns};
      draw_world_screen();
      push_transform(gl_test_screen_projection());
      post_process();
      pop_transform();
    }
    EXPECT_TRUE(gl_test_save_artifact(name));
    return gl_test_read_window();
  }
};

TEST_F(EntityGl, EveryKindInItsPlaceThenActionFireAndShadows) {
  game.player = &person({-460, -460});
  int i = 0;
  for (int t = Entity_skeleton; t < Entity_num; t++) {
    if (t == Entity_projectile || t == Entity_blueprint || t == Entity_blank) continue;
    Entity& e = add((EntityType)t, {(f32)(i % 12) * 72 - 396, (f32)(i / 12) * 72 - 380});
    e.id = (Id)(840 * 16 + ++i * 840);  // a multiple of every variant count: each kind's first variant
    e.tree.branches = has_component(e, Component_Tree) ? 3 : 0;
  }
  std::vector<u8> px = shoot("entities_grid.png", v3{{0, -40, 0}}, 1300, 800, 600);
  for (int k = 1; k < entity_storage.nentities; k++) {
    Entity& e = entity_storage.entities[k];
    EXPECT_TRUE(has_component(e, Component_Portal) || get_entity_model(e)) << entity_type_name(e.type);
  }
  EXPECT_GT(gl_test_picture_stats(px).covered, 96000);

  entity_storage_clear();
  Entity& walker = person({-60, 0});
  walker.mover.vel = {40, 0};
  game.player = &walker;
  Entity& striker = person({0, 0});
  striker.actor.action = Action{ActionType_CastSpell, 0, {}, 0.7f, {}, 0, 0, 0, {SpellType_Strike}, 0};
  Entity& bearer = person({60, 0});
  Entity& torch = add(Entity_torch, {0, 0});
  bearer.container.slots[GearSlot_RightHand] = torch.id;
  torch.item.container = bearer.id;
  Entity& fire = add(Entity_bonfire, {0, -60});
  fire.flags |= EntityFlag_Burning;
  add(Entity_pine_tree, {-40, 60}).tree.branches = 3;
  const f32 stale = 0.5f;
  glClearTexImage(renderer.shadow_texture.id, 0, GL_DEPTH_COMPONENT, GL_FLOAT, &stale);
  px = shoot("entities_scene.png", v3{{0, 0, 10}}, 260, 480, 320);
  EntityState* held = find_entity_state(bearer.id);  // the torch burns at the hand, above the ground
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(held->fire_pos.z > 10 && v2_distance(v2{held->fire_pos.x, held->fire_pos.y}, bearer.pos) < 24);
  EXPECT_TRUE(find_entity_state(fire.id) && find_entity_state(striker.id)->slash_progress > 0);
  int glowing = 0;  // the fire's orange
  for (size_t i = 0; i < px.size(); i += 4) glowing += px[i] > 220 && px[i + 1] > 120 && px[i + 2] < 120;
  EXPECT_GT(glowing, 30);
  // The shadow pass ran with the scene as casters: far depth around them, nearer under them.
  const int n = 1024, from = SHADOW_MAP_SIZE / 2 - n / 2;
  std::vector<f32> depth(n * n);
  glGetTextureSubImage(renderer.shadow_texture.id, 0, from, from, 0, n, n, 1, GL_DEPTH_COMPONENT, GL_FLOAT,
                       (int)(depth.size() * sizeof(f32)), depth.data());
  int far = 0, cast = 0;
  for (f32 d : depth) far += d == 1, cast += d < 1 && d != stale;
  EXPECT_TRUE(far > n * n / 2 && cast > 2000) << far << " " << cast;
}

}  // namespace
