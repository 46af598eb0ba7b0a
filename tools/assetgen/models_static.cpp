// Builders of the still models: items, plants, rocks, furniture and buildings, and the table of every kind.
// Sizes follow the kind's shape; variants differ in colour and proportion so that they read apart.
#include "models_kinds.hpp"

static const Color Wood = rgb(0x9a6232), DarkWood = rgb(0x5e3a1e), LightWood = rgb(0xc89a60);
static const Color Stone = rgb(0x8c8c88), DarkStone = rgb(0x5c5c5a), Brick = rgb(0xa84a32);
static const Color Leaf = rgb(0x3f8a2e), Iron = rgb(0x9aa0aa), Gold = rgb(0xd8b040), Bone = rgb(0xe8e0c8);
static const Color Roof = rgb(0x8a3a2a), Cloth = rgb(0xd8ccb0), Leather = rgb(0x8a5a36);

static Color pick(int variant, std::initializer_list<u32> colors) {
  int n = (int)colors.size();
  return rgb(colors.begin()[(variant - 1) % n]);
}
static f32 sz(const GenShape& s) { return s.is_box ? min(s.dim.x, s.dim.y) * 0.5f : s.radius; }
static f32 height_or(const GenShape& s, f32 h) { return s.height > 0 ? s.height : h; }
static void one(GenModel& g, const char* name) { gen_mesh(g, tprintf("0_%s", name).cstr()); }

// --- food and small items

static void k_meat(GenModel& g, int, const GenShape&) {
  one(g, "meat");
  ball(g, {0, 0, 0.1f}, {0.2f, 0.14f, 0.1f}, rgb(0xc83a3a), 2, 6);
  cyl(g, {0.18f, 0, 0.08f}, 0.03f, 0.16f, Bone, 4, 1, Ry(pi / 2));
}
static void k_roasted_meat(GenModel& g, int, const GenShape&) {
  one(g, "roasted_meat");
  ball(g, {0, 0, 0.1f}, {0.2f, 0.14f, 0.1f}, rgb(0x7a3a14), 2, 6);
  cyl(g, {0.18f, 0, 0.08f}, 0.03f, 0.16f, Bone, 4, 1, Ry(pi / 2));
}
static void k_ash(GenModel& g, int, const GenShape&) {
  one(g, "ash");
  cone(g, {0, 0, 0}, 0.22f, 0.1f, rgb(0x5a5a5a), 7);
  cone(g, {0.08f, 0.05f, 0}, 0.1f, 0.08f, rgb(0x7a7a7a), 5);
}
static void k_berry(GenModel& g, int, const GenShape&) {
  one(g, "berry");
  for (int i = 0; i < 3; i++)
    ball(g, {0.07f * cosf(i * 2.1f), 0.07f * sinf(i * 2.1f), 0.06f}, {0.06f, 0.06f, 0.06f}, rgb(0x8a1a8a), 2, 5);
  box(g, {0, 0, 0.1f}, {0.02f, 0.02f, 0.06f}, Leaf);
}
static void k_carrot(GenModel& g, int, const GenShape&) {
  one(g, "carrot");
  cone(g, {0.12f, 0, 0.05f}, 0.05f, 0.3f, rgb(0xf07a1a), 5, Ry(-pi / 2));
  cone(g, {0.12f, 0, 0.05f}, 0.05f, 0.12f, Leaf, 4, Ry(pi / 2));
}
static void k_mushroom(GenModel& g, int v, const GenShape&) {
  one(g, "mushroom");
  Color cap = pick(v, {0xc82020, 0xa87040, 0xe0d0a0});
  f32 k = 1 + 0.2f * (v - 1);
  cyl(g, {0, 0, 0}, 0.04f, 0.14f * k, rgb(0xf0e8d8), 5);
  cone(g, {0, 0, 0.12f * k}, 0.14f * k, 0.12f, cap, 7);
  if (v == 1)
    for (int i = 0; i < 3; i++)
      box(g, {0.06f * cosf(i * 2.0f), 0.06f * sinf(i * 2.0f), 0.17f * k}, {0.03f, 0.03f, 0.03f}, rgb(0xffffff));
}
static void k_radish(GenModel& g, int, const GenShape&) {
  one(g, "radish");
  ball(g, {0, 0, 0.08f}, {0.09f, 0.09f, 0.08f}, rgb(0xd8284a), 3, 6);
  cone(g, {0, 0, 0.14f}, 0.06f, 0.14f, Leaf, 4);
}
static void k_crystal(GenModel& g, int, const GenShape&) {
  one(g, "crystal");
  cone(g, {0, 0, 0}, 0.08f, 0.35f, rgb(0x50e0f0), 4);
  cone(g, {0.08f, 0.03f, 0}, 0.05f, 0.22f, rgb(0x40b0e0), 4, Ry(0.3f));
  cone(g, {-0.07f, -0.02f, 0}, 0.05f, 0.2f, rgb(0x70f0ff), 4, Ry(-0.35f));
}
static void k_wheat(GenModel& g, int, const GenShape&) {
  one(g, "wheat");
  for (int i = 0; i < 4; i++) {
    m4 r = Rz(0.3f * i) * Rx(1.4f);
    box(g, {0, 0, 0.04f}, {0.02f, 0.02f, 0.4f}, rgb(0xc8b050), r);
    cyl(g, {0, 0, 0.04f}, 0.03f, 0.12f, rgb(0xe0c060), 4, 1, r * T(0, 0, 0.4f));
  }
}
static void k_flour(GenModel& g, int, const GenShape&) {
  one(g, "flour");
  ball(g, {0, 0, 0.15f}, {0.16f, 0.14f, 0.16f}, Cloth, 3, 6);
  box(g, {0, 0, 0.28f}, {0.08f, 0.08f, 0.06f}, rgb(0xb0a080));
  box(g, {0, -0.14f, 0.12f}, {0.08f, 0.01f, 0.08f}, rgb(0xffffff));
}
static void k_branch(GenModel& g, int, const GenShape&) {
  one(g, "branch");
  cyl(g, {-0.3f, 0, 0.04f}, 0.035f, 0.6f, Wood, 5, 0.7f, Ry(pi / 2));
  cyl(g, {0.05f, 0, 0.04f}, 0.02f, 0.2f, Wood, 4, 0.6f, Rz(0.8f) * Ry(pi / 2));
  ball(g, {0.2f, 0.15f, 0.05f}, {0.06f, 0.05f, 0.03f}, Leaf, 2, 4);
}
static void k_bone(GenModel& g, int v, const GenShape&) {
  one(g, "bone");
  f32 len = v == 1 ? 0.36f : 0.26f;
  box(g, {0, 0, 0.02f}, {len, 0.05f, 0.05f}, Bone);
  for (int s = -1; s <= 1; s += 2)
    for (int t = -1; t <= 1; t += 2) ball(g, {s * len * 0.5f, t * 0.03f, 0.045f}, {0.04f, 0.04f, 0.04f}, Bone, 2, 4);
}
static void k_iron_ore(GenModel& g, int, const GenShape&) {
  one(g, "iron_ore");
  ball(g, {0, 0, 0.1f}, {0.16f, 0.13f, 0.1f}, DarkStone, 2, 5);
  box(g, {0.05f, -0.05f, 0.12f}, {0.06f, 0.06f, 0.06f}, rgb(0xc07a50), Rz(0.4f));
  box(g, {-0.06f, 0.04f, 0.13f}, {0.05f, 0.05f, 0.05f}, rgb(0xc07a50), Rz(0.9f));
}
static void k_iron_ingot(GenModel& g, int, const GenShape&) {
  one(g, "iron_ingot");
  cyl(g, {0, 0, 0}, 0.16f, 0.08f, Iron, 4, 0.75f, S(1.6f, 0.7f, 1));
}
static void k_stone(GenModel& g, int, const GenShape&) {
  one(g, "stone");
  ball(g, {0, 0, 0.08f}, {0.14f, 0.11f, 0.08f}, Stone, 2, 5);
}
static void k_raw_hide(GenModel& g, int, const GenShape&) {
  one(g, "raw_hide");
  box(g, {0, 0, 0}, {0.6f, 0.45f, 0.03f}, rgb(0xa07048), Rz(0.2f));
  box(g, {0, 0, 0.03f}, {0.35f, 0.3f, 0.02f}, rgb(0xc89870), Rz(0.2f));
}
static void k_leather(GenModel& g, int, const GenShape&) {
  one(g, "leather");
  for (int i = 0; i < 3; i++)
    box(g, {0, 0, 0.03f * i}, {0.5f, 0.36f, 0.03f}, shade(Leather, 1 - 0.1f * i), Rz(0.15f * i));
}
static void k_leather_strip(GenModel& g, int, const GenShape&) {
  one(g, "leather_strip");
  for (int i = 0; i < 3; i++) box(g, {0, -0.1f + 0.1f * i, 0}, {0.5f, 0.05f, 0.02f}, Leather, Rz(0.1f * (i - 1)));
}
static void k_sash(GenModel& g, int, const GenShape&) {
  one(g, "sash");
  cyl(g, {0, 0, 0}, 0.3f, 0.08f, rgb(0x8a2a4a), 10, 1.0f);
  cyl(g, {0, 0, 0.08f}, 0.26f, 0.001f, rgb(0x501830), 10);
  box(g, {0, -0.3f, 0}, {0.1f, 0.04f, 0.1f}, Gold);
}
static void k_bag(GenModel& g, int, const GenShape&) {
  one(g, "bag");
  ball(g, {0, 0, 0.25f}, {0.28f, 0.22f, 0.25f}, Leather, 3, 7);
  cyl(g, {0, 0, 0.45f}, 0.1f, 0.12f, shade(Leather, 0.8f), 6, 1.4f);
  box(g, {0, -0.21f, 0.2f}, {0.2f, 0.03f, 0.14f}, shade(Leather, 1.2f));
}
static void k_blueprint(GenModel& g, int, const GenShape&) {
  one(g, "blueprint");
  box(g, {0, 0, 0}, {0.4f, 0.3f, 0.01f}, rgb(0x2a5ab0));
  box(g, {0, 0, 0.01f}, {0.3f, 0.02f, 0.005f}, rgb(0xe0f0ff));
  box(g, {0, 0, 0.01f}, {0.02f, 0.2f, 0.005f}, rgb(0xe0f0ff));
  cyl(g, {0.2f, -0.15f, 0.02f}, 0.03f, 0.3f, rgb(0xd0e0f0), 6, 1, Rx(pi / 2));
}
static void k_blank(GenModel& g, int v, const GenShape&) {
  one(g, "blank");
  // A building site: stakes and a string outline.
  Color c = pick(v, {0xe0d040, 0x40c0e0});
  for (int i = 0; i < 4; i++) {
    f32 x = (i & 1) ? 0.4f : -0.4f, y = (i & 2) ? 0.4f : -0.4f;
    box(g, {x, y, 0}, {0.05f, 0.05f, 0.3f}, LightWood);
  }
  box(g, {0, -0.4f, 0.22f}, {0.8f, 0.015f, 0.015f}, c);
  box(g, {0, 0.4f, 0.22f}, {0.8f, 0.015f, 0.015f}, c);
  box(g, {-0.4f, 0, 0.22f}, {0.015f, 0.8f, 0.015f}, c);
  box(g, {0.4f, 0, 0.22f}, {0.015f, 0.8f, 0.015f}, c);
}

