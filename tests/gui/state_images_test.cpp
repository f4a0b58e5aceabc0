// The state images of the list pages: each row keeps its state, shows the
// image of it, and a selected row of the focused list shows the second
// half of its set.

#include <QIcon>
#include <QImage>
#include <QTest>
#include <QTreeWidget>

#include "gui/main_window.h"
#include "gui/sample_rows_fixture.h"
#include "gui/state_icons.h"

namespace {

struct TRowCase {
  const char* List;
  int KeyColumn;
  const char* Key;
  TStateImageSet Set;
  int State;
};

const TRowCase kRows[] = {
    {"lvAccounts", 1, "on", TStateImageSet::Accounts, 1},
    {"lvAccounts", 1, "off", TStateImageSet::Accounts, 0},
    {"lvMCScanner", 1, "on", TStateImageSet::Scanner, 1},
    {"lvMCScanner", 1, "off", TStateImageSet::Scanner, 0},
    {"lvPMScanner", 1, "on", TStateImageSet::Scanner, 1},
    {"lvPMScanner", 1, "off", TStateImageSet::Scanner, 0},
    {"lvSearchScanner", 1, "on", TStateImageSet::Scanner, 1},
    {"lvSearchScanner", 1, "off", TStateImageSet::Scanner, 0},
    {"lvTextCommands", 0, "sched", TStateImageSet::TextCommands, 2},
    {"lvTextCommands", 0, "auto", TStateImageSet::TextCommands, 1},
    {"lvTextCommands", 0, "plain", TStateImageSet::TextCommands, 0},
    {"lvProfiles", 0, "Regular", TStateImageSet::Profiles, 2},
    {"lvProfiles", 0, "Registered", TStateImageSet::Profiles, 2},
    {"lvProfiles", 0, "Op", TStateImageSet::Profiles, 1},
    {"lvProfiles", 0, "Spare", TStateImageSet::Profiles, 0},
    {"lvHosts", 0, "waiting", TStateImageSet::HubList, 0},
    {"lvHosts", 0, "failed-connecting", TStateImageSet::HubList, 1},
    {"lvHosts", 0, "failed-resolving", TStateImageSet::HubList, 2},
    {"lvHosts", 0, "done", TStateImageSet::HubList, 3},
    {"lvHosts", 0, "failed-done", TStateImageSet::HubList, 4},
};

QImage Picture(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

class StateImages : public TSampleRowsTest {
 protected:
  QTreeWidgetItem* Row(const TRowCase& c) {
    auto* list = Control<QTreeWidget>(c.List);
    for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->text(c.KeyColumn) == c.Key) return list->topLevelItem(i);
    return nullptr;
  }
};

TEST_F(StateImages, EveryListShowsTheImageOfEachRowsState) {
  for (const TRowCase& c : kRows) {
    SCOPED_TRACE(std::string(c.List) + " " + c.Key);
    QTreeWidgetItem* row = Row(c);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(RowState(*row), c.State);
    EXPECT_EQ(RowImage(*row), c.State);
    const QIcon icon = row->icon(0);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(Picture(icon), Picture(StateIcon(c.Set, c.State)));
  }
}

// Within a set no two images look alike, the selected-in-focus half
// included; outside the set there is no image.
TEST_F(StateImages, EachSetsImagesDifferFromOneAnother) {
  for (TStateImageSet set : {TStateImageSet::Accounts, TStateImageSet::Scanner, TStateImageSet::TextCommands,
                             TStateImageSet::Profiles, TStateImageSet::HubList}) {
    const int images = 2 * StateCount(set);
    ASSERT_GT(images, 0);
    for (int a = 0; a < images; ++a) {
      ASSERT_FALSE(StateIcon(set, a).isNull());
      for (int b = a + 1; b < images; ++b)
        EXPECT_NE(Picture(StateIcon(set, a)), Picture(StateIcon(set, b)))
            << static_cast<int>(set) << ": " << a << " and " << b;
    }
    EXPECT_TRUE(StateIcon(set, images).isNull());
    EXPECT_TRUE(StateIcon(set, -1).isNull());
  }
}

// Entering the list moves its selected row to the second half of the set;
// leaving it moves the row back.
TEST_F(StateImages, TheSelectedRowOfTheFocusedListShowsTheMarkedImage) {
  gui_->Window().show();
  gui_->Window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&gui_->Window()));
  const TRowCase cases[] = {kRows[0], kRows[2], kRows[8], kRows[11], kRows[18]};
  for (const TRowCase& c : cases) {
    SCOPED_TRACE(c.List);
    ASSERT_TRUE(gui_->Window().OpenPage(c.List == QLatin1String("lvAccounts")        ? "Accounts"
                                        : c.List == QLatin1String("lvMCScanner")     ? "MCScanner"
                                        : c.List == QLatin1String("lvTextCommands")  ? "TextCommands"
                                        : c.List == QLatin1String("lvProfiles")      ? "Profiles"
                                                                                     : "Hublists"));
    auto* list = Control<QTreeWidget>(c.List);
    QTreeWidgetItem* row = Row(c);
    ASSERT_NE(row, nullptr);
    list->setFocus();
    ASSERT_TRUE(SpinUntil([&] { return list->hasFocus(); }));
    list->setCurrentItem(row);
    row->setSelected(true);
    const int marked = c.State + StateCount(c.Set);
    EXPECT_EQ(RowImage(*row), marked);
    EXPECT_EQ(RowState(*row), c.State);
    EXPECT_EQ(Picture(row->icon(0)), Picture(StateIcon(c.Set, marked)));
    gui_->Window().setFocus();
    list->clearFocus();
    ASSERT_TRUE(SpinUntil([&] { return !list->hasFocus(); }));
    EXPECT_EQ(RowImage(*row), c.State);
    EXPECT_EQ(Picture(row->icon(0)), Picture(StateIcon(c.Set, c.State)));
  }
}

}  // namespace
