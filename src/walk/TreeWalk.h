// The walk a plan asks for: it hands a consumer the entries, as it meets
// them or from the list it kept.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "EntryList.h"
#include "Scan.h"
#include "WalkPlan.h"

namespace tvx {

class DirectorySource;

// Takes the walk's entries. Handed a kept list, it is first asked to check
// it whole, so that a failure stops the run before anything is written.
class ListConsumer : public EntryConsumer {
 public:
  virtual void Check(const EntryList&) {}
  // Takes every entry of a kept list, once checked, in order.
  virtual void TakeKept(const EntryList& list) {
    list.ForEach([&](const TTarvixFileInfo& entry) { Take(list, entry); });
  }
};

// A kept list into consumer: checked whole, then each entry in turn.
void HandKeptList(const EntryList& list, ListConsumer& consumer);

// One walk of a tree by a plan. The lists it fills live as long as it does.
class TreeWalk {
 public:
  TreeWalk(DirectorySource& source, const WalkPlan& plan) : source_(source), plan_(plan) {}
  // Keeping the best of a tree: which entries may be kept at all (with /C,
  // those a line can hold), so that those left out make room for the next.
  using Admit = std::function<bool(const EntryList&, const TTarvixFileInfo&)>;
  void AdmitToRanking(Admit admit) { admit_ = std::move(admit); }
  // Walks dir, handing consumer the entries as planned; returns the total
  // size of those handed on.
  std::uint64_t Run(const std::string& dir, const WalkListeners& listeners, ListConsumer& consumer);
  // The list the handed entries are in, for what the consumer ends with.
  const EntryList& Handed() const { return plan_.Until == WalkPlan::Stop::Best ? best_ : walked_; }

 private:
  DirectorySource& source_;
  const WalkPlan& plan_;
  Admit admit_;
  EntryList walked_, best_;
};

}  // namespace tvx
