// Main chat and private messages through a real kavrod over loopback.

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "e2e/shared_hub_test.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace {

using namespace std::chrono_literals;

constexpr int kLimit = 20;  // the main-chat and private-message length limit

std::string Default(TLanguageKey key) { return std::string(LanguageKeyInfo(key).DefaultText); }

std::string CutNotice() { return "...\r\n" + Default(TLanguageKey::CutDueToLengthMessage); }

// Plain text and "$ZOn|" blocks as a client reads them, blocks inflated;
// nullopt when a block does not inflate.
std::optional<std::string> Unpipe(std::string_view raw) {
  static constexpr std::string_view kOn = "$ZOn|";
  std::string out;
  while (!raw.empty()) {
    const std::size_t on = raw.find(kOn);
    out += raw.substr(0, on);
    if (on == std::string_view::npos) break;
    raw.remove_prefix(on + kOn.size());
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = static_cast<uInt>(raw.size());
    int status = Z_OK;
    while (status == Z_OK) {
      char chunk[4096];
      z.next_out = reinterpret_cast<Bytef*>(chunk);
      z.avail_out = sizeof chunk;
      status = inflate(&z, Z_NO_FLUSH);
      out.append(chunk, sizeof chunk - z.avail_out);
    }
    const std::size_t used = raw.size() - z.avail_in;
    inflateEnd(&z);
    if (status != Z_STREAM_END) return std::nullopt;
    raw.remove_prefix(used);
  }
  return out;
}

// The input of `client` from message `from` on, inflated, once it holds
// `text`; nullopt when it never does. Compressed bytes reach Received()
// only with the plain message that follows them.
std::optional<std::string> ReadInflated(TNmdcClient& client, std::size_t from,
                                        std::string_view text) {
  for (;;) {
    std::string raw;
    const std::vector<std::string>& got = client.Received();
    for (std::size_t i = from; i < got.size(); ++i) raw += got[i];
    std::optional<std::string> plain = Unpipe(raw);
    if (plain && plain->find(text) != std::string::npos) return plain;
    if (!client.Read()) return std::nullopt;
  }
}

// One hub for the chat cases: flood gates off, both length limits at kLimit.
class ChatLoopbackTest : public TSharedHubTest<ChatLoopbackTest> {
 public:
  static void Configure(TSettings& settings) {
    settings.CheckDataBeforeLock = {false, 0};
    settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
    settings.PMSpamCheck.State = TTriState::Unchecked;
    settings.MainChatMaxMessageLength = {true, kLimit};
    settings.PrivateMessageMaxMessageLength = {true, kLimit};
  }

 protected:
  // The next message starting with `prefix` (other traffic is skipped).
  static std::string Next(TNmdcClient& client, std::string_view prefix) {
    const std::optional<std::string> message = client.ReadUntil(prefix);
    return message.value_or("<nothing: " + client.ReceivedText().substr(0, 300) + ">");
  }
};

TEST_F(ChatLoopbackTest, MainChatReachesEveryUserAndTheSenderByteExact) {
  auto ann = Login("ann");
  auto ben = Login("ben");
  auto cid = Login("cid");
  const std::string line = "<ann> hi \xA7 all $x|";
  ASSERT_TRUE(ann->Send(line));
  for (TNmdcClient* client : {ann.get(), ben.get(), cid.get()}) EXPECT_EQ(Next(*client, "<ann> "), line);
}

TEST_F(ChatLoopbackTest, MainChatIsCutOnePastTheLimit) {
  auto dan = Login("dan");
  auto eve = Login("eve");
  const std::string whole(kLimit, 'w');
  const std::string longer = std::string(kLimit, 'l') + "!";
  ASSERT_TRUE(dan->Send("<dan> " + whole + "|<dan> " + longer + "|"));
  EXPECT_EQ(Next(*eve, "<dan> "), "<dan> " + whole + "|");
  EXPECT_EQ(Next(*eve, "<dan> "), "<dan> " + std::string(kLimit, 'l') + CutNotice() + "|");
}

TEST_F(ChatLoopbackTest, PrivateMessageReachesOnlyItsTarget) {
  auto hal = Login("hal");
  auto ivy = Login("ivy");
  auto jon = Login("jon");
  const std::string pm = "$To: ivy From: hal $<hal> psst|";
  ASSERT_TRUE(hal->Send(pm));
  EXPECT_EQ(Next(*ivy, "$To: "), pm);
  // A main-chat marker from the same sender: jon must see it first.
  ASSERT_TRUE(hal->Send("<hal> marker|"));
  EXPECT_EQ(Next(*jon, "<hal> "), "<hal> marker|");
  EXPECT_FALSE(jon->Got("$To: "));
  EXPECT_FALSE(hal->Got("$To: "));
}

TEST_F(ChatLoopbackTest, PrivateMessageIsCutOnePastTheLimit) {
  auto kim = Login("kim");
  auto lou = Login("lou");
  const std::string whole(kLimit, 'w');
  const std::string longer(kLimit + 1, 'l');
  ASSERT_TRUE(kim->Send("$To: lou From: kim $<kim> " + whole + "|"));
  ASSERT_TRUE(kim->Send("$To: lou From: kim $<kim> " + longer + "|"));
  EXPECT_EQ(Next(*lou, "$To: "), "$To: lou From: kim $<kim> " + whole + "|");
  EXPECT_EQ(Next(*lou, "$To: "),
            "$To: lou From: kim $<kim> " + std::string(kLimit, 'l') + CutNotice() + "|");
}

