// Reading the subdirectories of a recursive walk ahead of it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DirReader.h"

namespace tvx {

// Reading ahead on the second core. When a recursive walk has read a
// directory, the subdirectories it will enter next are known; a helper
// thread enters and reads them (from the front) while the walk goes on,
// and the walk, when it must wait, reads from the back itself. Results are
// handed over in the walk's order, so the listing is the same as without it.
// Every descriptor is used by one thread at a time: the helper works through a
// descriptor of its own for the parent directory.
class ReadAhead {
 public:
  enum : int { kFree = 0, kWorking = 1, kDone = 2, kTaken = 3 };

  struct Slot {
    std::atomic<int> state{kFree};
    int enterError = 0;  // errno of the search-permission test; 0 when it passed
    Listing listing;
  };

  // The subdirectories of one directory, in the order the walk enters them.
  struct Job {
    explicit Job(std::atomic<int>& liveJobs) : live(liveJobs) { ++live; }
    ~Job() {
      if (fd >= 0) close(fd);
      --live;
    }
    std::atomic<int>& live;
    int fd = -1;  // the parent directory, opened for this job alone
    bool withDetails = false;
    std::vector<std::string> names;
    std::unique_ptr<Slot[]> slots;
  };

  ~ReadAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
      jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Each job holds a descriptor until its directory is left: a limit keeps
  // deep or wide trees within the process's descriptors.
  static constexpr int kMaxLiveJobs = 128;
  static constexpr std::size_t kMaxQueued = 32;

  std::shared_ptr<Job> NewJob() {
    if (failed_ || live_ >= kMaxLiveJobs) return nullptr;
    return std::make_shared<Job>(live_);
  }

  // Queues a job; false when no helper can run (then the walk does it all).
  bool Post(const std::shared_ptr<Job>& job) {
    if (failed_) return false;
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Loop(); });
      } catch (...) {
        failed_ = true;
        return false;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // The oldest queued jobs are the furthest from the walk: the walk does
      // them itself.
      if (jobs_.size() >= kMaxQueued) jobs_.erase(jobs_.begin());
      jobs_.push_back(job);
    }
    wake_.notify_one();
    return true;
  }

  // Runs one slot: the same calls the walk itself would make.
  static void Run(Job& job, std::size_t i, std::vector<char>& buffer) {
    Slot& slot = job.slots[i];
    const char* name = job.names[i].c_str();
    if (faccessat(job.fd, name, X_OK, 0) != 0) {
      slot.enterError = errno;
    } else {
      int fd = openat(job.fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) {
        ReadListing(fd, job.withDetails, buffer, slot.listing);
        close(fd);
      }
    }
    slot.state.store(kDone, std::memory_order_release);
    slot.state.notify_all();
  }

  // The walk's side: slot i done, by whoever gets to it; the walk helps from
  // the back of the job while the helper holds the slot it needs.
  static Slot& Claim(Job& job, std::size_t i, std::vector<char>& buffer) {
    Slot& slot = job.slots[i];
    int expected = kFree;
    if (slot.state.compare_exchange_strong(expected, kWorking, std::memory_order_acq_rel)) {
      Run(job, i, buffer);
      return slot;
    }
    for (std::size_t j = job.names.size(); j > i + 1;) {
      --j;
      if (slot.state.load(std::memory_order_acquire) == kDone) break;
      int free = kFree;
      if (job.slots[j].state.compare_exchange_strong(free, kWorking, std::memory_order_acq_rel)) {
        Run(job, j, buffer);
      }
    }
    for (int s = slot.state.load(std::memory_order_acquire); s != kDone;
         s = slot.state.load(std::memory_order_acquire)) {
      slot.state.wait(s, std::memory_order_acquire);
    }
    return slot;
  }

 private:
  void Loop() {
    std::vector<char> buffer(1 << 16);
    for (;;) {
      std::shared_ptr<Job> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
        if (quit_) return;
        // The newest job is the one the walk is about to need.
        job = std::move(jobs_.back());
        jobs_.pop_back();
      }
      for (std::size_t i = 0; i < job->names.size(); ++i) {
        if (quit_.load(std::memory_order_relaxed)) return;
        int free = kFree;
        if (job->slots[i].state.compare_exchange_strong(free, kWorking,
                                                        std::memory_order_acq_rel)) {
          Run(*job, i, buffer);
        }
      }
    }
  }

  std::thread thread_;
  bool failed_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> quit_{false};
  std::atomic<int> live_{0};
  std::vector<std::shared_ptr<Job>> jobs_;
};

}  // namespace tvx
