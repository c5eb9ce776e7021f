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

#include <cerrno>
#include <clocale>
#include <cstring>
#include <list>
#include <string>
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
  bool IsInteractive() const override { return interactive_; }
  void Write(const char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t n = write(STDOUT_FILENO, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        RaiseErrno(errno);
      }
      if (n == 0) throw IoFailure(101);
      data += n;
      size -= static_cast<std::size_t>(n);
    }
  }

 private:
  bool interactive_;
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

  std::unique_ptr<DirHandle> Enter(DirHandle* parent, std::string_view name,
                                   const std::string& fullPath) override {
    if (!parent) {
      if (access(fullPath.c_str(), X_OK) != 0) RaiseErrno(errno);
      return std::make_unique<PosixDir>(fds_, nullptr, fullPath);
    }
    auto& up = static_cast<PosixDir&>(*parent);
    std::string child(name);
    if (faccessat(up.Fd(), child.c_str(), X_OK, 0) != 0) RaiseErrno(errno);
    return std::make_unique<PosixDir>(fds_, &up, std::move(child));
  }

  void ReadDirectory(DirHandle& handle, const std::string&, bool withDetails,
                     EntrySink& sink) override {
    auto& dir = static_cast<PosixDir&>(handle);
    const int fd = dir.Fd();
    if (fd < 0) return;
    // Straight from the kernel in large batches: no per-entry library work,
    // and a stat call only for what must be asked: the type when the directory
    // read did not give it, sizes and times when the command shows them.
    RawEntry entry;
    for (;;) {
      long got = syscall(SYS_getdents64, fd, buffer_.data(), buffer_.size());
      if (got <= 0) break;
      for (long pos = 0; pos < got;) {
        auto* d = reinterpret_cast<const LinuxDirent64*>(buffer_.data() + pos);
        pos += d->d_reclen;
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        entry = RawEntry{};
        entry.Name = name;
        unsigned char type = d->d_type;
        struct stat st;
        const bool haveStat =
            (withDetails || type == DT_UNKNOWN) && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (haveStat) type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        entry.IsDir = type == DT_DIR;
        entry.IsLink = type == DT_LNK;
        if (haveStat && withDetails) {
          if (!entry.IsDir && !entry.IsLink) entry.Size = static_cast<std::uint64_t>(st.st_size);
          entry.DateTime = clock_.Convert(st.st_mtime);
        }
        sink.Add(entry);
      }
    }
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
  std::string FromUtf8(std::string_view text) override { return std::string(text); }

 private:
  std::vector<std::string> params_;
  std::string argv0_;
  CodePage code_;
  StdoutSink out_;
  OpenDirs fds_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);
  LocalClock clock_;
};

}  // namespace

std::unique_ptr<Platform> MakePlatform(int argc, char** argv) {
  return std::make_unique<PosixPlatform>(argc, argv);
}

}  // namespace tvx
