// Possessions: items between containers, gear and the ground; lifted burdens and pulled carts. Every
// move first takes the item out of its one place and then puts it in exactly one new place, and is
// checked whole before anything changes, so a refusal never leaves an item half moved.
#include "items.hpp"
#include "physics.hpp"
#include "play.hpp"

// How far from its carrier's edge a burden or an item may be set down.
constexpr f32 PLACE_REACH = 2 * tile_size;

void play_detach(Entity& item) {
  world_touch(item);
  if (in_container(item)) {
    if (Entity* holder = world_find(item.item.container)) {
      if (Container* c = find_container(*holder)) {
        for (int i = 0; i < container_nslots(*c); i++)
          if (c->slots[i] == item.id) c->slots[i] = 0;
      }
    }
    item.item.container = 0;
    item.pos = InvalidPos;
    item.next_in_grid = nullptr;
  } else {
    remove_from_grid(item);
  }
}

static SlotIndex choose_slot(const Entity& holder, const Entity& item, SlotIndex slot) {
  const Container* c = find_container(holder);
  if (!c) return SlotNotFound;
  if (slot != SlotAny) {
    if (slot >= container_nslots(*c) || c->slots[slot] != 0 || !slot_accepts(holder, slot, item)) return SlotNotFound;
    return slot;
  }
  for (int i = 0; i < container_nslots(*c); i++)
    if (c->slots[i] == 0 && slot_accepts(holder, (u32)i, item)) return (SlotIndex)i;
  return SlotNotFound;
}

ErrorCode play_attach(Entity& item, Entity& holder, SlotIndex slot) {
  SlotIndex at = choose_slot(holder, item, slot);
  if (at == SlotNotFound) return ErrorCode_NoSpace;
  holder.container.slots[at] = item.id;
  item.item.container = holder.id;
  world_touch(holder);
  item.pos = InvalidPos;
  item.next_in_grid = nullptr;
  return ErrorCode_Ok;
}

void play_to_ground(Entity& item, v2 pos) {
  if (is_item(item)) item.item.container = 0;
  if (!world_is_walkable(pos)) pos = world_find_land_near(pos, tile_size);
  item.location = world_location_at(pos).ref;
  set_pos(item, pos);
}

ErrorCode play_give(Entity& player, EntityType type) {
  Entity* bag = find_bag(player);
  Entity* prototype = find_entity_prototype(type);
  if (!bag || !prototype) return ErrorCode_NoSpace;
  SlotIndex slot = choose_slot(*bag, *prototype, SlotAny);
  if (slot == SlotNotFound) return ErrorCode_NoSpace;
  return world_spawn_in(type, *bag, slot) ? ErrorCode_Ok : ErrorCode_NoSpace;
}

Entity* play_give_or_drop(Entity& player, EntityType type) {
  if (play_give(player, type) == ErrorCode_Ok) return find_bag(player);
  Entity* e = world_spawn(type, player.pos);
  if (e) play_to_ground(*e, world_find_land_near(player.pos, player.radius + 8));
  return e;
}

// The person whose possession the item is (gear, or a bag or belt worn), or null.
static const Entity* possessor(const Entity& item) {
  const Entity* holder = in_container(item) ? world_find(item.item.container) : nullptr;
  if (holder && in_container(*holder)) holder = world_find(holder->item.container);
  return holder && is_person(*holder) ? holder : nullptr;
}

bool play_can_take(const Entity& player, const Entity& item) {
  // A protected item is a fixture of its place (a dungeon's torch): nobody carries it off.
  if (!is_item(item) || &item == &player || (item.flags & EntityFlag_Protected)) return false;
  const Entity* owner = possessor(item);
  if (owner) return owner == &player;
  // In a world container: that container must stand on the ground, not be lifted away.
  if (in_container(item)) {
    const Entity* holder = world_find(item.item.container);
    if (!holder || v2_equal(holder->pos, InvalidPos)) return false;
  }
  return can_use(player, item);
}

// Whether the player may put things into `holder`: itself, its worn bag or belt, or a container in reach.
static bool can_fill(const Entity& player, const Entity& holder) {
  if (!find_container(holder)) return false;
  if (&holder == &player) return true;
  if (is_person(holder)) return false;
  if (in_container(holder)) return possessor(holder) == &player;
  if (v2_equal(holder.pos, InvalidPos)) return false;
  return can_use(player, holder);
}

static bool holds(const Entity& outer, const Entity& inner) {
  for (const Entity* e = &inner; e && in_container(*e);) {
    if (e->item.container == outer.id) return true;
    e = world_find(e->item.container);
    if (e == &inner) return false;
  }
  return false;
}

