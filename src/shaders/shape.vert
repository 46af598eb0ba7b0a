#version 450 core
// Flat shapes in the xy plane (the unit circle fan).
layout(location = 0) in vec2 pos;
uniform mat4 mvp;

void main() {
  gl_Position = mvp * vec4(pos, 0.0, 1.0);
}
