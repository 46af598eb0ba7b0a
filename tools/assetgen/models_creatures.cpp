// Skinned models: the player character, the creatures and the props that move.
// Every bone gets a channel in every clip: the client refuses to draw a bone without one.
#include "models_kinds.hpp"

static const v3 AxisX = {1, 0, 0}, AxisY = {0, 1, 0}, AxisZ = {0, 0, 1};

static v4 q(v3 axis, f32 degrees) { return quat_axis(axis, degrees * pi / 180.0f); }

// --- humanoids: root (pivot for falling), hips, spine, head, arms, right hand, legs

struct HumanoidStyle {
  f32 height = 1.5f;
  f32 girth = 1.0f;
  Color skin, shirt, pants, head;
  bool horns = false;
  bool big_head = false;
  bool bony = false;
  const char* attack_clip = "Attack";
};

struct Humanoid {
  int root, hips, spine, head, arm_l, arm_r, hand_r, leg_l, leg_r;
};

static Humanoid humanoid_skeleton(GenModel& g, f32 h) {
  Humanoid b;
  f32 k = h / 1.5f;
  b.root = gen_bone(g, "root", -1, {0, 0, 0.12f * k});
  b.hips = gen_bone(g, "hips", b.root, {0, 0, 0.72f * k});
  b.spine = gen_bone(g, "spine", b.hips, {0, 0, 0.95f * k});
  b.head = gen_bone(g, "head", b.spine, {0, 0, 1.22f * k});
  b.arm_l = gen_bone(g, "arm_l", b.spine, {0.27f * k, 0, 1.18f * k});
  b.arm_r = gen_bone(g, "arm_r", b.spine, {-0.27f * k, 0, 1.18f * k});
  b.hand_r = gen_bone(g, "hand_r", b.arm_r, {-0.29f * k, 0, 0.78f * k});
  b.leg_l = gen_bone(g, "leg_l", b.hips, {0.11f * k, 0, 0.72f * k});
  b.leg_r = gen_bone(g, "leg_r", b.hips, {-0.11f * k, 0, 0.72f * k});
  return b;
}

static void humanoid_body(GenModel& g, const Humanoid& b, const HumanoidStyle& st) {
  f32 k = st.height / 1.5f, w = st.girth;
  gen_mesh(g, "0_body", true);
  g.joint = b.hips;
  box(g, {0, 0, 0.66f * k}, {0.36f * w * k, 0.2f * w * k, 0.16f * k}, st.pants);
  g.joint = b.spine;
  if (st.bony) {
    box(g, {0, 0, 0.8f * k}, {0.07f * k, 0.07f * k, 0.42f * k}, st.shirt);
    for (int i = 0; i < 3; i++) box(g, {0, 0, (0.92f + 0.09f * i) * k}, {0.34f * k, 0.16f * k, 0.04f * k}, st.shirt);
  } else {
    box(g, {0, 0, 0.8f * k}, {0.44f * w * k, 0.24f * w * k, 0.42f * k}, st.shirt);
  }
  g.joint = b.head;
  f32 hs = st.big_head ? 1.5f : 1.0f;
  box(g, {0, 0, 1.2f * k}, {0.26f * hs * k, 0.26f * hs * k, 0.28f * hs * k}, st.head);
  // Eyes mark the front (-y).
  f32 ey = -0.131f * hs * k, ez = (1.2f + 0.17f * hs) * k;
  box(g, {0.06f * hs * k, ey, ez}, {0.05f * k, 0.02f * k, 0.05f * k}, st.big_head ? rgb(0x101010) : rgb(0xffffff));
  box(g, {-0.06f * hs * k, ey, ez}, {0.05f * k, 0.02f * k, 0.05f * k}, st.big_head ? rgb(0x101010) : rgb(0xffffff));
  if (st.horns) {
    cone(g, {0.1f * k, 0, 1.46f * k}, 0.04f * k, 0.2f * k, rgb(0xe8e0c8), 4, Ry(0.4f));
    cone(g, {-0.1f * k, 0, 1.46f * k}, 0.04f * k, 0.2f * k, rgb(0xe8e0c8), 4, Ry(-0.4f));
  }
  f32 limb = st.bony ? 0.06f : 0.12f * w;
  g.joint = b.arm_l;
  box(g, {0.29f * k, 0, 0.76f * k}, {limb * k, limb * k, 0.44f * k}, st.skin);
  g.joint = b.arm_r;
  box(g, {-0.29f * k, 0, 0.84f * k}, {limb * k, limb * k, 0.36f * k}, st.skin);
  g.joint = b.hand_r;
  box(g, {-0.29f * k, 0, 0.74f * k}, {0.12f * k, 0.12f * k, 0.1f * k}, st.skin);
  g.joint = b.leg_l;
  box(g, {0.11f * k, 0, 0}, {(limb + 0.02f) * k, (limb + 0.02f) * k, 0.66f * k}, st.pants);
  box(g, {0.11f * k, -0.04f * k, 0}, {0.14f * k, 0.22f * k, 0.08f * k}, shade(st.pants, 0.6f));
  g.joint = b.leg_r;
  box(g, {-0.11f * k, 0, 0}, {(limb + 0.02f) * k, (limb + 0.02f) * k, 0.66f * k}, st.pants);
  box(g, {-0.11f * k, -0.04f * k, 0}, {0.14f * k, 0.22f * k, 0.08f * k}, shade(st.pants, 0.6f));
  g.joint = -1;
}

