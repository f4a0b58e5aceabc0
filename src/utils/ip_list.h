#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utils/string_list.h"

namespace ip_list_detail {

inline constexpr int kMaxOctets = 4;

struct TOctets {
  std::array<int, kMaxOctets> values{};
  int count = 0;
};

// Reads one octet from the front of `text` (digits up to '.' or the end) and
// consumes it with its '.'. Returns -1 for an empty, non-decimal or
// over-255 octet; the value check also keeps long digit runs from overflowing.
inline int TakeOctet(std::string_view& text) {
  int value = 0;
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] != '.') {
    const char c = text[pos];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > 255) return -1;
    ++pos;
  }
  if (pos == 0) return -1;
  text.remove_prefix(pos < text.size() ? pos + 1 : pos);
  return value;
}

// The octets of a normalised mask ("*", "10.*", "1.2.3.4"; "" counts as "*").
// Reading stops at '*' or the end; nullopt for anything malformed.
inline std::optional<TOctets> ParseMask(std::string_view mask) {
  TOctets octets;
  while (!mask.empty() && mask.front() != '*') {
    if (octets.count == kMaxOctets) return std::nullopt;
    const int value = TakeOctet(mask);
    if (value < 0) return std::nullopt;
    octets.values[static_cast<std::size_t>(octets.count++)] = value;
  }
  if (!mask.empty() && mask != "*") return std::nullopt;
  return octets;
}

}  // namespace ip_list_detail

// One level of the IPv4 trie: a node per octet value, children kept sorted by
// octet. Owns its children, never its value.
template <typename T>
struct TIPNode {
  explicit TIPNode(int nodeOctet) : octet(nodeOctet) {}

  // Bisection over the children: the index of the child with `key`, or where
  // such a child would be inserted; `found` says which.
  std::size_t Search(int key, bool& found) const {
    auto it = std::lower_bound(children.begin(), children.end(), key,
                               [](const auto& child, int k) { return child->octet < k; });
    found = it != children.end() && (*it)->octet == key;
    return static_cast<std::size_t>(it - children.begin());
  }

  TIPNode* Child(int key) const {
    bool found = false;
    const std::size_t index = Search(key, found);
    return found ? children[index].get() : nullptr;
  }

  bool Empty() const { return value == nullptr && children.empty(); }

  int octet;  // -1 for the root
  T* value = nullptr;
  std::vector<std::unique_ptr<TIPNode>> children;
};

// IPv4 masks ("*", "10.*", "10.0.*", "10.0.0.*", "10.0.0.1") mapped to
// objects, answering which most specific mask covers an address. The list
// does not own the objects. Masks are expected in the form NormalizeIPMask
// gives; anything else is refused.
template <typename T>
class TIPList {
 public:
  TIPList() = default;
  TIPList(const TIPList&) = delete;
  TIPList& operator=(const TIPList&) = delete;

  // False when the mask is malformed or already holds a value.
  bool Add(std::string_view mask, T* value) {
    const auto octets = ip_list_detail::ParseMask(mask);
    if (!octets || value == nullptr) return false;
    TIPNode<T>* node = &root_;
    for (int i = 0; i < octets->count; ++i) {
      const int key = octets->values[static_cast<std::size_t>(i)];
      bool found = false;
      const std::size_t index = node->Search(key, found);
      if (!found) {
        // Leaves never get a child array; a node that gets one is a branch.
        if (node->children.empty()) node->children.reserve(kInitialChildren);
        node->children.insert(node->children.begin() + static_cast<std::ptrdiff_t>(index),
                              std::make_unique<TIPNode<T>>(key));
      }
      node = node->children[index].get();
    }
    if (node->value != nullptr) return false;
    node->value = value;
    ++count_;
    return true;
  }

  // The value of the deepest mask covering `address`, or nullptr. An octet
  // that is not a number 0..255 matches no child, like an absent one. A text
  // that ends (or reaches '*') on an existing node gets that node's own value,
  // which is how a mask is looked up exactly before it is removed.
  T* Find(std::string_view address) const {
    const TIPNode<T>* node = &root_;
    T* best = root_.value;
    std::string_view rest = address;
    while (!rest.empty() && rest.front() != '*') {
      const int key = ip_list_detail::TakeOctet(rest);
      const TIPNode<T>* child = key < 0 ? nullptr : node->Child(key);
      if (child == nullptr) return best;
      node = child;
      if (node->value != nullptr) best = node->value;
    }
    return node->value;
  }

