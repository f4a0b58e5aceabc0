// The lasting bans in memory: which bans refuse which nicks, IPs, host names
// and clients, with expiry and the bypass rights; the add refusals; the
// refusal and notice texts.
#include "security/ban_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/language.h"

namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, hour, minute, second}, value));
  return value;
}

const TDateTime kPermanent{};

class BanListFixture {
 public:
  BanListFixture() : bans(language, {}, [this] { return now; }) {}

  TDateTime Past() const { return TDateTime{now.Seconds - 1}; }
  TDateTime Future() const { return TDateTime{now.Seconds + 3600}; }

  // The kind's check for `text` with the bypass right of that kind.
  std::optional<std::string> Check(TBanKind kind, std::string_view text, bool bypass) {
    switch (kind) {
      case TBanKind::Nick: return bans.CheckNickAndIPBan(text, "192.0.2.200", bypass, false);
      case TBanKind::IP: return bans.CheckNickAndIPBan("innocent", text, false, bypass);
      case TBanKind::DNS: return bans.CheckDNSBan(text, bypass);
      case TBanKind::Client: break;
    }
    return bans.CheckClientBan(text, bypass);
  }

  TBan* Add(TBanKind kind, std::string_view pattern, TDateTime expires,
            std::string_view reason = {}) {
    switch (kind) {
      case TBanKind::Nick: return bans.AddNickBan(pattern, reason, 0, expires, "op");
      case TBanKind::IP: return bans.AddIPBan(pattern, reason, 0, expires, "op");
      case TBanKind::DNS: return bans.AddDNSBan(pattern, reason, expires, "op");
      case TBanKind::Client: break;
    }
    return bans.AddClientBan(pattern, reason, expires, "op");
  }

  TDateTime now = At(2024, 5, 1, 12);
  TLanguage language;
  TBanList bans;
};

struct MatchCase {
  TBanKind kind;
  const char* pattern;
  const char* text;
  bool expired;
  bool overrideable;
  bool bypass;  // the user's right of that kind
  bool refused;
};

TEST(BanListMatch, WhichBanRefusesWhom) {
  using K = TBanKind;
  const MatchCase cases[] = {
      // exact, ignoring case
      {K::Nick, "Alice", "aLICE", false, false, false, true},
      {K::Nick, "Alice", "Alice2", false, false, false, false},
      // prefix, suffix, infix
      {K::Nick, "abc*", "abcdef", false, false, false, true},
      {K::Nick, "abc*", "xabc", false, false, false, false},
      {K::Nick, "*bot", "helperBOT", false, false, false, true},
      {K::Nick, "*bot", "bots", false, false, false, false},
      {K::Nick, "*spam*", "xxSpamxx", false, false, false, true},
      {K::Nick, "*spam*", "spa", false, false, false, false},
      // '?' is a plain character outside host names
      {K::Nick, "ab?d", "abcd", false, false, false, false},
      {K::Nick, "ab?d", "AB?D", false, false, false, true},
      // expired: deleted at the check, refuses nobody
      {K::Nick, "old*", "oldie", true, false, false, false},
      {K::Nick, "old*", "oldie", true, true, false, false},
      // the bypass right passes a ban only while Overrideable is off
      {K::Nick, "abc*", "abcdef", false, false, true, false},
      {K::Nick, "abc*", "abcdef", false, true, true, true},
      {K::Nick, "abc*", "abcdef", false, true, false, true},

      {K::IP, "10.0.0.1", "10.0.0.1", false, false, false, true},
      {K::IP, "10.0.0.1", "10.0.0.10", false, false, false, false},
      {K::IP, "10.0.0.*", "10.0.0.77", false, false, false, true},
      {K::IP, "10.0.0.*", "10.0.1.1", false, false, false, false},
      {K::IP, "*.255", "10.1.2.255", false, false, false, true},
      {K::IP, "*.13.*", "10.13.2.1", false, false, false, true},
      {K::IP, "10.0.0.*", "10.0.0.77", true, false, false, false},
      {K::IP, "10.0.0.*", "10.0.0.77", false, false, true, false},
      {K::IP, "10.0.0.*", "10.0.0.77", false, true, true, true},

      {K::DNS, "*.example.com", "host.EXAMPLE.com", false, false, false, true},
      {K::DNS, "*.example.com", "example.com", false, false, false, false},
      {K::DNS, "host?.example.com", "host7.example.com", false, false, false, true},
      {K::DNS, "host?.example.com", "host77.example.com", false, false, false, false},
      {K::DNS, "*.ex?mple.*", "a.exAmple.org", false, false, false, true},
      {K::DNS, "*.com", "", false, false, false, false},  // no host name, no ban
      {K::DNS, "*.com", "a.com", true, false, false, false},
      {K::DNS, "*.com", "a.com", false, false, true, false},
      {K::DNS, "*.com", "a.com", false, true, true, true},

      {K::Client, "DC++0.868", "dc++0.868", false, false, false, true},
      {K::Client, "DC++0.6*", "DC++0.674", false, false, false, true},
      {K::Client, "DC++0.6*", "DC++0.868", false, false, false, false},
      {K::Client, "*Leech*", "StrongLeech2.0", false, false, false, true},
      {K::Client, "DC++*", "DC++0.868", true, false, false, false},
      // the client right passes every client ban, Overrideable or not
      {K::Client, "DC++*", "DC++0.868", false, false, true, false},
      {K::Client, "DC++*", "DC++0.868", false, true, true, false},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.text + (c.expired ? " expired" : "") +
                 (c.overrideable ? " overrideable" : "") + (c.bypass ? " bypass" : ""));
    BanListFixture t;
    TBan* ban = t.Add(c.kind, c.pattern, c.expired ? t.Past() : t.Future());
    ASSERT_NE(ban, nullptr);
    ban->Overrideable = c.overrideable;
    t.now.Seconds += 10;
    EXPECT_EQ(t.Check(c.kind, c.text, c.bypass).has_value(), c.refused);
    const TBan* held = t.bans.Find(c.kind, c.pattern);
    if (c.expired) {
      EXPECT_EQ(held, nullptr) << "an expired match is deleted";
    } else if (c.refused) {
      ASSERT_NE(held, nullptr);
      EXPECT_EQ(held->LastUsed, t.now);
    } else if (held != nullptr) {
      EXPECT_EQ(held->LastUsed, TDateTime{});
    }
  }
}

