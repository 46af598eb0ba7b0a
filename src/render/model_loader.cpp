// Loading glTF/GLB models under the client's constraints, the per-kind model table and the texture cache.
// The client's one tinygltf translation unit: it is slow to compile, so nothing else includes it.
// tinygltf comes first: it includes <cassert>, whose assert (compiled out under NDEBUG) would otherwise
// replace our always-on one for the rest of this file. Images are decoded here (through the cache) rather
// than by tinygltf, and the stb implementation lives in stb_impl.cpp.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <tiny_gltf.h>
#pragma GCC diagnostic pop

#include <math.h>
#include <stb_image.h>

#include <algorithm>
#include <string>

#include "app/client.hpp"
#include "render/model.hpp"
#include "app/platform.hpp"
#include "registry.hpp"

ResourceTiming resource_timings[RESOURCE_TIMINGS_MAX];
int nresource_timings;

// --- texture cache

void cache_texture(Texture* texture, const char* name, u8* pixels) {
  CachedTexture* c = (CachedTexture*)calloc(1, sizeof(CachedTexture));
  if (!c) panic("out of memory caching '%s'\n", name);
  cstr_copy(c->name, name, (int)sizeof(c->name));
  c->texture = *texture;
  c->pixels = pixels;
  c->next = renderer.texture_cache;
  renderer.texture_cache = c;
}

u8* get_cached_texture(const char* name, Texture* texture) {
  for (CachedTexture* c = renderer.texture_cache; c; c = c->next) {
    if (strncmp(c->name, name, sizeof(c->name) - 1) != 0) continue;
    // A name longer than the cache keeps must match in full, or two long URIs sharing a prefix collide.
    if (strlen(name) >= sizeof(c->name)) continue;
    *texture = c->texture;
    return c->pixels;
  }
  return nullptr;
}

void clear_texture_cache() {
  CachedTexture* c = renderer.texture_cache;
  while (c) {
    CachedTexture* next = c->next;
    stbi_image_free(c->pixels);
    free(c);
    c = next;
  }
  renderer.texture_cache = nullptr;
}

// --- reading accessors

