#include "core/hub_socket.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "security/profile_access.h"
#include "support/fake_connection.h"
#include "base/exceptions.h"

namespace {

struct TLevelCase {
  std::uint8_t right;
  int own;
  int target;
  bool allowed;
};

class HubSocketLevels : public ::testing::TestWithParam<TLevelCase> {};

TEST_P(HubSocketLevels, FollowTheRightAgainstTheTargetLevel) {
  const TLevelCase& c = GetParam();
  TFakeUsers users;
  auto actorProfile = std::make_shared<TProfile>();
  actorProfile->ProfileLevel = c.own;
  auto targetProfile = std::make_shared<TProfile>();
  targetProfile->ProfileLevel = c.target;
  auto actor = users.Connect("actor", actorProfile);
  auto target = users.Connect("target", targetProfile);
  EXPECT_EQ(actor->MayActOnLevel(c.right, c.target), c.allowed);
  EXPECT_EQ(actor->MayActOnUser(c.right, *target), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HubSocketLevels,
    ::testing::Values(TLevelCase{paNone, 9, 0, false}, TLevelCase{paLower, 5, 4, true},
                      TLevelCase{paLower, 5, 5, false}, TLevelCase{paLower, 5, 6, false},
                      TLevelCase{paSame, 5, 4, true}, TLevelCase{paSame, 5, 5, true},
                      TLevelCase{paSame, 5, 6, false}, TLevelCase{paHigher, 0, 9, true},
                      TLevelCase{4, 9, 0, false}, TLevelCase{255, 9, 0, false}));

TEST(HubSocket, ANullProfileActsWithTheDefaultRights) {
  TFakeUsers users;
  users.Regular->ProfileLevel = 2;
  auto orphan = users.Connect("orphan");
  orphan->BindAccount(users.MakeAccount("orphan", nullptr), users.General);
  EXPECT_EQ(orphan->Profile, nullptr);
  EXPECT_EQ(orphan->ProfileLevel(), 2);
  EXPECT_FALSE(orphan->IsOperator());
  EXPECT_TRUE(orphan->MayActOnLevel(paLower, 1));
}

TEST(HubSocket, InitializeTwiceIsRefused) {
  TFakeUsers users;
  THubSocket user(users.Defaults);
  user.Initialize(-1, users.General);
  EXPECT_EQ(user.LifeState, lsInitialised);
  EXPECT_EQ(user.IP, "0.0.0.0");
  EXPECT_EQ(user.Account, users.DefaultAccount);
  try {
    user.Initialize(-1, users.General);
    FAIL() << "second Initialize accepted";
  } catch (const ECoreSocketError& e) {
    EXPECT_STREQ(e.what(), "THubSocket.Initialize(Socket already initialize!)");
  }
}

TEST(HubSocket, ConnectionIdsAreUnique) {
  TFakeUsers users;
  THubSocket a(users.Defaults);
  THubSocket b(users.Defaults);
  EXPECT_NE(a.Id(), b.Id());
}

TEST(HubSocket, CloseRunsTheHookOnceAndReleasesTheBuffers) {
  TFakeUsers users;
  auto user = users.Connect("closing");
  int calls = 0;
  user->CloseHook = [&calls](THubSocket& closed) {
    ++calls;
    EXPECT_EQ(closed.LifeState, lsClosing);
  };
  user->WriteBuffer().AppendString("$Hello x|");
  user->ReadBuffer().Allocate();
  user->Close(true);
  user->Close(true);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(user->WriteBuffer().Empty());
  EXPECT_EQ(user->WriteBuffer().SizeClass(), 0);
  EXPECT_FALSE(user->ReadBuffer().HasBlock());
}

TEST(HubSocket, TheCloseHookMayFreeTheConnection) {
  TFakeUsers users;
  auto owned = users.Connect("freed");
  THubSocket* user = owned.get();
  user->CloseHook = [&owned](THubSocket&) { owned.reset(); };
  user->Close(true);
  EXPECT_EQ(owned, nullptr);
}

TEST(HubSocket, DestructionHandsATemporaryAccountBackOnce) {
  TFakeUsers users;
  int released = 0;
  users.Defaults.ReleaseAccount = [&released](const std::shared_ptr<TAccount>&) { ++released; };
  {
    auto user = users.Connect("counted", users.Operator);
    user->AccountTemporary = true;
    user->Close(true);
  }
  {
    auto user = users.Connect("uncounted", users.Operator);
  }
  EXPECT_EQ(released, 1);
}

struct TBindCase {
  const char* name;
  bool forceHide, mayHideShare, asksHiddenShare;
  bool mayHideMe, asksHidden;
  bool useProfileRestriction, isp;
  bool hidesShare, hidden;
  int expectedMaxHubs;  // 1 general, 2 ISP, 3 profile
  bool fromISP;
};

class HubSocketBind : public ::testing::TestWithParam<TBindCase> {};

TEST_P(HubSocketBind, DerivesFlagsAndRestrictionInOnePlace) {
  const TBindCase& c = GetParam();
  TFakeUsers users;
  users.General.MaxHubs = 1;
  TConnRestriction isp;
  isp.MaxHubs = 2;
  auto profile = std::make_shared<TProfile>();
  profile->Restriction.MaxHubs = 3;
  profile->SetRight(TProfileRight::ForceHideShare, c.forceHide);
  profile->SetRight(TProfileRight::MayHideShare, c.mayHideShare);
  profile->SetRight(TProfileRight::MayHideMe, c.mayHideMe);
  profile->SetRight(TProfileRight::UseProfileConnRestriction, c.useProfileRestriction);
  auto account = users.MakeAccount("bound", profile);
  account->ShareHidden = c.asksHiddenShare;
  account->UserHidden = c.asksHidden;
  auto user = users.Connect("bound");
  user->BindAccount(account, users.General, c.isp ? &isp : nullptr);
  EXPECT_EQ(user->Account, account);
  EXPECT_EQ(user->Profile, profile);
  EXPECT_EQ(user->HidesShare, c.hidesShare);
  EXPECT_EQ(user->Hidden, c.hidden);
  EXPECT_EQ(user->Restriction.MaxHubs, c.expectedMaxHubs);
  EXPECT_EQ(user->ISPRestriction, c.fromISP);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HubSocketBind,
    ::testing::Values(
        TBindCase{"plain", false, false, false, false, false, false, false, false, false, 1, false},
        TBindCase{"forced", true, false, false, false, false, false, false, true, false, 1, false},
        TBindCase{"askedAllowed", false, true, true, false, false, false, false, true, false, 1,
                  false},
        TBindCase{"askedRefused", false, false, true, false, false, false, false, false, false, 1,
                  false},
        TBindCase{"allowedNotAsked", false, true, false, false, false, false, false, false, false,
                  1, false},
        TBindCase{"hiddenAllowed", false, false, false, true, true, false, false, false, true, 1,
                  false},
        TBindCase{"hiddenRefused", false, false, false, false, true, false, false, false, false, 1,
                  false},
        TBindCase{"isp", false, false, false, false, false, false, true, false, false, 2, true},
        TBindCase{"profileBeatsIsp", false, false, false, false, false, true, true, false, false,
                  3, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HubSocket, BindingNullGivesTheDefaultAccount) {
  TFakeUsers users;
  auto user = users.Connect("back", users.Operator);
  user->BindAccount(nullptr, users.General);
  EXPECT_EQ(user->Account, users.DefaultAccount);
  EXPECT_EQ(user->Profile, users.Regular);
  EXPECT_FALSE(user->IsOperator());
}

}  // namespace
