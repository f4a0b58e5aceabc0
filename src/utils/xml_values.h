#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/date_time.h"

class TXMLNode;

// Typed values stored as child elements of a settings node, spelled the same
// way in every settings file. Writers append a new child element; readers
// take the last child of that name and leave the caller's value unchanged
// when the element is missing or does not parse, so the caller's value is
// the default.

// A check box's three states, stored as their ordinals.
enum class TTriState : int { Unchecked = 0, Checked = 1, Grayed = 2 };

std::string FormatXMLBoolean(bool value);  // "true" / "false"
// "1" and "true" -> true, "0" and "false" -> false (exact), else `fallback`.
bool ParseXMLBoolean(std::string_view text, bool fallback);

// Strict decimal: an optional '-', digits only, no overflow. False and
// `value` unchanged otherwise.
bool ParseXMLInteger(std::string_view text, int& value);
bool ParseXMLInt64(std::string_view text, std::int64_t& value);

// The date-time text of settings files: "yyyy-MM-dd hh:mm:ss", or the date
// alone at midnight.
std::string FormatXMLDateTime(TDateTime value);

// The "enable" attribute of `node` itself.
void WriteXMLEnableAttribute(TXMLNode& node, bool value);
void ReadXMLEnableAttribute(const TXMLNode& node, bool& value);

void WriteXMLString(TXMLNode& node, std::string_view name, std::string_view value);
void ReadXMLString(const TXMLNode& node, std::string_view name, std::string& value);

void WriteXMLInteger(TXMLNode& node, std::string_view name, int value);
void ReadXMLInteger(const TXMLNode& node, std::string_view name, int& value);

void WriteXMLInt64(TXMLNode& node, std::string_view name, std::int64_t value);
void ReadXMLInt64(const TXMLNode& node, std::string_view name, std::int64_t& value);

// Written as an empty element with "enable"; read from the text when it is
// not empty, else from "enable".
void WriteXMLBoolean(TXMLNode& node, std::string_view name, bool value);
void ReadXMLBoolean(const TXMLNode& node, std::string_view name, bool& value);

void WriteXMLDateTime(TXMLNode& node, std::string_view name, TDateTime value);
void ReadXMLDateTime(const TXMLNode& node, std::string_view name, TDateTime& value);

// An enumeration as its ordinal. The reader keeps `value` when the text is
// not a number within [min, max], so a damaged file never yields an
// enumeration value that does not exist.
void WriteXMLEnum(TXMLNode& node, std::string_view name, int ordinal);
void ReadXMLEnum(const TXMLNode& node, std::string_view name, int& ordinal, int min, int max);

template <typename E>
  requires std::is_enum_v<E>
void WriteXMLEnum(TXMLNode& node, std::string_view name, E value) {
  WriteXMLEnum(node, name, static_cast<int>(value));
}

template <typename E>
  requires std::is_enum_v<E>
void ReadXMLEnum(const TXMLNode& node, std::string_view name, E& value, E min, E max) {
  int ordinal = static_cast<int>(value);
  ReadXMLEnum(node, name, ordinal, static_cast<int>(min), static_cast<int>(max));
  value = static_cast<E>(ordinal);
}

void WriteXMLTriState(TXMLNode& node, std::string_view name, TTriState value);
void ReadXMLTriState(const TXMLNode& node, std::string_view name, TTriState& value);

// A value and an on/off flag: the value as text, the flag as "enable".
void WriteXMLStringEnabled(TXMLNode& node, std::string_view name, std::string_view value,
                           bool enabled);
void ReadXMLStringEnabled(const TXMLNode& node, std::string_view name, std::string& value,
                          bool& enabled);
void WriteXMLIntegerEnabled(TXMLNode& node, std::string_view name, int value, bool enabled);
void ReadXMLIntegerEnabled(const TXMLNode& node, std::string_view name, int& value, bool& enabled);
void WriteXMLInt64Enabled(TXMLNode& node, std::string_view name, std::int64_t value,
                          bool enabled);
void ReadXMLInt64Enabled(const TXMLNode& node, std::string_view name, std::int64_t& value,
                         bool& enabled);
void WriteXMLDateTimeEnabled(TXMLNode& node, std::string_view name, TDateTime value,
                             bool enabled);
void ReadXMLDateTimeEnabled(const TXMLNode& node, std::string_view name, TDateTime& value,
                            bool& enabled);

// A 64-bit value as text with a three-state "enable" in decimal.
void WriteXMLInt64TriState(TXMLNode& node, std::string_view name, std::int64_t value,
                           TTriState state);
void ReadXMLInt64TriState(const TXMLNode& node, std::string_view name, std::int64_t& value,
                          TTriState& state);

// A threshold "count per hours": an empty element with "enable", "count"
// and "hours", in this order.
void WriteXMLCountPerHours(TXMLNode& node, std::string_view name, bool enabled, int count,
                           int hours);
void ReadXMLCountPerHours(const TXMLNode& node, std::string_view name, bool& enabled, int& count,
                          int& hours);

// A threshold "count per interval": an empty element with a three-state
// "enable", "count" and the 64-bit "interval" in milliseconds.
void WriteXMLCountPerInterval(TXMLNode& node, std::string_view name, TTriState state, int count,
                              std::int64_t interval);
void ReadXMLCountPerInterval(const TXMLNode& node, std::string_view name, TTriState& state,
                             int& count, std::int64_t& interval);
