// protected.xml as one of the root's settings files: loaded and saved in
// the runs, reloaded by the watcher, a damaged file kept for repair.
#include <gtest/gtest.h>

#include <string>

#include "core/hub_core.h"
#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/directory_watch.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "platform/tcp_listener.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/user_registered.h"
#include "settings/settings_file_watcher.h"
#include "support/loopback_hub.h"
#include "support/nmdc_test_client.h"
#include "support/temp_folder.h"

namespace {

class KavroRootRegisteredTest : public testing::Test {
 protected:
  KavroRootRegisteredTest() { root_.SettingsFiles().SetSleep([](std::uint64_t) {}); }

  std::string File() const { return home_.File("settings/protected.xml"); }

  TTempFolder home_{"kavro-root-registered-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
};

TEST_F(KavroRootRegisteredTest, RunsAndTheWatcherLoadAndSaveTheProtectedNicks) {
  TSettingsFileSet& files = root_.SettingsFiles();
  ASSERT_TRUE(files.Registered(TSettingsList::Registered));
  EXPECT_TRUE(files.LoadAll(false));  // a fresh home: nothing to read
  ASSERT_NE(root_.Registered().Add("guarded"), nullptr);
  root_.Registered().Find("guarded")->Pass = "pw";
  ASSERT_TRUE(files.SaveAll(false));

  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(File(), bytes));
  EXPECT_NE(bytes.find("<Name>guarded</Name>"), std::string::npos) << bytes;
  root_.Registered().Clear();
  EXPECT_TRUE(files.LoadAll(false));
  EXPECT_NE(root_.Registered().Find("guarded"), nullptr);

  // Edited by hand: the watcher's reload reads it.
  root_.SettingsWatcher().SetAutoLoad(true);
  root_.Registered().Clear();
  root_.SettingsWatcher().OnSettingsFileChanged("protected.xml", TChangeKind::Modified);
  EXPECT_NE(root_.Registered().Find("guarded"), nullptr);
}

TEST_F(KavroRootRegisteredTest, DamagedFileIsKeptForRepair) {
  TSettingsFileSet& files = root_.SettingsFiles();
  const std::string damaged = "<?xml version=\"1.0\"?>\r\n<Protecteds version=\"1.040\"><Pro";
  ASSERT_TRUE(WriteFileAtomic(File(), damaged));
  EXPECT_FALSE(files.LoadAll(false));
  EXPECT_TRUE(files.KeptForRepair(TSettingsList::Registered));
  ASSERT_NE(root_.Registered().Add("new"), nullptr);
  root_.Registered().Find("new")->Pass = "pw";
  files.SaveAll(false);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(File(), bytes));
  EXPECT_EQ(bytes, damaged);
}

// The greeting gate reads the entry's last use before the password is
// checked; only an accepted password renews it.
TEST_F(KavroRootRegisteredTest, OnlyAnAcceptedPasswordCountsAsAUse) {
  EXPECT_FALSE(root_.Profiles().Load());
  root_.Profiles().Registered()->AllowUseAnnouncementAwayTimeEnabled = true;
  TUserRegistered& list = root_.Registered();
  EXPECT_FALSE(list.Load());
  const TDateTime before{1000000};
  const TDateTime now{2000000};
  list.SetClock([now] { return now; });
  TUserRegItem* item = list.Add("guarded");
  ASSERT_NE(item, nullptr);
  item->Pass = "pw";
  item->LastUsed = before;

  THubCore& core = root_.HubCore();
  const int port = StartOnLoopback(core);
  ASSERT_NE(port, 0);
  const auto attempt = [&](const char* password, const char* expected) {
    TNmdcTestClient client;
    ASSERT_TRUE(client.Greet(loop_, port, "guarded")) << client.Received();
    ASSERT_TRUE(client.WaitFor(loop_, "$GetPass|")) << client.Received();
    ASSERT_TRUE(client.Send(std::string("$MyPass ") + password + "|"));
    EXPECT_TRUE(client.WaitFor(loop_, expected)) << client.Received();
  };
  attempt("wrong", "Incorrect password|");
  ASSERT_NE(list.Find("guarded"), nullptr);
  EXPECT_EQ(list.Find("guarded")->LastUsed, before);
  attempt("pw", "$Hello guarded|");
  ASSERT_NE(list.Find("guarded"), nullptr);
  EXPECT_EQ(list.Find("guarded")->LastUsed, now);
  core.Stop();
}

}  // namespace
