#include "StdoutSink.h"

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <system_error>

#include "PosixErrors.h"

namespace tvx {

int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      // A parent may have set the output not to block: wait for its reader.
      if (errno != EAGAIN && errno != EWOULDBLOCK) return MapErrno(errno);
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, -1) < 0 && errno != EINTR) return MapErrno(errno);
      continue;
    }
    if (n == 0) return IoFailure::kDiskFull;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

std::size_t StdoutSink::TerminalColumns() const {
  if (!interactive_) return 0;
  struct winsize size {};
  const bool known = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
  return known ? size.ws_col : 80;
}

bool StdoutSink::ShowsBoxDrawing() const {
  if (!interactive_) return false;
  // The program never sets its own character type from the environment, so
  // the environment is read as setlocale would read it: the first of these
  // that is set names the character set. (Asking newlocale instead leaks
  // inside the C library where LOCPATH is set.)
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string lower(value);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
  }
  return false;
}

StdoutSink::StdoutSink() : interactive_(isatty(STDOUT_FILENO) == 1) {
  // Into a pipe, a buffer as large as our writes lets the reader take a
  // whole write at once instead of waking us every 64 KiB. Only a wish.
  struct stat st;
  if (fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
    fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
  }
}

StdoutSink::~StdoutSink() {
  StopWriter();
}

void StdoutSink::StopWriter() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  writer_.join();
}

void StdoutSink::Close() {
  Drain();
  StopWriter();
  if (closed_) return;
  closed_ = true;
  // Linux closes the descriptor even when close is interrupted; one never
  // opened (the run started with it closed) had nothing written to it.
  if (close(STDOUT_FILENO) != 0 && errno != EINTR && errno != EBADF)
    throw OutputFailure(MapErrno(errno));
}

void StdoutSink::Write(const char* data, std::size_t size) {
  if (closed_) throw OutputFailure(MapErrno(EBADF));
  Drain();
  if (const int failure = WriteAll(STDOUT_FILENO, data, size)) throw OutputFailure(failure);
}

void StdoutSink::Pass(std::string& bytes) {
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
  if (failure_ != 0) throw OutputFailure(failure_);
  pending_.swap(bytes);  // bytes gets the spare buffer, emptied below
  bytes.clear();
  busy_ = true;
  lock.unlock();
  wake_.notify_one();
}

bool StdoutSink::PassIfIdle(std::string& bytes) {
  {
    std::lock_guard lock(mutex_);
    if (busy_) return false;
  }
  // Only this thread makes the writer busy: it is still idle here.
  Pass(bytes);
  return true;
}

void StdoutSink::Drain() {
  if (!writer_.joinable()) return;
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !busy_; });
  if (failure_ != 0) throw OutputFailure(failure_);
}

void StdoutSink::WriterLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    lock.unlock();
    // Once a write failed nothing more is passed, so nothing is skipped here.
    const int failure = WriteAll(STDOUT_FILENO, pending_.data(), pending_.size());
    lock.lock();
    if (failure != 0) failure_ = failure;
    pending_.clear();
    busy_ = false;
    idle_.notify_one();
  }
}

}  // namespace tvx
