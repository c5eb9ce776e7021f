// The walk engine: enters and reads the directories of a scan in the walk's
// order, reading ahead on threads the subdirectories the walk says it will
// enter, within one budget.
//
// Who does what
// -------------
// The walk (one thread) calls EnterRoot, Read, WillEnter, Enter and Leave,
// in pre-order. After reading a directory it hands over, with WillEnter,
// the names of the subdirectories it will enter, in the order it will enter
// them; nothing else is ever entered or read ahead, so a directory the walk
// leaves out is never touched. Readers (0 to MaxThreads threads) each take
// one of those names at a time, enter it and read it whole into a listing.
// The platform supplies only the entering, the reading and the threads.
//
// The tree of Dir records
// -----------------------
//   path_:    root -> ... -> the directory the walk is in (the walk's stack)
//   children: the names handed over for each directory on path_, as Dirs
//   pending_: the planned directories with children no reader has claimed;
//             readers claim the child that comes first in the walk's order.
//   A reader that has read a directory plans it by the walk's forecast
//   (ForecastWith), so readers go on below it; the walk's WillEnter keeps
//   that plan when it says the same, and drops it (and what was read for
//   it) when it does not.
//
// Ownership of a child's fields, by its state (state itself under mutex_):
//
//   kQueued  --reader claims-->  kReading  --reader done-->  kDone
//      |                                                      |
//      +------------------ walk takes (Enter) ------------> kTaken
//
//   kQueued:  nobody has started it. A walk that reaches it takes it and
//             does it itself; no reader will start it then.
//   kReading: the reader owns handle, listing, failure, retry.
//   kDone:    written, published by the unlock; the walk waits on slotDone_
//             for a kReading child and then owns everything.
//   kTaken:   the walk's alone.
//
// How a listing is handed over. The reader writes the child's fields with
// no lock held, then marks it kDone under the lock; the walk reads them only
// after seeing kDone under the same lock, so the lock orders the writes
// before the reads. Without the wait, this would go wrong:
//
//   walk                               | reader
//   -----------------------------------+-----------------------------------
//   Enter(d1): d1 is kReading          | listing = Read(d1) ... (writing)
//   reads d1's listing  <-- half made  |
//
// and so it goes:
//
//   walk                               | reader
//   -----------------------------------+-----------------------------------
//   lock; d1 kReading: walkWaits_,     | listing = Read(d1)
//     wait on slotDone_ (lock let go)  | lock; d1 = kDone;
//                                      |   walkWaits_: slotDone_ woken
//   woken with the lock: d1 kDone;     | unlock
//     the listing is the walk's        |
//
// The other race, a walk that takes a child a reader is about to start:
// both test and set its state under the lock, so exactly one of them sees
// kQueued and the other passes it by (a reader) or waits for it (the walk).
//
// A parent's handle is read by readers while they open a child through it:
// they pin it (pins, under mutex_), and a pinned handle is never closed or
// parked. Leave first takes dir off pending_ (no new claims), waits until
// no child is kReading (so none pinned), then frees the children.
//
// The budget, and how it comes back
// ---------------------------------
// held_ listings (and heldEntries_ entries) read ahead and not yet taken,
// and handles_ directories open, by the walk and the readers together.
// - A reader claims only while all three are below their bounds. It counts
//   its listing and its handle at the claim, so readers in flight cannot
//   pass the bounds (entries, unknown before the read, can by a listing
//   each). It keeps the handle after the read only when the listing has
//   subdirectories and the bound allows; else it closes it, and the walk
//   opens it again if it needs it.
// - A listing's count comes back when the walk takes it (Enter) or leaves
//   its parent without taking it (Leave, or the engine's end).
// - A handle comes back when every expected child of its directory has been
//   opened, when the walk leaves the directory, or when the walk parks it:
//   past its bound, or out of handles (ShortageFailure), the walk closes the
//   handle of the oldest unpinned directory on its path and opens it again,
//   relative to its parent, when next needed.
// Readers that found no room wait on workReady_ (starved_); they are woken
// once a quarter of the room is back, not for every listing taken.
//
// Failures
// --------
// A reader keeps the failure to enter a child and the walk raises it from
// Enter; a listing that could not be read raises from Read (the listing's
// Report), where a walk without readers meets them too. Out of memory or of
// handles in a reader is no fault of the directory: the walk does it again.
// A directory opened before whose handle was closed (parked, or read ahead
// and let go) is opened again by its name when it is needed: when that fails
// (it was removed, renamed or made unreadable meanwhile), LostFailure names
// it, from WillEnter, Enter or Read, so that the walk gives up that directory
// and not the one it was about to enter.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Failure.h"
#include "Platform.h"

