#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "DateTexts.h"
#include "ShiftJis.h"
#include "text/Locale.h"

namespace tvx {

using test::DateText;
using test::DateTimeText;
using test::DirStampText;
using test::FormatDateTime;
using test::TimeText;
namespace {

// Tuesday 5 March 2024, 14:07:09; the locale's texts show the odd second as 08.
const TDateTime kAfternoon = MakeDateTime(2024, 3, 5, 14, 7, 9);
// Wednesday 25 December 2024, 09:05:04: single-digit hour, minute, second.
const TDateTime kMorning = MakeDateTime(2024, 12, 25, 9, 5, 4);

TDateTime At(int hour, int minute, int second) {
  return MakeDateTime(2024, 3, 5, hour, minute, second);
}

TEST(LocaleTest, DateTimeRoundTripAndDayOfWeek) {
  struct Row {
    int year, month, day, hour, minute, second;
    std::int64_t days;  // since 30 December 1899
    int dayOfWeek;      // 0 = Sunday
    int keptSecond;
  };
  const std::vector<Row> rows = {
      {1899, 12, 30, 0, 0, 0, 0, 6, 0},           {1900, 1, 1, 0, 0, 0, 2, 1, 0},
      {1980, 1, 1, 0, 0, 2, 29221, 2, 2},         {2000, 1, 1, 23, 59, 59, 36526, 6, 59},
      {2024, 3, 5, 14, 7, 9, 45356, 2, 9},        {1899, 12, 29, 23, 59, 59, -1, 5, 59},
      {1800, 1, 1, 6, 30, 1, -36522, 3, 1},       {1601, 1, 1, 0, 0, 0, -109205, 1, 0},
      {2108, 1, 1, 12, 0, 0, 75972, 0, 0},        {2400, 2, 29, 8, 15, 31, 182682, 2, 31},
      {9999, 12, 31, 23, 59, 58, 2958465, 5, 58},
  };
  for (const Row& row : rows) {
    const TDateTime value =
        MakeDateTime(row.year, row.month, row.day, row.hour, row.minute, row.second);
    EXPECT_EQ(value, row.days * 86400 + row.hour * 3600 + row.minute * 60 + row.keptSecond)
        << row.year << "-" << row.month << "-" << row.day;
    const DateParts parts = SplitDateTime(value);
    EXPECT_EQ(parts.Year, row.year);
    EXPECT_EQ(parts.Month, row.month);
    EXPECT_EQ(parts.Day, row.day);
    EXPECT_EQ(parts.Hour, row.hour);
    EXPECT_EQ(parts.Minute, row.minute);
    EXPECT_EQ(parts.Second, row.keptSecond);
    EXPECT_EQ(parts.DayOfWeek, row.dayOfWeek) << row.year << "-" << row.month << "-" << row.day;
  }
}

// Every day from 1899-12-30 to past the year 10000 splits into the date it
// was made of, and the days of the week follow in turn.
TEST(LocaleTest, EveryDaySplitsBackToItsDate) {
  const int kDays = 3'100'000;
  int lastDayOfWeek = 5;
  for (int day = 0; day < kDays; ++day) {
    const TDateTime value = std::int64_t{day} * 86400 + (day % 86400 & ~1);
    const DateParts p = SplitDateTime(value);
    ASSERT_EQ(MakeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second), value) << day;
    ASSERT_TRUE(p.Month >= 1 && p.Month <= 12 && p.Day >= 1 && p.Day <= 31) << day;
    ASSERT_EQ(p.DayOfWeek, (lastDayOfWeek + 1) % 7) << day;
    lastDayOfWeek = p.DayOfWeek;
  }
}

TEST(LocaleTest, DefaultSettings) {
  const LocaleSettings locale;
  EXPECT_EQ(locale.DateSeparator, '/');
  EXPECT_EQ(locale.TimeSeparator, ':');
  EXPECT_EQ(locale.ThousandSeparator, ',');
  EXPECT_EQ(locale.ShortDateFormat, "m/d/yy");
  EXPECT_EQ(locale.LongTimeFormat, BuildLongTimeFormat(false, true, false));
  EXPECT_EQ(locale.TimeAmString, "am");
  EXPECT_EQ(locale.TimePmString, "pm");
}

struct FormatRow {
  std::string picture;
  TDateTime value;
  std::string expected;
};

TEST(LocaleTest, FormatDateTimeTokens) {
  const LocaleSettings locale;
  const std::vector<FormatRow> rows = {
      {"d", kAfternoon, "5"},
      {"dd", kAfternoon, "05"},
      {"d", kMorning, "25"},
      {"ddd", kAfternoon, "Tue"},
      {"dddd", kAfternoon, "Tuesday"},
      {"dddd", kMorning, "Wednesday"},
      {"m", kAfternoon, "3"},
      {"mm", kAfternoon, "03"},
      {"m", kMorning, "12"},
      {"mmm", kAfternoon, "Mar"},
      {"mmmm", kAfternoon, "March"},
      {"mmmm", kMorning, "December"},
      {"yy", kAfternoon, "24"},
      {"yy", MakeDateTime(2007, 1, 1, 0, 0, 0), "07"},
      {"yyyy", kAfternoon, "2024"},
      {"yyyy", MakeDateTime(1850, 1, 1, 0, 0, 0), "1850"},
      {"h", kAfternoon, "14"},
      {"h", kMorning, "9"},
      {"hh", kMorning, "09"},
      {"h", At(0, 30, 0), "0"},
      {"n", kMorning, "5"},
      {"nn", kMorning, "05"},
      {"nn", kAfternoon, "07"},
      {"s", kMorning, "4"},
      {"ss", kMorning, "04"},
      {"ss", kAfternoon, "08"},
      // "m" and "mm" right after an hour token are minutes, also across ":".
      {"h:m", kAfternoon, "14:7"},
      {"hh:mm", kMorning, "09:05"},
      {"hh:mm:ss", kAfternoon, "14:07:08"},
      {"hmm", kAfternoon, "1407"},
      {"hh'h'mm", kAfternoon, "14h07"},
      {"mm hh", kAfternoon, "03 14"},
      {"hh:nn:ss mm", kAfternoon, "14:07:08 03"},
      {"hh:nn mm", kAfternoon, "14:07 03"},
      {"d mmm yyyy", kMorning, "25 Dec 2024"},
      {"dddd, mmmm d, yyyy", kAfternoon, "Tuesday, March 5, 2024"},
      // Letters in any case.
      {"DD/MM/YYYY", kAfternoon, "05/03/2024"},
      {"HH:NN:SS", kMorning, "09:05:04"},
      {"Dddd", kAfternoon, "Tuesday"},
      {"MMM", kAfternoon, "Mar"},
      {"H:MM", kMorning, "9:05"},
      {"h:mm ampm", kAfternoon, "2:07 pm"},
      {"h:mm AmPm", kMorning, "9:05 am"},
      // Other characters are literal.
      {"d.m.yyyy", kAfternoon, "5.3.2024"},
      {"yyyy-mm-dd", kAfternoon, "2024-03-05"},
      {"[d]", kAfternoon, "[5]"},
      {"x", kAfternoon, "x"},
      {"", kAfternoon, ""},
      // Years a four-digit field cannot hold keep their own width.
      {"yyyy-mm-dd", MakeDateTime(10000, 1, 2, 0, 0, 0), "10000-01-02"},
      {"yy-mm-dd", MakeDateTime(-5, 1, 2, 0, 0, 0), "-05-01-02"},
      {"yyyy-mm-dd", MakeDateTime(7, 1, 2, 0, 0, 0), "0007-01-02"},
      {std::string(300, '.') + "dd", kAfternoon, std::string(300, '.') + "05"},
  };
  for (const FormatRow& row : rows) {
    EXPECT_EQ(FormatDateTime(row.picture, row.value, locale), row.expected) << row.picture;
  }
}

TEST(LocaleTest, FormatDateTimeTwelveHourClock) {
  const LocaleSettings locale;
  const std::vector<FormatRow> rows = {
      {"h AMPM", At(0, 0, 0), "12 am"},
      {"h:mm AMPM", At(0, 5, 0), "12:05 am"},
      {"h AMPM", At(1, 0, 0), "1 am"},
      {"h AMPM", At(11, 59, 59), "11 am"},
      {"h:mm AMPM", At(12, 0, 0), "12:00 pm"},
      {"h:mm AMPM", At(12, 30, 0), "12:30 pm"},
      {"h AMPM", At(13, 0, 0), "1 pm"},
      {"hh AMPM", At(13, 0, 0), "01 pm"},
      {"h AMPM", At(23, 59, 59), "11 pm"},
      {"AMPM hh:mm:ss", At(9, 5, 4), "am 09:05:04"},
      {"ampm h", At(0, 1, 0), "am 12"},
      // No marker: the 24-hour clock.
      {"h", At(0, 0, 0), "0"},
      {"h", At(12, 0, 0), "12"},
      {"hh", At(23, 0, 0), "23"},
      // A quoted "AMPM" is text, not the marker.
      {"'AMPM' h", At(14, 0, 0), "AMPM 14"},
      // Every field of one width: the marker and the digits put in place.
      {"hh:nn:ss AMPM", At(0, 5, 4), "12:05:04 am"},
      {"AMPM hh:nn", At(12, 0, 0), "pm 12:00"},
      {"hh:nn AMPM", At(23, 59, 59), "11:59 pm"},
  };
  for (const FormatRow& row : rows) {
    EXPECT_EQ(FormatDateTime(row.picture, row.value, locale), row.expected) << row.picture;
  }
  LocaleSettings upper;
  upper.TimeAmString = "AM";
  upper.TimePmString = "PM";
  EXPECT_EQ(FormatDateTime("h:mm AMPM", At(0, 7, 0), upper), "12:07 AM");
  EXPECT_EQ(FormatDateTime("h:mm AMPM", At(18, 7, 0), upper), "6:07 PM");
  // Markers of two lengths: each as long as it is.
  LocaleSettings uneven;
  uneven.TimeAmString = "vorm.";
  uneven.TimePmString = "nm";
  EXPECT_EQ(FormatDateTime("hh:mm AMPM", At(9, 7, 0), uneven), "09:07 vorm.");
  EXPECT_EQ(FormatDateTime("hh:mm AMPM", At(21, 7, 0), uneven), "09:07 nm");
}

TEST(LocaleTest, FormatDateTimeSeparatorsAndLiterals) {
  LocaleSettings locale;
  locale.DateSeparator = '-';
  locale.TimeSeparator = '.';
  const std::vector<FormatRow> rows = {
      {"d/m/yy h:nn", kAfternoon, "5-3-24 14.07"},
      {"yyyy/mm/dd hh:nn:ss", kMorning, "2024-12-25 09.05.04"},
      {"hh:mm", kMorning, "09.05"},
      {"'h' h", kAfternoon, "h 14"},
      {"\"d/m\" d", kAfternoon, "d/m 5"},
      {"'yyyy:' yyyy", kAfternoon, "yyyy: 2024"},
      {"d '\"' m", kAfternoon, "5 \" 3"},
      {"d \"'\" m", kAfternoon, "5 ' 3"},
      {"'open", kAfternoon, "open"},
      {"d\"x", kAfternoon, "5x"},
  };
  for (const FormatRow& row : rows) {
    EXPECT_EQ(FormatDateTime(row.picture, row.value, locale), row.expected) << row.picture;
  }
}

TEST(LocaleTest, FormatDateTimeKeepsDoubleByteCharactersWhole) {
  LocaleSettings locale;
  locale.Code = fixtures::ShiftJis();
  // "年" 0x94 0x4E ends in "N", "ム" 0x83 0x80, "ャ" 0x83 0x83; "\x83\x6D"
  // ends in "m" and "\x83\x64" in "d": none of those trail bytes is a token.
  const std::vector<FormatRow> rows = {
      {"yyyy\x94\x4Emm\x8C\x8E"
       "dd\x93\xFA",
       kAfternoon,
       "2024\x94\x4E"
       "03\x8C\x8E"
       "05\x93\xFA"},
      {"d\x83\x6D", kAfternoon, "5\x83\x6D"},
      {"\x83\x64m", kAfternoon,
       "\x83\x64"
       "3"},
      {"hh\x83\x6D"
       "ss",
       kAfternoon,
       "14\x83\x6D"
       "08"},
  };
  for (const FormatRow& row : rows) {
    EXPECT_EQ(FormatDateTime(row.picture, row.value, locale), row.expected) << row.picture;
  }
}

TEST(LocaleTest, DateTimeText) {
  const LocaleSettings us;
  LocaleSettings de;
  de.DateSeparator = '.';
  de.ShortDateFormat = "dd/mm/yyyy";
  de.LongTimeFormat = BuildLongTimeFormat(true, false, false);
  struct Row {
    const LocaleSettings* locale;
    TDateTime value;
    std::string date;
    std::string time;
    std::string dateTime;
  };
  const std::vector<Row> rows = {
      {&us, At(0, 0, 0), "3/5/24", "12:00:00 am", "3/5/24"},
      {&us, At(0, 0, 1), "3/5/24", "12:00:00 am", "3/5/24"},
      {&us, At(0, 0, 2), "3/5/24", "12:00:02 am", "3/5/24 12:00:02 am"},
      {&us, At(0, 1, 0), "3/5/24", "12:01:00 am", "3/5/24 12:01:00 am"},
      {&us, At(12, 0, 0), "3/5/24", "12:00:00 pm", "3/5/24 12:00:00 pm"},
      {&us, kAfternoon, "3/5/24", "2:07:08 pm", "3/5/24 2:07:08 pm"},
      {&us, MakeDateTime(1850, 1, 1, 0, 0, 0), "1/1/50", "12:00:00 am", "1/1/50"},
      {&us, MakeDateTime(1850, 1, 1, 6, 0, 0), "1/1/50", "6:00:00 am", "1/1/50 6:00:00 am"},
      {&us, MakeDateTime(1899, 12, 30, 0, 0, 0), "12/30/99", "12:00:00 am", "12/30/99"},
      {&de, At(0, 0, 0), "05.03.2024", "00:00:00", "05.03.2024"},
      {&de, kMorning, "25.12.2024", "09:05:04", "25.12.2024 09:05:04"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DateText(row.value, *row.locale), row.date) << row.dateTime;
    EXPECT_EQ(TimeText(row.value, *row.locale), row.time) << row.dateTime;
    EXPECT_EQ(DateTimeText(row.value, *row.locale), row.dateTime);
  }
}

TEST(LocaleTest, DirStampText) {
  const LocaleSettings plain;
  LocaleSettings dashed;
  dashed.DateSeparator = '-';
  dashed.TimeSeparator = '.';
  struct Row {
    const LocaleSettings* locale;
    TDateTime value;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {&plain, kAfternoon, "2024/03/05 14:07:08"},
      {&plain, MakeDateTime(2024, 1, 2, 3, 4, 6), "2024/01/02 03:04:06"},
      {&plain, At(0, 0, 0), "2024/03/05 00:00:00"},
      {&plain, MakeDateTime(1999, 11, 14, 23, 59, 59), "1999/11/14 23:59:58"},
      // The same two seconds again, and the next two: one stamp, then a new one.
      {&plain, MakeDateTime(1999, 11, 14, 23, 59, 58), "1999/11/14 23:59:58"},
      {&plain, MakeDateTime(1999, 11, 15, 0, 0, 0), "1999/11/15 00:00:00"},
      // A second before the epoch of these times: no memo takes it for "none".
      {&plain, MakeDateTime(1899, 12, 29, 23, 59, 59), "1899/12/29 23:59:58"},
      {&plain, MakeDateTime(1850, 6, 7, 8, 9, 10), "1850/06/07 08:09:10"},
      {&dashed, MakeDateTime(1999, 11, 14, 14, 46, 24), "1999-11-14 14.46.24"},
      // Four digits of year are written whole; others the general way.
      {&plain, MakeDateTime(999, 1, 2, 3, 4, 5), "0999/01/02 03:04:04"},
      {&plain, MakeDateTime(9999, 12, 31, 23, 59, 58), "9999/12/31 23:59:58"},
      {&plain, MakeDateTime(10000, 1, 1, 0, 0, 0), "10000/01/01 00:00:00"},
      {&plain, MakeDateTime(-1, 1, 1, 0, 0, 0), "-0001/01/01 00:00:00"},
  };
  // In turn through one memo, as a writer makes its rows, and each afresh.
  StampMemo memo;
  for (const Row& row : rows) {
    EXPECT_EQ(DirStampText(row.value, *row.locale), row.expected);
    EXPECT_EQ(DirStampText(row.value, *row.locale, memo), row.expected);
  }
}

TEST(LocaleTest, FormatNumber) {
  const LocaleSettings comma;
  LocaleSettings dot;
  dot.ThousandSeparator = '.';
  struct Row {
    std::uint64_t value;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {12345, "12,345"},
      {999999, "999,999"},
      {1000000, "1,000,000"},
      {1234567, "1,234,567"},
      {3221225472, "3,221,225,472"},
  };
  for (const Row& row : rows) EXPECT_EQ(FormatNumber(row.value, comma), row.expected);

  EXPECT_EQ(FormatNumber(std::uint64_t{0}, comma), "0");
  EXPECT_EQ(FormatNumber(std::uint64_t{1000}, comma), "1,000");
  EXPECT_EQ(FormatNumber(std::numeric_limits<std::uint64_t>::max(), comma),
            "18,446,744,073,709,551,615");
  EXPECT_EQ(FormatNumber(std::uint64_t{1234567}, dot), "1.234.567");
}

TEST(LocaleTest, BuildLongTimeFormat) {
  struct Row {
    bool leadingZero, twelveHour, markerInFront;
    std::string expected;
    std::string atFiveAfterMidnight;
  };
  const std::vector<Row> rows = {
      {false, false, false, "h:mm:ss", "0:05:00"},
      {false, false, true, "h:mm:ss", "0:05:00"},
      {true, false, false, "hh:mm:ss", "00:05:00"},
      {true, false, true, "hh:mm:ss", "00:05:00"},
      {false, true, false, "h:mm:ss AMPM", "12:05:00 am"},
      {false, true, true, "AMPM h:mm:ss", "am 12:05:00"},
      {true, true, false, "hh:mm:ss AMPM", "12:05:00 am"},
      {true, true, true, "AMPM hh:mm:ss", "am 12:05:00"},
  };
  const LocaleSettings locale;
  for (const Row& row : rows) {
    const std::string form =
        BuildLongTimeFormat(row.leadingZero, row.twelveHour, row.markerInFront);
    EXPECT_EQ(form, row.expected);
    EXPECT_EQ(FormatDateTime(form, At(0, 5, 0), locale), row.atFiveAfterMidnight) << form;
  }
}

}  // namespace
}  // namespace tvx
