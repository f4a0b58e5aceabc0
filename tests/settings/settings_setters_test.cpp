// The setters: derived tables and protocol texts, and what they tell the
// running hub.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "settings_test_home.h"
#include "utils/constants.h"

namespace {

std::string Map(char fill, std::size_t size = 256) { return std::string(size, fill); }

TEST(SettingsNickChars, TableFollowsTheMapButNeverAllowsProtocolBytes) {
  struct Case {
    std::string map;
    char c;
    bool allowed;
  } cases[] = {
      {std::string(DefaultAllowedNickChars), 'a', true},
      {std::string(DefaultAllowedNickChars), '\'', true},
      {std::string(DefaultAllowedNickChars), '\xE9', true},
      {std::string(DefaultAllowedNickChars), ' ', false},
      {std::string(DefaultAllowedNickChars), '\xA0', false},
      {std::string(DefaultAllowedNickChars), '$', false},
      // Everything switched on: control bytes, space and the protocol's own
      // bytes stay out.
      {Map('1'), '!', true},
      {Map('1'), '\xFF', true},
      {Map('1'), '\x00', false},
      {Map('1'), '\x05', false},
      {Map('1'), ' ', false},
      {Map('1'), '$', false},
      {Map('1'), '`', false},
      {Map('1'), '|', false},
      {Map('1'), '~', false},
      {Map('0'), 'a', false},
      // Anything but '1' means no.
      {std::string(97, '0') + "x" + Map('1', 158), 'a', false},
      // Only the first 256 characters count.
      {Map('1') + Map('0', 100), '\xFF', true},
  };
  for (const Case& c : cases) {
    TSettings settings;
    settings.SetAllowedNickChars(c.map);
    EXPECT_EQ(settings.NickCharAllowed(c.c), c.allowed)
        << "byte " << static_cast<int>(static_cast<unsigned char>(c.c));
    EXPECT_EQ(settings.AllowedNickChars(), c.map);
  }
}

TEST(SettingsNickChars, ShortMapChangesOnlyItsOwnEntries) {
  TSettings settings;
  settings.SetAllowedNickChars(Map('0', 40));    // codes 0..39
  EXPECT_FALSE(settings.NickCharAllowed('\''));  // 39: was allowed
  EXPECT_TRUE(settings.NickCharAllowed('('));    // 40: untouched
  EXPECT_TRUE(settings.NickCharAllowed('a'));
  settings.SetAllowedNickChars("");
  EXPECT_TRUE(settings.NickCharAllowed('a'));
}

TEST(SettingsWordDelimiters, TableFollowsTheMap) {
  struct Case {
    std::string map;
    char c;
    bool delimiter;
  } cases[] = {
      {std::string(DefaultWordDelimiters), ' ', true},
      {std::string(DefaultWordDelimiters), '$', true},
      {std::string(DefaultWordDelimiters), '#', false},
      {std::string(DefaultWordDelimiters), 'a', false},
      {std::string(DefaultWordDelimiters), '\xA0', true},
      {std::string(DefaultWordDelimiters), '\xC0', false},
      {Map('1'), '\x00', true},
      {Map('1'), 'a', true},
      {Map('0'), ' ', false},
      {Map('0', 33), ' ', false},  // 32 switched off
      {Map('0', 33), '$', true},   // beyond the text: kept
  };
  for (const Case& c : cases) {
    TSettings settings;
    settings.SetWordDelimiters(c.map);
    EXPECT_EQ(settings.IsWordDelimiter(c.c), c.delimiter)
        << "byte " << static_cast<int>(static_cast<unsigned char>(c.c));
  }
}

TEST(SettingsBot, DefaultTexts) {
  TSettings settings;
  EXPECT_EQ(settings.BotName(), "-Kavro-");
  EXPECT_EQ(settings.BotChatPrefix(), "<-Kavro-> ");
  EXPECT_EQ(settings.BotMyINFO(), "$MyINFO $ALL -Kavro- Hub\xA0security$ $\x01$$0$|");
}

TEST(SettingsBot, HostileValuesCannotBreakTheProtocolTexts) {
  TSettings settings;
  settings.SetBotName("Evil|$Quit x|");
  settings.SetBotDescription("d$|e s");
  settings.SetBotEmail("m|$");
  EXPECT_EQ(settings.BotName(), "Evil__Quit\xA0x_");
  EXPECT_EQ(settings.BotDescription(), "d__e\xA0s");
  EXPECT_EQ(settings.BotEmail(), "m__");
  EXPECT_EQ(settings.BotChatPrefix(), "<Evil__Quit\xA0x_> ");
  EXPECT_EQ(settings.BotMyINFO(), "$MyINFO $ALL Evil__Quit\xA0x_ d__e\xA0s$ $\x01$m__$0$|");
}

TEST(SettingsHubName, MessageEscapesTheTopicAndOmitsAnEmptyOne) {
  struct Case {
    const char* name;
    const char* topic;
    const char* message;
  } cases[] = {
      {"Hub", "", "$HubName Hub|"},
      {"Hub|x$y", "", "$HubName Hub_x_y|"},
      {"Hub", "t|o$p", "$HubName Hub - t&#124;o&#36;p|"},
      {"Hub", "a&b", "$HubName Hub - a&amp;b|"},
      {"Hub", "|$ForceMove evil|", "$HubName Hub - &#124;&#36;ForceMove evil&#124;|"},
  };
  for (const Case& c : cases) {
    TSettings settings;
    settings.SetHubName(c.name);
    settings.SetTopic(c.topic);
    EXPECT_EQ(settings.HubNameMessage(), c.message);
    EXPECT_EQ(settings.Topic(), c.topic);  // stored as written
  }
}

TEST(SettingsHubName, OnlyAChangeIsSentToTheUsers) {
  TRecordingHooks hooks;
  TSettings settings;
  settings.SetHooks(&hooks);
  settings.SetHubName("Hub");
  settings.SetHubName("Hub");
  settings.SetTopic("");
  settings.SetTopic("news");
  settings.SetTopic("news");
  settings.SetHubName("Hub|");
  settings.SetHubName("Hub$");  // the same safe copy as "Hub|"
  EXPECT_EQ(hooks.CallsStartingWith("send"),
            (std::vector<std::string>{"send $HubName Hub|", "send $HubName Hub - news|",
                                      "send $HubName Hub_ - news|"}));
}

TEST(SettingsBotName, EmptyNameKeepsTheCurrentOne) {
  TSettings settings;
  EXPECT_TRUE(settings.SetBotName(""));
  EXPECT_EQ(settings.BotName(), "-Kavro-");
  settings.SetBotName("Guard");
  EXPECT_TRUE(settings.SetBotName(""));
  EXPECT_EQ(settings.BotName(), "Guard");
  EXPECT_EQ(settings.BotChatPrefix(), "<Guard> ");
}

TEST(SettingsBotName, RenameIsAnnouncedAndTheReservationMoves) {
  TRecordingHooks hooks;
  TSettings settings;
  settings.SetHooks(&hooks);
  hooks.Calls.clear();
  ASSERT_TRUE(settings.SetBotName("Guard"));
  EXPECT_EQ(hooks.Calls, (std::vector<std::string>{"in use? Guard", "release -Kavro-",
                                                   "reserve Guard", "announce"}));
  ASSERT_EQ(hooks.Announcements.size(), 1u);
  const TBotAnnouncement& a = hooks.Announcements[0];
  const std::string myInfo = "$MyINFO $ALL Guard Hub\xA0security$ $\x01$$0$|";
  EXPECT_EQ(a.OldName, "-Kavro-");
  EXPECT_EQ(a.ForNoHello, "$Quit -Kavro-|$OpList Guard$$|" + myInfo);
  EXPECT_EQ(a.ForHello, "$Quit -Kavro-|$Hello Guard|$OpList Guard$$|" + myInfo);
}

TEST(SettingsBotName, NameInUseBySomeoneElseIsRefused) {
  TRecordingHooks hooks;
  hooks.NicksInUse = {"Alice"};
  TSettings settings;
  settings.SetHooks(&hooks);
  hooks.Calls.clear();
  EXPECT_FALSE(settings.SetBotName("Alice"));
  EXPECT_EQ(settings.BotName(), "-Kavro-");
  EXPECT_EQ(settings.BotChatPrefix(), "<-Kavro-> ");
  EXPECT_EQ(hooks.Calls, std::vector<std::string>{"in use? Alice"});
}

TEST(SettingsBotName, TheBotsOwnNickInAnotherCaseIsNotAskedFor) {
  TRecordingHooks hooks;
  hooks.NicksInUse = {"-KAVRO-"};  // held by the bot itself
  TSettings settings;
  settings.SetHooks(&hooks);
  hooks.Calls.clear();
  EXPECT_TRUE(settings.SetBotName("-KAVRO-"));
  EXPECT_EQ(settings.BotName(), "-KAVRO-");
  EXPECT_TRUE(hooks.CallsStartingWith("in use?").empty());
}

TEST(SettingsBotName, UnchangedValuesAnnounceNothing) {
  TRecordingHooks hooks;
  TSettings settings;
  settings.SetHooks(&hooks);
  settings.SetBotName("-Kavro-");
  settings.SetBotDescription("Hub security");  // stored as "Hub\xA0security"
  settings.SetBotEmail("");
  EXPECT_TRUE(hooks.Announcements.empty());
  settings.SetBotEmail("bot@example.org");
  EXPECT_EQ(hooks.Announcements.size(), 1u);
  EXPECT_EQ(hooks.CallsStartingWith("release"), std::vector<std::string>{});
}

using SettingsReloadTest = SettingsHomeTest;

TEST_F(SettingsReloadTest, ReloadAnnouncesTheBotAtMostOnce) {
  struct Case {
    const char* basic;
    std::size_t announcements;
    const char* name;
  } cases[] = {
      {"<BotName>-Kavro-</BotName><BotDescription>Hub\xA0security</BotDescription><BotEmail/>", 0,
       "-Kavro-"},
      {"<BotName>Guard</BotName><BotDescription>Watch</BotDescription>"
       "<BotEmail>b@example.org</BotEmail>",
       1, "Guard"},
      {"<BotDescription>Watch</BotDescription>", 1, "-Kavro-"},
      {"<BotName>Alice</BotName><BotEmail>b@example.org</BotEmail>", 1, "-Kavro-"},  // name refused
      {"<BotName/>", 0, "-Kavro-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.basic);
    WriteSettingsFile("<Settings version=\"" + std::string(kProgramVersion) + "\"><Basic>" +
                      c.basic + "</Basic></Settings>");
    TRecordingHooks hooks;
    hooks.NicksInUse = {"Alice"};
    TSettings settings;
    settings.SetHooks(&hooks);
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(hooks.Announcements.size(), c.announcements);
    EXPECT_EQ(settings.BotName(), c.name);
  }
}

TEST(SettingsWorkPace, OnlyAValidChangeReachesTheHubCore) {
  TRecordingHooks hooks;
  TSettings settings;
  settings.SetHooks(&hooks);  // tells the core the starting pace
  EXPECT_TRUE(settings.SetWorkPace(5));
  EXPECT_FALSE(settings.SetWorkPace(8));
  EXPECT_FALSE(settings.SetWorkPace(-1));
  EXPECT_TRUE(settings.SetWorkPace(0));
  EXPECT_EQ(settings.WorkPace(), 0);
  EXPECT_EQ(hooks.CallsStartingWith("speed"), (std::vector<std::string>{"speed 5", "speed 0"}));
}

TEST(SettingsHooks, RegisteringTellsTheCurrentStateAndUnregisteringStopsCalls) {
  TRecordingHooks hooks;
  TSettings settings;
  settings.SetAutoLoadSettings(true);
  settings.SetHooks(&hooks);
  EXPECT_EQ(hooks.Calls, (std::vector<std::string>{"speed 5", "watcher on", "reserve -Kavro-"}));
  settings.SetHooks(nullptr);
  settings.SetHubName("Other");
  settings.SetWorkPace(1);
  EXPECT_EQ(hooks.Calls.size(), 3u);
}

}  // namespace
