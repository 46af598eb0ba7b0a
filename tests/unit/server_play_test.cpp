// The server's rules of play driven through its request path (the same bytes a client sends, taken in
// by server_handle_datagram) and its tick: actions with their approach, effects and refusals, and the
// conservation of items under random moves.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "items.hpp"
#include "play.hpp"

namespace {

class ServerPlay : public ::testing::Test {
 protected:
  UdpAddress address = {0x7F000001, 6001};
  Session* s = nullptr;
  Entity* player = nullptr;
  u32 seq = 0;

  void SetUp() override {
    load_entity_registry();
    game.location = &world.location;
    ASSERT_TRUE(server_generate_world(5, 128, server_clock()));
    server.socket = -1;  // answers go nowhere; the session records its last refusal
    s = &server.sessions[0];
    *s = Session();
    s->active = true;
    s->address = address;
    s->account_id = 1;
    s->last_recv = time_now();
    player = world_enter_character("Tester", false, nullptr, 0);
    ASSERT_NE(player, nullptr);
    s->player_id = player->id;
    set_pos(*player, world.spawn);
  }
  void TearDown() override {
    *s = Session();
    game.location = nullptr;
    world_reset(0, 0, nullptr);
  }

  // Sends one request and returns the refusal it drew (Ok when none).
  ErrorCode send(Request r) {
    r.seq = ++seq;
    u32 errors = s->errors_sent;
    server_handle_datagram(address, (const u8*)&r, sizeof(r));
    return s->errors_sent != errors ? s->last_error : ErrorCode_Ok;
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
    EntityType tool;       // put in the right hand first
    void (*prepare)(Entity& target, Entity& player);
    ErrorCode expected;    // at the request, or when the work ends
    EntityType gained;     // one more of these in the bag afterwards
  };
  auto fill_bag = [](Entity&, Entity& p) {
    Entity* bag = find_bag(p);
    for (int i = 0; i < container_nslots(bag->container); i++) world_spawn_in(Entity_stone, *bag, i);
  };
  const Case cases[] = {
      {"snap a branch", Entity_pine_tree, ActionType_SnapBranch, Entity_None, [](Entity& t, Entity&) { t.tree.branches = 2; },
       ErrorCode_Ok, Entity_branch},
      {"snap a bare tree", Entity_pine_tree, ActionType_SnapBranch, Entity_None, [](Entity& t, Entity&) { t.tree.branches = 0; },
       ErrorCode_CannotDoThat, Entity_None},
      {"chop without an axe", Entity_pine_tree, ActionType_Chop, Entity_None, nullptr, ErrorCode_CannotDoThat, Entity_None},
      {"chop with an axe", Entity_apple_tree, ActionType_Chop, Entity_axe, [](Entity& t, Entity&) { t.tree.branches = 1; },
       ErrorCode_Ok, Entity_branch},
      {"collect berries", Entity_berry_bush, ActionType_CollectBerries, Entity_None, nullptr, ErrorCode_Ok, Entity_berry},
      {"collect into a full bag", Entity_berry_bush, ActionType_CollectBerries, Entity_None, fill_bag, ErrorCode_NoSpace,
       Entity_None},
      {"harvest a sprout", Entity_carrot_crop, ActionType_Harvest, Entity_None,
       [](Entity& t, Entity&) { t.crop.planted_time = Time{server_clock().ns - 10 * Seconds.ns}; }, ErrorCode_CannotDoThat,
       Entity_None},
      {"harvest a ripe crop", Entity_carrot_crop, ActionType_Harvest, Entity_None,
       [](Entity& t, Entity&) { t.crop.planted_time = Time{server_clock().ns - 100 * Seconds.ns}; }, ErrorCode_Ok,
       Entity_carrot},
      {"mine without a pickaxe", Entity_iron_vein, ActionType_Mine, Entity_None, nullptr, ErrorCode_CannotDoThat, Entity_None},
      {"mine with a pickaxe", Entity_iron_vein, ActionType_Mine, Entity_stone_pickaxe, nullptr, ErrorCode_Ok, Entity_iron_ore},
      {"crush a rock", Entity_rock, ActionType_Crush, Entity_stone_pickaxe, nullptr, ErrorCode_Ok, Entity_stone},
      {"mine a tree", Entity_pine_tree, ActionType_Mine, Entity_stone_pickaxe, nullptr, ErrorCode_CannotDoThat, Entity_None},
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
        EXPECT_TRUE(is_item(*e) && e->item.container == holder.id);
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
      EXPECT_EQ(carrier->mortal.burden, id);
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
  const EntityType kinds[] = {Entity_axe, Entity_berry, Entity_sash, Entity_bag, Entity_bone_knife, Entity_stone, Entity_torch};
  for (int i = 0; i < 14; i++) {
    Entity* e = i < 6 ? world_spawn_in(kinds[i % len(kinds)], *chest, i) : spawn_near(kinds[i % len(kinds)], 20);
    ASSERT_NE(e, nullptr);
    ids.push_back(e->id);
  }
  std::vector<Id> holders = {player->id, chest->id, crate->id, bag->id, 12345};
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

}  // namespace
