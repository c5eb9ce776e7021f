// LIST, DIR and STAT as records for programs: JSON Lines or CSV, always
// UTF-8, one record per entry with the same fields in the same order. One
// writer serves both ways of running: handed each entry as the walk reaches
// it (/C), or replaying the kept list after the scan.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Options.h"
#include "walk/EntryList.h"

namespace tvx {

class LineWriter;

class RecordWriter final : public CommandWriter {
 public:
  // The CSV of Windows starts with a byte order mark, which spreadsheets
  // there need.
  explicit RecordWriter(const WriterInputs& in);
  void Take(const EntryList& list, const TTarvixFileInfo& entry) override;
  // What follows the entries: DIR's total or STAT's object.
  void Finish(const EntryList& list, const Closing& closing) override;

 private:
  void Begin();
  void EnterDirectory(const EntryList& list, std::uint32_t dirIndex);
  void JsonRecord(const TTarvixFileInfo& entry);
  void CsvRecord(const TTarvixFileInfo& entry);
  void AppendCommonTail(const TTarvixFileInfo& entry);
  void StatRecord(const std::string& root, std::uint64_t count, std::uint64_t bytes);
  void AppendCounts(std::uint64_t bytes);
  void AppendJsonRaw(std::string_view bytes);
  int OffsetAt(TDateTime local);

  const ListOptions options_;
  const bool writesDirectories_;
  const bool json_;
  const bool byteOrderMark_;
  LineWriter& out_;
  std::function<int(TDateTime)> utcOffset_;
  bool begun_ = false;
  std::unique_ptr<FullPrefixCache> prefixes_;
  std::uint32_t dirIndex_ = UINT32_MAX;
  std::size_t rootLength_ = 0;
  std::string prefix_;       // the directory's full path with its separator, as stored
  std::string jsonPrefix_;   // the same escaped for JSON
  std::string jsonRel_;      // its part below the listed directory, escaped
  std::string jsonName_;     // the entry's name, escaped once for its three fields
  bool prefixExact_ = true;  // the prefix is valid UTF-8
  bool csvPrefixPlain_ = false,
       csvRelPlain_ = false;            // IsPlainCsv of the prefix and its part below
  std::uint32_t depth_ = 1;             // of the directory's entries
  std::uint64_t files_ = 0, dirs_ = 0;  // entries taken: directories, and the rest
  std::string record_, scratch_;
  struct Offset {
    TDateTime window = INT64_MIN;
    int seconds = 0;
  };
  std::vector<Offset> offsets_;  // by quarter hour of local time
};

}  // namespace tvx
