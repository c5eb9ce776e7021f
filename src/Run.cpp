#include "Run.h"

#include <algorithm>
#include <functional>
#include <new>

#include "CommandLine.h"
#include "Commands.h"
#include "Failure.h"
#include "Macros.h"
#include "Messages.h"
#include "OptionTable.h"
#include "Order.h"
#include "Output.h"
#include "Platform.h"
#include "Progress.h"
#include "Records.h"
#include "Scan.h"
#include "Streamed.h"
#include "TopN.h"

namespace tvx {

namespace {

bool IsHelpRequest(const std::vector<std::string>& params) {
  if (FindSwitch(params, {"H", "HELP"}) == 1 || HasOption(params, "/?", 0)) return true;
  // The spellings users of either platform type.
  const std::string& first = params.front();
  return first == "-?" || first == "-h" || first == "--help";
}

// Where the run's messages go, in the language the output can carry.
class Messenger {
 public:
  explicit Messenger(Platform& platform)
      : platform_(platform),
        language_(platform.MessageLanguage()),
        toSystem_([&platform](std::string_view text) { return platform.FromUtf8(text); }) {}

  std::string MessageOf(const Failure& failure) const {
    return failure.Message(language_, toSystem_);
  }
  std::string OutOfMemory() const { return toSystem_(OutOfMemoryText(language_)); }
  std::string Progress(std::uint64_t entries, std::uint64_t directories,
                       const LocaleSettings& locale) const {
    return toSystem_(
        ProgressText(language_, FormatNumber(entries, locale), FormatNumber(directories, locale)));
  }

  // One line on standard error. A standard error that cannot be written
  // must not stop the listing: the exit code says it is incomplete anyway.
  void ToStandardError(std::string_view message) const {
    try {
      // Texts of several lines are joined with "\r\n", as the output's are.
      std::string line;
      const std::string_view lineBreak = platform_.LineBreak();
      for (std::size_t start = 0;;) {
        const std::size_t end = message.find("\r\n", start);
        line.append(message.substr(start, end - start)).append(lineBreak);
        if (end == std::string_view::npos) break;
        start = end + 2;
      }
      platform_.StandardError().Write(line.data(), line.size());
    } catch (...) {
    }
  }

