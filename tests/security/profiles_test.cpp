// The profile list: names and their rules, the level order, and
// settings/profiles.xml with its older rules and its reloads.
#include "security/profiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "security/account_users.h"
#include "security/profile.h"
#include "settings/settings.h"
#include "settings/settings_test_home.h"
#include "support/owner_only.h"
#include "utils/constants.h"
#include "utils/xml_document.h"

namespace {

class TCountingUsers : public TAccountUsers {
 public:
  int Refreshes = 0;
  void RefreshAccounts() override { ++Refreshes; }
};

class TProfilesTest : public SettingsHomeTest {
 protected:
  TSettings settings_;
  TCountingUsers users_;
  std::vector<std::string> errors_;
  TProfiles profiles_{settings_, &users_,
                      [this](const std::string& line) { errors_.push_back(line); }};

  static void WriteProfiles(std::string_view version, std::string_view body) {
    std::string root = "<Profiles";
    if (!version.empty()) root += " version=\"" + std::string(version) + "\"";
    ASSERT_TRUE(WriteFileAtomic(TProfiles::FilePath(),
                                "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n" + root +
                                    ">" + std::string(body) + "</Profiles>"));
  }
  static std::string Profile(std::string_view name, std::string_view rest = {}) {
    return "<Profile><Name>" + std::string(name) + "</Name>" + std::string(rest) + "</Profile>";
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < profiles_.GetCount(); ++i) names.push_back(profiles_.GetItem(i)->Name);
    return names;
  }
};

TEST_F(TProfilesTest, AddRefusesTakenEmptyAndBuiltInNames) {
  ASSERT_NE(profiles_.Add("Op"), nullptr);
  for (const char* name : {"Op", "OP", "", "Regular", "registered", "REGULAR"}) {
    EXPECT_EQ(profiles_.Add(name), nullptr) << name;
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"Op"});
}

TEST_F(TProfilesTest, ListIsInCaseInsensitiveNameOrder) {
  for (const char* name : {"master", "Admin", "vip", "Bot"}) profiles_.Add(name);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Admin", "Bot", "master", "vip"}));
  EXPECT_EQ(profiles_.Find("MASTER"), profiles_.GetItem(2));
  EXPECT_EQ(profiles_.Find("Regular"), nullptr);
  EXPECT_EQ(profiles_.FindAny("regular"), profiles_.Regular());
  EXPECT_EQ(profiles_.FindAny("REGISTERED"), profiles_.Registered());
  EXPECT_EQ(profiles_.FindAny("vip"), profiles_.GetItem(3));
  EXPECT_FALSE(profiles_.Regular()->UserDefined);
  EXPECT_TRUE(profiles_.GetItem(0)->UserDefined);
}

TEST_F(TProfilesTest, RenameRules) {
  const auto op = profiles_.Add("Op");
  profiles_.Add("Vip");
  const struct {
    const char* name;
    bool accepted;
  } cases[] = {
      {"Op", false},       // its own name
      {"vip", false},      // another profile's
      {"Registered", false},
      {"", false},
      {"OP", true},        // a change of case
      {"Zed", true},
  };
  for (const auto& c : cases) EXPECT_EQ(profiles_.Rename(op, c.name), c.accepted) << c.name;
  EXPECT_EQ(Names(), (std::vector<std::string>{"Vip", "Zed"}));
  EXPECT_EQ(profiles_.Find("zed"), op);
  EXPECT_FALSE(profiles_.Rename(profiles_.Regular(), "Other"));
}

TEST_F(TProfilesTest, DeleteLeavesHoldersTheirObject) {
  std::shared_ptr<TProfile> held = profiles_.Add("Op");
  EXPECT_TRUE(profiles_.Delete("OP"));
  EXPECT_FALSE(profiles_.Delete("Op"));
  EXPECT_EQ(profiles_.GetCount(), 0);
  EXPECT_EQ(held->Name, "Op");
}

TEST_F(TProfilesTest, SortedByLevelHighestFirstThenByName) {
  const struct {
    const char* name;
    int level;
  } rows[] = {{"b", 3}, {"a", 3}, {"top", 9}, {"low", 0}, {"huge", 12}};
  for (const auto& row : rows) profiles_.Add(row.name)->ProfileLevel = row.level;
  std::vector<std::string> names;
  for (const auto& profile : profiles_.GetSortedByLevel()) names.push_back(profile->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"huge", "top", "a", "b", "low"}));
}

TEST_F(TProfilesTest, WrittenForTheOwnerOnly) {
  profiles_.Load();
  ExpectSavedOwnerOnly(TProfiles::FilePath(), [this] { return profiles_.Save(); });
}

