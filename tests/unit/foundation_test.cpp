#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "math.hpp"
#include "test_files.hpp"
#include "types.hpp"
#include "expect_near.hpp"

static void expect_v4_near(v4 a, v4 b, f32 eps = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
  EXPECT_NEAR(a.w, b.w, eps);
}

TEST(Scalars, ClampSignAndRadians) {
  EXPECT_EQ(clamp(5.0f, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(clamp(-1.0f, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(clamp1(-3.0f), -3.0f);
  EXPECT_EQ(signof(0.0f), 1.0f);
  EXPECT_EQ(signof(-0.5f), -1.0f);
  EXPECT_FLOAT_EQ(normalize_radians(pi), pi);
  EXPECT_FLOAT_EQ(normalize_radians(-pi), pi);
  EXPECT_NEAR(normalize_radians(3 * pi / 2), -pi / 2, 1e-5f);
  EXPECT_NEAR(normalize_radians(7 * tau + 0.5f), 0.5f, 1e-4f);
  EXPECT_FLOAT_EQ(linlin(5, 0, 10, 100, 200), 150);
  EXPECT_FLOAT_EQ(to_degrees(pi), 180);
}

TEST(Random, IndicesNeverReachTheCount) {
  // rand() returning its maximum used to give the count itself; drive the generator through many values.
  srand(1);
  const int table[3] = {10, 20, 30};
  for (int i = 0; i < 200000; i++) {
    int idx = rand_index(3);
    ASSERT_GE(idx, 0);
    ASSERT_LT(idx, 3);
    int v = choose(table);
    ASSERT_TRUE(v == 10 || v == 20 || v == 30);
  }
  EXPECT_EQ(rand_index(1), 0);
  // The top of the 15-bit range maps to the count itself, which rand_index must not return.
  bool saw_top = false;
  for (int i = 0; i < 2000000 && !saw_top; i++) saw_top = linrandi(0, 3) == 3;
  EXPECT_TRUE(saw_top);
  for (int i = 0; i < 1000; i++) {
    f32 r = rrand(2, 3);
    ASSERT_GE(r, 2);
    ASSERT_LE(r, 3);
  }
  v2 p = v2_rand(5);
  EXPECT_NEAR(v2_len(p), 5, 1e-4f);
}

TEST(Random, LatticeHashIsStableAndAvalanches) {
  // Worlds and assets are regenerated from their seeds: a point's value must never change.
  EXPECT_EQ(hash2(1, 2, 3), 3740366062u);
  EXPECT_EQ(hash2(-5, 7, 11), 846765720u);
  // A step in x, y or the seed flips about half the bits, so neighbouring points are unrelated.
  f64 flips = 0;
  for (int y = -32; y < 32; y++) {
    for (int x = -32; x < 32; x++) {
      u32 h = hash2(x, y, 7);
      flips += __builtin_popcount(h ^ hash2(x + 1, y, 7)) + __builtin_popcount(h ^ hash2(x, y + 1, 7)) +
               __builtin_popcount(h ^ hash2(x, y, 8));
    }
  }
  EXPECT_NEAR(flips / (3 * 64 * 64), 16, 0.5);
}

TEST(Vectors, NormalizeLimitAndRotate) {
  v2 zero = {0, 0};
  v2_normalize(&zero);
  EXPECT_TRUE(v2_is_zero(zero));
  v2 v = {3, 4};
  EXPECT_FLOAT_EQ(v2_len(v2_normalized(v)), 1);
  v2_limit(&v, 2.5f);
  EXPECT_FLOAT_EQ(v2_len(v), 2.5f);
  v2 w = {1, 1};
  v2_limit(&w, 10);
  EXPECT_TRUE(v2_equal(w, {1, 1}));
  v2 r = v2_rotate({1, 0}, pi / 2);
  EXPECT_TRUE(near(r, {0, 1}, 1e-6f));
  EXPECT_TRUE(v2_distance_le({0, 0}, {3, 4}, 5));
  EXPECT_FALSE(v2_distance_lt({0, 0}, {3, 4}, 5));
  EXPECT_TRUE(v2_equal(v2_round_to({33, -17}, 32), {32, -32}));
  v3 c = v3_cross({1, 0, 0}, {0, 1, 0});
  EXPECT_EQ(c.z, 1);
  v3 z3 = {0, 0, 0};
  v3_normalize(&z3);
  EXPECT_TRUE(v3_is_zero(z3));
}

TEST(Matrices, ProductsAndLayouts) {
  m4 t = m4_translate(1, 2, 3);
  EXPECT_EQ(t.elements[3], 1);
  EXPECT_EQ(t.elements[7], 2);
  EXPECT_EQ(t.elements[11], 3);
  // Column-major names: e12..e14 hold the translation for GL.
  EXPECT_EQ(t.e12, 1);
  EXPECT_EQ(t.e13, 2);
  EXPECT_EQ(t.e14, 3);
  v4 p = t * m4_scale(2, 2, 2) * v4{1, 1, 1, 1};
  expect_v4_near(p, {3, 4, 5, 1});
  m4 rz = m4_rotate_z(pi / 2);
  expect_v4_near(rz * v4{1, 0, 0, 1}, {0, 1, 0, 1});
  m4 m = m4_translate(4, -2, 7) * m4_rotate_x(0.3f) * m4_scale(2, 3, 4);
  m4 id = m * m4_inverse(m);
  for (int i = 0; i < 16; i++) EXPECT_NEAR(id.elements[i], i % 5 == 0 ? 1 : 0, 1e-5f);
  m4 o = m4_ortho(0, 800, 600, 0, -1, 1);
  expect_v4_near(o * v4{0, 0, 0, 1}, {-1, 1, 0, 1});
  expect_v4_near(o * v4{800, 600, 0, 1}, {1, -1, 0, 1});
  // The observer placed by look_at looks down its -z axis at the target.
  m4 cam = m4_look_at({0, -10, 10}, {0, 0, 0}, {0, 0, 1});
  v4 in_view = m4_inverse(cam) * v4{0, 0, 0, 1};
  EXPECT_TRUE(near(v2{in_view.x, in_view.y}, {0, 0}, 1e-5f));
  EXPECT_NEAR(in_view.z, -sqrtf(200), 1e-4f);
}

TEST(Quaternions, RoundTripSlerpAndNlerp) {
  expect_v4_near(quaternion_from_m4(m4_identity()), {0, 0, 0, 1});
  v4 qs[] = {{0, 0, sinf(0.4f), cosf(0.4f)}, {sinf(1.4f), 0, 0, cosf(1.4f)}, {0, sinf(1.5f), 0, cosf(1.5f)}};
  for (v4 q : qs) {
    v4 r = quaternion_from_m4(quaternion_to_m4(q));
    if (v4_dot(q, r) < 0) r = -r;
    expect_v4_near(r, q);
  }
  v4 q1 = {0, 0, sinf(0.2f), cosf(0.2f)};
  expect_v4_near(slerp(q1, -q1, 0.3f), q1);
  // Dot product 0.96: slerp takes the normalised linear path.
  f32 angle = acosf(0.96f);
  v4 a = {0, 0, 0, 1};
  v4 b = {0, 0, sinf(angle), cosf(angle)};
  ASSERT_NEAR(v4_dot(a, b), 0.96f, 1e-6f);
  expect_v4_near(slerp(a, b, 0.25f), quaternion_nlerp(a, b, 0.25f));
  // Below the threshold: a true spherical interpolation at half angle.
  v4 c = {0, 0, 1, 0};
  v4 half = slerp(a, c, 0.5f);
  expect_v4_near(half, {0, 0, sinf(pi / 4), cosf(pi / 4)});
  expect_v4_near(quaternion_nlerp({0, 0, 0, 0}, {0, 0, 0, 0}, 0.5f), {0, 0, 0, 0});
}

TEST(Geometry, RectsBoxesAndSegments) {
  Rect r = {10, 20, 30, 40};
  EXPECT_TRUE(point_intersects_rect({10, 20}, r));
  EXPECT_TRUE(point_intersects_rect({40, 60}, r));
  EXPECT_TRUE(point_intersects_rect({40, 20}, r));
  EXPECT_TRUE(point_intersects_rect({10, 60}, r));
  EXPECT_FALSE(point_intersects_rect({40.01f, 30}, r));
  Rect c = rect_from_corners({5, 1}, {1, 5}), sel = rect_from_selection({5, 9}, {2, 3});
  EXPECT_TRUE(c.x == 1 && c.y == 1 && c.w == 4 && c.h == 4);
  EXPECT_TRUE(sel.x == 2 && sel.y == 3 && sel.w == 3 && sel.h == 6);

  f32 s = -1, t = -1;
  v3 c1, c2;
  f32 d = closest_point_segment_segment({1, 1, 1}, {1, 1, 1}, {4, 5, 1}, {4, 5, 1}, s, t, c1, c2);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(t, 0);
  EXPECT_FLOAT_EQ(d, 25);
  d = closest_point_segment_segment({0, 0, 0}, {10, 0, 0}, {5, -5, 3}, {5, 5, 3}, s, t, c1, c2);
  EXPECT_FLOAT_EQ(d, 9);
  EXPECT_FLOAT_EQ(s, 0.5f);
  EXPECT_FLOAT_EQ(t, 0.5f);
  EXPECT_TRUE(segment_intersects_capsule({0, 0, 0}, {10, 0, 0}, {5, -5, 3}, {5, 5, 3}, 3));
  EXPECT_FALSE(segment_intersects_capsule({0, 0, 0}, {10, 0, 0}, {5, -5, 3}, {5, 5, 3}, 2.9f));

  Bbox box = bbox_at(v3{0, 0, 0}, 1.0f);
  EXPECT_TRUE(segment_intersects_bbox({-5, 0, 0}, {5, 0, 0}, box));
  EXPECT_FALSE(segment_intersects_bbox({-5, 2, 0}, {5, 2, 0}, box));   // parallel, outside the slab
  EXPECT_FALSE(segment_intersects_bbox({-5, 0, 0}, {-2, 0, 0}, box));  // stops short
  EXPECT_TRUE(segment_intersects_bbox({-5, -5, 0}, {5, 5, 0}, box));
  v3 cp = closest_point_bbox({3, -4, 0.5f}, box);
  EXPECT_TRUE(cp.x == 1 && cp.y == -1 && cp.z == 0.5f);
}

TEST(Colors, HsvAndGamma) {
  struct {
    f32 h;
    Color want;
  } cases[] = {
      {0, {{1, 0, 0, 1}}},
      {1 / 3.0f, {{0, 1, 0, 1}}},
      {2 / 3.0f, {{0, 0, 1, 1}}},
      {0.5f, {{0, 1, 1, 1}}},
  };
  for (auto& tc : cases) {
    Color c = from_hsv(tc.h, 1, 1, 1);
    for (int i = 0; i < 4; i++) EXPECT_NEAR(c.elements[i], tc.want.elements[i], 1e-5f) << tc.h;
  }
  Color g = gamma_correct({{0.5f, 1, 0, 0.3f}});
  EXPECT_NEAR(g.r, powf(0.5f, 1 / 2.2f), 1e-5f);
  EXPECT_EQ(g.a, 0.3f);
}

static std::vector<int> code_points(const char* bytes, int n) {
  std::vector<int> out;
  for (StrIter it = str_iter(Str(bytes, n)); it.code_point; next(it)) out.push_back(it.code_point);
  return out;
}

TEST(Utf8, DecodingStrayAndTruncatedBytes) {
  EXPECT_EQ(code_points("\xC3\xA9", 2), std::vector<int>({233}));
  EXPECT_EQ(code_points("\x80", 1), std::vector<int>({63}));
  EXPECT_EQ(code_points("a\xE2\x82\xAC\x62", 5), std::vector<int>({'a', 0x20AC, 'b'}));
  EXPECT_EQ(code_points("\xF0\x9F\x98\x80", 4), std::vector<int>({0x1F600}));
  EXPECT_EQ(code_points("\xFF\x78", 2), std::vector<int>({63, 'x'}));
  EXPECT_TRUE(code_points("", 0).empty());
  // A sequence cut by the end of the view must not read the bytes beyond it.
  char guarded[8] = {'a', (char)0xE2, (char)0x82, (char)0xAC, 'z', 0};
  EXPECT_EQ(code_points(guarded, 3), std::vector<int>({'a', 63, 63}));
  EXPECT_EQ(code_points("\xC3", 1), std::vector<int>({63}));
  EXPECT_EQ(code_points("\xF0\x9F\x98", 3), std::vector<int>({63, 63, 63}));
}

TEST(TextValues, LiteralsBuffersAndLimits) {
  Text t;
  text_set(t, Str("abc"));
  EXPECT_STREQ(t.cstr(), "abc");
  EXPECT_EQ(t.length, 3);
  std::string big(300, 'x');
  Text p = tprintf("%s", big.c_str());
  EXPECT_EQ(p.length, 127);
  EXPECT_EQ(strlen(p.cstr()), 127u);
  text_set(t, Str(big.c_str()));
  EXPECT_EQ(t.length, 127);
  EXPECT_TRUE(text_equal(Text("abc"), tprintf("a%sc", "b")));
  text_clear(t);
  EXPECT_EQ(t.length, 0);
  EXPECT_STREQ(t.cstr(), "");
  // h * 32 + c, not the usual h * 33 + c.
  Text ab("ab");
  EXPECT_EQ(text_hash(ab), ((5381ull << 5) + 'a') * 32 + 'b');
  EXPECT_TRUE(str_eq(Str("abc"), Str("abcdef", 3)));
  EXPECT_FALSE(str_eq(Str("abc"), Str("abd")));
}

TEST(CStrings, CopyCompareEndsWith) {
  char dst[4];
  memset(dst, 'q', sizeof(dst));
  cstr_copy(dst, "abcdef", 4);
  EXPECT_STREQ(dst, "abc");
  char one[1] = {'q'};
  cstr_copy(one, "abc", 1);
  EXPECT_EQ(one[0], 0);
  EXPECT_TRUE(cstr_ends_with("model.glb", ".glb"));
  EXPECT_TRUE(cstr_ends_with("x", ""));
  EXPECT_FALSE(cstr_ends_with("b", "ab"));
}

TEST(TimeValues, FormattingAndArithmetic) {
  EXPECT_STREQ(time_str({3723004000000ull}), "01:02:03:004");
  // Eight results stay valid at once.
  const char* first = time_str({1000000000ull});
  for (int i = 0; i < 7; i++) time_str({0});
  EXPECT_STREQ(first, "00:00:01:000");
  Duration half = 0.5f * Seconds;
  EXPECT_EQ(half.ns, 500000000ull);
  Time t = {100};
  t += Milliseconds;
  EXPECT_EQ(t.ns, 1000100ull);
  EXPECT_FLOAT_EQ(to_ms(Milliseconds * 3.0f), 3.0f);
}

TEST(MemoryAndFiles, ArenaPathAndReadFile) {
  Arena* arena = malloc_arena(64);
  void* a = arena_alloc(arena, 10);
  void* b = arena_alloc(arena, 10);
  ASSERT_TRUE(a && b);
  EXPECT_EQ((uintptr_t)b % 16, 0u);
  EXPECT_EQ(arena->last_alloc_size, 10u);
  EXPECT_EQ(arena_alloc(arena, 64), nullptr);
  arena_clear(arena);
  EXPECT_NE(arena_alloc(arena, 64), nullptr);
  free(arena);

  Path path;
  path_set(path, "/tmp/x");
  EXPECT_STREQ(path.cstr(), "/tmp/x");
  std::string long_path(256, 'p');
  EXPECT_DEATH(path_set(path, long_path.c_str()), "PANIC");

  Buffer missing = read_file("/nonexistent/file");
  EXPECT_EQ(missing.data, nullptr);
  EXPECT_NE(missing.error, 0);
  EXPECT_FALSE(file_exists("/nonexistent/file"));
  TempDir dir;
  ASSERT_TRUE(write_text(dir.path + "/hello", "hello"));
  Buffer buf = read_file((dir.path + "/hello").c_str());
  ASSERT_EQ(buf.size, 5);
  EXPECT_EQ(memcmp(buf.data, "hello", 5), 0);
  buffer_free(&buf);
  EXPECT_EQ(buf.data, nullptr);
}

TEST(Failures, AssertAndPanicTexts) {
  EXPECT_DEATH(assert(1 == 2), "foundation_test.cpp:[0-9]+: .*: Assertion '1 == 2' failed");
  EXPECT_DEATH(panic("boom %d\n", 7), "PANIC: boom 7");
}
