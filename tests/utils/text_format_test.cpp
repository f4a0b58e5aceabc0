#include "utils/text_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;

struct FormatCase {
  const char* name;
  std::string_view format;
  std::vector<TFormatArg> args;
  std::string_view expected;
};

std::vector<FormatCase> Cases() {
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  return {
      {"empty", "", {}, ""},
      {"no placeholder", "plain text", {"unused"}, "plain text"},
      {"text into s", "Hub: %s", {"Kavro"}, "Hub: Kavro"},
      {"number into d", "Hubs: %d", {42}, "Hubs: 42"},
      {"number into s", "%s", {-7}, "-7"},
      {"text into d", "%d", {"abc"}, "abc"},
      {"smallest signed", "%d", {kMin}, "-9223372036854775808"},
      {"largest unsigned", "%d", {kMax}, "18446744073709551615"},
      {"in order", "%s, IP address: %s was kicked (total kicks: %d) by %s",
       {"bob", "10.0.0.1", 3, "op"}, "bob, IP address: 10.0.0.1 was kicked (total kicks: 3) by op"},
      {"percent escape", "100%%", {}, "100%"},
      {"escaped s takes nothing", "%%s %s", {"a"}, "%s a"},
      {"escape then placeholder", "%%%s", {"x"}, "%x"},
      {"missing arguments stay", "%s%s%s", {"a"}, "a%s%s"},
      {"no arguments at all", "%s and %d", {}, "%s and %d"},
      {"surplus arguments ignored", "%s", {"a", "b", 3}, "a"},
      {"n is literal", "%n%n%n", {"a", "b", "c"}, "%n%n%n"},
      {"width is literal", "%999999s", {"a"}, "%999999s"},
      {"flags are literal", "%-5d|%05d|%.3s", {1, 2, "abcdef"}, "%-5d|%05d|%.3s"},
      {"other conversion is literal", "%x%s", {"a"}, "%xa"},
      {"upper case is literal", "%S%D", {"a", 1}, "%S%D"},
      {"lone trailing percent", "50%", {"a"}, "50%"},
      {"only a percent", "%", {}, "%"},
      {"argument not re-read", "%s %s", {"%s%d%n", "b"}, "%s%d%n b"},
      {"8-bit bytes around", "\xA7%s\xA6%d\xA0", {"\xE9", 5}, "\xA7\xE9\xA6" "5\xA0"},
      {"percent before 8-bit byte", "%\xA7", {"a"}, "%\xA7"},
      {"NUL in format and argument", "a\0%s\0b"sv, {"x\0y"sv}, "a\0x\0y\0b"sv},
      {"null text pointer", "[%s]", {static_cast<const char*>(nullptr)}, "[]"},
      {"CR LF and tabs kept", "%s\t\t-\t%s\r\n", {"+help", "help"}, "+help\t\t-\thelp\r\n"},
  };
}

TEST(FormatTextArgs, FillsOnlySPlaceholdersAndDPlaceholders) {
  for (const auto& c : Cases()) {
    EXPECT_EQ(FormatTextArgs(c.format, c.args), c.expected) << c.name;
  }
}

TEST(FormatTextArgs, LongFormatWithFewArgumentsKeepsTheRest) {
  std::string format;
  for (int i = 0; i < 100000; ++i) format += "%s";
  const std::vector<TFormatArg> args{"a", "b"};
  const std::string out = FormatTextArgs(format, args);
  ASSERT_EQ(out.size(), 2 + (format.size() - 4));
  EXPECT_EQ(out.substr(0, 4), "ab%s");
}

TEST(FormatText, TakesMixedArgumentTypes) {
  const std::string nick = "bob";
  const std::uint64_t share = 5'000'000'000ULL;
  const std::int32_t hubs = -1;
  const unsigned short slots = 3;
  EXPECT_EQ(FormatText("%s %d %s %d %s", nick, share, hubs, slots, std::string_view("end")),
            "bob 5000000000 -1 3 end");
  EXPECT_EQ(FormatText("%s!", std::string("temporary")), "temporary!");
  EXPECT_EQ(FormatText("no arguments %s"), "no arguments %s");
}

}  // namespace
