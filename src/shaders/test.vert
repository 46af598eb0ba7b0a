#version 450 core
// The developer test draw: positions and colours from the scratch buffer, moved by a uniform block.
layout(location = 0) in vec3 pos;
layout(location = 1) in vec4 color;
layout(std140) uniform TransformBlock {
  vec2 offset;
  float fudge;
  vec4 foo;
} transform_block;
uniform mat4 mvp;
out vec4 vertex_color;

void main() {
  vertex_color = color + transform_block.foo;
  vec2 p = pos.xy + transform_block.offset * (1.0 + transform_block.fudge);
  gl_Position = mvp * vec4(p, pos.z, 1.0);
}
