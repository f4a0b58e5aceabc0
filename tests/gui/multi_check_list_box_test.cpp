#include "gui/controls/multi_check_list_box.h"

#include <gtest/gtest.h>

#include <QTest>
#include <stdexcept>
#include <vector>

namespace {

QPoint BoxCentre(TMultiCheckListBox& list, int row, int column) {
  const QRect r = list.visualItemRect(list.item(row));
  return QPoint(r.left() + column * list.ColumnWidth() + list.ColumnWidth() / 2, r.center().y());
}

TEST(MultiCheckListBoxTest, ClicksToggleEnabledBoxesOnly) {
  TMultiCheckListBox list;
  list.addItems({"first", "second"});
  list.show();
  const std::vector<std::pair<bool, std::vector<int>>> cycles = {{false, {1, 0, 1}}, {true, {0, 2, 1}}};
  for (const auto& [grayed, states] : cycles) {
    list.SetAllowGrayed(grayed);
    for (int expected : states) {
      QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, BoxCentre(list, 1, 2));
      EXPECT_EQ(list.State(1, 2), expected) << grayed;
    }
  }
  EXPECT_EQ(list.State(0, 2), 0);  // other rows untouched
  list.SetItemEnabled(1, 0, false);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, BoxCentre(list, 1, 0));
  EXPECT_EQ(list.State(1, 0), 0);
  EXPECT_FALSE(list.ItemEnabled(1, 0));
  EXPECT_TRUE(list.ItemEnabled(1, 1));
}

TEST(MultiCheckListBoxTest, RowsKeepTheirValuesAndRefuseBadIndexes) {
  TMultiCheckListBox list;
  list.SetCheckboxes(42);
  EXPECT_EQ(list.Checkboxes(), 10);
  list.addItems({"a", "b"});
  EXPECT_EQ(list.State(0, 9), 0);  // a row nobody touched
  EXPECT_EQ(list.Data(0), 0);
  list.SetChecked(1, 9, true);
  list.SetData(1, 77);
  delete list.takeItem(0);
  EXPECT_TRUE(list.Checked(0, 9));
  EXPECT_EQ(list.Data(0), 77);
  try {
    list.State(5, 0);
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (5)");
  }
}

}  // namespace
