// settings/text_commands.xml: what is written, and how old or odd files read.

#include <gtest/gtest.h>

#include <string>

#include "core/commands/commands_fixture.h"
#include "core/commands/text_commands.h"
#include "platform/file_io.h"
#include "support/temp_folder.h"
#include "utils/program_folder.h"
#include "support/owner_only.h"

class TextCommandsFileTest : public TCommandsFixture {
 protected:
  TextCommandsFileTest() : saved_(ProgramFolder()) { SetProgramFolder(home_.String()); }
  ~TextCommandsFileTest() override { SetProgramFolder(saved_); }

  static void WriteFile(const std::string& body) {
    ASSERT_TRUE(WriteFileAtomic(TTextCommands::FilePath(),
                                "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + body));
  }
  static std::string ReadFile() {
    std::string text;
    ReadFileBytes(TTextCommands::FilePath(), text);
    return text;
  }

  TTextCommands Make() {
    return TTextCommands(TTextCommandsContext{settings_, language_, nickList_, messages_, stats_,
                                              nullptr, {}, {}, {}, [] { return 0; }, {}, {}});
  }

  TTempFolder home_;
  std::string saved_;
};

TEST_F(TextCommandsFileTest, SavingWaitsForTheFirstLoadAndAMissingFileAllowsIt) {
  TTextCommands commands = Make();
  commands.Add("rules");
  EXPECT_FALSE(commands.Save());
  EXPECT_FALSE(FileExists(TTextCommands::FilePath()));
  EXPECT_FALSE(commands.Load());  // no file yet
  EXPECT_EQ(commands.GetCount(), 1);
  EXPECT_TRUE(commands.Save());
  EXPECT_TRUE(FileExists(TTextCommands::FilePath()));
}

TEST_F(TextCommandsFileTest, WrittenForTheOwnerOnly) {
  TTextCommands commands = Make();
  commands.Load();
  commands.Add("rules");
  ExpectSavedOwnerOnly(TTextCommands::FilePath(), [&commands] { return commands.Save(); });
}

TEST_F(TextCommandsFileTest, ARoundTripKeepsEveryFieldInItsOrder) {
  TTextCommands commands = Make();
  commands.Load();
  TTextCommand& b = *commands.Add("bravo");
  b.Enabled = false;
  b.OverrideMuted = false;
  b.EditLevel = 4;
  b.AccessMinLevel = 1;
  b.AccessMaxLevel = 8;
  b.ShowMinLevel = 2;
  b.ShowMaxLevel = 7;
  b.MainchatCommandVisibility = 3;
  commands.SetSchedule(b, 15);
  commands.SetAutorun(b, 2);
  b.BroadCast = 1;
  b.MessageType = 4;
  b.Parameters = 2;
  b.Content = "a <b> & \"c\"|d";
  commands.Add("Alpha")->Content = "first";
  ASSERT_TRUE(commands.Save());

  const std::string text = ReadFile();
  EXPECT_NE(text.find("<TextCommands version=\"1.040\">"), std::string::npos) << text;
  EXPECT_LT(text.find("<Name>Alpha</Name>"), text.find("<Name>bravo</Name>"));
  EXPECT_NE(text.find("<Enabled enable=\"false\"/>"), std::string::npos) << text;
  const char* order[] = {"<Name>bravo", "<OverrideMuted", "<Enabled", "<EditLevel",
                         "<AccessMinLevel", "<AccessMaxLevel", "<ShowMinLevel", "<ShowMaxLevel",
                         "<MainchatCommandVisibility", "<Schedule", "<Autorun", "<BroadCast",
                         "<MessageType", "<Parameters", "<Content"};
  std::size_t last = 0;
  for (const char* element : order) {
    const std::size_t at = text.find(element, last);
    EXPECT_NE(at, std::string::npos) << element;
    last = at;
  }

  TTextCommands read = Make();
  ASSERT_TRUE(read.Load());
  ASSERT_EQ(read.GetCount(), 2);
  const TTextCommand& r = *read.Find("BRAVO");
  EXPECT_FALSE(r.Enabled);
  EXPECT_FALSE(r.OverrideMuted);
  EXPECT_EQ(r.EditLevel, 4);
  EXPECT_EQ(r.AccessMinLevel, 1);
  EXPECT_EQ(r.AccessMaxLevel, 8);
  EXPECT_EQ(r.ShowMinLevel, 2);
  EXPECT_EQ(r.ShowMaxLevel, 7);
  EXPECT_EQ(r.MainchatCommandVisibility, 3);
  EXPECT_EQ(r.Schedule(), 15);
  EXPECT_EQ(r.Autorun(), 2);
  EXPECT_EQ(r.BroadCast, 1);
  EXPECT_EQ(r.MessageType, 4);
  EXPECT_EQ(r.Parameters, 2);
  EXPECT_EQ(r.Content, b.Content);
  EXPECT_EQ(read.ScheduledCount(), 1);
  EXPECT_EQ(read.AutorunCount(), 1);
}

TEST_F(TextCommandsFileTest, OddFilesReadAsOldHubsWroteThem) {
  WriteFile(
      "<TextCommands version=\"1.0\">\n"
      // Any element name counts; a misspelt name alone is read.
      "  <Whatever><Name>one</Name><MainchatCommandVisibilit>4</MainchatCommandVisibilit>"
      "<Paramerters>3</Paramerters><Schedule>-4</Schedule></Whatever>\n"
      // Both spellings: the one read later wins, whatever the file's order:
      // "MainchatCommandVisibility" and "Paramerters".
      "  <TextCommand><Name>two</Name><MainchatCommandVisibility>2</MainchatCommandVisibility>"
      "<MainchatCommandVisibilit>4</MainchatCommandVisibilit>"
      "<Paramerters>5</Paramerters><Parameters>1</Parameters></TextCommand>\n"
      // A repeated name is skipped, a nameless element too.
      "  <TextCommand><Name>ONE</Name><Content>second</Content></TextCommand>\n"
      "  <TextCommand><Content>nameless</Content></TextCommand>\n"
      "</TextCommands>\n");
  TTextCommands commands = Make();
  commands.Add("dropped");
  ASSERT_TRUE(commands.Load());
  EXPECT_EQ(commands.Version(), "1.0");
  ASSERT_EQ(commands.GetCount(), 2);
  const TTextCommand& one = *commands.Find("one");
  EXPECT_EQ(one.MainchatCommandVisibility, 4);
  EXPECT_EQ(one.Parameters, 3);
  EXPECT_EQ(one.Content, "");
  EXPECT_EQ(one.Schedule(), 0);
  EXPECT_EQ(commands.ScheduledCount(), 0);
  const TTextCommand& two = *commands.Find("two");
  EXPECT_EQ(two.MainchatCommandVisibility, 2);
  EXPECT_EQ(two.Parameters, 5);
  EXPECT_TRUE(two.Enabled);
  EXPECT_EQ(two.AccessMaxLevel, 9);
}

// Another root is no text-commands file: like a damaged one it is read not
// at all and kept for repair, not replaced by the list in memory.
TEST_F(TextCommandsFileTest, AnotherRootOrADamagedFileChangesNothingAndBlocksSaving) {
  for (const char* body : {"<Other version=\"2\"><X><Name>x</Name></X></Other>\n",
                           "<TextCommands><TextCommand><Name>x</Name>\n"}) {
    SCOPED_TRACE(body);
    TTextCommands commands = Make();
    commands.Add("kept");
    WriteFile(body);
    const std::string before = ReadFile();
    EXPECT_FALSE(commands.Load());
    EXPECT_EQ(commands.GetCount(), 1);
    EXPECT_NE(commands.Find("kept"), nullptr);
    EXPECT_FALSE(commands.Save());
    EXPECT_EQ(ReadFile(), before);
  }
}
