#include "ReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace tvx {

namespace {

// Times this thread gave up the processor to wait (for the device, the
// network, a FUSE server); a read served from memory waits for nothing, and
// preemption is not counted.
long Waits() {
  struct rusage usage;
  if (getrusage(RUSAGE_THREAD, &usage) != 0) return 0;
  return usage.ru_nvcsw;
}

bool HasSubdirectory(const Listing& listing) {
  for (const Listing::Item& item : listing.items) {
    if (item.type == DT_DIR) return true;
  }
  return false;
}

struct OwnedFd {
  explicit OwnedFd(int d) : fd(d) {}
  ~OwnedFd() {
    if (fd >= 0) close(fd);
  }
  int Release() { return std::exchange(fd, -1); }
  int fd;
};

}  // namespace

ReadAhead::PlacePtr ReadAhead::Child(const PlacePtr& parent, std::size_t index) {
  return std::make_shared<const Place>(
      Place{parent, static_cast<std::uint32_t>(index), parent->depth + 1});
}

namespace {

// Whether subdirectory ai of the directory at a comes before subdirectory bi
// of the one at b in the walk's order (pre-order: a directory before what it
// holds, siblings in listing order).
bool ComesBefore(const ReadAhead::Place* a, std::size_t ai, const ReadAhead::Place* b,
                 std::size_t bi) {
  const std::size_t lengthA = a->depth + 1, lengthB = b->depth + 1;
  std::size_t la = lengthA, lb = lengthB;
  // Cut the longer path to the length of the shorter, then compare upwards;
  // the topmost difference decides.
  for (; la > lb; --la) ai = a->index, a = a->parent.get();
  for (; lb > la; --lb) bi = b->index, b = b->parent.get();
  int order = 0;
  for (;;) {
    if (ai != bi) order = ai < bi ? -1 : 1;
    if (a == b || !a->parent || !b->parent) break;
    ai = a->index, a = a->parent.get();
    bi = b->index, b = b->parent.get();
  }
  return order != 0 ? order < 0 : lengthA < lengthB;
}

}  // namespace

bool ReadAhead::NeededFirst::operator()(const std::shared_ptr<Job>& a,
                                        const std::shared_ptr<Job>& b) const {
  if (ComesBefore(a->place.get(), a->cursor, b->place.get(), b->cursor)) return true;
  if (ComesBefore(b->place.get(), b->cursor, a->place.get(), a->cursor)) return false;
  return a.get() < b.get();
}

ReadAhead::Job::Job(ReadAhead& owner, int parentFd, PlacePtr where, bool details)
    : pool(owner), place(std::move(where)), fd(parentFd), withDetails(details) {
  ++pool.openJobs_;
}

ReadAhead::Job::~Job() {
  if (fd >= 0) {
    close(fd);
    --pool.openJobs_;
  }
  if (!slots) return;
  int held = 0;
  for (std::size_t i = 0; i < names.size(); ++i) held += slots[i].held ? 1 : 0;
  // Listings the walk will never take (it stopped or left them out): a
  // thread waiting for room may go on.
  if (held > 0) pool.GiveBack(held);
}

ReadAhead::ReadAhead() {
  // Jobs keep a descriptor each: under a low limit they take a quarter of
  // what is left after the walk's own, or none at all.
  struct rlimit files;
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    const long spare = (static_cast<long>(files.rlim_cur) - 64) / 4;
    maxOpenJobs_ = static_cast<int>(std::clamp<long>(spare, 0, kMaxOpenJobs));
  }
}

ReadAhead::~ReadAhead() {
  std::set<std::shared_ptr<Job>, NeededFirst> dropped;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    dropped.swap(jobs_);
  }
  wake_.notify_all();
  for (std::thread& thread : pool_) thread.join();
}

std::shared_ptr<ReadAhead::Job> ReadAhead::MakeJob(int fd, PlacePtr place, const Listing& listing,
                                                   bool withDetails) {
  OwnedFd own(fd);
  try {
    auto job = std::make_shared<Job>(*this, own.fd, std::move(place), withDetails);
    own.Release();  // the job closes it from here on
    // The walk enters them in this order; one it leaves out is never read.
    const std::uint32_t level = job->place->depth + 1;
    for (const Listing::Item& item : listing.items) {
      if (item.type != DT_DIR) continue;
      if (enters_ && !enters_(listing.Name(item), level)) continue;
      job->names.emplace_back(listing.Name(item));
    }
    if (job->names.empty()) return nullptr;
    job->slots = std::make_unique<Slot[]>(job->names.size());
    job->unopened = job->names.size();
    return job;
  } catch (const std::bad_alloc&) {
    return nullptr;  // reading ahead is only a help
  }
}

