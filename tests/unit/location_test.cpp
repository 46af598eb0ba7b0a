#include <random>
#include <vector>

#include "items.hpp"
#include "world_fixture.hpp"

TEST(Tiles, AtlasMappingIsABijectionOverTheKnownKinds) {
  for (int i = 0; i < TILES_MAPPING_COUNT; i++) EXPECT_EQ(get_tile_index(tiles_mapping[i]), i);
  EXPECT_EQ(get_tile_index(TileType_None), -1);
  EXPECT_EQ(get_tile_index((TileType)23), -1);
  // The six ground kinds that the terrain blends first sit in the atlas's first blocks.
  EXPECT_EQ(get_tile_index(TileType_Grass), 0);
  EXPECT_EQ(get_tile_index(TileType_DeepWater), 5);
  EXPECT_EQ(get_tile_index(TileType_WhiteStoneFloor), 19);
}

TEST(Tiles, NamesColoursAndZones) {
  struct Row {
    TileType type;
    const char* name;
    u32 color;
  } rows[] = {
      {TileType_None, "none", 0x000000},      {TileType_DeepWater, "deep water", 0x1111FF},
      {TileType_Dirt, "dirt", 0x674917},      {TileType_LeafForest, "leaf forest", 0x0D6210},
      {TileType_Rock, "rock", 0x11CC22},      {TileType_TileFloor, "TileFloor", 0xCCCCCC},
  };
  for (const Row& r : rows) {
    EXPECT_STREQ(tile_name(r.type), r.name);
    EXPECT_EQ(tile_color(r.type), r.color) << r.name;
  }
  EXPECT_STREQ(location_zone_name(LocationZone_None), "???");
  EXPECT_STREQ(location_zone_name(LocationZone_D), "D");
  EXPECT_STREQ(location_zone_name((LocationZone)5), "Invalid Zone");
}

TEST(TilesDeathTest, UnknownTileNamePanics) {
  EXPECT_DEATH(tile_name((TileType)23), "Unknown tile type: 23");
}

TEST(LocationInit, RejectsBadSizesAndSanitizesTiles) {
  Location loc = {};
  u8 tiles[6] = {TileType_Sand, 200, TileType_Grass, 23, TileType_TileFloor, 0};
  EXPECT_FALSE(location_init(loc, {LocationType_World, 0}, "x", 1, 3, 2, {0, 0}, tiles, 5));
  EXPECT_FALSE(location_has_grid(&loc));
  EXPECT_FALSE(location_init(loc, {LocationType_World, 0}, "x", 1, 0, 6, {0, 0}, tiles, 0));
  EXPECT_FALSE(location_init(loc, {LocationType_World, 0}, "x", 1, -3, -2, {0, 0}, tiles, 6));

  // A name without terminator is read within its capacity.
  char name[LOCATION_NAME_LEN + 8];
  memset(name, 'a', sizeof(name));
  ASSERT_TRUE(location_init(loc, {LocationType_Dungeon, 7}, name, (int)sizeof(name), 3, 2, {64, 32}, tiles, 6));
  EXPECT_EQ(strlen(loc.name), (size_t)LOCATION_NAME_LEN - 1);
  EXPECT_EQ(loc.type, LocationType_Dungeon);
  EXPECT_EQ(loc.index, 7);
  EXPECT_EQ(loc.size.x, 96);
  EXPECT_EQ(loc.size.y, 64);
  EXPECT_EQ(get_tile_at_clamped(loc, 0, 0), TileType_Sand);
  EXPECT_EQ(get_tile_at_clamped(loc, 1, 0), TileType_None);  // 200 is not a tile
  EXPECT_EQ(get_tile_at_clamped(loc, 0, 1), TileType_None);  // nor is 23
  EXPECT_EQ(get_tile_at_clamped(loc, 1, 1), TileType_TileFloor);
  for (int i = 0; i < 6; i++) EXPECT_EQ(loc.grid[i], nullptr);
  location_free(loc);
}

