// Protected nicks against a real kavrod over loopback: the password asked
// for and checked, the use kept in protected.xml, and the file rewritten
// (and damaged) while users wait at "$GetPass".

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "platform/local_clock.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "security/user_registered.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

std::string BotLine(TLanguageKey key) {
  return "<-Kavro-> " + std::string(LanguageKeyInfo(key).DefaultText) + "|";
}

TDateTime At(int year, int month, int day) {
  TDateTime value;
  EXPECT_TRUE(TryEncodeDateTime({year, month, day, 0, 0, 0}, value));
  return value;
}

// Writes settings/protected.xml as the hub's list would: the nicks `fill`
// adds, each with a password.
void WriteProtected(const std::string& home,
                    const std::function<void(TUserRegistered&)>& fill) {
  SetProgramFolder(home);
  TUserRegistered list;
  list.Load();
  list.Clear();
  fill(list);
  ASSERT_TRUE(list.Save());
}

TUserRegItem& Protect(TUserRegistered& list, const std::string& nick, const std::string& pass) {
  TUserRegItem* item = list.Add(nick);
  EXPECT_NE(item, nullptr) << nick;
  item->Pass = pass;
  return *item;
}

// Up to "$GetPass"; null when the hub did not ask.
std::unique_ptr<TNmdcClient> AtGetPass(int port, const std::string& nick) {
  auto client = TNmdcClient::Connect(port);
  if (!client || !client->Handshake(nick) || !client->ReadUntil("$GetPass|")) return nullptr;
  return client;
}

// Sends the password and expects the refusal and the close.
void ExpectRefused(TNmdcClient& client, const std::string& password) {
  client.Send("$MyPass " + password + "|");
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_EQ(client.Received().back(), BotLine(TLanguageKey::IncorrectPassword))
      << client.ReceivedText();
  EXPECT_FALSE(client.Got("$Hello"));
}

TEST(ProtectedNickTest, PasswordDecidesAndTheUseIsSaved) {
  TE2EHome home;
  home.WriteSettings();
  {
    // With the away time on, the login reads the entry's last use for the
    // greeting gate: a wrong guess must not count as a use.
    SetProgramFolder(home.Folder());
    TSettings settings;
    TProfiles profiles(settings);
    profiles.Load();
    profiles.Registered()->AllowUseAnnouncementAwayTimeEnabled = true;
    ASSERT_TRUE(profiles.Save());
  }
  const TDateTime old = At(2020, 1, 1);
  WriteProtected(home.Folder(), [&](TUserRegistered& list) {
    TUserRegItem& keeper = Protect(list, "keeper", "right");
    keeper.LastUsed = old;
    keeper.Uptime = 1000;
    Protect(list, "victim", "v").LastUsed = old;
  });
  const TDateTime before = NowLocal();
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  auto wrong = AtGetPass(home.Port(), "Keeper");  // any letter case
  ASSERT_NE(wrong, nullptr);
  ExpectRefused(*wrong, "Right");

  auto guess = AtGetPass(home.Port(), "victim");
  ASSERT_NE(guess, nullptr);
  ExpectRefused(*guess, "guess");

  auto right = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(right && right->Login("keeper", "right")) << right->ReceivedText();
  EXPECT_TRUE(right->Got("$GetPass|"));
  EXPECT_FALSE(right->Got("$LogedIn"));
  std::this_thread::sleep_for(200ms);  // a session the uptime must show
  right.reset();

  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();
  struct stat info {};
  ASSERT_EQ(stat(home.File("settings/protected.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  SetProgramFolder(home.Folder());
  TUserRegistered saved;
  ASSERT_TRUE(saved.Load());
  const TUserRegItem* keeper = saved.Find("keeper");
  ASSERT_NE(keeper, nullptr);
  EXPECT_GE(keeper->LastUsed, before);
  EXPECT_GE(keeper->Uptime, 1000 + 200);
  EXPECT_EQ(saved.Find("victim")->LastUsed, old);
}

// protected.xml rewritten by hand while users wait for "$GetPass": the
// watcher reloads it and each waiting user meets the file as it is now;
// a damaged rewrite changes nothing and is kept for repair.
TEST(ProtectedNickTest, FileRewrittenWhileUsersWaitAtGetPass) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) { settings.SetAutoLoadSettings(true); });
  WriteProtected(home.Folder(), [](TUserRegistered& list) {
    Protect(list, "keeper", "old");
    Protect(list, "leaver", "gone");
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  auto oldPassword = AtGetPass(home.Port(), "keeper");
  auto removed = AtGetPass(home.Port(), "leaver");
  ASSERT_TRUE(oldPassword && removed);

  WriteProtected(home.Folder(), [](TUserRegistered& list) {
    Protect(list, "keeper", "new");
    Protect(list, "marker", "m");
  });
  // The reload has run once "marker" is asked for a password.
  bool reloaded = false;
  for (int attempt = 0; attempt < 20 && !reloaded; ++attempt) {
    auto probe = TNmdcClient::Connect(home.Port());
    ASSERT_TRUE(probe && probe->Handshake("marker"));
    reloaded = probe->ReadUntil("$GetPass|", 2s).has_value();
  }
  ASSERT_TRUE(reloaded) << home.Hub().Output();

  ExpectRefused(*oldPassword, "old");
  ExpectRefused(*removed, "gone");
  auto fresh = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(fresh && fresh->Login("leaver")) << fresh->ReceivedText();
  EXPECT_FALSE(fresh->Got("$GetPass|"));

  // Damaged while the owner waits: reported, the list stays as it was.
  auto waiting = AtGetPass(home.Port(), "keeper");
  ASSERT_NE(waiting, nullptr);
  const std::string damaged = "<?xml version=\"1.0\"?>\r\n<Protecteds version=\"1.040\"><Prot";
  ASSERT_TRUE(WriteFileAtomic(home.File("settings/protected.xml"), damaged));
  EXPECT_TRUE(home.Hub().WaitForOutput("protected nicks not loaded")) << home.Hub().Output();
  waiting->Send("$MyPass new|");
  EXPECT_TRUE(waiting->ReadUntil("$Hello keeper|").has_value()) << waiting->ReceivedText();

  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(home.File("settings/protected.xml"), bytes));
  EXPECT_EQ(bytes, damaged) << "kept for the operator's repair";
}

}  // namespace
