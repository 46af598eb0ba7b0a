// The resolved scene plus its blurred bright parts, by window pixel.
layout(binding = 0) uniform sampler2D sampler;
layout(binding = 1) uniform sampler2D bloom;
// Window pixels to a bloom texel: above 1 the bloom is smaller than the window and is filtered up.
uniform int bloom_divisor;
// The same for the scene, whose frame fills `viewport` texels of its targets: the taps stay inside it, so
// nothing left from a larger frame bleeds in at the edges.
uniform int scene_divisor;
uniform ivec2 viewport;
layout(location = 0) out vec4 frag_color;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec3 glow = bloom_divisor > 1
                  ? texture(bloom, gl_FragCoord.xy / float(bloom_divisor) / vec2(textureSize(bloom, 0))).rgb
                  : texelFetch(bloom, p, 0).rgb;
  vec3 scene;
  if (scene_divisor > 1) {
    vec2 q = clamp(gl_FragCoord.xy / float(scene_divisor), vec2(0.5), vec2(viewport) - 0.5);
    scene = texture(sampler, q / vec2(textureSize(sampler, 0))).rgb;
  } else {
    scene = texelFetch(sampler, p, 0).rgb;
  }
  vec3 c = scene + glow;
  frag_color = vec4(min(c, vec3(1.0)), 1.0);
}
