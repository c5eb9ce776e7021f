// The walk engine's readers, the walk's own reading while it waits for
// them, and the opening of directories (the design note is in
// WalkEngine.cpp).
#include <algorithm>
#include <chrono>
#include <new>
#include <utility>

#include "WalkCache.h"
#include "WalkEngine.h"
#include "WalkQueue.h"
#include "text/Failure.h"

namespace tvx {

namespace {
// Reads that had to wait before the readers take one more thread.
constexpr int kSlowReadsPerThread = 4;

// Waits over one read that tell it waited for the system.
constexpr long kWaitsOfASlowRead = 2;

// Reads in turn that did not wait before a reader stops counting its waits.
constexpr int kWatchedAfterAWait = 32;

// A read served from memory takes some tens of microseconds, and about a
// microsecond an entry with details. A reader counts its waits (which costs
// system calls) over its first reads, the reads after one that waited, and
// the read after one that took longer: on a warm tree that is almost never,
// on a cold one every read, as before.
bool Slow(std::chrono::steady_clock::duration took, const DirListing* listing) {
  const std::size_t entries = listing ? listing->Count() : 0;
  return took > std::chrono::microseconds(200 + 4 * static_cast<long>(entries));
}
}  // namespace

void WalkEngine::Work() {
  bool watch = true;  // whether this read's waits are counted
  int unwaited = 0;   // reads in turn that did not wait
  mutex_->Lock();
  while (!quit_) {
    Dir* child = queue_->Claim(cache_->AheadFull());
    if (!child) {
      workReady_->Wait(*mutex_);
      continue;
    }
    Dir& parent = *child->parent;
    Begin(parent, *child);
    mutex_->Unlock();
    const auto start = std::chrono::steady_clock::now();
    const long before = watch ? kit_->Waits() : 0;
    Fetch(parent, *child);
    const long waits = watch ? kit_->Waits() - before : 0;
    // Watched until a long run of reads has not waited: on a cold tree,
    // where waits come every few reads (fast ones between), every read is
    // watched as before; on a warm one the watching stops after the first
    // reads, and only a read slower than memory starts it again.
    unwaited = waits >= kWaitsOfASlowRead ? 0 : std::min(unwaited + 1, kWatchedAfterAWait);
    watch = unwaited < kWatchedAfterAWait ||
            Slow(std::chrono::steady_clock::now() - start, child->listing.get());
    Children unused;
    mutex_->Lock();
    Finish(parent, *child, waits, unused);
    Opened* closing = cache_->TakeClosing();
    if (closing || !unused.empty()) {
      // Closed and freed with the lock let go: a close may wait on the system.
      mutex_->Unlock();
      Cache::Close(closing);
      unused.clear();
      mutex_->Lock();
    }
  }
  mutex_->Unlock();
}

// Under the lock: child of parent, claimed, is to be read ahead.
void WalkEngine::Begin(Dir& parent, Dir& child) {
  child.state = State::kReading;
  cache_->Pin(parent);
  // Counted at the claim, so that reads in flight cannot pass the bounds.
  cache_->Reserve();
}

// Without the lock: the reader owns child (kReading) and reads parent's
// pinned handle. Whatever fails is the child's: kept for the walk. A handle
// read but not kept is closed here, with no lock held.
void WalkEngine::Fetch(Dir& parent, Dir& child) {
  std::unique_ptr<DirHandle> handle;
  try {
    handle = platform_.Enter(*parent.handle->handle, child.name);
    child.listing = platform_.Read(*handle, withDetails_);
    if (forecast_ && child.listing->HasSubdirectories()) {
      child.prepared = MakeChildren(child, forecast_(*child.listing, child.depth));
    }
    child.handle = std::make_unique<Opened>(std::move(handle));
  } catch (const ShortageFailure&) {
    child.retry = true;
  } catch (const std::bad_alloc&) {
    child.retry = true;
  } catch (const ReadFailure&) {
    child.prepared.clear();  // unreadable: the walk meets it when it reports it
  } catch (...) {
    // A failure to enter is the directory's, raised where the walk enters
    // it; anything else the walk meets again when it reads it itself.
    if (handle) child.retry = true;
    if (!handle) child.failure = std::current_exception();
  }
  // Done again by the walk: what was read goes now, with no lock held.
  if (child.retry) child.listing.reset();
}

// Under the lock: child is done, and the walk hears of it if it waits.
// Allocates nothing: what it does not keep goes to unused, to be freed once
// the lock is let go.
void WalkEngine::Finish(Dir& parent, Dir& child, long waits, Children& unused) {
  cache_->Unpin(parent);
  if (!child.retry) cache_->MarkOpened(parent, child);
  // Its handle is kept for the subdirectories it will be entered for.
  const bool more =
      forecast_ ? !child.prepared.empty() : child.listing && child.listing->HasSubdirectories();
  if (!child.handle) {
    cache_->Unreserve();  // counted at the claim
  } else if (child.retry || !more || cache_->PastAhead()) {
    cache_->Adopt(child, std::move(child.handle));
    cache_->Drop(child);
  } else {
    cache_->Adopt(child, std::move(child.handle));
    if (!child.prepared.empty()) Plan(child, child.prepared);  // and read ahead in turn
  }
  unused.swap(child.prepared);
  queue_->Hold(child);
  child.state = State::kDone;
  if (walkWaits_) slotDone_->WakeAll();
  cache_->CloseIfDone(parent);
  WakeIfRoom();
  NoteWait(waits);
}

// Under the lock.
void WalkEngine::NoteWait(long waits) {
  // Reads that wait: more of them in flight hide the waiting.
  if (waits < kWaitsOfASlowRead || ++slowReads_ < kSlowReadsPerThread) return;
  slowReads_ = 0;
  if (!quit_ && running_ + wanted_ < maxThreads_) ++wanted_;
}

// Under the lock.
void WalkEngine::WakeIfRoom() {
  if (queue_->Woken(cache_->AheadFull())) workReady_->WakeAll();
}

// Under the lock: until a reader is done with child of parent. With a
// single reader the walk reads from the back of parent's children meanwhile,
// so that two reads are in flight; more readers have reads enough in flight.
void WalkEngine::WaitFor(Dir& parent, Dir& child) {
  std::size_t back = parent.children.size();
  while (child.state == State::kReading) {
    Dir* other = nullptr;
    while (running_ == 1 && !other && back > child.index + 1 &&
           !queue_->Full(cache_->AheadFull())) {
      Dir& candidate = *parent.children[--back];
      if (candidate.state == State::kQueued && parent.handle) other = &candidate;
    }
    if (other) queue_->Count(*other);
    // No sibling left: whatever a reader would read next, rather than sleep
    // until the reader wakes the walk (a wait and a wake-up a directory).
    if (!other && running_ == 1) other = queue_->Claim(cache_->AheadFull());
    if (other) {
      Dir& up = *other->parent;
      Begin(up, *other);
      mutex_->Unlock();
      Fetch(up, *other);
      Children unused;
      mutex_->Lock();
      Finish(up, *other, 0, unused);
      if (!unused.empty()) {
        mutex_->Unlock();
        unused.clear();
        mutex_->Lock();
      }
      continue;
    }
    walkWaits_ = true;
    slotDone_->Wait(*mutex_);
  }
  walkWaits_ = false;
}

void WalkEngine::WaitForReaders(Dir& dir) {
  if (!mutex_) return;
  auto locked = Lock();
  WaitForReadersLocked(dir);
}

// Under the lock: until no child of dir is being read.
void WalkEngine::WaitForReadersLocked(Dir& dir) {
  if (!mutex_) return;
  for (const auto& child : dir.children) {
    while (child->state == State::kReading) {
      walkWaits_ = true;
      slotDone_->Wait(*mutex_);
    }
  }
  walkWaits_ = false;
}

// On the walk: dir's handle, opened again (from its nearest open ancestor
// down) when it was closed or parked. Each of them was open before: one that
// cannot be opened again raises LostFailure naming it.
void WalkEngine::EnsureOpen(Dir& dir) {
  std::vector<Dir*> chain;
  chain.reserve(dir.depth + 1);  // so that nothing allocates under the lock
  {
    auto locked = Lock();
    for (Dir* d = &dir; d && !d->handle; d = d->parent) chain.push_back(d);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    try {
      Open(**it);
    } catch (const LostFailure&) {
      throw;
    } catch (const ShortageFailure&) {
      throw;  // no fault of the directory
    } catch (const IoFailure& failure) {
      throw LostFailure(failure.Code(), **it);
    }
  }
}

// On the walk: opens dir relative to its parent (whose handle is open), or
// the root by its path; out of handles, it parks one and tries again.
void WalkEngine::Open(Dir& dir) {
  Dir* parent = dir.parent;
  for (;;) {
    if (parent) EnsureOpen(*parent);
    {
      auto locked = Lock();
      // A reader closes a handle once every child counted is open: the
      // parent just opened again may be closed already. Pinned, it stays.
      if (parent && !parent->handle) continue;
      if (cache_->WalkFull()) cache_->Park(parent);
      if (parent) cache_->Pin(*parent);
      cache_->Reserve();
    }
    std::unique_ptr<Opened> handle;
    std::exception_ptr failure;
    bool shortage = false;
    try {
      handle = std::make_unique<Opened>(parent ? platform_.Enter(*parent->handle->handle, dir.name)
                                               : platform_.EnterRoot(dir.name));
    } catch (const ShortageFailure&) {
      shortage = true;
      failure = std::current_exception();
    } catch (...) {
      failure = std::current_exception();
    }
    auto locked = Lock();
    if (parent) cache_->Unpin(*parent);
    if (!handle) cache_->Unreserve();
    if (shortage && cache_->Park(parent)) continue;
    if (parent && !shortage) cache_->MarkOpened(*parent, dir);
    if (handle) cache_->Adopt(dir, std::move(handle));
    if (parent) cache_->CloseIfDone(*parent);
    WakeIfRoom();
    if (failure) std::rethrow_exception(failure);
    return;
  }
}

}  // namespace tvx
