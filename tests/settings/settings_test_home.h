#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "settings/settings_hooks.h"
#include "utils/program_folder.h"

// A fresh, empty home folder per test; the previous home comes back after.
class SettingsHomeTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = ProgramFolder();
    std::random_device seed;
    home_ = std::filesystem::temp_directory_path() /
            ("kavro-settings-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(home_);
    SetProgramFolder(home_.string());
  }
  void TearDown() override {
    SetProgramFolder(saved_);
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  static std::string SettingsFile() { return ProgramPath(kSettingsFolder, "settings.xml"); }

  static void WriteSettingsFile(std::string_view bytes) {
    ASSERT_TRUE(WriteFileAtomic(SettingsFile(), bytes));
  }
  static std::string ReadSettingsFile() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(SettingsFile(), bytes));
    return bytes;
  }

  std::filesystem::path home_;

 private:
  std::string saved_;
};

// Records what the settings record asks of the rest of the hub.
class TRecordingHooks : public TSettingsHooks {
 public:
  std::vector<std::string> Calls;  // one line per call, in order
  std::vector<TBotAnnouncement> Announcements;
  std::vector<std::string> NicksInUse;  // IsNickInUseByOther answers true for these
  TSettingsPeaks Peaks{-1, -1, -1};     // CollectPeaks raises to these

  void SetHubSpeed(int workPace) override { Calls.push_back("speed " + std::to_string(workPace)); }
  void SendToAll(std::string_view message) override {
    Calls.push_back("send " + std::string(message));
  }
  bool IsNickInUseByOther(std::string_view nick) override {
    Calls.push_back("in use? " + std::string(nick));
    for (const std::string& taken : NicksInUse) {
      if (taken == nick) return true;
    }
    return false;
  }
  void ReserveNick(std::string_view nick) override {
    Calls.push_back("reserve " + std::string(nick));
  }
  void ReleaseReservedNick(std::string_view nick) override {
    Calls.push_back("release " + std::string(nick));
  }
  void AnnounceBot(const TBotAnnouncement& announcement) override {
    Calls.push_back("announce");
    Announcements.push_back(announcement);
  }
  void SetSettingsWatcherEnabled(bool enabled) override {
    Calls.push_back(enabled ? "watcher on" : "watcher off");
  }
  void SelectUserStats(int type) override { Calls.push_back("stats " + std::to_string(type)); }
  void CollectPeaks(TSettingsPeaks& peaks) override {
    peaks.Users = std::max(peaks.Users, Peaks.Users);
    peaks.Share = std::max(peaks.Share, Peaks.Share);
    peaks.Uptime = std::max(peaks.Uptime, Peaks.Uptime);
  }
  void SettingsLoaded() override { Calls.push_back("loaded"); }

  // Calls whose line starts with `prefix`.
  std::vector<std::string> CallsStartingWith(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& call : Calls) {
      if (call.compare(0, prefix.size(), prefix) == 0) out.push_back(call);
    }
    return out;
  }
};
