#include "settings/settings_file_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "base/exceptions.h"

#include "support/post_queue.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// ---- choosing the list to reload (no folder watch involved) ----

enum class TOutcome { Loaded, Refused, ThrowsKavro, ThrowsOther, Unregistered };

TEST(SettingsFileWatcherChoice, ReloadsTheListOfAnExactNameAndReportsFailures) {
  const std::string unknown = "An unknown error occured while loading the setting file ";
  struct Row {
    const char* fileName;
    bool autoLoad;
    TOutcome outcome;
    int expectedCalls;
    std::vector<std::string> expectedFeed;
  };
  const Row rows[] = {
      {"bans.xml", true, TOutcome::Loaded, 1, {}},
      {"bans.xml", true, TOutcome::Refused, 1, {unknown + "bans.xml"}},
      {"bans.xml", true, TOutcome::ThrowsKavro, 1,
       {"An error occured while loading the settings file bans.xml, error: TBanList.Load(broken)",
        unknown + "bans.xml"}},
      {"bans.xml", true, TOutcome::ThrowsOther, 1, {unknown + "bans.xml"}},
      {"bans.xml", true, TOutcome::Unregistered, 0, {}},
      {"bans.xml", false, TOutcome::Refused, 0, {}},
      {"Bans.xml", true, TOutcome::Refused, 0, {}},
      {"bans.xml.bak", true, TOutcome::Refused, 0, {}},
      {"settings/bans.xml", true, TOutcome::Refused, 0, {}},
      {"", true, TOutcome::Refused, 0, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.fileName) + (row.autoLoad ? "" : ", auto-load off"));
    TSettingsFileWatcher watcher("/nonexistent", [](std::function<void()>) {});
    std::vector<std::string> feed;
    watcher.SetFeed([&feed](const std::string& line) { feed.push_back(line); });
    watcher.SetAutoLoad(row.autoLoad);
    int calls = 0;
    if (row.outcome != TOutcome::Unregistered) {
      watcher.RegisterReload("bans.xml", [&calls, outcome = row.outcome]() -> bool {
        ++calls;
        if (outcome == TOutcome::ThrowsKavro) throw EKavroException("TBanList.Load", "broken");
        if (outcome == TOutcome::ThrowsOther) throw 42;
        return outcome == TOutcome::Loaded;
      });
    }
    watcher.OnSettingsFileChanged(row.fileName, TChangeKind::Modified);
    EXPECT_EQ(calls, row.expectedCalls);
    EXPECT_EQ(feed, row.expectedFeed);
  }
}

TEST(SettingsFileWatcherChoice, EachFileReloadsItsOwnList) {
  TSettingsFileWatcher watcher("/nonexistent", [](std::function<void()>) {});
  watcher.SetAutoLoad(true);
  std::map<std::string, int> calls;
  for (const auto name : TSettingsFileWatcher::FileNames) {
    watcher.RegisterReload(name, [&calls, key = std::string(name)] {
      ++calls[key];
      return true;
    });
  }
  for (const auto name : TSettingsFileWatcher::FileNames)
    watcher.OnSettingsFileChanged(std::string(name), TChangeKind::Removed);
  ASSERT_EQ(calls.size(), TSettingsFileWatcher::FileCount);
  for (const auto& [name, count] : calls) EXPECT_EQ(count, 1) << name;
}

TEST(SettingsFileWatcherChoice, RegisteringAnUnwatchedFileIsAnError) {
  TSettingsFileWatcher watcher("/nonexistent", [](std::function<void()>) {});
  EXPECT_THROW(watcher.RegisterReload("Bans.xml", [] { return true; }), EAssertionFailed);
}

TEST(SettingsFileWatcherChoice, SwitchedOffItIgnoresSuspendAndOwnSaves) {
  TSettingsFileWatcher watcher("/nonexistent", [](std::function<void()>) {});
  EXPECT_FALSE(watcher.Enabled());
  watcher.Suspend();
  watcher.Resume();
  watcher.Resume();
  watcher.NoteOwnSave("bans.xml");
  watcher.SetAutoLoad(true);
  int calls = 0;
  watcher.RegisterReload("bans.xml", [&calls] { return ++calls > 0; });
  watcher.OnSettingsFileChanged("bans.xml", TChangeKind::Modified);
  EXPECT_EQ(calls, 1);
}

// ---- with a real watch on a temporary home folder ----

