// A profile's <Profile> element: every right and field through write and
// read, the element layout, and values a file may hold that must not be
// taken.
#include "security/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/xml_document.h"

namespace {

// A value other than the default for every right: bools flipped, levels
// spread over 1..3 so that neighbours differ.
TProfile EveryRightChanged() {
  TProfile profile;
  std::uint8_t level = 1;
  for (const TProfileRightInfo& info : ProfileRights()) {
    if (info.Kind == TRightKind::Bool) {
      profile.SetRight(info.Right, info.Default == 0 ? 1 : 0);
    } else {
      profile.SetRight(info.Right, level);
      level = static_cast<std::uint8_t>(level % 3 + 1);
    }
  }
  return profile;
}

// Writes `profile` into a document text and reads it back into `into`.
void RoundTrip(const TProfile& profile, TProfile& into) {
  TXMLDocument written;
  written.Root().Name = "Profile";
  profile.WriteToXML(written.Root());
  TXMLDocument read;
  ASSERT_TRUE(read.LoadFromString(written.SaveToString()));
  into.ReadFromXML(read.Root());
}

// Reads `<Profile>children</Profile>` over a fresh profile.
TProfile Read(const std::string& children) {
  TXMLDocument document;
  EXPECT_TRUE(document.LoadFromString("<Profile>" + children + "</Profile>")) << children;
  TProfile profile;
  profile.ReadFromXML(document.Root());
  return profile;
}

std::vector<std::string> ChildNames(const TXMLNode& node) {
  std::vector<std::string> names;
  for (int i = 0; i < node.GetChildCount(); ++i) names.push_back(node.GetChild(i)->Name);
  return names;
}

TEST(Profile, NewProfileHasTheDefaultsOfTheTable) {
  const TProfile profile;
  for (const TProfileRightInfo& info : ProfileRights()) {
    EXPECT_EQ(profile.Right(info.Right), info.Default) << info.Name;
  }
  EXPECT_TRUE(profile.MaySearch());
  EXPECT_TRUE(profile.MayUseDHT());
  EXPECT_FALSE(profile.IsOperator());
  EXPECT_TRUE(profile.UserDefined);
  EXPECT_TRUE(profile.Restriction.MayBeInPassiveMode);
}

TEST(Profile, EveryRightSurvivesWriteAndRead) {
  const TProfile original = EveryRightChanged();
  TProfile read;
  RoundTrip(original, read);
  for (const TProfileRightInfo& info : ProfileRights()) {
    EXPECT_EQ(read.Right(info.Right), original.Right(info.Right)) << info.Name;
  }
}

TEST(Profile, EveryFieldSurvivesWriteAndRead) {
  TProfile original;
  original.Name = "Op & <Friends>";
  original.Description = "line1\r\nline2 \"quoted\"";
  original.ProfileLevel = 7;
  original.Restriction.MinShareEnabled = true;
  original.Restriction.MinShare = std::int64_t{5} << 32;
  original.Restriction.MayBeInPassiveMode = false;
  original.JoinAnnouncementEnabled = true;
  original.JoinAnnouncement = "<nick> joined as <profile>";
  original.AllowUseAnnouncementAwayTimeEnabled = true;
  original.AllowUseAnnouncementAwayTime.Seconds += 3 * 3600 + 25 * 60 + 9;

  TProfile read;
  RoundTrip(original, read);
  EXPECT_EQ(read.Name, original.Name);
  EXPECT_EQ(read.Description, original.Description);
  EXPECT_EQ(read.ProfileLevel, 7);
  EXPECT_EQ(read.Restriction, original.Restriction);
  EXPECT_TRUE(read.JoinAnnouncementEnabled);
  EXPECT_EQ(read.JoinAnnouncement, original.JoinAnnouncement);
  EXPECT_TRUE(read.AllowUseAnnouncementAwayTimeEnabled);
  EXPECT_EQ(read.AllowUseAnnouncementAwayTime, original.AllowUseAnnouncementAwayTime);
}

TEST(Profile, ElementsFollowTheFileLayout) {
  TXMLDocument document;
  document.Root().Name = "Profile";
  TProfile().WriteToXML(document.Root());
  const TXMLNode& root = document.Root();

  EXPECT_EQ(ChildNames(root),
            (std::vector<std::string>{"Name", "Description", "ProfileLevel", "General",
                                      "UserAdmin", "ISP", "Miscellaneous", "Overrides",
                                      "Advanced", "JoinAnnouncement",
                                      "AllowUseAnnouncementAwayTime"}));
  const struct {
    const char* outer;
    std::vector<std::string> inner;
  } groups[] = {
      {"General", {"ProfileSettings", "Information", "HubControl", "ConnRestrictions"}},
      {"UserAdmin", {"Accounts", "UserControl"}},
      {"ISP", {"AdminISPs", "AdminIPs"}},
      {"Miscellaneous", {"Redirects", "Miscellaneous"}},
      {"Overrides", {"Priveliges", "ConnRestrictions"}},
      {"Advanced", {"ProtocolRestrictions", "FeatureAccess", "MasterOverrides", "Feed"}},
  };
  for (const auto& group : groups) {
    const TXMLNode* outer = root.FindChild(group.outer);
    ASSERT_NE(outer, nullptr) << group.outer;
    EXPECT_EQ(ChildNames(*outer), group.inner) << group.outer;
  }

  // A group whose rights are not adjacent in the table, and the group that
  // also carries the restriction.
  EXPECT_EQ(ChildNames(*root.FindChild("General")->FindChild("HubControl")),
            (std::vector<std::string>{"MayLockHub", "MayRedirectAll", "MaySetTopic",
                                      "MaySaveSettings", "MayChangeUserLimit", "MaySetWorkPace",
                                      "MayDisabledMainChat"}));
  EXPECT_EQ(ChildNames(*root.FindChild("Overrides")->FindChild("ConnRestrictions")),
            (std::vector<std::string>{"MayByPassISPIPCheck", "UseProfileConnRestriction",
                                      "MinShare", "MaxShare", "MaxHubs", "MinSlots", "MaxSlots",
                                      "SlotRatio", "MayBeInPassiveMode",
                                      "AllowTagLessToByPass"}));
}

TEST(Profile, RightsAndTimesAreWrittenAsText) {
  TProfile profile;
  profile.SetRight(TProfileRight::MayKickUser, paSame);
  profile.AllowUseAnnouncementAwayTime.Seconds += 90;
  TXMLDocument document;
  document.Root().Name = "Profile";
  profile.WriteToXML(document.Root());
  const TXMLNode& root = document.Root();

  const TXMLNode* settings = root.FindChild("General")->FindChild("ProfileSettings");
  EXPECT_EQ(settings->FindChild("IsOperator")->Text, "false");
  EXPECT_EQ(settings->FindChild("IsOperator")->GetAttributeCount(), 0);
  const TXMLNode* control = root.FindChild("UserAdmin")->FindChild("UserControl");
  EXPECT_EQ(control->FindChild("MayKickUser")->Text, "2");
  const TXMLNode* away = root.FindChild("AllowUseAnnouncementAwayTime");
  EXPECT_EQ(away->Text, "00:01:30");
  EXPECT_EQ(away->GetAttribute("enable"), "false");
}

TEST(Profile, LevelsOutsideAByteAreNotTaken) {
  const struct {
    const char* text;
    int profileLevel;
    std::uint8_t kickLevel;
  } cases[] = {
      {"7", 7, 7},  // stored as read, not clamped to 0..3
      {"0", 0, 0},     {"255", 255, 255}, {"256", 0, 0},  {"-1", 0, 0},
      {"abc", 0, 0},   {"", 0, 0},        {" 3", 0, 0},   {"99999999999", 0, 0},
  };
  for (const auto& c : cases) {
    const std::string text = c.text;
    const TProfile profile =
        Read("<ProfileLevel>" + text + "</ProfileLevel><UserAdmin><UserControl><MayKickUser>" +
             text + "</MayKickUser></UserControl></UserAdmin>");
    EXPECT_EQ(profile.ProfileLevel, c.profileLevel) << text;
    EXPECT_EQ(profile.MayKickUser(), c.kickLevel) << text;
  }
}

TEST(Profile, BoolRightsTakeTextOrEnableAttribute) {
  const struct {
    const char* element;
    bool expected;
  } cases[] = {
      {"<IsOperator>true</IsOperator>", true},
      {"<IsOperator>1</IsOperator>", true},
      {"<IsOperator enable=\"true\"/>", true},
      {"<IsOperator enable=\"true\">false</IsOperator>", false},  // the text wins
      {"<IsOperator>TRUE</IsOperator>", false},                  // not a boolean: unchanged
      {"<IsOperator>yes</IsOperator>", false},
  };
  for (const auto& c : cases) {
    const TProfile profile = Read(std::string("<General><ProfileSettings>") + c.element +
                                  "</ProfileSettings></General>");
    EXPECT_EQ(profile.IsOperator(), c.expected) << c.element;
  }
}

TEST(Profile, MissingElementsKeepCurrentValues) {
  TProfile profile;
  profile.Name = "Keep";
  profile.ProfileLevel = 4;
  profile.SetRight(TProfileRight::MayBanIP, 1);
  TXMLDocument document;
  ASSERT_TRUE(document.LoadFromString("<Profile><Description>d</Description></Profile>"));
  profile.ReadFromXML(document.Root());
  EXPECT_EQ(profile.Name, "Keep");
  EXPECT_EQ(profile.Description, "d");
  EXPECT_EQ(profile.ProfileLevel, 4);
  EXPECT_TRUE(profile.MayBanIP());
  EXPECT_TRUE(profile.MaySearch());
}

TEST(Profile, BuiltInProfileKeepsItsName) {
  TProfile builtIn;
  builtIn.Name = "Regular";
  builtIn.UserDefined = false;
  TXMLDocument document;
  ASSERT_TRUE(document.LoadFromString("<Profile><Name>REGULAR</Name></Profile>"));
  builtIn.ReadFromXML(document.Root());
  EXPECT_EQ(builtIn.Name, "Regular");
}

}  // namespace
