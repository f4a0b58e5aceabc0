#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/event_loop.h"

// One reading for the load figure: processor time the process used so far
// and the hub clock at that moment.
struct TCPUSample {
  std::uint64_t CPUMicroseconds = 0;
  std::uint64_t TickMs = 0;
};

// The hub's processor load, measured every 30 seconds: the share of one
// processor the process used over the last period ("100.00%" is one
// processor busy the whole time), and its total processor time. Owns its
// timer; does not own the loop, which must outlive it. Main thread only.
class TCPUInfo {
 public:
  using TSampler = std::function<TCPUSample()>;

  static constexpr std::uint64_t kIntervalMs = 30'000;

  // Takes the first sample now. Without a sampler, the process's own times
  // and the hub clock.
  explicit TCPUInfo(EventLoop& loop, TSampler sampler = {});
  TCPUInfo(const TCPUInfo&) = delete;
  TCPUInfo& operator=(const TCPUInfo&) = delete;

  // "N/A" until the first period ended, then e.g. "12.50%".
  const std::string& CPUUsage() const { return usage_; }
  // The process's total processor time, "hh:mm:ss" ("00:00:00" at first).
  const std::string& CPUTime() const { return time_; }

  // Ends the current period now (the timer does it every 30 seconds). A
  // period without time passed keeps the last figure.
  void Update();

 private:
  TSampler sampler_;
  TCPUSample last_;
  std::string usage_ = "N/A";
  std::string time_ = "00:00:00";
  TTimer timer_;
};

// `percent` rounded to 5 significant digits, then shown with two decimals
// (halves rounded up) and "%": 12.3456 -> "12.35%". Locale-independent.
std::string FormatCPUPercent(double percent);