// A home whose settings folder holds every watched file; each reload counts
// itself and succeeds when its file can be read, as a real loader would.
class SettingsFileWatcherLive : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    home_ = fs::temp_directory_path() / ("kavro-home-" + std::to_string(random()));
    settings_ = home_ / "settings";
    fs::create_directories(settings_);
    for (const auto name : TSettingsFileWatcher::FileNames) WriteFile(settings_ / name, "<x/>");

    watcher_ = std::make_unique<TSettingsFileWatcher>(home_.string(), queue_.Poster());
    watcher_->SetFeed([this](const std::string& line) { feed_.push_back(line); });
    for (const auto name : TSettingsFileWatcher::FileNames) {
      watcher_->RegisterReload(name, [this, key = std::string(name)] {
        ++reloads_[key];
        return std::ifstream(settings_ / key).good();
      });
    }
    watcher_->SetAutoLoad(true);
    watcher_->SetEnabled(true);
  }

  void TearDown() override {
    watcher_.reset();
    fs::remove_all(home_);
  }

  // Rewrites profiles.xml and runs posts until it has reloaded: every change
  // made before has been handled by then. Its reload is not counted.
  bool Settle() {
    const int before = reloads_["profiles.xml"];
    WriteFile(settings_ / "profiles.xml", "<x/>");
    const bool seen = queue_.RunUntil([&] { return reloads_["profiles.xml"] > before; });
    reloads_["profiles.xml"] = before;
    return seen;
  }

  int Reloads(const std::string& name) { return reloads_[name]; }

  fs::path home_;
  fs::path settings_;
  TPostQueue queue_;
  std::unique_ptr<TSettingsFileWatcher> watcher_;
  std::map<std::string, int> reloads_;
  std::vector<std::string> feed_;
};

TEST_F(SettingsFileWatcherLive, OutsideBurstOfWritesReloadsOnce) {
  for (int i = 0; i < 10; ++i) WriteFile(settings_ / "bans.xml", "<bans n='" + std::to_string(i) + "'/>");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("bans.xml"), 1);
  EXPECT_TRUE(feed_.empty());
}

TEST_F(SettingsFileWatcherLive, FileMovedIntoPlaceReloads) {
  WriteFile(home_ / "isps.new", "<isps/>");
  fs::rename(home_ / "isps.new", settings_ / "isps.xml");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("isps.xml"), 1);
}

TEST_F(SettingsFileWatcherLive, DeletedFileReportsTheFailedReload) {
  fs::remove(settings_ / "accounts.xml");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("accounts.xml"), 1);
  EXPECT_EQ(feed_, (std::vector<std::string>{
                       "An unknown error occured while loading the setting file accounts.xml"}));
}

TEST_F(SettingsFileWatcherLive, OtherLetterCaseReloadsNothing) {
  WriteFile(settings_ / "Bans.xml", "<x/>");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("bans.xml"), 0);
}

TEST_F(SettingsFileWatcherLive, AutoLoadOffReloadsNothingWhileTheWatchRuns) {
  watcher_->SetAutoLoad(false);
  WriteFile(settings_ / "bans.xml", "<x/>");
  ASSERT_TRUE(queue_.RunUntil([this] { return queue_.Ran() == 1; }));
  watcher_->SetAutoLoad(true);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("bans.xml"), 0);
}

TEST_F(SettingsFileWatcherLive, OwnSaveReloadsNothingButALaterOutsideEditDoes) {
  // Saved as the hub saves: a temporary file renamed over the target.
  WriteFile(settings_ / "bans.xml.tmp", "<bans own='1'/>");
  fs::rename(settings_ / "bans.xml.tmp", settings_ / "bans.xml");
  watcher_->NoteOwnSave("bans.xml");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("bans.xml"), 0);

  WriteFile(settings_ / "bans.xml", "<bans edited='by hand'/>");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Reloads("bans.xml"), 1);
}

TEST_F(SettingsFileWatcherLive, SuspendedChangesAreDropped) {
  watcher_->Suspend();
  WriteFile(settings_ / "bans.xml", "<x/>");
  // Still suspended: however late the worker reads the change, it drops it.
  queue_.RunFor(300ms);
  EXPECT_EQ(Reloads("bans.xml"), 0);
}

TEST_F(SettingsFileWatcherLive, ReloadMaySwitchTheWatcherOff) {
  // Reloading settings.xml may turn AutoLoadSettings off, which frees the
  // watch from inside its own change handler.
  watcher_->RegisterReload("settings.xml", [this] {
    ++reloads_["settings.xml"];
    watcher_->SetEnabled(false);
    return true;
  });
  WriteFile(settings_ / "settings.xml", "<x/>");
  WriteFile(settings_ / "bans.xml", "<x/>");
  ASSERT_TRUE(queue_.RunUntil([this] { return Reloads("settings.xml") == 1; }));
  queue_.RunFor(200ms);
  EXPECT_FALSE(watcher_->Enabled());
  EXPECT_EQ(Reloads("bans.xml"), 0);
}

TEST_F(SettingsFileWatcherLive, SwitchingOffIsPromptAndLeavesNoDescriptor) {
  std::size_t fdsOn = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++fdsOn;
  const auto start = std::chrono::steady_clock::now();
  watcher_->SetEnabled(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  std::size_t fdsOff = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++fdsOff;
  EXPECT_EQ(fdsOff + 2, fdsOn);  // the inotify descriptor and the stop event
  WriteFile(settings_ / "bans.xml", "<x/>");
  queue_.RunFor(200ms);
  EXPECT_EQ(Reloads("bans.xml"), 0);
}

}  // namespace