// A lifted burden set into a cart, standing or pulled: it rides in one of the cart's slots, its carrier the
// cart, until someone lifts it out again.
static ErrorCode load_cart(Entity& player, Entity& burden, Entity& cart, SlotIndex slot) {
  if (!has_component(cart, Component_Cart) || !find_container(cart) || v2_equal(cart.pos, InvalidPos) ||
      !can_use(player, cart))
    return ErrorCode_CannotDoThat;
  Container& c = cart.container;
  if (slot != SlotAny && slot >= container_nslots(c)) return ErrorCode_BadRequest;
  if (slot != SlotAny && c.slots[slot] != 0) return ErrorCode_AlreadyInUse;
  SlotIndex at = slot == SlotAny ? find_free_slot(c) : slot;
  if (at == SlotNotFound) return ErrorCode_NoSpace;
  world_touch(cart);
  world_touch(burden);
  c.slots[at] = burden.id;
  burden.carrier = cart.id;
  burden.user = 0;
  player.mortal.burden = 0;
  return ErrorCode_Ok;
}

ErrorCode play_move_item(Entity& player, Entity& item, Entity& holder, SlotIndex slot) {
  if (const Mortal* mortal = find_mortal(player);
      mortal && mortal->burden == item.id && !is_item(item) && !(item.flags & EntityFlag_Pulled))
    return load_cart(player, item, holder, slot);
  if (!play_can_take(player, item) || !can_fill(player, holder) || &holder == &item || holds(item, holder))
    return ErrorCode_CannotDoThat;
  if (in_container(item) && item.item.container == holder.id) {
    // A move within one container: the same slot is no move at all, another must be free.
    SlotIndex from = find_items_slot(holder.container, item.id);
    if (slot == from || slot == SlotAny) return ErrorCode_Ok;
  }
  if (slot != SlotAny && slot >= container_nslots(holder.container)) return ErrorCode_BadRequest;
  if (slot != SlotAny && holder.container.slots[slot] != 0) return ErrorCode_AlreadyInUse;
  if (choose_slot(holder, item, slot) == SlotNotFound)
    return slot == SlotAny ? ErrorCode_NoSpace : ErrorCode_CannotDoThat;
  play_detach(item);
  return play_attach(item, holder, slot);
}

ErrorCode play_pick_up(Entity& player, Entity& item) {
  if (!play_can_take(player, item)) return ErrorCode_CannotDoThat;
  Entity* bag = find_bag(player);
  if (!bag || bag == &item) return play_equip(player, item);
  if (holds(*bag, item)) return ErrorCode_Ok;
  if (choose_slot(*bag, item, SlotAny) == SlotNotFound) {
    // What the bag cannot take but the player can wear is worn instead.
    if (equip_slot(item) != SlotNotFound && equip_slot(item) != GearSlot_Bag) return play_equip(player, item);
    return ErrorCode_NoSpace;
  }
  play_detach(item);
  return play_attach(item, *bag, SlotAny);
}

ErrorCode play_equip(Entity& player, Entity& item) {
  if (!play_can_take(player, item)) return ErrorCode_CannotDoThat;
  SlotIndex slot = equip_slot(item);
  if (slot == SlotNotFound) return ErrorCode_CannotDoThat;
  if (item.item.container == player.id) return ErrorCode_Ok;  // worn already
  Container& gear = player.container;
  if (slot == GearSlot_RightHand && gear.slots[slot] && !gear.slots[GearSlot_LeftHand]) slot = GearSlot_LeftHand;
  Entity* worn = world_find(gear.slots[slot]);
  if (worn && (holds(*worn, item) || !is_item(*worn))) return ErrorCode_CannotDoThat;
  // What was worn goes where the new item was, else into the bag, else to the ground.
  Entity* from = in_container(item) ? world_find(item.item.container) : nullptr;
  SlotIndex from_slot = from ? find_items_slot(from->container, item.id) : SlotNotFound;
  v2 ground = in_container(item) ? player.pos : item.pos;
  play_detach(item);
  if (worn) {
    play_detach(*worn);
    Entity* bag = find_bag(player);
    if (from && from != worn && slot_accepts(*from, from_slot, *worn))
      play_attach(*worn, *from, from_slot);
    else if (bag && bag != worn && play_attach(*worn, *bag, SlotAny) == ErrorCode_Ok) {
    } else
      play_to_ground(*worn, ground);
  }
  return play_attach(item, player, slot);
}

// A point to set something down: near enough to the player, else refused.
static bool place_point(const Entity& player, const Entity& target, v2 pos) {
  if (!server_finite_v2(pos)) return false;
  return v2_distance_le(player.pos, pos, player.radius + target.radius + PLACE_REACH);
}

