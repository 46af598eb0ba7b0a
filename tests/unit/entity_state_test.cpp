// The per-entity visual state table: probing, tombstones, clean-up and a full table.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"

namespace {

struct EntityStateTest : ::testing::Test {
  void SetUp() override { clear_entity_state(), entity_storage_clear(); }
  void TearDown() override { SetUp(); }
  int live_entries() {
    int n = 0;
    for (const EntityState& s : game.entity_state) n += s.id != 0 && s.id != ENTITY_STATE_TOMBSTONE;
    return n;
  }
};

// Ids a table size apart share a hash (the multiplier is odd).
constexpr Id A = 7, B = A + ENTITY_STATE_MAX, C = A + 2 * ENTITY_STATE_MAX;

TEST_F(EntityStateTest, CollisionsTombstonesAndReuseNeverMakeTwoEntries) {
  ASSERT_EQ(entity_state_hash(A), entity_state_hash(B));
  EntityState* a = set_entity_state_entry(A);
  EntityState* b = set_entity_state_entry(B);
  ASSERT_TRUE(a && b && a != b);
  b->slash_progress = 0.5f;
  EXPECT_EQ(set_entity_state_entry(A), a);
  release_entity_state(*a);
  EXPECT_TRUE(a->id == ENTITY_STATE_TOMBSTONE && find_entity_state(A) == nullptr);
  ASSERT_EQ(find_entity_state(B), b);  // found past the tombstone, state intact
  EXPECT_EQ(b->slash_progress, 0.5f);
  EXPECT_EQ(set_entity_state_entry(B), b);  // not a second entry in the freed slot
  EXPECT_EQ(set_entity_state_entry(C), a);  // a newcomer of the chain takes the tombstone
  for (Id id : {(Id)0, ENTITY_STATE_TOMBSTONE}) EXPECT_TRUE(!set_entity_state_entry(id) && !find_entity_state(id));
  EXPECT_EQ(live_entries(), 2);
}

TEST_F(EntityStateTest, CleanupReleasesOnlyEntitiesThatLeft) {
  for (Id id : {A, B, (Id)300}) entity_storage.entities[entity_storage.nentities++].id = id, set_entity_state_entry(id);
  find_entity_state(B)->hit_time = Time{5};
  cleanup_entity_state();
  EXPECT_EQ(live_entries(), 3);
  entity_storage.entities[0].id = 0;  // A leaves: its entry stays until the clean-up
  EntityState* a = find_entity_state(A);
  ASSERT_NE(a, nullptr);
  cleanup_entity_state();
  EXPECT_EQ(find_entity_state(A), nullptr);
  EXPECT_EQ(find_entity_state(B)->hit_time.ns, 5u);
  EXPECT_NE(find_entity_state(300), nullptr);
  EXPECT_EQ(set_entity_state_entry(C), a);
  entity_storage_clear();
  cleanup_entity_state();
  for (const EntityState& s : game.entity_state) EXPECT_EQ(s.id, 0u);  // no tombstone lengthens probes
}

TEST_F(EntityStateTest, FullTableRefusesOneMoreWithoutStopping) {
  for (Id id = 1; id <= ENTITY_STATE_MAX; id++) ASSERT_NE(set_entity_state_entry(id), nullptr) << id;
  testing::internal::CaptureStderr();
  EXPECT_EQ(set_entity_state_entry(ENTITY_STATE_MAX + 1), nullptr);
  EXPECT_EQ(set_entity_state_entry(ENTITY_STATE_MAX + 2), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "PANIC: entity_state is full!\n");  // once, not per request
  for (Id id = 1; id <= ENTITY_STATE_MAX; id++) ASSERT_NE(find_entity_state(id), nullptr) << id;
  EntityState* freed = find_entity_state(40);
  release_entity_state(*freed);
  EXPECT_EQ(set_entity_state_entry(ENTITY_STATE_MAX + 1), freed);
  EXPECT_EQ(find_entity_state(ENTITY_STATE_MAX + 2), nullptr);
}

}  // namespace
