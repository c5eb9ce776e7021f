#include "CommandTable.h"

#include <algorithm>

#include "lines/dir/DirWriter.h"
#include "lines/du/DuRun.h"
#include "lines/list/ListWriter.h"
#include "lines/records/Records.h"
#include "lines/stat/StatWriter.h"
#include "text/CommandLine.h"

namespace tvx {

namespace {

template <typename Writer>
std::unique_ptr<CommandWriter> Make(const WriterInputs& in) {
  return std::make_unique<Writer>(in);
}

// In the usage text's order.
const CommandRow kCommands[] = {
    {.Kind = CommandKind::Help, .Spellings = {"H", "HELP"}, .Usage = "  H[ELP]  Display this"},
    {.Kind = CommandKind::List,
     .Spellings = {"L", "LIST"},
     .Usage = "  L[IST]  List files",
     .ReadsTemplate = true,
     .NoDirLeavesDirs = true,
     .MakeLines = Make<ListWriter>},
    {.Kind = CommandKind::Dir,
     .Spellings = {"D", "DIR"},
     .Usage = "  D[IR]   Slightly similar to Dir command?",
     .AlwaysDetails = true,
     .AsksDiskSpace = true,
     .MakeLines = Make<DirWriter>},
    {.Kind = CommandKind::Stat,
     .Spellings = {"S", "STAT"},
     .Usage = "  S[TAT]  Display directory infomation",
     .WritesAtEnd = true,
     .MakeLines = Make<StatWriter>},
    {.Kind = CommandKind::Du,
     .Spellings = {"DU", "DU"},
     .Usage = "  DU      Total size of each directory, after its contents",
     .RunsOwnWalk = RunDu},
};

}  // namespace

std::span<const CommandRow> CommandTable() {
  return kCommands;
}

const CommandRow* FindCommand(const std::vector<std::string>& params) {
  for (const CommandRow& row : kCommands) {
    if (FindSwitch(params, {row.Spellings[0], row.Spellings[1]}) == 1) return &row;
  }
  return nullptr;
}

const CommandRow& RowOf(CommandKind kind) {
  return *std::find_if(std::begin(kCommands), std::end(kCommands),
                       [kind](const CommandRow& row) { return row.Kind == kind; });
}

std::string CommandsUsage() {
  std::string text;
  for (const CommandRow& row : kCommands) text.append(row.Usage).append("\r\n");
  return text;
}

std::unique_ptr<CommandWriter> MakeCommandWriter(const CommandRow& row, const WriterInputs& in) {
  if (in.Options.Records != RecordForm::None) return std::make_unique<RecordWriter>(in);
  return row.MakeLines(in);
}

}  // namespace tvx
