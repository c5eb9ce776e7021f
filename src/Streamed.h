// LIST, DIR and STAT as the walk goes, for a scan that goes on past what it
// cannot read (/C): each entry is written, or counted, as the walk reaches
// it, with the bytes and in the order the kept list would give, and nothing
// is kept. Without /C a run keeps the list, so that a failure still stops it
// before anything is written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Commands.h"
#include "EntryList.h"

namespace tvx {

class LineWriter;

// Hands the buffered lines on at the first directory read after them, then
// at most every kInterval: a walk that waits on a directory does not hold
// finished lines back.
class OutputPace {
 public:
  using Clock = std::function<std::uint64_t()>;
  OutputPace(LineWriter& out, Clock clock) : out_(out), clock_(std::move(clock)) {}
  void BeforeRead();

 private:
  static constexpr std::uint64_t kInterval = 50;  // milliseconds
  LineWriter& out_;
  Clock clock_;
  bool passed_ = false;
  std::uint64_t last_ = 0;
};

class StreamedList final : public EntryConsumer {
 public:
  StreamedList(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
               LineWriter& out, OutputPace::Clock clock,
               std::function<void(const Failure&)> leftOut)
      : writer_(options, style, locale, out, std::move(leftOut)), pace_(out, std::move(clock)) {}
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override {
    writer_.Take(list, entry);
  }
  void BeforeRead() override { pace_.BeforeRead(); }

 private:
  ListWriter writer_;
  OutputPace pace_;
};

class StreamedDir final : public EntryConsumer {
 public:
  StreamedDir(const ListOptions& options, PathStyle style, const LocaleSettings& locale,
              LineWriter& out, OutputPace::Clock clock)
      : table_(options, style, locale, out), pace_(out, std::move(clock)) {}
  void Take(const EntryList&, const TTarvixFileInfo& entry) override { table_.Row(entry); }
  void BeforeRead() override { pace_.BeforeRead(); }
  DirTable& Table() { return table_; }

 private:
  DirTable table_;
  OutputPace pace_;
};

// STAT and an unknown command count what the list counts and keep nothing.
class CountOnly final : public EntryConsumer {
 public:
  void Take(const EntryList&, const TTarvixFileInfo&) override {}
};

}  // namespace tvx
