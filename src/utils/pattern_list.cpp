#include "utils/pattern_list.h"

namespace {
constexpr char kStar = '*';
}

TPatternRoute RoutePattern(std::string_view pattern) {
  if (pattern.empty() || pattern == "*" || pattern == "**") return {TPatternKind::Refused, {}};
  const bool leading = pattern.front() == kStar;
  const bool trailing = pattern.back() == kStar;
  if (leading && trailing && pattern.size() >= 3)
    return {TPatternKind::Infix, pattern.substr(1, pattern.size() - 2)};
  if (trailing) return {TPatternKind::Prefix, pattern.substr(0, pattern.size() - 1)};
  if (leading) return {TPatternKind::Suffix, pattern.substr(1)};
  return {TPatternKind::Exact, pattern};
}
