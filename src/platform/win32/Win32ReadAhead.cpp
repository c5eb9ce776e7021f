#include "Win32ReadAhead.h"

#include <process.h>

#include "RealFileSystem.h"

namespace tvx {

namespace {

// The slim lock and its conditions came with Windows Vista. They are looked
// up, so that the program still starts on older systems, where the walk
// reads alone.
struct SyncCalls {
  void(WINAPI* acquire)(PSRWLOCK) = nullptr;
  void(WINAPI* release)(PSRWLOCK) = nullptr;
  BOOL(WINAPI* sleep)(PCONDITION_VARIABLE, PSRWLOCK, DWORD, ULONG) = nullptr;
  void(WINAPI* wakeAll)(PCONDITION_VARIABLE) = nullptr;
  bool Found() const { return acquire && release && sleep && wakeAll; }
};

template <typename Function>
void Look(HMODULE module, const char* name, Function& to) {
  // Through the generic function type, which the compiler accepts as a
  // stand-in for any other.
  to = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const SyncCalls& Sync() {
  static const SyncCalls calls = [] {
    SyncCalls found;
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
      Look(kernel, "AcquireSRWLockExclusive", found.acquire);
      Look(kernel, "ReleaseSRWLockExclusive", found.release);
      Look(kernel, "SleepConditionVariableSRW", found.sleep);
      Look(kernel, "WakeAllConditionVariable", found.wakeAll);
    }
    return found;
  }();
  return calls;
}

void Lock(SRWLOCK& lock) {
  Sync().acquire(&lock);
}
void Unlock(SRWLOCK& lock) {
  Sync().release(&lock);
}
void WakeAll(CONDITION_VARIABLE& condition) {
  Sync().wakeAll(&condition);
}
// Releases lock while it waits, and holds it again when woken.
void Await(CONDITION_VARIABLE& condition, SRWLOCK& lock) {
  Sync().sleep(&condition, &lock, INFINITE, 0);
}

// Holds the pool's lock for a scope.
class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { Lock(lock_); }
  ~Locked() { Unlock(lock_); }
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
  WakeAll(workReady_);
  WaitForMultipleObjects(static_cast<DWORD>(threads_.size()), threads_.data(), TRUE, INFINITE);
  for (HANDLE thread : threads_) CloseHandle(thread);
}

bool ReadAhead::Start() {
  started_ = true;
  if (!Sync().Found()) return false;
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
  WakeAll(workReady_);
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
      Await(slotDone_, lock_);
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
  if (full && buffered_ < budget_) WakeAll(workReady_);
}

unsigned __stdcall ReadAhead::WorkerMain(void* self) {
  // A worker only reads directories: the real ones, never the redirected.
  const RealFileSystem real;
  static_cast<ReadAhead*>(self)->Work();
  return 0;
}

void ReadAhead::Work() {
  std::shared_ptr<Job> job;
  std::size_t i = 0;
  Lock(lock_);
  while (WaitForSlot(job, i)) {
    Unlock(lock_);
    Run(*job, i);
    Lock(lock_);
    Finish(*job, i);
  }
  Unlock(lock_);
}

// Under the lock: a slot claimed for this worker, or false when it is to quit.
bool ReadAhead::WaitForSlot(std::shared_ptr<Job>& job, std::size_t& i) {
  while (!quit_) {
    if (buffered_ < budget_ && ClaimNext(job, i)) return true;
    job.reset();  // not kept alive while idle
    Await(workReady_, lock_);
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
  if (walkWaits_) WakeAll(slotDone_);
}

}  // namespace tvx
