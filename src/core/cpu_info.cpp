#include "core/cpu_info.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/process_times.h"
#include "utils/hub_time.h"

namespace {

TCPUSample ReadOwnSample() {
  TCPUSample sample;
  TProcessTimes times;
  if (ReadProcessTimes(times)) sample.CPUMicroseconds = times.TotalMicroseconds();
  sample.TickMs = TTime::Now();
  return sample;
}

// Adds one unit at the last digit of a decimal digit string, carrying;
// true when the carry ran out of the front ("99" -> "00").
bool IncrementDigits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return false;
    }
    *it = '0';
  }
  return true;
}

}  // namespace

std::string FormatCPUPercent(double percent) {
  if (!std::isfinite(percent) || percent < 0) percent = 0;
  // Five significant digits, correctly rounded: "d.dddde+XX".
  std::array<char, 64> text{};
  const auto [end, ec] =
      std::to_chars(text.data(), text.data() + text.size(), percent,
                    std::chars_format::scientific, 4);
  if (ec != std::errc()) return "0.00%";
  const std::string_view scientific(text.data(), static_cast<std::size_t>(end - text.data()));
  const std::size_t e = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+' ? 1 : 0),
                  scientific.data() + scientific.size(), exponent);

  // The value is 0.<digits> * 10^(exponent + 1); put the point in and pad
  // so there are at least three decimals to round from.
  int pointAt = exponent + 1;
  if (pointAt < 0) {
    digits.insert(0, static_cast<std::size_t>(-pointAt), '0');
    pointAt = 0;
  }
  while (static_cast<int>(digits.size()) < pointAt + 3) digits += '0';
  std::string kept = digits.substr(0, static_cast<std::size_t>(pointAt) + 2);
  if (kept.empty()) kept = "0";
  if (digits[static_cast<std::size_t>(pointAt) + 2] >= '5' && IncrementDigits(kept)) {
    kept.insert(kept.begin(), '1');
    ++pointAt;
  }
  std::string whole = kept.substr(0, static_cast<std::size_t>(pointAt));
  if (whole.empty()) whole = "0";
  return whole + "." + kept.substr(static_cast<std::size_t>(pointAt)) + "%";
}

TCPUInfo::TCPUInfo(EventLoop& loop, TSampler sampler) : sampler_(std::move(sampler)) {
  if (!sampler_) sampler_ = ReadOwnSample;
  last_ = sampler_();
  timer_ = loop.AddTimer(kIntervalMs, true, [this] { Update(); });
}

void TCPUInfo::Update() {
  const TCPUSample now = sampler_();
  time_ = TTime::FormatDuration(static_cast<std::int64_t>(now.CPUMicroseconds / 1000));
  if (now.TickMs <= last_.TickMs) return;
  const std::uint64_t used = now.CPUMicroseconds >= last_.CPUMicroseconds
                                 ? now.CPUMicroseconds - last_.CPUMicroseconds
                                 : 0;
  const double elapsedMs = static_cast<double>(now.TickMs - last_.TickMs);
  // Microseconds over milliseconds x 10 is the percentage of one processor.
  usage_ = FormatCPUPercent(static_cast<double>(used) / (elapsedMs * 10.0));
  last_ = now;
}
