#include "stats/user_stats_local.h"

#include "security/profile.h"
#include "stats_fixture.h"
#include "utils/byte_size.h"

namespace {

class UserStatsLocalTest : public TStatsFixture {
 protected:
  UserStatsLocalTest() {
    op_->SetRight(TProfileRight::MayShowUserInfo, 3);
    for (TProfileRight right : {TProfileRight::MayBlockUser, TProfileRight::MayUseMuteUser,
                                TProfileRight::MayUseLunarizeUser,
                                TProfileRight::MayUseKennylizeUser}) {
      op_->SetRight(right, 2);  // stored level not above the operator's own
    }
    op_->ProfileLevel = 5;
    vip_->ProfileLevel = 3;
    issuer_ = &Online("op", "10.0.0.9", "Op");
  }

  // A visit: logs in at `now_`, leaves `minutes` later.
  THubSocket& Visit(std::string_view nick, std::string_view ip, int minutes = 60) {
    THubSocket& user = Online(nick, ip);
    stats_.UserLoggedIn(user);
    now_.Seconds += minutes * 60;
    Leave(user);
    stats_.UserLoggedOut(user);
    return user;
  }

  std::string UserInfo(std::string_view pattern, int offset = 0) {
    stats_.ReportUserInfo(*issuer_, pattern, false, offset);
    return Chat(*issuer_);
  }

