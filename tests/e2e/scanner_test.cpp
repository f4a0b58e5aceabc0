// The scanners through a real kavrod: every main-chat action as the writer
// and the others see it, levels with an operator account, private messages
// and searches refused with their reasons, and a scanner file edited while
// the hub runs. Clients come from distinct 127.0.x.y addresses.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/case_tables.h"
#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "security/mc_scanner.h"
#include "security/text_penalties.h"
#include "security/word_scanner.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/program_folder.h"

namespace {

using namespace std::chrono_literals;

std::string Bot(std::string_view text) { return "<-Kavro-> " + std::string(text) + "|"; }

void AddMC(TMCScanner& scanner, const char* name, int level, int action,
           const char* replace = "") {
  TMCScannerItem* item = scanner.Add(name);
  ASSERT_NE(item, nullptr) << name;
  auto act = std::make_unique<TMCScannerItemAction>();
  act->Level = level;
  act->Action = action;
  act->SetReplaceText(replace);
  item->AddAction(std::move(act));
}

// Writes settings/mc_scanner.xml as the hub would.
void WriteMC(const std::string& home, const std::function<void(TMCScanner&)>& fill) {
  SetProgramFolder(home);
  TSettings settings;
  TLanguage language;
  TLunarize luna;
  TKennylize kenny;
  TMCScanner scanner(settings, language, luna, kenny);
  scanner.Load();
  scanner.Clear();
  fill(scanner);
  ASSERT_TRUE(scanner.Save());
}

template <typename Scanner>
void WriteWords(const std::string& home, const std::function<void(Scanner&)>& fill) {
  SetProgramFolder(home);
  TSettings settings;
  Scanner scanner(settings);
  scanner.Load();
  scanner.Clear();
  fill(scanner);
  ASSERT_TRUE(scanner.Save());
}

std::unique_ptr<TNmdcClient> From(int port, const char* source) {
  auto client = TNmdcClient::Connect(port, false, source);
  EXPECT_NE(client, nullptr) << source;
  return client;
}

class ScannerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TE2EHome();
    home_->WriteSettings([](TSettings& settings) {
      settings.CheckDataBeforeLock = {false, 0};
      settings.SearchSpamMaxCount.State = TTriState::Unchecked;
      settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
      settings.PMSpamCheck.State = TTriState::Unchecked;
      settings.SetAutoLoadSettings(true);
    });
    home_->AddAccount("boss", "bpw", true);
    WriteMC(home_->Folder(), [](TMCScanner& mc) {
      AddMC(mc, "replaceme", 10, mcaReplaceWord, "hi <nick>");
      AddMC(mc, "lunaword", 10, mcaLunarizeMessage);
      AddMC(mc, "kennyword", 10, mcaKennylizeMessage);
      AddMC(mc, "skipword", 10, mcaSkipMessage, "no|swearing");
      AddMC(mc, "dropword", 10, mcaDropUser);
      AddMC(mc, "kickword", 10, mcaKickUser);
      AddMC(mc, "useronly", 5, mcaSkipMessage, "users only");
      AddMC(mc, "oplevel", 10, mcaSkipMessage, "ops too");
    });
    WriteWords<TPMScanner>(home_->Folder(), [](TPMScanner& pm) {
      pm.Add("pmspam", TPMScannerItem{{"", "No spam|ads", true, 10, false, false, wsaSkip}});
      pm.Add("pmdrop", TPMScannerItem{{"", "", true, 10, false, false, wsaDrop}});
    });
    WriteWords<TSearchScanner>(home_->Folder(), [](TSearchScanner& search) {
      search.Add("warez",
                 TSearchScannerItem{{"", "No warez|here", true, 10, true, true, wsaSkip}});
      search.Add("srkick", TSearchScannerItem{{"", "", true, 10, false, false, wsaKick}});
    });
    started_ = home_->StartHub();
  }
  static void TearDownTestSuite() {
    if (started_) {
      EXPECT_EQ(home_->StopHub(), 0) << home_->Hub().Output();
    }
    delete home_;
    home_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(started_) << home_->Hub().Output(); }

  static std::unique_ptr<TNmdcClient> Login(const char* nick, const char* source,
                                            std::optional<std::string_view> password = {}) {
    auto client = From(home_->Port(), source);
    EXPECT_TRUE(client && client->Login(nick, password)) << nick;
    return client;
  }
  // `sender` says `marker`; each reader reads up to it, so all that
  // `sender` sent before has been handled.
  static void Sync(TNmdcClient& sender, const std::vector<TNmdcClient*>& readers,
                   const std::string& marker) {
    ASSERT_TRUE(sender.Send(marker));
    for (TNmdcClient* reader : readers) ASSERT_TRUE(reader->ReadUntil(marker)) << marker;
  }
  static bool GotPart(const TNmdcClient& client, std::string_view part) {
    return client.ReceivedText().find(part) != std::string::npos;
  }

  static TE2EHome* home_;
  static bool started_;
};

