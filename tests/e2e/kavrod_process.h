#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// One real kavrod run: the built program started with the given arguments,
// its standard output and error going to a log file. Stops it by signal and
// reads its exit status; a run still alive when the object goes is killed.
class TKavrodProcess {
 public:
  TKavrodProcess(std::vector<std::string> arguments, std::string logFile);
  ~TKavrodProcess();
  TKavrodProcess(const TKavrodProcess&) = delete;
  TKavrodProcess& operator=(const TKavrodProcess&) = delete;

  // The log so far.
  std::string Output() const;
  // Waits until the log holds `text`; false when the time runs out or the
  // program ended first.
  bool WaitForOutput(const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  // Waits until the log holds one of `texts`; the index of the first found
  // (in the order given), nullopt as WaitForOutput's false.
  std::optional<std::size_t> WaitForOneOf(
      const std::vector<std::string>& texts,
      std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

  // Sends `signal` and waits for the end. The exit code, or nullopt when it
  // did not end in time or ended by a signal.
  std::optional<int> Stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(15));
  // The exit code once it has ended by itself.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(15));

 private:
  bool Running() const { return pid_ > 0; }

  std::string logFile_;
  pid_t pid_ = -1;
};
