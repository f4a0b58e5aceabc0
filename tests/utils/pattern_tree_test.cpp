#include "utils/pattern_tree.h"

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
  std::string key;
};

std::string Reversed(std::string s) {
  std::reverse(s.begin(), s.end());
  return s;
}

std::string Names(const std::vector<TItem*>& items) {
  std::string out;
  for (const TItem* item : items) out += (out.empty() ? "" : ",") + item->key;
  return out;
}

std::string Name(const TItem* item) { return item == nullptr ? "nil" : item->key; }

struct LookupCase {
  const char* text;
  const char* exact;
  const char* longest;
  const char* all;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << "'" << c.text << "'"; }

class PTreeLookupTest : public ::testing::TestWithParam<LookupCase> {
 protected:
  const std::vector<std::string> keys_{"abcdef", "abc", "a", "abd", "b"};
};

TEST_P(PTreeLookupTest, ForwardTrie) {
  std::vector<TItem> items;
  for (const auto& key : keys_) items.push_back({key});
  TPTree<TItem> tree;
  for (auto& item : items) ASSERT_TRUE(tree.Add(item.key, &item));
  const LookupCase& c = GetParam();
  std::vector<TItem*> all;
  tree.FindAllPrefixes(c.text, all);
  EXPECT_EQ(Name(tree.FindExact(c.text)), c.exact);
  EXPECT_EQ(Name(tree.FindLongestPrefix(c.text)), c.longest);
  EXPECT_EQ(Names(all), c.all);
}

// The backward trie answers for reversed keys and texts as the forward one.
TEST_P(PTreeLookupTest, BackwardTrie) {
  std::vector<TItem> items;
  for (const auto& key : keys_) items.push_back({key});
  TRPTree<TItem> tree;
  for (auto& item : items) ASSERT_TRUE(tree.Add(Reversed(item.key), &item));
  const LookupCase& c = GetParam();
  const std::string text = Reversed(c.text);
  std::vector<TItem*> all;
  tree.FindAllPrefixes(text, all);
  EXPECT_EQ(Name(tree.FindExact(text)), c.exact);
  EXPECT_EQ(Name(tree.FindLongestPrefix(text)), c.longest);
  EXPECT_EQ(Names(all), c.all);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PTreeLookupTest,
    ::testing::Values(LookupCase{"a", "a", "a", "a"}, LookupCase{"ab", "nil", "a", "a"},
                      LookupCase{"abc", "abc", "abc", "a,abc"},
                      LookupCase{"ABCD", "nil", "abc", "a,abc"},
                      LookupCase{"abcdef", "abcdef", "abcdef", "a,abc,abcdef"},
                      LookupCase{"abcdefg", "nil", "abcdef", "a,abc,abcdef"},
                      LookupCase{"abcdeX", "nil", "abc", "a,abc"},
                      LookupCase{"abd", "abd", "abd", "a,abd"}, LookupCase{"Bx", "nil", "b", "b"},
                      LookupCase{"c", "nil", "nil", ""}, LookupCase{"", "nil", "nil", ""}));

TEST(PTreeTest, RefusesEmptyNilAndDuplicateKeys) {
  TItem item{"x"};
  TPTree<TItem> tree;
  EXPECT_FALSE(tree.Add("", &item));
  EXPECT_FALSE(tree.Add("abc", nullptr));
  EXPECT_TRUE(tree.Add("abc", &item));
  EXPECT_FALSE(tree.Add("ABC", &item));
  EXPECT_TRUE(tree.Add("ab", &item));
  EXPECT_FALSE(tree.Add("aB", &item));
  EXPECT_TRUE(tree.Add("\xC9", &item));
  EXPECT_FALSE(tree.Add("\xE9", &item));
}

TEST(PTreeTest, RemovingMissingKeysChangesNothing) {
  TItem item{"abc"};
  TPTree<TItem> tree;
  ASSERT_TRUE(tree.Add("abc", &item));
  for (const char* key : {"", "a", "ab", "abcd", "abd", "x"}) EXPECT_FALSE(tree.Remove(key)) << key;
  EXPECT_EQ(tree.FindExact("abc"), &item);
  EXPECT_TRUE(tree.Remove("ABC"));
  EXPECT_FALSE(tree.Remove("abc"));
}

TEST(PTreeTest, RemovalMergesBranchesBack) {
  TItem abc{"abc"};
  TItem abcd{"abcd"};
  TPTree<TItem> tree;
  ASSERT_TRUE(tree.Add("abc", &abc));
  ASSERT_TRUE(tree.Add("abcd", &abcd));
  ASSERT_TRUE(tree.Remove("abc"));
  EXPECT_EQ(tree.FindExact("abcd"), &abcd);
  EXPECT_EQ(tree.FindExact("abc"), nullptr);
  EXPECT_EQ(tree.FindLongestPrefix("abcde"), &abcd);
  EXPECT_EQ(tree.NodeCount(), 1);
  ASSERT_TRUE(tree.Remove("abcd"));
  EXPECT_TRUE(tree.Empty());
  EXPECT_EQ(tree.NodeCount(), 0);
}

// Random adds and removals on a small alphabet against a brute-force
// reference; after each removal the trie must also be as compact as one
// built afresh from the keys left.
template <typename Tree>
void CrossCheck(bool backward) {
  std::mt19937 rng(11);
  const std::string alphabet = "abAB";
  auto randomText = [&](int maxLength) {
    std::string s;
    const int length = static_cast<int>(rng() % static_cast<unsigned>(maxLength + 1));
    for (int i = 0; i < length; ++i) s.push_back(alphabet[rng() % alphabet.size()]);
    return s;
  };
  auto walk = [backward](std::string s) { return backward ? Reversed(s) : s; };

  std::map<std::string, TItem> items;  // folded key -> item
  Tree tree;
  for (int step = 0; step < 2000; ++step) {
    std::string key = randomText(6);
    const std::string folded = LowerString(key);
    if (rng() % 3 == 0) {
      const bool present = items.erase(folded) == 1;
      ASSERT_EQ(tree.Remove(key), present) << key;
      Tree fresh;
      for (auto& [k, item] : items) fresh.Add(k, &item);
      ASSERT_EQ(tree.NodeCount(), fresh.NodeCount()) << "after removing " << key;
    } else if (!key.empty()) {
      auto [it, fresh] = items.try_emplace(folded, TItem{folded});
      ASSERT_EQ(tree.Add(key, &it->second), fresh) << key;
    }

    const std::string text = randomText(8);
    const std::string walked = LowerString(walk(text));
    TItem* exact = nullptr;
    std::vector<TItem*> all;
    for (std::size_t n = 1; n <= walked.size(); ++n) {
      auto it = items.find(walk(walked.substr(0, n)));
      if (it == items.end()) continue;
      all.push_back(&it->second);
      if (n == walked.size()) exact = &it->second;
    }
    std::vector<TItem*> found;
    tree.FindAllPrefixes(text, found);
    ASSERT_EQ(tree.FindExact(text), exact) << text;
    ASSERT_EQ(tree.FindLongestPrefix(text), all.empty() ? nullptr : all.back()) << text;
    ASSERT_EQ(Names(found), Names(all)) << text;
  }
  for (const auto& [k, item] : items) ASSERT_TRUE(tree.Remove(UpperString(k))) << k;
  EXPECT_EQ(tree.NodeCount(), 0);
}

TEST(PTreeTest, ForwardMatchesReference) { CrossCheck<TPTree<TItem>>(false); }
TEST(PTreeTest, BackwardMatchesReference) { CrossCheck<TRPTree<TItem>>(true); }

}  // namespace
