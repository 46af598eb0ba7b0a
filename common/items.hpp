#pragma once
// What an entity holds and what it may do to another: gear, bags, belts and containers, use range,
// approach points and crop ripening.
#include "entity.hpp"

enum GearSlot : u32 {
  GearSlot_Bag = 0,
  GearSlot_LeftHand = 1,
  GearSlot_RightHand = 2,
  GearSlot_Helmet = 3,
  GearSlot_BodyArmor = 4,
  GearSlot_Belt = 5,
  GearSlot_LegsArmor = 6,
  GearSlot_Boots = 7,
  GearSlot_num = 8,
};

typedef u8 SlotIndex;
constexpr SlotIndex SlotNotFound = 255;
constexpr SlotIndex SlotAny = 254;  // any free slot, in requests that move items

enum CropStage : u8 {
  CropStage_Sprout = 0,
  CropStage_Young = 1,
  CropStage_Mature = 2,
  CropStage_Harvest = 3,
  CropStage_Dead = 4,
};

// The gap allowed between the edges of two circles for using one on the other.
constexpr f32 default_action_radius = 4.0f;

struct ItemIter {
  Entity* entity = nullptr;
  const Container* container = nullptr;
  s32 index = 0;
};

const char* gear_slot_name(u32 slot);
const char* crop_stage_name(u32 stage);
const char* thinker_activity_name(u32 activity);
const char* action_type_name(u32 type);

// --- containers and gear

Container* find_items_container(const Item& item);
SlotIndex find_items_slot(const Container& container, Id id);
Id gear_id_at(const Entity& entity, u32 slot);
Entity* gear_at(const Entity& entity, u32 slot);
Entity* find_gear(const Entity& entity, EntityType type);
Entity* find_tool(const Entity& entity, u32 tool_mask);
Entity* find_bag(const Entity& entity);
Entity* find_item_by_type(const Entity& entity, EntityType type);
ItemIter find_items(const Entity& entity);  // the person's bag; empty without one
ItemIter get_items(Entity& entity);         // the entity's own container, which it must have
void next(ItemIter& it);

// --- what goes where (both sides: the server enforces, the client can tell before asking)

// The gear slot an item is worn in: bags in the bag slot, belts on the belt, weapons and tools in the right
// hand, lights in the left; SlotNotFound for what cannot be worn.
SlotIndex equip_slot(const Entity& item);
// Whether `item` may lie in slot `slot` of `holder`'s container. Gear slots take what is worn there (hands
// take any item that is not a container); a belt takes tools and weapons; an item that is itself a
// container never goes into another carried container, so possessions nest at most two deep.
bool slot_accepts(const Entity& holder, u32 slot, const Entity& item);
// The first empty slot, or SlotNotFound.
SlotIndex find_free_slot(const Container& container);

// --- action rules

// The tools (ToolType bits) an action needs on the actor (find_tool), 0 when it needs none.
u32 action_tool(ActionType type);

bool can_run(const Entity& user, ActionType type, const Entity* target);
f32 usage_radius(const Entity& user, const Entity& entity);
bool can_use(const Entity& user, const Entity& entity);
// True when the user must walk to *result first; otherwise *result is the user's position.
bool need_to_come_closer(const Entity& user, const Entity& entity, const Action& action, v2* result);
CropStage crop_stage(const Crop& crop, Time now);
bool is_digesting(const Person& person);
