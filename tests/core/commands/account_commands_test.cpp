// The account commands and the protected-nick commands: each line's exact
// replies and feed lines, the refusals, and what the lists hold afterwards.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/buffer_text.h"
#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "security/account.h"
#include "core/user_info.h"
#include "core/write_buffer.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;

constexpr std::initializer_list<R> kAccountRights = {
    R::IsOperator,          R::MayUseHubCommands,     R::MayAccountsAdd,
    R::MayAccountsDel,      R::MayAccountsList,       R::MayAccountsSetProfile,
    R::MayAccountsSetIPs,   R::MayAccountsShowIPs,    R::MayAccountsSetComment,
    R::MayAccountsSetGreeting, R::MayAccountsSetExpireDate, R::MayAccountsSetOwner,
    R::MayAccountsSetPass,  R::MayAccountsShowPass,   R::MayAccountsProfilesShow,
    R::MayAdminRegistered};

class AccountCommandsTest : public TCommandsFixture {
 protected:
  AccountCommandsTest() {
    settings_.HubCommandsShowCommandToSelf = false;
    master_ = MakeProfile("Master", kAccountRights, 9, paHigher);
    op_ = MakeProfile("Op", kAccountRights, 5, paLower);
    guide_ = MakeProfile("Guide", {R::MayUseHubCommands}, 3);
    for (const auto& profile : {master_, op_, guide_}) profiles_.AddProfile(profile);
    Required(accounts_.Add("Boss", "Master"), "account Boss").Pass = "bosspw";
    Required(accounts_.Add("Bob", "Guide"), "account Bob").Pass = "bobpw";
  }

  // The bot's replies to the line, in main chat.
  std::string Run(THubSocket& user, std::string_view text) {
    Dispatch(commands_, tokens_, message_, user, text, false);
    return Out(user);
  }

  std::shared_ptr<TProfile> master_, op_, guide_;
  TStringList tokens_{16};
  THubCommands commands_{ctx_, tokens_};
  std::string message_;
};

const std::string kDash = "\r\n" + std::string(105, '-');

std::string Header(int shown, int offset, int total) {
  return kDash + "\r\n\xA6 Showing " + std::to_string(shown) + " hits from offset " +
         std::to_string(offset) + ", total hits: " + std::to_string(total) + "\r\n\xA6 ";
}

std::string Row(std::string_view nick, std::string_view rest) {
  TWriteBuffer row(1);
  row.AppendString("\r\n\xA6  ");
  AppendTabPadded(nick, row, 4);
  row.AppendString(rest);
  return row.GetString();
}

struct TLineCase {
  const char* Line;
  bool ByOp;  // else by the master
  std::vector<std::string> Replies;
  std::vector<std::string> Feed;
};

