// How entities are presented, without GL: model choice, animation rules and model matrices.
#include <math.h>

#include "items.hpp"
#include "render/entity_presentation.hpp"
#include "world_fixture.hpp"

namespace {

struct Presentation : WorldTest {
  void SetUp() override {
    WorldTest::SetUp();
    clear_entity_state();
    game.time = Time{100 * Seconds.ns};
    game.server_time = Time{200 * Seconds.ns};
    game.opened_container_id = 0;
    game.player = nullptr;
    // Looking north from the south edge of the map, far from the test objects unless put in its way.
    renderer.camera.pos = v3{{500, 0, 300}};
    renderer.camera.target = v3{{500, 400, 0}};
  }
  void TearDown() override {
    clear_entity_state();
    WorldTest::TearDown();
  }
  // Live: prototypes come with no hit points, which would read as dead.
  Entity& mob(EntityType type = Entity_skeleton) {
    Entity& e = spawn(type, {100, 100});
    e.mortal.hp = {10, 10};
    return e;
  }
  Entity& person(v2 pos = {100, 100}) {
    Entity& e = spawn_player(pos);
    // The server gives players what their prototype lacks.
    for (Component c : {Component_Mover, Component_Actor, Component_Mortal}) enable_component(e, c);
    e.mortal.hp = {10, 10};
    return e;
  }
  EntityState& state_of(Entity& e, f32 seconds_ago) {
    EntityState* s = set_entity_state_entry(e.id);
    s->interacted_at = Time{game.time.ns - (u64)(seconds_ago * 1e9)};
    return *s;
  }
};

// Where the model's local point lands.
v3 apply(const m4& m, v3 p) {
  v4 r = m * v4{{p.x, p.y, p.z, 1}};
  return v3{{r.x, r.y, r.z}};
}
// The turn about z and the uniform scale a model matrix applies.
f32 turn_of(const m4& m) {
  v3 x = apply(m, v3{{1, 0, 0}}) - apply(m, v3{{0, 0, 0}});
  return atan2f(x.y, x.x);
}
f32 scale_of(const m4& m) { return v3_len(apply(m, v3{{1, 0, 0}}) - apply(m, v3{{0, 0, 0}})); }
bool same_turn(f32 a, f32 b) { return fabsf(normalize_radians(a - b)) < 1e-4f; }

struct AnimCase {
  const char* what;
  void (*setup)(Presentation& t, Entity*& e);
  AnimationType type;
  f32 progress;
  u32 mesh_mask;
  f32 opacity;
};

const AnimCase anim_cases[] = {
    {"dead mob: seconds since death", [](Presentation& t, Entity*& e) {
       e = &t.mob();
       e->mortal.hp.cur = 0;
       e->mortal.death_time = Time{game.server_time.ns - 2 * Seconds.ns};
       e->actor.action.progress = 0.5f;  // a dead actor does not attack
     }, AnimationType_Death, 2, 0, 1},
    {"death stamped after the clock is age zero", [](Presentation& t, Entity*& e) {
       e = &t.mob();
       e->mortal.hp.cur = -3;
       e->mortal.death_time = Time{game.server_time.ns + Seconds.ns};
     }, AnimationType_Death, 0, 0, 1},
    {"striking actor", [](Presentation& t, Entity*& e) {
       e = &t.mob();
       e->actor.action.progress = 0.6f;
     }, AnimationType_Attack, 0.6f, 0, 1},
    {"progress past one is no attack", [](Presentation& t, Entity*& e) {
       e = &t.mob();
       e->actor.action.progress = 1.5f;
     }, AnimationType_Idle, 0, 0, 1},
    {"walking actor runs", [](Presentation& t, Entity*& e) {
       e = &t.mob();
       e->mover.vel = {3, 0};
     }, AnimationType_Run, 0, 0, 1},
    {"invisible actor", [](Presentation& t, Entity*& e) {
       e = &t.mob();
       e->flags |= EntityFlag_Invisible;
     }, AnimationType_Idle, 0, 0, 0.25f},
    {"person with nothing in hand", [](Presentation& t, Entity*& e) { e = &t.person(); },
     AnimationType_Idle, 0, 1, 1},
    {"person with an axe", [](Presentation& t, Entity*& e) {
       e = &t.person();
       t.put(*e, GearSlot_RightHand, t.spawn(Entity_axe, {0, 0}));
     }, AnimationType_Idle, 0, 1 | 2, 1},
    {"person with a torch", [](Presentation& t, Entity*& e) {
       e = &t.person();
       t.put(*e, GearSlot_RightHand, t.spawn(Entity_torch, {0, 0}));
     }, AnimationType_Idle, 0, 1 | 4, 1},
    {"person with a sword", [](Presentation& t, Entity*& e) {
       e = &t.person();
       t.put(*e, GearSlot_RightHand, t.spawn(Entity_iron_sword, {0, 0}));
     }, AnimationType_Idle, 0, 1 | 8, 1},
    {"person with a bone saw", [](Presentation& t, Entity*& e) {
       e = &t.person();
       t.put(*e, GearSlot_RightHand, t.spawn(Entity_bone_saw, {0, 0}));
     }, AnimationType_Idle, 0, 1 | 16, 1},
    {"torch on the ground", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_torch, {100, 100}); },
     AnimationType_Idle, 0, 0, 1},
    {"infinite quelbin", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_infinite_quelbin, {100, 100}); },
     AnimationType_Idle, 0, 0, 1},
    {"young crop", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_carrot_crop, {100, 100});
       e->crop.planted_time = Time{game.server_time.ns - 45 * Seconds.ns};
     }, AnimationType_None, 0, 1u << CropStage_Young, 1},
    {"crop planted after the clock is a sprout", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wheat_crop, {100, 100});
       e->crop.planted_time = Time{game.server_time.ns + 45 * Seconds.ns};
     }, AnimationType_None, 0, 1u << CropStage_Sprout, 1},
    {"empty vessel", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_bowl, {100, 100});
       enable_component(*e, Component_Vessel);
       e->vessel.volume = {0, 10};
     }, AnimationType_None, 0, 1, 1},
    {"filled vessel", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_bowl, {100, 100});
       enable_component(*e, Component_Vessel);
       e->vessel.volume = {2, 10};
     }, AnimationType_None, 0, 3, 1},
    {"bare bush", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_berry_bush, {100, 100}); },
     AnimationType_None, 0, 1, 1},
    {"bush with berries", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_berry_bush, {100, 100});
       e->bush.berries = 2;
     }, AnimationType_None, 0, 3, 1},
    {"cart pulled by a walker", [](Presentation& t, Entity*& e) {
       Entity& puller = t.person({100, 130});
       puller.mover.vel = {0, 2};
       e = &t.spawn(Entity_cart, {100, 100});
       e->carrier = puller.id;
     }, AnimationType_Run, 0, 0, 1},
    {"cart whose puller stands", [](Presentation& t, Entity*& e) {
       Entity& puller = t.person({100, 130});
       e = &t.spawn(Entity_cart, {100, 100});
       e->carrier = puller.id;
     }, AnimationType_None, 0, 0, 1},
    {"cart whose puller is not in the snapshot", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_cart, {100, 100});
       e->carrier = 9999;
     }, AnimationType_None, 0, 0, 1},
    {"chest being opened", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_chest, {100, 100});
       game.opened_container_id = e->id;
       t.state_of(*e, 0.15f);
     }, AnimationType_Open, 0.5f, 0, 1},
    {"open chest without state shows open", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_chest, {100, 100});
       game.opened_container_id = e->id;
     }, AnimationType_Open, 1, 0, 1},
    {"chest closing", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_chest, {100, 100});
       t.state_of(*e, 0.075f);
     }, AnimationType_Open, 0.5f, 0, 1},
    {"chest closed long ago", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_chest, {100, 100});
       t.state_of(*e, 30);
     }, AnimationType_Open, 0, 0, 1},
    {"chest stamped after the clock", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_wooden_chest, {100, 100});
       t.state_of(*e, -5);
     }, AnimationType_Open, 1, 0, 1},
    {"shut dungeon door", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_dungeon_door, {100, 100}); },
     AnimationType_None, 1, 0, 1},
    {"dungeon door opening", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_dungeon_door, {100, 100});
       e->door.opened = true;
       t.state_of(*e, 0.25f);
     }, AnimationType_Open, 0.25f, 0, 1},
    {"open dungeon door without state", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_dungeon_door, {100, 100});
       e->door.opened = true;
     }, AnimationType_Open, 1, 0, 1},
    {"quern in use", [](Presentation& t, Entity*& e) {
       e = &t.spawn(Entity_quern, {100, 100});
       e->user = 77;
       game.server_time = Time{game.server_time.ns + 250 * Milliseconds.ns};
     }, AnimationType_Work, 0.25f, 0, 1},
    {"idle quern", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_quern, {100, 100}); },
     AnimationType_None, 0, 0, 1},
    {"brick door", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_brick_door, {100, 100}); },
     AnimationType_Open, 1, 0, 1},
    {"wall on the line of sight", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_dungeon_wall, {500, 200}); },
     AnimationType_None, 0, 0, 0.3f},
    {"wall off the line of sight", [](Presentation& t, Entity*& e) { e = &t.spawn(Entity_dungeon_wall, {100, 200}); },
     AnimationType_None, 0, 0, 1},
};

