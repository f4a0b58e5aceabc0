#include "utils/object_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/exceptions.h"

namespace {

// Records its id in a shared log when deleted, to prove what was freed and
// in which order.
struct TTracked {
  std::vector<int>* log;
  int id;
  ~TTracked() { log->push_back(id); }
};

class ObjectListTest : public testing::Test {
 protected:
  int a_ = 0, b_ = 0, c_ = 0, d_ = 0;

  std::vector<int*> Items(const TObjectList<int>& list) { return {list.begin(), list.end()}; }
};

TEST_F(ObjectListTest, InsertAndDeleteShiftTheOtherItems) {
  TObjectList<int> list(0);
  list.Add(&b_);
  list.Insert(0, &a_);           // front
  list.Insert(2, &d_);           // end (index == count)
  list.Insert(2, &c_);           // middle
  EXPECT_EQ(Items(list), (std::vector<int*>{&a_, &b_, &c_, &d_}));
  list.Delete(1);
  EXPECT_EQ(Items(list), (std::vector<int*>{&a_, &c_, &d_}));
  list.Delete(2);
  EXPECT_EQ(Items(list), (std::vector<int*>{&a_, &c_}));
}

TEST_F(ObjectListTest, RemoveTakesTheLastOccurrence) {
  TObjectList<int> list(0);
  for (int* p : {&a_, &b_, &a_, &c_}) list.Add(p);
  EXPECT_TRUE(list.Remove(&a_));
  EXPECT_EQ(Items(list), (std::vector<int*>{&a_, &b_, &c_}));
  EXPECT_FALSE(list.Remove(&d_));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.IndexOf(&c_), 2);
  EXPECT_EQ(list.IndexOf(&d_), -1);
}

TEST_F(ObjectListTest, GrowsFromZeroByTheCommonRule) {
  TObjectList<int> list(0);
  EXPECT_EQ(list.Capacity(), 0);
  std::vector<int> seen;
  for (int i = 0; i < 30; ++i) {
    list.Add(&a_);
    if (seen.empty() || seen.back() != list.Capacity()) seen.push_back(list.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{4, 8, 12, 28, 44}));
}

TEST_F(ObjectListTest, SetCapacityShrinksOnlyDownToAboveTheCount) {
  TObjectList<int> list(100);
  list.Add(&a_);
  list.Add(&b_);
  list.SetCapacity(2);  // not above the count: ignored
  EXPECT_EQ(list.Capacity(), 100);
  list.SetCapacity(3);
  EXPECT_EQ(list.Capacity(), 3);
  EXPECT_EQ(Items(list), (std::vector<int*>{&a_, &b_}));
  list.Add(&c_);
  list.Add(&d_);  // full at 3: grows to 7
  EXPECT_EQ(list.Capacity(), 7);
}

TEST_F(ObjectListTest, ClearKeepsItemsAlive) {
  std::vector<int> log;
  TTracked item{&log, 1};
  TObjectList<TTracked> list(0);
  list.Add(&item);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(log.empty());
}

TEST_F(ObjectListTest, ClearAndFreeDeletesLastFirst) {
  std::vector<int> log;
  TObjectList<TTracked> list(0);
  for (int id = 1; id <= 5; ++id) list.Add(new TTracked{&log, id});
  list.ClearAndFree();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(log, (std::vector<int>{5, 4, 3, 2, 1}));
}

TEST_F(ObjectListTest, BadIndexesThrowInsteadOfTouchingMemory) {
  TObjectList<int> list(0);
  list.Add(&a_);
  EXPECT_THROW(list.Get(1), EAssertionFailed);
  EXPECT_THROW(list.Get(-1), EAssertionFailed);
  EXPECT_THROW(list.Delete(1), EAssertionFailed);
  EXPECT_THROW(list.Insert(2, &b_), EAssertionFailed);
  EXPECT_THROW(list.Put(-1, &b_), EAssertionFailed);
  EXPECT_EQ(Items(list), (std::vector<int*>{&a_}));
}

}  // namespace
