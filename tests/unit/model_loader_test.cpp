// The model loader without GL: hand-made glTF files, good and broken, and the per-kind file names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "render/model.hpp"
#include "registry.hpp"
#include "test_files.hpp"

namespace {

std::string join(const std::vector<std::string>& items) {
  std::string s;
  for (size_t i = 0; i < items.size(); i++) s += (i ? "," : "") + items[i];
  return s;
}

// A glTF document written by hand, its one buffer in "buffer.bin" beside it.
struct Gltf {
  std::string bin;
  std::vector<std::string> views, accessors, nodes, meshes, skins, animations, materials;
  std::vector<int> scene;

  int accessor(const void* data, size_t count, int component, const char* type, size_t element_size,
               size_t offset = 0) {
    while (bin.size() % 4) bin += '\0';
    size_t start = bin.size();
    bin.append((const char*)data, count * element_size);
    views.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(start) +
                    ",\"byteLength\":" + std::to_string(count * element_size) + "}");
    accessors.push_back("{\"bufferView\":" + std::to_string(views.size() - 1) + ",\"byteOffset\":" +
                        std::to_string(offset) + ",\"componentType\":" + std::to_string(component) +
                        ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"}");
    return (int)accessors.size() - 1;
  }
  int node(const std::string& body, bool root = true) {
    nodes.push_back("{" + body + "}");
    if (root) scene.push_back((int)nodes.size() - 1);
    return (int)nodes.size() - 1;
  }
  std::string json() const {
    std::string s = "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[";
    for (size_t i = 0; i < scene.size(); i++) s += (i ? "," : "") + std::to_string(scene[i]);
    s += "]}],\"nodes\":[" + join(nodes) + "]";
    if (!meshes.empty()) s += ",\"meshes\":[" + join(meshes) + "]";
    if (!skins.empty()) s += ",\"skins\":[" + join(skins) + "]";
    if (!animations.empty()) s += ",\"animations\":[" + join(animations) + "]";
    if (!materials.empty()) s += ",\"materials\":[" + join(materials) + "]";
    s += ",\"accessors\":[" + join(accessors) + "],\"bufferViews\":[" + join(views) + "]";
    s += ",\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) + ",\"uri\":\"buffer.bin\"}]}";
    return s;
  }
};

const int FLOAT = 5126, U16 = 5123, U32 = 5125, U8 = 5121;

struct Options {
  int nskins = 0;
  int njoints = 0;
  bool weights = false;
  f32 weight0 = 1;
  bool wide_indices = false;
  int index_past_end = 0;
  std::vector<std::string> clips;  // one translation channel on joint 0 each
  std::vector<std::string> mesh_names = {"body"};
  std::vector<int> mesh_material;  // per mesh; -1 none
  std::vector<std::string> materials;
};

