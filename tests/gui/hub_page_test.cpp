#include "gui/hub_page.h"

#include <gtest/gtest.h>

namespace {

struct TDayRow {
  int month;
  int day;
  bool winter;
};

TEST(HubPage, WinterLogoFrom21DecemberTo20March) {
  const TDayRow rows[] = {{12, 20, false}, {12, 21, true}, {12, 31, true}, {1, 1, true},
                          {2, 29, true},   {3, 20, true},  {3, 21, false}, {7, 1, false}};
  for (const TDayRow& row : rows) {
    THubPage page;
    page.ShowLogo(QDate(2024, row.month, row.day));
    EXPECT_EQ(page.WinterLogoShown(), row.winter) << row.month << "-" << row.day;
  }
}

}  // namespace
