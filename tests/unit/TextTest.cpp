#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ShiftJis.h"
#include "lines/quoting/Quoting.h"
#include "text/NameArena.h"
#include "text/Text.h"

namespace tvx {
namespace {

// The replacement on a copy of text, as the rows read best.
std::string ReplaceAll(std::string_view pattern, std::string_view replacement,
                       std::string_view text, const CodePage& code) {
  std::string result(text);
  ReplaceAllIn(result, pattern, replacement, code);
  return result;
}

struct ReplaceRow {
  const char* what;
  std::string pattern;
  std::string replacement;
  std::string text;
  std::string expected;
};

TEST(TextTest, ReplaceAllSingleByte) {
  const std::vector<ReplaceRow> rows = {
      {"no match", "$DATE", "x", "copy a.txt", "copy a.txt"},
      {"every occurrence", "$SHORT", "a.txt", "$SHORT-$SHORT", "a.txt-a.txt"},
      {"letter case exact", "$SELF", "x", "$self $Self $SELF", "$self $Self x"},
      {"empty pattern", "", "x", "abc", "abc"},
      {"empty text", "ab", "x", "", ""},
      {"replacement empty", "ab", "", "xaby", "xy"},
      // The search starts again from the beginning, so text formed across
      // the seam of a replacement is replaced as well.
      {"formed across a replacement", "ab", "a", "aabb", "aa"},
      {"formed across, to nothing", "ab", "", "aaabbb", ""},
      {"formed to the left of the seam", "abc", "bc", "aabcc", "bcc"},
      {"shrinks repeatedly", "xx", "x", "xxxxxxxx", "x"},
      {"swap re-forms to the left", "ba", "ab", "bbba", "abbb"},
      {"pattern at both ends", "%", "#", "%a%", "#a#"},
      // A replacement holding the pattern: one left-to-right pass.
      {"replacement holds pattern", "%X%", "a%X%b", "%X%", "a%X%b"},
      {"replacement holds pattern, twice", "%X%", "a%X%b", "1%X%2%X%3", "1a%X%b2a%X%b3"},
      {"doubling pattern", "X", "XX", "XXX", "XXXXXX"},
      {"replacement equals pattern", "ab", "ab", "abab", "abab"},
  };
  for (const ReplaceRow& row : rows) {
    EXPECT_EQ(ReplaceAll(row.pattern, row.replacement, row.text, CodePage::SingleByte()),
              row.expected)
        << row.what;
    // Without double-byte characters in play both code pages agree.
    EXPECT_EQ(ReplaceAll(row.pattern, row.replacement, row.text, fixtures::ShiftJis()),
              row.expected)
        << row.what << " (Shift-JIS)";
  }
}

TEST(TextTest, ReplaceAllShiftJisNeverMatchesFromTrailByte) {
  const CodePage sjis = fixtures::ShiftJis();
  const std::vector<ReplaceRow> rows = {
      {"trail 0x5C is not a backslash", "\\", "/", "\x83\x5C", "\x83\x5C"},
      {"real backslash after it", "\\", "/", "\x83\x5C\\", "\x83\x5C/"},
      {"trail a-z is not a letter", "a", "X", "\x83\x61", "\x83\x61"},
      {"letter after a double-byte char", "a", "X",
       "\x83\x61"
       "a",
       "\x83\x61X"},
      {"pattern starting on a trail byte", "\x5C\x83", "!", "\x83\x5C\x83\x5C", "\x83\x5C\x83\x5C"},
      {"whole double-byte char", "\x83\x5C", "\\",
       "a\x83\x5C"
       "b",
       "a\\b"},
      {"macro after a name ending in 0x5C", "$SHORT", "x", "\x83\x5C$SHORT", "\x83\x5Cx"},
      {"replacement holds pattern", "\\", "\\\\", "\x83\x5C\\", "\x83\x5C\\\\"},
  };
  for (const ReplaceRow& row : rows) {
    EXPECT_EQ(ReplaceAll(row.pattern, row.replacement, row.text, sjis), row.expected) << row.what;
  }
  // In single-byte mode the same bytes are two characters of their own.
  EXPECT_EQ(ReplaceAll("\\", "/", "\x83\x5C", CodePage::SingleByte()), "\x83/");
}

TEST(TextTest, ReplaceAllStopsOnPairThatNeverSettles) {
  // "ab" -> "b...ba...a" does not contain the pattern, yet every replacement
  // forms a new occurrence across its seam: repeated to the letter this
  // would never end. The long replacement makes the run reach any bound on
  // size quickly.
  const std::size_t half = std::size_t{1} << 20;
  const std::string replacement = std::string(half, 'b') + std::string(half, 'a');
  for (const CodePage& code : {CodePage::SingleByte(), fixtures::ShiftJis()}) {
    const std::string result = ReplaceAll("ab", replacement, "abab", code);
    EXPECT_GT(result.size(), replacement.size());
    EXPECT_LT(result.size(), std::size_t{1} << 30);
  }
}

TEST(TextTest, CountChar) {
  struct Row {
    std::string text;
    char c;
    std::size_t expected;
  };
  const std::vector<Row> rows = {
      {"", '%', 0},    {"100%", '%', 1},         {"%A%%B%", '%', 4}, {"abc", '%', 0},
      {"%%%", '%', 3}, {"a\x83\x5C\\", '\\', 2}, {"AaA", 'a', 1},
  };
  for (const Row& row : rows) EXPECT_EQ(CountChar(row.text, row.c), row.expected) << row.text;
}

TEST(TextTest, ExtractField) {
  struct Row {
    std::size_t index;
    std::string text;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {0, "a%b%c", "a"}, {1, "a%b%c", "b"},  {2, "a%b%c", "c"},     {3, "a%b%c", ""},
      {9, "a%b%c", ""},  {0, "%A%", ""},     {1, "%A%", "A"},       {2, "%A%", ""},
      {2, "%A%%B%", ""}, {3, "%A%%B%", "B"}, {0, "plain", "plain"}, {1, "plain", ""},
      {0, "", ""},       {1, "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ExtractField(row.index, '%', row.text), row.expected)
        << row.index << " of " << row.text;
  }
}

TEST(TextTest, AsciiCaseMapping) {
  struct Row {
    const char* what;
    std::string text;
    bool shiftJis;
    std::string upper;
    std::string lower;
  };
  const std::vector<Row> rows = {
      {"ascii", "Ab.Txt", false, "AB.TXT", "ab.txt"},
      {"digits and signs", "a1_$Z", false, "A1_$Z", "a1_$z"},
      {"high bytes untouched", "\xE0\xC0x", false, "\xE0\xC0X", "\xE0\xC0x"},
      {"single byte: 0x83 then a letter", "\x83\x61", false, "\x83\x41", "\x83\x61"},
      {"trail byte in a-z", "\x83\x61", true, "\x83\x61", "\x83\x61"},
      {"trail byte in A-Z", "\x83\x41", true, "\x83\x41", "\x83\x41"},
      {"letters around a double-byte char", "a\x83\x61z", true, "A\x83\x61Z", "a\x83\x61z"},
      {"half-width katakana is single byte",
       "\xB1"
       "a",
       true,
       "\xB1"
       "A",
       "\xB1"
       "a"},
      {"lone lead byte at the end", "a\x83", true, "A\x83", "a\x83"},
  };
  for (const Row& row : rows) {
    const CodePage code = row.shiftJis ? fixtures::ShiftJis() : CodePage::SingleByte();
    std::string upper = row.text;
    UpperAscii(upper, code);
    EXPECT_EQ(upper, row.upper) << row.what;
    std::string lower = row.text;
    LowerAscii(lower, code);
    EXPECT_EQ(lower, row.lower) << row.what;
  }
}

TEST(TextTest, Utf8CharactersStayWhole) {
  const CodePage utf8 = CodePage::Utf8();
  EXPECT_TRUE(utf8.IsMultiByte());
  struct Row {
    const char* what;
    std::string text;
    std::size_t length;  // of the character at 0
  };
  const std::vector<Row> rows = {
      {"ascii", "a\xC3\xA4", 1},
      {"two bytes", "\xC3\xA4", 2},
      {"three bytes", "\xE6\x97\xA5x", 3},
      {"four bytes", "\xF0\x9D\x84\x9E", 4},
      {"cut short", "\xE6\x97", 1},
      {"backslash is no trail byte", "\xC3\\", 1},
      {"0x5C after a lead is a separator", "\xE6\x5C\x97", 1},
      {"never a lead byte", "\xC0\x80", 1},
      {"lone continuation byte", "\xA4", 1},
  };
  for (const Row& row : rows) EXPECT_EQ(utf8.CharLength(row.text, 0), row.length) << row.what;

  // Case mapping touches ASCII letters only; a trail byte never counts.
  std::string text = "a\xC3\xA4z\xF0\x9D\x84\x9E";
  UpperAscii(text, utf8);
  EXPECT_EQ(text, "A\xC3\xA4Z\xF0\x9D\x84\x9E");
  // A pattern never matches from inside a character.
  EXPECT_EQ(ReplaceAll("\xA4", "!", "\xC3\xA4\xA4", utf8), "\xC3\xA4!");
  EXPECT_EQ(ReplaceAll("\xA4", "!", "\xC3\xA4", CodePage::SingleByte()), "\xC3!");
  EXPECT_TRUE(EndsWithChar("C:\\\xC3\xA4\\", '\\', utf8));
}

TEST(TextTest, EqualIgnoringAsciiCase) {
  struct Row {
    std::string a;
    std::string b;
    bool expected;
  };
  const std::vector<Row> rows = {
      {"/r", "/R", true},
      {"/Recursive", "/RECURSIVE", true},
      {"/REC", "/RECURSIVE", false},
      {"-R", "/R", false},
      {"", "", true},
      {"\xE0", "\xC0", false},
      {"a", "a ", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EqualIgnoringAsciiCase(row.a, row.b), row.expected) << row.a << " vs " << row.b;
  }
}

TEST(TextTest, EndsWithChar) {
  struct Row {
    const char* what;
    std::string text;
    bool shiftJis;
    bool expected;
  };
  const std::vector<Row> rows = {
      {"drive root", "C:\\", false, true},
      {"no separator", "C:\\data", false, false},
      {"empty", "", false, false},
      {"single byte: 0x5C after 0x83", "C:\\\x83\x5C", false, true},
      {"trail byte 0x5C", "C:\\\x83\x5C", true, false},
      {"separator after a double-byte char", "C:\\\x83\x5C\\", true, true},
      {"plain path under Shift-JIS", "C:\\data\\", true, true},
      {"half-width katakana then separator", "\xB1\\", true, true},
  };
  for (const Row& row : rows) {
    const CodePage code = row.shiftJis ? fixtures::ShiftJis() : CodePage::SingleByte();
    EXPECT_EQ(EndsWithChar(row.text, '\\', code), row.expected) << row.what;
  }
}

}  // namespace
}  // namespace tvx

namespace tvx {
namespace {

// The facts a read learns of a name in one pass stand in for the writers'
// full scans: they must never tell a name needs no quotes when it does.
TEST(TextTest, NameFactsAgreeWithTheFullScans) {
  std::vector<std::string> names = {"plain.txt",
                                    "a b.txt",
                                    "it's",
                                    "say \"hi\"",
                                    "tab\there",
                                    "line\nbreak",
                                    "cr\r",
                                    "del\x7F",
                                    "esc\x1B[31m",
                                    "$(rm -rf)",
                                    "`id`",
                                    "a;b|c&d",
                                    "*?[x]",
                                    "back\\slash",
                                    "colon:name",
                                    "caf\xC3\xA9",
                                    "bad\xFF\xFE",
                                    "\x83\x5B\x83\x5D",
                                    "\x83\x41[",
                                    "-R",
                                    "%x%",
                                    "~user",
                                    "R&D",
                                    "x=1,y",
                                    std::string("\x01", 1),
                                    "\xE2\x80\xAE"
                                    "txt.exe"};
  // Every byte, alone and inside a name.
  for (int b = 1; b < 256; ++b) {
    names.push_back(std::string(1, static_cast<char>(b)));
    names.push_back("a" + std::string(1, static_cast<char>(b)) + "z");
  }
  for (const std::string& name : names) {
    const NameFacts facts = NameFactsOf(name);
    EXPECT_TRUE(facts.Known());
    EXPECT_EQ(facts.Control(), HasControlChars(name)) << name;
    for (const CodePage& code : {CodePage::SingleByte(), fixtures::ShiftJis()}) {
      for (QuoteRule rule : {QuoteRule::PosixShell, QuoteRule::CommandPrompt}) {
        EXPECT_TRUE(facts.Special() || !NeedsQuotes(name, rule, code)) << name;
      }
    }
    if (!facts.Special()) {
      EXPECT_EQ(name.find_first_of("'\"*?<>|:\\"), std::string::npos) << name;
    }
    if (facts.Ascii()) {
      EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
      })) << name;
    }
  }
  EXPECT_FALSE(NameFactsOf("plain-name_1.txt").Special());
  EXPECT_FALSE(NameFactsOf("caf\xC3\xA9").Special());
  EXPECT_FALSE(NameFactsOf("caf\xC3\xA9").Ascii());
}

}  // namespace
}  // namespace tvx

