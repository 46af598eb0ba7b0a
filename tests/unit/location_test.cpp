#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "items.hpp"
#include "world_fixture.hpp"

TEST(Tiles, EveryKindIsNamedAndPlacedOnceInTheAtlas) {
  std::set<std::string> names;
  std::set<int> indices;
  for (int t = 1; t < TileType_count; t++) {
    EXPECT_TRUE(names.insert(tile_name((TileType)t)).second) << t;
    int index = get_tile_index((TileType)t);
    if (index >= 0) {
      EXPECT_EQ(tiles_mapping[index], (TileType)t);
      EXPECT_TRUE(indices.insert(index).second) << t;
    }
  }
  EXPECT_EQ((int)indices.size(), TILES_MAPPING_COUNT);
  EXPECT_EQ(get_tile_index(TileType_None), -1);
  EXPECT_STREQ(location_zone_name((LocationZone)5), "Invalid Zone");
  EXPECT_DEATH(tile_name((TileType)TileType_count), "Unknown tile type");
}

TEST(LocationInit, RejectsBadSizesAndSanitizesTiles) {
  Location loc = {};
  u8 tiles[6] = {TileType_Sand, 200, TileType_Grass, 23, TileType_TileFloor, 0};
  EXPECT_FALSE(location_init(loc, {LocationType_World, 0}, "x", 1, 3, 2, {0, 0}, tiles, 5));
  EXPECT_FALSE(location_init(loc, {LocationType_World, 0}, "x", 1, -3, -2, {0, 0}, tiles, 6));
  EXPECT_FALSE(location_has_grid(&loc));
  char name[LOCATION_NAME_LEN + 8];
  memset(name, 'a', sizeof(name));  // no terminator
  ASSERT_TRUE(location_init(loc, {LocationType_Dungeon, 7}, name, (int)sizeof(name), 3, 2, {64, 32}, tiles, 6));
  EXPECT_EQ(strlen(loc.name), (size_t)LOCATION_NAME_LEN - 1);
  EXPECT_EQ(loc.size.x, 96);
  TileType expected[6] = {TileType_Sand, TileType_None, TileType_Grass, TileType_None, TileType_TileFloor};
  for (int i = 0; i < 6; i++) EXPECT_EQ(get_tile_at_clamped(loc, i % 3, i / 3), expected[i]) << i;
  location_free(loc);
}

