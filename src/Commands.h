// The output commands: LIST, DIR and STAT turn the entry list into lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Locale.h"
#include "Macros.h"
#include "Options.h"
#include "Paths.h"
#include "Text.h"

namespace tvx {

class EntryList;
class Failure;
class FullPrefixCache;
class LineWriter;
class ListLines;
class TTarvixFileInfo;
struct DiskSpace;

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
  NameCheck(const ListOptions& options, PathReach reach,
            std::function<void(const Failure&)> leftOut);
  bool Writable(const EntryList& list, const TTarvixFileInfo& entry, FullPrefixCache& prefixes);

 private:
  bool RootWritable(const EntryList& list);
  const ListOptions& options_;
  const PathReach reach_;
  std::function<void(const Failure&)> leftOut_;
  bool rootChecked_ = false, rootBad_ = false;
  std::string reported_;  // the last directory reported, with its separator
};

// LIST's one writer, for a kept list and a streamed one alike: takes the
// entries in walk order, leaves out what /NODIR and the name check leave
// out, and writes each line.
class ListWriter {
 public:
  ListWriter(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
             LineWriter& out, std::function<void(const Failure&)> leftOut);
  ~ListWriter();
  void Take(const EntryList& list, const TTarvixFileInfo& entry);

 private:
  const ListOptions& options_;
  LineWriter& out_;
  NameCheck check_;
  std::unique_ptr<ListLines> lines_;
  std::unique_ptr<FullPrefixCache> prefixes_;  // made with the first entry, for its list
};

// Raises the failure for the first entry whose name LIST would not write
// truthfully, before anything is written: a kept list is checked whole, then
// written.
void CheckListedNames(const ListOptions& options, const EntryList& list, const CodePage& code);

// Checks the list, then writes it.
void ListCommand(const ListOptions& options, const EntryList& list, const LocaleSettings& locale,
                 LineWriter& out);

// DIR's table, a row at a time, then the count, total and drive lines.
class DirTable {
 public:
  DirTable(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
           LineWriter& out);
  void Row(const TTarvixFileInfo& entry);
  // space is null when the drive query failed: the drive lines then show 0.
  void Summary(std::size_t count, std::uint64_t totalBytes, const DiskSpace* space,
               const std::string& banner);

 private:
  const WordForm form_;
  const LocaleSettings& locale_;
  LineWriter& out_;
  std::string shown_, buffer_, line_;
};

void DirCommand(const ListOptions& options, const EntryList& list, std::uint64_t totalBytes,
                const DiskSpace* space, const LocaleSettings& locale, const std::string& banner,
                LineWriter& out);

void StatCommand(const std::string& fullPath, const EntryList& list, const std::string& banner,
                 LineWriter& out);

}  // namespace tvx
