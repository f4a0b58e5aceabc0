#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "utils/bin_char_list.h"
#include "base/case_tables.h"
#include "base/exceptions.h"

// The order a trie reads its keys and texts in: from the first character, or
// from the last one backwards (suffix tries).
enum class TKeyWalk { Forward, Backward };

template <TKeyWalk W>
char WalkChar(std::string_view text, std::size_t i) {
  if constexpr (W == TKeyWalk::Forward) {
    return text[i];
  } else {
    return text[text.size() - 1 - i];
  }
}

// The key's characters from walk position `from` to its end, folded to lower
// case, in walk order.
std::string FoldedWalkTail(std::string_view key, std::size_t from, bool backward);

// Whether the folded `tail` equals (`whole`) or begins the text's characters
// from walk position `from` on, ignoring case.
bool WalkTailFits(std::string_view tail, std::string_view text, std::size_t from, bool backward,
                  bool whole);

// Owns every node of one trie. Child lists only point at nodes, so freeing a
// node is one swap-and-pop here and clearing never recurses, however deep a
// long key made the trie. Node must have an int `poolIndex`.
template <typename Node>
class TTrieNodePool {
 public:
  Node* New() {
    auto node = std::make_unique<Node>();
    node->poolIndex = static_cast<int>(nodes_.size());
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
  }

  void Free(Node* node) {
    const auto index = static_cast<std::size_t>(node->poolIndex);
    KAVRO_CHECK(index < nodes_.size() && nodes_[index].get() == node, "node not in its pool");
    if (index + 1 != nodes_.size()) {
      nodes_[index] = std::move(nodes_.back());
      nodes_[index]->poolIndex = static_cast<int>(index);
    }
    nodes_.pop_back();
  }

  void Clear() { nodes_.clear(); }
  int Count() const { return static_cast<int>(nodes_.size()); }

 private:
  std::vector<std::unique_ptr<Node>> nodes_;
};

// A node of the compressed trie. With a non-empty `tail` it is a leaf that
// stands for its character followed by the tail (folded, in walk order);
// otherwise it stands for its character alone.
template <typename T>
struct TPNode {
  unsigned char ch = 0;
  T* object = nullptr;
  std::string tail;
  TBinCharList<TPNode> children;
  int poolIndex = -1;
};

// A case-blind character trie from keys to objects whose single-key branches
// are folded into one leaf. Does not own the objects.
template <typename T, TKeyWalk W>
class TBasicPTree {
 public:
  TBasicPTree() = default;
  TBasicPTree(const TBasicPTree&) = delete;
  TBasicPTree& operator=(const TBasicPTree&) = delete;

  // False for an empty key, a nil object or a key already present.
  bool Add(std::string_view key, T* object) {
    if (key.empty() || object == nullptr) return false;
    Node* node = &root_;
    for (std::size_t i = 0;; ++i) {
      if (i == key.size()) {
        if (node->object != nullptr) return false;
        node->object = object;
        return true;
      }
      const char c = WalkChar<W>(key, i);
      Node* child = node->children.Find(c);
      if (child == nullptr) {
        node->children.Add(c, NewNode(LowerChar(c), object, FoldedWalkTail(key, i + 1, kBackward)));
        return true;
      }
      if (!child->tail.empty()) {
        if (WalkTailFits(child->tail, key, i + 1, kBackward, true)) return false;
        SplitLeaf(*child);
      }
      node = child;
    }
  }

  T* FindExact(std::string_view text) const {
    const Node* node = &root_;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const Node* child = node->children.Find(WalkChar<W>(text, i));
      if (child == nullptr) return nullptr;
      if (!child->tail.empty())
        return WalkTailFits(child->tail, text, i + 1, kBackward, true) ? child->object : nullptr;
      node = child;
    }
    return node->object;
  }

  T* FindLongestPrefix(std::string_view text) const {
    T* last = nullptr;
    WalkPrefixes(text, [&last](T* object) { last = object; });
    return last;
  }

  // Appends every key that begins the text, shortest first.
  void FindAllPrefixes(std::string_view text, std::vector<T*>& out) const {
    WalkPrefixes(text, [&out](T* object) { out.push_back(object); });
  }

  bool Remove(std::string_view key) {
    std::vector<Node*> path{&root_};
    for (std::size_t i = 0; i < key.size(); ++i) {
      Node* child = path.back()->children.Find(WalkChar<W>(key, i));
      if (child == nullptr) return false;
      path.push_back(child);
      if (!child->tail.empty()) {
        if (!WalkTailFits(child->tail, key, i + 1, kBackward, true)) return false;
        child->tail.clear();
        break;
      }
    }
    Node* target = path.back();
    if (target == &root_ || target->object == nullptr) return false;
    target->object = nullptr;
    Compact(path);
    return true;
  }

  void Clear() {
    root_.children.Clear();
    pool_.Clear();
  }

  bool Empty() const { return root_.children.Count() == 0; }
  int NodeCount() const { return pool_.Count(); }

 private:
  using Node = TPNode<T>;
  static constexpr bool kBackward = W == TKeyWalk::Backward;

  Node* NewNode(unsigned char ch, T* object, std::string tail) {
    Node* node = pool_.New();
    node->ch = ch;
    node->object = object;
    node->tail = std::move(tail);
    return node;
  }

  // The leaf's object and the rest of its tail move one level down.
  void SplitLeaf(Node& leaf) {
    Node* down =
        NewNode(static_cast<unsigned char>(leaf.tail[0]), leaf.object, leaf.tail.substr(1));
    leaf.children.Add(static_cast<char>(down->ch), down);
    leaf.object = nullptr;
    leaf.tail.clear();
  }

  // Calls `found` with each object on the text's path, shortest key first.
  template <typename Fn>
  void WalkPrefixes(std::string_view text, Fn found) const {
    const Node* node = &root_;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const Node* child = node->children.Find(WalkChar<W>(text, i));
      if (child == nullptr) return;
      if (!child->tail.empty()) {
        if (WalkTailFits(child->tail, text, i + 1, kBackward, false)) found(child->object);
        return;
      }
      if (child->object != nullptr) found(child->object);
      node = child;
    }
  }

  // After a removal, walking back up: a node left with neither object nor
  // children goes; a node without object whose only child is childless takes
  // that child over as its tail, so branches stay folded.
  void Compact(const std::vector<Node*>& path) {
    for (std::size_t j = path.size() - 1; j > 0; --j) {
      Node* node = path[j];
      Node* parent = path[j - 1];
      if (node->object != nullptr) continue;
      if (node->children.Count() == 0) {
        parent->children.Remove(static_cast<char>(node->ch));
        pool_.Free(node);
      } else if (node->children.Count() == 1 && node->children.Get(0)->children.Count() == 0) {
        Node* only = node->children.Get(0);
        node->object = only->object;
        node->tail = static_cast<char>(only->ch) + only->tail;
        node->children.Clear();
        pool_.Free(only);
      }
    }
  }

  Node root_;
  TTrieNodePool<Node> pool_;
};

template <typename T>
using TPTree = TBasicPTree<T, TKeyWalk::Forward>;

// The same over keys and texts read from their last character backwards.
template <typename T>
using TRPTree = TBasicPTree<T, TKeyWalk::Backward>;