// Swinging a limb forward (towards -y) is a negative turn about x.
static void humanoid_clips(GenModel& g, const Humanoid& b, const char* attack_clip) {
  int idle = gen_clip(g, "Idle", 4, 0.35f);
  f32 breathe[4] = {0, 2, 4, 2};
  for (int k = 0; k < 4; k++) {
    gen_key_rot(g, idle, b.spine, k, q(AxisX, breathe[k]));
    gen_key_rot(g, idle, b.head, k, q(AxisZ, breathe[k] * 2 - 4));
    gen_key_rot(g, idle, b.arm_l, k, q(AxisY, breathe[k]));
    gen_key_rot(g, idle, b.arm_r, k, q(AxisY, -breathe[k]));
  }
  int run = gen_clip(g, "Run", 4, 0.1f);
  f32 swing[4] = {35, 0, -35, 0};
  for (int k = 0; k < 4; k++) {
    gen_key_rot(g, run, b.leg_l, k, q(AxisX, -swing[k]));
    gen_key_rot(g, run, b.leg_r, k, q(AxisX, swing[k]));
    gen_key_rot(g, run, b.arm_l, k, q(AxisX, swing[k] * 0.8f));
    gen_key_rot(g, run, b.arm_r, k, q(AxisX, -swing[k] * 0.8f));
    gen_key_rot(g, run, b.spine, k, q(AxisX, -8));
    gen_key_move(g, run, b.hips, k, {0, 0, (k & 1) ? 0.04f : 0});
  }
  int attack = gen_clip(g, attack_clip, 5, 0.1f);
  f32 raise[5] = {0, 70, 140, 40, -30};
  f32 twist[5] = {0, -15, -25, 10, 20};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, attack, b.arm_r, k, q(AxisX, raise[k]));
    gen_key_rot(g, attack, b.spine, k, q(AxisZ, twist[k]));
    gen_key_rot(g, attack, b.hand_r, k, q(AxisX, raise[k] * 0.2f));
  }
  int death = gen_clip(g, "Death", 5, 0.15f);
  f32 fall[5] = {0, 20, 45, 70, 88};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, death, b.root, k, q(AxisX, fall[k]));  // falls forward, on its face
    gen_key_rot(g, death, b.arm_l, k, q(AxisY, fall[k] * 0.6f));
    gen_key_rot(g, death, b.arm_r, k, q(AxisY, -fall[k] * 0.6f));
    gen_key_rot(g, death, b.head, k, q(AxisX, fall[k] * 0.2f));
  }
}

// --- held items of the character, each hanging on the right hand

static void held_axe(GenModel& g) {
  box(g, {0, 0, 0}, {0.05f, 0.05f, 0.62f}, rgb(0x8a5a2b));
  box(g, {0, -0.09f, 0.5f}, {0.04f, 0.2f, 0.14f}, rgb(0xb8bcc4));
  box(g, {0, -0.2f, 0.47f}, {0.03f, 0.04f, 0.2f}, rgb(0xdde1e8));
}
// The flame point (0, -0.1, 0.7) is where the presentation lights its fire.
static void held_torch(GenModel& g) {
  box(g, {0, 0, 0}, {0.05f, 0.05f, 0.5f}, rgb(0x6b4424), Rx(0.2f));
  cyl(g, {0, -0.1f, 0.5f}, 0.06f, 0.12f, rgb(0x3a2a1a), 6, 1.3f);
  cone(g, {0, -0.1f, 0.62f}, 0.06f, 0.14f, rgb(0xffb030), 5);
}
static void held_sword(GenModel& g) {
  box(g, {0, 0, -0.05f}, {0.05f, 0.05f, 0.18f}, rgb(0x4a3020));
  box(g, {0, 0, 0.12f}, {0.2f, 0.06f, 0.04f}, rgb(0xc9a640));
  box(g, {0, 0, 0.16f}, {0.06f, 0.02f, 0.6f}, rgb(0xd8dde6));
  cone(g, {0, 0, 0.76f}, 0.035f, 0.08f, rgb(0xd8dde6), 4);
}
static void held_bone_saw(GenModel& g) {
  box(g, {0, 0, 0}, {0.05f, 0.05f, 0.2f}, rgb(0xe8e0c8));
  box(g, {0, -0.07f, 0.2f}, {0.02f, 0.16f, 0.4f}, rgb(0xb0b4bc));
  for (int i = 0; i < 5; i++) cone(g, {0, -0.15f, 0.24f + i * 0.07f}, 0.02f, 0.05f, rgb(0x9098a0), 3, Rx(1.57f));
}

