// The program with its window: start-up lines, caption, page tree, the
// Start/Stop actions and the close question.

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QPushButton>
#include <QTreeWidget>

#include "core/hub_stats.h"
#include "core/settings_file_set.h"
#include "core/program_lifecycle.h"
#include "gui/feed_pane.h"
#include "gui/gui_fixture.h"
#include "gui/hub_page.h"
#include "gui/main_window.h"
#include "gui/splash_screen.h"
#include "gui/text_1252.h"
#include "base/exceptions.h"

namespace {

using TButton = TDialogs::TButton;

TEST_F(TGuiTest, SplashShowsTheStartupStepsAndEachSettingsFile) {
  const QStringList lines = gui_->Splash()->History();
  const QStringList expectedStart = {"Initializing application", "Creating GUI Menu",
                                     "Loading: Lua scripts", "Loading: Settings",
                                     "Loading: Settings", "Loading: Profiles",
                                     "Loading: Accounts"};
  ASSERT_GE(lines.size(), expectedStart.size());
  EXPECT_EQ(lines.mid(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(lines.mid(lines.size() - 2),
            (QStringList{"Loading: Languages", "Initializing GUI components"}));
  EXPECT_TRUE(lines.contains("Loading: Banlist"));
  EXPECT_FALSE(lines.contains("Loading: Starting hub"));  // AutoStart is off
}

// A settings load during the start-up must not lead to an automatic save
// of lists not loaded yet ("Failed to save ...").
TEST_F(TGuiTest, StartupSavesNothingAndReportsNoFailure) {
  TFeedPane* feed = gui_->Window().FeedPane();
  for (int i = 0; i < feed->EntryCount(); ++i)
    EXPECT_FALSE(feed->Entry(i).contains("Failed to")) << feed->Entry(i).toStdString();
  EXPECT_FALSE(gui_->Window().isVisible());  // shown by the entry, after the start-up
  EXPECT_EQ(gui_->Window().CurrentPage(), "Hub");
  EXPECT_EQ(gui_->Window().Heading(), "Welcome to the world of Kavro");
}

TEST_F(TGuiTest, SplashRefusesToClose) {
  TfrmSplashScreen splash;
  splash.show();
  EXPECT_FALSE(splash.close());
  EXPECT_TRUE(splash.isVisible());
}

TEST_F(TGuiTest, CaptionFollowsTheHubNameAndEverySettingsLoad) {
  const QString start = QStringLiteral("Kavro 1.040 - ");
  EXPECT_EQ(gui_->Window().windowTitle(), start + TextFromBytes(Settings().HubName()));
  // Bytes of the hub's code page; the space is stored protocol-safe (0xA0).
  Settings().SetHubName("Caf\xE9 \x80");
  EXPECT_EQ(gui_->Window().windowTitle(), start + QStringLiteral(u"Café\u00A0€"));

  Settings().SetHubName("On disk");
  ASSERT_TRUE(Settings().Save(TSaveMode::Forced));
  Settings().SetHubName("Changed");
  ASSERT_TRUE(Root().SettingsFiles().LoadAll(false));
  EXPECT_EQ(gui_->Window().windowTitle(), start + QStringLiteral(u"On\u00A0disk"));
}

struct TNodeRow {
  const char* text;
  const char* page;     // the page that opens
  const char* heading;
};

TEST_F(TGuiTest, EveryTreeNodeOpensItsPageWithItsHeading) {
  const TNodeRow rows[] = {
      {"Hub", "Hub", "Welcome to the world of Kavro"},
      {"Feed", "Feed", "Hub feed"},
      {"Statistics", "Statistics", "Hub statistics"},
      {"TrafficInfo", "Trafficinfo", "Traffic Info"},
      {"About", "About", "About Kavro"},
      {"Settings", "Settings", "General settings"},
      {"Redirects", "Redirects", "Redirects"},
      {"Notifications", "Notifications", "Notifications"},
      {"Text commands", "TextCommands", "Text commands"},
      {"Security", "Security", "Security settings"},
      {"Restrictions", "Restrictions", "Restrictions"},
      {"Banlist", "Banlist", "Ban list"},
      {"Blocked", "Blocked", "Block list"},
      {"Miscellaneous", "Miscellaneous", "Miscellaneous settings"},
      {"Chatrooms", "Chatrooms", "Chat rooms"},
      {"Hublists", "Hublists", "Public registration lists"},
      {"PM scanner", "PMScanner", "Private message scanner"},
      {"MC scanner", "MCScanner", "Mainchat scanner"},
      {"Search scanner", "SearchScanner", "Search scanner"},
      {"User stats", "UserStats", "User statistics"},
      {"ComPort", "ComPort", "Serial control line"},
      {"Users", "Users", "General user settings"},
      {"Profiles", "Profiles", "User profiles"},
      {"Accounts", "Accounts", "User accounts"},
      {"Registered", "Register", "Self registered users"},
      {"ISP/IP", "ISPIP", "ISP/IP lists"},
      {"Lua-scripts", "Lua", "General Lua settings"},
  };
  QTreeWidget* tree = gui_->Window().Tree();
  EXPECT_EQ(tree->topLevelItemCount(), 6);
  int nodes = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) ++nodes;
  EXPECT_EQ(nodes, static_cast<int>(std::size(rows)));
  EXPECT_EQ(TfrmMain::PageNames().size(), 28);
  for (const TNodeRow& row : rows) {
    QTreeWidgetItem* node = gui_->Window().FindNode(row.text);
    ASSERT_NE(node, nullptr) << row.text;
    tree->setCurrentItem(node);
    EXPECT_EQ(gui_->Window().CurrentPage(), row.page) << row.text;
    EXPECT_EQ(gui_->Window().Heading(), row.heading) << row.text;
  }
}

// The node names the page "TrafficInfo"; the page is "Trafficinfo": it opens
// regardless of case, and the refresh asks by the page's own name.
TEST_F(TGuiTest, TrafficInfoNodeOpensAndRefreshesItsPage) {
  gui_->Window().show();
  int traffic = 0;
  int statistics = 0;
  gui_->SetPageRefresh("Trafficinfo", [&] { ++traffic; });
  gui_->SetPageRefresh("Statistics", [&] { ++statistics; });
  gui_->Window().Tree()->setCurrentItem(gui_->Window().FindNode("TrafficInfo"));
  EXPECT_EQ(gui_->Window().CurrentPage(), "Trafficinfo");
  EXPECT_EQ(traffic, 1);  // the page change's own tick
  gui_->UpdateTick();
  EXPECT_EQ(traffic, 2);
  EXPECT_EQ(statistics, 0);
  // Not refreshed while the window is hidden.
  gui_->Window().hide();
  gui_->UpdateTick();
  EXPECT_EQ(traffic, 2);
}

TEST_F(TGuiTest, HubPageShowsUptimeWhenShown) {
  gui_->Window().show();
  gui_->Window().Tree()->setCurrentItem(gui_->Window().FindNode("Hub"));
  EXPECT_TRUE(gui_->Window().HubPage()->UptimeLabel()->text().startsWith("Uptime: "));
  EXPECT_GT(gui_->Window().HubPage()->UptimeLabel()->text().size(), 8);
}

TEST_F(TGuiTest, StartAsksUntilTheSettingsPageWasSeen) {
  StartHub();  // only to pick the port; stop again
  ASSERT_TRUE(gui_->StopHub());
  EXPECT_FALSE(gui_->Lifecycle().HubRunning());

  dialogs_.answers = {TButton::No};
  gui_->Window().HubPage()->StartButton()->click();
  EXPECT_EQ(dialogs_.asked,
            QStringList{"Are you sure you wish to start hub without looking settings first?"});
  EXPECT_FALSE(gui_->Lifecycle().HubRunning());

  gui_->Window().Tree()->setCurrentItem(gui_->Window().FindNode("Settings"));
  EXPECT_TRUE(gui_->SettingsSeen());
  gui_->Window().HubPage()->StartButton()->click();
  EXPECT_EQ(dialogs_.asked.size(), 1);
  ASSERT_TRUE(gui_->Lifecycle().HubRunning());
  EXPECT_FALSE(gui_->Window().HubPage()->StartButton()->isEnabled());
  EXPECT_TRUE(gui_->Window().HubPage()->StopButton()->isEnabled());
  EXPECT_TRUE(gui_->LockHubAction()->isEnabled());

  gui_->LockHubAction()->setChecked(true);
  gui_->Window().HubPage()->StopButton()->click();
  EXPECT_FALSE(gui_->Lifecycle().HubRunning());
  EXPECT_FALSE(gui_->LockHubAction()->isEnabled());
  EXPECT_FALSE(gui_->LockHubAction()->isChecked());
  EXPECT_TRUE(gui_->Window().HubPage()->StartButton()->isEnabled());
  EXPECT_FALSE(gui_->Window().HubPage()->StopButton()->isEnabled());
}

TEST_F(TGuiTest, StartWarnsOfRegistrationInARegOnlyHub) {
  gui_->Window().Tree()->setCurrentItem(gui_->Window().FindNode("Settings"));
  Settings().HubRegistration = true;
  Settings().RegOnlyHub = true;
  StartHub();
  ASSERT_TRUE(gui_->StopHub());
  gui_->StartHubAction();
  TFeedPane* feed = gui_->Window().FeedPane();
  bool warned = false;
  for (int i = 0; i < feed->EntryCount(); ++i)
    warned = warned || feed->Entry(i).contains("Warning! Hub Registration is enabled in the "
                                              "Hublists but this hub is for reg only users!");
  EXPECT_TRUE(warned);
}

struct TCloseRow {
  const char* name;
  bool shown;
  bool prompt;
  bool bySignal;
  bool asks;
};

TEST_F(TGuiTest, CloseAsksOnlyWhenShownWithThePromptOn) {
  const TCloseRow rows[] = {
      {"shown, prompt on", true, true, false, true},
      {"shown, prompt off", true, false, false, false},
      {"in the tray", false, true, false, false},
      {"by a stop signal", true, true, true, false},
  };
  for (const TCloseRow& row : rows) {
    dialogs_.asked.clear();
    dialogs_.answers = {TButton::No};
    Settings().PromptOnShutDown = row.prompt;
    gui_->Window().setVisible(row.shown);
    if (row.bySignal) gui_->SetClosingBySignal();
    const bool closes = gui_->CloseQuery();
    EXPECT_EQ(dialogs_.asked.size(), row.asks ? 1 : 0) << row.name;
    EXPECT_EQ(closes, !row.asks) << row.name;  // the answer was No
  }
}

TEST_F(TGuiTest, ExceptionsReachingEitherLoopBecomeErrorLines) {
  const std::int64_t before = Root().Stats().UnhandledExceptions;
  loop_.Post([] { throw EGUIException("GUI.Test", "from the hub's loop"); });
  QTimer::singleShot(0, [] { throw EKavroException("Slot", "from a Qt slot"); });
  TFeedPane* feed = gui_->Window().FeedPane();
  ASSERT_TRUE(SpinUntil([&] { return Root().Stats().UnhandledExceptions == before + 2; }));
  QStringList errors;
  for (int i = 0; i < feed->EntryCount(); ++i)
    if (feed->EntryColour(i) == TFeedPane::KindColour(TFeedKind::Error))
      errors.append(feed->Entry(i).mid(11));  // after "[hh:mm:ss] "
  EXPECT_TRUE(errors.contains("EGUIException:GUI.Test(from the hub's loop)")) << errors.join("|").toStdString();
  EXPECT_TRUE(errors.contains("EKavroException:Slot(from a Qt slot)")) << errors.join("|").toStdString();
}

TEST_F(TGuiTest, ShutdownDetachesTheWindowFromTheFeed) {
  TFeedPane* feed = gui_->Window().FeedPane();
  const int before = feed->EntryCount();
  gui_->Shutdown();
  Root().ReportEvent("after shutdown");
  EXPECT_EQ(feed->EntryCount(), before);
  EXPECT_FALSE(gui_->Window().isVisible());
}

}  // namespace
