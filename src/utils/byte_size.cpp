#include "utils/byte_size.h"

#include <array>
#include <limits>

#include "base/case_tables.h"
#include "utils/constants.h"

namespace {

constexpr std::array<std::string_view, 7> kUnits{"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
constexpr int kMaxDivisions = 6;

}  // namespace

std::string FormatByteSize(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";

  // Exact integer arithmetic: the count is whole + fraction / 2^shift.
  const auto value = static_cast<std::uint64_t>(bytes);
  int divisions = 0;
  while (divisions < kMaxDivisions && (value >> (10 * divisions)) >= 1024) ++divisions;
  const int shift = 10 * divisions;
  const std::uint64_t whole = value >> shift;
  const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
  std::uint64_t fraction = value & mask;

  // Five significant digits: two decimals below 1000, one from 1000 on.
  const int decimals = whole >= 1000 ? 1 : 2;
  std::uint64_t scaled = whole;
  for (int i = 0; i < decimals; ++i) {
    // fraction < 2^60, so fraction * 10 still fits in 64 bits.
    fraction *= 10;
    scaled = scaled * 10 + (fraction >> shift);
    fraction &= mask;
  }
  if (fraction * 2 >= (std::uint64_t{1} << shift)) ++scaled;  // half away from zero
  if (decimals == 1) scaled *= 10;

  const std::uint64_t cents = scaled % 100;
  std::string text = std::to_string(scaled / 100);
  text += FixedFormat.DecimalSeparator;
  text += static_cast<char>('0' + cents / 10);
  text += static_cast<char>('0' + cents % 10);
  text += ' ';
  text += kUnits[static_cast<std::size_t>(divisions)];
  return text;
}

std::string FormatByteSize32(std::uint32_t bytes) {
  return FormatByteSize(static_cast<std::int64_t>(bytes));
}

std::int64_t ParseByteSize(std::string_view text) {
  if (text.empty()) return 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

  std::size_t pos = 0;
  std::int64_t number = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    const int digit = text[pos] - '0';
    if (number > (kMax - digit) / 10) return -1;
    number = number * 10 + digit;
    ++pos;
  }
  if (pos == 0) return -1;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos == text.size()) return number;

  int power = 0;
  switch (LowerChar(text[pos])) {
    case 'b': power = 0; break;
    case 'k': power = 1; break;
    case 'm': power = 2; break;
    case 'g': power = 3; break;
    case 't': power = 4; break;
    case 'p': power = 5; break;
    default: return -1;
  }
  const int shift = 10 * power;
  if (number > (kMax >> shift)) return -1;
  return number << shift;
}
