// The output commands: LIST, DIR and STAT, each one writer that takes the
// entries in walk order and then the scan's closing facts. The same writer
// serves both ways of running: handed each entry as the walk reaches it
// (/C), or replaying the kept list, checked whole first, after the scan.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Options.h"
#include "list/Macros.h"
#include "quoting/Quoting.h"
#include "text/Locale.h"
#include "text/Paths.h"
#include "text/Text.h"
#include "walk/EntryList.h"
#include "walk/TreeWalk.h"

namespace tvx {

class Failure;
class FullPrefixCache;
class LineWriter;
class ListLines;
struct DiskSpace;

// What a command's output ends with, known once the walk is over. Each
// reads its own: DIR the total, the drive and the banner; STAT the root and
// the banner; the records DIR's and STAT's.
struct Closing {
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
  virtual void Finish(const EntryList& list, const Closing& closing) = 0;
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
};

// Tells, entry by entry in walk order, whether LIST can write the entry's
// line truthfully: not with "?" for characters the code page lacks, nor
// holding a name no line can hold (unless /0 ends the lines). Only what the
// lines hold counts: the listed directory where they hold whole paths, the
// directories below it where they hold those, the name where they hold it.
// Directories that /NODIR leaves out count when the walk went into them, as
// their contents' lines hold their names. When a name cannot be written, it
// raises the failure, or with /C hands it to leftOut, once for an entry and
// what is inside it.
class NameCheck {
 public:
  // nul: /0 ends the lines; unentered: directories neither written nor
  // walked into, whose names no line holds.
  NameCheck(bool nul, bool unentered, PathReach reach, std::function<void(const Failure&)> leftOut);
  bool Writable(const EntryList& list, const TTarvixFileInfo& entry, FullPrefixCache& prefixes);

 private:
  bool RootWritable(const EntryList& list);
  const bool nul_;        // /0: a line can hold a control byte
  const bool unentered_;  // directories that are not written, nor walked into
  const PathReach reach_;
  std::function<void(const Failure&)> leftOut_;
  bool rootChecked_ = false, rootBad_ = false;
  std::string reported_;  // the last directory reported, with its separator
};

// With /C and a ranking of the whole tree (/TOP with /O): whether LIST can
// write an entry, as the walk meets it, each one it cannot handed to leftOut.
// The best entries are then chosen among the writable ones.
std::function<bool(const EntryList&, const TTarvixFileInfo&)> WritableNames(
    const ListOptions& options, bool writesDirectories, PathReach reach,
    std::function<void(const Failure&)> leftOut);

// LIST's writer: leaves out what /NODIR and the name check leave out, and
// writes each line. leftOut (/C, streamed only) takes what it cannot write;
// without it that stops the run.
class ListWriter final : public CommandWriter {
 public:
  explicit ListWriter(const WriterInputs& in);
  ~ListWriter() override;
  void Check(const EntryList& list) override;
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override;
  void Finish(const EntryList&, const Closing&) override {}

 private:
  NameCheck MakeCheck(std::function<void(const Failure&)> leftOut) const;
  // The lines read these copies for as long as the writer lives.
  const ListOptions options_;
  const LocaleSettings locale_;
  const bool writesDirectories_;
  const PathReach reach_;  // of the lines into the path, which the name check follows
  LineWriter& out_;
  NameCheck check_;
  std::unique_ptr<ListLines> lines_;
  std::unique_ptr<FullPrefixCache> prefixes_;  // made with the first entry, for its list
};

// DIR's table, a row at a time, then the count, total and drive lines.
class DirWriter final : public CommandWriter {
 public:
  explicit DirWriter(const WriterInputs& in);
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override;
  void Finish(const EntryList& list, const Closing& closing) override;

 private:
  void AppendName(std::string_view name, bool quiet);

  const WordForm form_;  // its letters only: DIR quotes by a rule of its own
  const bool quote_;
  // What the terminal shows names in: UTF-8 on POSIX, whose names are bytes
  // to the program; on Windows the code page they are written in.
  const CodePage widthCode_;
  const LocaleSettings locale_;
  LineWriter& out_;
  std::string shown_, buffer_, line_;
};

// STAT's count: nothing for each entry, then the banner and the ROOT line.
class StatWriter final : public CommandWriter {
 public:
  explicit StatWriter(const WriterInputs& in) : out_(in.Out) {}
  void Take(const EntryList&, const TTarvixFileInfo&) override {}
  void Finish(const EntryList& list, const Closing& closing) override;

 private:
  LineWriter& out_;
};

}  // namespace tvx