// Meshes of one triangle each, optionally skinned to a chain of joints with clips on joint 0.
// The buffer is written into `dir`; the document is returned.
std::string make_gltf(const Options& o, const std::string& dir) {
  Gltf g;
  v3 pos[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  int joint_nodes = (int)g.nodes.size();
  for (int j = 0; j < o.njoints; j++) {
    std::string body = "\"name\":\"joint" + std::to_string(j) + "\",\"translation\":[0,0,1]";
    if (j + 1 < o.njoints) body += ",\"children\":[" + std::to_string(j + 1) + "]";
    g.node(body, j == 0);
  }
  for (size_t m = 0; m < o.mesh_names.size(); m++) {
    std::string attrs = "\"POSITION\":" + std::to_string(g.accessor(pos, 3, FLOAT, "VEC3", 12));
    if (o.weights) {
      u8 joints[12] = {};
      f32 w[12] = {o.weight0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
      attrs += ",\"JOINTS_0\":" + std::to_string(g.accessor(joints, 3, U8, "VEC4", 4));
      attrs += ",\"WEIGHTS_0\":" + std::to_string(g.accessor(w, 3, FLOAT, "VEC4", 16));
    }
    int indices;
    if (o.wide_indices) {
      u32 idx[3] = {0, 1, 2};
      indices = g.accessor(idx, 3, U32, "SCALAR", 4);
    } else {
      u16 idx[3] = {0, 1, (u16)(2 + o.index_past_end)};
      indices = g.accessor(idx, 3, U16, "SCALAR", 2);
    }
    std::string prim = "{\"attributes\":{" + attrs + "},\"indices\":" + std::to_string(indices);
    if (m < o.mesh_material.size() && o.mesh_material[m] >= 0)
      prim += ",\"material\":" + std::to_string(o.mesh_material[m]);
    g.meshes.push_back("{\"primitives\":[" + prim + "}]}");
    std::string body = "\"name\":\"" + o.mesh_names[m] + "\",\"mesh\":" + std::to_string(m);
    if (o.nskins) body += ",\"skin\":0";
    g.node(body);
  }
  for (int s = 0; s < o.nskins; s++) {
    std::vector<m4> inv(o.njoints, m4_identity());
    int acc = g.accessor(inv.data(), o.njoints, FLOAT, "MAT4", 64);
    std::vector<std::string> joints;
    for (int j = 0; j < o.njoints; j++) joints.push_back(std::to_string(joint_nodes + j));
    g.skins.push_back("{\"joints\":[" + join(joints) + "],\"inverseBindMatrices\":" + std::to_string(acc) + "}");
  }
  for (const std::string& clip : o.clips) {
    f32 t[2] = {0, 1};
    v3 v[2] = {{0, 0, 1}, {0, 0, 2}};
    int in = g.accessor(t, 2, FLOAT, "SCALAR", 4);
    int out = g.accessor(v, 2, FLOAT, "VEC3", 12);
    g.animations.push_back("{\"name\":\"" + clip + "\",\"samplers\":[{\"input\":" + std::to_string(in) +
                           ",\"output\":" + std::to_string(out) +
                           ",\"interpolation\":\"STEP\"}],\"channels\":[{\"sampler\":0,\"target\":{\"node\":" +
                           std::to_string(joint_nodes) + ",\"path\":\"translation\"}}]}");
  }
  g.materials = o.materials;
  EXPECT_TRUE(write_text(dir + "/buffer.bin", g.bin));
  return g.json();
}

class ModelLoader : public ::testing::Test {
 protected:
  TempDir folder;
  const std::string& dir = folder.path;
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_FALSE(dir.empty());
  }
  const char* write(const char* name, const std::string& text) {
    EXPECT_TRUE(write_text(dir + "/" + name, text));
    return name;
  }
  Model load(const Options& o) { return load_model_ex(dir.c_str(), write("m.gltf", make_gltf(o, dir)), false); }
};

}  // namespace

TEST_F(ModelLoader, SkinnedFileGivesBonesClipsAndHangingMeshes) {
  Options o;
  o.nskins = 1, o.njoints = 3, o.weights = true;
  o.clips = {"Sword", "Idle", "Dance"};
  Model m = load(o);
  ASSERT_EQ(m.nbones, 3);
  EXPECT_STREQ(m.bones[0].name, "joint0");
  EXPECT_EQ(m.bones[0].parent, -1);
  EXPECT_EQ(m.bones[2].parent, 1);
  // "Sword" is an attack; an unknown clip name is ignored.
  const Animation& attack = m.bones[0].animations[get_animation_index(AnimationType_Attack)];
  EXPECT_EQ(attack.type, AnimationType_Attack);
  EXPECT_STREQ(attack.name, "Sword");
  EXPECT_EQ(attack.ntranslations, 2);
  EXPECT_EQ(attack.translation_interpolation, 1);
  EXPECT_EQ(attack.translations[1].z, 2);
  EXPECT_EQ(m.bones[0].animations[get_animation_index(AnimationType_Idle)].type, AnimationType_Idle);
  ASSERT_EQ(m.nmeshes, 1);
  EXPECT_TRUE(m.meshes[0].has_weights);
  EXPECT_EQ(m.meshes[0].nvertices, 3);
  EXPECT_EQ(m.meshes[0].nindices, 3);
  EXPECT_EQ(m.meshes[0].parent, -1);
  free_model(m);
}

