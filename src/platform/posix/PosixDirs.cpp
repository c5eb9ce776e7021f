#include "PosixDirs.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "DirReader.h"
#include "PosixErrors.h"

namespace tvx {

namespace {

class PosixDir final : public DirHandle {
 public:
  PosixDir(int fd, int openError) : fd_(fd), openError_(openError) {}
  ~PosixDir() override {
    if (fd_ >= 0) close(fd_);
  }
  int Fd() const { return fd_; }
  int OpenError() const { return openError_; }

 private:
  int fd_;
  int openError_;  // errno when it could be entered but not opened
};

// The descriptor of a directory that could be entered; out of descriptors is
// no fault of the directory.
std::unique_ptr<DirHandle> Opened(int fd) {
  const int error = fd < 0 ? errno : 0;
  if (fd < 0 && (error == EMFILE || error == ENFILE)) throw ShortageFailure(MapErrno(error));
  return std::make_unique<PosixDir>(fd, error);
}

}  // namespace

std::unique_ptr<DirHandle> EnterPosixRoot(const std::string& fullPath) {
  if (access(fullPath.c_str(), X_OK) != 0) RaiseErrno(errno);
  return Opened(open(fullPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

namespace {

// Where the kernel has no openat2 (or a filter refuses it): the two calls.
std::atomic<bool> noOpenat2{false};

// Opens "name/." below at in one call: the lookup of "." is itself the
// search check of name, and no link is followed anywhere on the way. -1 with
// errno when it fails for any reason.
int OpenSearchable(int at, const std::string& child) {
  if (noOpenat2.load(std::memory_order_relaxed)) return -1;
  const std::string through = child + "/.";
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const long fd = syscall(SYS_openat2, at, through.c_str(), &how, sizeof how);
  if (fd < 0 && (errno == ENOSYS || errno == EPERM)) noOpenat2.store(true);
  return static_cast<int>(fd);
}

}  // namespace

std::unique_ptr<DirHandle> EnterPosixChild(DirHandle& parent, std::string_view name) {
  const int at = static_cast<PosixDir&>(parent).Fd();
  const std::string child(name);
  // Searchable and readable at once, as nearly every directory is: no
  // separate check. Any failure takes the long way, which tells which.
  const int fd = OpenSearchable(at, child);
  if (fd >= 0) return Opened(fd);
  if (errno == EMFILE || errno == ENFILE) return Opened(fd);
  if (faccessat(at, child.c_str(), X_OK, 0) != 0) RaiseErrno(errno);
  // A subdirectory must not be swapped for a link while the scan runs.
  return Opened(openat(at, child.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::unique_ptr<DirListing> ReadPosixDir(DirHandle& handle, bool withDetails, bool storage) {
  auto& dir = static_cast<PosixDir&>(handle);
  auto read = std::make_unique<HeldListing>();
  if (dir.Fd() < 0) {
    read->failure = MapErrno(dir.OpenError());
    return read;
  }
  // One scratch buffer per thread that reads.
  thread_local std::vector<char> buffer(1 << 16);
  ReadOpenDirectory(dir.Fd(), withDetails, storage, buffer, *read);
  return read;
}

StorageFacts PosixStorageOf(const std::string& fullPath) {
  struct stat st;
  if (stat(fullPath.c_str(), &st) != 0) return {};
  return StorageOfStat(st);
}

}  // namespace tvx
