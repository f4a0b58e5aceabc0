#include "gui/statistics_gui.h"

#include "core/commands/hub_figures.h"
#include "core/hub_stats.h"
#include "gui/gui_fixture.h"
#include "gui/live_pages.h"

namespace {

class StatisticsGuiTest : public TGuiTest {
 protected:
  TStatisticsGui& Page() { return gui_->LivePages().Statistics(); }
};

TEST_F(StatisticsGuiTest, ShowsTheCountersAndFigures) {
  THubFigures figures;
  figures.CPUUsage = "12.5%";
  figures.CPUTime = "00:01:02";
  figures.WorkingSet = 2048;
  figures.PageFile = 4096;
  figures.MemoryAvailable = 1023;
  figures.Sending = 3072;
  figures.Readers = {7, 9};
  figures.Writers = {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}};
  Page().SetFiguresSource([figures] { return figures; });
  TStats& stats = Root().Stats();
  stats.Protocol.Kicks = 7;
  stats.NickInUseRefusals = 3;
  stats.GUIFeed = 0;
  Page().Refresh();
  const std::pair<std::pair<const char*, const char*>, const char*> rows[] = {
      {{"Protocol and traffic", "Kicks:"}, "7"},
      {{"Drops", "Nick taken:"}, "3"},
      {{"Core", "Read buffers:"}, "7"},
      // Every write class, the sixth included.
      {{"Core", "Write buffers:"}, "21"},
      {{"Core", "Sending:"}, "3.00 KiB/s"},
      {{"System", "CPU usage:"}, "12.5%"},
      {{"System", "CPU time:"}, "00:01:02"},
      {{"System", "Memory usage: "}, "2.00 KiB"},
      {{"System", "Virtual memory usage:"}, "4.00 KiB"},
      {{"System", "Memory available:"}, "1023 B"},
      {{"Core", "Version:"}, "1.040"},
  };
  for (const auto& [place, value] : rows)
    EXPECT_EQ(Page().Value(place.first, place.second), value) << place.second;
}

TEST_F(StatisticsGuiTest, PerUserWithNobodyOnlineIsZero) {
  Root().Stats().CurrentUsers = 0;
  Root().Stats().CurrentSharesize = 1000;
  Page().Refresh();
  EXPECT_EQ(Page().Value("Sharesize", "Per user:"), "0 B");
  Root().Stats().CurrentUsers = 2;
  Page().Refresh();
  EXPECT_EQ(Page().Value("Sharesize", "Per user:"), "500 B");
}

// The real reader: this process has memory.
TEST_F(StatisticsGuiTest, TheTickRefreshesTheShownPage) {
  gui_->Window().show();
  ASSERT_TRUE(gui_->Window().OpenPage("Statistics"));
  Root().Stats().Protocol.MCTo = 42;
  gui_->UpdateTick();
  EXPECT_EQ(Page().Value("Protocol and traffic", "MCTo:"), "42");
  EXPECT_NE(Page().Value("System", "Memory usage: "), "0 B");
}

}  // namespace