void build_character(GenModel& g) {
  HumanoidStyle st;
  st.skin = rgb(0xe0b48c), st.shirt = rgb(0x3566a8), st.pants = rgb(0x5a4632), st.head = rgb(0xe0b48c);
  Humanoid b = humanoid_skeleton(g, st.height);
  humanoid_body(g, b, st);
  // Hair over the head so the back reads differently from the face; part of the body mesh, which must
  // stay mesh 0 with the held items after it.
  g.joint = b.head;
  box(g, {0, 0.03f, 1.42f}, {0.28f, 0.24f, 0.08f}, rgb(0x4a2c12));
  g.joint = -1;
  m4 grip = T(0, -0.06f, -0.06f);
  gen_hanging_mesh(g, "1_axe", b.hand_r, grip);
  held_axe(g);
  gen_hanging_mesh(g, "2_torch", b.hand_r, grip);
  held_torch(g);
  gen_hanging_mesh(g, "3_weapon", b.hand_r, grip);
  held_sword(g);
  gen_hanging_mesh(g, "4_bone_saw", b.hand_r, grip);
  held_bone_saw(g);
  humanoid_clips(g, b, "Attack");
}

// --- four-legged creatures: root (pivot), body, head, tail, four legs

struct QuadStyle {
  f32 length = 0.9f, width = 0.4f, height = 0.5f, leg = 0.35f;
  Color body, belly, head;
  f32 snout = 0.2f;
  bool antlers = false, long_tail = false, frog = false;
  const char* attack_clip = "Bite_Front";
};

static void build_quadruped(GenModel& g, const QuadStyle& st) {
  f32 L = st.length, W = st.width, H = st.height, leg = st.leg;
  int root = gen_bone(g, "root", -1, {0, 0, 0.05f});
  int body = gen_bone(g, "body", root, {0, 0, leg});
  int head = gen_bone(g, "head", body, {0, -L * 0.5f, leg + H * 0.7f});
  int tail = gen_bone(g, "tail", body, {0, L * 0.5f, leg + H * 0.6f});
  int legs[4];
  const char* leg_names[4] = {"leg_fl", "leg_fr", "leg_bl", "leg_br"};
  for (int i = 0; i < 4; i++) {
    f32 x = (i & 1) ? -W * 0.35f : W * 0.35f, y = (i < 2) ? -L * 0.35f : L * 0.35f;
    legs[i] = gen_bone(g, leg_names[i], body, {x, y, leg});
  }
  gen_mesh(g, "0_body", true);
  g.joint = body;
  box(g, {0, 0, leg}, {W, L, H}, st.body);
  box(g, {0, 0, leg - 0.01f}, {W * 0.8f, L * 0.8f, 0.05f}, st.belly);
  g.joint = head;
  v3 hp = g.bones[head].head;
  box(g, {0, hp.y - 0.1f, hp.z - 0.05f}, {W * 0.7f, 0.28f, 0.28f}, st.head);
  box(g, {0, hp.y - 0.24f - st.snout * 0.5f, hp.z - 0.05f}, {W * 0.45f, st.snout + 0.1f, 0.14f}, shade(st.head, 0.85f));
  box(g, {W * 0.2f, hp.y - 0.25f, hp.z + 0.12f}, {0.05f, 0.02f, 0.05f}, rgb(0x111111));
  box(g, {-W * 0.2f, hp.y - 0.25f, hp.z + 0.12f}, {0.05f, 0.02f, 0.05f}, rgb(0x111111));
  if (st.antlers) {
    Color bone = rgb(0xd8c8a0);
    for (int s = -1; s <= 1; s += 2) {
      box(g, {s * 0.1f, hp.y - 0.05f, hp.z + 0.2f}, {0.04f, 0.04f, 0.35f}, bone, Ry(s * 0.35f));
      box(g, {s * 0.2f, hp.y - 0.05f, hp.z + 0.42f}, {0.04f, 0.04f, 0.2f}, bone, Ry(s * 0.9f));
      box(g, {s * 0.14f, hp.y - 0.1f, hp.z + 0.32f}, {0.04f, 0.04f, 0.18f}, bone, Rx(0.6f));
    }
  }
  g.joint = tail;
  v3 tp = g.bones[tail].head;
  if (st.long_tail)
    cone(g, {0, tp.y, tp.z - 0.05f}, 0.12f, L * 0.9f, st.body, 4, Rx(-1.45f));
  else
    cone(g, {0, tp.y, tp.z}, 0.05f, 0.2f, st.body, 4, Rx(-0.8f));
  for (int i = 0; i < 4; i++) {
    g.joint = legs[i];
    v3 p = g.bones[legs[i]].head;
    bool back = i >= 2;
    f32 lw = (st.frog && back) ? 0.16f : 0.1f;
    f32 lh = (st.frog && !back) ? leg * 0.8f : leg;
    box(g, {p.x, p.y, leg - lh}, {lw, lw, lh + 0.02f}, shade(st.body, 0.8f));
  }
  g.joint = -1;

  int idle = gen_clip(g, "Idle", 4, 0.4f);
  for (int k = 0; k < 4; k++) {
    gen_key_rot(g, idle, head, k, q(AxisX, (k == 1) ? -8 : (k == 3 ? 5 : 0)));
    gen_key_rot(g, idle, tail, k, q(AxisZ, (k & 1) ? 15 : -15));
  }
  int run = gen_clip(g, "Run", 4, 0.1f);
  f32 swing[4] = {30, 0, -30, 0};
  for (int k = 0; k < 4; k++) {
    for (int i = 0; i < 4; i++) {
      bool pair = (i == 0 || i == 3);
      gen_key_rot(g, run, legs[i], k, q(AxisX, st.frog ? (k < 2 ? 40.0f : -20.0f) : (pair ? swing[k] : -swing[k])));
    }
    gen_key_rot(g, run, tail, k, q(AxisZ, swing[k] * 0.5f));
    gen_key_move(g, run, body, k, {0, 0, st.frog ? ((k == 1) ? 0.25f : (k == 2 ? 0.12f : 0)) : ((k & 1) ? 0.04f : 0)});
  }
  int attack = gen_clip(g, st.attack_clip, 5, 0.1f);
  f32 lunge[5] = {0, 15, -25, -35, -10};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, attack, head, k, q(AxisX, lunge[k]));
    gen_key_rot(g, attack, body, k, q(AxisX, lunge[k] * 0.3f));
  }
  int death = gen_clip(g, "Death", 5, 0.15f);
  f32 roll[5] = {0, 25, 50, 75, 90};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, death, root, k, q(AxisY, roll[k]));  // falls on its side
    for (int i = 0; i < 4; i++) gen_key_rot(g, death, legs[i], k, q(AxisX, roll[k] * 0.3f));
  }
}

