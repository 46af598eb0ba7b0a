#version 450 core
// The unit sphere, passing its own coordinates on so that the fragment shader can cut shapes out of it.
layout(location = 0) in vec3 pos;
layout(location = 1) in vec3 normal;
uniform mat4 mvp;
uniform mat4 model;
out vec3 local;
out vec3 world_normal;

void main() {
  local = pos;
  world_normal = mat3(model) * normal;
  gl_Position = mvp * vec4(pos, 1.0);
}
