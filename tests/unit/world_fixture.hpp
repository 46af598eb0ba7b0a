#pragma once
// A small world for the game-model tests: a location loaded into the client, the registry, and helpers
// that put entities of real kinds into the storage.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "location.hpp"
#include "physics.hpp"
#include "registry.hpp"

struct WorldTest : ::testing::Test {
  Location location = {};
  Id next_id = 1;

  // A width x height location of grass whose tile (0, 0) lies at offset.
  void load_location(int width, int height, v2 offset = {0, 0}, LocationType type = LocationType_World) {
    static u8 tiles[256 * 256];
    memset(tiles, TileType_Grass, sizeof(tiles));
    ASSERT_LE(width * height, (int)sizeof(tiles));
    ASSERT_TRUE(
        location_init(location, LocationRef{type, 0}, "test", 5, width, height, offset, tiles, (s64)width * height));
    game.location = &location;
  }

  void SetUp() override {
    load_entity_registry();
    entity_storage_clear();
    load_location(32, 32);
  }

  void TearDown() override {
    game.location = nullptr;
    location_free(location);
    entity_storage_clear();
  }

  // A fresh record of the kind, with the next id, not yet on the grid.
  Entity& make(EntityType type) {
    assert(entity_storage.nentities < ENTITIES_MAX);
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    e.id = next_id++;
    e.location = location.ref;
    e.pos = InvalidPos;
    copy_prototype(&e, *get_entity_prototype(type));
    return e;
  }

  // A record of the kind placed on the grid at pos.
  Entity& spawn(EntityType type, v2 pos) {
    Entity& e = make(type);
    set_pos(e, pos);
    return e;
  }

  // A mover of the kind at pos with a speed limit.
  Entity& spawn_mover(EntityType type, v2 pos, f32 speed) {
    Entity& e = spawn(type, pos);
    get_mover(e)->speed = speed;
    return e;
  }

  // A player with its gear container (the prototype has none: the server adds it).
  Entity& spawn_player(v2 pos) {
    Entity& e = spawn(Entity_Player, pos);
    enable_component(e, Component_Container);
    e.container.nslots = GEAR_SLOTS;
    return e;
  }

  static constexpr u8 GEAR_SLOTS = 8;

  // Puts item into slot of holder's container.
  void put(Entity& holder, int slot, Entity& item) {
    remove_from_grid(item);
    get_container(holder)->slots[slot] = item.id;
    get_item(item)->container = holder.id;
  }

  // How many times the entity appears in all the grid's lists.
  int grid_count(const Entity& entity) {
    int n = 0;
    for (int i = 0; i < location.width * location.height; i++) {
      for (Entity* e = location.grid[i]; e; e = e->next_in_grid) n += e == &entity;
    }
    return n;
  }
};