namespace tvx {
namespace {

// Names written in place (as a directory read copies them) stay whole across
// blocks, beside stored ones, and a long one gets a block of its own.
TEST(TextTest, NamesWrittenInPlaceStayWhole) {
  NameArena arena(64);
  std::vector<std::pair<const char*, std::string>> kept;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "name-" + std::to_string(i) + std::string(i % 7, 'x');
    if (i % 3 == 0) {
      kept.emplace_back(arena.Store(name), name);
      continue;
    }
    // Room for more than is written, as a directory record's length gives.
    char* at = arena.Room(name.size() + 5);
    name.copy(at, name.size());
    kept.emplace_back(arena.Keep(name.size()), name);
  }
  const std::string longName(100, 'L');
  char* at = arena.Room(longName.size());
  longName.copy(at, longName.size());
  kept.emplace_back(arena.Keep(longName.size()), longName);
  kept.emplace_back(arena.Store("after"), "after");
  for (const auto& [text, name] : kept) EXPECT_STREQ(text, name.c_str());
}

// Each byte value at each place of a word, among ASCII, high and low
// neighbours: the word tests find exactly what a byte-by-byte test finds.
TEST(TextTest, WordTestsAgreeWithEachByte) {
  using namespace word_bytes;
  for (const int fill : {0x41, 0xFF, 0x80, 0x20}) {
    for (int value = 0; value < 256; ++value) {
      for (std::size_t place = 0; place < 8; ++place) {
        char bytes[8];
        std::memset(bytes, fill, sizeof bytes);
        bytes[place] = static_cast<char>(value);
        const std::uint64_t word = Load(bytes);
        const auto any = [&](auto test) { return test(fill) || test(value); };
        EXPECT_EQ(AnyHigh(word), any([](int b) { return b >= 0x80; })) << value;
        EXPECT_EQ(AnyBelow(word, 0x20), any([](int b) { return b < 0x20; })) << value;
        EXPECT_EQ(AnyEqual(word, ','), any([](int b) { return b == ','; })) << value;
        EXPECT_EQ(AnyEqual(word, 0x7F), any([](int b) { return b == 0x7F; })) << value;
      }
    }
  }
  EXPECT_EQ(AsciiPrefixLength("abcdefghijk\xC3\xA9"), 11u);
  EXPECT_EQ(AsciiPrefixLength("abc\x80"
                              "defghijk"),
            3u);
  EXPECT_EQ(AsciiPrefixLength(""), 0u);
}

}  // namespace
}  // namespace tvx
