#include "base/date_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace {

struct ParseCase {
  const char* text;
  bool ok;
  std::int64_t seconds;  // when ok
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseDateTimeTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDateTimeTest, ParsesOnlyValidDatesAndKeepsValueOtherwise) {
  const ParseCase& c = GetParam();
  TDateTime value{12345};
  EXPECT_EQ(ParseDateTime(c.text, value), c.ok) << c.text;
  EXPECT_EQ(value.Seconds, c.ok ? c.seconds : 12345) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseDateTimeTest,
    testing::Values(ParseCase{"1970-01-01", true, 0},
                    ParseCase{"2000-02-29", true, 951782400},
                    ParseCase{"2023-12-31 23:59:59", true, 1704067199},
                    ParseCase{"0001-01-01 00:00:00", true, -62135596800},
                    ParseCase{"9999-12-31 23:59:59", true, 253402300799},
                    ParseCase{"2024-02-29 12:00:00", true, 1709208000},
                    ParseCase{"2023-02-29", false, 0},           // not a leap year
                    ParseCase{"1900-02-29", false, 0},           // century, not leap
                    ParseCase{"2023-04-31", false, 0},
                    ParseCase{"2023-13-01", false, 0},
                    ParseCase{"2023-00-10", false, 0},
                    ParseCase{"2023-01-00", false, 0},
                    ParseCase{"0000-01-01", false, 0},
                    ParseCase{"2023-01-01 24:00:00", false, 0},
                    ParseCase{"2023-01-01 23:60:00", false, 0},
                    ParseCase{"2023-01-01 23:59:60", false, 0},
                    ParseCase{"2023-1-01", false, 0},
                    ParseCase{"2023-01-01T10:00:00", false, 0},
                    ParseCase{"2023-01-01 10:00", false, 0},
                    ParseCase{"2023-01-01 ", false, 0},
                    ParseCase{" 2023-01-01", false, 0},
                    ParseCase{"2023/01/01", false, 0},
                    ParseCase{"-023-01-01", false, 0},
                    ParseCase{"", false, 0}));

struct FormatCase {
  std::int64_t seconds;
  const char* date;
  const char* time;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.seconds; }

class FormatDateTimeTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatDateTimeTest, FormatsFixedWidthFields) {
  const FormatCase& c = GetParam();
  const TDateTime value{c.seconds};
  EXPECT_EQ(FormatDate(value), c.date);
  EXPECT_EQ(FormatTime(value), c.time);
  EXPECT_EQ(FormatDateTime(value), std::string(c.date) + " " + c.time);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatDateTimeTest,
                         testing::Values(FormatCase{0, "1970-01-01", "00:00:00"},
                                         FormatCase{-1, "1969-12-31", "23:59:59"},
                                         FormatCase{951782400 + 3723, "2000-02-29", "01:02:03"},
                                         FormatCase{-62135596800, "0001-01-01", "00:00:00"},
                                         FormatCase{253402300799, "9999-12-31", "23:59:59"}));

// Walks every day of the supported range with the month-length rules and
// checks that encoding counts exactly one day per step and decodes back.
TEST(DateTimeTest, CalendarIsContinuousFromYear1To9999) {
  TDateTime previous;
  ASSERT_TRUE(TryEncodeDateTime(TCivilTime{1, 1, 1, 0, 0, 0}, previous));
  for (int year = 1; year <= 9999; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        if (year == 1 && month == 1 && day == 1) continue;
        const TCivilTime civil{year, month, day, 0, 0, 0};
        TDateTime value;
        ASSERT_TRUE(TryEncodeDateTime(civil, value));
        ASSERT_EQ(value.Seconds - previous.Seconds, kSecondsPerDay) << FormatDate(value);
        ASSERT_EQ(DecodeDateTime(value), civil);
        previous = value;
      }
    }
  }
}

TEST(DateTimeTest, TimeOfDayIsPositiveBeforeTheEpoch) {
  EXPECT_EQ(TimeOfDay(TDateTime{-1}), kSecondsPerDay - 1);
  EXPECT_EQ(TimeOfDay(TDateTime{-kSecondsPerDay}), 0);
  EXPECT_EQ(TimeOfDay(TDateTime{kSecondsPerDay + 61}), 61);
}

}  // namespace
