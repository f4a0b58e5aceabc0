#pragma once

#include <string>
#include <string_view>

// One entry of a ports setting: "port" or "address:port".
struct TPortEntry {
  std::string Address;  // empty: the hub's listen address
  int Port = -1;        // -1: not a whole number in 1..65535
};

TPortEntry ParsePortEntry(std::string_view entry);
