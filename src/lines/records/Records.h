// LIST, DIR and STAT as records for programs: JSON Lines or CSV, always
// UTF-8, one record per entry with the same fields in the same order. One
// writer gathers the fields for every form (records/, which spells them) and
// serves both ways of running: handed each entry as the walk reaches it
// (/C), or replaying the kept list after the scan.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RecordFormat.h"
#include "lines/Commands.h"
#include "lines/Options.h"
#include "walk/EntryList.h"

namespace tvx {

class LineWriter;

class RecordWriter final : public CommandWriter {
 public:
  explicit RecordWriter(const WriterInputs& in);
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override;
  void TakeKept(const EntryList& list) override;
  // What follows the entries: DIR's total or STAT's object.
  void Finish(const EntryList& list, const RunSummary& summary) override;
  std::unique_ptr<CommandWriter> Fork(LineWriter& out) const override;

 private:
  RecordWriter(const RecordWriter& from, LineWriter& out);
  void Begin();
  void EnterDirectory(const EntryList& list, std::uint32_t dirIndex);
  RecordEntry FieldsOf(const TTarvixFileInfo& entry);
  int OffsetAt(TDateTime local);

  const ListOptions options_;
  const bool writesDirectories_;
  const PathStyle style_;
  const std::unique_ptr<RecordFormat> format_;
  ThreadKit* const threads_;
  LineWriter& out_;
  std::function<int(TDateTime)> utcOffset_;
  bool begun_ = false;
  std::unique_ptr<FullPrefixCache> prefixes_;
  std::uint32_t dirIndex_ = UINT32_MAX;
  std::uint32_t depth_ = 1;             // of the directory's entries
  std::uint64_t files_ = 0, dirs_ = 0;  // entries taken: directories, and the rest
  std::string record_, mtime_, attr_;
  TDateTime stampedTime_ = INT64_MIN;  // what mtime_ was made of: none yet
  std::int32_t stampedOffset_ = 0;
  struct Offset {
    TDateTime window = INT64_MIN;
    int seconds = 0;
  };
  std::vector<Offset> offsets_;  // by quarter hour of local time
};

}  // namespace tvx