TEST_F(TProfilesTest, SaveIsRefusedUntilTheFirstLoadAttempt) {
  profiles_.Add("Op");
  EXPECT_TRUE(profiles_.Loading());
  EXPECT_FALSE(profiles_.Save());
  EXPECT_FALSE(FileExists(TProfiles::FilePath()));

  EXPECT_FALSE(profiles_.Load());  // no file: an attempt all the same
  EXPECT_FALSE(profiles_.Loading());
  EXPECT_TRUE(profiles_.Save());
  EXPECT_TRUE(FileExists(TProfiles::FilePath()));
}

TEST_F(TProfilesTest, SaveAndLoadKeepEveryProfile) {
  profiles_.Load();
  profiles_.Regular()->SetRight(TProfileRight::MaySearchPassive, 0);
  profiles_.Registered()->Description = "self-registered";
  profiles_.Add("Vip")->ProfileLevel = 2;
  profiles_.Add("Op")->SetRight(TProfileRight::IsOperator, 1);
  ASSERT_TRUE(profiles_.Save());

  TProfiles reread(settings_);
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.FileVersion(), kProgramVersion);
  EXPECT_FALSE(reread.Regular()->MaySearchPassive());
  EXPECT_EQ(reread.Registered()->Description, "self-registered");
  ASSERT_EQ(reread.GetCount(), 2);
  EXPECT_TRUE(reread.Find("Op")->IsOperator());
  EXPECT_EQ(reread.Find("Vip")->ProfileLevel, 2);
}

TEST_F(TProfilesTest, SavedFileListsBuiltInProfilesFirst) {
  profiles_.Load();
  profiles_.Add("Admin");
  ASSERT_TRUE(profiles_.Save());
  TXMLDocument document;
  ASSERT_TRUE(document.LoadFromFile(TProfiles::FilePath()));
  const TXMLNode& root = document.Root();
  EXPECT_EQ(root.Name, "Profiles");
  EXPECT_EQ(root.GetAttribute("version"), kProgramVersion);
  std::vector<std::string> names;
  for (int i = 0; i < root.GetChildCount(); ++i) {
    EXPECT_EQ(root.GetChild(i)->Name, "Profile");
    names.push_back(root.GetChild(i)->FindChild("Name")->Text);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Regular", "Registered", "Admin"}));
}

TEST_F(TProfilesTest, BuiltInNamesInAnyCaseUpdateTheBuiltInProfiles) {
  WriteProfiles(kProgramVersion,
                Profile("rEGULAR", "<Description>r</Description>") +
                    Profile("REGISTERED", "<ProfileLevel>3</ProfileLevel>"));
  const std::shared_ptr<TProfile> regular = profiles_.Regular();
  ASSERT_TRUE(profiles_.Load());
  EXPECT_EQ(profiles_.GetCount(), 0);
  EXPECT_EQ(profiles_.Regular(), regular);  // read in place, not replaced
  EXPECT_EQ(regular->Description, "r");
  EXPECT_EQ(regular->Name, "Regular");
  EXPECT_EQ(profiles_.Registered()->ProfileLevel, 3);
}

TEST_F(TProfilesTest, DuplicateAndNamelessProfilesAreIgnored) {
  WriteProfiles(kProgramVersion, Profile("Op", "<ProfileLevel>5</ProfileLevel>") +
                                     Profile("OP", "<ProfileLevel>8</ProfileLevel>") +
                                     "<Profile><ProfileLevel>1</ProfileLevel></Profile>");
  ASSERT_TRUE(profiles_.Load());
  EXPECT_EQ(Names(), std::vector<std::string>{"Op"});
  EXPECT_EQ(profiles_.Find("Op")->ProfileLevel, 5);
}

// A damaged file, or one of another list, is read not at all and kept for
// repair: a save would replace it by the profiles in memory.
TEST_F(TProfilesTest, DamagedFileOrOtherRootChangesNothingAndStopsSaving) {
  const std::string files[] = {
      "<?xml version=\"1.0\"?>\r\n<Profiles>" + Profile("New"),
      "<?xml version=\"1.0\"?>\r\n<Accounts>" + Profile("New") + "</Accounts>",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    errors_.clear();
    profiles_.Add("Kept");
    const std::vector<std::string> before = Names();
    const int refreshes = users_.Refreshes;
    ASSERT_TRUE(WriteFileAtomic(TProfiles::FilePath(), file));
    EXPECT_FALSE(profiles_.Load());
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(users_.Refreshes, refreshes);
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_FALSE(profiles_.Save());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(TProfiles::FilePath(), bytes));
    EXPECT_EQ(bytes, file);

    WriteProfiles(kProgramVersion, Profile("Fixed"));
    EXPECT_TRUE(profiles_.Load());
    EXPECT_EQ(Names(), std::vector<std::string>{"Fixed"});
    EXPECT_TRUE(profiles_.Save());
  }
}