TE2EHome* ScannerTest::home_ = nullptr;
bool ScannerTest::started_ = false;

TEST_F(ScannerTest, PassingActionsChangeTheLineForEveryone) {
  auto alice = Login("alice", "127.0.40.1");
  auto bob = Login("bob", "127.0.40.2");
  ASSERT_TRUE(alice->Send("<alice> say replaceme now|"));
  for (TNmdcClient* c : {alice.get(), bob.get()})
    EXPECT_EQ(c->ReadUntil("<alice> ").value_or(""), "<alice> say hi alice now|");

  ASSERT_TRUE(alice->Send("<alice> kennyword|"));
  const std::string kenny = bob->ReadUntil("<alice> ").value_or("");
  ASSERT_EQ(kenny.size(), std::string("<alice> *kennyword*|").size()) << kenny;
  for (std::size_t i = 9; i < kenny.size() - 2; ++i)
    EXPECT_NE(std::string_view("mflu").find(kenny[i]), std::string_view::npos) << kenny;

  ASSERT_TRUE(alice->Send("<alice> lunaword|"));
  std::string luna = bob->ReadUntil("<alice> ").value_or("");
  EXPECT_TRUE(LowerString(luna).starts_with("<alice> lunaw0rd")) << luna;
  EXPECT_FALSE(luna.starts_with("<alice> lunaword")) << luna;
}

TEST_F(ScannerTest, RefusingActions) {
  auto bob = Login("bob2", "127.0.41.1");
  auto alice = Login("alice2", "127.0.41.2");

  // Skip: the texts as one bot line to the writer, nothing to anyone else.
  ASSERT_TRUE(alice->Send("<alice2> a skipword here|"));
  Sync(*alice, {alice.get(), bob.get()}, "<alice2> m1|");
  EXPECT_TRUE(alice->Got(Bot("no&#124;swearing"))) << alice->ReceivedText();
  EXPECT_FALSE(alice->Got("swearing|"));
  EXPECT_FALSE(GotPart(*bob, "skipword"));
  EXPECT_FALSE(GotPart(*alice, "skipword"));

  // Drop: the text, closed, and back at once.
  auto carl = Login("carl", "127.0.41.3");
  ASSERT_TRUE(carl->Send("<carl> dropword|"));
  EXPECT_TRUE(carl->WaitClosed());
  EXPECT_TRUE(carl->Got(Bot("You've been dropped for saying: dropword"))) << carl->ReceivedText();
  auto carlAgain = Login("carl", "127.0.41.3");
  EXPECT_TRUE(carlAgain->Got("$Hello carl|"));

  // Kick: the text, closed, and temporarily banned.
  auto dave = Login("dave", "127.0.41.4");
  ASSERT_TRUE(dave->Send("<dave> KICKWORD|"));
  EXPECT_TRUE(dave->WaitClosed());
  EXPECT_TRUE(dave->Got(Bot("You've been kicked for saying: KICKWORD"))) << dave->ReceivedText();
  auto daveAgain = From(home_->Port(), "127.0.41.4");
  ASSERT_TRUE(daveAgain && daveAgain->Handshake("dave"));
  EXPECT_TRUE(daveAgain->WaitClosed());
  EXPECT_FALSE(daveAgain->Got("$Hello dave|"));

  Sync(*alice, {alice.get(), bob.get()}, "<alice2> m2|");
  EXPECT_FALSE(GotPart(*bob, "dropword"));
  EXPECT_FALSE(GotPart(*bob, "KICKWORD"));
}

TEST_F(ScannerTest, LevelsWithAnOperator) {
  auto boss = Login("boss", "127.0.42.1", "bpw");
  auto user = Login("user", "127.0.42.2");
  ASSERT_TRUE(boss->Send("<boss> useronly|"));
  EXPECT_EQ(user->ReadUntil("<boss> ").value_or(""), "<boss> useronly|");
  ASSERT_TRUE(user->Send("<user> useronly|"));
  ASSERT_TRUE(boss->Send("<boss> oplevel|"));
  Sync(*boss, {boss.get(), user.get()}, "<boss> m3|");
  Sync(*user, {user.get()}, "<user> m4|");
  EXPECT_TRUE(user->Got(Bot("users only")));
  EXPECT_TRUE(boss->Got(Bot("ops too")));
  EXPECT_FALSE(GotPart(*boss, "<user> useronly"));
  EXPECT_FALSE(GotPart(*user, "<boss> oplevel"));
}

