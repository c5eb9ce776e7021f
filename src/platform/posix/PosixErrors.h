// The system's error numbers as the program's failures.
#pragma once

#include <cerrno>

#include "text/Failure.h"

namespace tvx {

// errno onto the error numbers whose messages the program knows.
inline int MapErrno(int error) {
  switch (error) {
    case ENOENT:
      return 2;
    case ENOTDIR:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
      return 5;
    case ENOSPC:
      return IoFailure::kDiskFull;
    case EPIPE:
      return IoFailure::kBrokenPipe;
    // Passed on as they are, these would read as other failures (errno 5 as
    // "access denied", 100 and 101 as "end of file" and "disk full"): use the
    // Windows numbers of a device and of a network error instead.
    case EIO:
      return 1117;
    case ENETDOWN:
    case ENETUNREACH:
      return 59;
    default:
      return error;
  }
}

[[noreturn]] inline void RaiseErrno(int error) {
  throw IoFailure(MapErrno(error));
}

}  // namespace tvx