std::shared_ptr<ReadAhead::Job> ReadAhead::Plan(int parentFd, const PlacePtr& place,
                                                const Listing& listing, bool withDetails) {
  if (openJobs_ >= maxOpenJobs_) return nullptr;
  // Only a base for the subdirectories' lookups: the shared read position
  // does not matter, and a copy costs no lookup.
  const int fd = fcntl(parentFd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  std::shared_ptr<Job> job = MakeJob(fd, place, listing, withDetails);
  // Without a thread to take it, a job would only wait: the walk reads alone.
  if (job && !Post(job)) return nullptr;
  return job;
}

bool ReadAhead::Post(const std::shared_ptr<Job>& job) {
  {
    std::lock_guard lock(mutex_);
    if (quit_) return false;
    if (pool_.empty()) StartThread();
    if (pool_.empty()) return false;
    jobs_.insert(job);
  }
  wake_.notify_one();
  return true;
}

void ReadAhead::StartThread() {
  if (cannotGrow_ || pool_.size() >= kMaxThreads) return;
  try {
    pool_.emplace_back([this] { Loop(); });
    ++threads_;
  } catch (...) {
    cannotGrow_ = true;  // at a process limit: the threads there are do it all
  }
}

void ReadAhead::ReadSlot(Job& job, std::size_t i, std::vector<char>& buffer) {
  Slot& slot = job.slots[i];
  const char* name = job.names[i].c_str();
  int fd = -1;
  // The same calls the walk itself would make.
  if (faccessat(job.fd, name, X_OK, 0) != 0) {
    slot.enterError = errno;
  } else {
    fd = openat(job.fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) slot.listing.error = errno;
    // Out of descriptors is no fault of the directory: the walk tries again.
    if (fd < 0 && (errno == EMFILE || errno == ENFILE)) slot.enterError = kReadItYourself;
  }
  if (job.unopened.fetch_sub(1) == 1) {
    close(job.fd);
    job.fd = -1;
    --openJobs_;
  }
  if (fd < 0) return;
  OwnedFd own(fd);
  ReadListing(fd, job.withDetails, buffer, slot.listing);
  slot.held = true;
  ++held_;
  // Its subdirectories come next in the walk's order: read them ahead too,
  // through the descriptor already open.
  if (openJobs_ < maxOpenJobs_ - kWalkReserve && held_ < kMaxHeld &&
      HasSubdirectory(slot.listing)) {
    PlacePtr place = Child(job.place, i);
    slot.children = MakeJob(own.Release(), std::move(place), slot.listing, job.withDetails);
    if (slot.children) Post(slot.children);
  }
}

void ReadAhead::Run(Job& job, std::size_t i, std::vector<char>& buffer) {
  Slot& slot = job.slots[i];
  try {
    ReadSlot(job, i, buffer);
  } catch (const std::bad_alloc&) {
    if (slot.held) {
      slot.held = false;
      --held_;
    }
    slot.listing = Listing{};
    slot.children.reset();
    slot.enterError = kReadItYourself;
  }
  slot.state.store(kDone, std::memory_order_release);
  slot.state.notify_all();
}

ReadAhead::Slot& ReadAhead::Claim(Job& job, std::size_t i, std::vector<char>& buffer) {
  Slot& slot = job.slots[i];
  int expected = kFree;
  if (slot.state.compare_exchange_strong(expected, kWorking, std::memory_order_acq_rel)) {
    Run(job, i, buffer);
    return slot;
  }
  // With a single helper the walk works from the back of the job while it
  // waits; a grown pool has reads enough in flight.
  for (std::size_t j = job.names.size(); !Grown() && j > i + 1;) {
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

void ReadAhead::HandedOver(Slot& slot) {
  if (slot.held) {
    slot.held = false;
    GiveBack(1);
  }
  slot.listing = Listing{};
}

void ReadAhead::GiveBack(int listings) {
  // Threads that wait for room are woken once a batch of it is free, not
  // for every listing taken: waking them all each time costs more than the
  // reads.
  if ((held_ -= listings) <= kMaxHeld - kRoomToWake && starved_.exchange(false)) {
    std::lock_guard lock(mutex_);
    wake_.notify_all();
  }
}

void ReadAhead::NoteWait(long waits) {
  // Reads that wait: more of them in flight hide the waiting.
  if (waits < 2 || slowReads_.fetch_add(1) + 1 < kSlowReadsPerThread) return;
  slowReads_ = 0;
  std::lock_guard lock(mutex_);
  if (!quit_) StartThread();
}

bool ReadAhead::Next(std::shared_ptr<Job>& job, std::size_t& i) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_) return false;
    // Far enough ahead: wait until the walk has taken some. Said before
    // held_ is read again, so that HandedOver cannot miss it.
    if (held_ >= kMaxHeld) {
      starved_ = true;
      if (held_ >= kMaxHeld) {
        wake_.wait(lock);
        continue;
      }
    }
    if (!jobs_.empty()) {
      // The key changes with the cursor: out of the set, then back in, with
      // the same node (nothing to allocate).
      auto node = jobs_.extract(jobs_.begin());
      job = node.value();
      i = job->cursor++;
      if (job->cursor < job->names.size()) jobs_.insert(std::move(node));
      return true;
    }
    wake_.wait(lock);
  }
}

void ReadAhead::Loop() {
  std::vector<char> buffer(1 << 16);
  std::shared_ptr<Job> job;
  std::size_t i = 0;
  while (Next(job, i)) {
    int free = kFree;
    if (job->slots[i].state.compare_exchange_strong(free, kWorking, std::memory_order_acq_rel)) {
      const long before = Waits();
      Run(*job, i, buffer);
      NoteWait(Waits() - before);
    }
    // Let go here, never under the mutex in Next: the last owner's
    // destructor takes it.
    job.reset();
  }
}

}  // namespace tvx
