#include "core/kavro_root.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/event_loop.h"
#include "platform/file_io.h"
#include "settings/language.h"
#include "settings/language_manager.h"
#include "settings/settings.h"
#include "support/loop_runner.h"
#include "support/temp_folder.h"
#include "utils/xml_document.h"

namespace {

using namespace std::chrono_literals;

class KavroRootTest : public testing::Test {
 protected:
  TTempFolder home_{"kavro-root-"};
  EventLoop loop_;
  TKavroRoot root_{loop_, home_.String()};

  std::string SettingsFile() const { return home_.File("settings/settings.xml"); }
};

TEST_F(KavroRootTest, FreshHomeGetsCompleteSettingsAndEnglishLanguage) {
  EXPECT_FALSE(root_.Settings().Load());
  ASSERT_TRUE(root_.SaveSettings());
  root_.LoadLanguage();

  TXMLDocument settings;
  ASSERT_TRUE(settings.LoadFromFile(SettingsFile()));
  EXPECT_EQ(settings.Root().Name, "Settings");
  EXPECT_NE(settings.Root().FindChild("Basic"), nullptr);

  TXMLDocument english;
  ASSERT_TRUE(english.LoadFromFile(home_.File("language/english.xml")));
  EXPECT_EQ(english.Root().Name, "Language");
  EXPECT_EQ(root_.LanguageManager().CurrentName(), "English");
  EXPECT_EQ(root_.Language().Text(TLanguageKey::HubTooBusy),
            LanguageKeyInfo(TLanguageKey::HubTooBusy).DefaultText);
}

TEST_F(KavroRootTest, OnlyOneRootAtATime) {
  EXPECT_EQ(&Kavro(), &root_);
  EventLoop other;
  EXPECT_ANY_THROW(TKavroRoot(other, home_.String()));
  EXPECT_EQ(&Kavro(), &root_);
}

// The watcher, driven by the real event loop: the hub's own save reloads
// nothing, another process's edit reloads the record.
TEST_F(KavroRootTest, WatcherReloadsOutsideEditsAndIgnoresOwnSaves) {
  TSettings& settings = root_.Settings();
  settings.SetAutoLoadSettings(true);
  settings.MaxUsers = 100;
  ASSERT_TRUE(root_.SaveSettings());

  settings.MaxUsers = 7;  // not saved: a reload would bring back 100
  RunLoopFor(loop_, 400ms);
  EXPECT_EQ(settings.MaxUsers, 7);

  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(SettingsFile(), bytes));
  const auto at = bytes.find("<MaxUsers>100</MaxUsers>");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 24, "<MaxUsers>42</MaxUsers>");
  ASSERT_TRUE(WriteFileAtomic(SettingsFile(), bytes));

  EXPECT_TRUE(RunLoopUntil(loop_, [&] { return settings.MaxUsers == 42; }));
}

TEST_F(KavroRootTest, DamagedSettingsEditIsReportedAndNotApplied) {
  std::string events;
  root_.SetLineSink([&](std::string_view line) { (events += line) += "\n"; });
  TSettings& settings = root_.Settings();
  settings.SetAutoLoadSettings(true);
  settings.MaxUsers = 55;
  ASSERT_TRUE(root_.SaveSettings());

  ASSERT_TRUE(WriteFileAtomic(SettingsFile(), "<?xml version=\"1.0\"?>\r\n<Settings><Basic>"));
  EXPECT_TRUE(RunLoopUntil(loop_, [&] { return !events.empty(); }));
  EXPECT_NE(events.find("settings.xml"), std::string::npos) << events;
  EXPECT_EQ(settings.MaxUsers, 55);
  EXPECT_FALSE(root_.SaveSettings());  // the damaged file waits for repair
}

}  // namespace
