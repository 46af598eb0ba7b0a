// A lit, softly pulsing sphere (spell bubbles, markers).
uniform vec4 tintColor;
uniform float time;
in vec3 local_normal;
in vec3 world_pos;
layout(location = 0) out vec4 frag_color;

void main() {
  vec3 n = normalize(local_normal);
  float light = sun_light(n);
  float pulse = 0.9 + 0.1 * sin(time * 6.0 + world_pos.z * 0.2);
  frag_color = vec4(tintColor.rgb * light * pulse, tintColor.a);
}
