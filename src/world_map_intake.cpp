// The terrain and world-map intake: keeps the size of the ground and the decoded map image.
#include "world_map_intake.hpp"

#include <stb_image.h>

TilesSize prepared_tiles;

void prepare_tiles(int width, int height) {
  prepared_tiles.width = width;
  prepared_tiles.height = height;
}

bool load_world_map(const u8* data, int size, WorldMap* map) {
  int width = 0, height = 0, channels = 0;
  if (!data || size <= 0 || !stbi_info_from_memory(data, size, &width, &height, &channels)) {
    printf("PANIC: failed to load map data: %s\n", stbi_failure_reason() ? stbi_failure_reason() : "no data");
    return false;
  }
  if (channels != 1) {
    printf("PANIC: expected world map to have 1 channel, got %d; map size: %dbytes\n", channels, size);
    return false;
  }
  if (width <= 0 || height <= 0 || width > WORLD_MAP_SIDE_MAX || height > WORLD_MAP_SIDE_MAX) {
    printf("PANIC: failed to load map data: %s\n", "image too large");
    return false;
  }
  u8* pixels = stbi_load_from_memory(data, size, &width, &height, &channels, 0);
  if (!pixels) {
    printf("PANIC: failed to load map data: %s\n", stbi_failure_reason());
    return false;
  }
  if (channels != 1) {
    stbi_image_free(pixels);
    printf("PANIC: expected world map to have 1 channel, got %d; map size: %dbytes\n", channels, size);
    return false;
  }
  world_map_free(map);
  map->width = width;
  map->height = height;
  map->tiles = pixels;
  return true;
}

void world_map_free(WorldMap* map) {
  if (map->tiles) stbi_image_free(map->tiles);
  *map = WorldMap{};
}
