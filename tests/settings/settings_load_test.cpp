// Loading: version rules, values that must not be taken, damaged and
// missing files; saving: failures and file permissions.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "settings_test_home.h"
#include "utils/constants.h"
#include "base/exceptions.h"

namespace {

namespace fs = std::filesystem;

using TSettingsLoadTest = SettingsHomeTest;

// A settings file with the given root attributes and body.
std::string File(std::string_view rootAttributes, std::string_view body) {
  return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Settings" +
         std::string(rootAttributes) + ">" + std::string(body) + "</Settings>";
}

std::string CurrentVersion() { return " version=\"" + std::string(kProgramVersion) + "\""; }

constexpr std::string_view kOldFeedFlags =
    "<Basic><AutoStart enable=\"true\"/></Basic>"
    "<Notifications><Feed><FeedError enable=\"false\"/><FeedEvent>1</FeedEvent>"
    "<FeedAction enable=\"false\"/><FeedKick enable=\"false\"/><FeedGUI enable=\"true\"/>"
    "</Feed></Notifications>";

TEST_F(TSettingsLoadTest, VersionDecidesFeedFlagsAndAutoStart) {
  struct Case {
    const char* rootAttributes;
    bool feedFlagsRead;
    bool autoStartKept;
  } cases[] = {
      {"", true, false},  // no version at all: the oldest file
      {" version=\"1.02\"", true, false},
      {" version=\"1.029\"", true, false},
      {" version=\"1.03\"", false, false},
      {" version=\"1.04\"", false, false},  // a prefix of "1.040" sorts below it
      {" version=\"1.040\"", false, true},
      {" version=\"1.1\"", false, true},
      {" version=\"9\"", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rootAttributes);
    WriteSettingsFile(File(c.rootAttributes, kOldFeedFlags));
    TSettings settings;
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.AutoStart, c.autoStartKept);
    EXPECT_EQ(settings.FeedError, !c.feedFlagsRead);
    EXPECT_EQ(settings.FeedEvent, c.feedFlagsRead);
    EXPECT_EQ(settings.FeedAction, !c.feedFlagsRead);
    EXPECT_EQ(settings.FeedKick, !c.feedFlagsRead);
    EXPECT_EQ(settings.FeedGUI, c.feedFlagsRead);
  }
}

