// The server's world: the pool with generation-checked ids, characters in and out, and the tick's step.
#include "world.hpp"

#include "items.hpp"
#include "physics.hpp"
#include "play.hpp"

World world;

// --- randomness (seeded, so a world seed gives the same world)

u32 world_random() {
  u32 x = world.rng ? world.rng : 0x9E3779B9u;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  world.rng = x;
  return x;
}

f32 world_random_f32(f32 from, f32 to) { return from + (to - from) * (f32)(world_random() >> 8) / (f32)(1u << 24); }

// --- the pool

bool world_reset(int width, int height, const u8* tiles) {
  world_free();
  entity_storage_clear();
  world.nfree = 0;
  world.nalive = 0;
  world.populated = false;
  world.ngone = 0;
  world.tiles_changed = false;
  memset(world.generation, 0, sizeof(world.generation));
  location_free(world.dungeon);
  if (!tiles) return true;
  LocationRef ref = {LocationType_World, 0};
  return location_init(world.location, ref, "world", LOCATION_NAME_LEN, width, height, v2{0, 0}, tiles,
                       (s64)width * height);
}

void world_free() {
  location_free(world.location);
  location_free(world.dungeon);
}

bool same_location(LocationRef a, LocationRef b) { return a.type == b.type && a.index == b.index; }

Location* world_location(LocationRef ref) {
  Location* l =
      same_location(ref, world.dungeon.ref) && location_has_grid(&world.dungeon) ? &world.dungeon : &world.location;
  return location_has_grid(l) ? l : nullptr;
}

static bool location_holds(const Location& l, v2 pos) {
  return location_has_grid(&l) && pos.x >= l.offset.x && pos.y >= l.offset.y && pos.x < l.offset.x + l.size.x &&
         pos.y < l.offset.y + l.size.y;
}

Location& world_location_at(v2 pos) { return location_holds(world.dungeon, pos) ? world.dungeon : world.location; }

Entity* world_find(Id id) {
  u32 slot = id & ((1u << ENTITY_ID_SLOT_BITS) - 1);
  if (slot == 0 || slot > entity_storage.nentities) return nullptr;
  Entity& e = entity_storage.entities[slot - 1];
  return e.id == id ? &e : nullptr;
}

int world_entity_count() { return world.nalive; }

Entity* world_alloc(EntityType type) {
  Entity* prototype = find_entity_prototype(type);
  if (!prototype || type == Entity_None) return nullptr;
  int index;
  if (world.nfree > 0) {
    index = world.free_slots[--world.nfree];
  } else if (entity_storage.nentities < ENTITIES_MAX) {
    index = entity_storage.nentities++;
  } else {
    return nullptr;
  }
  Entity& e = entity_storage.entities[index];
  memset((void*)&e, 0, sizeof(Entity));
  copy_prototype(&e, *prototype);
  // The generation lives above the slot bits; it wraps long before it could repeat an id still held.
  world.generation[index] = (world.generation[index] + 1) & ((1u << (32 - ENTITY_ID_SLOT_BITS)) - 1);
  e.id = (world.generation[index] << ENTITY_ID_SLOT_BITS) | (u32)(index + 1);
  e.location = world.location.ref;
  e.pos = InvalidPos;
  world.nalive++;
  return &e;
}

Entity* world_spawn(EntityType type, v2 pos) {
  Entity* e = world_alloc(type);
  if (!e) return nullptr;
  if (world.populated) e->flags |= EntityFlag_Modified;
  e->location = world_location_at(pos).ref;
  set_pos(*e, pos);
  return e;
}

Entity* world_spawn_in(EntityType type, Entity& container_entity, int slot) {
  Container* container = find_container(container_entity);
  if (!container || slot < 0 || slot >= container_nslots(*container) || container->slots[slot] != 0) return nullptr;
  Entity* prototype = find_entity_prototype(type);
  if (!prototype || !has_component(*prototype, Component_Item)) return nullptr;
  Entity* e = world_alloc(type);
  if (!e) return nullptr;
  world_touch(container_entity);
  e->item.container = container_entity.id;
  container->slots[slot] = e->id;
  return e;
}

