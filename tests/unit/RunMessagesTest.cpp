// The run's messages, streams and output as a user meets them.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakePlatform.h"
#include "RunFixture.h"
#include "cli/Run.h"
#include "text/Messages.h"

namespace tvx::test {
namespace {

// Where each message goes: every failure and warning on standard error, on
// both systems, so that standard output holds only the command's own lines.
TEST(RunTest, EachMessageGoesToItsStream) {
  struct Row {
    PathStyle style;
    std::vector<std::string> params;
    int exitCode;
    std::string output, error;
  } rows[] = {
      {PathStyle::Posix,
       {"FOO", "nowhere/x"},
       1,
       "",
       "Specified directory [nowhere/x] is not found.\n"},
      // "/R" in the directory's place is taken as the directory.
      {PathStyle::Posix, {"LIST", "/R"}, 1, "", "Specified directory [/R] is not found.\n"},
      {PathStyle::Windows,
       {"LIST", "C:\\no&echo INJECTED", "/P=del"},
       1,
       "",
       "Specified directory [C:\\no&echo INJECTED] is not found.\r\n"},
      {PathStyle::Posix, {"LIST", "/top", "/R"}, 1, "", "<File access denied> [/top/s]\n"},
      // An unknown option stops the run before the scan: a typo must never
      // widen a batch. What is no option at all is warned about and ignored.
      {PathStyle::Posix, {"LIST", "/top", "/NOD", "/DIR"}, 1, "", "<Unknown option> [/DIR]\n"},
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/p:x", "/noq"},
       1,
       "",
       "<Unknown option> [/p:x]\r\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/M*.tmp", "/P=rm"},
       1,
       "",
       "<Unknown option> [/M*.tmp]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/R", "/MINAGE30"},
       1,
       "",
       "<Unknown option> [/MINAGE30]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/EXLUDE:.git"},
       1,
       "",
       "<Unknown option> [/EXLUDE:.git]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/REC"}, 1, "", "<Unknown option> [/REC]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/PR=x"}, 1, "", "<Unknown option> [/PR=x]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/P=echo", "rm", "-R", "/NOD"},
       0,
       "echo /top/f\necho /top/t\n",
       "<Unexpected parameter ignored> [rm]\n<Unexpected parameter ignored> [-R]\n"},
      // A bare prefix or suffix is an empty one.
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/P", "/suffix", "/D"},
       0,
       "C:\\top\\f\r\nC:\\top\\t\r\n",
       ""},
      // An unknown command word scans nothing and fails.
      {PathStyle::Posix, {"LST", "/top", "/R"}, 1, "", "\nCommand Unknown.\n" + kBanner + "\n"},
      {PathStyle::Windows,
       {"LST", "C:\\top"},
       1,
       "",
       "\r\nCommand Unknown.\r\n\r\nTarvix ver. 1.02\r\n (C) us (tests)\r\n"},
      // A value missing stops the run before the scan.
      {PathStyle::Posix, {"LIST", "/top", "/R", "/lev"}, 1, "", "<Invalid value> [/lev]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/O:NX"}, 1, "", "<Invalid value> [/O:NX]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/order=N-"}, 1, "", "<Invalid value> [/order=N-]\n"},
      {PathStyle::Windows, {"LIST", "C:\\top", "/O:"}, 1, "", "<Invalid value> [/O:]\r\n"},
      // A template is the whole line: with a prefix or suffix, or empty, it is a bad value.
      {PathStyle::Posix,
       {"LIST", "/top", "/LINE:x $REL", "/P=y"},
       1,
       "",
       "<Invalid value> [/LINE:x $REL]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/S=y", "/line=x"}, 1, "", "<Invalid value> [/line=x]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/LINE="}, 1, "", "<Invalid value> [/LINE=]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/LINE=", "/LINE=x"},
       1,
       "",
       "<Invalid value> [/LINE=]\n"},
      {PathStyle::Posix, {"LIST", "/top", "/LINE=x", "/P"}, 1, "", "<Invalid value> [/LINE=x]\n"},
      // A template the reader cannot be sure of is refused before the scan,
      // naming the option the doubt is in.
      {PathStyle::Posix,
       {"LIST", "/top", "/LINE=echo \"$SHORT"},
       1,
       "",
       "<Invalid value> [/LINE=echo \"$SHORT]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/P=echo `ls $SELF", "/S=`"},
       1,
       "",
       "<Invalid value> [/P=echo `ls $SELF]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/P=echo", "/S=x \\"},
       1,
       "",
       "<Invalid value> [/S=x \\]\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/P=echo \"", "/S=\""},
       0,
       "echo \" /top/f \"\necho \" /top/s \"\necho \" /top/t \"\n",
       ""},
      {PathStyle::Windows, {"LIST", "C:\\top", "/S=^"}, 1, "", "<Invalid value> [/S=^]\r\n"},
      // Lines without quotes are text: no shell reads them.
      {PathStyle::Posix,
       {"LIST", "/top", "/P=it's", "/Q"},
       0,
       "it's /top/f\nit's /top/s\nit's /top/t\n",
       ""},
      {PathStyle::Posix,
       {"LIST", "/top", "/NUL", "/O:N", "/LINE=`$SHORT"},
       0,
       std::string("`f\0`s\0`t\0", 9),
       ""},
      // Sorted, and sorted in reverse; a template alone; NUL-ended records.
      {PathStyle::Posix, {"LIST", "/top", "/O:-N", "/F"}, 0, "t\ns\nf\n", ""},
      {PathStyle::Posix, {"LIST", "/top", "/O:gn", "/LINE=mk $REL"}, 0, "mk s\nmk f\nmk t\n", ""},
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/O:N", "/0", "/LINE=$NAME"},
       0,
       std::string("f\0s\0t\0", 6),
       ""},
      {PathStyle::Posix, {"LIST", "/top", "/Lev=x"}, 1, "", "<Invalid value> [/Lev=x]\n"},
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/MAXAGE:20260230"},
       1,
       "",
       "<Invalid value> [/MAXAGE:20260230]\r\n"},
      // An excluded directory, or one on the last level, is not entered: it cannot fail.
      {PathStyle::Posix, {"LIST", "/top", "/R", "/X:s"}, 0, "/top/f\n/top/t\n", ""},
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/LEV:1", "/A:-D"},
       0,
       "C:\\top\\f\r\nC:\\top\\t\r\n",
       ""},
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/R"},
       1,
       "",
       "<File access denied> [C:\\top\\s]\r\n"},
      {PathStyle::Posix,
       {"LIST", "/top", "/R", "/C"},
       1,
       "/top/f\n/top/s\n/top/t\n",
       "<File access denied> [/top/s]\n"},
      {PathStyle::Windows,
       {"LIST", "C:\\top", "/CONTINUE", "/R"},
       1,
       "C:\\top\\f\r\nC:\\top\\s\r\nC:\\top\\t\r\n",
       "<File access denied> [C:\\top\\s]\r\n"},
  };
  for (const Row& row : rows) {
    FakePlatform p(row.style);
    const std::string top = row.style == PathStyle::Posix ? "/top/" : "C:\\top\\";
    p.AddDir(top, {{"f"}, {"s", true}, {"t"}});
    p.AddDir(top + "s" + top.back(), {{"g"}});
    p.enterFailures[top + "s" + top.back()] = 5;
    Outcome o = RunWith(p, row.params);
    EXPECT_EQ(o.exitCode, row.exitCode) << row.params[1];
    EXPECT_EQ(o.output, row.output) << row.params[1];
    EXPECT_EQ(o.error, row.error) << row.params[1];
  }
  // A standard error that cannot be written costs the messages, not the listing.
  FakePlatform p;
  p.AddDir("/top/", {{"f"}, {"s", true}, {"t"}});
  p.enterFailures["/top/s/"] = 5;
  p.err.failWithCode = 101;
  Outcome o = RunWith(p, {"LIST", "/top", "/R", "/C"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.output, "/top/f\n/top/s\n/top/t\n");
  EXPECT_EQ(RunWith(p, {"LIST", "/nowhere"}).exitCode, 1);
}

