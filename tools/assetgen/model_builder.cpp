// The model toolkit of the generator and its glTF writer (the generator's one tinygltf translation unit).
// tinygltf comes first: its <cassert> would otherwise replace our always-on assert. Images are encoded
// and written by the generator itself; the PNG writer already lives in main.cpp.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <tiny_gltf.h>
#pragma GCC diagnostic pop

#include <string>

#include "assetgen.hpp"
#include "model_builder.hpp"

// --- randomness: a small LCG so that output never depends on the platform's rand()

f32 gen_rand(GenModel& g) {
  g.seed = g.seed * 1664525u + 1013904223u;
  return (f32)(g.seed >> 8) / (f32)(1u << 24);
}
f32 gen_rand(GenModel& g, f32 lo, f32 hi) { return lo + (hi - lo) * gen_rand(g); }

// --- transforms

m4 T(f32 x, f32 y, f32 z) { return m4_translate(x, y, z); }
m4 T(v3 v) { return m4_translate(v); }
m4 S(f32 x, f32 y, f32 z) { return m4_scale(x, y, z); }
m4 S(v3 v) { return m4_scale(v); }
m4 Rx(f32 a) { return m4_rotate_x(a); }
m4 Ry(f32 a) { return m4_rotate_y(a); }
m4 Rz(f32 a) { return m4_rotate_z(a); }

