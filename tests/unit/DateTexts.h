// The date texts the macros give, one at a time, through the forms LIST uses.
#pragma once

#include <string>
#include <string_view>

#include "text/Locale.h"

namespace tvx::test {

// value by a date picture, as LIST writes a short date of that picture.
inline std::string FormatDateTime(std::string_view picture, TDateTime value,
                                  LocaleSettings locale) {
  locale.ShortDateFormat = std::string(picture);
  std::string out;
  DateForms(locale).AppendDate(out, value);
  return out;
}

// DIR's stamp of value, made afresh or through a memo of earlier stamps.
inline std::string DirStampText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  StampMemo memo;
  AppendDirStamp(out, value, locale, memo);
  return out;
}

inline std::string DirStampText(TDateTime value, const LocaleSettings& locale, StampMemo& memo) {
  std::string out;
  AppendDirStamp(out, value, locale, memo);
  return out;
}

inline std::string DateText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  DateForms(locale).AppendDate(out, value);
  return out;
}

inline std::string TimeText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  DateForms(locale).AppendTime(out, value);
  return out;
}

inline std::string DateTimeText(TDateTime value, const LocaleSettings& locale) {
  std::string out;
  DateForms(locale).AppendDateTime(out, value);
  return out;
}

}  // namespace tvx::test
