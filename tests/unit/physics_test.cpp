#include "world_fixture.hpp"

using Movement = WorldTest;

TEST_F(Movement, ArrivalSnapsOnlyWithinOneStep) {
  const f32 dt = 1.0f / 60;  // 120 units/s: 2 units a frame
  struct Row {
    f32 distance;
    bool arrives;
  } rows[] = {{5, false}, {2.01f, false}, {2, true}, {0.5f, true}};
  for (const Row& r : rows) {
    Entity& e = spawn_mover(Entity_stag, {100, 100}, 120);
    mover_set_dst(e.mover, {100 + r.distance, 100});
    e.mover.vel = {120, 0};
    update_movers(dt);
    if (r.arrives) {
      EXPECT_EQ(e.pos.x, 100 + r.distance) << r.distance;
      EXPECT_TRUE(is_zero(e.mover.vel));
      EXPECT_FALSE(has_dst(e));
    } else {
      EXPECT_LT(e.pos.x, 100 + r.distance) << r.distance;
      EXPECT_GT(e.pos.x, 100);
      EXPECT_TRUE(has_dst(e));
      EXPECT_TRUE(is_moving(e));
    }
    remove_from_grid(e);
    e.id = 0;  // out of later rows' way
  }
}

TEST_F(Movement, SteeringAcceleratesLimitsAndStops) {
  const f32 dt = 1.0f / 60;
  Entity& e = spawn_mover(Entity_stag, {300, 300}, 100);
  mover_set_dir(e.mover, {0, -5});
  update_movers(dt);
  // 3000 units/s^2 for one frame is 50 units/s, under the limit.
  EXPECT_NEAR(e.mover.vel.y, -50, 1e-3);
  EXPECT_NEAR(e.pos.y, 300 - 50 * dt, 1e-3);
  EXPECT_NEAR(e.mover.gaze, -pi / 2, 1e-5);
  EXPECT_NEAR(e.mover.angle, -0.31415927f, 1e-5);  // the body turns at its own pace
  for (int i = 0; i < 10; i++) update_movers(dt);
  EXPECT_NEAR(v2_len(e.mover.vel), 100, 1e-3);

  // A direction wins over a destination, and clears it.
  e.mover.dst = {1000, 1000};
  update_movers(dt);
  EXPECT_FALSE(has_dst(e));

  // Neither destination nor direction: an instant stop.
  mover_set_dir(e.mover, {0, 0});
  v2 before = e.pos;
  update_movers(dt);
  EXPECT_FALSE(is_moving(e));
  EXPECT_TRUE(v2_equal(e.pos, before));
}

TEST_F(Movement, SlidingKeepsItsVelocity) {
  Entity& e = spawn_mover(Entity_stag, {300, 300}, 100);
  mover_set_dir(e.mover, {1, 0});
  e.mover.vel = {0, 30};
  e.mover.is_sliding = true;
  update_movers(1.0f / 60);
  EXPECT_EQ(e.mover.vel.x, 0);
  EXPECT_EQ(e.mover.vel.y, 30);
  EXPECT_FALSE(e.mover.is_sliding);
}

TEST(Rotation, TurnsTheShortWayAtThreeTurnsASecond) {
  const f32 dt = 1.0f / 60;  // 0.314 rad a frame
  struct Row {
    f32 from, to, expected;
  } rows[] = {
      {3.0f, -3.0f, -3.0f},          // across pi: 0.283 rad, reached in one step
      {0.0f, 1.0f, 0.31415927f},     // too far: one step toward it
      {0.0f, -1.0f, -0.31415927f},
      {-3.0f, 2.5f, normalize_radians(-3.0f - 0.31415927f)},  // the short way is backwards through -pi
      {1.0f, 1.2f, 1.2f},
  };
  for (const Row& r : rows) {
    Mover m = {};
    m.angle = r.from;
    rotate_towards_angle(m, r.to, dt);
    EXPECT_NEAR(m.angle, r.expected, 1e-5) << r.from << " -> " << r.to;
  }
  Mover m = {};
  set_gaze_and_angle(m, {0, 1});
  EXPECT_FLOAT_EQ(m.gaze, pi / 2);
  EXPECT_FLOAT_EQ(m.angle, pi / 2);
}

