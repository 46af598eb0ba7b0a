#version 450 core
// Particles: one record per particle serves four instances (attribute divisor 4); the four differ in turn
// and size so that each particle reads as a flickering tuft rather than a square.
layout(location = 0) in vec4 particle;  // position, lifetime (1 at birth down to 0)
layout(location = 1) in vec4 extra;     // scale
uniform mat4 mvp;
uniform float time;
out vec2 uv;
out float life;

const vec2 corners[4] = vec2[](vec2(-1.0, -1.0), vec2(1.0, -1.0), vec2(1.0, 1.0), vec2(-1.0, 1.0));

void main() {
  int k = gl_InstanceID % 4;
  vec2 c = corners[gl_VertexID];
  uv = c * 0.5 + 0.5;
  float turn = float(k) * 0.785398 + time * (k % 2 == 0 ? 0.7 : -0.9);
  c = mat2(cos(turn), sin(turn), -sin(turn), cos(turn)) * c;
  life = clamp(particle.w, 0.0, 1.0);
  float size = extra.x * (2.5 + 4.0 * life) * (1.0 - 0.15 * float(k));
  // Height is the particle's z, stretched so that flames climb; the spread is narrowed to the fire's body.
  // The system's transform stands its xy plane upright towards the camera.
  vec3 p = vec3(particle.x * 0.6, particle.z * 2.5, particle.y * 0.05) + vec3(c * size, 0.0);
  gl_Position = mvp * vec4(p, 1.0);
}