// --- potions, bowls, bottles, candles

static void potion(GenModel& g, const char* name, Color liquid) {
  one(g, name);
  ball(g, {0, 0, 0.12f}, {0.12f, 0.12f, 0.12f}, liquid, 3, 7);
  cyl(g, {0, 0, 0.22f}, 0.04f, 0.1f, rgb(0xc8e8f0), 6);
  cyl(g, {0, 0, 0.32f}, 0.045f, 0.04f, rgb(0x8a5a30), 6);
}
static void k_healing_potion(GenModel& g, int, const GenShape&) { potion(g, "healing_potion", rgb(0xe02030)); }
static void k_mana_potion(GenModel& g, int, const GenShape&) { potion(g, "mana_potion", rgb(0x2050e0)); }
static void k_wooden_bowl(GenModel& g, int v, const GenShape&) {
  one(g, "wooden_bowl");
  Color c = pick(v, {0x9a6232, 0xc89a60, 0x6a3a1a});
  f32 r = 0.16f + 0.03f * (v - 1);
  cyl(g, {0, 0, 0}, r * 0.6f, 0.1f, c, 8, 1.6f);
  cyl(g, {0, 0, 0.1f}, r * 0.85f, 0.005f, shade(c, 0.6f), 8);
}
static void k_simple_bowl(GenModel& g, int, const GenShape&) {
  one(g, "simple_bowl");
  cyl(g, {0, 0, 0}, 0.1f, 0.09f, rgb(0xd8d0c0), 8, 1.8f);
  cyl(g, {0, 0, 0.09f}, 0.16f, 0.005f, rgb(0x8a8070), 8);
}
static void k_clay_bottle(GenModel& g, int, const GenShape&) {
  one(g, "clay_bottle");
  cyl(g, {0, 0, 0}, 0.1f, 0.22f, rgb(0xb8643a), 7, 0.6f);
  cyl(g, {0, 0, 0.22f}, 0.04f, 0.1f, rgb(0xa0542e), 6);
}
static void k_fancy_bottle(GenModel& g, int, const GenShape&) {
  one(g, "fancy_bottle");
  cyl(g, {0, 0, 0}, 0.09f, 0.12f, rgb(0x30a060), 6, 1.3f);
  cyl(g, {0, 0, 0.12f}, 0.12f, 0.1f, rgb(0x30a060), 6, 0.3f);
  cyl(g, {0, 0, 0.22f}, 0.03f, 0.14f, rgb(0x50c080), 6);
  ball(g, {0, 0, 0.38f}, {0.04f, 0.04f, 0.04f}, Gold, 2, 5);
}
static void k_simple_vaze(GenModel& g, int, const GenShape&) {
  one(g, "simple_vaze");
  cyl(g, {0, 0, 0}, 0.08f, 0.15f, rgb(0x4a7ab0), 8, 1.6f);
  cyl(g, {0, 0, 0.15f}, 0.13f, 0.15f, rgb(0x4a7ab0), 8, 0.5f);
  cyl(g, {0, 0, 0.3f}, 0.07f, 0.05f, rgb(0xe8e8f0), 8, 1.3f);
}
static void k_candle(GenModel& g, int, const GenShape&) {
  one(g, "candle");
  cyl(g, {0, 0, 0}, 0.1f, 0.03f, Iron, 8);
  cyl(g, {0, 0, 0.03f}, 0.04f, 0.18f, rgb(0xf4ecd8), 6);
  cone(g, {0, 0, 0.21f}, 0.02f, 0.06f, rgb(0xffb030), 4);
}
static void k_candlestick_tripple(GenModel& g, int, const GenShape&) {
  one(g, "candlestick_tripple");
  cyl(g, {0, 0, 0}, 0.1f, 0.03f, Gold, 8);
  box(g, {0, 0, 0}, {0.03f, 0.03f, 0.2f}, Gold);
  box(g, {0, 0, 0.2f}, {0.32f, 0.03f, 0.03f}, Gold);
  for (int i = -1; i <= 1; i++) {
    f32 h = i == 0 ? 0.26f : 0.22f;
    cyl(g, {0.15f * i, 0, h - 0.04f}, 0.03f, 0.12f, rgb(0xf4ecd8), 6);
    cone(g, {0.15f * i, 0, h + 0.08f}, 0.02f, 0.05f, rgb(0xffb030), 4);
  }
}
static void k_metal_torch(GenModel& g, int, const GenShape&) {
  one(g, "metal_torch");
  box(g, {0, 0, 0}, {0.05f, 0.05f, 0.32f}, Iron);
  cyl(g, {0, 0, 0.3f}, 0.05f, 0.08f, DarkStone, 6, 1.6f);
  cone(g, {0, 0, 0.38f}, 0.06f, 0.14f, rgb(0xffa020), 5);
}

// --- tools and weapons

