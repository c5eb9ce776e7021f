// Every command, one row each: how it is typed and shown in the usage text,
// what its walk needs, and how its writer is made. Adding a command is its
// row, its writer, its tests and its documents.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lines/Commands.h"
#include "lines/Options.h"

namespace tvx {

class Failure;
class Platform;
class ScanProgress;

// A command whose walk is its own (DU follows each directory's way in and
// out): the whole run of it, told where to write and what to report.
using OwnRun = void (*)(Platform& platform, const ListOptions& options,
                        const LocaleSettings& locale, LineWriter& out, ScanProgress* progress,
                        const std::function<void(const Failure&)>& leftOut);

struct CommandRow {
  CommandKind Kind;
  std::array<std::string_view, 2> Spellings;  // the first parameter, in any letter case
  std::string_view Usage;                     // its line under "- COMMAND"
  // Its lines are made from a template, read once for the run, whose
  // macros may ask for each entry's details (LIST).
  bool ReadsTemplate = false;
  bool AlwaysDetails = false;    // every entry's size and time (DIR's table)
  bool NoDirLeavesDirs = false;  // /D: its directories are no lines (LIST)
  bool AsksDiskSpace = false;    // it ends with the drive's capacity (DIR)
  // It writes nothing for an entry, only once the walk is over (STAT): a
  // failure stops it before its first line all the same, so its walk keeps
  // no list.
  bool WritesAtEnd = false;
  // Its writer of lines, or null where it walks nothing (HELP). The
  // records of /JSON and /CSV are the record writer's for every command.
  std::unique_ptr<CommandWriter> (*MakeLines)(const WriterInputs&) = nullptr;
  OwnRun RunsOwnWalk = nullptr;  // in place of the shared walk and writer
};

std::span<const CommandRow> CommandTable();

// The row of the command typed as the first parameter, or null. A command
// word typed again later is no command.
const CommandRow* FindCommand(const std::vector<std::string>& params);
const CommandRow& RowOf(CommandKind kind);

// The usage text's lines of the commands, each with its line break.
std::string CommandsUsage();

// The command's one writer: its records, or its lines.
std::unique_ptr<CommandWriter> MakeCommandWriter(const CommandRow& row, const WriterInputs& in);

}  // namespace tvx
