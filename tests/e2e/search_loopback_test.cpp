// Searches, results and connection requests through a real kavrod.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "e2e/shared_hub_test.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/text_format.h"

namespace {

using namespace std::chrono_literals;

constexpr int kResultLimit = 2;

// A result for `target` as clients send it, and as the target receives it.
std::string Result(std::string_view from, std::string_view file) {
  return "$SR " + std::string(from) + " share\\" + std::string(file) + "\x05" + "1234 1/3\x05" +
         "TTH:ABCDEFGHIJKLMNOPQRSTUVWXYZ234567ABCDEFGHIJKL (127.0.0.1:411)";
}

// Every message of `client` that starts with `prefix`.
std::vector<std::string> All(const TNmdcClient& client, std::string_view prefix) {
  std::vector<std::string> out;
  for (const std::string& message : client.Received())
    if (message.starts_with(prefix)) out.push_back(message);
  return out;
}

class SearchLoopbackTest : public TSharedHubTest<SearchLoopbackTest> {
 public:
  static void Configure(TSettings& settings) {
    settings.CheckDataBeforeLock = {false, 0};
    settings.SearchSpamMaxCount.State = TTriState::Unchecked;
    settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
    settings.SRMaxCount = {true, kResultLimit};
  }

 protected:
  // `sender` says `marker` in main chat; every client reads up to it, so
  // whatever `sender` sent before has arrived too.
  static void Sync(TNmdcClient& sender, const std::vector<TNmdcClient*>& readers,
                   const std::string& marker) {
    ASSERT_TRUE(sender.Send(marker));
    for (TNmdcClient* reader : readers) ASSERT_TRUE(reader->ReadUntil(marker)) << marker;
  }
};

TEST_F(SearchLoopbackTest, SearchesReachTheUsersThatCanAnswer) {
  auto ann = Login("ann");
  auto pam = Login("pam");
  auto qed = Login("qed");
  auto rob = Login("rob");
  const std::vector<TNmdcClient*> all{ann.get(), pam.get(), qed.get(), rob.get()};

  // pam turns passive with its first passive search; qed is still active.
  const std::string first = "$Search Hub:pam F?T?0?1?first|";
  ASSERT_TRUE(pam->Send(first));
  Sync(*pam, all, "<pam> s1|");
  const std::string active = "$Search 127.0.0.1:4120 F?T?0?1?song|";
  ASSERT_TRUE(ann->Send(active));
  Sync(*ann, all, "<ann> s2|");
  const std::string second = "$Search Hub:qed F?T?0?1?second|";
  ASSERT_TRUE(qed->Send(second));
  Sync(*qed, all, "<qed> s3|");

  using TList = std::vector<std::string>;
  EXPECT_EQ(All(*ann, "$Search"), (TList{first, second}));
  EXPECT_EQ(All(*pam, "$Search"), (TList{active}));  // not the other passive search
  EXPECT_EQ(All(*qed, "$Search"), (TList{first, active}));
  EXPECT_EQ(All(*rob, "$Search"), (TList{first, active, second}));
}

TEST_F(SearchLoopbackTest, ResultsReachOnlyThePassiveSearcherWithinTheLimit) {
  auto sam = Login("sam");
  auto tim = Login("tim");
  auto uma = Login("uma");
  ASSERT_TRUE(tim->Send("$Search Hub:tim F?T?0?1?file|"));
  ASSERT_TRUE(sam->ReadUntil("$Search Hub:tim "));
  for (int i = 1; i <= kResultLimit + 1; ++i) {
    ASSERT_TRUE(sam->Send(Result("sam", "f" + std::to_string(i) + ".txt") + "\x05tim|"));
  }
  Sync(*sam, {tim.get(), uma.get()}, "<sam> r1|");
  using TList = std::vector<std::string>;
  EXPECT_EQ(All(*tim, "$SR "), (TList{Result("sam", "f1.txt") + "|", Result("sam", "f2.txt") + "|"}));
  EXPECT_TRUE(All(*uma, "$SR ").empty());

  // A new passive search opens the count again.
  ASSERT_TRUE(tim->Send("$Search Hub:tim F?T?0?1?again|"));
  ASSERT_TRUE(sam->ReadUntil("$Search Hub:tim F?T?0?1?again|"));
  ASSERT_TRUE(sam->Send(Result("sam", "f4.txt") + "\x05tim|"));
  EXPECT_EQ(tim->ReadUntil("$SR ").value_or(""), Result("sam", "f4.txt") + "|");
}

TEST_F(SearchLoopbackTest, ConnectionRequestWithAWrongAddressIsStopped) {
  auto vic = Login("vic");
  auto wes = Login("wes");
  ASSERT_TRUE(vic->Send("$ConnectToMe wes 6.6.6.6:4000|"));
  const std::string notice =
      "<-Kavro-> " +
      FormatText(LanguageKeyInfo(TLanguageKey::InvalidIPOnSearchOrConnectToMe).DefaultText,
                 "6.6.6.6", "127.0.0.1") +
      "|";
  EXPECT_EQ(vic->ReadUntil("<-Kavro-> ").value_or(""), notice);
  ASSERT_TRUE(vic->Send("$ConnectToMe wes 127.0.0.1:4000|"));
  EXPECT_EQ(wes->ReadUntil("$ConnectToMe ").value_or(""), "$ConnectToMe wes 127.0.0.1:4000|");
  EXPECT_EQ(All(*wes, "$ConnectToMe ").size(), 1u);
}

TEST(SearchFloodLoopbackTest, GateRefusesAtItsCount) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.CheckDataBeforeLock = {false, 0};
    settings.SearchSpamMaxCount = {TTriState::Checked, 3, 60000};
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto xia = TNmdcClient::Connect(home.Port());
  auto yul = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(xia && xia->Login("xia") && yul && yul->Login("yul"));
  for (const char* word : {"one", "two", "three"})
    ASSERT_TRUE(xia->Send(std::string("$Search 127.0.0.1:4000 F?T?0?1?") + word + "|"));
  EXPECT_EQ(xia->ReadUntil("$To: xia From: -Kavro- $").value_or(""),
            "$To: xia From: -Kavro- $<-Kavro-> SpamWarning 1: Search spam abuse|");
  ASSERT_TRUE(xia->Send("<xia> done|"));
  ASSERT_TRUE(yul->ReadUntil("<xia> done|"));
  EXPECT_EQ(All(*yul, "$Search ").size(), 2u);
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
