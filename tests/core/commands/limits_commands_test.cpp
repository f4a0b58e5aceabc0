// Work pace, the hub-wide limits, the user limit, redirect-all, the main-chat
// lock and the reports: replies, feed lines, refusals and effects.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "core/user_stats_side.h"
#include "core/write_buffer.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;
using K = TLanguageKey;

const std::string kDash = "\r\n" + std::string(105, '-');

// Records the reports asked for and writes a small top list per kind.
class TFakeUserStats : public TUserStatsSide {
 public:
  std::vector<std::string> Calls;
  void ReportUserInfo(THubSocket& issuer, std::string_view p, bool pm, int offset) override {
    Record("user", issuer, p, pm, offset);
  }
  void ReportIPInfo(THubSocket& issuer, std::string_view p, bool pm, int offset) override {
    Record("ip", issuer, p, pm, offset);
  }
  void ReportNickInfo(THubSocket& issuer, std::string_view p, bool pm, int offset) override {
    Record("nick", issuer, p, pm, offset);
  }
  int NickCount() const override { return 12; }
  int IPCount() const override { return 7; }
  // As the real lists: opening dashes, a title, closing dashes and '|'.
  void WriteTrafficList(TTrafficList list, TWriteBuffer& out, int n) override {
    out.AppendString(kDash + "\r\nlist" + std::to_string(static_cast<int>(list)) + " of " +
                     std::to_string(n) + kDash + "|");
  }

 private:
  void Record(std::string_view kind, THubSocket& issuer, std::string_view p, bool pm, int offset) {
    Calls.push_back(std::string(kind) + " " + issuer.Nick + " " + std::string(p) +
                    (pm ? " pm " : " mc ") + std::to_string(offset));
  }
};

constexpr std::initializer_list<TProfileRight> kRights = {
    R::IsOperator,        R::MaySetWorkPace,      R::MaySetMinShare,    R::MaySetMaxShare,
    R::MaySetMaxHubs,     R::MaySetMinSlots,      R::MaySetMaxSlots,    R::MaySetSlotRatio,
    R::MayChangeUserLimit, R::MayRedirectAll,     R::MayDisabledMainChat, R::MayShowUserInfo,
    R::MayShowIPInfo,     R::MayShowNickInfo,     R::MayShowHubInfo,    R::MayShowTrafficInfo,
    R::MayShowTrafficStats};

class LimitsCommandsTest : public TCommandsFixture {
 protected:
  LimitsCommandsTest() {
    settings_.HubCommandsShowCommandToSelf = false;
    master_ = &Online("Master", MakeProfile("Master", kRights, 9, 3));
    op_ = &Online("Op", MakeProfile("Op", kRights, 5, 1));
    guide_ = &Online("Guide", MakeProfile("Guide", {R::MayUseHubCommands}, 3));
    ann_ = &Online("Ann");
    bob_ = &Online("Bob");
    for (THubSocket* user : {master_, op_, guide_, ann_, bob_}) Out(*user);
  }

  const TCommandContext& Context() {
    ctx_.UserStats = [this] { return &userStats_; };
    ctx_.Figures = [this] { return figures_; };
    ctx_.Ticks = [this] { return ticks_; };
    return ctx_;
  }

  void Run(THubSocket& user, std::string_view text, bool pm = false) {
    Dispatch(commands_, tokens_, message_, user, text, pm);
  }
  // What the sender got after the echo of his line.
  std::string Said(THubSocket& user) {
    std::string out = Out(user);
    const std::string echo = message_;
    if (out.starts_with(echo)) out.erase(0, echo.size());
    return out;
  }
  std::vector<std::string> Feed() {
    std::vector<std::string> lines;
    lines.swap(feed_.Actions);
    return lines;
  }
  static std::vector<std::string> Lines(std::string_view one) {
    return one.empty() ? std::vector<std::string>{} : std::vector<std::string>{std::string(one)};
  }

