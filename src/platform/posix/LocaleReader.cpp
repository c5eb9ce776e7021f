#include "LocaleReader.h"

#include <langinfo.h>

#include <clocale>
#include <string>

namespace tvx {

namespace {

std::string Langinfo(nl_item item) {
  const char* text = nl_langinfo(item);
  return text ? text : "";
}

// Keeps a name from the locale unless it gives none.
void TakeName(std::string& target, nl_item item) {
  std::string name = Langinfo(item);
  if (!name.empty()) target = name;
}

void ReadDateAndTime(LocaleSettings& locale) {
  const std::string dateFormat = Langinfo(D_FMT);
  if (!dateFormat.empty()) {
    char separator = locale.DateSeparator;
    std::string picture = TranslateStrftimeDate(dateFormat, separator);
    if (!picture.empty()) locale.ShortDateFormat = picture;
    locale.DateSeparator = separator;
  }
  std::string timeFormat = Langinfo(T_FMT);
  if (timeFormat.find("%r") != std::string::npos) timeFormat = Langinfo(T_FMT_AMPM);
  if (!timeFormat.empty()) {
    locale.LongTimeFormat = TranslateStrftimeTime(timeFormat, locale.TimeSeparator);
  }
  const std::string am = Langinfo(AM_STR);
  const std::string pm = Langinfo(PM_STR);
  if (!am.empty()) locale.TimeAmString = am;
  if (!pm.empty()) locale.TimePmString = pm;
}

void ReadNames(LocaleSettings& locale) {
  static const nl_item kAbMon[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                     ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  static const nl_item kMon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                   MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  static const nl_item kAbDay[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
  static const nl_item kDay[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  for (int i = 0; i < 12; ++i) {
    TakeName(locale.ShortMonthNames[i], kAbMon[i]);
    TakeName(locale.LongMonthNames[i], kMon[i]);
  }
  for (int i = 0; i < 7; ++i) {
    TakeName(locale.ShortDayNames[i], kAbDay[i]);
    TakeName(locale.LongDayNames[i], kDay[i]);
  }
}

}  // namespace

LocaleSettings ReadPosixLocale() {
  LocaleSettings locale;
  const std::string oldTime = std::setlocale(LC_TIME, nullptr);
  const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_TIME, "")) std::setlocale(LC_TIME, "C");
  if (!std::setlocale(LC_NUMERIC, "")) std::setlocale(LC_NUMERIC, "C");

  ReadDateAndTime(locale);
  ReadNames(locale);
  locale.ThousandSeparator = OneCharSetting(Langinfo(THOUSEP), ',');

  std::setlocale(LC_TIME, oldTime.c_str());
  std::setlocale(LC_NUMERIC, oldNumeric.c_str());
  return locale;
}

}  // namespace tvx
