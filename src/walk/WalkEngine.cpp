// The walk engine: the walk's side. The readers' side is in
// WalkReaders.cpp, the read-ahead queue in WalkQueue.cpp and the cache of
// open directories in WalkCache.cpp.
//
// Who does what
// -------------
// The walk (one thread) calls EnterRoot, Read, WillEnter, Enter and Leave,
// in pre-order. After reading a directory it hands over, with WillEnter,
// the names of the subdirectories it will enter, in the order it will enter
// them; nothing else is ever entered or read ahead, so a directory the walk
// leaves out is never touched. Readers (0 to MaxThreads threads, started by
// the walk) each take one of those names at a time, enter it and read it
// whole into a listing. The platform supplies only the entering, the
// reading and the threads.
//
// The tree of Dir records
// -----------------------
//   path_:    root -> ... -> the directory the walk is in (the walk's stack)
//   children: the names handed over for each directory on path_, as Dirs
//   queue_:   the planned directories with children no reader has claimed;
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
//   kReading: the reader owns handle, listing, failure, retry and prepared.
//   kDone:    written, published by the unlock; the walk waits on slotDone_
//             for a kReading child and then owns everything.
//   kTaken:   the walk's alone.
//   reported: the walk's always. Read moves the listing there and reports
//             it; the names the walk was told stay in it until Leave, so
//             the walk copies none of them (the entry list keeps copies).
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
// The walk's own reading. While it waits for a child a single reader is
// reading, the walk becomes a reader too (WaitFor): it claims a sibling from
// the back of the parent's children, or, with none left, whatever the queue
// gives a reader next, exactly as a reader claims one (kQueued to kReading
// under the lock), reads it with the lock let go, and finishes it as a
// reader does, so that two reads are in flight and the walk sleeps only when
// there is nothing to read.
//
// A parent's handle is read by readers while they open a child through it:
// they pin it (the cache, under mutex_), and a pinned handle is never closed
// or parked. Leave first takes dir off the queue (no new claims), waits until
// no child is kReading (so none pinned), then frees the children: all in one
// hold of the lock, unless a child still holds a plan of its own (read ahead
// by forecast and never entered), which is undone first.
//
// What the lock costs. A reader takes it once a directory (its Finish and
// its next Claim are one hold); the walk once to enter a directory a reader
// has read (three times to open one itself), once to hand over its
// subdirectories and once to leave it. A reader counts its
// waits for the system (Waits, a system call where the kit has one) only
// over the read after one that took longer than a read from memory does.
//
// Nothing allocates or throws while mutex_ is held: a reader makes the Dirs
// of its forecast before it takes the lock, a handle comes in a node made
// with it, the queue and the cache link their records through the Dirs, and
// threads are started by the walk with the lock let go. So a reader's
// failure, out of memory included, is always the directory's, kept for the
// walk (see Failures), and never ends the process.
//
// The budget, and how it comes back
// ---------------------------------
// Listings (and their entries) read ahead and not yet taken (the queue), and
// directories open (the cache), by the walk and the readers together.
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
//   handle of the oldest unpinned directory open and opens it again,
//   relative to its parent, when next needed.
// Readers that found no room wait on workReady_; they are woken once a
// quarter of the room is back, not for every listing taken.
//
// Failures
// --------
// A reader keeps the failure to enter a child and the walk raises it from
// Enter; a listing that could not be read raises from Read (the listing's
// Deliver), where a walk without readers meets them too. Out of memory or of
// handles in a reader is no fault of the directory: the walk does it again.
// A directory opened before whose handle was closed (parked, or read ahead
// and let go) is opened again by its name when it is needed: when that fails
// (it was removed, renamed or made unreadable meanwhile), LostFailure names
// it, from WillEnter, Enter or Read, so that the walk gives up that directory
// and not the one it was about to enter.
#include "WalkEngine.h"

#include <algorithm>
#include <new>
#include <utility>

#include "WalkCache.h"
#include "WalkQueue.h"

