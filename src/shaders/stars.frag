uniform float time;
in vec2 uv;
in float life;
layout(location = 0) out vec4 frag_color;

void main() {
  float d = length(uv);
  float twinkle = 0.8 + 0.2 * sin(time * 10.0 + life * 40.0);
  float alpha = (1.0 - smoothstep(0.0, 1.0, d)) * clamp(life * 2.0, 0.0, 1.0) * twinkle;
  if (alpha < 0.01) discard;
  frag_color = vec4(0.75, 0.85, 1.0, alpha);
}
