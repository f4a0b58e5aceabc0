#include "stats/user_stats_mysql.h"

#include <chrono>
#include <thread>

#include "mysql_test_server.h"
#include "platform/event_loop.h"
#include "security/profile.h"
#include "stats/user_stats_local.h"
#include "stats/user_stats_module.h"
#include "stats_fixture.h"
#include "support/loop_runner.h"
#include "support/tcp_relay.h"

namespace {

using namespace std::chrono_literals;

class UserStatsMySQLTest : public TStatsFixture {
 protected:
  void SetUp() override {
    if (const std::string why = TTestDatabase::SkipReason(); !why.empty()) GTEST_SKIP() << why;
    database_.Reserve();  // the back end creates it (error 1049)
    op_->SetRight(TProfileRight::MayShowUserInfo, 3);
    op_->SetRight(TProfileRight::MayUseMuteUser, 3);
    issuer_ = &Online("op", "10.0.0.9", "Op");
  }

  TUserStatsContext MySQLContext() {
    TUserStatsContext context = Context();
    context.ErrorFeed = [this](const std::string& line) { errors_.push_back(line); };
    context.Loop = &loop_;
    context.FindConnection = [this](std::uint64_t id) -> THubSocket* {
      for (auto& user : users_) {
        if (user->Id() == id && !user->IsClosed()) return user.get();
      }
      return nullptr;
    };
    return context;
  }

  bool Connect(TUserStatsMySQL& stats) {
    return stats.Connect("127.0.0.1", TTestDatabase::User(), TTestDatabase::Port(),
                         database_.Name(), TTestDatabase::Password());
  }

  // Lets the worker finish and its completions run.
  void Settle() {
    ASSERT_TRUE(stats_.WaitForQueue(10000));
    RunLoopFor(loop_, 30ms);
  }

  THubSocket& LogIn(std::string_view nick, std::string_view ip = "10.0.0.1") {
    THubSocket& user = Online(nick, ip);
    stats_.UserLoggedIn(user);
    return user;
  }
  void LogOut(THubSocket& user) {
    Leave(user);
    stats_.UserLoggedOut(user);
  }

  std::string Stored(const std::string& column, const std::string& nick) {
    return database_.One("SELECT " + column + " FROM `nickstats` WHERE `nick` = \"" +
                         EscapeText(nick) + "\"");
  }

  EventLoop loop_;
  TTestDatabase database_;
  std::vector<std::string> errors_;
  TUserStatsMySQL stats_{MySQLContext()};
  THubSocket* issuer_ = nullptr;
};

// Latin1 MyISAM tables on a utf8mb4 server, and a second start on them.
TEST_F(UserStatsMySQLTest, TablesAndASecondStart) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  for (const char* table : {"ipstats", "ipstats_nicks", "nickstats", "nickstats_login"}) {
    EXPECT_EQ(database_.One("SELECT CONCAT(ENGINE, ' ', TABLE_COLLATION) FROM "
                            "information_schema.TABLES WHERE TABLE_SCHEMA = \"" +
                            database_.Name() + "\" AND TABLE_NAME = \"" + table + "\""),
              "MyISAM latin1_swedish_ci")
        << table;
  }
  LogIn("first");
  Settle();
  TUserStatsMySQL again(MySQLContext());
  ASSERT_TRUE(Connect(again)) << again.ConnectionError();
  EXPECT_EQ(again.NickCount(), 1);
  EXPECT_EQ(again.IPCount(), 1);
  EXPECT_EQ(Stored("`online`", "first"), "n");  // a start marks everyone offline
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(TUserStatsMySQL::TableOption(50000), "ENGINE=MyISAM");
  EXPECT_EQ(TUserStatsMySQL::TableOption(49999), "TYPE=MyISAM");
}

