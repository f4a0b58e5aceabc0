// The core's side of the lasting bans: which connection fields and rights
// each check reads, the password auto-ban and bans put on a connected user.
#include "core/ban_gate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "security/ban_list.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/fake_connection.h"

namespace {

TDateTime At(int year, int month, int day, int hour = 0) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, 0, 0}, value));
  return value;
}

class BanGateTest : public ::testing::Test {
 protected:
  BanGateTest() { settings.SetBotName("Bot"); }

  std::unique_ptr<THubSocket> Connect(const char* nick, std::shared_ptr<TProfile> profile = nullptr) {
    auto user = users.Connect(nick, std::move(profile));
    user->IP = "10.1.2.3";
    return user;
  }
  static std::shared_ptr<TProfile> With(TProfileRight right) {
    auto profile = std::make_shared<TProfile>();
    profile->ProfileLevel = 4;
    profile->SetRight(right, 1);
    return profile;
  }
  static std::string Take(THubSocket& user) {
    std::string sent = user.WriteBuffer().GetString();
    user.WriteBuffer().Clear(false);
    return sent;
  }

  TDateTime now = At(2024, 5, 1, 12);
  TSettings settings;
  TLanguage language;
  TFakeUsers users;
  TBanList bans{language, {}, [this] { return now; }};
};

TEST_F(BanGateTest, EachCheckReadsItsFieldAndItsRight) {
  bans.AddNickBan("bad*", "", 0, {}, "op");
  bans.AddIPBan("10.1.2.*", "", 0, {}, "op");
  bans.AddDNSBan("*.evil.net", "", {}, "op");
  bans.AddClientBan("DC++0.6*", "", {}, "op");
  const std::string refusal = "<Bot> You're banned from this hub by op|";

  auto nick = Connect("badguy");
  nick->IP = "192.0.2.1";
  EXPECT_TRUE(RefuseNickOrIPBanned(bans, settings, *nick));
  EXPECT_EQ(Take(*nick), refusal);
  EXPECT_EQ(nick->LifeState, lsClosing);
  auto nickVip = Connect("badguy", With(TProfileRight::MayByPassNickBans));
  nickVip->IP = "192.0.2.1";
  EXPECT_FALSE(RefuseNickOrIPBanned(bans, settings, *nickVip));

  EXPECT_TRUE(RefuseNickOrIPBanned(bans, settings, *Connect("good")));
  EXPECT_FALSE(
      RefuseNickOrIPBanned(bans, settings, *Connect("good", With(TProfileRight::MayByPassIPBans))));

  auto host = Connect("good");
  host->IP = "192.0.2.1";
  EXPECT_FALSE(RefuseDNSBanned(bans, settings, *host)) << "no host name yet";
  host->DNSName = "a.EVIL.net";
  EXPECT_TRUE(RefuseDNSBanned(bans, settings, *host));
  EXPECT_EQ(Take(*host), refusal);
  auto hostVip = Connect("good", With(TProfileRight::MayByPassDNSBans));
  hostVip->DNSName = "a.evil.net";
  EXPECT_FALSE(RefuseDNSBanned(bans, settings, *hostVip));

  auto client = Connect("good");
  client->UserInfo().ClientName = "DC++";
  client->UserInfo().ClientVersion = "0.674";
  EXPECT_TRUE(RefuseClientBanned(bans, settings, *client));
  EXPECT_EQ(Take(*client), "<Bot> Your client is banned from this hub by op|");
  auto clientVip = Connect("good", With(TProfileRight::MayByPassClientBans));
  clientVip->UserInfo().ClientName = "DC++";
  clientVip->UserInfo().ClientVersion = "0.674";
  EXPECT_FALSE(RefuseClientBanned(bans, settings, *clientVip));
  EXPECT_EQ(Take(*clientVip), "");
  EXPECT_EQ(clientVip->LifeState, lsInitialised);
}

TEST_F(BanGateTest, PasswordAutoBanHoldsAgainstTheBypassRight) {
  auto user = Connect("alice", With(TProfileRight::MayByPassIPBans));
  AutoBanIP(bans, *user, "[auto]Incorrect password supplied", 24);
  const TBan* ban = bans.FindIPBan("10.1.2.3");
  ASSERT_NE(ban, nullptr);
  EXPECT_TRUE(ban->Overrideable);
  EXPECT_EQ(ban->BannedBy, "Kavro");
  EXPECT_EQ(ban->Reason, "[auto]Incorrect password supplied");
  EXPECT_EQ(ban->Expires, At(2024, 5, 2, 12));
  EXPECT_EQ(ban->Level, 4);
  EXPECT_EQ(Take(*user), "") << "the password check tells the user";

  auto again = Connect("alice", With(TProfileRight::MayByPassIPBans));
  EXPECT_TRUE(RefuseNickOrIPBanned(bans, settings, *again));
  EXPECT_EQ(Take(*again),
            "<Bot> You're temporary banned until 2024-05-02 12:00:00 by Kavro because: "
            "[auto]Incorrect password supplied|");
}

TEST_F(BanGateTest, BanningAConnectedUserTellsAndCloses) {
  auto user = Connect("troll", users.Operator);
  EXPECT_TRUE(BanConnectionNick(bans, settings, *user, "", {}, "boss"));
  EXPECT_EQ(Take(*user), "<Bot> You've been banned by boss|");
  EXPECT_EQ(user->LifeState, lsClosing);
  ASSERT_NE(bans.FindNickBan("troll"), nullptr);
  EXPECT_EQ(bans.FindNickBan("troll")->Level, 5);

  auto second = Connect("troll");
  EXPECT_FALSE(BanConnectionNick(bans, settings, *second, "", {}, "boss"));
  EXPECT_EQ(Take(*second), "");
  EXPECT_EQ(second->LifeState, lsInitialised);

  EXPECT_TRUE(BanConnectionIP(bans, settings, *second, "flood", At(2024, 5, 1, 13), "boss"));
  EXPECT_EQ(Take(*second),
            "<Bot> You've been temporary banned until 2024-05-01 13:00:00 by boss because: "
            "flood|");
  EXPECT_NE(bans.FindIPBan("10.1.2.3"), nullptr);
}

}  // namespace
