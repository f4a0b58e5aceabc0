#include "utils/wild_pattern_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/case_tables.h"
#include "utils/wild_pattern_tree.h"

namespace {

struct TItem {
  std::string name;
};

std::string Name(const TItem* item) { return item == nullptr ? "nil" : item->name; }

std::string Names(const std::vector<TItem*>& items) {
  std::string out;
  for (const TItem* item : items) out += (out.empty() ? "" : ",") + item->name;
  return out;
}

struct MatchCase {
  const char* text;
  const char* match;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << "'" << c.text << "'"; }

class WildMatchTest : public ::testing::TestWithParam<MatchCase> {
 protected:
  void SetUp() override {
    for (const char* pattern : {"ab?d", "a?c*", "acx", "a?y", "ab", "a?", "*.c?m", "*d?alup*"}) {
      items_.push_back(TItem{pattern});
      ASSERT_TRUE(list_.Add(pattern, &items_.back())) << pattern;
    }
  }
  std::deque<TItem> items_;
  TWildPatternList<TItem> list_;
};

TEST_P(WildMatchTest, Match) { EXPECT_EQ(Name(list_.Match(GetParam().text)), GetParam().match); }

INSTANTIATE_TEST_SUITE_P(Patterns, WildMatchTest,
                         ::testing::Values(MatchCase{"abcd", "ab?d"}, MatchCase{"ABXD", "ab?d"},
                                           MatchCase{"abcdef", "a?c*"}, MatchCase{"acy", "a?y"},
                                           MatchCase{"acx", "acx"}, MatchCase{"ab", "ab"},
                                           MatchCase{"ac", "a?"}, MatchCase{"a?", "a?"},
                                           MatchCase{"host.example.COM", "*.c?m"},
                                           MatchCase{"x.dialup.y", "*d?alup*"},
                                           MatchCase{"xyz", "nil"}, MatchCase{"", "nil"}));

// The '?' branch is only searched where the literal one reported nothing.
TEST(WildPatternListTest, MatchAllPrefersLiteralBranches) {
  std::deque<TItem> items;
  TWildPatternList<TItem> list;
  for (const char* pattern : {"a*", "ab*", "a?c*", "?bc*"}) {
    items.push_back(TItem{pattern});
    ASSERT_TRUE(list.Add(pattern, &items.back()));
  }
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"abc", "a*,ab*"}, {"axc", "a*,a?c*"}, {"zbc", "?bc*"}, {"zzz", ""}};
  for (const auto& [text, expected] : cases) {
    std::vector<TItem*> all;
    list.MatchAll(text, all);
    EXPECT_EQ(Names(all), expected) << text;
  }
}

// Removal follows the key literally: dropping 'ab?d' keeps 'abxd'.
TEST(WildPatternListTest, RemovalIsLiteral) {
  TItem wild{"ab?d"}, plain{"abxd"}, prefix{"a?c*"};
  TWildPatternList<TItem> list;
  ASSERT_TRUE(list.Add("ab?d", &wild));
  ASSERT_TRUE(list.Add("abxd", &plain));
  ASSERT_TRUE(list.Add("a?c*", &prefix));
  EXPECT_TRUE(list.Remove("AB?D"));
  EXPECT_EQ(list.Match("abxd"), &plain);
  EXPECT_EQ(list.Match("abyd"), nullptr);
  EXPECT_EQ(list.Match("abcd"), &prefix);
  list.Delete(list.IndexOf("abxd"));
  EXPECT_EQ(list.Match("abxd"), nullptr);
}

TEST(WildPatternTreeTest, RemovalFreesEmptyBranches) {
  TItem a{"a"}, b{"b"};
  TWPTree<TItem> tree;
  ASSERT_TRUE(tree.Add("ab?d", &a));
  ASSERT_TRUE(tree.Add("abc", &b));
  EXPECT_FALSE(tree.Add("AB?D", &b));
  EXPECT_FALSE(tree.Remove("ab"));
  EXPECT_FALSE(tree.Remove("abxd"));
  EXPECT_TRUE(tree.Remove("ab?d"));
  EXPECT_EQ(tree.NodeCount(), 3);
  EXPECT_TRUE(tree.Remove("abc"));
  EXPECT_EQ(tree.NodeCount(), 0);
  EXPECT_TRUE(tree.Empty());
}

// Generous budgets: a busy CI machine must not fail a sound lookup, while
// an exponential one (2^28 paths below) takes tens of seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kNameBudgetMs = 5000;  // instrumented builds run several times slower
#else
constexpr long kNameBudgetMs = 1000;
#endif

