#include "utils/pointer_pool.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <vector>

namespace {

// Disposers are plain function pointers, so the record of what was freed
// lives outside the fixture.
std::vector<void*> gDisposed;
void Record(void* block) { gDisposed.push_back(block); }

class PointerPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { gDisposed.clear(); }

  int* Block(int i) { return &blocks_[static_cast<std::size_t>(i)]; }

  // Pops n times, then pushes blocks 0..n-1 back (block n-1 is the newest).
  void Fill(TPointerPool<int>& pool, int n) {
    for (int i = 0; i < n; ++i) pool.Pop();
    for (int i = 0; i < n; ++i) pool.Push(Block(i));
  }

  std::array<int, 200> blocks_{};
};

TEST_F(PointerPoolTest, PopOnEmptyCountsInUseAndPushBringsItBack) {
  TPointerPool<int> pool(Record);
  EXPECT_EQ(pool.Pop(), nullptr);
  EXPECT_EQ(pool.InUse(), 1);
  EXPECT_EQ(pool.GetTotal(), 1);
  pool.Push(Block(0));
  EXPECT_EQ(pool.InUse(), 0);
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_EQ(pool.GetTotal(), 1);
}

TEST_F(PointerPoolTest, PopsNewestFirst) {
  TPointerPool<int> pool(Record);
  Fill(pool, 3);
  EXPECT_EQ(pool.Pop(), Block(2));
  EXPECT_EQ(pool.Pop(), Block(1));
  pool.Push(Block(2));
  EXPECT_EQ(pool.Pop(), Block(2));
  EXPECT_EQ(pool.Pop(), Block(0));
  EXPECT_EQ(pool.Pop(), nullptr);
  EXPECT_EQ(pool.InUse(), 4);
}

TEST_F(PointerPoolTest, TrimKeepsNewestAndDisposesOfOldest) {
  struct Case {
    int keep;
    int disposed;
  };
  const Case cases[] = {{0, 5}, {2, 3}, {4, 1}, {5, 0}, {9, 0}, {-1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keep);
    TPointerPool<int> pool(Record);
    Fill(pool, 5);
    gDisposed.clear();
    pool.Trim(c.keep);
    EXPECT_EQ(pool.Count(), 5 - c.disposed);
    ASSERT_EQ(static_cast<int>(gDisposed.size()), c.disposed);
    for (int i = 0; i < c.disposed; ++i) EXPECT_EQ(gDisposed[static_cast<std::size_t>(i)], Block(i));
    // The survivors moved to the bottom and still pop newest first.
    for (int i = 4; i >= c.disposed; --i) EXPECT_EQ(pool.Pop(), Block(i));
    EXPECT_EQ(pool.Pop(), nullptr);
  }
}

TEST_F(PointerPoolTest, TrimByKeepsTheLargerShare) {
  struct Case {
    int pooled, inUse, keepBase;
    double pooledFraction, inUseFraction;
    int kept;
  };
  const Case cases[] = {
      {100, 10, 4, 0.8, 0.15, 80},  // max(4 + 1, 80)
      {10, 100, 4, 0.5, 0.05, 9},   // max(4 + 5, 5)
      {10, 0, 20, 0.5, 0.5, 10},    // keeping more than pooled: nothing freed
      {7, 3, 0, 0.0, 0.0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kept);
    TPointerPool<int> pool(Record);
    Fill(pool, c.pooled + c.inUse);
    for (int i = 0; i < c.inUse; ++i) pool.Pop();
    ASSERT_EQ(pool.Count(), c.pooled);
    pool.TrimBy(c.keepBase, c.pooledFraction, c.inUseFraction);
    EXPECT_EQ(pool.Count(), c.kept);
  }
}

TEST_F(PointerPoolTest, GrowthSteps) {
  TPointerPool<int> pool(Record);
  const int steps[] = {16, 32, 48, 64, 80, 120, 180};
  int pushed = 0;
  for (int capacity : steps) {
    SCOPED_TRACE(capacity);
    while (pushed < capacity) {
      pool.Push(Block(pushed));
      ++pushed;
      EXPECT_EQ(pool.Capacity(), capacity);
    }
  }
  pool.Push(Block(180));
  EXPECT_EQ(pool.Capacity(), 270);
}

TEST_F(PointerPoolTest, NegativeCapacityMeansSixteenAndZeroStillGrows) {
  EXPECT_EQ(TPointerPool<int>(Record, -5).Capacity(), 16);
  TPointerPool<int> empty(Record, 0);
  empty.Push(Block(0));
  EXPECT_EQ(empty.Count(), 1);
  EXPECT_EQ(empty.Capacity(), 16);
}

TEST_F(PointerPoolTest, DestructorDisposesOfPooledBlocksOnly) {
  {
    TPointerPool<int> pool(Record);
    Fill(pool, 3);
    pool.Pop();  // block 2 is out in use
  }
  EXPECT_EQ(gDisposed, (std::vector<void*>{Block(0), Block(1)}));
}

}  // namespace
