// lock, topic, savesettings, setredirect and showredirects: their replies,
// feed lines, refusals and effects on the settings.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "core/hub_control.h"
#include "settings/redirect_item.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;

// The lock and the save as the test sets them up.
class TFakeControl : public THubControl {
 public:
  bool locked = false;
  bool reopens = true;     // the listeners open again on unlock
  bool saves = true;       // SaveAll's answer
  bool saveErrors = false; // SaveAll posts an error line
  TStats* stats = nullptr;
  int saveCalls = 0;
  bool Locked() const override { return locked; }
  void Lock() override { locked = true; }
  bool Unlock() override {
    locked = !reopens;
    return reopens;
  }
  bool SaveAll() override {
    ++saveCalls;
    if (saveErrors) ++stats->Errors;
    return saves;
  }
};

class HubControlCommandsTest : public TCommandsFixture {
 protected:
  HubControlCommandsTest() {
    control_.stats = &stats_;
    settings_.HubCommandsShowCommandToSelf = false;
    master_ = &Online("Master", MakeProfile("Master", kMasterRights, 9, 3));
    op_ = &Online("Op", MakeProfile("Op", kMasterRights, 5, 1));
    guide_ = &Online("Guide", MakeProfile("Guide", {R::MayRedirectChangeOnNoTag}, 3));
    Out(*master_), Out(*op_), Out(*guide_);
  }

  void Run(THubSocket& user, std::string_view text, bool pm = false) {
    Dispatch(commands_, tokens_, message_, user, text, pm);
  }
  // The bot's main-chat replies to the sender, after the echo.
  std::string Said(THubSocket& user) {
    std::string out = Out(user);
    const std::string echo = ChatLine(user, std::string(message_.substr(ChatStart(user),
                                                                         message_.size() - ChatStart(user) - 1)));
    if (out.starts_with(echo)) out.erase(0, echo.size());
    return out;
  }
  const TCommandContext& WithControl() {
    ctx_.Control = &control_;
    return ctx_;
  }

  static constexpr std::initializer_list<TProfileRight> kMasterRights = {
      R::MayLockHub, R::MaySetTopic, R::MaySaveSettings, R::MayRedirectChangeOnHubFull,
      R::MayRedirectChangeOnIncorrectISP, R::MayRedirectChangeOnLowShare,
      R::MayRedirectChangeOnHighShare, R::MayRedirectChangeOnRegOnly,
      R::MayRedirectChangeOnPassive, R::MayRedirectChangeOnNoTag,
      R::MayRedirectChangeOnHighHubs, R::MayRedirectChangeOnLowSlots,
      R::MayRedirectChangeOnHighSlots, R::MayRedirectChangeOnLowSlotRatio,
      R::MayRedirectChangeOnBaned};

  TFakeControl control_;
  TStringList tokens_{16};
  THubCommands commands_{WithControl(), tokens_};
  std::string message_;
  THubSocket* master_ = nullptr;
  THubSocket* op_ = nullptr;
  THubSocket* guide_ = nullptr;
};

TEST_F(HubControlCommandsTest, LockClosesAndUnlockReopensOrSaysItFailed) {
  struct TCase {
    std::string_view Line;
    bool LockedBefore, Reopens;
    std::string_view Reply, Feed;
    bool LockedAfter;
  };
  const TCase cases[] = {
      {"!lock ON", false, true, "The hub has been locked", "The hub was locked by: Master", true},
      {"!lock on", true, true, "The hub is already locked", "", true},
      {"!lock off", true, true, "The hub has been unlocked", "The hub was unlocked by: Master", false},
      {"!lock Off", false, true, "The hub is already unlocked", "", false},
      {"!lock off", true, false,
       "The hub failed to unlock the hub, listning port may already be in use!", "", true},
      {"!lock 1", false, true, "Incorrect parameter, lock can be \"on\" or \"off\"", "", false},
      {"!lock", false, true, "Wrong number of parameters. Type !help for help", "", false},
  };
  for (const TCase& c : cases) {
    control_.locked = c.LockedBefore;
    control_.reopens = c.Reopens;
    feed_.Actions.clear();
    Run(*master_, c.Line);
    EXPECT_EQ(Said(*master_), Bot(c.Reply)) << c.Line;
    EXPECT_EQ(feed_.Actions, c.Feed.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{std::string(c.Feed)})
        << c.Line;
    EXPECT_EQ(control_.locked, c.LockedAfter) << c.Line;
  }
  Run(*guide_, "!lock on");
  EXPECT_EQ(Said(*guide_), Bot(Text(TLanguageKey::ForbiddenCommand)));
  EXPECT_FALSE(control_.locked);
}

