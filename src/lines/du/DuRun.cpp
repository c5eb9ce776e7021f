#include "DuRun.h"

#include "DuWriter.h"
#include "lines/Output.h"
#include "lines/OutputPace.h"
#include "lines/Progress.h"
#include "platform/Platform.h"
#include "text/Failure.h"
#include "walk/Scan.h"
#include "walk/WalkPlan.h"

namespace tvx {

namespace {

// Seconds since 1970 in UTC, as ncdu's export dates itself.
std::int64_t UnixNow(Platform& platform) {
  const TDateTime local = platform.Now();
  const TDateTime epoch = MakeDateTime(1970, 1, 1, 0, 0, 0);
  return static_cast<std::int64_t>(local - epoch) - platform.UtcOffsetAt(local);
}

std::unique_ptr<DuBase> MakeDuWriter(Platform& platform, const ListOptions& options,
                                     const LocaleSettings& locale, LineWriter& out) {
  if (options.Ncdu) {
    const std::string header = NcduHeader(platform.ReadVersion().ProductVersion, UnixNow(platform));
    return std::make_unique<NcduWriter>(options, out, header);
  }
  auto writer = std::make_unique<DuWriter>(options, platform.Style(), locale, out);
  const OutputSink& sink = platform.StandardOutput();
  const std::size_t columns = sink.TerminalColumns();
  writer->DrawAs({columns != 0 ? columns : 80, sink.ShowsBoxDrawing()});
  return writer;
}

}  // namespace

void RunDu(Platform& platform, const ListOptions& options, const LocaleSettings& locale,
           LineWriter& out, ScanProgress* progress,
           const std::function<void(const Failure&)>& leftOut) {
  const std::unique_ptr<DuBase> writer = MakeDuWriter(platform, options, locale, out);
  SkippedDirectory skipped;
  if (leftOut) {
    // Told while the walk is still in the directory that failed.
    skipped = [&writer, &leftOut](const IoFailure& failure) {
      writer->MarkPartial();
      leftOut(failure);
    };
  }
  OutputPace pace(out, [&platform] { return platform.Milliseconds(); });
  EntryList list;
  list.StreamTo(writer.get());
  // Where the system tells no storage facts, the directory read's sizes stand in.
  const bool details = platform.Style() == PathStyle::Windows;
  WalkPlan plan;
  plan.Recursive = true;
  plan.Details = details;
  plan.Chosen = options.Chosen.WithoutLevels();
  plan.Streamed = true;
  plan.GoesOn = static_cast<bool>(leftOut);
  ScanDirectory(platform, options.Directory, list, plan, {skipped, progress, &pace});
  writer->Finish(list, {});
}

}  // namespace tvx
