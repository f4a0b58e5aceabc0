#include "core/client_tag.h"

#include <array>
#include <climits>
#include <cstdint>

namespace {

struct TNamedStart {
  std::string_view Start;  // the tag's first four bytes
  std::string_view Name;
};

constexpr std::array<TNamedStart, 7> kNamedStarts{{
    {"<++ ", "DC++"},
    {"<DC ", "NMDC"},
    {"<DC:", "DCPRO"},
    {"<oDC", "oDC"},
    {"<DCG", "DCGUI"},
    {"<DCP", "DCPRO"},
    {"<DCT", "DCTC"},
}};

// A single count is at most this many digits; more is no real client.
constexpr std::size_t kMaxCountDigits = 9;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal count; false when empty, not all digits, or too long.
bool ParseCount(std::string_view text, std::int64_t& value) {
  if (text.empty() || text.size() > kMaxCountDigits) return false;
  value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// "1/2/3" -> 6; false on any malformed part or a sum beyond int.
bool ParseHubCounts(std::string_view text, int& hubs) {
  std::int64_t sum = 0;
  for (;;) {
    const std::size_t slash = text.find('/');
    std::int64_t part = 0;
    if (!ParseCount(text.substr(0, slash), part)) return false;
    sum += part;
    if (sum > INT_MAX) return false;
    if (slash == std::string_view::npos) break;
    text.remove_prefix(slash + 1);
  }
  hubs = static_cast<int>(sum);
  return true;
}

bool ReadField(std::string_view field, TClientTag& out) {
  if (field.size() < 2 || field[1] != ':') return true;
  const std::string_view value = field.substr(2);
  switch (field[0]) {
    case 'V':
      out.Version = value;
      return true;
    case 'M':
      out.Passive = !value.empty() && value[0] == 'P';
      return true;
    case 'H':
      return ParseHubCounts(value, out.Hubs);
    case 'S': {
      std::int64_t slots = 0;
      if (!ParseCount(value, slots)) return false;
      out.Slots = static_cast<int>(slots);
      return true;
    }
    default:
      return true;
  }
}

}  // namespace

std::string_view ClientNameOfTag(std::string_view tag) {
  for (const TNamedStart& named : kNamedStarts) {
    if (tag.starts_with(named.Start)) return named.Name;
  }
  if (tag.empty() || tag[0] != '<') return {};
  std::string_view name = tag.substr(1);
  const std::size_t end = name.find_first_of(" >");
  return name.substr(0, end);
}

bool ParseClientTag(std::string_view tag, TClientTag& out) {
  out = TClientTag{};
  if (tag.size() < 2 || tag.front() != '<' || tag.back() != '>') return false;
  const std::string_view name = ClientNameOfTag(tag);
  if (!name.empty()) {
    out.Name = name;
    out.NameKnown = true;
  }

  const std::string_view inner = tag.substr(1, tag.size() - 2);
  const std::size_t space = inner.find(' ');
  if (space == std::string_view::npos) return true;
  std::string_view fields = inner.substr(space + 1);
  for (;;) {
    const std::size_t comma = fields.find(',');
    if (!ReadField(fields.substr(0, comma), out)) return false;
    if (comma == std::string_view::npos) return true;
    fields.remove_prefix(comma + 1);
  }
}
