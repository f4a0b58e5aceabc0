#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "core/settings_file_set.h"
#include "gui/list_page_helpers.h"
#include "gui/text_1252.h"
#include "stats/mysql_test_server.h"
#include "stats/user_stats_local.h"
#include "stats/user_stats_module.h"
#include "stats/user_stats_mysql.h"
#include "utils/program_folder.h"

namespace {

class TUserStatsPageTest : public TGuiTest {
 protected:
  TUserStatsModule& Stats() { return dynamic_cast<TUserStatsModule&>(Root().UserStats()); }
  QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
  QRadioButton* Radio(const char* name) { return Control<QRadioButton>(name); }
  QString Label(const char* name) { return Control<QLabel>(name)->text(); }
  QPushButton* TryButton() { return Control<QPushButton>("btnTryConnect"); }
  std::string SettingsFile() { return ReadWholeFile(home_.String() + "/settings/settings.xml"); }
  // Presses "Try connect" and waits for the answer.
  bool TryConnect(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    TryButton()->click();
    return SpinUntil([this] { return TryButton()->isEnabled(); }, limit);
  }
};

TEST_F(TUserStatsPageTest, ShowAndSaveAllKeepTheStatisticsFields) {
  TSettings& s = Settings();
  s.UserStatsType = 1;
  s.UserStatsAutoPrune = {false, 1500};
  s.UserStatsMySQLHost = "db\x80host";
  s.UserStatsMySQLPort = 70000;
  s.UserStatsMySQLUser = "u\x81";
  s.UserStatsMySQLPassword = "p\x9D";
  s.UserStatsMySQLDatabase = "stats";
  Root().SettingsFiles().SaveAll(true);
  const std::string before = SettingsFile();
  ASSERT_NE(before.find("1500"), std::string::npos);
  gui_->ShowAllPages();
  EXPECT_EQ(Control<QSpinBox>("sePruneDays")->value(), 999);
  Root().SettingsFiles().SaveAll(true);
  EXPECT_EQ(SettingsFile(), before);
  Settle();
  EXPECT_EQ(CountLines(FeedLines(), "via GUI"), 0);

  Edit("edtMySQLDatabase")->setText("other");
  Root().SettingsFiles().SaveAll(true);
  EXPECT_EQ(SettingsFile(), WithElement(before, "UserStatsMySQLDatabase", "other"));
}

struct TPortCase {
  const char* typed;
  int stored;
};

TEST_F(TUserStatsPageTest, PortBoxStoresANumberOr3306) {
  const TPortCase cases[] = {{"3310", 3310}, {"abc", 3306}, {"", 3306}, {" 4000 ", 4000}};
  for (const TPortCase& c : cases) {
    SCOPED_TRACE(c.typed);
    Settings().UserStatsMySQLPort = 1;
    Edit("edtMySQLPort")->setText(c.typed);
    EXPECT_EQ(Settings().UserStatsMySQLPort, c.stored);
  }
}

TEST_F(TUserStatsPageTest, EmptyDatabaseIsRefusedBeforeAnyServer) {
  Edit("edtMySQLDatabase")->setText("");
  ASSERT_TRUE(TryConnect());
  EXPECT_TRUE(dialogs_.informed.contains("Database name required."));
  EXPECT_FALSE(Radio("rbUserStatsMySQL")->isEnabled());
  EXPECT_EQ(Label("lblConnection"), "Not connected");
}

TEST_F(TUserStatsPageTest, DisablingShowsNoneAndKeepsTheBackEnd) {
  Radio("rbUserStatsLocal")->setChecked(true);
  EXPECT_EQ(Settings().UserStatsType, 1);
  TUserStats* active = &Stats().Active();
  Radio("rbUserStatsDisabled")->setChecked(true);
  EXPECT_EQ(Settings().UserStatsType, 0);
  EXPECT_EQ(Label("lblOldestEntry"), "[None]");
  EXPECT_EQ(Label("lblNickEntries"), "0");
  EXPECT_EQ(&Stats().Active(), active);
}

// A server that takes the connection and never greets: the test runs on the
// statistics worker, the window and the hub keep going meanwhile, and the
// connect limit ends it.
TEST_F(TUserStatsPageTest, TryConnectNeverBlocksAndKeepsTheButtonOffUntilTheAnswer) {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  Edit("edtMySQLHost")->setText("127.0.0.1");
  Edit("edtMySQLPort")->setText(QString::number(ntohs(address.sin_port)));
  Edit("edtMySQLDatabase")->setText("kavro");

  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(100);
  QElapsedTimer clock;
  clock.start();
  TryButton()->click();
  EXPECT_FALSE(TryButton()->isEnabled());
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_TRUE(SpinUntil([&] { return ticks >= 5; }));
  EXPECT_FALSE(TryButton()->isEnabled());
  EXPECT_TRUE(SpinUntil([this] { return TryButton()->isEnabled(); }, std::chrono::seconds(20)));
  EXPECT_LT(clock.elapsed(), 9000);
  EXPECT_EQ(Label("lblConnection"), "Not connected");
  EXPECT_FALSE(Radio("rbUserStatsMySQL")->isEnabled());
  EXPECT_EQ(dialogs_.informed.size(), 1);
  close(listener);
}

// Against the MariaDB server of the test run.
TEST_F(TUserStatsPageTest, MySQLConnectsAndBecomesTheActiveBackEnd) {
  if (const std::string why = TTestDatabase::SkipReason(); !why.empty()) GTEST_SKIP() << why;
  TTestDatabase database;
  database.Reserve();
  Edit("edtMySQLHost")->setText("127.0.0.1");
  Edit("edtMySQLPort")->setText(QString::number(TTestDatabase::Port()));
  Edit("edtMySQLUser")->setText(QString::fromStdString(TTestDatabase::User()));
  Edit("edtMySQLPassword")->setText(QString::fromStdString(TTestDatabase::Password()));
  Edit("edtMySQLDatabase")->setText(QString::fromStdString(database.Name()));
  ASSERT_TRUE(TryConnect());
  EXPECT_EQ(Label("lblConnection"), "Connected");
  ASSERT_TRUE(Radio("rbUserStatsMySQL")->isEnabled()) << dialogs_.informed.join("/").toStdString();
  Radio("rbUserStatsMySQL")->setChecked(true);
  EXPECT_EQ(Settings().UserStatsType, 2);
  EXPECT_EQ(&Stats().Active(), &Stats().MySQL());
  EXPECT_EQ(Label("lblNickEntries"), "0");
  EXPECT_EQ(Label("lblIPEntries"), "0");

  // A login is counted on the page once the worker recorded it.
  const int port = StartHub();
  TGuiClient client;
  ASSERT_TRUE(client.Connect(port));
  ASSERT_TRUE(client.Login("Counted"));
  EXPECT_TRUE(SpinUntil([this] { return Label("lblNickEntries") == "1"; }));
  EXPECT_EQ(database.One("SELECT COUNT(*) FROM `nickstats`"), "1");

  // Wrong credentials: the warning holds the server's text and the
  // statistics fall back to memory.
  Edit("edtMySQLPassword")->setText("wrong");
  ASSERT_TRUE(TryConnect());
  EXPECT_EQ(Label("lblConnection"), "Not connected");
  ASSERT_EQ(dialogs_.informed.size(), 1);
  EXPECT_TRUE(dialogs_.informed.front().contains("denied")) << dialogs_.informed.front().toStdString();
  EXPECT_EQ(&Stats().Active(), &Stats().Local());
  EXPECT_TRUE(Radio("rbUserStatsLocal")->isChecked());
}

}  // namespace
