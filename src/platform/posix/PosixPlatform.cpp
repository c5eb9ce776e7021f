// The POSIX (Linux) side of the platform boundary.
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "Failure.h"
#include "Platform.h"

extern char** environ;

namespace tvx {

namespace {

// errno onto the error numbers whose messages the program knows.
int MapErrno(int error) {
  switch (error) {
    case ENOENT:
      return 2;
    case ENOTDIR:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
      return 5;
    case ENOSPC:
      return 101;
    default:
      return error;
  }
}

[[noreturn]] void RaiseErrno(int error) {
  throw IoFailure(MapErrno(error));
}

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

// One directory as the kernel reports it: names and what was asked of each.
struct Listing {
  struct Item {
    std::size_t nameAt;
    unsigned char type;
    bool haveStat;
    off_t size;
    time_t mtime;
  };
  bool readable = false;
  std::string names;  // each name followed by a zero byte
  std::vector<Item> items;

  void Clear() {
    readable = false;
    names.clear();
    items.clear();
  }
};

// Reads the open directory fd whole. Straight from the kernel in large
// batches, with a stat call only for what must be asked: the type when the
// directory read did not give it, sizes and times when the command shows them.
void ReadListing(int fd, bool withDetails, std::vector<char>& buffer, Listing& out) {
  out.Clear();
  out.readable = true;
  for (;;) {
    long got = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
    if (got <= 0) break;
    for (long pos = 0; pos < got;) {
      auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.data() + pos);
      pos += d->d_reclen;
      const char* name = d->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      Listing::Item item{out.names.size(), d->d_type, false, 0, 0};
      if (withDetails || item.type == DT_UNKNOWN) {
        struct stat st;
        item.haveStat = fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (item.haveStat) {
          item.type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
          item.size = st.st_size;
          item.mtime = st.st_mtime;
        }
      }
      out.items.push_back(item);
      out.names.append(name);
      out.names += '\0';
    }
  }
}

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

class PosixDir;

// The directories of a scan hold descriptors while their subdirectories are
// walked. A deep tree would need one per level, so past a limit the oldest
// are closed and opened again, relative to their parent, when next needed.
// Opening relative to the parent also keeps paths longer than PATH_MAX working.
class OpenDirs {
 public:
  static constexpr std::size_t kLimit = 256;
  std::list<PosixDir*> open;
};

class PosixDir : public DirHandle {
 public:
  PosixDir(OpenDirs& dirs, PosixDir* parent, std::string name)
      : dirs_(dirs), parent_(parent), name_(std::move(name)) {}
  ~PosixDir() override { Close(); }

  // Read ahead: the job for this directory's subdirectories and how many of
  // them the walk has entered; for this directory itself, its slot when it
  // was read ahead.
  std::shared_ptr<ReadAhead::Job> job;
  std::size_t nextSlot = 0;
  ReadAhead::Slot* prefetched = nullptr;

  // The descriptor, opened (again) when needed; -1 when it cannot be.
  int Fd() {
    if (fd_ >= 0) return fd_;
    // Find the nearest open ancestor, then open downwards from there.
    std::vector<PosixDir*> chain;
    for (PosixDir* d = this; d && d->fd_ < 0; d = d->parent_) chain.push_back(d);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      PosixDir* d = *it;
      // A subdirectory must not be swapped for a link while the scan runs.
      d->fd_ = d->parent_ ? openat(d->parent_->fd_, d->name_.c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                          : open(d->name_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (d->fd_ < 0) return -1;
      d->Opened();
    }
    return fd_;
  }

 private:
  void Opened() {
    dirs_.open.push_back(this);
    self_ = std::prev(dirs_.open.end());
    if (dirs_.open.size() > OpenDirs::kLimit) {
      // The oldest descriptor belongs to a directory near the top of the walk:
      // it is needed again only when the walk comes back up to it.
      PosixDir* oldest = dirs_.open.front();
      if (oldest != this && oldest != parent_) oldest->Close();
    }
  }
  void Close() {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
    dirs_.open.erase(self_);
  }

  OpenDirs& dirs_;
  PosixDir* parent_;
  std::string name_;  // the full path for the scanned directory itself
  int fd_ = -1;
  std::list<PosixDir*>::iterator self_;
};

// File times to local time. localtime_r takes a lock and walks the zone
// rules on every call; offsets only change on quarter-hour boundaries (for
// any date since 1900), so the offset of each quarter hour seen is kept.
class LocalClock {
 public:
  TDateTime Convert(time_t when) {
    const long long window = FloorDiv(static_cast<long long>(when), kWindow);
    Slot& slot = slots_[static_cast<std::size_t>(window) & (kSlots - 1)];
    if (!slot.valid || slot.window != window) {
      slot.valid = true;
      slot.window = window;
      slot.offset = OffsetAt(static_cast<time_t>(window * kWindow));
    }
    long long local = static_cast<long long>(when) + slot.offset + kUnixEpoch;
    return local - (local % 2 + 2) % 2;  // 2-second resolution, also before 1899
  }

