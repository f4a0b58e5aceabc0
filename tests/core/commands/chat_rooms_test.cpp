// Chat rooms: who sees them, joining, the members' conversation and the
// room commands, the operator commands, and chat_rooms.xml.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/commands/chat_rooms.h"
#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "platform/file_io.h"
#include "security/profiles.h"
#include "support/temp_folder.h"
#include "utils/program_folder.h"
#include "utils/string_list.h"
#include "support/owner_only.h"

class ChatRoomsTest : public TCommandsFixture {
 protected:
  ChatRoomsTest() : saved_(ProgramFolder()) {
    SetProgramFolder(home_.String());
    member_ = profiles_.Add("Member");
    member_->ProfileLevel = 2;
    admin_ = profiles_.Add("Admin");
    admin_->ProfileLevel = 5;
    admin_->SetRight(TProfileRight::IsOperator, 1);
    admin_->SetRight(TProfileRight::MayReceiveTextCommandFeed, 1);
    stranger_ = profiles_.Add("Stranger");
    alice_ = &Online("alice", member_);
    bob_ = &Online("bob", member_);
    boss_ = &Online("boss", admin_);
    eve_ = &Online("eve", stranger_);
  }
  ~ChatRoomsTest() override {
    rooms_.reset();
    SetProgramFolder(saved_);
  }

  // A room that Member may join and Admin administers.
  TChatRoom& MakeRoom(std::string name = "#talk") {
    auto room = rooms_->Make(std::move(name));
    room->MayJoins.push_back(member_);
    room->Admins.push_back(admin_);
    TChatRoom* made = room.get();
    EXPECT_TRUE(rooms_->Add(std::move(room)));
    ClearAll();
    return *made;
  }

  // The user's private message to the room.
  bool Say(THubSocket& user, std::string_view text, std::string_view room = "#talk") {
    const std::string message = "$To: " + std::string(room) + " From: " + user.Nick + " $<" +
                                user.Nick + "> " + std::string(text) + "|";
    return rooms_->HandlePrivateMessage(user, room, message);
  }
  static std::string FromRoom(const THubSocket& to, std::string_view text,
                              std::string_view sender = "#talk") {
    return "$To: " + to.Nick + " From: #talk $<" + std::string(sender) + "> " +
           std::string(text) + "|";
  }
  void ClearAll() {
    for (THubSocket* user : {alice_, bob_, boss_, eve_}) Out(*user);
  }

  TTempFolder home_;
  std::string saved_;
  TProfiles profiles_{settings_};
  THubFeed hubFeed_{settings_, language_, nickList_, stats_, home_.String() + "/feed/"};
  std::unique_ptr<TChatRooms> rooms_ = std::make_unique<TChatRooms>(TChatRoomsContext{
      settings_, language_, nickList_, nicksInUse_, profiles_, messages_, hubFeed_});
  std::shared_ptr<TProfile> member_, admin_, stranger_;
  THubSocket *alice_, *bob_, *boss_, *eve_;
};

TEST_F(ChatRoomsTest, TheDescriptionCountsMembers) {
  TChatRoom& room = MakeRoom();
  EXPECT_EQ(room.MyINFO(), "$MyINFO $ALL #talk [0] users$ $\x01$$0$|");
  room.AddMember(*alice_);
  EXPECT_EQ(room.MyINFO(), "$MyINFO $ALL #talk [1] user$ $\x01$$0$|");
  room.AddMember(*bob_);
  EXPECT_EQ(room.MyINFO(), "$MyINFO $ALL #talk [2] users$ $\x01$$0$|");
}

TEST_F(ChatRoomsTest, ARoomIsShownOnlyToWhoSeesIt) {
  MakeRoom().SetIsOperator(true);
  ClearAll();
  for (THubSocket* viewer : {alice_, eve_}) {
    SCOPED_TRACE(viewer->Nick);
    const bool sees = viewer == alice_;
    TWriteBuffer nicks{1}, ops{1}, infos{1};
    rooms_->AppendNickList(*viewer, nicks);
    rooms_->AppendOpList(*viewer, ops);
    rooms_->AppendMyINFO(*viewer, infos);
    EXPECT_EQ(nicks.View(), sees ? "#talk$$" : "");
    EXPECT_EQ(ops.View(), sees ? "#talk$$" : "");
    EXPECT_EQ(infos.View(), sees ? "$MyINFO $ALL #talk [0] users$ $\x01$$0$|" : "");
  }
  // Through the whole list: in "$NickList" without NoHello.
  nickList_.SetRooms(rooms_.get());
  nickList_.SendNickList(*alice_);
  EXPECT_NE(Out(*alice_).find("$NickList HubBot$$#talk$$"), std::string::npos);
  nickList_.SendNickList(*eve_);
  EXPECT_EQ(Out(*eve_).find("#talk"), std::string::npos);
  nickList_.SetRooms(nullptr);
}

