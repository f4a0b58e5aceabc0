#include "utils/bin_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <random>
#include <string>
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

template <typename List>
void AddAll(List& list, const std::vector<std::string>& keys, std::vector<TItem>& items) {
  items.resize(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i)
    ASSERT_TRUE(list.Add(keys[i], &items[i])) << keys[i];
}

struct RangeCase {
  const char* text;
  int first;
  int last;  // -1: no match
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << "'" << c.text << "'"; }

class ForwardRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ForwardRangeTest, FindsKeysByPrefix) {
  TBinList<TItem> list;
  std::vector<TItem> items;
  AddAll(list, {"b", "abd", "abc"}, items);
  const TMatchRange range = list.FindMatchRange(GetParam().text);
  EXPECT_EQ(range.last, GetParam().last);
  if (GetParam().last >= 0) {
    EXPECT_EQ(range.first, GetParam().first);
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, ForwardRangeTest,
                         ::testing::Values(RangeCase{"ab*", 0, 1}, RangeCase{"*", 0, 2},
                                           RangeCase{"c*", 0, -1}, RangeCase{"AB*", 0, 1},
                                           RangeCase{"a*", 0, 1}, RangeCase{"b*", 2, 2},
                                           RangeCase{"abc*", 0, 0}, RangeCase{"abcd*", 0, -1},
                                           RangeCase{"abd", 1, 1}, RangeCase{"ab", 0, -1},
                                           RangeCase{"", 0, -1}, RangeCase{"*b", 0, -1}));

class BackwardRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(BackwardRangeTest, FindsKeysBySuffix) {
  TRevBinList<TItem> list;
  std::vector<TItem> items;
  AddAll(list, {"cd", "ab", "cb"}, items);
  ASSERT_EQ(list.GetKey(0), "ab");
  ASSERT_EQ(list.GetKey(1), "cb");
  ASSERT_EQ(list.GetKey(2), "cd");
  const TMatchRange range = list.FindMatchRange(GetParam().text);
  EXPECT_EQ(range.last, GetParam().last);
  if (GetParam().last >= 0) {
    EXPECT_EQ(range.first, GetParam().first);
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, BackwardRangeTest,
                         ::testing::Values(RangeCase{"*b", 0, 1}, RangeCase{"*B", 0, 1},
                                           RangeCase{"*d", 2, 2}, RangeCase{"*", 0, 2},
                                           RangeCase{"*cb", 1, 1}, RangeCase{"*x", 0, -1},
                                           RangeCase{"*acb", 0, -1}, RangeCase{"b*", 0, -1},
                                           RangeCase{"cd", 2, 2}));

TEST(BinListTest, CaseRuleDecidesDuplicates) {
  TItem a;
  TItem b;
  TBinList<TItem> blind;
  EXPECT_TRUE(blind.Add("abc", &a));
  EXPECT_FALSE(blind.Add("ABC", &b));
  EXPECT_EQ(blind.Find("ABC"), &a);
  EXPECT_FALSE(blind.Add("", &b));

  TBinList<TItem> sensitive(4, true);
  EXPECT_TRUE(sensitive.Add("abc", &a));
  EXPECT_TRUE(sensitive.Add("ABC", &b));
  EXPECT_EQ(sensitive.Find("ABC"), &b);
  EXPECT_EQ(sensitive.Find("abc"), &a);
  EXPECT_EQ(sensitive.Find("Abc"), nullptr);
}

// Bytes above 0x7F must sort as unsigned and fold through the table.
TEST(BinListTest, HighBytesSortUnsignedAndFold) {
  TItem accent;
  TItem z;
  TBinList<TItem> list;
  ASSERT_TRUE(list.Add("\xE9t\xE9", &accent));
  ASSERT_TRUE(list.Add("z", &z));
  EXPECT_EQ(list.GetKey(0), "z");
  EXPECT_EQ(list.Find("\xC9T\xC9"), &accent);
  EXPECT_FALSE(list.Add("\xC9t\xE9", &z));
  EXPECT_EQ(list.FindMatchRange("\xC9*").first, 1);
}

TEST(BinListTest, DeletionAndFreeing) {
  int freed = 0;
  TBinList<TItem> list;
  for (const char* key : {"a", "b", "c", "d"}) ASSERT_TRUE(list.Add(key, new TItem(&freed)));

  EXPECT_FALSE(list.TryDelete(-1));
  EXPECT_FALSE(list.TryDelete(4));
  EXPECT_FALSE(list.RemoveAndFree("x"));
  EXPECT_TRUE(list.RemoveAndFree("B"));
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(list.IndexOf("c"), 1);

  TItem* kept = list.Find("a");
  EXPECT_TRUE(list.Remove("a"));
  EXPECT_FALSE(list.Remove("a"));
  delete kept;
  EXPECT_EQ(freed, 2);

  EXPECT_THROW(list.Delete(2), EAssertionFailed);
  EXPECT_EQ(list.GetObject(5), nullptr);
  EXPECT_EQ(list.GetKey(-1), "");

  list.ClearAndFree();
  EXPECT_EQ(freed, 4);
  EXPECT_EQ(list.Count(), 0);
}

TEST(BinListTest, ClearKeepsObjectsAndCapacityOnlyGrows) {
  int freed = 0;
  TItem item(&freed);
  TBinList<TItem> list(1);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(list.Add(std::to_string(i), &item));
  EXPECT_GE(list.Capacity(), 20);
  const int capacity = list.Capacity();
  list.SetCapacity(2);
  EXPECT_EQ(list.Capacity(), capacity);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(freed, 0);
}

// Random inserts and removals against an ordered reference: catches wrong
// insertion points and bisection bounds in both key orders.
template <typename List>
void CrossCheckOrder(bool backward) {
  auto folded = [backward](const std::string& key) {
    std::string f = UpperString(key);
    if (backward) std::reverse(f.begin(), f.end());
    return f;
  };
  std::mt19937 rng(7);
  std::map<std::string, std::string> reference;  // folded order -> key
  TItem item;
  List list;
  const std::string alphabet = "abAB\xE0\xC0";
  for (int step = 0; step < 3000; ++step) {
    std::string key;
    const int length = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < length; ++i) key.push_back(alphabet[rng() % alphabet.size()]);
    if (rng() % 3 == 0) {
      EXPECT_EQ(list.Remove(key), reference.erase(folded(key)) == 1) << key;
    } else {
      EXPECT_EQ(list.Add(key, &item), reference.emplace(folded(key), key).second) << key;
    }
  }
  ASSERT_EQ(list.Count(), static_cast<int>(reference.size()));
  int index = 0;
  for (const auto& [order, key] : reference) {
    EXPECT_EQ(list.GetKey(index), key);
    EXPECT_EQ(list.IndexOf(key), index);
    ++index;
  }
}

TEST(BinListTest, ForwardOrderMatchesReference) { CrossCheckOrder<TBinList<TItem>>(false); }
TEST(BinListTest, BackwardOrderMatchesReference) { CrossCheckOrder<TRevBinList<TItem>>(true); }

}  // namespace