 private:
  static constexpr long long kWindow = 900;
  static constexpr std::size_t kSlots = 1024;
  // Seconds from 30 December 1899 to 1 January 1970.
  static constexpr long long kUnixEpoch = 25569LL * 86400;

  struct Slot {
    bool valid = false;
    long long window = 0;
    long long offset = 0;
  };

  static long long FloorDiv(long long a, long long b) { return a / b - (a % b < 0 ? 1 : 0); }

  static long long OffsetAt(time_t when) {
    struct tm local;
    if (!localtime_r(&when, &local)) return 0;
    long long seconds = MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                     local.tm_hour, local.tm_min, 0) +
                        local.tm_sec;
    return seconds - (static_cast<long long>(when) + kUnixEpoch);
  }

  Slot slots_[kSlots];
};

// Standard output. Into a pipe or a file, full buffers are written by a
// thread of its own, so the copy into the kernel overlaps the walk; the order
// of the bytes is the order they were passed in.
class StdoutSink : public OutputSink {
 public:
  StdoutSink() : interactive_(isatty(STDOUT_FILENO) == 1) {
    // Into a pipe, a buffer as large as our writes lets the reader take a
    // whole write at once instead of waking us every 64 KiB. Only a wish.
    struct stat st;
    if (fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
      fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
    }
  }
  ~StdoutSink() override {
    if (!writer_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    writer_.join();  // after writing what is still pending
  }
  StdoutSink(const StdoutSink&) = delete;
  StdoutSink& operator=(const StdoutSink&) = delete;

  bool IsInteractive() const override { return interactive_; }

  void Write(const char* data, std::size_t size) override {
    Drain();
    if (const int failure = WriteAll(data, size)) throw IoFailure(failure);
  }

  void Pass(std::string& bytes) override {
    if (!writer_.joinable()) {
      // Without a thread (a process limit, say) the bytes go out here.
      if (noThread_) return OutputSink::Pass(bytes);
      try {
        writer_ = std::thread([this] { WriterLoop(); });
      } catch (const std::system_error&) {
        noThread_ = true;
        return OutputSink::Pass(bytes);
      }
    }
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
    if (failure_ != 0) throw IoFailure(failure_);
    pending_.swap(bytes);  // bytes gets the spare buffer, emptied below
    bytes.clear();
    busy_ = true;
    lock.unlock();
    wake_.notify_one();
  }

  void Drain() override {
    if (!writer_.joinable()) return;
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
    if (failure_ != 0) throw IoFailure(failure_);
  }

 private:
  // Returns 0, or the failure code once the bytes cannot all be written.
  static int WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
      ssize_t n = write(STDOUT_FILENO, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return MapErrno(errno);
      }
      if (n == 0) return 101;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return 0;
  }

  void WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return busy_ || stopping_; });
      if (!busy_) return;
      lock.unlock();
      // Once a write failed nothing more is passed, so nothing is skipped here.
      const int failure = WriteAll(pending_.data(), pending_.size());
      lock.lock();
      if (failure != 0) failure_ = failure;
      pending_.clear();
      busy_ = false;
      idle_.notify_one();
    }
  }

  bool interactive_;
  bool noThread_ = false;  // the writer could not be started: write in place
  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable wake_;  // the writer: work, or stop
  std::condition_variable idle_;  // the walk: the writer is free again
  std::string pending_;           // owned by the writer while busy_
  bool busy_ = false;
  bool stopping_ = false;
  int failure_ = 0;  // sticky: every later call raises it again
};

std::string Langinfo(nl_item item) {
  const char* text = nl_langinfo(item);
  return text ? text : "";
}

bool Contains(const std::string& text, const char* what) {
  return text.find(what) != std::string::npos;
}

// Keeps a name from the locale unless it gives none.
void TakeName(std::string& target, nl_item item) {
  std::string name = Langinfo(item);
  if (!name.empty()) target = name;
}

