#include "world_fixture.hpp"

using Movement = WorldTest;
static const f32 dt = 1.0f / 60;

TEST_F(Movement, ArrivalSnapsOnlyWithinOneStep) {
  struct Row {
    f32 distance;
    bool arrives;
  } rows[] = {{5, false}, {2.01f, false}, {2, true}, {0.5f, true}};  // 120 units/s: 2 a frame
  for (const Row& r : rows) {
    Entity& e = spawn_mover(Entity_stag, {100, 100}, 120);
    mover_set_dst(e.mover, {100 + r.distance, 100});
    e.mover.vel = {120, 0};
    update_movers(dt);
    EXPECT_EQ(e.pos.x == 100 + r.distance, r.arrives) << r.distance;
    EXPECT_EQ(has_dst(e), !r.arrives) << r.distance;
    EXPECT_EQ(is_moving(e), !r.arrives) << r.distance;
    remove_from_grid(e);
    e.id = 0;  // out of the next row's way
  }
}

TEST_F(Movement, SteeringAcceleratesLimitsAndStops) {
  Entity& e = spawn_mover(Entity_stag, {300, 300}, 100);
  mover_set_dir(e.mover, {0, -5});
  update_movers(dt);
  EXPECT_NEAR(e.mover.vel.y, -50, 1e-3);  // 3000 units/s^2 for one frame
  EXPECT_NEAR(e.pos.y, 300 - 50 * dt, 1e-3);
  EXPECT_NEAR(e.mover.gaze, -pi / 2, 1e-5);
  EXPECT_NEAR(e.mover.angle, -0.31415927f, 1e-5);  // the body turns at its own pace
  for (int i = 0; i < 10; i++) update_movers(dt);
  EXPECT_NEAR(v2_len(e.mover.vel), 100, 1e-3);
  e.mover.dst = {1000, 1000};  // a direction wins over a destination, and clears it
  update_movers(dt);
  EXPECT_FALSE(has_dst(e));
  mover_set_dir(e.mover, {0, 0});  // neither: an instant stop
  v2 before = e.pos;
  update_movers(dt);
  EXPECT_FALSE(is_moving(e));
  EXPECT_TRUE(v2_equal(e.pos, before));
}

TEST(Rotation, TurnsTheShortWayAtThreeTurnsASecond) {
  const f32 step = 0.31415927f;
  struct Row {
    f32 from, to, expected;
  } rows[] = {
      {3.0f, -3.0f, -3.0f},  // across pi: 0.283 rad, reached at once
      {0.0f, 1.0f, step},
      {0.0f, -1.0f, -step},
      {-3.0f, 2.5f, normalize_radians(-3.0f - step)},  // backwards through -pi
  };
  for (const Row& r : rows) {
    Mover m = {};
    m.angle = r.from;
    rotate_towards_angle(m, r.to, dt);
    EXPECT_NEAR(m.angle, r.expected, 1e-5) << r.from << " -> " << r.to;
  }
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
  update_movers(dt);
  EXPECT_TRUE(v2_equal(cart.pos, v2{200, 200}));
  EXPECT_NEAR(cart.mover.angle, 0.31415927f, 1e-5);
}

TEST_F(Movement, BoundingBoxes) {
  Bbox b = entity_bbox(spawn(Entity_rock, {100, 200}));  // r 16
  EXPECT_EQ(b.min.x, 84);
  EXPECT_EQ(b.min.z, -16);
  Entity& wall = spawn(Entity_dungeon_wall, {300, 300});  // 64 x 16, 96 high
  struct Row {
    int rotation;
    f32 min_x, min_y;
  } rows[] = {{0, 268, 292}, {1, 292, 268}, {2, 268, 292}, {3, 292, 268}};
  for (const Row& r : rows) {
    wall.flags = (wall.flags & ~3u) | rotation_to_flags(r.rotation);
    b = entity_bbox(wall);
    EXPECT_EQ(b.min.x, r.min_x) << r.rotation;
    EXPECT_EQ(b.min.y, r.min_y) << r.rotation;
    EXPECT_EQ(b.max.z, 96);
  }
}

// --- collisions

using Collisions = WorldTest;

