#include "core/commands/restriction_field.h"

using C = TConnRestriction;

const TRestrictionField kRestrictionFields[6] = {
    {true, &C::MinShareEnabled, &C::MinShare, nullptr},
    {true, &C::MaxShareEnabled, &C::MaxShare, nullptr},
    {false, &C::MaxHubsEnabled, nullptr, &C::MaxHubs},
    {false, &C::MinSlotsEnabled, nullptr, &C::MinSlots},
    {false, &C::MaxSlotsEnabled, nullptr, &C::MaxSlots},
    {false, &C::SlotRatioEnabled, nullptr, &C::SlotRatio},
};

bool ApplyRestrictionValue(TConnRestriction& restriction, const TRestrictionField& field,
                           std::int64_t value) {
  bool& enabled = restriction.*field.Enabled;
  if (value == 0) {
    const bool changed = enabled;
    enabled = false;
    return changed;
  }
  const std::int64_t stored = field.Share ? restriction.*field.Bytes : restriction.*field.Count;
  const bool changed = !enabled || stored != value;
  enabled = true;
  if (field.Share) restriction.*field.Bytes = value;
  else restriction.*field.Count = static_cast<int>(value);
  return changed;
}
