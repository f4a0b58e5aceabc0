#include "platform/name_resolver.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(NameResolverTest, LoopbackIsTheWhole127Block) {
  const struct {
    const char* ip;
    bool loopback;
  } cases[] = {
      {"127.0.0.1", true}, {"127.255.255.254", true}, {"127.0.1.1", true},
      {"128.0.0.1", false}, {"10.0.0.1", false},      {"0.0.0.0", false},
      {"", false},          {"localhost", false},     {"127.0.0.1 ", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsLoopbackIPv4(c.ip), c.loopback) << c.ip;
}

TEST(NameResolverTest, DottedAddressesResolveToThemselves) {
  std::string ip;
  ASSERT_TRUE(ForwardLookupIPv4("127.0.0.1", ip));
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_FALSE(ForwardLookupIPv4("", ip));
}

TEST(NameResolverTest, ReverseLookupRefusesTextThatIsNoAddress) {
  const char* cases[] = {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "::1"};
  for (const char* text : cases) {
    std::string name = "unchanged";
    EXPECT_FALSE(ReverseLookupIPv4(text, name)) << text;
    EXPECT_EQ(name, "unchanged") << text;
  }
}

TEST(NameResolverTest, MachineFiguresAreWellFormed) {
  std::string host;
  if (LocalHostName(host)) {
    EXPECT_FALSE(host.empty());
  }
  for (const std::string& ip : LocalIPv4Addresses()) {
    std::string same;
    EXPECT_TRUE(ForwardLookupIPv4(ip, same)) << ip;
    EXPECT_EQ(same, ip);
  }
}

}  // namespace
