#version 450 core
// Terrain quads in world units on the ground plane, with the piece and the background under it.
layout(location = 0) in vec2 pos;
layout(location = 1) in vec2 tex_coord;
layout(location = 2) in vec2 bg_coord;
uniform mat4 mvp;
uniform mat4 shadow;
out vec2 uv;
out vec2 bg_uv;
out vec3 world_pos;
out vec4 shadow_pos;

void main() {
  uv = tex_coord;
  bg_uv = bg_coord;
  world_pos = vec3(pos, 0.0);
  shadow_pos = shadow * vec4(pos, 0.0, 1.0);
  gl_Position = mvp * vec4(pos, 0.0, 1.0);
}
