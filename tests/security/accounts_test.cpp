// The account list: adding, deleting, renaming, profile changes and counts,
// and the binding of connections (assign and release).
#include "security/accounts.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "security/account.h"
#include "security/account_users.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "base/exceptions.h"

namespace {

// Records what the lists ask of the logged-in users.
class TRecordingUsers : public TAccountUsers {
 public:
  std::vector<std::string> Calls;
  void BindNewAccount(const std::shared_ptr<TAccount>& account) override {
    Calls.push_back("bind " + account->Nick);
  }
  void AccountProfileChanged(const std::shared_ptr<TAccount>& account,
                             const std::shared_ptr<TProfile>& oldProfile) override {
    Calls.push_back("profile " + account->Nick + " " + oldProfile->Name + ">" +
                    account->Profile->Name);
  }
  void RefreshAccounts() override { Calls.push_back("refresh"); }
};

TDateTime At(int year, int month, int day) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, 12, 0, 0}, value));
  return value;
}

class TAccountsTest : public testing::Test {
 protected:
  TAccountsTest() {
    accounts_.SetClock([this] { return now_; });
    op_ = profiles_.Add("Op");
    vip_ = profiles_.Add("Vip");
  }

  TSettings settings_;
  TRecordingUsers users_;
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_, &users_};
  TDateTime now_ = At(2024, 5, 1);
  std::shared_ptr<TProfile> op_;
  std::shared_ptr<TProfile> vip_;
};

