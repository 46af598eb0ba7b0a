// World generation: an island of biomes from two noise fields (height and moisture), then the entities
// that belong on each biome, a camp by the spawn point and wandering creatures.
#include "math.hpp"
#include "physics.hpp"
#include "play.hpp"

static f32 lattice(int x, int y, u32 seed) { return (f32)(hash2(x, y, seed) & 0xFFFFFF) / (f32)0xFFFFFF; }

static f32 smooth(f32 t) { return t * t * (3 - 2 * t); }

static f32 value_noise(f32 x, f32 y, u32 seed) {
  int x0 = (int)floorf(x), y0 = (int)floorf(y);
  f32 fx = smooth(x - (f32)x0), fy = smooth(y - (f32)y0);
  f32 a = lattice(x0, y0, seed), b = lattice(x0 + 1, y0, seed);
  f32 c = lattice(x0, y0 + 1, seed), d = lattice(x0 + 1, y0 + 1, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

static f32 fbm(f32 x, f32 y, u32 seed) {
  f32 sum = 0, amplitude = 0.5f, total = 0;
  for (int octave = 0; octave < 4; octave++) {
    sum += amplitude * value_noise(x, y, seed + (u32)octave * 101u);
    total += amplitude;
    x *= 2;
    y *= 2;
    amplitude *= 0.5f;
  }
  return sum / total;
}

void worldgen_tiles(u8* tiles, int width, int height, u32 seed) {
  f32 scale = 1.0f / 24.0f;
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      // Distance from the centre, 0 there and 1 at the nearest edge: the land is an island.
      f32 dx = ((f32)x + 0.5f) / (f32)width * 2 - 1, dy = ((f32)y + 0.5f) / (f32)height * 2 - 1;
      f32 edge = sqrtf(dx * dx + dy * dy);
      f32 e = fbm((f32)x * scale, (f32)y * scale, seed) + 0.35f - 0.75f * edge * edge;
      f32 m = fbm((f32)x * scale * 1.3f + 100, (f32)y * scale * 1.3f + 100, seed ^ 0xA5A5A5A5u);
      TileType t;
      if (e < 0.25f)
        t = TileType_DeepWater;
      else if (e < 0.33f)
        t = TileType_ShallowWater;
      else if (e < 0.37f)
        t = TileType_Sand;
      else if (e > 0.80f)
        t = TileType_Rock;
      else if (m > 0.56f)
        t = e > 0.58f ? TileType_PineForest : TileType_LeafForest;
      else if (m < 0.33f)
        t = TileType_Dirt;
      else if (m < 0.40f)
        t = TileType_Soil;
      else
        t = TileType_Grass;
      // The outer ring is always open sea, whatever the noise made of it.
      if (x < 2 || y < 2 || x >= width - 2 || y >= height - 2) t = TileType_DeepWater;
      tiles[x + width * y] = t;
    }
  }
  // Whatever the noise says, the centre is walkable grass so that new characters land on their feet.
  int cx = width / 2, cy = height / 2;
  for (int y = cy - 4; y <= cy + 4; y++)
    for (int x = cx - 4; x <= cx + 4; x++) tiles[x + width * y] = TileType_Grass;
}

v2 worldgen_spawn_point(const u8*, int width, int height) {
  return {((f32)(width / 2) + 0.5f) * tile_size, ((f32)(height / 2) + 0.5f) * tile_size};
}

struct BiomeEntity {
  EntityType type;
  f32 chance;  // per tile
};

struct BiomePopulation {
  TileType tile;
  BiomeEntity entities[6];
};

static const BiomePopulation biome_population[] = {
    {TileType_PineForest,
     {{Entity_pine_tree, 0.30f},
      {Entity_mushroom, 0.04f},
      {Entity_rock, 0.02f},
      {Entity_bush, 0.03f},
      {Entity_branch, 0.03f}}},
    {TileType_LeafForest,
     {{Entity_apple_tree, 0.16f},
      {Entity_weird_tree, 0.04f},
      {Entity_bush, 0.06f},
      {Entity_berry_bush, 0.05f},
      {Entity_mushroom, 0.04f},
      {Entity_flower_group, 0.03f}}},
    {TileType_Grass,
     {{Entity_grass, 0.10f},
      {Entity_flower_group, 0.04f},
      {Entity_bush, 0.02f},
      {Entity_berry_bush, 0.015f},
      {Entity_apple_tree, 0.015f}}},
    {TileType_Sand, {{Entity_palm_tree, 0.05f}, {Entity_narrow_rock, 0.01f}, {Entity_stone, 0.02f}}},
    {TileType_Rock,
     {{Entity_rock, 0.18f}, {Entity_narrow_rock, 0.10f}, {Entity_iron_vein, 0.04f}, {Entity_stone, 0.04f}}},
    {TileType_Dirt, {{Entity_stone, 0.03f}, {Entity_branch, 0.03f}, {Entity_rock, 0.02f}, {Entity_narrow_rock, 0.01f}}},
    {TileType_Soil, {{Entity_grass, 0.04f}, {Entity_radish, 0.01f}, {Entity_carrot, 0.01f}}},
};

