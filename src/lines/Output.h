// The one way lines leave the program: each text is followed by the
// platform's line break; output is flushed per line on a console or terminal
// and collected into large writes otherwise.
#pragma once

#include <string>
#include <string_view>

namespace tvx {

class OutputSink;

class LineWriter {
 public:
  LineWriter(OutputSink& sink, std::string_view lineBreak);
  ~LineWriter();  // flushes what is left, ignoring a failure (use Flush to see it)
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  // Writes text and a line break. "\r\n" inside text becomes the platform's break.
  void WriteText(std::string_view text);
  // Writes line as it is (a break in it, a CSV field's, stays) and a line break.
  void WriteLine(std::string_view line);
  // A line made of pieces: Append them, then EndLine.
  void Append(std::string_view piece) { buffer_.append(piece); }
  // A line made in place, by writers that append to a string: add to what
  // this returns (take back only bytes of the line being made), then EndLine.
  std::string& Pending() { return buffer_; }
  void EndLine() {
    buffer_.append(lineBreak_);
    Written();
  }
  // Ends a line with end instead of the line break (a NUL for xargs -0).
  void EndWith(char end) {
    buffer_ += end;
    Written();
  }
  // Ends a line with end, which holds its own line break or NUL.
  void EndWith(std::string_view end) {
    buffer_.append(end);
    Written();
  }
  // Raises IoFailure when the bytes cannot be written.
  void Flush();
  // Flushes and closes the output, raising IoFailure for a failure the
  // system reports as late as that: the run's last step.
  void Finish();
  // Hands what is buffered to the sink now, without waiting for it to be
  // written: lines of a long walk go out while it goes on. False when there
  // was nothing to hand on, or the sink was still busy with earlier lines.
  bool PassPending();
  // Forgets buffered bytes (after a failed write, nothing more is tried).
  void Discard() { buffer_.clear(); }
  // Hands what is buffered to the sink now, waiting if it must.
  void PassAll();
  // Hands what is buffered, then block (lines made elsewhere, in order
  // after them), to the sink; block comes back empty.
  void PassBlock(std::string& block);
  bool Interactive() const { return interactive_; }
  std::string_view LineBreak() const { return lineBreak_; }

 private:
  // Inline: every line ends here; most only grow the buffer.
  void Written() {
    if (interactive_ || buffer_.size() >= kBufferSize) Hand();
  }
  void Hand();
  void PassOrDrop(std::string& bytes);

  // Large writes: a listing of a million entries is a few dozen system calls.
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  OutputSink& sink_;
  std::string lineBreak_;
  std::string buffer_;
  bool interactive_;
};

}  // namespace tvx