TEST_F(ChatRoomsTest, JoiningWelcomesAndTellsTheOthersTheCount) {
  MakeRoom();
  EXPECT_TRUE(Say(*alice_, "+join"));
  EXPECT_EQ(Out(*alice_),
            "$Hello #talk|$MyINFO $ALL #talk [1] user$ $\x01$$0$|" +
                FromRoom(*alice_, "Welcome alice to this chatroom, write +help to recieve a list "
                                  "of available commands",
                         "#talk"));
  EXPECT_EQ(Out(*bob_), "$MyINFO $ALL #talk [1] user$ $\x01$$0$|");
  EXPECT_EQ(Out(*eve_), "");
  // A stranger may not join; nothing is said.
  EXPECT_TRUE(Say(*eve_, "+join"));
  EXPECT_EQ(Out(*eve_), "");
  // A welcome text of the room's own.
  ASSERT_NE(rooms_->Find("#talk"), nullptr);
  rooms_->Find("#talk")->WelcomeMessage = "Hi <nick> of <profile>";
  Say(*bob_, "+join");
  EXPECT_NE(Out(*bob_).find(FromRoom(*bob_, "Hi bob of Member")), std::string::npos);
}

// Nobody joins a locked room by command, not even its administrator; it is
// still seen, and nothing is said.
TEST_F(ChatRoomsTest, ALockedRoomIsNotJoined) {
  TChatRoom& room = MakeRoom("#shut");
  room.Locked = true;
  for (THubSocket* user : {alice_, boss_}) {
    SCOPED_TRACE(user->Nick);
    EXPECT_FALSE(room.MayJoin(user->Rights()));
    EXPECT_TRUE(room.Sees(user->Rights()));
    EXPECT_TRUE(Say(*user, "+join", "#shut"));
    EXPECT_FALSE(room.IsMember(*user));
    EXPECT_EQ(room.MemberCount(), 0);
    EXPECT_EQ(Out(*user), "");
  }
  room.Locked = false;
  EXPECT_TRUE(Say(*alice_, "+join", "#shut"));
  EXPECT_TRUE(room.IsMember(*alice_));
}

TEST_F(ChatRoomsTest, AMembersTextReachesTheOtherMembersOnly) {
  TChatRoom& room = MakeRoom();
  room.AddMember(*alice_);
  room.AddMember(*bob_);
  ClearAll();
  EXPECT_TRUE(Say(*alice_, "hello all"));
  EXPECT_EQ(Out(*bob_), FromRoom(*bob_, "hello all", "alice"));
  EXPECT_EQ(Out(*alice_), "");
  EXPECT_EQ(Out(*boss_), "");
  // "+" alone and unknown words are text for a member.
  Say(*alice_, "+");
  EXPECT_EQ(Out(*bob_), FromRoom(*bob_, "+", "alice"));
  Say(*alice_, "+foo bar");
  EXPECT_EQ(Out(*bob_), FromRoom(*bob_, "+foo bar", "alice"));
  // A non-member is told what the room is.
  for (std::string_view text : {"hi", "+", "+foo"}) {
    Say(*eve_, text);
    EXPECT_EQ(Out(*eve_), FromRoom(*eve_, "This is a chatroom, type +h for help"));
  }
  EXPECT_EQ(Out(*bob_), "");
  EXPECT_FALSE(Say(*alice_, "x", "#nothere"));
}

TEST_F(ChatRoomsTest, ListAnswersThoseWhoSeeTheRoom) {
  TChatRoom& room = MakeRoom();
  settings_.MaxHitsOnSearch = 1;
  Say(*alice_, "+list x*");
  EXPECT_EQ(Out(*alice_), FromRoom(*alice_, "\r\nShowing 0 hits from offset 0, total hits: 0\r\n"));
  room.AddMember(*alice_);
  room.AddMember(*bob_);
  ClearAll();
  Say(*alice_, "+list");
  EXPECT_EQ(Out(*alice_),
            FromRoom(*alice_, "\r\nShowing 1 hits from offset 0, total hits: 2\r\nalice\r\n"));
  Say(*alice_, "+list * 1");
  EXPECT_EQ(Out(*alice_),
            FromRoom(*alice_, "\r\nShowing 1 hits from offset 1, total hits: 2\r\nbob\r\n"));
  Say(*alice_, "+list x*");
  EXPECT_EQ(Out(*alice_), FromRoom(*alice_, "No users where found matching the pattern: x*"));
  Say(*eve_, "+list");
  EXPECT_EQ(Out(*eve_), "");
}

