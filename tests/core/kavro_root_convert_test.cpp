// Importing Murn's profiles and accounts with clear-old while a registered
// user is logged in: the user stays, keeps chatting and is bound to the
// imported account and profile, a chat room takes the new profile, and the
// old objects go once released.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/commands/chat_rooms.h"
#include "core/hub_core.h"
#include "core/hub_socket.h"
#include "core/kavro_root.h"
#include "core/nick_list.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "platform/tcp_listener.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/settings_converter.h"
#include "support/loop_runner.h"
#include "support/loopback_hub.h"
#include "support/nmdc_test_client.h"
#include "support/temp_folder.h"

namespace {

TEST(KavroRootConvertTest, ClearOldKeepsALoggedInUserBoundToTheImport) {
  TTempFolder home{"kavro-convert-root-"};
  TTempFolder murn{"kavro-convert-murn-"};
  EventLoop loop;
  TKavroRoot root(loop, home.String());
  ASSERT_NE(root.Profiles().Add("Members"), nullptr);
  std::shared_ptr<TAccount> before = root.Accounts().Add("alice", "Members");
  ASSERT_NE(before, nullptr);
  before->Pass = "old";
  std::weak_ptr<TProfile> oldProfile = root.Profiles().Find("Members");
  auto room = std::make_unique<TChatRoom>(root.ChatRooms(), "Lounge");
  room->MayJoins.push_back(root.Profiles().Find("Members"));
  ASSERT_TRUE(root.ChatRooms().Add(std::move(room)));

  THubCore& core = root.HubCore();
  const int port = StartOnLoopback(core);
  ASSERT_NE(port, 0);
  TNmdcTestClient client;
  ASSERT_TRUE(client.Greet(loop, port, "alice")) << client.Received();
  ASSERT_TRUE(client.WaitFor(loop, "$GetPass|")) << client.Received();
  ASSERT_TRUE(client.Send("$MyPass old|"));
  ASSERT_TRUE(client.WaitFor(loop, "$Hello alice|")) << client.Received();
  ASSERT_TRUE(client.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL alice <++ V:0.868,M:A,"
                          "H:1/0/0,S:2>$ $LAN(T1)\x01$$10000000000$|"));
  ASSERT_TRUE(client.WaitFor(loop, "$MyINFO $ALL alice ")) << client.Received();
  EXPECT_EQ(before->InUseCount, 1);

  // Murn's "Members" is an operators' profile (level 2).
  const std::string profiles = murn.File("profiles.xml");
  const std::string accounts = murn.File("accounts.xml");
  ASSERT_TRUE(WriteFileAtomic(profiles, "<Profiles><P><Key>Members</Key>"
                                        "<AccountLevel>2</AccountLevel></P></Profiles>"));
  ASSERT_TRUE(WriteFileAtomic(accounts, "<Accounts><A><Profile>Members</Profile>"
                                        "<Nick>alice</Nick><Password>new</Password></A>"
                                        "</Accounts>"));
  TSettingsConverter& converter = root.Converter();
  ASSERT_TRUE(converter.ImportProfiles(profiles, true));
  // The account is kept and moves to the new profile, and so does its user.
  THubSocket* user = root.NickList().FindUser("alice");
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(before->Profile, root.Profiles().Find("Members"));
  EXPECT_EQ(user->Profile, root.Profiles().Find("Members"));
  EXPECT_TRUE(user->IsOperator());
  const TChatRoom* lounge = root.ChatRooms().Find("Lounge");
  ASSERT_NE(lounge, nullptr);
  ASSERT_EQ(lounge->MayJoins.size(), 1u);
  EXPECT_EQ(lounge->MayJoins[0], root.Profiles().Find("Members"));

  ASSERT_TRUE(converter.ImportAccounts(accounts, true, false));

  const std::shared_ptr<TAccount> imported = root.Accounts().Find("alice");
  ASSERT_NE(imported, nullptr);
  EXPECT_NE(imported, before);
  EXPECT_TRUE(before->Deleted);
  EXPECT_EQ(imported->Pass, "new");
  ASSERT_EQ(root.NickList().FindUser("alice"), user);
  EXPECT_EQ(user->Account, imported);
  EXPECT_EQ(imported->InUseCount, 1);
  EXPECT_EQ(before->InUseCount, 0);
  EXPECT_EQ(user->Profile, root.Profiles().Find("Members"));
  EXPECT_TRUE(user->IsOperator());
  before.reset();
  EXPECT_TRUE(oldProfile.expired());  // nothing holds the retired profile now

  client.ClearReceived();
  ASSERT_TRUE(client.Send("<alice> still here|"));
  EXPECT_TRUE(client.WaitFor(loop, "<alice> still here|")) << client.Received();
  EXPECT_FALSE(client.Closed());

  client.Close();
  EXPECT_TRUE(RunLoopUntil(loop, [&] { return imported->InUseCount == 0; }));
  core.Stop();
}

}  // namespace
