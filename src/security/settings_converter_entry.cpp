#include "security/settings_converter_entry.h"

#include <algorithm>

#include "base/case_tables.h"
#include "security/settings_converter.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool TMurnEntry::Value(std::string_view name, std::string_view& text) const {
  const TXMLNode* child = node_.FindChild(name);
  if (child == nullptr) return false;
  text = Trim(child->Text);
  return true;
}

bool TMurnEntry::Text(std::string_view name, std::string& value) const {
  const TXMLNode* child = node_.FindChild(name);
  if (child == nullptr) return false;
  value = coded_ ? DecodeCharCodes(child->Text) : child->Text;
  return true;
}

bool TMurnEntry::Boolean(std::string_view name, bool& value) const {
  std::string_view text;
  if (!Value(name, text)) return false;
  if (SameText(text, "true")) {
    value = true;
    return true;
  }
  if (SameText(text, "false")) {
    value = false;
    return true;
  }
  std::int64_t number = 0;
  if (!ParseXMLInt64(text, number)) return false;
  value = number > 0;
  return true;
}

bool TMurnEntry::Level(std::string_view name, std::uint8_t& value) const {
  std::int64_t number = 0;
  if (!Int64(name, number)) return false;
  value = static_cast<std::uint8_t>(std::clamp<std::int64_t>(number, 0, 3));
  return true;
}

bool TMurnEntry::Integer(std::string_view name, int& value) const {
  std::string_view text;
  return Value(name, text) && ParseXMLInteger(text, value);
}

bool TMurnEntry::Int64(std::string_view name, std::int64_t& value) const {
  std::string_view text;
  return Value(name, text) && ParseXMLInt64(text, value);
}

bool TMurnEntry::Date(std::string_view name, TDateTime& value) const {
  std::string_view text;
  return Value(name, text) && ParseDateTime(text, value);
}

bool TMurnEntry::TimeOfDay(std::string_view name, std::int64_t& seconds) const {
  std::string_view text;
  if (!Value(name, text)) return false;
  // Any valid day will do: only the time of day is kept.
  TDateTime parsed;
  if (!ParseDateTime("2000-01-01 " + std::string(text), parsed) && !ParseDateTime(text, parsed))
    return false;
  seconds = ::TimeOfDay(parsed);
  return true;
}

bool TMurnEntry::Enabled(std::string_view name, bool& value) const {
  const TXMLNode* child = node_.FindChild(name);
  if (child == nullptr) return false;
  value = child->GetAttribute("enabled") == "1";
  return true;
}

void TMurnEntry::IntegerEnabled(std::string_view name, int& value, bool& enabled) const {
  Integer(name, value);
  Enabled(name, enabled);
}
