// CSV with a header line; the last field, raw, holds in base64 a name that
// is not UTF-8, which the others show with U+FFFD.
#include "RecordFormat.h"
#include "lines/Output.h"
#include "lines/RecordText.h"

namespace tvx {

namespace {

constexpr std::string_view kEntryHeader = "path,rel,name,ext,type,size,mtime,attr,depth,raw";
constexpr std::string_view kStatHeader = "root,count,files,dirs,bytes,raw";

class CsvRecords final : public RecordFormat {
 public:
  explicit CsvRecords(bool byteOrderMark) : byteOrderMark_(byteOrderMark) {}

  void Begin(LineWriter& out, CommandKind command) override {
    if (byteOrderMark_) out.Append("\xEF\xBB\xBF");
    out.Append(command == CommandKind::Stat ? kStatHeader : kEntryHeader);
    out.EndLine();
  }

  void EnterDirectory(std::string_view prefix, std::size_t rootLength) override {
    prefix_.assign(prefix);
    rootLength_ = rootLength;
    prefixPlain_ = IsPlainCsv(prefix);
    relPlain_ = IsPlainCsv(prefix.substr(rootLength));
  }

  void AppendEntry(std::string& record, const RecordEntry& entry) override {
    const bool exact = AppendPath(record, prefix_, prefixPlain_, entry);
    record += ',';
    AppendPath(record, std::string_view(prefix_).substr(rootLength_), relPlain_, entry);
    record += ',';
    AppendField(record, entry.Name, entry.Plain);
    record += ',';
    AppendField(record, entry.Ext, entry.Plain);
    record.append(",").append(entry.Type).append(",");
    AppendNumber(record, entry.Size);
    record.append(",").append(entry.Mtime).append(",").append(entry.Attr).append(",");
    AppendNumber(record, entry.Depth);
    record += ',';
    if (!exact) AppendBase64(record, prefix_ + std::string(entry.Name));
  }

  void AppendStat(std::string& record, const RecordTotals& totals) override {
    const bool exact = AppendCsvField(record, totals.Root);
    for (const std::uint64_t count : {totals.Count, totals.Files, totals.Dirs, totals.Bytes}) {
      record += ',';
      AppendNumber(record, count);
    }
    record += ',';
    if (!exact) AppendBase64(record, totals.Root);
  }

  // DIR has no CSV form (a bad value): nothing to close.
  bool AppendDirTotal(std::string&, const RecordTotals&) override { return false; }

 private:
  // The path of the entry below dir; a plain name below a plain directory
  // goes in as it is, with no look at its bytes.
  bool AppendPath(std::string& record, std::string_view dir, bool dirPlain,
                  const RecordEntry& entry) {
    if (!entry.Plain || !dirPlain)
      return AppendCsvPath(record, dir, dirPlain, entry.Name, scratch_);
    record.append(dir).append(entry.Name);
    return true;
  }
  static void AppendField(std::string& record, std::string_view text, bool plain) {
    if (plain) {
      record.append(text);
    } else {
      AppendCsvField(record, text);
    }
  }

  const bool byteOrderMark_;
  std::string prefix_;  // the directory's full path with its separator, as stored
  std::size_t rootLength_ = 0;
  bool prefixPlain_ = false, relPlain_ = false;  // IsPlainCsv of the prefix and its part below
  std::string scratch_;
};

}  // namespace

std::unique_ptr<RecordFormat> MakeCsvRecords(bool byteOrderMark) {
  return std::make_unique<CsvRecords>(byteOrderMark);
}

}  // namespace tvx