static void k_bone_saw(GenModel& g, int, const GenShape&) {
  one(g, "bone_saw");
  box(g, {-0.2f, 0, 0.02f}, {0.16f, 0.05f, 0.05f}, Bone);
  box(g, {0.08f, 0, 0.02f}, {0.4f, 0.12f, 0.01f}, rgb(0xb0b4bc));
  for (int i = 0; i < 6; i++)
    cone(g, {-0.08f + i * 0.06f, -0.06f, 0.025f}, 0.015f, 0.04f, rgb(0x9098a0), 3, Rx(pi / 2));
}
static void k_bone_knife(GenModel& g, int, const GenShape&) {
  one(g, "bone_knife");
  box(g, {-0.12f, 0, 0.02f}, {0.14f, 0.04f, 0.04f}, Bone);
  box(g, {0.08f, 0, 0.03f}, {0.26f, 0.06f, 0.012f}, rgb(0xe8e4d8));
}
static void k_axe(GenModel& g, int, const GenShape&) {
  one(g, "axe");
  box(g, {0, 0, 0.03f}, {0.6f, 0.05f, 0.05f}, rgb(0x8a5a2b));
  box(g, {0.24f, -0.08f, 0.02f}, {0.12f, 0.2f, 0.04f}, rgb(0xb8bcc4));
  box(g, {0.24f, -0.19f, 0.015f}, {0.18f, 0.04f, 0.05f}, rgb(0xdde1e8));
}
static void k_stone_pickaxe(GenModel& g, int, const GenShape&) {
  one(g, "stone_pickaxe");
  box(g, {0, 0, 0.03f}, {0.6f, 0.05f, 0.05f}, rgb(0x8a5a2b));
  box(g, {0.26f, 0, 0.015f}, {0.08f, 0.5f, 0.06f}, Stone);
  cone(g, {0.26f, -0.25f, 0.045f}, 0.035f, 0.1f, Stone, 4, Rx(pi / 2));
  cone(g, {0.26f, 0.25f, 0.045f}, 0.035f, 0.1f, Stone, 4, Rx(-pi / 2));
}
static void sword(GenModel& g, const char* name, Color blade, Color grip, f32 len, f32 width) {
  one(g, name);
  box(g, {-len * 0.5f - 0.05f, 0, 0.02f}, {0.14f, 0.04f, 0.04f}, grip);
  box(g, {-len * 0.5f + 0.03f, 0, 0.015f}, {0.04f, 0.18f, 0.05f}, Gold);
  box(g, {0.05f, 0, 0.025f}, {len, width, 0.02f}, blade);
}
static void k_wooden_sword(GenModel& g, int, const GenShape&) {
  sword(g, "wooden_sword", LightWood, DarkWood, 0.55f, 0.07f);
}
static void k_iron_sword(GenModel& g, int, const GenShape&) {
  sword(g, "iron_sword", rgb(0xd8dde6), rgb(0x4a3020), 0.65f, 0.07f);
}
static void k_shitty_sword(GenModel& g, int, const GenShape&) {
  sword(g, "shitty_sword", rgb(0x8a6a50), rgb(0x5a4a3a), 0.5f, 0.09f);
  box(g, {0.15f, 0.04f, 0.02f}, {0.06f, 0.03f, 0.03f}, rgb(0x6a4a30));  // a notch of rust
}
static void k_spikey_club(GenModel& g, int, const GenShape&) {
  one(g, "spikey_club");
  cyl(g, {-0.3f, 0, 0.05f}, 0.03f, 0.6f, DarkWood, 6, 2.2f, Ry(pi / 2));
  for (int i = 0; i < 6; i++) {
    f32 a = i * tau / 6;
    cone(g, {0.2f, 0.05f * cosf(a), 0.05f + 0.05f * sinf(a)}, 0.02f, 0.1f, Iron, 3, Rx(a - pi / 2));
  }
}

// --- plants

static void leaves(GenModel& g, v3 c, f32 r, Color col, int n, f32 spread) {
  for (int i = 0; i < n; i++) {
    f32 a = i * 2.4f;
    v3 p = c + v3{spread * cosf(a), spread * sinf(a), 0.5f * spread * sinf(a * 1.7f)};
    ball(g, p, {r, r, r * 0.85f}, shade(col, 0.85f + 0.3f * gen_rand(g)), 2, 5);
  }
}
static void k_bush(GenModel& g, int v, const GenShape& s) {
  one(g, "bush");
  f32 r = sz(s);
  leaves(g, {0, 0, r * 0.6f}, r * 0.6f, pick(v, {0x3f8a2e, 0x5a9a3a}), 5 + v, r * 0.4f);
}
static void k_berry_bush(GenModel& g, int v, const GenShape& s) {
  f32 r = sz(s);
  gen_mesh(g, "0_bush");
  leaves(g, {0, 0, r * 0.6f}, r * 0.6f, pick(v, {0x2f7a3a, 0x4a8a2a}), 6, r * 0.4f);
  gen_mesh(g, "1_berries");
  Color b = pick(v, {0x3040c0, 0xc02040});
  for (int i = 0; i < 9; i++) {
    f32 a = i * 2.3f, h = r * (0.5f + 0.5f * gen_rand(g));
    ball(g, {r * 0.75f * cosf(a), r * 0.75f * sinf(a), h}, {0.06f, 0.06f, 0.06f}, b, 2, 4);
  }
}
static void k_grass(GenModel& g, int v, const GenShape&) {
  one(g, "grass");
  Color c = pick(v, {0x5aaa3a, 0x7ab040, 0x4a9a4a, 0x9ab050});
  int n = 4 + v;
  for (int i = 0; i < n; i++) {
    f32 a = i * 2.4f + v;
    cone(g, {0.15f * cosf(a), 0.15f * sinf(a), 0}, 0.04f, 0.25f + 0.1f * gen_rand(g),
         shade(c, 0.8f + 0.4f * gen_rand(g)), 3, Rx(0.3f * sinf(a)) * Ry(0.3f * cosf(a)));
  }
}
static void k_flower_group(GenModel& g, int v, const GenShape&) {
  one(g, "flower_group");
  Color petals = pick(v, {0xe83a3a, 0xf0d030, 0x8a4ae8, 0xffffff, 0xf07ab0, 0x3a8af0, 0xf0902a});
  for (int i = 0; i < 3 + (v % 3); i++) {
    f32 a = i * 2.2f + v, d = 0.12f + 0.05f * (i % 2);
    v3 p = {d * cosf(a), d * sinf(a), 0};
    f32 h = 0.18f + 0.08f * gen_rand(g);
    box(g, p, {0.015f, 0.015f, h}, Leaf);
    cyl(g, p + v3{0, 0, h}, 0.07f, 0.02f, petals, 5);
    cyl(g, p + v3{0, 0, h + 0.02f}, 0.025f, 0.01f, rgb(0xf0c020), 5);
  }
}
static void tree_trunk(GenModel& g, f32 r, f32 h, Color c) { cyl(g, {0, 0, 0}, r, h, c, 6, 0.7f); }
static void k_pine_tree(GenModel& g, int, const GenShape&) {
  one(g, "pine_tree");
  tree_trunk(g, 0.14f, 0.8f, DarkWood);
  for (int i = 0; i < 3; i++)
    cone(g, {0, 0, 0.6f + i * 0.75f}, 0.85f - 0.2f * i, 1.2f, shade(rgb(0x1f5a3a), 1 + 0.12f * i), 7);
}
static void k_apple_tree(GenModel& g, int, const GenShape&) {
  one(g, "apple_tree");
  tree_trunk(g, 0.14f, 1.3f, Wood);
  ball(g, {0, 0, 1.9f}, {0.9f, 0.9f, 0.75f}, rgb(0x4a9a2e), 3, 7);
  for (int i = 0; i < 8; i++) {
    f32 a = i * 0.8f;
    ball(g, {0.8f * cosf(a), 0.8f * sinf(a), 1.6f + 0.3f * sinf(i * 1.3f)}, {0.08f, 0.08f, 0.08f}, rgb(0xd82020), 2, 4);
  }
}
static void k_palm_tree(GenModel& g, int v, const GenShape&) {
  one(g, "palm_tree");
  f32 h = 2.2f + 0.4f * v, lean = 0.08f * v;
  int segs = 5;
  v3 p = {0, 0, 0};
  for (int i = 0; i < segs; i++) {
    cyl(g, p, 0.12f - 0.01f * i, h / segs, i % 2 ? rgb(0x9a7a4a) : rgb(0x8a6a3a), 6, 0.9f, Ry(lean));
    p += v3{sinf(lean) * h / segs, 0, cosf(lean) * h / segs};
  }
  Color frond = pick(v, {0x3a9a3a, 0x5aaa2a, 0x2a8a4a});
  for (int i = 0; i < 6; i++) {
    f32 a = i * tau / 6 + 0.3f * v;
    box(g, p, {0.25f, 1.3f, 0.03f}, frond, Rz(a) * Rx(-1.9f));
  }
  for (int i = 0; i < 3; i++)
    ball(g, p + v3{0.1f * cosf(i * 2.1f), 0.1f * sinf(i * 2.1f), -0.12f}, {0.08f, 0.08f, 0.08f}, rgb(0x6a4a2a), 2, 4);
}
static void k_weird_tree(GenModel& g, int v, const GenShape&) {
  one(g, "weird_tree");
  Color bark = pick(v, {0x6a4a8a, 0x3a6a7a});
  Color crown = pick(v, {0xe050c0, 0x50e0d0});
  v3 p = {0, 0, 0};
  for (int i = 0; i < 4; i++) {
    f32 a = (i & 1 ? 0.35f : -0.35f) * (v == 1 ? 1 : -1);
    box(g, p, {0.2f, 0.2f, 0.7f}, bark, Rx(a));
    p += v3{0, -sinf(a) * 0.7f, cosf(a) * 0.7f};
  }
  for (int i = 0; i < 3; i++)
    ball(g, p + v3{0.3f * cosf(i * 2.1f), 0.3f * sinf(i * 2.1f), 0.1f * i}, {0.35f, 0.35f, 0.3f}, crown, 2, 5);
}
void build_dead_tree(GenModel& g) {
  one(g, "dead_tree");
  tree_trunk(g, 0.16f, 2.0f, rgb(0x6a5a4a));
  box(g, {0, 0, 1.2f}, {0.08f, 0.08f, 0.8f}, rgb(0x6a5a4a), Ry(0.8f));
  box(g, {0, 0, 1.5f}, {0.07f, 0.07f, 0.6f}, rgb(0x6a5a4a), Rx(-0.9f));
  box(g, {0, 0, 0.9f}, {0.06f, 0.06f, 0.5f}, rgb(0x6a5a4a), Ry(-1.0f));
}
static void k_tree_log(GenModel& g, int, const GenShape& s) {
  one(g, "tree_log");
  f32 len = s.dim.x, r = s.dim.y * 0.5f;
  cyl(g, {-len * 0.5f, 0, r}, r, len, Wood, 7, 1, Ry(pi / 2));
  cyl(g, {len * 0.5f, 0, r}, r * 0.8f, 0.005f, LightWood, 7, 1, Ry(pi / 2));
}

