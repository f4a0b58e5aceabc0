// Writing of TXMLDocument: the fixed dialect every settings file uses.
#include "utils/xml_document.h"

#include <exception>

#include "platform/file_io.h"

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";
constexpr std::string_view kLineBreak = "\r\n";

void WriteNode(std::string& out, const TXMLNode& node, int depth) {
  const std::size_t indent = 2 * static_cast<std::size_t>(depth);
  const std::string name = EscapeXML(node.Name);
  out.append(indent, ' ');
  out += '<';
  out += name;
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    const TXMLAttribute& attribute = node.GetAttributeAt(i);
    out += ' ';
    out += EscapeXML(attribute.Name);
    out += "=\"";
    out += EscapeXML(attribute.Value);
    out += '"';
  }
  if (node.GetChildCount() == 0 && node.Text.empty()) {
    out += "/>";
    return;
  }
  out += '>';
  out += EscapeXML(node.Text);
  for (int i = 0; i < node.GetChildCount(); ++i) {
    out += kLineBreak;
    WriteNode(out, *node.GetChild(i), depth + 1);
  }
  if (node.GetChildCount() > 0) {
    out += kLineBreak;
    out.append(indent, ' ');
  }
  out += "</";
  out += name;
  out += '>';
}

}  // namespace

std::string TXMLDocument::SaveToString() const {
  std::string out(kDeclaration);
  out += kLineBreak;
  WriteNode(out, *root_, 0);
  return out;
}

bool TXMLDocument::SaveToFile(const std::string& path) const {
  try {
    return WriteFileAtomic(path, SaveToString());
  } catch (const std::exception&) {
    return false;
  }
}
