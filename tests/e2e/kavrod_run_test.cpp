// kavrod as an operator runs it: start-up on a fresh or prepared home,
// stop by signal, the files it leaves behind.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "e2e/e2e_home.h"
#include "e2e/kavrod_process.h"
#include "platform/file_io.h"
#include "settings/settings.h"

namespace {

std::string ReadText(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}

TEST(KavrodRunTest, FreshHomeStopsCleanlyAndSavesEveryFile) {
  const struct {
    const char* Name;
    bool Start;
    int Signal;
  } cases[] = {
      {"hub started, SIGTERM", true, SIGTERM},
      {"hub started, SIGINT", true, SIGINT},
      {"hub not started, SIGTERM", false, SIGTERM},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TE2EHome home;
    std::vector<std::string> arguments{"--home", home.Folder(), "--listen-address", "127.0.0.1"};
    if (c.Start) {
      home.WriteSettings();  // the free port in place of 411
      arguments.push_back("--start");
    }
    TKavrodProcess kavrod(arguments, home.File("kavrod.log"));
    ASSERT_TRUE(kavrod.WaitForOutput(c.Start ? "Hub started" : "kavrod running"))
        << kavrod.Output();
    EXPECT_EQ(kavrod.Stop(c.Signal), 0) << kavrod.Output();
    for (const char* file : {"settings/settings.xml", "settings/profiles.xml",
                             "settings/accounts.xml", "language/english.xml"})
      EXPECT_TRUE(FileExists(home.File(file))) << file;
    EXPECT_EQ(kavrod.Output().find("Failed to"), std::string::npos) << kavrod.Output();
  }
}

// The settings and list files end owner-only after a run,
// even when someone widened them while the hub was down.
TEST(KavrodRunTest, ListFilesAreOwnerOnlyAfterTheShutdownSave) {
  namespace fs = std::filesystem;
  const char* const files[] = {"settings/settings.xml", "settings/profiles.xml",
                               "settings/accounts.xml", "settings/bans.xml",
                               "settings/isps.xml", "settings/protected.xml",
                               "settings/text_commands.xml", "settings/chat_rooms.xml"};
  TE2EHome home;
  home.WriteSettings();
  home.AddAccount("alice", "secret");
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();
  for (const char* file : files) {
    ASSERT_TRUE(FileExists(home.File(file))) << file;
    fs::permissions(home.File(file), fs::perms::owner_read | fs::perms::owner_write |
                                         fs::perms::group_read | fs::perms::others_read);
  }
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();
  for (const char* file : files) {
    EXPECT_EQ(fs::status(home.File(file)).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << file;
  }
}

TEST(KavrodRunTest, SettingsSurviveRestarts) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.MaxUsers = 77;
    settings.SetHubName("E2E-test-hub");
  });
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
    EXPECT_EQ(home.StopHub(), 0);
  }
  const std::string settings = ReadText(home.File("settings/settings.xml"));
  EXPECT_NE(settings.find("<MaxUsers>77</MaxUsers>"), std::string::npos);
  EXPECT_NE(settings.find("E2E-test-hub"), std::string::npos);
}

struct TSettingsFile {
  const char* File;
  const char* Root;
};

constexpr TSettingsFile kSettingsFiles[] = {
    {"settings.xml", "Settings"},
    {"profiles.xml", "Profiles"},
    {"accounts.xml", "Accounts"},
    {"bans.xml", "Bans"},
    {"isps.xml", "ISPs"},
    {"protected.xml", "Protecteds"},
    {"mc_scanner.xml", "MainChatScanner"},
    {"pm_scanner.xml", "PrivateMessageScanner"},
    {"search_scanner.xml", "PrivateMessageScanner"},
    {"register.xml", "Register"},
    {"text_commands.xml", "TextCommands"},
    {"chat_rooms.xml", "Chatrooms"},
};

