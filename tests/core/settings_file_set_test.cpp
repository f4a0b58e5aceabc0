#include "core/settings_file_set.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "settings/settings_file_watcher.h"
#include "support/post_queue.h"
#include "support/temp_folder.h"

namespace {

// One attempt's outcome.
enum TOutcome { kTrue, kFalse, kThrow };

// A list whose load or save follows a script of outcomes; the last one
// repeats.
struct TScriptedOp {
  std::vector<TOutcome> Script;
  std::string Message = "boom";
  int Calls = 0;

  bool operator()() {
    const TOutcome outcome = Script[std::min<std::size_t>(Calls, Script.size() - 1)];
    ++Calls;
    if (outcome == kThrow) throw std::runtime_error(Message);
    return outcome == kTrue;
  }
};

class SettingsFileSetTest : public testing::Test {
 protected:
  TTempFolder home_{"kavro-files-"};
  TPostQueue posts_;
  TSettingsFileWatcher watcher_{home_.String() + "/", posts_.Poster()};
  std::vector<std::string> errors_;
  std::vector<std::string> successes_;
  std::vector<std::uint64_t> sleeps_;
  TSettingsFileSet files_{watcher_, home_.String() + "/settings/",
                          [this](const std::string& line) { errors_.push_back(line); },
                          [this](const std::string& line) { successes_.push_back(line); }};

  void SetUp() override {
    files_.SetSleep([this](std::uint64_t ms) { sleeps_.push_back(ms); });
  }

  void CreateFile(TSettingsList list) {
    ASSERT_TRUE(WriteFileAtomic(
        home_.File("settings/" + std::string(TSettingsFileSet::FileName(list))), "<x/>"));
  }

  // Registers `list` with shared scripted operations.
  void Register(TSettingsList list, TScriptedOp& load, TScriptedOp& save) {
    files_.Register(list, [&load] { return load(); }, [&save] { return save(); });
  }
};

struct TLoadCase {
  const char* Name;
  bool FileExists;
  std::vector<TOutcome> Script;
  int Attempts;
  std::size_t Waits;  // of 1000 ms each
  const char* ErrorLine;  // "" for none
  bool Kept;
};

TEST_F(SettingsFileSetTest, LoadRetriesAndReportsPerFile) {
  const TLoadCase cases[] = {
      {"loads at once", true, {kTrue}, 1, 0, "", false},
      {"loads on the third attempt", true, {kThrow, kThrow, kTrue}, 3, 2, "", false},
      {"raises four times", true, {kThrow}, 4, 3, "Failed to load banlist(boom)", true},
      {"missing file", false, {kFalse}, 1, 0, "", false},
      {"damaged file refused", true, {kFalse}, 1, 0, "Failed to load banlist", true},
      {"missing and raising", false, {kThrow}, 4, 3, "Failed to load banlist(boom)", false},
  };
  for (const TLoadCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder home("kavro-files-case-");
    TSettingsFileWatcher watcher(home.String() + "/", posts_.Poster());
    std::vector<std::string> errors;
    std::vector<std::uint64_t> sleeps;
    TSettingsFileSet files(
        watcher, home.String() + "/settings/",
        [&](const std::string& line) { errors.push_back(line); }, {});
    files.SetSleep([&](std::uint64_t ms) { sleeps.push_back(ms); });
    if (c.FileExists) {
      ASSERT_TRUE(WriteFileAtomic(home.File("settings/bans.xml"), "<Bans/>"));
    }
    TScriptedOp load{c.Script}, save{{kTrue}};
    files.Register(TSettingsList::Bans, [&] { return load(); }, [&] { return save(); });

    EXPECT_EQ(files.LoadAll(false), *c.ErrorLine == '\0');
    EXPECT_EQ(load.Calls, c.Attempts);
    EXPECT_EQ(sleeps, std::vector<std::uint64_t>(c.Waits, TSettingsFileSet::kRetryDelayMs));
    const std::vector<std::string> expected =
        *c.ErrorLine == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.ErrorLine};
    EXPECT_EQ(errors, expected);
    EXPECT_EQ(files.KeptForRepair(TSettingsList::Bans), c.Kept);
  }
}

TEST_F(SettingsFileSetTest, FailuresOfOneRunShareOneLine) {
  TScriptedOp settingsLoad{{kThrow}, "first"}, bansLoad{{kThrow}, "second"};
  TScriptedOp registeredLoad{{kThrow}, "third"}, profilesLoad{{kTrue}}, save{{kTrue}};
  Register(TSettingsList::Registered, registeredLoad, save);
  Register(TSettingsList::Bans, bansLoad, save);
  Register(TSettingsList::Profiles, profilesLoad, save);
  Register(TSettingsList::Settings, settingsLoad, save);

  EXPECT_FALSE(files_.LoadAll(true));
  EXPECT_EQ(errors_, std::vector<std::string>{
                         "Failed to load settings(first), banlist(second) and "
                         "registered users(third)"});
  EXPECT_TRUE(successes_.empty());

  // The next run starts with an empty list.
  errors_.clear();
  settingsLoad.Script = bansLoad.Script = registeredLoad.Script = {kTrue};
  EXPECT_TRUE(files_.LoadAll(true));
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(successes_, std::vector<std::string>{"Hubsettings successfully loaded"});
}

