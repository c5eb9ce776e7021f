// The system's error numbers as the program's failures.
#pragma once

#include <cerrno>

#include "text/Failure.h"

namespace tvx {

// errno values that have a message of their own, and its number; every other
// errno is shown as the system gave it.
struct ErrnoCode {
  int error;
  int code;
};

inline constexpr ErrnoCode kErrnoCodes[] = {
    {ENOENT, 2},
    {ENOTDIR, 3},
    {ENAMETOOLONG, 3},
    {EMFILE, 4},
    {ENFILE, 4},
    {EACCES, 5},
    {EPERM, 5},
    {ENOSPC, IoFailure::kDiskFull},
    {EDQUOT, IoFailure::kDiskFull},
    {EPIPE, IoFailure::kBrokenPipe},
};

// errno as the failure number: its message's, or the errno itself marked as
// the system's own (see IoFailure::SystemNumber).
inline int MapErrno(int error) {
  for (const ErrnoCode& known : kErrnoCodes) {
    if (known.error == error) return known.code;
  }
  return IoFailure::SystemNumber(error);
}

[[noreturn]] inline void RaiseErrno(int error) {
  throw IoFailure(MapErrno(error));
}

}  // namespace tvx
