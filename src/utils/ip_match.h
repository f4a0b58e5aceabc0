#pragma once

#include <optional>
#include <string>
#include <string_view>

// IPv4 masks as operators type them: ';'-separated address prefixes for the
// addresses an account may log in from, and the normalised masks ("10.0.*",
// "1.2.3.4", "*") that bans, the ISP list and statistics key on.

// True when some ';'-separated entry covers `ip`. An entry covers the address
// when it equals it, ends on an octet boundary of it ("10.0" and "10.0." cover
// 10.0.3.4 but not 10.01.3.4), or reaches a '*' before the first difference.
// A list without entries places no restriction and gives true.
bool MatchIPPatternList(std::string_view patterns, std::string_view ip);

// Up to four decimal octets (0..255, digits only) separated by '.'. Fewer than
// four, ended by the end of the text or by '*', give the octets read plus ".*"
// ("*" when none). A '*' may only be followed by more ".*" groups
// ("192.168.*.*" is "192.168.*"). Anything after the fourth octet, "1.2.3.4.*"
// included, is refused: such a text is not a mask an operator could mean.
std::optional<std::string> NormalizeIPMask(std::string_view text);