namespace tvx {

namespace {
// Kept free for the walk's own opens, out of the readers' reach.
constexpr int kWalkReserve = 16;
}  // namespace

WalkEngine::Locked::Locked(ThreadKit::Mutex* mutex, Cache& cache) : mutex_(mutex), cache_(cache) {
  if (mutex_) mutex_->Lock();
}

WalkEngine::Locked::~Locked() {
  Opened* closing = cache_.TakeClosing();
  if (mutex_) mutex_->Unlock();
  Cache::Close(closing);
}

WalkEngine::Locked WalkEngine::Lock() {
  return Locked(mutex_.get(), *cache_);
}

WalkEngine::WalkEngine(DirectorySource& platform, bool withDetails, Bounds bounds)
    : platform_(platform),
      withDetails_(withDetails),
      kit_(platform.Threads()),
      queue_(std::make_unique<Queue>(bounds)) {
  const ReadAheadLimits limits = platform.Limits();
  const int aheadHandles = limits.Handles - kWalkReserve;
  cache_ = std::make_unique<Cache>(std::max(limits.Handles, kWalkReserve), aheadHandles);
  if (kit_ && limits.MaxThreads > 0 && aheadHandles > 0) {
    maxThreads_ = limits.MaxThreads;
    firstThreads_ = std::clamp(limits.FirstThreads, 1, maxThreads_);
    threads_.reserve(static_cast<std::size_t>(maxThreads_));
    mutex_ = kit_->NewMutex();
    workReady_ = kit_->NewCondition();
    slotDone_ = kit_->NewCondition();
  }
}

WalkEngine::~WalkEngine() {
  if (mutex_) {
    {
      auto locked = Lock();
      quit_ = true;
    }
    workReady_->WakeAll();
    threads_.clear();  // each waits for its reader to return
  }
  // Freed from the deepest up, so that no destructor recurses down the path.
  for (auto it = path_.rbegin(); it != path_.rend(); ++it) FreeChildren(**it);
}

WalkEngine::Held WalkEngine::HeldNow() {
  auto locked = Lock();
  return {queue_->Listings(), queue_->Entries(), cache_->Open()};
}

WalkEngine::Dir& WalkEngine::EnterRoot(const std::string& fullPath) {
  root_ = std::make_unique<Dir>(nullptr, fullPath);
  Open(*root_);
  path_.push_back(root_.get());
  return *root_;
}

WalkEngine::Dir& WalkEngine::Enter(Dir& parent, std::string_view name) {
  Dir* child = nullptr;
  bool itself = true;
  {
    auto locked = Lock();
    if (parent.nextWalk < parent.children.size() &&
        parent.children[parent.nextWalk]->name == name) {
      child = parent.children[parent.nextWalk++].get();
      if (child->state != State::kQueued) {
        WaitFor(parent, *child);
        queue_->GiveBack(*child);
        WakeIfRoom();
        itself = child->retry;
      }
      child->state = State::kTaken;
    }
  }
  if (!child) {
    // Not one of those counted: the walk's alone.
    parent.strays.push_back(std::make_unique<Dir>(&parent, name));
    child = parent.strays.back().get();
    child->opened = true;
  }
  if (!itself && child->failure) std::rethrow_exception(child->failure);
  if (itself) {
    child->listing.reset();
    Open(*child);
  }
  path_.push_back(child);
  return *child;
}

void WalkEngine::Read(Dir& dir, EntrySink& sink) {
  dir.reported = std::move(dir.listing);
  if (!dir.reported) {
    EnsureOpen(dir);
    dir.reported = platform_.Read(*dir.handle->handle, withDetails_);
  }
  dir.reported->Deliver(sink);
}

void WalkEngine::WillEnter(Dir& dir, std::vector<std::string> names) {
  // Planned by forecast already: kept when the walk says the same.
  if (dir.planned) {
    bool same = dir.children.size() == names.size();
    for (std::size_t i = 0; same && i < names.size(); ++i) same = dir.children[i]->name == names[i];
    if (!same) Unplan(dir);
  }
  Children made;
  if (!dir.planned) made = MakeChildren(dir, names);
  bool reopen = false;
  bool start = false;
  {
    auto locked = Lock();
    if (!dir.planned) Plan(dir, made);
    cache_->CloseIfDone(dir);
    WakeIfRoom();
    // Readers open its subdirectories through its handle.
    reopen = mutex_ && dir.unopened > 0 && !dir.handle;
    start = wanted_ > 0;
  }
  if (start) StartThreads();
  if (reopen) EnsureOpen(dir);
}

// Without the lock: the records of dir's subdirectories to enter, names.
WalkEngine::Children WalkEngine::MakeChildren(Dir& dir, const std::vector<std::string>& names) {
  Children children;
  children.reserve(names.size());
  for (const std::string& name : names) {
    children.push_back(std::make_unique<Dir>(&dir, name));
    children.back()->index = children.size() - 1;
  }
  return children;
}

// Under the lock: children (made by MakeChildren) are dir's subdirectories
// to enter.
void WalkEngine::Plan(Dir& dir, Children& children) {
  dir.planned = true;
  dir.unopened = children.size();
  dir.children.swap(children);
  // A lone subdirectory is entered at once; reading it ahead pays only
  // where reads wait and more threads run.
  const std::size_t worth = running_ > 1 ? 1 : 2;
  if (!mutex_ || dir.children.size() < worth) {
    dir.nextAhead = dir.children.size();
    return;
  }
  queue_->Add(dir);
  if (running_ == 0) wanted_ = std::max(wanted_, firstThreads_);
  workReady_->WakeAll();
}

// On the walk: dir's children as planned go, with what was read of them.
void WalkEngine::Unplan(Dir& dir) {
  {
    // No reader claims a child of dir from here on.
    auto locked = Lock();
    queue_->Remove(dir);
    dir.nextAhead = dir.children.size();
  }
  WaitForReaders(dir);
  FreeChildren(dir);
  auto locked = Lock();
  dir.planned = false;
}

void WalkEngine::Leave(Dir& dir) {
  dir.reported.reset();
  Children children, strays;  // freed once the lock is let go
  bool deep = false;
  {
    // One lock round trip where, as nearly always, the walk has entered
    // every child itself: none holds a plan of its own to undo.
    auto locked = Lock();
    queue_->Remove(dir);
    dir.nextAhead = dir.children.size();
    WaitForReadersLocked(dir);
    for (const auto& child : dir.children) deep = deep || child->planned;
    if (!deep) {
      TakeChildren(dir, children, strays);
      dir.planned = false;
      cache_->Drop(dir);
      WakeIfRoom();
    }
  }
  if (deep) {
    FreeChildren(dir);
    auto locked = Lock();
    dir.planned = false;
    cache_->Drop(dir);
    WakeIfRoom();
  }
  if (!path_.empty() && path_.back() == &dir) path_.pop_back();
}

// On the walk, with the lock let go: the readers asked for.
void WalkEngine::StartThreads() {
  int want = 0;
  {
    auto locked = Lock();
    want = std::min(wanted_, maxThreads_ - running_);
    wanted_ = 0;
  }
  for (; want > 0 && !cannotGrow_; --want) {
    // Counted before it starts: a reader it plans for at once must not see
    // none running and ask for one more.
    {
      auto locked = Lock();
      ++running_;
    }
    try {
      auto thread = kit_->Start([this] { Work(); });
      cannotGrow_ = !thread;
      if (thread) {
        threads_.push_back(std::move(thread));  // reserved: allocates nothing
        continue;
      }
    } catch (const std::bad_alloc&) {
      cannotGrow_ = true;  // the threads there are do it all
    }
    auto locked = Lock();
    --running_;
    break;
  }
}

// On the walk, once no child of dir is being read.
void WalkEngine::FreeChildren(Dir& dir) {
  // Subdirectories planned ahead by forecast go first, with their readers.
  for (const auto& child : dir.children) {
    if (child->planned) Unplan(*child);
  }
  Children children, strays;
  {
    auto locked = Lock();
    TakeChildren(dir, children, strays);
    WakeIfRoom();
  }
}

// Under the lock, once no child of dir is being read: its children and
// strays move to the caller, to be freed with the lock let go.
void WalkEngine::TakeChildren(Dir& dir, Children& children, Children& strays) {
  children.swap(dir.children);
  strays.swap(dir.strays);
  for (auto& child : children) {
    queue_->GiveBack(*child);
    cache_->Drop(*child);
  }
  for (auto& child : strays) cache_->Drop(*child);
  dir.nextAhead = dir.nextWalk = dir.unopened = 0;
}

}  // namespace tvx