// Five stages in name order, so that bit i of the mesh mask shows stage i.
static void crop(GenModel& g, bool wheat) {
  Color green = rgb(0x5ab03a), ripe = wheat ? rgb(0xe0c050) : rgb(0xf07a1a), dead = rgb(0x7a6a4a);
  const char* names[5] = {"0_sprout", "1_young", "2_mature", "3_harvest", "4_dead"};
  f32 heights[5] = {0.12f, 0.25f, 0.4f, 0.5f, 0.3f};
  for (int stage = 0; stage < 5; stage++) {
    gen_mesh(g, names[stage]);
    g.seed = 7;
    cyl(g, {0, 0, 0}, wheat ? 0.45f : 0.2f, 0.03f, rgb(0x5a3a22), 6);  // tilled soil
    int n = wheat ? 9 : 4;
    for (int i = 0; i < n; i++) {
      f32 a = i * 2.4f, d = wheat ? 0.3f * gen_rand(g) + 0.05f : 0.06f;
      v3 p = {d * cosf(a), d * sinf(a), 0.02f};
      f32 h = heights[stage] * (0.8f + 0.4f * gen_rand(g));
      Color stem = stage == 4 ? dead : (wheat && stage == 3 ? ripe : green);
      cone(g, p, 0.035f, h, stem, 3, Rx(0.25f * sinf(a)) * Ry(0.25f * cosf(a)));
      if (wheat && stage >= 2)
        cyl(g, p + v3{0, 0, h * 0.9f}, 0.03f, 0.12f, stage == 4 ? dead : (stage == 3 ? ripe : green), 4);
    }
    if (!wheat && stage >= 2 && stage < 4) cone(g, {0, 0, 0.12f}, 0.06f + 0.02f * stage, 0.12f, ripe, 5, Rx(pi));
  }
}
static void k_carrot_crop(GenModel& g, int, const GenShape&) { crop(g, false); }
static void k_wheat_crop(GenModel& g, int, const GenShape&) { crop(g, true); }

// --- rocks and ground features

static void k_rock(GenModel& g, int v, const GenShape& s) {
  one(g, "rock");
  f32 r = sz(s);
  Color c = pick(v, {0x8c8c88, 0x9a8a78, 0x7a8088, 0xa0a098});
  ball(g, {0, 0, r * 0.5f}, {r * (0.9f + 0.1f * v), r * 0.85f, r * (0.5f + 0.08f * v)}, c, 2, 5 + v % 3);
  ball(g, {r * 0.45f, r * 0.3f, r * 0.25f}, {r * 0.45f, r * 0.4f, r * 0.3f}, shade(c, 0.85f), 2, 5);
}
static void k_narrow_rock(GenModel& g, int v, const GenShape& s) {
  one(g, "narrow_rock");
  f32 r = sz(s);
  cone(g, {0, 0, 0}, r * 1.1f, 0.8f + 0.3f * v, pick(v, {0x7a7a76, 0x8a8478}), 5, Rx(0.1f * v));
}
static void k_iron_vein(GenModel& g, int, const GenShape& s) {
  one(g, "iron_vein");
  f32 r = sz(s);
  ball(g, {0, 0, r * 0.5f}, {r * 1.1f, r, r * 0.6f}, DarkStone, 2, 6);
  for (int i = 0; i < 5; i++)
    box(g, {r * 0.6f * cosf(i * 1.3f), r * 0.6f * sinf(i * 1.3f), r * 0.55f}, {0.12f, 0.12f, 0.12f}, rgb(0xc07a50),
        Rz(i * 0.7f) * Rx(0.5f));
}
static void k_rocky_stairs(GenModel& g, int, const GenShape& s) {
  one(g, "rocky_stairs");
  f32 w = s.dim.x;
  for (int i = 0; i < 3; i++)
    box(g, {0, -w * 0.3f + i * w * 0.3f, 0}, {w, w * 0.4f, 0.1f + 0.1f * i}, shade(Stone, 1 - 0.1f * i));
}
static void k_rocky_stairs_portal(GenModel& g, int, const GenShape& s) {
  one(g, "rocky_stairs_portal");
  f32 w = s.dim.x;
  ball(g, {0, 0, 0.4f}, {w * 0.55f, w * 0.55f, 0.6f}, DarkStone, 2, 7);
  box(g, {0, -w * 0.25f, 0}, {w * 0.45f, 0.5f, 0.85f}, rgb(0x101014));  // the dark mouth
  for (int i = 0; i < 3; i++) box(g, {0, -w * 0.35f - i * 0.15f, 0}, {w * 0.4f, 0.15f, 0.2f - 0.06f * i}, Stone);
}
static void k_fermion_gate(GenModel& g, int, const GenShape& s) {
  one(g, "fermion_gate");
  f32 r = s.radius;
  for (int i = 0; i < 8; i++) {
    f32 a = i * tau / 8;
    box(g, {r * 0.8f * cosf(a), r * 0.8f * sinf(a), 0}, {0.25f, 0.25f, 1.2f + 0.3f * (i % 2)}, rgb(0x6a6a80), Rz(a));
  }
  cyl(g, {0, 0, 0}, r * 0.5f, 0.04f, rgb(0x50e0f0), 10);
}
static void k_fermion_stone(GenModel& g, int, const GenShape& s) {
  one(g, "fermion_stone");
  f32 w = s.dim.x;
  box(g, {0, 0, 0}, {w * 0.7f, w * 0.7f, 0.15f}, DarkStone);
  cyl(g, {0, 0, 0.15f}, w * 0.2f, 0.9f, rgb(0x6a6a80), 4, 0.6f);
  ball(g, {0, 0, 1.15f}, {0.12f, 0.12f, 0.12f}, rgb(0x50e0f0), 2, 5);
}
static void k_waypoint(GenModel& g, int, const GenShape& s) {
  one(g, "waypoint");
  f32 r = s.radius;
  cyl(g, {0, 0, 0}, r * 0.9f, 0.08f, Stone, 10);
  cyl(g, {0, 0, 0.08f}, r * 0.6f, 0.03f, rgb(0x7040e0), 10);
  box(g, {0, 0, 0.08f}, {0.15f, 0.15f, 1.0f}, DarkStone);
  cone(g, {0, 0, 1.08f}, 0.12f, 0.2f, rgb(0xa080ff), 4);
}

// --- furniture and containers