TEST_F(ModelLoader, MeshesAreSortedByName) {
  Options o;
  o.mesh_names = {"2_torch", "0_body", "10_extra", "1_axe"};
  Model m = load(o);
  ASSERT_EQ(m.nmeshes, 4);
  const char* expected[] = {"0_body", "10_extra", "1_axe", "2_torch"};  // byte order, as the presentation counts
  for (int i = 0; i < 4; i++) EXPECT_STREQ(m.meshes[i].name, expected[i]);
}

TEST_F(ModelLoader, MaterialsWithoutPbrBlockLeaveNoEntryAndNoWrongIndex) {
  Options o;
  o.mesh_names = {"a", "b", "c"};
  o.materials = {"{\"name\":\"plain\"}", "{\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.5,0.25,1,1]}}",
                 "{\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,0,0,1]}}"};
  o.mesh_material = {0, 1, 2};
  Model m = load(o);
  ASSERT_EQ(m.nmaterials, 2);
  EXPECT_EQ(m.meshes[0].material_index, -1);  // "plain" has no stored material: none, not its neighbour's
  ASSERT_EQ(m.meshes[1].material_index, 0);
  EXPECT_EQ(m.materials[0].base_color.g, 0.25f);
  ASSERT_EQ(m.meshes[2].material_index, 1);
  EXPECT_EQ(m.materials[1].base_color.r, 1.0f);
}

TEST_F(ModelLoader, RefusesBrokenFiles) {
  auto with = [](void (*set)(Options&)) {
    Options o;
    set(o);
    return o;
  };
  struct Case {
    const char* what;
    Options o;
    const char* message;
  } cases[] = {
      {"two skins", with([](Options& o) { o.nskins = 2, o.njoints = 2, o.weights = true; }), "skins.size\\(\\) == 1"},
      {"80 joints", with([](Options& o) { o.nskins = 1, o.njoints = 80; }),
       "skin.joints.size\\(\\) < \\(size_t\\)BONES_MAX"},
      {"32-bit indices", with([](Options& o) { o.wide_indices = true; }),
       "indices.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT"},
      {"weights not summing to 1",
       with([](Options& o) { o.nskins = 1, o.njoints = 2, o.weights = true, o.weight0 = 0.9f; }),
       "weights of vertex 0 sum to 0.9"},
      {"two clips in the attack slot", with([](Options& o) {
         o.nskins = 1, o.njoints = 2, o.clips = {"Attack", "Sword"};
       }),
       "anim->ntranslations == 0"},
      {"Idle and Open share a slot", with([](Options& o) {
         o.nskins = 1, o.njoints = 2, o.clips = {"Idle", "Open"};
       }),
       "anim->ntranslations == 0"},
      {"an index past the vertices", with([](Options& o) { o.index_past_end = 5; }), "index 7 past the 3 vertices"},
      {"a missing material", with([](Options& o) { o.mesh_material = {3}; }), "primitive names a missing material"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = make_gltf(c.o, dir);
    EXPECT_DEATH(load_model_ex(dir.c_str(), write("bad.gltf", text), false), c.message);
  }
}

TEST_F(ModelLoader, RefusesReadsOutsideTheBuffer) {
  Options o;
  std::string text = make_gltf(o, dir);
  // The first accessor claims to start four bytes into its view: its last vertex would end past it.
  size_t at = text.find("\"byteOffset\":0,\"componentType\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, strlen("\"byteOffset\":0"), "\"byteOffset\":4");
  EXPECT_DEATH(load_model_ex(dir.c_str(), write("short.gltf", text), false),
               "reaches past its buffer|attribute.byteOffset == 0");
  // Counts larger than the view, small and absurdly large (a product that would wrap around).
  for (const char* count : {"\"count\":1000", "\"count\":4611686018427387904"}) {
    std::string big = make_gltf(o, dir);
    size_t c = big.find("\"count\":3");
    ASSERT_NE(c, std::string::npos);
    big.replace(c, strlen("\"count\":3"), count);
    EXPECT_DEATH(load_model_ex(dir.c_str(), write("big.gltf", big), false),
                 "reaches past its buffer|count < |Cannot load model")
        << count;
  }
  EXPECT_DEATH(load_model_ex(dir.c_str(), "missing.glb", false),
               "Cannot load model from '.*/missing.glb': \\[err: 6\\] \\(not found\\)");
  EXPECT_DEATH(load_model_ex(dir.c_str(), write("junk.gltf", "{\"asset\":"), false), "Cannot load model from");
}

