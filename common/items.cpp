// Container and gear lookups, use and approach rules, crops.
#include "items.hpp"

#include "physics.hpp"
#include "registry.hpp"

const char* gear_slot_name(u32 slot) {
  static const char* const names[GearSlot_num] = {"Bag",        "Left Hand", "Right Hand", "Helmet",
                                                  "Body Armor", "Belt",      "Legs Armor", "Boots"};
  return slot < GearSlot_num ? names[slot] : "???";
}

const char* crop_stage_name(u32 stage) {
  static const char* const names[] = {"sprout", "young", "mature", "harvest", "dead"};
  return stage < (u32)len(names) ? names[stage] : "???";
}

const char* thinker_activity_name(u32 activity) {
  static const char* const names[] = {"none", "wandering", "attacking", "fleeing", "obstacle-avoiding"};
  return activity < (u32)len(names) ? names[activity] : "???";
}

const char* action_type_name(u32 type) {
  static const char* const names[ActionType_count] = {
      "none",      "destroy", "move",       "move-towards", "activate",    "craft",           "build-place",
      "build-add", "build",   "cast-spell", "pick-up",      "equip",       "place",           "lift",
      "pull",      "release", "eat",        "consume",      "snap-branch", "collect-berries", "chop",
      "mine",      "saw",     "crush",      "cut",          "harvest",     "grind",           "open",
      "enter",     "fill",    "empty",      "ignite",       "extinguish",
  };
  return type < ActionType_count ? names[type] : "(invalid action type)";
}

// --- containers and gear

Container* find_items_container(const Item& item) {
  if (item.container == 0) return nullptr;
  Entity* owner = find_entity_by_id(item.container);
  return owner ? find_container(*owner) : nullptr;
}

SlotIndex find_items_slot(const Container& container, Id id) {
  int n = container_nslots(container);
  for (int i = 0; i < n; i++) {
    if (container.slots[i] == id) return (SlotIndex)i;
  }
  return SlotNotFound;
}

Id gear_id_at(const Entity& entity, u32 slot) {
  assert(slot < GearSlot_num);
  // A person record without its gear container can arrive from the server: it simply wears nothing.
  const Container* gear = find_container(entity);
  return gear ? gear->slots[slot] : 0;
}

Entity* gear_at(const Entity& entity, u32 slot) {
  Id id = gear_id_at(entity, slot);
  return id ? find_entity_by_id(id) : nullptr;
}

// Every walk over a container's slots goes through the iterator: empty slots and ids no longer known are
// skipped in one place.
static ItemIter items_in(const Container* container) {
  ItemIter it;
  it.container = container;
  next(it);
  return it;
}

static Entity* find_item_of_type(const Container* container, EntityType type) {
  for (ItemIter it = items_in(container); it.entity; next(it)) {
    if (it.entity->type == type) return it.entity;
  }
  return nullptr;
}

Entity* find_gear(const Entity& entity, EntityType type) { return find_item_of_type(find_container(entity), type); }

// Belts hold tools and may in principle hold belts; ids come from the server, so a belt that (directly
// or not) holds itself must not recurse forever.
constexpr int BELT_DEPTH_MAX = 4;

static Entity* find_tool_in(const Entity& entity, u32 tool_mask, int depth) {
  for (ItemIter it = items_in(find_container(entity)); it.entity; next(it)) {
    Entity* item = it.entity;
    if (has_component(*item, Component_Belt) && depth < BELT_DEPTH_MAX) {
      if (Entity* found = find_tool_in(*item, tool_mask, depth + 1)) return found;
    }
    const Tool* tool = find_tool(*item);
    if (tool && (tool->type & tool_mask)) return item;
  }
  return nullptr;
}

Entity* find_tool(const Entity& entity, u32 tool_mask) { return find_tool_in(entity, tool_mask, 0); }

Entity* find_bag(const Entity& entity) {
  assert(is_person(entity));
  return gear_at(entity, GearSlot_Bag);
}

Entity* find_item_by_type(const Entity& entity, EntityType type) {
  Entity* bag = find_bag(entity);
  return bag ? find_item_of_type(find_container(*bag), type) : nullptr;
}

ItemIter find_items(const Entity& entity) {
  Entity* bag = find_bag(entity);
  return items_in(bag ? find_container(*bag) : nullptr);
}

ItemIter get_items(Entity& entity) { return items_in(get_container(entity)); }

void next(ItemIter& it) {
  it.entity = nullptr;
  if (!it.container) return;
  int n = container_nslots(*it.container);
  while (it.index < n) {
    Id id = it.container->slots[it.index++];
    if (id == 0) continue;
    if (Entity* e = find_entity_by_id(id)) {
      it.entity = e;
      return;
    }
  }
}

// --- what goes where

SlotIndex equip_slot(const Entity& item) {
  if (!is_item(item)) return SlotNotFound;
  if (has_component(item, Component_Belt)) return GearSlot_Belt;
  if (has_component(item, Component_Container)) return GearSlot_Bag;
  if (has_component(item, Component_Weapon) || has_component(item, Component_Tool)) return GearSlot_RightHand;
  if (has_component(item, Component_Fuel)) return GearSlot_LeftHand;
  return SlotNotFound;
}

