// MatchAllInMatchOrder: every match, in the order Match would choose them.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "utils/pattern_list.h"
#include "utils/wild_pattern_list.h"

namespace {

struct TItem {
  std::string name;
};

std::string Names(const std::vector<TItem*>& items) {
  std::string out;
  for (const TItem* item : items) out += (out.empty() ? "" : ",") + item->name;
  return out;
}

template <typename List>
void Fill(List& list, std::deque<TItem>& items, std::initializer_list<const char*> patterns) {
  for (const char* pattern : patterns) {
    items.push_back(TItem{pattern});
    ASSERT_TRUE(list.Add(pattern, &items.back())) << pattern;
  }
}

TEST(PatternListOrderTest, LongestFirstWithinEachKind) {
  std::deque<TItem> items;
  TPatternList<TItem> list;
  Fill(list, items,
       {"nickname", "n*", "nick*", "nickn*", "*e", "*name", "*ck*", "*nick*", "*ic*", "*am*"});
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      // Exact; prefixes 6, 4, 1 long; suffixes 4, 1; infixes at 0 ("nick"),
      // at 1 ("ic"), at 2 ("ck"), at 5 ("am").
      {"nickname", "nickname,nickn*,nick*,n*,*name,*e,*nick*,*ic*,*ck*,*am*"},
      {"sticky", "*ic*,*ck*"},
      {"xyz", ""},
  };
  for (const auto& c : cases) {
    std::vector<TItem*> ordered;
    list.MatchAllInMatchOrder(c.text, ordered);
    EXPECT_EQ(Names(ordered), c.expected) << c.text;
    if (!ordered.empty()) {
      EXPECT_EQ(ordered.front(), list.Match(c.text)) << c.text;
    }
    // The same matches as MatchAll, only ordered.
    std::vector<TItem*> all;
    list.MatchAll(c.text, all);
    std::sort(all.begin(), all.end());
    std::sort(ordered.begin(), ordered.end());
    EXPECT_EQ(all, ordered) << c.text;
  }
}

TEST(PatternListOrderTest, WildListStartsWithMatch) {
  std::deque<TItem> items;
  TWildPatternList<TItem> list;
  Fill(list, items, {"a*", "ab*", "abc*", "a?c*", "*.example.?om", "*.com"});
  for (const char* text : {"abcd", "axcd", "host.example.com", "host.other.com"}) {
    std::vector<TItem*> ordered;
    list.MatchAllInMatchOrder(text, ordered);
    ASSERT_FALSE(ordered.empty()) << text;
    EXPECT_EQ(ordered.front(), list.Match(text)) << text;
  }
  std::vector<TItem*> ordered;
  list.MatchAllInMatchOrder("abcd", ordered);
  EXPECT_EQ(Names(ordered), "abc*,ab*,a*");
}

}  // namespace
