// A settings file that failed to load, damaged or of another root, is kept
// for repair by every save: the save runs and each list's own save.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/commands/chat_rooms.h"
#include "core/commands/text_commands.h"
#include "core/hub_list.h"
#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "security/accounts.h"
#include "security/ban_list.h"
#include "security/isp_list.h"
#include "security/mc_scanner.h"
#include "security/profiles.h"
#include "security/user_registered.h"
#include "security/word_scanner.h"
#include "settings/settings.h"
#include "support/temp_folder.h"
#include "utils/xml_document.h"

namespace {

struct TListFile {
  TSettingsList List;
  const char* Root;
  // The list's own save, as its page calls it.
  std::function<bool(TKavroRoot&)> Save;
};

const TListFile kFiles[] = {
    {TSettingsList::Settings, "Settings", [](TKavroRoot& r) { return r.SaveSettings(); }},
    {TSettingsList::Profiles, "Profiles", [](TKavroRoot& r) { return r.Profiles().Save(); }},
    {TSettingsList::Accounts, "Accounts", [](TKavroRoot& r) { return r.Accounts().Save(); }},
    {TSettingsList::ISPs, "ISPs", [](TKavroRoot& r) { return r.ISPs().Save(); }},
    {TSettingsList::Bans, "Bans", [](TKavroRoot& r) { return r.Bans().Save(); }},
    {TSettingsList::ChatRooms, "Chatrooms", [](TKavroRoot& r) { return r.ChatRooms().Save(); }},
    {TSettingsList::HubLists, "Register",
     [](TKavroRoot& r) { return r.HubList().Hosts().Save(); }},
    {TSettingsList::TextCommands, "TextCommands",
     [](TKavroRoot& r) { return r.TextCommands().Save(); }},
    {TSettingsList::PMScanner, "PrivateMessageScanner",
     [](TKavroRoot& r) { return r.PMScanner().Save(); }},
    {TSettingsList::MCScanner, "MainChatScanner",
     [](TKavroRoot& r) { return r.MCScanner().Save(); }},
    {TSettingsList::SearchScanner, "PrivateMessageScanner",
     [](TKavroRoot& r) { return r.SearchScanner().Save(); }},
    {TSettingsList::Registered, "Protecteds", [](TKavroRoot& r) { return r.Registered().Save(); }},
};

std::string Malformed(const TListFile& file) {
  return "<?xml version=\"1.0\"?>\r\n<" + std::string(file.Root) +
         " version=\"1.040\"><Item><Name>x</Name>";
}

// Sound XML, only not this list's: another list's file copied over it, or
// a hand-made one.
std::string WrongRoot(const TListFile&) {
  return "<?xml version=\"1.0\"?>\r\n<Wrong version=\"1.040\"><Item><Name>x</Name></Item></Wrong>";
}

TEST(KavroRootKeptFilesTest, AFileThatFailedToLoadOutlivesEverySave) {
  const struct {
    const char* Name;
    std::string (*Bytes)(const TListFile&);
  } kinds[] = {{"malformed", Malformed}, {"wrong root", WrongRoot}};
  for (const TListFile& broken : kFiles) {
    for (const auto& kind : kinds) {
      const std::string name(TSettingsFileSet::FileName(broken.List));
      SCOPED_TRACE(name + ", " + kind.Name);
      TTempFolder home{"kavro-root-kept-"};
      const auto path = [&home](TSettingsList list) {
        return home.File("settings/" + std::string(TSettingsFileSet::FileName(list)));
      };
      EventLoop loop;
      TKavroRoot root{loop, home.String()};
      std::string lines;
      root.SetLineSink([&lines](std::string_view line) { (lines += line) += "\n"; });
      TSettingsFileSet& files = root.SettingsFiles();
      files.SetSleep([](std::uint64_t) {});
      ASSERT_TRUE(files.LoadAll(false));  // a fresh home
      ASSERT_TRUE(files.SaveAll(false));

      const std::string bytes = kind.Bytes(broken);
      ASSERT_TRUE(WriteFileAtomic(path(broken.List), bytes));
      EXPECT_FALSE(files.LoadAll(false));
      EXPECT_TRUE(files.KeptForRepair(broken.List));
      // The others are written anew by the save run.
      for (const TListFile& other : kFiles) {
        if (other.List == broken.List) continue;
        ASSERT_TRUE(std::filesystem::remove(path(other.List)));
      }

      lines.clear();
      files.SaveAll(false);
      EXPECT_NE(lines.find("waits for repair: " + name), std::string::npos) << lines;
      EXPECT_FALSE(broken.Save(root));
      std::string after;
      ASSERT_TRUE(ReadFileBytes(path(broken.List), after));
      EXPECT_EQ(after, bytes);
      for (const TListFile& other : kFiles) {
        if (other.List == broken.List) continue;
        TXMLDocument document;
        EXPECT_TRUE(document.LoadFromFile(path(other.List)))
            << TSettingsFileSet::FileName(other.List);
        EXPECT_EQ(document.Root().Name, other.Root);
      }
    }
  }
}

}  // namespace