TEST_F(Movement, CarriedEntityOnlyTurnsTowardItsGaze) {
  Entity& player = spawn_player({100, 100});
  Entity& cart = spawn_mover(Entity_cart, {200, 200}, 100);
  remove_from_grid(cart);
  cart.carrier = player.id;
  cart.pos = {200, 200};
  mover_set_dst(cart.mover, {400, 400});
  cart.mover.vel = {50, 0};
  cart.mover.gaze = 1.0f;
  update_movers(1.0f / 60);
  EXPECT_TRUE(v2_equal(cart.pos, v2{200, 200}));
  EXPECT_NEAR(cart.mover.angle, 0.31415927f, 1e-5);
  EXPECT_EQ(cart.mover.vel.x, 50);
}

TEST_F(Movement, BoundingBoxes) {
  Entity& rock = spawn(Entity_rock, {100, 200});  // r 16
  Bbox b = entity_bbox(rock);
  EXPECT_EQ(b.min.x, 84);
  EXPECT_EQ(b.max.y, 216);
  EXPECT_EQ(b.min.z, -16);
  EXPECT_EQ(b.max.z, 16);

  Entity& wall = spawn(Entity_dungeon_wall, {300, 300});  // 64 x 16 h 96
  b = entity_bbox(wall);
  EXPECT_EQ(b.min.x, 268);
  EXPECT_EQ(b.max.x, 332);
  EXPECT_EQ(b.min.y, 292);
  EXPECT_EQ(b.min.z, 0);
  EXPECT_EQ(b.max.z, 96);
  for (u32 rotation : {1u, 3u}) {
    wall.flags = (wall.flags & ~3u) | rotation_to_flags((int)rotation);
    b = entity_bbox(wall);
    EXPECT_EQ(b.min.x, 292) << rotation;
    EXPECT_EQ(b.max.y, 332) << rotation;
  }
  wall.flags = (wall.flags & ~3u) | rotation_to_flags(2);
  EXPECT_EQ(entity_bbox(wall).min.x, 268);
}

// --- detection

using Collisions = WorldTest;

TEST_F(Collisions, CircleAgainstCircle) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 100);
  Entity& b = spawn(Entity_rock, {130, 100});
  physics.ncontacts = 0;
  ASSERT_TRUE(game_detect_collision_between(a, b));
  ASSERT_EQ(physics.ncontacts, 1u);
  const Contact& c = physics.contacts[0];
  EXPECT_FLOAT_EQ(c.penetration, 2);
  EXPECT_FLOAT_EQ(c.normal.x, 1);
  EXPECT_FLOAT_EQ(c.point.x, 115);
  EXPECT_EQ(c.first, &a);
  EXPECT_EQ(c.second, &b);

  // Touching counts; apart does not; a partner without id is nobody.
  set_pos(b, {132, 100});
  EXPECT_TRUE(game_detect_collision_between(a, b));
  set_pos(b, {132.1f, 100});
  EXPECT_FALSE(game_detect_collision_between(a, b));
  set_pos(b, {110, 100});
  Id id = b.id;
  b.id = 0;
  EXPECT_FALSE(game_detect_collision_between(a, b));
  b.id = id;
  EXPECT_EQ(physics.ncontacts, 2u);
}

