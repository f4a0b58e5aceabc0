#pragma once

#include <cstdint>
#include <string_view>

#include "core/client_tag.h"

// The fields of one "$MyINFO $ALL {nick} {description}{tag}$ ${speed}{status}$
// {email}$ {share}$|". The views point into the parsed message and live as
// long as it does.
struct TMyINFOFields {
  std::string_view Nick;
  std::string_view Description;  // without the tag
  std::string_view TagText;      // "<" .. ">" inclusive; empty when there is none
  bool TagPresent = false;
  TClientTag Tag;  // defaults when there is no tag
  std::string_view Speed;
  char Status = '\0';
  std::string_view Email;
  std::int64_t Share = 0;
};

inline constexpr std::string_view kMyINFOPrefix = "$MyINFO $ALL ";

// The share field holds at most this many digits (and no more than the
// largest signed 64-bit value).
inline constexpr std::size_t kMaxShareDigits = 19;

// Does the message name `nick`, byte for byte and followed by a space, right
// after "$MyINFO $ALL "?
bool MyINFOHasNick(std::string_view message, std::string_view nick);

// Parses one message, with or without its final "|". The fixed fields are
// read from the right: share, e-mail, status byte, speed, then the "$ $" that
// must stand before the speed. The nick is the text up to the first space
// after the prefix; the rest up to "$ $" is description and tag. False, with
// `out` unspecified, for anything malformed: a share that is not 1 to 19
// digits or exceeds 2^63-1, a missing "$ $", a "$" in the nick, description or
// tag (other clients would split the line differently), a status byte "$",
// or a tag with an unreadable count. Never reads outside `message`.
bool ParseMyINFO(std::string_view message, TMyINFOFields& out);