  TFakeUserStats userStats_;
  THubFigures figures_;
  std::uint64_t ticks_ = 0;
  TStringList tokens_{16};
  THubCommands commands_{Context(), tokens_};
  std::string message_;
  THubSocket* master_ = nullptr;
  THubSocket* op_ = nullptr;
  THubSocket* guide_ = nullptr;
  THubSocket* ann_ = nullptr;
  THubSocket* bob_ = nullptr;
};

TEST_F(LimitsCommandsTest, WorkPaceTakesDigitsToSixOrAnyPaceName) {
  struct TCase {
    std::string_view Line, Reply, Feed;
    int Pace;
  };
  const TCase cases[] = {
      {"!workpace", "The pace may be one of the following: 0 = Coma, 1 = Sleeping, 2 = Turtle, "
                    "3 = Lazy, 4 = Normal, 5 = Rabbit, 6 = Cheetah or 7 = Extreme", "", 5},
      {"!workpace 7", "The pace may be one of the following: 0 = Coma, 1 = Sleeping, 2 = Turtle, "
                      "3 = Lazy, 4 = Normal, 5 = Rabbit, 6 = Cheetah or 7 = Extreme", "", 5},
      {"!workpace -1", "The pace may be one of the following: 0 = Coma, 1 = Sleeping, 2 = Turtle, "
                       "3 = Lazy, 4 = Normal, 5 = Rabbit, 6 = Cheetah or 7 = Extreme", "", 5},
      {"!workpace 5", "The pace is already: Rabbit", "", 5},
      {"!workpace extreme", "The pace has been updated to: Extreme",
       "The pace has been updated to Extreme by Master", 7},
      {"!setworkpace EXTREME", "The pace is already: Extreme", "", 7},
      {"!setworkpace 0", "The pace has been updated to: Coma",
       "The pace has been updated to Coma by Master", 0},
      {"!workpace lazy", "The pace has been updated to: Lazy",
       "The pace has been updated to Lazy by Master", 3},
  };
  for (const TCase& c : cases) {
    Run(*master_, c.Line);
    EXPECT_EQ(Said(*master_), Bot(c.Reply)) << c.Line;
    EXPECT_EQ(Feed(), Lines(c.Feed)) << c.Line;
    EXPECT_EQ(settings_.WorkPace(), c.Pace) << c.Line;
  }
}

TEST_F(LimitsCommandsTest, RestrictionSettersFeedOnlyOnAChange) {
  const std::string nick = "The connection restrictions of the hub has been changed by Master";
  struct TCase {
    std::string_view Line, Reply;
    bool Feeds;
  };
  const TCase cases[] = {
      {"!setminshare 0", "Min share has been disabled", false},
      {"!setminshare 10 GiB", "Min share has been updated to: 10.00 GiB", true},
      {"!setminshare 10g", "Min share has been updated to: 10.00 GiB", false},
      {"!setminshare lots", "The share parameter has to be an integer value (sufixes: KiB, MiB, "
                            "GiB, TiB, PiB)", false},
      {"!setmaxshare 1 t", "Max share has been updated to 1.00 TiB", true},
      {"!setmaxshare 0", "Max share has been disabled", true},
      {"!sethubs 150", "Required hubs have been updated to 99", true},
      {"!setmaxhubs 99", "Required hubs have been updated to 99", false},
      {"!setmaxhubs -1", "The hubs parameter is incorrect, hub has to be a positive integer value "
                         "between 1-99, or zero to disable", false},
      {"!setmaxhubs 2x", "The hubs parameter is incorrect, hub has to be a positive integer value "
                         "between 1-99, or zero to disable", false},
      {"!setminslots 3", "Min slots has been updated to 3", true},
      {"!setmaxslots 0", "Max slots has been disabled", false},
      {"!setslotratio 2", "The slotratio has been updated to 2", true},
      {"!setslotratio x", "The slots parameter is incorrect, slots have to be a positive integer "
                          "value between 1-99, or zero to disable", false},
      {"!setminslots", "Wrong number of parameters. Type !help for help", false},
  };
  for (const TCase& c : cases) {
    Run(*master_, c.Line);
    EXPECT_EQ(Said(*master_), Bot(c.Reply)) << c.Line;
    EXPECT_EQ(Feed(), Lines(c.Feeds ? nick : "")) << c.Line;
  }
  const TConnRestriction& r = settings_.ConnRestriction;
  EXPECT_TRUE(r.MinShareEnabled);
  EXPECT_EQ(r.MinShare, 10LL << 30);
  EXPECT_FALSE(r.MaxShareEnabled);
  EXPECT_TRUE(r.MaxHubsEnabled);
  EXPECT_EQ(r.MaxHubs, 99);
  EXPECT_EQ(r.MinSlots, 3);
  EXPECT_FALSE(r.MaxSlotsEnabled);
  EXPECT_EQ(r.SlotRatio, 2);
  // Users under the hub-wide limits are checked against the new ones.
  EXPECT_EQ(ann_->Restriction, r);
}

