#pragma once

#include <string_view>

// What a client says about itself in the tag of its "$MyINFO", e.g.
// "<++ V:0.674,M:A,H:1/2/3,S:5>". The views point into the text that was
// parsed and live as long as it does (the client names of the table are
// static).
struct TClientTag {
  std::string_view Name = "Unknown";
  bool NameKnown = false;
  std::string_view Version;
  bool Passive = false;  // "M:P"
  int Hubs = 0;          // the sum of the "H:" counts
  int Slots = 0;
};

// The client's name by the start of its tag; "" when the tag names none.
std::string_view ClientNameOfTag(std::string_view tag);

// Reads a tag from "<" to ">" inclusive. Fields are comma-separated after the
// first space; unknown fields are ignored. False when the tag is not framed
// by "<" and ">", or when a hub or slot count is not a plain decimal number
// of sane size: such a tag is not something a client sends.
bool ParseClientTag(std::string_view tag, TClientTag& out);