namespace {

// Every byte the loader reads from a buffer goes through here: the accessor, its view and its buffer must
// exist, the values must be tightly packed, and all of them must lie inside the view and the buffer.
const u8* accessor_data(const tinygltf::Model& d, int index, int element_size, const char* path) {
  if (index < 0 || index >= (int)d.accessors.size()) panic("gltf(%s): accessor %d does not exist\n", path, index);
  const tinygltf::Accessor& a = d.accessors[index];
  if (a.sparse.isSparse) panic("gltf(%s): sparse accessors are not supported\n", path);
  if (a.bufferView < 0 || a.bufferView >= (int)d.bufferViews.size())
    panic("gltf(%s): accessor %d has no buffer view\n", path, index);
  const tinygltf::BufferView& v = d.bufferViews[a.bufferView];
  if (v.buffer < 0 || v.buffer >= (int)d.buffers.size()) panic("gltf(%s): buffer view without a buffer\n", path);
  const std::vector<unsigned char>& data = d.buffers[v.buffer].data;
  if (a.ByteStride(v) != element_size) panic("gltf(%s): accessor %d is not tightly packed\n", path, index);
  // Sizes come from the file: bound each term first so that no sum can wrap around.
  if (a.count > (1u << 28) || a.byteOffset > data.size() || v.byteOffset > data.size() ||
      v.byteLength > data.size() - v.byteOffset || a.byteOffset + a.count * (u64)element_size > v.byteLength)
    panic("gltf(%s): accessor %d reaches past its buffer\n", path, index);
  return data.data() + v.byteOffset + a.byteOffset;
}

int interpolation_code(const std::string& s) {
  if (s == "STEP") return 1;
  if (s == "CUBICSPLINE") return 2;
  return 0;
}

m4 node_local_matrix(const tinygltf::Node& n) {
  if (n.matrix.size() == 16) {
    m4 m;
    for (int r = 0; r < 4; r++)
      for (int c = 0; c < 4; c++) m.elements[r * 4 + c] = (f32)n.matrix[c * 4 + r];  // column-major in the file
    return m;
  }
  m4 t = m4_identity(), r = m4_identity(), s = m4_identity();
  if (n.translation.size() == 3) t = m4_translate((f32)n.translation[0], (f32)n.translation[1], (f32)n.translation[2]);
  if (n.rotation.size() == 4)
    r = quaternion_to_m4({(f32)n.rotation[0], (f32)n.rotation[1], (f32)n.rotation[2], (f32)n.rotation[3]});
  if (n.scale.size() == 3) s = m4_scale((f32)n.scale[0], (f32)n.scale[1], (f32)n.scale[2]);
  return t * r * s;
}

// The parent of every node; a node claimed twice or a cycle is a broken file.
std::vector<int> node_parents(const tinygltf::Model& d, const char* path) {
  int n = (int)d.nodes.size();
  std::vector<int> parent(n, -1);
  for (int i = 0; i < n; i++)
    for (int c : d.nodes[i].children) {
      if (c < 0 || c >= n || c == i || parent[c] != -1) panic("gltf(%s): broken node hierarchy at node %d\n", path, i);
      parent[c] = i;
    }
  for (int i = 0; i < n; i++) {
    int steps = 0;
    for (int p = parent[i]; p >= 0; p = parent[p])
      if (++steps > n) panic("gltf(%s): the node hierarchy has a cycle\n", path);
  }
  return parent;
}

m4 node_world_matrix(const tinygltf::Model& d, const std::vector<int>& parent, int node) {
  m4 m = node_local_matrix(d.nodes[node]);
  for (int p = parent[node]; p >= 0; p = parent[p]) m = node_local_matrix(d.nodes[p]) * m;
  return m;
}

// Data URIs are decoded by tinygltf and handed here; keep the encoded bytes for our own decoder. Images in
// buffer views are read from their view, and files by URI through the cache.
bool keep_image_bytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                      const unsigned char* bytes, int size, void*) {
  if (image->bufferView < 0) image->image.assign(bytes, bytes + size);
  return true;
}

struct Pixels {
  u8* data = nullptr;
  Texture info;
  bool cached = false;
};

Pixels load_material_pixels(const tinygltf::Model& d, int image_index, const char* dir, const char* path) {
  Pixels px;
  if (image_index < 0 || image_index >= (int)d.images.size()) panic("gltf(%s): texture without an image\n", path);
  const tinygltf::Image& image = d.images[image_index];
  int w = 0, h = 0, n = 0;
  if (image.bufferView >= 0) {
    assert(image.bufferView < (int)d.bufferViews.size());
    const tinygltf::BufferView& view = d.bufferViews[image.bufferView];
    assert(view.buffer >= 0 && view.buffer < (int)d.buffers.size());
    const std::vector<unsigned char>& buffer = d.buffers[view.buffer].data;
    assert(!buffer.empty());
    assert(view.byteStride == 0);
    assert(image.mimeType == "image/png");
    assert(view.byteOffset <= buffer.size() && view.byteLength <= buffer.size() - view.byteOffset);
    assert(view.byteLength < (1u << 30));
    px.data = stbi_load_from_memory(buffer.data() + view.byteOffset, (int)view.byteLength, &w, &h, &n, 0);
  } else if (!image.uri.empty()) {
    px.data = get_cached_texture(image.uri.c_str(), &px.info);
    if (px.data) {
      px.cached = true;
      return px;
    }
    Text file = tprintf("%s/%s", dir, image.uri.c_str());
    px.data = stbi_load(file.cstr(), &w, &h, &n, 0);
    if (px.data) {
      px.info.width = w, px.info.height = h, px.info.ncomponents = n;
      cache_texture(&px.info, image.uri.c_str(), px.data);
      px.cached = true;
      return px;
    }
  } else if (!image.image.empty()) {
    px.data = stbi_load_from_memory(image.image.data(), (int)image.image.size(), &w, &h, &n, 0);
  }
  px.info.width = w, px.info.height = h, px.info.ncomponents = n;
  return px;
}

