// The standard handles as output sinks.
#pragma once

#include <windows.h>

#include <algorithm>

#include "platform/Streams.h"
#include "text/Failure.h"

namespace tvx {

// Standard output (which, STD_OUTPUT_HANDLE) or standard error; lines go out
// one by one to a console, and always to standard error.
class StandardOutputSink final : public OutputSink {
 public:
  explicit StandardOutputSink(DWORD which) : handle_(GetStdHandle(which)) {
    interactive_ =
        IsValid() && (which == STD_ERROR_HANDLE || GetFileType(handle_) == FILE_TYPE_CHAR);
  }

  bool IsInteractive() const override { return interactive_; }
  // A console set to UTF-8; the other code pages may lack the characters.
  bool ShowsBoxDrawing() const override {
    return IsValid() && GetFileType(handle_) == FILE_TYPE_CHAR && GetConsoleOutputCP() == CP_UTF8;
  }

  std::size_t TerminalColumns() const override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!IsValid() || GetFileType(handle_) != FILE_TYPE_CHAR ||
        !GetConsoleScreenBufferInfo(handle_, &info))
      return 0;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? static_cast<std::size_t>(columns) : 80;
  }

  void Write(const char* data, std::size_t size) override {
    if (!IsValid()) throw OutputFailure(kErrorInvalidHandle);
    // Old consoles refuse large single writes; files and pipes take big ones.
    const std::size_t maxChunk = interactive_ ? (8u << 10) : (1u << 20);
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min(size, maxChunk));
      DWORD written = 0;
      if (!WriteFile(handle_, data, chunk, &written, nullptr))
        throw OutputFailure(Code(GetLastError()));
      if (written == 0) throw OutputFailure(kErrorDiskFull);
      data += written;
      size -= written;
    }
  }

 private:
  static constexpr DWORD kErrorDiskFull = IoFailure::kDiskFull;
  static constexpr DWORD kErrorInvalidHandle = 6;

  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  // A full disk is one failure whatever the system calls it.
  static DWORD Code(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? kErrorDiskFull : error;
  }

  HANDLE handle_;
  bool interactive_ = false;
};

}  // namespace tvx
