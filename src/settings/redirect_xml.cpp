#include "settings/redirect_xml.h"

#include <string>

#include "settings/redirect_item.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

void WriteXMLRedirectItem(TXMLNode& node, std::string_view name, const TRedirectItem& item) {
  WriteXMLStringEnabled(node, name, item.GetAddresses(), item.Enabled);
}

void ReadXMLRedirectItem(const TXMLNode& node, std::string_view name, TRedirectItem& item) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  item.SetAddresses(child->Text);
  ReadXMLEnableAttribute(*child, item.Enabled);
}