class PosixPlatform : public Platform {
 public:
  PosixPlatform(int argc, char** argv) {
    // A closed pipe must come back as a write error, not end the process.
    signal(SIGPIPE, SIG_IGN);
    for (int i = 1; i < argc; ++i) {
      if (argv[i][0] != '\0') params_.emplace_back(argv[i]);
    }
    argv0_ = argc > 0 ? argv[0] : "tvx";
  }

  PathStyle Style() const override { return PathStyle::Posix; }
  const CodePage& Code() const override { return code_; }
  std::string_view LineBreak() const override { return "\n"; }

  std::vector<std::string> Parameters() override { return params_; }

  std::string OwnFile() override {
    std::vector<char> buf(4096);
    for (;;) {
      ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
      if (n < 0) return argv0_;
      if (static_cast<std::size_t>(n) < buf.size())
        return std::string(buf.data(), static_cast<std::size_t>(n));
      buf.resize(buf.size() * 2);
    }
  }

  std::vector<std::string> Environment() override {
    std::vector<std::string> lines;
    for (char** env = environ; env && *env; ++env) lines.emplace_back(*env);
    return lines;
  }

  bool SameTextIgnoringCase(std::string_view a, std::string_view b) override {
    return EqualIgnoringAsciiCase(a, b);
  }

