#pragma once

#include <cstdint>

class TXMLNode;

// One block of limits a connecting user's client data must meet: share size,
// hubs, slots, slot ratio, passive mode and the tag. Held by value by the
// settings record (the hub-wide block), by every profile and by every ISP
// entry; this class only stores the limits and their XML form, the checks
// live with the protocol engine.
class TConnRestriction {
 public:
  // Every limit off and zero; passive mode allowed; no tag-less bypass.
  TConnRestriction() = default;

  bool MinShareEnabled = false;
  std::int64_t MinShare = 0;  // bytes
  bool MaxShareEnabled = false;
  std::int64_t MaxShare = 0;  // bytes
  bool MaxHubsEnabled = false;
  int MaxHubs = 0;
  bool MinSlotsEnabled = false;
  int MinSlots = 0;
  bool MaxSlotsEnabled = false;
  int MaxSlots = 0;
  bool SlotRatioEnabled = false;
  int SlotRatio = 0;
  bool MayBeInPassiveMode = true;
  bool AllowTagLessToByPass = false;

  // Copies every field, flags and values alike.
  void Assign(const TConnRestriction& source) { *this = source; }

  // Reads the child elements of `node`; a missing child, or a number that
  // does not parse, keeps the current value.
  void LoadFromXML(const TXMLNode& node);
  // Appends the child elements to `node`, in their fixed order.
  void SaveToXML(TXMLNode& node) const;

  bool operator==(const TConnRestriction&) const = default;
};