ErrorCode play_place(Entity& player, Entity& target, v2 pos, u32 flags) {
  if (!place_point(player, target, pos)) return ErrorCode_CannotDoThat;
  Mortal* mortal = find_mortal(player);
  if (mortal && mortal->burden == target.id && !is_item(target)) {
    if (target.flags & EntityFlag_Pulled) return ErrorCode_CannotDoThat;  // a cart is released, not placed
    if (!world_is_walkable(pos)) return ErrorCode_CannotDoThat;
    world_touch(target);
    mortal->burden = 0;
    target.carrier = 0;
    target.user = 0;
    target.flags = (target.flags & ~3u) | (flags & 3u);
    set_pos(target, pos);
    return ErrorCode_Ok;
  }
  if (!play_can_take(player, target) || !in_container(target)) return ErrorCode_CannotDoThat;
  play_detach(target);
  play_to_ground(target, pos);
  return ErrorCode_Ok;
}

ErrorCode play_lift(Entity& player, Entity& target) {
  Mortal* mortal = find_mortal(player);
  if (!mortal || !(target.flags & EntityFlag_Liftable) || is_item(target) || is_person(target))
    return ErrorCode_CannotDoThat;
  if (target.carrier == player.id) return ErrorCode_Ok;
  if (mortal->burden != 0) return ErrorCode_AlreadyInUse;
  Entity* cart = target.carrier ? world_find(target.carrier) : nullptr;
  if (cart && has_component(*cart, Component_Cart) && find_container(*cart)) {
    // Out of a cart: from where the cart stands.
    if (!can_use(player, *cart)) return ErrorCode_CannotDoThat;
    SlotIndex at = find_items_slot(cart->container, target.id);
    if (at != SlotNotFound) cart->container.slots[at] = 0;
    world_touch(*cart);
  } else if (target.carrier != 0) {
    return ErrorCode_AlreadyInUse;
  } else if (!can_use(player, target)) {
    return ErrorCode_CannotDoThat;
  }
  world_touch(target);
  remove_from_grid(target);
  target.carrier = player.id;
  mortal->burden = target.id;
  return ErrorCode_Ok;
}

ErrorCode play_pull(Entity& player, Entity& cart) {
  Mortal* mortal = find_mortal(player);
  if (!mortal || !has_component(cart, Component_Cart)) return ErrorCode_CannotDoThat;
  if (cart.carrier != 0) return cart.carrier == player.id ? ErrorCode_Ok : ErrorCode_AlreadyInUse;
  if (mortal->burden != 0) return ErrorCode_AlreadyInUse;
  if (!can_use(player, cart)) return ErrorCode_CannotDoThat;
  world_touch(cart);
  cart.carrier = player.id;
  cart.flags |= EntityFlag_Pulled;
  mortal->burden = cart.id;
  return ErrorCode_Ok;
}

ErrorCode play_release(Entity& player) {
  Mortal* mortal = find_mortal(player);
  Entity* cart = mortal ? world_find(mortal->burden) : nullptr;
  if (!cart || !(cart->flags & EntityFlag_Pulled)) return ErrorCode_CannotDoThat;
  cart->carrier = 0;
  cart->flags &= ~(u32)EntityFlag_Pulled;
  mortal->burden = 0;
  return ErrorCode_Ok;
}

void play_put_down_burden(Entity& player) {
  Mortal* mortal = find_mortal(player);
  Entity* burden = mortal ? world_find(mortal->burden) : nullptr;
  if (mortal) mortal->burden = 0;
  if (!burden || burden->carrier != player.id) return;
  burden->carrier = 0;
  burden->user = 0;
  if (burden->flags & EntityFlag_Pulled) {
    burden->flags &= ~(u32)EntityFlag_Pulled;
    return;
  }
  set_pos(*burden, world_find_land_near(player.pos, player.radius + burden->radius));
}

void play_destroy(Entity& e) {
  v2 at = e.pos;
  if (in_container(e)) {
    const Entity* holder = world_find(e.item.container);
    at = holder ? holder->pos : InvalidPos;
  }
  if (Container* c = find_container(e)) {
    for (int i = 0; i < container_nslots(*c); i++) {
      Entity* inner = world_find(c->slots[i]);
      if (!inner || inner == &e) continue;
      play_detach(*inner);
      if (!is_item(*inner)) inner->carrier = 0;  // a burden that rode in it
      if (v2_equal(at, InvalidPos))
        world_remove(*inner);
      else
        play_to_ground(*inner, at);
    }
  }
  if (Entity* carrier =
          (e.flags & (EntityFlag_Liftable | EntityFlag_Pulled)) && !is_item(e) ? world_find(e.carrier) : nullptr) {
    if (Mortal* mortal = find_mortal(*carrier)) {
      if (mortal->burden == e.id) mortal->burden = 0;
    }
  }
  world_remove(e);
}
