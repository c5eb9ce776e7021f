// Wildcard patterns and the filters read from the command line.
#include <gtest/gtest.h>

#include "ChoiceOf.h"
#include "ShiftJis.h"
#include "text/Failure.h"
#include "text/Pattern.h"
#include "walk/Choice.h"

namespace tvx {
namespace {

TEST(PatternTest, MatchesWholeCharacters) {
  const CodePage single = CodePage::SingleByte(), sjis = fixtures::ShiftJis(),
                 utf8 = CodePage::Utf8();
  struct Row {
    const char* pattern;
    const char* name;
    const CodePage& code;
    bool ignoreCase;
    bool expected;
  } rows[] = {
      {"*.txt", "a.txt", single, false, true},
      {"*.txt", "a.txt.bak", single, false, false},
      {"*", "", single, false, true},
      {"?", "", single, false, false},
      {"a*b*c", "aXbYbZc", single, false, true},
      {"a*b*c", "aXbYcZ", single, false, false},
      {"*a", "baaa", single, false, true},
      // "*.*" takes names without a dot too; other dots are plain.
      {"*.*", "Makefile", single, false, true},
      {"*.?", "Makefile", single, false, false},
      {"*.", "notes.", single, false, true},
      {"*.", "notes", single, false, false},
      {"notes.", "notes", single, false, false},
      {"*.htm", "page.html", single, true, false},
      // Letter case: ASCII folded on Windows, exact on POSIX.
      {"*.JPG", "Photo.jpg", single, true, true},
      {"*.JPG", "Photo.jpg", single, false, false},
      {"[ab]", "a", single, false, false},
      {"[ab]", "[AB]", single, true, true},
      // Shift-JIS: 0x95 0x5C is one character whose trail byte is "\".
      {"?", "\x95\x5C", sjis, true, true},
      {"??", "\x95\x5C", sjis, true, false},
      {"*\\", "\x95\x5C", sjis, true, false},
      {"*\\", "\x95\x5C", single, true, true},
      {"\x95\x5C*", "\x95\x5C.txt", sjis, true, true},
      // A lead byte before "?" or "*" leaves the wildcard whole.
      {"\x95?", "\x95\x5C", sjis, true, false},
      {"\x95?", "\x95 ", sjis, true, true},
      {"\x95*", "\x95 xyz", sjis, true, true},
      // Trail bytes are no letters: 0x82 0x61 is not 0x82 0x41.
      {"\x82\x61", "\x82\x41", sjis, true, false},
      {"\x82\x61", "\x82\x41", single, true, true},
      // UTF-8: one "?" for a two- or three-byte sequence.
      {"?.txt", "\xC3\xA9.txt", utf8, false, true},
      {"?.txt", "\xC3\xA9.txt", single, false, false},
      {"?", "\xE6\x97\xA5", utf8, false, true},
      {"\xC3\xA9*", "\xC3\xA9t\xC3\xA9", utf8, false, true},
  };
  for (const Row& row : rows) {
    const LetterCase rule = row.ignoreCase ? LetterCase::Ascii : LetterCase::Exact;
    EXPECT_EQ(MatchesPattern(row.pattern, row.name, row.code, rule), row.expected)
        << row.pattern << " / " << row.name;
  }
}

TEST(ChoiceTest, ReadsValues) {
  const TDateTime now = MakeDateTime(2026, 12, 7, 12, 0, 0);
  std::uint64_t bytes = 0;
  std::uint32_t levels = 0;
  TDateTime moment = 0;
  EXPECT_TRUE(ParseSize("1536", bytes) && bytes == 1536);
  EXPECT_TRUE(ParseSize("1g", bytes) && bytes == (1ull << 30));
  EXPECT_TRUE(ParseSize("2T", bytes) && bytes == (2ull << 40));
  EXPECT_FALSE(ParseSize("1Q", bytes) || ParseSize("K", bytes) || ParseSize("-1", bytes) ||
               ParseSize("99999999999999999T", bytes));
  // Units as people write them: binary with or without "iB", decimal with "B".
  const std::pair<const char*, std::uint64_t> sizes[] = {
      {"1MB", 1000000},       {"2GiB", 2ull << 30}, {"10k", 10240}, {"3kb", 3000},
      {"1tB", 1000000000000}, {"5mib", 5ull << 20}, {"0KB", 0},
  };
  for (const auto& [text, expected] : sizes)
    EXPECT_TRUE(ParseSize(text, bytes) && bytes == expected) << text;
  for (const char* bad : {"1B", "1KiBB", "1 K", "1Ki", "1iB", "MB", "1KB2", "1E", "16777216T"})
    EXPECT_FALSE(ParseSize(bad, bytes)) << bad;
  EXPECT_TRUE(ParseLevels("3", levels) && levels == 3);
  EXPECT_FALSE(ParseLevels("0", levels) || ParseLevels("x", levels) || ParseLevels("-1", levels));
  EXPECT_TRUE(ParseAge("30", now, moment) && moment == MakeDateTime(2026, 11, 7, 12, 0, 0));
  EXPECT_TRUE(ParseAge("0", now, moment) && moment == now);
  EXPECT_TRUE(ParseAge("20240229", now, moment) && moment == MakeDateTime(2024, 2, 29, 0, 0, 0));
  EXPECT_FALSE(ParseAge("20260230", now, moment) || ParseAge("20231301", now, moment) ||
               ParseAge("2026-01-01", now, moment) || ParseAge("1900", now, moment) ||
               ParseAge("", now, moment));
}

// Each filter given alone decides; with none (exclusions aside) every entry is listed.
TEST(ChoiceTest, EachFilterAloneDecides) {
  const TDateTime now = MakeDateTime(2026, 12, 7, 12, 0, 0);
  RawEntry file;
  file.Name = "notes.txt";
  file.Size = 100;
  file.DateTime = MakeDateTime(2020, 1, 1, 0, 0, 0);
  file.Archive = true;
  const std::pair<const char*, bool> rows[] = {
      {"/X:*.c", true},
      {"/M:*.c", false},
      {"/M:*.txt", true},
      {"/MIN:1K", false},
      {"/MAX:10", false},
      {"/MAXAGE:30", false},
      {"/MINAGE:20250101", true},
      {"/MINAGE:20100101", false},
      {"/A:D", false},
      {"/A:-A", false},
      {"/A:A", true},
  };
  for (const auto& [typed, listed] : rows) {
    const Choice choice =
        test::ChoiceOf({"LIST", "/top", typed}, now, PathStyle::Posix, CodePage());
    EXPECT_EQ(choice.Lists(file), listed) << typed;
  }
}

TEST(ChoiceTest, RefusesBadValues) {
  const char* bad[] = {"/LEV:",
                       "/LEV:x",
                       "/LEV:0",
                       "/MAXAGE:2026-01-01",
                       "/MAXAGE:20260230",
                       "/MIN:1Q",
                       "/A:Z",
                       "/M:",
                       "/M:*.c;",
                       "/X:/",
                       "/A:-",
                       "/MAX:",
                       "/MINAGE:x"};
  for (const char* typed : bad) {
    try {
      test::ChoiceOf({"LIST", "/top", "/R", typed}, 0, PathStyle::Posix, CodePage());
      ADD_FAILURE() << typed;
    } catch (const InvalidValueFailure& failure) {
      EXPECT_EQ(
          failure.Message(Language::English, [](std::string_view t) { return std::string(t); }),
          "Invalid value [" + std::string(typed) + "]");
    }
  }
}

// What the walk's rows (ScanTest) cannot show: the Windows forms.
TEST(ChoiceTest, WindowsPathsAndLetterCase) {
  const Choice windows =
      test::ChoiceOf({"DIR", "C:\\t", "/X:\\SRC/Old\\", "/M:*.C", "/A:dL", "/LEV:2", "/LEVELS:3"},
                     0, PathStyle::Windows, CodePage());
  EXPECT_TRUE(windows.Excluded("old", "src\\old"));
  EXPECT_FALSE(windows.Excluded("old", "x\\src\\old"));
  EXPECT_EQ(windows.Levels(), 2u);  // the strictest
  RawEntry link{"j.c"};
  link.IsDir = link.IsLink = true;
  EXPECT_TRUE(windows.Lists(link));
  link.IsLink = false;
  EXPECT_FALSE(windows.Lists(link));
}

}  // namespace
}  // namespace tvx