TEST_F(Collisions, CircleAgainstBoxEitherWayAndBoxesNever) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 100);
  Entity& wall = spawn(Entity_dungeon_wall, {146, 100});  // x from 114 to 178
  physics.ncontacts = 0;
  for (int order = 0; order < 2; order++) {
    ASSERT_TRUE(order == 0 ? game_detect_collision_between(a, wall) : game_detect_collision_between(wall, a));
    const Contact& c = physics.contacts[physics.ncontacts - 1];
    EXPECT_EQ(c.first, &a);
    EXPECT_EQ(c.second, &wall);
    EXPECT_FLOAT_EQ(c.point.x, 114);
    EXPECT_FLOAT_EQ(c.point.y, 100);
    EXPECT_FLOAT_EQ(c.normal.x, 1);
    EXPECT_FLOAT_EQ(c.penetration, 2);
  }
  // Corner: the closest point is the box's corner.
  set_pos(a, {104, 82});
  ASSERT_TRUE(game_detect_collision_between(a, wall));
  const Contact& c = physics.contacts[physics.ncontacts - 1];
  EXPECT_FLOAT_EQ(c.point.x, 114);
  EXPECT_FLOAT_EQ(c.point.y, 92);
  EXPECT_NEAR(c.penetration, 16 - sqrtf(200), 1e-4);
  set_pos(a, {100, 100});

  // A rotated wall is 16 wide along x: the stag no longer reaches it.
  wall.flags |= EntityFlag_Rotate90;
  EXPECT_FALSE(game_detect_collision_between(a, wall));

  Entity& box = spawn(Entity_crate, {146, 100});
  EXPECT_FALSE(game_detect_collision_between(box, wall));
}

TEST_F(Collisions, WallBounceAndPushOut) {
  Entity& player = spawn_mover(Entity_stag, {100, 100}, 100);
  Entity& wall = spawn(Entity_dungeon_wall, {146, 100});
  player.mover.vel = {100, 0};
  Contact c = {{1, 0}, {114, 100}, 2, &player, &wall};
  game_resolve_collision(c, 1.0f / 60);
  EXPECT_FLOAT_EQ(player.mover.vel.x, -60);
  EXPECT_FLOAT_EQ(player.mover.vel.y, 0);
  EXPECT_FLOAT_EQ(player.pos.x, 98);
  EXPECT_EQ(grid_count(player), 1);
}

TEST_F(Collisions, StaticObstacleTakesNoShare) {
  Entity& stag = spawn_mover(Entity_stag, {100, 100}, 100);
  Entity& rock = spawn(Entity_rock, {130, 100});
  stag.mover.vel = {50, 0};
  Contact c = {{1, 0}, {115, 100}, 2, &stag, &rock};
  game_resolve_collision(c, 1.0f / 60);
  EXPECT_FLOAT_EQ(stag.pos.x, 98);
  EXPECT_FLOAT_EQ(rock.pos.x, 130);
  EXPECT_FLOAT_EQ(stag.mover.vel.x, 50);
}

TEST_F(Collisions, MassWeightedExchange) {
  struct Row {
    v2 vel1, vel2;
    v2 expect_v1, expect_v2;
    f32 share1;  // of the penetration taken by the first
  } rows[] = {
      // Head-on at equal speed: the speeds swap, damped, and the push is split evenly.
      {{100, 0}, {-100, 0}, {-90, 0}, {90, 0}, 0.5f},
      // Into a body standing still: the standing one weighs far more; the walker bounces back and
      // takes the whole push.
      {{100, 0}, {0, 0}, {-90, 0}, {0, 0}, 1.0f},
      // Both standing: equal weights, nothing to exchange.
      {{0, 0}, {0, 0}, {0, 0}, {0, 0}, 0.5f},
  };
  for (const Row& r : rows) {
    Entity& a = spawn_mover(Entity_stag, {100, 100}, 200);
    Entity& b = spawn_mover(Entity_stag, {128, 100}, 200);
    a.mover.vel = r.vel1;
    b.mover.vel = r.vel2;
    Contact c = {{1, 0}, {114, 100}, 4, &a, &b};
    game_resolve_collision(c, 1.0f / 60);
    EXPECT_NEAR(a.mover.vel.x, r.expect_v1.x, 1e-3) << r.vel1.x << " " << r.vel2.x;
    EXPECT_NEAR(b.mover.vel.x, r.expect_v2.x, 1e-3) << r.vel1.x << " " << r.vel2.x;
    EXPECT_NEAR(a.pos.x, 100 - 4 * r.share1, 1e-3);
    EXPECT_NEAR(b.pos.x, 128 + 4 * (1 - r.share1), 1e-3);
    remove_from_grid(a);
    remove_from_grid(b);
    a.id = b.id = 0;
  }
}