void world_remove(Entity& e) {
  if (e.id == 0) return;
  world_touch(e);  // before its contents go, so they find it already changed
  if (Container* container = find_container(e)) {
    for (int i = 0; i < container_nslots(*container); i++) {
      Entity* inner = world_find(container->slots[i]);
      if (inner && inner != &e) world_remove(*inner);
      container->slots[i] = 0;
    }
  }
  if (in_container(e)) {
    if (Entity* owner = world_find(e.item.container)) {
      if (Container* c = find_container(*owner)) {
        for (int i = 0; i < container_nslots(*c); i++)
          if (c->slots[i] == e.id) c->slots[i] = 0;
      }
    }
  } else {
    remove_from_grid(e);
  }
  int index = (int)(&e - entity_storage.entities);
  memset((void*)&e, 0, sizeof(Entity));
  world.free_slots[world.nfree++] = (u16)index;
  world.nalive--;
}

// --- places

bool world_is_walkable(v2 pos) { return world_is_walkable_in(world_location_at(pos), pos); }

bool world_is_walkable_in(const Location& l, v2 pos) {
  if (!location_holds(l, pos)) return false;
  TileType t = get_tile_at(l, pos);
  return t != TileType_None && t != TileType_DeepWater && t != TileType_ShallowWater;
}

v2 world_find_land_near(v2 pos, f32 radius) {
  for (int attempt = 0; attempt < 24; attempt++) {
    f32 angle = world_random_f32(0, tau);
    f32 r = world_random_f32(0, radius);
    v2 p = pos + v2{cosf(angle) * r, sinf(angle) * r};
    if (world_is_walkable(p)) return p;
  }
  return pos;
}

// --- characters

static void make_new_character(Entity& p, const char* name) {
  enable_component(p, Component_Mover);
  enable_component(p, Component_Actor);
  enable_component(p, Component_Mortal);
  enable_component(p, Component_Container);
  p.mover.base_speed = PLAYER_BASE_SPEED;
  p.mover.speed = PLAYER_BASE_SPEED;
  set_param(p.mover.stamina, 100);
  set_param(p.mortal.hp, PLAYER_HP);
  set_param(p.actor.mana, PLAYER_MANA);
  set_param(p.actor.energy, 100);
  set_param(p.actor.strength, 10);
  set_param(p.actor.dexterity, 10);
  set_param(p.actor.intellect, 10);
  p.actor.spellset[SpellType_Strike].level = 1;
  cstr_copy(p.person.name, name, PLAYER_NAME_LEN);
  p.person.lvl = 1;
  p.person.xp = {0, 100};
  set_param(p.person.energy, 100);
  p.container.nslots = GearSlot_num;
}

// Where it stood, in the world or in the dungeon (regenerated the same at every start); by the spawn when
// that spot is gone.
static void place_character(Entity& p, v2 wanted) {
  p.location = world.location.ref;
  // A respawn point chosen at a stone is the character's own; a new one (or one no longer on land) is the spawn.
  if (is_zero(p.person.respawn_pos) || !world_is_walkable_in(world.location, p.person.respawn_pos))
    p.person.respawn_pos = world.spawn;
  if (location_holds(world.dungeon, wanted) && world_is_walkable_in(world.dungeon, wanted)) {
    p.location = world.dungeon.ref;
    return set_pos(p, wanted);
  }
  set_pos(p, world_is_walkable_in(world.location, wanted) ? wanted : world_find_land_near(world.spawn, 3 * tile_size));
}

static bool valid_record(const Entity& record) {
  return record.type != Entity_None && find_entity_prototype(record.type) != nullptr;
}

// The record count of a well-formed blob (with or without the way out of the dungeon after the records);
// 0 for anything else.
static u32 saved_count(const u8* saved, int saved_size) {
  if (!saved || saved_size < SAVED_CHARACTER_HEADER) return 0;
  u32 magic = 0, count = 0;
  memcpy(&magic, saved, 4);
  memcpy(&count, saved + 4, 4);
  if (magic != SAVED_CHARACTER_MAGIC || count < 1 || count > SAVED_CHARACTER_RECORDS_MAX) return 0;
  int records = SAVED_CHARACTER_HEADER + (int)count * Entity_Shared_Size;
  return saved_size == records || saved_size == records + SAVED_CHARACTER_RETURN ? count : 0;
}