static void table(GenModel& g, const GenShape& s, f32 top, f32 leg, Color c) {
  f32 w = s.dim.x, d = s.dim.y, h = 0.72f;
  box(g, {0, 0, h - top}, {w, d, top}, c);
  for (int i = 0; i < 4; i++)
    box(g, {((i & 1) ? 0.5f : -0.5f) * (w - leg), ((i & 2) ? 0.5f : -0.5f) * (d - leg), 0}, {leg, leg, h - top},
        shade(c, 0.8f));
}
static void k_wooden_table(GenModel& g, int, const GenShape& s) {
  one(g, "wooden_table");
  table(g, s, 0.06f, 0.08f, Wood);
}
static void k_thick_table(GenModel& g, int, const GenShape& s) {
  one(g, "thick_table");
  table(g, s, 0.16f, 0.18f, DarkWood);
}
static void k_wooden_chair(GenModel& g, int v, const GenShape& s) {
  one(g, "wooden_chair");
  f32 w = s.dim.x * 0.9f;
  Color c = pick(v, {0x9a6232, 0x6a4a2a});
  box(g, {0, 0, 0.4f}, {w, w, 0.05f}, c);
  for (int i = 0; i < 4; i++)
    box(g, {((i & 1) ? 0.4f : -0.4f) * w, ((i & 2) ? 0.4f : -0.4f) * w, 0}, {0.05f, 0.05f, 0.4f}, shade(c, 0.8f));
  box(g, {0, w * 0.45f, 0.45f}, {w, 0.05f, v == 1 ? 0.45f : 0.6f}, c);
  if (v == 2) box(g, {0, w * 0.45f, 0.7f}, {w * 0.5f, 0.06f, 0.08f}, rgb(0xc03030));
}
static void k_nightstand_drawer(GenModel& g, int, const GenShape& s) {
  one(g, "nightstand_drawer");
  f32 w = s.dim.x * 0.8f;
  box(g, {0, 0, 0}, {w, w * 0.8f, 0.7f}, Wood);
  for (int i = 0; i < 2; i++) {
    box(g, {0, -w * 0.41f, 0.12f + 0.28f * i}, {w * 0.85f, 0.02f, 0.22f}, LightWood);
    box(g, {0, -w * 0.43f, 0.22f + 0.28f * i}, {0.08f, 0.03f, 0.03f}, Gold);
  }
}
static void k_barrel(GenModel& g, int, const GenShape& s) {
  one(g, "barrel");
  f32 r = sz(s) * 0.85f;
  cyl(g, {0, 0, 0}, r, 0.45f, Wood, 8, 1.12f);
  cyl(g, {0, 0, 0.45f}, r * 1.12f, 0.45f, Wood, 8, 0.89f);
  cyl(g, {0, 0, 0.12f}, r * 1.05f, 0.05f, rgb(0x404048), 8);
  cyl(g, {0, 0, 0.75f}, r * 1.05f, 0.05f, rgb(0x404048), 8);
}
static void k_fancy_barrel(GenModel& g, int, const GenShape& s) {
  one(g, "fancy_barrel");
  f32 r = sz(s) * 0.85f;
  cyl(g, {0, 0, 0}, r, 0.5f, rgb(0x7a2a1a), 10, 1.1f);
  cyl(g, {0, 0, 0.5f}, r * 1.1f, 0.5f, rgb(0x7a2a1a), 10, 0.9f);
  for (int i = 0; i < 3; i++) cyl(g, {0, 0, 0.1f + 0.38f * i}, r * 1.08f, 0.06f, Gold, 10);
}
static void k_crate(GenModel& g, int, const GenShape& s) {
  one(g, "crate");
  f32 w = s.dim.x * 0.95f, h = height_or(s, 1) * 0.95f;
  box(g, {0, 0, 0}, {w, w, h}, LightWood);
  for (int i = 0; i < 2; i++) {
    f32 side = i ? 0.5f : -0.5f;
    box(g, {0, side * w, 0}, {w * 1.02f, 0.04f, 0.08f}, DarkWood);
    box(g, {0, side * w, h - 0.08f}, {w * 1.02f, 0.04f, 0.08f}, DarkWood);
    box(g, {0, side * w, 0}, {0.08f, 0.045f, h * 1.35f}, DarkWood, Ry(0.7f));
  }
}
static void k_tanning_tub(GenModel& g, int, const GenShape& s) {
  f32 r = sz(s) * 0.9f;
  gen_mesh(g, "0_vessel");
  cyl(g, {0, 0, 0}, r, 0.5f, Wood, 10, 1.1f);
  cyl(g, {0, 0, 0.4f}, r * 1.12f, 0.05f, rgb(0x404048), 10);
  gen_mesh(g, "1_contents");
  cyl(g, {0, 0, 0.38f}, r * 1.0f, 0.08f, rgb(0x7a5a2a), 10);
  box(g, {0, 0, 0.46f}, {r * 0.9f, r * 0.5f, 0.03f}, rgb(0xa07048), Rz(0.4f));
}
static void k_bed(GenModel& g, int, const GenShape& s) {
  one(g, "bed");
  f32 w = s.dim.x, d = s.dim.y;
  box(g, {0, 0, 0}, {w, d, 0.35f}, DarkWood);
  box(g, {0, 0, 0.35f}, {w * 0.95f, d * 0.95f, 0.12f}, rgb(0xf0f0e8));
  box(g, {0, -d * 0.1f, 0.47f}, {w * 0.97f, d * 0.65f, 0.04f}, rgb(0x3a6ab0));
  box(g, {0, d * 0.36f, 0.47f}, {w * 0.6f, d * 0.15f, 0.1f}, rgb(0xffffff));
  box(g, {0, d * 0.5f, 0}, {w, 0.08f, 0.9f}, DarkWood);
}
static void k_metal_bucket(GenModel& g, int, const GenShape& s) {
  one(g, "metal_bucket");
  f32 r = sz(s) * 0.6f;
  cyl(g, {0, 0, 0}, r, 0.4f, Iron, 8, 1.25f);
  cyl(g, {0, 0, 0.38f}, r * 1.2f, 0.02f, rgb(0x4a7ab0), 8);
  box(g, {0, 0, 0.4f}, {r * 2.5f, 0.02f, 0.02f}, DarkStone, Ry(0.2f));
}
static void k_bonfire(GenModel& g, int, const GenShape& s) {
  one(g, "bonfire");
  f32 r = sz(s);
  for (int i = 0; i < 8; i++) {
    f32 a = i * tau / 8;
    ball(g, {r * 0.8f * cosf(a), r * 0.8f * sinf(a), 0.06f}, {0.1f, 0.1f, 0.08f}, Stone, 2, 4);
  }
  for (int i = 0; i < 4; i++) box(g, {0, 0, 0.03f}, {0.08f, r * 1.3f, 0.08f}, DarkWood, Rz(i * pi / 4) * Rx(0.15f));
  cone(g, {0, 0, 0}, r * 0.3f, 0.05f, rgb(0x303030), 6);
}
static void k_drying_rack(GenModel& g, int, const GenShape& s) {
  one(g, "drying_rack");
  f32 w = s.dim.x, d = s.dim.y;
  for (int i = 0; i < 2; i++) box(g, {(i ? 0.45f : -0.45f) * w, 0, 0}, {0.06f, d * 0.7f, 1.1f}, DarkWood, Rx(0));
  box(g, {0, 0, 1.05f}, {w, 0.06f, 0.06f}, DarkWood);
  box(g, {0, 0, 0.5f}, {w, 0.04f, 0.04f}, DarkWood);
  box(g, {-w * 0.15f, 0.03f, 0.45f}, {w * 0.4f, 0.02f, 0.6f}, rgb(0xa07048));
}
static void k_wooden_toilet(GenModel& g, int, const GenShape& s) {
  one(g, "wooden_toilet");
  f32 w = s.dim.x * 0.8f;
  box(g, {0, 0, 0}, {w, w, 2.0f}, LightWood);
  shape_wedge(g, T(0, 0, 2.0f) * S(w * 1.15f, w * 1.15f, 0.35f), Roof);
  box(g, {0, -w * 0.51f, 0.05f}, {w * 0.5f, 0.02f, 1.6f}, Wood);
  box(g, {0, -w * 0.52f, 1.3f}, {0.1f, 0.02f, 0.1f}, rgb(0xf0e060));  // the moon window
}
static void k_wooden_lamp(GenModel& g, int, const GenShape&) {
  one(g, "wooden_lamp");
  box(g, {0, 0, 0}, {0.08f, 0.08f, 1.5f}, DarkWood);
  box(g, {0, -0.15f, 1.45f}, {0.04f, 0.3f, 0.04f}, DarkWood);
  box(g, {0, -0.3f, 1.2f}, {0.16f, 0.16f, 0.22f}, rgb(0xffd870));
}
static void k_training_dummy(GenModel& g, int, const GenShape&) {
  one(g, "training_dummy");
  box(g, {0, 0, 0}, {0.08f, 0.08f, 0.7f}, DarkWood);
  cyl(g, {0, 0, 0.6f}, 0.2f, 0.55f, rgb(0xd8c080), 7);
  box(g, {0, 0, 0.95f}, {0.8f, 0.08f, 0.08f}, DarkWood);
  ball(g, {0, 0, 1.32f}, {0.15f, 0.15f, 0.15f}, rgb(0xd8c080), 3, 6);
  cyl(g, {0, -0.2f, 0.8f}, 0.08f, 0.005f, rgb(0xd03030), 8, 1, Rx(pi / 2));  // the target
}
static void k_tombstone(GenModel& g, int, const GenShape& s) {
  one(g, "tombstone");
  f32 w = s.dim.x;
  box(g, {0, 0, 0}, {w * 0.9f, w * 0.35f, 0.6f}, Stone);
  cyl(g, {0, 0, 0.6f}, w * 0.45f, w * 0.35f, Stone, 8, 1, T(0, w * 0.175f, 0) * Rx(pi / 2));
  box(g, {0, -w * 0.18f, 0.4f}, {0.04f, 0.02f, 0.25f}, DarkStone);
  box(g, {0, -w * 0.18f, 0.55f}, {0.16f, 0.02f, 0.04f}, DarkStone);
}
static void k_corpse(GenModel& g, int, const GenShape&) {
  one(g, "corpse");
  box(g, {0, 0, 0}, {0.4f, 1.2f, 0.25f}, rgb(0x8a7a6a));
  box(g, {0, -0.7f, 0}, {0.25f, 0.25f, 0.22f}, rgb(0xb0a090));
  box(g, {0, 0.1f, 0.25f}, {0.3f, 0.5f, 0.02f}, rgb(0x6a2020));
}

// --- wood pieces

static void k_wooden_plank(GenModel& g, int, const GenShape& s) {
  one(g, "wooden_plank");
  box(g, {0, 0, 0}, {s.dim.x, s.dim.y, 0.08f}, LightWood);
  box(g, {0, 0, 0.08f}, {s.dim.x * 0.9f, 0.02f, 0.005f}, Wood);
}
static void k_wooden_board(GenModel& g, int, const GenShape& s) {
  one(g, "wooden_board");
  box(g, {0, 0, 0}, {s.dim.x, s.dim.y, 0.06f}, Wood);
  box(g, {0, 0, 0.06f}, {s.dim.x * 0.8f, 0.015f, 0.005f}, DarkWood);
}

// --- buildings and dungeon pieces

