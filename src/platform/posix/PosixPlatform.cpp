// The POSIX (Linux) side of the platform boundary: the platform object that
// ties the units of this folder together (directory reading, threads,
// standard output, locale).
#include <dirent.h>
#include <malloc.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "Interrupt.h"
#include "LargePages.h"
#include "LocalClock.h"
#include "LocaleReader.h"
#include "PosixDirs.h"
#include "PosixErrors.h"
#include "PosixThreads.h"
#include "StdoutSink.h"
#include "platform/Platform.h"

extern char** environ;

namespace tvx {

namespace {

// Standard error: each message goes out whole, at once.
class StderrSink final : public OutputSink {
 public:
  bool IsInteractive() const override { return true; }
  std::size_t TerminalColumns() const override {
    if (isatty(STDERR_FILENO) != 1) return 0;
    struct winsize size {};
    const bool known = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    return known ? size.ws_col : 80;
  }
  void Write(const char* data, std::size_t size) override {
    if (const int failure = WriteAll(STDERR_FILENO, data, size)) throw OutputFailure(failure);
  }
  void SetInterruptText(std::string_view bytes) override { tvx::SetInterruptText(bytes); }
};

// The messages' language from the locale variables, in the order the C
// library consults them for LC_MESSAGES; an empty one counts as unset.
Language LanguageOfEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value && *value) return LanguageOfLocale(value);
  }
  return Language::English;
}

class PosixPlatform : public Platform {
 public:
  PosixPlatform(int argc, char** argv) {
    // A closed pipe must come back as a write error, not end the process.
    signal(SIGPIPE, SIG_IGN);
#ifdef M_ARENA_MAX
    // The C library would give each reader thread a heap of its own, each
    // holding freed listings' memory: a few shared ones keep a streamed
    // walk's memory small.
    mallopt(M_ARENA_MAX, 2);
#endif
    UsePosixLargePages();
    for (int i = 1; i < argc; ++i) {
      if (argv[i][0] != '\0') params_.emplace_back(argv[i]);
    }
  }

  PathStyle Style() const override {
    return PathStyle::Posix;
  }
  const CodePage& Code() const override {
    return code_;
  }
  std::string_view LineBreak() const override {
    return "\n";
  }

  std::vector<std::string> Parameters() override {
    return params_;
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
    // The scan resolves ".." lexically, so "lnk/../x" is x beside lnk, not
    // beside lnk's target: ask about the path that will be scanned.
    struct stat st;
    return stat(FullPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath) override {
    return EnterPosixRoot(fullPath);
  }
  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    return EnterPosixChild(parent, name);
  }
  std::unique_ptr<DirListing> Read(DirHandle& dir, bool withDetails) override {
    return ReadPosixDir(dir, withDetails, storage_);
  }
  // Set before the walk starts its readers, and never changed during it.
  void AskStorage() override {
    storage_ = true;
  }
  StorageFacts StorageOf(const std::string& fullPath) override {
    return PosixStorageOf(fullPath);
  }
  ThreadKit* Threads() override {
    return &threads_;
  }
  ReadAheadLimits Limits() override {
    // The walk and its readers keep a descriptor per directory held open:
    // under a low limit they take half of what is left after the program's
    // own, or none at all.
    ReadAheadLimits limits{1, 16, 256};
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
      const long spare = (static_cast<long>(files.rlim_cur) - 64) / 2;
      limits.Handles = static_cast<int>(std::clamp<long>(spare, 0, limits.Handles));
    }
    return limits;
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
    return ReadPosixLocale();
  }
  std::uint64_t Milliseconds() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  TDateTime Now() override {
    return LocalClock().Convert(time(nullptr));
  }
  int UtcOffsetAt(TDateTime local) override {
    const DateParts shown = SplitDateTime(local);
    struct tm parts = {};
    parts.tm_year = shown.Year - 1900;
    parts.tm_mon = shown.Month - 1;
    parts.tm_mday = shown.Day;
    parts.tm_hour = shown.Hour;
    parts.tm_min = shown.Minute;
    parts.tm_sec = shown.Second;
    parts.tm_isdst = -1;  // the zone's rules for that date decide
    mktime(&parts);
    return static_cast<int>(parts.tm_gmtoff);
  }

  OutputSink& StandardOutput() override {
    return out_;
  }
  OutputSink& StandardError() override {
    return err_;
  }
  Language MessageLanguage() override {
    return LanguageOfEnvironment();
  }

  std::string FromUtf8(std::string_view text) override {
    return std::string(text);
  }

 private:
  bool storage_ = false;
  std::vector<std::string> params_;
  CodePage code_;
  StdoutSink out_;
  StderrSink err_;
  PosixThreadKit threads_;
};

}  // namespace

std::unique_ptr<Platform> MakePlatform(int argc, char** argv) {
  return std::make_unique<PosixPlatform>(argc, argv);
}

}  // namespace tvx