TEST_F(Collisions, Detection) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 100);
  Entity& rock = spawn(Entity_rock, {130, 100});
  physics.ncontacts = 0;
  ASSERT_TRUE(game_detect_collision_between(a, rock));
  const Contact& c = physics.contacts[0];
  EXPECT_FLOAT_EQ(c.penetration, 2);
  EXPECT_FLOAT_EQ(c.normal.x, 1);
  EXPECT_FLOAT_EQ(c.point.x, 115);
  EXPECT_EQ(c.second, &rock);
  set_pos(rock, {132, 100});
  EXPECT_TRUE(game_detect_collision_between(a, rock));  // touching counts
  set_pos(rock, {132.1f, 100});
  EXPECT_FALSE(game_detect_collision_between(a, rock));
  set_pos(rock, {110, 100});
  rock.id = 0;
  EXPECT_FALSE(game_detect_collision_between(a, rock));  // no id: nobody

  // Circle against box, in either order: the circle is first.
  Entity& wall = spawn(Entity_dungeon_wall, {146, 100});  // x from 114
  for (int order = 0; order < 2; order++) {
    ASSERT_TRUE(order ? game_detect_collision_between(wall, a) : game_detect_collision_between(a, wall));
    const Contact& w = physics.contacts[physics.ncontacts - 1];
    EXPECT_EQ(w.first, &a);
    EXPECT_EQ(w.second, &wall);
    EXPECT_TRUE(v2_equal(w.point, v2{114, 100}));
    EXPECT_FLOAT_EQ(w.penetration, 2);
  }
  set_pos(a, {104, 82});  // off the corner (114, 92)
  ASSERT_TRUE(game_detect_collision_between(a, wall));
  EXPECT_NEAR(physics.contacts[physics.ncontacts - 1].penetration, 16 - sqrtf(200), 1e-4);
  wall.flags |= EntityFlag_Rotate90;  // now 16 wide along x
  set_pos(a, {100, 100});
  EXPECT_FALSE(game_detect_collision_between(a, wall));
  EXPECT_FALSE(game_detect_collision_between(spawn(Entity_crate, {146, 100}), wall));  // boxes never
}

TEST_F(Collisions, WallBounceAndStaticObstacles) {
  Entity& walker = spawn_mover(Entity_stag, {100, 100}, 100);
  Entity& wall = spawn(Entity_dungeon_wall, {146, 100});
  walker.mover.vel = {100, 0};
  Contact c = {{1, 0}, {114, 100}, 2, &walker, &wall};
  game_resolve_collision(c, dt);
  EXPECT_TRUE(v2_equal(walker.mover.vel, v2{-60, 0}));
  EXPECT_EQ(walker.pos.x, 98);
  EXPECT_EQ(grid_count(walker), 1);

  Entity& rock = spawn(Entity_rock, {128, 98});  // no mover: takes no share
  c = {{1, 0}, {113, 98}, 2, &walker, &rock};
  game_resolve_collision(c, dt);
  EXPECT_EQ(walker.pos.x, 96);
  EXPECT_EQ(rock.pos.x, 128);
  EXPECT_EQ(walker.mover.vel.x, -60);

  rock.id = 0;  // the client's hook refuses contacts with records that are nobody
  game_resolve_collision(c, dt);
  EXPECT_EQ(walker.pos.x, 96);
}

TEST_F(Collisions, MassWeightedExchange) {
  struct Row {
    f32 v1, v2, expect_v1, expect_v2, share1;  // share1: part of the push the first takes
  } rows[] = {
      {100, -100, -90, 90, 0.5f},  // head-on at equal speed: swapped, damped, split evenly
      {100, 0, -90, 0, 1.0f},      // into one standing still: it weighs far more
      {0, 0, 0, 0, 0.5f},
      {3e19f, -3e19f, -2.7e19f, 2.7e19f, 0.5f},  // speeds so absurd both weights vanish
  };
  for (const Row& r : rows) {
    Entity& a = spawn_mover(Entity_stag, {100, 100}, 200);
    Entity& b = spawn_mover(Entity_stag, {128, 100}, 200);
    a.mover.vel = {r.v1, 0};
    b.mover.vel = {r.v2, 0};
    Contact c = {{1, 0}, {114, 100}, 4, &a, &b};
    game_resolve_collision(c, dt);
    EXPECT_NEAR(a.mover.vel.x, r.expect_v1, fabsf(r.expect_v1) * 1e-5f + 1e-3f) << r.v1 << " " << r.v2;
    EXPECT_NEAR(b.mover.vel.x, r.expect_v2, fabsf(r.expect_v2) * 1e-5f + 1e-3f) << r.v1 << " " << r.v2;
    EXPECT_NEAR(a.pos.x, 100 - 4 * r.share1, 1e-3);
    EXPECT_NEAR(b.pos.x, 128 + 4 * (1 - r.share1), 1e-3);
    remove_from_grid(a);
    remove_from_grid(b);
    a.id = b.id = 0;
  }
}

