// What every command's writer is: it takes the entries in walk order and
// then the run's summary. The same writer serves both ways of
// running: handed each entry as the walk reaches it (/C), or replaying the
// kept list, checked whole first, after the scan. Each command's writer is
// in its folder: list/, dir/, stat/, records/, du/.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Options.h"
#include "text/Locale.h"
#include "text/Paths.h"
#include "walk/EntryList.h"
#include "walk/TreeWalk.h"

namespace tvx {

class Failure;
class LineTemplate;
class LineWriter;
class ThreadKit;
struct DiskSpace;

// What a command's output ends with, known once the walk is over. Each
// reads its own: DIR the total, the drive and the banner; STAT the root and
// the banner; the records DIR's and STAT's.
struct RunSummary {
  std::uint64_t TotalBytes = 0;      // of the entries listed
  const DiskSpace* Space = nullptr;  // DIR's drive; null when the query failed
  std::string Root;                  // STAT's directory as typed, made full
  std::string Banner;
};

// A command's one writer. A kept list is first checked (Check raises the
// failure that stops it before anything is written), then each of its
// entries taken; a streamed walk hands its entries over as it goes. Finish
// ends the output; list is the walked or kept one, and counts the entries.
class CommandWriter : public ListConsumer {
 public:
  virtual void Finish(const EntryList& list, const RunSummary& summary) = 0;
  // A writer of the same lines into out, for a writer whose lines for an
  // entry depend on nothing taken before it: a kept list may then be
  // written by two at once (KeptInTurns.h). Null where they do depend.
  virtual std::unique_ptr<CommandWriter> Fork(LineWriter& /*out*/) const { return nullptr; }
};

// What a command's writer is made from, by the command table. The writer
// copies what it keeps, but for Out: the run's line writer, which outlives
// every writer.
struct WriterInputs {
  const ListOptions& Options;
  PathStyle Style;
  const LocaleSettings& Locale;
  const LineTemplate& Lines;  // LIST's lines, read once for the run
  bool WritesDirectories;     // false: LIST /D, whose directories are no lines
  LineWriter& Out;
  std::function<void(const Failure&)> LeftOut;  // given where a streamed walk leaves out
  std::function<int(TDateTime)> UtcOffset;      // seconds east of UTC, for records
  ThreadKit* Threads = nullptr;                 // where a kept list may be written by two
};

}  // namespace tvx
