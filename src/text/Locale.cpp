// The calendar, the locale settings' small rules and the number form.
#include "Locale.h"

#include <utility>

namespace tvx {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

// Every file time from 1899 to past the year 10000: each row of a listing
// splits one, so these take 32-bit steps, with no division but by constants
// and no branch (the civil date by Neri and Schneider's method).
constexpr std::int64_t kFastSplitEnd = kSecondsPerDay * 3'000'000;

DateParts SplitFast(std::uint64_t value) {
  const auto days = static_cast<std::uint32_t>(value / kSecondsPerDay);
  const auto rest = static_cast<std::uint32_t>(value % kSecondsPerDay);
  // Days counted from 1 March of a year 400 * 82 years before 1970, so that
  // every day here is positive.
  constexpr std::uint32_t kShift = 719468 + 146097 * 82;
  const std::uint32_t n = days + static_cast<std::uint32_t>(kEpochDays + kShift);
  const std::uint32_t n1 = 4 * n + 3;
  const std::uint32_t century = n1 / 146097;
  const std::uint32_t n2 = n1 % 146097 / 4 * 4 + 3;
  const std::uint64_t p2 = std::uint64_t{2939745} * n2;
  const auto yearOfCentury = static_cast<std::uint32_t>(p2 >> 32);
  const std::uint32_t dayOfYear = static_cast<std::uint32_t>(p2) / 2939745 / 4;
  const std::uint32_t n3 = 2141 * dayOfYear + 197913;
  const std::uint32_t january = dayOfYear >= 306;  // January or February: the next year
  DateParts parts;
  parts.Year = static_cast<int>(100 * century + yearOfCentury + january) - 400 * 82;
  parts.Month = static_cast<int>(n3 / 65536 - 12 * january);
  parts.Day = static_cast<int>(n3 % 65536 / 2141 + 1);
  parts.Hour = static_cast<int>(rest / 3600);
  parts.Minute = static_cast<int>(rest / 60 % 60);
  parts.Second = static_cast<int>(rest % 60);
  // 1899-12-30 was a Saturday.
  parts.DayOfWeek = static_cast<int>((days + 6) % 7);
  return parts;
}

// Written from the end of a buffer, a separator before each third digit.
std::string GroupDigits(unsigned long long magnitude, bool negative, char separator) {
  char buf[40];
  char* const end = buf + sizeof buf;
  char* at = GroupedDigitsBefore(end, magnitude, separator);
  if (negative) *--at = '-';
  return std::string(at, end);
}

}  // namespace

char* GroupedDigitsBefore(char* end, std::uint64_t value, char separator) {
  char* at = end;
  int digits = 0;
  do {
    if (digits != 0 && digits % 3 == 0) *--at = separator;
    *--at = static_cast<char>('0' + value % 10);
    value /= 10;
    ++digits;
  } while (value != 0);
  return at;
}

TDateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second) {
  std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
  std::int64_t seconds = days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  return seconds;
}

DateParts SplitDateTime(TDateTime value) {
  if (value >= 0 && value < kFastSplitEnd) return SplitFast(static_cast<std::uint64_t>(value));
  std::int64_t days = value / kSecondsPerDay;
  std::int64_t rest = value % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  DateParts parts;
  CivilFromDays(days + kEpochDays, parts.Year, parts.Month, parts.Day);
  parts.Hour = static_cast<int>(rest / 3600);
  parts.Minute = static_cast<int>(rest / 60 % 60);
  parts.Second = static_cast<int>(rest % 60);
  // 1899-12-30 was a Saturday.
  parts.DayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7);
  return parts;
}

std::string BuildLongTimeFormat(bool hourLeadingZero, bool twelveHour, bool markerInFront) {
  std::string form = hourLeadingZero ? "hh:mm:ss" : "h:mm:ss";
  if (!twelveHour) return form;
  return markerInFront ? "AMPM " + form : form + " AMPM";
}

