// kavrod --import: Murn's files read into a home without starting the hub,
// the files it writes, and a hub on that home where the imported account
// logs in and the imported nick ban refuses its nick. Then the runs that
// must refuse or fail.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/kavrod_process.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

namespace {

std::string Xml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n" + body;
}

// A small Murn save folder: one of each file; the accounts are coded.
void WriteMurnFolder(const TTempFolder& murn) {
  ASSERT_TRUE(WriteFileAtomic(
      murn.File("profiles.xml"),
      Xml("<Profiles><Members><Key>Members</Key><Description>From Murn</Description>"
          "<AccountLevel>1</AccountLevel><MayUseTheMurnBot>1</MayUseTheMurnBot></Members>"
          "</Profiles>")));
  // alice / s3cret of "Members"; bob of a profile Murn did not save.
  ASSERT_TRUE(WriteFileAtomic(
      murn.File("Accounts.xml"),
      Xml("<Accounts encoded=\"1\">"
          "<alice><Profile>#77#101#109#98#101#114#115</Profile><Nick>#97#108#105#99#101</Nick>"
          "<Password>#115#51#99#114#101#116</Password><Owner>#77#117#114#110#32#71#85#73</Owner>"
          "<CreateDate>2004-05-06 07:08:09</CreateDate></alice>"
          "<bob><Profile>#71#104#111#115#116</Profile><Nick>#98#111#98</Nick></bob>"
          "</Accounts>")));
  ASSERT_TRUE(WriteFileAtomic(
      murn.File("bans.xml"),
      Xml("<Permbans><Nickbans><Ban><Data>spammer</Data><BannedBy>op</BannedBy>"
          "<Reason>spam</Reason><IssuedDate>2005-01-02</IssuedDate>"
          "<IssuedTime>12:30:00</IssuedTime></Ban></Nickbans><IPBans/><Clientbans/></Permbans>")));
  ASSERT_TRUE(WriteFileAtomic(
      murn.File("isps.xml"),
      Xml("<ISPs><Isp><Name>LocalNet</Name><Prefix></Prefix><AllowPassive>1</AllowPassive>"
          "<Range><Mask>10.20.*.*</Mask></Range></Isp></ISPs>")));
}

std::vector<std::string> ResultLines(const std::string& output) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    if (line.find("converted") != std::string::npos ||
        line.find(" imported, ") != std::string::npos || line.find("Incorrect") == 0 ||
        line == "Converting finished.")
      lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
  return bytes;
}

