#include "e2e/kavrod_process.h"
#include "support/build_programs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

TKavrodProcess::TKavrodProcess(std::vector<std::string> arguments, std::string logFile)
    : logFile_(std::move(logFile)) {
  arguments.insert(arguments.begin(), KavrodPath());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int log = open(logFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (log < 0) throw std::runtime_error("cannot create " + logFile_);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    // The test program may block signals in its threads; kavrod starts clean.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(log);
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

TKavrodProcess::~TKavrodProcess() {
  if (!Running()) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string TKavrodProcess::Output() const {
  std::ifstream in(logFile_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TKavrodProcess::WaitForOutput(const std::string& text,
                                   std::chrono::milliseconds limit) const {
  return WaitForOneOf({text}, limit).has_value();
}

std::optional<std::size_t> TKavrodProcess::WaitForOneOf(const std::vector<std::string>& texts,
                                                        std::chrono::milliseconds limit) const {
  const auto found = [&]() -> std::optional<std::size_t> {
    const std::string output = Output();
    for (std::size_t i = 0; i < texts.size(); ++i)
      if (output.find(texts[i]) != std::string::npos) return i;
    return std::nullopt;
  };
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (const auto index = found()) return index;
    if (!Running()) return std::nullopt;
    // Ended? Look without reaping, so Stop still reads the status.
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid_)
      return found();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

std::optional<int> TKavrodProcess::Stop(int signal, std::chrono::milliseconds limit) {
  if (!Running()) return std::nullopt;
  kill(pid_, signal);
  return WaitForExit(limit);
}

std::optional<int> TKavrodProcess::WaitForExit(std::chrono::milliseconds limit) {
  if (!Running()) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}