TEST_F(Presentation, AnimationRulesByKindAndState) {
  for (const AnimCase& c : anim_cases) {
    SCOPED_TRACE(c.what);
    Time server_time = game.server_time;
    Entity* e = nullptr;
    c.setup(*this, e);
    AnimationInfo info = get_animation_info(*e);
    EXPECT_EQ(info.type, c.type);
    EXPECT_NEAR(info.progress, c.progress, 1e-3f);
    EXPECT_EQ(info.mesh_mask, c.mesh_mask);
    EXPECT_FLOAT_EQ(info.opacity, c.opacity);
    // A fresh world per case: the grid keeps links into the storage.
    TearDown();
    SetUp();
    game.server_time = server_time;
  }
}

TEST_F(Presentation, EffectTintsTakeFrozenBeforeSprintBeforeRage) {
  Entity& e = mob();
  EXPECT_EQ(get_animation_info(e).tint.a, 0);
  e.actor.effects[EffectType_Rage].type = EffectType_Rage;
  EXPECT_EQ(get_animation_info(e).tint.r, 1);
  EXPECT_EQ(get_animation_info(e).tint.g, 0);
  e.actor.effects[EffectType_Sprint].type = EffectType_Sprint;
  EXPECT_EQ(get_animation_info(e).tint.g, 1);
  e.actor.effects[EffectType_Frozen].type = EffectType_Frozen;
  Color c = get_animation_info(e).tint;
  EXPECT_EQ(c.r + c.g, 0);
  EXPECT_EQ(c.b, 1);
}

