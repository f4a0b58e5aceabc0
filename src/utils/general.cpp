#include "utils/general.h"

#include <array>
#include <chrono>
#include <utility>

#include "base/case_tables.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {

struct TErrorName {
  int code;
  std::string_view name;
};

constexpr std::array<TErrorName, 9> kWinsockErrors{{
    {10014, "WSAEFAULT"},
    {10022, "WSAEINVAL"},
    {10036, "WSAEINPROGRESS"},
    {10038, "WSAENOTSOCK"},
    {10048, "WSAEADDRINUSE"},
    {10050, "WSAENETDOWN"},
    {10053, "WSAECONNABORTED"},
    {10055, "WSAENOBUFS"},
    {10093, "WSANOTINITIALISED"},
}};

constexpr std::array<std::string_view, 9> kMainChatActions{
    "[Replace word]",    "[Lunarize word]", "[Kennylize word]",
    "[Replace message]", "[Lunarize message]", "[Kennylize message]",
    "[Skip message]",    "[Drop user]",     "[Kick user]"};
constexpr std::array<std::string_view, 3> kPrivateActions{"[Skip message]", "[Drop user]",
                                                          "[Kick user]"};
constexpr std::array<std::string_view, 3> kSearchActions{"[Skip search]", "[Drop user]",
                                                         "[Kick user]"};

template <std::size_t N>
std::string_view NameAt(const std::array<std::string_view, N>& table, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return {};
  return table[static_cast<std::size_t>(index)];
}

// Calls fn(entry) for each non-empty ';'-separated entry until fn returns true.
template <typename Fn>
bool AnyEntry(std::string_view list, Fn fn) {
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t end = list.find(';', pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(pos, end - pos);
    if (!entry.empty() && fn(entry)) return true;
    pos = end + 1;
  }
  return false;
}

bool HasEntries(std::string_view list) {
  return list.find_first_not_of(';') != std::string_view::npos;
}

}  // namespace

std::string WinsockErrorName(int code) {
  for (const auto& e : kWinsockErrors) {
    if (e.code == code) return std::string(e.name);
  }
  return std::to_string(code);
}

bool PrefixDiffers(std::string_view prefix, std::string_view text, char terminator) {
  if (prefix.empty() || text.size() <= prefix.size()) return true;
  return text.substr(0, prefix.size()) != prefix || text[prefix.size()] != terminator;
}

bool MatchPrefixList(std::string_view prefixes, std::string_view text, bool caseSensitive) {
  if (!HasEntries(prefixes)) return true;
  if (text.empty()) return false;
  return AnyEntry(prefixes, [&](std::string_view entry) {
    if (text.size() <= entry.size()) return false;
    std::string_view head = text.substr(0, entry.size());
    if (caseSensitive) return head == entry;
    for (std::size_t i = 0; i < entry.size(); ++i) {
      if (LowerChar(head[i]) != LowerChar(entry[i])) return false;
    }
    return true;
  });
}

std::string FormatOrList(std::string_view list, std::string_view orWord) {
  std::string result;
  AnyEntry(list, [&](std::string_view entry) {
    if (!result.empty()) {
      result += ' ';
      result += orWord;
      result += ' ';
    }
    result += entry;
    return false;
  });
  return result;
}

std::ptrdiff_t CharTailLength(std::string_view text, char c) {
  std::size_t pos = text.find(c);
  if (pos == std::string_view::npos) return -1;
  return static_cast<std::ptrdiff_t>(text.size() - pos);
}

std::uint64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1));
#endif
}

std::string_view MainChatScannerActionName(int action) { return NameAt(kMainChatActions, action); }
std::string_view PrivateScannerActionName(int action) { return NameAt(kPrivateActions, action); }
std::string_view SearchScannerActionName(int action) { return NameAt(kSearchActions, action); }

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::size_t at = text.find(from);
  if (at == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  std::size_t done = 0;
  while (at != std::string::npos) {
    out.append(text, done, at - done);
    out += to;
    done = at + from.size();
    at = text.find(from, done);
  }
  out.append(text, done, std::string::npos);
  text = std::move(out);
}
