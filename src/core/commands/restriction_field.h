#pragma once

#include <cstdint>

#include "settings/conn_restriction.h"

// One of the six limits of a connection restriction, as the hub-wide and the
// ISP setters see it: a share in bytes or a count, with its enabled flag.
struct TRestrictionField {
  bool Share;  // else a count
  bool TConnRestriction::*Enabled;
  std::int64_t TConnRestriction::*Bytes;
  int TConnRestriction::*Count;
};

// Min share, max share, max hubs, min slots, max slots, slot ratio.
extern const TRestrictionField kRestrictionFields[6];

// Stores `value` in the field and enables it, or disables it for 0; true
// when the restriction changed.
bool ApplyRestrictionValue(TConnRestriction& restriction, const TRestrictionField& field,
                           std::int64_t value);
