#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

// A child program started with fork and exec whose standard output comes
// back through a pipe. Killed and reaped when the object goes, so a failing
// test leaves no process behind.
class TChildProcess {
 public:
  TChildProcess() = default;
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  ~TChildProcess() {
    Kill();
    Wait();
    if (out_ >= 0) ::close(out_);
  }

  // Starts `program` with `args`; false when the pipe or fork failed.
  bool Start(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    std::vector<char*> argv;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) {
      ::close(fds[0]);
      ::close(fds[1]);
      return false;
    }
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
    return true;
  }

  // Reads what the child wrote, waiting up to `timeout` for the first byte
  // when nothing is there yet; appends it to `text`. False at the end of
  // the output or when the time ran out.
  bool Read(std::string& text, std::chrono::milliseconds timeout) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char chunk[4096];
    const ssize_t got = ::read(out_, chunk, sizeof chunk);
    if (got <= 0) return false;
    text.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  // Reads the rest of the output of a child that has ended.
  void ReadToEnd(std::string& text) {
    while (Read(text, std::chrono::milliseconds(1000))) {
    }
  }

  void Kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
  }

  // Reaps the child; the raw wait status, or -1 when there is none.
  int Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
    pid_ = -1;
    return status;
  }

  static bool KilledBySignal(int status, int signal) {
    return status >= 0 && WIFSIGNALED(status) && WTERMSIG(status) == signal;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};
