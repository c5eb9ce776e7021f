// The output commands: LIST, DIR and STAT turn the entry list into lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Locale.h"
#include "Options.h"
#include "Paths.h"
#include "Text.h"

namespace tvx {

class EntryList;
class Failure;
class FullPrefixCache;
class LineWriter;
class TTarvixFileInfo;
struct DiskSpace;

// Tells, entry by entry in walk order, whether LIST can write the entry's
// line truthfully: not with "?" for characters the code page lacks, nor
// holding a control byte that would break the line (unless /0 ends the
// lines). When not, it raises the failure, or with /C hands it to leftOut,
// once for an entry and what is inside it.
class NameCheck {
 public:
  NameCheck(const ListOptions& options, std::function<void(const Failure&)> leftOut);
  bool Writable(const EntryList& list, const TTarvixFileInfo& entry, FullPrefixCache& prefixes);

 private:
  const ListOptions& options_;
  std::function<void(const Failure&)> leftOut_;
  bool rootChecked_ = false, rootBad_ = false;
  std::string reported_;  // the last directory reported, with its separator
};

// Raises the failure for the first entry whose name LIST would not write
// truthfully: with "?" for characters the code page lacks, or holding a
// control byte that would break the line (unless /0 ends the lines). Such a
// line names no file, or with the wildcard several. Directories that /NODIR
// leaves out count when the walk went into them, as their contents' lines
// hold their names; so does the listed directory. With /C each such entry
// goes to leftOut instead, and LIST leaves it and its contents out.
void CheckListedNames(const ListOptions& options, const EntryList& list,
                      const std::function<void(const Failure&)>& leftOut = nullptr);

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
