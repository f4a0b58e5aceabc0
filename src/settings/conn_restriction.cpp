#include "settings/conn_restriction.h"

#include "utils/xml_document.h"
#include "utils/xml_values.h"

void TConnRestriction::LoadFromXML(const TXMLNode& node) {
  ReadXMLInt64Enabled(node, "MinShare", MinShare, MinShareEnabled);
  ReadXMLInt64Enabled(node, "MaxShare", MaxShare, MaxShareEnabled);
  ReadXMLIntegerEnabled(node, "MaxHubs", MaxHubs, MaxHubsEnabled);
  ReadXMLIntegerEnabled(node, "MinSlots", MinSlots, MinSlotsEnabled);
  ReadXMLIntegerEnabled(node, "MaxSlots", MaxSlots, MaxSlotsEnabled);
  ReadXMLIntegerEnabled(node, "SlotRatio", SlotRatio, SlotRatioEnabled);
  ReadXMLBoolean(node, "MayBeInPassiveMode", MayBeInPassiveMode);
  ReadXMLBoolean(node, "AllowTagLessToByPass", AllowTagLessToByPass);
}

void TConnRestriction::SaveToXML(TXMLNode& node) const {
  WriteXMLInt64Enabled(node, "MinShare", MinShare, MinShareEnabled);
  WriteXMLInt64Enabled(node, "MaxShare", MaxShare, MaxShareEnabled);
  WriteXMLIntegerEnabled(node, "MaxHubs", MaxHubs, MaxHubsEnabled);
  WriteXMLIntegerEnabled(node, "MinSlots", MinSlots, MinSlotsEnabled);
  WriteXMLIntegerEnabled(node, "MaxSlots", MaxSlots, MaxSlotsEnabled);
  WriteXMLIntegerEnabled(node, "SlotRatio", SlotRatio, SlotRatioEnabled);
  WriteXMLBoolean(node, "MayBeInPassiveMode", MayBeInPassiveMode);
  WriteXMLBoolean(node, "AllowTagLessToByPass", AllowTagLessToByPass);
}
