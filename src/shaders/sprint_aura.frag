// A swirling ring under a sprinting character.
uniform float time;
in vec2 uv;
layout(location = 0) out vec4 frag_color;

void main() {
  vec2 p = uv * 2.0 - 1.0;
  float r = length(p);
  float a = atan(p.y, p.x);
  float ring = smoothstep(0.55, 0.8, r) * (1.0 - smoothstep(0.85, 1.0, r));
  float swirl = 0.6 + 0.4 * sin(a * 6.0 - time * 8.0);
  float alpha = ring * swirl * 0.8;
  if (alpha < 0.01) discard;
  frag_color = vec4(0.5, 0.9, 1.0, alpha);
}