TEST_F(ChatRoomsTest, AdministratorsInviteAndKick) {
  TChatRoom& room = MakeRoom();
  EXPECT_TRUE(Say(*boss_, "+invite eve"));
  EXPECT_EQ(Out(*boss_), "$MyINFO $ALL #talk [1] user$ $\x01$$0$|" +
                             FromRoom(*boss_, "eve was invited to this chatroom"));
  EXPECT_EQ(Out(*eve_), "$Hello #talk|$MyINFO $ALL #talk [1] user$ $\x01$$0$|" +
                            FromRoom(*eve_, "You've been invited by boss, send +help to list "
                                            "available commands"));
  EXPECT_TRUE(room.IsMember(*eve_));
  Say(*boss_, "+invite eve");
  EXPECT_EQ(Out(*boss_),
            FromRoom(*boss_, "eve is already a part of this chatroom and can't be invited again"));
  Say(*boss_, "+invite HubBot");
  EXPECT_NE(Out(*boss_).find("hardly needs your invitation"), std::string::npos);
  Say(*boss_, "+invite nobody");
  EXPECT_EQ(Out(*boss_), FromRoom(*boss_, "The user nobody wasn't found"));
  // Not an administrator: silent.
  ClearAll();
  Say(*alice_, "+kick eve");
  EXPECT_EQ(Out(*alice_), "");

  Say(*boss_, "+kick eve go  away");
  EXPECT_EQ(Out(*boss_), FromRoom(*boss_, "eve was kicked from this chatroom") +
                             "$MyINFO $ALL #talk [0] users$ $\x01$$0$|");
  // She does not see the room on her own: it leaves her list.
  EXPECT_EQ(Out(*eve_), FromRoom(*eve_, "You've been kicked by boss because: go away") +
                            "$Quit #talk|");
  EXPECT_FALSE(room.IsMember(*eve_));
  // A stronger member cannot be kicked.
  room.AddMember(*boss_);
  auto weak = profiles_.Add("WeakAdmin");
  room.Admins.push_back(weak);
  THubSocket& small = Online("small", weak);
  ClearAll();
  Say(small, "+kick boss");
  EXPECT_EQ(Out(small), FromRoom(small, "This user is too powerful for a safe victory"));
  // A locked room takes no commands.
  room.Locked = true;
  Say(*boss_, "+invite alice");
  EXPECT_EQ(Out(*boss_), "");
}

TEST_F(ChatRoomsTest, LeaveAndDisconnectEndMembership) {
  TChatRoom& room = MakeRoom();
  room.AddMember(*alice_);
  room.AddMember(*bob_);
  ClearAll();
  Say(*alice_, "+leave");
  EXPECT_EQ(Out(*alice_), FromRoom(*alice_, "Bye alice, hope to see you soon!") +
                              "$MyINFO $ALL #talk [1] user$ $\x01$$0$|");
  rooms_->RemoveUser(*bob_);
  EXPECT_EQ(room.MemberCount(), 0);
}

TEST_F(ChatRoomsTest, NamesTheHubHoldsAreNotTaken) {
  EXPECT_FALSE(rooms_->Add(rooms_->Make("hubbot")));
  MakeRoom();
  EXPECT_FALSE(rooms_->Add(rooms_->Make("#TALK")));
  EXPECT_TRUE(nicksInUse_.Exists("#talk"));
  rooms_->SetFeedRoom(rooms_->Find("#talk"));
  EXPECT_TRUE(rooms_->Delete("#talk"));
  EXPECT_FALSE(nicksInUse_.Exists("#talk"));
  EXPECT_TRUE(nicksInUse_.Exists("HubBot"));
  EXPECT_EQ(rooms_->FeedRoom(), nullptr);
  EXPECT_EQ(Out(*alice_), "$Quit #talk|");
  EXPECT_EQ(Out(*eve_), "");
}

