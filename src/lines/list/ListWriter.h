// LIST's writer, and the check of which names its lines can hold.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Macros.h"
#include "lines/Commands.h"

namespace tvx {

class FullPrefixCache;
class ListLines;

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
  void TakeKept(const EntryList& list) override;
  void Finish(const EntryList&, const RunSummary&) override {}
  std::unique_ptr<CommandWriter> Fork(LineWriter& out) const override;

 private:
  ListWriter(const ListWriter& from, LineWriter& out);
  NameCheck MakeCheck(std::function<void(const Failure&)> leftOut) const;
  // The lines read these copies for as long as the writer lives.
  const ListOptions options_;
  const LocaleSettings locale_;
  const bool writesDirectories_;
  const PathReach reach_;  // of the lines into the path, which the name check follows
  const PathStyle style_;
  const LineTemplate template_;  // for a fork
  ThreadKit* const threads_;
  LineWriter& out_;
  NameCheck check_;
  std::unique_ptr<ListLines> lines_;
  std::unique_ptr<FullPrefixCache> prefixes_;  // made with the first entry, for its list
  bool checked_ = false;  // a kept list, checked whole: every entry can be written
};

}  // namespace tvx
