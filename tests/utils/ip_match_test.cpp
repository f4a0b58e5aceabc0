#include "utils/ip_match.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(MatchIPPatternListTest, EntriesCoverAddresses) {
  struct Case {
    const char* patterns;
    const char* ip;
    bool expected;
  } cases[] = {
      {"10.0", "10.0.3.4", true},          // ends on an octet boundary
      {"10.0.", "10.0.3.4", true},
      {"10.0", "10.01.3.4", false},        // ends inside an octet
      {"10.0.", "10.01.3.4", false},
      {"10.0.3.4", "10.0.3.4", true},
      {"10.0.3.4", "10.0.3.45", false},
      {"10.0.3.45", "10.0.3.4", false},    // entry goes on with a digit
      {"10.0.3.4.", "10.0.3.4", true},     // address used up, entry goes on with '.'
      {"10.*", "10.200.1.1", true},
      {"*", "1.2.3.4", true},
      {"1*", "10.0.0.1", true},            // '*' in mid-octet: the rest is free
      {"11.*", "10.0.0.1", false},
      {"192.168.;10.", "10.1.1.1", true},  // second entry
      {"192.168.;;", "10.1.1.1", false},   // empty entries cover nothing
      {"", "1.2.3.4", true},               // no list, no restriction
      {";;", "1.2.3.4", true},
      {"10", "", false},
      {"\xA0\xFF", "1.2.3.4", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchIPPatternList(c.patterns, c.ip), c.expected) << c.patterns << " / " << c.ip;
  }
}

TEST(NormalizeIPMaskTest, AcceptsMasks) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"10.0.*", "10.0.*"},
      {"10", "10.*"},
      {"10.", "10.*"},
      {"", "*"},
      {"*", "*"},
      {"1.2.3", "1.2.3.*"},
      {"1.2.3.*", "1.2.3.*"},
      {"1.2.3.4", "1.2.3.4"},
      {"0.0.0.0", "0.0.0.0"},
      {"255.255.255.255", "255.255.255.255"},
      {"001.002.003.004", "1.2.3.4"},
      {"192.168.*.*", "192.168.*"},
      {"*.*.*.*", "*"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormalizeIPMask(c.text), std::optional<std::string>(c.expected)) << c.text;
  }
}

TEST(NormalizeIPMaskTest, RefusesMalformedText) {
  const std::string longRun(300, '9');
  const std::string cases[] = {
      "10.300.1.1", "1.2.x",     "256",       "1.2.3.4x",  "1.2.3.4.5", "1.2.3.4.*",
      "1.2.3.4.",   "10.*.5",    "10.*x",     "10.*.",     "10..1",     ".1",
      "-1",         "+1",        " 1",        "1 ",        "1,2",       "\xB9",
      "1.\xFF",     "**",        longRun,     "1." + longRun,
  };
  for (const auto& text : cases) {
    EXPECT_EQ(NormalizeIPMask(text), std::nullopt) << text;
  }
}

}  // namespace