TEST_F(LimitsCommandsTest, UserLimitIsCappedAndRefusesNegativeCounts) {
  settings_.MaxUsers = 3000;
  const std::string invalid = "The userlimit has to be an integer value, Ex. \"3000\"";
  struct TCase {
    std::string_view Line, Reply, Feed;
    int After;
  };
  const TCase cases[] = {
      {"!userlimit 60000", "Current userlimit was updated to: 50000",
       "Master updated userlimit to 50000", 50000},
      {"!maxusers 50000", "Current userlimit was updated to: 50000", "", 50000},
      {"!setmaxusers -5", invalid, "", 50000},
      {"!setuserlimit lots", invalid, "", 50000},
      {"!userlimit 0", "Current userlimit was updated to: 0", "Master updated userlimit to 0", 0},
      {"!userlimit", "Wrong number of parameters. Type !help for help", "", 0},
  };
  for (const TCase& c : cases) {
    Run(*master_, c.Line);
    EXPECT_EQ(Said(*master_), Bot(c.Reply)) << c.Line;
    EXPECT_EQ(Feed(), Lines(c.Feed)) << c.Line;
    EXPECT_EQ(settings_.MaxUsers, c.After) << c.Line;
  }
}

TEST_F(LimitsCommandsTest, RedirectAllWalksFromTheLastUserRoundRobin) {
  // Op acts on lower levels only: Guide, Bob and Ann, last nick first.
  Run(*op_, "!redirectall a.test;;b.test;c.test");
  EXPECT_EQ(Out(*guide_), "<Op> You're being redirected to a.test|$ForceMove a.test|");
  EXPECT_EQ(Out(*bob_), "<Op> You're being redirected to b.test|$ForceMove b.test|");
  EXPECT_EQ(Out(*ann_), "<Op> You're being redirected to c.test|$ForceMove c.test|");
  EXPECT_EQ(Out(*master_), "");
  EXPECT_EQ(Said(*op_), Bot("You've redirected 3 users to c.test"));
  EXPECT_EQ(Feed(), Lines("Op redirected all possible (3 users) to: c.test"));
  EXPECT_EQ(ann_->LifeState, lsClosing);
  EXPECT_EQ(op_->LifeState, lsInitialised);
  EXPECT_EQ(stats_.Protocol.Redirects, 0);  // the fixture counts no redirects
  EXPECT_EQ(ann_->UserInfo().Transfer.Redirects, 1);
}

TEST_F(LimitsCommandsTest, RedirectAllStartsTheAddressesAgainWhenTheyRunOut) {
  Run(*op_, "!redirectall a.test;b.test");
  EXPECT_EQ(Out(*guide_), "<Op> You're being redirected to a.test|$ForceMove a.test|");
  EXPECT_EQ(Out(*bob_), "<Op> You're being redirected to b.test|$ForceMove b.test|");
  EXPECT_EQ(Out(*ann_), "<Op> You're being redirected to a.test|$ForceMove a.test|");
  EXPECT_EQ(Said(*op_), Bot("You've redirected 3 users to a.test"));
}

