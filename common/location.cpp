// Tiles, the entity grid and spatial queries over it.
#include "location.hpp"

#include <float.h>

#include "registry.hpp"

const TileType tiles_mapping[TILES_MAPPING_COUNT] = {
    TileType_Grass,           TileType_Sand,          TileType_Dirt,          TileType_Soil,
    TileType_ShallowWater,    TileType_DeepWater,     TileType_LeafForest,    TileType_PineForest,
    TileType_Ground,          TileType_SolidGround,   TileType_Rock,          TileType_StoneTiles,
    TileType_LightStoneTiles, TileType_RedStoneTiles, TileType_PavementFloor, TileType_PaintedFloor,
    TileType_ImperialFloor,   TileType_BrickFloor,    TileType_WoodenFloor,   TileType_WhiteStoneFloor,
    TileType_TileFloor,       TileType_ParquetFloor,
};

struct TileInfo {
  const char* name;
  u32 color;
};

static const TileInfo tile_infos[TileType_count] = {
    {"none", 0x000000},          {"deep water", 0x1111FF},
    {"shallow water", 0x3333FF}, {"soil", 0x333300},
    {"dirt", 0x674917},          {"sand", 0xE7E714},
    {"grass", 0x11CC22},         {"leaf forest", 0x0D6210},
    {"pine forest", 0x11CC22},   {"rock", 0x11CC22},
    {"StoneTiles", 0xCCCCCC},    {"LightStoneTiles", 0xCCCCCC},
    {"RedStoneTiles", 0xCCCCCC}, {"Ground", 0xCCCCCC},
    {"SolidGround", 0xCCCCCC},   {"WhiteStoneFloor", 0xCCCCCC},
    {"PaintedFloor", 0xCCCCCC},  {"WoodenFloor", 0xCCCCCC},
    {"ImperialFloor", 0xCCCCCC}, {"BrickFloor", 0xCCCCCC},
    {"ParquetFloor", 0xCCCCCC},  {"PavementFloor", 0xCCCCCC},
    {"TileFloor", 0xCCCCCC},
};

const char* tile_name(TileType t) {
  if (!tile_is_known(t)) panic("Unknown tile type: %d", (int)t);
  return tile_infos[t].name;
}

u32 tile_color(TileType t) {
  if (!tile_is_known(t)) panic("Unknown tile type: %d", (int)t);
  return tile_infos[t].color;
}

int get_tile_index(TileType t) {
  for (int i = 0; i < TILES_MAPPING_COUNT; i++) {
    if (tiles_mapping[i] == t) return i;
  }
  return -1;
}

const char* location_zone_name(LocationZone zone) {
  switch (zone) {
    case LocationZone_None: return "???";
    case LocationZone_A: return "A";
    case LocationZone_B: return "B";
    case LocationZone_C: return "C";
    case LocationZone_D: return "D";
  }
  return "Invalid Zone";
}

// --- the location record

// Epochs are never 0, which a zeroed record carries.
static u32 next_grid_epoch() {
  static u32 last = 0;
  if (++last == 0) last = 1;
  return last;
}

void location_free(Location& location) {
  free(location.tiles);
  free(location.grid);
  free(location.lightmap);
  location.tiles = nullptr;
  location.grid = nullptr;
  location.lightmap = nullptr;
  location.width = location.height = 0;
  location.size = {};
  location.grid_epoch = 0;
}

bool location_init(Location& location, LocationRef ref, const char* name, int name_capacity, s32 width, s32 height,
                   v2 offset, const u8* tiles, s64 ntiles) {
  location_free(location);
  location.ref = ref;
  int n = name ? (int)strnlen(name, (size_t)max(name_capacity, 0)) : 0;
  if (n > LOCATION_NAME_LEN - 1) n = LOCATION_NAME_LEN - 1;
  memset(location.name, 0, sizeof(location.name));
  if (n > 0) memcpy(location.name, name, (size_t)n);
  location.offset = offset;
  if (width <= 0 || height <= 0 || (s64)width * height != ntiles || !tiles) return false;

  location.tiles = (TileType*)malloc((size_t)ntiles);
  location.grid = (Entity**)calloc((size_t)ntiles, sizeof(Entity*));
  if (!location.tiles || !location.grid) panic("Cannot allocate a location of %dx%d tiles\n", width, height);
  // Tile values from outside the table are unknown ground, so nothing downstream looks them up.
  for (s64 i = 0; i < ntiles; i++) location.tiles[i] = tile_is_known(tiles[i]) ? (TileType)tiles[i] : TileType_None;
  location.width = width;
  location.height = height;
  location.size = v2{(f32)width, (f32)height} * tile_size;
  location.grid_epoch = next_grid_epoch();
  return true;
}