// Values a damaged or hand-edited file must not bring in.
TEST_F(TSettingsLoadTest, UnparsableAndOutOfRangeValuesKeepTheCurrentValue) {
  struct Case {
    const char* body;
    std::function<bool(const TSettings&)> unchanged;
  } cases[] = {
      {"<Basic><WorkPace>8</WorkPace></Basic>",
       [](const TSettings& s) { return s.WorkPace() == 3; }},
      {"<Basic><WorkPace>-1</WorkPace></Basic>",
       [](const TSettings& s) { return s.WorkPace() == 3; }},
      {"<Basic><WorkPace>3x</WorkPace></Basic>",
       [](const TSettings& s) { return s.WorkPace() == 3; }},
      {"<Basic><WorkPace/></Basic>", [](const TSettings& s) { return s.WorkPace() == 3; }},
      {"<Basic><MaxUsers>99999999999</MaxUsers></Basic>",
       [](const TSettings& s) { return s.MaxUsers == 3000; }},
      {"<Basic><MaxUsers></MaxUsers></Basic>",
       [](const TSettings& s) { return s.MaxUsers == 3000; }},
      {"<Miscellaneous><MainchatCommands><HubCommandsVisability>5</HubCommandsVisability>"
       "</MainchatCommands></Miscellaneous>",
       [](const TSettings& s) { return s.HubCommandsVisability == TCommandVisibility::Nobody; }},
      {"<Miscellaneous><MainchatCommands><IntegratedCommandsVisability>-1"
       "</IntegratedCommandsVisability></MainchatCommands></Miscellaneous>",
       [](const TSettings& s) {
         return s.IntegratedCommandsVisability == TCommandVisibility::Operators;
       }},
      {"<Restrictions><MyINFO><DisableMyINFOEmail>3</DisableMyINFOEmail></MyINFO></Restrictions>",
       [](const TSettings& s) { return s.DisableMyINFOEmail == TTriState::Unchecked; }},
      {"<Restrictions><MyINFO><MyINFOPooling "
       "enable=\"9\">5</MyINFOPooling></MyINFO></Restrictions>",
       [](const TSettings& s) {
         return s.MyINFOPooling == TInt64TriState{TTriState::Checked, 5};
       }},
      {"<Security><Spam><PMSpamCheck enable=\"3\" count=\"x\" interval=\"7\"/></Spam></Security>",
       [](const TSettings& s) {
         return s.PMSpamCheck == TCountPerInterval{TTriState::Checked, 5, 7};
       }},
      {"<UserStats><UserStatsType>3</UserStatsType></UserStats>",
       [](const TSettings& s) { return s.UserStatsType == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    WriteSettingsFile(File(CurrentVersion(), c.body));
    TRecordingHooks hooks;
    TSettings settings;
    settings.SetWorkPace(3);
    settings.SetHooks(&hooks);
    hooks.Calls.clear();
    ASSERT_TRUE(settings.Load());
    EXPECT_TRUE(c.unchanged(settings));
    EXPECT_TRUE(hooks.CallsStartingWith("speed").empty());
    EXPECT_TRUE(hooks.CallsStartingWith("stats").empty());
  }
}

TEST_F(TSettingsLoadTest, WorkPaceInRangeReachesTheHubCoreOnlyWhenItChanges) {
  struct Case {
    int pace;
    std::vector<std::string> speedCalls;
  } cases[] = {{5, {}}, {3, {"speed 3"}}, {0, {"speed 0"}}, {7, {"speed 7"}}};
  for (const Case& c : cases) {
    WriteSettingsFile(File(CurrentVersion(),
                           "<Basic><WorkPace>" + std::to_string(c.pace) + "</WorkPace></Basic>"));
    TRecordingHooks hooks;
    TSettings settings;
    settings.SetHooks(&hooks);
    hooks.Calls.clear();
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.WorkPace(), c.pace);
    EXPECT_EQ(hooks.CallsStartingWith("speed"), c.speedCalls) << c.pace;
  }
}

TEST_F(TSettingsLoadTest, EmptyElementEmptiesATextButKeepsANumber) {
  WriteSettingsFile(File(CurrentVersion(),
                         "<Basic><HubDescription/><MaxUsers/><TopicLevel></TopicLevel></Basic>"));
  TSettings settings;
  settings.TopicLevel = 4;
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.HubDescription, "");
  EXPECT_EQ(settings.MaxUsers, 3000);
  EXPECT_EQ(settings.TopicLevel, 4);
}

TEST_F(TSettingsLoadTest, StatisticsBackEndIsChosenFromTheLoadedType) {
  struct Case {
    const char* type;
    std::vector<std::string> calls;
  } cases[] = {{"0", {}}, {"1", {"stats 1"}}, {"2", {"stats 2"}}};
  for (const Case& c : cases) {
    WriteSettingsFile(File(CurrentVersion(), std::string("<UserStats><UserStatsType>") + c.type +
                                                 "</UserStatsType></UserStats>"));
    TRecordingHooks hooks;
    TSettings settings;
    settings.SetHooks(&hooks);
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(hooks.CallsStartingWith("stats"), c.calls) << c.type;
  }
}

TEST_F(TSettingsLoadTest, MissingFileChangesNothing) {
  TRecordingHooks hooks;
  TSettings settings;
  settings.SetHooks(&hooks);
  settings.MaxUsers = 42;
  EXPECT_FALSE(settings.Load());
  EXPECT_EQ(settings.MaxUsers, 42);
  EXPECT_FALSE(settings.SaveBlocked());
  EXPECT_TRUE(hooks.CallsStartingWith("loaded").empty());
}