TEST_F(AccountCommandsTest, EachLineAnswersAndFeedsExactly) {
  const std::string wrongArgs = "Wrong number of parameters. Type !help for help";
  // clang-format off
  const TLineCase cases[] = {
      {"!addreg Ann pw1 Guide 10.0.0.*", false,
       {"Registered the account Ann of profile Guide with password pw1 @ hub.example.org"},
       {"boss registered the Guide account Ann"}},
      {"!addreg Ann pw2 Guide", false, {"Account already exists"}, {}},
      {"!addreg ANN pw2 Guide", false, {"Account already exists"}, {}},
      {"!addreg Cid pw Nobody", false,
       {"Profile does not exist, type !showprofiles (sp) to list profiles"}, {}},
      {"!addreg Cid pw Regular", false,
       {"Profile does not exist, type !showprofiles (sp) to list profiles"}, {}},
      {"!addreg Cid pw Master", true,
       {"You're not allowed to add an account of this profile"}, {}},
      {"!addreg Cid pw", false, {wrongArgs}, {}},
      {"!showpass ann", false, {"Password of Ann is: pw1"}, {}},
      {"!showpass Nobody", false, {"Account not found"}, {}},
      {"!showpass Boss", true,
       {"You're not allowed to view the password of an account of this profile"}, {}},
      {"!setpass Ann  ", false, {wrongArgs}, {}},
      {"!setpass Ann pw3", true,
       {"Password of Ann has been updated to: pw3"}, {"op updated the password of Ann"}},
      {"!showaccountip Ann", false, {"Required IP/IP pattern for Ann is: 10.0.0.*"}, {}},
      {"!sai Ann 10.1.*", false, {"Required IP/IP pattern on Ann updated to: 10.1.*"}, {}},
      {"!sai Ann", false, {"Required IP/IP pattern on Ann removed"}, {}},
      {"!setcomment Ann likes  tea", false,
       {"The comment of Ann has been updated to: likes  tea"}, {}},
      {"!setcomment Ann", false, {"The comment of Ann has been removed"}, {}},
      {"!setgreeting Ann Hi there", false,
       {"The greeting of Ann has been updated to: Hi there"}, {}},
      {"!setowner Ann", false, {"Account owner of Ann has been updated to: boss"}, {}},
      {"!setowner Ann BOB", false, {"Account owner of Ann has been updated to: Bob"}, {}},
      {"!setowner Ann stranger", false,
       {"Account owner of Ann has been updated to: stranger"}, {}},
      {"!setexpiredate Ann tomorrow", false,
       {"The date you've supplied is not in a correct date format (Ex. 2024-05-06 or 0 for none)"},
       {}},
      {"!setexpiredate Ann 2024-05-06", false,
       {"The date you've supplied isn't a future date, if you want to delete the account use !delreg"},
       {}},
      {"!setexpiredate Ann 2024-06-01", false,
       {"The expire date of Ann has been updated to: 2024-06-01"}, {}},
      {"!setexpiredate Ann 0", false, {"The expire date of Ann has been removed"}, {}},
      {"!setprofile Ann Nobody", false,
       {"The profile Nobody wasn't found, write !showprofiles (sp) to list available profiles"}, {}},
      {"!setprofile Ann Master", true, {"You're not allowed to use this profile"}, {}},
      {"!setprofile Boss Guide", true, {"You're not allowed to modify this account"}, {}},
      {"!setprofile Ann guide", false, {"Ann already uses Guide"}, {}},
      {"!setprofile Ann Op", false, {"The profile of Ann has been updated to Op"},
       {"boss has updated the profile of Ann to Op"}},
      {"!changereg Ann ann", false, {wrongArgs}, {}},
      {"!changereg Nobody Nob", false, {"Account not found"}, {}},
      {"!changereg Ann Bob", false, {"Kavro failed to rename Ann to Bob, Bob is already in use."}, {}},
      {"!changereg Ann Anna", true, {"You don't have permission to rename this account"}, {}},
      {"!changereg Ann Anna", false, {"The account Ann has been changed to Anna"},
       {"boss changed the account Ann to Anna"}},
      {"!changereg Anna Ann pw9", false,
       {"The account Anna has been changed to Ann with a new password: pw9"},
       {"boss changed the account Anna to Ann"}},
      {"!changereg ann ANN pw9", false, {"The password of Ann has been updated to pw9"},
       {"boss updated the password of Ann"}},
      {"!changereg Bob B$b", false, {"The account Bob has been changed to B_b"},
       {"boss changed the account Bob to B_b"}},
      {"!delreg Boss", true, {"You don't have permission to delete this account"}, {}},
      {"!delreg ann", false, {"Deleted the account Ann"}, {"boss deleted the Op account Ann"}},
      {"!delreg Ann", false, {"Account not found"}, {}},
      {"!useraddreg Guest gpw", false,
       {"Registered the nick Guest with password gpw @ hub.example.org"},
       {"boss registered the nick Guest"}},
      {"!useraddreg guest x", false, {"This nick is already registered"}, {}},
      {"!uar Boss x", false,
       {"WARNING: An account with the nick Boss exists and has precedence over registered nicks "
        "hiding this entry",
        "Registered the nick Boss with password x @ hub.example.org"},
       {"boss registered the nick Boss"}},
      {"!usersetpass guest new", false, {"The password of Guest has been updated to: new"}, {}},
      {"!usershowpass Guest", false, {"The password of Guest is: new"}, {}},
      {"!usershowpass Nobody", false, {"The nick Nobody isn't registered"}, {}},
      {"!userdelreg GUEST", false, {"The nick Guest has been unregistered"},
       {"boss unregistered the nick Guest"}},
      {"!userdelreg Guest", false, {"The nick Guest isn't registered"}, {}},
  };
  // clang-format on
  THubSocket& boss = Online("boss", master_);
  THubSocket& op = Online("op", op_);
  for (const TLineCase& c : cases) {
    SCOPED_TRACE(c.Line);
    feed_.Actions.clear();
    std::string expected;
    for (const std::string& reply : c.Replies) expected += Bot(reply);
    EXPECT_EQ(Run(c.ByOp ? op : boss, c.Line), expected);
    EXPECT_EQ(feed_.Actions, c.Feed);
  }
}

