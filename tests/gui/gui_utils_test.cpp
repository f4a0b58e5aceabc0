#include "gui/gui_utils.h"

#include <gtest/gtest.h>

namespace {

struct TFindCase {
  const char* Text;
  int Index;
  bool Found;
};

TEST(FindSortedStringTest, FindsWithoutCaseOrGivesTheInsertPlace) {
  const std::vector<std::string> sorted = {"alpha", "Bravo", "charlie", "DELTA"};
  const TFindCase cases[] = {
      {"alpha", 0, true},  {"ALPHA", 0, true},  {"bravo", 1, true}, {"Delta", 3, true},
      {"aaa", 0, false},   {"b", 1, false},     {"c", 2, false},    {"zulu", 4, false},
      {"charliex", 3, false}, {"", 0, false},
  };
  for (const TFindCase& c : cases) {
    bool found = !c.Found;
    EXPECT_EQ(FindSortedString(sorted, c.Text, found), c.Index) << c.Text;
    EXPECT_EQ(found, c.Found) << c.Text;
  }
  bool found = true;
  EXPECT_EQ(FindSortedString({}, "x", found), 0);
  EXPECT_FALSE(found);
}

}  // namespace
