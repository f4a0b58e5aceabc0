// What others see of the operators' hub-wide commands in a real kavrod over
// loopback: the topic, the lock, say, mute, hideshare; and what the
// shutdown save writes of the changes the commands made.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "e2e/shared_hub_test.h"
#include "platform/file_io.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/isp_list.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/user_registered.h"
#include "settings/language.h"
#include "settings/redirect_item.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kShare = "5368709120";

std::string Bot(std::string_view text) { return "<HubBot> " + std::string(text) + "|"; }

// The text between the element's tags, or nullopt.
std::optional<std::string> Between(const std::string& text, std::string_view open,
                                   std::string_view close, std::size_t from = 0) {
  const std::size_t start = text.find(open, from);
  if (start == std::string::npos) return std::nullopt;
  const std::size_t end = text.find(close, start + open.size());
  if (end == std::string::npos) return std::nullopt;
  return text.substr(start + open.size(), end - start - open.size());
}

}  // namespace

class HubControlE2ETest : public TSharedHubTest<HubControlE2ETest> {
 public:
  static constexpr bool kTestsStopTheHub = true;  // they read its files after SIGTERM
  static void Configure(TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.SetHubName("E2EHub");
    settings.HubCommandsShowCommandToSelf = false;
  }
  static void Prepare(TE2EHome& home) {
    using R = TProfileRight;
    home.AddAccount("master", "mpw", "Master", 9,
                    {R::IsOperator, R::MayByPassFloodCheck, R::MayUseHubCommands, R::MayLockHub,
                     R::MaySetTopic, R::MayRedirectChangeOnHubFull, R::MayUseSay,
                     R::MayUseMuteUser, R::MayAdminTextFiles, R::MayAdminRegistered,
                     R::MayAccountsSetComment, R::MayISPAddISP, R::MayISPSetMaxHubs});
    home.AddAccount("sharer", "spw", "Sharer", 1, {R::MayUseHubCommands, R::MayHideShare});
    ASSERT_TRUE(WriteFileAtomic(
        home.File("settings/text_commands.xml"),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<TextCommands version=\"1.0\">\n"
        "<TextCommand><Name>rules</Name><Content>Old rules</Content></TextCommand>\n"
        "</TextCommands>\n"));
  }

 protected:
  // A login whose "$MyINFO" shares kShare bytes.
  static std::unique_ptr<TNmdcClient> LoginSharing(const std::string& nick,
                                                   std::string_view password) {
    auto client = TNmdcClient::Connect(home_->Port());
    if (!client || !client->Handshake(nick)) return nullptr;
    for (;;) {
      const std::optional<std::string> message = client->Read();
      if (!message) return nullptr;
      if (*message == "$GetPass|") client->Send("$MyPass " + std::string(password) + "|");
      if (message->starts_with("$Hello ")) break;
    }
    client->Send("$Version 1,0091|$GetNickList|$MyINFO $ALL " + nick +
                 " e2e <EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$" + std::string(kShare) +
                 "$|");
    if (!client->ReadUntil("$MyINFO $ALL " + nick + " ")) return nullptr;
    return client;
  }
  // Sends the command to the bot by private message; its reply.
  static std::string Command(TNmdcClient& client, std::string_view nick, std::string_view line) {
    const std::string from = "$To: " + std::string(nick) + " From: HubBot $<HubBot> ";
    client.Send("$To: HubBot From: " + std::string(nick) + " $<" + std::string(nick) + "> " +
                std::string(line) + "|");
    const std::optional<std::string> reply = client.ReadUntil(from);
    return reply ? reply->substr(from.size(), reply->size() - from.size() - 1) : "(none)";
  }
};

TEST_F(HubControlE2ETest, TheTopicReachesEveryoneInTheHubName) {
  auto master = Login("master", "mpw");
  auto bob = Login("bob1");
  ASSERT_TRUE(master && bob);
  master->Send("$To: HubBot From: master $<master> !topic Hello  world|");
  EXPECT_EQ(bob->ReadUntil("$HubName "), "$HubName E2EHub - Hello  world|");
  EXPECT_EQ(bob->ReadUntil("<HubBot> "), Bot("The topic has been changed by master to: Hello  world"));
  EXPECT_EQ(master->ReadUntil("$HubName "), "$HubName E2EHub - Hello  world|");
}

TEST_F(HubControlE2ETest, ALockedHubRefusesNewConnectionsUntilUnlocked) {
  auto master = Login("master", "mpw");
  ASSERT_TRUE(master);
  EXPECT_EQ(Command(*master, "master", "!lock on"), "The hub has been locked");
  // Nothing listens: the connection is refused.
  EXPECT_EQ(TNmdcClient::Connect(home_->Port()), nullptr);
  // Who was in stays in.
  EXPECT_EQ(Command(*master, "master", "!lock on"), "The hub is already locked");
  EXPECT_EQ(Command(*master, "master", "!lock off"), "The hub has been unlocked");
  auto late = TNmdcClient::Connect(home_->Port());
  ASSERT_TRUE(late);
  EXPECT_TRUE(late->Login("late1"));
}