TEST_F(ScannerTest, PrivateMessages) {
  auto alice = Login("alice3", "127.0.43.1");
  auto bob = Login("bob3", "127.0.43.2");
  ASSERT_TRUE(alice->Send("$To: bob3 From: alice3 $<alice3> buy PMSPAM now|"));
  EXPECT_EQ(alice->ReadUntil("$To: ").value_or(""),
            "$To: alice3 From: bob3 $<-Kavro-> No spam&#124;ads|");
  // One read: a clean message, then a main-chat line with a scanned word.
  ASSERT_TRUE(alice->Send("$To: bob3 From: alice3 $<alice3> clean hello|<alice3> pmspam chat|"));
  EXPECT_EQ(bob->ReadUntil("$To: ").value_or(""),
            "$To: bob3 From: alice3 $<alice3> clean hello|");
  EXPECT_EQ(bob->ReadUntil("<alice3> ").value_or(""), "<alice3> pmspam chat|");
  EXPECT_FALSE(GotPart(*bob, "PMSPAM"));

  ASSERT_TRUE(alice->Send("$To: bob3 From: alice3 $<alice3> pmdrop|"));
  EXPECT_TRUE(alice->WaitClosed());
  Sync(*bob, {bob.get()}, "<bob3> m5|");
  EXPECT_FALSE(GotPart(*bob, "pmdrop"));
}

TEST_F(ScannerTest, Searches) {
  auto alice = Login("alice4", "127.0.44.1");
  auto bob = Login("bob4", "127.0.44.2");
  const std::string notice = "$SR -Kavro- restrictions\\";
  const std::string reason = "No warez&#124;here.txt\x05";

  ASSERT_TRUE(alice->Send("$Search Hub:alice4 F?T?0?1?WAREZ|"));
  EXPECT_EQ(alice->ReadUntil("$SR ").value_or("").substr(0, notice.size() + 6 + reason.size()),
            notice + "WAREZ\\" + reason);
  ASSERT_TRUE(alice->Send("$Search 127.0.44.1:4000 F?T?0?1?foo$warez|"));
  EXPECT_EQ(alice->ReadUntil("$SR ").value_or("").substr(0, notice.size() + 10 + reason.size()),
            notice + "foo\\warez\\" + reason);
  // Inside another word: relayed.
  const std::string inside = "$Search 127.0.44.1:4000 F?T?0?1?xwarezx|";
  ASSERT_TRUE(alice->Send(inside));
  EXPECT_EQ(bob->ReadUntil("$Search ").value_or(""), inside);
  Sync(*alice, {alice.get(), bob.get()}, "<alice4> m6|");
  EXPECT_FALSE(GotPart(*bob, "F?T?0?1?WAREZ"));
  EXPECT_FALSE(GotPart(*bob, "foo$warez"));
  EXPECT_FALSE(GotPart(*bob, "$SR "));

  // Kick: closed, banned, and no result.
  auto carl = Login("carl4", "127.0.44.3");
  ASSERT_TRUE(carl->Send("$Search Hub:carl4 F?T?0?1?srkick|"));
  EXPECT_TRUE(carl->WaitClosed());
  EXPECT_FALSE(carl->Got("$SR "));
  auto carlAgain = From(home_->Port(), "127.0.44.3");
  ASSERT_TRUE(carlAgain && carlAgain->Handshake("carl4"));
  EXPECT_TRUE(carlAgain->WaitClosed());
  EXPECT_FALSE(carlAgain->Got("$Hello carl4|"));
}

// Runs last in the suite: it rewrites the main-chat file.
TEST_F(ScannerTest, ZFileEditedWhileRunning) {
  auto alice = Login("alice5", "127.0.45.1");
  WriteMC(home_->Folder(), [](TMCScanner& mc) { AddMC(mc, "newword", 10, mcaSkipMessage, "edited"); });
  bool reloaded = false;
  for (int attempt = 0; attempt < 40 && !reloaded; ++attempt) {
    const std::string marker = "<alice5> probe" + std::to_string(attempt) + "|";
    ASSERT_TRUE(alice->Send("<alice5> newword|"));
    ASSERT_TRUE(alice->Send(marker));
    ASSERT_TRUE(alice->ReadUntil(marker));
    reloaded = alice->Got(Bot("edited"));
    if (!reloaded) std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(reloaded) << home_->Hub().Output();
  // The old items went with the old file.
  ASSERT_TRUE(alice->Send("<alice5> skipword|"));
  EXPECT_EQ(alice->ReadUntil("<alice5> skipword").value_or(""), "<alice5> skipword|");
}

}  // namespace
