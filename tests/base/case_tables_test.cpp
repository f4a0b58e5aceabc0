#include "base/case_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

struct CasePair {
  unsigned char upper;
  unsigned char lower;
};

// Every Windows-1252 letter pair; everything else folds to itself.
std::vector<CasePair> Windows1252Pairs() {
  std::vector<CasePair> pairs;
  for (int c = 'A'; c <= 'Z'; ++c) pairs.push_back({static_cast<unsigned char>(c), static_cast<unsigned char>(c + 32)});
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) pairs.push_back({static_cast<unsigned char>(c), static_cast<unsigned char>(c + 32)});
  pairs.push_back({0x8A, 0x9A});
  pairs.push_back({0x8C, 0x9C});
  pairs.push_back({0x8E, 0x9E});
  pairs.push_back({0x9F, 0xFF});
  return pairs;
}

TEST(CaseTables, FoldsExactlyTheWindows1252Letters) {
  std::array<bool, 256> isLetter{};
  for (const auto& p : Windows1252Pairs()) {
    EXPECT_EQ(LowerChar(static_cast<char>(p.upper)), p.lower) << int(p.upper);
    EXPECT_EQ(LowerChar(static_cast<char>(p.lower)), p.lower) << int(p.lower);
    EXPECT_EQ(UpperChar(static_cast<char>(p.lower)), p.upper) << int(p.lower);
    EXPECT_EQ(UpperChar(static_cast<char>(p.upper)), p.upper) << int(p.upper);
    isLetter[p.upper] = isLetter[p.lower] = true;
  }
  for (int c = 0; c < 256; ++c) {
    if (isLetter[static_cast<std::size_t>(c)]) continue;
    EXPECT_EQ(LowerChar(static_cast<char>(c)), c) << c;
    EXPECT_EQ(UpperChar(static_cast<char>(c)), c) << c;
  }
}

TEST(CaseTables, SignedCharsIndexAsUnsigned) {
  // A plain char holding 0xC9 is negative on x86; it must still fold.
  const char e = '\xC9';
  EXPECT_EQ(LowerChar(e), 0xE9);
  EXPECT_TRUE(SameText("\xC9T\xC9", "\xE9t\xE9"));
  EXPECT_EQ(UpperString("stra\xDF" "e \xFF"), "STRA\xDF" "E \x9F");
}

struct CompareCase {
  const char* a;
  const char* b;
  int sign;
};

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CaseTables, CompareTextIgnoresCase) {
  const CompareCase cases[] = {
      {"abc", "ABD", -1}, {"ABC", "abc", 0}, {"abc", "ab", 1}, {"ab", "abc", -1},
      {"", "", 0},        {"", "a", -1},     {"\xE9", "\xC9", 0}, {"b", "A", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(Sign(CompareTextPChar(c.a, c.b)), c.sign) << c.a << " / " << c.b;
}

TEST(CaseTables, CompareStrIsExact) {
  EXPECT_LT(CompareStrPChar("ABC", "abc"), 0);
  EXPECT_EQ(CompareStrPChar("abc", "abc"), 0);
  // Bytes compare unsigned: 0xE9 sorts after 'z'.
  EXPECT_GT(CompareStrPChar("\xE9", "z"), 0);
}

TEST(CaseTables, NilSafeCompares) {
  const std::string a = "a";
  const std::string upperA = "A";
  EXPECT_LT(CompareTextNilSafe(nullptr, &a), 0);
  EXPECT_GT(CompareTextNilSafe(&a, nullptr), 0);
  EXPECT_EQ(CompareTextNilSafe(nullptr, nullptr), 0);
  EXPECT_EQ(CompareTextNilSafe(&a, &upperA), 0);
  EXPECT_NE(CompareStrNilSafe(&a, &upperA), 0);
}

TEST(CaseTables, CompareTextNStopsAtNOrEndOfB) {
  EXPECT_EQ(CompareTextN("NICKNAME", "nickel", 4), 0);
  EXPECT_NE(CompareTextN("NICKNAME", "nickel", 5), 0);
  EXPECT_GT(CompareTextN("nick", "ni", 4), 0);
  EXPECT_EQ(CompareTextN("x", "y", 0), 0);
}

TEST(CaseTables, BackwardCompares) {
  EXPECT_EQ(CompareTextBackwards("the NICK", "nick", 4), 0);
  EXPECT_NE(CompareBackwards("the NICK", "nick", 4), 0);
  EXPECT_EQ(CompareBackwards("abcd", "xcd", 2), 0);
  EXPECT_GT(CompareBackwards("abcd", "xbd", 2), 0);  // c > b
}

}  // namespace
