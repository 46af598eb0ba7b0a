// What of the world survives a restart. The world is generated again from its seed, then the saved
// changes are laid over it: the generated entities that went are taken away, every changed entity
// (placed, built, moved, filled or emptied) comes back with what it holds, and painted tiles come back.
#include <stdlib.h>

#include "items.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "world.hpp"

constexpr u32 SAVED_WORLD_MAGIC_V1 = 0x444C5756;  // "VWLD": without tiles, still read
constexpr int SAVED_WORLD_HEADER_V1 = 12;         // magic, gone count, record count
constexpr u32 SAVED_WORLD_MAGIC = 0x324C5756;     // "VWL2"
constexpr int SAVED_WORLD_HEADER = 16;            // magic, gone count, record count, tile count
constexpr int SAVED_GONE_SIZE = 12;               // type, x, y

static bool kept_by_world(const Entity& e) {
  return e.type != Entity_Player && !has_component(e, Component_Person) && !has_component(e, Component_Thinker) &&
         !has_component(e, Component_Projectile) && !(e.flags & EntityFlag_Ephemeral);
}

void world_touch(Entity& e) {
  if (!world.populated) return;
  Entity* root = &e;
  for (int depth = 0; depth < 4 && in_container(*root); depth++) {
    Entity* holder = world_find(root->item.container);
    if (!holder) break;
    root = holder;
  }
  if (!kept_by_world(*root) || (root->flags & EntityFlag_Modified)) return;
  root->flags |= EntityFlag_Modified;
  if (world.ngone < WORLD_GONE_MAX && !v2_equal(root->pos, InvalidPos))
    world.gone[world.ngone++] = {root->type, root->pos};
}

// The changed entities on the ground (or lifted) first, then breadth first what they hold.
static Entity** saved_list;
static int collect() {
  if (!saved_list) saved_list = (Entity**)malloc(sizeof(Entity*) * ENTITIES_MAX);
  if (!saved_list) return -1;
  int n = 0;
  for (int i = 0; i < entity_storage.nentities; i++) {
    Entity& e = entity_storage.entities[i];
    if (e.id && !in_container(e) && (e.flags & EntityFlag_Modified) && kept_by_world(e)) saved_list[n++] = &e;
  }
  for (int i = 0; i < n; i++) {
    const Container* c = find_container(*saved_list[i]);
    for (int s = 0; c && s < container_nslots(*c) && n < ENTITIES_MAX; s++) {
      Entity* item = world_find(c->slots[s]);
      if (item && item != saved_list[i] && in_container(*item) && item->item.container == saved_list[i]->id)
        saved_list[n++] = item;
    }
  }
  return n;
}

// The world's tiles go whole once any was changed; the dungeon's are never painted.
static int saved_tile_count() {
  const Location& l = world.location;
  return world.tiles_changed && location_has_grid(&l) ? l.width * l.height : 0;
}

int world_saved_size() {
  int n = collect();
  return n < 0 ? 0 : SAVED_WORLD_HEADER + world.ngone * SAVED_GONE_SIZE + n * Entity_Shared_Size + saved_tile_count();
}

int world_save(u8* out, int capacity) {
  int n = collect();
  if (n < 0) return 0;
  int ntiles = saved_tile_count();
  int size = SAVED_WORLD_HEADER + world.ngone * SAVED_GONE_SIZE + n * Entity_Shared_Size + ntiles;
  if (size > capacity) return 0;
  u32 header[4] = {SAVED_WORLD_MAGIC, (u32)world.ngone, (u32)n, (u32)ntiles};
  memcpy(out, header, sizeof(header));
  u8* at = out + SAVED_WORLD_HEADER;
  for (int i = 0; i < world.ngone; i++, at += SAVED_GONE_SIZE) {
    u32 type = world.gone[i].type;
    memcpy(at, &type, 4);
    memcpy(at + 4, &world.gone[i].pos, 8);
  }
  static Entity record;
  for (int i = 0; i < n; i++, at += Entity_Shared_Size) {
    memcpy((void*)&record, saved_list[i], Entity_Shared_Size);
    if (!is_item(record) && record.carrier) {
      // Lifted: it comes back on the ground where its carrier stood.
      if (Entity* carrier = world_find(record.carrier)) record.pos = carrier->pos;
      record.carrier = record.user = 0;
      record.flags &= ~(u32)EntityFlag_Pulled;
    }
    memcpy(at, (const void*)&record, Entity_Shared_Size);
  }
  if (ntiles > 0) memcpy(at, world.location.tiles, (size_t)ntiles);
  return size;
}

static Entity* generated_at(EntityType type, v2 pos) {
  for (Entity* e = get_entity_at(world_location_at(pos), pos); e; e = e->next_in_grid)
    if (e->type == type && v2_equal(e->pos, pos) && !(e->flags & EntityFlag_Modified)) return e;
  return nullptr;
}

struct IdPair {
  Id old_id, new_id;
};
static int compare_pairs(const void* a, const void* b) {
  Id x = ((const IdPair*)a)->old_id, y = ((const IdPair*)b)->old_id;
  return x < y ? -1 : x > y;
}

