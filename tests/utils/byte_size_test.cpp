#include "utils/byte_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = kKiB * 1024;
constexpr std::int64_t kGiB = kMiB * 1024;
constexpr std::int64_t kPiB = kGiB * 1024 * 1024;

TEST(FormatByteSizeTest, UnitsAndRounding) {
  struct Case {
    std::int64_t bytes;
    const char* expected;
  } cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {-5, "-5 B"},
      {-5 * kGiB, "-5368709120 B"},  // negatives stay in bytes
      {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808 B"},
      {1024, "1.00 KiB"},
      {1536, "1.50 KiB"},
      {3 * kGiB, "3.00 GiB"},
      {3200, "3.13 KiB"},                 // 3.125: a tie rounds up
      {1034, "1.01 KiB"},                 // 1.0098
      {1029, "1.00 KiB"},                 // 1.0049
      {999 * kKiB + 1020, "1000.00 KiB"}, // 999.996: two decimals carry over
      {1000 * kKiB + 61, "1000.10 KiB"},  // 1000.0596: five digits leave one decimal
      {1023 * kKiB + 512, "1023.50 KiB"},
      {kMiB - 1, "1024.00 KiB"},          // 1023.999 rounds to 1024.0
      {kMiB, "1.00 MiB"},
      {kGiB + kGiB / 4, "1.25 GiB"},
      {1023 * kPiB, "1023.00 PiB"},
      {1024 * kPiB, "1.00 EiB"},
      {std::numeric_limits<std::int64_t>::max(), "8.00 EiB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatByteSize(c.bytes), c.expected) << c.bytes;
  }
}

TEST(FormatByteSizeTest, ThirtyTwoBitCounts) {
  EXPECT_EQ(FormatByteSize32(1023), "1023 B");
  EXPECT_EQ(FormatByteSize32(1536), "1.50 KiB");
  // Unsigned: the top bit is a size, not a sign.
  EXPECT_EQ(FormatByteSize32(0x80000000u), "2.00 GiB");
  EXPECT_EQ(FormatByteSize32(0xFFFFFFFFu), "4.00 GiB");
}

TEST(ParseByteSizeTest, NumbersAndUnits) {
  struct Case {
    std::string text;
    std::int64_t expected;
  } cases[] = {
      {"5 k", 5 * kKiB},
      {"5K", 5 * kKiB},
      {"5  m", 5 * kMiB},
      {"10 GiB", 10 * kGiB},  // rest after the letter ignored
      {"10g", 10 * kGiB},
      {"2t", 2 * kGiB * 1024},
      {"1p", kPiB},
      {"7", 7},
      {"7 ", 7},
      {"5b", 5},
      {"0k", 0},
      {"", 0},
      {"000000000000000000000000000000000012", 12},
      {"8191p", 8191 * kPiB},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseByteSize(c.text), c.expected) << c.text;
  }
}

TEST(ParseByteSizeTest, RefusesBadTextAndOverflow) {
  const std::string cases[] = {
      "5x",   "k",     " 5",    "-5",   "+5",   "5e",  "5\tk", "5 \xEB", "5.5k", "\xB2",
      "8192p", "9007199254740992k", "9223372036854775808", std::string(300, '9'),
      std::string(300, '9') + "k",
  };
  for (const auto& text : cases) {
    EXPECT_EQ(ParseByteSize(text), -1) << text;
  }
}

}  // namespace