TEST_F(Presentation, SetAnimationRestartsTheClockOnlyOnANewType) {
  AnimationInfo info = {};
  info.type = AnimationType_Run;
  info.time = 3;
  set_animation(info, AnimationType_Run, 0.5f);
  EXPECT_EQ(info.time, 3);
  EXPECT_EQ(info.progress, 0.5f);
  set_animation(info, AnimationType_Attack, 0.2f);
  EXPECT_EQ(info.time, 0);
  EXPECT_EQ(info.progress, 0.2f);
}

TEST_F(Presentation, ModelChoiceAndVariants) {
  Entity& person = spawn_player({10, 10});
  EXPECT_EQ(get_entity_model(person), &game.models.character);
  Entity& tree = spawn(Entity_pine_tree, {50, 50});
  enable_component(tree, Component_Tree);
  tree.tree.branches = 0;
  EXPECT_EQ(get_entity_model(tree), &game.models.dead_tree);
  EntityModels models = {};
  models.nvariants = 3;
  Entity& rock = spawn(Entity_rock, {80, 80});
  for (Id id : {3u, 4u, 5u, 1000u}) {
    rock.id = id;
    int v = get_model_variant(rock, models);
    EXPECT_EQ(v, (int)(id % 3));  // stable per id, within range
  }
  Entity& mob = spawn(Entity_skeleton, {90, 90});
  mob.id = 5;
  EXPECT_EQ(get_model_variant(mob, models), 0);
  Entity bogus = rock;
  bogus.type = (EntityType)300;
  EXPECT_EQ(get_entity_model(bogus), nullptr);
}

