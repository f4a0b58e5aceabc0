// Debian's microdc2, a real NMDC client, against kavrod over loopback:
// login, main chat and private messages both ways, and a search answered
// from its share.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "settings/settings.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kClientPath = "/usr/bin/microdc2";

// microdc2 reading commands on its standard input, printing to a log.
// Bounded by `timeout`, so a client that hangs cannot hang the test.
class TMicroDC {
 public:
  // `home` holds .microdc2/config; the log goes to `log`.
  TMicroDC(const std::string& home, std::string log) : log_(std::move(log)) {
    const std::string command = "HOME='" + home + "' timeout 120 " + kClientPath + " >'" + log_ +
                                "' 2>&1";
    pipe_ = popen(command.c_str(), "w");
  }
  ~TMicroDC() {
    if (pipe_ == nullptr) return;
    Command("exit");
    pclose(pipe_);
  }
  TMicroDC(const TMicroDC&) = delete;
  TMicroDC& operator=(const TMicroDC&) = delete;

  bool Started() const { return pipe_ != nullptr; }
  bool Command(const std::string& line) {
    return std::fputs((line + "\n").c_str(), pipe_) >= 0 && std::fflush(pipe_) == 0;
  }
  std::string Log() const {
    std::string text;
    ReadFileBytes(log_, text);
    return text;
  }
  // Waits until the log holds `text`.
  bool WaitFor(const std::string& text, std::chrono::milliseconds limit = 10s) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Log().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }

 private:
  std::string log_;
  std::FILE* pipe_ = nullptr;
};

TEST(RealClientTest, MicroDCChatsPrivatelyAndPubliclyAndAnswersSearches) {
  if (!FileExists(kClientPath)) {
    GTEST_SKIP() << "microdc2 is not installed (scripts/test installs Debian's microdc2 package; "
                    "it could not be installed here)";
  }
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.CheckDataBeforeLock = {false, 0};
    settings.MainChatSpamMaxCount.State = TTriState::Unchecked;
    settings.PMSpamCheck.State = TTriState::Unchecked;
    settings.SearchSpamMaxCount.State = TTriState::Unchecked;
  });
  ASSERT_TRUE(home.StartHub()) << home.Hub().Output();

  const std::string clientHome = home.File("microdc");
  const std::string share = home.File("microdc/share");
  ASSERT_TRUE(CreateDirectories(clientHome + "/.microdc2"));
  ASSERT_TRUE(CreateDirectories(share));
  ASSERT_TRUE(CreateDirectories(clientHome + "/downloads"));
  ASSERT_TRUE(WriteFileAtomic(share + "/kavroprobe.txt", "shared by the real client\n"));
  ASSERT_TRUE(WriteFileAtomic(clientHome + "/.microdc2/config",
                              "set nick realdc\nset listenaddr 127.0.0.1\nset listenport " +
                                  std::to_string(TE2EHome::FreePort()) +
                                  "\nset active on\nset downloaddir " + clientHome +
                                  "/downloads\n"));

  auto tester = TNmdcClient::Connect(home.Port());
  ASSERT_TRUE(tester && tester->Login("tester"));

  TMicroDC client(clientHome, home.File("microdc.log"));
  ASSERT_TRUE(client.Started());
  ASSERT_TRUE(client.Command("share " + share));
  ASSERT_TRUE(client.Command("connect 127.0.0.1:" + std::to_string(home.Port())));
  // It logs in and shows up in the test client's list.
  ASSERT_TRUE(tester->ReadUntil("$MyINFO $ALL realdc ", 15s)) << client.Log();
  ASSERT_TRUE(client.WaitFor("logged in")) << client.Log();

  ASSERT_TRUE(client.Command("say hello from a real client"));
  EXPECT_EQ(tester->ReadUntil("<realdc> ").value_or(""), "<realdc> hello from a real client|");
  ASSERT_TRUE(tester->Send("<tester> hello back|"));
  EXPECT_TRUE(client.WaitFor("<tester> hello back")) << client.Log();

  ASSERT_TRUE(client.Command("msg tester a private word"));
  EXPECT_EQ(tester->ReadUntil("$To: ").value_or(""),
            "$To: tester From: realdc $<realdc> a private word|");
  ASSERT_TRUE(tester->Send("$To: realdc From: tester $<tester> a private answer|"));
  EXPECT_TRUE(client.WaitFor("a private answer")) << client.Log();

  // A passive client ignores passive searches, so the client runs active;
  // its result to a passive search comes back through the hub.
  ASSERT_TRUE(tester->Send("$Search Hub:tester F?T?0?1?kavroprobe|"));
  const std::string result = tester->ReadUntil("$SR ", 15s).value_or("");
  EXPECT_TRUE(result.starts_with("$SR realdc ")) << result << "\n" << client.Log();
  EXPECT_NE(result.find("kavroprobe.txt"), std::string::npos) << result;
  EXPECT_EQ(result.find("tester"), std::string::npos) << "the target's name is passed on";
  EXPECT_EQ(home.StopHub(), 0);
}

}  // namespace