TEST_F(LimitsCommandsTest, RedirectAllWithAReasonTakesTheSenderToo) {
  Run(*master_, "!redirectall x.test  go  away");
  EXPECT_EQ(Out(*bob_), "<Master> You're being redirected to x.test because: go  away|"
                        "$ForceMove x.test|");
  const std::string own = Said(*master_);
  EXPECT_EQ(own, "<Master> You're being redirected to x.test because: go  away|$ForceMove x.test|" +
                     Bot("You've redirected 5 users to x.test because: go  away"));
  EXPECT_EQ(Feed(), Lines("Master redirected all possible (5 users) to: x.test"));
}

TEST_F(LimitsCommandsTest, RedirectAllWithoutAnAddressMovesNobody) {
  for (std::string_view line : {"!redirectall ;", "!redirectall ;; why"}) {
    Run(*master_, line);
    EXPECT_EQ(Said(*master_), Bot("Wrong number of parameters. Type !help for help")) << line;
    EXPECT_EQ(Out(*ann_), "") << line;
    EXPECT_EQ(ann_->LifeState, lsInitialised) << line;
    EXPECT_EQ(Feed(), Lines("")) << line;
  }
}

TEST_F(LimitsCommandsTest, MainChatLockTellsNonOperatorsAndUnlockEndsAllowances) {
  const std::string locked = Bot("Mainchat is currently locked, all chatting is disabled");
  Run(*master_, "!mainchat maybe");
  EXPECT_EQ(Said(*master_),
            Bot("You need to either supply \"on\" locking mainchat or \"off\" unlocking it"));
  Run(*master_, "!mainchat OFF");
  EXPECT_EQ(Said(*master_), Bot("Mainchat isn't locked"));
  Run(*master_, "!allowmc Ann");
  EXPECT_EQ(Said(*master_), Bot("The mainchat isn't locked"));
  EXPECT_EQ(Feed(), Lines(""));

  bob_->UserInfo().AllowedToSpeak = true;  // locking keeps an allowance
  Run(*master_, "!mainchat on");
  EXPECT_TRUE(settings_.MainChatIsLocked);
  EXPECT_EQ(Said(*master_), Bot("You've locked mainchat, as of now only operators and allowed "
                                "users will be able to speak in mainchat"));
  EXPECT_EQ(Out(*ann_), locked);
  EXPECT_EQ(Out(*guide_), locked);
  EXPECT_EQ(Out(*bob_), locked);
  EXPECT_EQ(Out(*op_), "");
  EXPECT_EQ(Feed(), Lines("Mainchat has been locked by Master"));
  EXPECT_TRUE(bob_->UserInfo().AllowedToSpeak);
  Run(*master_, "!mainchat on");
  EXPECT_EQ(Said(*master_), Bot("Mainchat is already locked"));

  struct TCase {
    std::string_view Line, Reply, ToUser, Feed;
  };
  const TCase cases[] = {
      {"!allowmc ann", "Ann has been allowed to speak in mainchat",
       "You've been allowed to speak in mainchat even though it's locked",
       "Ann has been allowed to speak in mainchat by Master"},
      {"!allowmc Ann", "Ann is already allowed to speak in mainchat", "", ""},
      {"!allowmc op", "Op is an operator and will automatically be allowed to speak", "", ""},
      {"!disallowmc Op", "Op is an operator thus you're not allowed to disallow him to speak, use "
                         "mute command instead", "", ""},
      {"!allowmc nobody", "The user nobody wasn't found", "", ""},
      {"!disallowmc hubbot", "HubBot hardly needs your permission to talk", "", ""},
      {"!disallowmc Guide", "Guide isn't allowed to speak in mainchat", "", ""},
      {"!disallowmc BOB", "Bob has been disallowed from speaking in mainchat",
       "You're no longer allowed to speak in mainchat",
       "Bob has been disallowed from speaking in mainchat by Master"},
  };
  for (const TCase& c : cases) {
    Run(*master_, c.Line);
    EXPECT_EQ(Said(*master_), Bot(c.Reply)) << c.Line;
    std::string told = Out(*ann_) + Out(*bob_);
    EXPECT_EQ(told, c.ToUser.empty() ? "" : Bot(c.ToUser)) << c.Line;
    EXPECT_EQ(Feed(), Lines(c.Feed)) << c.Line;
  }
  EXPECT_TRUE(ann_->UserInfo().AllowedToSpeak);
  EXPECT_FALSE(bob_->UserInfo().AllowedToSpeak);

  Run(*master_, "!mainchat off");
  EXPECT_FALSE(settings_.MainChatIsLocked);
  EXPECT_EQ(Said(*master_), Bot("You've unlocked mainchat allowing all users to speak as normal"));
  EXPECT_EQ(Out(*ann_), Bot("Mainchat is now unlocked, everything is back to normal"));
  EXPECT_EQ(Feed(), Lines("Mainchat has been unlocked by Master"));
  EXPECT_FALSE(ann_->UserInfo().AllowedToSpeak);
}

