// The run state: what the command line asked for.
#pragma once

#include <string>
#include <vector>

#include "Choice.h"

namespace tvx {

// Version: "--version" asked for the banner alone.
enum class CommandKind { None, List, Stat, Dir, Version };

struct ListOptions {
  CommandKind Command = CommandKind::None;
  std::string Directory;  // as typed, or the current directory
  bool FileNameOnly = false;
  bool NoDir = false;
  bool Recursive = false;
  bool Continue = false;  // past directories that cannot be entered or read
  bool NoQuote = false;
  bool Upper = false;
  bool Lower = false;
  bool NoProgress = false;  // no progress line on a terminal
  bool Utf8 = false;   // every text in UTF-8 (changes nothing where texts are as stored)
  std::string Prefix;  // expanded, with its trailing blank; empty when absent
  std::string Suffix;  // expanded, with its leading blank; empty when absent
  Choice Chosen;       // the entries listed and the directories entered
  // Parameters that name no option, as typed: warned about, then ignored.
  std::vector<std::string> UnknownSwitches;
};

}  // namespace tvx
