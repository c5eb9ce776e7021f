#include "Run.h"

#include <functional>
#include <new>

#include "CommandTable.h"
#include "Messenger.h"
#include "RunPlan.h"
#include "lines/Output.h"
#include "lines/OutputPace.h"
#include "lines/Progress.h"
#include "lines/du/DuRun.h"
#include "lines/list/ListWriter.h"
#include "platform/Platform.h"
#include "text/Failure.h"
#include "text/Messages.h"
#include "text/Paths.h"
#include "text/Text.h"

namespace tvx {

namespace {

// The banner line under STAT: the platform's full path of the directory as
// typed, so a typed final separator stays and none is added, and a bare
// drive ("C:") names that drive's current directory.
std::string StatRoot(Platform& platform, const std::string& typed) {
  const std::string full = platform.FullPath(typed);
  // POSIX makes a path full by its own rule, which drops a final "/".
  const PathStyle style = platform.Style();
  const CodePage& code = platform.Code();
  const bool typedFinal = EndsWithChar(typed, Separator(style), code) ||
                          (style == PathStyle::Windows && EndsWithChar(typed, '/', code));
  return typedFinal ? WithSeparator(full, style, code) : full;
}

// The progress line, where standard error is a terminal and /NP is not given;
// not where a streamed listing goes to a terminal itself.
std::unique_ptr<ScanProgress> MakeProgress(Platform& platform, const ListOptions& options,
                                           const Messenger& messenger,
                                           const LocaleSettings& locale) {
  const std::size_t columns = platform.StandardError().TerminalColumns();
  if (options.NoProgress || columns == 0) return nullptr;
  const bool streamed = options.Continue || options.Command == CommandKind::Du;
  if (streamed && platform.StandardOutput().IsInteractive()) return nullptr;
  return std::make_unique<ScanProgress>(
      platform.StandardError(), columns, [&platform] { return platform.Milliseconds(); },
      [&messenger, locale](std::uint64_t entries, std::uint64_t directories) {
        return messenger.Progress(entries, directories, locale);
      },
      platform.Code());
}

// What the output ends with: the drive is asked for where the command
// shows it.
void FinishWriter(Platform& platform, const RunPlan& plan, const EntryList& list,
                  std::uint64_t total, CommandWriter& writer) {
  DiskSpace space;
  const std::string& dir = plan.Options.Directory;
  const bool known = plan.Command->AsksDiskSpace && platform.GetDiskSpace(dir, space);
  writer.Finish(list, {total, known ? &space : nullptr, StatRoot(platform, dir),
                       BannerText(platform.ReadVersion())});
}

// The walk, and the command's output of it. With /C the writer takes each
// entry as the walk reaches it; otherwise the walk keeps them, and hands
// them on after it.
void WalkAndWrite(Platform& platform, const RunPlan& plan, const LocaleSettings& locale,
                  LineWriter& out, ScanProgress* progress,
                  const std::function<void(const Failure&)>& leftOut) {
  const std::unique_ptr<CommandWriter> writer = MakeCommandWriter(
      *plan.Command,
      {plan.Options, platform.Style(), locale, plan.Lines, plan.WritesDirectories, out,
       plan.Walk.Streamed ? leftOut : nullptr,
       [&platform](TDateTime local) { return platform.UtcOffsetAt(local); }, platform.Threads()});
  OutputPace pace(out, [&platform] { return platform.Milliseconds(); });
  TreeWalk walk(platform, plan.Walk);
  // With /C the best n of a tree are of the entries LIST can write.
  if (plan.Walk.Until == WalkPlan::Stop::Best && leftOut && plan.Command->ReadsTemplate &&
      plan.Options.Records == RecordForm::None)
    walk.AdmitToRanking(WritableNames(plan.Options, plan.WritesDirectories,
                                      plan.Lines.Reach(plan.Options.FileNameOnly), leftOut));
  const std::uint64_t total = walk.Run(plan.Options.Directory,
                                       {leftOut ? SkippedDirectory(leftOut) : SkippedDirectory(),
                                        progress, plan.Walk.Streamed ? &pace : nullptr},
                                       *writer);
  FinishWriter(platform, plan, walk.Handed(), total, *writer);
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
  const RunPlan plan = MakeRunPlan(options, platform.Style(), platform.Code());
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
  if (plan.Command->RunsOwnWalk) {
    plan.Command->RunsOwnWalk(platform, options, locale, out, progress.get(), leftOut);
  } else {
    WalkAndWrite(platform, plan, locale, out, progress.get(), leftOut);
  }
  return complete;
}

// Writes the message of a failure that ends the run on standard error,
// after what was written before it; the usage text asked for goes with the
// output. True when the message went with the output, as asked.
bool ShowEndingMessage(LineWriter& out, const Messenger& messenger, std::string message,
                       bool withOutput) {
  if (withOutput) {
    try {
      out.WriteText(message);
      out.Finish();
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

}  // namespace

int RunTvx(Platform& platform) {
  try {
    const Messenger messenger(platform);
    LineWriter out(platform.StandardOutput(), platform.LineBreak());
    std::string message;
    bool withOutput = false;
    int exitCode = 1;
    try {
      const bool complete = RunCommand(platform, ParseCommandLine(platform), out, messenger);
      out.Finish();
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
    if (!ShowEndingMessage(out, messenger, std::move(message), withOutput)) exitCode = 1;
    return exitCode;
  } catch (...) {
  }
  return 1;
}

}  // namespace tvx
