#include "utils/pattern_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "utils/bin_list.h"
#include "base/case_tables.h"

namespace {

struct TItem {
  std::string name;
  int* freed = nullptr;
  ~TItem() {
    if (freed != nullptr) ++*freed;
  }
};

std::string Name(const TItem* item) { return item == nullptr ? "nil" : item->name; }

std::string Names(const std::vector<TItem*>& items) {
  std::string out;
  for (const TItem* item : items) out += (out.empty() ? "" : ",") + item->name;
  return out;
}

struct RouteCase {
  const char* pattern;
  TPatternKind kind;
  const char* key;
};

void PrintTo(const RouteCase& c, std::ostream* os) { *os << "'" << c.pattern << "'"; }

class RoutePatternTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(RoutePatternTest, PicksTrieAndKey) {
  const TPatternRoute route = RoutePattern(GetParam().pattern);
  EXPECT_EQ(route.kind, GetParam().kind);
  if (route.kind != TPatternKind::Refused) {
    EXPECT_EQ(route.key, GetParam().key);
  }
}

INSTANTIATE_TEST_SUITE_P(Patterns, RoutePatternTest,
                         ::testing::Values(RouteCase{"", TPatternKind::Refused, ""},
                                           RouteCase{"*", TPatternKind::Refused, ""},
                                           RouteCase{"**", TPatternKind::Refused, ""},
                                           RouteCase{"***", TPatternKind::Infix, "*"},
                                           RouteCase{"*a*", TPatternKind::Infix, "a"},
                                           RouteCase{"abc*", TPatternKind::Prefix, "abc"},
                                           RouteCase{"a**", TPatternKind::Prefix, "a*"},
                                           RouteCase{"a*", TPatternKind::Prefix, "a"},
                                           RouteCase{"*abc", TPatternKind::Suffix, "abc"},
                                           RouteCase{"**a", TPatternKind::Suffix, "*a"},
                                           RouteCase{"a*c", TPatternKind::Exact, "a*c"},
                                           RouteCase{"a", TPatternKind::Exact, "a"}));

struct MatchCase {
  const char* text;
  const char* match;
  const char* all;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << "'" << c.text << "'"; }

class PatternMatchTest : public ::testing::TestWithParam<MatchCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(list_.Add("nick", &a_));
    ASSERT_TRUE(list_.Add("nick*", &b_));
    ASSERT_TRUE(list_.Add("*nick", &c_));
    ASSERT_TRUE(list_.Add("*ick*", &d_));
  }
  TItem a_{"A"}, b_{"B"}, c_{"C"}, d_{"D"};
  TPatternList<TItem> list_;
};

TEST_P(PatternMatchTest, MatchAndMatchAll) {
  std::vector<TItem*> all;
  list_.MatchAll(GetParam().text, all);
  EXPECT_EQ(Name(list_.Match(GetParam().text)), GetParam().match);
  EXPECT_EQ(Names(all), GetParam().all);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PatternMatchTest,
    ::testing::Values(MatchCase{"NICK", "A", "A,B,C,D"}, MatchCase{"nickname", "B", "B,D"},
                      MatchCase{"thenick", "C", "C,D"}, MatchCase{"sticker", "D", "D"},
                      MatchCase{"xyz", "nil", ""}, MatchCase{"", "nil", ""},
                      MatchCase{"nic", "nil", ""}, MatchCase{"ick", "D", "D"},
                      MatchCase{"ICKick", "D", "D,D"}, MatchCase{"ic", "nil", ""}));

TEST(PatternListTest, RefusedPatternsAndTheStarInfix) {
  TItem item{"star"};
  TPatternList<TItem> list;
  EXPECT_FALSE(list.Add("", &item));
  EXPECT_FALSE(list.Add("*", &item));
  EXPECT_FALSE(list.Add("**", &item));
  EXPECT_FALSE(list.Add("x", nullptr));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.Add("***", &item));
  EXPECT_FALSE(list.Add("***", &item));
  EXPECT_EQ(list.MinInfix(), 1);
  EXPECT_EQ(list.Match("a*b"), &item);
  EXPECT_EQ(list.Match("ab"), nullptr);
}