TEST(LocationCells, TileLookupsWithOffsetAndOutsidePositions) {
  Location loc = {};
  // 4 x 2 tiles at world tile (10, 1): the tile type is the local index + 1.
  u8 tiles[8];
  for (int i = 0; i < 8; i++) tiles[i] = (u8)(i + 1);
  ASSERT_TRUE(location_init(loc, {LocationType_World, 0}, "t", 1, 4, 2, {320, 32}, tiles, 8));
  struct Row {
    v2 pos;
    int expected;
  } rows[] = {
      {{320, 32}, 1},
      {{351.9f, 63.9f}, 1},
      {{352, 32}, 2},
      {{447, 95}, 8},
      // Outside: the nearest cell, never the next row or memory past the array.
      {{448, 32}, 4},
      {{100000, 32}, 4},
      {{-100000, -5}, 1},
      {{1e30f, 1e30f}, 8},
      {{NAN, NAN}, 1},
      {{INFINITY, 40}, 4},
  };
  for (const Row& r : rows) EXPECT_EQ(get_tile_at(loc, r.pos), r.expected) << r.pos.x << "," << r.pos.y;
  EXPECT_EQ(get_tile_at(loc, 11, 2), 6);
  EXPECT_EQ(get_tile_at(loc, 99, 2), 8);
  EXPECT_EQ(get_tile_at_clamped(loc, -1, 0), TileType_None);
  EXPECT_EQ(get_tile_at_clamped(loc, 4, 0), TileType_None);
  EXPECT_EQ(get_tile_at_clamped(loc, 3, 1), 8);
  location_free(loc);
}

TEST(LocationCells, ClampAndRound) {
  Location loc = {};
  static u8 tiles[20 * 20];
  ASSERT_TRUE(location_init(loc, {LocationType_World, 0}, "t", 1, 20, 20, {320, 0}, tiles, 400));
  struct Row {
    v2 pos, border, expected;
  } rows[] = {
      {{0, 0}, {0, 0}, {320, 0}},
      {{2000, 2000}, {1, 1}, {959, 639}},
      {{2000, 2000}, {0, 0}, {960, 640}},
      {{500, 300}, {1, 1}, {500, 300}},
      {{NAN, 5}, {1, 1}, {320, 5}},
  };
  for (const Row& r : rows) {
    v2 p = clamp_to_location(loc, r.pos, r.border);
    EXPECT_EQ(p.x, r.expected.x);
    EXPECT_EQ(p.y, r.expected.y);
  }
  v2 p = round_to_location(loc, {345, 17}, 0.5f);
  EXPECT_EQ(p.x, 352);
  EXPECT_EQ(p.y, 16);
  p = round_to_location(loc, {5000, 5000}, 1);
  EXPECT_EQ(p.x, 959);
  EXPECT_EQ(p.y, 639);
  location_free(loc);
}

// --- queries

using LocationQuery = WorldTest;

static std::vector<Entity*> collect(const SpatialQuery& q) {
  std::vector<Entity*> out;
  for (EntityIter it = locate_entities(q); it.entity; next(it)) out.push_back(it.entity);
  return out;
}

// A query around pos in the test location, with no observer.
static SpatialQuery around(f32 radius, v2 pos) {
  SpatialQuery q = in_radius(nullptr, radius, pos);
  q.location = game.location;
  return q;
}

static bool contains(const std::vector<Entity*>& v, const Entity& e) {
  for (Entity* x : v) {
    if (x == &e) return true;
  }
  return false;
}

TEST_F(LocationQuery, RadiusZeroVisitsOneRoundedCellWithoutDistanceTest) {
  Entity& near_corner = spawn(Entity_rock, {63, 63});  // cell (1, 1)
  Entity& before = spawn(Entity_rock, {20, 20});       // cell (0, 0)
  SpatialQuery q;
  q.location = &location;
  q.pos = {40, 40};  // rounds to the corner (32, 32)
  EntityIter it = locate_entities(q);
  EXPECT_EQ(it.rows, 1);
  EXPECT_EQ(it.cols, 1);
  EXPECT_EQ(it.begin.x, 32);
  std::vector<Entity*> found = collect(q);
  EXPECT_TRUE(contains(found, near_corner));
  EXPECT_FALSE(contains(found, before));
}

TEST_F(LocationQuery, RadiusIsInclusiveAndRectAlsoAppliesItsRadius) {
  Entity& exact = spawn(Entity_rock, {300, 400});   // 100 from (300, 300)
  Entity& beyond = spawn(Entity_rock, {300, 400.5f});
  Entity& diagonal = spawn(Entity_rock, {360, 380});  // 100 (a 3-4-5 triangle)
  std::vector<Entity*> found = collect(around(100, {300, 300}));
  EXPECT_TRUE(contains(found, exact));
  EXPECT_TRUE(contains(found, diagonal));
  EXPECT_FALSE(contains(found, beyond));

  // A rectangle query keeps entities inside the rectangle and within max(w, h) of its corner.
  Entity& inside = spawn(Entity_rock, {110, 110});
  Entity& outside = spawn(Entity_rock, {150, 110});
  Entity& far_corner = spawn(Entity_rock, {140, 140});  // in the rect, but 56.6 from its corner
  found = collect(in_rect(&location, Rect{100, 100, 40, 40}));
  EXPECT_TRUE(contains(found, inside));
  EXPECT_FALSE(contains(found, outside));
  EXPECT_FALSE(contains(found, far_corner));
}

