// tvx: lists a directory (or its tree) as names, command lines, records, a
// table or a count. The program's map, a folder per layer, each including
// only the layers above it in this list (tests/package/layers.py checks it):
//
// text/      rules of text, free of the system
//   Text, Paths  byte-string and path rules (both platforms' syntax)
//   CaseFold, Pattern  letter case folding, and wildcard patterns
//   CommandLine  parameter cutting, switches, NAME=VALUE, %ENV% references
//   Locale     calendar, locale settings and number forms; DateForms.cpp the
//              date and time pictures
//   Messages   every text shown besides listings, in English and Japanese
//   Failure    the failures that end a run, and the warnings
//   WideNames  UTF-16 names to 8-bit text, exactly or by their short name
//   NameArena  names kept in blocks, freed all at once or back to a mark
// platform/  the operating-system boundary, as narrow interfaces: the
//            directories and threads (DirSource.h, HeldListing.h the listing
//            both systems' reads fill), the console (Streams.h),
//            the system's facts (SystemFacts.h), the command line
//            (Platform.h); posix/ and win32/ implement them
// walk/      the scan
//   EntryList  the entries a walk lists (copies of what it is given), and
//              the directories they are in
//   Scan       the pre-order directory scan, its progress and its observer;
//              a streamed list's consumer hears of each directory entered
//              and left, and of each entry's storage where it asks
//   WalkEngine enters and reads the scan's directories in its order, reading
//              ahead on threads within one budget (WalkReaders.cpp the
//              readers' side; WalkQueue what they take next, within the
//              budget; WalkCache the directories held open); it holds the
//              listings of the directories on the walk's path, their names
//              the walk's until it leaves them
//   Choice, Order, TopN  the filters, the orders, and the best n of a tree
// lines/     what a run writes
//   Options    the run state the command line fills
//   Commands   what every command's writer is, and what it is made from
//   list/      LIST: its writer and the check of which names its lines can
//              hold (ListWriter), the macro table and the template read as
//              its shell reads it (Macros, TemplateReader), each entry's
//              values written for their place (MacroLines.cpp)
//   dir/, stat/  DIR's table and STAT's count
//   records/   the three as records (Records), spelled by a form
//              (RecordFormat: JSON Lines, CSV)
//   quoting/   the shell's quoting: a name made one word, a value written
//              inside the quotes the user's text opened
//   Output, OutputPace, Progress  the line writer, the pace of a streamed
//              run's lines, the progress line
//   du/        DU: each directory's totals as the walk enters and leaves it
//              (DuTotals), their lines, records and ncdu's export (DuWriter,
//              NcduWriter), the tree drawn with bars
//              (TreeView), and its run (DuRun)
// cli/       the command line
//   OptionTable  every option, one row each; OptionReading.cpp reads them
//   Run        the main block: command line, one scan, one command, one handler
#include "cli/Run.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  auto platform = tvx::MakePlatform(argc, argv);
  return tvx::RunTvx(*platform);
}
