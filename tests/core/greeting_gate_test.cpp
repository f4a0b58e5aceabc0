#include "core/greeting_gate.h"

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "nick_list_test_support.h"
#include "security/account.h"

namespace {

constexpr std::int64_t kAway = 600;  // ten minutes

class GreetingGateTest : public ::testing::Test, public TNickListFixture {
 protected:
  GreetingGateTest()
      : userStatic(list, [this] { return TDateTime{now}; }),
        gate(
            userStatic, [this] { return TDateTime{now}; },
            [this](std::string_view, TDateTime at) -> std::optional<TDateTime> {
              if (!protectedEntry) return std::nullopt;
              const TDateTime used = *protectedEntry;
              protectedEntry = at;
              return used;
            }) {
    users.Regular->AllowUseAnnouncementAwayTimeEnabled = true;
    users.Regular->AllowUseAnnouncementAwayTime = TDateTime{kAway};
  }

  // The gate at login, and whether the login would be announced now.
  bool AnnouncedAt(std::int64_t at, THubSocket& user) {
    now = at;
    return TDateTime{now} > gate.GreetingGate(user);
  }
  void LeaveAt(std::int64_t at, THubSocket& user) {
    now = at;
    if (user.Listed) Logout(user);
    userStatic.Touch(user);
  }

  std::int64_t now = 0;
  std::optional<TDateTime> protectedEntry;
  TUserStatic userStatic;
  TProtocolFunctions gate;
};

TEST_F(GreetingGateTest, WithoutTheAwayTimeEveryLoginIsAnnounced) {
  users.Regular->AllowUseAnnouncementAwayTimeEnabled = false;
  THubSocket& user = Login("u");
  EXPECT_EQ(gate.GreetingGate(user), TDateTime{});
  EXPECT_EQ(userStatic.Count(), 0);
}

TEST_F(GreetingGateTest, AReturningUserIsAnnouncedOnlyAfterBeingAwayLongEnough) {
  THubSocket& first = Login("u");
  EXPECT_TRUE(AnnouncedAt(1000, first));
  LeaveAt(2000, first);
  THubSocket& soon = Connect("u", {});
  EXPECT_FALSE(AnnouncedAt(2300, soon));
  LeaveAt(2400, soon);
  THubSocket& late = Connect("u", {});
  EXPECT_TRUE(AnnouncedAt(3100, late));
}

TEST_F(GreetingGateTest, AnotherLoginDoesNotForgetARecentDeparture) {
  THubSocket& a = Login("a");
  AnnouncedAt(1000, a);
  LeaveAt(2000, a);
  THubSocket& b = Connect("b", {});
  AnnouncedAt(2001, b);  // touches the list and prunes it
  THubSocket& back = Connect("a", {});
  EXPECT_FALSE(AnnouncedAt(2100, back));
}

TEST_F(GreetingGateTest, EntriesGoOnlyWhenExpiredAndLoggedOut) {
  THubSocket& stays = Login("stays");
  AnnouncedAt(1000, stays);
  THubSocket& leaves = Login("leaves");
  AnnouncedAt(1000, leaves);
  LeaveAt(1500, leaves);
  ASSERT_EQ(userStatic.Count(), 2);
  THubSocket& other = Connect("other", {});
  AnnouncedAt(1500 + kAway + 1, other);
  EXPECT_EQ(userStatic.Count(), 2);  // "stays" is still online, "other" is new
  THubSocket& back = Connect("leaves", {});
  EXPECT_TRUE(AnnouncedAt(1500 + kAway + 2, back));
}

TEST_F(GreetingGateTest, RegisteredUsersCountFromTheirAccount) {
  THubSocket& reg = Connect("reg", {users.Regular});
  reg.Account->LastUsed = TDateTime{5000};
  EXPECT_FALSE(AnnouncedAt(5000 + kAway - 1, reg));
  EXPECT_TRUE(AnnouncedAt(5000 + kAway + 1, reg));
  EXPECT_EQ(userStatic.Count(), 0);
}

TEST_F(GreetingGateTest, ProtectedNicksCountFromTheirEntryAndRenewIt) {
  THubSocket& guarded = Connect("guarded", {});
  guarded.Protected = true;
  protectedEntry = TDateTime{7000};
  EXPECT_FALSE(AnnouncedAt(7100, guarded));
  EXPECT_EQ(protectedEntry, TDateTime{7100});
  protectedEntry.reset();  // the entry is gone
  EXPECT_TRUE(AnnouncedAt(7200, guarded));
}

}  // namespace