  // The value of the deepest stored mask covering `text`, an address or a
  // mask (a mask covers itself and every mask and address it is a prefix
  // of), with that mask's text in `mask` when given; nullptr when none
  // does. Unlike Find, a text ending on a node without a value still gets
  // the broader mask above it.
  T* FindCovering(std::string_view text, std::string* mask = nullptr) const {
    const TIPNode<T>* node = &root_;
    T* best = root_.value;
    std::array<int, ip_list_detail::kMaxOctets> octets{};
    int depth = 0;
    int bestDepth = 0;
    std::string_view rest = text;
    while (!rest.empty() && rest.front() != '*' && depth < ip_list_detail::kMaxOctets) {
      const int key = ip_list_detail::TakeOctet(rest);
      const TIPNode<T>* child = key < 0 ? nullptr : node->Child(key);
      if (child == nullptr) break;
      node = child;
      octets[static_cast<std::size_t>(depth++)] = key;
      if (node->value != nullptr) {
        best = node->value;
        bestDepth = depth;
      }
    }
    if (best != nullptr && mask != nullptr) *mask = MaskText(octets, bestDepth);
    return best;
  }

  // Removes the value of exactly this mask; a narrower mask that is not
  // stored leaves the broader one covering it alone.
  bool Remove(std::string_view mask) {
    const auto octets = ip_list_detail::ParseMask(mask);
    if (!octets) return false;
    std::array<TIPNode<T>*, ip_list_detail::kMaxOctets + 1> path{};
    path[0] = &root_;
    for (int i = 0; i < octets->count; ++i) {
      auto* next = path[static_cast<std::size_t>(i)]->Child(
          octets->values[static_cast<std::size_t>(i)]);
      if (next == nullptr) return false;
      path[static_cast<std::size_t>(i + 1)] = next;
    }
    TIPNode<T>* node = path[static_cast<std::size_t>(octets->count)];
    if (node->value == nullptr) return false;
    node->value = nullptr;
    --count_;
    for (int depth = octets->count; depth > 0; --depth) {
      TIPNode<T>* child = path[static_cast<std::size_t>(depth)];
      if (!child->Empty()) break;
      RemoveChild(*path[static_cast<std::size_t>(depth - 1)], child->octet);
    }
    return true;
  }

  // Drops `value` from every mask that holds it; true when there was one.
  bool RemoveValue(const T* value) {
    if (value == nullptr) return false;
    const int before = count_;
    RemoveValueBelow(root_, value);
    return count_ != before;
  }

  // Clears `list`, then adds (mask, value) for every mask holding `value`,
  // or every mask when `value` is nullptr: depth first, ascending octets, a
  // mask before the masks beneath it.
  void GetMasks(TStringList& list, const T* value) const {
    list.Clear();
    std::array<int, ip_list_detail::kMaxOctets> prefix{};
    Collect(root_, prefix, 0, value, list);
  }

  // Clears `list`, then adds every mask at or below `mask`; nothing when no
  // mask lies there.
  void GetMasksUnder(TStringList& list, std::string_view mask) const {
    list.Clear();
    const auto octets = ip_list_detail::ParseMask(mask);
    if (!octets) return;
    const TIPNode<T>* node = &root_;
    for (int i = 0; i < octets->count && node != nullptr; ++i) {
      node = node->Child(octets->values[static_cast<std::size_t>(i)]);
    }
    if (node != nullptr) Collect(*node, octets->values, octets->count, nullptr, list);
  }

  void Clear() {
    root_.children.clear();
    root_.value = nullptr;
    count_ = 0;
  }

  int Count() const { return count_; }

 private:
  static constexpr std::size_t kInitialChildren = 16;

  static void RemoveChild(TIPNode<T>& parent, int key) {
    bool found = false;
    const std::size_t index = parent.Search(key, found);
    if (found) parent.children.erase(parent.children.begin() + static_cast<std::ptrdiff_t>(index));
  }

  void RemoveValueBelow(TIPNode<T>& node, const T* value) {
    if (node.value == value) {
      node.value = nullptr;
      --count_;
    }
    for (auto& child : node.children) RemoveValueBelow(*child, value);
    std::erase_if(node.children, [](const auto& child) { return child->Empty(); });
  }

  static std::string MaskText(const std::array<int, ip_list_detail::kMaxOctets>& prefix,
                              int depth) {
    if (depth == 0) return "*";
    std::string text;
    for (int i = 0; i < depth; ++i) {
      if (i > 0) text += '.';
      text += std::to_string(prefix[static_cast<std::size_t>(i)]);
    }
    if (depth < ip_list_detail::kMaxOctets) text += ".*";
    return text;
  }

  // `prefix` holds the octets of `node` (depth of them); depth is at most 4
  // because only parsed masks create nodes.
  static void Collect(const TIPNode<T>& node, std::array<int, ip_list_detail::kMaxOctets> prefix,
                      int depth, const T* value, TStringList& list) {
    if (node.value != nullptr && (value == nullptr || node.value == value)) {
      list.AddObject(MaskText(prefix, depth), static_cast<void*>(node.value));
    }
    if (depth == ip_list_detail::kMaxOctets) return;
    for (const auto& child : node.children) {
      prefix[static_cast<std::size_t>(depth)] = child->octet;
      Collect(*child, prefix, depth + 1, value, list);
    }
  }

  TIPNode<T> root_{-1};
  int count_ = 0;
};
