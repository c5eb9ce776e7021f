// The directory scan that fills the entry list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "EntryList.h"
#include "text/Locale.h"
#include "text/Paths.h"

namespace tvx {

class DirectorySource;
class IoFailure;
class EntryOrder;
class Choice;
struct WalkPlan;

// Lists every entry and enters every directory.
const Choice& NoChoice();

// dir as the scan sees it: a full path ending in a separator. The separator
// goes on first, so a bare drive "C:" names its root.
std::string ScanRootPath(DirectorySource& platform, const std::string& dir);

// Told of a directory the scan leaves out because it cannot be entered or
// read (or is gone); the failure names it. The walk then goes on.
using SkippedDirectory = std::function<void(const IoFailure&)>;

// Asked of every entry listed; true ends the walk right after it, as if the
// tree ended there.
using WalkDone = std::function<bool(const TTarvixFileInfo&)>;

// Shows how far the walk has come: Count is told of each directory read,
// with its entries, and says when to Show the directory being read; Erase
// clears what was shown once the walk ends.
class WalkProgress {
 public:
  virtual ~WalkProgress() = default;
  virtual bool Count(std::size_t entries) = 0;
  virtual void Show(std::string_view directory) = 0;
  virtual void Erase() = 0;
};

// Told of the walk's progress beside the entries it lists.
class WalkObserver {
 public:
  virtual ~WalkObserver() = default;
  // The walk is about to enter or read a directory, where it may wait.
  virtual void BeforeRead() = 0;
};

// Who is told of the walk besides its consumer; each outlives the walk.
struct WalkListeners {
  SkippedDirectory Skipped;  // with GoesOn: a directory left out
  WalkProgress* Progress = nullptr;
  WalkObserver* Observer = nullptr;
};

// Scans dir (made a full path first) into list, in pre-order: each
// directory's record comes right before its contents. Links are listed but
// never entered. plan says whether the walk is recursive, whether sizes and
// times are read, which entries are listed and directories entered, and
// (unless it keeps the tree's best) each directory's order. A failure names
// the directory it concerns; a directory that cannot be entered or read
// ends the scan, unless the plan goes on past it and tells listeners. done,
// when given, may end the walk early. Returns the total size of the listed
// entries.
std::uint64_t ScanDirectory(DirectorySource& platform, const std::string& dir, EntryList& list,
                            const WalkPlan& plan, const WalkListeners& listeners,
                            const WalkDone& done = nullptr);

}  // namespace tvx