TEST_F(HubControlE2ETest, SayAndMuteAsTheOthersSeeThem) {
  auto master = Login("master", "mpw");
  auto alice = Login("alice2");
  auto bob = Login("bob2");
  ASSERT_TRUE(master && alice && bob);
  master->Send("$To: HubBot From: master $<master> !say bob2 hello  all|");
  EXPECT_EQ(alice->ReadUntil("<bob2> "), "<bob2> hello  all|");

  master->Send("$To: HubBot From: master $<master> !mute bob2|");
  EXPECT_EQ(alice->ReadUntil("<HubBot> "), Bot("bob2 has been muted"));
  EXPECT_EQ(bob->ReadUntil("<HubBot> "), Bot("bob2 has been muted"));
  bob->Send("<bob2> can you hear me|");
  EXPECT_EQ(bob->ReadUntil("<HubBot> "), Bot("You're currently muted and unable to speak"));
  alice->Drain(300ms);
  EXPECT_FALSE(alice->Got("<bob2> can you hear me")) << alice->ReceivedText();

  master->Send("$To: HubBot From: master $<master> !unmute bob2|");
  EXPECT_EQ(alice->ReadUntil("<HubBot> bob2"), Bot("bob2 has been unmuted"));
  bob->Send("<bob2> back again|");
  EXPECT_EQ(alice->ReadUntil("<bob2> back"), "<bob2> back again|");
}

TEST_F(HubControlE2ETest, HideshareSendsTheOthersAMyINFOWithoutTheShare) {
  auto alice = Login("alice3");
  ASSERT_TRUE(alice);
  auto sharer = LoginSharing("sharer", "spw");
  ASSERT_TRUE(sharer);
  const std::optional<std::string> shown = alice->ReadUntil("$MyINFO $ALL sharer ");
  ASSERT_TRUE(shown);
  EXPECT_TRUE(shown->ends_with("$" + std::string(kShare) + "$|")) << *shown;

  EXPECT_EQ(Command(*sharer, "sharer", "!hideshare"), "Your share has now been hidden");
  const std::optional<std::string> hidden = alice->ReadUntil("$MyINFO $ALL sharer ");
  ASSERT_TRUE(hidden);
  EXPECT_TRUE(hidden->ends_with("$$0$|")) << *hidden;
  EXPECT_EQ(hidden->substr(0, hidden->rfind("$$0$|")),
            shown->substr(0, shown->rfind("$$" + std::string(kShare))));

  EXPECT_EQ(Command(*sharer, "sharer", "!hs off"), "Your share is now visible again");
  EXPECT_EQ(alice->ReadUntil("$MyINFO $ALL sharer "), *shown);
}

// Last: stops the hub.
TEST_F(HubControlE2ETest, ZZTheShutdownSaveHoldsTheCommandsChanges) {
  auto master = Login("master", "mpw");
  ASSERT_TRUE(master);
  EXPECT_EQ(Command(*master, "master", "!topic Kept  topic"), "Topic was updated to: Kept  topic");
  EXPECT_EQ(Command(*master, "master", "!setredirect full a.test&#124;b.test"),
            "You've updated the redirect address to: a.test;b.test on hub full");
  EXPECT_EQ(Command(*master, "master", "!setcmd rules No  spam&#124;ever"),
            "The content of rules has been updated");
  EXPECT_EQ(Command(*master, "master", "!textcommand rules off"), "The text command rules was disabled");
  EXPECT_NE(Command(*master, "master", "!useraddreg guest7 gpw"), "(none)");
  EXPECT_EQ(Command(*master, "master", "!setcomment master the boss"),
            "The comment of master has been updated to: the boss");
  EXPECT_NE(Command(*master, "master", "!addisp Net"), "(none)");
  EXPECT_EQ(Command(*master, "master", "!ispmaxhubs Net 150"), "Required hubs of Net has been updated to 150");
  EXPECT_EQ(home_->StopHub(), 0) << home_->Hub().Output();
  started_ = false;

  SetProgramFolder(home_->Folder());
  TSettings settings;
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.Topic(), "Kept  topic");
  EXPECT_EQ(settings.TopicSetBy, "master");
  EXPECT_EQ(settings.TopicLevel, 9);
  EXPECT_TRUE(settings.RedirectOnFull.Enabled);
  EXPECT_EQ(settings.RedirectOnFull.GetAddresses(), "a.test|b.test");

  TProfiles profiles(settings);
  ASSERT_TRUE(profiles.Load());
  TAccounts accounts(profiles);
  ASSERT_TRUE(accounts.Load());
  const auto account = accounts.Find("master");
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(account->Comment, "the boss");
  EXPECT_EQ(account->LastChangedBy, "master");
  EXPECT_EQ(account->Pass, "mpw");

  TLanguage language;
  TISPList isps(language);
  ASSERT_TRUE(isps.Load());
  const TISP* net = isps.Find("Net");
  ASSERT_NE(net, nullptr);
  EXPECT_TRUE(net->Restriction.MaxHubsEnabled);
  EXPECT_EQ(net->Restriction.MaxHubs, 150);

  TUserRegistered registered;
  ASSERT_TRUE(registered.Load());
  ASSERT_NE(registered.Find("guest7"), nullptr);
  EXPECT_EQ(registered.Find("guest7")->Pass, "gpw");

  std::string text;
  ASSERT_TRUE(ReadFileBytes(home_->File("settings/text_commands.xml"), text));
  const std::size_t rules = text.find("<Name>rules</Name>");
  ASSERT_NE(rules, std::string::npos) << text;
  EXPECT_EQ(Between(text, "<Content>", "</Content>", rules), "No  spam|ever|") << text;
  const std::optional<std::string> element = Between(text, "<Name>rules</Name>", "</TextCommand>");
  ASSERT_TRUE(element);
  EXPECT_NE(element->find("<Enabled enable=\"false\""), std::string::npos) << *element;
}
