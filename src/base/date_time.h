#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

// A civil (wall-clock) date and time without a time zone: seconds since
// 1970-01-01 00:00:00 of the proleptic Gregorian calendar, every day exactly
// 86,400 seconds. Settings files store such values as text in the program's
// fixed, locale-independent format.
struct TDateTime {
  std::int64_t Seconds = 0;

  friend auto operator<=>(const TDateTime&, const TDateTime&) = default;
};

// The fields of a civil date-time.
struct TCivilTime {
  int Year = 1970;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..DaysInMonth
  int Hour = 0;   // 0..23
  int Minute = 0;
  int Second = 0;

  friend bool operator==(const TCivilTime&, const TCivilTime&) = default;
};

constexpr std::int64_t kSecondsPerDay = 86400;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// False (and `out` unchanged) when a field is out of range: years 1..9999,
// months, days by month length and leap years, hours, minutes, seconds.
bool TryEncodeDateTime(const TCivilTime& civil, TDateTime& out);
TCivilTime DecodeDateTime(TDateTime value);

// Seconds since midnight, 0..86399.
std::int64_t TimeOfDay(TDateTime value);

std::string FormatDate(TDateTime value);      // "yyyy-MM-dd"
std::string FormatTime(TDateTime value);      // "hh:mm:ss"
std::string FormatDateTime(TDateTime value);  // "yyyy-MM-dd hh:mm:ss"

// Accepts exactly "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss" with valid fields.
// False, and `out` unchanged, on anything else.
bool ParseDateTime(std::string_view text, TDateTime& out);
