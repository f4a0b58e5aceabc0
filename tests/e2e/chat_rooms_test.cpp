// Chat rooms in a real kavrod over loopback: rooms in the user lists of
// those who see them, joining, the members' talk, the room commands of an
// administrator, leaving at disconnect, the feed room, and the file after
// SIGTERM.

#include <gtest/gtest.h>

#include <initializer_list>
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

const std::string kEmpty = "$MyINFO $ALL #talk [0] users$ $\x01$$0$|";
const std::string kOne = "$MyINFO $ALL #talk [1] user$ $\x01$$0$|";
const std::string kTwo = "$MyINFO $ALL #talk [2] users$ $\x01$$0$|";

std::string From(std::string_view to, std::string_view sender, std::string_view text) {
  return "$To: " + std::string(to) + " From: #talk $<" + std::string(sender) + "> " +
         std::string(text) + "|";
}

}  // namespace

class ChatRoomsE2ETest : public TSharedHubTest<ChatRoomsE2ETest> {
 public:
  static constexpr bool kTestsStopTheHub = true;  // they read its files after SIGTERM
  static void Configure(TSettings& settings) {
    settings.SetBotName("HubBot");
  }
  static void Prepare(TE2EHome& home) {
    using R = TProfileRight;
    home.AddAccount("oper1", "opw", "Op", 5,
                    {R::IsOperator, R::MayUseHubCommands, R::MayAdminChatRooms,
                     R::MayReceiveActionFeed});
    home.AddAccount("alice", "pw", "Member", 2, {});
    home.AddAccount("carol", "pw", "Member", 2, {});
    ASSERT_TRUE(WriteFileAtomic(
        home.File("settings/chat_rooms.xml"),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Chatrooms version=\"1.040\">\n"
        "<ChatRoom><Name>#talk</Name><MayJoins><Profile>Member</Profile></MayJoins>"
        "<Admins><Profile>Op</Profile></Admins></ChatRoom>\n"
        "<ChatRoom><Name>#feed</Name><Feed enable=\"true\"/>"
        "<AutoJoins><Profile>Op</Profile></AutoJoins></ChatRoom>\n"
        "</Chatrooms>\n"));
  }

 protected:
  static bool Say(TNmdcClient& client, std::string_view nick, std::string_view text,
                  std::string_view room = "#talk") {
    return client.Send("$To: " + std::string(room) + " From: " + std::string(nick) + " $<" +
                       std::string(nick) + "> " + std::string(text) + "|");
  }
};

TEST_F(ChatRoomsE2ETest, ARoomIsListedForThoseWhoSeeIt) {
  // The test client announces NoHello: the room comes in the "$MyINFO" burst.
  auto alice = Login("alice", "pw");
  auto bob = Login("bob");
  ASSERT_TRUE(alice && bob);
  EXPECT_TRUE(alice->Got(kEmpty)) << alice->ReceivedText();
  EXPECT_FALSE(bob->Got("$MyINFO $ALL #talk "));

  // Without NoHello the room is in the "$NickList".
  auto carol = TNmdcClient::Connect(home_->Port());
  ASSERT_TRUE(carol);
  const std::optional<std::string> lock = carol->ReadUntil("$Lock ");
  ASSERT_TRUE(lock);
  const std::string text = lock->substr(6, lock->find(" Pk=") - 6);
  ASSERT_TRUE(carol->Send("$Supports UserCommand |$Key " + NmdcKey(text) +
                          "|$ValidateNick carol|"));
  ASSERT_TRUE(carol->ReadUntil("$GetPass|"));
  ASSERT_TRUE(carol->Send("$MyPass pw|"));
  ASSERT_TRUE(carol->ReadUntil("$Hello carol|"));
  ASSERT_TRUE(carol->Send("$Version 1,0091|$GetNickList|" + TNmdcClient::MyINFO("carol")));
  const std::optional<std::string> list = carol->ReadUntil("$NickList ");
  ASSERT_TRUE(list);
  EXPECT_NE(list->find("$$#talk$$"), std::string::npos) << *list;
  EXPECT_EQ(list->find("#feed"), std::string::npos) << *list;
}

