#include "utils/protocol_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(ProtocolSafeTextTest, ReplacesDelimiters) {
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"a b|c$", "a\xA0"
                 "b_c_"},
      {"a\0b\x05"s, "a_b_"},
      {"", ""},
      {"\xA7\xA6&#36;", "\xA7\xA6&#36;"},  // other bytes untouched
      {"  ", "\xA0\xA0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProtocolSafeText(c.text), c.expected) << c.text;
  }
}

TEST(ProtocolEscapeTest, EscapesAndUnescapes) {
  struct Case {
    const char* plain;
    const char* escaped;
  } cases[] = {
      {"$", "&#36;"},
      {"|", "&#124;"},
      {"&", "&amp;"},
      {"$Lock|", "&#36;Lock&#124;"},
      {"&#36;", "&amp;#36;"},  // a literal entity survives the trip
      {"", ""},
      {"plain \xA7 text", "plain \xA7 text"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeProtocolText(c.plain), c.escaped) << c.plain;
    EXPECT_EQ(UnescapeProtocolText(c.escaped), c.plain) << c.escaped;
  }
}

TEST(ProtocolEscapeTest, UnescapeLeavesUnknownSequences) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"&", "&"},
      {"&#36", "&#36"},  // cut short
      {"&lt;", "&lt;"},
      {"&&#124;", "&|"},
      {"&#124;&#124;", "||"},
      {"&amp;amp;", "&amp;"},  // one pass only
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnescapeProtocolText(c.text), c.expected) << c.text;
  }
}

TEST(ProtocolEscapeTest, RoundTripsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string samples[] = {all, "&amp;&#36;&#124;", "$$||&&", "&#"};
  for (const auto& plain : samples) {
    const std::string escaped = EscapeProtocolText(plain);
    EXPECT_EQ(escaped.find_first_of("$|"), std::string::npos);
    EXPECT_EQ(UnescapeProtocolText(escaped), plain);
  }
}

}  // namespace