TEST_F(SettingsFileSetTest, CleanRunsReportOnlyWhenAsked) {
  TScriptedOp load{{kTrue}}, save{{kTrue}};
  Register(TSettingsList::Accounts, load, save);
  EXPECT_TRUE(files_.LoadAll(false));
  EXPECT_TRUE(files_.SaveAll(false));
  EXPECT_TRUE(successes_.empty());
  EXPECT_TRUE(files_.SaveAll(true));
  EXPECT_EQ(successes_, std::vector<std::string>{"Hubsettings successfully saved"});
  EXPECT_TRUE(errors_.empty());
}

TEST_F(SettingsFileSetTest, SaveRunNamesFailuresBySaveName) {
  TScriptedOp load{{kTrue}}, goodSave{{kTrue}}, refusedSave{{kFalse}}, raisingSave{{kThrow}};
  Register(TSettingsList::Settings, load, raisingSave);
  Register(TSettingsList::ISPs, load, refusedSave);
  Register(TSettingsList::Profiles, load, goodSave);
  files_.LoadAll(false);

  EXPECT_FALSE(files_.SaveAll(true));
  // Profiles go first, then the settings (with the last message), then the
  // ISP list; a refusal carries no message and is not retried.
  EXPECT_EQ(errors_, std::vector<std::string>{"Failed to save settings(boom) and isp/ip list"});
  EXPECT_EQ(raisingSave.Calls, TSettingsFileSet::kAttempts);
  EXPECT_EQ(refusedSave.Calls, 1);
  EXPECT_EQ(goodSave.Calls, 1);
  EXPECT_TRUE(successes_.empty());
}

// A file that existed but failed to load is the operator's to repair: the
// automatic saves keep their hands off it until it loads again.
TEST_F(SettingsFileSetTest, FileThatFailedToLoadIsNotOverwritten) {
  CreateFile(TSettingsList::Profiles);
  TScriptedOp profilesLoad{{kThrow}}, profilesSave{{kTrue}};
  TScriptedOp accountsLoad{{kTrue}}, accountsSave{{kTrue}};
  Register(TSettingsList::Profiles, profilesLoad, profilesSave);
  Register(TSettingsList::Accounts, accountsLoad, accountsSave);
  files_.LoadAll(false);
  errors_.clear();

  EXPECT_TRUE(files_.SaveAll(false));
  EXPECT_EQ(profilesSave.Calls, 0);
  EXPECT_EQ(accountsSave.Calls, 1);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("profiles.xml"), std::string::npos) << errors_[0];

  // The operator repairs it; the watcher's reload lifts the hold.
  watcher_.SetAutoLoad(true);
  profilesLoad.Script = {kTrue};
  watcher_.OnSettingsFileChanged("profiles.xml", TChangeKind::Modified);
  EXPECT_FALSE(files_.KeptForRepair(TSettingsList::Profiles));
  EXPECT_TRUE(files_.SaveAll(false));
  EXPECT_EQ(profilesSave.Calls, 1);

  // A damaged edit picked up by the watcher puts the hold back.
  profilesLoad.Script = {kThrow};
  watcher_.OnSettingsFileChanged("profiles.xml", TChangeKind::Modified);
  EXPECT_TRUE(files_.KeptForRepair(TSettingsList::Profiles));
}

TEST_F(SettingsFileSetTest, UnregisteredListsAreSkipped) {
  EXPECT_TRUE(files_.LoadAll(false));
  EXPECT_TRUE(files_.SaveAll(false));
  EXPECT_TRUE(errors_.empty());
  EXPECT_FALSE(files_.Registered(TSettingsList::ChatRooms));
}

TEST(SettingsFileSetJoin, JoinsWithCommasAndAnd) {
  const struct {
    std::vector<std::string> Names;
    const char* Joined;
  } cases[] = {
      {{}, ""},
      {{"a"}, "a"},
      {{"a", "b"}, "a and b"},
      {{"a", "b", "c"}, "a, b and c"},
      {{"a", "b", "c", "d"}, "a, b, c and d"},
  };
  for (const auto& c : cases) EXPECT_EQ(TSettingsFileSet::JoinNames(c.Names), c.Joined);
}

}  // namespace
