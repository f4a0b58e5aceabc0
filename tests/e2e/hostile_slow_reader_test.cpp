// Readers that do not keep up, against a real kavrod on loopback: one that
// never reads must be closed once its queue is full, while every client that
// reads gets every line, also when thousands of them join at once.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_home.h"
#include "e2e/hostile_hub.h"
#include "e2e/hostile_socket.h"
#include "e2e/nmdc_client.h"
#include "settings/settings.h"

namespace {

using namespace std::chrono_literals;

void ChattyHub(TSettings& settings) {
  HostileSettings(settings);
  settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
}

// The chat lines `from` says, in the order `input` holds them.
std::vector<std::string> LinesOf(const std::string& input, const std::string& from) {
  std::vector<std::string> lines;
  const std::string start = "<" + from + "> ";
  for (std::size_t at = input.find(start); at != std::string::npos; at = input.find(start, at)) {
    const std::size_t end = input.find('|', at);
    if (end == std::string::npos) break;
    lines.push_back(input.substr(at, end + 1 - at));
    at = end;
  }
  return lines;
}

TEST(HostileSlowReaderTest, NeverReaderIsClosedAndReadersGetEveryLine) {
  TE2EHome home;
  home.WriteSettings(ChattyHub);
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  // A tiny receive window, so the hub's queue for it fills soon.
  auto stuck = THostileSocket::Open(HostileSource(0), home.Port(), 4096);
  ASSERT_TRUE(stuck && stuck->Login("stuck")) << (stuck ? stuck->Input().substr(0, 300) : "");
  THostileSockets readers;
  for (int i = 1; i <= 3; ++i) {
    readers.push_back(THostileSocket::Open(HostileSource(i), home.Port()));
    ASSERT_TRUE(readers.back() && readers.back()->Login("reader" + std::to_string(i)));
  }
  for (auto& reader : readers) reader->ForgetInput();
  THostileSocket& talker = *readers.front();

  // Several megabytes in all: more than the largest queue the hub keeps.
  constexpr int kLines = 3000;
  const std::string body(1800, 'x');
  std::vector<std::string> said;
  for (int i = 0; i < kLines; ++i) {
    said.push_back("<reader1> " + std::to_string(i) + " " + body + "|");
    ASSERT_TRUE(talker.Send(said.back())) << "line " << i;
    if (i % 16 == 0)
      for (auto& reader : readers) reader->Pump();
  }
  const std::string last = said.back();
  EXPECT_EQ(WaitEachFor(readers, last, 20s), static_cast<int>(readers.size()));
  for (std::size_t i = 0; i < readers.size(); ++i) {
    SCOPED_TRACE("reader " + std::to_string(i + 1));
    EXPECT_FALSE(readers[i]->Closed());
    const std::vector<std::string> got = LinesOf(readers[i]->Input(), "reader1");
    EXPECT_EQ(got.size(), said.size());
    EXPECT_TRUE(got == said) << "lines lost or out of order";
  }
  // It reads now: what the hub queued, then the end.
  EXPECT_TRUE(stuck->WaitClosed(10s));
  EXPECT_LT(LinesOf(stuck->Input(), "reader1").size(), said.size());

  EXPECT_EQ(HubServes(home, "probe"), "");
  EXPECT_EQ(CriticalErrors(home.Hub().Output()), 0) << home.Hub().Output();
  EXPECT_EQ(home.StopHub(), 0);
}

// Every client logs in at the same moment and reads all the time: the hub
// must not take the burst of nick lists and announcements for stuck
// readers and drop them.
// A long description, as many real users have: the nick list each one
// takes is then several hundred kilobytes.
std::string StormMyINFO(const std::string& nick) {
  return "$MyINFO $ALL " + nick + " " + std::string(110, 'd') +
         "<EiskaltDC++ V:2.4.2,M:A,H:1/0/0,S:3>$ $20\x01$$1234567890$|";
}

TEST(HostileSlowReaderTest, LoginStormOfReadingClientsDropsNone) {
  constexpr int kClients = 2000;
  TSoftLimitGuard guard;
  if (TestFileLimits().Soft < kClients + 100)
    GTEST_SKIP() << "the open-file limit is below " << kClients + 100;
  TE2EHome home;
  home.WriteSettings(ChattyHub);
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  THostileSockets clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(THostileSocket::Open(HostileSource(i, 5), home.Port()));
    ASSERT_TRUE(clients.back());
  }
  ASSERT_EQ(WaitEachFor(clients, " Pk=", 30s), kClients);
  const auto nick = [](std::size_t i) { return "storm" + std::to_string(i); };
  for (std::size_t i = 0; i < clients.size(); ++i) ASSERT_TRUE(clients[i]->Handshake(nick(i)));

  // Each answers its "$Hello" at once and then waits for its own "$MyINFO";
  // all of them keep reading until the last one is in.
  std::vector<int> stage(clients.size(), 0);
  std::size_t done = 0;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (done < clients.size() && std::chrono::steady_clock::now() < deadline) {
    bool idle = true;
    for (std::size_t i = 0; i < clients.size(); ++i) {
      THostileSocket& client = *clients[i];
      if (client.Closed()) continue;
      const std::size_t before = client.Input().size();
      client.Pump();
      if (client.Input().size() != before) idle = false;
      if (stage[i] == 0 && client.Input().find("$Hello " + nick(i) + "|") != std::string::npos) {
        client.Send("$Version 1,0091|$GetNickList|" + StormMyINFO(nick(i)));
        stage[i] = 1;
      }
      if (stage[i] == 1 &&
          client.Input().find("$MyINFO $ALL " + nick(i) + " ") != std::string::npos) {
        stage[i] = 2;
        ++done;
      }
      if (client.Closed() && stage[i] != 2) ++done;
      client.KeepTail(256);
    }
    if (idle) std::this_thread::sleep_for(5ms);
  }
  int closed = 0;
  for (const auto& client : clients) closed += client->Closed() ? 1 : 0;
  EXPECT_EQ(done, clients.size()) << "logins still unfinished at the time limit";
  EXPECT_EQ(closed, 0) << "reading clients dropped in the storm";

  // A line said now reaches every one of them.
  auto probe = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(probe && probe->Login("probe"));
  ASSERT_TRUE(probe->Send("<probe> after the storm|"));
  EXPECT_EQ(WaitEachFor(clients, "<probe> after the storm|", 30s), kClients);
  EXPECT_EQ(CriticalErrors(home.Hub().Output()), 0) << home.Hub().Output();
  clients.clear();
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
