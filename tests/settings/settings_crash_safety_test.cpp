// The settings and language files survive the hub being killed at any moment
// of a save: a child saves every file round after round and is killed with
// SIGKILL at random moments; after each kill each file is whole, loads, and
// is the one of the last finished round or of the round in progress.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "settings_test_home.h"
#include "support/child_process.h"
#include "support/stamped_files.h"
#include "support/build_programs.h"

namespace {

constexpr int kKills = 50;
constexpr auto kTimeLimit = std::chrono::seconds(25);
constexpr int kMaxDelayMs = 40;

// The number on the last complete line of the child's output; -1 for none.
int LastRound(const std::string& output) {
  const std::size_t end = output.rfind('\n');
  if (end == std::string::npos || end == 0) return -1;
  const std::size_t start = output.rfind('\n', end - 1);
  const std::size_t from = start == std::string::npos ? 0 : start + 1;
  return std::stoi(output.substr(from, end - from));
}

class TSettingsCrashSafetyTest : public SettingsHomeTest {
 protected:
  // The files as a restarted hub finds them.
  void ExpectWholeFiles(int lastRound) {
    TStampedFiles files;
    bool loaded = false;
    ASSERT_NO_THROW(loaded = files.Load());
    ASSERT_TRUE(loaded) << "a file is missing or damaged";
    const std::set<int> rounds{lastRound, lastRound + 1};
    EXPECT_TRUE(rounds.contains(files.SettingsRound())) << files.SettingsRound();
    EXPECT_TRUE(rounds.contains(files.ProfilesRound())) << files.ProfilesRound();
    EXPECT_TRUE(rounds.contains(files.AccountsRound())) << files.AccountsRound();
    EXPECT_TRUE(rounds.contains(files.LanguageRound())) << files.LanguageRound();
  }

  // Under `folder` only the `expected` files, and at most one temporary file
  // of each: the one a killed writer left, which the next save removes.
  void ExpectNoLitter(std::string_view folder, const std::set<std::string>& expected) {
    std::map<std::string, int> temporaries;
    for (const auto& entry : std::filesystem::directory_iterator(home_ / folder)) {
      const std::string name = entry.path().filename().string();
      if (expected.contains(name)) continue;
      bool known = false;
      for (const std::string& file : expected) {
        if (name.starts_with("." + file + ".tmp-")) {
          known = true;
          EXPECT_LE(++temporaries[file], 1) << "temporary files of " << file << " pile up";
        }
      }
      EXPECT_TRUE(known) << "stray file " << name;
    }
  }
};

TEST_F(TSettingsCrashSafetyTest, EveryFileIsWholeAfterAKillMidSave) {
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> delay(0, kMaxDelayMs);
  const auto started = std::chrono::steady_clock::now();
  int nextRound = 0;
  int kills = 0;
  while (kills < kKills && std::chrono::steady_clock::now() - started < kTimeLimit) {
    TChildProcess child;
    ASSERT_TRUE(child.Start(BuildProgram("settings_saver"), {home_.string(), std::to_string(nextRound)}));
    std::string output;
    // The first round is complete once its line is out.
    while (output.find('\n') == std::string::npos)
      ASSERT_TRUE(child.Read(output, std::chrono::seconds(20))) << "the child did not save";
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
    child.Kill();
    const int status = child.Wait();
    ASSERT_TRUE(TChildProcess::KilledBySignal(status, SIGKILL))
        << "the child ended by itself, status " << status;
    child.ReadToEnd(output);
    const int lastRound = LastRound(output);
    ASSERT_GE(lastRound, nextRound);
    SCOPED_TRACE("kill " + std::to_string(kills) + " after round " + std::to_string(lastRound));
    ExpectWholeFiles(lastRound);
    ExpectNoLitter(kSettingsFolder, {"settings.xml", "profiles.xml", "accounts.xml"});
    ExpectNoLitter(kLanguageFolder, {std::string(TStampedFiles::kLanguageFile)});
    if (HasFailure()) return;
    nextRound = lastRound + 2;
    ++kills;
  }
  EXPECT_GE(kills, 10) << "too few kills in the time allowed";
}

}  // namespace
