#include "world/cursor.hpp"

#include <glad/gl.h>

#include "entity.hpp"
#include "location.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"
#include "render/font.hpp"
#include "render/renderer.hpp"

void clear_cursor() { game.cursor = Cursor{}; }

void set_cursor(CursorType type, Id entity_id, CursorCallback onclick) {
  clear_cursor();
  game.cursor.type = type;
  game.cursor.entity_id = entity_id;
  game.cursor.onclick = onclick;
}

void set_cursor(EntityType entity_type, CursorCallback onclick) {
  clear_cursor();
  game.cursor.type = CursorType_Build;
  game.cursor.entity_type = entity_type;
  game.cursor.onclick = onclick;
}

// One scratch record for every ghost: entities are large and a frame allocates nothing.
static Entity cursor_ghost;

static v2 cursor_snapped_mouse() {
  if (!game.location) return game.mouse_world;
  return round_to_location(*game.location, game.mouse_world, 0.5f);
}

static void draw_ghost_entity(Entity& ghost, v2 pos, int rotation) {
  ghost.pos = pos;
  ghost.flags = (ghost.flags & ~(u32)3) | rotation_to_flags(rotation & 3) | EntityFlag_Invisible;
  draw_entity(ghost, false);
}

static bool ghost_from_prototype(EntityType type) {
  Entity* prototype = get_entity_prototype(type);
  if (!prototype) return false;
  memset((void*)&cursor_ghost, 0, sizeof(cursor_ghost));
  copy_prototype(&cursor_ghost, *prototype);
  cursor_ghost.id = (Id)-1;
  if (has_component(cursor_ghost, Component_Mortal)) cursor_ghost.mortal.hp.cur = cursor_ghost.mortal.hp.max;
  return true;
}

// Ghosts stand in the world: they are drawn after the world transform is gone, so they push their own,
// and they are depth-tested against what is already there.
static void ghost_pass_begin() {
  push_transform(renderer.vp);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
}

static void ghost_pass_end() {
  glDisable(GL_DEPTH_TEST);
  pop_transform();
}

void draw_ghost(EntityType type, int rotation) {
  if (!ghost_from_prototype(type)) return;
  v2 at = cursor_snapped_mouse();
  ghost_pass_begin();
  draw_ghost_entity(cursor_ghost, at, rotation);
  // The label stays readable over whatever the ghost stands behind.
  glDisable(GL_DEPTH_TEST);
  draw_text_billboard(at, get_texture_offset(cursor_ghost), 1, Color{{1, 1, 1, 1}}, "%s", rotation_name(rotation & 3));
  ghost_pass_end();
}

void draw_cursor() {
  Cursor& c = game.cursor;
  switch (c.type) {
    case CursorType_None: break;
    case CursorType_Build: draw_ghost(c.entity_type, c.rotation_index); break;
    case CursorType_Item:
      if (!find_entity_by_id(c.entity_id)) clear_cursor();
      break;
    case CursorType_Burden:
      if (Entity* burden = find_entity_by_id(c.entity_id)) {
        memcpy((void*)&cursor_ghost, (const void*)burden, sizeof(Entity));
        ghost_pass_begin();
        draw_ghost_entity(cursor_ghost, cursor_snapped_mouse(), c.rotation_index);
        ghost_pass_end();
      }
      break;
    case CursorType_Blueprint: {
      Entity* e = find_entity_by_id(c.entity_id);
      if (!e || !has_component(*e, Component_Blueprint)) break;
      const Blueprint& bp = e->blueprint;
      int n = blueprint_nelements(bp);
      f32 angle = (f32)c.rotation_index * pi / 2;
      f32 ca = cosf(angle), sa = sinf(angle);
      v2 at = cursor_snapped_mouse();
      ghost_pass_begin();
      for (int i = 0; i < n; i++) {
        const BlueprintElement& el = bp.elements[i];
        if (!ghost_from_prototype(el.type)) continue;
        cursor_ghost.flags = el.entity_flags;
        int rotation = (flags_to_rotation(el.entity_flags) + c.rotation_index) & 3;
        v2 offset = {el.offset.x * ca - el.offset.y * sa, el.offset.x * sa + el.offset.y * ca};
        draw_ghost_entity(cursor_ghost, at + offset, rotation);
      }
      ghost_pass_end();
    } break;
  }
}
