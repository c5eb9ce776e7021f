// The pace of a streamed run's output (/C): lines written as the walk goes
// are handed on while the walk waits on the disk, not only when a buffer
// fills, so a slow tree does not hold finished lines back.
#pragma once

#include <cstdint>
#include <functional>

#include "walk/Scan.h"

namespace tvx {

class LineWriter;

// Hands the buffered lines on at the first directory read after them, then
// at most every kInterval. The walk tells it of each read.
class OutputPace final : public WalkObserver {
 public:
  using Clock = std::function<std::uint64_t()>;
  OutputPace(LineWriter& out, Clock clock) : out_(out), clock_(std::move(clock)) {}
  void BeforeRead() override;

 private:
  static constexpr std::uint64_t kInterval = 50;  // milliseconds
  LineWriter& out_;
  Clock clock_;
  bool passed_ = false;
  std::uint64_t last_ = 0;
};

}  // namespace tvx
