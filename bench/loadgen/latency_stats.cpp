#include "latency_stats.h"

#include <algorithm>
#include <cmath>

std::uint64_t PercentileOf(std::vector<std::uint64_t>& values, double q) {
  if (values.empty()) return 0;
  q = std::clamp(q, 0.0, 1.0);
  // Nearest rank: the smallest value with at least q of the samples at or
  // below it.
  const auto n = static_cast<double>(values.size());
  auto rank = static_cast<std::size_t>(std::ceil(q * n));
  if (rank == 0) rank = 1;
  const auto nth = values.begin() + static_cast<std::ptrdiff_t>(rank - 1);
  std::nth_element(values.begin(), nth, values.end());
  return *nth;
}

std::uint64_t TLatencyStats::Percentile(double q) { return PercentileOf(samples_, q); }

std::uint64_t TLatencyStats::Max() const {
  return samples_.empty() ? 0 : *std::max_element(samples_.begin(), samples_.end());
}