// A case-sensitive list lets in "abc" beside "ABC", the case-blind trie does
// not: the add must fail and leave the list as it was.
TEST(PatternListTest, KeyRefusedByTrieIsTakenBackOut) {
  TItem upper{"ABC"};
  TItem lower{"abc"};
  TPatternList<TItem> list(4, true);
  ASSERT_TRUE(list.Add("ABC*", &upper));
  EXPECT_FALSE(list.Add("abc*", &lower));
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.IndexOf("abc*"), -1);
  EXPECT_EQ(list.Match("abcd"), &upper);
  list.Delete(0);
  EXPECT_EQ(list.Match("abcd"), nullptr);
  EXPECT_TRUE(list.Add("abc*", &lower));
  EXPECT_EQ(list.Match("ABCD"), &lower);
}

TEST(PatternListTest, RemovalKeepsTriesInStep) {
  TItem b{"B"}, d{"D"};
  TPatternList<TItem> list;
  ASSERT_TRUE(list.Add("nick*", &b));
  ASSERT_TRUE(list.Add("*ick*", &d));
  EXPECT_TRUE(list.Remove("NICK*"));
  EXPECT_EQ(list.Match("nickname"), &d);
  EXPECT_TRUE(list.TryDelete(list.IndexOf("*ick*")));
  EXPECT_EQ(list.Match("sticker"), nullptr);
  EXPECT_FALSE(list.TryDelete(0));
  EXPECT_THROW(list.Delete(0), EAssertionFailed);
  EXPECT_TRUE(list.Add("nick*", &b));
}

TEST(PatternListTest, ClearingEmptiesTriesAndFreesOnRequest) {
  int freed = 0;
  TPatternList<TItem> list;
  for (const char* pattern : {"a", "b*", "*c", "*d*"})
    ASSERT_TRUE(list.Add(pattern, new TItem{pattern, &freed}));
  EXPECT_TRUE(list.RemoveAndFree("b*"));
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(list.Match("bb"), nullptr);
  list.ClearAndFree();
  EXPECT_EQ(freed, 4);
  for (const char* text : {"a", "xc", "xdx"}) EXPECT_EQ(list.Match(text), nullptr) << text;

  TItem kept{"kept", &freed};
  ASSERT_TRUE(list.Add("*d*", &kept));
  list.Clear();
  EXPECT_EQ(freed, 4);
  EXPECT_EQ(list.Match("xdx"), nullptr);
  EXPECT_TRUE(list.Add("*d*", &kept));
}

// Owners choosing the list class at run time get the pattern list's own
// Add and Delete through the base.
TEST(PatternListTest, CreatedThroughClassReference) {
  TItem item{"x"};
  const TBinListClass<TItem> make = &CreateBinList<TPatternList<TItem>>;
  std::unique_ptr<TBinList<TItem>> list = make(4);
  EXPECT_FALSE(list->Add("*", &item));
  EXPECT_TRUE(list->Add("ab*", &item));
  EXPECT_TRUE(list->Remove("ab*"));
  EXPECT_TRUE(list->Add("ab*", &item));
}

// Random patterns and texts over a small alphabet against a brute-force
// reading of the matching rules, with removals by key and by index.
class PatternListReference {
 public:
  bool Accepts(const std::string& pattern) const {
    if (RoutePattern(pattern).kind == TPatternKind::Refused) return false;
    return std::none_of(entries_.begin(), entries_.end(),
                        [&](const TItem* item) { return SameText(item->name, pattern); });
  }
  void Add(TItem* item) { entries_.push_back(item); }
  void Remove(const std::string& pattern) {
    std::erase_if(entries_, [&](const TItem* item) { return SameText(item->name, pattern); });
  }

