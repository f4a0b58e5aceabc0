// The tray icon: shown only with the option on and a tray present; only
// then does minimising hide the window.

#include "gui/tray_icon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QWidget>

namespace {

TEST(TrayIcon, HintNamesTheHubItsStateAndTheProgram) {
  EXPECT_EQ(TTrayIcon::HintText("My hub", true), "My hub\nStatus: Online\nHub: Kavro 1.040");
  EXPECT_EQ(TTrayIcon::HintText("My hub", false), "My hub\nStatus:  Offline\nHub: Kavro 1.040");
  const QString longName(200, u'x');
  EXPECT_EQ(TTrayIcon::HintText(longName, true), QString(127, u'x'));
}

struct TTrayRow {
  const char* name;
  bool option;
  bool trayPresent;
  bool iconShown;
};

TEST(TrayIcon, MinimiseHidesOnlyWithTheIconShown) {
  const TTrayRow rows[] = {
      {"option on, tray present", true, true, true},
      {"option on, no tray", true, false, false},
      {"option off, tray present", false, true, false},
  };
  for (const TTrayRow& row : rows) {
    QWidget window;
    window.show();
    TTrayIcon tray(window, {}, [&] { return row.trayPresent; });
    tray.SetEnabled(row.option);
    EXPECT_EQ(tray.IconVisible(), row.iconShown) << row.name;
    EXPECT_EQ(tray.WindowMinimized(), row.iconShown) << row.name;
    EXPECT_EQ(window.isVisible(), !row.iconShown) << row.name;
  }
}

TEST(TrayIcon, TurningTheIconOffBringsAHiddenWindowBack) {
  QWidget window;
  window.show();
  TTrayIcon tray(window, {}, [] { return true; });
  tray.SetEnabled(true);
  ASSERT_TRUE(tray.WindowMinimized());
  ASSERT_FALSE(window.isVisible());
  tray.SetEnabled(false);
  EXPECT_TRUE(window.isVisible());
}

TEST(TrayIcon, MenuFollowsTheWindowAndTheHub) {
  QWidget window;
  int starts = 0;
  TTrayIcon tray(window, {[&] { ++starts; }, {}, {}}, [] { return true; });
  window.show();
  tray.UpdateMenu(false);
  EXPECT_FALSE(tray.ShowAction()->isEnabled());
  EXPECT_TRUE(tray.HideAction()->isEnabled());
  EXPECT_TRUE(tray.StartAction()->isVisible());
  EXPECT_FALSE(tray.StopAction()->isVisible());
  tray.HideAction()->trigger();
  EXPECT_FALSE(window.isVisible());
  tray.UpdateMenu(true);
  EXPECT_TRUE(tray.ShowAction()->isEnabled());
  EXPECT_FALSE(tray.HideAction()->isEnabled());
  EXPECT_FALSE(tray.StartAction()->isVisible());
  EXPECT_TRUE(tray.StopAction()->isVisible());
  tray.StartAction()->trigger();
  EXPECT_EQ(starts, 1);
  tray.DoubleClicked();
  EXPECT_TRUE(window.isVisible());
}

}  // namespace

namespace {

// The start-up turns the icon off before the window was ever shown: the
// window must not appear before the start-up is done.
TEST(TrayIcon, IconOffLeavesANeverShownWindowHidden) {
  QWidget window;
  TTrayIcon tray(window, {}, [] { return false; });
  tray.SetEnabled(false);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
