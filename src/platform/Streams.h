// The console's side of the system: the standard streams and the language
// and encoding of the messages written to them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/Messages.h"

namespace tvx {

// Where lines go. Write raises IoFailure when the bytes cannot be written.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual bool IsInteractive() const = 0;  // a console or terminal: flush per line
  // The width in columns of the terminal or console written to; 0 for a
  // file or a pipe, where no progress line may go.
  virtual std::size_t TerminalColumns() const { return 0; }
  // Whether what is written shows box-drawing characters written in UTF-8:
  // a terminal or console that reads UTF-8; never a file or a pipe.
  virtual bool ShowsBoxDrawing() const { return false; }
  // Writes the bytes before returning; raises IoFailure when they cannot be.
  virtual void Write(const char* data, std::size_t size) = 0;
  // Takes a full buffer while more will follow and leaves `bytes` empty. A
  // sink may write it later on a thread of its own; a failure then surfaces
  // from a later call.
  virtual void Pass(std::string& bytes) {
    Write(bytes.data(), bytes.size());
    bytes.clear();
  }
  // Pass, but only when that need not wait for an earlier buffer still being
  // written; false (and bytes kept) otherwise.
  virtual bool PassIfIdle(std::string& bytes) {
    Pass(bytes);
    return true;
  }
  // Returns once everything passed is written; raises the failure if not.
  virtual void Drain() {}
  // Ends the output: everything written, the stream closed, and what the
  // system reports only then (a share's full quota) checked; raises
  // IoFailure. Nothing is written after.
  virtual void Close() { Drain(); }
  // What this sink, a terminal, is to be sent if the run is interrupted
  // (Ctrl-C, a request to end) before the process ends as the interruption
  // asks; empty for nothing. Copied now: the interruption may only write it.
  virtual void SetInterruptText(std::string_view) {}
};

class Console {
 public:
  virtual ~Console() = default;
  virtual std::string_view LineBreak() const = 0;
  virtual OutputSink& StandardOutput() = 0;
  // Standard error, written line by line: every failure and warning, so
  // that standard output holds only what the command writes.
  virtual OutputSink& StandardError() = 0;
  // The language of the failure messages: one the output can carry.
  virtual Language MessageLanguage() = 0;
  // A fixed message (UTF-8 in the source) in the system's text encoding.
  virtual std::string FromUtf8(std::string_view text) = 0;
};

}  // namespace tvx
