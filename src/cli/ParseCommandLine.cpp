#include <string>
#include <vector>

#include "CommandTable.h"
#include "OptionTable.h"
#include "Run.h"
#include "platform/Platform.h"
#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Messages.h"

namespace tvx {

namespace {

bool IsHelpRequest(const std::vector<std::string>& params) {
  const CommandRow& help = RowOf(CommandKind::Help);
  if (FindSwitch(params, {help.Spellings[0], help.Spellings[1]}) == 1 || HasOption(params, "/?", 0))
    return true;
  // The spellings users of either platform type.
  const std::string& first = params.front();
  return first == "-?" || first == "-h" || first == "--help";
}

// The POSIX spellings of a help request end as POSIX tools' do, with exit
// code 0; the program's own (HELP, H, /?) keep 1.
bool IsPosixHelp(const std::vector<std::string>& params) {
  return params.front() == "-h" || params.front() == "--help";
}

// How the command line itself is read: the options that decide it are
// ASCII, so they are found in any code page; then the whole command line is
// read again in UTF-8 (records are UTF-8 whatever the code page, and name
// every entry exactly), or in the console's code page that cmd reads a batch
// file in, and so is every later text.
std::vector<std::string> ReadParameters(Platform& platform) {
  std::vector<std::string> params = platform.Parameters();
  const bool records = HasOption(params, "/JSON") || HasOption(params, "/NCDU");
  if (records) {
    platform.UseWtf8();
  } else if (HasOption(params, "/UTF8")) {
    platform.UseUtf8();
  } else if (!HasOption(params, "/BAT") || !platform.UseConsoleCodePage()) {
    return params;
  }
  return platform.Parameters();
}

OptionContext ContextOf(Platform& platform) {
  OptionContext context{platform.Now(), platform.Style(), platform.Code(), {}};
  context.Environment = [&platform](std::string_view name) {
    return LookupValue(platform.Environment(), name,
                       [&platform](std::string_view a, std::string_view b) {
                         return platform.SameTextIgnoringCase(a, b);
                       });
  };
  return context;
}

}  // namespace

ListOptions ParseCommandLine(Platform& platform) {
  const std::vector<std::string> params = ReadParameters(platform);
  if (params.empty() || IsHelpRequest(params))
    throw HelpRequest(UsageText(platform.ReadVersion(), CommandsUsage(), OptionsUsage()),
                      !params.empty() && IsPosixHelp(params) ? 0 : 1);

  ListOptions options;
  if (params.front() == "--version") {
    options.Command = CommandKind::Version;
    return options;
  }
  const CommandRow* command = FindCommand(params);
  options.Command = command ? command->Kind : CommandKind::None;
  options.Directory = params.size() >= 2 ? params[1] : std::string();
  if (options.Directory.empty() || options.Directory == ".")
    options.Directory = platform.CurrentDirectory();
  if (!platform.DirectoryExists(options.Directory)) throw Failure(NotFoundText(options.Directory));
  // Nothing is scanned for a command the program does not know.
  if (options.Command == CommandKind::None)
    throw Failure(UnknownCommandText(platform.ReadVersion()));
  ReadOptions(params, ContextOf(platform), options);
  CheckDuOptions(OptionUses(params), options);
  return options;
}

}  // namespace tvx