// --- a snake: a chain of segments from the head (-y) to the tail

static void build_snake(GenModel& g, Color body, Color belly) {
  const int N = 6;
  int root = gen_bone(g, "root", -1, {0, 0, 0.02f});
  int seg[N];
  for (int i = 0; i < N; i++)
    seg[i] = gen_bone(g, tprintf("seg%d", i).cstr(), i ? seg[i - 1] : root, {0, -0.45f + i * 0.17f, 0.08f});
  gen_mesh(g, "0_body", true);
  for (int i = 0; i < N; i++) {
    g.joint = seg[i];
    f32 r = 0.09f - i * 0.01f;
    box(g, {0, -0.45f + i * 0.17f + 0.085f, 0.02f}, {r * 2, 0.18f, r * 1.6f}, (i & 1) ? body : shade(body, 0.8f));
  }
  g.joint = seg[0];
  box(g, {0, -0.5f, 0.02f}, {0.2f, 0.16f, 0.14f}, belly);
  box(g, {0.06f, -0.58f, 0.12f}, {0.04f, 0.02f, 0.04f}, rgb(0xffe040));
  box(g, {-0.06f, -0.58f, 0.12f}, {0.04f, 0.02f, 0.04f}, rgb(0xffe040));
  box(g, {0, -0.62f, 0.04f}, {0.02f, 0.1f, 0.01f}, rgb(0xd02020));
  g.joint = -1;
  int idle = gen_clip(g, "Idle", 4, 0.3f);
  int run = gen_clip(g, "Run", 4, 0.1f);
  int attack = gen_clip(g, "Attack", 5, 0.1f);
  int death = gen_clip(g, "Death", 5, 0.15f);
  for (int k = 0; k < 4; k++)
    for (int i = 0; i < N; i++) {
      gen_key_rot(g, idle, seg[i], k, q(AxisZ, ((k + i) & 1) ? 4 : -4));
      gen_key_rot(g, run, seg[i], k, q(AxisZ, ((k + i) & 1) ? 20 : -20));
    }
  f32 strike[5] = {0, -20, 30, 15, 0};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, attack, seg[0], k, q(AxisX, strike[k]));
    gen_key_rot(g, attack, seg[1], k, q(AxisX, -strike[k] * 0.5f));
    gen_key_rot(g, death, root, k, q(AxisY, k * 45.0f));
  }
}

// --- a bird: body, head, wings, legs

