#pragma once

#include <string_view>

// The program's fixed texts and the locale-independent number format.

inline constexpr std::string_view kProductName = "Kavro";
// Settings files written by an older version are upgraded; the version gate
// compares this text byte-wise, so keep the "d.ddd" shape.
inline constexpr std::string_view kProgramVersion = "1.040";
// dchub:// addresses without a port mean 411.
inline constexpr std::string_view kDefaultHubPorts = "411";
// The name under which the administration window acts in the hub.
inline constexpr std::string_view kDefaultGuiOwnerName = "Kavro GUI";

// One '0' or '1' per byte value 0..255.
// '1' where the byte may appear in a nick unless the operator changes it.
extern const std::string_view DefaultAllowedNickChars;
// '1' where the byte separates words for the scanners and text commands.
extern const std::string_view DefaultWordDelimiters;

// Numbers the program writes or parses never follow the user's locale. Dates
// and times have their own fixed form in the XML helper.
struct TFixedFormat {
  char DecimalSeparator;
};
inline constexpr TFixedFormat FixedFormat{'.'};
