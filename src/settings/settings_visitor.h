#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "utils/xml_values.h"

class TConnRestriction;
class TRedirectItem;
struct TCountPerHours;
struct TCountPerInterval;
struct TEnabledInt;
struct TEnabledInt64;
struct TEnabledText;
struct TInt64TriState;

// One pass over the settings file's keys in file order: the writer appends
// each value as an element, the reader takes each element that is present.
// A reader returns true for a key whose element was present (the value may
// still have been kept, when it did not parse or was out of range), so the
// walk knows when to call a setter; a writer returns false.
class TSettingsVisitor {
 public:
  virtual ~TSettingsVisitor() = default;

  virtual bool Reading() const = 0;
  // Runs `body` inside the sub-element `name`; a reader skips a group that
  // is absent, keeping every value in it.
  virtual void Group(std::string_view name, const std::function<void()>& body) = 0;

  virtual bool Text(std::string_view name, std::string& value) = 0;
  virtual bool Integer(std::string_view name, int& value) = 0;
  // An integer that must lie within [min, max]; a reader keeps the value
  // otherwise.
  virtual bool Range(std::string_view name, int& value, int min, int max) = 0;
  virtual bool Int64(std::string_view name, std::int64_t& value) = 0;
  virtual bool Flag(std::string_view name, bool& value) = 0;
  virtual bool TriState(std::string_view name, TTriState& value) = 0;
  virtual bool EnabledInt(std::string_view name, TEnabledInt& value) = 0;
  virtual bool EnabledInt64(std::string_view name, TEnabledInt64& value) = 0;
  virtual bool EnabledText(std::string_view name, TEnabledText& value) = 0;
  virtual bool Int64TriState(std::string_view name, TInt64TriState& value) = 0;
  virtual bool CountPerHours(std::string_view name, TCountPerHours& value) = 0;
  virtual bool CountPerInterval(std::string_view name, TCountPerInterval& value) = 0;
  virtual bool Redirect(std::string_view name, TRedirectItem& item) = 0;
  // The restriction's own child elements, directly in the current group.
  virtual void Restriction(TConnRestriction& restriction) = 0;

  // An enumeration stored as its ordinal, read within [min, max].
  template <typename E>
  bool Enum(std::string_view name, E& value, E min, E max) {
    int ordinal = static_cast<int>(value);
    const bool present = Range(name, ordinal, static_cast<int>(min), static_cast<int>(max));
    value = static_cast<E>(ordinal);
    return present;
  }
};
