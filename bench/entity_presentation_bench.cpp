// The CPU side of drawing entities: model choice, animation info, transform and state lookups per entity,
// against a baseline that only reads each entity's position. Goal: at most 2 us an entity.
#include <benchmark/benchmark.h>

#include "app/client.hpp"
#include "items.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"

namespace {

// A scene like the one around a player: mostly static objects, creatures, a few players with gear,
// items on tables, burning fires with visual state. Models count as loaded (empty), so nothing is read.
void fill_scene(int n) {
  static bool registry = false;
  if (!registry) load_entity_registry(), registry = true;
  const EntityType kinds[] = {Entity_pine_tree,    Entity_apple_tree,  Entity_bush,         Entity_berry_bush,
                              Entity_rock,         Entity_carrot_crop, Entity_stag,         Entity_skeleton,
                              Entity_wooden_chest, Entity_bonfire,     Entity_dungeon_wall, Entity_roof_4x4,
                              Entity_wooden_table, Entity_quern,       Entity_torch};
  for (EntityType t : kinds) {
    global_entity_registry.info[t].flags |= EntityInfoFlag_Loaded;
    game.entity_models[t].nvariants = global_entity_registry.info[t].nvariants;
  }
  entity_storage_clear();
  clear_entity_state();
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[entity_storage.nentities++];
    memset((void*)&e, 0, sizeof(Entity));
    bool player = i % 50 == 0;
    copy_prototype(&e, *get_entity_prototype(player ? Entity_Player : kinds[i % len(kinds)]));
    e.id = (Id)(i + 1);
    e.pos = {(f32)(i % 100) * 40, (f32)(i / 100) * 40};
    e.mortal.hp = {10, 10};
    if (e.type == Entity_bonfire) e.flags |= EntityFlag_Burning, set_entity_state_entry(e.id);
    if (player) {
      for (Component c : {Component_Mover, Component_Actor, Component_Mortal, Component_Container})
        enable_component(e, c);
      e.container.nslots = GearSlot_num;
    }
  }
  // Players hold the item stored after them and tables carry the one before them, where those are items.
  for (int i = 0; i + 1 < n; i++) {
    Entity& e = entity_storage.entities[i];
    Entity& next = entity_storage.entities[i + 1];
    if (is_person(e) && is_item(next)) e.container.slots[GearSlot_RightHand] = next.id, next.item.container = e.id;
    if (e.type == Entity_wooden_table && i > 0 && is_item(entity_storage.entities[i - 1])) {
      e.container.slots[0] = entity_storage.entities[i - 1].id;
      entity_storage.entities[i - 1].item.container = e.id;
    }
  }
}

void BM_EntitiesReadPositionBaseline(benchmark::State& state) {
  fill_scene((int)state.range(0));
  for (auto _ : state) {
    v2 sum = {};
    for (int i = 0; i < entity_storage.nentities; i++) sum = sum + entity_storage.entities[i].pos;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EntitiesReadPositionBaseline)->Arg(1000)->Arg(5000);

void BM_EntitiesPresentationCpu(benchmark::State& state) {
  fill_scene((int)state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < entity_storage.nentities; i++) {
      Entity& e = entity_storage.entities[i];
      m4 m;
      if (in_container(e)) {
        benchmark::DoNotOptimize(tabletop_transform(e, &m));
      } else {
        bool placed = true;
        m = get_transform(e, &placed);
        benchmark::DoNotOptimize(get_entity_model(e));
      }
      AnimationInfo info = get_animation_info(e);
      benchmark::DoNotOptimize(m);
      benchmark::DoNotOptimize(info);
      benchmark::DoNotOptimize(find_entity_state(e.id));
      if (is_person(e)) benchmark::DoNotOptimize(find_gear(e, Entity_torch));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EntitiesPresentationCpu)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
