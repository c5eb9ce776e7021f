// The system's error numbers as the program's failures.
#pragma once

#include <cerrno>

#include "Failure.h"

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
      return 101;
    case EPIPE:
      return IoFailure::kBrokenPipe;
    default:
      return error;
  }
}

[[noreturn]] inline void RaiseErrno(int error) {
  throw IoFailure(MapErrno(error));
}

}  // namespace tvx