static void build_birb(GenModel& g, Color body, Color wing) {
  int root = gen_bone(g, "root", -1, {0, 0, 0.05f});
  int torso = gen_bone(g, "body", root, {0, 0, 0.35f});
  int head = gen_bone(g, "head", torso, {0, -0.18f, 0.62f});
  int wl = gen_bone(g, "wing_l", torso, {0.17f, 0, 0.55f});
  int wr = gen_bone(g, "wing_r", torso, {-0.17f, 0, 0.55f});
  int ll = gen_bone(g, "leg_l", torso, {0.08f, 0, 0.35f});
  int lr = gen_bone(g, "leg_r", torso, {-0.08f, 0, 0.35f});
  gen_mesh(g, "0_body", true);
  g.joint = torso;
  ball(g, {0, 0, 0.52f}, {0.2f, 0.26f, 0.2f}, body, 3, 6);
  cone(g, {0, 0.22f, 0.5f}, 0.08f, 0.22f, wing, 4, Rx(-1.2f));
  g.joint = head;
  ball(g, {0, -0.2f, 0.74f}, {0.13f, 0.13f, 0.13f}, body, 3, 6);
  cone(g, {0, -0.3f, 0.72f}, 0.05f, 0.14f, rgb(0xf0a020), 4, Rx(1.57f));
  box(g, {0.08f, -0.28f, 0.78f}, {0.03f, 0.02f, 0.04f}, rgb(0x101010));
  box(g, {-0.08f, -0.28f, 0.78f}, {0.03f, 0.02f, 0.04f}, rgb(0x101010));
  g.joint = wl;
  box(g, {0.3f, 0, 0.52f}, {0.26f, 0.24f, 0.03f}, wing);
  g.joint = wr;
  box(g, {-0.3f, 0, 0.52f}, {0.26f, 0.24f, 0.03f}, wing);
  g.joint = ll;
  box(g, {0.08f, 0, 0}, {0.03f, 0.03f, 0.35f}, rgb(0xf0a020));
  g.joint = lr;
  box(g, {-0.08f, 0, 0}, {0.03f, 0.03f, 0.35f}, rgb(0xf0a020));
  g.joint = -1;
  int idle = gen_clip(g, "Idle", 4, 0.3f);
  int run = gen_clip(g, "Run", 4, 0.08f);
  int attack = gen_clip(g, "Attack", 5, 0.08f);
  int death = gen_clip(g, "Death", 5, 0.15f);
  f32 flap[4] = {30, 0, -30, 0};
  for (int k = 0; k < 4; k++) {
    gen_key_rot(g, idle, head, k, q(AxisZ, (k & 1) ? 20 : -10));
    gen_key_rot(g, run, wl, k, q(AxisY, -flap[k]));
    gen_key_rot(g, run, wr, k, q(AxisY, flap[k]));
    gen_key_rot(g, run, ll, k, q(AxisX, flap[k]));
    gen_key_rot(g, run, lr, k, q(AxisX, -flap[k]));
  }
  f32 peck[5] = {0, -20, -50, -30, 0};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, attack, head, k, q(AxisX, peck[k]));
    gen_key_rot(g, attack, wl, k, q(AxisY, -peck[k]));
    gen_key_rot(g, attack, wr, k, q(AxisY, peck[k]));
    gen_key_rot(g, death, root, k, q(AxisY, k * 22.0f));
  }
}

// --- a round blob on little feet (buba) and a shark walking on its fins (sharky)

static void build_blob(GenModel& g, Color body, Color spots, bool shark) {
  int root = gen_bone(g, "root", -1, {0, 0, 0.02f});
  int torso = gen_bone(g, "body", root, {0, 0, 0.2f});
  int fl = gen_bone(g, "foot_l", torso, {0.15f, 0, 0.2f});
  int fr = gen_bone(g, "foot_r", torso, {-0.15f, 0, 0.2f});
  int tail = gen_bone(g, "tail", torso, {0, 0.35f, 0.45f});
  gen_mesh(g, "0_body", true);
  g.joint = torso;
  if (shark) {
    ball(g, {0, 0, 0.5f}, {0.25f, 0.45f, 0.28f}, body, 3, 6);
    box(g, {0, -0.1f, 0.3f}, {0.36f, 0.5f, 0.12f}, rgb(0xe8e8e8));
    cone(g, {0, 0, 0.7f}, 0.12f, 0.3f, shade(body, 0.8f), 3);
    box(g, {0, -0.42f, 0.42f}, {0.3f, 0.05f, 0.03f}, rgb(0xffffff));
    box(g, {0.12f, -0.34f, 0.6f}, {0.04f, 0.02f, 0.04f}, rgb(0x101010));
    box(g, {-0.12f, -0.34f, 0.6f}, {0.04f, 0.02f, 0.04f}, rgb(0x101010));
  } else {
    ball(g, {0, 0, 0.48f}, {0.36f, 0.34f, 0.32f}, body, 3, 7);
    for (int i = 0; i < 4; i++)
      ball(g, {0.2f * cosf(i * 1.7f), 0.25f * sinf(i * 1.7f), 0.62f + 0.03f * i}, {0.07f, 0.07f, 0.05f}, spots, 2, 4);
    box(g, {0.1f, -0.33f, 0.58f}, {0.08f, 0.02f, 0.1f}, rgb(0xffffff));
    box(g, {-0.1f, -0.33f, 0.58f}, {0.08f, 0.02f, 0.1f}, rgb(0xffffff));
    box(g, {0.1f, -0.345f, 0.6f}, {0.04f, 0.02f, 0.05f}, rgb(0x101010));
    box(g, {-0.1f, -0.345f, 0.6f}, {0.04f, 0.02f, 0.05f}, rgb(0x101010));
  }
  g.joint = fl;
  box(g, {0.15f, -0.05f, 0}, {0.14f, 0.22f, 0.22f}, shade(body, 0.7f));
  g.joint = fr;
  box(g, {-0.15f, -0.05f, 0}, {0.14f, 0.22f, 0.22f}, shade(body, 0.7f));
  g.joint = tail;
  if (shark)
    box(g, {0, 0.5f, 0.35f}, {0.04f, 0.22f, 0.4f}, shade(body, 0.8f), Rx(0.4f));
  else
    ball(g, {0, 0.38f, 0.45f}, {0.08f, 0.08f, 0.08f}, spots, 2, 4);
  g.joint = -1;
  int idle = gen_clip(g, "Idle", 4, 0.3f);
  int run = gen_clip(g, "Run", 4, 0.1f);
  int attack = gen_clip(g, shark ? "Bite_Front" : "Attack", 5, 0.1f);
  int death = gen_clip(g, "Death", 5, 0.15f);
  for (int k = 0; k < 4; k++) {
    gen_key_rot(g, idle, tail, k, q(AxisZ, (k & 1) ? 20 : -20));
    gen_key_move(g, idle, torso, k, {0, 0, (k & 1) ? 0.02f : 0});
    gen_key_rot(g, run, fl, k, q(AxisX, (k & 2) ? 30 : -30));
    gen_key_rot(g, run, fr, k, q(AxisX, (k & 2) ? -30 : 30));
    gen_key_rot(g, run, tail, k, q(AxisZ, (k & 1) ? 30 : -30));
    gen_key_move(g, run, torso, k, {0, 0, (k & 1) ? 0.06f : 0});
  }
  f32 lunge[5] = {0, 10, -25, -15, 0};
  for (int k = 0; k < 5; k++) {
    gen_key_rot(g, attack, torso, k, q(AxisX, lunge[k]));
    gen_key_rot(g, death, root, k, q(AxisX, k * 22.0f));
  }
}

