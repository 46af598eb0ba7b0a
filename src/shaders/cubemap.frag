// Cube faces follow the y-up convention; the world has z up.
layout(binding = 0) uniform samplerCube sampler;
in vec3 dir;
layout(location = 0) out vec4 frag_color;

void main() {
  frag_color = texture(sampler, vec3(dir.x, dir.z, -dir.y));
}
