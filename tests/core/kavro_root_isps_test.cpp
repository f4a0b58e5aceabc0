// isps.xml as one of the root's settings files: loaded and saved in the
// runs, a damaged file kept for repair.
#include <gtest/gtest.h>

#include <string>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "security/isp_list.h"
#include "support/temp_folder.h"

namespace {

class KavroRootISPsTest : public testing::Test {
 protected:
  KavroRootISPsTest() { root_.SettingsFiles().SetSleep([](std::uint64_t) {}); }

  std::string ISPsFile() const { return home_.File("settings/isps.xml"); }

  TTempFolder home_{"kavro-root-isps-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
};

TEST_F(KavroRootISPsTest, RunsLoadAndSaveTheISPs) {
  TSettingsFileSet& files = root_.SettingsFiles();
  ASSERT_TRUE(files.Registered(TSettingsList::ISPs));
  EXPECT_TRUE(files.LoadAll(false));  // a fresh home: nothing to read
  const TISP* net = root_.ISPs().Add("Net");
  ASSERT_NE(net, nullptr);
  ASSERT_TRUE(root_.ISPs().AddIPByName(net->Name, "10.*"));
  ASSERT_TRUE(files.SaveAll(false));

  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(ISPsFile(), bytes));
  EXPECT_NE(bytes.find("<Name>Net</Name>"), std::string::npos) << bytes;
  root_.ISPs().Clear();
  EXPECT_TRUE(files.LoadAll(false));
  ASSERT_NE(root_.ISPs().FindByIP("10.1.1.1"), nullptr);
  EXPECT_EQ(root_.ISPs().FindByIP("10.1.1.1")->Name, "Net");
}

TEST_F(KavroRootISPsTest, DamagedFileIsKeptForRepair) {
  TSettingsFileSet& files = root_.SettingsFiles();
  const std::string damaged = "<?xml version=\"1.0\"?>\r\n<ISPs version=\"1.040\"><ISP>";
  ASSERT_TRUE(WriteFileAtomic(ISPsFile(), damaged));
  EXPECT_FALSE(files.LoadAll(false));
  EXPECT_TRUE(files.KeptForRepair(TSettingsList::ISPs));
  root_.ISPs().Add("new");
  files.SaveAll(false);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(ISPsFile(), bytes));
  EXPECT_EQ(bytes, damaged);
}

}  // namespace
