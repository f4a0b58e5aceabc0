// The settings pages' edits reaching the running hub: clients over
// loopback, listeners opened and closed by the ports field.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/hub_core.h"
#include "gui/controls/adv_spin_edit.h"
#include "gui/controls/conn_restriction_frame.h"
#include "gui/settings_pages_fixture.h"
#include "support/test_port.h"

namespace {

// A socket of its own on `address`:`port`; closed with the object.
class TSocket {
 public:
  TSocket() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  ~TSocket() {
    if (fd_ >= 0) close(fd_);
  }
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  bool Connect(const char* address, int port) { return Call(address, port, false); }
  bool Listen(const char* address, int port) { return Call(address, port, true); }

 private:
  bool Call(const char* address, int port, bool listen) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address, &a.sin_addr);
    auto* raw = reinterpret_cast<sockaddr*>(&a);
    if (listen) return bind(fd_, raw, sizeof a) == 0 && ::listen(fd_, 1) == 0;
    return connect(fd_, raw, sizeof a) == 0;
  }
  int fd_;
};

bool CanConnect(const char* address, int port) { return TSocket().Connect(address, port); }

// Free on both loopback addresses, the next port free on 127.0.0.2 as well.
int OtherFreePort() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    const int port = ChooseTestPort({"127.0.0.1", "127.0.0.2"});
    if (port > 0 && PortBindable(port + 1, "127.0.0.2")) return port;
  }
  return -1;
}

class SettingsPagesHubTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    port_ = StartHub();
    gui_->ShowAllPages();  // the pages learn the ports the hub was given
  }
  void Click(const char* name) { Mine<QPushButton>(*gui_, QString::fromLatin1(name))->click(); }
  // Logs in sharing `share` bytes; true when the hub lists the user.
  bool LoginSharing(TGuiClient& client, const std::string& nick, std::int64_t share) {
    if (!client.Connect(port_) || !client.WaitFor(" Pk=")) return false;
    if (!client.Send(KeyFor(client.Received()) + "$ValidateNick " + nick + "|")) return false;
    if (!client.WaitFor("$Hello " + nick + "|")) return false;
    client.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL " + nick +
                " c <EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$" + std::to_string(share) +
                "$|");
    return client.WaitFor("$MyINFO $ALL " + nick + " ", std::chrono::milliseconds(1500));
  }

  int port_ = 0;
};

TEST_F(SettingsPagesHubTest, MinShareEditOnTheUsersPageRefusesALowShare) {
  auto* frame = Mine<TframeConnRestriction>(*gui_, "frameUsersConnRestriction");
  ASSERT_NE(frame, nullptr);
  frame->cbMinShare->setCurrentIndex(3);  // GiB
  frame->seMinShare->SetValue(10);
  frame->chkMinShare->setChecked(true);
  ASSERT_TRUE(Settings().ConnRestriction.MinShareEnabled);
  ASSERT_EQ(Settings().ConnRestriction.MinShare, std::int64_t{10} << 30);

  TGuiClient low;
  EXPECT_FALSE(LoginSharing(low, "low", std::int64_t{1} << 30));
  EXPECT_TRUE(low.WaitFor("You're not sharing enough")) << low.Received();
  TGuiClient large;
  EXPECT_TRUE(LoginSharing(large, "large", std::int64_t{20} << 30)) << large.Received();
}

TEST_F(SettingsPagesHubTest, PortsUpdateOpensAndClosesListeners) {
  const int plain = OtherFreePort();
  ASSERT_GT(plain, 0);
  const int bound = plain + 1;
  ASSERT_TRUE(TSocket().Listen("127.0.0.2", bound));
  auto* ports = Mine<QLineEdit>(*gui_, "edtHubPorts");
  ports->setText(QString::number(plain) + ";127.0.0.2:" + QString::number(bound));
  Click("btnUpdatePorts");
  EXPECT_TRUE(CanConnect("127.0.0.1", plain));
  EXPECT_TRUE(CanConnect("127.0.0.2", bound));
  EXPECT_FALSE(CanConnect("127.0.0.1", bound));  // that entry listens on its address only
  EXPECT_FALSE(CanConnect("127.0.0.1", port_));  // no longer listed
  EXPECT_EQ(Settings().HubPorts,
            std::to_string(plain) + ";127.0.0.2:" + std::to_string(bound));

  ports->setText(QString::number(plain));
  Click("btnUpdatePorts");
  EXPECT_TRUE(CanConnect("127.0.0.1", plain));
  EXPECT_FALSE(CanConnect("127.0.0.2", bound));
  EXPECT_FALSE(gui_->LockHubAction()->isChecked());
}

// A reloaded file's ports open at "Update" although the record names them
// already; the ports it no longer names close.
TEST_F(SettingsPagesHubTest, UpdateAfterAReloadOpensWhatTheFileNames) {
  const int other = OtherFreePort();
  ASSERT_GT(other, 0);
  Settings().HubPorts = std::to_string(other);  // as a reload leaves it
  gui_->ShowAllPages();
  EXPECT_EQ(Mine<QLineEdit>(*gui_, "edtHubPorts")->text(), QString::number(other));
  Click("btnUpdatePorts");
  EXPECT_TRUE(CanConnect("127.0.0.1", other));
  EXPECT_FALSE(CanConnect("127.0.0.1", port_));
}

