#include "Win32Locale.h"

#include <windows.h>

#include <string>

namespace tvx {

namespace {

// Not named by every header set; the marker position of the time format.
constexpr LCTYPE kTimeMarkerPosition = 0x1005;

std::string LocaleText(const TextCodec& codec, LCID locale, LCTYPE type) {
  int needed = GetLocaleInfoW(locale, type, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  int got = GetLocaleInfoW(locale, type, text.data(), needed);
  if (got <= 0) return {};
  text.resize(static_cast<std::size_t>(got));
  // The count includes the terminating zero.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return codec.FromWide(text);
}

bool LocaleFlag(const TextCodec& codec, LCID locale, LCTYPE type, bool fallback) {
  std::string text = LocaleText(codec, locale, type);
  if (text.empty()) return fallback;
  return text[0] != '0';
}

void ReadNames(const TextCodec& codec, LCID locale, const LCTYPE* types, std::string* names,
               std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::string text = LocaleText(codec, locale, types[i]);
    if (!text.empty()) names[i] = std::move(text);
  }
}

// Month and day names, where the locale has them.
void ReadCalendarNames(const TextCodec& codec, LCID locale, LocaleSettings& settings) {
  static constexpr LCTYPE kShortMonths[12] = {
      LOCALE_SABBREVMONTHNAME1,  LOCALE_SABBREVMONTHNAME2,  LOCALE_SABBREVMONTHNAME3,
      LOCALE_SABBREVMONTHNAME4,  LOCALE_SABBREVMONTHNAME5,  LOCALE_SABBREVMONTHNAME6,
      LOCALE_SABBREVMONTHNAME7,  LOCALE_SABBREVMONTHNAME8,  LOCALE_SABBREVMONTHNAME9,
      LOCALE_SABBREVMONTHNAME10, LOCALE_SABBREVMONTHNAME11, LOCALE_SABBREVMONTHNAME12};
  static constexpr LCTYPE kLongMonths[12] = {
      LOCALE_SMONTHNAME1, LOCALE_SMONTHNAME2,  LOCALE_SMONTHNAME3,  LOCALE_SMONTHNAME4,
      LOCALE_SMONTHNAME5, LOCALE_SMONTHNAME6,  LOCALE_SMONTHNAME7,  LOCALE_SMONTHNAME8,
      LOCALE_SMONTHNAME9, LOCALE_SMONTHNAME10, LOCALE_SMONTHNAME11, LOCALE_SMONTHNAME12};
  // Our arrays start on Sunday; Windows numbers the days from Monday.
  static constexpr LCTYPE kShortDays[7] = {LOCALE_SABBREVDAYNAME7, LOCALE_SABBREVDAYNAME1,
                                           LOCALE_SABBREVDAYNAME2, LOCALE_SABBREVDAYNAME3,
                                           LOCALE_SABBREVDAYNAME4, LOCALE_SABBREVDAYNAME5,
                                           LOCALE_SABBREVDAYNAME6};
  static constexpr LCTYPE kLongDays[7] = {LOCALE_SDAYNAME7, LOCALE_SDAYNAME1, LOCALE_SDAYNAME2,
                                          LOCALE_SDAYNAME3, LOCALE_SDAYNAME4, LOCALE_SDAYNAME5,
                                          LOCALE_SDAYNAME6};
  ReadNames(codec, locale, kShortMonths, settings.ShortMonthNames.data(), 12);
  ReadNames(codec, locale, kLongMonths, settings.LongMonthNames.data(), 12);
  ReadNames(codec, locale, kShortDays, settings.ShortDayNames.data(), 7);
  ReadNames(codec, locale, kLongDays, settings.LongDayNames.data(), 7);
}

}  // namespace

LocaleSettings ReadLocaleSettings(const TextCodec& codec, const CodePage& code) {
  LCID locale = GetThreadLocale();
  LocaleSettings settings;
  // Pictures and names are in the output's code page, multi-byte or not.
  settings.Code = code;
  settings.DateSeparator = OneCharSetting(LocaleText(codec, locale, LOCALE_SDATE), '/');
  settings.TimeSeparator = OneCharSetting(LocaleText(codec, locale, LOCALE_STIME), ':');
  settings.ThousandSeparator = OneCharSetting(LocaleText(codec, locale, LOCALE_STHOUSAND), ',');

  std::string shortDate = LocaleText(codec, locale, LOCALE_SSHORTDATE);
  settings.ShortDateFormat = shortDate.empty() ? "m/d/yy" : shortDate;

  // Built from the three clock settings; the locale's own time format is
  // deliberately not used. Missing settings give the default form "h:mm:ss AMPM".
  bool hourLeadingZero = LocaleFlag(codec, locale, LOCALE_ITLZERO, false);
  bool twentyFourHour = LocaleFlag(codec, locale, LOCALE_ITIME, false);
  bool markerInFront = LocaleText(codec, locale, kTimeMarkerPosition) == "1";
  settings.LongTimeFormat = BuildLongTimeFormat(hourLeadingZero, !twentyFourHour, markerInFront);

  std::string am = LocaleText(codec, locale, LOCALE_S1159);
  std::string pm = LocaleText(codec, locale, LOCALE_S2359);
  settings.TimeAmString = am.empty() ? "am" : am;
  settings.TimePmString = pm.empty() ? "pm" : pm;
  ReadCalendarNames(codec, locale, settings);
  return settings;
}

}  // namespace tvx