void location_clear_grid(Location& location) {
  if (location.grid) memset(location.grid, 0, sizeof(Entity*) * (size_t)location.width * (size_t)location.height);
  location.grid_epoch = next_grid_epoch();
}

// --- cells

// Each division truncates toward zero, as the server does; the result is then clamped into 0..n-1 in
// floating point, so a far, infinite or NaN coordinate still names a real cell.
static int cell_coord(f32 world, f32 offset, int n) {
  f32 c = truncf(truncf(world / tile_size) - offset / tile_size);
  if (!(c >= 0.0f)) return 0;
  if (c > (f32)(n - 1)) return n - 1;
  return (int)c;
}

static int tile_coord(int world_tile, f32 offset, int n) {
  f32 c = truncf((f32)world_tile - offset / tile_size);
  if (!(c >= 0.0f)) return 0;
  if (c > (f32)(n - 1)) return n - 1;
  return (int)c;
}

int location_cell_index(const Location& location, v2 pos) {
  assert(location_has_grid(&location));
  int cx = cell_coord(pos.x, location.offset.x, location.width);
  int cy = cell_coord(pos.y, location.offset.y, location.height);
  return cx + location.width * cy;
}

int location_cell_x(const Location& location, f32 x) { return cell_coord(x, location.offset.x, location.width); }
int location_cell_y(const Location& location, f32 y) { return cell_coord(y, location.offset.y, location.height); }

TileType get_tile_at(const Location& location, v2 pos) { return location.tiles[location_cell_index(location, pos)]; }

TileType get_tile_at(const Location& location, int x, int y) {
  assert(location_has_grid(&location));
  int cx = tile_coord(x, location.offset.x, location.width);
  int cy = tile_coord(y, location.offset.y, location.height);
  return location.tiles[cx + location.width * cy];
}

TileType get_tile_at_clamped(const Location& location, int x, int y) {
  if (!location_has_grid(&location)) return TileType_None;
  if (x < 0 || y < 0 || x >= location.width || y >= location.height) return TileType_None;
  return location.tiles[x + location.width * y];
}

Entity* get_entity_at(const Location& location, v2 pos) { return location.grid[location_cell_index(location, pos)]; }

Entity** get_entity_ptr_at(const Location& location, v2 pos) {
  return &location.grid[location_cell_index(location, pos)];
}

// NaN lands on the near edge rather than passing through.
static f32 clamp_coord(f32 v, f32 lo, f32 hi) {
  if (!(v >= lo)) return lo;
  if (v > hi) return hi;
  return v;
}

v2 clamp_to_location(const Location& location, v2 pos, v2 border) {
  v2 lo = location.offset;
  v2 hi = location.offset + location.size - border;
  return {clamp_coord(pos.x, lo.x, hi.x), clamp_coord(pos.y, lo.y, hi.y)};
}

v2 round_to_location(const Location& location, v2 pos, f32 substep) {
  return clamp_to_location(location, v2_round_to(pos, tile_size * substep), {1, 1});
}

// --- queries

SpatialQuery in_radius(Entity* observer, f32 radius, v2 pos) {
  SpatialQuery q;
  q.observer = observer;
  q.pos = pos;
  q.radius = radius;
  return q;
}

SpatialQuery in_rect(Location* location, Rect rect) {
  SpatialQuery q;
  q.location = location;
  q.rect = rect_from_corners(rect_min(rect), rect_max(rect));
  // A line or a point still limits the query: the smallest positive size adds nothing to a coordinate, so
  // the closed test stays exact.
  q.rect.w = max(q.rect.w, FLT_TRUE_MIN);
  q.rect.h = max(q.rect.h, FLT_TRUE_MIN);
  // The walk covers the circle around the centre through the corners, widened by the half cell its first
  // corner may round up by; the rectangle test then keeps exactly what lies inside.
  q.pos = {q.rect.x + q.rect.w / 2, q.rect.y + q.rect.h / 2};
  q.radius = v2_len({q.rect.w, q.rect.h}) / 2 + tile_size;
  return q;
}

EntityIter locate_entities(const SpatialQuery& query) {
  EntityIter it = locate_cells(query);
  if (it.query.location && location_has_grid(it.query.location)) next(it);
  return it;
}

