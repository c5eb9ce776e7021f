#include "Run.h"

#include <algorithm>
#include <functional>
#include <new>

#include "OptionTable.h"
#include "lines/Commands.h"
#include "lines/Macros.h"
#include "lines/Output.h"
#include "lines/OutputPace.h"
#include "lines/Progress.h"
#include "lines/Records.h"
#include "platform/Platform.h"
#include "text/CommandLine.h"
#include "text/Failure.h"
#include "text/Messages.h"
#include "text/Text.h"
#include "walk/Order.h"
#include "walk/Scan.h"
#include "walk/TopN.h"

namespace tvx {

namespace {

bool IsHelpRequest(const std::vector<std::string>& params) {
  if (FindSwitch(params, {"H", "HELP"}) == 1 || HasOption(params, "/?", 0)) return true;
  // The spellings users of either platform type.
  const std::string& first = params.front();
  return first == "-?" || first == "-h" || first == "--help";
}

// The POSIX spellings of a help request end as POSIX tools' do, with exit
// code 0; the program's own (HELP, H, /?) keep 1.
bool IsPosixHelp(const std::vector<std::string>& params) {
  return params.front() == "-h" || params.front() == "--help";
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
      std::string line;
      AppendLines(line, message, platform_.LineBreak());
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
// names its root. root is the scanned directory, ending in its separator.
std::string StatRoot(const std::string& root, const std::string& typed, PathStyle style,
                     const CodePage& code) {
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

// LIST, DIR and STAT as records: the writer of /JSON and /CSV, or null.
std::unique_ptr<RecordWriter> MakeRecords(Platform& platform, const ListOptions& options,
                                          LineWriter& out) {
  const CommandKind command = options.Command;
  if (options.Records == RecordForm::None ||
      (command != CommandKind::List && command != CommandKind::Dir && command != CommandKind::Stat))
    return nullptr;
  return std::make_unique<RecordWriter>(
      options, platform.Style() == PathStyle::Windows, out,
      [&platform](TDateTime local) { return platform.UtcOffsetAt(local); });
}

// Writes nothing: the version and an unknown command scan nothing.
class NoWriter final : public CommandWriter {
 public:
  void Take(const EntryList&, const TTarvixFileInfo&) override {}
  void Finish(const EntryList&, const Closing&) override {}
};

// The command's one writer: its records, or its lines. leftOut is given
// where what cannot be written is left out (/C, streamed).
std::unique_ptr<CommandWriter> MakeWriter(Platform& platform, const ListOptions& options,
                                          const LocaleSettings& locale, LineWriter& out,
                                          const std::function<void(const Failure&)>& leftOut) {
  if (std::unique_ptr<RecordWriter> records = MakeRecords(platform, options, out)) return records;
  switch (options.Command) {
    case CommandKind::List:
      return std::make_unique<ListWriter>(options, platform.Style(), locale, out, leftOut);
    case CommandKind::Dir:
      return std::make_unique<DirWriter>(options, platform.Style(), locale, out);
    case CommandKind::Stat:
      return std::make_unique<StatWriter>(out);
    case CommandKind::None:
    case CommandKind::Version:
      break;
  }
  return std::make_unique<NoWriter>();
}

// What the output ends with: the drive is asked for DIR alone.
void FinishWriter(Platform& platform, const ListOptions& options, const EntryList& list,
                  std::uint64_t total, CommandWriter& writer) {
  DiskSpace space;
  const bool known =
      options.Command == CommandKind::Dir && platform.GetDiskSpace(options.Directory, space);
  writer.Finish(list, {total, known ? &space : nullptr,
                       StatRoot(list.Root(), options.Directory, platform.Style(), platform.Code()),
                       BannerText(platform.ReadVersion())});
}

// The scan, and the command's output of it. With /C the writer takes each
// entry as the walk reaches it; otherwise the list keeps them, and the
// writer replays them after the scan. /TOP with an order ranks the whole
// tree: a keeper takes every entry, each directory is walked in the
// system's order, and the best entries are replayed as a kept list is.
void ScanAndWrite(Platform& platform, const ListOptions& options, bool details,
                  const LocaleSettings& locale, LineWriter& out, ScanProgress* progress,
                  const std::function<void(const Failure&)>& leftOut) {
  const EntryOrder order(options.Order, platform.Style(), platform.Code(),
                         options.Chosen.NameCase());
  const bool ranked = options.Top != 0 && !options.Order.empty();
  const bool directoriesCount = options.Command != CommandKind::List || !options.NoDir;
  const bool streamed = options.Continue && !ranked;
  const std::unique_ptr<CommandWriter> writer =
      MakeWriter(platform, options, locale, out, streamed ? leftOut : nullptr);
  std::unique_ptr<TopKeeper> top;
  if (ranked) {
    // With /C the best n are of the entries LIST can write.
    TopKeeper::Admit admit;
    if (leftOut && options.Command == CommandKind::List && options.Records == RecordForm::None)
      admit = WritableNames(options, platform.Style(), locale.Code, leftOut);
    top = std::make_unique<TopKeeper>(options.Top, order, directoriesCount, std::move(admit));
  }
  OutputPace pace(out, [&platform] { return platform.Milliseconds(); });
  EntryList list;
  EntryConsumer* const taker = streamed ? writer.get() : nullptr;
  list.StreamTo(top ? top.get() : taker);
  WalkDone done;
  if (options.Top != 0 && !ranked) done = FirstEntries(options.Top, directoriesCount);
  std::uint64_t total = ScanDirectory(
      platform, options.Directory, list, options.Recursive, details,
      leftOut ? SkippedDirectory(leftOut) : SkippedDirectory(), options.Chosen, progress,
      options.Order.empty() || ranked ? nullptr : &order, done, streamed ? &pace : nullptr);
  EntryList best;
  if (top) total = top->Replay(list, best);
  const EntryList& written = top ? best : list;
  if (!streamed) Replay(*writer, written);
  FinishWriter(platform, options, written, total, *writer);
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
// output. True when the message went with the output, as asked.
bool Report(LineWriter& out, const Messenger& messenger, std::string message, bool withOutput) {
  if (withOutput) {
    try {
      out.WriteText(message);
      out.Flush();
      return true;
    } catch (const IoFailure& failure) {
      // Lines written before the failure stay written; the output's own
      // failure is reported on standard error.
      if (failure.IsClosedOutput()) return false;
      message = messenger.MessageOf(failure);
    }
  } else {
    try {
      out.Flush();
    } catch (...) {
    }
  }
  messenger.ToStandardError(message);
  return false;
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
    throw HelpRequest(UsageText(platform.ReadVersion(), OptionsUsage()),
                      !params.empty() && IsPosixHelp(params) ? 0 : 1);

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
    int exitCode = 1;
    try {
      const bool complete = RunCommand(platform, ParseCommandLine(platform), out, messenger);
      out.Flush();
      return complete ? 0 : 1;
    } catch (const HelpRequest& help) {
      message = messenger.MessageOf(help);
      withOutput = true;
      exitCode = help.ExitCode();
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
    if (!Report(out, messenger, std::move(message), withOutput)) exitCode = 1;
    return exitCode;
  } catch (...) {
  }
  return 1;
}

}  // namespace tvx
