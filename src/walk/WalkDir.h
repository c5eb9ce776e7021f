// The walk engine's record of a directory, its open handle and its lock,
// shared by the engine's units: WalkQueue (what readers take next, within
// the budget), WalkCache (the directories held open), WalkEngine.cpp (the
// walk's side) and WalkReaders.cpp (the readers').
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirSource.h"

namespace tvx {

// A directory's open handle, in a node of its own: dropped under the lock,
// it goes onto a list that is closed once the lock is let go, with no
// allocation under the lock.
struct WalkOpened {
  explicit WalkOpened(std::unique_ptr<DirHandle> own) : handle(std::move(own)) {}
  std::unique_ptr<DirHandle> handle;
  WalkOpened* nextClosing = nullptr;
};

// Bounds of what is read ahead and not yet taken.
struct WalkBounds {
  int Listings = 512;
  std::size_t Entries = std::size_t{1} << 17;
};

// Where a directory is: waiting for a reader, being read, read, taken by the walk.
enum class WalkDirState { kQueued, kReading, kDone, kTaken };

struct WalkDir {
  using Dir = WalkDir;
  using State = WalkDirState;
  using Opened = WalkOpened;
  WalkDir(Dir* up, std::string_view own) : parent(up), name(own), depth(up ? up->depth + 1 : 0) {}
  Dir* parent;
  std::string name;  // the scanned directory's full path for the root
  std::size_t depth;
  std::size_t index = 0;  // among its parent's children: its place in the walk's order
  State state = State::kQueued;
  // Published under the lock (the cache); a reader fills it while it owns
  // the directory (kReading).
  std::unique_ptr<Opened> handle;
  std::unique_ptr<DirListing> listing;
  // The walk's: the listing it was told, whose names it keeps until it leaves.
  std::unique_ptr<DirListing> reported;
  std::exception_ptr failure;  // of entering it
  bool retry = false;          // a reader could not: the walk does it itself
  bool held = false;           // its listing counts against the budget
  bool opened = false;         // counted off its parent's unopened
  std::size_t cost = 0;        // entries held, while held
  // What the walk will enter of it, by the forecast: made by its reader.
  std::vector<std::unique_ptr<Dir>> prepared;
  // Its subdirectories, once the walk has handed them over or a reader has
  // forecast them.
  bool planned = false;
  std::vector<std::unique_ptr<Dir>> children;
  std::vector<std::unique_ptr<Dir>> strays;  // the walk's: entered out of the handed-over order
  std::size_t nextAhead = 0;                 // under the lock
  std::size_t nextWalk = 0;                  // the walk's
  std::size_t unopened = 0;                  // under the lock
  int pins = 0;                              // under the lock
  // Under the lock: its place in the queue of directories with children to
  // claim (WalkQueue), and among the directories open (WalkCache).
  bool queued = false;
  Dir* prevQueued = nullptr;
  Dir* nextQueued = nullptr;
  Dir* olderOpen = nullptr;
  Dir* newerOpen = nullptr;
};

}  // namespace tvx