// Values are cut to their columns and clamped, so strict mode never fails
// a job; text goes in byte-exact; the penalties come back at the next
// login.
TEST_F(UserStatsMySQLTest, LogoutStoresTheVisitAndLoginBringsItBack) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  const std::string nick = "Bj\xF6rn";
  THubSocket& user = LogIn(nick);
  Settle();
  TUserInfo& info = user.UserInfo();
  info.Description = std::string(300, 'd') ;
  info.Description[0] = '"';
  info.Description[1] = '\\';
  info.Description[2] = '\'';
  info.Description[3] = '\0';
  info.Hubs = 70000;
  info.Slots = -3;
  info.Muted = true;
  info.MutedLevel = 300;
  info.KickCount = 2;
  LogOut(user);
  Settle();
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(database_.One("SELECT HEX(`nick`) FROM `nickstats`"), "426AF6726E");
  EXPECT_EQ(Stored("`description`", nick), info.Description.substr(0, 200));
  EXPECT_EQ(Stored("`hubs`", nick), "65535");
  EXPECT_EQ(Stored("`slots`", nick), "0");
  EXPECT_EQ(Stored("`muted`", nick), "127");
  EXPECT_EQ(Stored("`kicked_times`", nick), "2");
  EXPECT_NE(database_.One("SELECT `logout` FROM `nickstats_login`"), "<none>");

  THubSocket& back = LogIn(nick);
  EXPECT_FALSE(back.UserInfo().Muted);
  Settle();
  EXPECT_TRUE(back.UserInfo().Muted);
  EXPECT_EQ(back.UserInfo().KickCount, 2);
}

// One logout is one user of the IP less.
TEST_F(UserStatsMySQLTest, IPOnlineCountsUsers) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  THubSocket& a = LogIn("a", "10.1.1.1");
  LogIn("b", "10.1.1.1");
  Settle();
  LogOut(a);
  Settle();
  EXPECT_EQ(database_.One("SELECT `online` FROM `ipstats`"), "1");
}

// A disconnect before the login's values reached the user keeps what is
// stored.
TEST_F(UserStatsMySQLTest, QuickDisconnectKeepsStoredPenalties) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  THubSocket& first = LogIn("quick");
  Settle();
  first.UserInfo().Muted = true;
  first.UserInfo().MutedLevel = 5;
  LogOut(first);
  Settle();
  ASSERT_EQ(Stored("`muted`", "quick"), "5");
  THubSocket& again = LogIn("quick");
  LogOut(again);  // before the login's completion
  Settle();
  EXPECT_EQ(Stored("`muted`", "quick"), "5");
}

// Sessions still open at program end get the full date-time.
TEST_F(UserStatsMySQLTest, ShutdownClosesOpenSessions) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  LogIn("stay", "10.2.2.2");
  Settle();
  now_.Seconds += 90;
  stats_.Shutdown();
  EXPECT_EQ(database_.One("SELECT `logout` FROM `nickstats_login`"), "2024-05-06 12:01:30");
  EXPECT_EQ(Stored("`online`", "stay"), "n");
  EXPECT_EQ(Stored("`last_used`", "stay"), "2024-05-06 12:01:30");
  EXPECT_EQ(database_.One("SELECT `online` FROM `ipstats`"), "0");
}

// Another client's table lock is waited for, not taken for a lost server.
TEST_F(UserStatsMySQLTest, ATableLockIsWaitedFor) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  TMySQL locker;
  ASSERT_TRUE(TTestDatabase::ConnectTo(locker));
  ASSERT_TRUE(locker.SelectDatabase(database_.Name()));
  locker.Query("LOCK TABLES `nickstats` WRITE");
  ASSERT_EQ(locker.ErrorNumber(), 0) << locker.ErrorText();
  LogOut(LogIn("brief"));
  RunLoopFor(loop_, 500ms);
  locker.Query("UNLOCK TABLES");
  Settle();
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(Stored("`online`", "brief"), "n");
}

TEST_F(UserStatsMySQLTest, UnmutingMatchesTheNickExactly) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  for (const char* nick : {"a_b", "axb"}) {
    THubSocket& user = LogIn(nick);
    Settle();
    user.UserInfo().Muted = true;
    user.UserInfo().MutedLevel = 1;
    LogOut(user);
  }
  Settle();
  stats_.ClearMuted(*issuer_, "a_b", true);
  Settle();
  EXPECT_NE(Output(*issuer_).find("a_b has been unmuted"), std::string::npos);
  EXPECT_EQ(Stored("`muted`", "a_b"), "-1");
  EXPECT_EQ(Stored("`muted`", "axb"), "1");
  EXPECT_EQ(actions_, std::vector<std::string>{"a_b unmuted op"});
}

