#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/exceptions.h"
#include "utils/growth.h"

// Key orders of the sorted lists: < 0, 0 or > 0 as `searched` sorts before,
// equal to or after `stored`. On a tie over the common length the shorter key
// is the smaller one. Case-insensitive orders fold through the upper table.
int CompareKeysForward(std::string_view searched, std::string_view stored, bool caseSensitive);
int CompareKeysBackward(std::string_view searched, std::string_view stored, bool caseSensitive);

// As the key orders, except that a `searched` text ending (forward) or
// beginning (backward) with `wildcard` equals every stored key that begins
// (ends) with the rest of it; the wildcard alone equals every key.
int CompareWildForward(std::string_view searched, std::string_view stored, char wildcard,
                       bool caseSensitive);
int CompareWildBackward(std::string_view searched, std::string_view stored, char wildcard,
                        bool caseSensitive);

// An index range of matching entries; last = -1 when nothing matched.
struct TMatchRange {
  int first = 0;
  int last = -1;
};

// A sorted array of (key, object) pairs searched by bisection. Owns its key
// strings, not its objects: only RemoveAndFree and ClearAndFree delete them.
// Keys are unique under CompareKeys and never empty.
template <typename T>
class TBinList {
 public:
  using ItemType = T;

  explicit TBinList(int capacity = 4, bool caseSensitive = false)
      : capacity_(std::max(capacity, 1)), caseSensitive_(caseSensitive) {
    entries_.reserve(static_cast<std::size_t>(capacity_));
  }
  virtual ~TBinList() = default;
  TBinList(const TBinList&) = delete;
  TBinList& operator=(const TBinList&) = delete;

  // Releases the key at `index` and moves later entries up.
  virtual void Delete(int index) {
    KAVRO_CHECK(index >= 0 && index < Count(), "TBinList.Delete index out of range");
    entries_.erase(entries_.begin() + index);
  }

  virtual int CompareKeys(std::string_view searched, std::string_view stored) const {
    return CompareKeysForward(searched, stored, caseSensitive_);
  }
  virtual int CompareWild(std::string_view searched, std::string_view stored) const {
    return CompareWildForward(searched, stored, wildcard_, caseSensitive_);
  }

  // False for an empty key or one already present.
  virtual bool Add(std::string_view key, T* object) {
    if (key.empty()) return false;
    int at = 0;
    if (Bisect(key, false, at)) return false;
    if (Count() == capacity_) SetCapacity(GrowCapacity(capacity_));
    entries_.insert(entries_.begin() + at, TEntry{std::string(key), object});
    return true;
  }

  virtual void Clear() { entries_.clear(); }

  virtual void ClearAndFree() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) delete it->object;
    entries_.clear();
  }

  T* Find(std::string_view key) const {
    const int index = IndexOf(key);
    return index < 0 ? nullptr : entries_[static_cast<std::size_t>(index)].object;
  }

  int IndexOf(std::string_view key) const {
    int at = 0;
    return Bisect(key, false, at) ? at : -1;
  }

  bool Remove(std::string_view key) {
    const int index = IndexOf(key);
    if (index < 0) return false;
    Delete(index);
    return true;
  }

  bool TryDelete(int index) {
    if (index < 0 || index >= Count()) return false;
    Delete(index);
    return true;
  }

  // The entry goes first, so a failing Delete cannot leave a freed object listed.
  bool RemoveAndFree(std::string_view key) {
    const int index = IndexOf(key);
    if (index < 0) return false;
    T* object = GetObject(index);
    Delete(index);
    delete object;
    return true;
  }

  TMatchRange FindMatchRange(std::string_view text) const {
    TMatchRange range;
    int at = 0;
    if (text.empty() || !Bisect(text, true, at)) return range;
    range.first = at;
    range.last = at;
    while (range.first > 0 && CompareWild(text, GetKey(range.first - 1)) == 0) --range.first;
    while (range.last + 1 < Count() && CompareWild(text, GetKey(range.last + 1)) == 0) ++range.last;
    return range;
  }

  // Out-of-range indexes read as nullptr and "".
  T* GetObject(int index) const {
    return InRange(index) ? entries_[static_cast<std::size_t>(index)].object : nullptr;
  }
  const std::string& GetKey(int index) const {
    static const std::string kNone;
    return InRange(index) ? entries_[static_cast<std::size_t>(index)].key : kNone;
  }

  int Count() const { return static_cast<int>(entries_.size()); }
  int Capacity() const { return capacity_; }

  // Only grows.
  void SetCapacity(int n) {
    if (n <= capacity_) return;
    capacity_ = n;
    entries_.reserve(static_cast<std::size_t>(n));
  }

  bool CaseSensitive() const { return caseSensitive_; }
  char Wildcard() const { return wildcard_; }
  void SetWildcard(char wildcard) { wildcard_ = wildcard; }

 protected:
  // Bisection by CompareKeys (or CompareWild when `wild`): true with the
  // entry's index in `at`, else false with the insertion point.
  bool Bisect(std::string_view text, bool wild, int& at) const {
    int lo = 0;
    int hi = Count() - 1;
    while (lo <= hi) {
      const int mid = lo + (hi - lo) / 2;
      const std::string& stored = entries_[static_cast<std::size_t>(mid)].key;
      const int cmp = wild ? CompareWild(text, stored) : CompareKeys(text, stored);
      if (cmp > 0) {
        lo = mid + 1;
      } else if (cmp < 0) {
        hi = mid - 1;
      } else {
        at = mid;
        return true;
      }
    }
    at = lo;
    return false;
  }

 private:
  struct TEntry {
    std::string key;
    T* object;
  };

  bool InRange(int index) const { return index >= 0 && index < Count(); }

  std::vector<TEntry> entries_;
  int capacity_;
  bool caseSensitive_;
  char wildcard_ = '*';
};

// Orders and matches keys from their last character backwards, so the range
// search finds keys by suffix ("*b").
template <typename T>
class TRevBinList : public TBinList<T> {
 public:
  using TBinList<T>::TBinList;

  int CompareKeys(std::string_view searched, std::string_view stored) const override {
    return CompareKeysBackward(searched, stored, this->CaseSensitive());
  }
  int CompareWild(std::string_view searched, std::string_view stored) const override {
    return CompareWildBackward(searched, stored, this->Wildcard(), this->CaseSensitive());
  }
};

// Owners that choose the list class at run time (plain, reversed, pattern
// list) keep one of these in place of a class reference.
template <typename T>
using TBinListClass = std::unique_ptr<TBinList<T>> (*)(int capacity);

template <typename TList>
std::unique_ptr<TBinList<typename TList::ItemType>> CreateBinList(int capacity) {
  return std::make_unique<TList>(capacity);
}