TEST_F(HubControlCommandsTest, TopicSetAndDeletedByLevelWithRepliesOnlyByPM) {
  settings_.TopicMaxMessageLength = {true, 12};
  Run(*op_, "!topic  two  words ");
  EXPECT_EQ(settings_.Topic(), "two  words ");  // the rest of the line as typed
  EXPECT_EQ(settings_.TopicLevel, 5);
  EXPECT_EQ(settings_.TopicSetBy, "Op");
  const std::string broadcast = Bot("The topic has been changed by Op to: two  words ");
  EXPECT_EQ(Said(*op_), broadcast);  // no reply in main chat: the broadcast shows it
  EXPECT_EQ(Out(*guide_), broadcast);
  EXPECT_EQ(feed_.Actions, std::vector<std::string>{"Topic updated by Op to: two  words "});

  // Lower level, no delete; the topic stays.
  Run(*guide_, "!topic");
  EXPECT_EQ(Said(*guide_), Bot(Text(TLanguageKey::ForbiddenCommand)));
  Run(*op_, "!topic");  // Op's right is "lower": its own level is not below
  EXPECT_EQ(Said(*op_), Bot("The topic has been set by someone stronger than you"));
  EXPECT_EQ(settings_.Topic(), "two  words ");

  Out(*master_);
  Run(*master_, "!topic 1234567890123");
  EXPECT_EQ(Said(*master_), Bot("Your topic is too long, please choose a shorter one."));
  EXPECT_EQ(settings_.Topic(), "two  words ");

  feed_.Actions.clear();
  Out(*guide_);
  Run(*master_, "!settopic", true);
  EXPECT_EQ(settings_.Topic(), "");
  EXPECT_EQ(settings_.TopicLevel, 0);
  EXPECT_EQ(settings_.TopicSetBy, "");
  EXPECT_EQ(Out(*master_), BotTo(*master_, "Topic deleted") +
                               Bot("The topic has been deleted by Master"));
  EXPECT_EQ(Out(*guide_), Bot("The topic has been deleted by Master"));
  EXPECT_EQ(feed_.Actions, std::vector<std::string>{"Topic deleted by: Master"});

  Run(*master_, "!topic", true);
  EXPECT_EQ(Out(*master_), BotTo(*master_, "There is no topic"));

  Run(*master_, "!topic hi", true);
  EXPECT_EQ(Out(*master_), BotTo(*master_, "Topic was updated to: hi") +
                               Bot("The topic has been changed by Master to: hi"));
  EXPECT_EQ(settings_.TopicLevel, 9);
}

TEST_F(HubControlCommandsTest, SaveSettingsFailsOnAnErrorLineOrAFailedSave) {
  struct TCase {
    bool Saves, Errors;
    TLanguageKey Reply;
  };
  const TCase cases[] = {{true, false, TLanguageKey::SaveAllSettingsSuccess},
                         {true, true, TLanguageKey::SaveAllSettingsFailed},
                         {false, false, TLanguageKey::SaveAllSettingsFailed}};
  for (const TCase& c : cases) {
    control_.saves = c.Saves;
    control_.saveErrors = c.Errors;
    Run(*master_, "!savesettings");
    EXPECT_EQ(Said(*master_), Bot(Text(c.Reply)));
  }
  EXPECT_EQ(control_.saveCalls, 3);
}

