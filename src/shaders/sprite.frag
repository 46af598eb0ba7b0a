// A textured quad, tinted.
layout(binding = 0) uniform sampler2D sampler;
uniform vec4 tintColor;
uniform int flip;
in vec2 uv;
layout(location = 0) out vec4 frag_color;

void main() {
  vec2 st = flip != 0 ? vec2(uv.x, 1.0 - uv.y) : uv;
  frag_color = texture(sampler, st) * tintColor;
}
