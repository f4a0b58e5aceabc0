#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/nick_list.h"
#include "nick_list_test_support.h"
#include "security/account.h"
#include "settings/language.h"

namespace {

// A stand-in for the account list: accounts by nick and their counted
// bindings, as the accounts keep them.
class RefreshTest : public ::testing::Test, public TNickListFixture {
 protected:
  RefreshTest() {
    users.Defaults.FindAccount = [this](std::string_view nick) {
      auto found = accounts.find(std::string(nick));
      return found == accounts.end() ? nullptr : found->second;
    };
    users.Defaults.AcquireAccount = [](const std::shared_ptr<TAccount>& a) { ++a->InUseCount; };
    users.Defaults.ReleaseAccount = [](const std::shared_ptr<TAccount>& a) { --a->InUseCount; };
  }

  // Logs in a registered user as the login binds it: one counted binding.
  THubSocket& LoginRegistered(const std::string& nick, std::shared_ptr<TProfile> profile) {
    auto account = users.MakeAccount(nick, std::move(profile));
    accounts[nick] = account;
    THubSocket& user = Connect(nick, {});
    user.BindAccount(account, users.General);
    user.Registered = true;
    user.AccountTemporary = true;
    ++account->InUseCount;
    FinishLogin(user);
    return user;
  }

  // A reload: every account object is replaced by a fresh copy.
  void Reload() {
    for (auto& [nick, account] : accounts) {
      auto fresh = std::make_shared<TAccount>(*account);
      fresh->InUseCount = 0;
      account->Deleted = true;
      account = fresh;
    }
  }

  std::map<std::string, std::shared_ptr<TAccount>> accounts;
};

TEST_F(RefreshTest, AReloadMovesEachUserAndItsCountToTheNewAccount) {
  THubSocket& user = LoginRegistered("reg", users.Regular);
  std::shared_ptr<TAccount> old = user.Account;
  Reload();
  list.RefreshAccounts();
  EXPECT_EQ(user.Account, accounts["reg"]);
  EXPECT_TRUE(user.Registered);
  EXPECT_EQ(old->InUseCount, 0);
  EXPECT_EQ(accounts["reg"]->InUseCount, 1);
  list.RefreshAccounts();  // a second refresh counts nothing more
  EXPECT_EQ(accounts["reg"]->InUseCount, 1);
}

TEST_F(RefreshTest, ADeletedAccountLeavesTheUserUnregisteredOnTheDefault) {
  THubSocket& op = LoginRegistered("op", users.Operator);
  std::shared_ptr<TAccount> old = op.Account;
  THubSocket& watcher = Login("watcher");
  accounts.erase("op");
  old->Deleted = true;
  list.RefreshAccounts();
  EXPECT_EQ(op.Account, users.DefaultAccount);
  EXPECT_EQ(op.Profile, users.Regular);
  EXPECT_FALSE(op.Registered);
  EXPECT_FALSE(op.AccountTemporary);
  EXPECT_EQ(old->InUseCount, 0);
  EXPECT_FALSE(list.IsListedOperator(op));
  EXPECT_EQ(list.OpListText(), list.BuildOpList());
  EXPECT_EQ(list.OpListText().find("op$$"), std::string_view::npos);
  // Unregistered users are not touched again.
  list.RefreshAccounts();
  EXPECT_EQ(op.Account, users.DefaultAccount);
  Take(watcher);
}

TEST_F(RefreshTest, AProfileChangeOnReloadMovesTheUserOntoTheOperatorList) {
  THubSocket& user = LoginRegistered("climber", users.Regular);
  THubSocket& other = Login("other");
  Take(other);
  Reload();
  accounts["climber"]->Profile = users.Operator;
  list.RefreshAccounts();
  EXPECT_TRUE(list.IsListedOperator(user));
  EXPECT_EQ(Take(other), "$OpList climber$$|");
  EXPECT_EQ(list.OpListText(), list.BuildOpList());
}

TEST_F(RefreshTest, BecomingHiddenOnReloadTakesTheOperatorOffTheCachedList) {
  THubSocket& master = LoginRegistered("boss", users.Master);
  ASSERT_NE(list.OpListText().find("boss$$"), std::string_view::npos);
  Reload();
  accounts["boss"]->UserHidden = true;
  list.RefreshAccounts();
  EXPECT_TRUE(master.Hidden);
  EXPECT_EQ(list.OpListText().find("boss$$"), std::string_view::npos);
}

TEST_F(RefreshTest, ANewAccountBindsTheOnlineUserOfItsNickAtOnce) {
  THubSocket& guest = Login("guest");
  auto account = users.MakeAccount("GUEST", users.Operator);
  list.BindNewAccount(account);
  EXPECT_EQ(guest.Account, account);
  EXPECT_TRUE(guest.Registered);
  EXPECT_TRUE(account->Online);
  EXPECT_EQ(account->InUseCount, 1);
  EXPECT_TRUE(list.IsListedOperator(guest));
  list.BindNewAccount(users.MakeAccount("absent", users.Operator));  // nobody to bind
}

TEST_F(RefreshTest, AProfileChangeIsAppliedAndTold) {
  THubSocket& user = LoginRegistered("mover", users.Operator);
  Take(user);
  std::shared_ptr<TAccount> account = user.Account;
  account->Profile = users.Regular;
  list.AccountProfileChanged(account, users.Operator);
  EXPECT_EQ(user.Profile, users.Regular);
  EXPECT_FALSE(list.IsListedOperator(user));
  EXPECT_EQ(Take(user), settings.BotChatPrefix() + "Your account profile have been changed from " +
                            "Operator to Regular|");
}

class OneISP : public TNickListHooks {
 public:
  const TConnRestriction* ISPRestriction(const THubSocket&) override {
    return present ? &restriction : nullptr;
  }
  TConnRestriction restriction;
  bool present = true;
};

TEST_F(RefreshTest, ISPRestrictionsFollowTheirEntryOrFallBack) {
  OneISP isp;
  isp.restriction.MaxHubs = 7;
  list.SetHooks(&isp);
  settings.UseISPCheck = true;
  settings.ConnRestriction.MaxHubs = 3;
  THubSocket& user = LoginRegistered("isp", users.Regular);
  list.RefreshAccounts();
  EXPECT_TRUE(user.ISPRestriction);
  EXPECT_EQ(user.Restriction.MaxHubs, 7);
  isp.restriction.MaxHubs = 8;
  list.RefreshISPRestrictions();
  EXPECT_EQ(user.Restriction.MaxHubs, 8);
  isp.present = false;
  list.RefreshISPRestrictions();
  EXPECT_FALSE(user.ISPRestriction);
  EXPECT_EQ(user.Restriction.MaxHubs, 3);
  list.SetHooks(nullptr);
}

}  // namespace
