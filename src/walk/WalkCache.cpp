#include "WalkCache.h"

#include <cassert>

namespace tvx {

void WalkCache::Link(Dir& dir) {
  dir.olderOpen = newest_;
  dir.newerOpen = nullptr;
  (newest_ ? newest_->newerOpen : oldest_) = &dir;
  newest_ = &dir;
}

void WalkCache::Unlink(Dir& dir) {
  (dir.olderOpen ? dir.olderOpen->newerOpen : oldest_) = dir.newerOpen;
  (dir.newerOpen ? dir.newerOpen->olderOpen : newest_) = dir.olderOpen;
  dir.olderOpen = dir.newerOpen = nullptr;
}

void WalkCache::Adopt(Dir& dir, std::unique_ptr<Opened> handle) {
  assert(!dir.handle && handle);
  dir.handle = std::move(handle);
  Link(dir);
}

void WalkCache::Drop(Dir& dir) {
  if (!dir.handle) return;
  assert(dir.pins == 0);
  Unlink(dir);
  --handles_;
  Opened* opened = dir.handle.release();
  opened->nextClosing = closing_;
  closing_ = opened;
}

void WalkCache::Pin(Dir& dir) {
  assert(dir.handle && dir.pins >= 0);
  ++dir.pins;
}

void WalkCache::Unpin(Dir& dir) {
  assert(dir.handle && dir.pins > 0);
  --dir.pins;
}

bool WalkCache::Park(const Dir* keep) {
  for (Dir* dir = oldest_; dir; dir = dir->newerOpen) {
    if (dir != keep && dir->pins == 0) {
      Drop(*dir);
      return true;
    }
  }
  return false;
}

void WalkCache::MarkOpened(Dir& parent, Dir& child) {
  if (child.opened) return;
  child.opened = true;
  if (parent.unopened > 0) --parent.unopened;
}

void WalkCache::CloseIfDone(Dir& dir) {
  if (dir.planned && dir.unopened == 0 && dir.pins == 0) Drop(dir);
}

WalkOpened* WalkCache::TakeClosing() {
  Opened* list = closing_;
  closing_ = nullptr;
  return list;
}

void WalkCache::Close(Opened* list) {
  while (list) {
    Opened* next = list->nextClosing;
    delete list;  // closes the handle: it was released from its owner by Drop
    list = next;
  }
}

}  // namespace tvx