TEST_F(ChatRoomsTest, OperatorCommandsCreateAndDelete) {
  struct TCase {
    std::string_view Name;
    std::string_view Answer;
  };
  const TCase cases[] = {
      {"", "Could not create chatroom: Name of chatroom missing!"},
      {"ab", "Could not create chatroom: Name of chatroom missing!"},
      {std::string_view("0123456789012345678901234567890123"),
       "Could not create chatroom: Name of chatroom must be less than 32 characters!"},
      // The limit itself is too long already; one less is taken.
      {std::string_view("#1234567890123456789012345678901"),
       "Could not create chatroom: Name of chatroom must be less than 32 characters!"},
      {std::string_view("#123456789012345678901234567890"), "Chatroom created succesfully!"},
      {"#ab", "Chatroom created succesfully!"},
      {"bob", "Could not create chatroom: The nickname is already in use by another user or chatroom!"},
      {"hubbot", "Could not create chatroom: The nickname is already in use by another user or chatroom!"},
      {"#new", "Chatroom created succesfully!"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Name));
    rooms_->CreateRoom(c.Name, true, false, *boss_);
    EXPECT_TRUE(Out(*boss_).starts_with(Bot(c.Answer)));
  }
  ASSERT_NE(rooms_->Find("#new"), nullptr);
  EXPECT_TRUE(rooms_->Find("#new")->MayJoin(*stranger_));
  ClearAll();
  EXPECT_FALSE(rooms_->DeleteRoom("#old", *boss_));
  EXPECT_EQ(Out(*boss_), Bot("Chatroom not found!"));
  EXPECT_TRUE(rooms_->DeleteRoom("#NEW", *boss_));
  EXPECT_EQ(Out(*eve_), "$Quit #new|" + Bot("boss deleted the chatroom #new"));
}

// A name with spaces is stored with no-break spaces; deleting by the same
// typed name finds it.
TEST_F(ChatRoomsTest, TheOperatorCommandsAgreeOnANameWithSpaces) {
  admin_->SetRight(TProfileRight::MayAdminChatRooms, 1);
  ctx_.ChatRooms = rooms_.get();
  TStringList tokens{16};
  THubCommands commands{ctx_, tokens};
  std::string message;
  const auto run = [&](std::string_view text) {
    message = BotPM(*boss_, text);
    const std::size_t position = PMStart(*boss_);
    tokens.Split(std::string_view(message).substr(position + 1, message.size() - position - 2),
                 ' ');
    commands.SetSender(*boss_, message, true);
    commands.HandleMessage(position, true);
  };
  run("!addchatroom My Room");
  ASSERT_NE(rooms_->Find("My\xA0Room"), nullptr);
  ClearAll();
  run("!delchatroom my room");
  EXPECT_EQ(rooms_->Find("My\xA0Room"), nullptr);
  EXPECT_EQ(Out(*boss_), Bot("Chatroom deleted!") + "$Quit My\xA0Room|" +
                             Bot("boss deleted the chatroom My\xA0Room"));
  run("!delchatroom My Room");
  EXPECT_EQ(Out(*boss_), Bot("Chatroom not found!"));
}

TEST_F(ChatRoomsTest, WrittenForTheOwnerOnly) {
  rooms_->Load();
  MakeRoom("#a");
  ExpectSavedOwnerOnly(TChatRooms::FilePath(), [this] { return rooms_->Save(); });
}

