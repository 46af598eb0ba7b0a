// The world map window: the whole map texture, the current location, the respawn and own markers,
// pointing and the administrator's teleport; and the tile palette of the tile tool.
#include "world/world_map.hpp"

#include "entity.hpp"
#include "render/renderer.hpp"
#include "ui/ui.hpp"

WorldMapView world_map_view(int zoom, f32 window_width, int texture_width, int texture_height) {
  if (zoom <= 0 || texture_width <= 0 || texture_height <= 0) return {};
  f32 w = (f32)zoom * 0.15f * window_width;
  f32 k = w / (f32)texture_width;
  return {w, (f32)texture_height * k, k};
}

bool world_map_point(v2 mouse, Rect image, f32 k, int texture_width, int texture_height, v2* out) {
  if (!(k > 0)) return false;
  v2 q = (mouse - v2{image.x, image.y}) / k;
  q.y = (f32)texture_height - q.y;
  // Both ends: a point past the map's far edges is no place in the world either.
  if (q.x < 0 || q.y < 0 || q.x > (f32)texture_width || q.y > (f32)texture_height) return false;
  *out = q * WORLD_MAP_TEXEL_UNITS;
  return true;
}

void ui_next_map_zoom() { ui.draw_world_map = (ui.draw_world_map + 1) % 3; }

// A white square with a black rim at map point p (texels) on a map of height h and scale k.
static Rect map_marker(const UiId& bg_id, const UiId& id, v2 p, f32 g, f32 h, f32 k, f32 m) {
  Rect r = {g + p.x * k - m / 2, g + h - p.y * k - m / 2, m, m};
  ui_rect(bg_id, r, {{0, 0, 0, 1}})->ignore_events = 1;
  ui_rect(id, grow(r, -2), {{1, 1, 1, 1}});
  return r;
}

void draw_world_map() {
  Entity* player = game.player;
  const Texture& tex = game.world_map.texture;
  int z = ui.draw_world_map;
  WorldMapView view = world_map_view(z, (f32)renderer.window_width, tex.width, tex.height);

  UiElement* map = ui_div("world-map", {(f32)renderer.window_width, 0});
  map->floating = true;
  // The image sits one padding inside the map; the markers, placed from the map's corner, take the
  // padding as the layout will scale it, so they land on the image at any display size.
  f32 g = px(map->pad);
  Rect image = {};
  bool has_image = view.k > 0 && tex.id != 0;
  if (has_image) {
    UiElement* e = ui_push_element("world-map-image", ui.current_layout);
    e->rect.w = view.w;
    e->rect.h = view.h;
    e->image.texture = tex;
    e->image.src = {0, 0, (f32)tex.width, (f32)tex.height};
    image = ui_get_prev_state(e).rect;
    if (player && game.location) {
      const Location& loc = *game.location;
      Rect l = rect_at(player->pos / WORLD_MAP_TEXEL_UNITS, (f32)loc.width, (f32)loc.height);
      ui_rect("world-map-location",
              {floorf(g + l.x * view.k), ceilf(g + view.h - (l.y + l.h) * view.k), l.w * view.k, l.h * view.k},
              {{0, 0, 0, 0.5f}});
    }
    // Never so small that the white inner square, 2 pixels in from the rim, turns inside out.
    f32 m = max(em_px(0.2f), 6.0f);
    if (player) {
      if (Person* person = find_person(*player); person && person->respawn_id != 0) {
        Rect r = map_marker("world-map-location-respawn-bg", "world-map-location-respawn",
                            person->respawn_pos / WORLD_MAP_TEXEL_UNITS, g, view.h, view.k, m);
        if (rect_is_hovered(grow({r.x + image.x - g, r.y + image.y - g, r.w, r.h}, m)))
          set_tooltip(ui.mouse, {0, 1}, "My respawn");
      }
      map_marker("world-map-location-me-bg", "world-map-location-me", player->pos / WORLD_MAP_TEXEL_UNITS, g, view.h,
                 view.k, m);
    }
  }

  UiElement* controls = ui_div("world-map-controls", {});
  controls->direction = Ui_Horizontal;
  controls->grow = {0, 1};
  controls->align = UiAlign_Center;
  ui_spacer("spacer");
  // Alt is the teleport gesture's modifier; the same press is the world's own teleport elsewhere.
  bool teleporting = left_mouse_went_down() && game.modifiers.alt;
  v2 q;
  if (has_image && (z > 1 || teleporting) && world_map_point(ui.mouse, image, view.k, tex.width, tex.height, &q)) {
    ui_textf("Pos: %.f %.f", q.x, q.y);
    if (teleporting && player && is_admin(*player)) teleport(q);
  }
  const Mover* mover = player ? find_mover(*player) : nullptr;
  ui_textf("Time: %02d:%02d, Zone: %s", (int)game.game_time.hour, (int)game.game_time.second,
           mover ? location_zone_name(mover->zone) : "-");
  if (ui_button("Map").clicked) ui_next_map_zoom();
  ui_end_layout();
  ui_end_layout();
}

// --- tile palette

int tile_palette_cells(f32 atlas_width, f32 tile_size, f32 shown, v2 origin, TilePaletteCell* out) {
  if (!(tile_size > 0) || !(atlas_width > 0)) return 0;
  // Each kind's block in the atlas is four cells wide.
  int per_row = (int)(atlas_width / tile_size / 4);
  int n = 0;
  for (int r = 0; r < TILE_PALETTE_ROWS; r++) {
    for (int j = 0; j < per_row; j++) {
      int i = r * per_row + j;
      if (i >= TILES_MAPPING_COUNT) break;
      out[n++] = {{4 * (f32)j * tile_size, 5 * (f32)r * tile_size, tile_size, tile_size},
                  {origin.x + (f32)j * shown, origin.y + (f32)r * shown, shown, shown},
                  tiles_mapping[i]};
    }
  }
  return n;
}

void draw_tile_palette() {
  const Texture& atlas = renderer.tiles_texture;
  f32 c = renderer.tiles_texture_tile_size;
  if (atlas.id == 0 || atlas.width <= 0 || atlas.height <= 0) return;
  TilePaletteCell cells[TILES_MAPPING_COUNT];
  int n = tile_palette_cells((f32)atlas.width, c, px(c), {px(c), 0.5f * (f32)renderer.window_height}, cells);
  const TilePaletteCell* hovered = nullptr;
  const TilePaletteCell* selected = nullptr;
  for (int i = 0; i < n; i++) {
    const TilePaletteCell& cell = cells[i];
    draw_texture(atlas, cell.src, cell.dst, {{1, 1, 1, 1}});
    if (rect_is_hovered(cell.dst)) {
      hovered = &cell;
      if (left_mouse_went_down()) {
        if ((int)ui.tiles.selected_tile == (int)cell.type) {
          ui.tiles.is_visible = false;
        } else {
          ui.tiles.selected_tile = (int)cell.type;
        }
      }
    } else if ((int)ui.tiles.selected_tile == (int)cell.type) {
      selected = &cell;
    }
  }
  if (hovered) draw_rect_outline(hovered->dst, {{1, 0, 0, 1}});
  if (selected) draw_rect_outline(selected->dst, {{1, 1, 0, 1}});
}