void load_materials(Model& model, const tinygltf::Model& d, const char* dir, bool upload, int* material_map) {
  assert(d.materials.size() <= (size_t)len(model.materials));
  for (size_t i = 0; i < d.materials.size(); i++) {
    const tinygltf::Material& gm = d.materials[i];
    material_map[i] = -1;
    // tinygltf always fills the PBR record; the block was in the file when its members were.
    if (gm.values.empty()) continue;
    material_map[i] = model.nmaterials;
    Material& m = model.materials[model.nmaterials++];
    const std::vector<double>& c = gm.pbrMetallicRoughness.baseColorFactor;
    m.base_color = c.size() == 4 ? Color{{(f32)c[0], (f32)c[1], (f32)c[2], (f32)c[3]}} : Color{{1, 1, 1, 1}};
    int tex = gm.pbrMetallicRoughness.baseColorTexture.index;
    if (tex < 0) continue;
    if (tex >= (int)d.textures.size()) panic("gltf(%s): material %d names a missing texture\n", model.path, (int)i);
    Pixels px = load_material_pixels(d, d.textures[tex].source, dir, model.path);
    if (!px.data) panic("Cannot load pixels for '%s'", model.path);
    Texture* texture = &px.info;
    if (texture->ncomponents != 3) assert(texture->ncomponents == 4);
    m.albedo = px.info;
    if (upload)
      m.albedo = model_create_texture(px.data, px.info.width, px.info.height, px.info.ncomponents, model.path);
    if (!px.cached) stbi_image_free(px.data);
  }
}