TEST_F(TSettingsLoadTest, DamagedOrForeignFileAppliesNothingAndBlocksAutomaticSaves) {
  const std::string damaged[] = {
      File(CurrentVersion(), "<Basic><MaxUsers>7</MaxUsers>"),  // unclosed group
      "<Settings version=\"1.040\"><Basic><MaxUsers>7</MaxUsers></Basic>",
      "<Settings version=\"1.040\"><Basic><MaxUsers>7</MaxUsers></Basic></Setting>",
      "",
      std::string("\x00\xFF garbage", 10),
      // Sound XML under another root: no settings file, and no version rule
      // either.
      "<?xml version=\"1.0\"?>\r\n"
      "<Config version=\"1.01\"><Basic><MaxUsers>7</MaxUsers></Basic></Config>",
      "<?xml version=\"1.0\"?>\r\n<Accounts version=\"1.040\"/>",
  };
  for (const std::string& bytes : damaged) {
    SCOPED_TRACE(bytes);
    WriteSettingsFile(bytes);
    TRecordingHooks hooks;
    TSettings settings;
    settings.SetHooks(&hooks);
    settings.AutoStart = true;
    EXPECT_THROW(settings.Load(), EKavroException);
    EXPECT_EQ(settings.MaxUsers, 3000);
    EXPECT_TRUE(settings.AutoStart);
    EXPECT_TRUE(settings.SaveBlocked());
    EXPECT_TRUE(hooks.CallsStartingWith("loaded").empty());

    EXPECT_FALSE(settings.Save());
    EXPECT_EQ(ReadSettingsFile(), bytes);  // left for the operator to repair

    // Once the file is sound again, a load lifts the block.
    WriteSettingsFile(File(CurrentVersion(), "<Basic><MaxUsers>8</MaxUsers></Basic>"));
    ASSERT_TRUE(settings.Load());
    EXPECT_FALSE(settings.SaveBlocked());
    EXPECT_EQ(settings.MaxUsers, 8);
    EXPECT_TRUE(settings.Save());
  }
}

TEST_F(TSettingsLoadTest, ForcedSaveOverwritesADamagedFile) {
  WriteSettingsFile("<Settings><Basic>");
  TSettings settings;
  EXPECT_THROW(settings.Load(), EKavroException);
  ASSERT_TRUE(settings.Save(TSaveMode::Forced));
  EXPECT_FALSE(settings.SaveBlocked());
  TSettings reloaded;
  EXPECT_TRUE(reloaded.Load());
}

TEST_F(TSettingsLoadTest, FailedWriteIsReportedAsFailure) {
  // A folder where the file should be: the rename over it fails.
  fs::create_directories(SettingsFile());
  TSettings settings;
  EXPECT_FALSE(settings.Save());
  EXPECT_FALSE(settings.Save(TSaveMode::Forced));
}

TEST_F(TSettingsLoadTest, SettingsFolderAndFileAreOwnerOnly) {
  TSettings settings;
  ASSERT_TRUE(settings.Save());
  const fs::path file = SettingsFile();
  EXPECT_EQ(fs::status(file.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A file left readable by others is tightened by the next save.
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(TSettingsLoadTest, PeaksNeverShrink) {
  TRecordingHooks hooks;
  hooks.Peaks = {50, 10, 999};
  TSettings settings;
  settings.SetHooks(&hooks);
  settings.UsersPeak = 40;
  settings.SharePeak = 20;
  settings.UptimePeak = 1000;
  ASSERT_TRUE(settings.Save());
  TSettings loaded;
  ASSERT_TRUE(loaded.Load());
  EXPECT_EQ(loaded.UsersPeak, 50);
  EXPECT_EQ(loaded.SharePeak, 20);
  EXPECT_EQ(loaded.UptimePeak, 1000);
}

}  // namespace
