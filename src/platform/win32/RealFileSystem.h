// On 64-bit Windows the system redirects a 32-bit program's file calls in
// the system folder (System32 to SysWOW64): its listing would name files
// that are not there. A RealFileSystem turns that off for the calling thread
// while it lives, and back on after, since the system's DLL loading relies
// on it. The calls are looked up, so that systems without them still start;
// there, and in a program that is not 32-bit on a 64-bit system, nothing is
// redirected anyway, and nothing is called.
#pragma once

#include <windows.h>

namespace tvx {

class RealFileSystem {
 public:
  RealFileSystem() {
    const Calls& calls = Found();
    if (calls.disable && calls.revert) off_ = calls.disable(&previous_) != FALSE;
  }
  ~RealFileSystem() {
    if (off_) Found().revert(previous_);
  }
  RealFileSystem(const RealFileSystem&) = delete;
  RealFileSystem& operator=(const RealFileSystem&) = delete;

 private:
  struct Calls {
    BOOL(WINAPI* disable)(PVOID*) = nullptr;
    BOOL(WINAPI* revert)(PVOID) = nullptr;
  };
  static const Calls& Found() {
    static const Calls calls = [] {
      Calls found;
      HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
      if (kernel && Redirected(kernel)) {
        // Through the generic function type, which the compiler accepts as a
        // stand-in for any other.
        found.disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        found.revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
      }
      return found;
    }();
    return calls;
  }

  static bool Redirected(HMODULE kernel) {
    using Ask = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto ask = reinterpret_cast<Ask>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return ask && ask(GetCurrentProcess(), &wow64) && wow64;
  }

  PVOID previous_ = nullptr;
  bool off_ = false;
};

}  // namespace tvx
