#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string_view>
#include <vector>

#include "utils/bin_list.h"
#include "base/exceptions.h"
#include "utils/pattern_tree.h"

enum class TPatternKind { Refused, Exact, Prefix, Suffix, Infix };

// Which trie a pattern belongs to and the key it is stored under there.
struct TPatternRoute {
  TPatternKind kind;
  std::string_view key;  // a view into the routed pattern
};

// "", "*" and "**" are refused; '*abc*' is an infix, 'abc*' a prefix, '*abc'
// a suffix; anything else, a '*' inside included, is matched exactly.
TPatternRoute RoutePattern(std::string_view pattern);

// A sorted list of patterns with their objects that also answers which
// pattern matches a text: the list keeps the patterns for display, range
// search and deletion by index, and four tries beside it answer matches in
// time proportional to the text. Matching ignores case. Owns neither the
// objects nor anything beyond its keys and trie nodes.
//
// List is the sorted list it extends; Trie and RevTrie are the forward and
// backward tries of its kind.
template <typename T, typename List, typename Trie, typename RevTrie>
class TBasicPatternList : public List {
 public:
  using List::List;

  // False for refused patterns, patterns already listed and nil objects.
  bool Add(std::string_view pattern, T* object) override {
    const TPatternRoute route = RoutePattern(pattern);
    if (route.kind == TPatternKind::Refused || object == nullptr) return false;
    if (!List::Add(pattern, object)) return false;
    if (!AddToTrie(route, object)) {
      // A case-sensitive list let in a key that the case-blind tries hold
      // already: take it back out rather than keep the two apart.
      List::Delete(this->IndexOf(pattern));
      return false;
    }
    if (route.kind == TPatternKind::Infix && route.key.size() < static_cast<std::size_t>(minInfix_))
      minInfix_ = static_cast<int>(route.key.size());
    return true;
  }

  void Delete(int index) override {
    KAVRO_CHECK(index >= 0 && index < this->Count(), "pattern index out of range");
    const bool removed = RemoveFromTrie(RoutePattern(this->GetKey(index)));
    KAVRO_CHECK(removed, "pattern missing from its trie");
    List::Delete(index);
  }

  void Clear() override {
    ClearTries();
    List::Clear();
  }

  void ClearAndFree() override {
    ClearTries();
    List::ClearAndFree();
  }

  // The first that answers: the exact pattern, the longest prefix pattern,
  // the longest suffix pattern, then the longest infix pattern that begins
  // at the earliest position.
  T* Match(std::string_view text) const {
    if (text.empty()) return nullptr;
    if (T* object = exact_.FindExact(text)) return object;
    if (T* object = prefix_.FindLongestPrefix(text)) return object;
    if (T* object = suffix_.FindLongestPrefix(text)) return object;
    if (infix_.Empty()) return nullptr;
    for (std::size_t i = 0; text.size() - i >= static_cast<std::size_t>(minInfix_); ++i)
      if (T* object = infix_.FindLongestPrefix(text.substr(i))) return object;
    return nullptr;
  }

  // Appends the exact match, every matching prefix and suffix pattern, and
  // every infix pattern at every position it occurs.
  void MatchAll(std::string_view text, std::vector<T*>& out) const {
    if (text.empty()) return;
    if (T* object = exact_.FindExact(text)) out.push_back(object);
    prefix_.FindAllPrefixes(text, out);
    suffix_.FindAllPrefixes(text, out);
    if (infix_.Empty()) return;
    for (std::size_t i = 0; text.size() - i >= static_cast<std::size_t>(minInfix_); ++i)
      infix_.FindAllPrefixes(text.substr(i), out);
  }

  // As MatchAll, but in Match's precedence: the exact match, prefixes and
  // suffixes longest first, infixes by position and at each position
  // longest first. The first one out is Match(text), so a caller that has
  // to pass over some matches still meets the others in the order that
  // would have answered.
  void MatchAllInMatchOrder(std::string_view text, std::vector<T*>& out) const {
    if (text.empty()) return;
    if (T* object = exact_.FindExact(text)) out.push_back(object);
    const auto longestFirst = [&out](const auto& trie, std::string_view part) {
      const std::size_t from = out.size();
      trie.FindAllPrefixes(part, out);
      std::reverse(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
    };
    longestFirst(prefix_, text);
    longestFirst(suffix_, text);
    if (infix_.Empty()) return;
    for (std::size_t i = 0; text.size() - i >= static_cast<std::size_t>(minInfix_); ++i)
      longestFirst(infix_, text.substr(i));
  }

  // The length of the shortest infix pattern ever added; INT_MAX before.
  int MinInfix() const { return minInfix_; }

 private:
  bool AddToTrie(const TPatternRoute& route, T* object) {
    switch (route.kind) {
      case TPatternKind::Exact:
        return exact_.Add(route.key, object);
      case TPatternKind::Prefix:
        return prefix_.Add(route.key, object);
      case TPatternKind::Suffix:
        return suffix_.Add(route.key, object);
      case TPatternKind::Infix:
        return infix_.Add(route.key, object);
      case TPatternKind::Refused:
        break;
    }
    return false;
  }

  bool RemoveFromTrie(const TPatternRoute& route) {
    switch (route.kind) {
      case TPatternKind::Exact:
        return exact_.Remove(route.key);
      case TPatternKind::Prefix:
        return prefix_.Remove(route.key);
      case TPatternKind::Suffix:
        return suffix_.Remove(route.key);
      case TPatternKind::Infix:
        return infix_.Remove(route.key);
      case TPatternKind::Refused:
        break;
    }
    return false;
  }

  void ClearTries() {
    exact_.Clear();
    prefix_.Clear();
    suffix_.Clear();
    infix_.Clear();
  }

  Trie exact_;
  Trie prefix_;
  Trie infix_;
  RevTrie suffix_;
  // Positions closer to the end than the shortest infix cannot start one.
  // Not raised again on removal: that would cost a scan and only saves time.
  int minInfix_ = INT_MAX;
};

// Patterns over plain characters, in a list sorted from the keys' starts.
template <typename T>
class TPatternList : public TBasicPatternList<T, TBinList<T>, TPTree<T>, TRPTree<T>> {
 public:
  using TBasicPatternList<T, TBinList<T>, TPTree<T>, TRPTree<T>>::TBasicPatternList;
};
