#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Small free routines shared across the hub: error names, ';'-separated
// prefix lists, enumeration display names and a few numeric helpers.

// Windows socket error names. Socket errors are reported to operators under
// these names whatever the platform, so the platform layer maps errno onto
// these codes. Unknown codes come back as their decimal number.
std::string WinsockErrorName(int code);

// False only when `text` starts with a non-empty `prefix` immediately followed
// by `terminator` ("<nick> " at the start of a chat line).
bool PrefixDiffers(std::string_view prefix, std::string_view text, char terminator);

// True when some ';'-separated entry is a proper prefix of `text` (a text equal
// to an entry does not match). A list without entries places no requirement
// and gives true; an empty text gives false. Empty entries are skipped: they
// would otherwise match every text.
bool MatchPrefixList(std::string_view prefixes, std::string_view text, bool caseSensitive);

// The non-empty ';'-separated entries joined by " <orWord> ".
std::string FormatOrList(std::string_view list, std::string_view orWord);

// Replaces every `from` in `text` by `to`, left to right; replaced text is
// not searched again. An empty `from` changes nothing.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Characters from the first `c` to the end, `c` included; -1 without `c`.
std::ptrdiff_t CharTailLength(std::string_view text, char c);

constexpr int ClampInt(int value, int min, int max) {
  if (value < min) return min;
  return value < max ? value : max;
}

// The processor's cycle counter where there is one, otherwise a nanosecond
// clock; only differences of two readings mean anything.
std::uint64_t ReadTimeStampCounter();

// Display names of the scanner actions; "" outside each table.
std::string_view MainChatScannerActionName(int action);     // 0..8
std::string_view PrivateScannerActionName(int action);      // 0..2
std::string_view SearchScannerActionName(int action);       // 0..2
