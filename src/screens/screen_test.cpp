// The developer test screen: one scene that uses every primitive and effect, so a screenshot shows the
// renderer at work. Escape goes back to the world.
#include <glad/gl.h>

#include "app/client.hpp"
#include "render/font.hpp"
#include "render/model.hpp"
#include "render/renderer.hpp"
#include "screens/screens.hpp"
#include "ui/ui.hpp"

static ParticleSystem test_flames, test_smoke;
static Texture test_texture;

// A fixed orbiting view of a small stage around the origin, independent of the player's camera.
static void test_screen_camera() {
  Camera& cam = renderer.camera;
  f32 aspect = renderer.window_height > 0 ? (f32)renderer.window_width / (f32)renderer.window_height : 1;
  cam.target = {{40, 0, 0}};
  cam.pitch = pi / 4;
  cam.yaw = 0.25f * sinf(renderer.time * 0.3f);
  v3 offset = m3_rotate_z(cam.yaw) * (m3_rotate_x(cam.pitch) * v3{{0, 0, 300}});
  cam.pos = cam.target + offset;
  cam.projection = m4_frustum(pi / 4, aspect, 1.0f, 5000.0f);
  cam.view = m4_inverse(m4_look_at(cam.pos, cam.target, v3{{0, 0, 1}}));
  renderer.vp = cam.projection * cam.view;
}

static void test_screen_world() {
  // The loading screen normally brings the capsule in; this screen may be reached before it.
  if (!game.models.capsule.nmeshes && file_exists("assets/capsule.glb"))
    game.models.capsule = load_model("assets", "capsule.glb");
  test_screen_camera();
  f32 t = renderer.time;

  // The shadow pass, with the capsule as the one caster.
  shadowmap_begin(v2{40, 0});
  AnimationInfo still = {};
  still.opacity = 1;
  draw_model_shadowmap(game.models.capsule, m4_translate(-60, 0, 0) * m4_scale(16, 16, 32), still);
  shadowmap_end();
  glDisable(GL_CULL_FACE);

  push_transform(renderer.vp);

  // Ground: a grid of lines, a filled circle, a box and the axes.
  glEnable(GL_DEPTH_TEST);
  for (int i = -4; i <= 4; i++) {
    Color c = {{0.25f, 0.3f, 0.4f, 1}};
    draw_line(v2{(f32)i * 32, -128}, v2{(f32)i * 32, 128}, c);
    draw_line(v2{-128, (f32)i * 32}, v2{128, (f32)i * 32}, c);
  }
  draw_circle(v2{-64, -64}, 24, Color{{0.2f, 0.5f, 0.3f, 1}});
  draw_bbox(Bbox{{{48, -96, 0}}, {{96, -48, 40}}}, Color{{1, 0.8f, 0.2f, 1}});
  draw_axis(m4_translate(-96, 64, 0) * m4_scale_uniform(40));
  draw_triangle(v3{{-112, 96, 1}}, v3{{-64, 96, 1}}, v3{{-88, 120, 1}}, Color{{0.9f, 0.3f, 0.6f, 1}});
  draw_point(v3{{0, -100, 10}}, Color{{1, 1, 1, 1}}, 6);
  draw_line_ex(v3{{-120, -120, 2}}, v3{{120, -120, 2}}, Color{{0.6f, 0.8f, 1, 1}}, 3);

  // Things standing on the stage.
  draw_sphere(v3{{-40, 40, 16}}, v3{{16, 16, 16}}, Color{{0.3f, 0.6f, 1, 1}});
  draw_capsule(v3{{-60, 0, 0}}, v2{16, 32}, Color{{0.3f, 0.2f, 0, 1}});
  draw_rect_billboard(v3{{-40, 40, 36}}, v2{40, 6}, Color{{0.8f, 0.1f, 0.1f, 1}}, v2{0, 4});

  // Effects over the scene.
  glDisable(GL_DEPTH_TEST);
  draw_quad(v2{0, 0}, v2{28, 28}, renderer.shaders.sprint_aura);
  f32 cycle = fract(t * 0.7f);
  draw_slash(v3{{0, 0, 12}}, v3{{40, 40, 4}}, Color{{1, 1, 0, 0}}, t * 0.5f, pi, cycle);
  draw_hit(v3{{64, 48, 32}}, v3{{20, 20, 20}}, Color{{0.87f, 0.2f, 0, 1}}, ease_in_cubic(1 - fract(t)), 1.7f);
  draw_fire(v3{{100, 0, 0}}, v2{16, 32}, game.dt, test_flames, test_smoke);
  draw_instances(v2{-100, 0}, Color{{1.5f, 1.0f, 0.5f, 1}});
  m4 portal = m4_translate(130, 70, 40) * m4_rotate_z(0.3f * sinf(0.5f * t)) * m4_rotate_x(pi / 2) * m4_scale(5, 8, 1);
  draw_stars(portal);
  draw_text_billboard(v2{-40, 40}, v2{0, 44}, 1, Color{{1, 1, 1, 1}}, "sphere");
  draw_cubemap();
  pop_transform();
}

