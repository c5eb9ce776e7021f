// The walk engine's readers, and the handles and budget they share with the
// walk (the design note is in WalkEngine.h).
#include <algorithm>
#include <new>
#include <utility>

#include "Failure.h"
#include "WalkDir.h"

namespace tvx {

namespace {
// Reads that had to wait before the readers take one more thread.
constexpr int kSlowReadsPerThread = 4;
}  // namespace

void WalkEngine::Work() {
  mutex_->Lock();
  while (!quit_) {
    Dir* parent = nullptr;
    Dir* child = nullptr;
    if (!Claim(parent, child)) {
      workReady_->Wait(*mutex_);
      continue;
    }
    mutex_->Unlock();
    const long before = kit_->Waits();
    Fetch(*parent, *child);
    const long waits = kit_->Waits() - before;
    mutex_->Lock();
    Finish(*parent, *child, waits);
    if (!closing_.empty()) {
      // Closed with the lock let go: a close may wait on the system.
      std::vector<std::unique_ptr<DirHandle>> closing;
      closing.swap(closing_);
      mutex_->Unlock();
      closing.clear();
      mutex_->Lock();
    }
  }
  mutex_->Unlock();
}

// Whether child ai of a comes before child bi of b in the walk's order
// (pre-order: a directory before what it holds, siblings in their order).
bool WalkEngine::ComesBefore(const Dir* a, std::size_t ai, const Dir* b, std::size_t bi) {
  const std::size_t lengthA = a->depth + 1, lengthB = b->depth + 1;
  std::size_t la = lengthA, lb = lengthB;
  // Cut the longer place to the length of the shorter, then compare upwards;
  // the topmost difference decides.
  for (; la > lb; --la) ai = a->index, a = a->parent;
  for (; lb > la; --lb) bi = b->index, b = b->parent;
  int order = 0;
  for (;;) {
    if (ai != bi) order = ai < bi ? -1 : 1;
    if (a == b || !a->parent || !b->parent) break;
    ai = a->index, a = a->parent;
    bi = b->index, b = b->parent;
  }
  return order != 0 ? order < 0 : lengthA < lengthB;
}

// Under the lock: the child the walk will need first that nobody has
// started, of a directory whose handle is open.
bool WalkEngine::Claim(Dir*& parent, Dir*& child) {
  if (Full()) {
    starved_ = true;
    return false;
  }
  Dir* best = nullptr;
  for (std::size_t k = 0; k < pending_.size();) {
    Dir& p = *pending_[k];
    while (p.nextAhead < p.children.size() && p.children[p.nextAhead]->state != State::kQueued) {
      ++p.nextAhead;  // taken by the walk
    }
    if (p.nextAhead == p.children.size()) {
      pending_[k] = pending_.back();
      pending_.pop_back();
      continue;
    }
    // Without a handle (parked) it waits for the walk to open it again.
    if (p.handle && (!best || ComesBefore(&p, p.nextAhead, best, best->nextAhead))) best = &p;
    ++k;
  }
  if (!best) return false;
  parent = best;
  child = best->children[best->nextAhead++].get();
  Reserve(*parent, *child);
  return true;
}

// Under the lock.
bool WalkEngine::Full() const {
  return held_ >= bounds_.Listings || heldEntries_ >= bounds_.Entries || handles_ >= aheadHandles_;
}

// Under the lock: child of parent is to be read ahead.
void WalkEngine::Reserve(Dir& parent, Dir& child) {
  child.state = State::kReading;
  ++parent.pins;
  // Counted at the claim, so that reads in flight cannot pass the bounds.
  ++handles_;
  ++held_;
}

// Without the lock: the reader owns child (kReading) and reads parent's
// pinned handle.
void WalkEngine::Fetch(Dir& parent, Dir& child) {
  std::unique_ptr<DirHandle> handle;
  try {
    handle = platform_.Enter(*parent.handle, child.name);
    child.listing = platform_.Read(*handle, withDetails_);
    if (forecast_ && child.listing->HasSubdirectories()) {
      child.forecast = forecast_(*child.listing, child.depth);
    }
  } catch (const ShortageFailure&) {
    child.retry = true;
  } catch (const std::bad_alloc&) {
    child.retry = true;
  } catch (const ReadFailure&) {
    child.forecast.clear();  // unreadable: the walk meets it when it reports it
  } catch (...) {
    // A failure to enter is the directory's, raised where the walk enters
    // it; anything else the walk meets again when it reads it itself.
    if (handle) child.retry = true;
    if (!handle) child.failure = std::current_exception();
  }
  child.handle = std::move(handle);
}

// Under the lock: child is done, and the walk hears of it if it waits.
void WalkEngine::Finish(Dir& parent, Dir& child, long waits) {
  --parent.pins;
  if (child.retry) {
    child.listing.reset();
  } else {
    MarkOpened(parent, child);
  }
  // Its handle is kept for the subdirectories it will be entered for.
  const bool more =
      forecast_ ? !child.forecast.empty() : child.listing && child.listing->HasSubdirectories();
  if (!child.handle) {
    --handles_;  // counted at the claim
  } else if (child.retry || !more || handles_ > aheadHandles_) {
    Drop(child.handle);
  } else if (!child.forecast.empty()) {
    Plan(child, child.forecast);  // and read ahead in turn
  }
  child.forecast = {};
  if (child.listing) {
    child.held = true;
    child.cost = child.listing->Count();
    heldEntries_ += child.cost;
  } else {
    --held_;
  }
  child.state = State::kDone;
  if (walkWaits_) slotDone_->WakeAll();
  CloseIfDone(parent);
  NoteWait(waits);
}

// Under the lock.
void WalkEngine::NoteWait(long waits) {
  // Reads that wait: more of them in flight hide the waiting.
  if (waits < 2 || ++slowReads_ < kSlowReadsPerThread) return;
  slowReads_ = 0;
  if (!quit_) StartThread();
}

// Under the lock: a listing read ahead and never to be held again.
void WalkEngine::GiveBack(Dir& child) {
  if (!child.held) return;
  child.held = false;
  --held_;
  heldEntries_ -= child.cost;
  WakeIfRoom();
}

// Under the lock. Readers that wait for room are woken once a quarter of it
// is free, not for every listing taken: waking them all each time costs more
// than the reads.
void WalkEngine::WakeIfRoom() {
  if (!starved_ || held_ > bounds_.Listings - bounds_.Listings / 4 ||
      heldEntries_ > bounds_.Entries - bounds_.Entries / 4 || handles_ >= aheadHandles_) {
    return;
  }
  starved_ = false;
  workReady_->WakeAll();
}

// Under the lock.
void WalkEngine::MarkOpened(Dir& parent, Dir& child) {
  if (child.opened) return;
  child.opened = true;
  if (parent.unopened > 0) --parent.unopened;
}

// Under the lock: a handle no one will open a child through any more.
void WalkEngine::CloseIfDone(Dir& dir) {
  if (dir.planned && dir.unopened == 0 && dir.pins == 0) Drop(dir.handle);
}

// Under the lock: closed once the lock is let go.
void WalkEngine::Drop(std::unique_ptr<DirHandle>& handle) {
  if (!handle) return;
  --handles_;
  closing_.push_back(std::move(handle));
  if (starved_) WakeIfRoom();
}

// Under the lock, on the walk: closes one handle that is kept for later,
// the oldest directory's on the walk's path first, then one read ahead.
bool WalkEngine::ParkOne(const Dir* keep) {
  for (Dir* dir : path_) {
    if (dir != keep && dir->handle && dir->pins == 0) {
      Drop(dir->handle);
      return true;
    }
  }
  for (Dir* dir : path_) {
    for (const auto& child : dir->children) {
      if (child.get() != keep && child->state == State::kDone && child->handle &&
          child->pins == 0) {
        Drop(child->handle);
        return true;
      }
    }
  }
  for (Dir* dir : pending_) {
    if (dir != keep && dir->handle && dir->pins == 0) {
      Drop(dir->handle);
      return true;
    }
  }
  return false;
}

// On the walk: dir's handle, opened again (from its nearest open ancestor
// down) when it was closed or parked. Each of them was open before: one that
// cannot be opened again raises LostFailure naming it.
void WalkEngine::EnsureOpen(Dir& dir) {
  std::vector<Dir*> chain;
  {
    Locked locked(*this);
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
      Locked locked(*this);
      // A reader closes a handle once every child counted is open: the
      // parent just opened again may be closed already. Pinned, it stays.
      if (parent && !parent->handle) continue;
      if (handles_ >= walkHandles_) ParkOne(parent);
      if (parent) ++parent->pins;
      ++handles_;
    }
    std::unique_ptr<DirHandle> handle;
    std::exception_ptr failure;
    bool shortage = false;
    try {
      handle = parent ? platform_.Enter(*parent->handle, dir.name) : platform_.EnterRoot(dir.name);
    } catch (const ShortageFailure&) {
      shortage = true;
      failure = std::current_exception();
    } catch (...) {
      failure = std::current_exception();
    }
    Locked locked(*this);
    if (parent) --parent->pins;
    if (!handle) --handles_;
    if (shortage && ParkOne(parent)) continue;
    if (parent && !shortage) MarkOpened(*parent, dir);
    dir.handle = std::move(handle);
    if (parent) CloseIfDone(*parent);
    if (failure) std::rethrow_exception(failure);
    return;
  }
}

}  // namespace tvx