// The hub's next start opens an address-bound entry on its address too.
TEST_F(SettingsPagesHubTest, AddressBoundEntryListensOnItsAddressAfterARestart) {
  const int bound = OtherFreePort();
  ASSERT_GT(bound, 0);
  Mine<QLineEdit>(*gui_, "edtHubPorts")->setText("127.0.0.2:" + QString::number(bound));
  Click("btnUpdatePorts");
  ASSERT_TRUE(gui_->StopHub());
  Root().HubCore().RemoveListener(bound);  // as a fresh start would find it
  ASSERT_TRUE(gui_->StartHub());
  EXPECT_TRUE(CanConnect("127.0.0.2", bound));
  EXPECT_FALSE(CanConnect("127.0.0.1", bound));
  EXPECT_FALSE(FeedHas("Not a port number")) << FeedLines().join('\n').toStdString();
}

// Entries that are no port open nothing; with nothing open the hub locks.
TEST_F(SettingsPagesHubTest, PortsThatAreNoPortNumbersOpenNothing) {
  Mine<QLineEdit>(*gui_, "edtHubPorts")->setText(QStringLiteral("0;70000;99999;:;4.4"));
  Click("btnUpdatePorts");
  EXPECT_EQ(Root().HubCore().ListenerCount(), 0);
  EXPECT_TRUE(gui_->LockHubAction()->isChecked());
  EXPECT_FALSE(Root().HubCore().Listening());
}

TEST_F(SettingsPagesHubTest, HubNameUpdateSendsTheNameOnce) {
  TGuiClient user;
  ASSERT_TRUE(user.Connect(port_));
  ASSERT_TRUE(user.Login("namer")) << user.Received();
  user.ClearReceived();
  auto* name = Mine<QLineEdit>(*gui_, "edtHubName");
  name->setText(QStringLiteral("Renamed hub"));
  QTest::qWait(100);
  EXPECT_NE(Settings().HubName(), "Renamed\xA0hub");  // typing alone changes nothing
  Click("btnUpdateHubName");
  // Stored protocol-safe and shown back so, which makes it unchanged.
  EXPECT_EQ(Settings().HubName(), "Renamed\xA0hub");
  ASSERT_TRUE(user.WaitFor("$HubName Renamed\xA0hub")) << user.Received();
  EXPECT_TRUE(gui_->Window().windowTitle().endsWith(QStringLiteral(u" - Renamed\u00A0hub")));
  Click("btnUpdateHubName");
  Click("btnUpdateHubName");
  // A line the hub sends after them marks the end of what they could send.
  gui_->SendBotLine(QStringLiteral("marker"));
  ASSERT_TRUE(user.WaitFor("marker|"));
  const std::string& got = user.Received();
  std::size_t count = 0;
  for (std::size_t at = got.find("$HubName"); at != std::string::npos;
       at = got.find("$HubName", at + 1))
    ++count;
  EXPECT_EQ(count, 1u) << got;
}

TEST_F(SettingsPagesHubTest, LockHubStopsListeningAndTicksAgainWhenNoPortOpens) {
  QAction* lock = gui_->LockHubAction();
  ASSERT_TRUE(lock->isEnabled());
  lock->trigger();
  EXPECT_TRUE(lock->isChecked());
  EXPECT_FALSE(Root().HubCore().Listening());
  EXPECT_FALSE(CanConnect("127.0.0.1", port_));
  {
    TSocket squatter;
    ASSERT_TRUE(squatter.Listen("127.0.0.1", port_));
    lock->trigger();  // unticked: the port cannot open
    EXPECT_TRUE(lock->isChecked());
    EXPECT_FALSE(Root().HubCore().Listening());
  }
  lock->trigger();
  EXPECT_FALSE(lock->isChecked());
  EXPECT_TRUE(Root().HubCore().Listening());
  EXPECT_TRUE(CanConnect("127.0.0.1", port_));
}

// The page's Start and Stop buttons are the hub's actions.
TEST_F(SettingsPagesHubTest, PageButtonsFollowTheHub) {
  auto* start = Mine<QPushButton>(*gui_, "btnSettingsStartHub");
  auto* stop = Mine<QPushButton>(*gui_, "btnSettingsStopHub");
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(stop->isEnabled());
  stop->click();
  EXPECT_FALSE(Root().HubCore().Started());
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
}

}  // namespace

namespace {

// "Search not sended to 0 share users": a search skips the users sharing
// nothing while the switch is on.
TEST_F(SettingsPagesHubTest, SearchesSkipUsersSharingNothingWhileSwitchedOn) {
  TGuiClient searcher, empty, sharer;
  ASSERT_TRUE(LoginSharing(searcher, "searcher", std::int64_t{5} << 30));
  ASSERT_TRUE(LoginSharing(empty, "empty", 0));
  ASSERT_TRUE(LoginSharing(sharer, "sharer", std::int64_t{5} << 30));
  auto search = [&](const std::string& word) {
    ASSERT_TRUE(searcher.Send("$Search Hub:searcher F?T?0?1?" + word + "|"));
    ASSERT_TRUE(sharer.WaitFor(word + "|")) << sharer.Received();
  };
  search("first");
  EXPECT_TRUE(empty.WaitFor("first|")) << empty.Received();
  Mine<QCheckBox>(*gui_, "chkDontSendSearch")->click();
  search("second");
  // The sharer got it, so the hub has passed the empty user by.
  QTest::qWait(100);
  EXPECT_FALSE(empty.WaitFor("second|", std::chrono::milliseconds(200))) << empty.Received();
}

}  // namespace
