// Flame or smoke particles: the texture's shape in the tint's colour. `gradient.x` is how far the colour
// cools as the particle ages. Colours above 1 also go to the brightness attachment.
layout(binding = 0) uniform sampler2D sampler;
uniform vec4 tintColor;
uniform vec2 gradient;
in vec2 uv;
in float life;
layout(location = 0) out vec4 frag_color;
layout(location = 1) out vec4 bright_color;

void main() {
  vec4 tex = texture(sampler, uv);
  float heat = mix(1.0, life, clamp(gradient.x, 0.0, 1.0));
  vec3 c = tintColor.rgb * mix(vec3(0.3, 0.2, 0.15), vec3(1.0), heat) * tex.rgb;
  float alpha = tex.a * life * 0.8;
  if (alpha < 0.01) discard;
  frag_color = vec4(c, alpha);
  float glow = max(c.r, max(c.g, c.b)) > 1.0 ? 1.0 : 0.0;
  bright_color = vec4(c, alpha * glow);
}
