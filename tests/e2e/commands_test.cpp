// Operator and built-in commands typed into a real kavrod over loopback:
// byte-exact replies by main chat and private message, the prefixes as
// bytes, what is broadcast and what is not, and kicks.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "e2e/shared_hub_test.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/user_registered.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

std::string Bot(std::string_view text) { return "<HubBot> " + std::string(text) + "|"; }

// The chat lines and private messages `client` reads until `sentinel`
// arrives (exclusive), user-list traffic left out; nullopt when it never
// does.
std::optional<std::vector<std::string>> Until(TNmdcClient& client, std::string_view sentinel) {
  std::vector<std::string> seen;
  for (;;) {
    const std::optional<std::string> message = client.Read();
    if (!message) return std::nullopt;
    if (*message == sentinel) return seen;
    if (!message->starts_with('$') || message->starts_with("$To: ")) seen.push_back(*message);
  }
}

}  // namespace

class CommandsTest : public TSharedHubTest<CommandsTest> {
 public:
  static void Configure(TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.HubCommandsVisability = TCommandVisibility::Everyone;
    settings.IntegratedCommandsVisability = TCommandVisibility::Operators;
    settings.SaveFeedToDisk = true;
  }
  static void Prepare(TE2EHome& home) {
    using R = TProfileRight;
    home.AddAccount("oper1", "opw", "Op", 5,
                    {R::IsOperator, R::MayUseHubCommands, R::MayKickUser, R::MayNeverBeKicked});
  }
};

TEST_F(CommandsTest, RepliesByMainChatAndPrivateMessageAreByteExact) {
  auto oper = Login("oper1", "opw");
  auto bob = Login("bob1");
  ASSERT_TRUE(oper && bob);
  oper->Drain(200ms);

  ASSERT_TRUE(oper->Send("<oper1> !kick|"));
  ASSERT_EQ(oper->ReadUntil("<oper1> !kick|"), "<oper1> !kick|");
  EXPECT_EQ(oper->Read(), Bot("[command] !kick"));
  EXPECT_EQ(oper->Read(), Bot("Wrong number of parameters. Type !help for help"));

  ASSERT_TRUE(oper->Send("$To: HubBot From: oper1 $<oper1> .kick|"));
  EXPECT_EQ(oper->Read(),
            "$To: oper1 From: HubBot $<HubBot> Wrong number of parameters. Type .help for help|");

  ASSERT_TRUE(oper->Send("<oper1> #nosuch $x|"));
  EXPECT_EQ(oper->Read(), "<oper1> #nosuch $x|");
  EXPECT_EQ(oper->Read(), Bot("[command] #nosuch $x"));
  EXPECT_EQ(oper->Read(), Bot("Unknown command! type #help for help!"));

  // Bob saw the main-chat echoes, never the private one nor any reply.
  ASSERT_TRUE(oper->Send("<oper1> done|"));
  EXPECT_EQ(Until(*bob, "<oper1> done|"),
            (std::vector<std::string>{"<oper1> !kick|", "<oper1> #nosuch $x|"}));
}

TEST_F(CommandsTest, TheSectionSignIsAPrefixAsOneByteOnly) {
  auto op = Login("oper1", "opw");
  auto bob = Login("bob2");
  ASSERT_TRUE(op && bob);
  op->Drain(200ms);
  ASSERT_TRUE(op->Send("<oper1> \xA7help|"));
  EXPECT_EQ(op->ReadUntil("<HubBot> [command]"), Bot("[command] \xA7help"));
  const std::optional<std::string> help = op->Read();
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->starts_with("<HubBot> \r\n These commands are available to you:\r\n\r\n "
                                "\xA7help (h)"))
      << *help;
  EXPECT_NE(help->find(" \xA7kick <user> [reason]"), std::string::npos);

  ASSERT_TRUE(bob->Send("<bob2> \xC2\xA7help|"));
  EXPECT_EQ(op->ReadUntil("<bob2> "), "<bob2> \xC2\xA7help|");
}

