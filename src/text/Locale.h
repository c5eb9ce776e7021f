// Date, time and number forms: the locale settings read once at start-up and
// the pure formatters that use them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Text.h"

namespace tvx {

// A point in local time: seconds since 30 December 1899 00:00, kept at
// 2-second resolution (always even), the resolution of a FAT file time.
using TDateTime = std::int64_t;

// A local time's distance from UTC, in seconds east, where it is not known.
constexpr std::int32_t kUnknownUtcOffset = INT32_MIN;

struct DateParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0;
  int DayOfWeek = 6;  // 0 = Sunday
};

// Seconds are cut to even, as the packed file time keeps them.
TDateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second);
DateParts SplitDateTime(TDateTime value);

struct LocaleSettings {
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char ThousandSeparator = ',';
  std::string ShortDateFormat = "m/d/yy";
  std::string LongTimeFormat = "h:mm:ss AMPM";
  std::string TimeAmString = "am";
  std::string TimePmString = "pm";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  // Literal double-byte characters in a picture are copied whole.
  CodePage Code;
};

// The long time form: "h" or "hh", then ":mm:ss", then the marker " AMPM"
// behind or "AMPM " in front on a 12-hour clock.
std::string BuildLongTimeFormat(bool hourLeadingZero, bool twelveHour, bool markerInFront);

// A one-character setting, or its default when the locale gives none or more.
char OneCharSetting(std::string_view text, char fallback);

// POSIX nl_langinfo(D_FMT) turned into a date picture; the first literal
// separator found becomes the date separator (left unchanged when none).
std::string TranslateStrftimeDate(std::string_view format, char& dateSeparator);

// POSIX nl_langinfo(T_FMT) turned into the long time form (hour with or
// without leading zero, 12- or 24-hour clock, marker in front or behind).
// Only conversions count: the byte right after the first hour conversion
// becomes the time separator when a conversion follows it (left unchanged
// otherwise).
std::string TranslateStrftimeTime(std::string_view format, char& timeSeparator);

// A date or time picture read once, then applied to many values: d, dd, ddd,
// dddd, m..mmmm ("m" and "mm" right after an "h" token are minutes), n, nn, yy,
// yyyy, h, hh, s, ss, AMPM (the 12-hour clock wherever the picture holds it),
// "/" and ":" for the locale's separators, '...' and "..." literal.
class DatePicture {
 public:
  DatePicture(std::string_view picture, const CodePage& code);
  void AppendTo(std::string& out, const DateParts& parts, const LocaleSettings& locale) const;

 private:
  enum class Kind { Literal, Number, DayName, MonthName, AmPm, DateSeparator, TimeSeparator };
  enum class Part { Day, Month, Year, YearOfCentury, Hour, Minute, Second };
  struct Step {
    Kind kind;
    Part part = Part::Day;
    int width = 0;  // digits of a number; 3 (short) or 4 (long) for a name
    std::string text = {};
  };
  static Step FieldStep(char letter, std::size_t used, bool afterHour);
  void AddLiteral(std::string_view text);
  int ValueOf(Part part, const DateParts& t) const;

  std::vector<Step> steps_;
  bool twelveHour_;
  friend class FixedPicture;
};

// A picture whose every step has one width (numbers of two digits, a year of
// four, markers of one length) kept as its text with the digits put in place
// per value: a date of the millions a listing writes is one copy and a store
// a field.
class FixedPicture {
 public:
  FixedPicture(const DatePicture& picture, const LocaleSettings& locale);
  bool Usable() const { return usable_; }
  // parts' year is 0 to 9999.
  void AppendTo(std::string& out, const DateParts& parts) const;

 private:
  enum class Field : std::uint8_t {
    Day,
    Month,
    YearOfCentury,
    Hour,
    Minute,
    Second,
    Century,
    Marker
  };
  struct Slot {
    std::uint8_t at;
    Field field;
  };
  bool AddStep(const DatePicture::Step& step, const LocaleSettings& locale);
  void AddSlot(Field field);

  std::string text_;
  std::vector<Slot> slots_;
  std::string am_, pm_;
  bool twelveHour_;
  bool usable_ = true;
};

// The locale's date text, time text and date-and-time text, pictures read once.
// A picture holds d, dd, ddd, dddd, m..mmmm, n, nn, yy, yyyy, h, hh, s, ss,
// AMPM, "/", ":" and quoted literals.
class DateForms {
 public:
  explicit DateForms(const LocaleSettings& locale);
  void AppendDate(std::string& out, TDateTime value) const;
  void AppendTime(std::string& out, TDateTime value) const;
  // The date alone at exactly midnight.
  void AppendDateTime(std::string& out, TDateTime value) const;

 private:
  void AppendDate(std::string& out, const DateParts& parts) const;
  void AppendTime(std::string& out, const DateParts& parts) const;

  const LocaleSettings& locale_;
  DatePicture date_;
  DatePicture time_;
  FixedPicture fixedDate_;
  FixedPicture fixedTime_;
};

// The 19 bytes "YYYY" d "MM" d "DD" between "HH" t "NN" t "SS" at at, for
// a year of 0 to 9999: DIR's stamp and the records' UTC time, made whole.
constexpr std::size_t kStampSize = 19;
void PutStamp(char* at, const DateParts& parts, char dateSeparator, char between,
              char timeSeparator);

// The last stamp made and its time. A tree's files often share their two
// seconds (one checkout, one unpacked archive, one package): the same time
// needs no new date. One a writer: it is not shared between threads.
struct StampMemo {
  TDateTime Time = -1;  // odd: no time a stamp is made for (two-second units)
  char Text[kStampSize] = {};
};

// "YYYY/MM/DD HH:NN:SS" with the locale's separators, appended to out.
void AppendDirStamp(std::string& out, TDateTime value, const LocaleSettings& locale,
                    StampMemo& memo);

// "#,##0": groups of three with the thousands separator.
std::string FormatNumber(std::uint64_t value, const LocaleSettings& locale);
// FormatNumber's digits written backwards ending just before end (room for
// kGroupedDigitsMost bytes), with no allocation; returns where they start.
constexpr std::size_t kGroupedDigitsMost = 27;
char* GroupedDigitsBefore(char* end, std::uint64_t value, char separator);

}  // namespace tvx
