#include "core/buffer_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "core/read_buffer.h"
#include "core/write_buffer.h"

namespace {

TEST(BufferTextTest, AppendTabPadded) {
  struct Case {
    std::string text;
    int column;
    bool fits;
    int tabs;
  };
  const Case cases[] = {
      {"Nick", 2, true, 2},                     // 7 + 2 + 5 + 5 = 19
      {std::string(10, '@'), 1, false, 0},      // width 100: past stop 1
      {std::string(10, '@'), 3, true, 1},
      {"", 3, true, 3},
      {std::string(6, '#'), 2, true, 1},        // exactly 48: one stop used
      {std::string(47, 'i'), 1, true, 0},       // 2 wide each: 94
      {"\x01\x02\x1E", 1, true, 1},             // control characters take no room
      {std::string(5, '\x1F'), 1, true, 0},     // code 31 is 11 wide: 55
      {"\x89\x89\x89\x89", 1, true, 0},         // per mille sign, 15 wide: 60
      {"WW@@\xC6\xC6", 1, true, 0},             // 10 wide each: 60
      {"\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 2, true, 1},  // 6 wide each: 48
      {"x", -1, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TWriteBuffer buffer;
    EXPECT_EQ(AppendTabPadded(c.text, buffer, c.column), c.fits);
    EXPECT_EQ(buffer.GetString(), c.text + std::string(static_cast<std::size_t>(c.tabs), '\t'));
  }
}

TEST(BufferTextTest, GetTextFromWord) {
  const std::string_view line = "+ban  bob 1h  spamming the chat  |";
  TReadBuffer buffer;
  buffer.Allocate();
  std::memcpy(buffer.FreeArea(), line.data(), line.size());
  buffer.AddFilled(static_cast<int>(line.size()));
  const int last = static_cast<int>(line.size()) - 2;  // before the '|'
  struct Case {
    int n, first, lastPos;
    const char* expected;
  };
  const Case cases[] = {
      {0, 0, last, "+ban  bob 1h  spamming the chat  "},
      {1, 0, last, "bob 1h  spamming the chat  "},
      {3, 0, last, "spamming the chat  "},
      {5, 0, last, "chat  "},
      {6, 0, last, ""},  // only trailing spaces after the last word
      {9, 0, last, ""},
      {0, 4, last, "bob 1h  spamming the chat  "},  // leading spaces skipped
      {1, 5, 11, "1h"},
      {0, 3, 3, "n"},
      {0, 5, 4, ""},    // reversed
      {0, -1, 4, ""},
      {0, 0, 34, ""},   // past the data
      {-1, 0, last, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << " " << c.first << ".." << c.lastPos);
    EXPECT_EQ(GetTextFromWord(buffer, c.n, c.first, c.lastPos), c.expected);
  }
  TReadBuffer empty;
  EXPECT_EQ(GetTextFromWord(empty, 0, 0, 0), "");
}

}  // namespace
