#include "gui/traffic_info_gui.h"

#include <QTreeWidget>

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "gui/blocked_gui.h"
#include "gui/gui_fixture.h"
#include "gui/live_pages.h"

namespace {

class TrafficInfoGuiTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    port_ = StartHub();
  }
  TTrafficInfoGui& Page() { return gui_->LivePages().TrafficInfo(); }
  QStringList Rows(QTreeWidget* list, int column = 0) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) rows << list->topLevelItem(i)->text(column);
    return rows;
  }
  // Refreshes until `done`: a logout is seen once the hub's pass ran.
  bool RefreshUntil(const std::function<void()>& refresh, const std::function<bool()>& done) {
    return SpinUntil([&] {
      refresh();
      return done();
    });
  }
  int port_ = 0;
};

TEST_F(TrafficInfoGuiTest, RowsFollowLoginsAndTheShownUserLeaving) {
  auto alice = std::make_unique<TGuiClient>();
  TGuiClient bob;
  ASSERT_TRUE(alice->Connect(port_));
  ASSERT_TRUE(alice->Login("alice"));
  ASSERT_TRUE(bob.Connect(port_));
  ASSERT_TRUE(bob.Login("bob"));
  QTreeWidget* list = Control<QTreeWidget>("lvTrafficInfo");
  Page().Refresh();
  // From the last connection to the first.
  EXPECT_EQ(Rows(list), (QStringList{"bob", "alice"}));

  THubSocket* user = Root().NickList().FindUser("alice");
  ASSERT_NE(user, nullptr);
  user->UserInfo().Transfer.BytesSent = 1500;
  user->UserInfo().Transfer.MainChatLines = 4;
  // Half a second in: counted as one whole second, no division by zero.
  Page().SetTicks([user] { return user->ConnectTick + 500; });
  Page().SelectNick("alice");
  EXPECT_EQ(Page().Caption(), "Traffic Info for user: alice");
  EXPECT_EQ(Page().Value("Mainchat messages:"), "4");
  EXPECT_EQ(Page().Value("Bandwidth:"), "1.46 KiB/s");
  Page().SetTicks([user] { return user->ConnectTick + 2999; });
  Page().Refresh();
  EXPECT_EQ(Page().Value("Bandwidth:"), "750 B/s");

  alice.reset();  // the connection drops
  EXPECT_TRUE(RefreshUntil([&] { Page().Refresh(); }, [&] { return Rows(list) == QStringList{"bob"}; }))
      << Rows(list).join(",").toStdString();
  EXPECT_EQ(Page().Caption(), "Traffic Info");
  EXPECT_TRUE(Page().ShownNick().isEmpty());
  Page().SelectNick("alice");
  EXPECT_EQ(Page().Caption(), "Traffic Info");
}

TEST_F(TrafficInfoGuiTest, ChoosingAGoneNickDeletesItsRow) {
  auto carol = std::make_unique<TGuiClient>();
  ASSERT_TRUE(carol->Connect(port_));
  ASSERT_TRUE(carol->Login("carol"));
  QTreeWidget* list = Control<QTreeWidget>("lvTrafficInfo");
  Page().Refresh();
  ASSERT_EQ(Rows(list), QStringList{"carol"});
  carol.reset();
  ASSERT_TRUE(SpinUntil([&] { return Root().NickList().FindUser("carol") == nullptr; }));
  list->setCurrentItem(list->topLevelItem(0));  // the selection is handled queued
  EXPECT_TRUE(SpinUntil([&] { return list->topLevelItemCount() == 0; }));
  EXPECT_EQ(Page().Caption(), "Traffic Info");
}

TEST_F(TrafficInfoGuiTest, BlockedPageFollowsTheMarkAndLogouts) {
  auto dave = std::make_unique<TGuiClient>();
  TGuiClient erin;
  ASSERT_TRUE(dave->Connect(port_));
  ASSERT_TRUE(dave->Login("dave"));
  ASSERT_TRUE(erin.Connect(port_));
  ASSERT_TRUE(erin.Login("erin"));
  TBlockedGui& page = gui_->LivePages().Blocked();
  QTreeWidget* list = Control<QTreeWidget>("lvBlocked");
  page.Refresh();
  EXPECT_EQ(list->topLevelItemCount(), 0);
  Root().NickList().FindUser("dave")->UserInfo().Blocked = true;
  Root().NickList().FindUser("erin")->UserInfo().Blocked = true;
  page.Refresh();
  page.Refresh();  // no second row for the same nick
  EXPECT_EQ(Rows(list, 1), (QStringList{"erin", "dave"}));
  EXPECT_EQ(list->topLevelItem(0)->text(0), "127.0.0.1");
  EXPECT_EQ(list->topLevelItem(0)->text(2), "0");
  Root().NickList().FindUser("erin")->UserInfo().Blocked = false;
  page.Refresh();
  EXPECT_EQ(Rows(list, 1), QStringList{"dave"});
  dave.reset();
  EXPECT_TRUE(RefreshUntil([&] { page.Refresh(); }, [&] { return list->topLevelItemCount() == 0; }));
}

}  // namespace