// The worker decides whether the stored level is cleared, the loop only
// answers: each row checks the table itself.
TEST_F(UserStatsMySQLTest, ClearingAStoredPenaltyFollowsTheLevelRight) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  LogOut(LogIn("target"));
  Settle();
  op_->ProfileLevel = 5;
  const struct {
    const char* name;
    std::uint8_t right;
    int stored;
    bool cleared;
  } rows[] = {
      {"lower, stored below", paLower, 4, true},
      {"lower, stored at the same level", paLower, 5, false},
      {"same, stored at the same level", paSame, 5, true},
      {"same, stored above", paSame, 6, false},
      {"higher, stored above", paHigher, 9, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    database_.One("UPDATE `nickstats` SET `muted` = " + std::to_string(row.stored) +
                  " WHERE `nick` = \"target\"");
    op_->SetRight(TProfileRight::MayUseMuteUser, row.right);
    stats_.ClearMuted(*issuer_, "target", true);
    Settle();
    const std::string answer = Output(*issuer_);
    EXPECT_EQ(Stored("`muted`", "target"), row.cleared ? "-1" : std::to_string(row.stored));
    const std::string expected =
        row.cleared ? "target has been unmuted" : Text(TLanguageKey::UnMuteTooStrongMute);
    EXPECT_NE(answer.find(expected), std::string::npos) << answer;
  }
  EXPECT_TRUE(errors_.empty()) << errors_.front();
}

// The server stops answering at program end (the relay holds its sockets
// without forwarding): the closing updates are given up within the limit
// with one line, and the worker left behind, once the server answers
// again, sends nothing more and closes its own connection after its owner
// is gone.
TEST_F(UserStatsMySQLTest, AHungServerIsGivenUpAtShutdown) {
  TTcpRelay relay(TTestDatabase::Port());
  TTcpRelay::TThawGuard thaw(relay);
  ASSERT_NE(relay.Port(), 0);
  auto stats = std::make_unique<TUserStatsMySQL>(MySQLContext());
  ASSERT_TRUE(stats->Connect("127.0.0.1", TTestDatabase::User(), relay.Port(), database_.Name(),
                             TTestDatabase::Password()))
      << stats->ConnectionError();
  stats->UserLoggedIn(Online("held", "10.4.4.4"));
  ASSERT_TRUE(stats->WaitForQueue(10000));
  RunLoopFor(loop_, 30ms);
  ASSERT_EQ(Stored("`online`", "held"), "y");
  ASSERT_EQ(relay.Links(), 1);

  relay.Freeze();
  stats->SetCloseLimit(300);
  const auto start = std::chrono::steady_clock::now();
  stats->Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(errors_, std::vector<std::string>{"User statistics: the MySQL server did not answer, "
                                              "the closing updates were given up"});
  stats.reset();  // the worker is still waiting inside the client library

  relay.Thaw();
  for (int i = 0; i < 200 && relay.Links() != 0; ++i) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(relay.Links(), 0);
  EXPECT_EQ(Stored("`online`", "held"), "y");  // the next start resets it
  EXPECT_EQ(errors_.size(), 1U);
}

// With one row left after the offset, the row at the offset is shown.
TEST_F(UserStatsMySQLTest, OffsetShowsTheRowAtTheOffset) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  for (const char* nick : {"u1", "u2", "u3", "u4", "u5"}) LogOut(LogIn(nick));
  Settle();
  stats_.ReportUserInfo(*issuer_, "u*", false, 4);
  Settle();
  const std::string out = Chat(*issuer_);
  EXPECT_NE(out.find("Showing information on: u5"), std::string::npos) << out;
  stats_.ReportUserInfo(*issuer_, "u%*", false, 0);  // "%" is no wildcard
  Settle();
  EXPECT_NE(Chat(*issuer_).find("total hits: 0"), std::string::npos);
}

TEST_F(UserStatsMySQLTest, ServerDownAtStartFallsBackToMemory) {
  settings_.UserStatsMySQLHost = "127.0.0.1";
  settings_.UserStatsMySQLPort = 1;  // nothing listens there
  settings_.UserStatsType = 2;
  TUserStatsModule module(MySQLContext(), [] { return std::uint64_t{0}; });
  module.Select(2);
  ASSERT_EQ(errors_.size(), 2U);
  EXPECT_EQ(errors_[0].rfind("MySQL error(2", 0), 0U) << errors_[0];
  EXPECT_EQ(errors_[1], "MySQL connection failed, switching to local mode.");
  EXPECT_EQ(&module.Active(), static_cast<TUserStats*>(&module.Local()));
  EXPECT_EQ(settings_.UserStatsType, 2);  // the next start tries again
}

}  // namespace

