#include "utils/hub_time.h"

#include "platform/monotonic_clock.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerDay = 86'400'000;

void AppendTwoDigits(std::string& out, int64_t value) {
  out.push_back(static_cast<char>('0' + value / 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

uint64_t TTime::Now() { return MonotonicMs(); }

std::string TTime::FormatDuration(int64_t milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  const int64_t days = milliseconds / kMsPerDay;
  const int64_t seconds = (milliseconds % kMsPerDay) / kMsPerSecond;
  std::string out;
  if (days > 0) {
    out = std::to_string(days);
    out.push_back(':');
  }
  AppendTwoDigits(out, seconds / 3600);
  out.push_back(':');
  AppendTwoDigits(out, seconds / 60 % 60);
  out.push_back(':');
  AppendTwoDigits(out, seconds % 60);
  return out;
}

uint64_t TTickWrap::Extend(uint32_t tick) {
  if (tick < lastTick_) ++wraps_;
  lastTick_ = tick;
  // A 32-bit counter wraps after 2^32 steps, so each wrap is worth exactly 2^32.
  return (wraps_ << 32) + tick;
}