// After the names LIST cannot write, when it stops before writing.
const std::string kNothingWritten =
    "<Nothing written: /C leaves these names out; /0 or /JSON writes them>\n";
// The same when /0 does not write them all.
const std::string kJsonWritesAll =
    "<Nothing written: /C leaves these names out; /JSON writes them all>\n";

TEST(RunTest, NamesWithMissingCharactersStopListButNotDirOrStat) {
  struct Row {
    std::vector<std::string> params;
    int exitCode;
    std::string output;
    bool whole = true;  // else a part of it
  };
  // On standard error; nothing is written before it.
  const std::string failure =
      "<Name not writable in this code page; /UTF8 writes it> [/top/s/g?.txt]\n";
  const std::string stop = failure + kJsonWritesAll;
  const std::vector<Row> rows = {
      // Nothing is written before the failure, as for a directory that
      // cannot be entered.
      {{"LIST", "/top", "/R"}, 1, stop},
      {{"LIST", "/top", "/R", "/D", "/F"}, 1, stop},
      {{"LIST", "/top"}, 0, "/top/f\n/top/s\n"},
      {{"STAT", "/top", "/R"}, 0, kBanner + "\nROOT /top FileCount=3\n"},
      {{"DIR", "/top", "/R"}, 0, "g?.txt", false},
      // A name that is not chosen is never refused.
      {{"LIST", "/top", "/R", "/M:f;h"}, 0, "/top/f\n"},
      {{"LIST", "/top", "/R", "/X:g*"}, 0, "/top/f\n/top/s\n"},
      {{"STAT", "/top", "/LEV:1"}, 0, kBanner + "\nROOT /top FileCount=2\n"},
  };
  for (const Row& row : rows) {
    FakePlatform p = Tree();
    p.tree["/top/s/"] = {{"g?.txt", false, false, 0, 0, true}};
    Outcome o = RunWith(p, row.params);
    EXPECT_EQ(o.exitCode, row.exitCode) << row.params[0];
    if (row.exitCode == 1) {
      EXPECT_EQ(o.output + "|" + o.error, "|" + row.output) << row.params[0];
    } else if (row.whole) {
      EXPECT_EQ(o.output, row.output) << row.params[0];
    } else {
      EXPECT_NE(o.output.find(row.output), std::string::npos) << o.output;
    }
  }
  // With /C the entry is reported and left out, and the listing goes on.
  FakePlatform c = Tree();
  c.tree["/top/s/"] = {{"g?.txt", false, false, 0, 0, true}, {"h"}};
  Outcome left = RunWith(c, {"LIST", "/top", "/R", "/C"});
  EXPECT_EQ(left.exitCode, 1);
  EXPECT_EQ(left.output + "|" + left.error, "/top/f\n/top/s\n/top/s/h\n|" + failure);
  // A directory left out by /NODIR and not entered names nothing.
  FakePlatform p = Tree();
  p.tree["/top/"] = {{"f"}, {"?", true, false, 0, 0, true}};
  EXPECT_EQ(RunWith(p, {"LIST", "/top", "/D"}).output, "/top/f\n");
  FakePlatform q = Tree();
  q.tree["/top/"] = {{"f"}, {"?", true, false, 0, 0, true}};
  EXPECT_EQ(RunWith(q, {"LIST", "/top", "/R", "/D"}).exitCode, 1);

  // A control byte: its line would break, or name another file with "?".
  // /0 writes it exactly; DIR shows "?"; on Windows, /0 leaves a name the
  // code page lacks unwritable.
  struct ControlRow {
    std::vector<std::string> params;
    int exitCode;
    std::string output, error;
  } controlRows[] = {
      {{"LIST", "/top", "/R"},
       1,
       "",
       "<Name not writable on one line; /0 writes it> [/top/s/g?]\n" + kNothingWritten},
      {{"LIST", "/top", "/R", "/C", "/F"},
       1,
       "f\ns\nh\n",
       "<Name not writable on one line; /0 writes it> [/top/s/g?]\n"},
      {{"LIST", "/top", "/R", "/0", "/P=$SHORT"},
       0,
       std::string("f /top/f\0s /top/s\0g\n /top/s/g\n\0h /top/s/h\0", 42),
       ""},
      {{"LIST", "/top", "/R", "/0", "/O:-N", "/F"}, 0, std::string("s\0h\0g\n\0f\0", 9), ""},
  };
  for (const ControlRow& row : controlRows) {
    FakePlatform c = Tree();
    c.tree["/top/s/"] = {{"g\n"}, {"h"}};
    Outcome o = RunWith(c, row.params);
    EXPECT_EQ(o.exitCode, row.exitCode) << row.params.back();
    EXPECT_EQ(o.output, row.output) << row.params.back();
    EXPECT_EQ(o.error, row.error) << row.params.back();
  }
  // Every such name is named, the first 20 of them, before nothing is
  // written; a directory's once for what is inside it. With /C and a ranking
  // the best writable entries are written, the others reported.
  FakePlatform many;
  std::vector<FakeEntry> names;
  for (char c = 'a'; c <= 'w'; ++c) names.push_back({std::string(1, c) + "\n"});
  names.push_back({"ok"});
  many.AddDir("/m/", names);
  std::string named;
  for (char c = 'a'; c <= 't'; ++c)
    named += "<Name not writable on one line; /0 writes it> [/m/" + std::string(1, c) + "?]\n";
  Outcome stopped = RunWith(many, {"LIST", "/m", "/O:N"});
  EXPECT_EQ(stopped.output, "");
  EXPECT_EQ(stopped.error, named + "<and 3 more names not writable>\n" + kNothingWritten);
  FakePlatform top = Tree();
  top.tree["/top/"] = {{"a\nb"}, {"c"}, {"d"}, {"e"}, {"f"}};
  Outcome best = RunWith(top, {"LIST", "/top", "/C", "/TOP:3", "/O:N"});
  EXPECT_EQ(best.output + "|" + best.error,
            "/top/c\n/top/d\n/top/e\n|<Name not writable on one line; /0 writes it> [/top/a?b]\n");
  EXPECT_EQ(best.exitCode, 1);

  // Only what a line holds counts: a listed directory whose path holds a
  // control byte, under /F and with no macro that puts in a path.
  FakePlatform r;
  r.AddDir("/a\nb/", {{"f"}});
  EXPECT_EQ(RunWith(r, {"LIST", "/a\nb", "/F", "/P=$SHORT"}).output, "f f\n");
  EXPECT_EQ(RunWith(r, {"LIST", "/a\nb", "/F", "/P=$PARENT"}).error,
            "<Name not writable on one line; /0 writes it> [/a?b]\n" + kNothingWritten);
  // A directory a filter leaves out still stands in its contents' lines.
  FakePlatform m = Tree();
  m.tree["/top/"] = {{"f.txt"}, {"a\nb", true}};
  m.tree["/top/a\nb/"] = {{"x.txt"}};
  Outcome filtered = RunWith(m, {"LIST", "/top", "/R", "/M:*.txt", "/C"});
  EXPECT_EQ(filtered.output + "|" + filtered.error,
            "/top/f.txt\n|<Name not writable on one line; /0 writes it> [/top/a?b]\n");
  FakePlatform d = Tree();
  d.tree["/top/"] = {{"g\x7f"}};
  EXPECT_NE(RunWith(d, {"DIR", "/top"}).output.find("  g? "), std::string::npos);
  FakePlatform w(PathStyle::Windows);
  w.AddDir("C:\\top\\", {{"g?", false, false, 0, 0, true}});
  EXPECT_EQ(RunWith(w, {"LIST", "C:\\top", "/0"}).error,
            "<Name not writable in this code page; /UTF8 writes it> [C:\\top\\g?]\r\n<Nothing "
            "written: /C leaves these names out; /JSON writes them all>\r\n");
}

