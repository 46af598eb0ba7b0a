// The resolved scene plus its blurred bright parts, by window pixel.
layout(binding = 0) uniform sampler2D sampler;
layout(binding = 1) uniform sampler2D bloom;
// Window pixels to a bloom texel: above 1 the bloom is smaller than the window and is filtered up.
uniform int bloom_divisor;
// Only the glow, added onto a scene that is scaled to the window afterwards.
uniform int bloom_only;
layout(location = 0) out vec4 frag_color;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec3 glow = bloom_divisor > 1
                  ? texture(bloom, gl_FragCoord.xy / float(bloom_divisor) / vec2(textureSize(bloom, 0))).rgb
                  : texelFetch(bloom, p, 0).rgb;
  if (bloom_only != 0) {
    frag_color = vec4(glow, 0.0);
    return;
  }
  vec3 c = texelFetch(sampler, p, 0).rgb + glow;
  frag_color = vec4(min(c, vec3(1.0)), 1.0);
}
