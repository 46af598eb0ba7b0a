// Fighting through the server's request path (the bytes a client sends) and its tick, on a clock the
// test advances: spell refusals, blows, missiles and heals, creatures that attack or flee, death and
// respawn, growth, and the administrator tools.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "items.hpp"
#include "physics.hpp"
#include "play.hpp"
#include "registry.hpp"
#include "server_in_process.hpp"
#include "spells.hpp"

namespace {

class ServerCombat : public ServerInProcess {
 protected:
  Time now;

  void SetUp() override {
    now = server_clock();
    generate(now);
    // No wild creature joins in unasked.
    for (int i = 0; i < (int)entity_storage.nentities; i++)
      if (entity_storage.entities[i].id && find_thinker(entity_storage.entities[i]))
        world_remove(entity_storage.entities[i]);
    enter(6002, "Fighter");
    run(0.1f);
  }
  ErrorCode cast(SpellType type, Id target, v2 dst = {}, u32 flags = 0) {
    Request r;
    r.type = RequestType_Spell;
    r.spell.type = type;
    r.spell.target_id = target;
    r.spell.dst = dst;
    r.spell.flags = flags;
    return send(r);
  }
  void run(f32 seconds) {
    for (int i = 0; i < (int)(seconds * SERVER_FPS); i++) {
      now.ns += 16666667ull;
      world_update(SERVER_DT, now);
      play_update(SERVER_DT, now);
    }
  }
  // Runs until `done` or `seconds` pass; returns done().
  template <typename F>
  bool run_until(f32 seconds, F done) {
    for (int i = 0; i < (int)(seconds * SERVER_FPS) && !done(); i++) run(SERVER_DT);
    return done();
  }
  Entity* spawn(EntityType type, v2 offset) {
    Entity* e = world_spawn(type, player->pos + offset);
    if (e) worldgen_init_entity(*e, now);
    return e;
  }
  int count(EntityType type) {
    int n = 0;
    for (int i = 0; i < (int)entity_storage.nentities; i++)
      n += entity_storage.entities[i].id && entity_storage.entities[i].type == type;
    return n;
  }
  bool has_event(const Entity& e, EventType type) {
    for (int i = 0; i < events_count(e.events); i++)
      if (has_component(e, Component_Events) && e.events.events[i].type == type) return true;
    return false;
  }
};

TEST_F(ServerCombat, CooldownManaAndTargetsAreRefused) {
  Entity* dummy = spawn(Entity_training_dummy, {5 * tile_size, 0});
  ASSERT_NE(dummy, nullptr);
  EXPECT_EQ(cast(SpellType_Fireball, dummy->id), ErrorCode_Ok);
  EXPECT_EQ(cast(SpellType_Fireball, dummy->id), ErrorCode_Cooldown) << "again within its cooldown";
  EXPECT_EQ(cast((SpellType)SpellType_count, 0), ErrorCode_BadRequest);
  EXPECT_EQ(cast(SpellType_Decay, 0), ErrorCode_CannotDoThat) << "a curse needs a foe";
  EXPECT_EQ(cast(SpellType_Heal, dummy->id), ErrorCode_CannotDoThat) << "no healing the foe";
  // Casting as soon as the cooldown allows drains the mana faster than it comes back, to a refusal.
  ErrorCode last = ErrorCode_Ok;
  int casts = 0;
  for (; casts < 40 && last != ErrorCode_NoMana; casts++) {
    run(spell_cooldown(player->actor, SpellType_SelfHeal) + spell_windup(player->actor, SpellType_SelfHeal) + 0.05f);
    last = cast(SpellType_SelfHeal, 0);
  }
  EXPECT_EQ(last, ErrorCode_NoMana);
  EXPECT_LT(player->actor.mana.cur, spell_mana_cost(player->actor, SpellType_SelfHeal));
  EXPECT_GT(casts, 5);
}

TEST_F(ServerCombat, BlowsHitTheArcMissilesFlyAndHealsHeal) {
  Entity* front = spawn(Entity_training_dummy, {40, 0});
  Entity* behind = spawn(Entity_training_dummy, {-40, 0});
  ASSERT_TRUE(front && behind);
  EXPECT_EQ(cast(SpellType_Strike, front->id), ErrorCode_Ok);
  run(1);
  EXPECT_LT(front->mortal.hp.cur, front->mortal.hp.max);
  EXPECT_EQ(behind->mortal.hp.cur, behind->mortal.hp.max) << "a blow does not reach behind the striker";
  EXPECT_TRUE(has_event(*front, EventType_Damage));
  Entity* tree = spawn(Entity_pine_tree, {0, -3 * tile_size});
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(cast(SpellType_Strike, tree->id, player->pos + v2{tile_size, 0}), ErrorCode_Ok) << "swings at the point";

  Entity* far = spawn(Entity_training_dummy, {0, 6 * tile_size});
  ASSERT_NE(far, nullptr);
  EXPECT_EQ(cast(SpellType_Fireball, far->id), ErrorCode_Ok);
  run(0.4f);
  EXPECT_EQ(count(Entity_projectile), 1) << "the fireball is in flight";
  EXPECT_TRUE(run_until(2, [&] { return far->mortal.hp.cur < far->mortal.hp.max; }));
  EXPECT_EQ(count(Entity_projectile), 0);

  player->mortal.hp.cur = 40;
  EXPECT_EQ(cast(SpellType_Heal, 0), ErrorCode_Ok);
  run(1.1f);
  EXPECT_GT(player->mortal.hp.cur, 60.0f);
  EXPECT_TRUE(has_event(*player, EventType_Heal));
  // A sprint lasts a while and makes the character faster meanwhile.
  EXPECT_EQ(cast(SpellType_Sprint, 0), ErrorCode_Ok);
  run(0.6f);
  EXPECT_GT(player->mover.speed, player->mover.base_speed);
  run(8);
  EXPECT_EQ(player->mover.speed, player->mover.base_speed);
}

TEST_F(ServerCombat, AutoAttackKillsACreatureForItsDropsAndExperience) {
  Entity* frog = spawn(Entity_frog, {40, 0});
  ASSERT_NE(frog, nullptr);
  Id frog_id = frog->id;
  frog->mortal.hp.cur = 3;
  player->person.xp.cur = player->person.xp.max - 1;  // the kill is worth a level
  int meat = count(Entity_meat), frogs = count(Entity_frog);
  EXPECT_EQ(cast(SpellType_Strike, frog_id, {}, ActionFlag_Repeat | ActionFlag_ComeInRange), ErrorCode_Ok);
  EXPECT_TRUE(run_until(20, [&] { return !world_find(frog_id) || !is_alive(*frog); })) << "the frog outlived the fight";
  EXPECT_GT(count(Entity_meat), meat);
  EXPECT_EQ(player->person.lvl, 2);
  EXPECT_GT(player->mortal.hp.max, PLAYER_HP) << "a level brings more health";
  EXPECT_TRUE(has_event(*player, EventType_Exp) && has_event(*player, EventType_LvlUp));
  EXPECT_EQ(player->actor.action.type, ActionType_None) << "the auto-attack ends with its target";
  run(70);
  EXPECT_EQ(world_find(frog_id), nullptr) << "the body is taken away";
  EXPECT_EQ(count(Entity_frog), frogs) << "and the frog comes back home";
}

TEST_F(ServerCombat, SpellLevelsStrengthenSpellsAndKillsTrainThemUpToTheCharacterLevel) {
  Entity* dummy = spawn(Entity_training_dummy, {4 * tile_size, 0});
  ASSERT_NE(dummy, nullptr);
  // What one fireball at that spell level does to the dummy, from its newest damage event.
  auto fireball = [&](s32 level) {
    player->actor.spellset[SpellType_Fireball] = {level, 0};
    player->actor.mana.cur = player->actor.mana.max;
    auto newest = [&] { return dummy->events.events[max(events_count(dummy->events) - 1, 0)]; };
    u64 before = newest().id;
    EXPECT_EQ(cast(SpellType_Fireball, dummy->id), ErrorCode_Ok);
    return run_until(3, [&] { return newest().id != before; }) ? newest().damage.value : 0.0f;
  };
  f32 first = fireball(1);
  EXPECT_GT(fireball(5), first) << "a higher level hits harder than any level-1 roll";
  EXPECT_GT(fireball(-7), 0.0f) << "a broken stored level casts as level 1";
  EXPECT_LT(fireball(0x7FFFFFFF), first * 6) << "and no level is boundless";

  player->person.lvl = 3;
  player->actor.spellset[SpellType_Strike].level = 1;
  for (int kill = 0; kill < 3; kill++) {
    Entity* frog = spawn(Entity_frog, {30, 0});
    ASSERT_NE(frog, nullptr);
    frog->mortal.hp.cur = 0.5f;
    player->actor.spellset[SpellType_Strike].cooldown = 0;
    EXPECT_EQ(cast(SpellType_Strike, frog->id, {}, ActionFlag_Repeat | ActionFlag_ComeInRange), ErrorCode_Ok);
    EXPECT_TRUE(run_until(5, [&] { return !is_alive(*frog); }));
  }
  EXPECT_EQ(play_spell_level(*player, SpellType_Strike), 3) << "two kills trained it, the third met the cap";
}

TEST_F(ServerCombat, DropsNobodyTakesRotAway) {
  Entity* stag = spawn(Entity_stag, {60, 0});
  ASSERT_NE(stag, nullptr);
  int meat = count(Entity_meat), bones = count(Entity_bone);
  play_kill(*stag, player);
  Entity* bone = locate_entity_by_type(Entity_bone, in_radius(player, 200, player->pos));
  ASSERT_TRUE(bone && count(Entity_meat) == meat + 1);
  play_detach(*bone);
  ASSERT_EQ(play_attach(*bone, *find_bag(*player), SlotAny), ErrorCode_Ok);
  run(301);
  EXPECT_EQ(count(Entity_meat), meat) << "the meat lay untaken";
  EXPECT_EQ(count(Entity_bone), bones + 1) << "the bone taken along stays";
}

TEST_F(ServerCombat, ACreatureAttacksAndOneFlees) {
  Entity* skeleton = spawn(Entity_skeleton, {3 * tile_size, 0});
  ASSERT_NE(skeleton, nullptr);
  EXPECT_TRUE(run_until(10, [&] { return player->mortal.hp.cur < player->mortal.hp.max - 5; }));
  EXPECT_EQ(skeleton->thinker.activity, ThinkerActivity_Attacking);
  EXPECT_TRUE(has_event(*player, EventType_Damage));
  world_remove(*skeleton);

  Entity* stag = spawn(Entity_stag, {-40, 0});
  ASSERT_NE(stag, nullptr);
  EXPECT_EQ(cast(SpellType_Strike, stag->id), ErrorCode_Ok);
  EXPECT_TRUE(run_until(2, [&] { return stag->thinker.activity == ThinkerActivity_Fleeing; }));
  f32 d = v2_distance(stag->pos, player->pos);
  run(2);
  EXPECT_GT(v2_distance(stag->pos, player->pos), d + tile_size) << "the stag runs away";
}

// A target lost on the way ends the walk toward it where the chaser stands.
TEST_F(ServerCombat, ATargetLostOnTheWayIsGivenUp) {
  Entity* frog = spawn(Entity_frog, {8 * tile_size, 0});
  ASSERT_EQ(cast(SpellType_Strike, frog->id, {}, ActionFlag_Repeat | ActionFlag_ComeInRange), ErrorCode_Ok);
  run(0.3f);
  ASSERT_TRUE(has_dst(*player));
  world_remove(*frog);
  run(0.3f);
  EXPECT_FALSE(has_dst(*player)) << "no walking on to where the frog was";
}

TEST_F(ServerCombat, ADeadCharacterLeavesItsPossessionsInACorpseAndComesBack) {
  ASSERT_NE(world_spawn_in(Entity_axe, *player, GearSlot_RightHand), nullptr);
  ASSERT_EQ(play_give(*player, Entity_stone), ErrorCode_Ok);
  Id bag = find_bag(*player)->id;
  player->mortal.hp.cur = 1;
  // A stone chosen before a restart: its id is gone, the stone still stands.
  Entity* stone = spawn(Entity_fermion_stone, {-4 * tile_size, 0});
  ASSERT_NE(stone, nullptr);
  v2 home = stone->pos + v2{40, 0};
  player->person.respawn_id = 0;
  player->person.respawn_pos = home;
  Entity* skeleton = spawn(Entity_skeleton, {2 * tile_size, 0});
  ASSERT_NE(skeleton, nullptr);
  ASSERT_TRUE(run_until(10, [&] { return !is_alive(*player); }));
  Entity* corpse = locate_entity_by_type(Entity_corpse, in_radius(player, 8, player->pos));
  ASSERT_NE(corpse, nullptr);
  int held = 0;
  for (ItemIter it = get_items(*corpse); it.entity; next(it))
    held += it.entity->id == bag || it.entity->type == Entity_axe;
  EXPECT_EQ(held, 2) << "the axe and the bag (with its stone) lie in the corpse";
  EXPECT_EQ(gear_at(*player, GearSlot_RightHand), nullptr);
  Request walk;
  walk.type = RequestType_SetDst;
  walk.dst = player->pos + v2{50, 0};
  EXPECT_EQ(send(walk), ErrorCode_CannotDoThat) << "the dead do not walk";
  world_remove(*skeleton);
  run(6);
  EXPECT_TRUE(is_alive(*player));
  EXPECT_EQ(player->mortal.hp.cur, player->mortal.hp.max);
  EXPECT_LT(v2_distance(player->pos, home), 1.0f) << "back at the stone";
  EXPECT_NE(find_bag(*player), nullptr);
}

TEST_F(ServerCombat, AdministratorToolsWorkForAdministratorsOnly) {
  Entity* stag = spawn(Entity_stag, {3 * tile_size, 0});
  ASSERT_NE(stag, nullptr);
  Request tiles, entities, paint, control;
  tiles.type = RequestType_GenerateTiles;
  tiles.generate_tiles.seed = 99;
  entities.type = RequestType_GenerateEntities;
  entities.generate_entities.rect = {0, 0, 64 * tile_size, 64 * tile_size};
  entities.generate_entities.density = 50;
  paint.type = RequestType_SetBiom;
  paint.biom.area = {player->pos.x, player->pos.y, 2 * tile_size, tile_size};
  paint.biom.type = TileType_BrickFloor;
  control.type = RequestType_MindControl;
  control.mind_control.mob_id = stag->id;
  control.mind_control.request_type = RequestType_SetDst;
  control.mind_control.dst = stag->pos + v2{0, -2 * tile_size};
  for (Request* r : {&tiles, &entities, &paint, &control}) EXPECT_EQ(send(*r), ErrorCode_Forbidden);

  player->flags |= EntityFlag_IsAdmin;
  EXPECT_EQ(send(control), ErrorCode_Ok);
  EXPECT_TRUE(stag->thinker.flags & ThinkerFlag_MindContolled);
  EXPECT_TRUE(run_until(3, [&] { return v2_distance(stag->pos, control.mind_control.dst) < 1; }));
  static u8 before[256 * 256];
  const Location& l = world.location;
  memcpy(before, l.tiles, (size_t)(l.width * l.height));
  EXPECT_EQ(send(tiles), ErrorCode_Ok);
  EXPECT_NE(memcmp(before, l.tiles, (size_t)(l.width * l.height)), 0) << "another seed, other tiles";
  int n = world_entity_count();
  EXPECT_EQ(send(entities), ErrorCode_Ok);
  EXPECT_GT(world_entity_count(), n);
  EXPECT_EQ(send(paint), ErrorCode_Ok);
  EXPECT_EQ(get_tile_at(l, player->pos + v2{tile_size, 0}), TileType_BrickFloor);
  paint.biom.type = (TileType)TileType_count;
  EXPECT_EQ(send(paint), ErrorCode_BadRequest);
}

}  // namespace
