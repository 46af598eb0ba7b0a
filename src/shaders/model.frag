// Models of the world: albedo times the material colour (with the entity's tint), lit by the sun with its
// shadow, the ambient light of the hour and the point lights, faded outside the vision radius.
layout(binding = 0) uniform sampler2D sampler;
layout(binding = 1) uniform sampler2D shadow_map;
uniform vec4 tintColor;
uniform float opacity;
uniform vec3 ambient;
uniform vec3 camera_target_pos;
uniform float vision_radius;
in vec2 uv;
in vec3 world_normal;
in vec3 world_pos;
in vec4 shadow_pos;
layout(location = 0) out vec4 frag_color;

void main() {
  vec4 albedo = texture(sampler, uv) * tintColor;
  vec3 n = normalize(world_normal);
  float sun = sun_light(n) * shadow_visibility(shadow_map, shadow_pos);
  vec3 light = ambient * sun + point_lights(world_pos, n);
  float fade = vision_falloff(world_pos.xy, camera_target_pos.xy, vision_radius);
  frag_color = vec4(albedo.rgb * light * fade, albedo.a * opacity);
}
