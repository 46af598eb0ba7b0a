#version 450 core
layout(location = 0) in vec3 pos;
layout(location = 1) in vec3 normal;
uniform mat4 mvp;
uniform mat4 model;
out vec3 local_normal;
out vec3 world_pos;

void main() {
  local_normal = normal;
  world_pos = (model * vec4(pos, 1.0)).xyz;
  gl_Position = mvp * vec4(pos, 1.0);
}