TEST_F(TAccountsTest, AddAcceptsOnlyFreeNicksAndUserDefinedProfiles) {
  const auto bob = accounts_.Add("Bob", "op");
  ASSERT_NE(bob, nullptr);
  EXPECT_EQ(bob->Profile, op_);
  EXPECT_EQ(bob->Created, now_);
  EXPECT_EQ(op_->AccountCount, 1);

  const struct {
    const char* nick;
    const char* profile;
  } refused[] = {
      {"BOB", "Op"},          // taken, in another case
      {"", "Op"},             // no nick
      {"Ann", "Registered"},  // built-in profiles are not for accounts
      {"Ann", "Regular"},
      {"Ann", "Nobody"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(accounts_.Add(c.nick, c.profile), nullptr) << c.nick << " " << c.profile;
  }
  EXPECT_EQ(accounts_.GetCount(), 1);
  EXPECT_EQ(op_->AccountCount, 1);
  EXPECT_EQ(users_.Calls, std::vector<std::string>{"bind Bob"});
}

TEST_F(TAccountsTest, ListIsInNickOrderAndFoundInAnyCase) {
  for (const char* nick : {"zed", "Anna", "bob", "[ops]Carl"}) accounts_.Add(nick, "Op");
  std::vector<std::string> nicks;
  for (int i = 0; i < accounts_.GetCount(); ++i) nicks.push_back(accounts_.GetItem(i)->Nick);
  EXPECT_EQ(nicks, (std::vector<std::string>{"Anna", "bob", "zed", "[ops]Carl"}));
  EXPECT_EQ(accounts_.Find("ANNA"), accounts_.GetItem(0));
  EXPECT_EQ(accounts_.Find("ann"), nullptr);
}

TEST_F(TAccountsTest, MatchRangeTakesATrailingWildcard) {
  for (const char* nick : {"alpha", "Albert", "bob", "al"}) accounts_.Add(nick, "Op");
  const struct {
    const char* pattern;
    int first;
    int last;
  } cases[] = {
      {"al*", 0, 2}, {"AL*", 0, 2}, {"alp*", 2, 2}, {"bob", 3, 3}, {"*", 0, 3}, {"c*", 0, -1},
  };
  for (const auto& c : cases) {
    const TMatchRange range = accounts_.FindMatchRange(c.pattern);
    EXPECT_EQ(range.first, c.first) << c.pattern;
    EXPECT_EQ(range.last, c.last) << c.pattern;
  }
}

TEST_F(TAccountsTest, AssignAndReleaseCountConnections) {
  const auto bob = accounts_.Add("Bob", "Op");
  EXPECT_EQ(accounts_.AssignToUser("nobody"), nullptr);
  EXPECT_EQ(accounts_.AssignToUser("BOB"), bob);
  EXPECT_EQ(accounts_.AssignToUser("bob"), bob);
  EXPECT_EQ(bob->InUseCount, 2);
  accounts_.ReleaseAccount(bob);
  accounts_.ReleaseAccount(bob);
  EXPECT_EQ(bob->InUseCount, 0);
  EXPECT_FALSE(bob->Deleted);
  EXPECT_EQ(op_->AccountCount, 1);
  EXPECT_THROW(accounts_.ReleaseAccount(bob), EAssertionFailed);
}

TEST_F(TAccountsTest, ExpiredAccountIsDeletedAtAssign) {
  const auto bob = accounts_.Add("Bob", "Op");
  bob->ExpireDateEnabled = true;
  bob->ExpireDate = At(2024, 5, 2);
  EXPECT_EQ(accounts_.AssignToUser("Bob"), bob);  // not yet
  accounts_.ReleaseAccount(bob);

  now_ = At(2024, 5, 3);
  EXPECT_EQ(accounts_.AssignToUser("Bob"), nullptr);
  EXPECT_EQ(accounts_.Find("Bob"), nullptr);
  EXPECT_TRUE(bob->Deleted);
  EXPECT_EQ(op_->AccountCount, 0);

  // A disabled date never ends the account.
  const auto ann = accounts_.Add("Ann", "Op");
  ann->ExpireDate = At(2000, 1, 1);
  EXPECT_EQ(accounts_.AssignToUser("Ann"), ann);
}

TEST_F(TAccountsTest, DeleteWhileHeldFreesAtTheLastRelease) {
  std::weak_ptr<TAccount> watch;
  std::shared_ptr<TAccount> held;
  {
    accounts_.Add("Bob", "Op");
    held = accounts_.AssignToUser("Bob");
    watch = held;
  }
  EXPECT_TRUE(accounts_.Delete("bob"));
  EXPECT_FALSE(accounts_.Delete("Bob"));
  EXPECT_EQ(accounts_.Find("Bob"), nullptr);
  EXPECT_TRUE(held->Deleted);
  EXPECT_EQ(op_->AccountCount, 1);  // still held

  accounts_.ReleaseAccount(held);
  EXPECT_EQ(op_->AccountCount, 0);
  held.reset();  // the connection drops its reference
  EXPECT_TRUE(watch.expired());
}

TEST_F(TAccountsTest, DeleteUnheldDropsTheCountAtOnce) {
  std::weak_ptr<TAccount> watch = accounts_.Add("Bob", "Op");
  EXPECT_TRUE(accounts_.Delete("Bob"));
  EXPECT_EQ(op_->AccountCount, 0);
  EXPECT_TRUE(watch.expired());
}

TEST_F(TAccountsTest, ClearDeletesEveryAccount) {
  accounts_.Add("Bob", "Op");
  accounts_.Add("Ann", "Vip");
  const auto held = accounts_.AssignToUser("Ann");
  accounts_.Clear();
  EXPECT_EQ(accounts_.GetCount(), 0);
  EXPECT_EQ(op_->AccountCount, 0);
  EXPECT_EQ(vip_->AccountCount, 1);
  EXPECT_TRUE(held->Deleted);
  accounts_.ReleaseAccount(held);
  EXPECT_EQ(vip_->AccountCount, 0);
}

TEST_F(TAccountsTest, ChangeProfileMovesTheCountAndTellsTheUser) {
  const auto bob = accounts_.Add("Bob", "Op");
  users_.Calls.clear();
  accounts_.ChangeProfile(bob, op_);  // unchanged: nothing
  EXPECT_TRUE(users_.Calls.empty());

  accounts_.ChangeProfile(bob, vip_);
  EXPECT_EQ(bob->Profile, vip_);
  EXPECT_EQ(op_->AccountCount, 0);
  EXPECT_EQ(vip_->AccountCount, 1);
  EXPECT_EQ(users_.Calls, std::vector<std::string>{"profile Bob Op>Vip"});

  // A held, deleted account drops the count of its latest profile.
  const auto held = accounts_.AssignToUser("Bob");
  accounts_.Delete("Bob");
  accounts_.ChangeProfile(held, op_);
  accounts_.ReleaseAccount(held);
  EXPECT_EQ(op_->AccountCount, 0);
  EXPECT_EQ(vip_->AccountCount, 0);
}

TEST_F(TAccountsTest, RenameRules) {
  const auto bob = accounts_.Add("Bob", "Op");
  accounts_.Add("Ann", "Op");
  const struct {
    const char* nick;
    bool accepted;
  } cases[] = {
      {"Bob", false},  // its own nick
      {"ann", false},  // another account's
      {"", false},
      {"BOB", true},   // a change of case
      {"Zed", true},
  };
  for (const auto& c : cases) EXPECT_EQ(accounts_.Rename(bob, c.nick), c.accepted) << c.nick;
  EXPECT_EQ(accounts_.Find("zed"), bob);
  EXPECT_EQ(accounts_.Find("bob"), nullptr);
  EXPECT_EQ(accounts_.GetItem(1), bob);
  EXPECT_FALSE(accounts_.Rename(accounts_.DefaultAccount(), "Other"));
}

TEST_F(TAccountsTest, BuiltInAccountsIgnoreTheSetters) {
  const auto& builtIn = accounts_.DefaultAccount();
  EXPECT_TRUE(builtIn->BuiltIn);
  EXPECT_EQ(builtIn->Profile, profiles_.Regular());
  EXPECT_EQ(accounts_.RegisteredAccount()->Profile, profiles_.Registered());

  const auto bob = accounts_.Add("Bob", "Op");
  for (TAccount* account : {builtIn.get(), bob.get()}) {
    accounts_.SetLastSpoke(*account, now_);
    accounts_.SetLastUsed(*account, now_);
    accounts_.SetOnline(*account, true);
  }
  EXPECT_EQ(builtIn->LastSpoke, TDateTime{});
  EXPECT_EQ(builtIn->LastUsed, TDateTime{});
  EXPECT_FALSE(builtIn->Online);
  EXPECT_EQ(bob->LastSpoke, now_);
  EXPECT_EQ(bob->LastUsed, now_);
  EXPECT_TRUE(bob->Online);

  accounts_.MarkBuiltIn(*bob);
  accounts_.SetOnline(*bob, false);
  EXPECT_TRUE(bob->Online);
}

TEST_F(TAccountsTest, RelinkFollowsProfileNamesAndKeepsMissingOnes) {
  std::vector<std::string> errors;
  accounts_.SetErrorSink([&errors](const std::string& line) { errors.push_back(line); });
  const auto bob = accounts_.Add("Bob", "Op");
  const auto ann = accounts_.Add("Ann", "Vip");

  // The profiles are replaced by new objects; "Vip" is gone.
  profiles_.Delete("Op");
  profiles_.Delete("Vip");
  const auto newOp = profiles_.Add("OP");
  accounts_.RelinkProfiles();
  EXPECT_EQ(bob->Profile, newOp);
  EXPECT_EQ(newOp->AccountCount, 1);
  EXPECT_EQ(ann->Profile, nullptr);
  EXPECT_EQ(accounts_.MissingProfileName(*ann), "Vip");
  EXPECT_EQ(errors, std::vector<std::string>{"Account Ann refers to the missing profile Vip"});

  // The profile comes back under its name.
  const auto newVip = profiles_.Add("Vip");
  accounts_.RelinkProfiles();
  EXPECT_EQ(ann->Profile, newVip);
  EXPECT_EQ(newVip->AccountCount, 1);
  EXPECT_EQ(accounts_.MissingProfileName(*ann), "");
}

}  // namespace
