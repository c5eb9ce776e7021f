// What the writers' tests share: a command's writer as a run makes it, and
// a tree scanned and printed by one command.
#pragma once

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

// A command's writer as a run makes it: by the command's row, from the
// run's plan, which it may outlive.
inline std::unique_ptr<CommandWriter> WriterFor(ListOptions options, CommandKind command,
                                                FakePlatform& p, LineWriter& out,
                                                ThreadKit* threads = nullptr) {
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

inline const TDateTime kTime = MakeDateTime(1999, 11, 14, 14, 46, 25);

}  // namespace tvx::test
