// The output commands: LIST, DIR and STAT turn the entry list into lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Locale.h"
#include "Options.h"

namespace tvx {

class EntryList;
class Failure;
class LineWriter;
struct DiskSpace;

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

// space is null when the drive query failed: the drive lines then show 0.
void DirCommand(const ListOptions& options, const EntryList& list, std::uint64_t totalBytes,
                const DiskSpace* space, const LocaleSettings& locale, const std::string& banner,
                LineWriter& out);

// Appends text padded with blanks to width bytes, as DIR's table columns are:
// after it (left-aligned) or before it. A longer text is kept whole.
void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool leftAligned);

void StatCommand(const std::string& fullPath, const EntryList& list, const std::string& banner,
                 LineWriter& out);

}  // namespace tvx
