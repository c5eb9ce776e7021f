// The progress line of a long scan. It is drawn on standard error only where
// that is a terminal (a console on Windows): first once the walk has run one
// second, then at most ten times a second, and it is erased before anything
// else is written there and when the walk ends, so no listing or message ever
// shares a line with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "text/Text.h"
#include "walk/Scan.h"

namespace tvx {

class OutputSink;

class ScanProgress final : public WalkProgress {
 public:
  // Milliseconds from an arbitrary start, never going back.
  using Clock = std::function<std::uint64_t()>;
  // The line's text for the counts so far, without the directory; in the
  // terminal's encoding.
  using Label = std::function<std::string(std::uint64_t entries, std::uint64_t directories)>;

  // columns: the terminal's width; the line keeps one column free so that
  // the cursor never wraps.
  ScanProgress(OutputSink& terminal, std::size_t columns, Clock clock, Label label,
               const CodePage& code);
  ~ScanProgress();  // erases the line
  ScanProgress(const ScanProgress&) = delete;
  ScanProgress& operator=(const ScanProgress&) = delete;

  // Counts one directory read with its entries; true when the line is due
  // to be drawn, with the directory's path that Show then takes.
  bool Count(std::size_t entries) override;
  void Show(std::string_view directory) override;
  // Clears the line, if it is drawn, and leaves the cursor at its start.
  void Erase() override;

 private:
  static constexpr std::uint64_t kFirstAfter = 1000;
  static constexpr std::uint64_t kInterval = 100;

  void Put(const std::string& bytes);

  OutputSink& terminal_;
  const std::size_t columns_;
  Clock clock_;
  Label label_;
  const CodePage& code_;
  std::uint64_t started_;
  std::uint64_t nextDue_;
  std::uint64_t entries_ = 0;
  std::uint64_t directories_ = 0;
  std::size_t drawn_ = 0;  // columns the drawn line takes; 0 when none is drawn
  std::string erase_;      // blanks over the widest line: what an interruption writes
};

// The tail of text that fits in `columns`, cut at a character boundary and
// led by "..." where something was cut. A character of several bytes counts
// as two columns, as double-width characters take, which may shorten the line
// but never lets it wrap.
std::string FitFromLeft(std::string_view text, std::size_t columns, const CodePage& code);

}  // namespace tvx
