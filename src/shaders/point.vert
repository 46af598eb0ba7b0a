#version 450 core
// One point at the origin of the model; its size comes from glPointSize.
uniform mat4 mvp;

void main() {
  gl_Position = mvp * vec4(0.0, 0.0, 0.0, 1.0);
}