EntityIter locate_cells(const SpatialQuery& query) {
  EntityIter it;
  it.query = query;
  SpatialQuery& q = it.query;
  if (!q.location) {
    assert(q.observer);
    q.location = get_location(*q.observer);
  }
  // A rectangle always carries its own centre, which may well be (0, 0).
  bool has_rect = q.rect.w > 0 && q.rect.h > 0;
  if (is_zero(q.pos) && !has_rect) {
    assert(q.observer);
    q.pos = q.observer->pos;
  }
  // Nothing loaded yet: an empty walk.
  if (!location_has_grid(q.location)) return it;

  f32 r = q.radius;
  // Rounding (not flooring) the first corner is what the server does; the range may start up to half a
  // cell after pos - r.
  v2 begin = clamp_to_location(*q.location, v2_round_to(q.pos - v2{r, r}, tile_size), {0, 0});
  v2 end = clamp_to_location(*q.location, v2_round_to(q.pos + v2{r + tile_size, r + tile_size}, tile_size), {0, 0});
  it.begin = begin;
  // Clamped in floating point first: a NaN or huge radius must not overflow the conversion.
  it.cols = (int)clamp_coord((end.x - begin.x) / tile_size, 0, (f32)q.location->width);
  it.rows = (int)clamp_coord((end.y - begin.y) / tile_size, 0, (f32)q.location->height);
  it.index = 0;
  it.entity = nullptr;
  // On a tile-aligned location every cell corner of the walk divides exactly, so the cells are
  // consecutive and the per-cell world-to-grid conversion can be skipped.
  const Location& loc = *q.location;
  if (fmodf(loc.offset.x, tile_size) == 0 && fmodf(loc.offset.y, tile_size) == 0) {
    it.first_cx = cell_coord(begin.x, loc.offset.x, loc.width);
    it.first_cy = cell_coord(begin.y, loc.offset.y, loc.height);
  }
  return it;
}

void next(EntityIter& it) {
  Entity* e = it.entity ? it.entity->next_in_grid : nullptr;
  for (;;) {
    for (; e; e = e->next_in_grid) {
      if (satisfies_query(it, *e)) {
        it.entity = e;
        return;
      }
    }
    if (it.index >= it.rows * it.cols) {
      it.entity = nullptr;
      return;
    }
    int col = it.index % it.cols, row = it.index / it.cols;
    it.index++;
    const Location& loc = *it.query.location;
    if (it.first_cx >= 0) {
      int cx = min(it.first_cx + col, loc.width - 1), cy = min(it.first_cy + row, loc.height - 1);
      e = loc.grid[cx + loc.width * cy];
    } else {
      e = get_entity_at(loc, it.begin + v2{tile_size * (f32)col, tile_size * (f32)row});
    }
  }
}

bool satisfies_query(const EntityIter& it, const Entity& entity) {
  const SpatialQuery& q = it.query;
  if (q.observer == &entity) return true;
  if ((entity.flags & EntityFlag_Invisible) && !(q.observer && is_admin(*q.observer))) return false;
  if (q.radius > 0 && v2_distance_sqr(entity.pos, q.pos) > q.radius * q.radius) return false;
  if (q.rect.w > 0 && q.rect.h > 0 && !point_intersects_rect(entity.pos, q.rect)) return false;
  return true;
}

Entity* locate_entity_by_type(EntityType type, const SpatialQuery& query) {
  for (EntityIter it = locate_entities(query); it.entity; next(it)) {
    if (it.entity->type == type) return it.entity;
  }
  return nullptr;
}

// --- grid maintenance

// A record carried by another or stored in a container has no place on the ground.
static bool is_off_grid(const Entity& e) {
  if (in_container(e)) return true;
  return (e.flags & EntityFlag_Liftable) && !is_item(e) && e.carrier != 0;
}

// --- list links. A record's grid_prev names its predecessor so that it leaves or stays in its cell without a
// walk; records outside the storage (a test's, a cursor's copy) cannot be named and are found by walking.

constexpr u16 GridPrev_Unknown = 0;
constexpr u16 GridPrev_Head = 1;

static u16 grid_prev_of(const Entity* before) {
  if (!before) return GridPrev_Head;
  uintptr_t at = (uintptr_t)before, base = (uintptr_t)entity_storage.entities;
  if (at < base || at >= base + sizeof(entity_storage.entities) || (at - base) % sizeof(Entity) != 0)
    return GridPrev_Unknown;
  return (u16)((at - base) / sizeof(Entity) + 2);
}

