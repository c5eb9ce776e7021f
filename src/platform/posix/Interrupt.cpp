// Design: the signal handler may only write bytes made ahead of time. The
// main thread alone sets them, into the one of two buffers the handler is not
// told of, then tells the handler which one by an atomic index; the handler
// only reads the index and writes that buffer.
#include "Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace tvx {

namespace {

// A progress line as wide as any terminal is.
constexpr std::size_t kLongest = 4096;

struct Bytes {
  char data[kLongest];
  std::size_t size;
};

Bytes texts[2];
std::atomic<int> current{-1};  // the buffer the handler writes; -1: none
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
  const int which = current.load();
  if (which >= 0) {
    const ssize_t written = write(STDERR_FILENO, texts[which].data, texts[which].size);
    (void)written;  // nothing more can be done about it now
  }
  // The handler was reset as it was called: the signal now does what it
  // would have done without one, and the parent sees it.
  raise(signal);
}

void Install() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  for (const int signal : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    // A signal ignored by the parent (a job started with "&") stays so.
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void SetInterruptText(std::string_view bytes) {
  static const bool installed = (Install(), true);
  (void)installed;
  if (bytes.empty() || bytes.size() > kLongest) {
    current.store(-1);
    return;
  }
  Bytes& next = texts[current.load() == 0 ? 1 : 0];
  std::memcpy(next.data, bytes.data(), bytes.size());
  next.size = bytes.size();
  current.store(&next == &texts[0] ? 0 : 1);
}

}  // namespace tvx