bool slot_accepts(const Entity& holder, u32 slot, const Entity& item) {
  const Container* c = find_container(holder);
  if (!c || slot >= (u32)container_nslots(*c) || !is_item(item) || &holder == &item) return false;
  bool item_holds = has_component(item, Component_Container);
  if (is_person(holder)) {
    switch (slot) {
      case GearSlot_Bag: return item_holds && !has_component(item, Component_Belt);
      case GearSlot_Belt: return has_component(item, Component_Belt);
      case GearSlot_LeftHand:
      case GearSlot_RightHand: return !item_holds;
      default: return false;  // no kind is armour yet
    }
  }
  if (item_holds && is_item(holder)) return false;
  if (has_component(holder, Component_Belt))
    return has_component(item, Component_Tool) || has_component(item, Component_Weapon);
  return true;
}

SlotIndex find_free_slot(const Container& container) {
  int n = container_nslots(container);
  for (int i = 0; i < n; i++)
    if (container.slots[i] == 0) return (SlotIndex)i;
  return SlotNotFound;
}

// --- action rules

u32 action_tool(ActionType type) {
  switch (type) {
    case ActionType_Chop: return Tool_Axe;
    case ActionType_Mine:
    case ActionType_Crush: return Tool_Pickaxe;
    case ActionType_Saw: return Tool_Saw;
    case ActionType_Cut: return Tool_Knife;
    default: return 0;
  }
}

bool can_run(const Entity& user, ActionType type, const Entity* target) {
  if (type != ActionType_Destroy) return true;
  if (!target) return false;
  if (has_component(*target, Component_Mover) || (target->flags & EntityFlag_Protected)) return false;
  if (user.location.type == LocationType_World) return true;
  return is_item(*target);
}

f32 usage_radius(const Entity& user, const Entity& entity) {
  return default_action_radius + user.radius + entity.radius;
}

bool can_use(const Entity& user, const Entity& entity) {
  if (!in_container(entity)) {
    if ((entity.flags & EntityFlag_Liftable) && !is_item(entity) && entity.carrier != 0 && entity.carrier == user.id) {
      return true;
    }
    return v2_distance_lt(user.pos, entity.pos, usage_radius(user, entity));
  }
  const Entity* container = find_entity_by_id(entity.item.container);
  if (!container) return false;
  if (container->id == user.id) return true;
  if (in_container(*container)) {
    const Entity* owner = find_entity_by_id(container->item.container);
    return owner && owner->id == user.id;
  }
  return v2_distance_lt(user.pos, container->pos, usage_radius(user, *container));
}

bool need_to_come_closer(const Entity& user, const Entity& entity, const Action& action, v2* result) {
  *result = user.pos;
  if (action.type == ActionType_CastSpell && !(action.flags & ActionFlag_ComeInRange)) return false;

  const Entity* target = &entity;
  v2 point = action.dst;
  if (is_zero(point)) {
    point = entity.pos;
    // A lifted thing is where its carrier is, and is reached by reaching the carrier.
    if ((entity.flags & EntityFlag_Liftable) && !is_item(entity) && entity.carrier != 0) {
      if (const Entity* carrier = find_entity_by_id(entity.carrier)) {
        target = carrier;
        point = carrier->pos;
      }
    }
  }

  if (!is_rectangular(*target)) {
    v2 d = point - user.pos;
    f32 reach = action.radius + user.radius + target->radius;
    if (v2_len_sqr(d) <= reach * reach) return false;
    *result = point - v2_with_len(d, reach - action.radius / 2);
    return true;
  }

  Bbox box = entity_bbox(*target);
  v2 shift = point - target->pos;
  v2 lo = v2{box.min.x, box.min.y} + shift;
  v2 hi = v2{box.max.x, box.max.y} + shift;
  v2 c = v2_clamp(user.pos, lo, hi);
  v2 d = c - user.pos;
  f32 reach = action.radius + user.radius;
  if (v2_len_sqr(d) - reach * reach <= 0.1f) return false;
  *result = c - v2_with_len(d, reach);
  return true;
}

CropStage crop_stage(const Crop& crop, Time now) {
  // A planting time ahead of the clock (clocks differ) counts as just planted, not as ancient.
  u64 age = now.ns >= crop.planted_time.ns ? now.ns - crop.planted_time.ns : 0;
  u64 s = Seconds.ns;
  if (age < 30 * s) return CropStage_Sprout;
  if (age < 60 * s) return CropStage_Young;
  if (age < 90 * s) return CropStage_Mature;
  if (age < 60 * Minutes.ns) return CropStage_Harvest;
  return CropStage_Dead;
}

bool is_digesting(const Person& person) {
  for (const StomachSlot& slot : person.stomach.slots) {
    if (slot.type != Entity_None) return true;
  }
  return false;
}
