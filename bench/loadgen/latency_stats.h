#pragma once

#include <cstdint>
#include <vector>

// Delays of one kind of delivery, in microseconds, kept whole so that the
// percentiles are exact. Owns its samples only.
class TLatencyStats {
 public:
  void Add(std::uint64_t us) { samples_.push_back(us); }
  std::size_t Count() const { return samples_.size(); }
  bool Empty() const { return samples_.empty(); }
  // Nearest-rank percentile, q in [0, 1]; 0 when empty. Reorders the samples.
  std::uint64_t Percentile(double q);
  std::uint64_t Max() const;

 private:
  std::vector<std::uint64_t> samples_;
};

// Nearest-rank percentile of `values` (reordered); 0 when empty.
std::uint64_t PercentileOf(std::vector<std::uint64_t>& values, double q);
