// The POSIX (Linux) side of the platform boundary: the platform object that
// ties the units of this folder together (directory reading, read-ahead,
// open directories, standard output, locale).
#include <dirent.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "DirReader.h"
#include "LocalClock.h"
#include "LocaleReader.h"
#include "OpenDirs.h"
#include "Platform.h"
#include "PosixErrors.h"
#include "ReadAhead.h"
#include "StdoutSink.h"

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
    while (size > 0) {
      const ssize_t n = write(STDERR_FILENO, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw OutputFailure(MapErrno(errno));
      if (n == 0) throw OutputFailure(101);
      data += n;
      size -= static_cast<std::size_t>(n);
    }
  }
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
    for (int i = 1; i < argc; ++i) {
      if (argv[i][0] != '\0') params_.emplace_back(argv[i]);
    }
  }

  PathStyle Style() const override { return PathStyle::Posix; }
  const CodePage& Code() const override { return code_; }
  std::string_view LineBreak() const override { return "\n"; }

  std::vector<std::string> Parameters() override { return params_; }

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

  void ExpectRecursion(EntersSubdirectory enters = {}) override {
    readAheadWanted_ = true;
    readAhead_.Only(std::move(enters));
  }

  std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath) override {
    if (access(fullPath.c_str(), X_OK) != 0) RaiseErrno(errno);
    auto dir = std::make_unique<PosixDir>(fds_, nullptr, fullPath);
    if (readAheadWanted_) dir->place = ReadAhead::Root();
    return dir;
  }

  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    auto& up = static_cast<PosixDir&>(parent);
    std::string child(name);
    // Its slot among those read ahead, found by name: with /O the walk
    // enters them in an order of its own.
    std::size_t index = up.nextSlot;
    const std::size_t slots = up.job ? up.job->names.size() : 0;
    const std::size_t found =
        up.job
            ? up.slotIndex.Find(name, index, slots,
                                [&up](std::size_t i) { return std::string_view(up.job->names[i]); })
            : slots;
    if (found < slots) index = found;
    up.nextSlot = index + 1;
    auto dir = std::make_unique<PosixDir>(fds_, &up, std::move(child));
    if (readAheadWanted_) dir->place = ReadAhead::Child(up.place, index);
    if (found < slots) {
      ReadAhead::Slot& slot = readAhead_.Claim(*up.job, index, buffer_);
      if (slot.enterError > 0) RaiseErrno(slot.enterError);
      if (slot.enterError == 0) {
        dir->prefetched = &slot;
        dir->job = std::move(slot.children);
        return dir;
      }
    }
    // The parent may have to be opened again, and may be gone by now.
    const int parentFd = up.Fd();
    if (parentFd < 0 || faccessat(parentFd, dir->Name().c_str(), X_OK, 0) != 0) RaiseErrno(errno);
    return dir;
  }

  void ReadDirectory(DirHandle& handle, bool withDetails, EntrySink& sink) override {
    auto& dir = static_cast<PosixDir&>(handle);
    const Listing* listing = ListingOf(dir, withDetails);
    if (!listing) return;
    if (listing->error != 0) throw ReadFailure(MapErrno(listing->error));
    RawEntry entry;
    std::size_t subdirectories = 0;
    for (const Listing::Item& item : listing->items) {
      entry = RawEntry{};
      entry.Name = listing->Name(item);
      entry.IsDir = item.type == DT_DIR;
      entry.IsLink = item.type == DT_LNK;
      entry.Hidden = entry.Name.front() == '.';
      // What "read-only" means here: the owner may not write it.
      entry.ReadOnly = item.haveStat && (item.mode & S_IWUSR) == 0;
      if (item.haveStat && withDetails) {
        if (!entry.IsDir && !entry.IsLink) entry.Size = static_cast<std::uint64_t>(item.size);
        entry.DateTime = clock_.Convert(item.mtime);
      }
      if (entry.IsDir) ++subdirectories;
      sink.Add(entry);
    }
    // A lone subdirectory is entered at once; reading it ahead pays only
    // where reads wait.
    const std::size_t worth = readAhead_.Grown() ? 1 : 2;
    if (readAheadWanted_ && !dir.job && subdirectories >= worth) {
      const int fd = dir.Fd();
      if (fd >= 0) dir.job = readAhead_.Plan(fd, dir.place, *listing, withDetails);
    }
    if (dir.prefetched) readAhead_.HandedOver(*dir.prefetched);
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

  LocaleSettings ReadLocale() override { return ReadPosixLocale(); }
  std::uint64_t Milliseconds() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  TDateTime Now() override { return clock_.Convert(time(nullptr)); }

  OutputSink& StandardOutput() override { return out_; }
  OutputSink& StandardError() override { return err_; }
  bool FailuresToStandardError() const override { return true; }
  Language MessageLanguage() override { return LanguageOfEnvironment(); }

  std::string FromUtf8(std::string_view text) override { return std::string(text); }

 private:
  // The directory's entries: read ahead, or read here; null when unreadable.
  const Listing* ListingOf(PosixDir& dir, bool withDetails) {
    const Listing* listing = &listing_;
    if (dir.prefetched) {
      listing = &dir.prefetched->listing;
    } else {
      const int fd = dir.Fd();
      // Out of descriptors is a failure of the run, not an unreadable directory.
      if (fd < 0 && (errno == EMFILE || errno == ENFILE)) RaiseErrno(errno);
      if (fd < 0) {
        listing_.Clear();
        listing_.error = errno;
        return &listing_;
      }
      ReadListing(fd, withDetails, buffer_, listing_);
    }
    return listing->readable || listing->error != 0 ? listing : nullptr;
  }

  std::vector<std::string> params_;
  CodePage code_;
  StdoutSink out_;
  StderrSink err_;
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
