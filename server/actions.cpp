// Actions on entities: the actor walks into range by the shared approach rule, works for the action's
// duration (progress in its Action, which the client draws), then the effect happens; gathering goes on
// while there is something left. Also the world's slow changes: regrowth, burning fuel, digestion.
#include "items.hpp"
#include "physics.hpp"
#include "play.hpp"

// How long an actor may walk towards a target before the action is given up.
constexpr f32 APPROACH_TIME_MAX = 30.0f;
constexpr f32 BERRY_REGROW_SECONDS = 60.0f;
constexpr f32 ORE_REGROW_SECONDS = 300.0f;
constexpr int BERRIES_MAX = 6;
constexpr int ORE_MAX = 10;
constexpr f32 FUEL_BURN_PER_SECOND = 0.5f;
constexpr f32 ENERGY_DRAIN_PER_SECOND = 100.0f / (60 * 60);  // an hour from full to empty, idle
constexpr f32 ENERGY_WORK_FACTOR = 3.0f;                     // working drains this much faster
constexpr f32 DIGEST_PER_SECOND = 1.0f;                      // energy a stomach slot gives a second
constexpr u32 ACTION_WALKING = 1;                            // custom flag: the actor walks to the target

struct ActionRule {
  f32 duration;     // seconds of work before the effect
  bool repeats;     // goes on while there is more to gather
  bool next_piece;  // the piece is used up: the work goes on with the next of its kind at hand
};

// How far from the actor the next piece of the same work may lie on the ground.
constexpr f32 NEXT_PIECE_RADIUS = 3 * tile_size;

static ActionRule action_rule(ActionType type) {
  switch (type) {
    case ActionType_SnapBranch:
    case ActionType_CollectBerries: return {1.5f, true, false};
    case ActionType_Chop:
    case ActionType_Mine: return {2.0f, true, false};
    case ActionType_Grind: return {2.0f, true, false};
    case ActionType_Crush:
    case ActionType_Saw: return {2.0f, true, true};
    case ActionType_Cut: return {1.0f, true, true};
    case ActionType_Harvest:
    case ActionType_Eat: return {1.0f, false, false};
    case ActionType_Consume: return {0.5f, false, false};
    default: return {0.0f, false, false};
  }
}

static u64 event_counter;

Event& play_push_event(Entity& e, EventType type) {
  enable_component(e, Component_Events);
  Events& events = e.events;
  int n = events_count(events);
  if (n == EVENTS_MAX) {
    memmove(&events.events[0], &events.events[1], sizeof(Event) * (EVENTS_MAX - 1));
    n--;
  }
  Event& ev = events.events[n];
  ev = Event();
  ev.time = server_clock();
  ev.id = ++event_counter;
  ev.type = type;
  events.nevents = n + 1;
  return ev;
}

static void push_event(Entity& e, EventType type, Id subject_id, EntityType subject_type, f32 value = 0) {
  Event& ev = play_push_event(e, type);
  if (type == EventType_Heal || type == EventType_Damage || type == EventType_Mana) {
    ev.healing.value = value;
  } else {
    ev.subject.id = subject_id;
    ev.subject.type = subject_type;
  }
}

static EntityType crop_produce(EntityType crop) {
  switch (crop) {
    case Entity_carrot_crop: return Entity_carrot;
    case Entity_wheat_crop: return Entity_wheat;
    default: return Entity_None;
  }
}

static Entity* quern_wheat(Entity& quern) {
  for (ItemIter it = get_items(quern); it.entity; next(it))
    if (it.entity->type == Entity_wheat) return it.entity;
  return nullptr;
}

static bool stomach_has_room(const Entity& player) {
  for (const StomachSlot& slot : player.person.stomach.slots)
    if (slot.type == Entity_None) return true;
  return false;
}

static bool bag_has_room_for(Entity& player, EntityType type) {
  Entity* bag = find_bag(player);
  if (!bag) return false;
  for (int i = 0; i < container_nslots(bag->container); i++)
    if (!bag->container.slots[i] && slot_accepts(*bag, (u32)i, *get_entity_prototype(type))) return true;
  return false;
}

