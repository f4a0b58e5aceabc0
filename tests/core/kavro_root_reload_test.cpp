// Reloading accounts.xml while a registered user is half way through its
// login: the connection must move to the reloaded account object, so the
// password it is asked for is the one the file holds now.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/hub_core.h"
#include "core/kavro_root.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "platform/tcp_listener.h"
#include "security/account.h"
#include "security/accounts.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "support/loop_runner.h"
#include "support/loopback_hub.h"
#include "support/nmdc_test_client.h"
#include "support/temp_folder.h"

namespace {

TEST(KavroRootReloadTest, HalfWayLoginFollowsTheReloadedAccount) {
  TTempFolder home{"kavro-reload-"};
  EventLoop loop;
  TKavroRoot root(loop, home.String());
  EXPECT_FALSE(root.Profiles().Load());  // no files yet: lifts the save guards
  EXPECT_FALSE(root.Accounts().Load());
  ASSERT_NE(root.Profiles().Add("Ops"), nullptr);
  std::shared_ptr<TAccount> alice = root.Accounts().Add("alice", "Ops");
  ASSERT_NE(alice, nullptr);
  alice->Pass = "old-secret";
  ASSERT_TRUE(root.Profiles().Save());
  ASSERT_TRUE(root.Accounts().Save());

  THubCore& core = root.HubCore();
  const int port = StartOnLoopback(core);
  ASSERT_NE(port, 0);
  TNmdcTestClient client;
  ASSERT_TRUE(client.Greet(loop, port, "alice")) << client.Received();
  ASSERT_TRUE(client.WaitFor(loop, "$GetPass|")) << client.Received();

  // Another process changes the password; the hub reloads the file.
  const std::string file = home.File("settings/accounts.xml");
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(file, bytes));
  const auto at = bytes.find("old-secret");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 10, "new-secret");
  ASSERT_TRUE(WriteFileAtomic(file, bytes));
  ASSERT_TRUE(root.Accounts().Load());

  std::shared_ptr<TAccount> reloaded = root.Accounts().Find("alice");
  ASSERT_NE(reloaded, nullptr);
  EXPECT_NE(reloaded, alice);
  EXPECT_TRUE(alice->Deleted);
  EXPECT_EQ(reloaded->InUseCount, 1);  // the half-way login moved over, counted once

  ASSERT_TRUE(client.Send("$MyPass new-secret|"));
  ASSERT_TRUE(client.WaitFor(loop, "$Hello alice|")) << client.Received();
  EXPECT_EQ(client.Received().find("$BadPass"), std::string::npos);
  core.Stop();
}

}  // namespace

namespace {

// A renamed bot is announced to the users logged in at that moment.
TEST(KavroRootReloadTest, BotRenameReachesLoggedInUsers) {
  TTempFolder home{"kavro-botname-"};
  EventLoop loop;
  TKavroRoot root(loop, home.String());
  THubCore& core = root.HubCore();
  const int port = StartOnLoopback(core);
  ASSERT_NE(port, 0);
  TNmdcTestClient client;
  ASSERT_TRUE(client.Greet(loop, port, "bob")) << client.Received();
  ASSERT_TRUE(client.WaitFor(loop, "$Hello bob|")) << client.Received();
  ASSERT_TRUE(client.Send("$Version 1,0091|$GetNickList|$MyINFO $ALL bob <++ V:0.868,M:A,H:1/0/0,S:2>$ $LAN(T1)\x01$$10000000000$|"));
  ASSERT_TRUE(client.WaitFor(loop, "$MyINFO $ALL bob ")) << client.Received();

  ASSERT_TRUE(root.Settings().SetBotName("Keeper"));
  EXPECT_TRUE(client.WaitFor(loop, "$Hello Keeper|")) << client.Received();
  EXPECT_NE(client.Received().find("$Quit -Kavro-|"), std::string::npos) << client.Received();
  EXPECT_NE(client.Received().find("$OpList Keeper$$|"), std::string::npos) << client.Received();
  core.Stop();
}

}  // namespace
