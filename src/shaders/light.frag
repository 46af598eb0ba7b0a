#version 450 core
// Compiled in front of every fragment shader: the version line and the lighting that the world shaders share.
// Fragment files therefore start without a version line of their own.

const float PI = 3.14159265;

struct Light {
  int type;  // 0: unused entry
  vec3 pos;
  vec3 color;
  float radius;
};
// Written by location, four per light from 42 on; the model and tile programs must use them.
layout(location = 42) uniform Light lights[8];

// Direction towards the sun.
const vec3 SUN_DIR = vec3(-0.28734789, -0.28734789, 0.95782629);

// The quality level's limits, compiled in by the renderer: the most lights a fragment adds up, and one
// shadow-map tap or nine. Constants rather than uniforms, because a software renderer runs every iteration
// a uniform could ask for. Without them a program draws at full quality.
#ifndef LIGHT_LIMIT
#define LIGHT_LIMIT 8
#endif
#ifndef SHADOW_TAPS
#define SHADOW_TAPS 9
#endif

// Light from the point lights at a surface point, with a smooth fall-off to zero at each radius.
vec3 point_lights(vec3 world_pos, vec3 normal) {
  vec3 sum = vec3(0.0);
  for (int i = 0; i < min(LIGHT_LIMIT, 8); i++) {
    if (lights[i].type == 0) continue;
    vec3 to_light = lights[i].pos - world_pos;
    float d = length(to_light);
    float reach = clamp(1.0 - d / max(lights[i].radius, 0.001), 0.0, 1.0);
    float facing = max(dot(normal, to_light / max(d, 0.001)), 0.0);
    sum += lights[i].color * reach * reach * (0.4 + 0.6 * facing);
  }
  return sum;
}

// Direct sunlight on a surface: half from the angle, half ambient-like so that back faces keep their shape.
float sun_light(vec3 normal) {
  return 0.5 + 0.5 * max(dot(normalize(normal), SUN_DIR), 0.0);
}

// 1 where the sun reaches, 0.4 in full shadow; `shadow_pos` is the point in the light's clip space
// (`shadow` uniform times the position). Outside the shadowed square everything is lit.
float shadow_visibility(sampler2D shadow_map, vec4 shadow_pos) {
  vec3 p = shadow_pos.xyz / shadow_pos.w * 0.5 + 0.5;
  if (p.x <= 0.0 || p.x >= 1.0 || p.y <= 0.0 || p.y >= 1.0 || p.z >= 1.0) return 1.0;
#if SHADOW_TAPS == 1
  return (p.z - 0.002 <= texture(shadow_map, p.xy).r) ? 1.0 : 0.4;
#else
  vec2 texel = 1.0 / vec2(textureSize(shadow_map, 0));
  float lit = 0.0;
  for (int y = -1; y <= 1; y++) {
    for (int x = -1; x <= 1; x++) {
      float nearest = texture(shadow_map, p.xy + vec2(x, y) * texel).r;
      lit += (p.z - 0.002 <= nearest) ? 1.0 : 0.0;
    }
  }
  return mix(0.4, 1.0, lit / 9.0);
#endif
}

// 1 inside the radius around `centre`, fading to 0.25 over the next fifth of it.
float vision_falloff(vec2 p, vec2 centre, float radius) {
  if (radius <= 0.0) return 1.0;
  float d = distance(p, centre);
  return mix(1.0, 0.25, smoothstep(radius, radius * 1.2, d));
}
