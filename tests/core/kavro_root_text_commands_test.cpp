// The root wires the text commands: the delegator asks them, the hub's
// periodic work runs the timed ones, and their file is one of the set.

#include <gtest/gtest.h>

#include "core/commands/chat_rooms.h"
#include "core/commands/command_delegator.h"
#include "core/commands/text_commands.h"
#include "core/kavro_root.h"
#include "core/program_lifecycle.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "security/profiles.h"
#include "support/temp_folder.h"

namespace {

class KavroRootTextCommandsTest : public testing::Test {
 protected:
  TTempFolder home_{"kavro-root-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
};

TEST_F(KavroRootTextCommandsTest, TheHubsPeriodicWorkRunsTimedCommands) {
  TTextCommands& commands = root_.TextCommands();
  commands.SetClock([] { return std::uint64_t{3600000}; });
  ASSERT_NE(commands.Add("timed"), nullptr);
  TTextCommand& timed = *commands.Find("timed");
  timed.BroadCast = 2;
  commands.SetSchedule(timed, 1);
  timed.LastRun = 0;  // long overdue
  root_.Hub().RunScheduledWork();
  EXPECT_NE(timed.LastRun, 0u);
}

TEST_F(KavroRootTextCommandsTest, TheFilesBelongToTheSet) {
  EXPECT_TRUE(root_.SettingsFiles().Registered(TSettingsList::TextCommands));
  EXPECT_TRUE(root_.SettingsFiles().Registered(TSettingsList::ChatRooms));
}

// A reload of profiles.xml relinks the rooms' profile sets by name.
TEST_F(KavroRootTextCommandsTest, AProfilesReloadRelinksTheRooms) {
  root_.SettingsFiles().SetSleep([](std::uint64_t) {});
  root_.SettingsFiles().LoadAll(false);
  ASSERT_NE(root_.Profiles().Add("Gone"), nullptr);
  ASSERT_NE(root_.Profiles().Add("Kept"), nullptr);
  ASSERT_TRUE(root_.Profiles().Save());
  TChatRooms& rooms = root_.ChatRooms();
  auto room = rooms.Make("#r");
  room->Visibles = {root_.Profiles().Find("Gone"), root_.Profiles().Find("Kept")};
  ASSERT_TRUE(rooms.Add(std::move(room)));
  ASSERT_TRUE(root_.Profiles().Delete("Gone"));
  ASSERT_TRUE(root_.Profiles().Save());
  root_.SettingsFiles().LoadAll(false);
  ASSERT_NE(rooms.Find("#r"), nullptr);
  const TChatRoom& kept = *rooms.Find("#r");
  ASSERT_EQ(kept.Visibles.size(), 1u);
  EXPECT_EQ(kept.Visibles[0], root_.Profiles().Find("Kept"));
}

}  // namespace
