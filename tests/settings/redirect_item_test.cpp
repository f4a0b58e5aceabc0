#include "settings/redirect_item.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> HandOut(TRedirectItem& item, int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(item.NextAddress());
  return out;
}

TEST(RedirectItem, HandsOutAddressesInTurn) {
  TRedirectItem item;
  item.SetAddresses("a|b|c");
  EXPECT_EQ(HandOut(item, 5), (std::vector<std::string>{"a", "b", "c", "a", "b"}));
}

TEST(RedirectItem, EmptyPartsAreSkipped) {
  TRedirectItem item;
  item.SetAddresses("a||b|");
  EXPECT_EQ(item.Count(), 2);
  EXPECT_EQ(item.GetAddresses(), "a|b");
  EXPECT_EQ(item.GetAddressesSemicolon(), "a;b");
  EXPECT_EQ(item.GetAddresses(), "a|b");  // the listing form leaves the stored form alone
}

TEST(RedirectItem, ShrunkListStartsAgainFromItsFirstAddress) {
  TRedirectItem item;
  item.SetAddresses("a|b|c");
  HandOut(item, 2);
  item.SetAddresses("x");
  EXPECT_EQ(HandOut(item, 2), (std::vector<std::string>{"x", "x"}));
}

TEST(RedirectItem, EmptyListGivesEmptyAddress) {
  TRedirectItem item;
  EXPECT_FALSE(item.Enabled);
  EXPECT_EQ(HandOut(item, 2), (std::vector<std::string>{"", ""}));
  item.SetAddresses("|||");
  EXPECT_EQ(item.NextAddress(), "");
}

}  // namespace
