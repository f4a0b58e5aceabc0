// The hub-list registration as the composition root wires it: the setting
// switches it at each settings load, register.xml is one of the settings
// files, and the pinger identities stay out of every list and file.

#include <gtest/gtest.h>

#include <string>

#include "core/hub_list.h"
#include "core/kavro_root.h"
#include "core/settings_file_set.h"
#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "security/accounts.h"
#include "security/profiles.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

namespace {

TEST(HubListRootTest, TheSettingSwitchesRegistrationAtEachLoad) {
  TTempFolder home{"kavro-hublist-"};
  EventLoop loop;
  TKavroRoot root(loop, home.String());
  EXPECT_TRUE(root.SettingsFiles().Registered(TSettingsList::HubLists));
  root.SettingsFiles().SetSleep([](std::uint64_t) {});
  root.SettingsFiles().LoadAll(false);
  EXPECT_FALSE(root.HubList().Active());

  root.Settings().HubRegistration = true;
  ASSERT_TRUE(root.SaveSettings());
  ASSERT_TRUE(root.Settings().Load());
  EXPECT_TRUE(root.HubList().Active());
  ASSERT_TRUE(root.Settings().Load());
  EXPECT_TRUE(root.HubList().Active());

  root.Settings().HubRegistration = false;
  ASSERT_TRUE(root.SaveSettings());
  ASSERT_TRUE(root.Settings().Load());
  EXPECT_FALSE(root.HubList().Active());
}

TEST(HubListRootTest, PingerIdentitiesAreInNoListAndNoFile) {
  TTempFolder home{"kavro-hublist-"};
  EventLoop loop;
  TKavroRoot root(loop, home.String());
  root.SettingsFiles().SetSleep([](std::uint64_t) {});
  root.SettingsFiles().LoadAll(false);
  EXPECT_EQ(root.Accounts().GetCount(), 0);
  EXPECT_EQ(root.Profiles().GetCount(), 0);
  root.HubList().Hosts().Add("list");
  ASSERT_TRUE(root.SettingsFiles().SaveAll(false));
  for (const char* file : {"settings/accounts.xml", "settings/profiles.xml"}) {
    std::string text;
    ReadFileBytes(home.File(file), text);
    EXPECT_EQ(text.find("inger"), std::string::npos) << file;
  }
  std::string text;
  ASSERT_TRUE(ReadFileBytes(home.File("settings/register.xml"), text));
  EXPECT_NE(text.find("<Name>list</Name>"), std::string::npos);
}

}  // namespace
