#include "gui/controls/sorted_list_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Column(const TSortedListView& list, int column) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.Count(); ++i) texts.push_back(list.Item(i)->text(column).toStdString());
  return texts;
}

TEST(SortedListViewTest, InsertionStandsWhereAResortPutsIt) {
  TSortedListView list;
  list.setColumnCount(2);
  for (const char* name : {"cherry", "Zed", "bob", "apple", "Banana"}) list.AddItem({name, "x"});
  const std::vector<std::string> expected = {"apple", "Banana", "bob", "cherry", "Zed"};
  EXPECT_EQ(Column(list, 0), expected);
  list.ClickColumn(1);  // all "x": the identifiers decide
  list.ClickColumn(0);
  EXPECT_EQ(Column(list, 0), expected);
}

TEST(SortedListViewTest, HeaderClicksReverseButTiesStayAscending) {
  TSortedListView list;
  list.setColumnCount(2);
  list.AddItem({"d", "2"});
  list.AddItem({"b", "1"});
  list.AddItem({"c", "2"});
  list.AddItem({"a", "1"});
  list.show();
  QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {},
                    QPoint(list.header()->sectionViewportPosition(1) + 5, 5));
  EXPECT_EQ(list.SortColumn(), 1);
  EXPECT_FALSE(list.SortReverse());
  EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"a", "b", "c", "d"}));
  list.ClickColumn(1);
  EXPECT_TRUE(list.SortReverse());
  EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"c", "d", "a", "b"}));
  list.AddItem({"e", "1"});  // placed by the same rule
  EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"c", "d", "a", "b", "e"}));
  list.ClickColumn(1);
  EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"a", "b", "e", "c", "d"}));
  list.ClickColumn(0);
  list.ClickColumn(0);
  EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"e", "d", "c", "b", "a"}));
}

TEST(SortedListViewTest, IndexKeepsOldRowsAndForgetsDeletedOnes) {
  TSortedListView list;
  list.setColumnCount(2);
  list.SetUniqueIdentifierColumn(1);
  QTreeWidgetItem* first = list.AddItem({"old", "key"});
  EXPECT_EQ(list.AddItem({"new", "key"}), first);
  EXPECT_EQ(first->text(0), "old");
  EXPECT_EQ(list.FindItem("key"), first);
  list.SetSortColumn(0);
  list.SetSortReverse(true);
  EXPECT_EQ(list.FindItem("key"), first);  // a re-sort is no deletion
  delete first;
  EXPECT_EQ(list.FindItem("key"), nullptr);
  list.AddItem({"other", "k2"});
  list.clear();
  EXPECT_EQ(list.FindItem("k2"), nullptr);
}

}  // namespace
