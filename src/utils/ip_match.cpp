#include "utils/ip_match.h"

#include <cstddef>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EntryCovers(std::string_view entry, std::string_view ip) {
  std::size_t i = 0;
  while (i < entry.size() && i < ip.size() && entry[i] == ip[i]) ++i;
  if (i == ip.size()) return i == entry.size() || !IsDigit(entry[i]);
  if (i < entry.size()) return entry[i] == '*';
  // The entry is used up inside the address: it must end on an octet boundary.
  return ip[i] == '.' || (i > 0 && entry[i - 1] == '.');
}

// Only ".*" groups may follow a '*'.
bool OnlyWildcardsFollow(std::string_view rest) {
  while (!rest.empty()) {
    if (rest.substr(0, 2) != ".*") return false;
    rest.remove_prefix(2);
  }
  return true;
}

}  // namespace

bool MatchIPPatternList(std::string_view patterns, std::string_view ip) {
  bool anyEntry = false;
  std::size_t pos = 0;
  while (pos <= patterns.size()) {
    std::size_t end = patterns.find(';', pos);
    if (end == std::string_view::npos) end = patterns.size();
    std::string_view entry = patterns.substr(pos, end - pos);
    if (!entry.empty()) {
      anyEntry = true;
      if (EntryCovers(entry, ip)) return true;
    }
    pos = end + 1;
  }
  return !anyEntry;
}

std::optional<std::string> NormalizeIPMask(std::string_view text) {
  std::string mask;
  std::size_t pos = 0;
  for (int octet = 0; octet < 4; ++octet) {
    if (pos == text.size() || text[pos] == '*') {
      if (pos < text.size() && !OnlyWildcardsFollow(text.substr(pos + 1))) return std::nullopt;
      mask += octet == 0 ? "*" : ".*";
      return mask;
    }
    if (octet > 0) mask += '.';
    const std::size_t start = pos;
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
      value = value * 10 + (text[pos] - '0');
      if (value > 255) return std::nullopt;  // also keeps long digit runs from overflowing
      ++pos;
    }
    if (pos == start) return std::nullopt;
    mask += std::to_string(value);
    if (octet < 3 && pos < text.size()) {
      if (text[pos] != '.') return std::nullopt;
      ++pos;
    }
  }
  if (pos != text.size()) return std::nullopt;
  return mask;
}
