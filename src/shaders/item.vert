#version 450 core
// Item icons: every mesh in its bind pose.
layout(location = 0) in vec3 pos;
layout(location = 1) in vec2 tex_coord;
layout(location = 2) in vec3 normal;
uniform mat4 mvp;
out vec2 uv;
out vec3 local_normal;

void main() {
  uv = tex_coord;
  local_normal = normal;
  gl_Position = mvp * vec4(pos, 1.0);
}