void build_creature(GenModel& g, const char* name, int variant, const GenShape& shape) {
  (void)variant;
  (void)shape;
  HumanoidStyle h;
  QuadStyle qs;
  if (!strcmp(name, "skeleton")) {
    h.skin = h.shirt = h.pants = h.head = rgb(0xe6e0cc);
    h.bony = true;
    h.attack_clip = "Sword";
  } else if (!strcmp(name, "orc")) {
    h.skin = h.head = rgb(0x5d8a3a), h.shirt = rgb(0x6b4b2a), h.pants = rgb(0x3a3026);
    h.height = 1.7f, h.girth = 1.35f;
  } else if (!strcmp(name, "blue_demon")) {
    h.skin = h.head = rgb(0x2f56c8), h.shirt = rgb(0x1b2e78), h.pants = rgb(0x141a40);
    h.horns = true, h.height = 1.8f;
  } else if (!strcmp(name, "alien")) {
    h.skin = h.head = rgb(0x9ad08a), h.shirt = rgb(0x9aa0aa), h.pants = rgb(0x6a7078);
    h.big_head = true, h.height = 1.2f, h.girth = 0.8f;
  } else if (!strcmp(name, "sharky")) {
    return build_blob(g, rgb(0x6f8aa0), rgb(0xffffff), true);
  } else if (!strcmp(name, "buba")) {
    return build_blob(g, rgb(0xb04ac8), rgb(0xf0d040), false);
  } else if (!strcmp(name, "snake")) {
    return build_snake(g, rgb(0x4c9a2a), rgb(0xc8d060));
  } else if (!strcmp(name, "birb")) {
    return build_birb(g, rgb(0xe84a3a), rgb(0x2a3a8a));
  } else if (!strcmp(name, "foxogattor")) {
    qs.body = rgb(0xd8742a), qs.belly = rgb(0xf4e8d8), qs.head = rgb(0xd8742a);
    qs.length = 1.3f, qs.width = 0.45f, qs.height = 0.32f, qs.leg = 0.22f, qs.snout = 0.45f, qs.long_tail = true;
    return build_quadruped(g, qs);
  } else if (!strcmp(name, "frog")) {
    qs.body = rgb(0x3fae3a), qs.belly = rgb(0xe8e070), qs.head = rgb(0x47c042);
    qs.length = 0.55f, qs.width = 0.5f, qs.height = 0.25f, qs.leg = 0.15f, qs.snout = 0.0f, qs.frog = true;
    qs.attack_clip = "Attack";
    return build_quadruped(g, qs);
  } else if (!strcmp(name, "stag")) {
    qs.body = rgb(0x8a5a32), qs.belly = rgb(0xe0d0b0), qs.head = rgb(0x7a4e2a);
    qs.length = 1.2f, qs.width = 0.42f, qs.height = 0.45f, qs.leg = 0.7f, qs.snout = 0.15f, qs.antlers = true;
    return build_quadruped(g, qs);
  } else {
    panic("no creature named '%s'\n", name);
  }
  Humanoid b = humanoid_skeleton(g, h.height);
  humanoid_body(g, b, h);
  if (!strcmp(name, "orc")) {
    gen_hanging_mesh(g, "1_club", b.hand_r, T(0, -0.06f, -0.06f));
    cyl(g, {0, 0, 0}, 0.04f, 0.4f, rgb(0x6b4424), 5, 2.2f);
  } else if (!strcmp(name, "skeleton")) {
    gen_hanging_mesh(g, "1_sword", b.hand_r, T(0, -0.06f, -0.06f));
    held_sword(g);
  }
  humanoid_clips(g, b, h.attack_clip);
}