TEST_F(Collisions, AbsurdSpeedsStayFinite) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 200);
  Entity& b = spawn_mover(Entity_stag, {128, 100}, 200);
  a.mover.vel = {3e19f, 0};
  b.mover.vel = {-3e19f, 0};
  Contact c = {{1, 0}, {114, 100}, 4, &a, &b};
  game_resolve_collision(c, 1.0f / 60);
  EXPECT_TRUE(std::isfinite(a.pos.x));
  EXPECT_TRUE(std::isfinite(b.pos.x));
  EXPECT_FLOAT_EQ(a.pos.x, 98);
  EXPECT_FLOAT_EQ(b.pos.x, 130);
}

TEST_F(Collisions, HookRefusesContactsWithoutId) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 200);
  Entity& b = spawn(Entity_rock, {120, 100});
  b.id = 0;
  Contact c = {{1, 0}, {110, 100}, 12, &a, &b};
  game_resolve_collision(c, 1.0f / 60);
  EXPECT_EQ(a.pos.x, 100);
  EXPECT_TRUE(entity_on_collision(a, a, c));
}

TEST_F(Collisions, PassSeparatesOverlapsAndIgnoresItemsAndNoCollisions) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 200);
  Entity& rock = spawn(Entity_rock, {120, 100});
  Entity& bowl = spawn(Entity_wooden_bowl, {90, 100});      // an item
  Entity& crop = spawn(Entity_carrot_crop, {100, 110});     // NoCollisions
  a.mover.slide = {1, 1};
  update_collisions(1.0f / 60);
  EXPECT_EQ(physics.ncontacts, 1u);
  EXPECT_EQ(physics.contacts[0].second, &rock);
  EXPECT_FLOAT_EQ(a.pos.x, 88);
  EXPECT_TRUE(is_zero(a.mover.slide));
  EXPECT_EQ(bowl.pos.x, 90);
  EXPECT_EQ(crop.pos.y, 110);

  // Two movers see each other from both sides.
  Entity& b = spawn_mover(Entity_stag, {88, 125}, 200);
  update_collisions(1.0f / 60);
  int pairs = 0;
  for (u32 i = 0; i < physics.ncontacts; i++) {
    const Contact& c = physics.contacts[i];
    pairs += (c.first == &a && c.second == &b) || (c.first == &b && c.second == &a);
  }
  EXPECT_EQ(pairs, 2);
  EXPECT_GT(v2_distance(a.pos, b.pos), 25);
}

TEST_F(Collisions, ContactsBeyondTheListAreSkippedAndCounted) {
  // 40 movers on one spot: 40 * 39 = 1560 contacts wanted, 512 kept.
  for (int i = 0; i < 40; i++) spawn_mover(Entity_stag, {500 + (f32)(i % 5), 500 + (f32)(i / 5)}, 100);
  update_collisions(1.0f / 60);
  EXPECT_EQ(physics.ncontacts, (u32)CONTACTS_MAX);
  EXPECT_EQ(physics.nskipped, 40u * 39u - CONTACTS_MAX);
  // The next pass starts a fresh list.
  update_collisions(1.0f / 60);
  EXPECT_LE(physics.ncontacts, (u32)CONTACTS_MAX);
}

TEST_F(Collisions, StorageCountBeyondTheArrayIsBounded) {
  spawn_mover(Entity_stag, {100, 100}, 100);
  // The sanitizer build turns a walk past the records into a failure here.
  entity_storage.nentities = 65535;
  update_physics(1.0f / 60);
  entity_storage.nentities = 1;
}
