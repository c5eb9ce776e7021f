// On 64-bit Windows the system redirects a 32-bit program's file calls in
// the system folder (System32 to SysWOW64): its listing would name files
// that are not there. A RealFileSystem turns that off for the calling thread
// while it lives, and back on after, since the system's DLL loading relies
// on it. The calls are looked up, so that systems without them still start;
// there, and in a 64-bit program, nothing is redirected anyway.
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
      if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
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

  PVOID previous_ = nullptr;
  bool off_ = false;
};

}  // namespace tvx
