// The system's error numbers as the program's failures. Windows numbers are
// the messages' own; only those that one message stands for are mapped.
// Plain numbers, without <windows.h>, so that the table is checked on any
// system.
#pragma once

#include "text/Failure.h"

namespace tvx {

struct WindowsErrorCode {
  unsigned long error;
  int code;
};

inline constexpr WindowsErrorCode kWindowsErrorCodes[] = {
    {39, IoFailure::kDiskFull},   // ERROR_HANDLE_DISK_FULL
    {112, IoFailure::kDiskFull},  // ERROR_DISK_FULL
};

inline int MapWindowsError(unsigned long error) {
  for (const WindowsErrorCode& known : kWindowsErrorCodes) {
    if (known.error == error) return known.code;
  }
  return static_cast<int>(error);
}

}  // namespace tvx