char OneCharSetting(std::string_view text, char fallback) {
  return text.size() == 1 ? text[0] : fallback;
}

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// One literal character of a strftime date format as picture text. The first
// ASCII character that is neither a letter, a digit nor a blank is taken as
// the date separator and becomes "/"; letters and the picture's own special
// characters are quoted.
void AppendDateLiteral(std::string& picture, char c, bool& separatorFound, char& dateSeparator) {
  if (!separatorFound && static_cast<unsigned char>(c) < 0x80 && !IsAsciiLetter(c) &&
      !(c >= '0' && c <= '9') && c != ' ') {
    separatorFound = true;
    dateSeparator = c;
  }
  if (separatorFound && c == dateSeparator) {
    picture += '/';
  } else if (IsAsciiLetter(c) || c == '/' || c == ':' || c == '\'') {
    picture += '"';
    picture += c;
    picture += '"';
  } else if (c == '"') {
    picture += "'\"'";
  } else {
    picture += c;
  }
}

// The picture of a strftime conversion that shows a date field; empty for
// one that shows nothing a date picture can.
std::string_view ConversionPicture(char conversion) {
  static constexpr std::pair<char, std::string_view> kPictures[] = {
      {'d', "dd"},  {'e', "d"},   {'m', "mm"},   {'y', "yy"},  {'Y', "yyyy"},
      {'b', "mmm"}, {'h', "mmm"}, {'B', "mmmm"}, {'a', "ddd"}, {'A', "dddd"}};
  for (const auto& [letter, picture] : kPictures) {
    if (letter == conversion) return picture;
  }
  return {};
}

bool IsStrftimeFlag(char c) {
  return c == '-' || c == '_' || c == '0' || c == '^' || c == '#' || c == 'E' || c == 'O';
}

// The conversion letter after the "%" at format[i], past the flags and
// modifiers of glibc's extended forms (%-d, %_m, %Ey); i ends on it.
char ConversionAt(std::string_view format, std::size_t& i) {
  char conversion = format[++i];
  while (IsStrftimeFlag(conversion) && i + 1 < format.size()) conversion = format[++i];
  return conversion;
}

}  // namespace

std::string TranslateStrftimeDate(std::string_view format, char& dateSeparator) {
  std::string picture;
  bool separatorFound = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      AppendDateLiteral(picture, format[i], separatorFound, dateSeparator);
      continue;
    }
    const char conversion = ConversionAt(format, i);
    if (conversion == 'D' || conversion == 'F') {
      picture += TranslateStrftimeDate(conversion == 'D' ? "%m/%d/%y" : "%Y-%m-%d", dateSeparator);
      separatorFound = true;
    } else if (conversion == '%') {
      AppendDateLiteral(picture, '%', separatorFound, dateSeparator);
    } else {
      picture += ConversionPicture(conversion);
    }
  }
  return picture;
}

std::string TranslateStrftimeTime(std::string_view format, char& timeSeparator) {
  bool twelve = false, zero = false, hourSeen = false, markerFirst = false;
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    char conversion = format[++i];
    bool unpadded = false;  // %-I and %_H drop the leading zero
    while (IsStrftimeFlag(conversion) && i + 1 < format.size()) {
      unpadded = unpadded || conversion == '-' || conversion == '_';
      conversion = format[++i];
    }
    if ((conversion == 'p' || conversion == 'P') && !hourSeen) markerFirst = true;
    // %T and %R are "%H:%M:%S" and "%H:%M".
    const bool whole = conversion == 'T' || conversion == 'R';
    if (!whole && conversion != 'H' && conversion != 'I' && conversion != 'k' && conversion != 'l')
      continue;
    twelve = twelve || conversion == 'I' || conversion == 'l';
    zero = zero || whole || (!unpadded && (conversion == 'H' || conversion == 'I'));
    if (hourSeen) continue;
    hourSeen = true;
    // Only a one-byte separator can stand for ":" (not a multibyte character).
    if (whole) {
      timeSeparator = ':';
    } else if (i + 2 < format.size() && format[i + 1] != '%' &&
               static_cast<unsigned char>(format[i + 1]) < 0x80 && format[i + 2] == '%') {
      timeSeparator = format[i + 1];
    }
  }
  return BuildLongTimeFormat(zero, twelve, markerFirst && hourSeen);
}

std::string FormatNumber(std::uint64_t value, const LocaleSettings& locale) {
  return GroupDigits(value, false, locale.ThousandSeparator);
}

}  // namespace tvx