struct FlagCase {
  u32 flags;
  f32 angle;
};

TEST_F(Presentation, TransformsOfMoversAndRotationFlags) {
  Entity& mob = spawn(Entity_skeleton, {100, 120});
  mob.mover.angle = 0.5f;
  m4 m = get_transform(mob);
  v3 at = apply(m, v3{{0, 0, 0}});
  EXPECT_NEAR(at.x, 100, 1e-3f);
  EXPECT_NEAR(at.y, 120, 1e-3f);
  EXPECT_TRUE(same_turn(turn_of(m), pi / 2 + 0.5f));
  EXPECT_NEAR(scale_of(m), tile_size, 1e-3f);

  const FlagCase flag_cases[] = {{0, 0},
                                 {EntityFlag_Rotate90, pi / 2},
                                 {EntityFlag_Rotate180, pi},
                                 {EntityFlag_Rotate90 | EntityFlag_Rotate180, 3 * pi / 2}};
  Entity& rock = spawn(Entity_rock, {200, 40});
  for (const FlagCase& c : flag_cases) {
    rock.flags = c.flags;
    m4 r = get_transform(rock);
    EXPECT_TRUE(same_turn(turn_of(r), c.angle)) << c.flags;
    EXPECT_NEAR(apply(r, v3{{0, 0, 0}}).x, 200, 1e-3f);
    EXPECT_NEAR(scale_of(r), tile_size, 1e-3f);
  }
  // A roof sits on its height; everything else on the ground.
  Entity& roof = spawn(Entity_roof_4x4, {300, 300});
  EXPECT_NEAR(apply(get_transform(roof), v3{{0, 0, 0}}).z, roof.dim.z, 1e-3f);
  EXPECT_GT(roof.dim.z, 0);

  // The barracks faces by its side.
  Entity& barak = spawn(Entity_barak, {400, 400});
  enable_component(barak, Component_Mortal);
  barak.mortal.group = 1;
  EXPECT_TRUE(same_turn(turn_of(get_transform(barak)), pi / 2));
  barak.mortal.group = 2;
  EXPECT_TRUE(same_turn(turn_of(get_transform(barak)), -pi / 2));
}

TEST_F(Presentation, CropsVaryInSizeAndTurnButKeepThemAcrossSnapshots) {
  f32 min_scale = 2, max_scale = 0;
  bool turned_differently = false;
  f32 first_turn = 0;
  for (Id id = 1; id < 3000; id += 7) {
    Entity& crop = make(Entity_carrot_crop);
    crop.pos = {100, 100};
    crop.id = id;
    m4 a = get_transform(crop);
    // The next snapshot brings a fresh record of the same id.
    Entity copy = crop;
    m4 b = get_transform(copy);
    ASSERT_EQ(memcmp(&a, &b, sizeof(m4)), 0) << id;
    f32 s = scale_of(a) / tile_size;
    ASSERT_GE(s, 0.8f - 1e-5f) << id;
    ASSERT_LE(s, 1.0f + 1e-5f) << id;
    min_scale = fminf(min_scale, s), max_scale = fmaxf(max_scale, s);
    if (id == 1) first_turn = turn_of(a);
    turned_differently |= !same_turn(turn_of(a), first_turn);
  }
  EXPECT_LT(min_scale, 0.82f);
  EXPECT_GT(max_scale, 0.98f);
  EXPECT_TRUE(turned_differently);
  // Large ids, where a single-precision sine would have lost its digits, still stay in range.
  for (Id id : {0x7FFFFFFFu, 0xFFFFFFFEu, 123456789u}) {
    f32 r = crop_random(id);
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 1);
  }
  // Wheat only varies in size, never in turn.
  for (Id id = 1; id < 200; id += 13) {
    Entity& wheat = make(Entity_wheat_crop);
    wheat.pos = {100, 100};
    wheat.id = id;
    EXPECT_TRUE(same_turn(turn_of(get_transform(wheat)), 0)) << id;
  }
}