// --- props that move

void build_wooden_chest(GenModel& g, int, const GenShape& s) {
  f32 w = s.dim.x, d = s.dim.y, h = s.height > 0 ? s.height : 0.5f;
  int root = gen_bone(g, "root", -1, {0, 0, 0});
  int lid = gen_bone(g, "lid", root, {0, d * 0.5f, h * 0.7f});  // hinge along the back edge
  Color wood = rgb(0x9a6232), band = rgb(0x4a4a52);
  gen_mesh(g, "0_chest", true);
  g.joint = root;
  box(g, {0, 0, 0}, {w, d, h * 0.7f}, wood);
  box(g, {0, -d * 0.5f, h * 0.35f}, {0.1f * w, 0.04f, 0.2f * h}, rgb(0xd0b040));
  g.joint = lid;
  box(g, {0, 0, h * 0.7f}, {w * 1.02f, d * 1.02f, h * 0.3f}, shade(wood, 1.15f));
  box(g, {w * 0.35f, 0, h * 0.7f}, {0.06f * w, d * 1.04f, h * 0.32f}, band);
  box(g, {-w * 0.35f, 0, h * 0.7f}, {0.06f * w, d * 1.04f, h * 0.32f}, band);
  g.joint = -1;
  int open = gen_clip(g, "Open", 5, 0.075f);
  for (int k = 0; k < 5; k++) gen_key_rot(g, open, lid, k, q(AxisX, -27.0f * k));
}

void build_quern(GenModel& g, int, const GenShape& s) {
  f32 r = s.radius * 0.8f;
  int root = gen_bone(g, "root", -1, {0, 0, 0});
  int stone = gen_bone(g, "runner", root, {0, 0, 0.3f});
  gen_mesh(g, "0_quern", true);
  g.joint = root;
  cyl(g, {0, 0, 0}, r, 0.3f, rgb(0x8a8a88), 8);
  g.joint = stone;
  cyl(g, {0, 0, 0.3f}, r * 0.95f, 0.2f, rgb(0xa8a8a4), 8);
  box(g, {r * 0.7f, 0, 0.5f}, {0.06f, 0.06f, 0.25f}, rgb(0x7a5030));
  g.joint = -1;
  int work = gen_clip(g, "Work", 8, 0.125f);
  for (int k = 0; k < 8; k++) gen_key_rot(g, work, stone, k, q(AxisZ, 45.0f * k));
}

// A door leaf turning about a hinge at its left end.
static void hinged_door(GenModel& g, const GenShape& s, Color leaf, Color frame, bool studs) {
  f32 w = s.dim.x, d = s.dim.y, h = s.height > 0 ? s.height : 2.5f;
  int root = gen_bone(g, "root", -1, {0, 0, 0});
  int hinge = gen_bone(g, "door", root, {-w * 0.5f + 0.08f, 0, 0});
  gen_mesh(g, "0_door", true);
  g.joint = root;
  box(g, {-w * 0.5f + 0.04f, 0, 0}, {0.08f, d, h}, frame);
  box(g, {w * 0.5f - 0.04f, 0, 0}, {0.08f, d, h}, frame);
  box(g, {0, 0, h - 0.1f}, {w, d, 0.1f}, frame);
  g.joint = hinge;
  f32 lw = w - 0.16f;
  box(g, {0, 0, 0}, {lw, d * 0.5f, h - 0.1f}, leaf);
  if (studs)
    for (int i = 0; i < 3; i++) box(g, {0, 0, 0.4f + i * (h - 0.8f) / 2}, {lw * 0.95f, d * 0.6f, 0.08f}, rgb(0x303036));
  box(g, {lw * 0.35f, -d * 0.3f, h * 0.45f}, {0.06f, 0.06f, 0.06f}, rgb(0xd0b040));
  g.joint = -1;
  // The leaf spans the doorway, so its left edge lies on the hinge it turns about.
  int open = gen_clip(g, "Open", 5, 0.25f);
  for (int k = 0; k < 5; k++) gen_key_rot(g, open, hinge, k, q(AxisZ, 22.0f * k));
}

void build_hinged_door(GenModel& g, int, const GenShape& s) { hinged_door(g, s, rgb(0x5a3a22), rgb(0x5c5c64), true); }
void build_brick_door(GenModel& g, int, const GenShape& s) { hinged_door(g, s, rgb(0x8a5a30), rgb(0xa04a32), false); }