static f32 rand01(u32& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return (f32)(state >> 8) / (f32)(1u << 24);
}

static void init_kind(Entity& e, u32& state, Time now) {
  if (Tree* tree = find_tree(e)) tree->branches = (u8)(1 + (int)(rand01(state) * 4));
  if (Bush* bush = find_bush(e)) bush->berries = (u8)(2 + (int)(rand01(state) * 5));
  if (Vein* vein = find_vein(e)) vein->ore = (u8)(5 + (int)(rand01(state) * 6));
  if (Crop* crop = find_crop(e)) crop->planted_time.ns = now.ns - (u64)(rand01(state) * 120e9f);
  if (Thinker* thinker = find_thinker(e)) {
    thinker->activity = ThinkerActivity_Wandering;
    thinker->respawn_pos = e.pos;
    thinker->next_wander_check_time.ns = now.ns + (u64)(rand01(state) * 5e9f);
    play_creature_setup(e);
  }
  if (Mortal* mortal = find_mortal(e)) {
    if (mortal->hp.cur <= 0) mortal->hp.cur = mortal->hp.max;
  }
  if (Mover* mover = find_mover(e)) {
    mover->speed = mover->base_speed;
    mover->angle = mover->gaze = rand01(state) * tau;
  }
}

static Entity* place(EntityType type, v2 pos, u32& state, Time now) {
  if (world_entity_count() >= WORLD_GENERATED_ENTITIES_MAX) return nullptr;
  Entity* e = world_spawn(type, pos);
  if (e) init_kind(*e, state, now);
  return e;
}

void worldgen_populate(u32 seed, Time now) {
  const Location& l = world.location;
  u32 state = seed * 2654435761u + 12345u;
  if (!state) state = 1;
  // The camp by the spawn point: fire, chest, a crop field and a fermion stone, on cleared ground.
  v2 s = world.spawn;
  place(Entity_bonfire, s + v2{3 * tile_size, 0}, state, now);
  Entity* chest = place(Entity_wooden_chest, s + v2{3 * tile_size, 2 * tile_size}, state, now);
  if (chest) {
    world_spawn_in(Entity_axe, *chest, 0);
    world_spawn_in(Entity_stone_pickaxe, *chest, 1);
    world_spawn_in(Entity_berry, *chest, 2);
  }
  place(Entity_fermion_stone, s + v2{-3 * tile_size, -3 * tile_size}, state, now);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++)
      place(x == 2 ? Entity_carrot_crop : Entity_wheat_crop, s + v2{(-4.0f + x) * tile_size, (2.0f + y) * tile_size},
            state, now);

  // East and north of the camp, something for every first thing a new player tries: wood to chop and
  // saw, stone to crush, ore to mine, berries, a quern with wheat, and a chest of what the actions need.
  auto at = [&](f32 x, f32 y) {
    v2 p = s + v2{x * tile_size, y * tile_size};
    return world_is_walkable(p) ? p : world_find_land_near(p, 2 * tile_size);
  };
  place(Entity_rock, at(1, -3), state, now);
  place(Entity_rock, at(2, -4), state, now);
  place(Entity_iron_vein, at(3.5f, -3), state, now);
  place(Entity_pine_tree, at(5, -3), state, now);
  place(Entity_berry_bush, at(5.5f, 1), state, now);
  place(Entity_tree_log, at(1.5f, 4.5f), state, now);
  place(Entity_dungeon_entrance, at(-1.5f, -6.5f), state, now);
  Entity* quern = place(Entity_quern, at(5.5f, 3), state, now);
  for (int i = 0; quern && i < 2; i++) world_spawn_in(Entity_wheat, *quern, i);
  Entity* supplies = place(Entity_wooden_chest, at(1, 2), state, now);
  const EntityType supply_kinds[] = {Entity_bone_saw, Entity_bone_knife, Entity_leather, Entity_leather, Entity_meat,
                                     Entity_meat,     Entity_blueprint,  Entity_stone,   Entity_stone,   Entity_stone,
                                     Entity_stone,    Entity_branch,     Entity_branch,  Entity_wheat};
  for (int i = 0; supplies && i < (int)(sizeof(supply_kinds) / sizeof(supply_kinds[0])); i++)
    world_spawn_in(supply_kinds[i], *supplies, i);

  int cx = l.width / 2, cy = l.height / 2;
  for (int y = 0; y < l.height; y++) {
    for (int x = 0; x < l.width; x++) {
      // Keep the camp clear.
      if (abs(x - cx) <= 4 && abs(y - cy) <= 4) continue;
      TileType t = l.tiles[x + l.width * y];
      for (const BiomePopulation& biome : biome_population) {
        if (biome.tile != t) continue;
        f32 roll = rand01(state);
        for (const BiomeEntity& be : biome.entities) {
          if (be.type == Entity_None) break;
          if (roll < be.chance) {
            v2 jitter = {(rand01(state) - 0.5f) * 16, (rand01(state) - 0.5f) * 16};
            place(be.type, v2{((f32)x + 0.5f) * tile_size, ((f32)y + 0.5f) * tile_size} + jitter, state, now);
            break;
          }
          roll -= be.chance;
        }
      }
    }
  }

  // Creatures, a few per thousand land tiles, each on a tile of its liking.
  struct Herd {
    EntityType type;
    int per_thousand;
    TileType near;  // a tile it prefers, or None for any land
  };
  static const Herd herds[] = {
      {Entity_stag, 4, TileType_LeafForest}, {Entity_frog, 4, TileType_Sand},       {Entity_birb, 3, TileType_Grass},
      {Entity_buba, 2, TileType_Grass},      {Entity_stag, 1, TileType_PineForest},
  };
  int land = 0;
  for (int i = 0; i < l.width * l.height; i++)
    if (l.tiles[i] != TileType_DeepWater && l.tiles[i] != TileType_ShallowWater) land++;
  for (const Herd& herd : herds) {
    int count = max(1, land * herd.per_thousand / 1000);
    for (int n = 0, attempts = 0; n < count && attempts < count * 200; attempts++) {
      int x = (int)(rand01(state) * (f32)l.width), y = (int)(rand01(state) * (f32)l.height);
      if (x >= l.width || y >= l.height) continue;
      TileType t = l.tiles[x + l.width * y];
      bool ok = herd.near != TileType_None ? t == herd.near : (t != TileType_DeepWater && t != TileType_ShallowWater);
      if (!ok) continue;
      place(herd.type, v2{((f32)x + 0.5f) * tile_size, ((f32)y + 0.5f) * tile_size}, state, now);
      n++;
    }
  }
}

