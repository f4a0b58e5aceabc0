#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Fixed Windows-1252 case tables. Protocol text is 8-bit Windows-1252 end to
// end, so case folding must not depend on the process locale.
namespace case_tables {
extern const std::array<unsigned char, 256> kUpper;
extern const std::array<unsigned char, 256> kLower;
}  // namespace case_tables

inline unsigned char UpperChar(char c) {
  return case_tables::kUpper[static_cast<unsigned char>(c)];
}
inline unsigned char LowerChar(char c) {
  return case_tables::kLower[static_cast<unsigned char>(c)];
}

std::string UpperString(std::string_view s);
std::string LowerString(std::string_view s);

// Case-insensitive equality through the tables.
bool SameText(std::string_view a, std::string_view b);

// Compares return the signed difference of the first differing bytes (the
// end of the shorter text counts as byte 0), 0 when equal.
int CompareTextPChar(std::string_view a, std::string_view b);  // through kUpper
int CompareStrPChar(std::string_view a, std::string_view b);   // exact bytes

// A null text sorts before any other; two nulls are equal.
int CompareTextNilSafe(const std::string* a, const std::string* b);
int CompareStrNilSafe(const std::string* a, const std::string* b);

// At most n characters, case-insensitive, stopping at the end of b.
int CompareTextN(std::string_view a, std::string_view b, std::size_t n);

// n characters walking from the last characters of a and b towards their
// starts; both must hold at least n characters.
int CompareBackwards(std::string_view a, std::string_view b, std::size_t n);
int CompareTextBackwards(std::string_view a, std::string_view b, std::size_t n);
