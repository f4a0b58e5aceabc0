// kavrod's shutdown with user statistics in MariaDB, the server reached
// through a relay the test can freeze (a host that stops answering, as a
// stopped server process looks) without stalling the server the other
// database tests share.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "settings/settings.h"
#include "stats/mysql_test_server.h"
#include "support/tcp_relay.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kGivenUp = "the closing updates were given up";

// Polls `sql` until it answers `expected` (5 s at most).
bool WaitFor(TTestDatabase& db, const std::string& sql, const std::string& expected) {
  for (int i = 0; i < 100; ++i) {
    if (db.One(sql) == expected) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The server answers, stops answering for a while, or stops answering for
// good: kavrod always saves every settings file and exits 0 in time; the
// closing updates run unless the server stayed silent past the limit.
TEST(UserStatsShutdownE2ETest, AHungDatabaseNeverHoldsTheShutdown) {
  if (const std::string why = TTestDatabase::SkipReason(); !why.empty()) GTEST_SKIP() << why;
  constexpr std::chrono::milliseconds kNotHung = 0ms, kForever = 24h;
  const struct {
    const char* name;
    std::chrono::milliseconds hung;
    bool givenUp;
  } rows[] = {
      {"server answering", kNotHung, false},
      {"server hung for 5 s", 5s, false},
      {"server hung past the limit", kForever, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TTestDatabase db;
    db.Reserve();  // the hub creates it
    TTcpRelay relay(TTestDatabase::Port());
    TTcpRelay::TThawGuard thaw(relay);
    ASSERT_NE(relay.Port(), 0);
    TE2EHome home;
    home.WriteSettings([&](TSettings& s) {
      s.UserStatsType = 2;
      s.UserStatsMySQLHost = "127.0.0.1";
      s.UserStatsMySQLPort = relay.Port();
      s.UserStatsMySQLUser = TTestDatabase::User();
      s.UserStatsMySQLPassword = TTestDatabase::Password();
      s.UserStatsMySQLDatabase = db.Name();
    });
    ASSERT_TRUE(home.StartHub());
    auto user = TNmdcClient::Connect(home.Port());
    ASSERT_TRUE(user && user->Login("stay"));
    ASSERT_TRUE(WaitFor(db, "SELECT `online` FROM `nickstats` WHERE `nick` = \"stay\"", "y"));

    if (row.hung != kNotHung) relay.Freeze();
    const auto savedAfter = fs::file_time_type::clock::now();
    std::this_thread::sleep_for(50ms);  // file times are coarser than the clock
    std::jthread thawer;
    if (row.hung != kNotHung && row.hung != kForever) {
      thawer = std::jthread([&relay, hung = row.hung](std::stop_token stop) {
        const auto until = std::chrono::steady_clock::now() + hung;
        while (!stop.stop_requested() && std::chrono::steady_clock::now() < until)
          std::this_thread::sleep_for(10ms);
        relay.Thaw();
      });
    }
    const auto start = std::chrono::steady_clock::now();
    const std::optional<int> code = home.Hub().Stop(SIGTERM, 40s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::cout << "[ " << row.name << " ] SIGTERM to exit: " << took.count() << " ms" << std::endl;
    relay.Thaw();

    const std::string log = home.Hub().Output();
    EXPECT_EQ(code, std::optional<int>(0)) << log;
    EXPECT_LT(took, 15s);
    EXPECT_NE(log.find("kavrod stopped"), std::string::npos) << log;
    EXPECT_EQ(Count(log, kGivenUp), row.givenUp ? 1 : 0) << log;
    EXPECT_EQ(Count(log, "MySQL"), row.givenUp ? 1 : 0) << log;
    for (const char* file :
         {"settings.xml", "profiles.xml", "accounts.xml", "isps.xml", "bans.xml", "chat_rooms.xml",
          "register.xml", "text_commands.xml", "pm_scanner.xml", "mc_scanner.xml",
          "search_scanner.xml", "protected.xml"}) {
      const std::string path = home.File(std::string("settings/") + file);
      std::error_code error;
      const auto written = fs::last_write_time(path, error);
      EXPECT_TRUE(!error && written >= savedAfter) << path;
    }
    if (!row.givenUp) {
      EXPECT_EQ(db.One("SELECT COUNT(*) FROM `nickstats` WHERE `online` = \"y\""), "0");
      EXPECT_EQ(db.One("SELECT COUNT(*) FROM `nickstats_login` WHERE `logout` IS NULL"), "0");
      EXPECT_EQ(db.One("SELECT COUNT(*) FROM `ipstats` WHERE `online` <> 0"), "0");
    }
  }
}

}  // namespace
