// Date pictures, strftime date formats and the number form on arbitrary input.
#include <cstdlib>
#include <cstring>

#include "FuzzInput.h"
#include "text/Locale.h"
#include "ShiftJis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tvx::fuzz::Input in(data, size);
  std::int64_t raw = 0;
  for (int i = 0; i < 8; ++i) raw = (raw << 8) | in.Byte();
  // Any time from year 1 to 9999.
  const tvx::TDateTime lowest = tvx::MakeDateTime(1, 1, 1, 0, 0, 0);
  const tvx::TDateTime highest = tvx::MakeDateTime(9999, 12, 31, 23, 59, 58);
  const std::uint64_t span = static_cast<std::uint64_t>(highest - lowest);
  const tvx::TDateTime value =
      (lowest + static_cast<tvx::TDateTime>(static_cast<std::uint64_t>(raw) % span)) & ~1ll;

  tvx::LocaleSettings locale;
  if (in.Byte() & 1) locale.Code = tvx::fixtures::ShiftJis();
  locale.DateSeparator = static_cast<char>(in.Byte());
  const std::string picture = in.Next();
  const std::string strftime = in.Next();

  tvx::DateParts parts = tvx::SplitDateTime(value);
  if (tvx::MakeDateTime(parts.Year, parts.Month, parts.Day, parts.Hour, parts.Minute,
                        parts.Second) != value) {
    std::abort();
  }
  locale.ShortDateFormat = picture;
  std::string text;
  tvx::DateForms(locale).AppendDate(text, value);
  // Each picture byte yields a bounded amount of text (the longest being a day or month name).
  if (text.size() > picture.size() * 16 + 16) std::abort();
  std::string stamp;
  tvx::StampMemo memo;
  tvx::AppendDirStamp(stamp, value, locale, memo);
  if (stamp.size() != 19) std::abort();
  // Asked again, the kept stamp gives the same bytes.
  std::string again;
  tvx::AppendDirStamp(again, value, locale, memo);
  if (again != stamp) std::abort();

  char separator = '/';
  locale.ShortDateFormat = tvx::TranslateStrftimeDate(strftime, separator);
  locale.DateSeparator = separator;
  std::string dateTime;
  tvx::DateForms(locale).AppendDateTime(dateTime, value);
  tvx::FormatNumber(static_cast<std::uint64_t>(raw), locale);
  return 0;
}