TEST_F(HubControlCommandsTest, SetRedirectStoresWithBarsAndShowsWithSemicolons) {
  struct TCase {
    bool ByGuide;
    std::string_view Line, Reply, Feed;
  };
  const TCase cases[] = {
      {false, "!setredirect",
       "Available types are: full, isp, lowshare, highshare, regonly, passive, notag, hubs, "
       "lowslots, highslots, slotratio, banned and all", ""},
      {true, "!setredirect", "Available types are: notag and all", ""},
      {false, "!setredirect FULL a.test&#124;b.test",
       "You've updated the redirect address to: a.test;b.test on hub full",
       "Master updated the redirect address to: a.test;b.test on hub full"},
      {false, "!setredirect banned c.test",
       "You've updated the redirect address to: c.test when banned",
       "Master updated the redirect address to: c.test when banned"},
      {false, "!setredirect full", "You've removed redirect on hub full",
       "Master removed redirect on hub full"},
      {true, "!setredirect full x.test",
       "You don't have access to this command", ""},
      {true, "!setredirect all n.test",
       "You've updated the redirect address to: n.test on following types: notag",
       "Guide updated the redirect address to: n.test on following types: notag"},
      {false, "!setredirect foo x.test", "", ""},
  };
  for (const TCase& c : cases) {
    feed_.Actions.clear();
    THubSocket& user = c.ByGuide ? *guide_ : *master_;
    Run(user, c.Line);
    EXPECT_EQ(Said(user), c.Reply.empty() ? std::string() : Bot(c.Reply)) << c.Line;
    EXPECT_EQ(feed_.Actions, c.Feed.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{std::string(c.Feed)})
        << c.Line;
  }
  // Switched off, the addresses kept as stored.
  EXPECT_FALSE(settings_.RedirectOnFull.Enabled);
  EXPECT_EQ(settings_.RedirectOnFull.GetAddresses(), "a.test|b.test");
  EXPECT_TRUE(settings_.RedirectOnBans.Enabled);
  EXPECT_EQ(settings_.RedirectOnNoTag.GetAddresses(), "n.test");
  // "all" by the guide touched only the no-tag value; "foo" nothing.
  EXPECT_EQ(settings_.RedirectOnBans.GetAddresses(), "c.test");
  EXPECT_FALSE(settings_.RedirectOnISP.Enabled);

  feed_.Actions.clear();
  Run(*master_, "!setredirect all");
  EXPECT_EQ(Said(*master_), Bot("You've removed redirect on the following types: full, isp, "
                                "lowshare, highshare, regonly, passive, notag, hubs, lowslots, "
                                "highslots, slotratio, banned"));
  EXPECT_FALSE(settings_.RedirectOnBans.Enabled);
  EXPECT_FALSE(settings_.RedirectOnNoTag.Enabled);
  EXPECT_EQ(settings_.RedirectOnBans.GetAddresses(), "c.test");
  EXPECT_EQ(feed_.Actions.size(), 1u);
}

TEST_F(HubControlCommandsTest, ShowRedirectsListsAllTwelveWhateverTheRights) {
  settings_.RedirectOnFull.SetAddresses("a.test|b.test");
  settings_.RedirectOnFull.Enabled = true;
  settings_.RedirectOnBans.SetAddresses("c.test");
  settings_.RedirectOnBans.Enabled = true;
  settings_.RedirectOnISP.SetAddresses("kept.test");  // off: shown disabled
  Run(*guide_, "!showredirects");
  EXPECT_EQ(Said(*guide_), Bot("\r\nCurrent redirects:\r\n On full hub: a.test;b.test\r\n"
                               "On incorrect ISP: [disabled]\r\nOn too small share: [disabled]\r\n"
                               "On too big share: [disabled]\r\nOn reg. only: [disabled]\r\n"
                               "On passive mode: [disabled]\r\nOn no MyINFO tag: [disabled]\r\n"
                               "On too many hubs: [disabled]\r\nOn not enough slots: [disabled]\r\n"
                               "On too many slots: [disabled]\r\nOn low slotratio: [disabled]\r\n"
                               "On banned: c.test"));
  Run(*master_, "!showredirects x");  // extra words are ignored
  EXPECT_TRUE(Said(*master_).find("On banned: c.test|") != std::string::npos);
}

}  // namespace
