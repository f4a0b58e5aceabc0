#include "core/read_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/exceptions.h"
#include "utils/string_list.h"

namespace {

// Simulates a receive of `bytes` into the buffer.
void Receive(TReadBuffer& buffer, std::string_view bytes) {
  buffer.Allocate();
  ASSERT_LE(static_cast<int>(bytes.size()), buffer.FreeSpace());
  std::memcpy(buffer.FreeArea(), bytes.data(), bytes.size());
  buffer.AddFilled(static_cast<int>(bytes.size()));
}

std::vector<std::string> Items(const TStringList& list) {
  std::vector<std::string> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.Get(i));
  return items;
}

TEST(ReadBufferTest, ReceiveNeverPassesTheBlock) {
  TReadBuffer buffer;
  EXPECT_EQ(buffer.FreeSpace(), 0);
  EXPECT_EQ(buffer.FreeArea(), nullptr);
  buffer.Allocate();
  EXPECT_EQ(buffer.FreeSpace(), 32768);
  buffer.AddFilled(32760);
  EXPECT_EQ(buffer.FreeSpace(), 8);
  EXPECT_THROW(buffer.AddFilled(9), EAssertionFailed);
  EXPECT_THROW(buffer.AddFilled(-1), EAssertionFailed);
  buffer.AddFilled(8);
  EXPECT_EQ(buffer.FreeSpace(), 0);
}

TEST(ReadBufferTest, CompactKeepsTheUnparsedTail) {
  struct Case {
    const char* received;
    int scan;
    const char* kept;  // nullptr: the block is given back
  };
  const Case cases[] = {
      {"$Key abc|$ValidateNick bo", 9, "$ValidateNick bo"},
      {"partial", 0, "partial"},
      {"$Key abc|", 9, nullptr},
      {"", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.received);
    TReadBuffer buffer;
    Receive(buffer, c.received);
    buffer.SetScanPosition(c.scan);
    buffer.Compact();
    if (c.kept == nullptr) {
      EXPECT_FALSE(buffer.HasBlock());
      EXPECT_EQ(buffer.Filled(), 0);
      EXPECT_EQ(buffer.ScanPosition(), 0);
      continue;
    }
    const int size = static_cast<int>(std::strlen(c.kept));
    ASSERT_TRUE(buffer.HasBlock());
    EXPECT_EQ(buffer.Filled(), size);
    EXPECT_EQ(buffer.ScanPosition(), size);
    EXPECT_EQ(std::string_view(buffer.Data(), static_cast<std::size_t>(size)), c.kept);
    EXPECT_EQ(buffer.FreeSpace(), 32768 - size);
  }
}

TEST(ReadBufferTest, ReleaseResetsEverything) {
  TReadBuffer buffer;
  Receive(buffer, "$Hello|abc");
  buffer.SetMessage(0, 6);
  buffer.SetScanPosition(7);
  buffer.Release();
  EXPECT_FALSE(buffer.HasBlock());
  EXPECT_EQ(buffer.Filled() + buffer.ScanPosition() + buffer.MessageStart() + buffer.MessageEnd(), 0);
  EXPECT_EQ(buffer.GetMessage(), "");
}

TEST(ReadBufferTest, FindsWithinTheRangeOnly) {
  TReadBuffer buffer;
  Receive(buffer, "$To: a From: b $<b> x|$Search");
  buffer.SetMessage(0, 21);
  EXPECT_EQ(buffer.GetMessage(), "$To: a From: b $<b> x|");
  struct Case {
    const char* pattern;
    char c;
    int from, to;
    int found, first, last;  // Find, FindChar, FindCharBack
  };
  const Case cases[] = {
      {"From: ", 'F', 0, -1, 7, 7, 7},  // to < 0: the message end
      {"$<", '$', 1, -1, 15, 15, 15},
      {"$S", '$', 0, 28, 22, 0, 22},
      {"$Search", '|', 0, -1, -1, 21, 21},  // the pattern is in the next message
      {"x|", 'x', 20, 21, 20, 20, 20},
      {"x|$", 'x', 20, 21, -1, 20, 20},     // would cross the range end
      {"$", '$', 21, 20, -1, -1, -1},       // reversed
      {"$", '$', 0, 29, -1, -1, -1},        // past the filled bytes
      {"$", '$', -1, 5, -1, -1, -1},
      {"", '$', 0, 5, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pattern << " " << c.from << ".." << c.to);
    EXPECT_EQ(buffer.Find(c.pattern, c.from, c.to), c.found);
    EXPECT_EQ(buffer.FindChar(c.c, c.from, c.to), c.first);
    EXPECT_EQ(buffer.FindCharBack(c.c, c.from, c.to), c.last);
  }
}

TEST(ReadBufferTest, SubStringIsBoundedByTheFilledBytes) {
  TReadBuffer buffer;
  Receive(buffer, "abc");
  EXPECT_EQ(buffer.SubString(0, 2), "abc");
  EXPECT_EQ(buffer.SubString(2, 2), "c");
  EXPECT_THROW(buffer.SubString(1, 3), EAssertionFailed);
  EXPECT_THROW(buffer.SubString(2, 1), EAssertionFailed);
  EXPECT_THROW(buffer.SubString(-1, 1), EAssertionFailed);
  TReadBuffer empty;
  EXPECT_THROW(empty.SubString(0, 0), EAssertionFailed);
}

TEST(ReadBufferTest, SplitWords) {
  TReadBuffer buffer;
  Receive(buffer, "+kick  bob  flooding the chat |");
  struct Case {
    int from, to, max;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {0, 10, 10, {"+kick", "bob"}},  // two spaces between two words
      {0, 30, 10, {"+kick", "bob", "flooding", "the", "chat", "|"}},
      {0, 29, 3, {"+kick", "bob", "flooding"}},
      {0, 29, 0, {}},
      {5, 6, 10, {}},
      {9, 8, 10, {}},
      {7, 8, 10, {"bo"}},
  };
  TStringList list;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << ".." << c.to << " max " << c.max);
    list.Add("stale");
    buffer.SplitWords(list, c.from, c.to, c.max);
    EXPECT_EQ(Items(list), c.expected);
  }
  EXPECT_THROW(buffer.SplitWords(list, 0, 31, 10), EAssertionFailed);
  EXPECT_THROW(buffer.SplitWords(list, -1, 5, 10), EAssertionFailed);
}

TEST(ReadBufferTest, FramingStateIsChecked) {
  TReadBuffer buffer;
  Receive(buffer, "ab|");
  EXPECT_THROW(buffer.SetMessage(0, 3), EAssertionFailed);
  EXPECT_THROW(buffer.SetMessage(-1, 2), EAssertionFailed);
  EXPECT_THROW(buffer.SetScanPosition(4), EAssertionFailed);
  buffer.SetScanPosition(3);
  buffer.SetMessage(0, 2);
  EXPECT_EQ(buffer.GetMessage(), "ab|");
}

}  // namespace