TEST_F(CommandsTest, BuiltInCommandsAnswerAndAreNotBroadcast) {
  auto oper = Login("oper1", "opw");
  auto bob = Login("bob3");
  auto carol = Login("carol3");
  ASSERT_TRUE(oper && bob && carol);
  oper->Drain(200ms);
  carol->Drain(100ms);

  ASSERT_TRUE(bob->Send("<bob3> +showtopic|<bob3> +hy x|<bob3> plain|"));
  EXPECT_EQ(bob->ReadUntil("<HubBot> "), Bot("No topic has been set"));
  EXPECT_EQ(bob->Read(), Bot("Parameter is not a number. Type 123, not ABC!"));
  EXPECT_EQ(bob->Read(), "<bob3> plain|");
  // The operators see the commands; other users only the chat.
  EXPECT_EQ(Until(*oper, "<bob3> plain|"),
            (std::vector<std::string>{"<bob3> +showtopic|", "<bob3> +hy x|"}));
  EXPECT_EQ(Until(*carol, "<bob3> plain|"), std::vector<std::string>{});
}

TEST_F(CommandsTest, TwoKicksOfOneUserInOneWriteKickOnce) {
  auto oper = Login("oper1", "opw");
  // From an address of its own: the kick bans it for a while.
  auto bob = TNmdcClient::Connect(home_->Port(), false, "127.0.9.4");
  ASSERT_TRUE(oper && bob && bob->Login("bob4"));
  oper->Drain(200ms);

  ASSERT_TRUE(oper->Send("<oper1> !kick bob4 spam, twice|<oper1> +kick bob4 spam|<oper1> done|"));
  const std::string announced = Bot("bob4, IP address: 127.0.9.4 was kicked by oper1 because: "
                                    "spam, twice");
  EXPECT_EQ(Until(*oper, "<oper1> done|"),
            (std::vector<std::string>{"<oper1> !kick bob4 spam, twice|",
                                      Bot("[command] !kick bob4 spam, twice"), announced,
                                      Bot("bob4 was kicked from the hub"),
                                      "<oper1> +kick bob4 spam|"}));
  EXPECT_EQ(bob->ReadUntil("<HubBot> You were"),
            Bot("You were kicked by oper1 because: spam, twice"));
  EXPECT_TRUE(bob->WaitClosed());

  // The feed reaches standard output and the day's file, once.
  const std::string feedLine = "bob4 was kicked by oper1 because: spam, twice";
  ASSERT_TRUE(home_->Hub().WaitForOutput(feedLine));
  const std::string output = home_->Hub().Output();
  EXPECT_EQ(output.find(feedLine), output.rfind(feedLine)) << output;
  std::string files;
  for (const auto& entry : std::filesystem::directory_iterator(home_->File("feed"))) {
    std::ifstream in(entry.path(), std::ios::binary);
    files.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_NE(files.find(feedLine), std::string::npos);
  EXPECT_EQ(files.find(feedLine), files.rfind(feedLine));
}

TEST(CommandsRegMeTest, ARegisteredNickAsksForItsPasswordAndIsSavedOnStop) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.AllowUsersToRegister = true;
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  {
    auto user = TNmdcClient::Connect(home.Port());
    ASSERT_TRUE(user && user->Login("reg5"));
    ASSERT_TRUE(user->Send("<reg5> +regme s3cret|"));
    EXPECT_EQ(user->ReadUntil("<HubBot> "),
              Bot("Your nick has been registered, upon next connection you'll have to supply "
                  "the password s3cret (this message is only visible to you)"));
  }
  auto again = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(again && again->Handshake("reg5"));
  ASSERT_EQ(again->ReadUntil("$GetPass"), "$GetPass|");
  ASSERT_TRUE(again->Send("$MyPass s3cret|"));
  EXPECT_TRUE(again->ReadUntil("$Hello reg5|"));
  again.reset();

  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();
  SetProgramFolder(home.Folder());
  TUserRegistered saved;
  ASSERT_TRUE(saved.Load());
  ASSERT_NE(saved.Find("reg5"), nullptr);
  EXPECT_EQ(saved.Find("reg5")->Pass, "s3cret");
}
