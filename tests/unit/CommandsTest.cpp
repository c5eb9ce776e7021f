#include "CommandsFixture.h"

namespace tvx::test {
namespace {

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

}  // namespace
}  // namespace tvx::test