  std::string CurrentDirectory() override {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size())) {
      if (errno != ERANGE) RaiseErrno(errno);
      buf.resize(buf.size() * 2);
    }
    return buf.data();
  }

  std::string FullPath(const std::string& path) override {
    if (!path.empty() && path[0] == '/') return LexicalFullPath(path, "/", PathStyle::Posix, code_);
    return LexicalFullPath(path, CurrentDirectory(), PathStyle::Posix, code_);
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  void ExpectRecursion() override { readAheadWanted_ = true; }

  std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath) override {
    if (access(fullPath.c_str(), X_OK) != 0) RaiseErrno(errno);
    return std::make_unique<PosixDir>(fds_, nullptr, fullPath);
  }

  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    auto& up = static_cast<PosixDir&>(parent);
    std::string child(name);
    if (up.job && up.nextSlot < up.job->names.size() && up.job->names[up.nextSlot] == child) {
      ReadAhead::Slot& slot = ReadAhead::Claim(*up.job, up.nextSlot++, buffer_);
      if (slot.enterError != 0) RaiseErrno(slot.enterError);
      auto dir = std::make_unique<PosixDir>(fds_, &up, std::move(child));
      dir->prefetched = &slot;
      return dir;
    }
    // The parent may have to be opened again, and may be gone by now.
    const int parentFd = up.Fd();
    if (parentFd < 0 || faccessat(parentFd, child.c_str(), X_OK, 0) != 0) RaiseErrno(errno);
    return std::make_unique<PosixDir>(fds_, &up, std::move(child));
  }

  void ReadDirectory(DirHandle& handle, bool withDetails, EntrySink& sink) override {
    auto& dir = static_cast<PosixDir&>(handle);
    Listing* listing = &listing_;
    if (dir.prefetched) {
      listing = &dir.prefetched->listing;
    } else {
      const int fd = dir.Fd();
      if (fd < 0) return;
      ReadListing(fd, withDetails, buffer_, listing_);
    }
    if (!listing->readable) return;

    RawEntry entry;
    std::size_t subdirectories = 0;
    for (const Listing::Item& item : listing->items) {
      entry = RawEntry{};
      entry.Name = listing->names.data() + item.nameAt;
      entry.IsDir = item.type == DT_DIR;
      entry.IsLink = item.type == DT_LNK;
      if (item.haveStat && withDetails) {
        if (!entry.IsDir && !entry.IsLink) entry.Size = static_cast<std::uint64_t>(item.size);
        entry.DateTime = clock_.Convert(item.mtime);
      }
      if (entry.IsDir && !entry.IsLink) ++subdirectories;
      sink.Add(entry);
    }
    if (readAheadWanted_ && subdirectories > 1)
      PlanReadAhead(dir, *listing, subdirectories, withDetails);
    if (dir.prefetched) dir.prefetched->listing = Listing{};  // handed over: free it
  }

  VersionStrings ReadVersion() override {
    return {"1.02", "Copyright (C) 2026 The tvx developers",
            "Directory lister and command-line generator"};
  }

  bool GetDiskSpace(const std::string& path, DiskSpace& space) override {
    struct statvfs vfs;
    if (statvfs(path.c_str(), &vfs) != 0) return false;
    space.Total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    space.FreeForCaller = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return true;
  }

  LocaleSettings ReadLocale() override {
    LocaleSettings locale;
    const std::string oldTime = std::setlocale(LC_TIME, nullptr);
    const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_TIME, "")) std::setlocale(LC_TIME, "C");
    if (!std::setlocale(LC_NUMERIC, "")) std::setlocale(LC_NUMERIC, "C");

    const std::string dateFormat = Langinfo(D_FMT);
    if (!dateFormat.empty()) {
      char separator = locale.DateSeparator;
      std::string picture = TranslateStrftimeDate(dateFormat, separator);
      if (!picture.empty()) locale.ShortDateFormat = picture;
      locale.DateSeparator = separator;
    }

    std::string timeFormat = Langinfo(T_FMT);
    if (Contains(timeFormat, "%r")) timeFormat = Langinfo(T_FMT_AMPM);
    if (!timeFormat.empty()) {
      if (Contains(timeFormat, "%T")) timeFormat = "%H:%M:%S";
      const bool twelve = Contains(timeFormat, "%I") || Contains(timeFormat, "%l");
      const bool zero = Contains(timeFormat, "%H") || Contains(timeFormat, "%I");
      std::size_t hour = timeFormat.find_first_of("HIkl");
      std::size_t marker = timeFormat.find("%p");
      const bool front = marker != std::string::npos && hour != std::string::npos && marker < hour;
      locale.LongTimeFormat = BuildLongTimeFormat(zero, twelve, front);
      // The time separator: the first character after the hour field.
      std::size_t afterHour = hour == std::string::npos ? hour : hour + 1;
      // Only a one-byte separator can stand for ":" (not a multibyte character).
      if (afterHour + 1 < timeFormat.size() && timeFormat[afterHour] != '%' &&
          static_cast<unsigned char>(timeFormat[afterHour]) < 0x80 &&
          timeFormat[afterHour + 1] == '%')
        locale.TimeSeparator = timeFormat[afterHour];
    }
    const std::string am = Langinfo(AM_STR);
    const std::string pm = Langinfo(PM_STR);
    if (!am.empty()) locale.TimeAmString = am;
    if (!pm.empty()) locale.TimePmString = pm;

    static const nl_item kAbMon[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                       ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static const nl_item kMon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                     MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static const nl_item kAbDay[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                      ABDAY_5, ABDAY_6, ABDAY_7};
    static const nl_item kDay[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    for (int i = 0; i < 12; ++i) {
      TakeName(locale.ShortMonthNames[i], kAbMon[i]);
      TakeName(locale.LongMonthNames[i], kMon[i]);
    }
    for (int i = 0; i < 7; ++i) {
      TakeName(locale.ShortDayNames[i], kAbDay[i]);
      TakeName(locale.LongDayNames[i], kDay[i]);
    }

    locale.ThousandSeparator = OneCharSetting(Langinfo(THOUSEP), ',');

    std::setlocale(LC_TIME, oldTime.c_str());
    std::setlocale(LC_NUMERIC, oldNumeric.c_str());
    return locale;
  }

  OutputSink& StandardOutput() override { return out_; }

  // Queues the subdirectories the walk will enter next (those of a directory
  // the walk just read), with a descriptor of the helper's own.
  void PlanReadAhead(PosixDir& dir, const Listing& listing, std::size_t count, bool withDetails) {
    const int fd = dir.Fd();
    if (fd < 0) return;
    std::shared_ptr<ReadAhead::Job> job = readAhead_.NewJob();
    if (!job) return;
    job->fd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (job->fd < 0) return;
    job->withDetails = withDetails;
    job->names.reserve(count);
    for (const Listing::Item& item : listing.items) {
      if (item.type == DT_DIR) job->names.emplace_back(listing.names.data() + item.nameAt);
    }
    job->slots = std::make_unique<ReadAhead::Slot[]>(job->names.size());
    if (readAhead_.Post(job)) dir.job = std::move(job);
  }
  std::string FromUtf8(std::string_view text) override { return std::string(text); }

 private:
  std::vector<std::string> params_;
  std::string argv0_;
  CodePage code_;
  StdoutSink out_;
  OpenDirs fds_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);
  Listing listing_;
  LocalClock clock_;
  bool readAheadWanted_ = false;
  // Last: its thread stops before anything it could touch is gone.
  ReadAhead readAhead_;
};

}  // namespace

std::unique_ptr<Platform> MakePlatform(int argc, char** argv) {
  return std::make_unique<PosixPlatform>(argc, argv);
}

}  // namespace tvx