// The link that points at the entity, read from its grid_prev and checked against the list; null when that
// does not hold (never linked, linked into an older grid, or linked outside the storage).
static Entity** grid_known_link(Location& location, Entity& entity, int cell) {
  if (entity.grid_epoch != location.grid_epoch || entity.grid_prev == GridPrev_Unknown ||
      entity.grid_prev - 2 >= ENTITIES_MAX)
    return nullptr;
  Entity** link = entity.grid_prev == GridPrev_Head ? &location.grid[cell]
                                                    : &entity_storage.entities[entity.grid_prev - 2].next_in_grid;
  return *link == &entity ? link : nullptr;
}

// The link that points at the entity in the list of `cell`, or null when it is not there.
static Entity** grid_link(Location& location, Entity& entity, int cell) {
  if (Entity** link = grid_known_link(location, entity, cell)) return link;
  Entity* before = nullptr;
  for (Entity** link = &location.grid[cell]; *link; before = *link, link = &(*link)->next_in_grid) {
    if (*link == &entity) {
      // Learnt on the way, so that the unlink hands it on to the successor.
      entity.grid_prev = grid_prev_of(before);
      entity.grid_epoch = location.grid_epoch;
      return link;
    }
  }
  return nullptr;
}

// `link` comes from grid_link, which left the entity's grid_prev right for this grid.
static void grid_unlink(Location& location, Entity& entity, Entity** link) {
  Entity* after = entity.next_in_grid;
  *link = after;
  if (after) {
    // The successor now follows the entity's predecessor.
    after->grid_prev = entity.grid_prev;
    after->grid_epoch = location.grid_epoch;
  }
  entity.next_in_grid = nullptr;
  entity.grid_prev = GridPrev_Unknown;
}

static void grid_append(Location& location, Entity& entity, int cell) {
  Entity* last = nullptr;
  Entity** link = &location.grid[cell];
  // The grid links records, not ids: a record linked twice would make the list a cycle.
  for (; *link; last = *link, link = &(*link)->next_in_grid) assert(*link != &entity);
  *link = &entity;
  entity.next_in_grid = nullptr;
  entity.grid_prev = grid_prev_of(last);
  entity.grid_epoch = location.grid_epoch;
}

// Pull chains come from the server; a chain that loops back is cut rather than followed forever.
constexpr int PULL_DEPTH_MAX = 4;

static void set_pos_pulling(Entity& entity, v2 pos, bool no_remove, int depth) {
  if (is_off_grid(entity)) return;
  Location* location = get_location(entity);
  if (!location_has_grid(location)) {
    if (!no_remove) remove_from_grid(entity);
    entity.pos = pos;
    entity.next_in_grid = nullptr;
    return;
  }
  v2 p = clamp_to_location(*location, pos, {1, 1});
  int cell = location_cell_index(*location, p);
  bool linked = !no_remove && !v2_equal(entity.pos, InvalidPos);
  int from = linked ? location_cell_index(*location, entity.pos) : -1;
  // The last of its own cell's list, which it stays in, ends where a removal and an append would put it.
  bool in_place = from == cell && !entity.next_in_grid && grid_known_link(*location, entity, cell);
  if (!in_place) {
    if (linked) {
      if (Entity** link = grid_link(*location, entity, from)) grid_unlink(*location, entity, link);
      entity.next_in_grid = nullptr;
    }
    grid_append(*location, entity, cell);
  }
  entity.pos = p;

  const Mortal* mortal = find_mortal(entity);
  if (!mortal || mortal->burden == 0 || depth >= PULL_DEPTH_MAX) return;
  Entity* burden = find_entity_by_id(mortal->burden);
  if (!burden || burden == &entity || !(burden->flags & EntityFlag_Pulled)) return;
  v2 d = p - burden->pos;
  set_pos_pulling(*burden, p - v2_with_len(d, 2 + burden->radius + entity.radius), false, depth + 1);
  if (Mover* mover = find_mover(*burden)) mover->gaze = atan2f(d.y, d.x);
}

void set_pos(Entity& entity, v2 pos, bool no_remove) { set_pos_pulling(entity, pos, no_remove, 0); }

void remove_from_grid(Entity& entity) {
  if (v2_equal(entity.pos, InvalidPos)) return;
  Location* location = get_location(entity);
  if (location_has_grid(location)) {
    if (Entity** link = grid_link(*location, entity, location_cell_index(*location, entity.pos)))
      grid_unlink(*location, entity, link);
  }
  entity.next_in_grid = nullptr;
  entity.pos = InvalidPos;
}
