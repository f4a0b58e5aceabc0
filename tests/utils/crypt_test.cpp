#include "utils/crypt.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The rule written out with wide arithmetic and an explicit modulus.
std::string ReferenceDecode(const std::string& input, std::uint64_t startKey,
                            std::uint64_t increment, std::uint64_t multiplier) {
  std::string out;
  std::uint64_t k = startKey % 65536;
  for (char ch : input) {
    const auto c = static_cast<unsigned char>(ch);
    out += static_cast<char>(c ^ (k / 256));
    k = ((k + c) * (multiplier % 65536) + increment) % 65536;
  }
  return out;
}

std::string AllBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  for (int b = 255; b >= 0; --b) s += static_cast<char>(b);
  return s;
}

TEST(CryptTest, KnownAnswers) {
  const TCrypt crypt;
  EXPECT_EQ(crypt.Decode(""), "");
  // The start key 640283 is 0xC51B in 16 bits: a first byte 0xC5 decodes to 0.
  EXPECT_EQ(crypt.Decode("\xC5"), std::string(1, '\0'));
  // Worked by hand: k = (0xC51B + 0xC5) * 917305 + 30718264 mod 65536 = 0xE818.
  EXPECT_EQ(crypt.Decode(std::string("\xC5\x00", 2)), std::string("\x00\xE8", 2));

  struct Case {
    std::string input;
    std::uint32_t startKey, increment, multiplier;
    std::string expected;
  } cases[] = {
      {"\x12\x34", 0x0100, 0, 1, "\x13\x35"},   // k = 0x100, then 0x112
      {"\x12\x34", 0x10100, 0, 1, "\x13\x35"},  // bits above 16 do not count
      {"AB", 0, 0xAB00, 0, "A\xE9"},            // k = 0 then the increment
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TCrypt::DecodeWithKeys(c.input, c.startKey, c.increment, c.multiplier), c.expected)
        << c.input;
  }
}

TEST(CryptTest, MatchesTheRuleWithoutWrapping) {
  const TCrypt crypt;
  const std::string input = AllBytes() + std::string(1000, '\xFF');
  EXPECT_EQ(crypt.Decode(input), ReferenceDecode(input, 640283, 30718264, 917305));
  EXPECT_EQ(TCrypt::DecodeWithKeys(input, 0xFFFF, 0xFFFF, 0xFFFF),
            ReferenceDecode(input, 0xFFFF, 0xFFFF, 0xFFFF));
}

TEST(CryptTest, KeepsLengthAndRoundTrips) {
  const TCrypt crypt;
  const std::string all = AllBytes();
  for (std::size_t n = 0; n <= all.size(); n += 37) {
    const std::string plain = all.substr(0, n);
    const std::string scrambled = crypt.Encode(plain);
    EXPECT_EQ(scrambled.size(), n);
    EXPECT_EQ(crypt.Decode(scrambled).size(), n);
    EXPECT_EQ(crypt.Decode(scrambled), plain);
  }
  const std::string text = "Kavro GUI";
  EXPECT_NE(crypt.Encode(text), text);
  EXPECT_EQ(TCrypt::DecodeWithKeys(TCrypt::EncodeWithKeys(all, 7, 11, 13), 7, 11, 13), all);
}

}  // namespace