static void k_barak(GenModel& g, int, const GenShape&) {
  one(g, "barak");
  box(g, {0, 0, 0}, {3.0f, 2.0f, 1.6f}, LightWood);
  shape_wedge(g, T(0, -0.55f, 1.6f) * S(3.2f, 1.1f, 0.8f), Roof);
  shape_wedge(g, T(0, 0.55f, 1.6f) * S(3.2f, 1.1f, 0.8f) * Rz(pi), Roof);
  box(g, {0, -1.01f, 0}, {0.6f, 0.04f, 1.1f}, DarkWood);
  box(g, {1.0f, -1.01f, 0.7f}, {0.4f, 0.04f, 0.4f}, rgb(0x304050));
  box(g, {-1.0f, -1.01f, 0.7f}, {0.4f, 0.04f, 0.4f}, rgb(0x304050));
}
static void k_tower(GenModel& g, int, const GenShape&) {
  one(g, "tower");
  cyl(g, {0, 0, 0}, 0.9f, 3.5f, Stone, 8, 0.9f);
  cyl(g, {0, 0, 3.5f}, 1.0f, 0.3f, DarkStone, 8);
  cone(g, {0, 0, 3.8f}, 1.05f, 1.4f, Roof, 8);
  box(g, {0, -0.82f, 0}, {0.5f, 0.1f, 1.0f}, DarkWood);
}
static void k_blocky_fence(GenModel& g, int, const GenShape& s) {
  one(g, "blocky_fence");
  f32 w = s.dim.x, h = height_or(s, 0.75f);
  for (int i = 0; i < 5; i++) box(g, {-w * 0.45f + i * w * 0.225f, 0, 0}, {0.14f, 0.14f, h}, Wood);
  box(g, {0, 0, h * 0.3f}, {w, 0.08f, 0.1f}, LightWood);
  box(g, {0, 0, h * 0.75f}, {w, 0.08f, 0.1f}, LightWood);
}
static void wall(GenModel& g, const GenShape& s, Color c, Color trim, int variant) {
  f32 w = s.dim.x, d = s.dim.y, h = height_or(s, 3);
  box(g, {0, 0, 0}, {w, d, h}, c);
  box(g, {0, 0, 0}, {w * 1.02f, d * 1.1f, 0.2f}, trim);
  box(g, {0, 0, h - 0.15f}, {w * 1.02f, d * 1.1f, 0.15f}, trim);
  // Courses of stone on the faces; the variant changes their rhythm.
  for (int i = 1; i < 4; i++)
    for (int sgn = -1; sgn <= 1; sgn += 2)
      box(g, {(i + variant) % 2 ? w * 0.15f : -w * 0.15f, sgn * d * 0.5f, h * i / 4.0f}, {w * 0.5f, 0.02f, 0.05f},
          shade(c, 0.8f));
}
static void k_dungeon_wall(GenModel& g, int v, const GenShape& s) {
  one(g, "dungeon_wall");
  wall(g, s, pick(v, {0x5c5c64, 0x646058, 0x4e5660}), DarkStone, v);
}
static void k_dungeon_wall_niche(GenModel& g, int v, const GenShape& s) {
  one(g, "dungeon_wall_niche");
  wall(g, s, rgb(0x5c5c64), DarkStone, v);
  box(g, {0, -s.dim.y * 0.5f, 1.0f}, {0.8f, 0.02f, 0.9f}, rgb(0x202024));
  if (v == 2) cyl(g, {0, -s.dim.y * 0.5f - 0.1f, 1.0f}, 0.08f, 0.25f, Bone, 5);
}
static void k_dungeon_wall_window(GenModel& g, int, const GenShape& s) {
  one(g, "dungeon_wall_window");
  f32 w = s.dim.x, d = s.dim.y, h = height_or(s, 3);
  box(g, {0, 0, 0}, {w, d, 1.0f}, rgb(0x5c5c64));
  box(g, {0, 0, 2.0f}, {w, d, h - 2.0f}, rgb(0x5c5c64));
  box(g, {-w * 0.35f, 0, 1.0f}, {w * 0.3f, d, 1.0f}, rgb(0x5c5c64));
  box(g, {w * 0.35f, 0, 1.0f}, {w * 0.3f, d, 1.0f}, rgb(0x5c5c64));
  for (int i = -1; i <= 1; i++) box(g, {i * 0.2f, 0, 1.0f}, {0.04f, 0.04f, 1.0f}, Iron);
}
static void k_dungeon_doorframe(GenModel& g, int, const GenShape& s) {
  one(g, "dungeon_doorframe");
  f32 w = s.dim.x, d = s.dim.y, h = height_or(s, 3);
  box(g, {-w * 0.45f, 0, 0}, {w * 0.1f, d * 1.2f, h}, DarkStone);
  box(g, {w * 0.45f, 0, 0}, {w * 0.1f, d * 1.2f, h}, DarkStone);
  box(g, {0, 0, h * 0.85f}, {w, d * 1.2f, h * 0.15f}, DarkStone);
}
static void k_dungeon_pillar(GenModel& g, int, const GenShape& s) {
  one(g, "dungeon_pillar");
  f32 w = s.dim.x, h = height_or(s, 3);
  box(g, {0, 0, 0}, {w * 1.2f, w * 1.2f, 0.2f}, DarkStone);
  box(g, {0, 0, 0.2f}, {w * 0.8f, w * 0.8f, h - 0.4f}, rgb(0x6a6a72));
  box(g, {0, 0, h - 0.2f}, {w * 1.2f, w * 1.2f, 0.2f}, DarkStone);
}
static void k_dungeon_column(GenModel& g, int v, const GenShape& s) {
  one(g, "dungeon_column");
  f32 w = s.dim.x, h = height_or(s, 3);
  cyl(g, {0, 0, 0}, w * 0.6f, 0.2f, DarkStone, 8);
  cyl(g, {0, 0, 0.2f}, w * 0.4f, v == 1 ? h - 0.4f : h * 0.6f, rgb(0x7a7a80), v == 1 ? 8 : 6);
  if (v == 1)
    cyl(g, {0, 0, h - 0.2f}, w * 0.6f, 0.2f, DarkStone, 8);
  else
    box(g, {0.2f, 0, 0}, {0.3f, 0.3f, 0.2f}, rgb(0x7a7a80), Rz(0.5f));  // broken: a fallen piece beside it
}
static void k_dungeon_floor(GenModel& g, int, const GenShape& s) {
  one(g, "dungeon_floor");
  f32 w = s.dim.x;
  for (int i = 0; i < 4; i++)
    box(g, {((i & 1) ? 0.25f : -0.25f) * w, ((i & 2) ? 0.25f : -0.25f) * w, 0}, {w * 0.48f, w * 0.48f, 0.04f},
        (i == 0 || i == 3) ? rgb(0x4a4a50) : rgb(0x56565c));
}
static void k_dungeon_entrance(GenModel& g, int, const GenShape& s) {
  one(g, "dungeon_entrance");
  f32 w = s.dim.x, h = height_or(s, 2);
  box(g, {-w * 0.4f, 0, 0}, {w * 0.2f, w * 0.6f, h}, DarkStone);
  box(g, {w * 0.4f, 0, 0}, {w * 0.2f, w * 0.6f, h}, DarkStone);
  box(g, {0, 0, h * 0.8f}, {w, w * 0.6f, h * 0.2f}, DarkStone);
  box(g, {0, 0, 0}, {w * 0.6f, w * 0.5f, 0.02f}, rgb(0x101014));
  for (int i = 0; i < 3; i++)
    box(g, {0, -w * 0.1f + i * w * 0.12f, 0}, {w * 0.58f, w * 0.1f, 0.04f - 0.012f * i}, Stone);
}
static void k_dungeon_entrance_tower(GenModel& g, int, const GenShape& s) {
  k_dungeon_entrance(g, 1, s);
  f32 w = s.dim.x, h = height_or(s, 2);
  box(g, {0, 0, h}, {w * 0.8f, w * 0.6f, h * 0.6f}, Stone);
  for (int i = 0; i < 4; i++)
    box(g, {-w * 0.3f + i * w * 0.2f, -w * 0.3f, h * 1.6f}, {w * 0.1f, w * 0.05f, 0.2f}, Stone);
  cone(g, {0, 0, h * 1.6f}, w * 0.45f, 0.8f, Roof, 4);
}
static void k_dungeon_staircase(GenModel& g, int, const GenShape& s) {
  one(g, "dungeon_staircase");
  f32 w = s.dim.x;
  for (int i = 0; i < 6; i++)
    box(g, {0, -w * 0.4f + i * w * 0.16f, 0}, {w * 0.7f, w * 0.16f, 0.15f + 0.25f * i},
        shade(DarkStone, 1 + 0.05f * i));
  box(g, {w * 0.4f, 0, 0}, {0.15f, w, 1.6f}, rgb(0x4a4a50));
  box(g, {-w * 0.4f, 0, 0}, {0.15f, w, 1.6f}, rgb(0x4a4a50));
}
static void k_test_corner(GenModel& g, int, const GenShape& s) {
  one(g, "test_corner");
  box(g, {0, 0, 0}, {s.dim.x, s.dim.y, height_or(s, 2.5f)}, rgb(0xd0d0d0));
}
static void k_test_wall(GenModel& g, int, const GenShape& s) {
  one(g, "test_wall");
  box(g, {0, 0, 0}, {s.dim.x, s.dim.y, height_or(s, 2.5f)}, rgb(0xc8c8c0));
}
static void k_test_window(GenModel& g, int, const GenShape& s) {
  one(g, "test_window");
  f32 w = s.dim.x, d = s.dim.y, h = height_or(s, 2);
  box(g, {0, 0, 0}, {w, d, h * 0.4f}, rgb(0xc8c8c0));
  box(g, {0, 0, h * 0.8f}, {w, d, h * 0.2f}, rgb(0xc8c8c0));
  box(g, {0, 0, h * 0.4f}, {w * 0.9f, d * 0.3f, h * 0.4f}, rgb(0x8ac8f0));
}
static void k_test_door(GenModel& g, int, const GenShape& s) {
  one(g, "test_door");
  f32 w = s.dim.x, d = s.dim.y, h = height_or(s, 2.5f);
  box(g, {-w * 0.4f, 0, 0}, {w * 0.2f, d, h}, rgb(0xc8c8c0));
  box(g, {w * 0.4f, 0, 0}, {w * 0.2f, d, h}, rgb(0xc8c8c0));
  box(g, {0, 0, h * 0.8f}, {w * 0.6f, d, h * 0.2f}, rgb(0xc8c8c0));
}
static void k_wall_uneven_brick_straight(GenModel& g, int v, const GenShape& s) {
  one(g, "wall_uneven_brick_straight");
  wall(g, s, Brick, rgb(0x6a3a2a), v);
}
static void k_corner_brick(GenModel& g, int, const GenShape& s) {
  one(g, "corner_exterior_brick");
  f32 h = height_or(s, 3);
  box(g, {0, 0, 0}, {s.dim.x * 1.3f, s.dim.y * 1.3f, h}, rgb(0x8a3a28));
}
static void k_corner_wood(GenModel& g, int, const GenShape& s) {
  one(g, "corner_exterior_wood");
  f32 h = height_or(s, 3);
  box(g, {0, 0, 0}, {s.dim.x * 1.3f, s.dim.y * 1.3f, h}, DarkWood);
}
static void brick_opening(GenModel& g, const GenShape& s, f32 bottom, f32 top, f32 width) {
  f32 w = s.dim.x, d = s.dim.y, h = height_or(s, 3);
  f32 side = (w - width) * 0.5f;
  box(g, {-w * 0.5f + side * 0.5f, 0, 0}, {side, d, h}, Brick);
  box(g, {w * 0.5f - side * 0.5f, 0, 0}, {side, d, h}, Brick);
  box(g, {0, 0, top}, {width, d, h - top}, Brick);
  if (bottom > 0) box(g, {0, 0, 0}, {width, d, bottom}, Brick);
}
static void k_wall_uneven_brick_door(GenModel& g, int, const GenShape& s) {
  one(g, "wall_uneven_brick_door");
  brick_opening(g, s, 0, 2.0f, 1.0f);
}
static void k_wall_uneven_brick_window_wide_round(GenModel& g, int, const GenShape& s) {
  one(g, "wall_uneven_brick_window_wide_round");
  brick_opening(g, s, 1.0f, 2.0f, 1.2f);
  cyl(g, {0, 0, 2.0f}, 0.6f, s.dim.y, rgb(0x8ac8f0), 8, 1, T(0, s.dim.y * 0.5f, 0) * Rx(pi / 2) * S(1, 0.4f, 1));
}
static void k_window_wide_round(GenModel& g, int v, const GenShape& s) {
  one(g, "window_wide_round");
  Color frame = pick(v, {0x5e3a1e, 0xe8e8e0, 0x3a5a8a});
  f32 w = 1.2f, d = s.dim.y;
  box(g, {0, 0, 1.0f}, {w, d * 0.5f, 1.0f}, rgb(0x8ac8f0));
  box(g, {0, 0, 0.95f}, {w + 0.1f, d * 1.2f, 0.06f}, frame);
  box(g, {0, 0, 1.95f}, {w + 0.1f, d * 1.2f, 0.08f}, frame);
  box(g, {0, 0, 1.0f}, {0.05f, d * 1.1f, 1.0f}, frame);
  box(g, {0, 0, 1.45f}, {w, d * 1.1f, 0.05f}, frame);
}
static void k_door_frame_flat_brick(GenModel& g, int, const GenShape& s) {
  one(g, "door_frame_flat_brick");
  brick_opening(g, s, 0, 2.0f, 1.0f);
  box(g, {0, 0, 2.0f}, {1.1f, s.dim.y * 1.2f, 0.12f}, DarkWood);
}
static void k_door_flat(GenModel& g, int, const GenShape& s) {
  one(g, "door_flat");
  box(g, {0, 0, 0}, {1.0f, s.dim.y * 0.5f, 2.0f}, Wood);
  for (int i = 0; i < 3; i++) box(g, {0, 0, 0.3f + 0.7f * i}, {0.95f, s.dim.y * 0.6f, 0.06f}, DarkWood);
  box(g, {0.35f, -s.dim.y * 0.3f, 1.0f}, {0.06f, 0.05f, 0.06f}, Gold);
}
// Roofs are drawn at the kind's height (dim.z), so their geometry starts at z = 0 and rises.
static void gable(GenModel& g, f32 w, f32 d, f32 rise, Color c, bool tiles) {
  shape_wedge(g, T(0, -d * 0.25f, 0) * S(w, d * 0.5f, rise), c);
  shape_wedge(g, T(0, d * 0.25f, 0) * S(w, d * 0.5f, rise) * Rz(pi), c);
  if (tiles) box(g, {0, 0, rise}, {w * 1.02f, 0.12f, 0.1f}, shade(c, 0.7f));
}
static void k_roof_front_brick(GenModel& g, int, const GenShape& s) {
  one(g, "roof_front_brick");
  f32 w = s.dim.x, d = s.dim.y, rise = w * 0.4f;
  // A gable end: two half-ramps of brick meeting at the ridge.
  shape_wedge(g, T(-w * 0.25f, 0, 0) * Rz(-pi / 2) * S(d, w * 0.5f, rise), Brick);
  shape_wedge(g, T(w * 0.25f, 0, 0) * Rz(pi / 2) * S(d, w * 0.5f, rise), Brick);
}
static void k_roof_4x4(GenModel& g, int, const GenShape& s) {
  one(g, "roof_4x4");
  cone(g, {0, 0, 0}, s.dim.x * 0.72f, 1.6f, Roof, 4);
}
static void k_roof_flat_tiles(GenModel& g, int v, const GenShape& s) {
  one(g, "roof_flat_tiles");
  f32 w = s.dim.x, d = s.dim.y;
  Color c = pick(v, {0x8a3a2a, 0x6a5a5a, 0x3a4a6a});
  gable(g, w, d, min(w, d) * 0.4f + 0.4f, c, true);
}
static void k_roof_flat_tiles_tower(GenModel& g, int, const GenShape& s) {
  one(g, "roof_flat_tiles_tower");
  cone(g, {0, 0, 0}, s.dim.x * 0.75f, 2.5f, Roof, 6);
}
static void k_roof_flat_tiles_dormer(GenModel& g, int, const GenShape& s) {
  one(g, "roof_flat_tiles_dormer");
  f32 w = s.dim.x;
  box(g, {0, 0, 0}, {w * 0.5f, w * 0.5f, 0.6f}, LightWood);
  box(g, {0, -w * 0.25f, 0.15f}, {w * 0.3f, 0.02f, 0.3f}, rgb(0x8ac8f0));
  gable(g, w * 0.6f, w * 0.6f, 0.4f, Roof, false);
}
static void k_roof_mid(GenModel& g, int, const GenShape& s) {
  one(g, "roof_flat_tiles_mid");
  f32 w = s.dim.x, d = s.dim.y;
  box(g, {0, 0, 0}, {w, d * 1.6f, 0.1f}, Roof);
  box(g, {0, 0, 0.1f}, {w, 0.12f, 0.08f}, shade(Roof, 0.7f));
}
static void k_floor_wood_dark(GenModel& g, int, const GenShape& s) {
  one(g, "floor_wood_dark");
  f32 w = s.dim.x;
  for (int i = 0; i < 4; i++)
    box(g, {0, -w * 0.375f + i * w * 0.25f, 0}, {w, w * 0.24f, 0.03f}, (i & 1) ? DarkWood : rgb(0x4a2e18));
}

