#pragma once

#include <cstdint>

// A level right: on whom a user may act, compared by profile level.
enum TProfileAccess : std::uint8_t {
  paNone = 0,    // never
  paLower = 1,   // targets of a lower level
  paSame = 2,    // targets of a lower or equal level
  paHigher = 3,  // every target
};
