#include "utils/pointer_pool.h"

#include <algorithm>
#include <cmath>

#include "base/exceptions.h"

namespace {

constexpr int kDefaultCapacity = 16;

// Small pools grow by 16 entries, larger ones by half: a pool's size follows
// the number of connections, which can jump by thousands.
int NextCapacity(int capacity) {
  return capacity <= 64 ? capacity + 16 : capacity + capacity / 2;
}

}  // namespace

TPointerPoolBase::TPointerPoolBase(int capacity, TDisposer disposer) : disposer_(disposer) {
  KAVRO_CHECK(disposer != nullptr, "TPointerPool without a disposer");
  items_.resize(static_cast<std::size_t>(capacity < 0 ? kDefaultCapacity : capacity));
}

TPointerPoolBase::~TPointerPoolBase() { Trim(0); }

void TPointerPoolBase::PushRaw(void* block) {
  KAVRO_CHECK(block != nullptr, "TPointerPool.Push(nil)");
  --inUse_;
  if (count_ == Capacity()) Grow();
  items_[static_cast<std::size_t>(count_++)] = block;
}

void TPointerPoolBase::Grow() {
  items_.resize(static_cast<std::size_t>(NextCapacity(Capacity())));
}

void TPointerPoolBase::Trim(int keep) {
  if (keep < 0 || count_ - keep < 1) return;
  const auto drop = static_cast<std::size_t>(count_ - keep);
  for (std::size_t i = 0; i < drop; ++i) disposer_(items_[i]);
  std::copy(items_.begin() + static_cast<std::ptrdiff_t>(drop),
            items_.begin() + count_, items_.begin());
  count_ = keep;
}

void TPointerPoolBase::TrimBy(int keepBase, double pooledFraction, double inUseFraction) {
  const int byUse = keepBase + static_cast<int>(std::floor(inUse_ * inUseFraction));
  const int byPool = static_cast<int>(std::floor(count_ * pooledFraction));
  Trim(std::max(byUse, byPool));
}
