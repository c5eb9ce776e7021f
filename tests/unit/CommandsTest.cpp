#include <gtest/gtest.h>

#include "DateTexts.h"
#include "FakePlatform.h"
#include "ScanWith.h"
#include "ShiftJis.h"
#include "cli/RunPlan.h"
#include "lines/Commands.h"
#include "lines/KeptInTurns.h"
#include "lines/Output.h"
#include "lines/dir/DirWriter.h"
#include "lines/list/ListWriter.h"
#include "lines/list/Macros.h"
#include "lines/records/Records.h"
#include "lines/stat/StatWriter.h"
#include "walk/Scan.h"

namespace tvx::test {
namespace {

// A command's writer as a run makes it: by the command's row, from the
// run's plan, which it may outlive.
std::unique_ptr<CommandWriter> WriterFor(ListOptions options, CommandKind command, FakePlatform& p,
                                         LineWriter& out, ThreadKit* threads = nullptr) {
  options.Command = command;
  const RunPlan plan = MakeRunPlan(options, p.Style(), p.Code());
  return MakeCommandWriter(
      *plan.Command, {plan.Options, p.Style(), p.locale, plan.Lines, plan.WritesDirectories, out,
                      nullptr, [](TDateTime) { return 0; }, threads});
}

// A tree in either syntax, scanned, then printed by one command.
class CommandsTest : public ::testing::Test {
 protected:
  std::string List(FakePlatform& p, const std::string& dir, ListOptions options,
                   bool recursive = false) {
    EntryList list;
    ScanDirectory(p, dir, list, recursive, true);
    LineWriter out(p.out, p.LineBreak());
    const std::unique_ptr<CommandWriter> writer = WriterFor(options, CommandKind::List, p, out);
    HandKeptList(list, *writer);
    writer->Finish(list, {});
    out.Flush();
    return p.out.text;
  }
  std::string Dir(FakePlatform& p, const std::string& dir, ListOptions options) {
    EntryList list;
    std::uint64_t total = ScanDirectory(p, dir, list, false, true);
    LineWriter out(p.out, p.LineBreak());
    const std::unique_ptr<CommandWriter> writer = WriterFor(options, CommandKind::Dir, p, out);
    HandKeptList(list, *writer);
    writer->Finish(list, {total, p.diskKnown ? &p.disk : nullptr, "", "<banner>"});
    out.Flush();
    return p.out.text;
  }
};

const TDateTime kTime = MakeDateTime(1999, 11, 14, 14, 46, 25);

TEST_F(CommandsTest, FullNamesOnWindowsDrivesRootsAndShares) {
  struct Row {
    std::string dir, expected;
  } rows[] = {
      {"C:\\", "C:\\a.txt\r\n"},
      {"C:", "C:\\a.txt\r\n"},
      {"c:\\data", "c:\\data\\a.txt\r\n"},
      {"\\\\srv\\share\\dir", "\\\\srv\\share\\dir\\a.txt\r\n"},
  };
  for (const Row& row : rows) {
    FakePlatform p(PathStyle::Windows);
    for (const char* d : {"C:\\", "c:\\data\\", "\\\\srv\\share\\dir\\"}) p.AddDir(d, {{"a.txt"}});
    EXPECT_EQ(List(p, row.dir, {}), row.expected) << row.dir;
  }
}

TEST_F(CommandsTest, DisplayedNamesCaseAndQuoting) {
  struct Row {
    ListOptions options;
    std::string expected;
  } rows[] = {
      {{}, "'/d/It'\\''s \"Doc\".txt'\n/d/Plain\n"},
      {{.NoQuote = true}, "/d/It's \"Doc\".txt\n/d/Plain\n"},
      {{.FileNameOnly = true}, "'It'\\''s \"Doc\".txt'\nPlain\n"},
      {{.Upper = true}, "'/D/IT'\\''S \"DOC\".TXT'\n/D/PLAIN\n"},
      {{.Upper = true, .Lower = true}, "'/d/it'\\''s \"doc\".txt'\n/d/plain\n"},
      {{.NoDir = true}, "'/d/It'\\''s \"Doc\".txt'\n"},
  };
  for (const Row& row : rows) {
    FakePlatform p;
    p.AddDir("/d/", {{"It's \"Doc\".txt"}, {"Plain", true}});
    EXPECT_EQ(List(p, "/d", row.options), row.expected);
  }
  // A name that needs nothing is still quoted, escaped or cased with its directory.
  struct DirRow {
    std::string dir;
    ListOptions options;
    std::string expected;
  } dirRows[] = {
      {"/a b/", {}, "'/a b/Plain'\n"},
      {"/it's/", {}, "'/it'\\''s/Plain'\n"},
      {"/a b/", {.FileNameOnly = true}, "Plain\n"},
      {"/a b/", {.Lower = true}, "'/a b/plain'\n"},
      {"/a b/", {.Nul = true}, std::string("/a b/Plain") + '\0'},
      {"/a b/", {.NoQuote = true}, "/a b/Plain\n"},
      {"/a b/", {.Prefix = "cp", .Suffix = "/b/"}, "cp '/a b/Plain' /b/\n"},
      {"/it's/", {.Prefix = "cp"}, "cp '/it'\\''s/Plain'\n"},
  };
  for (const DirRow& row : dirRows) {
    FakePlatform p;
    p.AddDir(row.dir, {{"Plain"}});
    EXPECT_EQ(List(p, row.dir, row.options), row.expected) << row.dir;
  }
  // Each directory's part of the line is its own, going down and back up.
  {
    FakePlatform p;
    p.AddDir("/d/", {{"a b", true}, {"c", true}, {"x"}});
    p.AddDir("/d/a b/", {{"f"}, {"it's", true}});
    p.AddDir("/d/a b/it's/", {{"g"}});
    p.AddDir("/d/c/", {{"h"}});
    EXPECT_EQ(List(p, "/d", {}, true),
              "'/d/a b'\n'/d/a b/f'\n'/d/a b/it'\\''s'\n'/d/a b/it'\\''s/g'\n/d/c\n/d/c/h\n/d/x\n");
  }
  // On Windows: double quotes, inner ones doubled, for a blank or a character
  // cmd treats specially; a quote in the directory alone quotes every name.
  struct WindowsRow {
    std::string dir, name, expected;
  } windowsRows[] = {
      {"C:\\d\\", "R&D", "\"C:\\d\\R&D\"\r\n"},
      {"C:\\d\\", "$x%y%", "C:\\d\\$x%y%\r\n"},
      {"C:\\(1)\\", "a", "\"C:\\(1)\\a\"\r\n"},
  };
  for (const WindowsRow& row : windowsRows) {
    FakePlatform p(PathStyle::Windows);
    p.AddDir(row.dir, {{row.name}});
    EXPECT_EQ(List(p, row.dir, {}), row.expected) << row.name;
  }
  {
    FakePlatform p(PathStyle::Windows);
    p.AddDir("C:\\a b\\", {{"f"}});
    EXPECT_EQ(List(p, "C:\\a b\\", {.Prefix = "copy", .Suffix = "D:\\b"}),
              "copy \"C:\\a b\\f\" D:\\b\r\n");
  }
  // A name no Windows name can be (a Unix mount's) stops LIST like a control byte.
  for (const char* name : {"a b\"c", "x>y", "*", "a:b", "a\\b"}) {
    FakePlatform p(PathStyle::Windows);
    p.AddDir("C:\\d\\", {{name}});
    EXPECT_THROW(List(p, "C:\\d", {}), UnwritableNamesFailure) << name;
    EXPECT_EQ(List(p, "C:\\d", {.Nul = true}), std::string("C:\\d\\") + name + '\0');
  }
  // A name Win32 takes for another (a last dot or blank, a device's) would
  // name that other on any line, /0's too; so would a directory's in a path.
  for (const char* name : {"keep ", "x.", "nul.txt", "COM1.log", "conin$"}) {
    FakePlatform p(PathStyle::Windows);
    p.AddDir("C:\\d\\", {{"keep"}, {name, true}});
    p.AddDir(std::string("C:\\d\\") + name + "\\", {{"f"}});
    EXPECT_THROW(List(p, "C:\\d", {}), UnwritableNamesFailure) << name;
    EXPECT_THROW(List(p, "C:\\d", {.Nul = true}), UnwritableNamesFailure) << name;
    EXPECT_THROW(List(p, "C:\\d", {.FileNameOnly = true}, true), UnwritableNamesFailure) << name;
    FakePlatform posix;
    posix.AddDir("/d/", {{name}});
    EXPECT_NO_THROW(List(posix, "/d", {})) << name;
  }
}

TEST_F(CommandsTest, NoDirLeavesOutDirectoriesButKeepsTheirContents) {
  FakePlatform p;
  p.AddDir("/d/", {{"s", true}});
  p.AddDir("/d/s/", {{"f"}});
  EXPECT_EQ(List(p, "/d", {.NoDir = true}, true), "/d/s/f\n");
}

TEST_F(CommandsTest, MacrosInPrefixAndSuffix) {
  struct Row {
    std::string prefix, suffix, name, expected;
  } rows[] = {
      {"copy", "D:\\backup", "a.txt", "copy /d/a.txt D:\\backup"},
      {"echo $SHORT", "", "a b", "echo 'a b' '/d/a b'"},
      {"[$FULL]", "[$SELF]", "a b", "['/d/a b'] '/d/a b' ['/d/a b']"},
      // A date text with a blank is one word too; the locale's texts keep
      // the 2-second form, the ISO ones show the exact second.
      {"$DATETIME|$DATE|$TIME", "", "f", "'11/14/99 2:46:24 pm'|11/14/99|'2:46:24 pm' /d/f"},
      {"$self $Date $DATETIMES", "", "f", "$self $Date '11/14/99 2:46:24 pm'S /d/f"},
      // What a macro puts in is never searched again.
      {"$SELF", "", "x$DATEy", "'/d/x$DATEy' '/d/x$DATEy'"},
      {"$SHORT", "", "$SHORT", "'$SHORT' '/d/$SHORT'"},
      {"$SHORT", "", "$EXT.x", "'$EXT.x' '/d/$EXT.x'"},
      {"$DATE$SHORT", "", "TIME", "11/14/99TIME /d/TIME"},
      {"$DATET$SHORTE", "", "IM", "11/14/99TIME /d/IM"},
      // No length cuts a replacement short.
      {std::string(65536, 'x') + "$SHORT", "", "a$", std::string(65536, 'x') + "'a$' '/d/a$'"},
      {"$PATH", "", "f", "$PATH /d/f"},
      // The name's parts, its size and the dates free of the locale; an empty
      // value that is a word of its own stays one.
      {"$NAME|$EXT|$SIZE", "", "a.tar.gz", "a.tar|.gz|1536 /d/a.tar.gz"},
      {"$NAME|$EXT", "", ".profile", ".profile|'' /d/.profile"},
      {"x$EXT", "", "f", "x /d/f"},
      {"$NAME|$EXT", "", "a b.c d", "'a b'|'.c d' '/d/a b.c d'"},
      {"$ISODATE $ISOTIME $STAMP", "", "f", "1999-11-14 14:46:25 19991114-144625 /d/f"},
      {"$REL|$PARENT", "", "it's", "'it'\\''s'|/d '/d/it'\\''s'"},
      // Inside the user's quotes: escaped for double quotes, the quote
      // closed and opened again inside single ones; an escaped "$" is no macro.
      {"cp \"$SELF\"", "", "a$`\"\\b", "cp \"/d/a\\$\\`\\\"\\\\b\" '/d/a$`\"\\b'"},
      {"x '$SHORT'", "'$EXT'", "it's", "x 'it'\\''s' '/d/it'\\''s' ''"},
      {"\\$SHORT \"\\$SHORT\"", "", "f", "\\$SHORT \"\\$SHORT\" /d/f"},
      // A quote left open by the prefix holds the displayed name.
      {"echo \"", "\"", "a'b", "echo \" /d/a'b \""},
      // "$(...)" is a command of its own wherever it stands; "${V:-...}"
      // outside quotes and inside them; a comment; bash's braces.
      {"echo \"$(basename $FULL)\"", "", "x;touch P",
       "echo \"$(basename '/d/x;touch P')\" '/d/x;touch P'"},
      {"echo \"$(echo \"$SHORT\" '$EXT')\"", "", "a$b", "echo \"$(echo \"a\\$b\" '')\" '/d/a$b'"},
      {"echo ${V:-$SHORT}", "", "a}b", "echo ${V:-'a}b'} '/d/a}b'"},
      {"echo \"${V:-$SHORT}\"", "", "a}\"$b", "echo \"${V:-a\\}\\\"\\$b}\" '/d/a}\"$b'"},
      {"echo ${V#$SHORT}", "", "a*", "echo ${V#'a*'} '/d/a*'"},
      {"echo $(($SIZE + 1))", "", "f", "echo $((1536 + 1)) /d/f"},
      {"echo $SHORT # it's", "", "a b", "echo 'a b' # it's '/d/a b'"},
      {"echo {x,$SHORT} {$NAME}", "", "a,b..c", "echo {x,'a,b..c'} {'a,b.'} /d/a,b..c"},
      {"echo x$SHORT,$SHORT", "", "a,b", "echo xa,b,a,b /d/a,b"},
      {"echo \\$$SHORT '$$SHORT'", "", "a b", "echo \\$'a b' '$a b' '/d/a b'"},
  };
  for (const Row& row : rows) {
    FakePlatform p;
    p.AddDir("/d/", {{row.name, false, false, 1536, kTime}});
    EXPECT_EQ(List(p, "/d", {.Prefix = row.prefix, .Suffix = row.suffix}), row.expected + "\n")
        << row.prefix;
  }
}

TEST(LineTemplateTest, ATemplateIsRefusedWhereNoMacroPlaceIsSure) {
  using enum QuoteRule;
  struct Row {
    QuoteRule rule;
    std::string text;
    bool refused;
  } rows[] = {
      {PosixShell, "echo \"$SHORT", true},  // ends inside a quote...
      {PosixShell, "echo '\\$SHORT", true},
      {PosixShell, "echo $SHORT \\", true},  // ...or after a lone escape
      {PosixShell, "echo \"$(basename $FULL", true},
      {PosixShell, "echo $(( $SIZE", true},
      {PosixShell, "echo $SHORT \\\\", false},
      {PosixShell, "echo `basename $FULL`", true},  // read twice by the shell
      {PosixShell, "echo \"`basename $FULL`\"", true},
      {PosixShell, "echo `date` $SHORT", false},
      {PosixShell, "cat <<EOF\n$SHORT\nEOF", true},
      {PosixShell, "cat <<<$SHORT", false},
      {PosixShell, "echo $SHORT\necho done", false},
      {PosixShell, "echo US$$SHORT", true},  // "$" joins the value
      {PosixShell, "echo \"US$$SHORT\"", true},
      {PosixShell, "echo US\\$$SHORT 'US$$SHORT'", false},
      {PosixShell, "echo $'$SHORT'", true},
      {PosixShell, "echo ${$SHORT} ", true},
      {PosixShell, "echo ${#$SHORT}", true},
      {PosixShell, "echo ${V:1:$SIZE}", true},  // arithmetic
      {PosixShell, "echo ${A[$SHORT]}", true},
      {PosixShell, "echo $(($SHORT))", true},
      {PosixShell, "echo $(($SIZE/2)) ${V:-$SHORT} ${V%$EXT}", false},
      {PosixShell, "echo \"${V:-$SHORT}\" \"${V:+\"$SHORT\"}\"", false},
      {PosixShell, "echo \"${V#$SHORT}\"", true},  // a pattern
      {PosixShell, "echo \"${V:-'$SHORT'}\"", true},
      {PosixShell, "echo $(case $SHORT in a) echo;; esac)", true},
      {PosixShell, "case $SHORT in a) echo;; esac", false},
      {PosixShell, "echo $SHORT # it's \"", false},
      {PosixShell, "(cd $PARENT && rm $SHORT)", false},
      {CommandPrompt, "echo \"$SHORT", true},
      {CommandPrompt, "echo $SHORT ^", true},
      {CommandPrompt, "echo pre^\"$SHORT", true},
      {CommandPrompt, "echo \"$SHORT\n\"", true},  // a quote ends with its line
      {CommandPrompt, "echo US$$SHORT ^^ '$SHORT", false},
  };
  for (const Row& row : rows) {
    const std::size_t at = LineTemplate::Whole(row.text, row.rule, CodePage::Utf8()).RefusedAt();
    EXPECT_EQ(at != std::string::npos, row.refused) << row.text;
  }
}

TEST_F(CommandsTest, PathMacrosInATreeOnBothSystems) {
  struct Row {
    PathStyle style;
    ListOptions options;
    std::string expected;  // the line of the file in the subdirectory
  } rows[] = {
      {PathStyle::Posix,
       {.Line = "cp $SELF /b/$REL", .HasLine = true},
       "cp '/r t/s d/a b' /b/'s d/a b'"},
      {PathStyle::Posix,
       {.Lower = true, .Line = "$PARENT/$NAME.png", .HasLine = true},
       "'/r t/s d'/'a b'.png"},
      {PathStyle::Posix,
       {.NoQuote = true, .Upper = true, .Prefix = "$REL", .Suffix = "$FULL"},
       "S D/A B /R T/S D/A B /r t/s d/a b"},
      // On Windows the whole word goes in quotes, so that the C runtime
      // reads it as one argument too; inside the user's quotes a value is raw.
      {PathStyle::Windows,
       {.Line = "copy $SELF D:\\b\\$REL", .HasLine = true},
       "copy \"C:\\r t\\s d\\a b\" \"D:\\b\\s d\\a b\""},
      {PathStyle::Windows,
       {.Upper = true, .Line = "$FULL|$SHORT|$PARENT", .HasLine = true},
       "\"C:\\r t\\s d\\a b\"|\"a b\"|\"C:\\R T\\S D\""},
      {PathStyle::Windows,
       {.Line = "x \"$FULL\" --to=\"D:\\\"$NAME.png $EXT", .HasLine = true},
       "x \"C:\\r t\\s d\\a b\" \"--to=D:\\a b.png\" \"\""},
      // Parentheses that open or end a word are cmd's: outside the quotes;
      // a "^" the user wrote still escapes for the program.
      {PathStyle::Windows,
       {.Line = "if exist $FULL (rec $SHORT)", .HasLine = true},
       "if exist \"C:\\r t\\s d\\a b\" (rec \"a b\")"},
      {PathStyle::Windows,
       {.Line = "for %%f in ($FULL) do ((echo pre^&$NAME^)) & x^^$EXT)", .HasLine = true},
       "for %%f in (\"C:\\r t\\s d\\a b\") do ((echo \"pre&a b)\") & x^^)"},
      {PathStyle::Windows,
       {.Line = "(x $NAME^^)) & (y $NAME^))", .HasLine = true},
       "(x \"a b^\")) & (y \"a b)\")"},
      // A line break ends a word: one macro's quotes never span two lines.
      {PathStyle::Windows, {.Line = "x $SHORT\ny", .HasLine = true}, "x \"a b\"\ny"},
  };
  for (const Row& row : rows) {
    FakePlatform p(row.style);
    const bool posix = row.style == PathStyle::Posix;
    const std::string root = posix ? "/r t/" : "C:\\r t\\";
    p.AddDir(root, {{"s d", true}});
    p.AddDir(root + (posix ? "s d/" : "s d\\"), {{"a b"}});
    const std::string out = List(p, root, row.options, true);
    const std::string lb(p.LineBreak());
    EXPECT_EQ(out.substr(out.find(lb) + lb.size()), row.expected + lb) << out;
  }
  // A name that needs nothing in a directory that needs quotes: $SELF is
  // quoted by its directory, and not at all as the name alone.
  for (const bool posix : {true, false}) {
    for (const bool nameOnly : {false, true}) {
      FakePlatform p(posix ? PathStyle::Posix : PathStyle::Windows);
      const std::string dir = posix ? "/r t/" : "C:\\r t\\";
      p.AddDir(dir, {{"ab"}});
      const std::string self = nameOnly ? "ab" : posix ? "'/r t/ab'" : "\"C:\\r t\\ab\"";
      EXPECT_EQ(List(p, dir, {.FileNameOnly = nameOnly, .Line = "x $SELF", .HasLine = true}),
                "x " + self + std::string(p.LineBreak()));
    }
  }
  // A directory of the root gives its name; the root's parent is itself.
  FakePlatform p;
  p.AddDir("/", {{"x"}});
  EXPECT_EQ(List(p, "/", {.Line = "$REL $PARENT", .HasLine = true}), "x /\n");
}

TEST_F(CommandsTest, MacrosFormedAcrossInsertedTextStayText) {
  struct Row {
    std::string prefix, name, expected;
  } rows[] = {
      // "$SHOR" + "T" would form "$SHORT": what a macro puts in is only text.
      {"$SHOR$SELF", "T", "$SHORT T"},
      {"$DA$SHORT", "TE", "$DATE TE"},
      // Quoted, case-mapped and dollar-bearing names in every macro.
      {"<$SELF|$SHORT|$FULL>", "a $b", "<'a $b'|'a $b'|'/d/a $b'> 'a $b'"},
      {"<$SELF|$TIME>", "x y", "<'x y'|'2:46:24 pm'> 'x y'"},
  };
  for (const Row& row : rows) {
    FakePlatform p;
    p.AddDir("/d/", {{row.name, false, false, 0, kTime}});
    EXPECT_EQ(List(p, "/d", {.FileNameOnly = true, .Prefix = row.prefix}), row.expected + "\n")
        << row.prefix;
  }
}

TEST_F(CommandsTest, DateTextsOfDifferentTimesNeverMix) {
  // Times kept for reuse must not be confused when they share a place.
  FakePlatform p;
  std::vector<FakeEntry> entries;
  for (int i = 0; i < 6; ++i) {
    entries.push_back({"f" + std::to_string(i), false, false, 0, kTime + (i % 3) * 1018 * (i + 1)});
  }
  p.AddDir("/d/", entries);
  const std::string out = List(p, "/d", {.FileNameOnly = true, .Prefix = "$TIME"});
  for (int i = 0; i < 6; ++i) {
    const std::string line = "'" + TimeText(kTime + (i % 3) * 1018 * (i + 1), p.locale) + "' f" +
                             std::to_string(i) + "\n";
    EXPECT_NE(out.find(line), std::string::npos) << line << out;
  }
}

TEST_F(CommandsTest, MidnightDateTimeShowsTheDateAlone) {
  FakePlatform p;
  p.AddDir("/d/", {{"m", false, false, 0, MakeDateTime(2001, 2, 3, 0, 0, 0)},
                   {"n", false, false, 0, MakeDateTime(2001, 2, 3, 0, 0, 2)}});
  std::string out = List(p, "/d", {.Prefix = "$DATETIME"});
  EXPECT_NE(out.find("2/3/01 /d/m\n"), std::string::npos) << out;
  EXPECT_NE(out.find("'2/3/01 12:00:02 am' /d/n\n"), std::string::npos) << out;
}

TEST_F(CommandsTest, ShiftJisNamesKeepTheirTrailBytes) {
  FakePlatform p(PathStyle::Windows);
  p.code = fixtures::ShiftJis();
  p.locale.Code = p.code;
  // "ソ" ends in 0x5C; "ャ" (0x83 0x83) and "ア" (0x83 0x41) carry trail bytes a case map must not
  // touch.
  p.AddDir("C:\\\x83\x5C\\", {{"\x83\x41\x83\x61 a b"}});
  EXPECT_EQ(List(p, "C:\\\x83\x5C", {.Upper = true}), "\"C:\\\x83\x5C\\\x83\x41\x83\x61 A B\"\r\n");
  p.out.text.clear();
  EXPECT_EQ(List(p, "C:\\\x83\x5C", {.Lower = true, .Prefix = "$SHORT"}),
            "\"\x83\x41\x83\x61 a b\" \"c:\\\x83\x5C\\\x83\x41\x83\x61 a b\"\r\n");
  // A trail byte that equals "\\" is no separator in a name.
  p.out.text.clear();
  p.AddDir("C:\\t\\", {{"\x83\x5C"}});
  EXPECT_EQ(List(p, "C:\\t", {}), "C:\\t\\\x83\x5C\r\n");
  // Nor a backslash doubled before a closing quote; a real one still is.
  p.out.text.clear();
  p.AddDir("C:\\o d\\", {{"old \x95\x5C"}});
  EXPECT_EQ(List(p, "C:\\o d", {.Batch = true, .Prefix = "del"}),
            "del \"C:\\o d\\old \x95\x5C\"\r\n");
  p.out.text.clear();
  EXPECT_EQ(List(p, "C:\\o d", {.Line = "x \"$SHORT\" $FULL\\", .HasLine = true}),
            "x \"old \x95\x5C\" \"C:\\o d\\old \x95\x5C\\\\\"\r\n");
}

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

// One writer, two ways: handed each entry as the walk reaches it, or
// replaying the kept list after the scan. Both give the same bytes.
TEST_F(CommandsTest, EachWriterGivesTheSameOutputStreamedAndKept) {
  const std::string drive = "\n - DRIVE INFO\n 0 KB (0 bytes)\n 0 KB (0 bytes) free\n";
  struct Row {
    ListOptions options;
    std::string ending;  // of the output
  } rows[] = {
      {{.Command = CommandKind::List},
       "/d/f\n'/d/s t'\n'/d/s t/g'\n'/d/s t/u'\n'/d/s t/u/h'\n/d/t\n"},
      {{.Command = CommandKind::List, .NoDir = true}, "/d/f\n'/d/s t/g'\n'/d/s t/u/h'\n/d/t\n"},
      {{.Command = CommandKind::Dir}, "\n 6 files exists. 0 KB (35 bytes)\n" + drive + "<b>\n"},
      {{.Command = CommandKind::Stat}, "<b>\nROOT /d/ FileCount=6\n"},
      {{.Command = CommandKind::List, .NoDir = true, .Records = RecordForm::Json},
       "\"depth\":1}\n"},
      {{.Command = CommandKind::Dir, .Records = RecordForm::Json},
       R"({"total":{"root":"/d/","entries":6,"files":4,"dirs":2,"bytes":35,"drive_bytes":0,)"
       R"("drive_free":0}})"
       "\n"},
      {{.Command = CommandKind::Stat, .Records = RecordForm::Csv},
       "root,count,files,dirs,bytes,raw\n/d/,6,4,2,35,\n"},
  };
  for (const Row& row : rows) {
    std::string outputs[2];
    for (const bool streamed : {true, false}) {
      FakePlatform p;
      p.AddDir("/d/", {{"f", false, false, 10}, {"s t", true}, {"t", false, false, 20}});
      p.AddDir("/d/s t/", {{"g", false, false, 5}, {"u", true}});
      p.AddDir("/d/s t/u/", {{"h"}});
      LineWriter out(p.out, p.LineBreak());
      const std::unique_ptr<CommandWriter> writer =
          WriterFor(row.options, row.options.Command, p, out);
      EntryList list;
      if (streamed) list.StreamTo(writer.get());
      const std::uint64_t total = ScanDirectory(p, "/d", list, true, true);
      if (!streamed) HandKeptList(list, *writer);
      writer->Finish(list, {total, nullptr, list.Root(), "<b>"});
      out.Flush();
      outputs[streamed] = p.out.text;
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_TRUE(outputs[1].ends_with(row.ending)) << outputs[1];
  }
}

// Kept, the whole list is checked first: a name that cannot be written
// stops LIST before the lines of the names that could.
TEST_F(CommandsTest, AKeptListStopsBeforeItsFirstLine) {
  FakePlatform p;
  p.AddDir("/d/", {{"a"}, {"b\x01"}});
  EntryList list;
  ScanDirectory(p, "/d", list, false, false);
  LineWriter out(p.out, p.LineBreak());
  const ListOptions options{.Command = CommandKind::List};
  const std::unique_ptr<CommandWriter> writer = WriterFor(options, CommandKind::List, p, out);
  EXPECT_THROW(HandKeptList(list, *writer), UnwritableNamesFailure);
  out.Flush();
  EXPECT_EQ(p.out.text, "");
}

// Writes each entry's name; fails at the entry named failAt, forked or not.
class NameLines final : public CommandWriter {
 public:
  NameLines(LineWriter& out, std::string failAt) : out_(out), failAt_(std::move(failAt)) {}
  void Take(const EntryList&, const TTarvixFileInfo& entry) override {
    if (entry.Name() == failAt_) throw LimitFailure();
    out_.Append(entry.Name());
    out_.EndLine();
  }
  void Finish(const EntryList&, const RunSummary&) override {}
  std::unique_ptr<CommandWriter> Fork(LineWriter& out) const override {
    return std::make_unique<NameLines>(out, failAt_);
  }

 private:
  LineWriter& out_;
  const std::string failAt_;
};

// Long enough for runs in turns, a kept list is written by two threads: in
// the plain loop's order, and a failure in either thread's run (the helper's
// at e5000, this thread's at e9000) ends it there, with nothing after.
TEST_F(CommandsTest, AKeptListWrittenInTurnsKeepsItsOrder) {
  std::vector<FakeEntry> entries;
  for (int i = 0; i < 3 * 4096 + 5; ++i) entries.push_back({"e" + std::to_string(i)});
  std::string whole;
  for (const std::string failAt : {"", "e5000", "e9000"}) {
    for (const bool inTurns : {false, true}) {
      FakePlatform p;
      p.AddDir("/d/", entries);
      EntryList list;
      ScanDirectory(p, "/d", list, false, false);
      LineWriter out(p.out, p.LineBreak());
      NameLines writer(out, failAt);
      TestThreadKit kit;
      bool failed = false;
      try {
        WriteKeptInTurns(list, writer, out, inTurns ? &kit : nullptr);
        out.Flush();
      } catch (const LimitFailure&) {
        failed = true;
        out.Discard();
      }
      EXPECT_EQ(kit.started, inTurns ? 1 : 0);
      EXPECT_EQ(failed, !failAt.empty());
      if (failAt.empty() && !inTurns) whole = p.out.text;
      if (failAt.empty()) {
        EXPECT_EQ(p.out.text, whole);
      } else {
        EXPECT_EQ(p.out.text.find(failAt + "\n"), std::string::npos);
      }
      EXPECT_TRUE(whole.starts_with(p.out.text));
    }
  }
  EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3 * 4096 + 5);
}

// Each writer that forks, kept and written in turns: the plain loop's bytes,
// the totals after the records included.
TEST_F(CommandsTest, EachWriterGivesTheSameOutputInTurns) {
  std::vector<FakeEntry> entries;
  // Names with a blank and quiet ones, in a directory whose part of a line is quoted.
  for (int i = 0; i < 2 * 4096 + 7; ++i) {
    entries.push_back(
        {(i % 3 == 0 ? "n " : "n") + std::to_string(i), i % 5 == 0, false, std::uint64_t(i)});
  }
  const ListOptions rows[] = {
      {.Command = CommandKind::List},
      {.Command = CommandKind::Dir},
      {.Command = CommandKind::Dir, .Records = RecordForm::Json},
      {.Command = CommandKind::List, .Records = RecordForm::Csv},
  };
  for (const ListOptions& options : rows) {
    std::string outputs[2];
    for (const bool inTurns : {false, true}) {
      FakePlatform p;
      p.AddDir("/d e/", entries);
      TestThreadKit kit;
      LineWriter out(p.out, p.LineBreak());
      const auto writer = WriterFor(options, options.Command, p, out, inTurns ? &kit : nullptr);
      EntryList list;
      const std::uint64_t total = ScanDirectory(p, "/d e", list, false, true);
      HandKeptList(list, *writer);
      writer->Finish(list, {total, nullptr, list.Root(), "<b>"});
      out.Flush();
      outputs[inTurns] = p.out.text;
      EXPECT_EQ(kit.started, inTurns ? 1 : 0);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
  }
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
