#include "security/tmp_ban_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "settings/language.h"
#include "settings/settings.h"

namespace {

constexpr std::uint64_t kBanTime = 360000;  // the default TmpBanTime

class TmpBanFixture {
 public:
  TmpBanFixture() : bans(settings, language, [this] { return now; }) { settings.SetBotName("Bot"); }

  // A fresh connection attempt: true when refused.
  bool Refused(std::string_view nick, std::string_view ip) {
    return bans.Refusal(nick, ip).has_value();
  }

  std::uint64_t now = 1000;
  TSettings settings;
  TLanguage language;
  TTmpBanList bans;
};

TEST(TmpBanList, NickRefusalRestartsTheBan) {
  TmpBanFixture t;
  t.bans.Add("bad", "1.2.3.4", "");
  for (int attempt = 0; attempt < 5; ++attempt) {
    t.now += kBanTime - 1;  // each attempt comes just before the ban would end
    // nicks ignore letter case
    EXPECT_EQ(t.bans.Refusal("BAD", "5.6.7.8"),
              "You are still temporarily banned for another 00:06:00 (Hammering will keep "
              "resetting your ban)")
        << attempt;
  }
  t.now += kBanTime;
  EXPECT_FALSE(t.Refused("bad", "5.6.7.8"));
  EXPECT_EQ(t.bans.Count(), 0);
}

TEST(TmpBanList, IPRefusalRunsOutWithoutRestarting) {
  TmpBanFixture t;
  t.bans.Add("bad", "1.2.3.4", "flooding");
  t.now += 100000;
  EXPECT_EQ(t.bans.Refusal("other", "1.2.3.4"),
            "The IP address 1.2.3.4 is still banned for another 00:04:20 as bad because: "
            "flooding");
  for (int attempt = 0; attempt < 25; ++attempt) {
    t.now += 10000;
    EXPECT_TRUE(t.Refused("other" + std::to_string(attempt), "1.2.3.4")) << attempt;
  }
  t.now = 1000 + kBanTime;
  EXPECT_FALSE(t.Refused("other", "1.2.3.4"));
  EXPECT_EQ(t.bans.FindIP("1.2.3.4"), nullptr);
  EXPECT_FALSE(t.Refused("other", "1.2.3.4"));
}

TEST(TmpBanList, RefusalTexts) {
  struct TCase {
    const char* reason;
    bool byNick;
    const char* text;
  };
  const TCase cases[] = {
      {"", true,
       "You are still temporarily banned for another 00:06:00 (Hammering will keep "
       "resetting your ban)"},
      {"spam", true,
       "You are still temporarily banned for another 00:06:00 (Hammering will keep "
       "resetting your ban) because: spam"},
      {"", false, "The IP address 9.9.9.9 is still banned for another 00:06:00 as bad"},
      {"spam", false,
       "The IP address 9.9.9.9 is still banned for another 00:06:00 as bad because: spam"},
  };
  for (const TCase& c : cases) {
    TmpBanFixture t;
    t.bans.Add("bad", "9.9.9.9", c.reason);
    EXPECT_EQ(t.bans.Refusal(c.byNick ? "bad" : "good", "9.9.9.9"), c.text);
  }
}

TEST(TmpBanList, AddOfAHeldNickAndIPChangesNothing) {
  TmpBanFixture t;
  t.bans.Add("bad", "1.2.3.4", "first");
  t.now += 100000;
  t.bans.Add("bad", "1.2.3.4", "second");
  ASSERT_EQ(t.bans.Count(), 1);
  const TTmpBan* ban = t.bans.FindNick("bad");
  EXPECT_EQ(ban->Reason, "first");
  EXPECT_EQ(ban->NickExpiry, 1000 + kBanTime);
  EXPECT_EQ(ban->IPExpiry, 1000 + kBanTime);
}

TEST(TmpBanList, NewNickTakesTheIPOver) {
  TmpBanFixture t;
  t.bans.Add("first", "1.2.3.4", "");
  t.now += 1000;
  t.bans.Add("second", "1.2.3.4", "");
  EXPECT_EQ(t.bans.Count(), 2);
  EXPECT_EQ(t.bans.FindIP("1.2.3.4")->Nick, "second");
  EXPECT_NE(t.bans.FindNick("first"), nullptr);  // the older nick stays banned
  // Dropping the older entry must leave the newer one's IP key alone.
  t.now += kBanTime - 1000;
  t.bans.RemoveExpired();
  EXPECT_EQ(t.bans.FindNick("first"), nullptr);
  ASSERT_NE(t.bans.FindIP("1.2.3.4"), nullptr);
  EXPECT_TRUE(t.Refused("third", "1.2.3.4"));
}

TEST(TmpBanList, SameNickFromAnotherIPReplacesTheOldBan) {
  TmpBanFixture t;
  t.bans.Add("bad", "1.1.1.1", "old");
  t.now += 5000;
  t.bans.Add("bad", "2.2.2.2", "new");
  ASSERT_EQ(t.bans.Count(), 1);
  EXPECT_EQ(t.bans.FindNick("bad")->Reason, "new");
  EXPECT_EQ(t.bans.FindIP("1.1.1.1"), nullptr);
  EXPECT_EQ(t.bans.FindIP("2.2.2.2"), t.bans.FindNick("bad"));
}

TEST(TmpBanList, ExpiredEntryDoesNotBlockANewBan) {
  TmpBanFixture t;
  t.bans.Add("bad", "1.2.3.4", "old");
  t.now += kBanTime + 1;
  t.bans.Add("bad", "1.2.3.4", "new");
  EXPECT_EQ(t.bans.FindNick("bad")->Reason, "new");
  EXPECT_TRUE(t.Refused("bad", "1.2.3.4"));
}

TEST(TmpBanList, ClearBans) {
  TmpBanFixture t;
  EXPECT_EQ(t.bans.ClearBans(0), "There were no temporary bans that needed to be removed");
  t.bans.Add("stale", "1.0.0.1", "");
  t.now += kBanTime;
  for (const char* nick : {"a", "b", "c", "d"}) {
    t.bans.Add(nick, std::string("2.0.0.") + nick, "");
    t.now += 10;
  }
  EXPECT_EQ(t.bans.ClearBans(1), "1 temporary bans were removed");
  EXPECT_EQ(t.bans.FindNick("stale"), nullptr);  // expired ones go uncounted
  EXPECT_EQ(t.bans.FindNick("d"), nullptr);
  EXPECT_NE(t.bans.FindNick("c"), nullptr);
  EXPECT_EQ(t.bans.ClearBans(2), "2 temporary bans were removed");
  EXPECT_NE(t.bans.FindNick("a"), nullptr);
  EXPECT_EQ(t.bans.FindNick("b"), nullptr);
  t.bans.Add("e", "3.0.0.1", "");
  EXPECT_EQ(t.bans.ClearBans(-1), "2 temporary bans were removed");
  EXPECT_EQ(t.bans.Count(), 0);
  EXPECT_FALSE(t.Refused("e", "3.0.0.1"));
}

TEST(TmpBanList, SwitchedOffBansNobody) {
  TmpBanFixture t;
  t.settings.TmpBanTime.Enabled = false;
  t.bans.Add("bad", "1.2.3.4", "");
  EXPECT_EQ(t.bans.Count(), 0);
  EXPECT_FALSE(t.Refused("bad", "1.2.3.4"));
}

}  // namespace
