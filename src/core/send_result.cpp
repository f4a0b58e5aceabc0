#include "core/send_result.h"

#include <numeric>

#include "utils/hub_time.h"

void TByteRate::Add(std::uint64_t bytes, std::uint64_t nowMs) {
  // A clock reading before the window start (a caller's stale time) counts
  // as inside the window rather than wrapping the difference.
  if (nowMs < windowStart_ || nowMs - windowStart_ < kWindowMs) {
    windowBytes_ += bytes;
    return;
  }
  rate_ = windowBytes_ / (kWindowMs / 1000);
  windowStart_ = nowMs;
  windowBytes_ = bytes;
}

TSendResult::TSendResult() : TSendResult(TTime::Now()) {}

TSendResult::TSendResult(std::uint64_t startMs) : sending_(startMs), receiving_(startMs) {}

void TSendResult::RecordOutcome(std::uint8_t outcome) {
  const std::uint8_t index = outcome & 0x7F;
  if (index < outcomes_.size()) ++outcomes_[index];
}

std::uint64_t TSendResult::Total() const {
  return std::accumulate(outcomes_.begin(), outcomes_.end(), std::uint64_t{0});
}

bool TSendResult::IsBadLink() const {
  const std::uint64_t total = Total();
  if (total == 0) return false;
  const double all = static_cast<double>(total);
  if (static_cast<double>(outcomes_[soNoBuffers]) / all > 0.02) return true;
  return total >= 201 && static_cast<double>(outcomes_[soNotWritable]) / all > 0.4;
}

void TSendResult::AddSent(std::uint64_t bytes) { sending_.Add(bytes, TTime::Now()); }

void TSendResult::AddReceived(std::uint64_t bytes) { receiving_.Add(bytes, TTime::Now()); }
