#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "gui/controls/profile_access_check_box.h"
#include "gui/controls/string_pattern_list.h"

namespace {

TEST(ProfileAccessCheckBoxTest, ClicksCycleTheFourStatesWithTheirHints) {
  TProfileAccessCheckBox box;
  box.setText("Kick");
  box.show();
  QSignalSpy clicks(&box, &TProfileAccessCheckBox::OnClick);
  const std::vector<std::pair<TProfileAccess, const char*>> expected = {
      {paLower, "Allowed on users with less profile level"},
      {paSame, "Allowed on users with less or equal profile level"},
      {paHigher, "Allowed on all users, regardless of profile level"},
      {paNone, "Not allowed"},
  };
  for (const auto& [state, hint] : expected) {
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(box.State(), state);
    EXPECT_EQ(box.toolTip(), hint);
  }
  QTest::keyClick(&box, Qt::Key_Space);
  EXPECT_EQ(box.State(), paLower);
  EXPECT_EQ(clicks.count(), 5);
}

TEST(StringPatternListTest, ReportsWhatEachTextAddsAndRemoves) {
  TStringPatternList list;
  std::vector<std::string> events;
  list.OnAdded = [&](const std::string& e) { events.push_back("+" + e); };
  list.OnRemoved = [&](const std::string& e) { events.push_back("-" + e); };
  list.SetText("411;;1412;");
  EXPECT_EQ(events, (std::vector<std::string>{"+1412", "+411"}));
  EXPECT_EQ(list.Entries().size(), 2u);
  events.clear();
  list.SetText("411;2000;");
  EXPECT_EQ(events, (std::vector<std::string>{"-1412", "+2000"}));
  events.clear();
  list.SetText("411;2000;");
  EXPECT_TRUE(events.empty());

  TStringPatternList quiet;  // nobody listens: pieces only gather
  quiet.SetText("1;2");
  quiet.SetText("3");
  EXPECT_EQ(quiet.Entries().size(), 3u);
}

}  // namespace
