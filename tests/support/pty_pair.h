#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <string_view>

// A pseudo-terminal standing in for a serial line: the test holds the master
// side (the device at the far end), the code under test opens SlavePath().
class TPtyPair {
 public:
  TPtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
      throw std::runtime_error("posix_openpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname_r");
    slave_ = name;
  }
  ~TPtyPair() { CloseMaster(); }
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  const std::string& SlavePath() const { return slave_; }
  int Master() const { return master_; }

  // What the far device sends.
  void Send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pty write");
      done += static_cast<std::size_t>(n);
    }
  }
  // What reached the far device so far.
  std::string Received() {
    char buffer[4096];
    ssize_t n;
    while ((n = read(master_, buffer, sizeof buffer)) > 0)
      received_.append(buffer, static_cast<std::size_t>(n));
    return received_;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
  std::string received_;
};