int worldgen_populate_tiles(int x0, int y0, int x1, int y1, int percent, u32 seed, Time now) {
  const Location& l = world.location;
  u32 state = seed * 2654435761u + 777u;
  if (!state) state = 1;
  int placed = 0;
  x0 = max(x0, 0), y0 = max(y0, 0), x1 = min(x1, l.width), y1 = min(y1, l.height);
  for (int y = y0; y < y1; y++) {
    for (int x = x0; x < x1; x++) {
      if (rand01(state) * 100 >= (f32)percent) continue;
      TileType t = l.tiles[x + l.width * y];
      for (const BiomePopulation& biome : biome_population) {
        if (biome.tile != t) continue;
        // The biome's kinds in the shares of their chances.
        f32 total = 0;
        for (const BiomeEntity& be : biome.entities) total += be.type != Entity_None ? be.chance : 0;
        f32 roll = rand01(state) * total;
        for (const BiomeEntity& be : biome.entities) {
          if (be.type == Entity_None) break;
          if (roll < be.chance) {
            v2 jitter = {(rand01(state) - 0.5f) * 16, (rand01(state) - 0.5f) * 16};
            placed += place(be.type, v2{((f32)x + 0.5f) * tile_size, ((f32)y + 0.5f) * tile_size} + jitter, state,
                            now) != nullptr;
            break;
          }
          roll -= be.chance;
        }
      }
    }
  }
  return placed;
}

bool server_generate_world(u32 seed, int size, Time now) {
  u8* tiles = (u8*)malloc((size_t)size * (size_t)size);
  if (!tiles) return false;
  worldgen_tiles(tiles, size, size, seed);
  play_reset_fighting();
  play_reset_creatures();
  bool ok = world_reset(size, size, tiles);
  server.map_png_size = 0;  // a new world, a new map
  if (ok) {
    world.spawn = worldgen_spawn_point(tiles, size, size);
    world.rng = seed ^ 0x6A09E667u;
    if (!world.rng) world.rng = 1;
    worldgen_populate(seed, now);
    dungeon_generate();
    world.populated = true;
  }
  free(tiles);
  return ok;
}

void worldgen_init_entity(Entity& e, Time now) {
  u32 state = world_random() | 1;
  init_kind(e, state, now);
}
