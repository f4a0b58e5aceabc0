#include "core/hub_list_host.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "support/temp_folder.h"
#include "utils/program_folder.h"

namespace {

class HubListHostTest : public ::testing::Test {
 protected:
  HubListHostTest() : saved_(ProgramFolder()) { SetProgramFolder(home_.String()); }
  ~HubListHostTest() override { SetProgramFolder(saved_); }

  THostList MakeList() {
    return THostList("Missing", [this](const std::string& line) { errors.push_back(line); });
  }
  std::string FileText() const {
    std::string text;
    ReadFileBytes(THostList::FilePath(), text);
    return text;
  }

  TTempFolder home_;
  std::string saved_;
  std::vector<std::string> errors;
};

THost& Pinger(THostList& list, const std::string& name, const std::string& nicks, bool nicksOn,
              const std::string& ips, bool ipsOn, bool mayConnect) {
  THost& host = *list.Add(name);
  host.BotNickPattern = nicks;
  host.BotNickPatternEnabled = nicksOn;
  host.BotIPPattern = ips;
  host.BotIPPatternEnabled = ipsOn;
  host.MayConnectToOtherUsers = mayConnect;
  return host;
}

TEST_F(HubListHostTest, PingerClassFromNickAndAddress) {
  THostList list = MakeList();
  // A host that names its pinger by nick and address, and one by nick alone.
  Pinger(list, "lists", "Pinger*;Checker", true, "10.0.0.*;junk", true, false);
  Pinger(list, "nickonly", "*Scout", true, "", false, true);
  Pinger(list, "byaddress", "", false, "10.9.*", true, true);
  Pinger(list, "off", "Off*", false, "10.7.*", false, true);
  list.RebuildPatterns();

  const struct {
    const char* Nick;
    const char* IP;
    int Class;
  } cases[] = {
      {"PingerX", "10.0.0.7", 1},
      {"pingerx", "10.0.0.7", 1},   // nicks match without case
      {"Checker", "10.0.0.200", 1},
      {"PingerX", "10.0.1.7", 3},   // the nick from elsewhere
      {"Checker", "192.168.1.1", 3},
      {"HubScout", "192.168.1.1", 2},  // the nick alone suffices
      {"someone", "10.9.3.4", 2},      // the address alone suffices
      {"PingerX", "10.9.3.4", 2},      // nick needs an address: the address decides
      {"someone", "10.0.0.7", 0},      // that address needs the nick too
      {"someone", "192.168.1.1", 0},
      {"OffBot", "10.7.1.1", 0},       // disabled patterns count for nothing
  };
  for (const auto& c : cases)
    EXPECT_EQ(list.PingerClass(c.Nick, c.IP), c.Class) << c.Nick << " from " << c.IP;

  list.Find("lists")->MayConnectToOtherUsers = true;
  list.RebuildPatterns();
  EXPECT_EQ(list.PingerClass("PingerX", "10.0.0.7"), 2);
}

TEST_F(HubListHostTest, AddFindRenameDelete) {
  THostList list = MakeList();
  THost* a = list.Add("Alpha");
  EXPECT_EQ(a->Status, "Missing");
  EXPECT_EQ(a->State, hsFinished);
  EXPECT_EQ(list.Add("ALPHA"), a);
  THost* b = list.Add("beta");
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.Find("BETA"), b);

  EXPECT_FALSE(list.Rename(*a, "Alpha"));  // the same name exactly
  EXPECT_FALSE(list.Rename(*a, "Beta"));   // another host's
  EXPECT_FALSE(list.Rename(*a, ""));
  EXPECT_TRUE(list.Rename(*a, "alpha"));  // a change of case
  EXPECT_TRUE(list.Rename(*a, "gamma"));
  EXPECT_EQ(list.Find("alpha"), nullptr);
  EXPECT_EQ(list.Find("Gamma"), a);

  EXPECT_TRUE(list.Delete("GAMMA"));
  EXPECT_FALSE(list.Delete("gamma"));
  EXPECT_EQ(list.GetCount(), 1);
}

TEST_F(HubListHostTest, SaveBeforeLoadWritesNothing) {
  THostList list = MakeList();
  list.Add("a");
  EXPECT_FALSE(list.Save());
  EXPECT_FALSE(FileExists(THostList::FilePath()));
  EXPECT_FALSE(list.Load());  // missing: no failure, and saving is allowed
  EXPECT_TRUE(list.Save());
  EXPECT_TRUE(FileExists(THostList::FilePath()));
}

