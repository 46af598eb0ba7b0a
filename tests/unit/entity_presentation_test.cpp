// How entities are presented, without GL: animation rules, model matrices, carried and table-top items.
#include <math.h>

#include "items.hpp"
#include "render/entity_presentation.hpp"
#include "world_fixture.hpp"

namespace {

enum Prep {
  Plain,
  Dead,
  Strike,
  Walk,
  Hidden,
  Hand,
  CropAge,
  Volume,
  Berries,
  Pulled,
  Opened,
  Stamped,
  DoorOpen,
  Used
};
constexpr f32 NoState = -1000;  // a stamp this far back means no visual state at all

struct AnimCase {
  const char* what;
  EntityType kind;
  Prep prep;
  f32 arg;
  AnimationType type;
  f32 progress;
  u32 mesh_mask;
  f32 opacity;
};

const AnimCase anim_cases[] = {
    {"dead: seconds since death, nothing else", Entity_skeleton, Dead, 2, AnimationType_Death, 2, 0, 1},
    {"death stamped after the clock", Entity_skeleton, Dead, -1, AnimationType_Death, 0, 0, 1},
    {"strike", Entity_skeleton, Strike, 0.6f, AnimationType_Attack, 0.6f, 0, 1},
    {"progress past one is no strike", Entity_skeleton, Strike, 1.5f, AnimationType_Idle, 0, 0, 1},
    {"walking", Entity_skeleton, Walk, 0, AnimationType_Run, 0, 0, 1},
    {"invisible", Entity_skeleton, Hidden, 0, AnimationType_Idle, 0, 0, 0.25f},
    {"empty hand", Entity_Player, Hand, Entity_None, AnimationType_Idle, 0, 1, 1},
    {"axe", Entity_Player, Hand, Entity_axe, AnimationType_Idle, 0, 1 | 2, 1},
    {"torch", Entity_Player, Hand, Entity_torch, AnimationType_Idle, 0, 1 | 4, 1},
    {"sword", Entity_Player, Hand, Entity_iron_sword, AnimationType_Idle, 0, 1 | 8, 1},
    {"bone saw", Entity_Player, Hand, Entity_bone_saw, AnimationType_Idle, 0, 1 | 16, 1},
    {"torch on the ground", Entity_torch, Plain, 0, AnimationType_Idle, 0, 0, 1},
    {"quelbin", Entity_infinite_quelbin, Plain, 0, AnimationType_Idle, 0, 0, 1},
    {"young crop", Entity_carrot_crop, CropAge, 45, AnimationType_None, 0, 1 << CropStage_Young, 1},
    {"crop planted after the clock", Entity_wheat_crop, CropAge, -45, AnimationType_None, 0, 1, 1},
    {"empty vessel", Entity_wooden_bowl, Volume, 0, AnimationType_None, 0, 1, 1},
    {"filled vessel", Entity_wooden_bowl, Volume, 2, AnimationType_None, 0, 3, 1},
    {"bare bush", Entity_berry_bush, Berries, 0, AnimationType_None, 0, 1, 1},
    {"bush with berries", Entity_berry_bush, Berries, 2, AnimationType_None, 0, 3, 1},
    {"cart, puller walking", Entity_cart, Pulled, 1, AnimationType_Run, 0, 0, 1},
    {"cart, puller standing", Entity_cart, Pulled, 0, AnimationType_None, 0, 0, 1},
    {"cart, puller absent", Entity_cart, Pulled, -1, AnimationType_None, 0, 0, 1},
    {"chest opening", Entity_wooden_chest, Opened, 0.15f, AnimationType_Open, 0.5f, 0, 1},
    {"open chest without state", Entity_wooden_chest, Opened, NoState, AnimationType_Open, 1, 0, 1},
    {"chest closing", Entity_wooden_chest, Stamped, 0.075f, AnimationType_Open, 0.5f, 0, 1},
    {"chest closed long ago", Entity_wooden_chest, Stamped, 30, AnimationType_Open, 0, 0, 1},
    {"chest stamped after the clock", Entity_wooden_chest, Stamped, -5, AnimationType_Open, 1, 0, 1},
    {"shut dungeon door", Entity_dungeon_door, Plain, 0, AnimationType_None, 1, 0, 1},
    {"dungeon door opening", Entity_dungeon_door, DoorOpen, 0.25f, AnimationType_Open, 0.25f, 0, 1},
    {"open dungeon door without state", Entity_dungeon_door, DoorOpen, NoState, AnimationType_Open, 1, 0, 1},
    {"quern in use", Entity_quern, Used, 0.25f, AnimationType_Work, 0.25f, 0, 1},
    {"idle quern", Entity_quern, Plain, 0, AnimationType_None, 0, 0, 1},
    {"brick door", Entity_brick_door, Plain, 0, AnimationType_Open, 1, 0, 1},
    {"wall on the line of sight", Entity_dungeon_wall, Plain, 500, AnimationType_None, 0, 0, 0.3f},
    {"wall off the line of sight", Entity_dungeon_wall, Plain, 100, AnimationType_None, 0, 0, 1},
};

struct Presentation : WorldTest {
  void SetUp() override {
    WorldTest::SetUp();
    clear_entity_state();
    game.time = Time{100 * Seconds.ns};
    game.server_time = Time{200 * Seconds.ns};
    game.opened_container_id = 0;
    // Looking north from y 0 at x 500.
    renderer.camera.pos = v3{{500, 0, 300}};
    renderer.camera.target = v3{{500, 400, 0}};
  }
  void TearDown() override {
    clear_entity_state();
    WorldTest::TearDown();
  }
  // Alive, with what the server adds to a player's prototype.
  Entity& live(EntityType kind, v2 pos = {100, 100}) {
    Entity& e = kind == Entity_Player ? spawn_player(pos) : spawn(kind, pos);
    for (Component c : {Component_Mover, Component_Actor, Component_Mortal})
      if (kind == Entity_Player) enable_component(e, c);
    e.mortal.hp = {10, 10};
    return e;
  }
  Time ago(f32 seconds) { return Time{(u64)((f64)game.time.ns - (f64)seconds * 1e9)}; }
  void stamp(Entity& e, f32 seconds_ago) {
    if (seconds_ago != NoState) set_entity_state_entry(e.id)->interacted_at = ago(seconds_ago);
  }
  Entity& prepare(const AnimCase& c) {
    Entity& e = live(c.kind, c.prep == Plain && c.arg ? v2{c.arg, 200} : v2{100, 100});
    switch (c.prep) {
      case Dead:
        e.mortal.hp.cur = 0, e.actor.action.progress = 0.5f;
        e.mortal.death_time = Time{game.server_time.ns - (u64)(s64)(c.arg * 1e9)};
        break;
      case Strike: e.actor.action.progress = c.arg; break;
      case Walk: e.mover.vel = {3, 0}; break;
      case Hidden: e.flags |= EntityFlag_Invisible; break;
      case Hand:
        if (c.arg) put(e, GearSlot_RightHand, spawn((EntityType)c.arg, {0, 0}));
        break;
      case CropAge: e.crop.planted_time = Time{game.server_time.ns - (u64)(s64)(c.arg * 1e9)}; break;
      case Volume: enable_component(e, Component_Vessel), e.vessel.volume = {c.arg, 10}; break;
      case Berries: e.bush.berries = (u8)c.arg; break;
      case Pulled:
        e.carrier = c.arg < 0 ? 9999 : live(Entity_Player, {100, 130}).id;
        if (c.arg > 0) find_entity_by_id(e.carrier)->mover.vel = {0, 2};
        break;
      case Opened: game.opened_container_id = e.id, stamp(e, c.arg); break;
      case Stamped: stamp(e, c.arg); break;
      case DoorOpen: e.door.opened = true, stamp(e, c.arg); break;
      case Used: e.user = 77, game.server_time.ns += (u64)(c.arg * 1e9); break;
      case Plain: break;
    }
    return e;
  }
};

TEST_F(Presentation, AnimationRulesByKindAndState) {
  for (const AnimCase& c : anim_cases) {
    SCOPED_TRACE(c.what);
    AnimationInfo info = get_animation_info(prepare(c));
    EXPECT_EQ(info.type, c.type);
    EXPECT_NEAR(info.progress, c.progress, 1e-3f);
    EXPECT_EQ(info.mesh_mask, c.mesh_mask);
    EXPECT_FLOAT_EQ(info.opacity, c.opacity);
    TearDown();  // a fresh world per case: the grid links into the storage
    SetUp();
  }
}

TEST_F(Presentation, TintsClockAndModelChoice) {
  Entity& e = live(Entity_skeleton);
  const EffectType order[] = {EffectType_Rage, EffectType_Sprint, EffectType_Frozen};
  const Color tints[] = {{{1, 0, 0, 1}}, {{1, 1, 0, 1}}, {{0, 0, 1, 1}}};
  for (int i = 0; i < 3; i++) {  // each added effect outranks the ones before it
    e.actor.effects[order[i]].type = order[i];
    Color tint = get_animation_info(e).tint;
    EXPECT_EQ(memcmp(&tint, &tints[i], sizeof(Color)), 0) << i;
  }
  AnimationInfo info = {AnimationType_Run, 0, 3, 1, 0, {}};
  set_animation(info, AnimationType_Run, 0.5f);
  EXPECT_EQ(info.time, 3);
  set_animation(info, AnimationType_Attack, 0.2f);
  EXPECT_TRUE(info.time == 0 && info.progress == 0.2f);

  EXPECT_EQ(get_entity_model(live(Entity_Player)), &game.models.character);
  Entity& tree = spawn(Entity_pine_tree, {50, 50});
  enable_component(tree, Component_Tree);
  EXPECT_EQ(get_entity_model(tree), &game.models.dead_tree);
  EntityModels models = {};
  models.nvariants = 3;
  int counts[3] = {};
  for (tree.id = 1; tree.id <= 30; tree.id++) counts[get_model_variant(tree, models)]++;
  EXPECT_TRUE(counts[0] == 10 && counts[1] == 10 && counts[2] == 10);  // by id, in range, spread evenly
  EXPECT_EQ(get_model_variant(e, models), 0);                          // movers keep variant 0
  Entity& bogus = spawn(Entity_rock, {60, 60});
  bogus.type = (EntityType)300;  // a kind outside the tables stays a placeholder
  EXPECT_EQ(get_entity_model(bogus), nullptr);
}

v3 at(const m4& m, v3 p = {}) {
  v4 r = m * v4{{p.x, p.y, p.z, 1}};
  return v3{{r.x, r.y, r.z}};
}
f32 size(const m4& m) { return v3_len(at(m, v3{{1, 0, 0}}) - at(m)) / tile_size; }
::testing::AssertionResult turned(const m4& m, f32 angle) {
  v3 x = at(m, v3{{1, 0, 0}}) - at(m);
  f32 turn = atan2f(x.y, x.x);
  if (fabsf(normalize_radians(turn - angle)) < 1e-4f) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "turn " << turn << " instead of " << angle;
}

TEST_F(Presentation, TransformsOfMoversFlagsRoofsBarracksAndCrops) {
  Entity& mob = live(Entity_skeleton, {100, 120});
  mob.mover.angle = 0.5f;
  EXPECT_TRUE(turned(get_transform(mob), pi / 2 + 0.5f) && at(get_transform(mob)).y == 120);
  const u32 flags[] = {0, EntityFlag_Rotate90, EntityFlag_Rotate180, EntityFlag_Rotate90 | EntityFlag_Rotate180};
  Entity& rock = spawn(Entity_rock, {200, 40});
  for (int quarter = 0; quarter < 4; quarter++) {
    rock.flags = flags[quarter];
    EXPECT_TRUE(turned(get_transform(rock), quarter * pi / 2) && size(get_transform(rock)) == 1) << quarter;
  }
  Entity& roof = spawn(Entity_roof_4x4, {300, 300});
  EXPECT_EQ(at(get_transform(roof)).z, roof.dim.z);
  Entity& barak = spawn(Entity_barak, {400, 400});
  enable_component(barak, Component_Mortal);
  for (u8 group : {1, 2}) {
    barak.mortal.group = group;
    EXPECT_TRUE(turned(get_transform(barak), group == 1 ? pi / 2 : -pi / 2));
  }

  // Crops: size 0.8 to 1.0 and a turn from the id alone, the same for the next snapshot's record.
  f32 smallest = 2, largest = 0;
  int turns_seen = 0;
  Entity& crop = make(Entity_carrot_crop);
  Entity& wheat = make(Entity_wheat_crop);
  for (Id base : {1u, 4099u, 123456789u, 0x7FFFFFFFu, 0xFFFFFE00u}) {
    for (Id step = 0; step < 400; step += 3) {
      crop.id = wheat.id = base + step;
      m4 m = get_transform(crop);
      Entity next_snapshot = crop;
      m4 again = get_transform(next_snapshot);
      ASSERT_EQ(memcmp(&m, &again, sizeof(m4)), 0) << crop.id;
      ASSERT_TRUE(size(m) >= 0.8f - 1e-5f && size(m) <= 1 + 1e-5f) << crop.id << " " << size(m);
      smallest = fminf(smallest, size(m)), largest = fmaxf(largest, size(m));
      turns_seen += !turned(m, 0) && !turned(m, pi);
      ASSERT_TRUE(turned(get_transform(wheat), 0));  // wheat only varies in size
    }
  }
  EXPECT_TRUE(smallest < 0.82f && largest > 0.98f && turns_seen > 100);
}

TEST_F(Presentation, CarriedItemsOnPersonsCartSlotsAndTables) {
  Entity& person = live(Entity_Player, {150, 160});
  person.mover.angle = 0.3f;
  Entity& log = spawn(Entity_tree_log, {10, 10});
  log.carrier = person.id;
  bool placed = false;
  m4 m = get_transform(log, &placed);
  EXPECT_TRUE(placed && turned(m, 0.3f));
  EXPECT_EQ(at(m).x + at(m).y + at(m).z, 150 + 160 + person.dim.z);
  Entity& cart = spawn(Entity_cart, {300, 200});
  for (int slot = 0; slot < 3; slot++) {
    Entity& barrel = spawn(Entity_barrel, {10, 10});
    barrel.carrier = cart.id;
    cart.container.slots[slot] = barrel.id;
    m = get_transform(barrel, &placed);
    EXPECT_TRUE(placed && turned(m, pi / 2) && at(m).z == cart.dim.z);
    EXPECT_EQ(at(m).x, 300 + 16.0f * (slot - 1)) << slot;
    cart.container.slots[slot] = 0;  // a slot not found: no bogus offset, no drawing
    get_transform(barrel, &placed);
    EXPECT_FALSE(placed);
  }
  log.carrier = 424242;
  get_transform(log, &placed);
  EXPECT_FALSE(placed);

  Entity& table = spawn(Entity_wooden_table, {200, 200});
  get_container(table)->nslots = 6;
  v2 spots[4];
  for (int slot = 0; slot < 6; slot++) {
    Entity& bowl = spawn(Entity_wooden_bowl, {0, 0});
    put(table, slot, bowl);
    ASSERT_EQ(tabletop_transform(bowl, &m), slot < 4) << slot;  // four spots, a fifth item not drawn
    if (slot >= 4) continue;
    spots[slot] = v2{at(m).x, at(m).y};
    EXPECT_TRUE(at(m).z == 24 && v2_distance(spots[slot], table.pos) < 24) << slot;
    for (int j = 0; j < slot; j++) EXPECT_GT(v2_distance(spots[j], spots[slot]), 4) << slot;
    bowl.item.container = 31337;  // the table left the snapshot
    EXPECT_FALSE(tabletop_transform(bowl, &m));
  }
  Entity& cup = spawn(Entity_wooden_bowl, {0, 0});
  put(spawn(Entity_crate, {300, 300}), 0, cup);
  EXPECT_FALSE(tabletop_transform(cup, &m));
}

}  // namespace
