// Reads the subdirectories of a recursive walk ahead on a few worker
// threads, so that several directory reads are in flight (on a network share
// each one waits on the server). The walk takes the results in its own order;
// whatever a worker has not started by then the walk does itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Win32Listing.h"

namespace tvx {

class ReadAhead {
 public:
  struct Slot {
    std::atomic<int> state{0};  // free, working, done
    HANDLE done = nullptr;      // set once a worker has finished it
    DWORD enterError = 0;
    bool byWorker = false;  // its entries count against the budget until taken
    Listing listing;
  };
  // The subdirectories of one directory, in the walk's order.
  struct Job {
    Job(ReadAhead& owner, std::vector<std::wstring> paths, bool withDetails);
    ~Job();
    ReadAhead& owner;
    std::vector<std::wstring> paths;
    std::unique_ptr<Slot[]> slots;
    bool withDetails;
  };

  explicit ReadAhead(const TextCodec& codec) : codec_(codec) {}
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Queues the reads of paths; null when no worker can run.
  std::shared_ptr<Job> Post(std::vector<std::wstring> paths, bool withDetails);
  // Slot i of job, done: by a worker, or here when none has started it.
  Slot& Claim(Job& job, std::size_t i);
  // The walk has taken the slot's listing.
  void Taken(Slot& slot);

 private:
  static constexpr int kWorkers = 4;
  static constexpr std::size_t kMaxQueued = 32;
  // Entries read ahead and not yet taken: beyond this the workers wait.
  static constexpr long kMaxBuffered = 1 << 16;

  static unsigned __stdcall WorkerMain(void* self);
  void Work();
  void Run(Job& job, std::size_t i);
  bool Start();

  const TextCodec& codec_;
  CRITICAL_SECTION lock_;
  HANDLE queued_ = nullptr;  // a semaphore: one count per job posted
  HANDLE space_ = nullptr;   // set when the budget has room again
  std::vector<HANDLE> threads_;
  std::vector<std::shared_ptr<Job>> jobs_;  // newest last
  std::atomic<bool> quit_{false};
  std::atomic<long> buffered_{0};
  bool started_ = false;
  bool failed_ = false;
};

}  // namespace tvx