TEST_F(HubListHostTest, RoundTripInByteOrderOfNames) {
  THostList list = MakeList();
  list.Load();
  for (const char* name : {"b", "A", "C"}) {
    THost& host = *list.Add(name);
    host.Description = std::string("about ") + name;
    host.Host = std::string(name) + ".example.org";
  }
  THost& b = *list.Find("b");
  b.Enabled = false;
  b.Port = 411;
  b.LastRun = TDateTime{1700000000};
  b.MayConnectToOtherUsers = true;
  b.BotNickPattern = "Ping*;Pong";
  b.BotNickPatternEnabled = true;
  b.BotIPPattern = "10.0.0.*";
  b.BotIPPatternEnabled = false;
  b.UpdateBotIPWithDNS = true;
  b.SupportsNmdcs = true;
  ASSERT_TRUE(list.Save());

  const std::string text = FileText();
  EXPECT_NE(text.find("<Register version=\""), std::string::npos);
  const std::size_t a = text.find("<Name>A</Name>");
  const std::size_t c = text.find("<Name>C</Name>");
  const std::size_t lower = text.find("<Name>b</Name>");
  ASSERT_NE(lower, std::string::npos);
  EXPECT_LT(a, c);
  EXPECT_LT(c, lower);  // byte order: upper case first
  // The children of one host in their fixed order.
  std::size_t at = lower;
  for (const char* element :
       {"<Description>", "<Host>", "<Port>", "<LastRun>", "<MayConnectToOtherUsers",
        "<BotNickPattern", "<BotIPPattern", "<UpdateBotIPWithDNS", "<SupportsNmdcs"}) {
    const std::size_t next = text.find(element, at);
    ASSERT_NE(next, std::string::npos) << element;
    EXPECT_GT(next, at) << element;
    at = next;
  }

  THostList read = MakeList();
  ASSERT_TRUE(read.Load());
  ASSERT_EQ(read.GetCount(), 3);
  const THost& r = *read.Find("b");
  EXPECT_EQ(r.Name, "b");
  EXPECT_FALSE(r.Enabled);
  EXPECT_EQ(r.Description, "about b");
  EXPECT_EQ(r.Host, "b.example.org");
  EXPECT_EQ(r.Port, 411);
  EXPECT_EQ(r.LastRun, TDateTime{1700000000});
  EXPECT_TRUE(r.MayConnectToOtherUsers);
  EXPECT_EQ(r.BotNickPattern, "Ping*;Pong");
  EXPECT_TRUE(r.BotNickPatternEnabled);
  EXPECT_EQ(r.BotIPPattern, "10.0.0.*");
  EXPECT_FALSE(r.BotIPPatternEnabled);
  EXPECT_TRUE(r.UpdateBotIPWithDNS);
  EXPECT_TRUE(r.SupportsNmdcs);
  EXPECT_TRUE(read.Find("A")->Enabled);
  EXPECT_EQ(read.Find("A")->State, hsFinished);  // loaded hosts wait for a pass
  // Patterns are rebuilt by the load.
  EXPECT_EQ(read.PingerClass("Pong", "1.2.3.4"), 2);
}

TEST_F(HubListHostTest, LoadNamesEveryHostKnownByNickAlone) {
  THostList list = MakeList();
  list.Load();
  Pinger(list, "loose", "Ping*", true, "", false, false);
  Pinger(list, "tight", "Pong*", true, "10.*", true, false);
  Pinger(list, "quiet", "Pung*", false, "", false, false);
  ASSERT_TRUE(list.Save());
  errors.clear();
  THostList read = MakeList();
  ASSERT_TRUE(read.Load());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("'loose'"), std::string::npos);
}

// A damaged file, or one of another root, is read not at all and kept for
// repair: a save would replace it by the hosts in memory.
TEST_F(HubListHostTest, WrongRootOrDamagedFileKeepsTheHostsAndBlocksSaving) {
  THostList list = MakeList();
  list.Load();
  list.Add("kept");
  for (const char* file : {"<Other><Host><Name>x</Name></Host></Other>", "<Register><Host>"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(WriteFileAtomic(THostList::FilePath(), file));
    EXPECT_FALSE(list.Load());
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_NE(list.Find("kept"), nullptr);
    EXPECT_FALSE(list.Save());
    std::string text;
    ReadFileBytes(THostList::FilePath(), text);
    EXPECT_EQ(text, file);
  }
}

}  // namespace
