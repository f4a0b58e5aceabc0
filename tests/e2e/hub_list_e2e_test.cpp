// Hub-list registration and pinger bots against a real kavrod: list
// servers on loopback ports take the hub's line, and pinger bots from
// their 127.0.x.y addresses log in to a full hub with their own rights.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "core/hub_list_host.h"
#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/hub_list_server.h"
#include "utils/program_folder.h"
#include "utils/xml_values.h"

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr const char* kLockBody = "EXTENDEDPROTOCOLe2elist";

// Writes settings/register.xml as the hub's own list would.
void WriteHosts(const std::string& home, const std::function<void(THostList&)>& fill) {
  SetProgramFolder(home);
  THostList hosts("Missing", {});
  hosts.Load();
  fill(hosts);
  ASSERT_TRUE(hosts.Save());
}

THost& AddHost(THostList& hosts, const char* name, int port) {
  THost& host = *hosts.Add(name);
  host.Host = "127.0.0.1";
  host.Port = port;
  return host;
}

std::string Text(TLanguageKey key) {
  static const TLanguage language;
  return language.Text(key);
}

// The first pass that finds the hub running comes one registration interval
// after the start (30 s), and the silent server is held for the exchange
// limit after that (30 s more): a long test.
TEST(HubListE2ELongTest, RegistersWithinFortySecondsAndDropsASilentServer) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.NmdcsPorts = "";  // one port, so the line names it
    settings.SetHubName("E2EHub");
    settings.HubAddress = "hub.e2e.test";
    settings.HubDescription = "A hub|for tests";
    settings.HubRegistration = true;
  });
  TFakeHubListServer listing(
      [](TFakeHubListServer& s, int fd) {
        TFakeHubListServer::Send(fd, std::string("$Lock ") + kLockBody + " Pk=e2e|");
        s.Line = s.ReadBars(fd, 6, 45000ms);
      },
      45000ms);
  TFakeHubListServer silent(
      [](TFakeHubListServer& s, int fd) {
        std::string extra;
        s.Line = std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    TClock::now().time_since_epoch())
                                    .count());
        s.WaitClosed(fd, 45000ms, extra);
      },
      45000ms);
  WriteHosts(home.Folder(), [&](THostList& hosts) {
    AddHost(hosts, "listing", listing.Port());
    AddHost(hosts, "silent", silent.Port());
  });

  const TClock::time_point started = TClock::now();
  ASSERT_TRUE(home.StartHub());
  listing.Join();
  const auto firstLine = TClock::now() - started;
  ASSERT_TRUE(listing.Accepted);
  EXPECT_LT(firstLine, 40s);
  std::printf("first registration line %lld ms after the start\n",
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(firstLine).count()));
  EXPECT_EQ(listing.Line, "$Key " + ExpectedHubListKey(kLockBody, listing.PeerPort) +
                              "|E2EHub|dchub://hub.e2e.test:" + std::to_string(home.Port()) +
                              "|A hub&#124;for tests|0|0|");

  silent.Join();
  ASSERT_TRUE(silent.Accepted);
  ASSERT_TRUE(silent.PeerClosed);
  const auto connectedAt =
      TClock::time_point(std::chrono::milliseconds(std::stoll(silent.Line)));
  const auto held = silent.ClosedAt - connectedAt;
  EXPECT_GT(held, 29s);
  EXPECT_LT(held, 33s);

  EXPECT_EQ(home.StopHub(), 0);
  SetProgramFolder(home.Folder());
  THostList saved("Missing", {});
  ASSERT_TRUE(saved.Load());
  ASSERT_EQ(saved.GetCount(), 2);
  for (const char* name : {"listing", "silent"}) {
    ASSERT_NE(saved.Find(name), nullptr) << name;
    EXPECT_NE(saved.Find(name)->LastRun, TDateTime{}) << name;  // the pass was recorded
  }
}

std::unique_ptr<TNmdcClient> From(int port, const char* source) {
  auto client = TNmdcClient::Connect(port, false, source);
  EXPECT_NE(client, nullptr) << source;
  return client;
}

