// Standard output on POSIX. Into a pipe or a file, full buffers are written by
// a thread of its own, so the copy into the kernel overlaps the walk; the
// order of the bytes is the order they were passed in.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Streams.h"

namespace tvx {

// Writes all of the bytes to fd, waiting for it where it does not block;
// returns 0, or the failure code once they cannot all be written.
int WriteAll(int fd, const char* data, std::size_t size);

class StdoutSink : public OutputSink {
 public:
  StdoutSink();
  ~StdoutSink() override;  // after writing what is still pending
  StdoutSink(const StdoutSink&) = delete;
  StdoutSink& operator=(const StdoutSink&) = delete;

  bool IsInteractive() const override { return interactive_; }
  std::size_t TerminalColumns() const override;
  bool ShowsBoxDrawing() const override;
  void Write(const char* data, std::size_t size) override;
  void Pass(std::string& bytes) override;
  bool PassIfIdle(std::string& bytes) override;
  void Drain() override;
  void Close() override;

 private:
  void WriterLoop();
  void StopWriter();

  bool interactive_;
  bool noThread_ = false;  // the writer could not be started: write in place
  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable wake_;  // the writer: work, or stop
  std::condition_variable idle_;  // the walk: the writer is free again
  std::string pending_;           // owned by the writer while busy_
  bool busy_ = false;
  bool stopping_ = false;
  int failure_ = 0;  // sticky: every later call raises it again
  bool closed_ = false;
};

}  // namespace tvx
