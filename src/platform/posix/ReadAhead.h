// Reading the subdirectories of a recursive walk ahead of it, on a pool of
// I/O threads. When a directory has been read, the subdirectories the walk
// will enter next are known: they become a job, and the pool enters and reads
// them, and the subdirectories of those in turn, up to a bound, so that many
// reads are in flight while the walk goes on. The walk takes the results in
// its own order, so the listing, its order and every failure are the same as
// a walk without it gives. The pool starts with one thread and grows only
// while reads are seen to wait on the device or the network.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DirReader.h"

namespace tvx {

class ReadAhead {
 public:
  enum : int { kFree = 0, kWorking = 1, kDone = 2 };
  // enterError when a read failed for a reason of its own (memory, no
  // descriptor left): the walk reads the directory itself.
  static constexpr int kReadItYourself = -1;

  // Where a directory stands in the walk's order: the how-manieth
  // subdirectory of which directory (the scanned one has no parent).
  struct Place {
    std::shared_ptr<const Place> parent;
    std::uint32_t index = 0;
    std::uint32_t depth = 0;
  };
  using PlacePtr = std::shared_ptr<const Place>;
  static PlacePtr Root() { return std::make_shared<const Place>(); }
  static PlacePtr Child(const PlacePtr& parent, std::size_t index);

  struct Job;
  // One subdirectory: whether it could be entered, its listing, and the job
  // for its own subdirectories when the reader planned one.
  struct Slot {
    std::atomic<int> state{kFree};
    int enterError = 0;  // errno of the search-permission test; 0 when it passed
    bool held = false;   // the listing counts against the pool's bound
    Listing listing;
    std::shared_ptr<Job> children;
  };

  // The subdirectories of one directory, in the order the walk enters them.
  struct Job {
    Job(ReadAhead& pool, int parentFd, PlacePtr where, bool details);
    ~Job();
    ReadAhead& pool;
    PlacePtr place;  // of the directory whose subdirectories these are
    int fd;          // the parent, for this job alone; closed once every slot has opened its own
    bool withDetails;
    std::atomic<std::size_t> unopened{0};
    std::vector<std::string> names;
    std::unique_ptr<Slot[]> slots;
    std::size_t cursor = 0;  // the next slot for the pool, under its mutex
  };

  ReadAhead();
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // A job for the subdirectories of the directory open as parentFd, read from
  // listing; null when the bound is reached or no descriptor is left. The
  // job works through a descriptor of its own.
  std::shared_ptr<Job> Plan(int parentFd, const PlacePtr& place, const Listing& listing,
                            bool withDetails);
  // Slot i of job, done by whoever gets to it first; the walk waits for it.
  Slot& Claim(Job& job, std::size_t i, std::vector<char>& buffer);
  // The walk has taken over a slot's listing.
  void HandedOver(Slot& slot);
  // Reads ahead only the subdirectories the walk enters: whether it enters
  // name found at level. Set before the first job.
  void Only(std::function<bool(std::string_view, std::uint32_t)> enters) {
    enters_ = std::move(enters);
  }
  // More than one I/O thread: reads wait, so even a lone subdirectory is worth reading ahead.
  bool Grown() const { return threads_.load(std::memory_order_relaxed) > 1; }

 private:
  // Bounds: descriptors held by jobs, and listings read but not yet taken
  // (the pool's threads stop there; the walk itself reads on). The pool
  // leaves the last few descriptors to the walk.
  static constexpr int kMaxOpenJobs = 128;
  static constexpr int kWalkReserve = 16;
  static constexpr int kMaxHeld = 512;
  static constexpr int kRoomToWake = kMaxHeld / 4;
  static constexpr int kMaxThreads = 16;
  // Reads that had to wait before the pool takes one more thread.
  static constexpr int kSlowReadsPerThread = 4;

  // The pool reads first what the walk will need first: the job whose next
  // slot comes first in the walk's order.
  struct NeededFirst {
    bool operator()(const std::shared_ptr<Job>& a, const std::shared_ptr<Job>& b) const;
  };
  std::shared_ptr<Job> MakeJob(int fd, PlacePtr place, const Listing& listing, bool withDetails);
  // Queues job for the pool; false when no thread can take it.
  bool Post(const std::shared_ptr<Job>& job);
  void Run(Job& job, std::size_t i, std::vector<char>& buffer);
  void ReadSlot(Job& job, std::size_t i, std::vector<char>& buffer);
  // Listings no longer held: a thread waiting for room may go on.
  void GiveBack(int listings);
  void NoteWait(long waits);
  void StartThread();
  bool Next(std::shared_ptr<Job>& job, std::size_t& i);
  void Loop();

  std::function<bool(std::string_view, std::uint32_t)> enters_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::set<std::shared_ptr<Job>, NeededFirst> jobs_;
  std::vector<std::thread> pool_;
  bool quit_ = false;
  bool cannotGrow_ = false;
  std::atomic<int> threads_{0};
  std::atomic<int> slowReads_{0};
  int maxOpenJobs_ = kMaxOpenJobs;  // lower under a low descriptor limit
  std::atomic<int> openJobs_{0};
  std::atomic<int> held_{0};
  std::atomic<bool> starved_{false};  // a thread waits for held_ to drop
};

}  // namespace tvx
