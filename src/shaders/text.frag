// The atlas holds glyph coverage in red; the colour comes from the tint.
layout(binding = 0) uniform sampler2D sampler;
uniform vec4 tintColor;
in vec2 uv;
layout(location = 0) out vec4 frag_color;

void main() {
  float coverage = texture(sampler, uv).r;
  frag_color = vec4(tintColor.rgb, tintColor.a * coverage);
}
