// The run's plan, made once from the command line: the command's row, the
// line template read once, and what the walk is to do.
#pragma once

#include "CommandTable.h"
#include "lines/Options.h"
#include "lines/list/Macros.h"
#include "walk/WalkPlan.h"

namespace tvx {

struct RunPlan {
  ListOptions Options;
  const CommandRow* Command = nullptr;
  LineTemplate Lines;             // where the command reads one (LIST); else empty
  bool WritesDirectories = true;  // /D decided once: LIST's directories are no lines
  WalkPlan Walk;
};

// The plan of a command that walks, read by the rules of the system.
RunPlan MakeRunPlan(const ListOptions& options, PathStyle style, const CodePage& code);

}  // namespace tvx
