// User statistics in MariaDB with a real kavrod: a mute stored in the
// table follows the nick into its next visit.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "stats/mysql_test_server.h"

namespace {

using namespace std::chrono_literals;

// Polls `sql` until it answers `expected` (5 s at most).
bool WaitFor(TTestDatabase& db, const std::string& sql, const std::string& expected) {
  for (int i = 0; i < 100; ++i) {
    if (db.One(sql) == expected) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

TEST(UserStatsE2ETest, AStoredMuteSilencesTheReturningNick) {
  if (const std::string why = TTestDatabase::SkipReason(); !why.empty()) GTEST_SKIP() << why;
  TTestDatabase db;
  db.Reserve();  // the hub creates it
  TE2EHome home;
  home.WriteSettings([&](TSettings& s) {
    s.UserStatsType = 2;
    s.UserStatsMySQLHost = "127.0.0.1";
    s.UserStatsMySQLPort = TTestDatabase::Port();
    s.UserStatsMySQLUser = TTestDatabase::User();
    s.UserStatsMySQLPassword = TTestDatabase::Password();
    s.UserStatsMySQLDatabase = db.Name();
  });
  ASSERT_TRUE(home.StartHub());
  {
    auto first = TNmdcClient::Connect(home.Port());
    ASSERT_TRUE(first && first->Login("loud"));
  }
  const std::string online = "SELECT `online` FROM `nickstats` WHERE `nick` = \"loud\"";
  ASSERT_TRUE(WaitFor(db, online, "n"));
  db.One("UPDATE `nickstats` SET `muted` = 0 WHERE `nick` = \"loud\"");

  auto ear = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(ear && ear->Login("ear"));
  auto loud = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(loud && loud->Login("loud"));
  ASSERT_TRUE(WaitFor(db, "SELECT COUNT(*) FROM `nickstats_login`", "3"));
  std::this_thread::sleep_for(200ms);  // the login's completion reaches the user
  loud->Send("<loud> secret words|");
  EXPECT_TRUE(loud->ReadUntil(
      "<-Kavro-> " + std::string(LanguageKeyInfo(TLanguageKey::MutedUserMessage).DefaultText)))
      << loud->ReceivedText();
  ear->Drain(300ms);
  EXPECT_FALSE(ear->Got("<loud> secret words")) << ear->ReceivedText();
  EXPECT_EQ(home.StopHub(), 0);
  // The shutdown marked everyone offline.
  EXPECT_EQ(db.One("SELECT COUNT(*) FROM `nickstats` WHERE `online` = \"y\""), "0");
  EXPECT_EQ(db.One("SELECT `muted` FROM `nickstats` WHERE `nick` = \"loud\""), "0");
  // With its full date-time, no logout comes before its login.
  EXPECT_EQ(db.One("SELECT COUNT(*) FROM `nickstats_login` WHERE `logout` IS NULL OR "
                   "`logout` < `login`"),
            "0");
}

}  // namespace
