#pragma once
// A location: a rectangle of tiles, and a grid with one entity list per tile through which every entity
// on the ground is found by position.
#include "entity.hpp"

constexpr f32 tile_size = 32.0f;
constexpr int lightmap_scale = 2;
constexpr f32 vision_radius = 15 * tile_size;
constexpr v2 InvalidPos = {-100500.0f, -100500.0f};

enum TileType : u8 {
  TileType_None = 0,
  TileType_DeepWater = 1,
  TileType_ShallowWater = 2,
  TileType_Soil = 3,
  TileType_Dirt = 4,
  TileType_Sand = 5,
  TileType_Grass = 6,
  TileType_LeafForest = 7,
  TileType_PineForest = 8,
  TileType_Rock = 9,
  TileType_StoneTiles = 10,
  TileType_LightStoneTiles = 11,
  TileType_RedStoneTiles = 12,
  TileType_Ground = 13,
  TileType_SolidGround = 14,
  TileType_WhiteStoneFloor = 15,
  TileType_PaintedFloor = 16,
  TileType_WoodenFloor = 17,
  TileType_ImperialFloor = 18,
  TileType_BrickFloor = 19,
  TileType_ParquetFloor = 20,
  TileType_PavementFloor = 21,
  TileType_TileFloor = 22,
  TileType_count = 23,
};

// Atlas index -> tile type: the order of the kinds' blocks in the ground texture atlas.
constexpr int TILES_MAPPING_COUNT = 22;
extern const TileType tiles_mapping[TILES_MAPPING_COUNT];

const char* tile_name(TileType t);  // panics on an unknown value
u32 tile_color(TileType t);         // 0xRRGGBB; panics on an unknown value
int get_tile_index(TileType t);     // place in tiles_mapping, -1 when absent
inline bool tile_is_known(u32 t) { return t < TileType_count; }

const char* location_zone_name(LocationZone zone);

struct Location {
  union {
    struct {
      LocationType type;
      u16 index;
    };
    LocationRef ref;
  };
  char name[LOCATION_NAME_LEN];
  s32 width;
  s32 height;
  v2 size;          // world units
  v2 offset;        // world position of tile (0, 0)
  TileType* tiles;  // width * height, row by row
  Entity** grid;    // width * height list heads, chained through Entity.next_in_grid
  f32* lightmap;
  // Changes whenever the grid is made or emptied, never repeating: a record linked under another epoch
  // is not in this grid, whatever its own link fields still say.
  u32 grid_epoch;
};

// Replaces the location's tiles and empties its grid. The tiles must number width * height; values
// outside the tile table become TileType_None. False (and the location left empty) on bad sizes.
bool location_init(Location& location, LocationRef ref, const char* name, int name_capacity, s32 width, s32 height,
                   v2 offset, const u8* tiles, s64 ntiles);
void location_free(Location& location);
void location_clear_grid(Location& location);
inline bool location_has_grid(const Location* location) {
  return location && location->grid && location->tiles && location->width > 0 && location->height > 0;
}

// The hook the model calls on its host: which location an entity stands in (null when none is loaded).
Location* get_location(Entity& entity);

// --- cells. Positions are clamped into the grid before an index is formed, so any position is safe.

int location_cell_index(const Location& location, v2 pos);
// The grid column (row) of a world x (y), as location_cell_index finds it: clamped to the location.
int location_cell_x(const Location& location, f32 x);
int location_cell_y(const Location& location, f32 y);
TileType get_tile_at(const Location& location, v2 pos);
TileType get_tile_at(const Location& location, int x, int y);          // world tile coordinates
TileType get_tile_at_clamped(const Location& location, int x, int y);  // local tile coordinates; None outside
Entity* get_entity_at(const Location& location, v2 pos);
Entity** get_entity_ptr_at(const Location& location, v2 pos);
v2 clamp_to_location(const Location& location, v2 pos, v2 border);
v2 round_to_location(const Location& location, v2 pos, f32 substep);

// --- spatial queries

struct SpatialQuery {
  Entity* observer = nullptr;
  Location* location = nullptr;  // null: the observer's
  v2 pos = {};                   // (0, 0): the observer's position
  f32 radius = 0;                // 0 or less: no distance limit
  Rect rect = {};                // used when both sides are positive
  bool check_radius = false;
};

struct EntityIter {
  Entity* entity = nullptr;
  s32 index = 0;
  v2 begin = {};
  s32 rows = 0;
  s32 cols = 0;
  SpatialQuery query;
  // The first cell's grid coordinates when the location lies on whole tiles, so that the cells of the
  // walk are consecutive; -1 when each cell is located from its world position instead.
  s32 first_cx = -1;
  s32 first_cy = -1;
};

SpatialQuery in_radius(Entity* observer, f32 radius, v2 pos);
SpatialQuery in_rect(Location* location, Rect rect);
EntityIter locate_entities(const SpatialQuery& query);
// The walk of locate_entities before its first entity: the cells it visits (rows x cols from first_cx,
// first_cy, each clamped to the last row and column, when first_cx is not -1); next() starts it.
EntityIter locate_cells(const SpatialQuery& query);
void next(EntityIter& it);
bool satisfies_query(const EntityIter& it, const Entity& entity);
Entity* locate_entity_by_type(EntityType type, const SpatialQuery& query);

// --- grid maintenance: every change of an entity's position goes through set_pos.

void set_pos(Entity& entity, v2 pos, bool no_remove = false);
void remove_from_grid(Entity& entity);
