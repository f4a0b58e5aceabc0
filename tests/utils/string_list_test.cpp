#include "utils/string_list.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Items(const TStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

TStringList ListOf(const std::vector<std::string>& items) {
  TStringList list(1);
  for (const auto& s : items) list.Add(s);
  return list;
}

struct SplitCase {
  const char* name;
  std::string text;
  char separator;
  std::vector<std::string> expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class StringListSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(StringListSplit, YieldsRunsBetweenSeparators) {
  const SplitCase& c = GetParam();
  TStringList list(1);
  list.Add("left over");  // Split must clear first
  list.Split(c.text, c.separator);
  EXPECT_EQ(Items(list), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringListSplit,
    testing::Values(
        SplitCase{"Padded", "  a b  ", ' ', {"a", "b"}},
        SplitCase{"Empty", "", ' ', {}},
        SplitCase{"SeparatorsOnly", "     ", ' ', {}},
        SplitCase{"RunOfSeparators", "a  b", ' ', {"a", "b"}},
        SplitCase{"NoSeparator", "abc", ' ', {"abc"}},
        SplitCase{"ProtocolDollar", "$Search Hub:x F?T?0?1?a$b", '$', {"Search Hub:x F?T?0?1?a", "b"}},
        SplitCase{"HighByteSeparator", "a\xA6" "b\xA6\xA6" "c", '\xA6', {"a", "b", "c"}},
        SplitCase{"HighBytesKept", "\xE9t\xE9 x", ' ', {"\xE9t\xE9", "x"}},
        SplitCase{"SingleCharacters", "x y z", ' ', {"x", "y", "z"}}),
    [](const testing::TestParamInfo<SplitCase>& row) { return std::string(row.param.name); });

struct JoinCase {
  const char* name;
  std::vector<std::string> items;
  std::string delimiter;
  int first;
  int last;
  std::string expected;
};

void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

class StringListJoin : public testing::TestWithParam<JoinCase> {};

TEST_P(StringListJoin, JoinsTheRange) {
  const JoinCase& c = GetParam();
  TStringList list = ListOf(c.items);
  list.Delimiter = c.delimiter;
  EXPECT_EQ(list.Join(c.first, c.last), c.expected);
}

const std::vector<std::string> kXyz = {"x", "y", "z"};

INSTANTIATE_TEST_SUITE_P(
    Cases, StringListJoin,
    testing::Values(JoinCase{"FromSecondToEnd", kXyz, " ", 1, -1, "y z"},
                    JoinCase{"FirstOnly", kXyz, " ", 0, 0, "x"},
                    JoinCase{"All", kXyz, " ", 0, -1, "x y z"},
                    JoinCase{"LastOnly", kXyz, " ", 2, 2, "z"},
                    JoinCase{"FirstPastEnd", kXyz, " ", 3, -1, ""},
                    JoinCase{"FirstFarPastEnd", kXyz, " ", 1000, -1, ""},
                    JoinCase{"LastPastEndClamped", kXyz, " ", 1, 99, "y z"},
                    JoinCase{"FirstAfterLast", kXyz, " ", 2, 1, ""},
                    JoinCase{"EmptyList", {}, " ", 0, -1, ""},
                    JoinCase{"LongDelimiter", kXyz, "$$", 0, -1, "x$$y$$z"},
                    JoinCase{"EmptyDelimiter", kXyz, "", 0, -1, "xyz"},
                    JoinCase{"EmptyItemsKept", {"", "a", ""}, ",", 0, -1, ",a,"}),
    [](const testing::TestParamInfo<JoinCase>& row) { return std::string(row.param.name); });

TEST(StringList, ReadsOutOfRangeGiveEmptyResults) {
  int marker = 0;
  TStringList list(1);
  list.AddObject("a", &marker);
  for (int index : {-1, 1, 2, -2147483647 - 1, 2147483647}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(list.Get(index), "");
    EXPECT_EQ(list.GetObject(index), nullptr);
  }
  EXPECT_EQ(list.GetObject(0), &marker);
}

TEST(StringList, WritesOutOfRangeChangeNothing) {
  TStringList list = ListOf({"a", "b"});
  list.Put(2, "c");
  list.Put(-1, "c");
  list.Delete(2);
  list.Delete(-1);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b"}));
}

TEST(StringList, DeleteMovesLaterItemsWithTheirObjects) {
  int one = 1;
  int two = 2;
  TStringList list(1);
  list.Add("zero");
  list.AddObject("one", &one);
  list.AddObject("two", &two);
  list.Delete(1);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(1), "two");
  EXPECT_EQ(list.GetObject(1), &two);
  EXPECT_EQ(list.GetObject(0), nullptr);
}

TEST(StringList, PutReplacesOnlyTheString) {
  int object = 0;
  TStringList list(1);
  list.AddObject("old", &object);
  list.Put(0, "new");
  EXPECT_EQ(list.Get(0), "new");
  EXPECT_EQ(list.GetObject(0), &object);
}

TEST(StringList, GrowsByTheCommonRuleFromCapacityOne) {
  TStringList list(1);
  std::vector<int> seen = {list.Capacity()};
  for (int i = 0; i < 97; ++i) {
    list.Add(std::to_string(i));
    if (list.Capacity() != seen.back()) seen.push_back(list.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 5, 9, 25, 41, 57, 73, 97}));
  EXPECT_EQ(list.Get(96), "96");
}

TEST(StringList, CapacityOnlyGrows) {
  TStringList list(0);
  EXPECT_EQ(list.Capacity(), 1);
  list.SetCapacity(10);
  list.SetCapacity(3);
  EXPECT_EQ(list.Capacity(), 10);
  list.Add("a");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 10);
}

TEST(StringList, SplitHandlesLargeInput) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "w ";
  TStringList list(1);
  list.Split(text, ' ');
  EXPECT_EQ(list.Count(), 100000);
  EXPECT_EQ(list.Join(99998, -1), "w w");
}

}  // namespace