v4 quat_axis(v3 axis, f32 angle) {
  v3 a = v3_normalized(axis) * sinf(angle * 0.5f);
  return {a.x, a.y, a.z, cosf(angle * 0.5f)};
}
v4 quat_mul(v4 a, v4 b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
v4 quat_euler(f32 x, f32 y, f32 z) {
  return quat_mul(quat_axis({0, 0, 1}, z), quat_mul(quat_axis({0, 1, 0}, y), quat_axis({1, 0, 0}, x)));
}

// --- structure

Color rgb(u32 hex) { return {{((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, 1.0f}}; }
Color shade(Color c, f32 k) {
  return {{clamp(c.r * k, 0.0f, 1.0f), clamp(c.g * k, 0.0f, 1.0f), clamp(c.b * k, 0.0f, 1.0f), 1}};
}

GenMesh& gen_mesh(GenModel& g, const char* name, bool skinned) {
  g.meshes.emplace_back();
  GenMesh& m = g.meshes.back();
  cstr_copy(m.name, name, (int)sizeof(m.name));
  m.skinned = skinned;
  g.mesh = (int)g.meshes.size() - 1;
  return m;
}

GenMesh& gen_hanging_mesh(GenModel& g, const char* name, int joint, m4 local) {
  assert(joint >= 0 && joint < (int)g.bones.size());
  GenMesh& m = gen_mesh(g, name, false);
  m.joint = joint;
  m.local = local;
  return m;
}

int gen_bone(GenModel& g, const char* name, int parent, v3 head) {
  assert(parent < (int)g.bones.size() && (int)g.bones.size() < GEN_BONES_MAX);
  GenBone b;
  cstr_copy(b.name, name, (int)sizeof(b.name));
  b.parent = parent;
  b.head = head;
  g.bones.push_back(b);
  return (int)g.bones.size() - 1;
}

static v3 gen_rest_offset(const GenModel& g, int bone) {
  const GenBone& b = g.bones[bone];
  return b.parent < 0 ? b.head : b.head - g.bones[b.parent].head;
}

int gen_clip(GenModel& g, const char* name, int nkeys, f32 step) {
  GenClip c;
  cstr_copy(c.name, name, (int)sizeof(c.name));
  c.nkeys = nkeys;
  c.step = step;
  int nbones = (int)g.bones.size();
  c.rot.assign(nbones * nkeys, v4{0, 0, 0, 1});
  c.tr.resize(nbones * nkeys);
  for (int b = 0; b < nbones; b++)
    for (int k = 0; k < nkeys; k++) c.tr[b * nkeys + k] = gen_rest_offset(g, b);
  g.clips.push_back(c);
  return (int)g.clips.size() - 1;
}

void gen_key_rot(GenModel& g, int clip, int bone, int key, v4 q) {
  GenClip& c = g.clips[clip];
  assert(bone >= 0 && bone < (int)g.bones.size() && key >= 0 && key < c.nkeys);
  c.rot[bone * c.nkeys + key] = q;
}

void gen_key_move(GenModel& g, int clip, int bone, int key, v3 delta) {
  GenClip& c = g.clips[clip];
  assert(bone >= 0 && bone < (int)g.bones.size() && key >= 0 && key < c.nkeys);
  c.tr[bone * c.nkeys + key] = gen_rest_offset(g, bone) + delta;
}

int gen_palette_index(GenModel& g, Color c) {
  for (int i = 0; i < g.npalette; i++)
    if (fabsf(g.palette[i].r - c.r) < 0.002f && fabsf(g.palette[i].g - c.g) < 0.002f &&
        fabsf(g.palette[i].b - c.b) < 0.002f)
      return i;
  assert(g.npalette < GEN_PALETTE_MAX);
  g.palette[g.npalette] = c;
  return g.npalette++;
}

int gen_vertex_count(const GenModel& g) {
  int n = 0;
  for (const GenMesh& m : g.meshes) n += (int)m.pos.size();
  return n;
}

// --- shapes

static v3 xf_point(const m4& m, v3 p) { return (m * v4{p.x, p.y, p.z, 1}).xyz; }
static v3 xf_dir(const m4& m, v3 d) { return (m * v4{d.x, d.y, d.z, 0}).xyz; }

// One flat polygon (a triangle or a convex quad) in model space. `outward` only decides the facing.
static void gen_face(GenModel& g, const v3* p, int n, v3 outward, Color c) {
  assert(g.mesh >= 0);
  GenMesh& m = g.meshes[g.mesh];
  v3 normal = v3_cross(p[1] - p[0], p[2] - p[0]);
  if (v3_len_sqr(normal) < 1e-14f && n == 4) normal = v3_cross(p[2] - p[0], p[3] - p[0]);
  if (v3_len_sqr(normal) < 1e-14f) return;  // degenerate: nothing to see
  normal = v3_normalized(normal);
  bool flip = v3_dot(normal, outward) < 0;
  if (flip) normal = -normal;
  int pi = gen_palette_index(g, c);
  v2 uv = {((pi % 8) * 4 + 2) / 32.0f, ((pi / 8) * 4 + 2) / 32.0f};
  assert(m.pos.size() + n < 65536);
  u16 base = (u16)m.pos.size();
  for (int i = 0; i < n; i++) {
    m.pos.push_back(p[i]);
    m.nrm.push_back(normal);
    m.uv.push_back(uv);
    m.joints.push_back((u8)(g.joint < 0 ? 0 : g.joint));
  }
  for (int t = 0; t + 2 < n; t++) {
    u16 a = base, b = (u16)(base + t + 1), d = (u16)(base + t + 2);
    if (flip) Swap(b, d);
    m.idx.push_back(a), m.idx.push_back(b), m.idx.push_back(d);
  }
}

static void gen_quad(GenModel& g, const m4& xf, v3 a, v3 b, v3 c, v3 d, v3 out, Color col) {
  v3 p[4] = {xf_point(xf, a), xf_point(xf, b), xf_point(xf, c), xf_point(xf, d)};
  gen_face(g, p, 4, xf_dir(xf, out), col);
}
static void gen_tri(GenModel& g, const m4& xf, v3 a, v3 b, v3 c, v3 out, Color col) {
  v3 p[3] = {xf_point(xf, a), xf_point(xf, b), xf_point(xf, c)};
  gen_face(g, p, 3, xf_dir(xf, out), col);
}

void shape_box(GenModel& g, m4 xf, Color c) {
  f32 h = 0.5f;
  gen_quad(g, xf, {-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}, {0, 0, -1}, c);
  gen_quad(g, xf, {-h, -h, 1}, {h, -h, 1}, {h, h, 1}, {-h, h, 1}, {0, 0, 1}, c);
  gen_quad(g, xf, {-h, -h, 0}, {h, -h, 0}, {h, -h, 1}, {-h, -h, 1}, {0, -1, 0}, c);
  gen_quad(g, xf, {-h, h, 0}, {h, h, 0}, {h, h, 1}, {-h, h, 1}, {0, 1, 0}, c);
  gen_quad(g, xf, {-h, -h, 0}, {-h, h, 0}, {-h, h, 1}, {-h, -h, 1}, {-1, 0, 0}, c);
  gen_quad(g, xf, {h, -h, 0}, {h, h, 0}, {h, h, 1}, {h, -h, 1}, {1, 0, 0}, c);
}

void shape_prism(GenModel& g, m4 xf, Color c, int sides, f32 top) {
  assert(sides >= 3 && sides <= 32);
  v3 bottom[32], upper[32];
  for (int i = 0; i < sides; i++) {
    f32 a = tau * (i + 0.5f) / sides;
    bottom[i] = {0.5f * cosf(a), 0.5f * sinf(a), 0};
    upper[i] = {0.5f * top * cosf(a), 0.5f * top * sinf(a), 1};
  }
  for (int i = 0; i < sides; i++) {
    int j = (i + 1) % sides;
    f32 a = tau * (i + 1.0f) / sides;
    v3 out = {cosf(a), sinf(a), 0.5f * (1 - top)};
    if (top > 0.001f)
      gen_quad(g, xf, bottom[i], bottom[j], upper[j], upper[i], out, c);
    else
      gen_tri(g, xf, bottom[i], bottom[j], v3{0, 0, 1}, out, c);
    gen_tri(g, xf, v3{0, 0, 0}, bottom[j], bottom[i], {0, 0, -1}, c);
    if (top > 0.001f) gen_tri(g, xf, v3{0, 0, 1}, upper[i], upper[j], {0, 0, 1}, c);
  }
}

void shape_ball(GenModel& g, m4 xf, Color c, int rings, int sides) {
  assert(rings >= 2 && rings <= 16 && sides >= 3 && sides <= 32);
  auto at = [&](int r, int s) -> v3 {
    f32 phi = pi * r / rings - pi / 2;
    f32 th = tau * (s + 0.5f * (r & 1)) / sides;
    return {0.5f * cosf(phi) * cosf(th), 0.5f * cosf(phi) * sinf(th), 0.5f + 0.5f * sinf(phi)};
  };
  for (int r = 0; r < rings; r++)
    for (int s = 0; s < sides; s++) {
      v3 a = at(r, s), b = at(r, s + 1), d = at(r + 1, s), e = at(r + 1, s + 1);
      v3 out = (a + b + d + e) * 0.25f - v3{0, 0, 0.5f};
      if (r == 0)
        gen_tri(g, xf, a, e, d, out, c);
      else if (r == rings - 1)
        gen_tri(g, xf, a, b, d, out, c);
      else {
        // Two triangles rather than a quad: a ring of a sphere is not planar.
        gen_tri(g, xf, a, b, e, out, c);
        gen_tri(g, xf, a, e, d, out, c);
      }
    }
}

void shape_wedge(GenModel& g, m4 xf, Color c) {
  f32 h = 0.5f;
  gen_quad(g, xf, {-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}, {0, 0, -1}, c);
  gen_quad(g, xf, {-h, h, 0}, {h, h, 0}, {h, h, 1}, {-h, h, 1}, {0, 1, 0}, c);
  gen_quad(g, xf, {-h, -h, 0}, {h, -h, 0}, {h, h, 1}, {-h, h, 1}, {0, -1, 1}, c);
  gen_tri(g, xf, {-h, -h, 0}, {-h, h, 0}, {-h, h, 1}, {-1, 0, 0}, c);
  gen_tri(g, xf, {h, -h, 0}, {h, h, 0}, {h, h, 1}, {1, 0, 0}, c);
}

void box(GenModel& g, v3 base, v3 size, Color c, m4 rot) { shape_box(g, T(base) * rot * S(size), c); }
void cyl(GenModel& g, v3 base, f32 radius, f32 height, Color c, int sides, f32 top, m4 rot) {
  shape_prism(g, T(base) * rot * S(2 * radius, 2 * radius, height), c, sides, top);
}
void cone(GenModel& g, v3 base, f32 radius, f32 height, Color c, int sides, m4 rot) {
  shape_prism(g, T(base) * rot * S(2 * radius, 2 * radius, height), c, sides, 0);
}
void ball(GenModel& g, v3 center, v3 radii, Color c, int rings, int sides) {
  shape_ball(g, T(center.x, center.y, center.z - radii.z) * S(2 * radii.x, 2 * radii.y, 2 * radii.z), c, rings, sides);
}

// --- glTF writing

namespace {

struct GltfWriter {
  tinygltf::Model model;
  std::vector<unsigned char>& data() { return model.buffers[0].data; }

  int view(const void* bytes, size_t size) {
    std::vector<unsigned char>& d = data();
    while (d.size() % 4) d.push_back(0);  // every accessor starts aligned to its component size
    tinygltf::BufferView v;
    v.buffer = 0;
    v.byteOffset = d.size();
    v.byteLength = size;
    d.insert(d.end(), (const unsigned char*)bytes, (const unsigned char*)bytes + size);
    model.bufferViews.push_back(v);
    return (int)model.bufferViews.size() - 1;
  }

  int accessor(const void* bytes, size_t count, int component, int type, size_t element_size) {
    tinygltf::Accessor a;
    a.bufferView = view(bytes, count * element_size);
    a.componentType = component;
    a.type = type;
    a.count = count;
    model.accessors.push_back(a);
    return (int)model.accessors.size() - 1;
  }
};

}  // namespace

static void gen_palette_pixels(const GenModel& g, u8* rgb /* 32 * 32 * 3 */) {
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      int i = (y / 4) * 8 + x / 4;
      Color c = i < g.npalette ? g.palette[i] : Color{{1, 0, 1, 1}};
      u8* p = rgb + (y * 32 + x) * 3;
      p[0] = (u8)lroundf(c.r * 255), p[1] = (u8)lroundf(c.g * 255), p[2] = (u8)lroundf(c.b * 255);
    }
}

static std::vector<double> m4_column_major(const m4& m) {
  std::vector<double> out(16);
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) out[c * 4 + r] = m.elements[r * 4 + c];
  return out;
}

bool gen_write_model(const GenModel& g, const char* dir, const char* base, bool glb) {
  GltfWriter w;
  tinygltf::Model& m = w.model;
  m.asset.version = "2.0";
  m.asset.generator = "valmire-assetgen";
  m.buffers.emplace_back();
  if (!glb) m.buffers[0].uri = std::string(base) + ".bin";

  // Palette image, texture and the one material every primitive uses.
  u8 pixels[32 * 32 * 3];
  gen_palette_pixels(g, pixels);
  tinygltf::Image image;
  image.name = "palette";
  if (glb) {
    int size = 0;
    u8* png = assetgen_encode_png(32, 32, 3, pixels, &size);
    if (!png) return false;
    image.bufferView = w.view(png, (size_t)size);
    image.mimeType = "image/png";
    free(png);
  } else {
    image.uri = std::string(base) + ".png";
    if (!assetgen_write_png(tprintf("%s/%s.png", dir, base).cstr(), 32, 32, 3, pixels)) return false;
  }
  m.images.push_back(image);
  tinygltf::Sampler sampler;
  sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
  sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_NEAREST;
  m.samplers.push_back(sampler);
  tinygltf::Texture texture;
  texture.sampler = 0;
  texture.source = 0;
  m.textures.push_back(texture);
  tinygltf::Material material;
  material.name = "palette";
  material.pbrMetallicRoughness.baseColorTexture.index = 0;
  material.pbrMetallicRoughness.metallicFactor = 0;
  material.pbrMetallicRoughness.roughnessFactor = 1;
  m.materials.push_back(material);

  // Joints first, in bone order, so that node i is joint i.
  int nbones = (int)g.bones.size();
  tinygltf::Scene scene;
  for (int b = 0; b < nbones; b++) {
    tinygltf::Node n;
    n.name = g.bones[b].name;
    v3 t = gen_rest_offset(g, b);
    n.translation = {t.x, t.y, t.z};
    m.nodes.push_back(n);
    if (g.bones[b].parent < 0)
      scene.nodes.push_back(b);
    else
      m.nodes[g.bones[b].parent].children.push_back(b);
  }
  if (nbones) {
    std::vector<m4> inverse_bind(nbones);
    for (int b = 0; b < nbones; b++) inverse_bind[b] = m4_transpose(T(-g.bones[b].head));  // column-major
    tinygltf::Skin skin;
    skin.name = "skeleton";
    for (int b = 0; b < nbones; b++) skin.joints.push_back(b);
    skin.inverseBindMatrices =
        w.accessor(inverse_bind.data(), nbones, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, sizeof(m4));
    m.skins.push_back(skin);
  }

  for (const GenMesh& gm : g.meshes) {
    assert(!gm.pos.empty());
    size_t n = gm.pos.size();
    tinygltf::Primitive prim;
    prim.mode = TINYGLTF_MODE_TRIANGLES;
    prim.material = 0;
    int pos = w.accessor(gm.pos.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, sizeof(v3));
    v3 lo = gm.pos[0], hi = gm.pos[0];
    for (v3 p : gm.pos)
      for (int i = 0; i < 3; i++)
        lo.elements[i] = min(lo.elements[i], p.elements[i]), hi.elements[i] = max(hi.elements[i], p.elements[i]);
    m.accessors[pos].minValues = {lo.x, lo.y, lo.z};
    m.accessors[pos].maxValues = {hi.x, hi.y, hi.z};
    prim.attributes["POSITION"] = pos;
    prim.attributes["TEXCOORD_0"] =
        w.accessor(gm.uv.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, sizeof(v2));
    prim.attributes["NORMAL"] =
        w.accessor(gm.nrm.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, sizeof(v3));
    if (gm.skinned) {
      assert(nbones > 0);
      std::vector<u8> joints(n * 4, 0);
      std::vector<f32> weights(n * 4, 0);
      for (size_t i = 0; i < n; i++) {
        assert(gm.joints[i] < nbones);
        joints[i * 4] = gm.joints[i];
        weights[i * 4] = 1;  // rigid parts: exact sums, nothing to renormalise
      }
      prim.attributes["JOINTS_0"] =
          w.accessor(joints.data(), n, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_VEC4, 4);
      prim.attributes["WEIGHTS_0"] =
          w.accessor(weights.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, 16);
    }
    prim.indices =
        w.accessor(gm.idx.data(), gm.idx.size(), TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_SCALAR, 2);
    tinygltf::Mesh mesh;
    mesh.name = gm.name;
    mesh.primitives.push_back(prim);
    m.meshes.push_back(mesh);

    tinygltf::Node node;
    node.name = gm.name;
    node.mesh = (int)m.meshes.size() - 1;
    if (gm.skinned) node.skin = 0;
    int index = (int)m.nodes.size();
    if (gm.joint >= 0) {
      node.matrix = m4_column_major(gm.local);
      m.nodes.push_back(node);
      m.nodes[gm.joint].children.push_back(index);
    } else {
      m.nodes.push_back(node);
      scene.nodes.push_back(index);
    }
  }

  for (const GenClip& c : g.clips) {
    tinygltf::Animation anim;
    anim.name = c.name;
    std::vector<f32> times(c.nkeys);
    for (int k = 0; k < c.nkeys; k++) times[k] = k * c.step;
    int input = w.accessor(times.data(), c.nkeys, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 4);
    m.accessors[input].minValues = {0.0};
    m.accessors[input].maxValues = {(double)times[c.nkeys - 1]};
    for (int b = 0; b < nbones; b++) {
      const char* paths[2] = {"rotation", "translation"};
      for (int p = 0; p < 2; p++) {
        tinygltf::AnimationSampler s;
        s.input = input;
        s.interpolation = "STEP";
        s.output = p == 0 ? w.accessor(&c.rot[b * c.nkeys], c.nkeys, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4,
                                       sizeof(v4))
                          : w.accessor(&c.tr[b * c.nkeys], c.nkeys, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3,
                                       sizeof(v3));
        anim.samplers.push_back(s);
        tinygltf::AnimationChannel ch;
        ch.sampler = (int)anim.samplers.size() - 1;
        ch.target_node = b;
        ch.target_path = paths[p];
        anim.channels.push_back(ch);
      }
    }
    m.animations.push_back(anim);
  }

  m.buffers[0].name = "data";
  m.scenes.push_back(scene);
  m.defaultScene = 0;

  if (!assetgen_make_dirs(dir)) return false;
  tinygltf::TinyGLTF gltf;
  std::string path = std::string(dir) + "/" + base + (glb ? ".glb" : ".gltf");
  bool ok = gltf.WriteGltfSceneToFile(&m, path, false, false, !glb, glb);
  if (!ok) fprintf(stderr, "assetgen: cannot write '%s'\n", path.c_str());
  return ok;
}
