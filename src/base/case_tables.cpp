#include "base/case_tables.h"

#include <algorithm>

namespace {

// Pairs of (upper, lower) beyond ASCII in Windows-1252: the accented range
// 0xC0-0xDE (but 0xD7, the multiplication sign) and four letters in 0x8A-0x9F.
constexpr bool IsUpperLetter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || c == 0x8A ||
         c == 0x8C || c == 0x8E || c == 0x9F;
}

constexpr int ToLower(int c) {
  if (!IsUpperLetter(c)) return c;
  if (c == 0x9F) return 0xFF;
  if (c >= 0x8A && c <= 0x8E) return c + 0x10;
  return c + 0x20;
}

constexpr int ToUpper(int c) {
  if (c == 0xFF) return 0x9F;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  return c;
}

constexpr std::array<unsigned char, 256> BuildTable(int (*fold)(int)) {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(fold(c));
  return table;
}

template <typename Fold>
int CompareForward(std::string_view a, std::string_view b, Fold fold) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int diff = fold(a[i]) - fold(b[i]);
    if (diff != 0) return diff;
  }
  if (a.size() == b.size()) return 0;
  return a.size() > b.size() ? fold(a[n]) : -fold(b[n]);
}

int Exact(char c) { return static_cast<unsigned char>(c); }
int Folded(char c) { return UpperChar(c); }

template <typename Fold>
int CompareNilSafe(const std::string* a, const std::string* b, Fold fold) {
  if (a == nullptr) return b == nullptr ? 0 : -1;
  if (b == nullptr) return 1;
  return CompareForward(*a, *b, fold);
}

template <typename Fold>
int CompareFromEnds(std::string_view a, std::string_view b, std::size_t n, Fold fold) {
  for (std::size_t i = 1; i <= n; ++i) {
    const int diff = fold(a[a.size() - i]) - fold(b[b.size() - i]);
    if (diff != 0) return diff;
  }
  return 0;
}

}  // namespace

namespace case_tables {
const std::array<unsigned char, 256> kUpper = BuildTable(ToUpper);
const std::array<unsigned char, 256> kLower = BuildTable(ToLower);
}  // namespace case_tables

std::string UpperString(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(UpperChar(c));
  return out;
}

std::string LowerString(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(LowerChar(c));
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

int CompareTextPChar(std::string_view a, std::string_view b) { return CompareForward(a, b, Folded); }
int CompareStrPChar(std::string_view a, std::string_view b) { return CompareForward(a, b, Exact); }

int CompareTextNilSafe(const std::string* a, const std::string* b) { return CompareNilSafe(a, b, Folded); }
int CompareStrNilSafe(const std::string* a, const std::string* b) { return CompareNilSafe(a, b, Exact); }

int CompareTextN(std::string_view a, std::string_view b, std::size_t n) {
  return CompareForward(a.substr(0, std::min(n, a.size())), b.substr(0, std::min(n, b.size())), Folded);
}

int CompareBackwards(std::string_view a, std::string_view b, std::size_t n) {
  return CompareFromEnds(a, b, n, Exact);
}
int CompareTextBackwards(std::string_view a, std::string_view b, std::size_t n) {
  return CompareFromEnds(a, b, n, Folded);
}
