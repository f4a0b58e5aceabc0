// The kavro program itself under the offscreen platform: a client logs in
// and chats; SIGTERM and SIGINT end it with exit 0, the files saved and no
// question, though the close prompt is on.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "e2e/e2e_home.h"
#include "e2e/nmdc_client.h"
#include "platform/file_io.h"
#include "settings/settings.h"
#include "support/build_programs.h"

namespace {

// One run of the built kavro, its output in a log file; killed if a test
// leaves it running.
class TKavroRun {
 public:
  TKavroRun(const std::string& home, const std::string& log) : log_(log) {
    pid_ = fork();
    if (pid_ == 0) {
      const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
      const std::string program = BuildProgram("../kavro");
      execl(program.c_str(), program.c_str(), "--home", home.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~TKavroRun() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit code after `signal`, or nullopt when it did not exit in time.
  std::optional<int> Stop(int signal) {
    kill(pid_, signal);
    for (int i = 0; i < 300; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        return std::nullopt;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
  }
  std::string Output() const {
    std::string text;
    ReadFileBytes(log_, text);
    return text;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
};

class KavroProgramTest : public ::testing::TestWithParam<int> {};

TEST_P(KavroProgramTest, ServesChatAndStopsCleanlyOnTheSignal) {
  TE2EHome home;
  home.WriteSettings([](TSettings& settings) {
    settings.AutoStart = true;
    settings.PromptOnShutDown = true;
    settings.NmdcsPorts = "";
  });
  std::filesystem::remove(home.File("settings/profiles.xml"));
  TKavroRun kavro(home.Folder(), home.File("kavro.log"));
  std::unique_ptr<TNmdcClient> alice;
  for (int i = 0; i < 100 && !alice; ++i) {
    alice = TNmdcClient::Connect(home.Port());
    if (!alice) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(alice) << kavro.Output();
  ASSERT_TRUE(alice->Login("alice"));
  ASSERT_TRUE(alice->Send("<alice> hello from the window|"));
  EXPECT_TRUE(alice->ReadUntil("<alice> hello from the window|").has_value());

  EXPECT_EQ(kavro.Stop(GetParam()), std::optional<int>(0)) << kavro.Output();
  EXPECT_TRUE(std::filesystem::exists(home.File("settings/profiles.xml")));
}

INSTANTIATE_TEST_SUITE_P(Signals, KavroProgramTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& row) {
                           return std::string(row.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

}  // namespace
