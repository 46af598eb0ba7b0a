#include "world/selection.hpp"

#include "entity.hpp"
#include "physics.hpp"
#include "registry.hpp"
#include "render/renderer.hpp"

bool pick_ray_hits(const Entity& e, v3 from, v3 to) {
  if (is_rectangular(e)) return segment_intersects_bbox(from, to, entity_bbox(e));
  v3 base = {e.pos.x, e.pos.y, 0};
  v3 top = {e.pos.x, e.pos.y, 2 * e.radius};
  return segment_intersects_capsule(from, to, base, top, e.radius);
}

void update_selections() {
  game.hovered_id = 0;
  if (ui.hovered) return;
  v3 from = renderer.camera.pos;
  v3 to = {game.mouse_world.x, game.mouse_world.y, 0};
  bool shift = game.modifiers.shift;
  Id player_id = game.player ? game.player->id : 0;
  int n = entity_storage.nentities < ENTITIES_MAX ? entity_storage.nentities : ENTITIES_MAX;
  for (int i = 0; i < n; i++) {
    const Entity& e = entity_storage.entities[i];
    if (e.id == 0) continue;
    if (!shift && (e.id == player_id || (e.flags & EntityFlag_NoHover))) continue;
    if (in_container(e)) continue;
    if (pick_ray_hits(e, from, to)) game.hovered_id = e.id;
  }
}
