// One direction of a Gaussian blur (horizontal when flip is 0). The targets may be larger than the window
// and only the window-sized corner holds this frame, so positions are window pixels and every tap stays
// inside `viewport`. The pass samples bilinearly: a tap between two texels weighs both, so five fetches cover
// texels 0, 2-3 and 6-7 on each side.
layout(binding = 0) uniform sampler2D sampler;
uniform int flip;
// The source region that holds the frame, in source texels.
uniform ivec2 viewport;
// Source texels to a target pixel: 2 when the first pass writes a half-size bloom target.
uniform float scale;
layout(location = 0) out vec4 frag_color;

const float offsets[3] = float[](0.0, 2.5, 6.5);
const float weights[3] = float[](0.3, 0.25, 0.1);

void main() {
  vec2 size = vec2(textureSize(sampler, 0));
  vec2 lo = vec2(0.5) / size, hi = (vec2(viewport) - 0.5) / size;
  vec2 p = gl_FragCoord.xy * scale / size;
  vec2 dir = (flip == 0 ? vec2(1.0, 0.0) : vec2(0.0, 1.0)) / size;
  vec3 sum = texture(sampler, p).rgb * weights[0];
  for (int i = 1; i < 3; i++) {
    sum += texture(sampler, clamp(p + dir * offsets[i], lo, hi)).rgb * weights[i];
    sum += texture(sampler, clamp(p - dir * offsets[i], lo, hi)).rgb * weights[i];
  }
  frag_color = vec4(sum, 1.0);
}
