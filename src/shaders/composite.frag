// The resolved scene plus its blurred bright parts, by window pixel.
layout(binding = 0) uniform sampler2D sampler;
layout(binding = 1) uniform sampler2D bloom;
layout(location = 0) out vec4 frag_color;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec3 c = texelFetch(sampler, p, 0).rgb + texelFetch(bloom, p, 0).rgb;
  frag_color = vec4(min(c, vec3(1.0)), 1.0);
}
