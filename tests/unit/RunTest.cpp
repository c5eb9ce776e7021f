#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "Run.h"

namespace tvx::test {
namespace {

const std::string kBanner = "\nTarvix ver. 1.02\n (C) us (tests)";

struct Outcome {
  int exitCode;
  std::string output;
};

Outcome RunWith(FakePlatform& p, std::vector<std::string> params) {
  p.params = std::move(params);
  int code = RunTvx(p);
  return {code, p.out.text};
}

FakePlatform Tree() {
  FakePlatform p;
  p.AddDir("/top/", {{"f"}, {"s", true}});
  p.AddDir("/top/s/", {{"g"}});
  p.AddDir("/work/", {{"here"}});
  return p;
}

TEST(RunTest, HelpRequestsPrintTheUsageAndEndWithOne) {
  for (std::vector<std::string> params : {std::vector<std::string>{},
                                          {"HELP"},
                                          {"h"},
                                          {"H", "/top"},
                                          {"h", "anything", "/R"},
                                          {"/?"},
                                          {"-?"},
                                          {"-h"},
                                          {"--help"}}) {
    FakePlatform p = Tree();
    Outcome o = RunWith(p, params);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.output.rfind(kBanner + "\n\n<HOW TO USE> TVX [COMMAND] DIRECTORY [OPTIONS]\n", 0),
              0u)
        << o.output;
    EXPECT_TRUE(o.output.ends_with("       $TIME  File time\n"));
  }
}

TEST(RunTest, HelpCountsOnlyAtPositionOne) {
  FakePlatform p = Tree();
  Outcome o = RunWith(p, {"LIST", "/top", "HELP"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.output, "/top/f\n/top/s\n");
}

TEST(RunTest, UnknownCommandWordStillScansAndEndsWithZero) {
  FakePlatform p = Tree();
  Outcome o = RunWith(p, {"LIST", "/top", "LIST"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.output, "\nCommand Unknown.\n" + kBanner + "\n");
  EXPECT_EQ(p.reads.size(), 1u);
}

TEST(RunTest, MissingDirectoryIsReportedAsTyped) {
  FakePlatform p = Tree();
  Outcome o = RunWith(p, {"FOO", "nowhere/x"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.output, "Specified directory [nowhere/x] is not found.\n");
  // "/R" in the directory's place is taken as the directory.
  FakePlatform q = Tree();
  EXPECT_EQ(RunWith(q, {"LIST", "/R"}).output, "Specified directory [/R] is not found.\n");
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
  EXPECT_EQ(RunWith(q, {"l", "/top", "/REC", "-R"}).output, "/top/f\n/top/s\n");
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
  };
  for (const Row& row : rows) {
    FakePlatform p;
    p.AddDir("/top/", {{"f"}});
    p.environment = {"USER=ann", "EMPTY=", "PATH=/bin"};
    std::vector<std::string> params{"LIST", "/top"};
    params.insert(params.end(), row.options.begin(), row.options.end());
    EXPECT_EQ(RunWith(p, params).output, row.line + "\n") << row.options[0];
  }
}

TEST(RunTest, StatShowsTheFullPathAndTheCount) {
  FakePlatform p = Tree();
  Outcome o = RunWith(p, {"STAT", "/top/", "/R", "/D", "/F"});
  EXPECT_EQ(o.output, kBanner + "\nROOT /top FileCount=3\n");
  FakePlatform q = Tree();
  q.AddDir("/work/sub/", {});
  EXPECT_EQ(RunWith(q, {"S", "sub"}).output, kBanner + "\nROOT /work/sub FileCount=0\n");
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
      {{"LIST", "/top", "/P=$SHORT"}, true},  // a name may itself hold a date macro
      {{"LIST", "/top", "/S=$DATETIME"}, true},
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

TEST(RunTest, FailuresPrintTheirMessageAfterWhatWasWritten) {
  FakePlatform p = Tree();
  p.enterFailures["/top/s/"] = 5;
  Outcome o = RunWith(p, {"LIST", "/top", "/R"});
  EXPECT_EQ(o.exitCode, 1);
  // The scan fails before anything is printed; the message is converted for the system.
  EXPECT_EQ(o.output, "<ﾌｧｲﾙへのｱｸｾｽが拒否されました>\n");

  FakePlatform q = Tree();
  q.enterFailures["/top/s/"] = 1234;
  EXPECT_EQ(RunWith(q, {"LIST", "/top", "/R"}).output, "<I/O ｴﾗｰ (1234)>\n");
}

TEST(RunTest, BrokenOutputEndsWithOneAndNoCrash) {
  FakePlatform p = Tree();
  p.out.failWithCode = 32;
  EXPECT_EQ(RunWith(p, {"LIST", "/top", "/R"}).exitCode, 1);
  EXPECT_EQ(p.out.text, "");
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
