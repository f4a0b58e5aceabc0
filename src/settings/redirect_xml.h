#pragma once

#include <string_view>

class TRedirectItem;
class TXMLNode;

// A redirect item as a child element of a settings node: the addresses
// joined by '|' as text, the switch as the "enable" attribute.
void WriteXMLRedirectItem(TXMLNode& node, std::string_view name, const TRedirectItem& item);
// Reads the last child of that name; a missing child leaves the item alone,
// a missing "enable" keeps the switch.
void ReadXMLRedirectItem(const TXMLNode& node, std::string_view name, TRedirectItem& item);
