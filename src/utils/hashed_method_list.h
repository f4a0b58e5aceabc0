#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// Name hash of the handler lists: h = (h rotated left by 2) xor the lower-case
// byte, unsigned 32-bit. The empty name hashes to 0.
std::uint32_t HashHandlerName(std::string_view name);

// Case-insensitive name equality, lengths first.
bool SameHandlerName(std::string_view a, std::string_view b);

// Raises the duplicate-name error, the same text for every handler list.
[[noreturn]] void ThrowDuplicateHandlerName(std::string_view name);

// Case-insensitive names to a handler and a data word (command tables). The
// bucket count is fixed at 5 * capacity for the list's life; more names than
// that still fit, in longer chains. Entries are never removed. Handlers are
// not owned.
template <typename Handler, typename Data>
class THashedHandlerList {
 public:
  struct TEntry {
    std::string name;
    Handler handler;
    Data data;
  };

  explicit THashedHandlerList(int capacity)
      : heads_(static_cast<std::size_t>(std::clamp(capacity, 1, kMaxCapacity)) * 5, -1) {}

  // Throws EKavroException "THashedMethodList.Add(<name> already exists)"
  // when the name is present under the case-insensitive rule.
  void Add(std::string_view name, Handler handler, Data data = Data{}) {
    const std::size_t bucket = HashHandlerName(name) % heads_.size();
    if (Locate(bucket, name) != nullptr) ThrowDuplicateHandlerName(name);
    nodes_.push_back(TNode{TEntry{std::string(name), std::move(handler), data}, heads_[bucket]});
    heads_[bucket] = static_cast<int>(nodes_.size()) - 1;
  }

  // The stored entry, or nullptr when absent. Valid until the next Add.
  const TEntry* Find(std::string_view name) const {
    return Locate(HashHandlerName(name) % heads_.size(), name);
  }

  int Count() const { return static_cast<int>(nodes_.size()); }
  int BucketCount() const { return static_cast<int>(heads_.size()); }

 private:
  struct TNode {
    TEntry entry;
    int next;
  };

  static constexpr int kMaxCapacity = 0x7FFFFFFF / 5;

  const TEntry* Locate(std::size_t bucket, std::string_view name) const {
    for (int i = heads_[bucket]; i >= 0; i = nodes_[static_cast<std::size_t>(i)].next) {
      const TEntry& entry = nodes_[static_cast<std::size_t>(i)].entry;
      if (SameHandlerName(entry.name, name)) return &entry;
    }
    return nullptr;
  }

  std::vector<TNode> nodes_;
  std::vector<int> heads_;  // index into nodes_ or -1
};

// Names to a method of the owning object (a pointer to member, or any
// callable) with a pointer-sized data word; the owner calls the handler on
// itself: (this->*entry->handler)(...).
template <typename Method>
using THashedMethodList = THashedHandlerList<Method, std::intptr_t>;

// Names to a plain function with a 32-bit number beside it.
template <typename Function>
  requires std::is_function_v<std::remove_pointer_t<Function>>
using THashedFunctionList = THashedHandlerList<Function, std::int32_t>;