namespace tvx {

// Bounds of what is read ahead and not yet taken.
struct WalkBounds {
  int Listings = 512;
  std::size_t Entries = std::size_t{1} << 17;
};

class WalkEngine {
 public:
  struct Dir;
  using Bounds = WalkBounds;
  // What is held ahead now (for checks).
  struct Held {
    int Listings = 0;
    std::size_t Entries = 0;
    int Handles = 0;
  };

  // The subdirectories the walk will enter of a directory it reads at a
  // depth (the scanned one's is 0), in its order. Called on readers'
  // threads, so it must hold no state; it must give what the walk will hand
  // over to WillEnter for the same listing.
  using Forecast = std::function<std::vector<std::string>(DirListing& listing, std::size_t depth)>;

  WalkEngine(Platform& platform, bool withDetails, Bounds bounds = {});
  ~WalkEngine();
  WalkEngine(const WalkEngine&) = delete;
  WalkEngine& operator=(const WalkEngine&) = delete;

  // Enters the scanned directory (a full path ending in a separator).
  Dir& EnterRoot(const std::string& fullPath);
  // Enters subdirectory name of parent: the next one handed over with
  // WillEnter, or, if the walk strays from that order, whichever it names.
  // Raises the failure to enter it.
  Dir& Enter(Dir& parent, std::string_view name);
  // Reports dir's entries; raises ReadFailure when it cannot be read.
  void Read(Dir& dir, EntrySink& sink);
  // Lets readers read beyond the directories handed over so far: what a
  // reader reads, it plans by forecast, and reads ahead in turn.
  void ForecastWith(Forecast forecast) { forecast_ = std::move(forecast); }
  // The subdirectories of dir the walk will enter, in that order.
  void WillEnter(Dir& dir, std::vector<std::string> names);
  // The walk is done with dir (the directory it is in): what was read ahead
  // for it and not taken is given back, and its handle closed.
  void Leave(Dir& dir);

  Held HeldNow();

  // A directory opened before (entered by the walk, or read ahead) that
  // cannot be opened again: removed, renamed or made unreadable since. The
  // failure is that directory's (the one the walk is entering or one on its
  // path), whichever the walk was about to enter or read.
  class LostFailure : public IoFailure {
   public:
    LostFailure(int code, const Dir& dir) : IoFailure(code), dir_(&dir) {}
    const Dir& Lost() const { return *dir_; }

   private:
    const Dir* dir_;
  };

 private:
  enum class State { kQueued, kReading, kDone, kTaken };
  class Locked;

  void Work();
  bool Claim(Dir*& parent, Dir*& child);
  static bool ComesBefore(const Dir* a, std::size_t ai, const Dir* b, std::size_t bi);
  void Fetch(Dir& parent, Dir& child);
  void Finish(Dir& parent, Dir& child, long waits);
  void Queue(Dir& dir);
  void StartThread();
  void NoteWait(long waits);
  void GiveBack(Dir& child);
  void WakeIfRoom();
  void MarkOpened(Dir& parent, Dir& child);
  void CloseIfDone(Dir& dir);
  void Drop(std::unique_ptr<DirHandle>& handle);
  bool ParkOne(const Dir* keep);
  void EnsureOpen(Dir& dir);
  void Open(Dir& dir);
  void FreeChildren(Dir& dir);
  void WaitForReaders(Dir& dir);
  void WaitFor(Dir& parent, Dir& child);
  bool Full() const;
  void Reserve(Dir& parent, Dir& child);
  void Plan(Dir& dir, const std::vector<std::string>& names);
  void Unplan(Dir& dir);

  Platform& platform_;
  const bool withDetails_;
  const Bounds bounds_;
  ThreadKit* kit_;
  Forecast forecast_;
  int maxThreads_ = 0;
  int firstThreads_ = 0;
  int walkHandles_;   // beyond these the walk parks one before it opens
  int aheadHandles_;  // readers claim only below these
  std::unique_ptr<ThreadKit::Mutex> mutex_;
  std::unique_ptr<ThreadKit::Condition> workReady_;  // for the readers
  std::unique_ptr<ThreadKit::Condition> slotDone_;   // for the walk
  std::vector<std::unique_ptr<ThreadKit::Thread>> threads_;
  std::unique_ptr<Dir> root_;
  std::vector<Dir*> path_;  // the walk's alone
  // Under mutex_:
  std::vector<Dir*> pending_;
  std::vector<std::unique_ptr<DirHandle>> closing_;  // closed once the lock is let go
  int held_ = 0;
  std::size_t heldEntries_ = 0;
  int handles_ = 0;
  int slowReads_ = 0;
  bool starved_ = false;
  bool walkWaits_ = false;
  bool quit_ = false;
  bool cannotGrow_ = false;
};

}  // namespace tvx