TEST_F(TProfilesTest, ReloadKeepsHeldProfilesValidAndRefreshesUsers) {
  WriteProfiles(kProgramVersion, Profile("Op", "<Description>old</Description>"));
  ASSERT_TRUE(profiles_.Load());
  std::shared_ptr<TProfile> held = profiles_.Find("Op");
  std::weak_ptr<TProfile> watch = held;

  WriteProfiles(kProgramVersion, Profile("Op", "<Description>new</Description>"));
  ASSERT_TRUE(profiles_.Load());
  EXPECT_EQ(users_.Refreshes, 2);
  EXPECT_NE(profiles_.Find("Op"), held);
  EXPECT_EQ(profiles_.Find("Op")->Description, "new");
  EXPECT_EQ(held->Description, "old");  // still a whole object
  held.reset();
  EXPECT_TRUE(watch.expired());
}

// Files older than the rights' present form.
TEST_F(TProfilesTest, OlderFilesFollowTheLegacyRules) {
  settings_.FeedAction = true;
  settings_.FeedKick = false;
  settings_.FeedEvent = true;
  settings_.FeedGUI = false;
  settings_.FeedError = true;

  const std::string feedOn = "<General><ProfileSettings><ReceiveFeed>true</ReceiveFeed>";
  const std::string applyUserIP2 =
      "<Advanced><FeatureAccess><ApplyUserIP2>true</ApplyUserIP2></FeatureAccess></Advanced>";
  const struct {
    const char* version;
    std::string body;
    std::vector<std::pair<TProfileRight, int>> expected;
  } cases[] = {
      {"1.02", "<ProfileLevel>9</ProfileLevel>",
       {{TProfileRight::MayHideMe, 1}, {TProfileRight::MayShowHidden, 2}}},
      {"", "<ProfileLevel>9</ProfileLevel>",  // no version: oldest rules
       {{TProfileRight::MayHideMe, 1}, {TProfileRight::MayShowHidden, 2}}},
      {"1.02", "<ProfileLevel>8</ProfileLevel>",
       {{TProfileRight::MayHideMe, 0}, {TProfileRight::MayShowHidden, 0}}},
      {"1.03", "<ProfileLevel>9</ProfileLevel>",
       {{TProfileRight::MayHideMe, 0}, {TProfileRight::MayShowHidden, 0}}},
      {"1.02",  // present keys win over the implied ones
       "<ProfileLevel>9</ProfileLevel><General><ProfileSettings><MayHideMe>false</MayHideMe>"
       "<MayShowHidden>1</MayShowHidden></ProfileSettings></General>",
       {{TProfileRight::MayHideMe, 0}, {TProfileRight::MayShowHidden, 1}}},
      {"1.02", feedOn + "</ProfileSettings></General>",
       {{TProfileRight::MayReceiveActionFeed, 1},
        {TProfileRight::MayReceiveKickFeed, 0},
        {TProfileRight::MayReceiveEventFeed, 1},
        {TProfileRight::MayReceiveGUIFeed, 0},
        {TProfileRight::MayReceiveErrorFeed, 1},
        {TProfileRight::MayReceiveTextCommandFeed, 1}}},
      {"1.02",
       feedOn + "</ProfileSettings></General>"
                "<Advanced><Feed><MayReceiveKickFeed>true</MayReceiveKickFeed></Feed></Advanced>",
       {{TProfileRight::MayReceiveKickFeed, 1}, {TProfileRight::MayReceiveActionFeed, 1}}},
      {"1.03", feedOn + "</ProfileSettings></General>",
       {{TProfileRight::MayReceiveActionFeed, 0}, {TProfileRight::MayReceiveTextCommandFeed, 0}}},
      {"1.02",
       "<Overrides><Priveliges><MayByPassIPCheckInConnectToMe>true"
       "</MayByPassIPCheckInConnectToMe></Priveliges></Overrides>",
       {{TProfileRight::MayByPassIPCheckOnSearchAndConnectToMe, 1}}},
      {"1.02",
       "<Overrides><Priveliges><MayByPassIPCheckInConnectToMe>true"
       "</MayByPassIPCheckInConnectToMe><MayByPassIPCheckOnSearchAndConnectToMe>false"
       "</MayByPassIPCheckOnSearchAndConnectToMe></Priveliges></Overrides>",
       {{TProfileRight::MayByPassIPCheckOnSearchAndConnectToMe, 0}}},
      {"1.02", applyUserIP2,
       {{TProfileRight::MayAccessUserIP, 1}, {TProfileRight::MayAccessUserIP2, 1}}},
      {"1.04", applyUserIP2,
       {{TProfileRight::MayAccessUserIP, 0}, {TProfileRight::MayAccessUserIP2, 0}}},
  };
  for (const auto& c : cases) {
    WriteProfiles(c.version, Profile("Old", c.body));
    ASSERT_TRUE(profiles_.Load());
    const std::shared_ptr<TProfile> profile = profiles_.Find("Old");
    ASSERT_NE(profile, nullptr);
    for (const auto& [right, value] : c.expected) {
      EXPECT_EQ(profile->Right(right), value)
          << c.version << " " << c.body << " " << ProfileRightInfo(right).Name;
    }
  }
}

}  // namespace