TEST_F(AccountCommandsTest, ChangeregChecksRightsBeforeTheLookup) {
  auto noPass = MakeProfile("NoPass", {R::MayUseHubCommands, R::MayAccountsAdd, R::MayAccountsDel},
                            9, paHigher);
  THubSocket& user = Online("np", noPass);
  const std::string forbidden = Bot(Text(TLanguageKey::ForbiddenCommand));
  EXPECT_EQ(Run(user, "!changereg Nobody Other pw"), forbidden);
  auto addOnly = MakeProfile("AddOnly", {R::MayUseHubCommands, R::MayAccountsAdd}, 9, paHigher);
  THubSocket& adder = Online("ao", addOnly);
  EXPECT_EQ(Run(adder, "!changereg Nobody Other"), forbidden);
}

TEST_F(AccountCommandsTest, ChangesAreStoredAndStamped) {
  THubSocket& boss = Online("boss", master_);
  now_.Seconds += 60;
  Run(boss, "!addreg New|Nick secret Guide 10.*");
  const auto added = accounts_.Find("New_Nick");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->Pass, "secret");
  EXPECT_EQ(added->IPPattern, "10.*");
  EXPECT_EQ(added->Owner, "boss");
  EXPECT_EQ(added->CreatedBy, "boss");
  EXPECT_EQ(added->Profile, guide_);

  const auto bob = accounts_.Find("Bob");
  ASSERT_NE(bob, nullptr);
  struct TCase {
    const char* Line;
    bool Stamps;
  } cases[] = {
      {"!setpass Bob bobpw", false},   {"!setpass Bob pw2", true},
      {"!sai Bob", false},             {"!sai Bob 1.2.3.4", true},
      {"!setowner Bob boss", true},    {"!setowner Bob boss", false},
      {"!setcomment Bob c", true},     {"!setgreeting Bob g", true},
      {"!setexpiredate Bob 0", false}, {"!setexpiredate Bob 2030-01-01", true},
      {"!setprofile Bob Op", true},    {"!changereg Bob bob pw2", false},
      {"!changereg Bob bob pw3", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    bob->LastChanged = {};
    bob->LastChangedBy.clear();
    Run(boss, c.Line);
    EXPECT_EQ(bob->LastChanged, c.Stamps ? now_ : TDateTime{});
    EXPECT_EQ(bob->LastChangedBy, c.Stamps ? "boss" : "");
  }
  EXPECT_EQ(bob->Pass, "pw3");
  EXPECT_EQ(bob->IPPattern, "1.2.3.4");
  EXPECT_EQ(bob->Owner, "Boss");
  EXPECT_EQ(bob->Comment, "c");
  EXPECT_EQ(bob->OnJoin, "g");
  EXPECT_TRUE(bob->ExpireDateEnabled);
  EXPECT_EQ(FormatDate(bob->ExpireDate), "2030-01-01");
  EXPECT_EQ(bob->Profile, op_);

  Run(boss, "!setexpiredate Bob 0");
  EXPECT_FALSE(bob->ExpireDateEnabled);
  Run(boss, "!delreg Bob");
  EXPECT_EQ(accounts_.Find("Bob"), nullptr);
}

TEST_F(AccountCommandsTest, ProtectedNicksHoldTheirPasswords) {
  THubSocket& boss = Online("boss", master_);
  Run(boss, "!useraddreg Guest gpw");
  ASSERT_NE(registered_.Find("guest"), nullptr);
  EXPECT_EQ(registered_.Find("guest")->Pass, "gpw");
  Run(boss, "!usersetpass Guest two");
  ASSERT_NE(registered_.Find("Guest"), nullptr);
  EXPECT_EQ(registered_.Find("Guest")->Pass, "two");
  Run(boss, "!userdelreg Guest");
  EXPECT_EQ(registered_.Find("Guest"), nullptr);
  auto noAdmin = MakeProfile("NoAdmin", {R::MayUseHubCommands}, 9);
  THubSocket& other = Online("other", noAdmin);
  EXPECT_EQ(Run(other, "!useraddreg X y"), Bot(Text(TLanguageKey::ForbiddenCommand)));
  EXPECT_EQ(registered_.Find("X"), nullptr);
}