// One run of kavrod over a home whose file `broken` holds `bytes`.
void ExpectKeptThroughShutdown(const TSettingsFile& broken, const std::string& bytes) {
  const bool settings = std::string(broken.File) == "settings.xml";
  TE2EHome home;
  home.WriteSettings();
  home.AddAccount("alice", "secret");
  // Every file on disk and sound, so each has something to lose.
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  ASSERT_EQ(home.StopHub(), 0) << home.Hub().Output();

  const std::string path = home.File(std::string("settings/") + broken.File);
  ASSERT_TRUE(WriteFileAtomic(path, bytes));
  // Without its settings the hub would listen on the default port.
  std::vector<std::string> arguments{"--home", home.Folder(), "--listen-address", "127.0.0.1"};
  if (!settings) arguments.push_back("--start");
  TKavrodProcess kavrod(arguments, home.File("kavrod.log"));
  // Said once every file was tried.
  ASSERT_TRUE(kavrod.WaitForOutput("Failed to load ")) << kavrod.Output();
  if (!settings) {
    ASSERT_TRUE(kavrod.WaitForOutput("Hub started")) << kavrod.Output();
  }
  EXPECT_NE(kavrod.Output().find("Cannot read " + path), std::string::npos) << kavrod.Output();
  // The shutdown writes the others anew.
  for (const TSettingsFile& other : kSettingsFiles) {
    if (&other == &broken) continue;
    ASSERT_TRUE(std::filesystem::remove(home.File(std::string("settings/") + other.File)));
  }
  EXPECT_EQ(kavrod.Stop(SIGTERM), 0);

  EXPECT_EQ(ReadText(path), bytes);
  EXPECT_NE(kavrod.Output().find(std::string("waits for repair: ") + broken.File),
            std::string::npos)
      << kavrod.Output();
  for (const TSettingsFile& other : kSettingsFiles) {
    if (&other == &broken) continue;
    const std::string saved = ReadText(home.File(std::string("settings/") + other.File));
    EXPECT_NE(saved.find(std::string("<") + other.Root + " version="), std::string::npos)
        << other.File;
  }
}

// A settings file the operator broke, or one whose root belongs to no such
// file, is reported and left for repair, not replaced by defaults or an
// empty list at shutdown; every other file is saved as usual.
TEST(KavrodRunTest, FileThatFailedToLoadIsReportedAndKept) {
  for (const TSettingsFile& broken : kSettingsFiles) {
    {
      SCOPED_TRACE(std::string(broken.File) + ", malformed");
      ExpectKeptThroughShutdown(broken, "<?xml version=\"1.0\"?>\r\n<" +
                                            std::string(broken.Root) + "><Basic>");
    }
    {
      SCOPED_TRACE(std::string(broken.File) + ", wrong root");
      ExpectKeptThroughShutdown(broken,
                                "<?xml version=\"1.0\"?>\r\n<Wrong version=\"1.040\">"
                                "<Account><Nick>x</Nick></Account></Wrong>");
    }
  }
}

TEST(KavrodRunTest, WrongArgumentsExitWithUsage) {
  TE2EHome home;
  for (const char* argument : {"--bogus", "--home"}) {
    SCOPED_TRACE(argument);
    TKavrodProcess kavrod({argument}, home.File("kavrod.log"));
    EXPECT_EQ(kavrod.WaitForExit(), 2);
    EXPECT_NE(kavrod.Output().find("usage: kavrod"), std::string::npos);
  }
}

// A port another hub holds: the feed says so and the program keeps running
// until told to stop.
TEST(KavrodRunTest, PortInUseIsReported) {
  TE2EHome home;
  home.WriteSettings();
  ASSERT_TRUE(home.StartHub());
  TKavrodProcess second({"--home", home.Folder(), "--start", "--listen-address", "127.0.0.1"},
                        home.File("second.log"));
  EXPECT_TRUE(second.WaitForOutput("Failed to start listening on port")) << second.Output();
  EXPECT_EQ(second.Stop(SIGTERM), 0);
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