TEST_F(LocationQuery, InvisibleEntitiesNeedAnAdministrator) {
  Entity& observer = spawn(Entity_Player, {200, 200});
  Entity& ghost = spawn(Entity_rock, {210, 200});
  ghost.flags |= EntityFlag_Invisible;
  Entity& plain = spawn(Entity_rock, {190, 200});

  std::vector<Entity*> found = collect(in_radius(&observer, 50, {0, 0}));
  EXPECT_TRUE(contains(found, observer));
  EXPECT_TRUE(contains(found, plain));
  EXPECT_FALSE(contains(found, ghost));

  observer.flags |= EntityFlag_IsAdmin;
  EXPECT_TRUE(contains(collect(in_radius(&observer, 50, {0, 0})), ghost));

  // Nobody watching: invisible stays invisible.
  EXPECT_FALSE(contains(collect(in_rect(&location, Rect{150, 150, 100, 100})), ghost));
  // An invisible observer finds itself, even outside the radius it asks about (5 away, radius 1).
  std::vector<Entity*> off_centre = collect(in_radius(&ghost, 1, {205, 200}));
  EXPECT_TRUE(contains(off_centre, ghost));
  EXPECT_FALSE(contains(off_centre, plain));
}

TEST_F(LocationQuery, FirstCellIsRoundedNotFloored) {
  // pos.x - r = 50: the range starts at 64, so the cell [32, 64) is not visited even though
  // an entity there is within the radius.
  Entity& skipped = spawn(Entity_rock, {55, 200});
  Entity& kept = spawn(Entity_rock, {70, 200});
  SpatialQuery q = around(48, {98, 200});
  EntityIter it = locate_entities(q);
  EXPECT_EQ(it.begin.x, 64);
  std::vector<Entity*> found = collect(q);
  EXPECT_FALSE(contains(found, skipped));
  EXPECT_TRUE(contains(found, kept));
}

TEST_F(LocationQuery, CellsInRowOrderEntitiesInInsertionOrder) {
  Entity& c = spawn(Entity_rock, {40, 70});  // cell (1, 2)
  Entity& a = spawn(Entity_rock, {70, 40});  // cell (2, 1)
  Entity& b = spawn(Entity_rock, {40, 40});  // cell (1, 1)
  Entity& b2 = spawn(Entity_rock, {41, 41});
  std::vector<Entity*> found = collect(in_rect(&location, Rect{32, 32, 64, 64}));
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0], &b);
  EXPECT_EQ(found[1], &b2);
  EXPECT_EQ(found[2], &a);
  EXPECT_EQ(found[3], &c);

  SpatialQuery q = in_rect(&location, Rect{32, 32, 64, 64});
  EXPECT_EQ(locate_entity_by_type(Entity_rock, q), &b);
  EXPECT_EQ(locate_entity_by_type(Entity_stag, q), nullptr);
}

TEST_F(LocationQuery, QueryAtTheFarEdgeStaysInsideTheGrid) {
  Entity& corner = spawn(Entity_rock, {5000, 5000});  // clamped to (1023, 1023)
  EXPECT_EQ(corner.pos.x, 1023);
  EXPECT_TRUE(contains(collect(in_radius(&corner, 480, {0, 0})), corner));
  EXPECT_TRUE(contains(collect(around(1e30f, {500, 500})), corner));
}

TEST_F(LocationQuery, NoLocationLoadedGivesAnEmptyWalk) {
  Entity& rock = spawn(Entity_rock, {100, 100});
  game.location = nullptr;
  EXPECT_EQ(locate_entities(in_radius(&rock, 100, {0, 0})).entity, nullptr);
  set_pos(rock, {5, 6});
  EXPECT_EQ(rock.pos.x, 5);
  game.location = &location;
}

// --- grid maintenance

using LocationGrid = WorldTest;

