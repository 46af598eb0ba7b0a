#version 450 core
// One small quad per star (attribute divisor 1): position and remaining life.
layout(location = 0) in vec4 star;
uniform mat4 mvp;
out vec2 uv;
out float life;

const vec2 corners[4] = vec2[](vec2(-1.0, -1.0), vec2(1.0, -1.0), vec2(1.0, 1.0), vec2(-1.0, 1.0));

void main() {
  vec2 c = corners[gl_VertexID];
  uv = c;
  life = star.w;
  float size = 0.05 * (0.5 + clamp(star.w, 0.0, 1.0));
  gl_Position = mvp * vec4(star.xyz + vec3(c * size, 0.0), 1.0);
}
