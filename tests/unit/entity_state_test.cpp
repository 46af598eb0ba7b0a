// The per-entity visual state table: probing, tombstones, clean-up and a full table.
#include <gtest/gtest.h>

#include "app/client.hpp"
#include "registry.hpp"
#include "render/entity_presentation.hpp"

namespace {

struct EntityStateTest : ::testing::Test {
  void SetUp() override {
    clear_entity_state();
    entity_storage_clear();
  }
  void TearDown() override {
    clear_entity_state();
    entity_storage_clear();
  }
  void store(Id id) { entity_storage.entities[entity_storage.nentities++].id = id; }
  int live_entries() {
    int n = 0;
    for (const EntityState& s : game.entity_state) n += s.id != 0 && s.id != ENTITY_STATE_TOMBSTONE;
    return n;
  }
};

// Ids that differ by a multiple of the table size share a hash (the multiplier is odd).
constexpr Id A = 7, B = 7 + ENTITY_STATE_MAX, C = 7 + 2 * ENTITY_STATE_MAX;

TEST_F(EntityStateTest, HashStaysInTableAndCollidesOnlyModuloSize) {
  bool seen[ENTITY_STATE_MAX] = {};
  for (Id id = 1; id <= ENTITY_STATE_MAX; id++) {
    u32 h = entity_state_hash(id);
    ASSERT_LT(h, (u32)ENTITY_STATE_MAX);
    EXPECT_FALSE(seen[h]) << id;  // one table's worth of consecutive ids fills every slot once
    seen[h] = true;
  }
  EXPECT_EQ(entity_state_hash(A), entity_state_hash(B));
}

TEST_F(EntityStateTest, CollidingIdsGetSeparateEntriesThatSurviveReleasingTheFirst) {
  EntityState* a = set_entity_state_entry(A);
  EntityState* b = set_entity_state_entry(B);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  b->slash_progress = 0.5f;
  EXPECT_EQ(set_entity_state_entry(A), a);  // asking again returns the same entry
  release_entity_state(*a);
  EXPECT_EQ(a->id, ENTITY_STATE_TOMBSTONE);
  EXPECT_EQ(find_entity_state(A), nullptr);
  ASSERT_EQ(find_entity_state(B), b);  // found past the tombstone
  EXPECT_EQ(b->slash_progress, 0.5f);
}

TEST_F(EntityStateTest, TombstoneIsReusedButNeverForASecondEntryOfOneId) {
  EntityState* a = set_entity_state_entry(A);
  EntityState* b = set_entity_state_entry(B);
  release_entity_state(*a);
  // B already lives past the tombstone: it must come back, not a copy in the freed slot.
  EXPECT_EQ(set_entity_state_entry(B), b);
  EXPECT_EQ(live_entries(), 1);
  // A new id of the same chain takes the first tombstone on its way.
  EXPECT_EQ(set_entity_state_entry(C), a);
  EXPECT_EQ(find_entity_state(C), a);
  EXPECT_EQ(live_entries(), 2);
}

TEST_F(EntityStateTest, ReservedIdsNeverGetAnEntry) {
  for (Id id : {(Id)0, ENTITY_STATE_TOMBSTONE}) {
    EXPECT_EQ(set_entity_state_entry(id), nullptr);
    EXPECT_EQ(find_entity_state(id), nullptr);
  }
  EXPECT_EQ(live_entries(), 0);
}

TEST_F(EntityStateTest, CleanupReleasesEntitiesThatLeftAndKeepsTheRest) {
  store(A);
  store(B);
  store(300);
  EntityState* a = set_entity_state_entry(A);
  set_entity_state_entry(B)->hit_time = Time{5};
  set_entity_state_entry(300);
  cleanup_entity_state();
  EXPECT_EQ(live_entries(), 3);

  // A leaves the snapshot: its entry stays until the clean-up, then the slot is free for others.
  entity_storage.entities[0].id = 0;
  EXPECT_EQ(find_entity_state(A), a);
  cleanup_entity_state();
  EXPECT_EQ(find_entity_state(A), nullptr);
  ASSERT_NE(find_entity_state(B), nullptr);
  EXPECT_EQ(find_entity_state(B)->hit_time.ns, 5u);
  EXPECT_NE(find_entity_state(300), nullptr);
  EXPECT_EQ(set_entity_state_entry(C), a);

  // Everything gone: every slot is reusable and lookups of absent ids end at once.
  entity_storage_clear();
  cleanup_entity_state();
  for (const EntityState& s : game.entity_state) EXPECT_EQ(s.id, 0u);
}

TEST_F(EntityStateTest, FullTableRefusesOneMoreWithoutStopping) {
  for (Id id = 1; id <= ENTITY_STATE_MAX; id++) ASSERT_NE(set_entity_state_entry(id), nullptr) << id;
  testing::internal::CaptureStderr();
  EXPECT_EQ(set_entity_state_entry(ENTITY_STATE_MAX + 1), nullptr);
  EXPECT_EQ(set_entity_state_entry(ENTITY_STATE_MAX + 2), nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "PANIC: entity_state is full!\n");  // once, not per request
  // Existing ids still answer, and a released slot takes the newcomer.
  for (Id id = 1; id <= ENTITY_STATE_MAX; id++) ASSERT_NE(find_entity_state(id), nullptr) << id;
  EntityState* freed = find_entity_state(40);
  release_entity_state(*freed);
  EXPECT_EQ(set_entity_state_entry(ENTITY_STATE_MAX + 1), freed);
  EXPECT_EQ(find_entity_state(ENTITY_STATE_MAX + 2), nullptr);
}

}  // namespace