TEST(LocationCells, LookupsClampEveryPositionIntoTheGrid) {
  Location loc = {};
  u8 tiles[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // 4 x 2 tiles at world tile (10, 1)
  ASSERT_TRUE(location_init(loc, {LocationType_World, 0}, "t", 1, 4, 2, {320, 32}, tiles, 8));
  struct Row {
    v2 pos;
    int tile;
  } rows[] = {
      {{320, 32}, 1},      {{351.9f, 63.9f}, 1}, {{352, 32}, 2},  {{447, 95}, 8},
      {{448, 32}, 4},  // past the right edge: the edge, not the next row
      {{1e30f, 1e30f}, 8}, {{-1e5f, -5}, 1},     {{NAN, NAN}, 1}, {{INFINITY, 40}, 4},
  };
  for (const Row& r : rows) EXPECT_EQ(get_tile_at(loc, r.pos), r.tile) << r.pos.x << "," << r.pos.y;
  EXPECT_EQ(get_tile_at(loc, 11, 2), 6);
  EXPECT_EQ(get_tile_at(loc, 99, 2), 8);
  EXPECT_EQ(get_tile_at_clamped(loc, -1, 0), TileType_None);
  EXPECT_EQ(get_tile_at_clamped(loc, 4, 0), TileType_None);

  // 20 x 20 tiles at (320, 0): clamping takes the border off the far edges only.
  static u8 big[400];
  ASSERT_TRUE(location_init(loc, {LocationType_World, 0}, "t", 1, 20, 20, {320, 0}, big, 400));
  struct Clamp {
    v2 pos, border, expected;
  } clamps[] = {
      {{0, 0}, {0, 0}, {320, 0}},
      {{2000, 2000}, {1, 1}, {959, 639}},
      {{500, 300}, {1, 1}, {500, 300}},
      {{NAN, 5}, {1, 1}, {320, 5}},
  };
  for (const Clamp& c : clamps) {
    v2 p = clamp_to_location(loc, c.pos, c.border);
    EXPECT_TRUE(v2_equal(p, c.expected)) << p.x << "," << p.y;
  }
  EXPECT_TRUE(v2_equal(round_to_location(loc, {345, 17}, 0.5f), v2{352, 16}));
  EXPECT_TRUE(v2_equal(round_to_location(loc, {5000, 5000}, 1), v2{959, 639}));
  location_free(loc);
}

// --- queries

static std::vector<Entity*> collect(const SpatialQuery& q) {
  std::vector<Entity*> out;
  for (EntityIter it = locate_entities(q); it.entity; next(it)) out.push_back(it.entity);
  return out;
}

static bool found(const SpatialQuery& q, const Entity& e) {
  for (Entity* x : collect(q)) {
    if (x == &e) return true;
  }
  return false;
}

// Around pos in the loaded location, no observer.
static SpatialQuery around(f32 radius, v2 pos) {
  SpatialQuery q = in_radius(nullptr, radius, pos);
  q.location = game.location;
  return q;
}

using LocationQuery = WorldTest;

TEST_F(LocationQuery, RadiusZeroVisitsOneRoundedCellWithoutDistanceTest) {
  Entity& in_cell = spawn(Entity_rock, {63, 63});        // cell (1, 1), 32 away
  Entity& before = spawn(Entity_rock, {20, 20});         // cell (0, 0)
  EntityIter it = locate_entities(around(0, {40, 40}));  // the corner rounds to (32, 32)
  EXPECT_EQ(it.rows * it.cols, 1);
  EXPECT_EQ(it.begin.x, 32);
  EXPECT_TRUE(found(around(0, {40, 40}), in_cell));
  EXPECT_FALSE(found(around(0, {40, 40}), before));
}

TEST_F(LocationQuery, RadiusRectangleAndFirstCell) {
  Entity& exact = spawn(Entity_rock, {300, 400});     // 100 from (300, 300)
  Entity& diagonal = spawn(Entity_rock, {360, 380});  // 100 too
  Entity& beyond = spawn(Entity_rock, {300, 400.5f});
  EXPECT_TRUE(found(around(100, {300, 300}), exact));
  EXPECT_TRUE(found(around(100, {300, 300}), diagonal));
  EXPECT_FALSE(found(around(100, {300, 300}), beyond));

  // pos.x - r = 50 rounds to 64: the cell [32, 64) is not visited although (55, 200) is in range.
  Entity& skipped = spawn(Entity_rock, {55, 200});
  EXPECT_EQ(locate_entities(around(48, {98, 200})).begin.x, 64);
  EXPECT_FALSE(found(around(48, {98, 200}), skipped));
}

TEST_F(LocationQuery, RectangleFindsExactlyWhatLiesInside) {
  std::vector<Entity*> all;
  for (int y = 0; y < 24; y++)
    for (int x = 0; x < 24; x++) all.push_back(&spawn(Entity_rock, {x * 11.0f, y * 11.0f}));
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-20, 280), size(-60, 140);
  for (int i = 0; i < 400; i++) {
    Rect r = {coord(rng), coord(rng), size(rng), size(rng)};
    if (i % 4 == 1) r = {roundf(r.x / 11) * 11, roundf(r.y / 11) * 11, roundf(r.w / 11) * 11, r.h};  // on entities
    if (i % 4 == 2) r.w = 0;
    if (i == 0) r = {0, 0, 0, 0};
    Rect normal = rect_from_corners(rect_min(r), rect_max(r));
    std::set<Entity*> want;
    for (Entity* e : all)
      if (point_intersects_rect(e->pos, normal)) want.insert(e);
    std::vector<Entity*> got = collect(in_rect(&location, r));
    EXPECT_EQ(std::set<Entity*>(got.begin(), got.end()), want) << r.x << " " << r.y << " " << r.w << " " << r.h;
    EXPECT_EQ(got.size(), want.size());
  }
}

TEST_F(LocationQuery, InvisibleEntitiesNeedAnAdministrator) {
  Entity& observer = spawn(Entity_Player, {200, 200});
  Entity& ghost = spawn(Entity_rock, {210, 200});
  ghost.flags |= EntityFlag_Invisible;
  EXPECT_TRUE(found(in_radius(&observer, 50, {0, 0}), observer));
  EXPECT_FALSE(found(in_radius(&observer, 50, {0, 0}), ghost));
  EXPECT_FALSE(found(in_rect(&location, Rect{150, 150, 100, 100}), ghost));
  observer.flags |= EntityFlag_IsAdmin;
  EXPECT_TRUE(found(in_radius(&observer, 50, {0, 0}), ghost));
  // An invisible observer finds itself, even outside its own radius (5 away, radius 1).
  EXPECT_TRUE(found(in_radius(&ghost, 1, {205, 200}), ghost));
}

