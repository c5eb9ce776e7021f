// The walk engine's cache of open directories: how many handles are open
// against the budget, which directories hold one (oldest first, the order
// they are parked in), the pins that keep a handle open while a child is
// opened through it, and the handles dropped and not yet closed. Every call
// but Close is made under the engine's lock, and none allocates or throws.
// In the manner of bfs's bftw_cache, every pin and unpin is checked in
// debug builds.
#pragma once

#include <memory>

#include "WalkDir.h"

namespace tvx {

class WalkCache {
 public:
  using Dir = WalkDir;
  using Opened = WalkOpened;
  // Beyond walkHandles the walk parks one before it opens; readers open
  // only below aheadHandles.
  WalkCache(int walkHandles, int aheadHandles) : walk_(walkHandles), ahead_(aheadHandles) {}

  int Open() const { return handles_; }
  bool AheadFull() const { return handles_ >= ahead_; }
  bool PastAhead() const { return handles_ > ahead_; }
  bool WalkFull() const { return handles_ >= walk_; }

  // A handle about to be opened counts at once, so that opens in flight
  // cannot pass the bounds; Unreserve when none came of it.
  void Reserve() { ++handles_; }
  void Unreserve() { --handles_; }
  // dir's handle, opened under a reservation, is published.
  void Adopt(Dir& dir, std::unique_ptr<Opened> handle);
  // dir's handle (if any) is let go: closed once the lock is.
  void Drop(Dir& dir);
  void Pin(Dir& dir);
  void Unpin(Dir& dir);
  // Drops the handle of the oldest directory that is neither pinned nor
  // keep; false when there is none.
  bool Park(const Dir* keep);

  // child was opened through parent: once all of parent's counted children
  // are, no one needs parent's handle any more.
  void MarkOpened(Dir& parent, Dir& child);
  void CloseIfDone(Dir& dir);

  // The handles dropped so far, to close once the lock is let go.
  Opened* TakeClosing();
  static void Close(Opened* list);

 private:
  void Link(Dir& dir);
  void Unlink(Dir& dir);

  const int walk_;
  const int ahead_;
  int handles_ = 0;  // open or being opened, by the walk and the readers
  Dir* oldest_ = nullptr;
  Dir* newest_ = nullptr;
  Opened* closing_ = nullptr;
};

}  // namespace tvx