bool world_restore(const u8* saved, int size) {
  if (size == 0) return true;
  if (!saved || size < SAVED_WORLD_HEADER_V1) return false;
  u32 header[4] = {};
  memcpy(header, saved, SAVED_WORLD_HEADER_V1);
  int header_size = SAVED_WORLD_HEADER_V1;
  if (header[0] == SAVED_WORLD_MAGIC && size >= SAVED_WORLD_HEADER) {
    memcpy(header, saved, SAVED_WORLD_HEADER);
    header_size = SAVED_WORLD_HEADER;
  } else if (header[0] != SAVED_WORLD_MAGIC_V1) {
    return false;
  }
  Location& l = world.location;
  u32 ntiles = header[3];
  if (header[1] > (u32)WORLD_GONE_MAX || header[2] > (u32)ENTITIES_MAX ||
      (ntiles != 0 && (!location_has_grid(&l) || ntiles != (u32)(l.width * l.height))) ||
      (s64)size != header_size + (s64)header[1] * SAVED_GONE_SIZE + (s64)header[2] * Entity_Shared_Size + ntiles)
    return false;
  const u8* tiles = saved + size - ntiles;
  for (u32 i = 0; i < ntiles; i++)
    if (!tile_is_known(tiles[i])) return false;
  const u8* at = saved + header_size;
  for (u32 i = 0; i < header[1]; i++, at += SAVED_GONE_SIZE) {
    u32 type;
    v2 pos;
    memcpy(&type, at, 4);
    memcpy(&pos, at + 4, 8);
    if (!isfinite(pos.x) || !isfinite(pos.y)) continue;
    // Taking it away remembers it as gone again, for the next save.
    if (Entity* e = generated_at((EntityType)type, pos)) world_remove(*e);
  }
  int n = (int)header[2];
  IdPair* pairs = (IdPair*)malloc(sizeof(IdPair) * (size_t)(n > 0 ? n : 1));
  Entity** made = (Entity**)malloc(sizeof(Entity*) * (size_t)(n > 0 ? n : 1));
  if (!pairs || !made) {
    free(pairs);
    free(made);
    return false;
  }
  static Entity record;
  for (int i = 0; i < n; i++) {
    memset((void*)&record, 0, sizeof(Entity));
    memcpy((void*)&record, at + (size_t)i * Entity_Shared_Size, Entity_Shared_Size);
    Entity* e = nullptr;
    if (record.type != Entity_None && record.type != Entity_Player && find_entity_prototype(record.type) &&
        kept_by_world(record))
      e = world_alloc(record.type);
    made[i] = e;
    pairs[i] = {record.id, e ? e->id : 0};
    if (!e) continue;
    memcpy((char*)e + Entity_Prototype_Offset, (const char*)&record + Entity_Prototype_Offset, Entity_Prototype_Size);
    e->pos = InvalidPos;
    e->next_in_grid = nullptr;
    e->flags |= EntityFlag_Modified;
    e->flags &= ~(u32)EntityFlag_Pulled;
    if (!is_item(*e)) e->carrier = e->user = 0;
    if (Mortal* mortal = find_mortal(*e)) mortal->burden = 0;
    if (Actor* actor = find_actor(*e)) actor->action = actor->next_action = Action();
    if (!in_container(*e)) {
      v2 pos = record.pos;
      if (!isfinite(pos.x) || !isfinite(pos.y)) pos = world.spawn;
      Location& l = world_location_at(pos);
      e->location = l.ref;
      set_pos(*e, clamp_to_location(l, pos, v2{1, 1}));
    }
  }
  qsort(pairs, (size_t)n, sizeof(IdPair), compare_pairs);
  auto map_id = [&](Id old) -> Id {
    IdPair key = {old, 0};
    const IdPair* found = old ? (const IdPair*)bsearch(&key, pairs, (size_t)n, sizeof(IdPair), compare_pairs) : nullptr;
    return found ? found->new_id : 0;
  };
  for (int i = 0; i < n; i++) {
    Entity* e = made[i];
    if (!e) continue;
    if (Container* c = find_container(*e)) {
      c->nslots = (u8)container_nslots(*c);
      for (int s = 0; s < CONTAINER_SLOTS_MAX; s++) c->slots[s] = s < c->nslots ? map_id(c->slots[s]) : 0;
    }
    if (in_container(*e)) e->item.container = map_id(e->item.container);
  }
  // A slot names only an item that names it back, once; an item its holder does not list goes.
  for (int i = 0; i < n; i++) {
    Entity* e = made[i];
    Container* c = e ? find_container(*e) : nullptr;
    for (int s = 0; c && s < c->nslots; s++) {
      Entity* item = world_find(c->slots[s]);
      if (!item || item == e || !in_container(*item) || item->item.container != e->id) c->slots[s] = 0;
      for (int k = 0; k < s; k++)
        if (c->slots[k] == c->slots[s]) c->slots[s] = 0;
    }
  }
  for (int i = 0; i < n; i++) {
    Entity* e = made[i];
    if (!e || !is_item(*e) || !v2_equal(e->pos, InvalidPos)) continue;
    Entity* holder = world_find(e->item.container);
    Container* c = holder ? find_container(*holder) : nullptr;
    if (!c || find_items_slot(*c, e->id) == SlotNotFound) {
      made[i] = nullptr;
      world_remove(*e);
    }
  }
  free(pairs);
  free(made);
  if (ntiles > 0) {
    memcpy(l.tiles, tiles, ntiles);
    world.tiles_changed = true;
  }
  return true;
}
