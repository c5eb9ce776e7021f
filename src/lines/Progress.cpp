#include "Progress.h"

#include <algorithm>

#include "platform/Streams.h"

namespace tvx {

namespace {

std::size_t Columns(std::size_t bytes) {
  return std::min<std::size_t>(bytes, 2);
}

std::size_t ColumnsOf(std::string_view text, const CodePage& code) {
  std::size_t columns = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = code.CharLength(text, pos);
    columns += Columns(length);
    pos += length;
  }
  return columns;
}

// The head of text that fits in columns, in whole characters.
std::string_view Head(std::string_view text, std::size_t columns, const CodePage& code) {
  std::size_t used = 0, pos = 0;
  while (pos < text.size()) {
    const std::size_t length = code.CharLength(text, pos);
    if (used + Columns(length) > columns) break;
    used += Columns(length);
    pos += length;
  }
  return text.substr(0, pos);
}

}  // namespace

std::string FitFromLeft(std::string_view text, std::size_t columns, const CodePage& code) {
  std::size_t total = ColumnsOf(text, code);
  if (total <= columns) return std::string(text);
  constexpr std::string_view kCut = "...";
  if (columns < kCut.size()) return std::string(columns, '.');
  // Drop whole characters from the left until the rest fits beside the mark.
  std::size_t pos = 0;
  while (pos < text.size() && total > columns - kCut.size()) {
    const std::size_t length = code.CharLength(text, pos);
    total -= Columns(length);
    pos += length;
  }
  return std::string(kCut) + std::string(text.substr(pos));
}

ScanProgress::ScanProgress(OutputSink& terminal, std::size_t columns, Clock clock, Label label,
                           const CodePage& code)
    : terminal_(terminal),
      columns_(columns > 1 ? columns - 1 : 0),
      clock_(std::move(clock)),
      label_(std::move(label)),
      code_(code),
      started_(clock_()),
      nextDue_(started_ + kFirstAfter),
      erase_("\r" + std::string(columns_, ' ') + "\r") {}

ScanProgress::~ScanProgress() {
  try {
    Erase();
  } catch (...) {
  }
}

bool ScanProgress::Count(std::size_t entries) {
  entries_ += entries;
  ++directories_;
  return columns_ > 0 && clock_() >= nextDue_;
}

void ScanProgress::Show(std::string_view directory) {
  nextDue_ = clock_() + kInterval;
  // The counts keep their start; the directory keeps its end.
  std::string line(Head(label_(entries_, directories_), columns_, code_));
  const std::size_t used = ColumnsOf(line, code_);
  line += FitFromLeft(directory, columns_ - used, code_);
  const std::size_t width = ColumnsOf(line, code_);
  // Blanks over what a longer earlier line left behind.
  if (width < drawn_) line.append(drawn_ - width, ' ');
  // Ctrl-C from now on must not leave the line for the shell's prompt to
  // follow: told before the line is drawn, so no moment is left out.
  if (drawn_ == 0 && width > 0) terminal_.SetInterruptText(erase_);
  Put("\r" + line);
  drawn_ = width;
}

void ScanProgress::Erase() {
  if (drawn_ == 0) return;
  const std::size_t drawn = drawn_;
  drawn_ = 0;
  Put("\r" + std::string(drawn, ' ') + "\r");
  terminal_.SetInterruptText({});  // only once the line is gone
}

void ScanProgress::Put(const std::string& bytes) {
  try {
    terminal_.Write(bytes.data(), bytes.size());
  } catch (...) {
    // A terminal that cannot be written costs the progress line, not the run.
    nextDue_ = UINT64_MAX;
  }
}

}  // namespace tvx
