// The server's rules of play driven through its request path (the same bytes a client sends, taken in
// by server_handle_datagram) and its tick: actions with their approach, effects and refusals, and the
// conservation of items under random moves.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "items.hpp"
#include "play.hpp"
#include "registry.hpp"
#include "server_in_process.hpp"
#include "storage.hpp"

namespace {

class ServerPlay : public ServerInProcess {
 protected:
  void SetUp() override {
    generate(server_clock());
    enter(6001, "Tester");
  }
  ErrorCode action(Id target, ActionType type) {
    Request r;
    r.type = RequestType_RunAction;
    r.action.target_id = target;
    r.action.type = type;
    return send(r);
  }
  // Runs the world for `seconds`; returns the first refusal the tick sent, Ok when none.
  ErrorCode run(f32 seconds) {
    u32 errors = s->errors_sent;
    for (int i = 0; i < (int)(seconds * SERVER_FPS); i++) {
      world_update(SERVER_DT, server_clock());
      play_update(SERVER_DT, server_clock());
    }
    return s->errors_sent != errors ? s->last_error : ErrorCode_Ok;
  }
  int carried(EntityType type) {
    int n = 0;
    for (ItemIter it = find_items(*player); it.entity; next(it)) n += it.entity->type == type;
    return n;
  }
  Entity* spawn_near(EntityType type, f32 distance) {
    Entity* e = world_spawn(type, player->pos + v2{distance, 0});
    if (e) worldgen_init_entity(*e, server_clock());
    return e;
  }
};

TEST_F(ServerPlay, ActionsTakeEffectOrAreRefusedWithTheirCode) {
  struct Case {
    const char* what;
    EntityType target;
    ActionType action;
    EntityType tool;  // put in the right hand first
    void (*prepare)(Entity& target, Entity& player);
    ErrorCode expected;  // at the request, or when the work ends
    EntityType gained;   // one more of these in the bag afterwards
  };
  auto fill_bag = [](Entity&, Entity& p) {
    Entity* bag = find_bag(p);
    for (int i = 0; i < container_nslots(bag->container); i++) world_spawn_in(Entity_stone, *bag, i);
  };
  const Case cases[] = {
      {"snap a branch", Entity_pine_tree, ActionType_SnapBranch, Entity_None,
       [](Entity& t, Entity&) { t.tree.branches = 2; }, ErrorCode_Ok, Entity_branch},
      {"snap a bare tree", Entity_pine_tree, ActionType_SnapBranch, Entity_None,
       [](Entity& t, Entity&) { t.tree.branches = 0; }, ErrorCode_CannotDoThat, Entity_None},
      {"chop without an axe", Entity_pine_tree, ActionType_Chop, Entity_None, nullptr, ErrorCode_CannotDoThat,
       Entity_None},
      {"chop with an axe", Entity_apple_tree, ActionType_Chop, Entity_axe,
       [](Entity& t, Entity&) { t.tree.branches = 1; }, ErrorCode_Ok, Entity_branch},
      {"collect berries", Entity_berry_bush, ActionType_CollectBerries, Entity_None, nullptr, ErrorCode_Ok,
       Entity_berry},
      {"collect into a full bag", Entity_berry_bush, ActionType_CollectBerries, Entity_None, fill_bag,
       ErrorCode_NoSpace, Entity_None},
      {"harvest a sprout", Entity_carrot_crop, ActionType_Harvest, Entity_None,
       [](Entity& t, Entity&) { t.crop.planted_time = Time{server_clock().ns - 10 * Seconds.ns}; },
       ErrorCode_CannotDoThat, Entity_None},
      {"harvest a ripe crop", Entity_carrot_crop, ActionType_Harvest, Entity_None,
       [](Entity& t, Entity&) { t.crop.planted_time = Time{server_clock().ns - 100 * Seconds.ns}; }, ErrorCode_Ok,
       Entity_carrot},
      {"mine without a pickaxe", Entity_iron_vein, ActionType_Mine, Entity_None, nullptr, ErrorCode_CannotDoThat,
       Entity_None},
      {"mine with a pickaxe", Entity_iron_vein, ActionType_Mine, Entity_stone_pickaxe, nullptr, ErrorCode_Ok,
       Entity_iron_ore},
      {"mine a tree", Entity_pine_tree, ActionType_Mine, Entity_stone_pickaxe, nullptr, ErrorCode_CannotDoThat,
       Entity_None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    if (c.tool) {
      ASSERT_NE(world_spawn_in(c.tool, *player, GearSlot_RightHand), nullptr);
    }
    // Out of reach (west, where the camp leaves the way clear): the character walks there first.
    Entity* target = spawn_near(c.target, -4 * tile_size);
    ASSERT_NE(target, nullptr);
    if (c.prepare) c.prepare(*target, *player);
    int before = c.gained ? carried(c.gained) : 0;
    v2 at = target->pos;  // a crushed rock is gone afterwards
    f32 reach = usage_radius(*player, *target);
    ErrorCode result = action(target->id, c.action);
    if (result == ErrorCode_Ok) result = run(6);
    EXPECT_EQ(result, c.expected);
    if (c.gained) {
      EXPECT_GT(carried(c.gained), before);
      EXPECT_LT(v2_distance(player->pos, at), reach + 4) << "it walked up";
    }
  }
}

TEST_F(ServerPlay, GatheringRepeatsUntilNothingIsLeftAndEatingFillsTheStomach) {
  Entity* bush = spawn_near(Entity_berry_bush, 30);
  bush->bush.berries = 3;
  ASSERT_EQ(action(bush->id, ActionType_CollectBerries), ErrorCode_Ok);
  run(2);
  EXPECT_GT(player->actor.action.progress, 0) << "progress is in the action, for the client's bar";
  EXPECT_EQ(player->actor.action.type, ActionType_CollectBerries);
  run(6);
  EXPECT_EQ(carried(Entity_berry), 3);
  EXPECT_EQ(bush->bush.berries, 0);
  EXPECT_EQ(player->actor.action.type, ActionType_None);
  EXPECT_EQ(action(bush->id, ActionType_CollectBerries), ErrorCode_CannotDoThat);

  Entity* berry = find_item_by_type(*player, Entity_berry);
  player->person.energy.cur = 10;
  ASSERT_EQ(action(berry->id, ActionType_Eat), ErrorCode_Ok);
  run(1.5f);
  EXPECT_EQ(world_find(berry->id), nullptr) << "eaten";
  EXPECT_EQ(carried(Entity_berry), 2);
  EXPECT_TRUE(is_digesting(player->person));
  EXPECT_GT(events_count(player->events), 0);
  run(10);
  EXPECT_GT(player->person.energy.cur, 10) << "the stomach turns food into energy";
  EXPECT_FALSE(is_digesting(player->person));
}

// Every item is in exactly one place: one slot of the container it names, or on the ground in the grid
// cell of its position; a lifted burden is named by its carrier alone and is off the ground.
static void expect_one_place_each(const std::vector<Id>& ids) {
  const Location& l = world.location;
  for (Id id : ids) {
    Entity* e = world_find(id);
    ASSERT_NE(e, nullptr) << "item " << id << " was lost";
    int slots_naming = 0;
    for (int i = 0; i < entity_storage.nentities; i++) {
      Entity& holder = entity_storage.entities[i];
      if (!holder.id || !has_component(holder, Component_Container)) continue;
      for (int k = 0; k < container_nslots(holder.container); k++) {
        if (holder.container.slots[k] != id) continue;
        slots_naming++;
        EXPECT_TRUE(is_item(*e) ? e->item.container == holder.id : e->carrier == holder.id);
      }
    }
    int in_grid = 0;
    for (int c = 0; c < l.width * l.height; c++)
      for (Entity* g = l.grid[c]; g; g = g->next_in_grid) in_grid += g == e;
    bool lifted = !is_item(*e) && e->carrier != 0;
    if (is_item(*e) && in_container(*e)) {
      EXPECT_EQ(slots_naming, 1);
      EXPECT_EQ(in_grid, 0);
    } else if (lifted) {
      Entity* carrier = world_find(e->carrier);
      ASSERT_NE(carrier, nullptr);
      bool in_cart = has_component(*carrier, Component_Cart);
      EXPECT_TRUE(in_cart || carrier->mortal.burden == id);
      EXPECT_EQ(slots_naming, in_cart ? 1 : 0) << "a burden rides in one slot of a cart";
      EXPECT_EQ(in_grid, 0);
    } else {
      EXPECT_EQ(slots_naming, 0);
      EXPECT_EQ(in_grid, 1);
    }
  }
}

TEST_F(ServerPlay, RandomMovesPlacesAndLiftsKeepEveryItemInOnePlace) {
  std::vector<Id> ids;
  Entity* bag = find_bag(*player);
  ids.push_back(bag->id);
  Entity* chest = spawn_near(Entity_wooden_chest, 40);
  Entity* crate = spawn_near(Entity_crate, -40);
  Entity* log = spawn_near(Entity_tree_log, 0);
  set_pos(*log, player->pos + v2{0, 40});
  ids.push_back(log->id);
  ids.push_back(crate->id);
  const EntityType kinds[] = {Entity_axe,        Entity_berry, Entity_sash, Entity_bag,
                              Entity_bone_knife, Entity_stone, Entity_torch};
  for (int i = 0; i < 14; i++) {
    Entity* e = i < 6 ? world_spawn_in(kinds[i % len(kinds)], *chest, i) : spawn_near(kinds[i % len(kinds)], 20);
    ASSERT_NE(e, nullptr);
    ids.push_back(e->id);
  }
  Entity* cart = spawn_near(Entity_cart, 0);
  set_pos(*cart, player->pos + v2{0, -50});
  std::vector<Id> holders = {player->id, chest->id, crate->id, bag->id, cart->id, 12345};
  srand(11);
  int done = 0;
  for (int i = 0; i < 4000; i++) {
    Request r;
    Id pick = ids[(size_t)rand() % ids.size()];
    switch (rand() % 6) {
      case 0:
      case 1: {
        r.type = RequestType_MoveEntity;
        r.move_entity.item_id = pick;
        // Holders include worn bags and belts, found at the time of the request.
        Id to = holders[(size_t)rand() % holders.size()];
        if (rand() % 3 == 0) to = ids[(size_t)rand() % ids.size()];
        r.move_entity.container_id = to;
        int slot = rand() % 20;
        r.move_entity.slot = slot >= 17 ? SlotAny : (SlotIndex)slot;
        break;
      }
      case 2:
        r.type = RequestType_PlaceEntity;
        r.place_entity.target_id = pick;
        r.place_entity.pos = player->pos + v2{(f32)(rand() % 200 - 100), (f32)(rand() % 200 - 100)};
        r.place_entity.flags = (u32)rand();
        break;
      case 3:
        r.type = RequestType_LiftEntity;
        r.target_id = pick;
        break;
      default: {
        const ActionType actions[] = {ActionType_PickUp, ActionType_Equip, ActionType_Lift};
        r.type = RequestType_RunAction;
        r.action.target_id = pick;
        r.action.type = actions[rand() % 3];
        break;
      }
    }
    done += send(r) == ErrorCode_Ok;
    if (i % 8 == 0) run(0.1f);
    if (i % 500 == 0) expect_one_place_each(ids);
  }
  run(1);
  expect_one_place_each(ids);
  EXPECT_GT(done, 400) << "enough of the requests were carried out to mean something";

  // Leaving the world puts the burden down: nothing stays carried by nobody.
  if (player->mortal.burden == 0) {
    set_pos(*player, log->pos + v2{0, 40});
    ASSERT_EQ(play_lift(*player, *log), ErrorCode_Ok);
  }
  Id burden = player->mortal.burden;
  server_leave_world(*s);
  Entity* left = world_find(burden);
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(left->carrier, 0u);
  EXPECT_FALSE(v2_equal(left->pos, InvalidPos));
}

TEST_F(ServerPlay, FiresBurnTheirWoodThenGoOutButAFixturesLightBurnsOn) {
  // A cold fire with wood laid in burns the wood, then goes out; with nothing to burn it will not light.
  Entity* fire = spawn_near(Entity_bonfire, -40);
  fire->fuel.capacity.cur = 0;
  EXPECT_EQ(action(fire->id, ActionType_Ignite), ErrorCode_CannotDoThat);
  world_spawn_in(Entity_branch, *fire, 1);
  ASSERT_EQ(action(fire->id, ActionType_Ignite), ErrorCode_Ok);
  run(2);
  EXPECT_TRUE(fire->flags & EntityFlag_Burning);
  EXPECT_EQ(fire->container.slots[1], 0u) << "the branch burns";
  static Entity* seen[SNAPSHOT_RECORDS_MAX];
  set_pos(*fire, player->pos + v2{20 * tile_size, 0});  // out of sight, but its light is not
  int n = server_collect_snapshot(*player, seen, SNAPSHOT_RECORDS_MAX);
  EXPECT_NE(std::find(seen, seen + n, fire), seen + n);
  // A fixture's light (as the dungeon's torch) burns on, and nobody takes it away.
  Entity* torch = spawn_near(Entity_torch, 30);
  torch->flags |= EntityFlag_Burning | EntityFlag_Protected;
  torch->fuel.capacity.cur = 1;
  EXPECT_EQ(play_pick_up(*player, *torch), ErrorCode_CannotDoThat);
  run(fire->fuel.capacity.cur / 0.5f + 2);
  EXPECT_FALSE(fire->flags & EntityFlag_Burning);
  EXPECT_TRUE(torch->flags & EntityFlag_Burning);
}

static Request make(RequestType type, Id a = 0, Id b = 0) {
  Request r;
  r.type = type;
  r.add_ingridient.blank_id = a;  // the first two ids of every kind here sit at the same offsets
  r.add_ingridient.ingredient_id = b;
  return r;
}

static Entity* blank_at(v2 pos) {
  for (Entity* e = get_entity_at(world.location, pos); e; e = e->next_in_grid)
    if (has_component(*e, Component_Blank) && v2_equal(e->pos, pos)) return e;
  return nullptr;
}

TEST_F(ServerPlay, ABlankIsRefusedOutOfReachForAnItemIncompleteAndForWhatItDoesNotTake) {
  EntityType type = recipe_kind(false, -1);
  auto place = [&](v2 dst, EntityType kind, u32 flags) {
    Request r = make(RequestType_BuildPlace);
    r.build = {dst, kind, {}, flags};
    return send(r);
  };
  EXPECT_EQ(place(player->pos + v2{100 * tile_size, 0}, type, 0), ErrorCode_CannotDoThat) << "out of reach";
  EXPECT_EQ(place(player->pos, Entity_stone, 0), ErrorCode_BadRequest) << "an item, not a building";
  v2 dst = player->pos + v2{-37.3f, 11.1f}, at = round_to_location(world.location, dst, 0.5f);
  ASSERT_EQ(place(dst, type, 3), ErrorCode_Ok);
  Entity* blank = blank_at(at);
  ASSERT_TRUE(blank && blank->blank.type == type && flags_to_rotation(blank->flags) == 3) << "snapped and turned";
  EXPECT_EQ(send(make(RequestType_Build, blank->id)), ErrorCode_CannotDoThat) << "out of reach";
  set_pos(*player, blank->pos + v2{player->radius + blank->radius + 2, 0});  // as the Open action walks up
  EXPECT_EQ(send(make(RequestType_Build, blank->id)), ErrorCode_CannotDoThat) << "nothing added yet";
  EXPECT_EQ(send(make(RequestType_BuildAdd, blank->id, ADMIN_INGREDIENT_ID)), ErrorCode_Forbidden);
  ASSERT_EQ(play_give(*player, Entity_berry), ErrorCode_Ok);
  EXPECT_EQ(send(make(RequestType_BuildAdd, blank->id, find_item_by_type(*player, Entity_berry)->id)),
            ErrorCode_CannotDoThat);
}

TEST_F(ServerPlay, ChangedWorldEntitiesAndTheGeneratedOnesTakenAwayOutliveARestart) {
  Entity* chest = spawn_near(Entity_wooden_chest, 50);
  ASSERT_NE(world_spawn_in(Entity_stone, *chest, 2), nullptr);
  v2 chest_at = chest->pos;
  Entity* generated = nullptr;
  for (int i = 0; i < entity_storage.nentities && !generated; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id && !(e.flags & EntityFlag_Modified) && !is_item(e) && !find_thinker(e) && e.type != Entity_Player)
      generated = &e;
  }
  EntityType gone_type = generated->type;
  v2 gone_at = generated->pos;
  world_remove(*generated);
  // A tile an administrator painted.
  v2 painted = chest_at + v2{0, 3 * tile_size};
  TileType paint_type =
      get_tile_at(world.location, painted) == TileType_BrickFloor ? TileType_Sand : TileType_BrickFloor;
  Request paint;
  paint.type = RequestType_SetBiom;
  paint.biom = {{painted.x, painted.y, 1, 1}, paint_type};
  player->flags |= EntityFlag_IsAdmin;
  ASSERT_EQ(send(paint), ErrorCode_Ok);
  std::vector<u8> blob((size_t)world_saved_size());
  int size = world_save(blob.data(), (int)blob.size());
  ASSERT_GT(size, 0);
  EXPECT_EQ(world_save(blob.data(), size - 1), 0) << "too small a buffer is refused, not overrun";
  Storage storage;
  Text error;
  ASSERT_TRUE(storage_open(storage, ":memory:", error, false));
  ASSERT_TRUE(storage_save_world(storage, 5, 128, blob.data(), size));
  u8* loaded = nullptr;
  int loaded_size = 0;
  ASSERT_TRUE(storage_load_world(storage, 6, 128, &loaded, &loaded_size));
  EXPECT_EQ(loaded_size, 0) << "changes of another world are not laid over this one";
  ASSERT_TRUE(storage_load_world(storage, 5, 128, &loaded, &loaded_size));
  storage_close(storage);

  s->player_id = 0;
  ASSERT_TRUE(server_generate_world(5, 128, server_clock()));
  int before = world_entity_count();
  EXPECT_FALSE(world_restore(loaded, loaded_size - 1));
  std::vector<u8> unknown_tile(loaded, loaded + loaded_size);
  unknown_tile.back() = 0xFF;
  EXPECT_FALSE(world_restore(unknown_tile.data(), loaded_size));
  EXPECT_EQ(world_entity_count(), before) << "nothing of a cut or broken blob is applied";
  EXPECT_NE(get_tile_at(world.location, painted), paint_type);
  ASSERT_TRUE(world_restore(loaded, loaded_size));
  free(loaded);
  EXPECT_EQ(get_tile_at(world.location, painted), paint_type) << "the painted tile came back";
  int found = 0;
  for (Entity* e = get_entity_at(world.location, gone_at); e; e = e->next_in_grid)
    found += e->type == gone_type && v2_equal(e->pos, gone_at);
  EXPECT_EQ(found, 0);
  Entity* back = get_entity_at(world.location, chest_at);
  while (back && back->type != Entity_wooden_chest) back = back->next_in_grid;
  ASSERT_NE(back, nullptr);
  Entity* stone = world_find(back->container.slots[2]);
  ASSERT_TRUE(stone && stone->type == Entity_stone && stone->item.container == back->id);
}

TEST_F(ServerPlay, ABlueprintTakesInBuildingsIsNamedAndKeptWithTheCharacterAsIsItsRespawnPoint) {
  EntityType type = recipe_kind(false, -1);
  ASSERT_EQ(play_give(*player, Entity_blueprint), ErrorCode_Ok);
  Id bp = find_item_by_type(*player, Entity_blueprint)->id;
  v2 base = round_to_location(world.location, player->pos + v2{-40, 0}, 0.5f);
  Entity* first = play_complete_blank(*play_place_blank(type, base, 0));
  Entity* second = play_place_blank(type, base + v2{16, 8}, 1);  // a blank counts as its building
  auto ask = [&](RequestType t, Id target, v2 pos = {}, int rotation = 0, const char* name = "") {
    Request r = make(t, bp, target);
    r.blueprint.pos = pos;
    r.blueprint.rotation_index = rotation;
    memcpy(r.blueprint.name, name, strlen(name));
    return send(r);
  };
  EXPECT_EQ(ask(RequestType_BlueprintPlace, 0, player->pos), ErrorCode_CannotDoThat) << "empty";
  EXPECT_EQ(ask(RequestType_BlueprintAdd, first->id), ErrorCode_Ok);
  EXPECT_EQ(ask(RequestType_BlueprintAdd, second->id), ErrorCode_Ok);
  EXPECT_EQ(ask(RequestType_BlueprintAdd, player->id), ErrorCode_CannotDoThat) << "no building";
  EXPECT_EQ(ask(RequestType_BlueprintSave, 0, {}, 0, "  "), ErrorCode_CannotBeEmpty);
  EXPECT_EQ(ask(RequestType_BlueprintSave, 0, {}, 0, "Hut\x01"), ErrorCode_Ok);
  v2 respawn = player->pos + v2{40, 0};
  player->person.respawn_pos = respawn;
  u8 saved[64 * 1024];
  int size = world_save_character(*player, saved, (int)sizeof(saved));
  world_leave_character(*player);
  player = world_enter_character("Tester", false, saved, size);
  s->player_id = player->id;
  Entity* item = find_item_by_type(*player, Entity_blueprint);
  ASSERT_NE(item, nullptr);
  bp = item->id;
  EXPECT_STREQ(item->blueprint.name, "Hut ") << "kept with the character, control characters blanked";
  EXPECT_TRUE(v2_equal(player->person.respawn_pos, respawn)) << "and so is its respawn point";
  EXPECT_EQ(ask(RequestType_BlueprintPlace, 0, player->pos, 4), ErrorCode_BadRequest) << "no fifth turn";
  int before = world_entity_count();
  EXPECT_EQ(ask(RequestType_BlueprintPlace, 0, player->pos + v2{500 * tile_size, 0}), ErrorCode_CannotDoThat);
  EXPECT_EQ(world_entity_count(), before) << "a refused blueprint sets nothing down";
  EXPECT_EQ(ask(RequestType_BlueprintClear, 0), ErrorCode_Ok);
  EXPECT_EQ(blueprint_nelements(item->blueprint), 0);
}

// A new character at the spawn point, with nothing but what lies around it, can try each kind of work.
TEST_F(ServerPlay, ANewPlayerFindsEverythingToTryNearTheSpawn) {
  auto nearest = [&](EntityType type) -> Entity* {
    for (EntityIter it = locate_entities(SpatialQuery{nullptr, &world.location, world.spawn, 10 * tile_size});
         it.entity; next(it)) {
      if (it.entity->type == type) return it.entity;
      for (ItemIter in = find_container(*it.entity) && !is_person(*it.entity) ? get_items(*it.entity) : ItemIter();
           in.entity; next(in))
        if (in.entity->type == type) return in.entity;
    }
    return nullptr;
  };
  auto fetch = [&](EntityType type, SlotIndex slot, Entity& into) {  // walk up, then take it
    Entity* item = nearest(type);
    if (!item) return ErrorCode_NotFound;
    Entity* holder = world_find(item->item.container);
    set_pos(*player, holder->pos + v2{holder->radius + player->radius + 2, 0});
    Request r = make(RequestType_MoveEntity, item->id, into.id);
    r.move_entity.slot = slot;
    return send(r);
  };
  struct Case {
    ActionType action;
    EntityType target, tool;  // the tool fetched into the right hand first
  } cases[] = {
      {ActionType_CollectBerries, Entity_berry_bush, Entity_None},
      {ActionType_SnapBranch, Entity_pine_tree, Entity_None},
      {ActionType_Chop, Entity_pine_tree, Entity_axe},
      {ActionType_Mine, Entity_iron_vein, Entity_stone_pickaxe},
      {ActionType_Crush, Entity_rock, Entity_stone_pickaxe},
      {ActionType_Saw, Entity_tree_log, Entity_bone_saw},
      {ActionType_Grind, Entity_quern, Entity_None},
      {ActionType_Activate, Entity_fermion_stone, Entity_None},
      {ActionType_Ignite, Entity_bonfire, Entity_None},
      {ActionType_Cut, Entity_leather, Entity_bone_knife},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(action_type_name(c.action));
    Entity* held = gear_at(*player, GearSlot_RightHand);
    if (c.tool && !(held && held->type == c.tool)) {
      if (held) world_remove(*held);
      ASSERT_EQ(fetch(c.tool, GearSlot_RightHand, *player), ErrorCode_Ok) << entity_type_name(c.tool);
    }
    if (c.target == Entity_leather) {
      ASSERT_EQ(fetch(c.target, SlotAny, *find_bag(*player)), ErrorCode_Ok);
    }
    Entity* target = c.target == Entity_leather ? find_item_by_type(*player, c.target) : nearest(c.target);
    ASSERT_NE(target, nullptr) << entity_type_name(c.target);
    set_pos(*player, world.spawn);
    EXPECT_EQ(action(target->id, c.action), ErrorCode_Ok);
    EXPECT_EQ(run(8), ErrorCode_Ok);
  }
}

}  // namespace
