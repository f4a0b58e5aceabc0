#include "core/hub_list_key.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

struct TKeyCase {
  const char* Name;
  std::string Received;
  int LocalPort;
  std::optional<std::string> Key;
};

TEST(HubListKeyTest, LockToKeyByTheLocalPort) {
  const TKeyCase cases[] = {
      // 1234 = 0x04D2: the constant is 0x04 + 0xD2 = 214.
      {"plain lock", "$Lock abc Pk=x", 1234, std::string("k0\x10", 3)},
      {"escaped dollar in the lock", "$Lock a/%DCN036%/b Pk=x", 1234, std::string("\x1FTd")},
      {"key bytes escaped", "$Lock aac Pk=x", 1234, std::string("[/%DCN000%/ ")},
      // A port whose bytes add up to 5 gives the clients' key.
      {"the clients' constant", "$Lock EXTENDEDPROTOCOLABCABCABCABCABCABC Pk=x", 5,
       std::string("\x14\xd1\xc0\x11\xb0\xa0\x10\x10\x41\x20\xd1\xb1\xb1\xc0\xc0\x30\xd0\x30\x10"
                   "\x20\x30\x10\x20\x30\x10\x20\x30\x10\x20\x30\x10\x20\x30\x10")},
      {"the last Pk= ends the lock", "$Lock a Pk=bc Pk=x", 1234,
       ComputeKey("$Lock a Pk=bc Pk=", 1234)},
      {"extra bytes after the lock", "$Lock abc Pk=x|$Supports|", 1234,
       std::string("k0\x10", 3)},
      {"ten bytes or less", "$Lock a Pk", 1234, std::nullopt},
      {"not a lock", "$Supports abc Pk=x", 1234, std::nullopt},
      {"no Pk=", "$Lock abcdefghijk", 1234, std::nullopt},
      {"Pk= not beyond offset 6", "$Lock Pk=abcdefgh", 1234, std::nullopt},
      {"one-byte lock", "$Lock a Pk=xyz", 1234, std::nullopt},
      {"lock cut short", "$Lock abcdef", 1234, std::nullopt},
  };
  for (const TKeyCase& c : cases) {
    EXPECT_EQ(ComputeKey(c.Received, c.LocalPort), c.Key) << c.Name;
  }
}

TEST(HubListKeyTest, EveryReservedKeyByteIsEscaped) {
  // k[1] = L[1] ^ L[0] nibble-swapped: pick L[1] so it lands on each byte.
  const struct {
    unsigned char Byte;
    const char* Escape;
  } reserved[] = {{0, "/%DCN000%/"},  {5, "/%DCN005%/"},  {36, "/%DCN036%/"},
                  {96, "/%DCN096%/"}, {124, "/%DCN124%/"}, {126, "/%DCN126%/"}};
  for (const auto& r : reserved) {
    const auto swapped = static_cast<unsigned char>((r.Byte << 4) | (r.Byte >> 4));
    const auto second = static_cast<char>('a' ^ swapped);
    const std::string lock = std::string("$Lock a") + second + "zz Pk=x";
    const std::optional<std::string> key = ComputeKey(lock, 1234);
    ASSERT_TRUE(key.has_value()) << int(r.Byte);
    EXPECT_EQ(key->substr(1, 10), r.Escape) << int(r.Byte);
  }
}

}  // namespace