// Patterns built so that both the literal and the '?' branch fit at every
// level and fail only at their last character; names of '?' must not make a
// lookup enter the '?' branch twice per level (2^28 paths here).
TEST(WildPatternListTest, HostileNamesStayFast) {
  std::deque<TItem> items;
  TWildPatternList<TItem> list;
  constexpr int kDepth = 9;
  for (int bits = 0; bits < (1 << kDepth); ++bits) {
    std::string key;
    for (int i = 0; i < kDepth; ++i) key.push_back((bits >> i) & 1 ? '?' : 'a');
    items.push_back(TItem{key});
    ASSERT_TRUE(list.Add("*" + key + "b*", &items.back()));
    ASSERT_TRUE(list.Add(key + "b", &items.back()));
  }
  const std::string questions(28, '?');
  TItem chain{"chain"};
  ASSERT_TRUE(list.Add(questions + "x", &chain));
  ASSERT_TRUE(list.Add(questions + "x*", &chain));

  for (const std::string& text :
       {std::string(1000, 'a'), std::string(1000, '?'), questions + "y"}) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<TItem*> all;
    EXPECT_EQ(list.Match(text), nullptr);
    list.MatchAll(text, all);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(all.empty());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), kNameBudgetMs)
        << text.substr(0, 8) << "... of " << text.size();
  }
}

// An independent reading of the preference rule: at each position a literal
// character beats '?', and both beat a shorter key that ends there.
class WildReference {
 public:
  void Add(TItem* item) { entries_.push_back(item); }
  void Remove(const std::string& pattern) {
    std::erase_if(entries_, [&](const TItem* item) { return SameText(item->name, pattern); });
  }
  bool Has(const std::string& pattern) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const TItem* item) { return SameText(item->name, pattern); });
  }

  TItem* Match(const std::string& text) const {
    if (text.empty()) return nullptr;
    const std::string backward(text.rbegin(), text.rend());
    if (TItem* item = Best(TPatternKind::Exact, text, true, false)) return item;
    if (TItem* item = Best(TPatternKind::Prefix, text, false, false)) return item;
    if (TItem* item = Best(TPatternKind::Suffix, backward, false, true)) return item;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (TItem* item = Best(TPatternKind::Infix, text.substr(i), false, false)) return item;
    return nullptr;
  }

 private:
  static std::optional<std::vector<int>> Ranks(std::string key, const std::string& text,
                                               bool whole) {
    if (key.size() > text.size() || (whole && key.size() != text.size())) return std::nullopt;
    std::vector<int> ranks;
    for (std::size_t i = 0; i < key.size(); ++i) {
      if (LowerChar(key[i]) == LowerChar(text[i])) {
        ranks.push_back(0);
      } else if (key[i] == '?') {
        ranks.push_back(1);
      } else {
        return std::nullopt;
      }
    }
    ranks.push_back(2);
    return ranks;
  }

  TItem* Best(TPatternKind kind, const std::string& text, bool whole, bool backward) const {
    TItem* best = nullptr;
    std::vector<int> bestRanks;
    for (TItem* item : entries_) {
      const TPatternRoute route = RoutePattern(item->name);
      if (route.kind != kind) continue;
      std::string key(route.key);
      if (backward) std::reverse(key.begin(), key.end());
      const auto ranks = Ranks(key, text, whole);
      if (ranks && (best == nullptr || *ranks < bestRanks)) {
        best = item;
        bestRanks = *ranks;
      }
    }
    return best;
  }

  std::vector<TItem*> entries_;
};

TEST(WildPatternListTest, MatchesPreferenceReference) {
  std::mt19937 rng(9);
  auto randomText = [&](const std::string& alphabet, int minLength, int maxLength) {
    std::string s;
    const int length =
        minLength + static_cast<int>(rng() % static_cast<unsigned>(maxLength - minLength + 1));
    for (int i = 0; i < length; ++i) s.push_back(alphabet[rng() % alphabet.size()]);
    return s;
  };

  std::deque<TItem> storage;
  WildReference reference;
  TWildPatternList<TItem> list;
  for (int step = 0; step < 4000; ++step) {
    if (rng() % 4 != 0) {
      const std::string pattern = randomText("aB?*", 1, 5);
      const bool accepted =
          RoutePattern(pattern).kind != TPatternKind::Refused && !reference.Has(pattern);
      storage.push_back(TItem{pattern});
      ASSERT_EQ(list.Add(pattern, &storage.back()), accepted) << pattern;
      if (accepted) reference.Add(&storage.back());
    } else if (list.Count() > 0) {
      const int index = static_cast<int>(rng() % static_cast<unsigned>(list.Count()));
      const std::string pattern = list.GetKey(index);
      list.Delete(index);
      reference.Remove(pattern);
    }
    for (int probe = 0; probe < 3; ++probe) {
      const std::string text = randomText("abA?", 0, 7);
      ASSERT_EQ(Name(list.Match(text)), Name(reference.Match(text))) << "text '" << text << "'";
    }
  }
}

}  // namespace