TEST_F(LocationGrid, ContainedAndCarriedEntitiesStayPut) {
  Entity& player = spawn_player({100, 100});
  Entity& bag = spawn(Entity_bag, {100, 100});
  put(player, GearSlot_Bag, bag);
  Entity& bowl = spawn(Entity_wooden_bowl, {120, 100});
  put(bag, 0, bowl);
  v2 before = bowl.pos;
  set_pos(bowl, {300, 300});
  EXPECT_TRUE(v2_equal(bowl.pos, before));
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
  EXPECT_FLOAT_EQ(cart.pos.x, 100);
  EXPECT_FLOAT_EQ(cart.pos.y, 66);
  EXPECT_FLOAT_EQ(cart.mover.gaze, pi / 2);
  EXPECT_EQ(grid_count(cart), 1);

  // Without the Pulled flag the burden stays where it is.
  cart.flags &= ~EntityFlag_Pulled;
  set_pos(puller, {300, 300});
  EXPECT_FLOAT_EQ(cart.pos.y, 66);
}

TEST_F(LocationGrid, PullLoopsAndSelfPullEnd) {
  Entity& a = spawn(Entity_stag, {100, 100});
  Entity& b = spawn(Entity_stag, {200, 100});
  a.flags |= EntityFlag_Pulled;
  b.flags |= EntityFlag_Pulled;
  get_mortal(a)->burden = b.id;
  get_mortal(b)->burden = a.id;
  set_pos(a, {400, 400});
  EXPECT_EQ(grid_count(a), 1);
  EXPECT_EQ(grid_count(b), 1);
  get_mortal(a)->burden = a.id;
  set_pos(a, {500, 500});
  EXPECT_EQ(a.pos.x, 500);
  EXPECT_EQ(grid_count(a), 1);
}

TEST_F(LocationGrid, RemoveTwiceIsHarmless) {
  Entity& first = spawn(Entity_rock, {100, 100});
  Entity& middle = spawn(Entity_rock, {101, 100});
  Entity& last = spawn(Entity_rock, {102, 100});
  remove_from_grid(middle);
  EXPECT_TRUE(v2_equal(middle.pos, InvalidPos));
  EXPECT_EQ(first.next_in_grid, &last);
  remove_from_grid(middle);
  EXPECT_EQ(first.next_in_grid, &last);
  EXPECT_EQ(grid_count(first), 1);
  EXPECT_EQ(grid_count(last), 1);
  EXPECT_EQ(middle.next_in_grid, nullptr);
}

TEST_F(LocationGrid, SameIdOnTwoRecordsDoesNotCorruptTheList) {
  // A snapshot may repeat an id; the grid links records, so both stay listed and unlink cleanly.
  Entity& one = spawn(Entity_rock, {100, 100});
  Entity& two = make(Entity_rock);
  two.id = one.id;
  set_pos(two, {100, 100}, true);
  EXPECT_EQ(grid_count(one), 1);
  EXPECT_EQ(grid_count(two), 1);
  remove_from_grid(two);
  EXPECT_EQ(grid_count(one), 1);
  EXPECT_EQ(grid_count(two), 0);
}

TEST_F(LocationGrid, LinkingALinkedRecordAgainStops) {
  Entity& rock = spawn(Entity_rock, {100, 100});
  EXPECT_DEATH(set_pos(rock, {100, 100}, true), "Assertion");
}

TEST_F(LocationGrid, RandomMovesKeepEveryEntityListedOnceInItsCell) {
  load_location(40, 30, {64, 32});
  std::mt19937 rng(1234);
  std::uniform_real_distribution<f32> coord(-200, 1600);
  const int N = 300;
  Entity* es[N];
  for (int i = 0; i < N; i++) es[i] = &spawn(i % 3 ? Entity_rock : Entity_stag, {coord(rng), coord(rng)});
  for (int step = 0; step < 5000; step++) {
    Entity& e = *es[rng() % N];
    if (rng() % 10 == 0) {
      remove_from_grid(e);
    } else {
      set_pos(e, {coord(rng), coord(rng)});
    }
  }
  int total = 0;
  for (int i = 0; i < location.width * location.height; i++) {
    for (Entity* e = location.grid[i]; e; e = e->next_in_grid) {
      total++;
      EXPECT_EQ(location_cell_index(location, e->pos), i);
    }
  }
  int on_grid = 0;
  for (Entity* e : es) {
    bool placed = !v2_equal(e->pos, InvalidPos);
    on_grid += placed;
    EXPECT_EQ(grid_count(*e), placed ? 1 : 0);
    if (placed) {
      EXPECT_GE(e->pos.x, location.offset.x);
      EXPECT_LE(e->pos.x, location.offset.x + location.size.x - 1);
    }
  }
  EXPECT_EQ(total, on_grid);
  // A query over the whole location sees each placed entity once.
  std::vector<Entity*> all = collect(around(5000, location.offset + location.size / 2));
  EXPECT_EQ((int)all.size(), on_grid);
}
