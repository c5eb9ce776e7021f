#include "WalkQueue.h"

namespace tvx {

void WalkQueue::Add(Dir& dir) {
  if (dir.queued) return;
  dir.queued = true;
  dir.prevQueued = nullptr;
  dir.nextQueued = first_;
  if (first_) first_->prevQueued = &dir;
  first_ = &dir;
}

void WalkQueue::Remove(Dir& dir) {
  if (!dir.queued) return;
  dir.queued = false;
  (dir.prevQueued ? dir.prevQueued->nextQueued : first_) = dir.nextQueued;
  if (dir.nextQueued) dir.nextQueued->prevQueued = dir.prevQueued;
  dir.prevQueued = dir.nextQueued = nullptr;
}

// Whether dir still has a child no one has started; those the walk took
// itself are passed by.
bool WalkQueue::Unclaimed(Dir& dir) {
  while (dir.nextAhead < dir.children.size() &&
         dir.children[dir.nextAhead]->state != WalkDirState::kQueued) {
    ++dir.nextAhead;
  }
  return dir.nextAhead < dir.children.size();
}

// Whether child ai of a comes before child bi of b in the walk's order
// (pre-order: a directory before what it holds, siblings in their order).
bool WalkQueue::ComesBefore(const Dir* a, std::size_t ai, const Dir* b, std::size_t bi) {
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

WalkDir* WalkQueue::Claim(bool handlesFull) {
  if (Full(handlesFull)) {
    starved_ = true;
    return nullptr;
  }
  Dir* best = nullptr;
  for (Dir* p = first_; p;) {
    Dir* next = p->nextQueued;
    if (!Unclaimed(*p)) {
      Remove(*p);
    } else if (p->handle && (!best || ComesBefore(p, p->nextAhead, best, best->nextAhead))) {
      best = p;  // without a handle (parked) it waits for the walk to open it again
    }
    p = next;
  }
  if (!best) return nullptr;
  Dir* child = best->children[best->nextAhead++].get();
  Count(*child);
  return child;
}

bool WalkQueue::Full(bool handlesFull) const {
  return handlesFull || held_ >= bounds_.Listings || heldEntries_ >= bounds_.Entries;
}

// Counted at the claim, so that reads in flight cannot pass the bounds.
void WalkQueue::Count(Dir&) {
  ++held_;
}

void WalkQueue::Hold(Dir& child) {
  if (!child.listing) {
    --held_;
    return;
  }
  child.held = true;
  child.cost = child.listing->Count();
  heldEntries_ += child.cost;
}

void WalkQueue::GiveBack(Dir& child) {
  if (!child.held) return;
  child.held = false;
  --held_;
  heldEntries_ -= child.cost;
}

bool WalkQueue::Woken(bool handlesFull) {
  if (!starved_ || handlesFull || held_ > bounds_.Listings - bounds_.Listings / 4 ||
      heldEntries_ > bounds_.Entries - bounds_.Entries / 4) {
    return false;
  }
  starved_ = false;
  return true;
}

}  // namespace tvx
