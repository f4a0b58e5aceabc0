#include "core/program_lifecycle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/kavro_root.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "settings/settings.h"
#include "settings/settings_file_watcher.h"
#include "support/temp_folder.h"

namespace {

// Records what the program's life asks of the hub.
class TFakeHub final : public TLifecycleHub {
 public:
  bool Listens = true;
  bool Starts = true;
  std::vector<std::string> Calls;

  bool StartListening() override {
    Calls.push_back("listen");
    return Listens;
  }
  bool Start() override {
    Calls.push_back("start");
    return Starts;
  }
  bool Stop(bool keepSockets) override {
    Calls.push_back(keepSockets ? "stop keep" : "stop");
    return true;
  }
  void SetTerminating() override { Calls.push_back("terminating"); }
  void CloseStatistics() override { Calls.push_back("close statistics"); }
  void HourlyStatisticsStep() override { Calls.push_back("hourly"); }
  void RunScheduledWork() override { Calls.push_back("scheduled"); }
};

class ProgramLifecycleTest : public testing::Test {
 protected:
  TTempFolder home_{"kavro-life-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
  TFakeHub hub_;
  std::uint64_t now_ = 10'000'000;
  TProgramLifecycle life_{root_, hub_};

  void SetUp() override {
    life_.SetClock([this] { return now_; });
  }

  bool SettingsFileExists() const { return FileExists(home_.File("settings/settings.xml")); }
};

TEST_F(ProgramLifecycleTest, StartsTheHubOnlyWhenAskedOrAutoStart) {
  const struct {
    const char* Name;
    bool AutoStart;
    bool Force;
    bool Listens;
    std::vector<std::string> Calls;
    bool Running;
  } cases[] = {
      {"neither", false, false, true, {}, false},
      {"forced", false, true, true, {"listen", "start"}, true},
      {"auto start", true, false, true, {"listen", "start"}, true},
      {"no port opens", false, true, false, {"listen"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeHub hub;
    hub.Listens = c.Listens;
    TProgramLifecycle life(root_, hub);
    root_.Settings().AutoStart = c.AutoStart;
    ASSERT_TRUE(root_.SaveSettings());
    life.Startup(c.Force);
    EXPECT_EQ(hub.Calls, c.Calls);
    EXPECT_EQ(life.HubRunning(), c.Running);
  }
}

TEST(ProgramLifecycleSave, AutomaticSaveFollowsItsIntervalWithAFloor) {
  const struct {
    const char* Name;
    bool Enabled;
    std::int64_t IntervalMs;
    std::uint64_t ElapsedMs;
    bool Saves;
  } cases[] = {
      {"before the interval", true, 120000, 120000, false},
      {"after the interval", true, 120000, 120001, true},
      {"short interval counts as a minute", true, 1000, 59999, false},
      {"a minute passed", true, 1000, 60001, true},
      {"switched off", false, 60000, 10'000'000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder home("kavro-life-case-");
    EventLoop loop;
    std::uint64_t now = 5'000'000;
    TFakeHub hub;
    bool saved = false;
    {
      TKavroRoot root(loop, home.String());
      TProgramLifecycle life(root, hub);
      life.SetClock([&] { return now; });
      life.Startup(false);
      root.Settings().AutoSaveSettings = {c.Enabled, c.IntervalMs};
      now += c.ElapsedMs;
      life.PeriodicCheck();
      saved = FileExists(home.File("settings/settings.xml"));
    }
    EXPECT_EQ(saved, c.Saves);
  }
}

TEST_F(ProgramLifecycleTest, PeriodicWorkRunsHourlyStepAndScheduledWork) {
  life_.Startup(false);
  life_.PeriodicCheck();  // the first tick takes the hourly step at once
  now_ += 1000;
  life_.PeriodicCheck();
  now_ += TProgramLifecycle::kStatisticsStepMs;
  life_.PeriodicCheck();
  EXPECT_EQ(hub_.Calls, (std::vector<std::string>{"hourly", "scheduled", "scheduled", "hourly",
                                                  "scheduled"}));
}

TEST_F(ProgramLifecycleTest, ShutdownStopsTheHubThenSavesEverything) {
  life_.Startup(true);
  root_.SettingsWatcher().SetEnabled(true);
  hub_.Calls.clear();
  root_.Settings().MaxUsers = 1234;

  life_.Shutdown();
  life_.Shutdown();  // once only
  EXPECT_EQ(hub_.Calls,
            (std::vector<std::string>{"terminating", "stop keep", "close statistics"}));
  EXPECT_FALSE(life_.HubRunning());
  EXPECT_FALSE(root_.SettingsWatcher().Enabled());
  for (const char* file : {"settings/settings.xml", "settings/profiles.xml",
                           "settings/accounts.xml", "language/english.xml"})
    EXPECT_TRUE(FileExists(home_.File(file))) << file;
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(home_.File("settings/settings.xml"), bytes));
  EXPECT_NE(bytes.find("<MaxUsers>1234</MaxUsers>"), std::string::npos);
}

TEST_F(ProgramLifecycleTest, UpdateTimerRunsOnlyWhileTheHubRuns) {
  EXPECT_TRUE(life_.StartHub());
  EXPECT_TRUE(life_.HubRunning());
  EXPECT_TRUE(life_.StopHub());
  EXPECT_FALSE(life_.HubRunning());
  EXPECT_EQ(hub_.Calls, (std::vector<std::string>{"listen", "start", "stop"}));
}

}  // namespace
