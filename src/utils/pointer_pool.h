#pragma once

#include <cstddef>
#include <vector>

// Untyped core of TPointerPool: a last-in-first-out stack of idle blocks plus
// a count of the blocks handed out. Owns the pooled blocks (disposing of them
// through the disposer chosen at creation), never the blocks in use.
class TPointerPoolBase {
 public:
  using TDisposer = void (*)(void* block);

  TPointerPoolBase(int capacity, TDisposer disposer);
  ~TPointerPoolBase();

  TPointerPoolBase(const TPointerPoolBase&) = delete;
  TPointerPoolBase& operator=(const TPointerPoolBase&) = delete;

  // Keeps the `keep` newest pooled blocks and disposes of the older ones.
  void Trim(int keep);
  // Keeps max(keepBase + inUse * inUseFraction, count * pooledFraction).
  void TrimBy(int keepBase, double pooledFraction, double inUseFraction);

  int GetTotal() const { return inUse_ + count_; }
  int Count() const { return count_; }
  int InUse() const { return inUse_; }
  int Capacity() const { return static_cast<int>(items_.size()); }

 protected:
  // Counts one more block in use even when the pool is empty: the caller then
  // allocates a fresh block, which comes back through PushRaw.
  void* PopRaw() {
    ++inUse_;
    return count_ > 0 ? items_[static_cast<std::size_t>(--count_)] : nullptr;
  }
  void PushRaw(void* block);

 private:
  void Grow();

  std::vector<void*> items_;  // pooled blocks are 0 .. count_ - 1, newest on top
  int count_ = 0;
  int inUse_ = 0;
  TDisposer disposer_;
};

// A pool of blocks or objects of one kind. The disposer decides how Trim and
// the destructor free a pooled item (std::free for malloc'ed blocks, a
// deleting lambda for objects). Main thread only; no locking.
template <typename T>
class TPointerPool : public TPointerPoolBase {
 public:
  explicit TPointerPool(TDisposer disposer, int capacity = -1)
      : TPointerPoolBase(capacity, disposer) {}

  // The newest pooled item, or nullptr when the pool is empty.
  T* Pop() { return static_cast<T*>(PopRaw()); }
  void Push(T* item) { PushRaw(item); }
};