TEST(BanListMatch, NickFirstAndAnExpiredNickBanLetsTheIPBanAnswer) {
  BanListFixture t;
  t.bans.AddNickBan("bob", "", 0, t.Future(), "op");
  t.bans.AddIPBan("10.1.1.1", "flood", 0, kPermanent, "ip-op");
  EXPECT_EQ(t.bans.CheckNickAndIPBan("bob", "10.1.1.1", false, false),
            "You're temporary banned until 2024-05-01 13:00:00 by op")
      << "the nick answers first";
  t.now.Seconds += 7200;
  EXPECT_EQ(t.bans.CheckNickAndIPBan("bob", "10.1.1.1", false, false),
            "You're banned from this hub by ip-op because: flood");
  EXPECT_EQ(t.bans.FindNickBan("bob"), nullptr);
}

// Neither an expired ban nor one the user may bypass hides a live ban
// behind it; the bans are met in the order the best match is chosen.
TEST(BanListMatch, EveryMatchIsWalkedInMatchOrder) {
  BanListFixture t;
  t.bans.AddIPBan("127.0.8.1", "exact", 0, t.Future(), "a");
  t.bans.AddIPBan("127.0.8.*", "range", 0, kPermanent, "b");
  t.bans.AddIPBan("127.0.*", "wide", 0, kPermanent, "c");
  t.bans.AddIPBan("*.1", "suffix", 0, kPermanent, "d");

  EXPECT_EQ(t.bans.CheckNickAndIPBan("u", "127.0.8.1", false, false),
            "You're temporary banned until 2024-05-01 13:00:00 by a because: exact");
  t.now.Seconds += 3600;  // the exact ban has just run out
  EXPECT_EQ(t.bans.CheckNickAndIPBan("u", "127.0.8.1", false, false),
            "You're banned from this hub by b because: range");
  EXPECT_EQ(t.bans.FindIPBan("127.0.8.1"), nullptr);

  // The longest prefix answers first, then the shorter, then the suffix.
  t.bans.DeleteIPBan("127.0.8.*");
  EXPECT_EQ(t.bans.CheckNickAndIPBan("u", "127.0.8.1", false, false),
            "You're banned from this hub by c because: wide");
  t.bans.DeleteIPBan("127.0.*");
  EXPECT_EQ(t.bans.CheckNickAndIPBan("u", "127.0.8.1", false, false),
            "You're banned from this hub by d because: suffix");
}

