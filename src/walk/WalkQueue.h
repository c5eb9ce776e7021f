// The walk engine's read-ahead queue: the planned directories whose
// children readers may claim, the order they claim them in, and the budget
// of what is read ahead and not yet taken. Every call is made under the
// engine's lock, and none allocates or throws.
#pragma once

#include <cstddef>

#include "WalkDir.h"

namespace tvx {

class WalkQueue {
 public:
  using Dir = WalkDir;
  using Bounds = WalkBounds;
  explicit WalkQueue(Bounds bounds) : bounds_(bounds) {}

  // dir's children from dir.nextAhead on may be claimed; dir leaves the
  // queue by itself once all are taken.
  void Add(Dir& dir);
  void Remove(Dir& dir);
  // The child the walk will need first that no one has started, of a
  // directory whose handle is open; null when there is none or the budget
  // is spent (handlesFull: no handle may be opened ahead). Counted at once.
  Dir* Claim(bool handlesFull);
  bool Full(bool handlesFull) const;
  void Count(Dir& child);  // claimed by the walk itself (WaitFor)

  // A child read ahead: its listing is held until the walk takes it, or
  // was not read (nothing held).
  void Hold(Dir& child);
  // A listing read ahead and never to be held again.
  void GiveBack(Dir& child);
  // Whether readers that found no room should be woken now: once a quarter
  // of it is back, not for every listing taken (waking them all each time
  // costs more than the reads).
  bool Woken(bool handlesFull);

  int Listings() const { return held_; }
  std::size_t Entries() const { return heldEntries_; }

 private:
  static bool ComesBefore(const Dir* a, std::size_t ai, const Dir* b, std::size_t bi);
  static bool Unclaimed(Dir& dir);

  const Bounds bounds_;
  Dir* first_ = nullptr;
  int held_ = 0;
  std::size_t heldEntries_ = 0;
  bool starved_ = false;  // a reader found no room
};

}  // namespace tvx
