#include "CommandsFixture.h"

namespace tvx::test {
namespace {

TEST_F(CommandsTest, DirTableAndSummary) {
  FakePlatform p;
  p.disk = {5ull << 40, 3ull << 30};
  p.AddDir("/d/", {{"a file name longer than thirty bytes", false, false, 1536, kTime},
                   {"sub", true, false, 0, kTime}});
  std::string out = Dir(p, "/d", {});
  EXPECT_EQ(out, "1999/11/14 14:46:24" + std::string(17, ' ') +
                     "1,536  \"a file name longer than thirty bytes\"\n"
                     "1999/11/14 14:46:24" +
                     std::string(21, ' ') +
                     "0  sub                           \n"
                     "\n 2 files exists. 1 KB (1,536 bytes)\n"
                     "\n - DRIVE INFO\n"
                     " 5,368,709,120 KB (5,497,558,138,880 bytes)\n"
                     " 3,145,728 KB (3,221,225,472 bytes) free\n"
                     "<banner>\n");
}

// The columns are padded to 20, 20 and 30 bytes; what is longer stays whole.
TEST_F(CommandsTest, DirColumnsArePaddedNeverCut) {
  FakePlatform p;
  const std::string longName(31, 'n');
  p.AddDir("/d/", {{"ab", false, false, 3221225472, kTime},
                   {longName},
                   {"\x83\x5C"},
                   {"big", false, false, std::uint64_t{1} << 60, kTime}});
  // Widths count bytes: a double-byte character fills two.
  p.locale.Code = fixtures::ShiftJis();
  const std::string stamp = "1999/11/14 14:46:24  ";
  const std::string zero = "1899/12/30 00:00:00                     0  ";
  // The largest size a record keeps is wider than its column.
  EXPECT_EQ(Dir(p, "/d", {}).substr(0, 4 * 74 + 2 + 1),
            stamp + "       3,221,225,472  ab" + std::string(28, ' ') + "\n" + zero + longName +
                "\n" + zero + "\x83\x5C" + std::string(28, ' ') + "\n" + stamp +
                "36,028,797,018,963,967  big" + std::string(27, ' ') + "\n");
}

// DIR quotes a name only for a blank, in double quotes on both systems, and
// pads it to 30 columns as the terminal shows it.
TEST_F(CommandsTest, DirQuotesBlanksOnlyAndPadsByColumns) {
  struct Row {
    PathStyle style;
    std::string name;
    ListOptions options;
    std::string shown;
    std::size_t columns;
  } rows[] = {
      {PathStyle::Posix, "a&b.txt", {}, "a&b.txt", 7},
      {PathStyle::Posix, "it's", {}, "it's", 4},
      {PathStyle::Posix, "p(1)=x.txt", {}, "p(1)=x.txt", 10},
      {PathStyle::Windows, "a&b.txt", {}, "a&b.txt", 7},
      {PathStyle::Posix, "my \"doc\"", {}, "\"my \"\"doc\"\"\"", 12},
      {PathStyle::Windows, "It's a", {.Upper = true}, "\"IT'S A\"", 8},
      {PathStyle::Posix, "a b", {.NoQuote = true}, "a b", 3},
      // UTF-8: a wide character takes two columns, a combining one none.
      {PathStyle::Posix, "caf\xC3\xA9", {}, "caf\xC3\xA9", 4},
      {PathStyle::Posix, "e\xCC\x81", {}, "e\xCC\x81", 1},
      {PathStyle::Posix, "\xE6\x97\xA5\xE6\x9C\xAC", {}, "\xE6\x97\xA5\xE6\x9C\xAC", 4},
      // Counted by characters even where the first one past ASCII comes late.
      {PathStyle::Posix, "abcdefghij\xE6\x97\xA5", {}, "abcdefghij\xE6\x97\xA5", 12},
      {PathStyle::Posix,
       "abcdefghij \xE6\x97\xA5",
       {.Lower = true},
       "\"abcdefghij \xE6\x97\xA5\"",
       15},
      // On Windows by the code page the names are written in: here UTF-8 (/UTF8).
      {PathStyle::Windows, "\xE6\x97\xA5 x", {}, "\"\xE6\x97\xA5 x\"", 6},
  };
  for (const Row& row : rows) {
    FakePlatform p(row.style);
    // POSIX names are bytes to the program, yet UTF-8 on the terminal.
    if (row.style == PathStyle::Windows) p.locale.Code = CodePage::Utf8();
    const std::string dir = row.style == PathStyle::Windows ? "C:\\d\\" : "/d/";
    p.AddDir(dir, {{row.name, false, false, 1, kTime}});
    const std::string out = Dir(p, dir, row.options);
    const std::string::size_type at = out.find("1  ") + 3;
    const std::string eol = row.style == PathStyle::Windows ? "\r\n" : "\n";
    EXPECT_EQ(out.substr(at, out.find(eol) - at), row.shown + std::string(30 - row.columns, ' '))
        << row.name;
  }
}

TEST_F(CommandsTest, DirUnitFollowsTheListedTotal) {
  struct Row {
    std::uint64_t size;
    std::string figures;
  } rows[] = {
      {1048000, "1,023 KB (1,048,000 bytes)"},
      {1048001, "1 MB (1,048,001 bytes)"},
      {3ull << 30, "3,073 MB (3,221,225,472 bytes)"},
      {0, "0 KB (0 bytes)"},
  };
  for (const Row& row : rows) {
    FakePlatform p;
    p.diskKnown = false;
    p.AddDir("/d/", {{"f", false, false, row.size, kTime}});
    std::string out = Dir(p, "/d", {.FileNameOnly = true, .NoDir = true, .Lower = true});
    EXPECT_NE(out.find(" 1 files exists. " + row.figures + "\n"), std::string::npos) << out;
    // A failed drive query shows zeros in the same unit.
    std::string unit = row.figures.substr(row.figures.find(' '), 3);
    EXPECT_NE(out.find("\n 0" + unit + " (0 bytes)\n 0" + unit + " (0 bytes) free\n"),
              std::string::npos)
        << out;
  }
}

TEST_F(CommandsTest, DirUsesTheLocaleSeparators) {
  FakePlatform p;
  p.locale.DateSeparator = '-';
  p.locale.TimeSeparator = '.';
  p.locale.ThousandSeparator = '.';
  p.AddDir("/d/", {{"F", false, false, 1234567, kTime}});
  std::string out = Dir(p, "/d", {.Lower = true});
  EXPECT_EQ(out.substr(0, out.find('\n')), "1999-11-14 14.46.24" + std::string(13, ' ') +
                                               "1.234.567  f                             ");
}

TEST_F(CommandsTest, StatShowsAControlByteOfItsRootAsAQuestionMark) {
  FakePlatform p;
  LineWriter out(p.out, p.LineBreak());
  EntryList list;
  WriterFor({}, CommandKind::Stat, p, out)
      ->Finish(list, {0, nullptr,
                      "/a\x01"
                      "b/",
                      "<b>"});
  out.Flush();
  EXPECT_EQ(p.out.text, "<b>\nROOT /a?b/ FileCount=0\n");
}

}  // namespace
}  // namespace tvx::test
