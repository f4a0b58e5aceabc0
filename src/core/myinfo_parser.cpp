#include "core/myinfo_parser.h"

#include <limits>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ParseShare(std::string_view text, std::int64_t& share) {
  if (text.empty() || text.size() > kMaxShareDigits) return false;
  constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::uint64_t value = 0;  // 19 digits never overflow 64 unsigned bits
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > kMax) return false;
  share = static_cast<std::int64_t>(value);
  return true;
}

// Splits the area between the nick's space and "$ $" into description and
// tag. A tag is the text from the last "<" to a closing ">" at the very end.
bool SplitDescription(std::string_view area, TMyINFOFields& out) {
  out.Description = area;
  if (area.empty() || area.back() != '>') return true;
  const std::size_t open = area.rfind('<');
  if (open == std::string_view::npos) return true;
  out.TagText = area.substr(open);
  out.Description = area.substr(0, open);
  out.TagPresent = true;
  return ParseClientTag(out.TagText, out.Tag);
}

}  // namespace

bool MyINFOHasNick(std::string_view message, std::string_view nick) {
  if (nick.empty() || !message.starts_with(kMyINFOPrefix)) return false;
  message.remove_prefix(kMyINFOPrefix.size());
  return message.size() > nick.size() && message.starts_with(nick) && message[nick.size()] == ' ';
}

bool ParseMyINFO(std::string_view message, TMyINFOFields& out) {
  out = TMyINFOFields{};
  if (message.ends_with('|')) message.remove_suffix(1);
  if (!message.starts_with(kMyINFOPrefix) || !message.ends_with('$')) return false;

  // From the right: "$" share "$" ... every position below is checked
  // against the start before it is read.
  const std::size_t shareEnd = message.size() - 1;
  const std::size_t shareDollar = message.rfind('$', shareEnd - 1);
  if (shareDollar == std::string_view::npos || shareDollar < kMyINFOPrefix.size()) return false;
  if (!ParseShare(message.substr(shareDollar + 1, shareEnd - shareDollar - 1), out.Share))
    return false;

  const std::size_t emailDollar = message.rfind('$', shareDollar - 1);
  if (emailDollar == std::string_view::npos || emailDollar <= kMyINFOPrefix.size()) return false;
  out.Email = message.substr(emailDollar + 1, shareDollar - emailDollar - 1);

  const std::size_t statusPos = emailDollar - 1;
  out.Status = message[statusPos];
  if (out.Status == '$') return false;

  const std::size_t speedDollar = message.rfind('$', statusPos - 1);
  if (speedDollar == std::string_view::npos || speedDollar < kMyINFOPrefix.size() + 2) return false;
  if (message[speedDollar - 1] != ' ' || message[speedDollar - 2] != '$') return false;
  out.Speed = message.substr(speedDollar + 1, statusPos - speedDollar - 1);

  // Nick and description: between the prefix and "$ $", without any "$".
  const std::string_view head =
      message.substr(kMyINFOPrefix.size(), speedDollar - 2 - kMyINFOPrefix.size());
  if (head.find('$') != std::string_view::npos) return false;
  const std::size_t nickEnd = head.find(' ');
  if (nickEnd == 0 || nickEnd == std::string_view::npos) return false;
  out.Nick = head.substr(0, nickEnd);
  return SplitDescription(head.substr(nickEnd + 1), out);
}