TEST_F(LimitsCommandsTest, StatisticsReportsGetTheSearchAndOffset) {
  struct TCase {
    std::string_view Line;
    bool PM;
    std::string_view Call, Reply;
  };
  const TCase cases[] = {
      {"!ui", false, "user Master * mc 0", ""},
      {"!userinfo bob 5", true, "user Master bob pm 5", ""},
      {"!ui bob -3", false, "user Master bob mc 0", ""},
      {"!ui bob x", false, "user Master bob mc 0", ""},
      {"!ui bob 5 more", false, "user Master bob mc 0", ""},
      {"!ii", false, "ip Master * mc 0", ""},
      {"!ipinfo 10.0.*.*", false, "ip Master 10.0.* mc 0", ""},
      {"!ni 1.2.3.4 2", false, "nick Master 1.2.3.4 mc 2", ""},
      {"!nickinfo bob", false, "", "The parameter you've supplied isn't a valid IP/IP pattern"},
      {"!ii 1.2.3.4.5", false, "", "The parameter you've supplied isn't a valid IP/IP pattern"},
  };
  for (const TCase& c : cases) {
    userStats_.Calls.clear();
    Run(*master_, c.Line, c.PM);
    EXPECT_EQ(userStats_.Calls, Lines(c.Call)) << c.Line;
    EXPECT_EQ(Said(*master_), c.Reply.empty() ? "" : Bot(c.Reply)) << c.Line;
  }
}

TEST_F(LimitsCommandsTest, TheGroupRefusesAProfileWithoutItsRights) {
  for (std::string_view line :
       {"!workpace 3", "!setminshare 1", "!setmaxshare 1", "!sethubs 1", "!setminslots 1",
        "!setmaxslots 1", "!setslotratio 1", "!userlimit 1", "!redirectall a.test",
        "!mainchat on", "!allowmc Ann", "!disallowmc Ann", "!ui", "!ii", "!ni", "!hubinfo",
        "!trafficinfo Ann", "!ts", "!coreinfo"}) {
    Run(*guide_, line);
    EXPECT_EQ(Said(*guide_), Bot("You don't have access to this command")) << line;
  }
  EXPECT_EQ(Out(*ann_), "");
  EXPECT_TRUE(userStats_.Calls.empty());
  EXPECT_EQ(settings_.WorkPace(), 5);
}

