#version 450 core
// Models of the world: skinned by the joint palette, or hanging rigidly on one joint.
layout(location = 0) in vec3 pos;
layout(location = 1) in vec2 tex_coord;
layout(location = 2) in vec3 normal;
layout(location = 3) in uvec4 joints;
layout(location = 4) in vec4 weights;
uniform mat4 mvp;
uniform mat4 model;
uniform mat4 shadow;
uniform int is_animated;
uniform mat4 joint_transforms[80];
// A mesh hanging on a joint: its node transform; the joint's matrix then sits in joint_transforms[0].
uniform mat4 local_transform;
out vec2 uv;
out vec3 world_normal;
out vec3 world_pos;
out vec4 shadow_pos;

mat4 skinning() {
  if (is_animated == 0) return mat4(1.0);
  if (weights.x + weights.y + weights.z + weights.w <= 0.0) return joint_transforms[0] * local_transform;
  uvec4 j = min(joints, uvec4(79u));
  return weights.x * joint_transforms[j.x] + weights.y * joint_transforms[j.y] + weights.z * joint_transforms[j.z] +
         weights.w * joint_transforms[j.w];
}

void main() {
  mat4 skin = skinning();
  vec4 p = skin * vec4(pos, 1.0);
  uv = tex_coord;
  world_normal = mat3(model) * mat3(skin) * normal;
  world_pos = (model * p).xyz;
  shadow_pos = shadow * p;
  gl_Position = mvp * p;
}