// Flat primitives along the bottom of the window, in window pixels, on a dark panel.
static void test_screen_overlay() {
  if (!test_texture.id) test_texture = load_test_texture();
  glDisable(GL_DEPTH_TEST);
  f32 cell = max(16.0f, floorf((f32)renderer.window_height / 12));
  f32 x = cell * 0.5f, y = (f32)renderer.window_height - cell * 2.75f;
  draw_rect(Rect{0, y - cell * 0.25f, (f32)renderer.window_width, cell * 2.75f}, Color{{0, 0, 0, 0.6f}});
  draw_rect(Rect{x, y, cell * 2, cell}, Color{{0.8f, 0.2f, 0.2f, 1}});
  draw_rect_outline(Rect{x - 2, y - 2, cell * 2 + 4, cell + 4}, Color{{1, 1, 1, 1}});
  x += cell * 2.5f;
  draw_circle(v2{x + cell / 2, y + cell / 2}, cell / 2, Color{{0.2f, 0.8f, 0.3f, 1}});
  x += cell * 1.5f;
  draw_texture(test_texture, Rect{0, 0, 2, 2}, Rect{x, y, cell, cell}, Color{{1, 1, 1, 1}});
  x += cell * 1.5f;
  Texture& fire = renderer.fire_texture;
  draw_texture(fire, Rect{0, 0, (f32)fire.width, (f32)fire.height}, Rect{x, y, cell / 2, cell}, Color{{1, 1, 1, 1}});
  x += cell;
  draw_texture(renderer.gradient_texture, Rect{0, 0, GRADIENT_TEXTURE_SIZE, GRADIENT_TEXTURE_SIZE},
               Rect{x, y, cell, cell}, Color{{1, 0.9f, 0.5f, 1}});
  x += cell * 1.5f;
  push_transform(current_transform() * m4_translate(x, y, 0) * m4_scale(cell, cell, 1));
  draw_tests();
  pop_transform();
  x += cell * 1.5f;
  draw_line(v2{x, y}, v2{x + cell, y + cell}, Color{{1, 1, 0, 1}});
  Texture& icons = renderer.icons_texture;
  for (int i = 0; i < 9 && icons.width; i++) {
    Rect src = {(f32)(i % 8) * 128, (f32)(i / 8) * 128, 128, 128};
    draw_texture(icons, src, Rect{cell * 0.5f + (f32)i * cell * 1.1f, y + cell * 1.25f, cell, cell},
                 Color{{1, 1, 1, 1}});
  }
}

static void test_screen_text() {
  Style style;
  style.pos = {8, 6};
  style.color = {{0.9f, 0.9f, 0.95f, 1}};
  draw_string(style, "Renderer test: primitives, effects, bloom");
  style.pos.y += ui.line_height;
  style.font_size = 0.75f;
  style.color = {{1, 0.8f, 0.4f, 1}};
  draw_string(style, Str(tprintf("t = %.2f s, %d lights, %d programs", renderer.time, renderer.nlights,
                                 renderer.shaders_info.nshaders)
                             .cstr()));
  style.pos = {(f32)renderer.window_width - 8, 6};
  style.anchor = {1, 0};
  style.color = {{0.6f, 0.9f, 1, 1}};
  draw_string(style, "Кириллица №1");
}

void test_screen() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    register_input_event(event);
    if (event.type == SDL_QUIT) game.should_quit = true;
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) set_screen(Screen_World);
  }
  draw_clear(Color{{0.04f, 0.05f, 0.09f, 1}});
  clear_lights();
  add_light(v3{{100, 0, 20}}, Color{{1, 0.6f, 0.2f, 1}}, 200);
  update_lights();
  test_screen_world();
  test_screen_overlay();
  test_screen_text();
}