TEST_F(LocationQuery, OrderEdgesAndNoLocation) {
  Entity& c = spawn(Entity_rock, {40, 70});  // cell (1, 2)
  Entity& a = spawn(Entity_rock, {70, 40});  // cell (2, 1)
  Entity& b = spawn(Entity_rock, {40, 40});  // cell (1, 1)
  Entity& b2 = spawn(Entity_rock, {41, 41});
  SpatialQuery q = in_rect(&location, Rect{32, 32, 64, 64});
  std::vector<Entity*> order = collect(q);
  std::vector<Entity*> expected = {&b, &b2, &a, &c};  // rows, x fastest; a cell in insertion order
  EXPECT_EQ(order, expected);
  EXPECT_EQ(locate_entity_by_type(Entity_rock, q), &b);
  EXPECT_EQ(locate_entity_by_type(Entity_stag, q), nullptr);

  Entity& corner = spawn(Entity_rock, {5000, 5000});
  EXPECT_TRUE(v2_equal(corner.pos, v2{1023, 1023}));
  EXPECT_TRUE(found(in_radius(&corner, vision_radius, {0, 0}), corner));
  EXPECT_TRUE(found(around(1e30f, {500, 500}), corner));

  game.location = nullptr;  // nothing loaded yet: an empty walk, and positions are just kept
  EXPECT_EQ(locate_entities(in_radius(&corner, 100, {0, 0})).entity, nullptr);
  set_pos(corner, {5, 6});
  EXPECT_EQ(corner.pos.x, 5);
  game.location = &location;
}

// --- grid maintenance

using LocationGrid = WorldTest;

TEST_F(LocationGrid, ContainedAndCarriedEntitiesStayPut) {
  Entity& player = spawn_player({100, 100});
  Entity& bag = spawn(Entity_bag, {100, 100});
  Entity& bowl = spawn(Entity_wooden_bowl, {120, 100});
  put(player, GearSlot_Bag, bag);
  put(bag, 0, bowl);
  set_pos(bowl, {300, 300});
  EXPECT_TRUE(v2_equal(bowl.pos, InvalidPos));
  EXPECT_EQ(grid_count(bowl), 0);

  Entity& log = spawn(Entity_tree_log, {200, 200});
  remove_from_grid(log);
  log.carrier = player.id;
  set_pos(log, {250, 250});
  EXPECT_TRUE(v2_equal(log.pos, InvalidPos));
  EXPECT_EQ(grid_count(log), 0);
}

TEST_F(LocationGrid, PulledBurdenFollowsAndFacesItsPuller) {
  Entity& puller = spawn(Entity_stag, {100, 10});
  Entity& cart = spawn(Entity_cart, {100, 40});
  cart.radius = 16;
  cart.flags |= EntityFlag_Pulled;
  get_mortal(puller)->burden = cart.id;
  set_pos(puller, {100, 100});
  EXPECT_TRUE(v2_equal(cart.pos, v2{100, 66}));
  EXPECT_FLOAT_EQ(cart.mover.gaze, pi / 2);
  EXPECT_EQ(grid_count(cart), 1);
  cart.flags &= ~EntityFlag_Pulled;  // not pulled: stays
  set_pos(puller, {300, 300});
  EXPECT_EQ(cart.pos.y, 66);

  // Pull loops (a pulls b pulls a) and self-pulls from the server end.
  Entity& a = spawn(Entity_stag, {100, 100});
  Entity& b = spawn(Entity_stag, {200, 100});
  a.flags |= EntityFlag_Pulled;
  b.flags |= EntityFlag_Pulled;
  get_mortal(a)->burden = b.id;
  get_mortal(b)->burden = a.id;
  set_pos(a, {400, 400});
  EXPECT_EQ(grid_count(a) + grid_count(b), 2);
  get_mortal(a)->burden = a.id;
  set_pos(a, {500, 500});
  EXPECT_TRUE(v2_equal(a.pos, v2{500, 500}));
}