TEST(RunTest, FailureMessagesInBothLanguagesNameTheDirectory) {
  struct Row {
    int code;
    Language language;
    std::string text;
  } rows[] = {
      {2, Language::English, "File not found"},
      {3, Language::English, "Invalid file name"},
      {4, Language::English, "Too many open files"},
      {5, Language::English, "File access denied"},
      {100, Language::English, "Read beyond end of file"},
      {101, Language::English, "Disk full"},
      {106, Language::English, "Invalid numeric input"},
      {1234, Language::English, "I/O error (1234)"},
      // A closed pipe's number from a directory read is no closed output.
      {IoFailure::kBrokenPipe, Language::English, "I/O error (109)"},
      {5, Language::Japanese, "ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
      {1234, Language::Japanese, "I/O ｴﾗｰ (1234)"},
      // A system's own number (EIO) is shown as it is, never as a message's.
      {IoFailure::SystemNumber(5), Language::English, "I/O error (5)"},
      {IoFailure::SystemNumber(5), Language::Japanese, "I/O ｴﾗｰ (5)"},
  };
  for (const Row& row : rows) {
    FakePlatform p = Tree();
    p.language = row.language;
    p.enterFailures["/top/s/"] = row.code;
    Outcome o = RunWith(p, {"LIST", "/top", "/R"});
    EXPECT_EQ(o.exitCode, 1);
    // The scan fails before anything is printed; the text is converted for the system.
    EXPECT_EQ(o.error, "<" + row.text + "> [/top/s]\n");
    EXPECT_EQ(o.output, "");
  }
  const SystemText same = [](std::string_view text) { return std::string(text); };
  const AssertionFailure assertion("GetVersionEx() Error!", "Utils", 309);
  EXPECT_EQ(assertion.Message(Language::English, same), "GetVersionEx() Error! (Utils, line 309)");
  EXPECT_EQ(assertion.Message(Language::Japanese, same), "GetVersionEx() Error! (Utils, 309 行)");
  UnwritableNamesFailure names;
  names.Add(RewrittenNameFailure("C:\\d\\nul.txt"));
  names.Add(RewrittenNameFailure("C:\\d\\x."));
  EXPECT_EQ(names.Message(Language::Japanese, same),
            "Windows が別のﾌｧｲﾙと読む名前です (/JSON で書けます) [C:\\d\\nul.txt]\r\n"
            "Windows が別のﾌｧｲﾙと読む名前です (/JSON で書けます) [C:\\d\\x.]\r\n"
            "何も書いていません: /C でこれらの名前を除けます (/JSON ですべて書けます)");
  for (std::size_t i = 0; i < UnwritableNamesFailure::kMaxNamed; ++i)
    names.Add(ControlNameFailure("/x"));
  EXPECT_NE(
      names.Message(Language::Japanese, same).find("\r\nほかに書けない名前が 2 個あります\r\n"),
      std::string::npos);
  // Control bytes in a name or a typed directory reach the terminal as "?".
  IoFailure denied(5);
  denied.SetPath("/top/a\nb\x1b[2J");
  EXPECT_EQ(denied.Message(Language::English, same), "File access denied [/top/a?b?[2J]");
  EXPECT_EQ(NotFoundText("x\ty\r"), "Specified directory [x?y?] is not found.");
  // Output failures concern no directory; a closed pipe ends quietly.
  FakePlatform p = Tree();
  p.out.failWithCode = 101;
  EXPECT_EQ(RunWith(p, {"LIST", "/top"}).error, "<Disk full>\n");
  p.err.text.clear();
  EXPECT_EQ(RunWith(p, {"HELP"}).error, "<Disk full>\n");
  FakePlatform q = Tree();
  q.out.failWithCode = IoFailure::kBrokenPipe;
  Outcome o = RunWith(q, {"LIST", "/top"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.error, "");
}

TEST(RunTest, MessagesLanguageOfALocaleName) {
  struct Row {
    const char* name;
    Language language;
  } rows[] = {
      {"ja_JP.UTF-8", Language::Japanese},
      {"ja_JP.utf8", Language::Japanese},
      {"ja", Language::Japanese},
      {"ja_JP.UTF-8@x", Language::Japanese},
      {"ja_JP.eucJP", Language::English},
      {"jav_ID.UTF-8", Language::English},
      {"C", Language::English},
      {"en_US.UTF-8", Language::English},
      {"", Language::English},
  };
  for (const Row& row : rows) EXPECT_EQ(LanguageOfLocale(row.name), row.language) << row.name;
}

}  // namespace
}  // namespace tvx::test
