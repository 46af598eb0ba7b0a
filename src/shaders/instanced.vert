#version 450 core
// A spell projectile: 2048 small sparks orbiting inside a unit disc facing the camera, placed by instance index.
uniform mat4 mvp;
uniform float time;
out vec2 uv;
out float fade;

const vec2 corners[4] = vec2[](vec2(-1.0, -1.0), vec2(1.0, -1.0), vec2(1.0, 1.0), vec2(-1.0, 1.0));

float hash(float n) {
  return fract(sin(n * 12.9898) * 43758.5453);
}

void main() {
  float id = float(gl_InstanceID);
  float h1 = hash(id + 0.1), h2 = hash(id + 7.3), h3 = hash(id + 13.7);
  float a = h1 * 6.2831853 + time * (1.0 + 2.0 * h2);
  float r = sqrt(h3) * (0.75 + 0.25 * sin(time * 3.0 + h1 * 20.0));
  vec2 centre = vec2(cos(a), sin(a)) * r;
  float size = 0.03 + 0.05 * (1.0 - r);
  vec2 c = corners[gl_VertexID];
  uv = c;
  fade = 1.0 - r;
  gl_Position = mvp * vec4(centre + c * size, 0.0, 1.0);
}
