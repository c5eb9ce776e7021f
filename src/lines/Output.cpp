#include "Output.h"

#include "platform/Streams.h"
#include "text/Text.h"

namespace tvx {

LineWriter::LineWriter(OutputSink& sink, std::string_view lineBreak)
    : sink_(sink), lineBreak_(lineBreak), interactive_(sink.IsInteractive()) {
  buffer_.reserve(kBufferSize + 4096);
}

LineWriter::~LineWriter() {
  try {
    Flush();
  } catch (...) {
  }
}

void LineWriter::WriteText(std::string_view text) {
  AppendLines(buffer_, text, lineBreak_);
  Written();
}

void LineWriter::WriteLine(std::string_view line) {
  buffer_.append(line);
  buffer_.append(lineBreak_);
  Written();
}

// A terminal sees each line at once; a full buffer goes to the sink.
void LineWriter::Hand() {
  if (interactive_) {
    Flush();
  } else {
    PassAll();
  }
}

// Bytes the sink failed to take are dropped: nothing would take them.
void LineWriter::PassOrDrop(std::string& bytes) {
  try {
    sink_.Pass(bytes);
  } catch (...) {
    bytes.clear();
    throw;
  }
}

void LineWriter::PassAll() {
  if (buffer_.empty()) return;
  PassOrDrop(buffer_);
  buffer_.reserve(kBufferSize + 4096);  // the sink may have handed back a fresh one
}

void LineWriter::PassBlock(std::string& block) {
  PassAll();
  if (!block.empty()) PassOrDrop(block);
}

bool LineWriter::PassPending() {
  if (buffer_.empty() || interactive_) return false;
  try {
    // The walk never waits here for the writing of an earlier buffer.
    if (!sink_.PassIfIdle(buffer_)) return false;
  } catch (...) {
    buffer_.clear();
    throw;
  }
  buffer_.reserve(kBufferSize + 4096);
  return true;
}

void LineWriter::Finish() {
  Flush();
  sink_.Close();
}

void LineWriter::Flush() {
  struct ClearOnExit {
    std::string& buffer;
    ~ClearOnExit() { buffer.clear(); }
  } clear{buffer_};
  sink_.Drain();
  if (!buffer_.empty()) sink_.Write(buffer_.data(), buffer_.size());
}

}  // namespace tvx