// Up to "$Hello"; false when the hub refused or closed.
bool UpToHello(TNmdcClient& client, const char* nick) {
  return client.Handshake(nick) && client.ReadUntil("$Hello ").has_value();
}

TEST(HubListE2ETest, PingersEnterAFullHubWithTheirOwnRights) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) { settings.MaxUsers = 1; });
  WriteHosts(home.Folder(), [](THostList& hosts) {
    THost& plain = AddHost(hosts, "plain", 2501);
    plain.Enabled = false;
    plain.BotNickPattern = "Pinger*";
    plain.BotNickPatternEnabled = true;
    plain.BotIPPattern = "127.0.3.*";
    plain.BotIPPatternEnabled = true;
    THost& connecting = AddHost(hosts, "connecting", 2502);
    connecting.Enabled = false;
    connecting.BotNickPattern = "Checker*";
    connecting.BotNickPatternEnabled = true;
    connecting.BotIPPattern = "127.0.4.*";
    connecting.BotIPPatternEnabled = true;
    connecting.MayConnectToOtherUsers = true;
  });
  ASSERT_TRUE(home.StartHub());

  auto regular = From(home.Port(), "127.0.0.2");
  ASSERT_TRUE(regular->Login("regular"));
  // The hub is full now for anyone else.
  auto another = From(home.Port(), "127.0.0.3");
  ASSERT_TRUE(another->Handshake("another"));
  EXPECT_TRUE(another->WaitClosed());

  struct TPinger {
    const char* Nick;
    const char* Source;
    bool ConnectRelayed;
  };
  for (const TPinger& p : {TPinger{"PingerOne", "127.0.3.1", false},
                           TPinger{"CheckerTwo", "127.0.4.1", true}}) {
    SCOPED_TRACE(p.Nick);
    auto pinger = From(home.Port(), p.Source);
    ASSERT_TRUE(UpToHello(*pinger, p.Nick));
    // The nick list (as "$MyINFO"s: the client supports NoHello) comes
    // before the pinger said who it is.
    ASSERT_TRUE(pinger->Send("$Version 1,0091|$GetNickList|"));
    EXPECT_TRUE(pinger->ReadUntil("$MyINFO $ALL regular ").has_value());
    ASSERT_TRUE(pinger->Send(TNmdcClient::MyINFO(p.Nick)));
    // Its list went out before it was listed: the others see it arrive.
    ASSERT_TRUE(regular->ReadUntil("$MyINFO $ALL " + std::string(p.Nick) + " ").has_value());

    ASSERT_TRUE(pinger->Send("<" + std::string(p.Nick) + "> hello|"));
    EXPECT_TRUE(pinger->ReadUntil("<-Kavro-> " + Text(TLanguageKey::MainChatDisabled)).has_value());
    ASSERT_TRUE(pinger->Send("$Search " + std::string(p.Source) + ":4000 F?T?0?1?music|"));
    pinger->Drain(300ms);
    EXPECT_NE(pinger->ReceivedText().find(Text(TLanguageKey::SearchingDisabled)),
              std::string::npos);

    const std::string connect =
        "$ConnectToMe regular " + std::string(p.Source) + ":4000|";
    ASSERT_TRUE(pinger->Send(connect));
    if (p.ConnectRelayed) {
      EXPECT_EQ(regular->ReadUntil("$ConnectToMe "), connect);
    } else {
      EXPECT_TRUE(
          pinger->ReadUntil("<-Kavro-> " + Text(TLanguageKey::ConnectToMeDisabled)).has_value());
      regular->Drain(300ms);
      EXPECT_FALSE(regular->Got("$ConnectToMe "));
    }
    EXPECT_FALSE(pinger->Closed());
  }

  // A pinger's nick from an address of no pinger.
  auto impostor = From(home.Port(), "127.0.0.9");
  ASSERT_TRUE(impostor->Handshake("PingerFake"));
  EXPECT_TRUE(impostor->WaitClosed());
  EXPECT_TRUE(impostor->Got("<-Kavro-> " + Text(TLanguageKey::NickReservedForHubPinger) + "|"))
      << impostor->ReceivedText();
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
