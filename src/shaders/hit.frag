// A hit flash: a jagged burst whose ray pattern comes from the seed in `angle`; `time` is its intensity (1 down to 0).
uniform vec4 tintColor;
uniform float time;
uniform float angle;
in vec2 uv;
layout(location = 0) out vec4 frag_color;

void main() {
  vec2 p = uv * 2.0 - 1.0;
  float r = length(p);
  float a = atan(p.y, p.x);
  float rays = 0.55 + 0.45 * abs(sin(a * 4.0 + angle * 3.7) * sin(a * 7.0 - angle * 1.3));
  float burst = 1.0 - smoothstep(rays * 0.55, rays, r);
  float core = 1.0 - smoothstep(0.0, 0.35, r);
  float alpha = clamp((0.8 * burst + core) * time, 0.0, 1.0) * tintColor.a;
  if (alpha < 0.01) discard;
  vec3 c = mix(tintColor.rgb, vec3(1.0, 0.95, 0.7), core) * (1.0 + time);
  frag_color = vec4(c, alpha);
}
