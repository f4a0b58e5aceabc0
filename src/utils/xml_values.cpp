#include "utils/xml_values.h"

#include <charconv>

#include "utils/xml_document.h"

namespace {

constexpr std::string_view kEnable = "enable";
constexpr std::string_view kCount = "count";
constexpr std::string_view kHours = "hours";
constexpr std::string_view kInterval = "interval";

template <typename T>
bool ParseDecimal(std::string_view text, T& value) {
  T parsed{};
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, parsed);
  if (text.empty() || error != std::errc() || ptr != end) return false;
  value = parsed;
  return true;
}

bool ParseTriState(std::string_view text, TTriState& state) {
  int ordinal = 0;
  if (!ParseXMLInteger(text, ordinal) || ordinal < 0 || ordinal > 2) return false;
  state = static_cast<TTriState>(ordinal);
  return true;
}

std::string TriStateText(TTriState state) { return std::to_string(static_cast<int>(state)); }

TXMLNode* AddValue(TXMLNode& node, std::string_view name, std::string text) {
  TXMLNode* child = node.AddChild(std::string(name));
  child->Text = std::move(text);
  return child;
}

void ReadBooleanAttribute(const TXMLNode& node, std::string_view name, bool& value) {
  if (const TXMLAttribute* attribute = node.FindAttribute(name)) {
    value = ParseXMLBoolean(attribute->Value, value);
  }
}

void ReadIntegerAttribute(const TXMLNode& node, std::string_view name, int& value) {
  if (const TXMLAttribute* attribute = node.FindAttribute(name)) {
    ParseXMLInteger(attribute->Value, value);
  }
}

void ReadInt64Attribute(const TXMLNode& node, std::string_view name, std::int64_t& value) {
  if (const TXMLAttribute* attribute = node.FindAttribute(name)) {
    ParseXMLInt64(attribute->Value, value);
  }
}

void ReadTriStateAttribute(const TXMLNode& node, std::string_view name, TTriState& state) {
  if (const TXMLAttribute* attribute = node.FindAttribute(name)) {
    ParseTriState(attribute->Value, state);
  }
}

}  // namespace

std::string FormatXMLBoolean(bool value) { return value ? "true" : "false"; }

bool ParseXMLBoolean(std::string_view text, bool fallback) {
  if (text == "1" || text == "true") return true;
  if (text == "0" || text == "false") return false;
  return fallback;
}

bool ParseXMLInteger(std::string_view text, int& value) { return ParseDecimal(text, value); }

bool ParseXMLInt64(std::string_view text, std::int64_t& value) { return ParseDecimal(text, value); }

std::string FormatXMLDateTime(TDateTime value) {
  return TimeOfDay(value) == 0 ? FormatDate(value) : FormatDateTime(value);
}

void WriteXMLEnableAttribute(TXMLNode& node, bool value) {
  node.AddAttribute(std::string(kEnable), FormatXMLBoolean(value));
}

void ReadXMLEnableAttribute(const TXMLNode& node, bool& value) {
  ReadBooleanAttribute(node, kEnable, value);
}

void WriteXMLString(TXMLNode& node, std::string_view name, std::string_view value) {
  AddValue(node, name, std::string(value));
}

void ReadXMLString(const TXMLNode& node, std::string_view name, std::string& value) {
  if (const TXMLNode* child = node.FindChild(name)) value = child->Text;
}

void WriteXMLInteger(TXMLNode& node, std::string_view name, int value) {
  AddValue(node, name, std::to_string(value));
}

void ReadXMLInteger(const TXMLNode& node, std::string_view name, int& value) {
  if (const TXMLNode* child = node.FindChild(name)) ParseXMLInteger(child->Text, value);
}

void WriteXMLInt64(TXMLNode& node, std::string_view name, std::int64_t value) {
  AddValue(node, name, std::to_string(value));
}

void ReadXMLInt64(const TXMLNode& node, std::string_view name, std::int64_t& value) {
  if (const TXMLNode* child = node.FindChild(name)) ParseXMLInt64(child->Text, value);
}

void WriteXMLBoolean(TXMLNode& node, std::string_view name, bool value) {
  WriteXMLEnableAttribute(*node.AddChild(std::string(name)), value);
}

void ReadXMLBoolean(const TXMLNode& node, std::string_view name, bool& value) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  if (!child->Text.empty()) {
    value = ParseXMLBoolean(child->Text, value);
  } else {
    ReadXMLEnableAttribute(*child, value);
  }
}

void WriteXMLDateTime(TXMLNode& node, std::string_view name, TDateTime value) {
  AddValue(node, name, FormatXMLDateTime(value));
}