TEST_F(LocationGrid, RemovalAndRepeatedIds) {
  Entity& first = spawn(Entity_rock, {100, 100});
  Entity& middle = spawn(Entity_rock, {101, 100});
  Entity& last = spawn(Entity_rock, {102, 100});
  remove_from_grid(middle);
  remove_from_grid(middle);  // the second does nothing
  EXPECT_TRUE(v2_equal(middle.pos, InvalidPos));
  EXPECT_EQ(first.next_in_grid, &last);
  EXPECT_EQ(grid_count(first) + grid_count(last), 2);

  // A snapshot may repeat an id: the grid links records, so both are listed and unlink cleanly.
  Entity& twin = make(Entity_rock);
  twin.id = first.id;
  set_pos(twin, {100, 100}, true);
  EXPECT_EQ(grid_count(first) + grid_count(twin), 2);
  remove_from_grid(twin);
  EXPECT_EQ(grid_count(first), 1);
  EXPECT_EQ(grid_count(twin), 0);

  // Linking a linked record again would make its list a cycle.
  EXPECT_DEATH(set_pos(first, {100, 100}, true), "Assertion");
}

TEST_F(LocationGrid, RandomMovesKeepEveryEntityListedOnceInItsCell) {
  load_location(40, 30, {64, 32});
  std::mt19937 rng(1234);
  std::uniform_real_distribution<f32> coord(-200, 1600), nudge(-12, 12);
  const int N = 300;
  Entity* es[N];
  // Two records live outside the storage, as a test's or a cursor's copy does.
  static Entity outside[2];
  std::vector<std::vector<Entity*>> cells(location.width * location.height);  // each list as moves leave it
  auto model_remove = [&](Entity& e) {
    if (v2_equal(e.pos, InvalidPos)) return;
    auto& c = cells[location_cell_index(location, e.pos)];
    c.erase(std::find(c.begin(), c.end(), &e));
  };
  for (int i = 0; i < N; i++) {
    es[i] = i < 2 ? &outside[i] : &make(i % 3 ? Entity_rock : Entity_stag);
    if (i < 2) *es[i] = make(Entity_rock), es[i]->id = next_id++;
    set_pos(*es[i], {coord(rng), coord(rng)});
    cells[location_cell_index(location, es[i]->pos)].push_back(es[i]);
  }
  for (int step = 0; step < 20000; step++) {
    if (step == 10000) {
      // A snapshot's relinking: the records keep their old links, which must count for nothing now.
      location_clear_grid(location);
      for (auto& c : cells) c.clear();
      for (Entity* x : es) {
        if (v2_equal(x->pos, InvalidPos)) continue;
        set_pos(*x, x->pos, true);
        cells[location_cell_index(location, x->pos)].push_back(x);
      }
    }
    Entity& e = *es[rng() % N];
    model_remove(e);
    if (rng() % 10 == 0) {
      remove_from_grid(e);
      continue;
    }
    // Mostly short moves, which often stay in the cell: an entity moved is always last in its cell's list.
    bool near = !v2_equal(e.pos, InvalidPos) && rng() % 4;
    set_pos(e, near ? e.pos + v2{nudge(rng), nudge(rng)} : v2{coord(rng), coord(rng)});
    cells[location_cell_index(location, e.pos)].push_back(&e);
  }
  int listed = 0, placed = 0;
  for (int i = 0; i < location.width * location.height; i++) {
    std::vector<Entity*> list;
    for (Entity* e = location.grid[i]; e; e = e->next_in_grid, listed++) list.push_back(e);
    EXPECT_EQ(list, cells[i]) << "cell " << i;
  }
  for (Entity* e : es) {
    bool on_grid = !v2_equal(e->pos, InvalidPos);
    placed += on_grid;
    EXPECT_EQ(grid_count(*e), on_grid ? 1 : 0);
    if (on_grid) {
      EXPECT_TRUE(v2_equal(e->pos, clamp_to_location(location, e->pos, {1, 1})));
    }
  }
  EXPECT_EQ(listed, placed);
  EXPECT_EQ((int)collect(around(5000, location.offset + location.size / 2)).size(), placed);

  // Stepping through consecutive cells visits exactly the cells that locating each one by position does.
  std::uniform_real_distribution<f32> radius(0, 500);
  for (int i = 0; i < 200; i++) {
    EntityIter fast = locate_entities(around(radius(rng), {coord(rng), coord(rng)}));
    ASSERT_GE(fast.first_cx, 0);
    EntityIter slow = fast;
    slow.first_cx = slow.first_cy = -1;
    slow.index = 0;
    slow.entity = nullptr;
    for (next(slow); fast.entity || slow.entity; next(fast), next(slow)) ASSERT_EQ(fast.entity, slow.entity);
  }
}
