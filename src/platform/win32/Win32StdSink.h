// The standard handles as output sinks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string_view>

#include "Win32Errors.h"
#include "platform/Streams.h"
#include "text/Failure.h"

namespace tvx {

// What the console's Ctrl-C, Ctrl-Break and close events write to standard
// error before the system's own handler ends the process. Design: the main
// thread alone sets the bytes, into the buffer the handler (run on a thread
// of the system's) is not told of, then tells it which by an atomic index.
class ConsoleInterrupt {
 public:
  static void Set(std::string_view bytes) {
    static const bool installed = SetConsoleCtrlHandler(OnEvent, TRUE) != 0;
    (void)installed;
    if (bytes.empty() || bytes.size() > kLongest) {
      current_.store(-1);
      return;
    }
    const int next = current_.load() == 0 ? 1 : 0;
    std::memcpy(texts_[next].data, bytes.data(), bytes.size());
    texts_[next].size = static_cast<DWORD>(bytes.size());
    current_.store(next);
  }

 private:
  static constexpr std::size_t kLongest = 4096;
  struct Bytes {
    char data[kLongest];
    DWORD size;
  };

  static BOOL WINAPI OnEvent(DWORD event) {
    const int which = current_.load();
    if (which >= 0 &&
        (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT)) {
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_ERROR_HANDLE), texts_[which].data, texts_[which].size, &written,
                nullptr);
    }
    return FALSE;  // the next handler, the system's, ends the process
  }

  static inline Bytes texts_[2];
  static inline std::atomic<int> current_{-1};
};

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

  void SetInterruptText(std::string_view bytes) override { ConsoleInterrupt::Set(bytes); }

  // A file's bytes reach the disk, or a share, before the run says it is done.
  void Close() override {
    if (!IsValid() || closed_) return;
    closed_ = true;
    if (GetFileType(handle_) == FILE_TYPE_DISK && !FlushFileBuffers(handle_))
      throw OutputFailure(Code(GetLastError()));
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
  static int Code(DWORD error) { return MapWindowsError(error); }

  HANDLE handle_;
  bool interactive_ = false;
  bool closed_ = false;
};

}  // namespace tvx
