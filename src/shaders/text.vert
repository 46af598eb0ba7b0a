#version 450 core
// Glyph quads: position and atlas coordinate per vertex.
layout(location = 0) in vec2 pos;
layout(location = 1) in vec2 tex_coord;
uniform mat4 mvp;
out vec2 uv;

void main() {
  uv = tex_coord;
  gl_Position = mvp * vec4(pos, 0.0, 1.0);
}
