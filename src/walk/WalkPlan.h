// What a walk is asked to do, decided once from the command line, and the
// walk that does it: it hands a consumer the entries, as it meets them or
// from the list it kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Choice.h"
#include "EntryList.h"
#include "Order.h"
#include "Scan.h"

namespace tvx {

class DirectorySource;

struct WalkPlan {
  // Where the walk stops: at the tree's end; after the first Count entries;
  // or at the tree's end, having kept the best Count of it by Order.
  enum class Stop { All, First, Best };
  bool Recursive = false;
  bool Details = false;  // sizes and times are read
  Choice Chosen;         // the entries listed and the directories entered
  // Each directory's entries in this order (Best: the tree's); none: the system's.
  std::optional<EntryOrder> Order;
  Stop Until = Stop::All;
  std::uint64_t Count = 0;       // of First and Best
  bool DirectoriesCount = true;  // toward Count: not where no directory is written
  bool Streamed = false;         // handed on as met; else kept, checked, then handed on
  bool GoesOn = false;           // past directories that cannot be entered or read
};

// Who is told of the walk besides its consumer; each outlives the walk.
struct WalkListeners {
  SkippedDirectory Skipped;  // with GoesOn: a directory left out
  WalkProgress* Progress = nullptr;
  WalkObserver* Observer = nullptr;
};

// Takes the walk's entries. Handed a kept list, it is first asked to check
// it whole, so that a failure stops the run before anything is written.
class ListConsumer : public EntryConsumer {
 public:
  virtual void Check(const EntryList&) {}
};

// A kept list into consumer: checked whole, then each entry in turn.
void HandKeptList(const EntryList& list, ListConsumer& consumer);

// One walk of a tree by a plan. The lists it fills live as long as it does.
class TreeWalk {
 public:
  TreeWalk(DirectorySource& source, const WalkPlan& plan) : source_(source), plan_(plan) {}
  // Walks dir, handing consumer the entries as planned; returns the total
  // size of those handed on.
  std::uint64_t Run(const std::string& dir, const WalkListeners& listeners, ListConsumer& consumer);
  // The list the handed entries are in, for what the consumer ends with.
  const EntryList& Handed() const { return plan_.Until == WalkPlan::Stop::Best ? best_ : walked_; }

 private:
  DirectorySource& source_;
  const WalkPlan& plan_;
  EntryList walked_, best_;
};

}  // namespace tvx
