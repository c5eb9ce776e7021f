// The walk engine's record of a directory and its lock, shared by its two
// units (WalkEngine.cpp: the walk's side; WalkReaders.cpp: the readers').
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "WalkEngine.h"

namespace tvx {

struct WalkEngine::Dir {
  Dir(Dir* up, std::string_view own) : parent(up), name(own), depth(up ? up->depth + 1 : 0) {}
  Dir* parent;
  std::string name;  // the scanned directory's full path for the root
  std::size_t depth;
  std::size_t index = 0;  // among its parent's children: its place in the walk's order
  State state = State::kQueued;
  std::unique_ptr<DirHandle> handle;
  std::unique_ptr<DirListing> listing;
  std::exception_ptr failure;         // of entering it
  bool retry = false;                 // a reader could not: the walk does it itself
  bool held = false;                  // its listing counts against the budget
  bool opened = false;                // counted off its parent's unopened
  std::size_t cost = 0;               // entries held, while held
  std::vector<std::string> forecast;  // what the walk will enter of it, by the forecast
  // Its subdirectories, once the walk has handed them over or a reader has
  // forecast them.
  bool planned = false;
  std::vector<std::unique_ptr<Dir>> children;
  std::vector<std::unique_ptr<Dir>> strays;  // entered out of the handed-over order
  std::size_t nextAhead = 0;                 // under the mutex
  std::size_t nextWalk = 0;                  // the walk's
  std::size_t unopened = 0;                  // under the mutex
  int pins = 0;                              // under the mutex
};

// Holds the mutex for a scope (nothing to hold without threads); closes the
// handles dropped meanwhile once it is let go.
class WalkEngine::Locked {
 public:
  explicit Locked(WalkEngine& engine) : engine_(engine) {
    if (engine_.mutex_) engine_.mutex_->Lock();
  }
  ~Locked() {
    std::vector<std::unique_ptr<DirHandle>> closing;
    closing.swap(engine_.closing_);
    if (engine_.mutex_) engine_.mutex_->Unlock();
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  WalkEngine& engine_;
};

}  // namespace tvx