TEST_F(AccountCommandsTest, ShowProfilesListsWhatTheSenderMaySee) {
  THubSocket& op = Online("op", op_);
  master_->Description = "all";
  guide_->Description = "helps";
  const std::string dash = "\r\n" + std::string(105, '-');
  // Op acts only below its level: Guide (3) is shown, Master (9) and Op (5)
  // are not, and the header counts the one row.
  EXPECT_EQ(Run(op, "!sp"), Bot(dash + "\r\n\xA6 Showing 1 hits from offset 0, total hits: 3\r\n\xA6 " +
                                dash + "\r\n\xA6  (3)Guide -  helps" + dash));
  settings_.MaxHitsOnSearch = 1;
  THubSocket& boss = Online("boss", master_);
  EXPECT_EQ(Run(boss, "!sp 1"),
            Bot(dash + "\r\n\xA6 Showing 1 hits from offset 1, total hits: 3\r\n\xA6 " + dash +
                "\r\n\xA6  (9)Master -  all" + dash));
  EXPECT_EQ(Run(boss, "!sp 7"),
            Bot(dash + "\r\n\xA6 Showing 0 hits from offset 3, total hits: 3\r\n\xA6 " + dash +
                dash));
}

TEST_F(AccountCommandsTest, ShowregPrintsTheCardOfASingleMatchElseTheTable) {
  THubSocket& boss = Online("boss", master_);
  THubSocket& op = Online("op", op_);
  const auto bob = accounts_.Find("Bob");
  ASSERT_NE(bob, nullptr);
  const std::string card =
      "Account: Bob" + kDash + "\r\n\xA6  Nick: Bob\r\n\xA6  Profile: Guide\r\n\xA6  IP pattern: [None]" +
      "\r\n\xA6  Owner: \r\n\xA6  Uptime: 00:00:00\r\n\xA6  Last used: [Never]" +
      "\r\n\xA6  Last spoke: [Never]\r\n\xA6  Created by: \r\n\xA6  Created: 2024-05-06 12:34:56" +
      "\r\n\xA6  Last changed by: \r\n\xA6  Last changed: [Never]\r\n\xA6  Expire date: [Permanent]" +
      kDash;
  // Op may list below its level only: Bob is the one visible account.
  EXPECT_EQ(Run(op, "!showreg all"), Bot(Header(1, 0, 1) + card));
  EXPECT_EQ(Run(boss, "!sr guide bob"), Bot(Header(1, 0, 1) + card));

  bob->ExpireDateEnabled = true;
  TryEncodeDateTime({2030, 1, 2, 0, 0, 0}, bob->ExpireDate);
  EXPECT_EQ(Run(boss, "!showreg all"),
            Bot(Header(2, 0, 2) + "On search: *" + kDash + Row("Bob", "Guide (expires: 2030-01-02)") +
                Row("Boss", "Master (permanent)") + kDash));
  settings_.MaxHitsOnSearch = 1;
  EXPECT_EQ(Run(boss, "!showreg all B* 1"),
            Bot(Header(1, 1, 2) + "On search: B*" + kDash + Row("Boss", "Master (permanent)") + kDash));
  EXPECT_EQ(Run(boss, "!showreg all B* 5"),
            Bot(Header(0, 5, 2) + "On search: B*" + kDash + kDash));
  EXPECT_EQ(Run(boss, "!showreg Nobody"),
            Bot("Profile does not exist, specify all or type !showprofiles (sp) to list profiles"));
}

TEST_F(AccountCommandsTest, UsershowregPrintsTheCardOfASingleMatchElseTheTable) {
  THubSocket& boss = Online("boss", master_);
  Run(boss, "!uar Guest gpw");
  Run(boss, "!uar Host hpw");
  EXPECT_EQ(Run(boss, "!usr"), Bot(Header(2, 0, 2) + "On search: *" + kDash + Row("Guest", " gpw") +
                                   Row("Host", " hpw") + kDash));
  EXPECT_EQ(Run(boss, "!usr * 1"),
            Bot(Header(1, 1, 2) + "On search: *" + kDash + Row("Host", " hpw") + kDash));
  EXPECT_EQ(Run(boss, "!usr * 2"), Bot(Header(0, 2, 2) + "On search: *" + kDash));
  EXPECT_EQ(Run(boss, "!usr guest 3"),
            Bot(Header(0, 3, 1) + "Nick: Guest" + kDash + "\r\n\xA6  Pass: gpw" +
                "\r\n\xA6  Created: 2024-05-06 12:34:56\r\n\xA6  Last used: [Never]" + kDash));
}