// --- primitives

static void k_cube(GenModel& g, int, const GenShape& s) {
  one(g, "cube");
  box(g, {0, 0, 0}, {s.dim.x, s.dim.y, s.dim.x}, rgb(0x7a90c8));
}
static void k_fancy_cube(GenModel& g, int, const GenShape& s) {
  one(g, "fancy_cube");
  f32 w = s.dim.x;
  box(g, {0, 0, 0}, {w, w, w}, rgb(0xc87ab0));
  for (int i = 0; i < 4; i++)
    box(g, {((i & 1) ? 0.5f : -0.5f) * w, ((i & 2) ? 0.5f : -0.5f) * w, 0}, {0.08f, 0.08f, w * 1.02f}, Gold);
}
static void k_sphere(GenModel& g, int v, const GenShape& s) {
  one(g, "sphere");
  f32 r = s.radius;
  ball(g, {0, 0, r}, {r, r, r}, pick(v, {0xe0a030, 0x30a0e0}), v == 1 ? 4 : 3, v == 1 ? 8 : 6);
}
static void k_test(GenModel& g, int, const GenShape& s) {
  one(g, "test");
  f32 r = s.radius;
  box(g, {0, 0, 0}, {r, r, r}, rgb(0xff3030));
  ball(g, {0, 0, r * 1.5f}, {r * 0.5f, r * 0.5f, r * 0.5f}, rgb(0x30ff30), 3, 6);
}

