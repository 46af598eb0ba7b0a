// A soft round spot: white, opaque in the middle, transparent at the rim.
in vec2 uv;
layout(location = 0) out vec4 frag_color;

void main() {
  float r = length(uv * 2.0 - 1.0);
  float a = 1.0 - smoothstep(0.0, 1.0, r);
  frag_color = vec4(1.0, 1.0, 1.0, a * a);
}
