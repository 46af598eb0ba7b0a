// A flat rectangle; `gradient` shades it from bottom (v = 1) to top so that bars over entities look rounded.
uniform vec4 tintColor;
uniform vec2 gradient;
in vec2 uv;
layout(location = 0) out vec4 frag_color;

void main() {
  float shade = 1.0 + gradient.x * gradient.y * uv.y;
  frag_color = vec4(tintColor.rgb * shade, tintColor.a);
}
