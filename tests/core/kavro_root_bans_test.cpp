// bans.xml as one of the root's settings files: loaded and saved in the
// runs, a damaged file kept for repair.
#include <gtest/gtest.h>

#include <string>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "security/ban_list.h"
#include "support/temp_folder.h"

namespace {

class KavroRootBansTest : public testing::Test {
 protected:
  KavroRootBansTest() { root_.SettingsFiles().SetSleep([](std::uint64_t) {}); }

  std::string BansFile() const { return home_.File("settings/bans.xml"); }

  TTempFolder home_{"kavro-root-bans-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
};

TEST_F(KavroRootBansTest, RunsLoadAndSaveTheBans) {
  TSettingsFileSet& files = root_.SettingsFiles();
  ASSERT_TRUE(files.Registered(TSettingsList::Bans));
  EXPECT_TRUE(files.LoadAll(false));  // a fresh home: nothing to read
  ASSERT_NE(root_.Bans().AddNickBan("troll", "", 0, {}, "op"), nullptr);
  ASSERT_TRUE(files.SaveAll(false));

  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(BansFile(), bytes));
  EXPECT_NE(bytes.find("<Nick>troll</Nick>"), std::string::npos) << bytes;
  root_.Bans().Clear();
  EXPECT_TRUE(files.LoadAll(false));
  EXPECT_NE(root_.Bans().FindNickBan("troll"), nullptr);
}

TEST_F(KavroRootBansTest, DamagedFileIsKeptForRepair) {
  TSettingsFileSet& files = root_.SettingsFiles();
  const std::string damaged = "<?xml version=\"1.0\"?>\r\n<Bans version=\"1.040\"><Nick>";
  ASSERT_TRUE(WriteFileAtomic(BansFile(), damaged));
  EXPECT_FALSE(files.LoadAll(false));
  EXPECT_TRUE(files.KeptForRepair(TSettingsList::Bans));
  root_.Bans().AddNickBan("new", "", 0, {}, "op");
  files.SaveAll(false);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(BansFile(), bytes));
  EXPECT_EQ(bytes, damaged);
}

}  // namespace
