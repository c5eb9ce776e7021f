#include "PosixThreads.h"

#include <sys/resource.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace tvx {

namespace {

class StdMutex final : public ThreadKit::Mutex {
 public:
  void Lock() override { mutex.lock(); }
  void Unlock() override { mutex.unlock(); }
  std::mutex mutex;
};

class StdCondition final : public ThreadKit::Condition {
 public:
  void Wait(ThreadKit::Mutex& held) override {
    // The caller holds the lock and keeps holding it after the wait.
    std::unique_lock lock(static_cast<StdMutex&>(held).mutex, std::adopt_lock);
    condition_.wait(lock);
    lock.release();
  }
  void WakeAll() override { condition_.notify_all(); }

 private:
  std::condition_variable condition_;
};

class StdThread final : public ThreadKit::Thread {
 public:
  explicit StdThread(std::function<void()> body) : thread_(std::move(body)) {}
  ~StdThread() override { thread_.join(); }

 private:
  std::thread thread_;
};

}  // namespace

std::unique_ptr<ThreadKit::Mutex> PosixThreadKit::NewMutex() {
  return std::make_unique<StdMutex>();
}

std::unique_ptr<ThreadKit::Condition> PosixThreadKit::NewCondition() {
  return std::make_unique<StdCondition>();
}

std::unique_ptr<ThreadKit::Thread> PosixThreadKit::Start(std::function<void()> body) {
  try {
    return std::make_unique<StdThread>(std::move(body));
  } catch (const std::system_error&) {
    return nullptr;  // at a process limit
  }
}

long PosixThreadKit::Waits() {
  struct rusage usage;
  if (getrusage(RUSAGE_THREAD, &usage) != 0) return 0;
  return usage.ru_nvcsw;
}

}  // namespace tvx
