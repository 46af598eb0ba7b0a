#pragma once
// What the client keeps of a location's ground and of its world map when they arrive by network.
// Only the data is kept here; the terrain mesh and the map texture are built from it by the renderer.
#include "types.hpp"

// The decoded world map: one tile type byte per pixel, row after row.
struct WorldMap {
  int width = 0;
  int height = 0;
  u8* tiles = nullptr;
};

// Largest side accepted, so a forged image header cannot make the decoder allocate without bound.
constexpr int WORLD_MAP_SIDE_MAX = 4096;

// Called each time a location's tiles arrive, with its size in tiles.
void prepare_tiles(int width, int height);
// Decodes an encoded one-channel image into `map`, replacing what it held. False, with the reason
// printed and `map` unchanged, when the bytes cannot be decoded or the image has other than one channel.
bool load_world_map(const u8* data, int size, WorldMap* map);
void world_map_free(WorldMap* map);

// The size last given to prepare_tiles.
struct TilesSize {
  int width = 0;
  int height = 0;
};
extern TilesSize prepared_tiles;
