#include "Run.h"

#include <new>

#include "CommandLine.h"
#include "Commands.h"
#include "Failure.h"
#include "Messages.h"
#include "Output.h"
#include "Platform.h"
#include "Scan.h"

namespace tvx {

namespace {

bool IsHelpRequest(const std::vector<std::string>& params) {
  if (FindSwitch(params, {"H", "HELP"}) == 1) return true;
  // The spellings users of either platform type.
  const std::string& first = params.front();
  return first == "/?" || first == "-?" || first == "-h" || first == "--help";
}

void RunCommand(Platform& platform, const ListOptions& options, LineWriter& out) {
  const bool details = options.Command == CommandKind::Dir ||
                       (options.Command == CommandKind::List && HasMacros(options));
  const LocaleSettings locale = platform.ReadLocale();

  EntryList list;
  const std::uint64_t total =
      ScanDirectory(platform, options.Directory, list, options.Recursive, details);

  switch (options.Command) {
    case CommandKind::None:
      out.WriteText(UnknownCommandText(platform.ReadVersion()));
      break;
    case CommandKind::List:
      ListCommand(options, list, locale, out);
      break;
    case CommandKind::Stat: {
      const PathStyle style = platform.Style();
      std::string root =
          WithoutFinalSeparator(ScanRootPath(platform, options.Directory), style, platform.Code());
      ShowControlChars(root);
      StatCommand(root, list, BannerText(platform.ReadVersion()), out);
      break;
    }
    case CommandKind::Dir: {
      DiskSpace space;
      const bool known = platform.GetDiskSpace(options.Directory, space);
      DirCommand(options, list, total, known ? &space : nullptr, locale,
                 BannerText(platform.ReadVersion()), out);
      break;
    }
  }
}

}  // namespace

ListOptions ParseCommandLine(Platform& platform) {
  const std::vector<std::string> params = platform.Parameters();
  if (params.empty() || IsHelpRequest(params)) throw Failure(UsageText(platform.ReadVersion()));

  ListOptions options;
  if (FindSwitch(params, {"S", "STAT"}) == 1) options.Command = CommandKind::Stat;
  if (FindSwitch(params, {"L", "LIST"}) == 1) options.Command = CommandKind::List;
  if (FindSwitch(params, {"D", "DIR"}) == 1) options.Command = CommandKind::Dir;

  options.Directory = params.size() >= 2 ? params[1] : std::string();
  if (options.Directory.empty() || options.Directory == ".")
    options.Directory = platform.CurrentDirectory();
  if (!platform.DirectoryExists(options.Directory)) throw Failure(NotFoundText(options.Directory));

  options.FileNameOnly = FindSwitch(params, {"/F", "/FILENAMEONLY"}) > 0;
  options.NoDir = FindSwitch(params, {"/D", "/NODIR"}) > 0;
  options.Recursive = FindSwitch(params, {"/R", "/RECURSIVE"}) > 0;
  options.NoQuote = FindSwitch(params, {"/Q", "/NOQUOTE"}) > 0;
  options.Upper = FindSwitch(params, {"/U", "/UPPER"}) > 0;
  options.Lower = FindSwitch(params, {"/L", "/LOWER"}) > 0;

  const TextEquality equal = [&platform](std::string_view a, std::string_view b) {
    return platform.SameTextIgnoringCase(a, b);
  };
  const auto getEnv = [&platform, &equal](std::string_view name) {
    return LookupValue(platform.Environment(), name, equal);
  };
  const std::string prefix = GetSwitchValue(params, {"/P", "/PREFIX"}, equal);
  if (!prefix.empty()) options.Prefix = ExpandEnvRefs(prefix, getEnv, platform.Code()) + " ";
  const std::string suffix = GetSwitchValue(params, {"/S", "/SUFFIX"}, equal);
  if (!suffix.empty()) {
    std::string expanded = ExpandEnvRefs(suffix, getEnv, platform.Code());
    expanded.insert(expanded.begin(), ' ');
    options.Suffix = std::move(expanded);
  }
  return options;
}

int RunTvx(Platform& platform) {
  std::string message;
  try {
    LineWriter out(platform.StandardOutput(), platform.LineBreak());
    try {
      RunCommand(platform, ParseCommandLine(platform), out);
      out.Flush();
      return 0;
    } catch (const Failure& failure) {
      message = failure.Message();
    } catch (const IoFailure& failure) {
      message = platform.FromUtf8(IoFailureText(failure.Code()));
    } catch (const AssertionFailure& failure) {
      message = platform.FromUtf8(AssertionFailureText(failure));
    } catch (const std::bad_alloc&) {
      message = platform.FromUtf8(OutOfMemoryText());
    } catch (const std::exception& failure) {
      message = failure.what();
    }
    // The list is gone by now. Lines written before the failure stay written;
    // when the output itself failed, this write fails too and ends quietly.
    out.WriteText(message);
    out.Flush();
  } catch (...) {
  }
  return 1;
}

}  // namespace tvx
