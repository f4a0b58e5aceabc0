#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/exceptions.h"
#include "utils/growth.h"

// A growable array of T* (XML child nodes, listeners, queued jobs). Does not
// own its items: only ClearAndFree deletes them. Capacity is tracked
// explicitly so growth follows the program's common rule, not the vector's.
template <typename T>
class TObjectList {
 public:
  // Capacity 0 is allowed; the first Add then grows it to 4.
  explicit TObjectList(int capacity = 0) : capacity_(std::max(capacity, 0)) {
    items_.reserve(static_cast<std::size_t>(capacity_));
  }

  // Copies would make ClearAndFree on both a double free.
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  TObjectList(TObjectList&&) noexcept = default;
  TObjectList& operator=(TObjectList&&) noexcept = default;
  ~TObjectList() = default;

  void Add(T* item) {
    GrowIfFull();
    items_.push_back(item);
  }

  // Moves the items from index on one place down; index may equal Count.
  void Insert(int index, T* item) {
    KAVRO_CHECK(index >= 0 && index <= Count(), "TObjectList.Insert index out of range");
    GrowIfFull();
    items_.insert(items_.begin() + index, item);
  }

  // Moves the later items up; the item is not freed.
  void Delete(int index) {
    KAVRO_CHECK(index >= 0 && index < Count(), "TObjectList.Delete index out of range");
    items_.erase(items_.begin() + index);
  }

  // Removes the last occurrence; false when absent.
  bool Remove(const T* item) {
    for (int i = Count() - 1; i >= 0; --i) {
      if (items_[static_cast<std::size_t>(i)] == item) {
        items_.erase(items_.begin() + i);
        return true;
      }
    }
    return false;
  }

  int IndexOf(const T* item) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[static_cast<std::size_t>(i)] == item) return i;
    return -1;
  }

  void Clear() { items_.clear(); }

  // Deletes every item, last first, then empties the list. Each item must be
  // stored once: a pointer stored twice would be deleted twice.
  void ClearAndFree() {
    while (!items_.empty()) {
      T* item = items_.back();
      items_.pop_back();
      delete item;
    }
  }

  T* Get(int index) const {
    KAVRO_CHECK(index >= 0 && index < Count(), "TObjectList.Get index out of range");
    return items_[static_cast<std::size_t>(index)];
  }

  void Put(int index, T* item) {
    KAVRO_CHECK(index >= 0 && index < Count(), "TObjectList.Put index out of range");
    items_[static_cast<std::size_t>(index)] = item;
  }

  // Any n above the count is taken, so this may also shrink the array.
  void SetCapacity(int n) {
    if (n <= Count()) return;
    if (static_cast<std::size_t>(n) < items_.capacity()) {
      std::vector<T*> smaller;
      smaller.reserve(static_cast<std::size_t>(n));
      smaller.assign(items_.begin(), items_.end());
      items_.swap(smaller);
    } else {
      items_.reserve(static_cast<std::size_t>(n));
    }
    capacity_ = n;
  }

  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }

  auto begin() const { return items_.cbegin(); }
  auto end() const { return items_.cend(); }

 private:
  void GrowIfFull() {
    if (Count() >= capacity_) SetCapacity(GrowCapacity(capacity_));
  }

  std::vector<T*> items_;
  int capacity_;
};
