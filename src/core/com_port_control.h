#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class TComPort;
class TSettings;
class TStats;

// The received lines the serial page shows. Main thread only.
class TComPortLog {
 public:
  // A log holding more lines than this is cleared before the next one.
  static constexpr std::size_t kMaxLines = 500;

  void Add(const std::string& line);
  void Clear();
  const std::vector<std::string>& Lines() const { return lines_; }

  std::function<void()> OnCleared;
  std::function<void(const std::string&)> OnAdded;

 private:
  std::vector<std::string> lines_;
};

// What the control lines ask of the window.
struct TComPortControlHooks {
  std::function<void()> StopHub;   // as the "Stop Hub" action
  std::function<void()> StartHub;  // no question, no warning
  // Shows the level in the General page's work-pace list without storing it.
  std::function<void(int level)> ShowWorkPace;
};

// Interprets the lines an outside device sends on the serial control line
// ("KV+" requests, "KV-" replies), answers on the port and logs every line.
// Owns the log; does not own the port, the settings or the counters.
class TComPortControl {
 public:
  TComPortControl(TComPort& port, TSettings& settings, const TStats& stats,
                  TComPortControlHooks hooks);

  // `line` still ends with its terminator.
  void HandleLine(const std::string& line);

  TComPortLog& Log() { return log_; }

 private:
  TComPort& port_;
  TSettings& settings_;
  const TStats& stats_;
  TComPortControlHooks hooks_;
  TComPortLog log_;
};