 private:
  Platform& platform_;
  Language language_;
  SystemText toSystem_;
};

// The banner line under STAT: the full path as typed was made full, so a
// typed final separator stays and none is added, but a bare drive ("C:")
// names its root. root is the scanned directory, ending in its separator;
// a control byte in it is shown as "?".
std::string StatRoot(std::string root, const std::string& typed, PathStyle style,
                     const CodePage& code, bool controlShown = true) {
  if (controlShown) ShowControlChars(root);
  if (WithSeparator(typed, style, code).size() == typed.size()) return root;
  std::string shown = root.substr(0, root.size() - 1);
  const bool driveRoot = style == PathStyle::Windows && shown.size() == 2 && shown[1] == ':';
  return shown.empty() || driveRoot ? root : shown;
}

// The progress line, where standard error is a terminal and /NP is not given;
// not where a streamed listing goes to a terminal itself.
std::unique_ptr<ScanProgress> MakeProgress(Platform& platform, const ListOptions& options,
                                           const Messenger& messenger,
                                           const LocaleSettings& locale) {
  const std::size_t columns = platform.StandardError().TerminalColumns();
  if (options.NoProgress || columns == 0) return nullptr;
  if (options.Continue && platform.StandardOutput().IsInteractive()) return nullptr;
  return std::make_unique<ScanProgress>(
      platform.StandardError(), columns, [&platform] { return platform.Milliseconds(); },
      [&messenger, locale](std::uint64_t entries, std::uint64_t directories) {
        return messenger.Progress(entries, directories, locale);
      },
      platform.Code());
}

// What the walk hands its entries to with /C: the command's writer, which
// writes each at once. Null without /C: the list keeps them.
std::unique_ptr<EntryConsumer> MakeStreamed(Platform& platform, const ListOptions& options,
                                            const LocaleSettings& locale, LineWriter& out,
                                            const std::function<void(const Failure&)>& leftOut) {
  if (!options.Continue) return nullptr;
  const OutputPace::Clock clock = [&platform] { return platform.Milliseconds(); };
  switch (options.Command) {
    case CommandKind::List:
      return std::make_unique<StreamedList>(options, platform.Style(), locale, out, clock, leftOut);
    case CommandKind::Dir:
      return std::make_unique<StreamedDir>(options, platform.Style(), locale, out, clock);
    default:
      return std::make_unique<CountOnly>();
  }
}

// The command's output after the scan: all of it from the kept list, or
// what follows the entries of a streamed one.
void WriteCommand(Platform& platform, const ListOptions& options, const EntryList& list,
                  std::uint64_t total, EntryConsumer* streamed, const LocaleSettings& locale,
                  LineWriter& out) {
  const std::string banner = BannerText(platform.ReadVersion());
  switch (options.Command) {
    case CommandKind::List:
      if (!streamed) ListCommand(options, list, locale, out);
      break;
    case CommandKind::Stat:
      StatCommand(StatRoot(list.Root(), options.Directory, platform.Style(), platform.Code()), list,
                  banner, out);
      break;
    case CommandKind::Dir: {
      DiskSpace space;
      const DiskSpace* known = platform.GetDiskSpace(options.Directory, space) ? &space : nullptr;
      if (streamed) {
        static_cast<StreamedDir*>(streamed)->Table().Summary(list.Count(), total, known, banner);
      } else {
        DirCommand(options, list, total, known, locale, banner, out);
      }
      break;
    }
    case CommandKind::None:
    case CommandKind::Version:
      break;
  }
}

// LIST, DIR and STAT as records: the writer of /JSON and /CSV, or null.
std::unique_ptr<RecordWriter> MakeRecords(Platform& platform, const ListOptions& options,
                                          LineWriter& out) {
  const CommandKind command = options.Command;
  if (options.Records == RecordForm::None ||
      (command != CommandKind::List && command != CommandKind::Dir && command != CommandKind::Stat))
    return nullptr;
  return std::make_unique<RecordWriter>(
      options, platform.Style() == PathStyle::Windows, out,
      [&platform](TDateTime local) { return platform.UtcOffsetAt(local); },
      [&platform] { return platform.Milliseconds(); });
}

void FinishRecords(Platform& platform, const ListOptions& options, const EntryList& list,
                   bool streamed, std::uint64_t total, RecordWriter& records) {
  DiskSpace space;
  const bool known =
      options.Command == CommandKind::Dir && platform.GetDiskSpace(options.Directory, space);
  records.Finish(
      list, streamed, total, known ? &space : nullptr,
      StatRoot(list.Root(), options.Directory, platform.Style(), platform.Code(), false));
}

// Where the walk hands its entries: the keeper of the best n when /TOP ranks
// the whole tree, the records or the command's writer with /C, else nobody
// (the list keeps them).
struct Takers {
  std::unique_ptr<TopKeeper> top;
  std::unique_ptr<RecordWriter> records;
  std::unique_ptr<EntryConsumer> streamed;
  EntryConsumer* Walk(bool streaming) const {
    if (top) return top.get();
    if (records) return streaming ? records.get() : nullptr;
    return streamed.get();
  }
};

// The scan, and the command's output of it. /TOP with an order ranks the
// whole tree: a keeper takes every entry, each directory is walked in the
// system's order, and the best entries are written as a kept list would be.
void ScanAndWrite(Platform& platform, const ListOptions& options, bool details,
                  const LocaleSettings& locale, LineWriter& out, ScanProgress* progress,
                  const std::function<void(const Failure&)>& leftOut) {
  const EntryOrder order(options.Order, platform.Style(), platform.Code(),
                         options.Chosen.NameCase());
  const bool ranked = options.Top != 0 && !options.Order.empty();
  const bool directoriesCount = options.Command != CommandKind::List || !options.NoDir;
  Takers takers;
  if (ranked) takers.top = std::make_unique<TopKeeper>(options.Top, order, directoriesCount);
  takers.records = MakeRecords(platform, options, out);
  if (!ranked && !takers.records)
    takers.streamed = MakeStreamed(platform, options, locale, out, leftOut);
  EntryList list;
  list.StreamTo(takers.Walk(options.Continue));
  WalkDone done;
  if (options.Top != 0 && !ranked) done = FirstEntries(options.Top, directoriesCount);
  std::uint64_t total =
      ScanDirectory(platform, options.Directory, list, options.Recursive, details,
                    leftOut ? SkippedDirectory(leftOut) : SkippedDirectory(), options.Chosen,
                    progress, options.Order.empty() || ranked ? nullptr : &order, done);
  EntryList best;
  if (takers.top) total = takers.top->Replay(list, best);
  const EntryList& written = takers.top ? best : list;
  if (takers.records)
    return FinishRecords(platform, options, written, !ranked && options.Continue, total,
                         *takers.records);
  WriteCommand(platform, options, written, total, takers.streamed.get(), locale, out);
}

// Runs the selected command; false when the scan left directories out.
bool RunCommand(Platform& platform, const ListOptions& options, LineWriter& out,
                const Messenger& messenger) {
  if (options.Command == CommandKind::Version) {
    out.WriteText(BannerText(platform.ReadVersion()));
    return true;
  }
  for (const std::string& typed : options.Unexpected)
    messenger.ToStandardError(messenger.MessageOf(UnexpectedParameterWarning(typed)));
  const bool details =
      options.Command == CommandKind::Dir ||
      (options.Command == CommandKind::List &&
       LineTemplate::For(options, platform.Style(), platform.Code()).NeedsDetails()) ||
      OrderNeedsDetails(options.Order) || options.Records != RecordForm::None;
  const LocaleSettings locale = platform.ReadLocale();

  // With /C what cannot be listed is reported and left out, and the entries
  // are written as the walk meets them; without it, such a failure ends the
  // run before anything is written. A message first clears the progress line.
  const std::unique_ptr<ScanProgress> progress = MakeProgress(platform, options, messenger, locale);
  bool complete = true;
  std::function<void(const Failure&)> leftOut;
  if (options.Continue) {
    leftOut = [&complete, &messenger, &progress](const Failure& failure) {
      complete = false;
      if (progress) progress->Erase();
      messenger.ToStandardError(messenger.MessageOf(failure));
    };
  }
  ScanAndWrite(platform, options, details, locale, out, progress.get(), leftOut);
  return complete;
}

// Writes the message of a failure that ends the run on standard error,
// after what was written before it; the usage text asked for goes with the
// output.
void Report(LineWriter& out, const Messenger& messenger, std::string message, bool withOutput) {
  if (withOutput) {
    try {
      out.WriteText(message);
      out.Flush();
      return;
    } catch (const IoFailure& failure) {
      // Lines written before the failure stay written; the output's own
      // failure is reported on standard error.
      if (failure.IsClosedOutput()) return;
      message = messenger.MessageOf(failure);
    }
  } else {
    try {
      out.Flush();
    } catch (...) {
    }
  }
  messenger.ToStandardError(message);
}

// How the command line itself is read: the options that decide it are
// ASCII, so they are found in any code page; then the whole command line is
// read again in UTF-8 (records are UTF-8 whatever the code page, and name
// every entry exactly), or in the console's code page that cmd reads a batch
// file in, and so is every later text.
std::vector<std::string> ReadParameters(Platform& platform) {
  std::vector<std::string> params = platform.Parameters();
  const bool records = HasOption(params, "/JSON");
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

CommandKind CommandOf(const std::vector<std::string>& params) {
  CommandKind command = CommandKind::None;
  if (FindSwitch(params, {"S", "STAT"}) == 1) command = CommandKind::Stat;
  if (FindSwitch(params, {"L", "LIST"}) == 1) command = CommandKind::List;
  if (FindSwitch(params, {"D", "DIR"}) == 1) command = CommandKind::Dir;
  return command;
}

}  // namespace

ListOptions ParseCommandLine(Platform& platform) {
  const std::vector<std::string> params = ReadParameters(platform);
  if (params.empty() || IsHelpRequest(params))
    throw HelpRequest(UsageText(platform.ReadVersion(), OptionsUsage()));

  ListOptions options;
  if (params.front() == "--version") {
    options.Command = CommandKind::Version;
    return options;
  }
  options.Command = CommandOf(params);
  options.Directory = params.size() >= 2 ? params[1] : std::string();
  if (options.Directory.empty() || options.Directory == ".")
    options.Directory = platform.CurrentDirectory();
  if (!platform.DirectoryExists(options.Directory)) throw Failure(NotFoundText(options.Directory));
  // Nothing is scanned for a command the program does not know.
  if (options.Command == CommandKind::None)
    throw Failure(UnknownCommandText(platform.ReadVersion()));
  ReadOptions(params, ContextOf(platform), options);
  return options;
}

int RunTvx(Platform& platform) {
  try {
    const Messenger messenger(platform);
    LineWriter out(platform.StandardOutput(), platform.LineBreak());
    std::string message;
    bool withOutput = false;
    try {
      const bool complete = RunCommand(platform, ParseCommandLine(platform), out, messenger);
      out.Flush();
      return complete ? 0 : 1;
    } catch (const HelpRequest& help) {
      message = messenger.MessageOf(help);
      withOutput = true;
    } catch (const IoFailure& failure) {
      // A reader that closed the pipe early wants no more, not a message.
      if (failure.IsClosedOutput()) {
        out.Discard();
        return 1;
      }
      message = messenger.MessageOf(failure);
    } catch (const Failure& failure) {
      message = messenger.MessageOf(failure);
    } catch (const std::bad_alloc&) {
      message = messenger.OutOfMemory();
    } catch (const std::exception& failure) {
      message = failure.what();
    }
    // The list is gone by now.
    Report(out, messenger, std::move(message), withOutput);
  } catch (...) {
  }
  return 1;
}

}  // namespace tvx
