#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/exceptions.h"
#include "utils/hash_list.h"

// Bucket hash of an object's address. Addresses are aligned, so their low
// bits are mostly zero; a multiplicative mix spreads them over every bucket.
// Unsigned throughout, so the bucket index can never be negative.
inline std::uint32_t HashObjectPointer(const void* object) {
  const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
  return static_cast<std::uint32_t>((address * 0x9E3779B97F4A7C15ull) >> 32);
}

// A set of T* (every connection of the hub core, pending items) with a dense
// array, so it can be walked by index while membership tests stay constant
// time. Removal moves the last entry into the hole, so walks that remove must
// go from the end. Does not own the objects: only ClearAndFree deletes them.
template <typename T>
class THashedObjectList {
 public:
  explicit THashedObjectList(int capacity) : capacity_(0) { Reallocate(std::max(capacity, 1)); }

  THashedObjectList(const THashedObjectList&) = delete;
  THashedObjectList& operator=(const THashedObjectList&) = delete;
  THashedObjectList(THashedObjectList&&) noexcept = default;
  THashedObjectList& operator=(THashedObjectList&&) noexcept = default;
  ~THashedObjectList() = default;

  // False when the object is null or already present.
  bool Add(T* object) {
    if (object == nullptr || IndexOf(object) >= 0) return false;
    if (Count() == capacity_) Reallocate(capacity_ + std::max(capacity_ / 2, 1));
    const int index = Count();
    items_.push_back(object);
    chains_.PushFront(chains_.BucketOf(HashObjectPointer(object)), index);
    return true;
  }

  bool Remove(const T* object) {
    const int index = IndexOf(object);
    if (index < 0) return false;
    chains_.Unlink(chains_.BucketOf(HashObjectPointer(object)), index);
    const int last = Count() - 1;
    if (index != last) {
      T* moved = items_[static_cast<std::size_t>(last)];
      chains_.Renumber(chains_.BucketOf(HashObjectPointer(moved)), last, index);
      items_[static_cast<std::size_t>(index)] = moved;
    }
    items_.pop_back();
    return true;
  }

  bool Contains(const T* object) const { return IndexOf(object) >= 0; }

  int IndexOf(const T* object) const {
    if (object == nullptr) return -1;
    for (int i = chains_.Head(chains_.BucketOf(HashObjectPointer(object))); i >= 0;
         i = chains_.Next(i)) {
      if (items_[static_cast<std::size_t>(i)] == object) return i;
    }
    return -1;
  }

  T* GetItem(int index) const {
    KAVRO_CHECK(index >= 0 && index < Count(), "THashedObjectList index out of range");
    return items_[static_cast<std::size_t>(index)];
  }

  void Clear() {
    items_.clear();
    chains_.ClearChains();
  }

  // Deletes every object, last first.
  void ClearAndFree() {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) delete *it;
    Clear();
  }

  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }
  int BucketCount() const { return chains_.BucketCount(); }

 private:
  // 3 * capacity buckets must stay within a 32-bit signed count.
  static constexpr int kMaxCapacity = 0x7FFFFFFF / 3;

  // Both arrays at the new size, every chain rebuilt from the last entry to
  // the first.
  void Reallocate(int n) {
    KAVRO_CHECK(n <= kMaxCapacity, "THashedObjectList capacity too large");
    items_.reserve(static_cast<std::size_t>(n));
    capacity_ = n;
    chains_.Reset(3 * n, n);
    for (int i = Count() - 1; i >= 0; --i)
      chains_.PushFront(chains_.BucketOf(HashObjectPointer(items_[static_cast<std::size_t>(i)])), i);
  }

  std::vector<T*> items_;
  THashChains chains_;
  int capacity_;
};
