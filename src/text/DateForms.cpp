// Date and time pictures: read once into steps, then applied to many values.
#include "Locale.h"

namespace tvx {

namespace {

// Written from the end of a buffer, then appended at once.
void AppendLongNumber(std::string& out, long long value, int minDigits) {
  char buf[24];
  char* const end = buf + sizeof buf;
  char* at = end;
  const bool negative = value < 0;
  unsigned long long v = negative ? 0ull - static_cast<unsigned long long>(value)
                                  : static_cast<unsigned long long>(value);
  do {
    *--at = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (end - at < minDigits) *--at = '0';
  if (negative) *--at = '-';
  out.append(at, static_cast<std::size_t>(end - at));
}

// A listing's dates take millions of these: a date's parts but the year,
// one or two digits, are appended as they are, with no call.
inline void AppendNumber(std::string& out, long long value, int minDigits) {
  if (value < 0 || value >= 100 || minDigits > 2) return AppendLongNumber(out, value, minDigits);
  if (value < 10 && minDigits < 2) {
    out += static_cast<char>('0' + value);
    return;
  }
  char digits[2];
  PutTwoDigits(digits, static_cast<unsigned>(value));
  out.append(digits, 2);
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

// How many letters of the run at pos one field token takes: up to four of
// "d" and "m", two of "h", "n" and "s", every "y"; 0 when no field starts there.
std::size_t FieldLength(std::string_view picture, std::size_t pos) {
  const char letter = Lower(picture[pos]);
  std::size_t longest = 0;
  switch (letter) {
    case 'd':
    case 'm':
      longest = 4;
      break;
    case 'h':
    case 'n':
    case 's':
      longest = 2;
      break;
    case 'y':
      longest = picture.size();
      break;
    default:
      return 0;
  }
  std::size_t run = 1;
  while (pos + run < picture.size() && run < longest && Lower(picture[pos + run]) == letter) ++run;
  return run;
}

}  // namespace

DatePicture::Step DatePicture::FieldStep(char letter, std::size_t used, bool afterHour) {
  const int width = static_cast<int>(used);
  switch (letter) {
    case 'd':
      return used <= 2 ? Step{Kind::Number, Part::Day, width} : Step{Kind::DayName, {}, width};
    case 'm':
      if (afterHour && used <= 2) return {Kind::Number, Part::Minute, width};
      return used <= 2 ? Step{Kind::Number, Part::Month, width} : Step{Kind::MonthName, {}, width};
    case 'y':
      return used <= 2 ? Step{Kind::Number, Part::YearOfCentury, 2}
                       : Step{Kind::Number, Part::Year, 4};
    case 'h':
      return {Kind::Number, Part::Hour, width};
    case 'n':
      return {Kind::Number, Part::Minute, width};
    default:
      return {Kind::Number, Part::Second, width};
  }
}

void DatePicture::AddLiteral(std::string_view text) {
  if (!steps_.empty() && steps_.back().kind == Kind::Literal) {
    steps_.back().text.append(text);
  } else {
    steps_.push_back({Kind::Literal, {}, 0, std::string(text)});
  }
}

DatePicture::DatePicture(std::string_view picture, const CodePage& code)
    : twelveHour_(HasAmPm(picture, code)) {
  bool afterHour = false;  // "m" and "mm" right after an hour are minutes
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    const std::size_t length = code.CharLength(picture, i);
    const std::size_t field = length == 1 ? FieldLength(picture, i) : 0;
    if (length > 1) {
      AddLiteral(picture.substr(i, length));
      i += length;
    } else if (field > 0) {
      steps_.push_back(FieldStep(Lower(c), field, afterHour));
      afterHour = Lower(c) == 'h';
      i += field;
    } else if (StartsWithAmPm(picture, i)) {
      steps_.push_back({Kind::AmPm});
      afterHour = false;
      i += 4;
    } else if (c == '"' || c == '\'') {
      std::size_t close = picture.find(c, i + 1);
      if (close == std::string_view::npos) close = picture.size();
      AddLiteral(picture.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      if (c == '/' || c == ':')
        steps_.push_back({c == '/' ? Kind::DateSeparator : Kind::TimeSeparator});
      else
        AddLiteral(picture.substr(i, 1));
      ++i;
    }
  }
}

int DatePicture::ValueOf(Part part, const DateParts& t) const {
  switch (part) {
    case Part::Day:
      return t.Day;
    case Part::Month:
      return t.Month;
    case Part::Year:
      return t.Year;
    case Part::YearOfCentury:
      return t.Year % 100;
    case Part::Hour:
      return twelveHour_ ? (t.Hour % 12 == 0 ? 12 : t.Hour % 12) : t.Hour;
    case Part::Minute:
      return t.Minute;
    case Part::Second:
      break;
  }
  return t.Second;
}

void DatePicture::AppendTo(std::string& out, const DateParts& t,
                           const LocaleSettings& locale) const {
  for (const Step& s : steps_) {
    switch (s.kind) {
      case Kind::Literal:
        out += s.text;
        break;
      case Kind::Number:
        AppendNumber(out, ValueOf(s.part, t), s.width);
        break;
      case Kind::DayName:
        out += (s.width == 3 ? locale.ShortDayNames : locale.LongDayNames)[t.DayOfWeek];
        break;
      case Kind::MonthName:
        out += (s.width == 3 ? locale.ShortMonthNames : locale.LongMonthNames)[t.Month - 1];
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

FixedPicture::FixedPicture(const DatePicture& picture, const LocaleSettings& locale)
    : am_(locale.TimeAmString), pm_(locale.TimePmString), twelveHour_(picture.twelveHour_) {
  for (const DatePicture::Step& step : picture.steps_) {
    usable_ = usable_ && AddStep(step, locale);
  }
  usable_ = usable_ && text_.size() <= 0xFF;
}

// Whether step has one width; if so, adds it.
bool FixedPicture::AddStep(const DatePicture::Step& step, const LocaleSettings& locale) {
  using Kind = DatePicture::Kind;
  using Part = DatePicture::Part;
  switch (step.kind) {
    case Kind::Literal:
      text_ += step.text;
      return true;
    case Kind::DateSeparator:
      text_ += locale.DateSeparator;
      return true;
    case Kind::TimeSeparator:
      text_ += locale.TimeSeparator;
      return true;
    case Kind::AmPm:
      AddSlot(Field::Marker);
      text_ += am_;
      return am_.size() == pm_.size();
    case Kind::Number:
      break;
    default:
      return false;  // names differ in length
  }
  if (step.part == Part::Year) AddSlot(Field::Century);
  static constexpr Field kFields[] = {Field::Day,           Field::Month, Field::YearOfCentury,
                                      Field::YearOfCentury, Field::Hour,  Field::Minute,
                                      Field::Second};
  AddSlot(kFields[static_cast<int>(step.part)]);
  text_ += "00";
  return step.width == 2 || step.part == Part::Year;
}

void FixedPicture::AddSlot(Field field) {
  slots_.push_back({static_cast<std::uint8_t>(text_.size()), field});
  if (field == Field::Century) text_ += "00";
}

void FixedPicture::AppendTo(std::string& out, const DateParts& t) const {
  const int hour = twelveHour_ ? (t.Hour % 12 == 0 ? 12 : t.Hour % 12) : t.Hour;
  const int values[] = {t.Day, t.Month, t.Year % 100, hour, t.Minute, t.Second, t.Year / 100};
  const std::size_t start = out.size();
  out.append(text_);
  char* const at = out.data() + start;
  for (const Slot& slot : slots_) {
    if (slot.field == Field::Marker) {
      const std::string& marker = t.Hour < 12 ? am_ : pm_;
      std::memcpy(at + slot.at, marker.data(), marker.size());
    } else {
      PutTwoDigits(at + slot.at, static_cast<unsigned>(values[static_cast<int>(slot.field)]));
    }
  }
}

namespace {
// The locale's texts and DIR show times in 2-second steps, as the DOS date
// and time they come from did.
TDateTime TwoSecondTime(TDateTime value) {
  return value - ((value % 2) + 2) % 2;
}

DateParts TwoSecondParts(TDateTime value) {
  return SplitDateTime(TwoSecondTime(value));
}

// Where a fixed picture may write parts: a year of four digits.
bool Fits(const FixedPicture& fixed, const DateParts& parts) {
  return fixed.Usable() && parts.Year >= 0 && parts.Year <= 9999;
}
}  // namespace

DateForms::DateForms(const LocaleSettings& locale)
    : locale_(locale),
      date_(locale.ShortDateFormat, locale.Code),
      time_(locale.LongTimeFormat, locale.Code),
      fixedDate_(date_, locale),
      fixedTime_(time_, locale) {}

void DateForms::AppendDate(std::string& out, const DateParts& parts) const {
  if (Fits(fixedDate_, parts)) return fixedDate_.AppendTo(out, parts);
  date_.AppendTo(out, parts, locale_);
}

void DateForms::AppendTime(std::string& out, const DateParts& parts) const {
  if (Fits(fixedTime_, parts)) return fixedTime_.AppendTo(out, parts);
  time_.AppendTo(out, parts, locale_);
}

void DateForms::AppendDate(std::string& out, TDateTime value) const {
  AppendDate(out, TwoSecondParts(value));
}

void DateForms::AppendTime(std::string& out, TDateTime value) const {
  AppendTime(out, TwoSecondParts(value));
}

void DateForms::AppendDateTime(std::string& out, TDateTime value) const {
  const DateParts parts = TwoSecondParts(value);
  AppendDate(out, parts);
  if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0) {
    out += ' ';
    AppendTime(out, parts);
  }
}

void PutStamp(char* at, const DateParts& t, char dateSeparator, char between, char timeSeparator) {
  const auto year = static_cast<unsigned>(t.Year);
  PutTwoDigits(at, year / 100);
  PutTwoDigits(at + 2, year % 100);
  at[4] = dateSeparator;
  PutTwoDigits(at + 5, static_cast<unsigned>(t.Month));
  at[7] = dateSeparator;
  PutTwoDigits(at + 8, static_cast<unsigned>(t.Day));
  at[10] = between;
  PutTwoDigits(at + 11, static_cast<unsigned>(t.Hour));
  at[13] = timeSeparator;
  PutTwoDigits(at + 14, static_cast<unsigned>(t.Minute));
  at[16] = timeSeparator;
  PutTwoDigits(at + 17, static_cast<unsigned>(t.Second));
}

void AppendDirStamp(std::string& out, TDateTime value, const LocaleSettings& locale,
                    StampMemo& memo) {
  const TDateTime shown = TwoSecondTime(value);
  if (shown == memo.Time) {
    out.append(memo.Text, sizeof memo.Text);
    return;
  }
  const DateParts t = SplitDateTime(shown);
  if (t.Year >= 0 && t.Year <= 9999) {
    // Every row of DIR's table has one: written whole, then appended at once.
    PutStamp(memo.Text, t, locale.DateSeparator, ' ', locale.TimeSeparator);
    memo.Time = shown;
    out.append(memo.Text, sizeof memo.Text);
    return;
  }
  // Beyond four digits of year: the general form, which no file's time reaches.
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
}

}  // namespace tvx
