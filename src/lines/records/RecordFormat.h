// A form of records (JSON Lines, CSV): how one entry, STAT's count and
// DIR's total are spelled. The record writer gathers the fields, the form
// spells them; a new form is a .cpp here and its line in MakeRecordFormat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lines/Options.h"
#include "text/Paths.h"

namespace tvx {

class LineWriter;

// One entry's fields, in the order every form writes them.
struct RecordEntry {
  std::string_view Name, Ext, Type;
  std::uint64_t Size = 0;
  std::string_view Mtime;  // already as a UTC stamp
  std::string_view Attr;   // the letters /A takes
  std::uint32_t Depth = 1;
  // The name is ASCII that no form quotes or escapes (letters, digits and
  // a few marks): it may go in as it is.
  bool Plain = false;
};

// What STAT's record and DIR's total tell.
struct RecordTotals {
  std::string_view Root;
  std::uint64_t Count = 0, Files = 0, Dirs = 0, Bytes = 0;
  std::uint64_t DriveBytes = 0, DriveFree = 0;  // DIR's drive
};

class RecordFormat {
 public:
  virtual ~RecordFormat() = default;
  // What precedes the first record, written once.
  virtual void Begin(LineWriter& out, CommandKind command) = 0;
  // The directory the next entries are in: its full path with its
  // separator, of which the first rootLength bytes are the listed one's.
  virtual void EnterDirectory(std::string_view prefix, std::size_t rootLength) = 0;
  virtual void AppendEntry(std::string& record, const RecordEntry& entry) = 0;
  virtual void AppendStat(std::string& record, const RecordTotals& totals) = 0;
  // DIR's closing record; false where the form has none.
  virtual bool AppendDirTotal(std::string& record, const RecordTotals& totals) = 0;
};

// The form the run asked for. The CSV of Windows starts with a byte order
// mark, which spreadsheets there need.
std::unique_ptr<RecordFormat> MakeRecordFormat(RecordForm form, PathStyle style);

}  // namespace tvx