namespace {

// The database vanishes while users come and go: one report, then memory
// for the rest of the run; the users recorded there only lose their flag.
TEST_F(UserStatsMySQLTest, LostDatabaseIsReportedOnceThenMemoryServes) {
  settings_.UserStatsMySQLHost = "127.0.0.1";
  settings_.UserStatsMySQLPort = TTestDatabase::Port();
  settings_.UserStatsMySQLUser = TTestDatabase::User();
  settings_.UserStatsMySQLPassword = TTestDatabase::Password();
  settings_.UserStatsMySQLDatabase = database_.Name();
  settings_.UserStatsType = 2;
  TUserStatsModule module(MySQLContext(), [] { return std::uint64_t{0}; });
  module.Select(2);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_EQ(&module.Active(), static_cast<TUserStats*>(&module.MySQL()));
  database_.Drop();
  std::vector<THubSocket*> users;
  for (const char* nick : {"c1", "c2", "c3"}) {
    users.push_back(&Online(nick, "10.8.8.8"));
    module.LoggedIn(*users.back());
  }
  ASSERT_TRUE(module.MySQL().WaitForQueue(10000));
  RunLoopFor(loop_, 30ms);
  ASSERT_EQ(errors_.size(), 3U);
  EXPECT_EQ(errors_[0].rfind("MySQL query: SELECT", 0), 0U) << errors_[0];
  EXPECT_EQ(errors_[1].rfind("MySQL error(1049)", 0) == 0 || errors_[1].rfind("MySQL error(1146)", 0) == 0, true)
      << errors_[1];
  EXPECT_EQ(errors_[2], "MySQL connection failed, switching to local mode.");
  EXPECT_EQ(&module.Active(), static_cast<TUserStats*>(&module.Local()));
  THubSocket& later = Online("later", "10.8.8.8");
  module.LoggedIn(later);
  ASSERT_NE(module.Local().FindNick("later"), nullptr);
  for (THubSocket* user : users) {
    Leave(*user);
    module.LoggedOut(*user);
    EXPECT_FALSE(user->StatsLogin);
  }
  EXPECT_EQ(module.Local().FindIP("10.8.8.8")->Online, 1);
  EXPECT_EQ(errors_.size(), 3U);
}


// Settings that point the hub at the test server through `port`.
void PointAt(TSettings& settings, const std::string& database, int port) {
  settings.UserStatsMySQLHost = "127.0.0.1";
  settings.UserStatsMySQLPort = port;
  settings.UserStatsMySQLUser = TTestDatabase::User();
  settings.UserStatsMySQLPassword = TTestDatabase::Password();
  settings.UserStatsMySQLDatabase = database;
  settings.UserStatsType = 2;
}

// MySQL selected by a reload while the hub serves: the loop runs no
// statement, the worker connects first and memory serves until then.
TEST_F(UserStatsMySQLTest, SelectedWhileServingStartsOnTheWorker) {
  const struct {
    const char* name;
    bool reachable;
  } rows[] = {{"server up", true}, {"server down", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    errors_.clear();
    PointAt(settings_, database_.Name(), row.reachable ? TTestDatabase::Port() : 1);
    TUserStatsContext context = MySQLContext();
    context.Serving = [] { return true; };
    TUserStatsModule module(context, [] { return std::uint64_t{0}; });
    module.Select(2);
    EXPECT_EQ(&module.Active(), static_cast<TUserStats*>(&module.Local()));
    EXPECT_FALSE(module.MySQL().Connected());
    ASSERT_TRUE(module.MySQL().WaitForQueue(10000));
    RunLoopFor(loop_, 30ms);
    if (row.reachable) {
      EXPECT_TRUE(errors_.empty()) << errors_.front();
      ASSERT_EQ(&module.Active(), static_cast<TUserStats*>(&module.MySQL()));
      THubSocket& user = Online("later", "10.0.0.5");
      module.LoggedIn(user);
      ASSERT_TRUE(module.MySQL().WaitForQueue(10000));
      EXPECT_EQ(Stored("`online`", "later"), "y");
      Leave(user);
      module.LoggedOut(user);
      module.Close();
    } else {
      ASSERT_EQ(errors_.size(), 2U);
      EXPECT_EQ(errors_[0].rfind("MySQL error(2", 0), 0U) << errors_[0];
      EXPECT_EQ(errors_[1], "MySQL connection failed, switching to local mode.");
      EXPECT_EQ(&module.Active(), static_cast<TUserStats*>(&module.Local()));
    }
  }
}

// The server process dies while users come and go (a relay in front of it
// closes every link and refuses new ones): one report, no hang, memory
// for the rest of the run.
TEST_F(UserStatsMySQLTest, ServerKilledWhileUsersComeAndGo) {
  TTcpRelay relay(TTestDatabase::Port());
  ASSERT_NE(relay.Port(), 0);
  PointAt(settings_, database_.Name(), relay.Port());
  TUserStatsModule module(MySQLContext(), [] { return std::uint64_t{0}; });
  module.Select(2);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_EQ(&module.Active(), static_cast<TUserStats*>(&module.MySQL()));
  std::vector<THubSocket*> users;
  for (int i = 0; i < 20; ++i) {
    if (i == 5) relay.Kill();
    users.push_back(&Online("k" + std::to_string(i), "10.7.7.7"));
    module.LoggedIn(*users.back());
    if (i % 3 == 2) {
      Leave(*users.front());
      module.LoggedOut(*users.front());
      users.erase(users.begin());
    }
    RunLoopFor(loop_, 5ms);
  }
  ASSERT_TRUE(module.MySQL().WaitForQueue(40000));
  RunLoopFor(loop_, 30ms);
  ASSERT_EQ(errors_.size(), 3U);
  EXPECT_EQ(errors_[0].rfind("MySQL query: ", 0), 0U) << errors_[0];
  EXPECT_EQ(errors_[1].rfind("MySQL error(20", 0), 0U) << errors_[1];
  EXPECT_EQ(errors_[2], "MySQL connection failed, switching to local mode.");
  EXPECT_EQ(&module.Active(), static_cast<TUserStats*>(&module.Local()));
  for (THubSocket* user : users) {
    Leave(*user);
    module.LoggedOut(*user);
    EXPECT_FALSE(user->StatsLogin);
  }
  module.Close();
  EXPECT_EQ(errors_.size(), 3U);
}

}  // namespace

namespace {

// The same visits through memory and MySQL give the same report bytes
// where both back ends read the pattern alike (a trailing "*" or none):
// they write through the shared report blocks. By design an offline nick's
// card differs (the database also keeps the last visit's details), and the
// database's nick report counts (IP, nick) rows where memory counts IPs.
TEST_F(UserStatsMySQLTest, ReportsMatchTheMemoryBackEndByteForByte) {
  ASSERT_TRUE(Connect(stats_)) << stats_.ConnectionError();
  TUserStatsLocal local(Context());
  const struct {
    const char* nick;
    const char* ip;
    bool stays;
  } visits[] = {
      {"alpha", "10.3.0.1", false}, {"beta", "10.3.0.1", false}, {"alpha", "10.3.0.2", true},
      {"gamma", "10.3.0.3", true},  {"beta", "10.3.0.1", false}, {"a_z", "10.3.0.4", true},
  };
  for (const auto& visit : visits) {
    now_.Seconds += 60;
    THubSocket& user = Online(visit.nick, visit.ip);
    user.UserInfo().Description = std::string("desc of ") + visit.nick;
    user.UserInfo().Share = 1234567;
    user.UserInfo().RealShare = 1234567;
    local.UserLoggedIn(user);
    stats_.UserLoggedIn(user);
    Settle();
    if (visit.stays) continue;
    now_.Seconds += 30;
    Leave(user);
    local.UserLoggedOut(user);
    user.StatsLogin = true;  // the memory back end's logout cleared the shared flag
    stats_.UserLoggedOut(user);
    Settle();
  }
  now_.Seconds += 60;
  using TReport = void (TUserStats::*)(THubSocket&, std::string_view, bool, int);
  const struct {
    const char* name;
    TReport report;
    const char* pattern;
    int offset;
  } rows[] = {
      {"userinfo, one online", &TUserStats::ReportUserInfo, "gamma", 0},
      {"userinfo, several", &TUserStats::ReportUserInfo, "*", 0},
      {"userinfo, offset", &TUserStats::ReportUserInfo, "*", 1},
      {"userinfo, offset past the end", &TUserStats::ReportUserInfo, "*", 7},
      {"userinfo, no match", &TUserStats::ReportUserInfo, "zeta", 0},
      {"userinfo, \"_\" matches itself only", &TUserStats::ReportUserInfo, "a_*", 0},
      {"ipinfo, one", &TUserStats::ReportIPInfo, "10.3.0.1", 0},
      {"ipinfo, several", &TUserStats::ReportIPInfo, "10.3.*", 0},
      {"nickinfo, online and used before", &TUserStats::ReportNickInfo, "10.3.0.2", 0},
      {"nickinfo, no match", &TUserStats::ReportNickInfo, "10.9.*", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    for (bool isPM : {false, true}) {
      (local.*row.report)(*issuer_, row.pattern, isPM, row.offset);
      const std::string fromMemory = Output(*issuer_);
      (stats_.*row.report)(*issuer_, row.pattern, isPM, row.offset);
      Settle();
      EXPECT_EQ(Output(*issuer_), fromMemory);
    }
  }
}

}  // namespace