v2 world_saved_return(const u8* saved, int saved_size) {
  u32 count = saved_count(saved, saved_size);
  int records = SAVED_CHARACTER_HEADER + (int)count * Entity_Shared_Size;
  if (!count || saved_size != records + SAVED_CHARACTER_RETURN) return InvalidPos;
  v2 pos;
  memcpy(&pos, saved + records, sizeof(pos));
  return server_finite_v2(pos) ? pos : InvalidPos;
}

bool world_saved_character_valid(const u8* saved, int saved_size) {
  if (saved_size == 0) return true;
  if (!saved_count(saved, saved_size)) return false;
  static Entity first;
  memset((void*)&first, 0, sizeof(Entity));
  memcpy((void*)&first, saved + SAVED_CHARACTER_HEADER, Entity_Shared_Size);
  return first.type == Entity_Player && has_component(first, Component_Person);
}

Entity* world_enter_character(const char* name, bool admin, const u8* saved, int saved_size) {
  Entity* p = world_alloc(Entity_Player);
  if (!p) return nullptr;
  Id player_id = p->id;
  bool restored = false;
  v2 wanted = world.spawn;

  if (u32 count = saved_count(saved, saved_size)) {
    // Records come back with new ids; links between them are rewritten through this table.
    static Entity records[SAVED_CHARACTER_RECORDS_MAX];
    Id new_ids[SAVED_CHARACTER_RECORDS_MAX] = {};
    for (u32 i = 0; i < count; i++) {
      memset((void*)&records[i], 0, sizeof(Entity));
      memcpy((void*)&records[i], saved + SAVED_CHARACTER_HEADER + i * Entity_Shared_Size, Entity_Shared_Size);
    }
    auto map_id = [&](Id old) -> Id {
      if (old == 0) return 0;
      for (u32 i = 0; i < count; i++)
        if (records[i].id == old) return new_ids[i];
      return 0;
    };
    if (records[0].type == Entity_Player && has_component(records[0], Component_Person)) {
      memcpy((char*)p + Entity_Prototype_Offset, (const char*)&records[0] + Entity_Prototype_Offset,
             Entity_Prototype_Size);
      wanted = records[0].pos;
      new_ids[0] = player_id;
      restored = true;
      // Possessions: only items of known kinds come back.
      for (u32 i = 1; i < count; i++) {
        if (!valid_record(records[i]) || !has_component(records[i], Component_Item)) continue;
        Entity* item = world_alloc(records[i].type);
        if (!item) break;
        Id id = item->id;
        memcpy((char*)item + Entity_Prototype_Offset, (const char*)&records[i] + Entity_Prototype_Offset,
               Entity_Prototype_Size);
        new_ids[i] = id;
      }
      for (u32 i = 0; i < count; i++) {
        Entity* e = world_find(new_ids[i]);
        if (!e) continue;
        if (Container* c = find_container(*e)) {
          c->nslots = (u8)container_nslots(*c);
          for (int s = 0; s < CONTAINER_SLOTS_MAX; s++) c->slots[s] = s < c->nslots ? map_id(c->slots[s]) : 0;
        }
        if (i > 0) e->item.container = map_id(records[i].item.container);
      }
      // A slot may only name an item that names this holder back; anything else is emptied.
      for (u32 i = 0; i < count; i++) {
        Entity* e = world_find(new_ids[i]);
        Container* c = e ? find_container(*e) : nullptr;
        if (!c) continue;
        for (int s = 0; s < c->nslots; s++) {
          Entity* item = world_find(c->slots[s]);
          if (!item || item == e || !in_container(*item) || item->item.container != e->id) c->slots[s] = 0;
          for (int k = 0; k < s; k++)
            if (c->slots[k] == c->slots[s]) c->slots[s] = 0;
        }
      }
      // An item whose holder did not come back, or that its holder does not list, would float nowhere.
      for (u32 i = 1; i < count; i++) {
        Entity* e = world_find(new_ids[i]);
        if (!e) continue;
        Entity* holder = world_find(e->item.container);
        Container* c = holder ? find_container(*holder) : nullptr;
        if (!c || find_items_slot(*c, e->id) == SlotNotFound) world_remove(*e);
      }
    }
  }
  if (!restored) {
    memset((char*)p + Entity_Prototype_Offset, 0, Entity_Prototype_Size);
    copy_prototype(p, *get_entity_prototype(Entity_Player));
    make_new_character(*p, name);
    world_spawn_in(Entity_bag, *p, GearSlot_Bag);
  }
  // What the database says wins over what the blob says.
  cstr_copy(p->person.name, name, PLAYER_NAME_LEN);
  p->flags = admin ? (p->flags | EntityFlag_IsAdmin) : (p->flags & ~(u32)EntityFlag_IsAdmin);
  p->flags &= ~(u32)EntityFlag_Invisible;
  // A burden or an action names entities of the world the record was saved in: neither comes back.
  if (Actor* actor = find_actor(*p)) actor->action = actor->next_action = Action();
  if (Mortal* mortal = find_mortal(*p)) {
    mortal->burden = 0;
    mortal->death_time = Time();  // a character saved dead comes back alive
    if (!(mortal->hp.cur > 0)) mortal->hp.cur = mortal->hp.max > 0 ? mortal->hp.max : PLAYER_HP;
  }
  if (Mover* mover = find_mover(*p)) {
    mover->dst = mover->desired_dir = mover->vel = mover->acc = mover->slide = {};
    mover->is_sliding = false;
    if (!(mover->speed > 0)) mover->speed = mover->base_speed > 0 ? mover->base_speed : PLAYER_BASE_SPEED;
  }
  p->next_in_grid = nullptr;
  place_character(*p, wanted);
  return p;
}

