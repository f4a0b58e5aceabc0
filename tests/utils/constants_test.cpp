#include "utils/constants.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

bool Marked(std::string_view map, unsigned char byte) { return map[byte] == '1'; }

TEST(ConstantsTest, CharacterMapsCoverEveryByte) {
  for (std::string_view map : {DefaultAllowedNickChars, DefaultWordDelimiters}) {
    ASSERT_EQ(map.size(), 256u);
    EXPECT_EQ(map.find_first_not_of("01"), std::string_view::npos);
  }
}

TEST(ConstantsTest, NickMapRefusesProtocolDelimiters) {
  for (unsigned char c : {'$', '|', ' ', '<', '>', '\0', '\x05', '\xA0'}) {
    EXPECT_FALSE(Marked(DefaultAllowedNickChars, c)) << int{c};
  }
  for (unsigned char c : {'A', 'z', '0', '9', '_', '[', ']', '-', '.'}) {
    EXPECT_TRUE(Marked(DefaultAllowedNickChars, c)) << c;
  }
}

TEST(ConstantsTest, WordDelimitersArePunctuation) {
  for (unsigned char c : {' ', '.', ',', '!', '?', '|', '$'}) {
    EXPECT_TRUE(Marked(DefaultWordDelimiters, c)) << c;
  }
  for (unsigned char c : {'a', 'Z', '0', '\xE4', '\0'}) {
    EXPECT_FALSE(Marked(DefaultWordDelimiters, c)) << int{c};
  }
}

TEST(ConstantsTest, VersionPassesTheSettingsGate) {
  EXPECT_GE(kProgramVersion, std::string_view("1.034"));
  EXPECT_EQ(FixedFormat.DecimalSeparator, '.');
}

}  // namespace