void build_test_model(GenModel& g) {
  // Three coloured axes from the origin: x red, y green, z blue.
  one(g, "test");
  box(g, {0.5f, 0, 0}, {1, 0.1f, 0.1f}, rgb(0xff2020));
  box(g, {0, 0.5f, 0}, {0.1f, 1, 0.1f}, rgb(0x20ff20));
  box(g, {0, 0, 0}, {0.1f, 0.1f, 1}, rgb(0x2020ff));
}
void build_capsule(GenModel& g) {
  one(g, "capsule");
  ball(g, {0, 0, 0.25f}, {0.25f, 0.25f, 0.25f}, rgb(0xd0d0d0), 4, 8);
  cyl(g, {0, 0, 0.25f}, 0.25f, 1.0f, rgb(0xd0d0d0), 8);
  ball(g, {0, 0, 1.25f}, {0.25f, 0.25f, 0.25f}, rgb(0xd0d0d0), 4, 8);
}

static void k_creature(GenModel& g, int v, const GenShape& s, const char* name) { build_creature(g, name, v, s); }
#define CREATURE(n)                                                             \
  {                                                                             \
#n, [](GenModel & g, int v, const GenShape& s) { k_creature(g, v, s, #n); } \
  }

static const GenKind kinds[] = {
    CREATURE(skeleton),
    CREATURE(sharky),
    CREATURE(orc),
    CREATURE(blue_demon),
    CREATURE(snake),
    CREATURE(alien),
    CREATURE(birb),
    CREATURE(foxogattor),
    CREATURE(buba),
    CREATURE(frog),
    CREATURE(stag),
    {"bag", k_bag},
    {"carrot_crop", k_carrot_crop},
    {"wheat_crop", k_wheat_crop},
    {"wheat", k_wheat},
    {"flour", k_flour},
    {"nightstand_drawer", k_nightstand_drawer},
    {"meat", k_meat},
    {"roasted_meat", k_roasted_meat},
    {"ash", k_ash},
    {"berry", k_berry},
    {"carrot", k_carrot},
    {"mushroom", k_mushroom},
    {"radish", k_radish},
    {"crystal", k_crystal},
    {"infinite_quelbin", build_infinite_quelbin},
    {"corpse", k_corpse},
    {"tombstone", k_tombstone},
    {"bush", k_bush},
    {"berry_bush", k_berry_bush},
    {"grass", k_grass},
    {"flower_group", k_flower_group},
    {"pine_tree", k_pine_tree},
    {"apple_tree", k_apple_tree},
    {"palm_tree", k_palm_tree},
    {"weird_tree", k_weird_tree},
    {"tree_log", k_tree_log},
    {"healing_potion", k_healing_potion},
    {"mana_potion", k_mana_potion},
    {"branch", k_branch},
    {"wooden_plank", k_wooden_plank},
    {"wooden_board", k_wooden_board},
    {"wooden_chest", build_wooden_chest},
    {"wooden_table", k_wooden_table},
    {"thick_table", k_thick_table},
    {"wooden_chair", k_wooden_chair},
    {"wooden_bowl", k_wooden_bowl},
    {"simple_bowl", k_simple_bowl},
    {"clay_bottle", k_clay_bottle},
    {"fancy_bottle", k_fancy_bottle},
    {"simple_vaze", k_simple_vaze},
    {"bone", k_bone},
    {"bone_saw", k_bone_saw},
    {"bone_knife", k_bone_knife},
    {"axe", k_axe},
    {"stone_pickaxe", k_stone_pickaxe},
    {"wooden_sword", k_wooden_sword},
    {"iron_sword", k_iron_sword},
    {"shitty_sword", k_shitty_sword},
    {"spikey_club", k_spikey_club},
    {"iron_ore", k_iron_ore},
    {"iron_vein", k_iron_vein},
    {"iron_ingot", k_iron_ingot},
    {"stone", k_stone},
    {"rock", k_rock},
    {"narrow_rock", k_narrow_rock},
    {"rocky_stairs", k_rocky_stairs},
    {"rocky_stairs_portal", k_rocky_stairs_portal},
    {"wooden_lamp", k_wooden_lamp},
    {"barak", k_barak},
    {"tower", k_tower},
    {"barrel", k_barrel},
    {"quern", build_quern},
    {"tanning_tub", k_tanning_tub},
    {"crate", k_crate},
    {"torch", build_torch},
    {"metal_torch", k_metal_torch},
    {"candle", k_candle},
    {"candlestick_tripple", k_candlestick_tripple},
    {"blocky_fence", k_blocky_fence},
    {"dungeon_entrance", k_dungeon_entrance},
    {"dungeon_entrance_tower", k_dungeon_entrance_tower},
    {"dungeon_staircase", k_dungeon_staircase},
    {"dungeon_pillar", k_dungeon_pillar},
    {"dungeon_column", k_dungeon_column},
    {"dungeon_wall", k_dungeon_wall},
    {"dungeon_wall_niche", k_dungeon_wall_niche},
    {"dungeon_wall_window", k_dungeon_wall_window},
    {"dungeon_doorframe", k_dungeon_doorframe},
    {"dungeon_door", build_hinged_door},
    {"dungeon_floor", k_dungeon_floor},
    {"test_corner", k_test_corner},
    {"test_wall", k_test_wall},
    {"test_window", k_test_window},
    {"test_door", k_test_door},
    {"brick_door", build_brick_door},
    {"wall_uneven_brick_straight", k_wall_uneven_brick_straight},
    {"corner_exterior_brick", k_corner_brick},
    {"corner_exterior_wood", k_corner_wood},
    {"wall_uneven_brick_door", k_wall_uneven_brick_door},
    {"wall_uneven_brick_window_wide_round", k_wall_uneven_brick_window_wide_round},
    {"window_wide_round", k_window_wide_round},
    {"door_frame_flat_brick", k_door_frame_flat_brick},
    {"door_flat", k_door_flat},
    {"roof_front_brick2", k_roof_front_brick},
    {"roof_front_brick4", k_roof_front_brick},
    {"roof_front_brick6", k_roof_front_brick},
    {"roof_4x4", k_roof_4x4},
    {"roof_flat_tiles_2x4", k_roof_flat_tiles},
    {"roof_flat_tiles_6x8", k_roof_flat_tiles},
    {"roof_flat_tiles_8x12", k_roof_flat_tiles},
    {"roof_flat_tiles_tower", k_roof_flat_tiles_tower},
    {"roof_flat_tiles_dormer", k_roof_flat_tiles_dormer},
    {"roof_flat_tiles_6_mid_half", k_roof_mid},
    {"roof_flat_tiles_6_mid", k_roof_mid},
    {"roof_flat_tiles_4_mid_half", k_roof_mid},
    {"roof_flat_tiles_4_mid", k_roof_mid},
    {"floor_wood_dark", k_floor_wood_dark},
    {"bed", k_bed},
    {"fancy_barrel", k_fancy_barrel},
    {"metal_bucket", k_metal_bucket},
    {"bonfire", k_bonfire},
    {"cube", k_cube},
    {"fancy_cube", k_fancy_cube},
    {"sphere", k_sphere},
    {"waypoint", k_waypoint},
    {"drying_rack", k_drying_rack},
    {"raw_hide", k_raw_hide},
    {"leather", k_leather},
    {"leather_strip", k_leather_strip},
    {"sash", k_sash},
    {"cart", build_cart},
    {"wagon", build_wagon},
    {"fermion_gate", k_fermion_gate},
    {"fermion_stone", k_fermion_stone},
    {"training_dummy", k_training_dummy},
    {"wooden_toilet", k_wooden_toilet},
    {"blueprint", k_blueprint},
    {"blank", k_blank},
    {"test", k_test},
};

GenKindFn find_kind_builder(const char* type_name) {
  for (const GenKind& k : kinds)
    if (!strcmp(k.name, type_name)) return k.fn;
  return nullptr;
}

const GenKind* gen_kinds(int* count) {
  *count = len(kinds);
  return kinds;
}
