// The piece over its background by the piece's alpha, lit by the sun (with shadows), the ambient light and
// the point lights, darkened beyond the vision radius around the camera target.
layout(binding = 0) uniform sampler2D sampler;
layout(binding = 1) uniform sampler2D shadow_map;
uniform vec3 ambient;
uniform float vision_radius;
uniform vec3 camera_target_pos;
in vec2 uv;
in vec2 bg_uv;
in vec3 world_pos;
in vec4 shadow_pos;
layout(location = 0) out vec4 frag_color;

void main() {
  vec4 piece = texture(sampler, uv);
  vec4 bg = texture(sampler, bg_uv);
  vec3 albedo = mix(bg.rgb, piece.rgb, piece.a);
  vec3 n = vec3(0.0, 0.0, 1.0);
  vec3 light = ambient * sun_light(n) * shadow_visibility(shadow_map, shadow_pos) + point_lights(world_pos, n);
  float vision = vision_falloff(world_pos.xy, camera_target_pos.xy, vision_radius);
  frag_color = vec4(albedo * light * vision, 1.0);
}
