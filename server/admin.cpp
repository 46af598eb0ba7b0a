// Administrator tools the client's debug gestures send: new tiles from a seed, more entities in a
// rectangle, tile painting, and taking over a creature. The dispatch lets only administrators here.
// Changed tiles are kept with the world's other changes.
#include "physics.hpp"
#include "play.hpp"

constexpr int GENERATE_PERCENT_MAX = 100;

// Every character streaming gets the changed ground and its map again.
static void resend_ground() {
  server.map_png_size = 0;
  for (Session& other : server.sessions) {
    if (!other.active || !other.player_id || !other.streaming) continue;
    server_send_location(other);
    server_send_location_map(other);
    other.location_sent = time_now();
  }
}

static bool finite_rect(Rect r) { return server_finite_v2(v2{r.x, r.y}) && server_finite_v2(v2{r.w, r.h}); }

// The tiles a world rectangle covers (any corner order), clipped to the location; false when none.
static bool rect_tiles(Rect r, int& x0, int& y0, int& x1, int& y1) {
  const Location& l = world.location;
  if (!location_has_grid(&l) || !finite_rect(r)) return false;
  f32 ax = min(r.x, r.x + r.w) - l.offset.x, bx = max(r.x, r.x + r.w) - l.offset.x;
  f32 ay = min(r.y, r.y + r.h) - l.offset.y, by = max(r.y, r.y + r.h) - l.offset.y;
  x0 = clamp((int)floorf(ax / tile_size), 0, l.width);
  y0 = clamp((int)floorf(ay / tile_size), 0, l.height);
  x1 = clamp((int)floorf(bx / tile_size) + 1, 0, l.width);
  y1 = clamp((int)floorf(by / tile_size) + 1, 0, l.height);
  return x0 < x1 && y0 < y1;
}

void play_admin_generate_tiles(Session& s, const Request& r) {
  Location& l = world.location;
  if (!location_has_grid(&l)) return server_send_error(s, ErrorCode_CannotDoThat);
  worldgen_tiles((u8*)l.tiles, l.width, l.height, (u32)r.generate_tiles.seed);
  world.tiles_changed = true;
  printf("admin: '%s' generated the tiles from seed %d\n", log_text(s.character_name), r.generate_tiles.seed);
  resend_ground();
}

void play_admin_generate_entities(Session& s, const Request& r) {
  int x0, y0, x1, y1;
  if (!rect_tiles(r.generate_entities.rect, x0, y0, x1, y1) || r.generate_entities.density <= 0)
    return server_send_error(s, ErrorCode_BadRequest);
  int percent = min(r.generate_entities.density, GENERATE_PERCENT_MAX);
  int n = worldgen_populate_tiles(x0, y0, x1, y1, percent, world_random(), play_now());
  printf("admin: '%s' generated %d entities\n", log_text(s.character_name), n);
  if (n == 0 && world_entity_count() >= WORLD_GENERATED_ENTITIES_MAX) server_send_error(s, ErrorCode_NoSpace);
}

void play_admin_set_biom(Session& s, const Request& r) {
  TileType type = r.biom.type;
  int x0, y0, x1, y1;
  if (type == TileType_None || !tile_is_known(type) || !rect_tiles(r.biom.area, x0, y0, x1, y1))
    return server_send_error(s, ErrorCode_BadRequest);
  Location& l = world.location;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) l.tiles[x + l.width * y] = type;
  world.tiles_changed = true;
  resend_ground();
}

void play_admin_mind_control(Session& s, const Request& r) {
  Entity* mob = world_find(r.mind_control.mob_id);
  if (!mob) return server_send_error(s, ErrorCode_NotFound);
  Thinker* thinker = find_thinker(*mob);
  Mover* mover = find_mover(*mob);
  if (!thinker || !mover || !is_alive(*mob)) return server_send_error(s, ErrorCode_CannotDoThat);
  u32& flags = thinker->flags;
  switch (r.mind_control.request_type) {
    case RequestType_None:  // take it over, or let it go
      flags ^= ThinkerFlag_MindContolled;
      play_stop_action(*mob);
      server_stop_mover(*mob);
      thinker->activity = ThinkerActivity_None;
      thinker->target_id = 0;
      return;
    case RequestType_SetDst:
    case RequestType_SetDir:
      if (!server_finite_v2(r.mind_control.dst)) return server_send_error(s, ErrorCode_BadRequest);
      flags |= ThinkerFlag_MindContolled;
      play_stop_action(*mob);
      if (r.mind_control.request_type == RequestType_SetDst)
        mover_set_dst(*mover, clamp_to_location(*world_location(mob->location), r.mind_control.dst, v2{1, 1}));
      else
        mover_set_dir(*mover, v2_normalized(r.mind_control.dst));
      return;
    case RequestType_Spell: {
      flags |= ThinkerFlag_MindContolled;
      ErrorCode ok = play_cast(*mob, thinker->main_attack, r.mind_control.target_id, r.mind_control.dst, 0);
      if (ok != ErrorCode_Ok) server_send_error(s, ok);
      return;
    }
    default: return server_send_error(s, ErrorCode_CannotDoThat);
  }
}