void ReadXMLDateTime(const TXMLNode& node, std::string_view name, TDateTime& value) {
  if (const TXMLNode* child = node.FindChild(name)) ParseDateTime(child->Text, value);
}

void WriteXMLEnum(TXMLNode& node, std::string_view name, int ordinal) {
  AddValue(node, name, std::to_string(ordinal));
}

void ReadXMLEnum(const TXMLNode& node, std::string_view name, int& ordinal, int min, int max) {
  int parsed = 0;
  const TXMLNode* child = node.FindChild(name);
  if (child != nullptr && ParseXMLInteger(child->Text, parsed) && parsed >= min && parsed <= max) {
    ordinal = parsed;
  }
}

void WriteXMLTriState(TXMLNode& node, std::string_view name, TTriState value) {
  WriteXMLEnum(node, name, value);
}

void ReadXMLTriState(const TXMLNode& node, std::string_view name, TTriState& value) {
  ReadXMLEnum(node, name, value, TTriState::Unchecked, TTriState::Grayed);
}

void WriteXMLStringEnabled(TXMLNode& node, std::string_view name, std::string_view value,
                           bool enabled) {
  WriteXMLEnableAttribute(*AddValue(node, name, std::string(value)), enabled);
}

void ReadXMLStringEnabled(const TXMLNode& node, std::string_view name, std::string& value,
                          bool& enabled) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  value = child->Text;
  ReadXMLEnableAttribute(*child, enabled);
}

void WriteXMLIntegerEnabled(TXMLNode& node, std::string_view name, int value, bool enabled) {
  WriteXMLEnableAttribute(*AddValue(node, name, std::to_string(value)), enabled);
}

void ReadXMLIntegerEnabled(const TXMLNode& node, std::string_view name, int& value,
                           bool& enabled) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ParseXMLInteger(child->Text, value);
  ReadXMLEnableAttribute(*child, enabled);
}

void WriteXMLInt64Enabled(TXMLNode& node, std::string_view name, std::int64_t value,
                          bool enabled) {
  WriteXMLEnableAttribute(*AddValue(node, name, std::to_string(value)), enabled);
}

void ReadXMLInt64Enabled(const TXMLNode& node, std::string_view name, std::int64_t& value,
                         bool& enabled) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ParseXMLInt64(child->Text, value);
  ReadXMLEnableAttribute(*child, enabled);
}

void WriteXMLDateTimeEnabled(TXMLNode& node, std::string_view name, TDateTime value,
                             bool enabled) {
  WriteXMLEnableAttribute(*AddValue(node, name, FormatXMLDateTime(value)), enabled);
}

void ReadXMLDateTimeEnabled(const TXMLNode& node, std::string_view name, TDateTime& value,
                            bool& enabled) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ParseDateTime(child->Text, value);
  ReadXMLEnableAttribute(*child, enabled);
}

void WriteXMLInt64TriState(TXMLNode& node, std::string_view name, std::int64_t value,
                           TTriState state) {
  AddValue(node, name, std::to_string(value))->AddAttribute(std::string(kEnable),
                                                           TriStateText(state));
}

void ReadXMLInt64TriState(const TXMLNode& node, std::string_view name, std::int64_t& value,
                          TTriState& state) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ParseXMLInt64(child->Text, value);
  ReadTriStateAttribute(*child, kEnable, state);
}

void WriteXMLCountPerHours(TXMLNode& node, std::string_view name, bool enabled, int count,
                           int hours) {
  TXMLNode* child = node.AddChild(std::string(name));
  child->AddAttribute(std::string(kEnable), FormatXMLBoolean(enabled));
  child->AddAttribute(std::string(kCount), std::to_string(count));
  child->AddAttribute(std::string(kHours), std::to_string(hours));
}

void ReadXMLCountPerHours(const TXMLNode& node, std::string_view name, bool& enabled, int& count,
                          int& hours) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ReadBooleanAttribute(*child, kEnable, enabled);
  ReadIntegerAttribute(*child, kCount, count);
  ReadIntegerAttribute(*child, kHours, hours);
}

void WriteXMLCountPerInterval(TXMLNode& node, std::string_view name, TTriState state, int count,
                              std::int64_t interval) {
  TXMLNode* child = node.AddChild(std::string(name));
  child->AddAttribute(std::string(kEnable), TriStateText(state));
  child->AddAttribute(std::string(kCount), std::to_string(count));
  child->AddAttribute(std::string(kInterval), std::to_string(interval));
}

void ReadXMLCountPerInterval(const TXMLNode& node, std::string_view name, TTriState& state,
                             int& count, std::int64_t& interval) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ReadTriStateAttribute(*child, kEnable, state);
  ReadIntegerAttribute(*child, kCount, count);
  ReadInt64Attribute(*child, kInterval, interval);
}
