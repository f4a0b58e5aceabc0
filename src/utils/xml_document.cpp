#include "utils/xml_document.h"

#include <utility>

#include "base/case_tables.h"
#include "base/exceptions.h"

namespace {

// Below this many attributes a linear scan beats hashing upper-cased names.
constexpr std::size_t kIndexAttributesFrom = 8;

// The byte a character reference or named escape stands for, or -1.
int DecodeEntity(std::string_view entity) {
  if (entity == "amp") return '&';
  if (entity == "lt") return '<';
  if (entity == "gt") return '>';
  if (entity == "quot") return '"';
  if (entity == "apos") return '\'';
  if (entity.size() < 2 || entity[0] != '#') return -1;
  const bool hex = entity[1] == 'x' || entity[1] == 'X';
  const std::string_view digits = entity.substr(hex ? 2 : 1);
  if (digits.empty()) return -1;
  int value = 0;
  for (const char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return -1;
    }
    value = value * (hex ? 16 : 10) + digit;
    if (value > 255) return -1;  // text is 8-bit; wider code points stay as written
  }
  return value;
}

}  // namespace

std::string EscapeXML(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string UnescapeXML(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t amp = text.find('&', pos);
    if (amp == std::string_view::npos) break;
    out.append(text.substr(pos, amp - pos));
    pos = amp + 1;
    // The longest known entity is "#x" plus a few digits; an '&' without a
    // near ';' stays as it stands.
    const std::size_t semi = text.substr(pos, 12).find(';');
    const int decoded = semi == std::string_view::npos ? -1 : DecodeEntity(text.substr(pos, semi));
    if (decoded < 0) {
      out.push_back('&');
    } else {
      out.push_back(static_cast<char>(decoded));
      pos += semi + 1;
    }
  }
  out.append(text.substr(pos));
  return out;
}

TXMLNode::TXMLNode(std::string name) : Name(std::move(name)) {}

TXMLNode::~TXMLNode() = default;

TXMLNode* TXMLNode::AddChild(std::string name) {
  children_.push_back(std::make_unique<TXMLNode>(std::move(name)));
  return children_.back().get();
}

TXMLNode* TXMLNode::FindChild(std::string_view name) {
  return const_cast<TXMLNode*>(std::as_const(*this).FindChild(name));
}

const TXMLNode* TXMLNode::FindChild(std::string_view name) const {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if ((*it)->Name == name) return it->get();
  }
  return nullptr;
}

TXMLNode* TXMLNode::GetChild(int index) {
  return const_cast<TXMLNode*>(std::as_const(*this).GetChild(index));
}

const TXMLNode* TXMLNode::GetChild(int index) const {
  if (index < 0 || index >= GetChildCount()) return nullptr;
  return children_[static_cast<std::size_t>(index)].get();
}

const TXMLAttribute* TXMLNode::FindAttribute(std::string_view name) const {
  if (!attributeIndex_.empty()) {
    const auto it = attributeIndex_.find(UpperString(name));
    return it == attributeIndex_.end() ? nullptr : &attributes_[it->second];
  }
  for (const TXMLAttribute& attribute : attributes_) {
    if (SameText(attribute.Name, name)) return &attribute;
  }
  return nullptr;
}

bool TXMLNode::AddAttribute(std::string name, std::string value) {
  if (FindAttribute(name) != nullptr) return false;
  attributes_.push_back(TXMLAttribute{std::move(name), std::move(value)});
  if (attributes_.size() == kIndexAttributesFrom) {
    for (std::size_t i = 0; i < attributes_.size(); ++i) {
      attributeIndex_.emplace(UpperString(attributes_[i].Name), i);
    }
  } else if (attributes_.size() > kIndexAttributesFrom) {
    attributeIndex_.emplace(UpperString(attributes_.back().Name), attributes_.size() - 1);
  }
  return true;
}

std::string TXMLNode::GetAttribute(std::string_view name, std::string_view fallback) const {
  const TXMLAttribute* attribute = FindAttribute(name);
  return std::string(attribute != nullptr ? std::string_view(attribute->Value) : fallback);
}

const TXMLAttribute& TXMLNode::GetAttributeAt(int index) const {
  KAVRO_CHECK(index >= 0 && index < GetAttributeCount(), "attribute index out of range");
  return attributes_[static_cast<std::size_t>(index)];
}

void TXMLNode::Clear() {
  children_.clear();
  attributes_.clear();
  attributeIndex_.clear();
}

TXMLDocument::TXMLDocument() : root_(std::make_unique<TXMLNode>()) {}

void TXMLDocument::Reset() {
  root_->Clear();
  root_->Name.clear();
  root_->Text.clear();
}
