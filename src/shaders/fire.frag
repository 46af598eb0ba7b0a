// The body of a fire from its texture, wavering with time; glows through the brightness attachment.
layout(binding = 0) uniform sampler2D sampler;
uniform float time;
in vec2 uv;
layout(location = 0) out vec4 frag_color;
layout(location = 1) out vec4 bright_color;

void main() {
  // Image row 0 is the top of the flame; the quad's v grows upwards.
  vec2 st = vec2(uv.x, 1.0 - uv.y);
  st.x += sin(st.y * 9.0 + time * 7.0) * 0.04 * (1.0 - st.y);
  vec4 tex = texture(sampler, st);
  if (tex.a < 0.02) discard;
  float flicker = 0.85 + 0.15 * sin(time * 13.0 + st.y * 5.0);
  vec3 c = tex.rgb * 2.5 * flicker;
  frag_color = vec4(c, tex.a);
  bright_color = vec4(c * 0.8, tex.a);
}