TEST_F(ChatRoomsE2ETest, MembersJoinTalkAndLeave) {
  auto oper = Login("oper1", "opw");
  auto alice = Login("alice", "pw");
  auto carol = Login("carol", "pw");
  auto bob = Login("bob");
  ASSERT_TRUE(oper && alice && carol && bob);
  for (auto* client : {oper.get(), alice.get(), carol.get(), bob.get()}) client->Drain(200ms);

  ASSERT_TRUE(Say(*alice, "alice", "+join"));
  EXPECT_EQ(alice->ReadUntil("$To: alice From: #talk"),
            From("alice", "#talk",
                 "Welcome alice to this chatroom, write +help to recieve a list of available "
                 "commands"));
  EXPECT_TRUE(oper->ReadUntil(kOne));
  EXPECT_TRUE(carol->ReadUntil(kOne));
  ASSERT_TRUE(Say(*carol, "carol", "+join"));
  EXPECT_TRUE(alice->ReadUntil(kTwo));

  // The members' talk reaches the other members only.
  ASSERT_TRUE(Say(*alice, "alice", "hello room"));
  EXPECT_EQ(carol->ReadUntil("$To: carol From: #talk $<alice>"),
            From("carol", "alice", "hello room"));
  ASSERT_TRUE(Say(*bob, "bob", "let me in"));
  EXPECT_EQ(bob->ReadUntil("$To: bob From: #talk"),
            From("bob", "#talk", "This is a chatroom, type +h for help"));
  alice->Drain(300ms);
  EXPECT_FALSE(alice->Got("$To: alice From: #talk $<alice>"));

  // The administrator invites, lists and kicks.
  ASSERT_TRUE(Say(*oper, "oper1", "+invite bob"));
  EXPECT_EQ(oper->ReadUntil("$To: oper1 From: #talk"),
            From("oper1", "#talk", "bob was invited to this chatroom"));
  EXPECT_TRUE(bob->ReadUntil("$To: bob From: #talk $<#talk> You've been invited by oper1"));
  ASSERT_TRUE(Say(*oper, "oper1", "+list"));
  EXPECT_EQ(oper->ReadUntil("$To: oper1 From: #talk"),
            From("oper1", "#talk",
                 "\r\nShowing 3 hits from offset 0, total hits: 3\r\nalice\r\nbob\r\ncarol\r\n"));
  ASSERT_TRUE(Say(*oper, "oper1", "+kick bob enough"));
  EXPECT_TRUE(bob->ReadUntil(From("bob", "#talk", "You've been kicked by oper1 because: enough")));
  EXPECT_TRUE(bob->ReadUntil("$Quit #talk|"));

  // A disconnect leaves the room.
  oper->Drain(200ms);
  carol.reset();
  EXPECT_TRUE(oper->ReadUntil(kOne));
}

TEST_F(ChatRoomsE2ETest, FeedLinesReachTheFeedRoomsMembers) {
  auto oper = Login("oper1", "opw");
  ASSERT_TRUE(oper);
  oper->Drain(200ms);
  // Creating a room posts an Action feed line.
  ASSERT_TRUE(oper->Send("<oper1> !addchatroom #new one|"));
  EXPECT_TRUE(oper->ReadUntil("<HubBot> Chatroom created succesfully!|"));
  const std::optional<std::string> line = oper->ReadUntil("$To: oper1 From: #feed $<#feed> ");
  ASSERT_TRUE(line);
  EXPECT_NE(line->find("oper1 created the chatroom #new\xA0one"), std::string::npos) << *line;
  // Deleted by the name as typed.
  ASSERT_TRUE(oper->Send("<oper1> !delchatroom #new one|"));
  EXPECT_TRUE(oper->ReadUntil("<HubBot> Chatroom deleted!|"));
  EXPECT_TRUE(oper->ReadUntil("$Quit #new\xA0one|"));
}

// Last: stops the hub.
TEST_F(ChatRoomsE2ETest, ZZTheFileIsWrittenBackAtSIGTERM) {
  auto oper = Login("oper1", "opw");
  ASSERT_TRUE(oper);
  ASSERT_TRUE(oper->Send("<oper1> !addchatroom #made|"));
  EXPECT_TRUE(oper->ReadUntil("<HubBot> Chatroom created succesfully!|"));
  EXPECT_EQ(home_->StopHub(), 0) << home_->Hub().Output();
  started_ = false;
  std::string text;
  ASSERT_TRUE(ReadFileBytes(home_->File("settings/chat_rooms.xml"), text));
  EXPECT_NE(text.find("<Name>#made</Name>"), std::string::npos) << text;
  const std::size_t feed = text.find("<Name>#feed</Name>");
  ASSERT_NE(feed, std::string::npos) << text;
  EXPECT_LT(text.find("<Feed enable=\"true\"/>", feed), text.find("</ChatRoom>", feed)) << text;
}
