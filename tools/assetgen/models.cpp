// Writes every model the client loads: each variant of each kind of the registry that has a model, in the
// kind's format and folder, and the four start-up models.
#include "assetgen.hpp"
#include "models_kinds.hpp"
#include "registry.hpp"

static GenShape kind_shape(const Entity& proto) {
  GenShape s;
  const f32 k = 1.0f / 32.0f;  // world units to tiles
  s.is_box = proto.dim.y != 0;
  s.radius = proto.radius * k;
  s.dim = proto.dim * k;
  s.height = proto.dim.z * k;
  if (!s.is_box) s.dim = {s.radius * 2, s.radius * 2, s.height};
  return s;
}

static bool write_startup_model(const char* out_dir, const char* base, void (*fn)(GenModel&)) {
  GenModel g;
  fn(g);
  return gen_write_model(g, out_dir, base, true);
}

static bool generate_models(const char* out_dir) {
  load_entity_registry();
  bool ok = true;
  int nfiles = 0, nvertices = 0;
  for (int t = 2; t < global_entity_registry.nprototypes; t++) {
    const EntityInfo& info = global_entity_registry.info[t];
    const Entity& proto = global_entity_registry.prototypes[t];
    if (!info.nvariants) continue;  // no model: projectiles, portals
    GenKindFn fn = find_kind_builder(info.type_name);
    if (!fn) {
      fprintf(stderr, "assetgen: no model builder for '%s'\n", info.type_name);
      ok = false;
      continue;
    }
    char asset[128];
    cstr_copy(asset, info.type_name, (int)sizeof(asset));
    for (char* p = asset; *p; p++)
      if (*p == '_') *p = '-';
    bool mob = has_component(proto, Component_Thinker);
    Text dir = mob ? tprintf("%s/mobs", out_dir) : Text(out_dir);
    for (int v = 1; v <= info.nvariants; v++) {
      GenModel g;
      g.seed = (u32)(t * 131 + v * 7919);
      fn(g, v, kind_shape(proto));
      nvertices += gen_vertex_count(g);
      ok = gen_write_model(g, dir.cstr(), tprintf("%s-%d", asset, v).cstr(), info.is_glb) && ok;
      nfiles++;
    }
  }
  ok = write_startup_model(out_dir, "test", build_test_model) && ok;
  ok = write_startup_model(out_dir, "dead-tree-1", build_dead_tree) && ok;
  ok = write_startup_model(out_dir, "capsule", build_capsule) && ok;
  ok = write_startup_model(out_dir, "character", build_character) && ok;
  printf("assetgen: models: %d kind files, %d vertices\n", nfiles, nvertices);
  return ok;
}

ASSETGEN_REGISTER("models", generate_models);
