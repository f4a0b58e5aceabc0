// The three scanner files as the root's settings files: loaded and saved in
// the runs, a damaged one kept for repair.
#include <gtest/gtest.h>

#include <string>

#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "security/mc_scanner.h"
#include "security/word_scanner.h"
#include "support/temp_folder.h"

namespace {

class KavroRootScannersTest : public testing::Test {
 protected:
  KavroRootScannersTest() { root_.SettingsFiles().SetSleep([](std::uint64_t) {}); }

  std::string File(const char* name) const { return home_.File(std::string("settings/") + name); }

  TTempFolder home_{"kavro-root-scanners-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};
};

TEST_F(KavroRootScannersTest, RunsLoadAndSaveTheScanners) {
  TSettingsFileSet& files = root_.SettingsFiles();
  for (TSettingsList list :
       {TSettingsList::MCScanner, TSettingsList::PMScanner, TSettingsList::SearchScanner})
    ASSERT_TRUE(files.Registered(list));
  EXPECT_TRUE(files.LoadAll(false));  // a fresh home: nothing to read
  ASSERT_NE(root_.MCScanner().Add("mcword"), nullptr);
  ASSERT_NE(root_.PMScanner().Add("pmword"), nullptr);
  ASSERT_NE(root_.SearchScanner().Add("srword"), nullptr);
  ASSERT_TRUE(files.SaveAll(false));

  for (const char* name : {"mc_scanner.xml", "pm_scanner.xml", "search_scanner.xml"}) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(File(name), bytes)) << name;
  }
  root_.MCScanner().Clear();
  root_.PMScanner().Clear();
  root_.SearchScanner().Clear();
  EXPECT_TRUE(files.LoadAll(false));
  EXPECT_NE(root_.MCScanner().Find("mcword"), nullptr);
  EXPECT_NE(root_.PMScanner().Find("pmword"), nullptr);
  EXPECT_NE(root_.SearchScanner().Find("srword"), nullptr);
}

TEST_F(KavroRootScannersTest, DamagedFileIsKeptForRepair) {
  TSettingsFileSet& files = root_.SettingsFiles();
  const std::string damaged = "<?xml version=\"1.0\"?>\r\n<PrivateMessageScanner><Item>";
  ASSERT_TRUE(WriteFileAtomic(File("search_scanner.xml"), damaged));
  EXPECT_FALSE(files.LoadAll(false));
  EXPECT_TRUE(files.KeptForRepair(TSettingsList::SearchScanner));
  root_.SearchScanner().Add("new");
  files.SaveAll(false);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(File("search_scanner.xml"), bytes));
  EXPECT_EQ(bytes, damaged);
}

}  // namespace
