#include "utils/hashed_object_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "base/exceptions.h"

namespace {

struct TTracked {
  std::vector<int>* log;
  int id;
  ~TTracked() { log->push_back(id); }
};

std::vector<int*> Items(const THashedObjectList<int>& list) {
  std::vector<int*> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.GetItem(i));
  return out;
}

void ExpectIndexesConsistent(const THashedObjectList<int>& list) {
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.IndexOf(list.GetItem(i)), i);
}

// Addresses only compared and hashed, never dereferenced.
int* FakeAddress(std::uintptr_t address) { return reinterpret_cast<int*>(address); }

TEST(HashedObjectList, AddRefusesDuplicatesAndNull) {
  int a = 0;
  THashedObjectList<int> list(4);
  EXPECT_TRUE(list.Add(&a));
  EXPECT_FALSE(list.Add(&a));
  EXPECT_FALSE(list.Add(nullptr));
  EXPECT_EQ(list.Count(), 1);
  EXPECT_TRUE(list.Contains(&a));
  EXPECT_FALSE(list.Contains(nullptr));
}

TEST(HashedObjectList, RemoveMovesTheLastEntryIntoTheHole) {
  int a = 0, b = 0, c = 0, absent = 0;
  struct RemoveCase {
    int* removed;
    std::vector<int*> expected;
  };
  const RemoveCase cases[] = {
      {&a, {&c, &b}}, {&b, {&a, &c}}, {&c, {&a, &b}}, {&absent, {&a, &b, &c}}};
  for (const auto& rc : cases) {
    THashedObjectList<int> list(1);
    for (int* p : {&a, &b, &c}) list.Add(p);
    EXPECT_EQ(list.Remove(rc.removed), rc.removed != &absent);
    EXPECT_EQ(Items(list), rc.expected);
    EXPECT_FALSE(rc.removed != &absent && list.Contains(rc.removed));
    ExpectIndexesConsistent(list);
  }
}

TEST(HashedObjectList, GrowsByHalfAndNeverStallsAtOne) {
  std::vector<int> objects(100);
  THashedObjectList<int> list(1);
  std::vector<std::pair<int, int>> seen = {{list.Capacity(), list.BucketCount()}};
  for (int& object : objects) {
    ASSERT_TRUE(list.Add(&object));
    if (list.Capacity() != seen.back().first) seen.emplace_back(list.Capacity(), list.BucketCount());
  }
  const std::vector<std::pair<int, int>> firstSteps = {{1, 3}, {2, 6}, {3, 9}, {4, 12}, {6, 18}, {9, 27}};
  ASSERT_GE(seen.size(), firstSteps.size());
  seen.resize(firstSteps.size());
  EXPECT_EQ(seen, firstSteps);
  EXPECT_EQ(list.Count(), 100);
  ExpectIndexesConsistent(list);
}

// Addresses whose low 32 bits read as a negative or the most negative signed
// number, and aligned runs that differ only in high bits.
TEST(HashedObjectList, ExtremeAddressesLandInValidBuckets) {
  const std::uintptr_t addresses[] = {
      0x80000000u, 0xFFFFFFF0u, 0x7FFFFFF0u, 0x10,
      static_cast<std::uintptr_t>(0xFFFFFFFF80000000ull),
      static_cast<std::uintptr_t>(0x0000700080000000ull),
      static_cast<std::uintptr_t>(0xFFFFFFFFFFFFFFF0ull)};
  for (int capacity : {1, 2, 5, 64}) {
    SCOPED_TRACE(capacity);
    THashedObjectList<int> list(capacity);
    for (std::uintptr_t address : addresses) ASSERT_TRUE(list.Add(FakeAddress(address)));
    for (std::uintptr_t address : addresses) EXPECT_TRUE(list.Contains(FakeAddress(address)));
    ExpectIndexesConsistent(list);
    for (std::uintptr_t address : addresses) EXPECT_TRUE(list.Remove(FakeAddress(address)));
    EXPECT_EQ(list.Count(), 0);
  }
}

TEST(HashedObjectList, AlignedAddressesSpreadOverBuckets) {
  // 16-byte aligned addresses: without mixing, a bucket count sharing factors
  // with 16 would leave most buckets unused.
  const int capacity = 4096;
  std::set<std::size_t> buckets;
  for (std::uintptr_t i = 0; i < static_cast<std::uintptr_t>(capacity); ++i)
    buckets.insert(HashObjectPointer(FakeAddress(0x7F0000000000u + i * 16)) % (3u * capacity));
  EXPECT_GT(buckets.size(), static_cast<std::size_t>(capacity) / 2);
}

TEST(HashedObjectList, ManyObjectsAgreeWithAReferenceSet) {
  std::vector<int> objects(2000);
  std::mt19937 rng(5);
  THashedObjectList<int> list(1);
  std::set<int*> reference;
  for (int step = 0; step < 10000; ++step) {
    int* object = &objects[rng() % objects.size()];
    switch (rng() % 3) {
      case 0:
        ASSERT_EQ(list.Add(object), reference.insert(object).second);
        break;
      case 1:
        ASSERT_EQ(list.Remove(object), reference.erase(object) == 1);
        break;
      default:
        ASSERT_EQ(list.Contains(object), reference.count(object) == 1);
    }
  }
  ASSERT_EQ(list.Count(), static_cast<int>(reference.size()));
  ExpectIndexesConsistent(list);
}

TEST(HashedObjectList, ClearKeepsAndClearAndFreeDeletesLastFirst) {
  std::vector<int> log;
  THashedObjectList<TTracked> list(2);
  TTracked kept{&log, 0};
  list.Add(&kept);
  list.Clear();
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(list.Contains(&kept));
  for (int id = 1; id <= 4; ++id) list.Add(new TTracked{&log, id});
  list.ClearAndFree();
  EXPECT_EQ(log, (std::vector<int>{4, 3, 2, 1}));
  EXPECT_EQ(list.Count(), 0);
}

TEST(HashedObjectList, BadIndexThrows) {
  THashedObjectList<int> list(1);
  EXPECT_THROW(list.GetItem(0), EAssertionFailed);
}

}  // namespace
