// $ValidateNick, $MyPass, the admission gate and login completion.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol_test_fixture.h"

namespace {

class TProtocolLoginTest : public TProtocolFixture {
 protected:
  THubSocket& Validate(std::string_view nick, std::string_view password = "") {
    THubSocket& user = NewUser(lgKeyAccepted);
    if (!password.empty()) Feed(user, "$MyPass " + std::string(password) + "|");
    Feed(user, "$ValidateNick " + std::string(nick) + "|");
    return user;
  }

  // Takes a user in state 3 through its first "$MyINFO".
  void CompleteLogin(THubSocket& user) {
    Feed(user, "$MyINFO $ALL " + user.Nick + " x$ $1\x01$$0$|");
  }
};

struct TNickCase {
  const char* Name;
  std::string Nick;
  const char* Reply;  // text expected in the output ("" for $Hello)
};

TEST_F(TProtocolLoginTest, NickRules) {
  settings_.NickMinLength = {true, 3};
  settings_.NickMaxLength = {true, 20};
  const std::vector<TNickCase> cases = {
      {"19 bytes", std::string(19, 'n'), ""},
      {"20 bytes", std::string(20, 'n'), "Your nickname is too long"},
      {"too short", "ab", "Your nickname is too short"},
      {"empty", "", "Your nickname is too short"},
      {"space", "ab cd", "forbidden characters:  "},
      {"control byte", "ab\x05" "cd", "forbidden characters"},
      {"dollar", "ab$cd", "forbidden characters: $"},
      {"reserved by the hub", "kavro", "already in use"},
  };
  for (const TNickCase& c : cases) {
    SCOPED_TRACE(c.Name);
    THubSocket& user = Validate(c.Nick);
    const std::string out = Output(user);
    if (c.Reply[0] == '\0') {
      EXPECT_EQ(out, "$Hello " + c.Nick + "|");
      EXPECT_EQ(user.LoginState, lgNickAccepted);
    } else {
      EXPECT_NE(out.find(c.Reply), std::string::npos) << out;
      EXPECT_EQ(user.LifeState, lsClosing);
    }
  }
}

TEST_F(TProtocolLoginTest, ForbiddenBytesHoldWithoutTheCharacterSetting) {
  settings_.AllowedNickCharsEnabled = false;
  THubSocket& user = Validate("a\x01" "b");
  EXPECT_EQ(user.LifeState, lsClosing);
  EXPECT_TRUE(user.Nick.empty());
}

TEST_F(TProtocolLoginTest, NickOfALoggedInUserIsRefused) {
  THubSocket& first = Validate("alice");
  CompleteLogin(first);
  ASSERT_EQ(first.LoginState, lgLoggedIn);
  Output(first);
  THubSocket& second = Validate("ALICE");
  EXPECT_EQ(second.LifeState, lsClosing);
  EXPECT_NE(Output(second).find(Text(TLanguageKey::NickInUse)), std::string::npos);
  EXPECT_EQ(Output(first), "|");  // probed, so a dead connection shows itself
}

TEST_F(TProtocolLoginTest, HubFullRedirects) {
  settings_.MaxUsers = 1;
  settings_.RedirectOnFull.Enabled = true;
  settings_.RedirectOnFull.SetAddresses("other.example.org:411");
  THubSocket& first = Validate("alice");
  CompleteLogin(first);
  ASSERT_EQ(first.LoginState, lgLoggedIn);
  THubSocket& second = Validate("bob");
  EXPECT_EQ(second.LifeState, lsClosing);
  EXPECT_EQ(Output(second), Bot(Text(TLanguageKey::HubIsFull)) + "$ForceMove other.example.org:411|");
  // An operator profile may enter anyway.
  op_->SetRight(TProfileRight::MayEnterEvenIfHubIsFull, 1);
  AddAccount("boss", "Op", "pw");
  THubSocket& boss = Validate("boss", "pw");
  EXPECT_EQ(boss.LoginState, lgNickAccepted);
}

TEST_F(TProtocolLoginTest, RegisteredPasswordPaths) {
  AddAccount("alice", "Vip", "secret");
  AddAccount("boss", "Op", "root");
  struct TCase {
    const char* Name;
    const char* Nick;
    const char* Early;  // $MyPass before $ValidateNick
    const char* Late;   // $MyPass after "$GetPass|"
    const char* Output;
    bool Closing;
  };
  const std::vector<TCase> cases = {
      {"asked for", "alice", "", "secret",
       "<-Kavro-> Your nickname is registered, please provide a password|$GetPass|$Hello alice|", false},
      {"sent early", "alice", "secret", "", "$Hello alice|", false},
      {"spaces trimmed", "alice", "", "  secret ",
       "<-Kavro-> Your nickname is registered, please provide a password|$GetPass|$Hello alice|", false},
      {"operator", "boss", "root", "", "$LogedIn boss|$Hello boss|", false},
      {"wrong", "alice", "", "Secret",
       "<-Kavro-> Your nickname is registered, please provide a password|$GetPass|<-Kavro-> "
       "Incorrect password|",
       true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    THubSocket& user = Validate(c.Nick, c.Early);
    if (c.Late[0] != '\0') Feed(user, std::string("$MyPass ") + c.Late + "|");
    EXPECT_EQ(Output(user), c.Output);
    EXPECT_EQ(user.LifeState == lsClosing, c.Closing);
    EXPECT_TRUE(user.Registered);
  }
}

TEST_F(TProtocolLoginTest, EmptyPasswordCloses) {
  AddAccount("alice", "Vip", "secret");
  THubSocket& user = Validate("alice");
  Feed(user, "$MyPass |");
  EXPECT_EQ(user.LifeState, lsClosing);
}

TEST_F(TProtocolLoginTest, AutoBanAtTheCountAndAfter) {
  AddAccount("alice", "Vip", "secret");
  settings_.AutoBanIncorrectPassword = {true, 3, 24};
  settings_.NotifyIncorrectPass = {true, 2};
  for (int attempt = 1; attempt <= 4; ++attempt) {
    SCOPED_TRACE(attempt);
    THubSocket& user = Validate("alice", "guess");
    const std::string out = Output(user);
    EXPECT_EQ(user.LifeState, lsClosing);
    EXPECT_EQ(out.find("$BadPass|") != std::string::npos, attempt >= 3);
    EXPECT_EQ(login_.IPBans.size(), static_cast<std::size_t>(attempt >= 3 ? attempt - 2 : 0));
    EXPECT_EQ(feed_.Actions.size(), static_cast<std::size_t>(attempt >= 2 ? attempt - 1 : 0));
  }
  // The right password starts the count again.
  Output(Validate("alice", "secret"));
  THubSocket& again = Validate("alice", "guess");
  EXPECT_EQ(Output(again).find("$BadPass|"), std::string::npos);
}

TEST_F(TProtocolLoginTest, DefaultPasswordAndRegOnly) {
  settings_.Password = {true, "hubpw"};
  THubSocket& asked = Validate("carol");
  EXPECT_EQ(Output(asked), "$GetPass|");
  Feed(asked, "$MyPass hubpw|");
  EXPECT_EQ(Output(asked), "$Hello carol|");
  THubSocket& wrong = Validate("dave");
  Feed(wrong, "$MyPass nope|");
  EXPECT_EQ(wrong.LifeState, lsClosing);

  settings_.Password.Enabled = false;
  settings_.RegOnlyHub = true;
  THubSocket& visitor = Validate("erin");
  EXPECT_EQ(visitor.LifeState, lsClosing);
  EXPECT_EQ(Output(visitor), Bot(Text(TLanguageKey::RegisteredUsersOnly)));
  EXPECT_EQ(feed_.Actions.size(), 1u);
}

TEST_F(TProtocolLoginTest, BannedNickIsRedirected) {
  login_.Banned = true;
  settings_.RedirectOnBans.Enabled = true;
  settings_.RedirectOnBans.SetAddresses("jail.example.org");
  THubSocket& user = Validate("mallory");
  EXPECT_EQ(user.LifeState, lsClosing);
  EXPECT_EQ(Output(user), "$ForceMove jail.example.org|");
}

TEST_F(TProtocolLoginTest, LoginCompleteListsAndCountsOut) {
  THubSocket& user = Validate("alice");
  EXPECT_EQ(protocol_.Authorizing(), 1);
  Output(user);
  CompleteLogin(user);
  EXPECT_EQ(user.LoginState, lgLoggedIn);
  EXPECT_TRUE(user.Listed);
  EXPECT_EQ(nickList_.FindUser("alice"), &user);
  EXPECT_EQ(protocol_.Authorizing(), 0);
}

TEST_F(TProtocolLoginTest, RegisteredUserReplacesItsOldConnection) {
  AddAccount("alice", "Vip", "secret");
  std::vector<THubSocket*> closedNow;
  protocol_.SetCloseNow([&](THubSocket& old) {
    closedNow.push_back(&old);
    nickList_.Remove(old);
    old.Listed = false;
    old.LifeState = lsClosing;
  });
  for (const char* ip : {"10.0.0.1", "10.7.7.7"}) {  // the old one's IP, then another
    SCOPED_TRACE(ip);
    closedNow.clear();
    THubSocket& old = Validate("alice", "secret");
    CompleteLogin(old);
    ASSERT_TRUE(old.Listed);
    THubSocket& fresh = NewUser(lgKeyAccepted);
    fresh.IP = ip;
    Feed(fresh, "$MyPass secret|$ValidateNick alice|");
    EXPECT_EQ(old.LifeState, lsClosing);
    CompleteLogin(fresh);
    EXPECT_EQ(closedNow, std::vector<THubSocket*>{&old});
    EXPECT_EQ(nickList_.FindUser("alice"), &fresh);
    nickList_.Remove(fresh);
  }
}

TEST_F(TProtocolLoginTest, WrongPasswordFromElsewhereLeavesTheOwner) {
  AddAccount("alice", "Vip", "secret");
  THubSocket& owner = Validate("alice", "secret");
  CompleteLogin(owner);
  THubSocket& other = NewUser(lgKeyAccepted);
  other.IP = "10.9.9.9";
  Feed(other, "$ValidateNick alice|$MyPass wrong|");
  EXPECT_EQ(other.LifeState, lsClosing);
  EXPECT_EQ(owner.LifeState, lsInitialised);
}

}  // namespace
