#include "Win32ReadAhead.h"

#include <process.h>

namespace tvx {

namespace {

// Holds the pool's lock for a scope.
class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

ReadAhead::Job::Job(ReadAhead& owner, std::vector<std::wstring> paths, bool withDetails)
    : owner(owner),
      paths(std::move(paths)),
      slots(std::make_unique<Slot[]>(this->paths.size())),
      withDetails(withDetails) {}

ReadAhead::~ReadAhead() {
  if (threads_.empty()) return;
  {
    Locked locked(lock_);
    quit_ = true;
  }
  // A worker in the middle of a read finishes it first.
  WakeAllConditionVariable(&workReady_);
  WaitForMultipleObjects(static_cast<DWORD>(threads_.size()), threads_.data(), TRUE, INFINITE);
  for (HANDLE thread : threads_) CloseHandle(thread);
}

bool ReadAhead::Start() {
  started_ = true;
  // Reserved now, so that nothing grows under the lock.
  jobs_.reserve(kMaxQueued);
  threads_.reserve(kWorkers);
  for (int i = 0; i < kWorkers; ++i) {
    const uintptr_t thread = _beginthreadex(nullptr, 0, WorkerMain, this, 0, nullptr);
    if (thread == 0) break;
    threads_.push_back(reinterpret_cast<HANDLE>(thread));
  }
  return !threads_.empty();
}

std::shared_ptr<ReadAhead::Job> ReadAhead::Post(std::vector<std::wstring> paths, bool withDetails) {
  if (failed_ || (!started_ && !Start())) {
    failed_ = true;
    return nullptr;
  }
  auto job = std::make_shared<Job>(*this, std::move(paths), withDetails);
  {
    Locked locked(lock_);
    // The oldest queued jobs are the furthest from the walk: the walk does
    // them itself.
    if (jobs_.size() >= kMaxQueued) jobs_.erase(jobs_.begin());
    jobs_.push_back(job);
  }
  WakeAllConditionVariable(&workReady_);
  return job;
}

ReadAhead::Slot* ReadAhead::Claim(Job& job, std::size_t i) {
  Slot& slot = job.slots[i];
  int expected = Slot::kFree;
  // Not started: no worker will start it now, the walk reads it itself.
  if (slot.state.compare_exchange_strong(expected, Slot::kWorking)) return nullptr;
  if (expected != Slot::kDone) {
    Locked locked(lock_);
    walkWaits_ = true;
    while (slot.state.load() != Slot::kDone) {
      SleepConditionVariableSRW(&slotDone_, &lock_, INFINITE, 0);
    }
    walkWaits_ = false;
  }
  return &slot;
}

void ReadAhead::Taken(Slot& slot) {
  // Only the walk changes the mark of a slot that is done.
  if (!slot.byWorker) return;
  Locked locked(lock_);
  GiveBack(slot);
}

void ReadAhead::Close(Job& job) noexcept {
  Locked locked(lock_);
  job.closed = true;
  for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
    if (it->get() == &job) {
      jobs_.erase(it);
      break;
    }
  }
  for (std::size_t i = 0; i < job.paths.size(); ++i) GiveBack(job.slots[i]);
}

long ReadAhead::Buffered() {
  Locked locked(lock_);
  return buffered_;
}

void ReadAhead::GiveBack(Slot& slot) noexcept {
  if (!slot.byWorker) return;
  slot.byWorker = false;
  const bool full = buffered_ >= budget_;
  buffered_ -= static_cast<long>(slot.listing.items.size());
  if (full && buffered_ < budget_) WakeAllConditionVariable(&workReady_);
}

unsigned __stdcall ReadAhead::WorkerMain(void* self) {
  static_cast<ReadAhead*>(self)->Work();
  return 0;
}

void ReadAhead::Work() {
  std::shared_ptr<Job> job;
  std::size_t i = 0;
  AcquireSRWLockExclusive(&lock_);
  while (WaitForSlot(job, i)) {
    ReleaseSRWLockExclusive(&lock_);
    Run(*job, i);
    AcquireSRWLockExclusive(&lock_);
    Finish(*job, i);
  }
  ReleaseSRWLockExclusive(&lock_);
}

// Under the lock: a slot claimed for this worker, or false when it is to quit.
bool ReadAhead::WaitForSlot(std::shared_ptr<Job>& job, std::size_t& i) {
  while (!quit_) {
    if (buffered_ < budget_ && ClaimNext(job, i)) return true;
    job.reset();  // not kept alive while idle
    SleepConditionVariableSRW(&workReady_, &lock_, INFINITE, 0);
  }
  return false;
}

// The next free slot of the newest job, the one the walk will need first:
// every worker reads from it, so a wide directory has all of them busy.
bool ReadAhead::ClaimNext(std::shared_ptr<Job>& job, std::size_t& i) {
  while (!jobs_.empty()) {
    Job& newest = *jobs_.back();
    while (newest.next < newest.paths.size()) {
      const std::size_t at = newest.next++;
      int expected = Slot::kFree;
      if (newest.slots[at].state.compare_exchange_strong(expected, Slot::kWorking)) {
        job = jobs_.back();
        i = at;
        return true;
      }
    }
    // Every slot is claimed, by a worker or by the walk.
    jobs_.pop_back();
  }
  return false;
}

void ReadAhead::Run(Job& job, std::size_t i) noexcept {
  Slot& slot = job.slots[i];
  slot.enterError = EnterError(job.paths[i]);
  if (slot.enterError != 0) return;
  try {
    ReadListing(job.paths[i], job.withDetails, codec_, slot.listing);
  } catch (...) {
    // Out of memory here: the walk reads it again and meets the failure itself.
    slot.listing.Clear();
    slot.enterError = Slot::kReadAgain;
  }
}

// Under the lock: the slot is done, and the walk hears of it if it waits.
void ReadAhead::Finish(Job& job, std::size_t i) noexcept {
  Slot& slot = job.slots[i];
  if (job.closed) {
    slot.listing = Listing();  // the walk has gone past it
  } else {
    slot.byWorker = true;
    buffered_ += static_cast<long>(slot.listing.items.size());
  }
  slot.state = Slot::kDone;
  if (walkWaits_) WakeAllConditionVariable(&slotDone_);
}

}  // namespace tvx