// What an item laid in a fire gives it when it burns.
static f32 fuel_value(EntityType type) {
  switch (type) {
    case Entity_branch: return 50;
    case Entity_wooden_board: return 40;
    default: return 0;
  }
}

static Entity* fire_feed(Entity& fire) {
  if (!find_container(fire)) return nullptr;
  for (ItemIter it = get_items(fire); it.entity; next(it))
    if (fuel_value(it.entity->type) > 0) return it.entity;
  return nullptr;
}

// A fire out of fuel burns the next piece of wood laid in it; false when there is none.
static bool refuel(Entity& fire) {
  Entity* feed = fire_feed(fire);
  if (!feed) return false;
  Param& fuel = fire.fuel.capacity;
  fuel.cur = min(fuel.max > 0 ? fuel.max : fuel_value(feed->type), fuel.cur + fuel_value(feed->type));
  world_remove(*feed);
  return true;
}

// Whether the action fits the target now; the same test starts an action and repeats it.
static ErrorCode check_action(Entity& player, Entity& target, ActionType type) {
  if (u32 tool = action_tool(type)) {
    if (!find_tool(player, tool)) return ErrorCode_CannotDoThat;
  }
  if (is_item(target) && in_container(target) && !play_can_take(player, target)) return ErrorCode_CannotDoThat;
  switch (type) {
    case ActionType_SnapBranch:
      if (!find_tree(target) || target.tree.branches == 0) return ErrorCode_CannotDoThat;
      return bag_has_room_for(player, Entity_branch) ? ErrorCode_Ok : ErrorCode_NoSpace;
    case ActionType_Chop: return find_tree(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_CollectBerries:
      if (!find_bush(target) || target.bush.berries == 0) return ErrorCode_CannotDoThat;
      return bag_has_room_for(player, Entity_berry) ? ErrorCode_Ok : ErrorCode_NoSpace;
    case ActionType_Harvest: {
      const Crop* crop = find_crop(target);
      if (!crop || crop_produce(target.type) == Entity_None) return ErrorCode_CannotDoThat;
      if (crop_stage(*crop, server_clock()) <= CropStage_Young) return ErrorCode_CannotDoThat;
      return bag_has_room_for(player, crop_produce(target.type)) ? ErrorCode_Ok : ErrorCode_NoSpace;
    }
    case ActionType_Mine:
      if (!find_vein(target) || target.vein.ore == 0) return ErrorCode_CannotDoThat;
      return bag_has_room_for(player, Entity_iron_ore) ? ErrorCode_Ok : ErrorCode_NoSpace;
    case ActionType_Crush: return target.type == Entity_rock ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Saw:
      return target.type == Entity_tree_log || target.type == Entity_wooden_plank ? ErrorCode_Ok
                                                                                  : ErrorCode_CannotDoThat;
    case ActionType_Cut: return target.type == Entity_leather ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Grind:
      return target.type == Entity_quern && quern_wheat(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Eat:
      if (!find_food(target) || !is_item(target)) return ErrorCode_CannotDoThat;
      return stomach_has_room(player) ? ErrorCode_Ok : ErrorCode_NoSpace;
    case ActionType_Consume: return find_potion(target) && is_item(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_PickUp:
    case ActionType_Equip: return is_item(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Lift: return (target.flags & EntityFlag_Liftable) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Pull:
    case ActionType_Release: return has_component(target, Component_Cart) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Open:
      return find_container(target) || find_door(target) || has_component(target, Component_Blank)
                 ? ErrorCode_Ok
                 : ErrorCode_CannotDoThat;
    case ActionType_Ignite:
      return find_fuel(target) && (target.fuel.capacity.cur > 0 || fire_feed(target)) ? ErrorCode_Ok
                                                                                      : ErrorCode_CannotDoThat;
    case ActionType_Extinguish: return find_fuel(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Activate: return target.type == Entity_fermion_stone ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Fill:
    case ActionType_Empty: return find_vessel(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Destroy: return can_run(player, type, &target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_MoveTowards: return is_person(target) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    case ActionType_Enter: return has_component(target, Component_Entrance) ? ErrorCode_Ok : ErrorCode_CannotDoThat;
    default: return ErrorCode_CannotDoThat;
  }
}

static bool near_water(v2 pos) {
  const Location& l = world.location;
  for (int dy = -2; dy <= 2; dy++)
    for (int dx = -2; dx <= 2; dx++) {
      TileType t = get_tile_at(l, pos + v2{dx * tile_size, dy * tile_size});
      if (t == TileType_ShallowWater || t == TileType_DeepWater) return true;
    }
  return false;
}

// The effect of a finished action; the target may be gone afterwards.
static ErrorCode complete_action(Entity& player, Entity& target, ActionType type) {
  ErrorCode ok = check_action(player, target, type);
  if (ok != ErrorCode_Ok) return ok;
  world_touch(target);  // whatever the action does to it outlives a restart
  Id target_id = target.id;
  EntityType target_type = target.type;
  v2 at = target.pos;
  switch (type) {
    case ActionType_SnapBranch:
      if ((ok = play_give(player, Entity_branch)) != ErrorCode_Ok) return ok;
      target.tree.branches--;
      push_event(player, EventType_PickUp, 0, Entity_branch);
      break;
    case ActionType_Chop:
      if (target.tree.branches > 0) {
        // A tree loses its branches first; the last blow fells it and leaves a log.
        target.tree.branches--;
        play_give_or_drop(player, Entity_branch);
        push_event(player, EventType_PickUp, 0, Entity_branch);
      } else {
        u32 rotation = target.flags & 3u;
        play_destroy(target);
        if (Entity* log = world_spawn(Entity_tree_log, at)) log->flags |= rotation;
      }
      break;
    case ActionType_CollectBerries:
      if ((ok = play_give(player, Entity_berry)) != ErrorCode_Ok) return ok;
      target.bush.berries--;
      push_event(player, EventType_PickUp, 0, Entity_berry);
      break;
    case ActionType_Harvest: {
      EntityType produce = crop_produce(target.type);
      int count = crop_stage(target.crop, server_clock()) == CropStage_Harvest ? 2 : 1;
      if ((ok = play_give(player, produce)) != ErrorCode_Ok) return ok;
      for (int i = 1; i < count; i++) play_give_or_drop(player, produce);
      target.crop.planted_time = server_clock();  // replanted: it grows through its stages again
      push_event(player, EventType_PickUp, 0, produce);
      break;
    }
    case ActionType_Mine:
      if ((ok = play_give(player, Entity_iron_ore)) != ErrorCode_Ok) return ok;
      target.vein.ore--;
      push_event(player, EventType_PickUp, 0, Entity_iron_ore);
      break;
    case ActionType_Crush:
      play_destroy(target);
      for (int i = 0; i < 3; i++) play_give_or_drop(player, Entity_stone);
      push_event(player, EventType_PickUp, 0, Entity_stone);
      break;
    case ActionType_Saw:
      if (v2_equal(at, InvalidPos)) at = player.pos;
      play_destroy(target);
      if (target_type == Entity_tree_log) {
        for (int i = 0; i < 2; i++) world_spawn(Entity_wooden_plank, world_find_land_near(at, tile_size));
      } else {
        for (int i = 0; i < 2; i++) play_give_or_drop(player, Entity_wooden_board);
      }
      break;
    case ActionType_Cut:
      play_destroy(target);
      for (int i = 0; i < 3; i++) play_give_or_drop(player, Entity_leather_strip);
      break;
    case ActionType_Grind: {
      Entity* wheat = quern_wheat(target);
      SlotIndex slot = find_items_slot(target.container, wheat->id);
      world_remove(*wheat);
      world_spawn_in(Entity_flour, target, slot);
      break;
    }
    case ActionType_Eat:
      for (StomachSlot& slot : player.person.stomach.slots) {
        if (slot.type != Entity_None) continue;
        slot.type = target.type;
        slot.energy = {target.food.energy, target.food.energy};
        break;
      }
      push_event(player, EventType_UseEntity, target_id, target_type);
      play_destroy(target);
      break;
    case ActionType_Consume: {
      f32 power = target.potion.power;
      if (target.type == Entity_mana_potion) {
        player.actor.mana.cur = min(player.actor.mana.max, player.actor.mana.cur + power);
        push_event(player, EventType_Mana, 0, Entity_None, power);
      } else {
        player.mortal.hp.cur = min(player.mortal.hp.max, player.mortal.hp.cur + power);
        push_event(player, EventType_Heal, 0, Entity_None, power);
      }
      play_destroy(target);
      break;
    }
    case ActionType_PickUp:
      if ((ok = play_pick_up(player, target)) != ErrorCode_Ok) return ok;
      push_event(player, EventType_PickUp, target_id, target_type);
      break;
    case ActionType_Equip: return play_equip(player, target);
    case ActionType_Lift: return play_lift(player, target);
    case ActionType_Pull: return play_pull(player, target);
    case ActionType_Release: return target.carrier == player.id ? play_release(player) : ErrorCode_CannotDoThat;
    case ActionType_Open:
      if (Door* door = find_door(target)) toggle(door->opened);
      break;
    case ActionType_Ignite:
      if (target.fuel.capacity.cur <= 0) refuel(target);
      target.flags |= EntityFlag_Burning;
      break;
    case ActionType_Extinguish: target.flags &= ~(u32)EntityFlag_Burning; break;
    case ActionType_Activate:
      player.person.respawn_id = target.id;
      player.person.respawn_pos = world_find_land_near(target.pos, target.radius + player.radius + 8);
      break;
    case ActionType_Fill:
      if (!near_water(player.pos)) return ErrorCode_CannotDoThat;
      target.vessel.volume.cur = target.vessel.volume.max;
      break;
    case ActionType_Empty: target.vessel.volume.cur = 0; break;
    case ActionType_Destroy: play_destroy(target); break;
    case ActionType_Enter: return play_enter(player, target);
    default: break;
  }
  return ErrorCode_Ok;
}

ErrorCode play_start_action(Entity& player, Entity& target, ActionType type) {
  if (!has_component(player, Component_Actor) || &target == &player) return ErrorCode_CannotDoThat;
  ErrorCode ok = check_action(player, target, type);
  if (ok != ErrorCode_Ok) return ok;
  ActionRule rule = action_rule(type);
  Action& a = player.actor.action;
  a = Action();
  a.type = type;
  a.target_id = target.id;
  a.started = server_clock();
  a.duration = rule.duration;
  a.radius = default_action_radius;
  a.flags = ActionFlag_ComeInRange | (rule.repeats ? (u32)ActionFlag_Repeat : 0u);
  return ErrorCode_Ok;
}

void play_stop_action(Entity& player) {
  if (!has_component(player, Component_Actor)) return;
  Action& a = player.actor.action;
  if (a.type != ActionType_None && (a.custom_flags & ACTION_WALKING)) {
    if (Mover* mover = find_mover(player)) mover_set_dst(*mover, {});
  }
  a = Action();
}

// What stands in the world for the target: itself, or the container (or its holder) it lies in.
static Entity* standing_for(Entity& target) {
  Entity* e = &target;
  if (!is_item(target) && target.carrier) return world_find(target.carrier);  // lifted, or riding in a cart
  for (int depth = 0; depth < 2 && in_container(*e); depth++) {
    Entity* holder = world_find(e->item.container);
    if (!holder) return nullptr;
    e = holder;
  }
  return e;
}

// One step of one character's action; a refusal at the end is told to its session.
static void step_action(Session& s, Entity& player, f32 dt, Time now) {
  Action& a = player.actor.action;
  if (a.type == ActionType_None || a.type == ActionType_CastSpell) return;  // casts run in the fight's step
  Entity* target = world_find(a.target_id);
  Entity* place = target ? standing_for(*target) : nullptr;
  if (!target || !place) return play_stop_action(player);
  Mover* mover = find_mover(player);
  v2 point;
  if (place != &player && !(target->carrier == player.id && !is_item(*target)) &&
      need_to_come_closer(player, *place, a, &point)) {
    a.progress += dt;
    if (a.progress > APPROACH_TIME_MAX || !mover) {
      play_stop_action(player);
      return server_send_error(s, ErrorCode_CannotDoThat);
    }
    if (!(a.custom_flags & ACTION_WALKING) || !v2_equal(mover->dst, point)) mover_set_dst(*mover, point);
    a.custom_flags |= ACTION_WALKING;
    return;
  }
  if (a.custom_flags & ACTION_WALKING) {
    // Arrived: the work starts now.
    if (mover) mover_set_dst(*mover, {});
    a.custom_flags &= ~ACTION_WALKING;
    a.progress = 0;
    a.started = now;
  }
  a.progress += dt;
  if (a.progress < a.duration) return;
  ActionType type = a.type;
  Id target_id = a.target_id;
  EntityType target_type = target->type;
  bool carried = is_item(*target) && in_container(*target);
  ErrorCode result = complete_action(player, *target, type);
  if (result != ErrorCode_Ok) {
    play_stop_action(player);
    return server_send_error(s, result);
  }
  // Gathering goes on while there is something left (and room for it).
  Entity* again = world_find(target_id);
  if (!again && action_rule(type).next_piece) {
    again = carried ? find_item_by_type(player, target_type)
                    : locate_entity_by_type(target_type, in_radius(&player, NEXT_PIECE_RADIUS, player.pos));
    if (again) a.target_id = again->id;
  }
  if ((a.flags & ActionFlag_Repeat) && again && check_action(player, *again, type) == ErrorCode_Ok) {
    a.progress = 0;
    a.started = now;
  } else {
    a = Action();
  }
}

static void step_person(Entity& player, f32 dt) {
  Person& p = player.person;
  bool working = player.actor.action.type != ActionType_None || is_moving(player);
  f32 drain = ENERGY_DRAIN_PER_SECOND * dt * (working ? ENERGY_WORK_FACTOR : 1.0f);
  p.energy.cur = max(0.0f, p.energy.cur - drain);
  // The stomach's slots digest into energy, each at its own pace, until full.
  for (StomachSlot& slot : p.stomach.slots) {
    if (slot.type == Entity_None) continue;
    f32 take = min(slot.energy.cur, DIGEST_PER_SECOND * dt);
    take = min(take, max(0.0f, p.energy.max - p.energy.cur));
    slot.energy.cur -= take;
    p.energy.cur += take;
    if (slot.energy.cur <= 0) slot = StomachSlot();
  }
}

// Once a second: bushes and veins regrow, fires burn their fuel and then the wood laid in them.
static void step_world_second() {
  int n = min((int)entity_storage.nentities, ENTITIES_MAX);
  for (int i = 0; i < n; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id == 0) continue;
    if (Bush* bush = find_bush(e)) {
      if (bush->berries < BERRIES_MAX && world_random_f32(0, BERRY_REGROW_SECONDS) < 1) bush->berries++;
    } else if (Vein* vein = find_vein(e)) {
      if (vein->ore < ORE_MAX && world_random_f32(0, ORE_REGROW_SECONDS) < 1) vein->ore++;
    } else if ((e.flags & EntityFlag_Burning) && has_component(e, Component_Fuel) &&
               !(e.flags & EntityFlag_Protected)) {  // a fixture's light is kept up by the place itself
      e.fuel.capacity.cur = max(0.0f, e.fuel.capacity.cur - FUEL_BURN_PER_SECOND);
      if (e.fuel.capacity.cur <= 0 && !refuel(e)) {
        world_touch(e);  // gone out: a restart finds it cold
        e.flags &= ~(u32)EntityFlag_Burning;
      }
    }
  }
}

void play_update(f32 dt, Time now) {
  play_update_creatures(dt, now);
  play_update_fighting(dt, now);
  for (Session& s : server.sessions) {
    Entity* player = s.active ? world_find(s.player_id) : nullptr;
    if (!player || !is_person(*player)) continue;
    if (has_component(*player, Component_Actor)) step_action(s, *player, dt, now);
    step_person(*player, dt);
  }
  static f32 second;
  second += dt;
  if (second >= 1.0f) {
    second -= 1.0f;
    step_world_second();
  }
}
