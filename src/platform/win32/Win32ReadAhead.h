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
    enum : int { kFree, kWorking, kDone };
    // What a worker leaves when it could not finish a read: the walk does it again.
    static constexpr DWORD kReadAgain = static_cast<DWORD>(-1);
    std::atomic<int> state{kFree};
    DWORD enterError = 0;
    // Its entries count against the budget until taken (under the owner's lock).
    bool byWorker = false;
    Listing listing;
  };
  // The subdirectories of one directory, in the walk's order.
  struct Job {
    Job(ReadAhead& owner, std::vector<std::wstring> paths, bool withDetails);
    ReadAhead& owner;
    std::vector<std::wstring> paths;  // path i is the walk's once slot i is done
    std::unique_ptr<Slot[]> slots;
    bool withDetails;
    // Under the owner's lock: no worker claims a slot below next; closed once
    // the walk has left the directory.
    std::size_t next = 0;
    bool closed = false;
  };

  static constexpr long kDefaultBudget = 1 << 16;

  // budget: entries read ahead and not yet taken, beyond which the workers wait.
  explicit ReadAhead(const TextCodec& codec, long budget = kDefaultBudget)
      : codec_(codec), budget_(budget) {}
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Queues the reads of paths; null when no worker can run.
  std::shared_ptr<Job> Post(std::vector<std::wstring> paths, bool withDetails);
  // Slot i of job once a worker has done it; null when none had started it:
  // the walk reads that directory itself, as it would without workers.
  Slot* Claim(Job& job, std::size_t i);
  // The walk has taken the slot's listing.
  void Taken(Slot& slot);
  // The walk has left the job's directory: slots not yet started are left
  // alone, and what was read ahead and not taken goes back to the budget.
  void Close(Job& job) noexcept;
  // Entries read ahead and not yet taken.
  long Buffered();

 private:
  static constexpr int kWorkers = 4;
  static constexpr std::size_t kMaxQueued = 32;

  static unsigned __stdcall WorkerMain(void* self);
  void Work();
  bool WaitForSlot(std::shared_ptr<Job>& job, std::size_t& i);
  bool ClaimNext(std::shared_ptr<Job>& job, std::size_t& i);
  void Run(Job& job, std::size_t i) noexcept;
  void Finish(Job& job, std::size_t i) noexcept;
  void GiveBack(Slot& slot) noexcept;
  bool Start();

  const TextCodec& codec_;
  const long budget_;
  // One lock and two conditions for the whole pool, no kernel object per job
  // or slot (slim locks and condition variables: Windows Vista and later).
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE workReady_ = CONDITION_VARIABLE_INIT;  // for the workers
  CONDITION_VARIABLE slotDone_ = CONDITION_VARIABLE_INIT;   // for the walk
  std::vector<HANDLE> threads_;
  // Under the lock: jobs with slots no worker has claimed yet, newest last.
  std::vector<std::shared_ptr<Job>> jobs_;
  long buffered_ = 0;
  bool walkWaits_ = false;
  bool quit_ = false;
  bool started_ = false;
  bool failed_ = false;
};

}  // namespace tvx
