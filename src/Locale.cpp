#include "Locale.h"

#include <cstdlib>

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

void AppendNumber(std::string& out, long long value, int minDigits) {
  char buf[24];
  int n = 0;
  bool negative = value < 0;
  unsigned long long v = negative ? 0ull - static_cast<unsigned long long>(value)
                                  : static_cast<unsigned long long>(value);
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < minDigits) buf[n++] = '0';
  if (negative) out += '-';
  while (n > 0) out += buf[--n];
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithAmPm(std::string_view text, std::size_t pos) {
  static constexpr std::string_view kMarker = "ampm";
  if (pos + kMarker.size() > text.size()) return false;
  for (std::size_t i = 0; i < kMarker.size(); ++i) {
    if (Lower(text[pos + i]) != kMarker[i]) return false;
  }
  return true;
}

// Whether the picture holds an "AMPM" token outside quoted text.
bool HasAmPm(std::string_view picture, const CodePage& code) {
  for (std::size_t i = 0; i < picture.size();) {
    char c = picture[i];
    if (c == '"' || c == '\'') {
      std::size_t close = picture.find(c, i + 1);
      i = close == std::string_view::npos ? picture.size() : close + 1;
      continue;
    }
    if (StartsWithAmPm(picture, i)) return true;
    i += code.CharLength(picture, i);
  }
  return false;
}

std::string GroupDigits(unsigned long long magnitude, bool negative, char separator) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string out;
  out.reserve(static_cast<std::size_t>(n + n / 3 + 1));
  if (negative) out += '-';
  for (int i = n - 1; i >= 0; --i) {
    out += digits[i];
    if (i > 0 && i % 3 == 0) out += separator;
  }
  return out;
}

}  // namespace

TDateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second) {
  std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
  std::int64_t seconds = days * kSecondsPerDay + hour * 3600 + minute * 60 + (second & ~1);
  return seconds;
}

DateParts SplitDateTime(TDateTime value) {
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

std::string TranslateStrftimeDate(std::string_view format, char& dateSeparator) {
  std::string picture;
  bool separatorFound = false;
  auto literal = [&](char c) {
    if (!separatorFound && (static_cast<unsigned char>(c) < 0x80) &&
        !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')) {
      separatorFound = true;
      dateSeparator = c;
    }
    if (separatorFound && c == dateSeparator) {
      picture += '/';
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == ':' ||
               c == '\'') {
      picture += '"';
      picture += c;
      picture += '"';
    } else if (c == '"') {
      picture += "'\"'";
    } else {
      picture += c;
    }
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      literal(format[i]);
      continue;
    }
    char conversion = format[++i];
    // Flags and field widths of glibc's extended forms (%-d, %_m, %Ey) are skipped.
    while ((conversion == '-' || conversion == '_' || conversion == '0' || conversion == '^' ||
            conversion == '#' || conversion == 'E' || conversion == 'O') &&
           i + 1 < format.size()) {
      conversion = format[++i];
    }
    switch (conversion) {
      case 'd':
        picture += "dd";
        break;
      case 'e':
        picture += "d";
        break;
      case 'm':
        picture += "mm";
        break;
      case 'y':
        picture += "yy";
        break;
      case 'Y':
        picture += "yyyy";
        break;
      case 'b':
      case 'h':
        picture += "mmm";
        break;
      case 'B':
        picture += "mmmm";
        break;
      case 'a':
        picture += "ddd";
        break;
      case 'A':
        picture += "dddd";
        break;
      case 'D':
        picture += TranslateStrftimeDate("%m/%d/%y", dateSeparator);
        separatorFound = true;
        break;
      case 'F':
        picture += TranslateStrftimeDate("%Y-%m-%d", dateSeparator);
        separatorFound = true;
        break;
      case '%':
        literal('%');
        break;
      default:
        break;  // no date field we can show: dropped
    }
  }
  return picture;
}

namespace {

bool IsStrftimeFlag(char c) {
  return c == '-' || c == '_' || c == '0' || c == '^' || c == '#' || c == 'E' || c == 'O';
}

}  // namespace

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

DatePicture::DatePicture(std::string_view picture, const CodePage& code)
    : twelveHour_(HasAmPm(picture, code)) {
  auto literal = [this](std::string_view text) {
    if (!steps_.empty() && steps_.back().kind == Kind::Literal) {
      steps_.back().text.append(text);
    } else {
      steps_.push_back({Kind::Literal, std::string(text)});
    }
  };
  auto step = [this](Kind kind) { steps_.push_back({kind, {}}); };
  bool afterHour = false;
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    const char lc = Lower(c);
    if (code.CharLength(picture, i) == 2) {
      literal(picture.substr(i, 2));
      i += 2;
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && Lower(picture[i + run]) == lc) ++run;
    switch (lc) {
      case 'd': {
        static constexpr Kind kDays[] = {Kind::Day, Kind::Day2, Kind::DayShort, Kind::DayLong};
        const std::size_t used = run > 4 ? 4 : run;
        step(kDays[used - 1]);
        i += used;
        afterHour = false;
        continue;
      }
      case 'm': {
        const std::size_t used = run > 4 ? 4 : run;
        if (afterHour && used <= 2) {
          step(used == 1 ? Kind::Minute : Kind::Minute2);
        } else {
          static constexpr Kind kMonths[] = {Kind::Month, Kind::Month2, Kind::MonthShort,
                                             Kind::MonthLong};
          step(kMonths[used - 1]);
        }
        i += used;
        afterHour = false;
        continue;
      }
      case 'y':
        step(run <= 2 ? Kind::Year2 : Kind::Year4);
        i += run;
        afterHour = false;
        continue;
      case 'h': {
        const std::size_t used = run > 2 ? 2 : run;
        step(used == 1 ? Kind::Hour : Kind::Hour2);
        i += used;
        afterHour = true;
        continue;
      }
      case 'n':
      case 's': {
        const std::size_t used = run > 2 ? 2 : run;
        if (lc == 'n')
          step(used == 1 ? Kind::Minute : Kind::Minute2);
        else
          step(used == 1 ? Kind::Second : Kind::Second2);
        i += used;
        afterHour = false;
        continue;
      }
      default:
        break;
    }
    if (lc == 'a' && StartsWithAmPm(picture, i)) {
      step(Kind::AmPm);
      i += 4;
      afterHour = false;
    } else if (c == '"' || c == '\'') {
      std::size_t close = picture.find(c, i + 1);
      if (close == std::string_view::npos) close = picture.size();
      literal(picture.substr(i + 1, close - i - 1));
      i = close + 1;
    } else if (c == '/') {
      step(Kind::DateSeparator);
      ++i;
    } else if (c == ':') {
      step(Kind::TimeSeparator);
      ++i;
    } else {
      literal(picture.substr(i, 1));
      ++i;
    }
  }
}

