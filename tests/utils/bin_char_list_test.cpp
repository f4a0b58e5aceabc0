#include "utils/bin_char_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <vector>

#include "base/case_tables.h"

namespace {

struct TItem {
  explicit TItem(int* freed = nullptr) : freed_(freed) {}
  ~TItem() {
    if (freed_ != nullptr) ++*freed_;
  }
  int* freed_;
};

TEST(BinCharListTest, FoldsCase) {
  TItem a;
  TItem b;
  TBinCharList<TItem> list;
  ASSERT_TRUE(list.Add('a', &a));
  EXPECT_FALSE(list.Add('A', &b));
  EXPECT_EQ(list.Find('A'), &a);
  ASSERT_TRUE(list.Add('\xC9', &b));
  EXPECT_EQ(list.Find('\xE9'), &b);
  EXPECT_EQ(list.GetChar(1), '\xE9');
}

// Every byte value, added in random order, stays findable while the list
// passes from linear scan to bisection; sorted as unsigned folded bytes.
TEST(BinCharListTest, EveryByteAcrossBothSearchModes) {
  std::array<TItem, 256> items;
  std::vector<int> order(256);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(3));

  TBinCharList<TItem> list;
  std::vector<unsigned char> added;
  for (int byte : order) {
    const char c = static_cast<char>(byte);
    const unsigned char folded = LowerChar(c);
    const bool fresh = std::find(added.begin(), added.end(), folded) == added.end();
    ASSERT_EQ(list.Add(c, &items[folded]), fresh) << byte;
    if (fresh) added.push_back(folded);
    for (int probe = 0; probe < 256; ++probe) {
      const unsigned char f = LowerChar(static_cast<char>(probe));
      const bool present = std::find(added.begin(), added.end(), f) != added.end();
      ASSERT_EQ(list.Find(static_cast<char>(probe)), present ? &items[f] : nullptr)
          << "probe " << probe << " at count " << list.Count();
    }
  }
  for (int i = 1; i < list.Count(); ++i)
    EXPECT_LT(static_cast<unsigned char>(list.GetChar(i - 1)),
              static_cast<unsigned char>(list.GetChar(i)));
}

TEST(BinCharListTest, RemovalAndFreeing) {
  int freed = 0;
  TItem kept(&freed);
  TBinCharList<TItem> list;
  ASSERT_TRUE(list.Add('k', &kept));
  for (char c : {'x', 'y', 'z'}) ASSERT_TRUE(list.Add(c, new TItem(&freed)));

  EXPECT_TRUE(list.Remove('K'));
  EXPECT_FALSE(list.Remove('k'));
  EXPECT_TRUE(list.RemoveAndFree('Y'));
  EXPECT_FALSE(list.RemoveAndFree('y'));
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(list.Get(2), nullptr);
  EXPECT_THROW(list.Delete(2), EAssertionFailed);
  list.ClearAndFree();
  EXPECT_EQ(freed, 3);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
