#version 450 core
// The sky cube, made from the vertex index: 12 triangles around the eye, pushed to the far plane.
uniform mat4 mvp;
out vec3 dir;

const vec3 corners[8] = vec3[](vec3(-1, -1, -1), vec3(1, -1, -1), vec3(1, 1, -1), vec3(-1, 1, -1),
                               vec3(-1, -1, 1), vec3(1, -1, 1), vec3(1, 1, 1), vec3(-1, 1, 1));
const int indices[36] = int[](0, 2, 1, 0, 3, 2,   // bottom
                              4, 5, 6, 4, 6, 7,   // top
                              0, 1, 5, 0, 5, 4,   // -y
                              2, 3, 7, 2, 7, 6,   // +y
                              1, 2, 6, 1, 6, 5,   // +x
                              3, 0, 4, 3, 4, 7);  // -x

void main() {
  vec3 p = corners[indices[gl_VertexID]];
  dir = p;
  vec4 clip = mvp * vec4(p, 1.0);
  gl_Position = clip.xyww;
}