void DatePicture::AppendTo(std::string& out, const DateParts& t,
                           const LocaleSettings& locale) const {
  int hour = t.Hour;
  if (twelveHour_) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  for (const Step& s : steps_) {
    switch (s.kind) {
      case Kind::Literal:
        out += s.text;
        break;
      case Kind::Day:
        AppendNumber(out, t.Day, 1);
        break;
      case Kind::Day2:
        AppendNumber(out, t.Day, 2);
        break;
      case Kind::DayShort:
        out += locale.ShortDayNames[t.DayOfWeek];
        break;
      case Kind::DayLong:
        out += locale.LongDayNames[t.DayOfWeek];
        break;
      case Kind::Month:
        AppendNumber(out, t.Month, 1);
        break;
      case Kind::Month2:
        AppendNumber(out, t.Month, 2);
        break;
      case Kind::MonthShort:
        out += locale.ShortMonthNames[t.Month - 1];
        break;
      case Kind::MonthLong:
        out += locale.LongMonthNames[t.Month - 1];
        break;
      case Kind::Year2:
        AppendNumber(out, t.Year % 100, 2);
        break;
      case Kind::Year4:
        AppendNumber(out, t.Year, 4);
        break;
      case Kind::Hour:
        AppendNumber(out, hour, 1);
        break;
      case Kind::Hour2:
        AppendNumber(out, hour, 2);
        break;
      case Kind::Minute:
        AppendNumber(out, t.Minute, 1);
        break;
      case Kind::Minute2:
        AppendNumber(out, t.Minute, 2);
        break;
      case Kind::Second:
        AppendNumber(out, t.Second, 1);
        break;
      case Kind::Second2:
        AppendNumber(out, t.Second, 2);
        break;
      case Kind::AmPm:
        out += t.Hour < 12 ? locale.TimeAmString : locale.TimePmString;
        break;
      case Kind::DateSeparator:
        out += locale.DateSeparator;
        break;
      case Kind::TimeSeparator:
        out += locale.TimeSeparator;
        break;
    }
  }
}

std::string FormatDateTime(std::string_view picture, TDateTime value,
                           const LocaleSettings& locale) {
  std::string out;
  DatePicture(picture, locale.Code).AppendTo(out, SplitDateTime(value), locale);
  return out;
}

DateForms::DateForms(const LocaleSettings& locale)
    : locale_(locale),
      date_(locale.ShortDateFormat, locale.Code),
      time_(locale.LongTimeFormat, locale.Code) {}

void DateForms::AppendDate(std::string& out, TDateTime value) const {
  date_.AppendTo(out, SplitDateTime(value), locale_);
}

void DateForms::AppendTime(std::string& out, TDateTime value) const {
  time_.AppendTo(out, SplitDateTime(value), locale_);
}

void DateForms::AppendDateTime(std::string& out, TDateTime value) const {
  const DateParts parts = SplitDateTime(value);
  date_.AppendTo(out, parts, locale_);
  if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0) {
    out += ' ';
    time_.AppendTo(out, parts, locale_);
  }
}

std::string DateText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  DateForms(locale).AppendDate(out, value);
  return out;
}

std::string TimeText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  DateForms(locale).AppendTime(out, value);
  return out;
}

std::string DateTimeText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  DateForms(locale).AppendDateTime(out, value);
  return out;
}

std::string DirStampText(TDateTime value, const LocaleSettings& locale) {
  const DateParts t = SplitDateTime(value);
  std::string out;
  out.reserve(19);
  AppendNumber(out, t.Year, 4);
  out += locale.DateSeparator;
  AppendNumber(out, t.Month, 2);
  out += locale.DateSeparator;
  AppendNumber(out, t.Day, 2);
  out += ' ';
  AppendNumber(out, t.Hour, 2);
  out += locale.TimeSeparator;
  AppendNumber(out, t.Minute, 2);
  out += locale.TimeSeparator;
  AppendNumber(out, t.Second, 2);
  return out;
}

std::string FormatNumber(std::int64_t value, const LocaleSettings& locale) {
  bool negative = value < 0;
  unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                                          : static_cast<unsigned long long>(value);
  return GroupDigits(magnitude, negative, locale.ThousandSeparator);
}

std::string FormatNumber(std::uint64_t value, const LocaleSettings& locale) {
  return GroupDigits(value, false, locale.ThousandSeparator);
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool leftAligned) {
  std::size_t pad = text.size() < width ? width - text.size() : 0;
  if (!leftAligned) out.append(pad, ' ');
  out.append(text);
  if (leftAligned) out.append(pad, ' ');
}

}  // namespace tvx