TEST_F(AccountCommandsTest, HideshareTogglesTheShownShareAndTellsEveryone) {
  auto sharer = MakeProfile("Sharer", {R::MayUseHubCommands, R::MayHideShare}, 1);
  THubSocket& user = Online("user", sharer);
  THubSocket& watcher = Online("watcher");
  watcher.LifeState = lsInitialised;
  TUserInfo& info = user.UserInfo();
  info.RealShare = info.Share = 5000;
  info.RebuildMyINFO(user.Nick, settings_);
  stats_.CurrentSharesize = 7000;
  Out(watcher);

  // The sender is told like every other user.
  std::string said = Run(user, "!hs");
  EXPECT_EQ(said, info.UserMyINFO.Text + Bot("Your share has now been hidden"));
  EXPECT_TRUE(user.HidesShare);
  EXPECT_EQ(info.Share, 0);
  EXPECT_EQ(stats_.CurrentSharesize, 2000);
  const std::string hidden = info.UserMyINFO.Text;
  EXPECT_NE(hidden.find("$0$|"), std::string::npos) << hidden;
  EXPECT_EQ(Out(watcher), hidden);

  EXPECT_EQ(Run(user, "!hs ON"), Bot("Your share is already hidden"));
  EXPECT_EQ(Run(user, "!hideshare maybe"),
            Bot("You need to either supply \"on\" hiding your share or \"off\" showing it again"));
  said = Run(user, "!hs");
  EXPECT_EQ(said, info.UserMyINFO.Text + Bot("Your share is now visible again"));
  EXPECT_FALSE(user.HidesShare);
  EXPECT_EQ(info.Share, 5000);
  EXPECT_EQ(stats_.CurrentSharesize, 7000);
  EXPECT_EQ(Out(watcher), info.UserMyINFO.Text);
  EXPECT_NE(info.UserMyINFO.Text, hidden);
  EXPECT_EQ(Run(user, "!hs off"), Bot("Your share isn't hidden"));

  info.RealShare = info.Share = 0;
  Run(user, "!hs on");
  EXPECT_EQ(Run(user, "!hs off"),
            Bot("Your share is now visible again, though you do not share anything"));
  EXPECT_EQ(stats_.CurrentSharesize, 7000);

  sharer->SetRight(R::ForceHideShare, 1);
  EXPECT_EQ(Run(user, "!hs on"), Bot("You're forced to hide your share due to profile settings"));
  EXPECT_FALSE(user.HidesShare);
}

TEST_F(AccountCommandsTest, HidemeQuitsForWhoMayNotSeeHiddenAndHellosBack) {
  auto hider = MakeProfile("Hider", {R::IsOperator, R::MayUseHubCommands, R::MayHideMe}, 5);
  auto seer = MakeProfile("Seer", {R::MayShowHidden}, 9, paLower);
  THubSocket& op = Online("op", hider);
  THubSocket& plain = Online("plain");
  THubSocket& watcher = Online("watcher", seer);
  for (THubSocket* user : {&op, &plain, &watcher}) user->LifeState = lsInitialised;
  op.UserInfo().RebuildMyINFO(op.Nick, settings_);
  Out(plain);
  Out(watcher);

  EXPECT_EQ(Run(op, "!hideme"),
            Bot("You're now hidden, other users can no longer see you in nicklist"));
  EXPECT_TRUE(op.Hidden);
  EXPECT_EQ(Out(plain), "$Quit op|");
  EXPECT_EQ(Out(watcher), "");
  EXPECT_EQ(Run(op, "!hideme on"),
            Bot("Your already hidden (you'll always see yourself in nicklist)"));
  EXPECT_EQ(Run(op, "!hideme x"),
            Bot("You need to either supply \"on\" hiding yourself (don't show in nicklist) or "
                "\"off\" showing you again"));

  plain.UserInfo().Supports.NoHello = true;
  EXPECT_EQ(Run(op, "!hideme off"),
            Bot("You're not hidden anymore, other users can now see you again in nicklist"));
  EXPECT_FALSE(op.Hidden);
  EXPECT_EQ(Out(plain), "$OpList op$$|" + op.UserInfo().UserMyINFO.Text);
  EXPECT_EQ(Out(watcher), "$Hello op|$OpList op$$|" + op.UserInfo().UserMyINFO.Text);
  EXPECT_EQ(Run(op, "!hideme off"), Bot("You're currently not hidden!"));
}

}  // namespace