TEST(ImportTest, ImportedAccountLogsInAndImportedBanRefuses) {
  TE2EHome home;
  // The import never starts the hub, whatever AutoStart says.
  home.WriteSettings([](TSettings& settings) { settings.AutoStart = true; });
  TTempFolder murn{"kavro-murn-"};
  WriteMurnFolder(murn);

  {
    TKavrodProcess run({"--home", home.Folder(), "--import", murn.String(),
                        "--import-skip-missing-profiles"},
                       home.File("import.log"));
    EXPECT_EQ(run.WaitForExit(), 0) << run.Output();
    EXPECT_EQ(ResultLines(run.Output()),
              (std::vector<std::string>{
                  "Successfully converted profiles", "1 imported, 0 skipped",
                  "Successfully converted accounts", "1 imported, 1 skipped",
                  "Successfully converted banlist", "1 imported, 0 skipped",
                  "Successfully converted ISP/IP list", "1 imported, 0 skipped",
                  "Converting finished."}))
        << run.Output();
    EXPECT_EQ(run.Output().find("Hub started"), std::string::npos) << run.Output();
  }

  const std::string accounts = Read(home.File("settings/accounts.xml"));
  EXPECT_NE(accounts.find("<Nick>alice</Nick>"), std::string::npos) << accounts;
  EXPECT_NE(accounts.find("<Pass>s3cret</Pass>"), std::string::npos) << accounts;
  EXPECT_NE(accounts.find("<Owner>Kavro GUI</Owner>"), std::string::npos) << accounts;
  EXPECT_NE(accounts.find("<Created>2004-05-06 07:08:09</Created>"), std::string::npos);
  EXPECT_EQ(accounts.find("bob"), std::string::npos) << accounts;
  struct stat info{};
  ASSERT_EQ(stat(home.File("settings/accounts.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string profiles = Read(home.File("settings/profiles.xml"));
  EXPECT_NE(profiles.find("<Name>Members</Name>"), std::string::npos) << profiles;
  EXPECT_NE(profiles.find("<Description>From Murn</Description>"), std::string::npos);
  const std::string bans = Read(home.File("settings/bans.xml"));
  EXPECT_NE(bans.find("<Nick>spammer</Nick>"), std::string::npos) << bans;
  EXPECT_NE(bans.find("<Issued>2005-01-02 12:30:00</Issued>"), std::string::npos) << bans;
  EXPECT_NE(Read(home.File("settings/isps.xml")).find("10.20.*"), std::string::npos);

  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto alice = TNmdcClient::Connect(home.Port());
  ASSERT_NE(alice, nullptr);
  EXPECT_TRUE(alice->Login("alice", "s3cret")) << alice->ReceivedText();
  auto spammer = TNmdcClient::Connect(home.Port());
  ASSERT_NE(spammer, nullptr);
  ASSERT_TRUE(spammer->Handshake("spammer"));
  EXPECT_TRUE(spammer->WaitClosed()) << spammer->ReceivedText();
  EXPECT_NE(spammer->ReceivedText().find("You're banned from this hub by op because: spam"),
            std::string::npos)
      << spammer->ReceivedText();
  EXPECT_FALSE(spammer->Got("$Hello spammer|"));
  EXPECT_EQ(home.StopHub(), 0) << home.Hub().Output();
}

TEST(ImportTest, RefusedAndFailedRuns) {
  TE2EHome home;
  TTempFolder murn{"kavro-murn-"};
  TTempFolder empty{"kavro-murn-empty-"};
  WriteMurnFolder(murn);

  // Usage errors: the import never runs with the hub, its options go with it.
  const std::vector<std::vector<std::string>> usage{
      {"--home", home.Folder(), "--import", murn.String(), "--start"},
      {"--home", home.Folder(), "--import-clear-old"},
      {"--home", home.Folder(), "--import-skip-missing-profiles", "--start"},
      {"--home", home.Folder(), "--import"},
  };
  for (const auto& arguments : usage) {
    TKavrodProcess run(arguments, home.File("usage.log"));
    EXPECT_EQ(run.WaitForExit(), 2) << run.Output();
  }
  EXPECT_FALSE(FileExists(home.File("settings/accounts.xml")));

  {
    TKavrodProcess run({"--home", home.Folder(), "--import", empty.String()},
                       home.File("empty.log"));
    EXPECT_EQ(run.WaitForExit(), 1) << run.Output();
    EXPECT_NE(run.Output().find(empty.String()), std::string::npos) << run.Output();
  }

  // A wrong root fails that file only; the others are imported and saved.
  ASSERT_TRUE(WriteFileAtomic(murn.File("Accounts.xml"), Xml("<Users/>")));
  {
    TKavrodProcess run({"--home", home.Folder(), "--import", murn.String()},
                       home.File("root.log"));
    EXPECT_EQ(run.WaitForExit(), 1) << run.Output();
    const std::vector<std::string> lines = ResultLines(run.Output());
    ASSERT_GE(lines.size(), 5u) << run.Output();
    EXPECT_EQ(lines[2], "Incorrect accounts file.");
    EXPECT_EQ(lines[3], "Failed to converted accounts");
    EXPECT_EQ(lines.back(), "Converting finished.");
  }
  EXPECT_NE(Read(home.File("settings/bans.xml")).find("spammer"), std::string::npos);

  // A damaged file of the home: nothing imported, the file kept as it was.
  const std::string damaged = "<?xml version=\"1.0\"?>\r\n<Accounts><Account>";
  ASSERT_TRUE(WriteFileAtomic(home.File("settings/accounts.xml"), damaged));
  ASSERT_TRUE(WriteFileAtomic(murn.File("bans.xml"),
                              Xml("<Permbans><Nickbans><B><Data>later</Data></B></Nickbans>"
                                  "</Permbans>")));
  {
    TKavrodProcess run({"--home", home.Folder(), "--import", murn.String()},
                       home.File("damaged.log"));
    EXPECT_EQ(run.WaitForExit(), 1) << run.Output();
    EXPECT_TRUE(ResultLines(run.Output()).empty()) << run.Output();
  }
  EXPECT_EQ(Read(home.File("settings/accounts.xml")), damaged);
  EXPECT_EQ(Read(home.File("settings/bans.xml")).find("later"), std::string::npos);
}

}  // namespace
