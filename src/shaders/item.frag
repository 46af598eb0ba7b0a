// Item icons: albedo times the material colour, shaded by the sun so the faces keep their shape.
layout(binding = 0) uniform sampler2D sampler;
uniform vec4 tintColor;
in vec2 uv;
in vec3 local_normal;
layout(location = 0) out vec4 frag_color;

void main() {
  vec4 albedo = texture(sampler, uv) * tintColor;
  frag_color = vec4(albedo.rgb * sun_light(local_normal), albedo.a);
}