int world_save_character(const Entity& player, u8* out, int capacity, v2 return_pos) {
  const Entity* list[SAVED_CHARACTER_RECORDS_MAX];
  int n = 0;
  list[n++] = &player;
  // Breadth first through the containers: gear, then what bags hold, and so on.
  for (int i = 0; i < n; i++) {
    const Container* c = find_container(*list[i]);
    if (!c) continue;
    for (int s = 0; s < container_nslots(*c) && n < SAVED_CHARACTER_RECORDS_MAX; s++) {
      const Entity* item = world_find(c->slots[s]);
      if (!item || item == &player) continue;
      bool seen = false;
      for (int k = 0; k < n; k++) seen = seen || list[k] == item;
      if (!seen) list[n++] = item;
    }
  }
  int records = SAVED_CHARACTER_HEADER + n * Entity_Shared_Size;
  bool way_out = same_location(player.location, world.dungeon.ref) && !v2_equal(return_pos, InvalidPos);
  int size = records + (way_out ? SAVED_CHARACTER_RETURN : 0);
  if (size > capacity) return 0;
  u32 magic = SAVED_CHARACTER_MAGIC, count = (u32)n;
  memcpy(out, &magic, 4);
  memcpy(out + 4, &count, 4);
  for (int i = 0; i < n; i++)
    memcpy(out + SAVED_CHARACTER_HEADER + i * Entity_Shared_Size, list[i], Entity_Shared_Size);
  if (way_out) memcpy(out + records, &return_pos, sizeof(return_pos));
  return size;
}

void world_leave_character(Entity& player) { world_remove(player); }

// --- the clock and the step

GameTime world_game_time() {
  // An in-game hour passes in a real minute; `second` holds the minute of the hour.
  u64 total = (u64)world.game_seconds;
  GameTime t;
  t.hour = (u8)((total / 60) % 24);
  t.second = (u8)(total % 60);
  return t;
}

void world_set_game_time(GameTime t) { world.game_seconds = (f64)((t.hour % 24) * 60 + (t.second % 60)); }

void world_update(f32 dt, Time now) {
  play_update_creatures(dt, now);
  update_physics(dt);
  world.game_seconds += dt;
  if (world.game_seconds >= 24 * 60) world.game_seconds -= 24 * 60;
}