  TUserStatsLocal stats_{Context()};
  THubSocket* issuer_ = nullptr;
};

TEST_F(UserStatsLocalTest, ResultHeadersForNoMatchAndOffsets) {
  Visit("alice", "10.0.0.1");
  Visit("bob", "10.0.0.1");
  Visit("carol", "10.0.0.2");
  settings_.MaxHitsOnSearch = 1;
  const std::string offline = "\t\t\t(Offline since: 2024-05-06 ";
  struct TCase {
    std::string_view Pattern;
    int Offset;
    std::string Expected;
  } cases[] = {
      {"nobody", 0,
       Dash() + Head("Showing 0 hits from offset 0, total hits: 0") + Head("On search: nobody") +
           Dash()},
      {"*", 7,
       Dash() + Head("Showing 0 hits from offset 7, total hits: 3") + Head("On search: *") +
           Dash() + Dash()},
      {"*", 1,
       Dash() + Head("Showing 1 hits from offset 1, total hits: 3") + Head("On search: *") +
           Dash() + Row("bob" + offline + "14:00:00)") + Dash()},
      {"ca*", 0, ""},  // one match: the card, checked below
  };
  for (const TCase& c : cases) {
    const std::string got = UserInfo(c.Pattern, c.Offset);
    if (!c.Expected.empty()) EXPECT_EQ(got, c.Expected) << c.Pattern << " " << c.Offset;
    else EXPECT_NE(got.find("User: carol (Offline since 2024-05-06 15:00:00)"), std::string::npos);
  }
}

TEST_F(UserStatsLocalTest, OnlineCardOfAnAccountWithExpiryThenItsOfflineCard) {
  THubSocket& first = Online("vip", "10.0.0.2", "Vip");
  stats_.UserLoggedIn(first);
  first.UserInfo().Muted = true;
  first.UserInfo().MutedLevel = 4;
  first.UserInfo().KickCount = 2;
  now_.Seconds += 3600;
  Leave(first);
  stats_.UserLoggedOut(first);
  first.Close(false);

  now_.Seconds += 60;
  THubSocket& vip = NewUser(lgLoggedIn, "vip");
  vip.IP = "10.0.0.2";
  vip.ConnectTime = now_;
  vip.BindAccount(accounts_.Find("vip"), settings_.ConnRestriction);
  vip.Account->ExpireDateEnabled = true;
  vip.Account->ExpireDate = At(2025, 1, 2, 0, 0, 0);
  ASSERT_TRUE(nickList_.Add(vip));
  stats_.UserLoggedIn(vip);
  EXPECT_TRUE(vip.UserInfo().Muted);  // the stored penalty came back
  EXPECT_EQ(vip.UserInfo().MutedLevel, 4);
  TUserInfo& info = vip.UserInfo();
  vip.DNSName = "host.example";
  vip.Passive = true;
  info.Share = 1536;
  info.Email = "v@x";
  info.Description = "desc";
  info.Tag = "<++ V:1>";
  info.TagPresent = true;
  info.Hubs = 3;
  info.Slots = 4;
  info.ClientName = "++";
  info.ClientVersion = "0.1";

  const std::string title = Dash() + Head("Showing information on: vip") + Dash() +
                            Head("General information:");
  const std::string penalties =
      Row("Times kicked: 2") + Row("Muted: Yes") + Row("Kennylized: No") +
      Row("Lunarized: No") + Row("Blocked: No");
  const std::string firstVisit =
      Row("10.0.0.2\t\t\tFrom: 2024-05-06 12:00:00\tTo: 2024-05-06 13:00:00");
  EXPECT_EQ(UserInfo("vip"),
            title + Row("User: vip (Online)") +
                Row("Profile: Vip (Account expires: 2025-01-02)") +
                Row("IP: 10.0.0.2 (Connected: 2024-05-06 13:01:00)") + Row("DNS: host.example") +
                Row("Passive: Yes") + Row("Operator: No") + penalties +
                Row("Sharesize: " + FormatByteSize(1536) + " (exact size: 1536 B)") +
                Row("Email: v@x") + Row("Description: desc") + Row("Tag: <++ V:1>") +
                Row("Hubs: 3") + Row("Slots: 4") + Row("Client: ++0.1") + Head("") +
                Head("IP history:") +
                Row("10.0.0.2\t\t\tFrom: 2024-05-06 13:01:00\tTo: Still connected") + firstVisit +
                Head("") + Dash());

  now_.Seconds += 60;
  Leave(vip);
  stats_.UserLoggedOut(vip);
  EXPECT_EQ(UserInfo("vip"),
            title + Row("User: vip (Offline since 2024-05-06 13:02:00)") +
                Row("Profile: Vip (Account expires: 2025-01-02)") + Row("Operator: No") +
                penalties + Head("") + Head("IP history:") +
                Row("10.0.0.2\t\t\tFrom: 2024-05-06 13:01:00\tTo: 2024-05-06 13:02:00") +
                firstVisit + Head("") + Dash());
}

// An issuer whose right does not reach the user sees neither the online
// card nor, once it left, the card of its account.
TEST_F(UserStatsLocalTest, CantShowOnlineAndOfflineAccounts) {
  auto helper = profiles_.Add("Helper");
  helper->SetRight(TProfileRight::MayShowUserInfo, 1);  // lower levels only
  helper->ProfileLevel = 3;
  issuer_ = &Online("helper", "10.0.0.8", "Helper");
  THubSocket& vip = Online("vip", "10.0.0.2", "Vip");
  stats_.UserLoggedIn(vip);
  const std::string cantShow =
      Dash() + Head("You're not allowed to view this information") + Head("") + Dash();
  EXPECT_EQ(UserInfo("vip"), cantShow);
  Leave(vip);
  stats_.UserLoggedOut(vip);
  EXPECT_EQ(UserInfo("vip"), cantShow);
  vip_->ProfileLevel = 2;
  EXPECT_NE(UserInfo("vip").find("User: vip (Offline since"), std::string::npos);
}

TEST_F(UserStatsLocalTest, IPCardShowsTheLastThirtyNicks) {
  for (int i = 0; i < 35; ++i) Visit("n" + std::to_string(10 + i), "10.1.1.1", 1);
  std::string expected = Dash() + Head("Showing information on: 10.1.1.1 (Most recent 30 hits)") +
                         Dash();
  for (int i = 34; i >= 5; --i) {
    expected += Row("n" + std::to_string(10 + i) + "\t\t\t(Used 1 times, last used " +
                    FormatDateTime(At(2024, 5, 6, 12, i, 0)) + ")");
  }
  stats_.ReportIPInfo(*issuer_, "10.1.1.1", false, 0);
  EXPECT_EQ(Chat(*issuer_), expected + Dash());
  Visit("x", "10.1.2.1", 1);
  stats_.ReportIPInfo(*issuer_, "10.*", false, 0);
  EXPECT_EQ(Chat(*issuer_), Dash() + Head("Showing 2 hits from offset 0, total hits: 2") +
                                Head("On search: 10.*") + Dash() +
                                Row("10.1.1.1\t\t\t(Last used: 2024-05-06 12:35:00)") +
                                Row("10.1.2.1\t\t\t(Last used: 2024-05-06 12:36:00)") + Dash());
}

TEST_F(UserStatsLocalTest, NickInfoSplitsOnlineAndEarlierUses) {
  Visit("ann", "10.2.2.2");
  Visit("ben", "10.2.2.2");
  THubSocket& ann = Online("ann", "10.2.2.2");
  stats_.UserLoggedIn(ann);
  stats_.ReportNickInfo(*issuer_, "10.2.2.2", false, 0);
  EXPECT_EQ(Chat(*issuer_),
            Dash() + Head("Showing 1 hits from offset 0, total hits: 1") +
                Head("On search: 10.2.2.2") + Dash() + Head("Previously used by:") +
                Row("ann\t\t\t 10.2.2.2\t\t(used 1 time)") +
                Row("ben\t\t\t 10.2.2.2\t\t(used 1 time)") + Head("") +
                Head("Currently used by:") + Row("ann\t\t\t 10.2.2.2") + Dash());
}

TEST_F(UserStatsLocalTest, ThirtyFirstLoginDropsTheOldest) {
  for (int i = 0; i < 31; ++i) Visit("eve", "10.3.3." + std::to_string(i), 1);
  const TNickStats* eve = stats_.FindNick("eve");
  ASSERT_NE(eve, nullptr);
  ASSERT_EQ(eve->Logins.size(), 30U);
  EXPECT_EQ(eve->Logins.front().IP, "10.3.3.1");
}

TEST_F(UserStatsLocalTest, LogoutWithoutRecordedLoginChangesNothing) {
  THubSocket& user = Visit("zed", "10.4.4.4");
  const TIPStats* ip = stats_.FindIP("10.4.4.4");
  ASSERT_NE(ip, nullptr);
  user.UserInfo().KickCount = 9;
  stats_.UserLoggedOut(user);  // flag already cleared
  EXPECT_EQ(stats_.FindNick("zed")->TimesKicked, 0);
  EXPECT_EQ(ip->Online, 0);
}

// Two users of one IP: one leaving lowers the count by one.
TEST_F(UserStatsLocalTest, CleanupKeepsOnlineEntriesAndNotifies) {
  int notified = 0;
  stats_.SetChangeNotification([&] { ++notified; });
  Visit("gone", "10.5.5.5");
  THubSocket& a = Online("stay", "10.6.6.6");
  THubSocket& b = Online("other", "10.6.6.6");
  stats_.UserLoggedIn(a);
  stats_.UserLoggedIn(b);
  Leave(b);
  stats_.UserLoggedOut(b);
  EXPECT_EQ(stats_.FindIP("10.6.6.6")->Online, 1);
  notified = 0;
  now_.Seconds += 10;
  stats_.Cleanup(now_);
  EXPECT_EQ(stats_.FindNick("gone"), nullptr);
  EXPECT_EQ(stats_.FindNick("other"), nullptr);
  ASSERT_NE(stats_.FindNick("stay"), nullptr);
  EXPECT_EQ(stats_.FindNick("stay")->Logins.size(), 1U);
  EXPECT_EQ(stats_.FindIP("10.5.5.5"), nullptr);
  ASSERT_NE(stats_.FindIP("10.6.6.6"), nullptr);
  EXPECT_EQ(stats_.FindIP("10.6.6.6")->Nicks.Count(), 1);
  EXPECT_EQ(stats_.NickCount(), 1);
  EXPECT_EQ(stats_.IPCount(), 1);
  EXPECT_EQ(notified, 1);
  stats_.Cleanup(now_);
  EXPECT_EQ(notified, 1);  // nothing changed
}

TEST_F(UserStatsLocalTest, ClearingStoredPenalties) {
  THubSocket& user = Online("pat", "10.7.7.7");
  stats_.UserLoggedIn(user);
  user.UserInfo().Muted = true;
  user.UserInfo().MutedLevel = 5;
  user.UserInfo().Blocked = true;
  user.UserInfo().BlockedLevel = 7;
  Leave(user);
  stats_.UserLoggedOut(user);
  const std::string bot = "$To: op From: " + settings_.BotName() + " $<" + settings_.BotName() + "> ";
  struct TCase {
    void (TUserStatsLocal::*Clear)(THubSocket&, std::string_view, bool);
    std::string_view Nick;
    std::string Answer;
  } cases[] = {
      {&TUserStatsLocal::ClearMuted, "nobody", "The user nobody wasn't found"},
      {&TUserStatsLocal::ClearLunarized, "pat", "pat isn't lunarized"},
      {&TUserStatsLocal::ClearBlocked, "pat", "The block is set by a stronger user"},
      {&TUserStatsLocal::ClearMuted, "pat", "pat has been unmuted"},
      {&TUserStatsLocal::ClearMuted, "pat", "pat isn't muted"},
  };
  for (const TCase& c : cases) {
    (stats_.*c.Clear)(*issuer_, c.Nick, true);
    EXPECT_EQ(Output(*issuer_), bot + c.Answer + "|") << c.Answer;
  }
  EXPECT_EQ(actions_, std::vector<std::string>{"pat unmuted op"});
  EXPECT_EQ(stats_.FindNick("pat")->Muted, -1);
  EXPECT_EQ(stats_.FindNick("pat")->Blocked, 7);
}

}  // namespace
