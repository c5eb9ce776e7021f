// The walk engine: enters and reads the directories of a scan in the walk's
// order, reading ahead on threads the subdirectories the walk says it will
// enter, within one budget. How it is done, and who owns what when, is told
// in WalkEngine.cpp.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "WalkDir.h"
#include "platform/DirSource.h"
#include "text/Failure.h"

namespace tvx {

class WalkCache;
class WalkQueue;

class WalkEngine {
 public:
  using Dir = WalkDir;
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

  WalkEngine(DirectorySource& platform, bool withDetails, Bounds bounds = {});
  ~WalkEngine();
  WalkEngine(const WalkEngine&) = delete;
  WalkEngine& operator=(const WalkEngine&) = delete;

  // Enters the scanned directory (a full path ending in a separator).
  Dir& EnterRoot(const std::string& fullPath);
  // Enters subdirectory name of parent: the next one handed over with
  // WillEnter, or, if the walk strays from that order, whichever it names.
  // Raises the failure to enter it.
  Dir& Enter(Dir& parent, std::string_view name);
  // Reports dir's entries, whose names stay where they are until the walk
  // leaves dir; raises ReadFailure when it cannot be read.
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
  using State = WalkDirState;
  using Opened = WalkOpened;
  using Queue = WalkQueue;
  using Cache = WalkCache;
  // Holds the mutex for a scope (nothing to hold without threads); closes the
  // handles dropped meanwhile once it is let go.
  class Locked {
   public:
    Locked(ThreadKit::Mutex* mutex, Cache& cache);
    ~Locked();
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    ThreadKit::Mutex* mutex_;
    Cache& cache_;
  };

  using Children = std::vector<std::unique_ptr<Dir>>;

  Locked Lock();
  // The readers' side (WalkReaders.cpp).
  void Work();
  void Begin(Dir& parent, Dir& child);
  void Fetch(Dir& parent, Dir& child);
  void Finish(Dir& parent, Dir& child, long waits, Children& unused);
  void NoteWait(long waits);
  void WaitFor(Dir& parent, Dir& child);
  void WaitForReaders(Dir& dir);
  void WaitForReadersLocked(Dir& dir);
  void WakeIfRoom();
  // Opening (WalkReaders.cpp).
  void EnsureOpen(Dir& dir);
  void Open(Dir& dir);
  // The walk's side (WalkEngine.cpp).
  static Children MakeChildren(Dir& dir, const std::vector<std::string>& names);
  void Plan(Dir& dir, Children& children);
  void Unplan(Dir& dir);
  void FreeChildren(Dir& dir);
  void TakeChildren(Dir& dir, Children& children, Children& strays);
  void StartThreads();

  DirectorySource& platform_;
  const bool withDetails_;
  ThreadKit* kit_;
  Forecast forecast_;
  int maxThreads_ = 0;
  int firstThreads_ = 0;
  std::unique_ptr<ThreadKit::Mutex> mutex_;
  std::unique_ptr<ThreadKit::Condition> workReady_;          // for the readers
  std::unique_ptr<ThreadKit::Condition> slotDone_;           // for the walk
  std::unique_ptr<Queue> queue_;                             // under mutex_
  std::unique_ptr<Cache> cache_;                             // under mutex_, but for Close
  std::vector<std::unique_ptr<ThreadKit::Thread>> threads_;  // the walk's
  std::unique_ptr<Dir> root_;
  std::vector<Dir*> path_;  // the walk's alone
  // Under mutex_:
  int running_ = 0;  // readers started
  int wanted_ = 0;   // readers the walk is to start
  int slowReads_ = 0;
  bool walkWaits_ = false;
  bool quit_ = false;
  bool cannotGrow_ = false;  // the walk's
};

}  // namespace tvx