TEST_F(ChatLoopbackTest, PrivateMessageToTheBotReachesNoUser) {
  auto max = Login("max");
  auto ned = Login("ned");
  ASSERT_TRUE(max->Send("$To: -Kavro- From: max $<max> +help|<max> marker|"));
  EXPECT_EQ(Next(*ned, "<max> "), "<max> marker|");
  EXPECT_FALSE(ned->Got("$To: "));
  EXPECT_EQ(Next(*max, "<max> "), "<max> marker|");  // the sender is still served
}

TEST_F(ChatLoopbackTest, CompressedDeliveryInflatesToTheSameLine) {
  auto oli = Login("oli");
  auto pia = TNmdcClient::Connect(home_->Port());
  ASSERT_NE(pia, nullptr);
  const std::optional<std::string> lock = pia->ReadUntil("$Lock ");
  ASSERT_TRUE(lock);
  const std::size_t end = lock->find(" Pk=");
  ASSERT_NE(end, std::string::npos);
  ASSERT_TRUE(pia->Send("$Supports NoHello NoGetINFO ZPipe0 |$Key " +
                        NmdcKey(std::string_view(*lock).substr(6, end - 6)) +
                        "|$ValidateNick pia|"));
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(pia->Send("$Version 1,0091|$GetNickList|" + TNmdcClient::MyINFO("pia")));
  // A short line in a send pass of its own stays plain and carries the
  // compressed login output out of the reader.
  const std::string shortLine = "<oli> hi|";
  std::this_thread::sleep_for(1000ms);
  ASSERT_TRUE(oli->Send(shortLine));
  const std::optional<std::string> login = ReadInflated(*pia, 0, shortLine);
  ASSERT_TRUE(login) << pia->ReceivedText().substr(0, 300);
  EXPECT_NE(login->find("$Hello pia|"), std::string::npos);
  EXPECT_NE(login->find("$MyINFO $ALL oli "), std::string::npos);

  const std::size_t before = pia->Received().size();
  // Lines arriving in one pass are compressed together; a lone line is too
  // short to be worth it.
  const std::string line = "<oli> " + std::string(kLimit - 1, 'z') + "!|";
  std::string lines;
  for (int i = 0; i < 6; ++i) lines += line;
  ASSERT_TRUE(oli->Send(lines));
  std::this_thread::sleep_for(1000ms);
  ASSERT_TRUE(oli->Send(shortLine));
  const std::optional<std::string> chat = ReadInflated(*pia, before, shortLine);
  ASSERT_TRUE(chat) << "the block does not inflate";
  EXPECT_EQ(*chat, lines + shortLine);
  std::string raw;
  for (std::size_t i = before; i < pia->Received().size(); ++i) raw += pia->Received()[i];
  EXPECT_TRUE(raw.starts_with("$ZOn|")) << raw;
  EXPECT_TRUE(raw.ends_with(shortLine));
  EXPECT_EQ(raw.find(line), std::string::npos);  // not also sent plain
}

// A hub whose main-chat and private-message gates refuse the third message
// in a minute.
TEST(ChatFloodLoopbackTest, GatesRefuseAtTheirCount) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.CheckDataBeforeLock = {false, 0};
    settings.MainChatSpamMaxCount = {TTriState::Checked, 3, 60000};
    settings.PMSpamCheck = {TTriState::Checked, 3, 60000};
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto pat = TNmdcClient::Connect(home.Port());
  auto rex = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(pat && pat->Login("pat") && rex && rex->Login("rex"));

  ASSERT_TRUE(pat->Send("<pat> 1|<pat> 2|<pat> 3|"));
  EXPECT_EQ(pat->ReadUntil("$To: pat From: -Kavro- $").value_or(""),
            "$To: pat From: -Kavro- $<-Kavro-> SpamWarning 1: MainChat spam abuse|");
  ASSERT_TRUE(pat->Send("$To: rex From: pat $<pat> a|$To: rex From: pat $<pat> b|"
                        "$To: rex From: pat $<pat> c|"));
  EXPECT_EQ(pat->ReadUntil("$To: pat From: -Kavro- $").value_or(""),
            "$To: pat From: -Kavro- $<-Kavro-> SpamWarning 2: Private message spam abuse|");
  rex->Drain(500ms);
  std::vector<std::string> seen;
  for (const std::string& message : rex->Received())
    if (message.starts_with("<pat> ") || message.starts_with("$To: rex")) seen.push_back(message);
  EXPECT_EQ(seen, (std::vector<std::string>{"<pat> 1|", "<pat> 2|", "$To: rex From: pat $<pat> a|",
                                             "$To: rex From: pat $<pat> b|"}));
  EXPECT_EQ(home.StopHub(), 0);
}

// A forged nick bans the sender's address for a while: a hub of its own.
TEST(ChatOriginLoopbackTest, ForgedNickInMainChatClosesTheSender) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) { settings.CheckDataBeforeLock = {false, 0}; });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();
  auto fay = TNmdcClient::Connect(home.Port());
  auto gus = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(fay && fay->Login("fay") && gus && gus->Login("gus"));
  ASSERT_TRUE(fay->Send("<gus> it was me|"));
  EXPECT_TRUE(fay->WaitClosed());
  EXPECT_TRUE(fay->Got("<-Kavro-> " + Default(TLanguageKey::IncorrectNickInMainChat) + "|"))
      << fay->ReceivedText();
  // gus sees its own line and never the forged one.
  ASSERT_TRUE(gus->Send("<gus> after|"));
  EXPECT_EQ(gus->ReadUntil("<").value_or(""), "<gus> after|");
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