void load_skin(Model& model, const tinygltf::Model& d) {
  if (d.skins.empty()) return;
  assert(d.skins.size() == 1);
  const tinygltf::Skin& skin = d.skins[0];
  assert(skin.joints.size() < (size_t)BONES_MAX);
  int nbones = (int)skin.joints.size();
  if (nbones == 0) return;
  std::vector<int> parent = node_parents(d, model.path);
  model.bones = (Bone*)calloc(nbones, sizeof(Bone));
  model.inverse_bind_matrices = (m4*)calloc(nbones, sizeof(m4));
  if (!model.bones || !model.inverse_bind_matrices) panic("out of memory loading '%s'\n", model.path);
  model.nbones = nbones;
  for (int i = 0; i < nbones; i++) {
    int node = skin.joints[i];
    if (node < 0 || node >= (int)d.nodes.size()) panic("gltf(%s): joint %d is not a node\n", model.path, i);
    Bone& b = model.bones[i];
    cstr_copy(b.name, d.nodes[node].name.c_str(), (int)sizeof(b.name));
    b.parent = -1;
    for (int j = 0; j < nbones; j++)
      if (skin.joints[j] == parent[node]) b.parent = j;
    // The palette is built in one pass over the joints, which needs every parent before its children.
    assert(b.parent < i);
  }
  assert(skin.inverseBindMatrices >= 0 && skin.inverseBindMatrices < (int)d.accessors.size());
  const tinygltf::Accessor& inv_bind = d.accessors[skin.inverseBindMatrices];
  assert(inv_bind.type == TINYGLTF_TYPE_MAT4);
  assert(inv_bind.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
  assert(inv_bind.count == (size_t)model.nbones);
  const f32* src = (const f32*)accessor_data(d, skin.inverseBindMatrices, sizeof(m4), model.path);
  for (int i = 0; i < nbones; i++) {
    m4 m;
    memcpy(&m, src + i * 16, sizeof(m4));
    model.inverse_bind_matrices[i] = m4_transpose(m);
  }
}

// Copies a channel's keys. Input: scalar floats; output: `components` floats per key, as many keys.
template <typename T>
int load_channel(const tinygltf::Model& d, const tinygltf::AnimationSampler& s, int out_type, f32** times, T** values,
                 const char* path) {
  assert(s.input >= 0 && s.input < (int)d.accessors.size() && s.output >= 0 && s.output < (int)d.accessors.size());
  const tinygltf::Accessor& in = d.accessors[s.input];
  assert(in.type == TINYGLTF_TYPE_SCALAR);
  assert(in.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
  const tinygltf::Accessor& out = d.accessors[s.output];
  assert(out.type == out_type);
  assert(out.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
  int count = (int)in.count;
  assert(count > 0 && count < (1 << 20));
  assert((int)out.count == count);
  const u8* t = accessor_data(d, s.input, 4, path);
  const u8* v = accessor_data(d, s.output, sizeof(T), path);
  *times = (f32*)malloc(sizeof(f32) * count);
  *values = (T*)malloc(sizeof(T) * count);
  if (!*times || !*values) panic("out of memory loading '%s'\n", path);
  memcpy(*times, t, sizeof(f32) * count);
  memcpy(*values, v, sizeof(T) * count);
  return count;
}

void load_animations(Model& model, const tinygltf::Model& d) {
  if (!model.nbones) return;
  const tinygltf::Skin& skin = d.skins[0];
  for (const tinygltf::Animation& clip : d.animations) {
    AnimationType type = animation_type_from_name(clip.name.c_str());
    if (type == AnimationType_None) continue;
    int slot = get_animation_index(type);
    for (const tinygltf::AnimationChannel& ch : clip.channels) {
      int bone = -1;
      for (int j = 0; j < model.nbones; j++)
        if (skin.joints[j] == ch.target_node) bone = j;
      if (bone < 0) {
        const char* node_name =
            ch.target_node >= 0 && ch.target_node < (int)d.nodes.size() ? d.nodes[ch.target_node].name.c_str() : "?";
        printf("gltf(%s) Skipping animation for '%s': bone not found\n", model.path, node_name);
        continue;
      }
      if (ch.sampler < 0 || ch.sampler >= (int)clip.samplers.size())
        panic("gltf(%s): channel without a sampler in '%s'\n", model.path, clip.name.c_str());
      const tinygltf::AnimationSampler& s = clip.samplers[ch.sampler];
      Animation* anim = &model.bones[bone].animations[slot];
      if (anim->type == AnimationType_None) {
        anim->type = type;
        cstr_copy(anim->name, clip.name.c_str(), (int)sizeof(anim->name));
      }
      if (ch.target_path == "translation") {
        assert(anim->ntranslations == 0);  // one clip per slot and bone
        anim->ntranslations =
            load_channel(d, s, TINYGLTF_TYPE_VEC3, &anim->translation_times, &anim->translations, model.path);
        anim->translation_interpolation = interpolation_code(s.interpolation);
      } else if (ch.target_path == "rotation") {
        assert(anim->nrotations == 0);
        anim->nrotations = load_channel(d, s, TINYGLTF_TYPE_VEC4, &anim->rotation_times, &anim->rotations, model.path);
        anim->rotation_interpolation = interpolation_code(s.interpolation);
      } else if (ch.target_path == "scale") {
        // Scale keys are applied as they come: a key of unit length, such as (1, 0, 0) or a uniform 0.577,
        // is a scale like any other, and our own assets carry none.
        assert(anim->nscales == 0);
        anim->nscales = load_channel(d, s, TINYGLTF_TYPE_VEC3, &anim->scale_times, &anim->scales, model.path);
        anim->scale_interpolation = interpolation_code(s.interpolation);
      }
    }
  }
}

void load_meshes(Model& model, const tinygltf::Model& d, const int* material_map, bool upload) {
  assert(d.nodes.size() <= (size_t)len(model.meshes));
  std::vector<int> parent = node_parents(d, model.path);
  for (int ni = 0; ni < (int)d.nodes.size(); ni++) {
    const tinygltf::Node& node = d.nodes[ni];
    if (node.mesh < 0) continue;
    if (node.mesh >= (int)d.meshes.size()) panic("gltf(%s): node %d names a missing mesh\n", model.path, ni);
    int joint = -1;
    if (!d.skins.empty()) {
      assert(d.skins.size() == 1);
      for (int j = 0; j < model.nbones; j++)
        if (parent[ni] >= 0 && d.skins[0].joints[j] == parent[ni]) joint = j;
    }
    m4 world = node_world_matrix(d, parent, ni);
    for (const tinygltf::Primitive& prim : d.meshes[node.mesh].primitives) {
      if (prim.mode != TINYGLTF_MODE_TRIANGLES) continue;
      assert(model.nmeshes < len(model.meshes));
      Mesh& mesh = model.meshes[model.nmeshes++];
      memset(&mesh, 0, sizeof(mesh));
      cstr_copy(mesh.name, node.name.c_str(), (int)sizeof(mesh.name));
      mesh.parent = joint;
      mesh.transform = world;
      mesh.material_index = -1;
      if (upload) model_create_vertex_array(mesh);
      int counts[5] = {-1, -1, -1, -1, -1};
      for (const auto& [name, index] : prim.attributes) {
        if (index < 0 || index >= (int)d.accessors.size())
          panic("gltf(%s): attribute '%s' has no accessor\n", model.path, name.c_str());
        const tinygltf::Accessor& attribute = d.accessors[index];
        int binding = -1, size = 0;
        if (name == "POSITION") {
          assert(attribute.type == TINYGLTF_TYPE_VEC3);
          assert(attribute.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
          binding = 0, size = 12;
        } else if (name == "TEXCOORD_0") {
          assert(attribute.type == TINYGLTF_TYPE_VEC2);
          assert(attribute.ByteStride(d.bufferViews.at(attribute.bufferView)) == sizeof(v2));
          assert(attribute.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
          binding = 1, size = 8;
        } else if (name.rfind("TEXCOORD_", 0) == 0) {
          printf("Ignoring texcoords2!\n");
          continue;
        } else if (name == "NORMAL") {
          assert(attribute.type == TINYGLTF_TYPE_VEC3);
          assert(attribute.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
          binding = 2, size = 12;
        } else if (name == "JOINTS_0") {
          assert(attribute.type == TINYGLTF_TYPE_VEC4);
          assert(attribute.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE);
          binding = 3, size = 4;
        } else if (name == "WEIGHTS_0") {
          assert(attribute.type == TINYGLTF_TYPE_VEC4);
          assert(attribute.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT);
          binding = 4, size = 16;
        } else if (name.rfind("COLOR_", 0) == 0) {
          continue;
        } else {
          printf("[WARNING] gltf(%s): unknown attribute\n", model.path);
          continue;
        }
        assert(attribute.byteOffset == 0);
        assert(attribute.count < (1u << 24));
        const u8* data = accessor_data(d, index, size, model.path);
        int count = (int)attribute.count;
        counts[binding] = count;
        if (binding == 0) mesh.nvertices = count;
        if (binding == 3 && model.nbones > 0) {
          // Joint indices select palette entries: one past the skeleton would read another model's matrix.
          for (int i = 0; i < count * 4; i++)
            if (data[i] >= model.nbones) panic("gltf(%s): joint index %d out of the skeleton\n", model.path, data[i]);
        }
        if (binding == 4) {
          mesh.has_weights = true;
          const f32* w = (const f32*)data;
          for (int v = 0; v < count; v++) {
            f32 sum = w[v * 4] + w[v * 4 + 1] + w[v * 4 + 2] + w[v * 4 + 3];
            if (fabsf(sum - 1.0f) > 0.000001f)
              panic("gltf(%s): weights of vertex %d sum to %f, not 1\n", model.path, v, (double)sum);
          }
        }
        if (upload) model_upload_attribute(mesh, binding, data, count * size);
      }
      assert(counts[0] > 0);
      // Every attribute feeds the same vertices: a shorter one would be read past its end by the GPU.
      for (int b = 1; b < 5; b++)
        if (counts[b] >= 0 && counts[b] != mesh.nvertices)
          panic("gltf(%s): attribute %d has %d values for %d vertices\n", model.path, b, counts[b], mesh.nvertices);
      if (prim.indices >= 0) {
        assert(prim.indices < (int)d.accessors.size());
        const tinygltf::Accessor& indices = d.accessors[prim.indices];
        assert(indices.type == TINYGLTF_TYPE_SCALAR);
        assert(indices.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
        assert(indices.ByteStride(d.bufferViews.at(indices.bufferView)) == 2);
        assert(indices.count < (1u << 24));
        const u16* idx = (const u16*)accessor_data(d, prim.indices, 2, model.path);
        mesh.nindices = (int)indices.count;
        for (int i = 0; i < mesh.nindices; i++)
          if (idx[i] >= mesh.nvertices)
            panic("gltf(%s): index %d past the %d vertices\n", model.path, idx[i], mesh.nvertices);
        if (upload) model_upload_indices(mesh, idx, mesh.nindices);
      }
      if (prim.material >= 0) {
        if (prim.material >= (int)d.materials.size())
          panic("gltf(%s): primitive names a missing material\n", model.path);
        if (mesh.material_index >= 0)
          printf("gltf(%s) WARN: skipping material %d on %s: this mesh already has a material\n", model.path,
                 prim.material, mesh.name);
        else
          // Through the map: materials without a PBR block have no entry, so the file's index would point
          // at a neighbour's.
          mesh.material_index = material_map[prim.material];
      }
    }
  }
}

}  // namespace

Model load_model_ex(const char* dir, const char* file, bool upload) {
  Model model = {};
  snprintf(model.path, sizeof(model.path), "%s/%s", dir, file);

  tinygltf::TinyGLTF gltf;
  gltf.SetImageLoader(keep_image_bytes, nullptr);
  tinygltf::Model d;
  std::string err, warn;
  bool binary = cstr_ends_with(model.path, ".glb");
  if (!file_exists(model.path)) {
    panic("Cannot load model from '%s': [err: %d] (%s)\n", model.path, 6, "not found");
  }
  bool ok = binary ? gltf.LoadBinaryFromFile(&d, &err, &warn, model.path)
                   : gltf.LoadASCIIFromFile(&d, &err, &warn, model.path);
  if (!ok) {
    if (!err.empty()) fprintf(stderr, "gltf: %s\n", err.c_str());
    panic("Cannot load model from '%s': [err: %d] (%s)\n", model.path, 3, "todo");
  }
  for (size_t i = 0; i < d.buffers.size(); i++)
    if (d.buffers[i].data.empty()) panic("Failed to load mesh/material buffers from '%s': %d\n", model.path, (int)i);
  if (renderer.settings.verbose) printf("Loading model '%s'\n", model.path);

  int material_map[MODEL_MATERIALS_MAX];
  load_materials(model, d, dir, upload, material_map);
  load_skin(model, d);
  load_animations(model, d);
  load_meshes(model, d, material_map, upload);
  std::stable_sort(model.meshes, model.meshes + model.nmeshes,
                   [](const Mesh& a, const Mesh& b) { return strncmp(a.name, b.name, sizeof(a.name)) < 0; });
  return model;
}

Model load_model(const char* dir, const char* file) { return load_model_ex(dir, file, true); }

void free_model(Model& model) {
  for (int i = 0; i < model.nbones; i++)
    for (Animation& a : model.bones[i].animations) {
      free(a.translation_times), free(a.translations);
      free(a.rotation_times), free(a.rotations);
      free(a.scale_times), free(a.scales);
    }
  free(model.bones);
  free(model.inverse_bind_matrices);
  model_release_gl(model);
  model = {};
}

// --- the per-kind table

bool model_asset_path(EntityType type, int variant, char* out, int out_len) {
  const EntityInfo* info = find_entity_info(type);
  const Entity* proto = find_entity_prototype(type);
  if (!info || !proto || !info->type_name) return false;
  char asset_name[128];
  int i = 0;
  for (const char* p = info->type_name; *p; p++, i++) {
    assert(i < len(asset_name) - 1);
    asset_name[i] = *p == '_' ? '-' : *p;
  }
  asset_name[i] = 0;
  const char* folder = has_component(*proto, Component_Thinker) ? "mobs" : ".";
  int n = snprintf(out, out_len, info->is_glb ? "%s/%s-%d.glb" : "%s/%s-%d.gltf", folder, asset_name, variant);
  return n > 0 && n < out_len;
}

void load_model_by_type(EntityType type) {
  if (type == Entity_projectile || type == Entity_portal) return;
  EntityInfo* info = find_entity_info(type);
  if (!info || type == Entity_None) return;
  Time start = time_now();
  int nvariants = info->nvariants;
  assert(nvariants > 0);
  assert(nvariants <= MODEL_VARIANTS_MAX);
  EntityModels& models = game.entity_models[type];
  models.nvariants = nvariants;
  for (int v = 1; v <= nvariants; v++) {
    char file[256];
    if (!model_asset_path(type, v, file, (int)sizeof(file))) panic("no model path for kind %d\n", (int)type);
    Model& m = models.variants[v - 1];
    m = load_model("assets", file);
    if (type == Entity_wheat || type == Entity_berry_bush) m.is_foliage = true;
  }
  info->flags |= EntityInfoFlag_Loaded;
  Duration took = time_since(start);
  if (took > 5 * Milliseconds)
    fprintf(stderr, "[warn] Loading of '%s' took %f.2ms!\n", info->type_name, (double)to_ms(took));
  if (nresource_timings < len(resource_timings)) resource_timings[nresource_timings++] = {took, info->type_name};
}

void load_resources() {
  Measure measure = measure_start("load_resources");
  char path[512];
  platform_base_path(path, (int)sizeof(path));
  printf("BasePath: %s\n", path);
  platform_pref_path(nullptr, "valmire2", path, (int)sizeof(path));
  printf("PrefPath: %s\n", path);
  game.test_texture = load_test_texture();
  game.models.test = load_model("assets", "test.glb");
  game.models.dead_tree = load_model("assets", "dead-tree-1.glb");
  game.models.capsule = load_model("assets", "capsule.glb");
  game.models.character = load_model("assets", "character.glb");
  dump_model_info(game.models.character);
  clear_texture_cache();
  measure.end();
}

void print_resources_report() {
  std::stable_sort(resource_timings, resource_timings + nresource_timings,
                   [](const ResourceTiming& a, const ResourceTiming& b) { return a.duration < b.duration; });
  printf("================================\n");
  for (int i = 0; i < nresource_timings; i++)
    printf("|%-60s| %8.3fms|\n", resource_timings[i].type_name, (double)to_ms(resource_timings[i].duration));
  printf("================================\n");
}

void dump_model_info(const Model& model) {
  printf("----------------\n");
  printf("Model: %s\n", model.path);
  printf("nbones = %d\n", model.nbones);
  for (int i = 0; i < model.nbones; i++) {
    const Bone& b = model.bones[i];
    printf("  bone: %s\n", b.name);
    for (const Animation& a : b.animations) {
      if (a.type == AnimationType_None) continue;
      printf("   animation: %s, type %d\n", a.name, (int)a.type);
      if (!strstr(a.name, "Idle")) continue;
      printf("   ntranslations = %d; interporpolation: %d\n", a.ntranslations, a.translation_interpolation);
      for (int k = 0; k < a.ntranslations; k++)
        printf("      %g => %g %g %g\n", (double)a.translation_times[k], (double)a.translations[k].x,
               (double)a.translations[k].y, (double)a.translations[k].z);
      printf("   nrotations = %d; interporpolation: %d\n", a.nrotations, a.rotation_interpolation);
      printf("   nscales = %d; interporpolation: %d\n", a.nscales, a.scale_interpolation);
      for (int k = 0; k < a.nscales; k++)
        printf("      %.3f => %8.3f %8.3f %8.3f\n", (double)a.scale_times[k], (double)a.scales[k].x,
               (double)a.scales[k].y, (double)a.scales[k].z);
    }
  }
  printf("----------------\n");
}
