#pragma once

#include <vector>

#include "base/case_tables.h"
#include "base/exceptions.h"

// The capacity a full TBinCharList moves to: 4 more below 9, 16 more up to
// 64, a quarter more above.
int GrowCharListCapacity(int capacity);

// A small sorted map from a character (folded to lower case) to an object:
// the children of a trie node. Does not own its objects; only RemoveAndFree
// and ClearAndFree delete them. Most nodes have a handful of children, so up
// to 10 entries a linear scan beats bisection.
template <typename T>
class TBinCharList {
 public:
  TBinCharList() = default;
  TBinCharList(const TBinCharList&) = delete;
  TBinCharList& operator=(const TBinCharList&) = delete;

  T* Find(char c) const {
    int at = 0;
    return Locate(LowerChar(c), at) ? entries_[static_cast<std::size_t>(at)].object : nullptr;
  }

  int IndexOf(char c) const {
    int at = 0;
    return Locate(LowerChar(c), at) ? at : -1;
  }

  // False when the character is present.
  bool Add(char c, T* object) {
    const unsigned char folded = LowerChar(c);
    int at = 0;
    if (Locate(folded, at)) return false;
    if (Count() == capacity_) capacity_ = GrowCharListCapacity(capacity_);
    // Storage is taken at the first Add: most trie nodes are leaves.
    entries_.reserve(static_cast<std::size_t>(capacity_));
    entries_.insert(entries_.begin() + at, TEntry{folded, object});
    return true;
  }

  void Delete(int index) {
    KAVRO_CHECK(index >= 0 && index < Count(), "TBinCharList.Delete index out of range");
    entries_.erase(entries_.begin() + index);
  }

  // Detaches without freeing.
  bool Remove(char c) {
    const int index = IndexOf(c);
    if (index < 0) return false;
    Delete(index);
    return true;
  }

  bool RemoveAndFree(char c) {
    const int index = IndexOf(c);
    if (index < 0) return false;
    T* object = Get(index);
    Delete(index);
    delete object;
    return true;
  }

  void Clear() { entries_.clear(); }

  void ClearAndFree() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) delete it->object;
    entries_.clear();
  }

  // Out-of-range indexes read as nullptr and 0.
  T* Get(int index) const {
    return InRange(index) ? entries_[static_cast<std::size_t>(index)].object : nullptr;
  }
  char GetChar(int index) const {
    return InRange(index) ? static_cast<char>(entries_[static_cast<std::size_t>(index)].ch) : '\0';
  }

  int Count() const { return static_cast<int>(entries_.size()); }
  int Capacity() const { return capacity_; }

 private:
  struct TEntry {
    unsigned char ch;
    T* object;
  };

  static constexpr int kLinearLimit = 10;

  bool InRange(int index) const { return index >= 0 && index < Count(); }

  // True with the entry's index in `at`, else false with the insertion point.
  bool Locate(unsigned char folded, int& at) const {
    const int count = Count();
    if (count <= kLinearLimit) {
      int i = 0;
      while (i < count && entries_[static_cast<std::size_t>(i)].ch < folded) ++i;
      at = i;
      return i < count && entries_[static_cast<std::size_t>(i)].ch == folded;
    }
    int lo = 0;
    int hi = count - 1;
    while (lo <= hi) {
      const int mid = lo + (hi - lo) / 2;
      const unsigned char ch = entries_[static_cast<std::size_t>(mid)].ch;
      if (ch < folded) {
        lo = mid + 1;
      } else if (ch > folded) {
        hi = mid - 1;
      } else {
        at = mid;
        return true;
      }
    }
    at = lo;
    return false;
  }

  std::vector<TEntry> entries_;
  int capacity_ = 4;
};
