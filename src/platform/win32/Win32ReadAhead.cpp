#include "Win32ReadAhead.h"

#include <process.h>

namespace tvx {

namespace {

constexpr int kFree = 0, kWorking = 1, kDone = 2;

}  // namespace

ReadAhead::Job::Job(ReadAhead& owner, std::vector<std::wstring> paths, bool withDetails)
    : owner(owner),
      paths(std::move(paths)),
      slots(std::make_unique<Slot[]>(this->paths.size())),
      withDetails(withDetails) {}

ReadAhead::Job::~Job() {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    Slot& slot = slots[i];
    // Read ahead but never taken (the walk stopped): the budget gets it back.
    if (slot.byWorker) owner.Taken(slot);
    if (slot.done != nullptr) CloseHandle(slot.done);
  }
}

ReadAhead::~ReadAhead() {
  if (!started_) return;
  quit_ = true;
  ReleaseSemaphore(queued_, kWorkers, nullptr);
  SetEvent(space_);
  WaitForMultipleObjects(static_cast<DWORD>(threads_.size()), threads_.data(), TRUE, INFINITE);
  for (HANDLE thread : threads_) CloseHandle(thread);
  jobs_.clear();
  CloseHandle(queued_);
  CloseHandle(space_);
  DeleteCriticalSection(&lock_);
}

bool ReadAhead::Start() {
  InitializeCriticalSection(&lock_);
  queued_ = CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr);
  space_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  started_ = true;
  if (queued_ == nullptr || space_ == nullptr) return false;
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
  for (std::size_t i = 0; i < job->paths.size(); ++i) {
    job->slots[i].done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (job->slots[i].done == nullptr) return nullptr;
  }
  EnterCriticalSection(&lock_);
  // The oldest queued jobs are the furthest from the walk: the walk does
  // them itself.
  if (jobs_.size() >= kMaxQueued) jobs_.erase(jobs_.begin());
  jobs_.push_back(job);
  LeaveCriticalSection(&lock_);
  ReleaseSemaphore(queued_, 1, nullptr);
  return job;
}

ReadAhead::Slot& ReadAhead::Claim(Job& job, std::size_t i) {
  Slot& slot = job.slots[i];
  int expected = kFree;
  if (slot.state.compare_exchange_strong(expected, kWorking)) {
    slot.enterError = EnterError(job.paths[i]);
    if (slot.enterError == 0) ReadListing(job.paths[i], job.withDetails, codec_, slot.listing);
    slot.state = kDone;
    return slot;
  }
  if (slot.state.load() != kDone) WaitForSingleObject(slot.done, INFINITE);
  return slot;
}

void ReadAhead::Taken(Slot& slot) {
  if (!slot.byWorker) return;
  slot.byWorker = false;
  const long size = static_cast<long>(slot.listing.items.size());
  if (buffered_.fetch_sub(size) >= kMaxBuffered && buffered_.load() < kMaxBuffered) {
    SetEvent(space_);
  }
}

unsigned __stdcall ReadAhead::WorkerMain(void* self) {
  static_cast<ReadAhead*>(self)->Work();
  return 0;
}

void ReadAhead::Work() {
  while (WaitForSingleObject(queued_, INFINITE) == WAIT_OBJECT_0 && !quit_) {
    std::shared_ptr<Job> job;
    EnterCriticalSection(&lock_);
    // The newest job is the one the walk is about to need.
    if (!jobs_.empty()) {
      job = std::move(jobs_.back());
      jobs_.pop_back();
    }
    LeaveCriticalSection(&lock_);
    for (std::size_t i = 0; job && i < job->paths.size() && !quit_; ++i) {
      while (buffered_.load() >= kMaxBuffered && !quit_) WaitForSingleObject(space_, 50);
      int expected = kFree;
      if (job->slots[i].state.compare_exchange_strong(expected, kWorking)) Run(*job, i);
    }
  }
}

void ReadAhead::Run(Job& job, std::size_t i) {
  Slot& slot = job.slots[i];
  slot.enterError = EnterError(job.paths[i]);
  if (slot.enterError == 0) {
    try {
      ReadListing(job.paths[i], job.withDetails, codec_, slot.listing);
    } catch (...) {
      // Out of memory here: the walk reads it again and meets the failure itself.
      slot.listing.Clear();
      slot.enterError = static_cast<DWORD>(-1);
    }
  }
  slot.byWorker = true;
  buffered_ += static_cast<long>(slot.listing.items.size());
  slot.state = kDone;
  SetEvent(slot.done);
}

}  // namespace tvx
