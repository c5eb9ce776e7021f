#include "Win32Threads.h"

#include <process.h>
#include <windows.h>

namespace tvx {

namespace {

struct SyncCalls {
  void(WINAPI* acquire)(PSRWLOCK) = nullptr;
  void(WINAPI* release)(PSRWLOCK) = nullptr;
  BOOL(WINAPI* sleep)(PCONDITION_VARIABLE, PSRWLOCK, DWORD, ULONG) = nullptr;
  void(WINAPI* wakeAll)(PCONDITION_VARIABLE) = nullptr;
  bool Found() const { return acquire && release && sleep && wakeAll; }
};

template <typename Function>
void Look(HMODULE module, const char* name, Function& to) {
  // Through the generic function type, which the compiler accepts as a
  // stand-in for any other.
  to = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const SyncCalls& Sync() {
  static const SyncCalls calls = [] {
    SyncCalls found;
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
      Look(kernel, "AcquireSRWLockExclusive", found.acquire);
      Look(kernel, "ReleaseSRWLockExclusive", found.release);
      Look(kernel, "SleepConditionVariableSRW", found.sleep);
      Look(kernel, "WakeAllConditionVariable", found.wakeAll);
    }
    return found;
  }();
  return calls;
}

class SlimMutex final : public ThreadKit::Mutex {
 public:
  void Lock() override { Sync().acquire(&lock); }
  void Unlock() override { Sync().release(&lock); }
  SRWLOCK lock = SRWLOCK_INIT;
};

class SlimCondition final : public ThreadKit::Condition {
 public:
  void Wait(ThreadKit::Mutex& held) override {
    Sync().sleep(&condition_, &static_cast<SlimMutex&>(held).lock, INFINITE, 0);
  }
  void WakeAll() override { Sync().wakeAll(&condition_); }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

class Win32Thread final : public ThreadKit::Thread {
 public:
  explicit Win32Thread(std::function<void()> body) : body_(std::move(body)) {}
  ~Win32Thread() override {
    if (!handle_) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
  }
  bool Start() {
    const uintptr_t started = _beginthreadex(nullptr, 0, Main, this, 0, nullptr);
    handle_ = reinterpret_cast<HANDLE>(started);
    return started != 0;
  }

 private:
  static unsigned __stdcall Main(void* self) {
    static_cast<Win32Thread*>(self)->body_();
    return 0;
  }
  std::function<void()> body_;
  HANDLE handle_ = nullptr;
};

}  // namespace

Win32ThreadKit* Win32ThreadKit::IfSupported() {
  static Win32ThreadKit kit;
  return Sync().Found() ? &kit : nullptr;
}

std::unique_ptr<ThreadKit::Mutex> Win32ThreadKit::NewMutex() {
  return std::make_unique<SlimMutex>();
}

std::unique_ptr<ThreadKit::Condition> Win32ThreadKit::NewCondition() {
  return std::make_unique<SlimCondition>();
}

std::unique_ptr<ThreadKit::Thread> Win32ThreadKit::Start(std::function<void()> body) {
  auto thread = std::make_unique<Win32Thread>(std::move(body));
  if (!thread->Start()) return nullptr;
  return thread;
}

}  // namespace tvx