TEST_F(LimitsCommandsTest, HubInfoShowsTheFourBlocks) {
  settings_.SetHubName("TestHub");
  settings_.SetTopic("news");
  settings_.TopicSetBy = "Op";
  settings_.MaxUsers = 250;
  TConnRestriction& r = settings_.ConnRestriction;
  r.MinShareEnabled = true;
  r.MinShare = 5LL << 30;
  r.MaxHubsEnabled = true;
  r.MaxHubs = 4;
  r.MaxSlotsEnabled = true;
  r.MaxSlots = 9;
  stats_.CurrentUsers = 5;
  stats_.PeakUsers = 6;
  stats_.AllTimePeakUsers = 70;
  stats_.AuthorizingUsers = 1;
  stats_.CurrentSharesize = 3LL << 40;
  stats_.LoginTimeouts = 2;
  stats_.IdleTimeouts = 3;
  stats_.ReadbufferFull = 1;
  stats_.WritebufferFull = 3;
  stats_.DropSpamKicks = 5;
  stats_.SocketErrors = 6;
  stats_.Errors = 8;
  bans_.AddNickBan("bad*", "x", 0, {}, "Master");
  figures_.Ports = "411 and 1411";
  figures_.CPUTime = "00:01:02";
  figures_.CPUUsage = "1.50%";
  figures_.MemoryAvailable = 6ULL << 30;  // beyond 32 bits
  figures_.WorkingSet = 20ULL << 20;
  figures_.PeakWorkingSet = 30ULL << 20;
  figures_.PageFile = 200ULL << 20;
  figures_.PeakPageFile = 300ULL << 20;
  const int accounts = accounts_.GetCount();
  Run(*master_, "!hi", true);
  EXPECT_EQ(Out(*master_),
            BotTo(*master_,
                  "\r\nHub Information\r\n*************"
                  "\r\n Hub name is: TestHub"
                  "\r\n Current topic (set by Op): news"
                  "\r\n Sharelimit: 5.00 GiB (max: disabled)"
                  "\r\n Hubs: 4"
                  "\r\n Slots (min/max): disabled / 9"
                  "\r\n Slotratio: disabled"
                  "\r\n Accounts: " + std::to_string(accounts) +
                  "\r\n Nick bans: 1\r\n IP bans: 0\r\n DNS bans: 0\r\n Client bans: 0"
                  "\r\n\r\nCore Information\r\n**************"
                  "\r\n Version: Kavro 1.040"
                  "\r\n Uptime: 1:02:03:04"
                  "\r\n Workpace: Rabbit"
                  "\r\n Port(s): 411 and 1411"
                  "\r\n Current sharesize: 3.00 TiB"
                  "\r\n Users (current/peak/record): 5 / 6 / 70"
                  "\r\n Users authorizing: 1"
                  "\r\n Userlimit: 250"
                  "\r\n Login timeouts: 2\r\n Idle timeouts: 3\r\n Too slow drops: 4"
                  "\r\n Spam kicks: 5"
                  "\r\n\r\nSystem Information\r\n****************"
                  "\r\n CPU time: 00:01:02"
                  "\r\n CPU usage: 1.50% (During last 30s period)"
                  "\r\n Memory available: 6.00 GiB"
                  "\r\n Memory usage: 20.00 MiB (30.00 MiB)"
                  "\r\n VM usage: 200.00 MiB (300.00 MiB)"
                  "\r\n Paged pool: 0 B (0 B)\r\n Non-paged pool: 0 B (0 B)"
                  "\r\n\r\nCore statistics\r\n*************"
                  "\r\n Nick entries: 12 (Userstats)\r\n IP entries 7 (Userstats)"
                  "\r\n Socket errors: 6\r\n Errors: 8\r\n"));
}

