// Foliage casts the shadow of its leaves, not of its cards: texels under the threshold let the light through.
layout(binding = 0) uniform sampler2D sampler;
uniform float alpha_threshold;
in vec2 uv;

void main() {
  if (alpha_threshold > 0.0 && texture(sampler, uv).a < alpha_threshold) discard;
}