TEST_F(ChatRoomsTest, TheFileRoundTripsAndReadsOldRules) {
  EXPECT_FALSE(rooms_->Save());  // nothing read yet
  EXPECT_FALSE(rooms_->Load());  // no file: saving is allowed now
  TChatRoom& room = MakeRoom("#a b");
  room.Comment = "note";
  room.Locked = true;
  room.AutoJoins.push_back(profiles_.Regular());
  rooms_->SetFeedRoom(&room);
  ASSERT_TRUE(rooms_->Save());
  std::string text;
  ReadFileBytes(TChatRooms::FilePath(), text);
  const char* order[] = {"<Name>#a b", "<Feed enable=\"true\"/>", "<Locked enable=\"true\"/>",
                         "<IsOperator", "<WelcomeMessage", "<Comment>note", "<Visibles",
                         "<MayJoins>", "<Profile>Member", "<AutoJoins>", "<Profile>Regular",
                         "<Admins>", "<Profile>Admin"};
  std::size_t last = 0;
  for (const char* element : order) {
    const std::size_t at = text.find(element, last);
    EXPECT_NE(at, std::string::npos) << element << "\n" << text;
    last = at;
  }

  rooms_ = std::make_unique<TChatRooms>(TChatRoomsContext{
      settings_, language_, nickList_, nicksInUse_, profiles_, messages_, hubFeed_});
  nicksInUse_.Remove("#a b");
  ASSERT_TRUE(WriteFileAtomic(
      TChatRooms::FilePath(),
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Chatrooms version=\"1.033\">\n"
      "<ChatRoom><Name>old one</Name><JoinStyle>0</JoinStyle>"
      "<AutoJoins><Profile>Member</Profile><Profile>Nobody</Profile><Profile>member</Profile>"
      "</AutoJoins></ChatRoom>\n"
      "<ChatRoom><Name>locked</Name><JoinStyle>2</JoinStyle></ChatRoom>\n"
      "<ChatRoom><Name>wins</Name><JoinStyle>2</JoinStyle><Locked enable=\"false\"/></ChatRoom>\n"
      "<ChatRoom><Name>HubBot</Name></ChatRoom>\n"
      "<ChatRoom><Name>LOCKED</Name></ChatRoom>\n"
      "</Chatrooms>\n"));
  ASSERT_TRUE(rooms_->Load());
  ASSERT_EQ(rooms_->GetCount(), 3);
  ASSERT_NE(rooms_->Find("old\xA0one"), nullptr);
  const TChatRoom& old = *rooms_->Find("old\xA0one");
  EXPECT_FALSE(old.Locked);
  EXPECT_TRUE(old.MayJoin(*profiles_.Regular()));
  EXPECT_TRUE(old.MayJoin(*profiles_.Registered()));
  EXPECT_EQ(old.AutoJoins.size(), 1u);
  ASSERT_NE(rooms_->Find("locked"), nullptr);
  EXPECT_TRUE(rooms_->Find("locked")->Locked);
  ASSERT_NE(rooms_->Find("wins"), nullptr);
  EXPECT_FALSE(rooms_->Find("wins")->Locked);
  // The no-break space stays that byte in the file.
  ASSERT_TRUE(rooms_->Save());
  ReadFileBytes(TChatRooms::FilePath(), text);
  EXPECT_NE(text.find("<Name>old\xA0one</Name>"), std::string::npos) << text;
  // Deleting a skipped room's name never frees the bot's.
  EXPECT_FALSE(rooms_->Delete("HubBot"));
  EXPECT_TRUE(nicksInUse_.Exists("HubBot"));

  // A removed profile leaves every set after the reload.
  ASSERT_TRUE(profiles_.Delete("Member"));
  rooms_->RelinkProfiles();
  ASSERT_NE(rooms_->Find("old\xA0one"), nullptr);
  EXPECT_TRUE(rooms_->Find("old\xA0one")->AutoJoins.empty());
}

TEST_F(ChatRoomsTest, AutoJoinAndProfileChanges) {
  TChatRoom& room = MakeRoom();
  room.AutoJoins.push_back(stranger_);
  rooms_->AutoJoin(*eve_);
  EXPECT_TRUE(room.IsMember(*eve_));
  EXPECT_EQ(Out(*eve_), "$Hello #talk|$MyINFO $ALL #talk [1] user$ $\x01$$0$|");
  // NoHello clients get the "$MyINFO" alone.
  ClearAll();
  alice_->UserInfo().Supports.NoHello = true;
  rooms_->RefreshUserRooms(*alice_);
  EXPECT_EQ(Out(*alice_), "$MyINFO $ALL #talk [1] user$ $\x01$$0$|");
  room.MayJoins.clear();
  rooms_->RefreshUserRooms(*alice_);
  EXPECT_EQ(Out(*alice_), "$Quit #talk|");
}

TEST_F(ChatRoomsTest, RenamingMovesTheReservedNick) {
  TChatRoom& room = MakeRoom();
  EXPECT_FALSE(rooms_->Rename(room, "HubBot"));
  MakeRoom("#other");
  EXPECT_FALSE(rooms_->Rename(room, "#OTHER"));
  EXPECT_TRUE(rooms_->Rename(room, "#chat"));
  EXPECT_EQ(rooms_->Find("#talk"), nullptr);
  EXPECT_EQ(rooms_->Find("#chat"), &room);
  EXPECT_FALSE(nicksInUse_.Exists("#talk"));
  EXPECT_TRUE(nicksInUse_.Exists("#chat"));
  EXPECT_EQ(Out(*alice_), "$Quit #talk|$Hello #chat|$MyINFO $ALL #chat [0] users$ $\x01$$0$|");
  EXPECT_EQ(Out(*eve_), "");
}
