#version 450 core
// A quad from -1 to 1 made from the vertex index (triangle strip or fan order alike for 4 vertices of a strip).
uniform mat4 mvp;
out vec2 uv;

const vec2 corners[4] = vec2[](vec2(-1.0, -1.0), vec2(1.0, -1.0), vec2(-1.0, 1.0), vec2(1.0, 1.0));

void main() {
  vec2 c = corners[gl_VertexID];
  uv = c * 0.5 + 0.5;
  gl_Position = mvp * vec4(c, 0.0, 1.0);
}
