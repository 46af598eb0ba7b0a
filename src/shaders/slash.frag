// A weapon slash: a ring sector of the flattened sphere, centred on `sector` (the attacker's gaze), `angle`
// wide. `time` runs 0 to 1: the head sweeps the arc by 0.6, then the whole arc fades. It also writes the
// brightness attachment, so the bloom makes it glow.
uniform vec4 tintColor;
uniform float time;
uniform float angle;
uniform float sector;
in vec3 local;
in vec3 world_normal;
layout(location = 0) out vec4 frag_color;
layout(location = 1) out vec4 bright_color;

void main() {
  float r = length(local.xy);
  float rel = mod(atan(local.y, local.x) - sector + PI, 2.0 * PI) - PI;
  float half_arc = angle * 0.5;
  float head = mix(-half_arc, half_arc, clamp(time / 0.6, 0.0, 1.0));
  if (rel > head + 0.001 || rel < -half_arc) discard;
  float behind = (head - rel) / max(angle, 0.001);
  float fade = clamp(1.0 - behind, 0.0, 1.0) * (1.0 - clamp((time - 0.6) / 0.4, 0.0, 1.0));
  float ring = smoothstep(0.45, 0.75, r) * (1.0 - smoothstep(0.97, 1.0, r));
  float alpha = clamp(fade * ring * 1.5, 0.0, 1.0);
  if (alpha < 0.02) discard;
  vec3 c = tintColor.rgb * (1.0 + 1.5 * fade) + vec3(0.3) * ring * fade;
  frag_color = vec4(c, alpha);
  bright_color = vec4(c * 1.5, alpha);
}
