// tvx: lists a directory (or its tree) as names, command lines, a table or a
// count. The program's map:
//   Run         the main block: command line, one scan, one command, one handler
//   CommandLine parameter cutting, switches, NAME=VALUE, %ENV% references
//   Scan        the entry list and the pre-order directory scan
//   Commands    LIST, DIR and STAT
//   Locale      date, time and number forms
//   Texts       banner, usage and unknown-command texts
//   Output      the line writer
//   Text, Paths byte-string and path rules (both platforms' syntax)
//   platform/   the operating-system boundary: posix/ and win32/
#include "Platform.h"
#include "Run.h"

int main(int argc, char** argv) {
  auto platform = tvx::MakePlatform(argc, argv);
  return tvx::RunTvx(*platform);
}
