#include "WalkEngine.h"

#include <algorithm>
#include <new>
#include <utility>

#include "Failure.h"
#include "WalkDir.h"

namespace tvx {

namespace {
// Kept free for the walk's own opens, out of the readers' reach.
constexpr int kWalkReserve = 16;
}  // namespace

WalkEngine::WalkEngine(Platform& platform, bool withDetails, Bounds bounds)
    : platform_(platform), withDetails_(withDetails), bounds_(bounds), kit_(platform.Threads()) {
  const ReadAheadLimits limits = platform.Limits();
  walkHandles_ = std::max(limits.Handles, kWalkReserve);
  aheadHandles_ = limits.Handles - kWalkReserve;
  if (kit_ && limits.MaxThreads > 0 && aheadHandles_ > 0) {
    maxThreads_ = limits.MaxThreads;
    firstThreads_ = std::clamp(limits.FirstThreads, 1, maxThreads_);
    mutex_ = kit_->NewMutex();
    workReady_ = kit_->NewCondition();
    slotDone_ = kit_->NewCondition();
  }
}

WalkEngine::~WalkEngine() {
  if (mutex_) {
    {
      Locked locked(*this);
      quit_ = true;
    }
    workReady_->WakeAll();
    threads_.clear();  // each waits for its reader to return
  }
  // Freed from the deepest up, so that no destructor recurses down the path.
  for (auto it = path_.rbegin(); it != path_.rend(); ++it) FreeChildren(**it);
}

WalkEngine::Held WalkEngine::HeldNow() {
  Locked locked(*this);
  return {held_, heldEntries_, handles_};
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
    Locked locked(*this);
    if (parent.nextWalk < parent.children.size() &&
        parent.children[parent.nextWalk]->name == name) {
      child = parent.children[parent.nextWalk++].get();
      if (child->state != State::kQueued) {
        WaitFor(parent, *child);
        GiveBack(*child);
        itself = child->retry;
      }
      child->state = State::kTaken;
    } else {
      parent.strays.push_back(std::make_unique<Dir>(&parent, name));
      child = parent.strays.back().get();
      child->opened = true;  // not one of those counted
    }
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
  std::unique_ptr<DirListing> listing = std::move(dir.listing);
  if (!listing) {
    EnsureOpen(dir);
    listing = platform_.Read(*dir.handle, withDetails_);
  }
  listing->Report(sink);
}

void WalkEngine::WillEnter(Dir& dir, std::vector<std::string> names) {
  // Planned by forecast already: kept when the walk says the same.
  if (dir.planned) {
    bool same = dir.children.size() == names.size();
    for (std::size_t i = 0; same && i < names.size(); ++i) same = dir.children[i]->name == names[i];
    if (!same) Unplan(dir);
  }
  bool reopen = false;
  {
    Locked locked(*this);
    if (!dir.planned) Plan(dir, names);
    CloseIfDone(dir);
    // Readers open its subdirectories through its handle.
    reopen = mutex_ && dir.unopened > 0 && !dir.handle;
  }
  if (reopen) EnsureOpen(dir);
}

// Under the lock: names are dir's subdirectories to enter.
void WalkEngine::Plan(Dir& dir, const std::vector<std::string>& names) {
  dir.planned = true;
  dir.unopened = names.size();
  dir.children.reserve(names.size());
  for (const std::string& name : names) {
    dir.children.push_back(std::make_unique<Dir>(&dir, name));
    dir.children.back()->index = dir.children.size() - 1;
  }
  // A lone subdirectory is entered at once; reading it ahead pays only
  // where reads wait and more threads run.
  const std::size_t worth = threads_.size() > 1 ? 1 : 2;
  if (mutex_ && names.size() >= worth) {
    Queue(dir);
  } else {
    dir.nextAhead = names.size();
  }
}

// On the walk: dir's children as planned go, with what was read of them.
void WalkEngine::Unplan(Dir& dir) {
  {
    // No reader claims a child of dir from here on.
    Locked locked(*this);
    pending_.erase(std::remove(pending_.begin(), pending_.end(), &dir), pending_.end());
    dir.nextAhead = dir.children.size();
  }
  WaitForReaders(dir);
  FreeChildren(dir);
  Locked locked(*this);
  dir.planned = false;
}

void WalkEngine::Leave(Dir& dir) {
  Unplan(dir);
  {
    Locked locked(*this);
    Drop(dir.handle);
    WakeIfRoom();
  }
  if (!path_.empty() && path_.back() == &dir) path_.pop_back();
}

// Under the lock: readers may take dir's children.
void WalkEngine::Queue(Dir& dir) {
  pending_.push_back(&dir);
  if (threads_.empty()) {
    for (int i = 0; i < firstThreads_; ++i) StartThread();
  }
  workReady_->WakeAll();
}

void WalkEngine::StartThread() {
  if (cannotGrow_ || static_cast<int>(threads_.size()) >= maxThreads_) return;
  try {
    auto thread = kit_->Start([this] { Work(); });
    cannotGrow_ = !thread;
    if (thread) threads_.push_back(std::move(thread));
  } catch (const std::bad_alloc&) {
    cannotGrow_ = true;  // the threads there are do it all
  }
}

// Under the lock: until a reader is done with child of parent. With a
// single reader the walk reads from the back of parent's children meanwhile,
// so that two reads are in flight; more readers have reads enough in flight.
void WalkEngine::WaitFor(Dir& parent, Dir& child) {
  std::size_t back = parent.children.size();
  while (child.state == State::kReading) {
    Dir* other = nullptr;
    while (threads_.size() == 1 && !other && back > child.index + 1 && !Full()) {
      Dir& candidate = *parent.children[--back];
      if (candidate.state == State::kQueued && parent.handle) other = &candidate;
    }
    if (other) {
      Reserve(parent, *other);
      mutex_->Unlock();
      Fetch(parent, *other);
      mutex_->Lock();
      Finish(parent, *other, 0);
      continue;
    }
    walkWaits_ = true;
    slotDone_->Wait(*mutex_);
  }
  walkWaits_ = false;
}

void WalkEngine::WaitForReaders(Dir& dir) {
  if (!mutex_) return;
  Locked locked(*this);
  for (const auto& child : dir.children) {
    while (child->state == State::kReading) {
      walkWaits_ = true;
      slotDone_->Wait(*mutex_);
    }
  }
  walkWaits_ = false;
}

// On the walk, once no child of dir is being read.
void WalkEngine::FreeChildren(Dir& dir) {
  // Subdirectories planned ahead by forecast go first, with their readers.
  for (const auto& child : dir.children) {
    if (child->planned) Unplan(*child);
  }
  std::vector<std::unique_ptr<Dir>> children, strays;
  {
    Locked locked(*this);
    children.swap(dir.children);
    strays.swap(dir.strays);
    for (auto& child : children) {
      GiveBack(*child);
      Drop(child->handle);
    }
    for (auto& child : strays) Drop(child->handle);
    dir.nextAhead = dir.nextWalk = dir.unopened = 0;
  }
}

}  // namespace tvx