  // Matches in MatchAll order: exact, prefixes and suffixes shortest first,
  // infixes by position then length.
  std::vector<TItem*> All(std::string_view text) const {
    std::vector<TItem*> out;
    for (const THit& hit : Hits(text)) out.push_back(hit.item);
    return out;
  }

  // The longest of the first group that answers (for infixes: the first
  // position that has one).
  TItem* Match(std::string_view text) const {
    const std::vector<THit> hits = Hits(text);
    if (hits.empty()) return nullptr;
    std::size_t last = 0;
    while (last + 1 < hits.size() && hits[last + 1].kind == hits[0].kind &&
           hits[last + 1].position == hits[0].position)
      ++last;
    return hits[last].item;
  }

 private:
  struct THit {
    TItem* item;
    TPatternKind kind;
    std::size_t position;
  };

  std::vector<THit> Hits(std::string_view text) const {
    std::vector<THit> out;
    if (text.empty()) return out;
    Collect(TPatternKind::Exact, 0, out, [&](std::string_view key) { return SameText(key, text); });
    Collect(TPatternKind::Prefix, 0, out, [&](std::string_view key) {
      return key.size() <= text.size() && SameText(key, text.substr(0, key.size()));
    });
    Collect(TPatternKind::Suffix, 0, out, [&](std::string_view key) {
      return key.size() <= text.size() && SameText(key, text.substr(text.size() - key.size()));
    });
    for (std::size_t i = 0; i < text.size(); ++i) {
      Collect(TPatternKind::Infix, i, out, [&](std::string_view key) {
        return i + key.size() <= text.size() && SameText(key, text.substr(i, key.size()));
      });
    }
    return out;
  }

  template <typename Fits>
  void Collect(TPatternKind kind, std::size_t position, std::vector<THit>& out, Fits fits) const {
    std::vector<TItem*> found;
    for (TItem* item : entries_) {
      const TPatternRoute route = RoutePattern(item->name);
      if (route.kind == kind && fits(route.key)) found.push_back(item);
    }
    std::sort(found.begin(), found.end(),
              [](const TItem* x, const TItem* y) { return x->name.size() < y->name.size(); });
    for (TItem* item : found) out.push_back(THit{item, kind, position});
  }

  std::vector<TItem*> entries_;
};

TEST(PatternListTest, MatchesBruteForceReference) {
  std::mt19937 rng(5);
  auto randomText = [&](const std::string& alphabet, int minLength, int maxLength) {
    std::string s;
    const int length =
        minLength + static_cast<int>(rng() % static_cast<unsigned>(maxLength - minLength + 1));
    for (int i = 0; i < length; ++i) s.push_back(alphabet[rng() % alphabet.size()]);
    return s;
  };

  std::deque<TItem> storage;
  PatternListReference reference;
  TPatternList<TItem> list;
  for (int step = 0; step < 4000; ++step) {
    const unsigned op = rng() % 8;
    if (op < 5) {
      const std::string pattern = randomText("abA*", 1, 5);
      const bool accepted = reference.Accepts(pattern);
      storage.push_back(TItem{pattern});
      ASSERT_EQ(list.Add(pattern, &storage.back()), accepted) << pattern;
      if (accepted) reference.Add(&storage.back());
    } else if (list.Count() > 0) {
      const int index = static_cast<int>(rng() % static_cast<unsigned>(list.Count()));
      const std::string pattern = list.GetKey(index);
      if (op == 5) {
        ASSERT_TRUE(list.Remove(UpperString(pattern))) << pattern;
      } else {
        list.Delete(index);
      }
      reference.Remove(pattern);
    }
    for (int probe = 0; probe < 3; ++probe) {
      const std::string text = randomText("abB*", 0, 8);
      std::vector<TItem*> all;
      list.MatchAll(text, all);
      ASSERT_EQ(Name(list.Match(text)), Name(reference.Match(text))) << "text '" << text << "'";
      ASSERT_EQ(Names(all), Names(reference.All(text))) << "text '" << text << "'";
    }
  }
}

}  // namespace