TEST(ModelAssetPath, FolderNameAndFormatFollowTheKind) {
  load_entity_registry();
  struct {
    EntityType type;
    int variant;
    const char* path;
  } rows[] = {
      {Entity_berry_bush, 1, "./berry-bush-1.glb"},
      {Entity_berry_bush, 2, "./berry-bush-2.glb"},
      {Entity_skeleton, 1, "mobs/skeleton-1.glb"},
      {Entity_radish, 1, "./radish-1.gltf"},
      {Entity_wall_uneven_brick_window_wide_round, 1, "./wall-uneven-brick-window-wide-round-1.gltf"},
  };
  for (auto& r : rows) {
    char path[256];
    ASSERT_TRUE(model_asset_path(r.type, r.variant, path, (int)sizeof(path)));
    EXPECT_STREQ(path, r.path);
  }
  char small[8];
  EXPECT_FALSE(model_asset_path(Entity_berry_bush, 1, small, (int)sizeof(small)));
  EXPECT_FALSE(model_asset_path((EntityType)250, 1, small, (int)sizeof(small)));
}

TEST(TextureCache, FindsByFullNameAndClears) {
  u8* a = (u8*)malloc(4);
  u8* b = (u8*)malloc(4);
  Texture ta, tb, got;
  ta.width = 2, tb.width = 4;
  cache_texture(&ta, "palette.png", a);
  std::string long_name(80, 'x');
  cache_texture(&tb, long_name.c_str(), b);
  EXPECT_EQ(get_cached_texture("palette.png", &got), a);
  EXPECT_EQ(got.width, 2);
  EXPECT_EQ(get_cached_texture("other.png", &got), nullptr);
  // Names are kept to 63 bytes: a longer name must not match another that shares its beginning.
  EXPECT_EQ(get_cached_texture((std::string(63, 'x') + "y").c_str(), &got), nullptr);
  clear_texture_cache();
  EXPECT_EQ(get_cached_texture("palette.png", &got), nullptr);
}

TEST(ModelReports, ResourceTimingsRankAscending) {
  nresource_timings = 0;
  resource_timings[nresource_timings++] = {3 * Milliseconds, "stag"};
  resource_timings[nresource_timings++] = {Milliseconds, "frog"};
  resource_timings[nresource_timings++] = {2 * Milliseconds, "rock"};
  testing::internal::CaptureStdout();
  print_resources_report();
  std::string out = testing::internal::GetCapturedStdout();
  nresource_timings = 0;
  EXPECT_NE(out.find("|    1.000ms|"), std::string::npos);
  EXPECT_LT(out.find("frog"), out.find("rock"));
  EXPECT_LT(out.find("rock"), out.find("stag"));
}

TEST_F(ModelLoader, DumpListsBonesClipsAndIdleKeys) {
  Options o;
  o.nskins = 1, o.njoints = 2;
  o.clips = {"Idle", "Run"};
  Model m = load(o);
  testing::internal::CaptureStdout();
  dump_model_info(m);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Model: " + dir +
                     "/m.gltf\nnbones = 2\n  bone: joint0\n   animation: Idle, type 1\n"
                     "   ntranslations = 2; interporpolation: 1\n      0 => 0 0 1\n      1 => 0 0 2\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("   animation: Run, type 2\n  bone: joint1\n"), std::string::npos) << out;
  free_model(m);
}