TEST_F(Presentation, CarriedLiftablesFollowTheirPersonOrTheirCartSlot) {
  Entity& person = this->person({150, 160});
  person.dim.z = 40;
  person.mover.angle = 0.3f;
  Entity& log = spawn(Entity_tree_log, {10, 10});
  log.carrier = person.id;
  bool placed = false;
  m4 m = get_transform(log, &placed);
  EXPECT_TRUE(placed);
  v3 at = apply(m, v3{{0, 0, 0}});
  EXPECT_NEAR(at.x, 150, 1e-3f);
  EXPECT_NEAR(at.y, 160, 1e-3f);
  EXPECT_NEAR(at.z, 40, 1e-3f);
  EXPECT_TRUE(same_turn(turn_of(m), 0.3f));

  Entity& cart = spawn(Entity_cart, {300, 200});
  Entity* load[3];
  for (int slot = 0; slot < 3; slot++) {
    load[slot] = &spawn(Entity_barrel, {10, 10});
    load[slot]->carrier = cart.id;
    cart.container.slots[slot] = load[slot]->id;
  }
  for (int slot = 0; slot < 3; slot++) {
    m4 c = get_transform(*load[slot], &placed);
    EXPECT_TRUE(placed);
    v3 p = apply(c, v3{{0, 0, 0}});
    EXPECT_NEAR(p.x, 300 + 16.0f * (slot - 1), 1e-3f) << slot;
    EXPECT_NEAR(p.y, 200, 1e-3f);
    EXPECT_NEAR(p.z, cart.dim.z, 1e-3f);
    EXPECT_TRUE(same_turn(turn_of(c), pi / 2));
  }
  // Not in any of the cart's slots, or carried by someone not in the snapshot: no place to draw.
  cart.container.slots[2] = 0;
  get_transform(*load[2], &placed);
  EXPECT_FALSE(placed);
  log.carrier = 424242;
  get_transform(log, &placed);
  EXPECT_FALSE(placed);
}

TEST_F(Presentation, TableTopItemsTakeFourSpotsOnTablesOnly) {
  Entity& table = spawn(Entity_wooden_table, {200, 200});
  get_container(table)->nslots = 6;
  v2 seen[4];
  for (int slot = 0; slot < 6; slot++) {
    Entity& bowl = spawn(Entity_wooden_bowl, {0, 0});
    put(table, slot, bowl);
    m4 m;
    bool drawn = tabletop_transform(bowl, &m);
    EXPECT_EQ(drawn, slot < 4) << slot;
    if (!drawn) continue;
    v3 p = apply(m, v3{{0, 0, 0}});
    EXPECT_NEAR(p.z, 24, 1e-3f);
    EXPECT_LT(v2_distance(v2{p.x, p.y}, table.pos), 24) << slot;  // on the table's top
    seen[slot] = v2{p.x, p.y};
    for (int j = 0; j < slot; j++) EXPECT_GT(v2_distance(seen[j], seen[slot]), 4) << slot;
  }
  // In a chest, or in a table that left the snapshot: nowhere.
  Entity& chest = spawn(Entity_wooden_chest, {300, 300});
  enable_component(chest, Component_Container);
  chest.container.nslots = 4;
  Entity& cup = spawn(Entity_wooden_bowl, {0, 0});
  put(chest, 0, cup);
  m4 m;
  EXPECT_FALSE(tabletop_transform(cup, &m));
  cup.item.container = 31337;
  EXPECT_FALSE(tabletop_transform(cup, &m));
}

}  // namespace
