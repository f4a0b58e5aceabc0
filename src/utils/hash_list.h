#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/exceptions.h"
#include "utils/growth.h"

// Key hash of THashList: h = h * 9 xor byte, folded to lower case unless the
// list is case-sensitive, in unsigned 32-bit arithmetic.
std::uint32_t HashListKey(std::string_view key, bool caseSensitive);

// Key equality under a list's case rule; lengths first, then the bytes.
bool SameHashListKey(std::string_view a, std::string_view b, bool caseSensitive);

// Bucket chains over the indexes of a dense array, shared by the hashed
// lists. Links are array indexes rather than node pointers, so entries need
// no allocation of their own and moving an entry only renumbers one link.
// Owns the chain heads and links; knows nothing of keys or values.
class THashChains {
 public:
  // All chains empty; room for links of indexes 0 .. capacity - 1.
  void Reset(int bucketCount, int capacity);
  void ClearChains();  // keeps the bucket count

  int BucketCount() const { return static_cast<int>(heads_.size()); }
  std::size_t BucketOf(std::uint32_t hash) const { return hash % heads_.size(); }
  int Head(std::size_t bucket) const { return heads_[bucket]; }
  int Next(int index) const { return next_[static_cast<std::size_t>(index)]; }

  void PushFront(std::size_t bucket, int index);
  void Unlink(std::size_t bucket, int index);
  // The entry at `from` now lives at `to`; `to` must be unlinked.
  void Renumber(std::size_t bucket, int from, int to);

 private:
  int& LinkTo(std::size_t bucket, int index);

  std::vector<int> heads_;
  std::vector<int> next_;
};

// String keys to T*, the program's general dictionary (users by nick,
// accounts, profiles). Values sit in a dense array so the list can be walked
// by index; removal moves the last entry into the hole, so walks that remove
// must go from the end. Case-insensitive unless asked otherwise. Does not own
// the values: only RemoveAndFree and ClearAndFree delete them.
template <typename T>
class THashList {
 public:
  explicit THashList(int capacity, bool caseSensitive = false)
      : capacity_(0), caseSensitive_(caseSensitive) {
    Reallocate(std::max(capacity, 1));
  }

  THashList(const THashList&) = delete;
  THashList& operator=(const THashList&) = delete;
  THashList(THashList&&) noexcept = default;
  THashList& operator=(THashList&&) noexcept = default;
  ~THashList() = default;

  // False when the key is empty or already present.
  bool Add(std::string_view key, T* value) {
    if (key.empty()) return false;
    const std::uint32_t hash = HashListKey(key, caseSensitive_);
    if (Locate(key, hash) >= 0) return false;
    if (Count() == capacity_) SetCapacity(GrowCapacity(capacity_));
    const int index = Count();
    items_.push_back(TEntry{std::string(key), value, hash});
    chains_.PushFront(chains_.BucketOf(hash), index);
    return true;
  }

  bool AddInt(std::int64_t number, T* value) { return Add(std::to_string(number), value); }

  T* Find(std::string_view key) const {
    const int index = IndexOf(key);
    return index < 0 ? nullptr : items_[static_cast<std::size_t>(index)].value;
  }

  // A key given as a slice of a receive buffer.
  T* FindBuf(const char* buffer, int length) const {
    if (buffer == nullptr || length <= 0) return nullptr;
    return Find(std::string_view(buffer, static_cast<std::size_t>(length)));
  }

  int IndexOf(std::string_view key) const {
    if (key.empty()) return -1;
    return Locate(key, HashListKey(key, caseSensitive_));
  }

  bool Remove(std::string_view key) {
    const int index = IndexOf(key);
    if (index < 0) return false;
    RemoveAt(index);
    return true;
  }

  bool RemoveAndFree(std::string_view key) {
    const int index = IndexOf(key);
    if (index < 0) return false;
    T* value = items_[static_cast<std::size_t>(index)].value;
    RemoveAt(index);
    delete value;
    return true;
  }

  void Clear() {
    items_.clear();
    chains_.ClearChains();
  }

  // Deletes every value, last first.
  void ClearAndFree() {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) delete it->value;
    Clear();
  }

  T* GetValue(int index) const { return At(index).value; }
  const std::string& GetKey(int index) const { return At(index).key; }

  // Case-sensitive byte order of the keys (bytes compare unsigned).
  void SortByKey() {
    std::sort(items_.begin(), items_.end(),
              [](const TEntry& a, const TEntry& b) { return a.key < b.key; });
    Relink();
  }

  // Any n above the count is taken (so it may shrink); rehashes everything.
  void SetCapacity(int n) {
    if (n <= Count()) return;
    Reallocate(n);
  }

  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }
  int BucketCount() const { return chains_.BucketCount(); }
  bool CaseSensitive() const { return caseSensitive_; }

 private:
  struct TEntry {
    std::string key;
    T* value;
    std::uint32_t hash;  // kept so rehashing and lookups skip most compares
  };

  // 3 * capacity + 1 buckets must stay within a 32-bit signed count.
  static constexpr int kMaxCapacity = (0x7FFFFFFF - 1) / 3;

  const TEntry& At(int index) const {
    KAVRO_CHECK(index >= 0 && index < Count(), "THashList index out of range");
    return items_[static_cast<std::size_t>(index)];
  }

  int Locate(std::string_view key, std::uint32_t hash) const {
    for (int i = chains_.Head(chains_.BucketOf(hash)); i >= 0; i = chains_.Next(i)) {
      const TEntry& entry = items_[static_cast<std::size_t>(i)];
      if (entry.hash == hash && SameHashListKey(entry.key, key, caseSensitive_)) return i;
    }
    return -1;
  }

  void RemoveAt(int index) {
    const auto hole = static_cast<std::size_t>(index);
    chains_.Unlink(chains_.BucketOf(items_[hole].hash), index);
    const int last = Count() - 1;
    if (index != last) {
      TEntry& moved = items_[static_cast<std::size_t>(last)];
      chains_.Renumber(chains_.BucketOf(moved.hash), last, index);
      items_[hole] = std::move(moved);
    }
    items_.pop_back();
  }

  void Reallocate(int n) {
    KAVRO_CHECK(n <= kMaxCapacity, "THashList capacity too large");
    if (static_cast<std::size_t>(n) < items_.capacity()) {
      std::vector<TEntry> smaller;
      smaller.reserve(static_cast<std::size_t>(n));
      std::move(items_.begin(), items_.end(), std::back_inserter(smaller));
      items_.swap(smaller);
    } else {
      items_.reserve(static_cast<std::size_t>(n));
    }
    capacity_ = n;
    chains_.Reset(3 * n + 1, n);
    Relink();
  }

  // Rebuilds every chain from the last entry to the first, so each chain
  // ends up in index order.
  void Relink() {
    chains_.ClearChains();
    for (int i = Count() - 1; i >= 0; --i)
      chains_.PushFront(chains_.BucketOf(items_[static_cast<std::size_t>(i)].hash), i);
  }

  std::vector<TEntry> items_;
  THashChains chains_;
  int capacity_;
  bool caseSensitive_;
};
