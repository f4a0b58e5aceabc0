#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/date_time.h"

class TXMLNode;

// One entry of a Murn file: its child elements read by Murn's rules. Every
// reader leaves the target unchanged when the element is absent or its text
// does not read, so a new entry keeps its own default.
class TMurnEntry {
 public:
  // `coded`: the file's texts are '#'-coded.
  TMurnEntry(const TXMLNode& node, bool coded) : node_(node), coded_(coded) {}

  const TXMLNode& Node() const { return node_; }

  // A text field, decoded when the file is coded. False when absent.
  bool Text(std::string_view name, std::string& value) const;
  // On for "1", "true" (any case) or an integer above 0; off for "0",
  // "false" or an integer of 0 or below.
  bool Boolean(std::string_view name, bool& value) const;
  // A level right: the integer clamped to 0..3.
  bool Level(std::string_view name, std::uint8_t& value) const;
  bool Integer(std::string_view name, int& value) const;
  bool Int64(std::string_view name, std::int64_t& value) const;
  // The date-time format of the settings files, or the date alone.
  bool Date(std::string_view name, TDateTime& value) const;
  // "hh:mm:ss" as seconds since midnight.
  bool TimeOfDay(std::string_view name, std::int64_t& seconds) const;
  // The element's "enabled" attribute: on only when exactly "1".
  bool Enabled(std::string_view name, bool& value) const;
  void IntegerEnabled(std::string_view name, int& value, bool& enabled) const;

 private:
  // The element's text with surrounding blanks removed, or false.
  bool Value(std::string_view name, std::string_view& text) const;

  const TXMLNode& node_;
  bool coded_;
};
