uniform vec4 tintColor;
layout(location = 0) out vec4 frag_color;

void main() {
  frag_color = tintColor;
}
