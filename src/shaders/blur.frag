// One direction of a Gaussian blur (horizontal when flip is 0). The targets are 4096 square and only the
// window-sized corner holds this frame, so texels are addressed by window pixel and kept inside `viewport`.
layout(binding = 0) uniform sampler2D sampler;
uniform int flip;
uniform ivec2 viewport;
layout(location = 0) out vec4 frag_color;

const float weights[5] = float[](0.227027, 0.1945946, 0.1216216, 0.054054, 0.016216);

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  ivec2 dir = flip == 0 ? ivec2(2, 0) : ivec2(0, 2);
  ivec2 hi = max(viewport - 1, ivec2(0));
  vec3 sum = texelFetch(sampler, p, 0).rgb * weights[0];
  for (int i = 1; i < 5; i++) {
    sum += texelFetch(sampler, clamp(p + dir * i, ivec2(0), hi), 0).rgb * weights[i];
    sum += texelFetch(sampler, clamp(p - dir * i, ivec2(0), hi), 0).rgb * weights[i];
  }
  frag_color = vec4(sum, 1.0);
}
