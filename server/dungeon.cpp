// The dungeon: a second, smaller location beside the world, entered through the world's entrances and
// left by its staircase, which brings the character back out by the entrance it came through.
#include "play.hpp"

constexpr int DUNGEON_WIDTH = 40;
constexpr int DUNGEON_HEIGHT = 20;
// Between the world's east edge and the dungeon, so the two rectangles never touch.
constexpr f32 DUNGEON_GAP = 16 * tile_size;
// Where a character entering appears, in tiles from the dungeon's corner; the staircase out stands just north.
constexpr f32 ARRIVAL_X = 4.5f, ARRIVAL_Y = 10.5f;

static v2 dungeon_point(f32 x, f32 y) { return world.dungeon.offset + v2{x * tile_size, y * tile_size}; }

// The location is made only where entities name their location by their record (the server itself); a host
// that keeps one location for every entity gets no dungeon, and entering is refused there.
static bool dungeon_hosted() {
  static Entity probe;
  probe.location = world.dungeon.ref;
  return location_has_grid(&world.dungeon) && get_location(probe) == &world.dungeon;
}

static Entity* place(EntityType type, f32 x, f32 y, int rotation = 0) {
  Entity* e = world_spawn(type, dungeon_point(x, y));
  if (!e) return nullptr;
  worldgen_init_entity(*e, server_clock());
  e->flags |= rotation_to_flags(rotation);
  return e;
}

void dungeon_generate() {
  static u8 tiles[DUNGEON_WIDTH * DUNGEON_HEIGHT];
  for (int y = 0; y < DUNGEON_HEIGHT; y++)
    for (int x = 0; x < DUNGEON_WIDTH; x++) {
      bool border = x == 0 || y == 0 || x == DUNGEON_WIDTH - 1 || y == DUNGEON_HEIGHT - 1;
      tiles[x + y * DUNGEON_WIDTH] = border        ? TileType_SolidGround
                                     : (x + y) % 7 ? TileType_StoneTiles
                                                   : TileType_LightStoneTiles;
    }
  LocationRef ref = {LocationType_Dungeon, 0};
  v2 offset = {world.location.offset.x + world.location.size.x + DUNGEON_GAP, world.location.offset.y};
  if (!location_init(world.dungeon, ref, "dungeon", LOCATION_NAME_LEN, DUNGEON_WIDTH, DUNGEON_HEIGHT, offset, tiles,
                     (s64)sizeof(tiles)))
    return;
  if (!dungeon_hosted()) return location_free(world.dungeon);
  // Walls along the edges, two tiles a piece; the side walls turned a quarter.
  for (int x = 1; x + 1 < DUNGEON_WIDTH; x += 2) {
    place(Entity_dungeon_wall, (f32)x + 1, 0.75f);
    place(Entity_dungeon_wall, (f32)x + 1, DUNGEON_HEIGHT - 0.75f);
  }
  for (int y = 1; y + 1 < DUNGEON_HEIGHT; y += 2) {
    place(Entity_dungeon_wall, 0.75f, (f32)y + 1, 1);
    place(Entity_dungeon_wall, DUNGEON_WIDTH - 0.75f, (f32)y + 1, 1);
  }
  place(Entity_dungeon_staircase, ARRIVAL_X, ARRIVAL_Y - 3);
  for (int i = 0; i < 4; i++) {
    place(Entity_dungeon_pillar, 10.0f + 7 * i, 5);
    place(Entity_dungeon_pillar, 10.0f + 7 * i, 15);
  }
  // The light by the stairs is the dungeon's own: lit, and neither taken away nor burnt out.
  if (Entity* torch = place(Entity_torch, ARRIVAL_X + 2, ARRIVAL_Y - 3))
    torch->flags |= EntityFlag_Burning | EntityFlag_Protected;
  place(Entity_wooden_chest, 20, 10);
  // Its keepers wait at the far end, out of sight of the staircase.
  place(Entity_skeleton, 34, 7);
  place(Entity_skeleton, 35, 13);
}

void play_relocate(Entity& player, Location& to, v2 pos) {
  bool changes = !same_location(player.location, to.ref);
  // What the character carries stays behind where it stood, in its own location.
  if (changes) play_put_down_burden(player);
  server_stop_mover(player);
  remove_from_grid(player);
  player.location = to.ref;
  set_pos(player, pos);
  Session* s = changes ? server_session_of_player(player.id) : nullptr;
  if (!s) return;
  // The client changes its ground and map before the first snapshot of the new place arrives.
  server_send_location(*s);
  server_send_location_map(*s);
  s->location_sent = time_now();
}

ErrorCode play_enter(Entity& player, Entity& entrance) {
  if (!has_component(entrance, Component_Entrance) || !dungeon_hosted()) return ErrorCode_CannotDoThat;
  // A lifted burden or a pulled cart cannot go down the stairs.
  if (const Mortal* mortal = find_mortal(player); mortal && mortal->burden) return ErrorCode_CannotDoThat;
  Session* s = server_session_of_player(player.id);
  if (!same_location(player.location, world.dungeon.ref)) {
    if (s) s->return_pos = entrance.pos + v2{0, entrance.radius + player.radius + 8};
    play_relocate(player, world.dungeon, dungeon_point(ARRIVAL_X, ARRIVAL_Y));
    return ErrorCode_Ok;
  }
  // Out by the entrance the character came through; without one (the world changed), by the spawn.
  v2 out = s && world_is_walkable_in(world.location, s->return_pos) ? s->return_pos : world.spawn;
  play_relocate(player, world.location, out);
  return ErrorCode_Ok;
}
