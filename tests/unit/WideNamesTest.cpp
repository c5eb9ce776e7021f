#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/WideNames.h"

namespace tvx {
namespace {

// A code page holding only U+0000-U+00FF, one byte each, with "?" for the rest.
bool NarrowLatin1(std::u16string_view text, std::string& out) {
  bool exact = true;
  for (char16_t u : text) {
    exact = exact && u < 0x100;
    out += u < 0x100 ? static_cast<char>(u) : '?';
  }
  return exact;
}

bool NarrowUtf8(std::u16string_view text, std::string& out) {
  return AppendUtf8(text, out);
}

TEST(WideNamesTest, NamesAreWrittenExactlyOrByTheirShortName) {
  struct Row {
    const char* what;
    std::u16string name;
    std::u16string shortName;  // empty: the volume keeps none
    bool utf8;
    std::string expected;
    bool exact;
    bool shortAsked;
  };
  const std::vector<Row> rows = {
      {"ascii costs nothing", u"a.txt", u"", false, "a.txt", true, false},
      {"in the code page", u"\u00E4.txt", u"A~1.TXT", false, "\xE4.txt", true, false},
      // No look-alike: the best-fit "s.txt" would name another file.
      {"outside: short name", u"\u015D.txt", u"S~1.TXT", false, "S~1.TXT", true, true},
      {"outside, no short name", u"\u015D.txt", u"", false, "?.txt", false, true},
      {"short name same as long", u"\u015D", u"\u015D", false, "?", false, true},
      {"short name not writable either", u"\u015D", u"\u015D~1", false, "?", false, true},
      {"utf-8: Japanese", u"\u65E5\u672C", u"", true, "\xE6\x97\xA5\xE6\x9C\xAC", true, false},
      {"utf-8: surrogate pair", u"\U0001D11E.txt", u"", true, "\xF0\x9D\x84\x9E.txt", true, false},
      {"utf-8: lone high surrogate", std::u16string(u"a") + char16_t(0xD834), u"A~1", true, "A~1",
       true, true},
      {"utf-8: lone low surrogate", std::u16string(1, char16_t(0xDD1E)) + u"b", u"", true, "?b",
       false, true},
      {"utf-8: swapped pair", std::u16string{char16_t(0xDD1E), char16_t(0xD834)}, u"", true, "??",
       false, true},
      {"utf-8: two and three bytes", u"\u00E4\u0800\uFFFF", u"", true,
       "\xC3\xA4\xE0\xA0\x80\xEF\xBF\xBF", true, false},
  };
  for (const Row& row : rows) {
    bool asked = false;
    auto shortName = [&] {
      asked = true;
      return row.shortName;
    };
    std::string out = "old";
    const bool exact =
        row.utf8 ? NameForOutput(std::u16string_view(row.name), NarrowUtf8, shortName, out)
                 : NameForOutput(std::u16string_view(row.name), NarrowLatin1, shortName, out);
    EXPECT_EQ(out, row.expected) << row.what;
    EXPECT_EQ(exact, row.exact) << row.what;
    EXPECT_EQ(asked, row.shortAsked) << row.what;
  }
}

}  // namespace
}  // namespace tvx
