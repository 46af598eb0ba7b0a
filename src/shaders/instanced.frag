uniform vec4 tintColor;
in vec2 uv;
in float fade;
layout(location = 0) out vec4 frag_color;

void main() {
  float d = length(uv);
  float alpha = (1.0 - smoothstep(0.3, 1.0, d)) * (0.4 + 0.6 * fade) * tintColor.a;
  if (alpha < 0.01) discard;
  frag_color = vec4(tintColor.rgb * (0.7 + 0.8 * fade), alpha);
}
