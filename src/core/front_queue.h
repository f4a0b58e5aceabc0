#pragma once

#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

// A queue taken from the front, held in one vector: an empty queue owns no
// storage and is three words, where a deque allocates on construction and
// spans more than a cache line of the object holding it. Popped slots are
// reset at once (releasing what they hold) and reclaimed when the queue
// empties or they make up half of it.
template <class T>
class TFrontQueue {
 public:
  bool Empty() const { return head_ == items_.size(); }
  std::size_t Size() const { return items_.size() - head_; }

  T& Front() { return items_[head_]; }
  T& Back() { return items_.back(); }
  const T& Back() const { return items_.back(); }
  T& operator[](std::size_t index) { return items_[head_ + index]; }
  const T& operator[](std::size_t index) const { return items_[head_ + index]; }

  void PushBack(T item) { items_.push_back(std::move(item)); }

  void PopFront() {
    items_[head_] = T{};
    if (++head_ == items_.size()) {
      Clear();
    } else if (head_ >= kReclaimAt && head_ * 2 >= items_.size()) {
      items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(head_));
      head_ = 0;
    }
  }

  // Puts `first`..`last` right behind the item at `index`.
  template <class It>
  void InsertAfter(std::size_t index, It first, It last) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(head_ + index + 1), first, last);
  }

  // Storage beyond a few items goes back: after a burst, thousands of idle
  // queues would otherwise each keep what it needed.
  void Clear() {
    items_.clear();
    head_ = 0;
    if (items_.capacity() > kKeptCapacity) items_.shrink_to_fit();
  }

  auto begin() const { return items_.begin() + static_cast<std::ptrdiff_t>(head_); }
  auto end() const { return items_.end(); }

 private:
  static constexpr std::size_t kReclaimAt = 32;
  static constexpr std::size_t kKeptCapacity = 8;

  std::vector<T> items_;
  std::size_t head_ = 0;
};