TEST(BanListMatch, BypassedBanDoesNotHideAnOverrideableOne) {
  BanListFixture t;
  t.bans.AddIPBan("127.0.9.1", "command", 0, kPermanent, "op");
  t.bans.AddIPBan("127.0.9.*", "auto", 0, kPermanent, "Kavro")->Overrideable = true;
  EXPECT_EQ(t.bans.CheckNickAndIPBan("vip", "127.0.9.1", false, true),
            "You're banned from this hub by Kavro because: auto");
  EXPECT_EQ(t.bans.FindIPBan("127.0.9.1")->LastUsed, TDateTime{});
  EXPECT_EQ(t.bans.FindIPBan("127.0.9.*")->LastUsed, t.now);
}

TEST(BanListMatch, InfixMetTwiceIsDeletedOnce) {
  BanListFixture t;
  t.bans.AddNickBan("*ab*", "", 0, t.Future(), "op");
  t.now.Seconds += 7200;
  EXPECT_FALSE(t.bans.CheckNickAndIPBan("abxab", "10.0.0.1", false, false));
  EXPECT_EQ(t.bans.GetCount(TBanKind::Nick), 0);
}

TEST(BanListAdd, NickBanCoveredByAHeldOneIsRefused) {
  BanListFixture t;
  ASSERT_NE(t.bans.AddNickBan("abc*", "", 3, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.AddNickBan("abcd*", "", 0, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.AddNickBan("ABC*", "", 0, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.AddNickBan("abcdef", "", 0, kPermanent, "op"), nullptr);
  EXPECT_NE(t.bans.AddNickBan("ab*", "", 0, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.FindNickBan("abc*")->Level, 3);
  EXPECT_EQ(t.bans.AddNickBan("*", "", 0, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.AddNickBan("", "", 0, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.GetCount(TBanKind::Nick), 2);
}

TEST(BanListAdd, OtherKindsRefuseOnlyTheSameKey) {
  using K = TBanKind;
  const struct {
    TBanKind kind;
    const char* held;
    const char* added;
    bool accepted;
  } cases[] = {
      {K::IP, "10.0.0.*", "10.0.0.5", true},
      {K::IP, "10.0.0.*", "10.0.0.*", false},
      {K::DNS, "*.Example.com", "*.example.COM", false},
      {K::DNS, "*.example.com", "a.example.com", true},
      {K::Client, "DC++*", "DC++0.868", true},
      {K::Client, "DC++*", "dc++*", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.held) + " then " + c.added);
    BanListFixture t;
    ASSERT_NE(t.Add(c.kind, c.held, kPermanent), nullptr);
    EXPECT_EQ(t.Add(c.kind, c.added, kPermanent) != nullptr, c.accepted);
  }
}

// An expired ban that no check has deleted yet must not block a new one,
// or a repeat of the password auto-ban would leave the IP free.
TEST(BanListAdd, ExpiredHeldBanGivesWay) {
  BanListFixture t;
  t.bans.AddIPBan("10.0.0.9", "first", 0, t.Future(), "op");
  t.bans.AddNickBan("abc*", "first", 0, t.Future(), "op");
  t.now.Seconds += 7200;
  TBan* ip = t.bans.AddIPBan("10.0.0.9", "second", 0, kPermanent, "op");
  ASSERT_NE(ip, nullptr);
  EXPECT_EQ(ip->Reason, "second");
  EXPECT_NE(t.bans.AddNickBan("abcd*", "", 0, kPermanent, "op"), nullptr);
  EXPECT_EQ(t.bans.FindNickBan("abc*"), nullptr);
}

TEST(BanListAdd, BanUserTellsTheUserOnce) {
  BanListFixture t;
  EXPECT_EQ(t.bans.BanUserNick("troll", 4, "", kPermanent, "boss"), "You've been banned by boss");
  EXPECT_EQ(t.bans.FindNickBan("troll")->Level, 4);
  EXPECT_EQ(t.bans.FindNickBan("troll")->Issued, t.now);
  EXPECT_EQ(t.bans.BanUserNick("TROLL", 4, "", kPermanent, "boss"), std::nullopt);
  EXPECT_EQ(t.bans.BanUserIP("10.2.3.4", 1, "spam", At(2024, 6, 1, 8, 9, 10), "boss"),
            "You've been temporary banned until 2024-06-01 08:09:10 by boss because: spam");
  EXPECT_EQ(t.bans.BanUserIP("10.2.3.4", 1, "spam", kPermanent, "boss"), std::nullopt);
}

// A nick with a star at an end would be stored as a pattern and ban every
// nick it matches.
TEST(BanListAdd, BanUserNickRefusesANickThatReadsAsAPattern) {
  BanListFixture t;
  for (const char* nick : {"x*", "*x", "*x*"}) {
    EXPECT_EQ(t.bans.BanUserNick(nick, 0, "", kPermanent, "boss"), std::nullopt) << nick;
  }
  EXPECT_EQ(t.bans.GetCount(TBanKind::Nick), 0);
  EXPECT_TRUE(t.bans.BanUserNick("a*b", 0, "", kPermanent, "boss").has_value());
  EXPECT_FALSE(t.bans.CheckNickAndIPBan("aXb", "10.0.0.1", false, false));
}

TEST(BanListTexts, ByPermanenceAndReason) {
  const TDateTime until = At(2024, 5, 2, 13, 14, 15);
  const struct {
    TDateTime expires;
    const char* reason;
    const char* existing;
    const char* client;
  } cases[] = {
      {kPermanent, "", "You're banned from this hub by op", "Your client is banned from this hub by op"},
      {kPermanent, "flood", "You're banned from this hub by op because: flood",
       "Your client is banned from this hub by op because: flood"},
      {until, "", "You're temporary banned until 2024-05-02 13:14:15 by op",
       "Your client is temporary banned until 2024-05-02 13:14:15 by op"},
      {until, "flood",
       "You're temporary banned until 2024-05-02 13:14:15 by op because: flood",
       "Your client is temporary banned until 2024-05-02 13:14:15 by op because: flood"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.existing);
    BanListFixture t;
    t.bans.AddDNSBan("*.net", c.reason, c.expires, "op");
    t.bans.AddClientBan("Bad*", c.reason, c.expires, "op");
    EXPECT_EQ(t.bans.CheckDNSBan("a.net", false), c.existing);
    EXPECT_EQ(t.bans.CheckClientBan("BadClient1.0", false), c.client);
  }
}

// Operator text never ends the protocol message it travels in.
TEST(BanListTexts, BarsTravelEscaped) {
  BanListFixture t;
  t.bans.AddNickBan("evil", "a|b", 0, kPermanent, "op|x");
  EXPECT_EQ(t.bans.CheckNickAndIPBan("evil", "10.0.0.1", false, false),
            "You're banned from this hub by op&#124;x because: a&#124;b");
  EXPECT_EQ(t.bans.BanUserIP("10.0.0.1", 0, "$x|y", kPermanent, "|"),
            "You've been banned by &#124; because: $x&#124;y");
  EXPECT_EQ(t.bans.FindNickBan("evil")->Reason, "a|b");  // stored as given
}

TEST(BanListTexts, LanguageDecidesTheWording) {
  BanListFixture t;
  t.language.SetText(TLanguageKey::ExistingBanWithReason, "Weg: %s (%s)");
  t.bans.AddIPBan("10.*", "why", 0, kPermanent, "who");
  EXPECT_EQ(t.bans.CheckNickAndIPBan("u", "10.1.1.1", false, false), "Weg: who (why)");
}

TEST(BanListUpkeep, RemoveExpiredDeleteFindAndClear) {
  BanListFixture t;
  t.bans.AddIPBan("10.0.0.1", "", 0, t.Future(), "op");
  t.bans.AddIPBan("10.0.0.2", "", 0, kPermanent, "op");
  t.bans.AddIPBan("10.0.0.3", "", 0, TDateTime{t.now.Seconds + 20}, "op");
  t.bans.AddNickBan("gone", "", 0, t.Future(), "op");
  t.now.Seconds += 60;
  t.bans.RemoveExpiredIPBans();
  EXPECT_EQ(t.bans.GetCount(TBanKind::IP), 2);
  EXPECT_EQ(t.bans.FindIPBan("10.0.0.3"), nullptr);
  EXPECT_NE(t.bans.FindIPBan("10.0.0.1"), nullptr);
  EXPECT_EQ(t.bans.GetCount(TBanKind::Nick), 1) << "only the IP list was cleaned";

  EXPECT_FALSE(t.bans.DeleteIPBan("10.0.0.*"));
  EXPECT_TRUE(t.bans.DeleteIPBan("10.0.0.2"));
  EXPECT_EQ(t.bans.FindIPBan("10.0.0.2"), nullptr);
  EXPECT_FALSE(t.bans.CheckNickAndIPBan("x", "10.0.0.2", false, false));

  t.bans.AddClientBan("c*", "", kPermanent, "op");
  t.bans.AddDNSBan("*.d", "", kPermanent, "op");
  t.bans.Clear();
  for (TBanKind kind : {TBanKind::Nick, TBanKind::IP, TBanKind::DNS, TBanKind::Client})
    EXPECT_EQ(t.bans.GetCount(kind), 0);
  EXPECT_FALSE(t.bans.CheckClientBan("cc", false));
}

}  // namespace