TEST_F(LimitsCommandsTest, TrafficInfoOnAUserAndTheHubSummary) {
  TTransferInfo& t = ann_->UserInfo().Transfer;
  t.MainChatLines = 1;
  t.PrivateMessages = 2;
  t.SearchesActive = 3;
  t.SearchesPassive = 4;
  t.ResultsSent = 5;
  t.MyINFOs = 6;
  t.GetINFOs = 7;
  t.NickLists = 8;
  t.ConnectToMe = 9;
  t.RevConnectToMe = 10;
  t.Kicks = 11;
  t.Redirects = 12;
  t.BytesSent = 2048;
  t.BytesReceived = 1024;
  t.JunkBytes = 10;
  ann_->ConnectTick = 1000;
  const std::string counts =
      "\r\n Mainchat messages: 1\r\n Private messages: 2\r\n Active searches: 3"
      "\r\n Passive searches: 4\r\n Search replies: 5\r\n MyINFOs sent: 6"
      "\r\n MyINFOs requested: 7\r\n Nicklists requested: 8"
      "\r\n Active connection attempts: 9\r\n Passive connection attempts: 10"
      "\r\n Kicks: 11\r\n Redirects: 12";
  const std::string data =
      "\r\n Data sent (to user): 2.00 KiB\r\n Data recv (from user): 1.00 KiB"
      "\r\n Junk data recv (from user): 10 B";
  struct TCase {
    std::uint64_t Now;
    std::string_view Bandwidth;
  };
  // Under a second counts as one second.
  for (const TCase& c : {TCase{1500, "3.00 KiB/s"}, TCase{11'999, "307 B/s"}}) {
    ticks_ = c.Now;
    Run(*op_, "!ti ann");
    EXPECT_EQ(Said(*op_), Bot("\r\nTraffic information on: ann" + counts + "\r\n Bandwidth: " +
                              std::string(c.Bandwidth) + data))
        << c.Now;
  }

  Run(*op_, "!trafficinfo Master");
  EXPECT_EQ(Said(*op_), Bot("You're not allowed to view traffic info on Master"));
  Run(*op_, "!trafficinfo nobody");
  EXPECT_EQ(Said(*op_), Bot("User nobody wasn't found"));
  Run(*op_, "!trafficinfo hubbot");  // level 9 is above what Op may see
  EXPECT_EQ(Said(*op_), Bot("You're not allowed to view traffic info on hubbot"));

  stats_.Protocol.MainchatMessages = 21;
  stats_.Protocol.Redirects = 32;
  Run(*master_, "!ti HubBot");
  EXPECT_EQ(Said(*master_),
            Bot("\r\nTraffic information summary\r\n Mainchat messages: 21\r\n Private messages: 0"
                "\r\n Active searches: 0\r\n Passive searches: 0\r\n Search replies: 0"
                "\r\n MyINFOs sent: 0\r\n MyINFOs requested: 0\r\n Nicklists requested: 0"
                "\r\n Active connection attempts: 0\r\n Passive connection attempts: 0"
                "\r\n Kicks: 0\r\n Redirects: 32"));
}

TEST_F(LimitsCommandsTest, TrafficStatsJoinsNineListsOrShowsOneOfAHundred) {
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += kDash + "\r\nlist" + std::to_string(i) + " of 10";
  nine += kDash;  // the last list keeps its closing line
  Run(*master_, "!ts");
  EXPECT_EQ(Said(*master_), Bot(nine));
  Run(*master_, "!trafficstats BW");
  EXPECT_EQ(Said(*master_), Bot(kDash + "\r\nlist8 of 100" + kDash));
  Run(*master_, "!ts myinfo");
  EXPECT_EQ(Said(*master_), Bot(kDash + "\r\nlist4 of 100" + kDash));
  Run(*master_, "!ts files");
  EXPECT_EQ(Said(*master_),
            Bot("The type you've supplied isn't a recognized typ. Valid types are: Search, SR, "
                "Connect, NickList, MyINFO, MC, PM, Data, BW"));
}

TEST_F(LimitsCommandsTest, CoreInfoShowsRatesOutcomesAndPools) {
  figures_.Receiving = 2048;
  figures_.Sending = 5ULL << 30;
  figures_.SendOutcomes = {10, 20, 30, 40};
  figures_.LookupThreads = 1;
  figures_.LookupThreadsMax = 8;
  figures_.Readers = {3, 5};
  figures_.Writers = {{{1, 2}, {0, 0}, {0, 1}, {0, 0}, {0, 0}, {1, 1}}};
  Run(*master_, "!ci");
  EXPECT_EQ(Said(*master_),
            Bot("\r\n Receiving: 2.00 KiB/s\r\n Sending: 5.00 GiB/s\r\n Ok empty: 10\r\n Ok: 20"
                "\r\n Blocking: 30\r\n NOBUF: 40\r\n \r\n I/O threads: 1(8)\r\n Readers: 3(5)"
                "\r\n Writers: 1(2) / 0(0) / 0(1) / 0(0) / 0(0) / 1(1)\r\n "));
}

}  // namespace
