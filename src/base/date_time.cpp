#include "base/date_time.h"

namespace {

// Days since 1970-01-01 of a civil date (valid fields), after the
// era-based algorithm for the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;                              // 0..399
  const std::int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;  // 0..365
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, TCivilTime& civil) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;  // 0..146096
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;  // March-based month 0..11
  civil.Day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  civil.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  civil.Year = static_cast<int>(yearOfEra + era * 400 + (civil.Month <= 2 ? 1 : 0));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Appends `value` zero-padded to `width` digits (a minus sign first for a
// negative year; values never exceed the width for valid dates).
void AppendPadded(std::string& out, std::int64_t value, int width) {
  if (value < 0) {
    out.push_back('-');
    value = -value;
  }
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

// Three fields joined by `separator`, the first `firstWidth` digits wide,
// the others two.
std::string JoinPadded(int first, int firstWidth, char separator, int second, int third) {
  std::string out;
  out.reserve(static_cast<std::size_t>(firstWidth) + 6);
  AppendPadded(out, first, firstWidth);
  out.push_back(separator);
  AppendPadded(out, second, 2);
  out.push_back(separator);
  AppendPadded(out, third, 2);
  return out;
}

// Reads exactly `width` decimal digits at `pos`.
bool ReadDigits(std::string_view text, std::size_t pos, int width, int& value) {
  if (pos + static_cast<std::size_t>(width) > text.size()) return false;
  value = 0;
  for (int i = 0; i < width; ++i) {
    const char c = text[pos + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDateTime(const TCivilTime& c, TDateTime& out) {
  if (c.Year < 1 || c.Year > 9999) return false;
  if (c.Day < 1 || c.Day > DaysInMonth(c.Year, c.Month)) return false;
  if (c.Hour < 0 || c.Hour > 23 || c.Minute < 0 || c.Minute > 59 || c.Second < 0 || c.Second > 59)
    return false;
  out.Seconds = DaysFromCivil(c.Year, c.Month, c.Day) * kSecondsPerDay + c.Hour * 3600 +
                c.Minute * 60 + c.Second;
  return true;
}

TCivilTime DecodeDateTime(TDateTime value) {
  TCivilTime civil;
  const std::int64_t days = FloorDiv(value.Seconds, kSecondsPerDay);
  CivilFromDays(days, civil);
  const std::int64_t rest = value.Seconds - days * kSecondsPerDay;
  civil.Hour = static_cast<int>(rest / 3600);
  civil.Minute = static_cast<int>(rest / 60 % 60);
  civil.Second = static_cast<int>(rest % 60);
  return civil;
}

std::int64_t TimeOfDay(TDateTime value) {
  return value.Seconds - FloorDiv(value.Seconds, kSecondsPerDay) * kSecondsPerDay;
}

std::string FormatDate(TDateTime value) {
  const TCivilTime c = DecodeDateTime(value);
  return JoinPadded(c.Year, 4, '-', c.Month, c.Day);
}

std::string FormatTime(TDateTime value) {
  const TCivilTime c = DecodeDateTime(value);
  return JoinPadded(c.Hour, 2, ':', c.Minute, c.Second);
}

std::string FormatDateTime(TDateTime value) { return FormatDate(value) + ' ' + FormatTime(value); }

bool ParseDateTime(std::string_view text, TDateTime& out) {
  if (text.size() != 10 && text.size() != 19) return false;
  TCivilTime c;
  if (!ReadDigits(text, 0, 4, c.Year) || text[4] != '-' || !ReadDigits(text, 5, 2, c.Month) ||
      text[7] != '-' || !ReadDigits(text, 8, 2, c.Day))
    return false;
  if (text.size() == 19) {
    if (text[10] != ' ' || !ReadDigits(text, 11, 2, c.Hour) || text[13] != ':' ||
        !ReadDigits(text, 14, 2, c.Minute) || text[16] != ':' || !ReadDigits(text, 17, 2, c.Second))
      return false;
  }
  return TryEncodeDateTime(c, out);
}
