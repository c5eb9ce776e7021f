// What the system's locale settings become: a one-character setting, and
// strftime's date and time formats as the program's own pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DateTexts.h"
#include "text/Locale.h"

namespace tvx {

using test::FormatDateTime;
namespace {

// Tuesday 5 March 2024, 14:07:09.
const TDateTime kAfternoon = MakeDateTime(2024, 3, 5, 14, 7, 9);

TEST(LocaleTest, OneCharSetting) {
  struct Row {
    std::string text;
    char fallback;
    char expected;
  };
  const std::vector<Row> rows = {
      {"", '/', '/'},
      {"-", '/', '-'},
      {".", ',', '.'},
      {"--", '/', '/'},
      {"\xE2\x80\xAF", ',', ','},  // narrow no-break space in UTF-8
      {"\xC2\xA0", ',', ','},      // no-break space in UTF-8
      {" ", ',', ' '},
  };
  for (const Row& row : rows) EXPECT_EQ(OneCharSetting(row.text, row.fallback), row.expected);
}

TEST(LocaleTest, TranslateStrftimeDate) {
  struct Row {
    std::string format;
    char separatorBefore;
    std::string picture;  // empty: only the formatted text is checked
    char separatorAfter;
    std::string formatted;  // kAfternoon, Tuesday 5 March 2024
  };
  const std::vector<Row> rows = {
      {"%d", '/', "dd", '/', "05"},
      {"%e", '/', "d", '/', "5"},
      {"%m", '/', "mm", '/', "03"},
      {"%y", '/', "yy", '/', "24"},
      {"%Y", '/', "yyyy", '/', "2024"},
      {"%b", '/', "mmm", '/', "Mar"},
      {"%B", '/', "mmmm", '/', "March"},
      {"%a", '/', "ddd", '/', "Tue"},
      {"%A", '/', "dddd", '/', "Tuesday"},
      {"%D", '.', "mm/dd/yy", '/', "03/05/24"},
      {"%F", '/', "", '-', "2024-03-05"},
      {"%d.%m.%Y", '/', "dd/mm/yyyy", '.', "05.03.2024"},
      {"%m/%d/%y", '/', "mm/dd/yy", '/', "03/05/24"},
      {"%m/%d/%Y", '/', "mm/dd/yyyy", '/', "03/05/2024"},
      {"%d/%m/%y", '/', "dd/mm/yy", '/', "05/03/24"},
      {"%Y-%m-%d", '/', "", '-', "2024-03-05"},
      {"%d:%m", '/', "", ':', "05:03"},
      // Only the first literal separator becomes the date separator.
      {"%d.%m/%Y", '/', "", '.', "05.03/2024"},
      {"%e. %B %Y", '/', "", '.', "5. March 2024"},
      // No separator: the one given is kept.
      {"%d %B %Y", '/', "", '/', "05 March 2024"},
      {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", '/',
       "yyyy\xE5\xB9\xB4mm\xE6\x9C\x88"
       "dd\xE6\x97\xA5",
       '/',
       "2024\xE5\xB9\xB4"
       "03\xE6\x9C\x88"
       "05\xE6\x97\xA5"},
      // Literal letters stay letters, never read as tokens.
      {"%d de %B de %Y", '/', "", '/', "05 de March de 2024"},
      {"Day %d, %Y", '/', "", ',', "Day 05, 2024"},
      {"%A %d %B %Y h", '/', "", '/', "Tuesday 05 March 2024 h"},
      {"%Y.%m.%d.", '/', "", '.', "2024.03.05."},
      {"%Y'%m", '/', "", '\'', "2024'03"},
  };
  const LocaleSettings base;
  for (const Row& row : rows) {
    char separator = row.separatorBefore;
    const std::string picture = TranslateStrftimeDate(row.format, separator);
    if (!row.picture.empty()) {
      EXPECT_EQ(picture, row.picture) << row.format;
    }
    EXPECT_EQ(separator, row.separatorAfter) << row.format;
    LocaleSettings locale = base;
    locale.DateSeparator = separator;
    EXPECT_EQ(FormatDateTime(picture, kAfternoon, locale), row.formatted)
        << row.format << " as " << picture;
  }
}

TEST(LocaleTest, TranslateStrftimeTime) {
  struct Row {
    std::string format;
    std::string form;
    char separator;  // ':' before every row
  };
  const std::vector<Row> rows = {
      {"%H:%M:%S", "hh:mm:ss", ':'},
      {"%T", "hh:mm:ss", ':'},
      {"%I:%M:%S %p", "hh:mm:ss AMPM", ':'},
      {"%p %I:%M:%S", "AMPM hh:mm:ss", ':'},
      {"%l:%M:%S %P", "h:mm:ss AMPM", ':'},
      {"%k.%M.%S", "h:mm:ss", '.'},
      {"%-I.%M %p", "h:mm:ss AMPM", '.'},
      {"%_H:%M", "h:mm:ss", ':'},
      // nb_NO: the letters of the literal "kl." are no hour conversion.
      {"kl. %H.%M %z", "hh:mm:ss", '.'},
      // A multibyte separator cannot stand for ":".
      {"%H\xE6\x99\x82%M\xE5\x88\x86%S\xE7\xA7\x92", "hh:mm:ss", ':'},
      {"%H%M", "hh:mm:ss", ':'},
      {"%M:%S", "h:mm:ss", ':'},
  };
  for (const Row& row : rows) {
    char separator = ':';
    EXPECT_EQ(TranslateStrftimeTime(row.format, separator), row.form) << row.format;
    EXPECT_EQ(separator, row.separator) << row.format;
  }
}

}  // namespace
}  // namespace tvx
