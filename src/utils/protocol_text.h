#pragma once

#include <string>
#include <string_view>

// Text placed inside NMDC protocol fields, where '$' starts a command, '|'
// ends one and a space separates parameters.

// A lossy copy fit for a space- or '|'-delimited field: the bytes 0x00 and
// 0x05, '$' and '|' become '_', and every space becomes the no-break space
// 0xA0 (the hub's own $MyINFO texts, bot and room descriptions).
std::string ProtocolSafeText(std::string_view text);

// The lossless pair for text that must carry '$' and '|': they travel as
// "&#36;" and "&#124;", and '&' itself as "&amp;" so that the round trip is
// exact. Unescaping runs left to right in one pass and leaves any other '&'
// sequence as it is.
std::string EscapeProtocolText(std::string_view text);
std::string UnescapeProtocolText(std::string_view text);
