#pragma once
// What the client keeps of a location's world map when it arrives by network: the tile types and the
// colour texture the map window draws.
#include "render/renderer.hpp"
#include "types.hpp"

// The decoded world map: one tile type byte per pixel, row after row.
struct WorldMap {
  int width = 0;
  int height = 0;
  u8* tiles = nullptr;
  // One texel per tile in the tile's map colour; made when a GL context is current, else left at 0.
  Texture texture;
};

// Largest side accepted, so a forged image header cannot make the decoder allocate without bound.
constexpr int WORLD_MAP_SIDE_MAX = 2048;

// Called each time a location's tiles arrive, with its size in tiles.
void prepare_tiles(int width, int height);
// Decodes a one-channel PNG image into `map`, replacing what it held, and makes its texture. False,
// with the reason printed and `map` unchanged, when the bytes cannot be decoded or the image has other
// than one channel.
bool load_world_map(const u8* data, int size, WorldMap* map);
void world_map_free(WorldMap* map);
