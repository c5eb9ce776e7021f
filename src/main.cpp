// tvx: lists a directory (or its tree) as names, command lines, a table or a
// count. The program's map:
//   Run         the main block: command line, one scan, one command, one handler
//   Options     the run state the command line fills
//   Failure     the failures that end a run
//   CommandLine parameter cutting, switches, NAME=VALUE, %ENV% references
//   Scan        the entry list and the pre-order directory scan
//   WalkEngine  enters and reads the scan's directories in its order, reading
//               ahead on threads within one budget (WalkReaders.cpp: the
//               readers' side; WalkQueue what they take next, within the
//               budget; WalkCache the directories held open)
//   Commands    LIST, DIR and STAT: one writer each, fed as the walk goes (/C)
//               or from the kept list; Records the same as JSON Lines and CSV
//   OutputPace  hands a streamed run's lines on while the walk waits
//   Macros      LIST's macro table; a prefix or suffix cut into steps, and
//               the replace-in-turn rule the steps shortcut
//   Locale      calendar, locale settings and number forms; DateForms.cpp
//               the date and time pictures
//   Messages    every text shown besides listings: banner, usage, unknown
//               command, failure messages
//   Output      the line writer
//   Text, Paths byte-string and path rules (both platforms' syntax)
//   WideNames   UTF-16 names to 8-bit text, exactly or by their short name
//   platform/   the operating-system boundary (Platform.h): posix/ (entering
//               and reading one directory, threads, standard output, locale)
//               and win32/ (the same on the UTF-16 calls, threads on the
//               slim lock, code-page conversions, TVerRes)
#include "Platform.h"
#include "Run.h"

int main(int argc, char** argv) {
  auto platform = tvx::MakePlatform(argc, argv);
  return tvx::RunTvx(*platform);
}
