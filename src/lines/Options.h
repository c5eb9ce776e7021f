// The run state: what the command line asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "walk/Choice.h"
#include "walk/Order.h"

namespace tvx {

// Version: "--version" asked for the banner alone; Help: the usage text.
enum class CommandKind { None, List, Stat, Dir, Du, Version, Help };

// Records instead of lines: JSON Lines or CSV, in UTF-8.
enum class RecordForm { None, Json, Csv };

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
  bool Utf8 = false;        // every text in UTF-8 (changes nothing where texts are as stored)
  bool Nul = false;         // LIST ends each line with a NUL byte and quotes nothing
  bool Batch = false;       // LIST's lines for a batch file: "%" doubled, the console's code page
  std::string Prefix;       // expanded; LIST puts a blank between it and the name
  std::string Suffix;       // expanded; LIST puts a blank between the name and it
  std::string Line;         // expanded: each LIST line is this alone, its macros replaced
  bool HasLine = false;
  RecordForm Records = RecordForm::None;
  std::vector<SortKey> Order;  // each directory's entries; empty: the system's order
  std::uint64_t Top = 0;       // only the first n written (across the tree with Order); 0: all
  // DU: sizes people read, allocated sizes, one file system, ncdu's export, the tree drawn.
  bool Human = false;
  bool Alloc = false;
  bool Xdev = false;
  bool Ncdu = false;
  bool Tree = false;
  Choice Chosen;  // the entries listed and the directories entered
  // Parameters after the directory that are no option, as typed: warned
  // about, then ignored.
  std::vector<std::string> Unexpected;
};

}  // namespace tvx
