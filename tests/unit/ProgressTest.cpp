#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "ShiftJis.h"
#include "cli/Run.h"
#include "lines/Progress.h"

namespace tvx::test {
namespace {

TEST(ProgressTest, FitFromLeftKeepsTheTailInWholeCharacters) {
  const CodePage single, sjis = fixtures::ShiftJis(), utf8 = CodePage::Utf8();
  struct Row {
    std::string text;
    std::size_t columns;
    const CodePage& code;
    std::string fitted;
  } rows[] = {
      {"/a/b", 4, single, "/a/b"},
      {"/home/ann/src", 8, single, "...n/src"},
      {"/home/ann/src", 2, single, ".."},
      // A double-byte character counts two columns and is never cut in two.
      {"/x/\x93\xfa\x96\x7b", 7, sjis, "/x/\x93\xfa\x96\x7b"},
      {"/x/\x93\xfa\x96\x7b", 6, sjis, "...\x96\x7b"},
      {"/x/\x93\xfa\x96\x7b", 4, sjis, "..."},
      {"/d/\xe6\x97\xa5\xe6\x9c\xac", 6, utf8, "...\xe6\x9c\xac"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FitFromLeft(row.text, row.columns, row.code), row.fitted) << row.text;
  }
}

// The line comes after one second, at most ten times a second, and is gone
// before a message and at the end; never where standard error is a file.
TEST(ProgressTest, DrawnOnATerminalAfterASecondAndErased) {
  // Each reading of the clock takes 40 ms, and a directory read reads it
  // once: /t/d24 is read at 1040 ms, then every third directory is due.
  const auto line = [](int directories, const std::string& dir) {
    return "\r<Scanning: 30 entries, " + std::to_string(directories) + " directories: >" + dir;
  };
  const std::string erase46 = "\r" + std::string(46, ' ') + "\r";
  std::string streamed;
  for (int d = 12; d <= 28; d += 2) streamed += line(d + 1, "/t/d" + std::to_string(d));
  struct Row {
    std::size_t columns;
    std::vector<std::string> switches;
    std::string error;
  } rows[] = {
      {60, {"/R"}, line(25, "/t/d24") + line(28, "/t/d27") + line(31, "/t/d30") + erase46},
      // Too narrow for the whole: the counts keep their start.
      {20,
       {"/R"},
       "\r<Scanning: 30 entri\r<Scanning: 30 entri\r<Scanning: 30 entri\r" + std::string(19, ' ') +
           "\r"},
      {46,
       {"/R"},
       line(25, "...24") + line(28, "...27") + line(31, "...30") + "\r" + std::string(45, ' ') +
           "\r"},
      // A message takes a clean line. The streamed listing reads the clock
      // before each directory too, so a line is due every second one.
      {60, {"/R", "/C"}, streamed + erase46 + "<File access denied> [/t/d30]\n"},
      {0, {"/R"}, ""},
      {60, {"/R", "/np"}, ""},
  };
  for (const Row& row : rows) {
    FakePlatform p;
    std::vector<FakeEntry> top;
    for (int d = 1; d <= 30; ++d) {
      const std::string name = (d < 10 ? "d0" : "d") + std::to_string(d);
      top.push_back({name, true});
      p.AddDir("/t/" + name + "/", {});
    }
    p.AddDir("/t/", top);
    if (row.switches.size() > 1 && row.switches[1] == "/C") p.enterFailures["/t/d30/"] = 5;
    p.clockStep = 40;
    p.err.columns = row.columns;
    p.params = {"LIST", "/t"};
    p.params.insert(p.params.end(), row.switches.begin(), row.switches.end());
    RunTvx(p);
    EXPECT_EQ(p.err.text, row.error) << row.columns;
    // While the line is drawn an interruption would erase it; not after.
    if (row.error.empty()) {
      EXPECT_EQ(p.err.interrupts, "") << row.columns;
    } else {
      EXPECT_EQ(p.err.interrupts, "[\r" + std::string(row.columns - 1, ' ') + "\r][]");
    }
  }
}

}  // namespace
}  // namespace tvx::test
