#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "utils/bin_char_list.h"
#include "base/case_tables.h"
#include "utils/pattern_tree.h"

// A node of the wildcard trie: one per key character.
template <typename T>
struct TWPNode {
  unsigned char ch = 0;
  T* object = nullptr;
  TBinCharList<TWPNode> children;
  int poolIndex = -1;
};

// A case-blind character trie whose keys may hold '?' for any one character.
// Lookups try the text's own character first and fall back to the '?' child
// only when that branch yields nothing. The trie is a tree, so one lookup
// enters each node at most once: its work is bounded by the trie's size even
// when every level offers both branches. Does not own the objects.
template <typename T, TKeyWalk W>
class TBasicWPTree {
 public:
  static constexpr char kAnyChar = '?';

  TBasicWPTree() = default;
  TBasicWPTree(const TBasicWPTree&) = delete;
  TBasicWPTree& operator=(const TBasicWPTree&) = delete;

  // False for an empty key, a nil object or a key already present.
  bool Add(std::string_view key, T* object) {
    if (key.empty() || object == nullptr) return false;
    Node* node = &root_;
    for (std::size_t i = 0; i < key.size(); ++i) {
      const char c = WalkChar<W>(key, i);
      Node* child = node->children.Find(c);
      if (child == nullptr) {
        child = pool_.New();
        child->ch = LowerChar(c);
        node->children.Add(c, child);
      }
      node = child;
    }
    if (node->object != nullptr) return false;
    node->object = object;
    return true;
  }

  // The key that matches the whole text, preferring literal characters over
  // '?' from the first position on.
  T* FindExact(std::string_view text) const {
    if (text.empty()) return nullptr;
    Start();
    while (!stack_.empty()) {
      TFrame& frame = stack_.back();
      if (frame.pos == text.size()) {
        if (frame.node->object != nullptr) return frame.node->object;
        stack_.pop_back();
      } else if (frame.stage < 2) {
        Descend(frame, text);
      } else {
        stack_.pop_back();
      }
    }
    return nullptr;
  }

  // The deepest key on the first branch that yields one, else the key that
  // ends at the current node.
  T* FindLongestPrefix(std::string_view text) const {
    Start();
    while (!stack_.empty()) {
      TFrame& frame = stack_.back();
      if (frame.pos < text.size() && frame.stage < 2) {
        Descend(frame, text);
        continue;
      }
      if (frame.node->object != nullptr) return frame.node->object;
      stack_.pop_back();
    }
    return nullptr;
  }

  // Appends every key along the branch taken, shortest first; the '?' branch
  // is tried only where the literal one appended nothing.
  void FindAllPrefixes(std::string_view text, std::vector<T*>& out) const {
    Start();
    while (!stack_.empty()) {
      TFrame& frame = stack_.back();
      if (frame.pos < text.size() && frame.stage < 2) {
        if (frame.stage == 1 && frame.branchYield) {
          frame.stage = 2;
          continue;
        }
        const Node* child = Descend(frame, text);
        if (child != nullptr && child->object != nullptr) {
          out.push_back(child->object);
          stack_.back().yield = true;
        }
        continue;
      }
      const bool yielded = frame.yield || frame.branchYield;
      stack_.pop_back();
      if (!stack_.empty() && yielded) stack_.back().branchYield = true;
    }
  }

  // Follows the key's characters literally ('?' only matches a '?' node).
  bool Remove(std::string_view key) {
    if (key.empty()) return false;
    std::vector<Node*> path{&root_};
    for (std::size_t i = 0; i < key.size(); ++i) {
      Node* child = path.back()->children.Find(WalkChar<W>(key, i));
      if (child == nullptr) return false;
      path.push_back(child);
    }
    if (path.back()->object == nullptr) return false;
    path.back()->object = nullptr;
    for (std::size_t j = path.size() - 1; j > 0; --j) {
      Node* node = path[j];
      if (node->object != nullptr || node->children.Count() != 0) break;
      path[j - 1]->children.Remove(static_cast<char>(node->ch));
      pool_.Free(node);
    }
    return true;
  }

  void Clear() {
    root_.children.Clear();
    pool_.Clear();
  }

  bool Empty() const { return root_.children.Count() == 0; }
  int NodeCount() const { return pool_.Count(); }

 private:
  using Node = TWPNode<T>;

  // A node being searched: stage 0 tries the text's character next, stage 1
  // the '?' child, stage 2 is done with both.
  struct TFrame {
    const Node* node;
    std::size_t pos;
    int stage;
    bool yield;        // the node's own key was reported
    bool branchYield;  // a branch below reported a key
  };

  void Start() const {
    stack_.clear();
    stack_.push_back(TFrame{&root_, 0, 0, false, false});
  }

  // Advances the frame's stage and pushes the child of that stage, if any.
  // A text character '?' already took the '?' child in stage 0; entering it
  // twice would double the work at every level.
  const Node* Descend(TFrame& frame, std::string_view text) const {
    const char c = WalkChar<W>(text, frame.pos);
    const int stage = frame.stage++;
    const Node* child = nullptr;
    if (stage == 0) {
      child = frame.node->children.Find(c);
    } else if (c != kAnyChar) {
      child = frame.node->children.Find(kAnyChar);
    }
    if (child != nullptr) stack_.push_back(TFrame{child, frame.pos + 1, 0, false, false});
    return child;
  }

  Node root_;
  TTrieNodePool<Node> pool_;
  // Reused between lookups so matching allocates nothing once warm; lookups
  // are not reentrant.
  mutable std::vector<TFrame> stack_;
};

template <typename T>
using TWPTree = TBasicWPTree<T, TKeyWalk::Forward>;

// The same over keys and texts read from their last character backwards.
template <typename T>
using TWRPTree = TBasicWPTree<T, TKeyWalk::Backward>;
