#include "utils/pattern_tree.h"

namespace {

char WalkCharAt(std::string_view text, std::size_t i, bool backward) {
  return backward ? text[text.size() - 1 - i] : text[i];
}

}  // namespace

std::string FoldedWalkTail(std::string_view key, std::size_t from, bool backward) {
  std::string tail;
  if (from >= key.size()) return tail;
  tail.reserve(key.size() - from);
  for (std::size_t i = from; i < key.size(); ++i)
    tail.push_back(static_cast<char>(LowerChar(WalkCharAt(key, i, backward))));
  return tail;
}

bool WalkTailFits(std::string_view tail, std::string_view text, std::size_t from, bool backward,
                  bool whole) {
  const std::size_t rest = from < text.size() ? text.size() - from : 0;
  if (whole ? rest != tail.size() : rest < tail.size()) return false;
  for (std::size_t j = 0; j < tail.size(); ++j)
    if (static_cast<unsigned char>(tail[j]) != LowerChar(WalkCharAt(text, from + j, backward)))
      return false;
  return true;
}
