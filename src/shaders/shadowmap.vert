#version 450 core
// Depth of the models seen from the sun, posed like the scene pass.
layout(location = 0) in vec3 pos;
layout(location = 1) in vec2 tex_coord;
layout(location = 3) in uvec4 joints;
layout(location = 4) in vec4 weights;
uniform mat4 mvp;
uniform int is_animated;
uniform mat4 joint_transforms[80];
uniform mat4 local_transform;
out vec2 uv;

mat4 skinning() {
  if (is_animated == 0) return mat4(1.0);
  if (weights.x + weights.y + weights.z + weights.w <= 0.0) return joint_transforms[0] * local_transform;
  uvec4 j = min(joints, uvec4(79u));
  return weights.x * joint_transforms[j.x] + weights.y * joint_transforms[j.y] + weights.z * joint_transforms[j.z] +
         weights.w * joint_transforms[j.w];
}

void main() {
  uv = tex_coord;
  gl_Position = mvp * skinning() * vec4(pos, 1.0);
}