TEST_F(Collisions, PassSeparatesOverlapsAndIgnoresItemsAndNoCollisions) {
  Entity& a = spawn_mover(Entity_stag, {100, 100}, 200);
  Entity& rock = spawn(Entity_rock, {120, 100});
  spawn(Entity_wooden_bowl, {90, 100});   // an item
  spawn(Entity_carrot_crop, {100, 110});  // NoCollisions
  a.mover.slide = {1, 1};
  update_collisions(dt);
  ASSERT_EQ(physics.ncontacts, 1u);
  EXPECT_EQ(physics.contacts[0].second, &rock);
  EXPECT_EQ(a.pos.x, 88);
  EXPECT_TRUE(is_zero(a.mover.slide));

  Entity& b = spawn_mover(Entity_stag, {88, 125}, 200);  // two movers: seen from both sides
  update_collisions(dt);
  int pairs = 0;
  for (u32 i = 0; i < physics.ncontacts; i++) {
    const Contact& c = physics.contacts[i];
    pairs += (c.first == &a && c.second == &b) || (c.first == &b && c.second == &a);
  }
  EXPECT_EQ(pairs, 2);
  EXPECT_GT(v2_distance(a.pos, b.pos), 25);
}

TEST_F(Collisions, ContactsBeyondTheListAreSkippedAndCounted) {
  // 40 movers on one spot want 40 * 39 = 1560 contacts.
  for (int i = 0; i < 40; i++) spawn_mover(Entity_stag, {500 + (f32)(i % 5), 500 + (f32)(i / 5)}, 100);
  update_collisions(dt);
  EXPECT_EQ(physics.ncontacts, (u32)CONTACTS_MAX);
  EXPECT_EQ(physics.nskipped, 40u * 39u - CONTACTS_MAX);
  // A storage count past the records (the sanitizer build checks the reads).
  entity_storage.nentities = 65535;
  update_physics(dt);
  EXPECT_LE(physics.ncontacts, (u32)CONTACTS_MAX);
}

TEST_F(Collisions, TheSearchFindsWhatTheRadiusWalkFinds) {
  // A crowd of movers among boxes, items, crops and an invisible one, at the edge of the location too;
  // once on a grid as dense as the crowd and once on a sparse one, whose cells are read as needed; last a
  // crowd that fills the list, whose later contacts are only counted, with an administrator among it and a
  // mover that is not on the grid.
  for (auto [width, count] : {std::pair{32, 600}, {80, 600}, {32, 2400}}) {
    entity_storage_clear();
    load_location(width, width);
    u32 seed = 12345;
    auto rnd = [&](f32 from, f32 to) {
      seed = seed * 1664525u + 1013904223u;
      return from + (to - from) * (f32)(seed >> 8) / (f32)(1 << 24);
    };
    const EntityType kinds[] = {Entity_stag,        Entity_stag,        Entity_rock,
                                Entity_wooden_bowl, Entity_carrot_crop, Entity_wooden_chest};
    for (int i = 0; i < count; i++) {
      Entity& e = spawn(kinds[i % 6], {rnd(0, 1030), rnd(0, 1030)});  // to the far edges
      if (Mover* m = find_mover(e)) m->speed = 100, mover_set_dst(*m, {rnd(0, 1024), rnd(0, 1024)});
      if (i % 40 == 7) e.flags |= EntityFlag_Invisible;
      if (i == 13) e.flags |= EntityFlag_IsAdmin;
      if (i == 19) remove_from_grid(e), e.pos = {500, 500}, mover_set_dst(e.mover, {});  // stays off the grid
    }
    static Contact expected[CONTACTS_MAX];
    for (int step = 0; step < 3; step++) {
      update_movers(dt);
      physics.ncontacts = physics.nskipped = 0;
      for (int i = 0; i < (int)entity_storage.nentities; i++) {
        Entity& first = entity_storage.entities[i];
        if (!first.id || !find_mover(first)) continue;
        for (EntityIter it = locate_entities(in_radius(&first, physics_collision_radius, {0, 0})); it.entity; next(it))
          if (it.entity != &first && !is_item(*it.entity) && !(it.entity->flags & EntityFlag_NoCollisions))
            game_detect_collision_between(first, *it.entity);
      }
      u32 n = physics.ncontacts, skipped = physics.nskipped;
      memcpy((void*)expected, physics.contacts, sizeof(Contact) * n);
      update_collisions(dt);
      ASSERT_EQ(physics.ncontacts, n) << step;
      EXPECT_EQ(physics.nskipped, skipped) << step;
      EXPECT_GT(n, 20u) << "a crowd that meets";
      EXPECT_TRUE(count == 600 || skipped > 1000) << "a crowd beyond the list";
      for (u32 i = 0; i < n; i++) {
        const Contact &a = expected[i], &b = physics.contacts[i];
        EXPECT_TRUE(a.first == b.first && a.second == b.second && v2_equal(a.normal, b.normal) &&
                    v2_equal(a.point, b.point) && a.penetration == b.penetration)
            << step << ": contact " << i << " on " << width;
      }
    }
  }
}
