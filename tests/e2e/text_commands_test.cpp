// Text commands in a real kavrod over loopback: "+" lines by main chat and
// private message, the fall-through to the built-in commands, the texts of
// connect and login, operator sections, and the file after SIGTERM.

#include <gtest/gtest.h>

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
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

std::string Bot(std::string_view text) { return "<HubBot> " + std::string(text) + "|"; }

// One <TextCommand> element; `extra` holds further children.
std::string Command(std::string_view name, std::string_view content, std::string_view extra = {}) {
  return "<TextCommand><Name>" + std::string(name) +
         "</Name><MainchatCommandVisibility>1</MainchatCommandVisibility>" + std::string(extra) +
         "<Content>" + std::string(content) + "</Content></TextCommand>\n";
}

// Whether `line` came already or comes next among what `client` reads.
bool Saw(TNmdcClient& client, const std::string& line) {
  return client.Got(line) || client.ReadUntil(line).has_value();
}

}  // namespace

class TextCommandsE2ETest : public TSharedHubTest<TextCommandsE2ETest> {
 public:
  static constexpr bool kTestsStopTheHub = true;  // they read its files after SIGTERM
  static void Configure(TSettings& settings) {
    settings.SetBotName("HubBot");
    settings.IntegratedCommandsVisability = TCommandVisibility::Nobody;
  }
  static void Prepare(TE2EHome& home) {
    home.AddAccount("oper1", "opw", true);
    ASSERT_TRUE(WriteFileAtomic(
        home.File("settings/text_commands.xml"),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<TextCommands version=\"1.0\">\n" +
            Command("rules", "Rules for &lt;nick&gt;") +
            Command("stats", "not for you", "<AccessMinLevel>5</AccessMinLevel>") +
            Command("mix", "A&lt;[ops]&gt;B&lt;/[ops]&gt;") +
            Command("hello", "Hello newcomer", "<Autorun>1</Autorun><MessageType>1</MessageType>") +
            Command("motd", "Welcome &lt;nick&gt;", "<Autorun>2</Autorun>") +
            "</TextCommands>\n"));
  }
};

TEST_F(TextCommandsE2ETest, ConnectAndLoginTextsReachTheNewcomer) {
  auto bob = Login("bob1");
  ASSERT_TRUE(bob);
  // Sent before the nick was known: main chat, not a private message.
  EXPECT_TRUE(bob->Got(Bot("Hello newcomer"))) << bob->ReceivedText();
  EXPECT_FALSE(bob->Got("$To:  From:"));
  EXPECT_TRUE(Saw(*bob, Bot("Welcome bob1"))) << bob->ReceivedText();
}

TEST_F(TextCommandsE2ETest, PlusLinesAnswerByChatAndByPrivateMessage) {
  auto bob = Login("bob2");
  ASSERT_TRUE(bob);
  bob->Drain(200ms);
  ASSERT_TRUE(bob->Send("<bob2> +Rules|"));
  EXPECT_EQ(bob->Read(), "<bob2> +Rules|");
  EXPECT_EQ(bob->Read(), Bot("Rules for bob2"));
  ASSERT_TRUE(bob->Send("$To: HubBot From: bob2 $<bob2> +rules|"));
  EXPECT_EQ(bob->Read(), "$To: bob2 From: HubBot $<HubBot> Rules for bob2|");
}

TEST_F(TextCommandsE2ETest, ACallerOutsideTheRangeReachesTheBuiltInCommand) {
  auto bob = Login("bob3");
  ASSERT_TRUE(bob);
  bob->Drain(200ms);
  ASSERT_TRUE(bob->Send("<bob3> +stats|"));
  const std::optional<std::string> reply = bob->Read();
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->starts_with("<HubBot> ")) << *reply;
  EXPECT_EQ(reply->find("not for you"), std::string::npos);

  auto oper = Login("oper1", "opw");
  ASSERT_TRUE(oper);
  oper->Drain(200ms);
  ASSERT_TRUE(oper->Send("<oper1> +stats|"));
  EXPECT_TRUE(oper->ReadUntil(Bot("not for you")).has_value());
}

TEST_F(TextCommandsE2ETest, AnOperatorSectionReachesOperatorsOnly) {
  auto oper = Login("oper1", "opw");
  auto bob = Login("bob4");
  auto eve = Login("eve4");
  ASSERT_TRUE(oper && bob && eve);
  for (auto* client : {oper.get(), bob.get(), eve.get()}) client->Drain(200ms);
  ASSERT_TRUE(bob->Send("<bob4> +mix|"));
  EXPECT_EQ(oper->ReadUntil("<HubBot> "), Bot("B"));
  EXPECT_EQ(bob->Read(), "<bob4> +mix|");
  EXPECT_EQ(bob->Read(), Bot("A"));
  eve->Drain(300ms);
  EXPECT_FALSE(eve->Got("<HubBot> B")) << eve->ReceivedText();
}

// Last: stops the hub.
TEST_F(TextCommandsE2ETest, ZZTheFileIsWrittenBackAtSIGTERM) {
  EXPECT_EQ(home_->StopHub(), 0) << home_->Hub().Output();
  started_ = false;
  std::string text;
  ASSERT_TRUE(ReadFileBytes(home_->File("settings/text_commands.xml"), text));
  EXPECT_NE(text.find("<TextCommands version=\"1.040\">"), std::string::npos) << text;
  for (const char* name : {"hello", "mix", "motd", "rules", "stats"})
    EXPECT_NE(text.find(std::string("<Name>") + name + "</Name>"), std::string::npos) << name;
}
