#include "utils/general.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(WinsockErrorNameTest, KnownCodesByNameOthersByNumber) {
  struct Case {
    int code;
    const char* expected;
  } cases[] = {
      {10014, "WSAEFAULT"},       {10022, "WSAEINVAL"},      {10036, "WSAEINPROGRESS"},
      {10038, "WSAENOTSOCK"},     {10048, "WSAEADDRINUSE"},  {10050, "WSAENETDOWN"},
      {10053, "WSAECONNABORTED"}, {10055, "WSAENOBUFS"},     {10093, "WSANOTINITIALISED"},
      {10035, "10035"},           {0, "0"},                  {-1, "-1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WinsockErrorName(c.code), c.expected) << c.code;
  }
}

TEST(PrefixDiffersTest, NeedsPrefixFollowedByTerminator) {
  struct Case {
    const char* prefix;
    const char* text;
    char terminator;
    bool expected;
  } cases[] = {
      {"<Bob>", "<Bob> hello", ' ', false},
      {"Bob", "Bob$rest", '$', false},
      {"<Bob>", "<Bobby> hello", ' ', true},   // longer nick in the text
      {"<Bob>", "<Bob>", ' ', true},           // nothing after the prefix
      {"<Bob>", "<Bo", ' ', true},             // text shorter than the prefix
      {"<Bob>", "<bob> hi", ' ', true},        // exact bytes, not folded
      {"<Bob>", "<Bob>|hi", ' ', true},        // wrong terminator
      {"", " hello", ' ', true},               // empty prefix never passes
      {"", "", ' ', true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrefixDiffers(c.prefix, c.text, c.terminator), c.expected)
        << c.prefix << " / " << c.text;
  }
}

TEST(MatchPrefixListTest, ProperPrefixOfSomeEntry) {
  struct Case {
    const char* prefixes;
    const char* text;
    bool caseSensitive;
    bool expected;
  } cases[] = {
      {"[A];[B]", "[B]Bob", false, true},
      {"[A]", "[A]", false, false},          // equal is not enough
      {"[A]", "[a]bob", false, true},
      {"[A]", "[a]bob", true, false},
      {"[\xC4]", "[\xE4]bob", false, true},  // 8-bit letters fold too
      {"[\xC4]", "[\xE4]bob", true, false},
      {"[A];[B]", "[C]Bob", false, false},
      {"", "anything", false, true},         // no requirement
      {";;", "anything", false, true},       // separators only: still none
      {"[A]", "", false, false},
      {"[A];;[B]", "Zed", false, false},     // an empty entry matches nothing
      {"[A];", "Zed", false, false},
      {";[A]", "[A]x", true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchPrefixList(c.prefixes, c.text, c.caseSensitive), c.expected)
        << c.prefixes << " / " << c.text << " / " << c.caseSensitive;
  }
}

TEST(FormatOrListTest, JoinsNonEmptyEntries) {
  struct Case {
    const char* list;
    const char* expected;
  } cases[] = {
      {"[A];[B];[C]", "[A] or [B] or [C]"},
      {"[A]", "[A]"},
      {";[A];;[B];", "[A] or [B]"},
      {"", ""},
      {";;;", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatOrList(c.list, "or"), c.expected) << c.list;
  }
}

TEST(CharTailLengthTest, CountsFromFirstOccurrence) {
  struct Case {
    const char* text;
    char c;
    std::ptrdiff_t expected;
  } cases[] = {
      {"abc$def", '$', 4}, {"a$b$", '$', 3}, {"$", '$', 1},
      {"abc", '$', -1},    {"", '$', -1},    {"ab\xA7", '\xA7', 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CharTailLength(c.text, c.c), c.expected) << c.text;
  }
}

TEST(ClampIntTest, KeepsValueInRange) {
  struct Case {
    int value, min, max, expected;
  } cases[] = {
      {5, 0, 10, 5},         {-1, 0, 10, 0},       {11, 0, 10, 10},
      {0, 0, 10, 0},         {10, 0, 10, 10},      {INT_MIN, -5, 5, -5},
      {INT_MAX, -5, 5, 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClampInt(c.value, c.min, c.max), c.expected) << c.value;
  }
}

TEST(ScannerActionNameTest, TablesAndOutOfRange) {
  EXPECT_EQ(MainChatScannerActionName(0), "[Replace word]");
  EXPECT_EQ(MainChatScannerActionName(5), "[Kennylize message]");
  EXPECT_EQ(MainChatScannerActionName(8), "[Kick user]");
  EXPECT_EQ(PrivateScannerActionName(0), "[Skip message]");
  EXPECT_EQ(PrivateScannerActionName(2), "[Kick user]");
  EXPECT_EQ(SearchScannerActionName(0), "[Skip search]");
  EXPECT_EQ(SearchScannerActionName(1), "[Drop user]");
  for (int bad : {-1, 9, INT_MIN, INT_MAX}) {
    EXPECT_EQ(MainChatScannerActionName(bad), "") << bad;
  }
  for (int bad : {-1, 3}) {
    EXPECT_EQ(PrivateScannerActionName(bad), "") << bad;
    EXPECT_EQ(SearchScannerActionName(bad), "") << bad;
  }
}

TEST(ReadTimeStampCounterTest, Advances) {
  const std::uint64_t before = ReadTimeStampCounter();
  volatile unsigned sink = 0;
  for (unsigned i = 0; i < 100000; ++i) sink = sink ^ i;
  EXPECT_GT(ReadTimeStampCounter(), before);
}

}  // namespace
