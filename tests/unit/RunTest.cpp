#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "RunFixture.h"
#include "cli/Run.h"
#include "cli/RunPlan.h"
#include "text/Messages.h"

namespace tvx::test {
namespace {

// The plan decides once what the walk does and whether directories are
// written: /TOP without an order stops the walk, with one keeps the tree's
// best; LIST /D writes no directory, and none counts toward /TOP.
TEST(RunTest, ThePlanIsMadeOnceFromTheOptions) {
  using Stop = WalkPlan::Stop;
  const std::vector<SortKey> byName = {{SortBy::Name, false}};
  struct Row {
    const char* what;
    ListOptions options;
    Stop until;
    bool writesDirectories, streamed, details;
  } rows[] = {
      {"LIST", {.Command = CommandKind::List}, Stop::All, true, false, false},
      {"LIST /D /TOP:3",
       {.Command = CommandKind::List, .NoDir = true, .Top = 3},
       Stop::First,
       false,
       false,
       false},
      {"DIR /D", {.Command = CommandKind::Dir, .NoDir = true}, Stop::All, true, false, true},
      {"LIST /C /TOP:3",
       {.Command = CommandKind::List, .Continue = true, .Top = 3},
       Stop::First,
       true,
       true,
       false},
      {"LIST /C /O:N /TOP:3",
       {.Command = CommandKind::List, .Continue = true, .Order = byName, .Top = 3},
       Stop::Best,
       true,
       false,
       false},
      {"LIST /P=$SIZE",
       {.Command = CommandKind::List, .Prefix = "$SIZE"},
       Stop::All,
       true,
       false,
       true},
      // STAT writes nothing before the walk is over: it keeps no list.
      {"STAT /P=$SIZE",
       {.Command = CommandKind::Stat, .Prefix = "$SIZE"},
       Stop::All,
       true,
       true,
       false},
      {"STAT /JSON",
       {.Command = CommandKind::Stat, .Records = RecordForm::Json},
       Stop::All,
       true,
       true,
       true},
  };
  for (const Row& row : rows) {
    const RunPlan plan = MakeRunPlan(row.options, PathStyle::Posix, CodePage::Utf8());
    EXPECT_EQ(plan.Command->Kind, row.options.Command) << row.what;
    EXPECT_EQ(plan.Walk.Until, row.until) << row.what;
    EXPECT_EQ(plan.Walk.Count, row.options.Top) << row.what;
    EXPECT_EQ(plan.WritesDirectories, row.writesDirectories) << row.what;
    EXPECT_EQ(plan.Walk.DirectoriesCount, row.writesDirectories) << row.what;
    EXPECT_EQ(plan.Walk.Streamed, row.streamed) << row.what;
    EXPECT_EQ(plan.Walk.Details, row.details) << row.what;
  }
}

// The program's own spellings end with 1; the POSIX ones, as POSIX tools do, with 0.
TEST(RunTest, HelpRequestsPrintTheUsageAndEndWithOne) {
  for (std::vector<std::string> params : {std::vector<std::string>{},
                                          {"HELP"},
                                          {"h"},
                                          {"H", "/top"},
                                          {"h", "anything", "/R"},
                                          {"/?"},
                                          {"LIST", "/top", "/R", "/?"},
                                          {"-?"},
                                          {"-h"},
                                          {"--help"}}) {
    FakePlatform p = Tree();
    Outcome o = RunWith(p, params);
    const bool posix = !params.empty() && (params[0] == "-h" || params[0] == "--help");
    EXPECT_EQ(o.exitCode, posix ? 0 : 1);
    EXPECT_EQ(o.output.rfind(kBanner + "\n\n<HOW TO USE> TVX [COMMAND] DIRECTORY [OPTIONS]\n", 0),
              0u)
        << o.output;
    EXPECT_NE(o.output.find("\n       $DATE  File date\n       $TIME  File time\n"),
              std::string::npos);
    EXPECT_NE(o.output.find("       $SIZE  Size in bytes\n- CHOOSING ENTRIES"), std::string::npos);
    EXPECT_TRUE(o.output.ends_with("a directory of no entries)\n"));
    EXPECT_EQ(o.error, "");
  }
}

TEST(RunTest, VersionPrintsTheBannerWithoutScanning) {
  for (std::vector<std::string> params :
       {std::vector<std::string>{"--version"}, {"--version", "/nowhere", "/R"}}) {
    FakePlatform p = Tree();
    Outcome o = RunWith(p, params);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.output, kBanner + "\n");
    EXPECT_TRUE(p.entered.empty());
  }
  // Elsewhere it is no command word.
  FakePlatform p = Tree();
  EXPECT_EQ(RunWith(p, {"--VERSION", "/top"}).error, "\nCommand Unknown.\n" + kBanner + "\n");
}

TEST(RunTest, HelpCountsOnlyAtPositionOne) {
  FakePlatform p = Tree();
  Outcome o = RunWith(p, {"LIST", "/top", "HELP"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.output, "/top/f\n/top/s\n");
  EXPECT_EQ(o.error, "<Unexpected parameter ignored> [HELP]\n");
}

TEST(RunTest, UnknownCommandWordScansNothingAndEndsWithOne) {
  FakePlatform p = Tree();
  Outcome o = RunWith(p, {"LIST", "/top", "LIST"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.output, "");
  EXPECT_EQ(o.error, "\nCommand Unknown.\n" + kBanner + "\n");
  EXPECT_EQ(p.reads.size(), 0u);
}

TEST(RunTest, Utf8SwitchRereadsTheCommandLineBeforeAnythingElse) {
  FakePlatform p = Tree();
  p.utf8Params = {"LIST", "/top", "/utf8", "/P=\xC3\xA4"};
  Outcome o = RunWith(p, {"LIST", "/top", "/utf8", "/P=?"});
  EXPECT_EQ(p.utf8Switches, 1);
  EXPECT_EQ(o.output, "\xC3\xA4 /top/f\n\xC3\xA4 /top/s\n");
  EXPECT_TRUE(ParseCommandLine(p).Utf8);
  FakePlatform q = Tree();
  RunWith(q, {"LIST", "/top", "/NOQ"});
  EXPECT_EQ(q.utf8Switches, 0);
  EXPECT_FALSE(ParseCommandLine(q).Utf8);
  // /BAT reads the command line again in the console's code page, and
  // doubles each "%" a name puts into a Windows line.
  FakePlatform b(PathStyle::Windows);
  b.AddDir("C:\\top\\", {{"100%x.txt"}});
  b.consoleParams = {"LIST", "C:\\top", "/bat", "/P=copy", "/S=\x82"};
  EXPECT_EQ(RunWith(b, {"LIST", "C:\\top", "/bat", "/P=copy", "/S=?"}).output,
            "copy C:\\top\\100%%x.txt \x82\r\n");
  FakePlatform n = Tree();
  n.tree["/top/"] = {{"100%x"}};
  EXPECT_EQ(RunWith(n, {"LIST", "/top", "/BATCH"}).output, "/top/100%x\n");
}

TEST(RunTest, EmptyOrDotDirectoryMeansTheCurrentOne) {
  for (std::vector<std::string> params : {std::vector<std::string>{"LIST"}, {"LIST", "."}}) {
    FakePlatform p = Tree();
    EXPECT_EQ(RunWith(p, params).output, "/work/here\n");
  }
}

TEST(RunTest, CommandWordsAndSwitchesIgnoreLetterCaseButMatchWholeParameters) {
  FakePlatform p = Tree();
  EXPECT_EQ(RunWith(p, {"list", "/top", "/r"}).output, "/top/f\n/top/s\n/top/s/g\n");
  FakePlatform q = Tree();
  EXPECT_EQ(RunWith(q, {"l", "/top", "-R"}).output, "/top/f\n/top/s\n");
  FakePlatform r = Tree();
  EXPECT_EQ(RunWith(r, {"L", "/top", "/Recursive", "/NoDir"}).output, "/top/f\n/top/s/g\n");
}

TEST(RunTest, PrefixAndSuffixValuesAndEnvironmentReferences) {
  struct Row {
    std::vector<std::string> options;
    std::string line;
  } rows[] = {
      {{"/P=a", "/PREFIX=b"}, "a /top/f"},
      {{"/P=", "/PREFIX=b"}, "b /top/f"},
      {{"/P"}, "/top/f"},
      {{"/S=x"}, "/top/f x"},
      {{"/p=%USER%:"}, "ann: /top/f"},
      {{"/P=%user%:"}, "ann: /top/f"},
      {{"/P=%NOPE%:"}, "%NOPE%: /top/f"},
      {{"/P=100%"}, "100% /top/f"},
      {{"/P=%EMPTY%"}, "%EMPTY% /top/f"},
      // An empty name never matches, not even Windows' hidden "=C:=C:\\x" lines.
      {{"/P=100%%"}, "100%% /top/f"},
      {{"/P=%NOPE%%USER%"}, "%NOPE%ann /top/f"},
      // A template is expanded once too, and stands alone: no blank, no name.
      {{"/LINE=%USER%:$SHORT"}, "ann:f"},
  };
  for (const Row& row : rows) {
    FakePlatform p;
    p.AddDir("/top/", {{"f"}});
    p.environment = {"=C:=C:\\x", "USER=ann", "EMPTY=", "PATH=/bin"};
    std::vector<std::string> params{"LIST", "/top"};
    params.insert(params.end(), row.options.begin(), row.options.end());
    EXPECT_EQ(RunWith(p, params).output, row.line + "\n") << row.options[0];
  }
}

TEST(RunTest, StatShowsTheFullPathAsTypedAndTheCount) {
  struct Row {
    PathStyle style;
    std::string dir, root;
  } rows[] = {
      {PathStyle::Posix, "/top/", "/top/"},  // a typed final separator stays
      {PathStyle::Posix, "/top", "/top"},
      {PathStyle::Posix, "/", "/"},
      {PathStyle::Windows, "C:\\top\\", "C:\\top\\"},
      {PathStyle::Windows, "C:", "C:\\work"},  // a bare drive: that drive's current directory
      {PathStyle::Windows, "C:/top/", "C:\\top\\"},
      {PathStyle::Windows, "\\\\srv\\share", "\\\\srv\\share"},
      {PathStyle::Windows, "\\\\srv\\share\\", "\\\\srv\\share\\"},
  };
  for (const Row& row : rows) {
    FakePlatform p(row.style);
    for (std::string dir : {"/", "/top/", "C:\\", "C:\\top\\", "\\\\srv\\share\\"})
      p.AddDir(dir, {{"f"}});
    p.AddDir("C:\\work\\", {});  // what "C:" names for the existence test
    p.AddDir(row.style == PathStyle::Posix ? "/top/s/" : "C:\\top\\s\\", {});
    const std::string lb(p.LineBreak());
    Outcome o = RunWith(p, {"STAT", row.dir, "/D", "/F"});
    EXPECT_TRUE(o.output.ends_with("ROOT " + row.root + " FileCount=1" + lb))
        << o.output << o.error << row.dir;
  }
  FakePlatform q = Tree();
  q.AddDir("/work/sub/", {});
  EXPECT_EQ(RunWith(q, {"S", "sub"}).output, kBanner + "\nROOT /work/sub FileCount=0\n");
  FakePlatform r = Tree();
  EXPECT_EQ(RunWith(r, {"S", "/top", "/R"}).output, kBanner + "\nROOT /top FileCount=3\n");
}

TEST(RunTest, WindowsUsesCrLfEverywhere) {
  FakePlatform p(PathStyle::Windows);
  p.AddDir("C:\\d\\", {{"f"}});
  Outcome o = RunWith(p, {"STAT", "C:\\d"});
  EXPECT_EQ(o.output, "\r\nTarvix ver. 1.02\r\n (C) us (tests)\r\nROOT C:\\d FileCount=1\r\n");
}

TEST(RunTest, OnlyCommandsThatShowDatesOrSizesAskForThem) {
  struct Row {
    std::vector<std::string> params;
    bool details;
  } rows[] = {
      {{"LIST", "/top", "/R"}, false},
      {{"LIST", "/top", "/P=copy"}, false},
      {{"LIST", "/top", "/P=$SHORT"}, false},  // what a macro puts in is never read again
      {{"LIST", "/top", "/S=$DATETIME"}, true},
      {{"LIST", "/top", "/LINE=$REL $SIZE"}, true},
      {{"LIST", "/top", "/LINE=$REL"}, false},
      {{"LIST", "/top", "/O:N"}, false},
      {{"LIST", "/top", "/O:GS"}, true},
      {{"STAT", "/top", "/O:-D"}, true},
      {{"DIR", "/top"}, true},
      {{"STAT", "/top"}, false},
  };
  for (const Row& row : rows) {
    FakePlatform p = Tree();
    RunWith(p, row.params);
    EXPECT_EQ(p.detailedReads > 0, row.details) << row.params[2 % row.params.size()];
    EXPECT_LE(p.localeReads, 1);
  }
}

// How the output goes out: a broken one, a streamed one, a terminal.
TEST(RunTest, BrokenOutputEndsWithOneAndNoCrash) {
  FakePlatform p = Tree();
  p.out.failWithCode = 32;
  EXPECT_EQ(RunWith(p, {"LIST", "/top", "/R"}).exitCode, 1);
  EXPECT_EQ(p.out.text, "");
  // What the system reports only as the output is closed, after every
  // line was taken, fails the run too; the output is closed once.
  for (const std::vector<std::string>& params :
       {std::vector<std::string>{"LIST", "/top", "/R"}, {"STAT", "/top"}, {"/?"}}) {
    FakePlatform q = Tree();
    q.out.closeFailure = IoFailure::kDiskFull;
    const Outcome o = RunWith(q, params);
    EXPECT_EQ(o.exitCode, 1) << params[0];
    EXPECT_EQ(o.error, "<Disk full>\n") << params[0];
    EXPECT_EQ(q.out.closes, 1) << params[0];
  }
  FakePlatform fine = Tree();
  EXPECT_EQ(RunWith(fine, {"LIST", "/top"}).exitCode, 0);
  EXPECT_EQ(fine.out.closes, 1);
}

// With /C the entries go out as the walk reaches them; without it, once the
// walk has ended, so that a failure can still stop the run first.
TEST(RunTest, ContinueWritesEntriesAsTheWalkGoes) {
  struct Row {
    std::vector<std::string> params;
    std::string beforeSecondRead;
  } rows[] = {
      {{"LIST", "/top", "/R", "/C"}, "/top/f\n/top/s\n"},
      {{"LIST", "/top", "/R", "/C", "/D", "/LINE=x $REL"}, "x f\n"},
      {{"DIR", "/top", "/R", "/C"},
       "1899/12/30 00:00:00                     0  f                             \n"
       "1899/12/30 00:00:00                     0  s                             \n"},
      {{"STAT", "/top", "/R", "/C"}, ""},
      {{"LIST", "/top", "/R"}, ""},
      {{"DIR", "/top", "/R"}, ""},
  };
  for (const Row& row : rows) {
    FakePlatform p = Tree();
    FakePlatform whole = Tree();
    const Outcome o = RunWith(p, row.params);
    ASSERT_EQ(p.outputAtRead.size(), 2u);
    EXPECT_EQ(p.outputAtRead[1], row.beforeSecondRead) << row.params[0];
    // The same bytes as the kept list gives.
    std::vector<std::string> kept = row.params;
    std::erase(kept, "/C");
    EXPECT_EQ(o.output, RunWith(whole, kept).output);
  }
}

TEST(RunTest, InteractiveOutputIsWrittenLineByLine) {
  FakePlatform p = Tree();
  p.out.interactive = true;
  RunWith(p, {"LIST", "/top", "/R"});
  EXPECT_EQ(p.out.writes, 3);
  FakePlatform q = Tree();
  RunWith(q, {"LIST", "/top", "/R"});
  EXPECT_EQ(q.out.writes, 1);
}

}  // namespace
}  // namespace tvx::test
