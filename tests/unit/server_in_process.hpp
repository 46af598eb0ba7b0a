#pragma once
// One character played inside the test's own process: requests go through the server's datagram handler from
// a session whose answers go nowhere (it keeps its last refusal), and the world runs tick by tick.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "play.hpp"
#include "registry.hpp"

class ServerInProcess : public ::testing::Test {
 protected:
  UdpAddress address = {};
  Session* s = nullptr;
  Entity* player = nullptr;
  u32 seq = 0;

  // The generated world every such test plays in.
  static void generate(Time now) {
    load_entity_registry();
    game.location = &world.location;
    ASSERT_TRUE(server_generate_world(5, 128, now));
  }
  // A logged-in session on `port` whose character `name` stands at the spawn.
  void enter(u16 port, const char* name) {
    address = {0x7F000001, port};
    server.socket = -1;
    s = &server.sessions[0];
    *s = Session();
    s->active = true;
    s->address = address;
    s->account_id = 1;
    s->last_recv = time_now();
    player = world_enter_character(name, false, nullptr, 0);
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
};

// The first kind whose recipe fits: an item made with no station, one made at a station that burns, or a building.
inline EntityType recipe_kind(bool item, int station /* 0 none, 1 one that burns, -1 any */) {
  for (int t = 1; t < Entity_num; t++) {
    const Recipe* recipe = play_recipe((EntityType)t);
    Entity* prototype = find_entity_prototype((EntityType)t);
    if (!recipe || !prototype || is_item(*prototype) != item || t == Entity_blank) continue;
    Entity* equipment = find_entity_prototype(recipe->equipment);
    if ((station == 0 && recipe->equipment != Entity_None) ||
        (station == 1 && !(equipment && has_component(*equipment, Component_Fuel))))
      continue;
    return (EntityType)t;
  }
  return Entity_None;
}
