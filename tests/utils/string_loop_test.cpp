#include "utils/string_loop.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/exceptions.h"

namespace {

std::vector<std::string> Lines(const TStringLoop& loop) {
  std::vector<std::string> out;
  for (int i = 0; i < loop.GetCount(); ++i) out.push_back(loop.GetItem(i));
  return out;
}

struct LoopCase {
  const char* name;
  int capacity;
  std::vector<std::string> added;
  std::vector<std::string> expected;  // oldest first
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.name; }

class StringLoopOrder : public testing::TestWithParam<LoopCase> {};

TEST_P(StringLoopOrder, KeepsTheLastLinesOldestFirst) {
  const LoopCase& c = GetParam();
  TStringLoop loop(c.capacity);
  for (const auto& line : c.added) loop.Add(line);
  EXPECT_EQ(Lines(loop), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringLoopOrder,
    testing::Values(LoopCase{"Empty", 3, {}, {}},
                    LoopCase{"NotFull", 3, {"a", "b"}, {"a", "b"}},
                    LoopCase{"ExactlyFull", 3, {"a", "b", "c"}, {"a", "b", "c"}},
                    LoopCase{"OneOver", 3, {"a", "b", "c", "d"}, {"b", "c", "d"}},
                    LoopCase{"WrappedTwice", 3, {"a", "b", "c", "d", "e", "f", "g"}, {"e", "f", "g"}},
                    LoopCase{"CapacityOne", 1, {"a", "b", "c"}, {"c"}},
                    LoopCase{"CapacityOneSingle", 1, {"a"}, {"a"}}),
    [](const testing::TestParamInfo<LoopCase>& row) { return std::string(row.param.name); });

TEST(StringLoop, RefusesCapacityBelowOne) {
  for (int capacity : {0, -1, -2147483647 - 1}) {
    SCOPED_TRACE(capacity);
    EXPECT_THROW(TStringLoop{capacity}, EKavroException);
  }
}

TEST(StringLoop, OutOfRangeItemIsEmpty) {
  TStringLoop loop(2);
  loop.Add("a");
  loop.Add("b");
  loop.Add("c");
  for (int i : {-1, 2, 3}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(loop.GetItem(i), "");
  }
}

TEST(StringLoop, StaysBoundedOverALongRun) {
  TStringLoop loop(50);
  for (int i = 0; i < 100000; ++i) loop.Add(std::to_string(i));
  EXPECT_EQ(loop.GetCount(), 50);
  EXPECT_EQ(loop.GetItem(0), "99950");
  EXPECT_EQ(loop.GetItem(49), "99999");
}

}  // namespace