void build_torch(GenModel& g, int, const GenShape&) {
  int root = gen_bone(g, "root", -1, {0, 0, 0});
  int flame = gen_bone(g, "flame", root, {0, 0, 0.36f});
  gen_mesh(g, "0_torch", true);
  g.joint = root;
  box(g, {0, 0, 0}, {0.05f, 0.05f, 0.3f}, rgb(0x6b4424));
  cyl(g, {0, 0, 0.28f}, 0.05f, 0.08f, rgb(0x3a2a1a), 6, 1.3f);
  g.joint = flame;
  cone(g, {0, 0, 0.36f}, 0.06f, 0.16f, rgb(0xffa020), 5);
  cone(g, {0, 0, 0.36f}, 0.035f, 0.22f, rgb(0xffe070), 4);
  g.joint = -1;
  int idle = gen_clip(g, "Idle", 4, 0.12f);
  f32 lean[4] = {0, 8, 0, -8};
  for (int k = 0; k < 4; k++)
    gen_key_rot(g, idle, flame, k, quat_euler(lean[k] * pi / 180, lean[(k + 1) % 4] * pi / 180, 0));
}

void build_infinite_quelbin(GenModel& g, int, const GenShape&) {
  int root = gen_bone(g, "root", -1, {0, 0, 0});
  int gem = gen_bone(g, "gem", root, {0, 0, 0.25f});
  gen_mesh(g, "0_quelbin", true);
  g.joint = root;
  cyl(g, {0, 0, 0}, 0.16f, 0.06f, rgb(0x404048), 6);
  g.joint = gem;
  cone(g, {0, 0, 0.25f}, 0.12f, 0.18f, rgb(0xe040e0), 4);
  cone(g, {0, 0, 0.25f}, 0.12f, 0.14f, rgb(0xa020c0), 4, Rx(pi));
  g.joint = -1;
  int idle = gen_clip(g, "Idle", 4, 0.15f);
  for (int k = 0; k < 4; k++) {
    gen_key_rot(g, idle, gem, k, q(AxisZ, 22.5f * k));
    gen_key_move(g, idle, gem, k, {0, 0, (k == 1 || k == 2) ? 0.03f : 0});
  }
}

static void wheeled(GenModel& g, const GenShape& s, int nwheels, Color wood, Color cloth) {
  f32 r = s.radius;
  f32 L = r * 1.5f, W = r * 0.9f, wr = r * 0.3f;
  int root = gen_bone(g, "root", -1, {0, 0, 0});
  int wheels[4];
  for (int i = 0; i < nwheels; i++) {
    f32 y = nwheels == 2 ? 0.1f : (i < 2 ? -L * 0.3f : L * 0.3f);
    wheels[i] = gen_bone(g, tprintf("wheel%d", i).cstr(), root, {(i & 1) ? -W * 0.55f : W * 0.55f, y, wr});
  }
  gen_mesh(g, "0_cart", true);
  g.joint = root;
  box(g, {0, 0, wr * 0.9f}, {W, L, 0.08f}, wood);
  box(g, {W * 0.47f, 0, wr * 0.9f}, {0.06f, L, 0.25f}, shade(wood, 0.8f));
  box(g, {-W * 0.47f, 0, wr * 0.9f}, {0.06f, L, 0.25f}, shade(wood, 0.8f));
  box(g, {0, L * 0.47f, wr * 0.9f}, {W, 0.06f, 0.25f}, shade(wood, 0.8f));
  box(g, {0.15f, -L * 0.5f - 0.3f, wr * 0.8f}, {0.05f, 0.7f, 0.05f}, wood);  // shafts to the front
  box(g, {-0.15f, -L * 0.5f - 0.3f, wr * 0.8f}, {0.05f, 0.7f, 0.05f}, wood);
  if (nwheels == 4) {
    // A cloth cover on hoops tells the wagon from the cart.
    for (int i = 0; i < 3; i++)
      cyl(g, {0, -L * 0.35f + i * L * 0.35f, wr + 0.3f}, W * 0.5f, 0.12f, cloth, 8, 1.0f, Rx(pi / 2));
    box(g, {0, 0, wr + 0.3f}, {W * 0.98f, L * 0.8f, 0.42f}, cloth);
  }
  for (int i = 0; i < nwheels; i++) {
    g.joint = wheels[i];
    v3 c = g.bones[wheels[i]].head;
    f32 x = c.x + ((i & 1) ? -0.04f : 0.04f);
    m4 axle = Ry(pi / 2);
    cyl(g, {x - 0.04f, c.y, c.z}, wr, 0.08f, rgb(0x4a3020), 8, 1.0f, axle);
    box(g, {x, c.y, c.z - wr * 0.95f}, {0.1f, 0.06f, wr * 1.9f}, rgb(0xc0a060));  // a spoke shows the turning
  }
  g.joint = -1;
  int run = gen_clip(g, "Run", 4, 0.08f);
  for (int k = 0; k < 4; k++)
    for (int i = 0; i < nwheels; i++) gen_key_rot(g, run, wheels[i], k, q(AxisX, -45.0f * k));
}

void build_cart(GenModel& g, int, const GenShape& s) { wheeled(g, s, 2, rgb(0xa06a38), rgb(0xffffff)); }
void build_wagon(GenModel& g, int, const GenShape& s) { wheeled(g, s, 4, rgb(0x7a4a28), rgb(0xe8dcc0)); }
