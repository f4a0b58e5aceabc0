#include "core/commands/command_words.h"

#include <algorithm>
#include <charconv>
#include <system_error>

std::optional<int> WholeInt(std::string_view word) {
  int value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

int OffsetWord(std::string_view word) { return std::max(WholeInt(word).value_or(0), 0); }
